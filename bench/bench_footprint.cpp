// The memory of parlumo-service and every engine process it starts, measured as PSS
// (proportional set size: the sum of Pss in /proc/<pid>/smaps_rollup over the service
// and all its descendants, so pages they share count once), at four moments of a
// fresh service's life:
//   1. right after its start,
//   2. after its first English-German answer (and the time from the start to it),
//   3. after one request in each of the program's pairs (as the service lists them),
//      with the peak sampled every 10 ms on the way,
//   4. after the engine idle time has passed with no request.
// The service runs with the engine idle time shortened (kShortIdle) so that the run
// ends in well under a minute; the output names the setting. Its German index is in a
// cache folder of the run, which a service started before it has built (the time to
// its first English-German answer is reported too: what the first start after an
// installation or a dictionary update costs). Then the first request
// of a pair whose pipeline was released, beside a fresh `apertium -u eng-spa` of the
// same run.
// Beside them, the warm latencies of a ten-word English-Spanish and English-German
// translation on that service and on a reference service of the same build started
// with an idle time that never passes, measured by the same code in the same run,
// and their ratio.
// Wall-clock time: the work happens in other processes.

#include <benchmark/benchmark.h>
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "RatioReporter.h"
#include "ServiceProcess.h"
#include "ServiceTranslations.h"
#include "runtime/ProcessMemory.h"
#include "translate/LanguagePairs.h"
#include "translate/TranslationPage.h"

namespace {

using Clock = std::chrono::steady_clock;
using parlumo::testing::ServiceProcess;

// The engine idle time of the measured service, and of the reference one.
constexpr int kShortIdle = 2;
constexpr int kReferenceIdle = 86400;
constexpr const char* kTenWords = "The old man walks his small dog in the park.";

// The German index cache of this run: a folder of its own, removed at the end.
class IndexCache {
 public:
  IndexCache() {
    char pattern[] = "/tmp/parlumo-bench-XXXXXX";
    if (::mkdtemp(pattern) != nullptr) folder_ = pattern;
  }
  ~IndexCache() {
    std::error_code error;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, error);
  }
  IndexCache(const IndexCache&) = delete;
  IndexCache& operator=(const IndexCache&) = delete;
  std::string File() const { return folder_ + "/german-index"; }

 private:
  std::string folder_;
};

const IndexCache& Cache() {
  static const IndexCache cache;
  return cache;
}

// A service of this build with the run's index cache and the given idle time.
std::unique_ptr<ServiceProcess> StartService(int idleSeconds) {
  return std::make_unique<ServiceProcess>(std::vector<std::string>{
      "--engine-idle", std::to_string(idleSeconds), "--index-cache", Cache().File()});
}

// The PSS of the service and all its descendants, in MB; and how many processes.
struct Footprint {
  double megabytes = 0;
  std::size_t processes = 0;
};

Footprint Measure(const ServiceProcess& service) {
  Footprint footprint;
  std::vector<pid_t> pids = service.Descendants();
  pids.push_back(service.Pid());
  for (const pid_t pid : pids) {
    const auto bytes = parlumo::ProportionalSetSize(pid);
    if (!bytes) continue;  // ended meanwhile
    footprint.megabytes += static_cast<double>(*bytes) / (1 << 20);
    ++footprint.processes;
  }
  return footprint;
}

// One translation on a new connection; false when none came back.
bool TranslateOnce(int port, std::string_view text, std::string_view pair) {
  httplib::Client client("127.0.0.1", port);
  client.set_keep_alive(false);
  client.set_read_timeout(std::chrono::seconds(120));
  const auto res = client.Post(
      "/translate_t",
      "text=" + parlumo::FormUrlEncode(text) + "&langpair=" + parlumo::FormUrlEncode(pair),
      "application/x-www-form-urlencoded");
  return res && res->status == 200 && parlumo::ExtractTranslation(res->body).Succeeded();
}

// The program's pairs among those the service's start page lists, in its order.
std::vector<std::string> OfferedProgramPairs(int port) {
  httplib::Client client("127.0.0.1", port);
  const auto res = client.Get("/");
  std::vector<std::string> pairs;
  if (!res) return pairs;
  const std::regex cell("<td>([a-z]{2}\\|[a-z]{2})</td>");
  for (auto it = std::sregex_iterator(res->body.begin(), res->body.end(), cell);
       it != std::sregex_iterator(); ++it) {
    const std::string code = (*it)[1];
    if (parlumo::LanguagePairIndex(code) >= 0) pairs.push_back(code);
  }
  return pairs;
}

// A sentence in the source language of a pair.
std::string SentenceFor(std::string_view pair) {
  const std::string_view source = pair.substr(0, 2);
  if (source == "de") return "Der alte Mann geht mit seinem kleinen Hund im Park spazieren.";
  if (source == "fr") return "Le vieil homme promène son petit chien dans le parc.";
  if (source == "it") return "Il vecchio porta a spasso il suo piccolo cane nel parco.";
  if (source == "pt") return "O velho passeia o seu pequeno cão no parque.";
  if (source == "es") return "El viejo pasea a su perro pequeño en el parque.";
  return kTenWords;
}

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// `apertium -u eng-spa` started afresh on the ten words: what a translation costs
// without a running pipeline.
double FreshApertiumMilliseconds() {
  const auto start = Clock::now();
  const std::string command =
      std::string("echo '") + kTenWords + "' | apertium -u eng-spa > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  return status == 0 ? Milliseconds(Clock::now() - start) : -1;
}

// The four moments, as counters of one iteration.
void BM_Footprint(benchmark::State& state) {
  for (auto _ : state) {
    // The first start builds the index into the cache.
    std::filesystem::remove(Cache().File());
    const auto building = Clock::now();
    if (!TranslateOnce(StartService(kShortIdle)->Port(), kTenWords, "en|de")) {
      state.SkipWithError("no English-German translation from the service building its index");
      return;
    }
    const double firstGermanBuilding = Milliseconds(Clock::now() - building);

    const auto started = Clock::now();
    const auto measured = StartService(kShortIdle);
    const ServiceProcess& service = *measured;
    const Footprint atStart = Measure(service);

    if (!TranslateOnce(service.Port(), kTenWords, "en|de")) {
      state.SkipWithError("no English-German translation from the service");
      return;
    }
    const double firstGerman = Milliseconds(Clock::now() - started);
    const Footprint afterGerman = Measure(service);

    const auto pairs = OfferedProgramPairs(service.Port());
    // The peak is sampled all along the walk, not only between requests: pipelines
    // start and stop inside a request of a chained pair.
    Footprint peak = afterGerman;
    std::atomic<bool> walking{true};
    std::thread sampler([&] {
      while (walking) {
        const Footprint now = Measure(service);
        if (now.megabytes > peak.megabytes) peak = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
    bool translated = true;
    for (const auto& pair : pairs) {
      if (!TranslateOnce(service.Port(), SentenceFor(pair), pair)) {
        state.SkipWithError(("no translation for " + pair).c_str());
        translated = false;
        break;
      }
    }
    walking = false;
    sampler.join();
    if (!translated) return;
    const Footprint afterPairs = Measure(service);
    if (afterPairs.megabytes > peak.megabytes) peak = afterPairs;

    // Idle: until every pipeline has been stopped (or well past the idle time).
    const auto idleEnd = Clock::now() + std::chrono::seconds(kShortIdle * 3 + 2);
    while (!service.Descendants().empty() && Clock::now() < idleEnd)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const Footprint idle = Measure(service);

    const auto again = Clock::now();
    const bool restarted = TranslateOnce(service.Port(), kTenWords, "en|es");
    const double firstAfterRelease = restarted ? Milliseconds(Clock::now() - again) : -1;
    const double fresh = FreshApertiumMilliseconds();

    state.counters["start_MB"] = atStart.megabytes;
    state.counters["first_ende_MB"] = afterGerman.megabytes;
    state.counters["first_ende_ms"] = firstGerman;
    state.counters["first_ende_building_ms"] = firstGermanBuilding;
    state.counters["pairs"] = static_cast<double>(pairs.size());
    state.counters["all_pairs_MB"] = afterPairs.megabytes;
    state.counters["all_pairs_procs"] = static_cast<double>(afterPairs.processes);
    state.counters["peak_MB"] = peak.megabytes;
    state.counters["idle_MB"] = idle.megabytes;
    state.counters["idle_procs"] = static_cast<double>(idle.processes);
    state.counters["released_enes_ms"] = firstAfterRelease;
    state.counters["fresh_apertium_ms"] = fresh;

    std::printf(
        "\nparlumo-service run with --engine-idle %d (default 120), --max-pipelines 4 and "
        "--engine-memory 256 (defaults); PSS of the service and its engine processes:\n"
        "  after start                       %7.1f MB  %3zu processes\n"
        "  after the first en|de answer      %7.1f MB  %3zu processes  (%.0f ms from start; "
        "%.0f ms on the start that built the index)\n"
        "  after one request in each of %2zu pairs %5.1f MB  %3zu processes  (peak %.1f MB, "
        "%zu processes)\n"
        "  after %d s idle                    %7.1f MB  %3zu processes\n"
        "  first en|es after its release: %.0f ms; a fresh apertium -u eng-spa: %.0f ms "
        "(%.2fx)\n\n",
        kShortIdle, atStart.megabytes, atStart.processes, afterGerman.megabytes,
        afterGerman.processes, firstGerman, firstGermanBuilding, pairs.size(), afterPairs.megabytes,
        afterPairs.processes, peak.megabytes, peak.processes, kShortIdle, idle.megabytes,
        idle.processes, firstAfterRelease, fresh, fresh > 0 ? firstAfterRelease / fresh : 0.0);
    std::fflush(stdout);
  }
}

// A service of this build with the dictionary, once it has loaded it: a service
// still loading would take a core from the requests measured beside it.
std::unique_ptr<ServiceProcess> LoadedService(int idleSeconds) {
  auto service = StartService(idleSeconds);
  TranslateOnce(service->Port(), kTenWords, "en|de");
  return service;
}

// The measured service (short idle time) and the reference (an idle time that never
// passes).
ServiceProcess& ShortIdleService() {
  static const auto service = LoadedService(kShortIdle);
  return *service;
}
ServiceProcess& ReferenceService() {
  static const auto service = LoadedService(kReferenceIdle);
  return *service;
}

void BM_WarmEnglishSpanish_ShortIdle(benchmark::State& state) {
  parlumo::bench::MeasureTranslations(state, ShortIdleService().Port(), kTenWords, "en|es");
}
void BM_WarmEnglishSpanish_Reference(benchmark::State& state) {
  parlumo::bench::MeasureTranslations(state, ReferenceService().Port(), kTenWords, "en|es");
}
void BM_WarmEnglishGerman_ShortIdle(benchmark::State& state) {
  parlumo::bench::MeasureTranslations(state, ShortIdleService().Port(), kTenWords, "en|de");
}
void BM_WarmEnglishGerman_Reference(benchmark::State& state) {
  parlumo::bench::MeasureTranslations(state, ReferenceService().Port(), kTenWords, "en|de");
}

BENCHMARK(BM_Footprint)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
// Five repetitions each: the console shows their median, which the ratios use.
BENCHMARK(BM_WarmEnglishSpanish_ShortIdle)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.3)
    ->Repetitions(5);
BENCHMARK(BM_WarmEnglishSpanish_Reference)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.3)
    ->Repetitions(5);
BENCHMARK(BM_WarmEnglishGerman_ShortIdle)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.3)
    ->Repetitions(5);
BENCHMARK(BM_WarmEnglishGerman_Reference)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.3)
    ->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  using parlumo::bench::RatioReporter;
  return parlumo::bench::RunWithRatios(
      argc, argv, RatioReporter::Time::Real,
      {{"BM_WarmEnglishSpanish_ShortIdle", "BM_WarmEnglishSpanish_Reference"},
       {"BM_WarmEnglishGerman_ShortIdle", "BM_WarmEnglishGerman_Reference"}});
}
