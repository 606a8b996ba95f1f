// The desktop program beside its floor, in the same run, on the X server of
// DISPLAY with a notification area (scripts/bench provides one):
// - the time from starting a program to its icon standing in the tray host,
//   and its resident memory once it idles there, beside a minimal Qt tray
//   program (TrayFloor.cpp) built with this build. Parlumo starts from a fresh
//   settings folder that asks for the tray icon only, with the local service
//   already running, so that neither a dialog nor the service's own start is
//   measured;
// - the time from pressing a quick-translation hotkey to the translation on
//   the clipboard, beside what no program can avoid: a synthetic Ctrl+C in the
//   same client until the clipboard has its text, plus one request to the
//   warm service.
// Wall-clock time (manual): the work happens in other processes. The medians
// and their differences are printed at the end.

#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <algorithm>

#include "RatioReporter.h"
#include "Samples.h"
#include "ServiceProcess.h"
#include "TrayProbe.h"
#include "XKeys.h"
#include "net/HttpClient.h"
#include "runtime/PollEventLoop.h"
#include "translate/Parser.h"
#include "translate/TranslateText.h"

extern char** environ;

namespace {

using parlumo::bench::Median;
using parlumo::bench::Samples;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

parlumo::test::TrayProbe& Probe() {
  static parlumo::test::TrayProbe probe;
  return probe;
}

parlumo::testing::ServiceProcess& Service() {
  static parlumo::testing::ServiceProcess service;
  return service;
}

// A fresh home for one start of Parlumo: the settings given, and a runtime
// folder of its own, so that no other copy counts as running.
fs::path FreshHome(const std::string& ini) {
  static int count = 0;
  const fs::path home = fs::temp_directory_path() / ("parlumo-bench-" + std::to_string(::getpid()) +
                                                     "-" + std::to_string(count++));
  fs::remove_all(home);
  fs::create_directories(home / "config" / "parlumo");
  fs::create_directories(home / "runtime");
  fs::permissions(home / "runtime", fs::perms::owner_all);
  std::ofstream(home / "config" / "parlumo" / "parlumo.ini") << ini;
  return home;
}

std::string TrayOnlyIni() {
  return "[General]\nStartupType=0\n[Service]\nHost=" + Service().HostPort() + "\n";
}

struct Started {
  pid_t pid = -1;
  double secondsToTray = 0;
};

std::optional<Started> StartUntilInTray(const std::string& program, const fs::path& home) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (!entry.starts_with("XDG_CONFIG_HOME=") && !entry.starts_with("XDG_RUNTIME_DIR=") &&
        !entry.starts_with("XDG_STATE_HOME=")) {
      env.push_back(entry);
    }
  }
  env.push_back("XDG_CONFIG_HOME=" + (home / "config").string());
  env.push_back("XDG_RUNTIME_DIR=" + (home / "runtime").string());
  env.push_back("XDG_STATE_HOME=" + (home / "state").string());
  std::vector<char*> envp;
  for (std::string& entry : env)
    envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string path = program;
  char* argv[] = {path.data(), nullptr};

  const auto start = Clock::now();
  pid_t pid = -1;
  if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, envp.data()) != 0) {
    return std::nullopt;
  }
  while (Clock::now() - start < std::chrono::seconds(20)) {
    if (Probe().IconOf(pid)) {
      return Started{pid, std::chrono::duration<double>(Clock::now() - start).count()};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return std::nullopt;
}

void Stop(pid_t pid) {
  ::kill(pid, SIGTERM);
  int status = 0;
  ::waitpid(pid, &status, 0);
}

// Resident memory in KiB, from /proc/<pid>/status.
long ResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
  }
  return -1;
}

std::map<std::string, double>& ResidentMeans() {
  static std::map<std::string, double> means;
  return means;
}

void StartAndIdle(benchmark::State& state, const std::string& name, const std::string& program) {
  if (!Probe().Connected()) {
    state.SkipWithError("no X server (run under scripts/with-x11)");
    return;
  }
  double resident = 0;
  int samples = 0;
  for (auto _ : state) {
    const fs::path home = FreshHome(TrayOnlyIni());
    const auto started = StartUntilInTray(program, home);
    if (!started) {
      state.SkipWithError("the icon did not appear in the tray");
      break;
    }
    state.SetIterationTime(started->secondsToTray);
    // Idle: what the program keeps once start-up is over.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    resident += static_cast<double>(ResidentKiB(started->pid));
    ++samples;
    Stop(started->pid);
    fs::remove_all(home);
  }
  if (samples > 0) {
    state.counters["rss_KiB"] = resident / samples;
    ResidentMeans()[name] = resident / samples;
  }
}

void BM_TrayFloor(benchmark::State& state) {
  StartAndIdle(state, "floor", PARLUMO_TRAY_FLOOR);
}
void BM_Parlumo(benchmark::State& state) {
  StartAndIdle(state, "parlumo", PARLUMO_PROGRAM);
}

BENCHMARK(BM_TrayFloor)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Parlumo)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// --- From the hotkey to the clipboard -------------------------------------

constexpr const char* kMarkedText = "The house is very big.";
constexpr int kEnglishSpanish = 7;
constexpr int kPresses = 25;

// What the service gives for the marked text: the clipboard's goal.
std::string ExpectedTranslation() {
  parlumo::PollEventLoop loop;
  parlumo::THttpClient client(loop);
  parlumo::TParser parser;
  return parlumo::TranslateText(client, parser, kMarkedText, kEnglishSpanish, Service().HostPort(),
                                {})
      .Text();
}

// The client that holds the marked text, focused, all of it selected.
class CopyPeer {
 public:
  CopyPeer() {
    process_.start(PARLUMO_COPY_PEER, {QString::fromUtf8(kMarkedText)});
    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000 && !output.contains("ready\n")) {
      process_.waitForReadyRead(100);
      output += process_.readAllStandardOutput();
    }
    ready_ = output.contains("ready\n");
  }
  ~CopyPeer() {
    process_.closeWriteChannel();
    if (!process_.waitForFinished(5000)) process_.kill();
  }
  CopyPeer(const CopyPeer&) = delete;
  CopyPeer& operator=(const CopyPeer&) = delete;
  bool Ready() const { return ready_; }

 private:
  QProcess process_;
  bool ready_ = false;
};

// Puts a text of this process on the clipboard, so that the next change shows.
void ResetClipboard(int round) {
  QGuiApplication::clipboard()->setText(QStringLiteral("round %1").arg(round));
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 50)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Waits until the clipboard holds the text; false after 10 s. The clipboard is
// read only when the X server reports a new owner.
bool WaitForClipboard(const QString& text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  bool changed = false;
  const auto connection = QObject::connect(clipboard, &QClipboard::changed,
                                           [&changed](QClipboard::Mode) { changed = true; });
  QElapsedTimer clock;
  clock.start();
  bool found = false;
  while (!found && clock.elapsed() < 10000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    if (changed) {
      changed = false;
      found = clipboard->text() == text;
    }
  }
  QObject::disconnect(connection);
  return found;
}

// One press: Ctrl+Alt+T goes down, stays down while the program copies, and
// comes up once the translation is on the clipboard.
void BM_HotKeyToClipboard(benchmark::State& state) {
  parlumo::bench::XKeys keys;
  const QString expected = QString::fromStdString(ExpectedTranslation());
  const fs::path home =
      FreshHome("[General]\nStartupType=0\n[Service]\nHost=" + Service().HostPort() +
                "\n[Languages]\nQuickTranslation1=" + std::to_string(kEnglishSpanish) +
                "\n[QuickTranslate]\nHotkey1=" + std::to_string(0xC054) +
                "\nEnableHotkey1=1\nCopyToClipboard=1\nDisplayMessage=0\nNotifyBalloonHint=0\n");
  const auto started = StartUntilInTray(PARLUMO_PROGRAM, home);
  CopyPeer peer;
  if (!keys.Connected() || !started || !peer.Ready() || expected.isEmpty()) {
    state.SkipWithError("no program, copy peer or translation to measure with");
    if (started) Stop(started->pid);
    return;
  }
  // Settings loaded and hotkey registered; the first copies warm the peer.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  int round = 0;
  auto press = [&]() -> std::optional<double> {
    ResetClipboard(round++);
    const auto start = Clock::now();
    keys.Send({{"Control_L", true}, {"Alt_L", true}, {"t", true}});
    const bool found = WaitForClipboard(expected);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    keys.Send({{"t", false}, {"Alt_L", false}, {"Control_L", false}});
    // The program ends its run once the clipboard is written; let it.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return found ? std::optional<double>(seconds) : std::nullopt;
  };
  for (int i = 0; i < 3; ++i)
    press();
  for (auto _ : state) {
    const auto seconds = press();
    if (!seconds) {
      state.SkipWithError("the translation did not reach the clipboard");
      break;
    }
    state.SetIterationTime(*seconds);
    Samples()["hotkey"].push_back(*seconds);
  }
  Stop(started->pid);
  fs::remove_all(home);
}

// The floor: the same client copies on a synthetic Ctrl+C until the clipboard
// has its text, then one request goes to the warm service.
void BM_CopyPlusRequest(benchmark::State& state) {
  parlumo::bench::XKeys keys;
  CopyPeer peer;
  if (!keys.Connected() || !peer.Ready()) {
    state.SkipWithError("no copy peer");
    return;
  }
  const QString marked = QString::fromUtf8(kMarkedText);
  parlumo::PollEventLoop loop;
  parlumo::THttpClient client(loop);
  parlumo::TParser parser;
  int round = 0;
  auto once = [&]() -> std::optional<double> {
    ResetClipboard(round++);
    const auto start = Clock::now();
    keys.Send({{"Control_L", true}, {"c", true}, {"c", false}, {"Control_L", false}});
    if (!WaitForClipboard(marked)) return std::nullopt;
    const auto outcome = parlumo::TranslateText(client, parser, kMarkedText, kEnglishSpanish,
                                                Service().HostPort(), {});
    if (!outcome.Succeeded()) return std::nullopt;
    return std::chrono::duration<double>(Clock::now() - start).count();
  };
  for (int i = 0; i < 3; ++i)
    once();
  for (auto _ : state) {
    const auto seconds = once();
    if (!seconds) {
      state.SkipWithError("no copy or no translation");
      break;
    }
    state.SetIterationTime(*seconds);
    Samples()["floor"].push_back(*seconds);
  }
}

BENCHMARK(BM_CopyPlusRequest)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kPresses);
BENCHMARK(BM_HotKeyToClipboard)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kPresses);

}  // namespace

int main(int argc, char** argv) {
  // The clipboard is watched through Qt, on the X server of DISPLAY.
  QGuiApplication application(argc, argv);
  Service();  // up before the first start
  const int result = parlumo::bench::RunWithRatios(
      argc, argv, parlumo::bench::RatioReporter::Time::Real,
      {{"BM_Parlumo", "BM_TrayFloor"}, {"BM_HotKeyToClipboard", "BM_CopyPlusRequest"}});
  const auto& means = ResidentMeans();
  if (means.contains("parlumo") && means.contains("floor") && means.at("floor") > 0) {
    std::printf("Idle resident memory: parlumo %.0f KiB, floor %.0f KiB, ratio %.2fx\n",
                means.at("parlumo"), means.at("floor"), means.at("parlumo") / means.at("floor"));
  }
  const auto& samples = Samples();
  if (samples.contains("hotkey") && samples.contains("floor")) {
    const double hotkey = Median(samples.at("hotkey")) * 1000;
    const double floor = Median(samples.at("floor")) * 1000;
    std::printf(
        "Hotkey to clipboard: median %.1f ms of %zu presses; floor (copy + request) "
        "median %.1f ms; difference %+.1f ms\n",
        hotkey, samples.at("hotkey").size(), floor, hotkey - floor);
  }
  return result;
}
