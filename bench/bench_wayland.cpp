// The quick translation on a Wayland desktop beside its floor, in the same
// run, inside the private session of scripts/with-wayland (sway headless):
// - the time from pressing a chord that the desktop binds to
//   `parlumo --quick-translation 1` (the virtual keyboard, wtype) with text
//   marked in the primary selection, to the translation on the clipboard;
// - the floor, what no program can avoid: one request of the same text to the
//   warm service, and its translation put on the clipboard (wl-copy);
// - the desktop's share: the same chord bound to wl-copy of the translation.
// Both ends are seen the same way, by a data-control watch of the clipboard
// (wl-paste --watch). Wall-clock time (manual): the work happens in other
// processes. The medians and their difference are printed at the end.
// Without a Wayland session all are skipped and say so.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "RatioReporter.h"
#include "Samples.h"
#include "ServiceProcess.h"
#include "net/HttpClient.h"
#include "runtime/PollEventLoop.h"
#include "translate/Parser.h"
#include "translate/TranslateText.h"
#include "wayland/ProgramWaylandSupport.h"
#include "wayland/WaylandSession.h"

namespace {

using parlumo::bench::Median;
using parlumo::bench::Samples;

namespace wl = parlumo::wltest;
using Clock = std::chrono::steady_clock;

constexpr const char* kMarkedText = "The house is very big.";
constexpr int kEnglishSpanish = 7;
constexpr int kPresses = 20;
constexpr int kWarmUps = 3;
constexpr int kWaitMs = 15000;
constexpr const char* kChord = "Ctrl+Alt+t";

parlumo::testing::ServiceProcess& Service() {
  static parlumo::testing::ServiceProcess service;
  return service;
}

std::optional<std::string> Translate(parlumo::THttpClient& client, parlumo::TParser& parser) {
  const auto outcome = parlumo::TranslateText(client, parser, kMarkedText, kEnglishSpanish,
                                              Service().HostPort(), {});
  if (!outcome.Succeeded()) return std::nullopt;
  return outcome.Text();
}

// Puts a text of the round on the clipboard and waits until the watch has
// seen it, so that the next text the watch reports is the measured one; the
// number of texts seen by then.
std::optional<std::size_t> ResetClipboard(wl::ClipboardWatch& watch, int round) {
  const QString marker = QString("round %1").arg(round);
  const std::size_t before = watch.Texts().size();
  if (!wl::SetClipboard(marker)) return std::nullopt;
  for (std::size_t seen = before;; ++seen) {
    const auto text = watch.WaitForTextAfter(seen, kWaitMs);
    if (!text) return std::nullopt;
    if (*text == marker) return seen + 1;
  }
}

// Waits for the watch to report the text after the first `seen` texts;
// other texts in between (none expected) are passed over.
bool WaitForText(wl::ClipboardWatch& watch, std::size_t seen, const QString& text) {
  for (;; ++seen) {
    const auto next = watch.WaitForTextAfter(seen, kWaitMs);
    if (!next) return false;
    if (*next == text) return true;
  }
}

// One run of the measured action with the clipboard reset before it; its
// time, or nothing when the clipboard never got the text.
template <typename Action>
std::optional<double> Measure(wl::ClipboardWatch& watch, int round, const QString& expected,
                              Action action) {
  const auto seen = ResetClipboard(watch, round);
  if (!seen) return std::nullopt;
  const auto start = Clock::now();
  if (!action()) return std::nullopt;
  if (!WaitForText(watch, *seen, expected)) return std::nullopt;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The chord pressed once, measured up to the expected text on the clipboard.
// The command that handed the press over ends by itself; it is given the time.
std::optional<double> MeasureChord(wl::ClipboardWatch& watch, int round, const QString& expected) {
  const auto seconds = Measure(watch, round, expected, [] { return wl::PressChord(kChord); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return seconds;
}

// kWarmUps unmeasured runs, then one measured run per iteration, its time
// kept among the samples under the name; the first failed run ends the
// benchmark with the message.
template <typename Once>
void RunMeasured(benchmark::State& state, Once once, const char* name, const char* failure) {
  for (int i = 0; i < kWarmUps; ++i)
    once();
  for (auto _ : state) {
    const std::optional<double> seconds = once();
    if (!seconds) {
      state.SkipWithError(failure);
      break;
    }
    state.SetIterationTime(*seconds);
    Samples()[name].push_back(*seconds);
  }
}

void BM_ChordToClipboard(benchmark::State& state) {
  if (!wl::InSession()) {
    state.SkipWithError("no Wayland session (run under scripts/with-wayland)");
    return;
  }
  parlumo::PollEventLoop loop;
  parlumo::THttpClient client(loop);
  parlumo::TParser parser;
  const auto translation = Translate(client, parser);
  // The program counts a tray as there while a watcher is on the bus, and
  // balloons while a notification server is: without them its messages would
  // be boxes that wait for the user.
  wl::BusMock watcher(wl::StatusNotifierWatcherTemplate(), "org.kde.StatusNotifierWatcher",
                      "/StatusNotifierWatcher");
  wl::BusMock notifications("notification_daemon", "org.freedesktop.Notifications",
                            "/org/freedesktop/Notifications");
  wl::ClipboardWatch watch;
  if (!translation || !watcher.WaitReady() || !notifications.WaitReady() || !watch.Running()) {
    state.SkipWithError(
        "no translation, tray watcher, notification server or clipboard watch to measure with");
    return;
  }
  const QString expected = QString::fromStdString(*translation);
  wl::WaylandProgram program(
      PARLUMO_PROGRAM, "[General]\nStartupType=0\n[Service]\nHost=" + Service().HostPort() +
                           "\n[Languages]\nQuickTranslation1=" + std::to_string(kEnglishSpanish) +
                           "\n[QuickTranslate]\nCopyToClipboard=1\nDisplayMessage=0\n"
                           "NotifyBalloonHint=0\nShowBalloonHint=0\n");
  const auto script = program.ActionScript("quick", {"--quick-translation", "1"});
  // Ready once its tray icon registered: settings loaded, instance socket up.
  auto registered = [&] {
    for (const QString& item : wl::RegisteredTrayItems(watcher)) {
      if (wl::BusNameOwnerPid(item) == program.Pid()) return true;
    }
    return false;
  };
  bool ready = program.Start() && wl::BindChord(kChord, QString::fromStdString(script.string()));
  const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
  while (ready && !registered()) {
    ready = Clock::now() < deadline;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!ready || !wl::SetPrimary(kMarkedText)) {
    state.SkipWithError("the program did not come up in the session");
    wl::UnbindChord(kChord);
    return;
  }
  int round = 0;
  RunMeasured(
      state, [&] { return MeasureChord(watch, round++, expected); }, "chord",
      "the translation did not reach the clipboard");
  wl::UnbindChord(kChord);
}

void BM_RequestPlusCopy(benchmark::State& state) {
  if (!wl::InSession()) {
    state.SkipWithError("no Wayland session (run under scripts/with-wayland)");
    return;
  }
  parlumo::PollEventLoop loop;
  parlumo::THttpClient client(loop);
  parlumo::TParser parser;
  const auto translation = Translate(client, parser);
  wl::ClipboardWatch watch;
  if (!translation || !watch.Running()) {
    state.SkipWithError("no translation or clipboard watch to measure with");
    return;
  }
  const QString expected = QString::fromStdString(*translation);
  int round = 0;
  RunMeasured(
      state,
      [&] {
        return Measure(watch, round++, expected, [&] {
          const auto text = Translate(client, parser);
          return text && wl::SetClipboard(QString::fromStdString(*text));
        });
      },
      "floor", "no translation on the clipboard");
}

// The desktop's share: the same chord bound to a command that puts the
// translation on the clipboard by itself (wl-copy), run the way sway runs the
// program's command. What the chord to the program takes beyond this is the
// program's own: the hand-over, the marked text, the request, the clipboard.
void BM_ChordToWlCopy(benchmark::State& state) {
  if (!wl::InSession()) {
    state.SkipWithError("no Wayland session (run under scripts/with-wayland)");
    return;
  }
  parlumo::PollEventLoop loop;
  parlumo::THttpClient client(loop);
  parlumo::TParser parser;
  const auto translation = Translate(client, parser);
  wl::ClipboardWatch watch;
  if (!translation || !watch.Running()) {
    state.SkipWithError("no translation or clipboard watch to measure with");
    return;
  }
  const QString expected = QString::fromStdString(*translation);
  wl::WaylandProgram copier("/usr/bin/wl-copy", std::nullopt);
  const auto script = copier.ActionScript("copy", {"--", expected});
  if (!wl::BindChord(kChord, QString::fromStdString(script.string()))) {
    state.SkipWithError("the chord could not be bound");
    return;
  }
  int round = 0;
  RunMeasured(
      state, [&] { return MeasureChord(watch, round++, expected); }, "desktop",
      "the text did not reach the clipboard");
  wl::UnbindChord(kChord);
}

BENCHMARK(BM_RequestPlusCopy)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kPresses);
BENCHMARK(BM_ChordToWlCopy)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kPresses);
BENCHMARK(BM_ChordToClipboard)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kPresses);

}  // namespace

int main(int argc, char** argv) {
  // Processes and the session bus go through Qt; no window of its own.
  QCoreApplication application(argc, argv);
  if (!wl::InSession()) {
    std::printf("bench_wayland: no Wayland session; run it under scripts/with-wayland\n");
  } else {
    Service();  // up and warm before the first measurement
  }
  const int result = parlumo::bench::RunWithRatios(
      argc, argv, parlumo::bench::RatioReporter::Time::Real,
      {{"BM_ChordToClipboard", "BM_RequestPlusCopy"}, {"BM_ChordToClipboard", "BM_ChordToWlCopy"}});
  const auto& samples = Samples();
  if (samples.contains("chord") && samples.contains("floor")) {
    const double chord = Median(samples.at("chord")) * 1000;
    const double floor = Median(samples.at("floor")) * 1000;
    std::printf(
        "Chord to clipboard: median %.1f ms of %zu presses; floor (request + wl-copy) "
        "median %.1f ms of %zu; difference %+.1f ms\n",
        chord, samples.at("chord").size(), floor, samples.at("floor").size(), chord - floor);
  }
  if (samples.contains("chord") && samples.contains("desktop")) {
    const double chord = Median(samples.at("chord")) * 1000;
    const double desktop = Median(samples.at("desktop")) * 1000;
    std::printf(
        "Chord to clipboard beside the chord to wl-copy (the desktop's share): median %.1f ms "
        "of %zu; the program's own %+.1f ms\n",
        desktop, samples.at("desktop").size(), chord - desktop);
  }
  return result;
}
