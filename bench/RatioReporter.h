#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace parlumo::bench {

// Prints what the console reporter prints, keeps each benchmark's time per
// iteration, and at the end prints each named benchmark against its reference
// measured in the same run: the time ratio and its inverse, the speed ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  enum class Time { Cpu, Real };
  struct Pair {
    std::string name;
    std::string reference;
  };

  RatioReporter(Time time, std::vector<Pair> pairs) : time_(time), pairs_(std::move(pairs)) {}

  // A benchmark run in repetitions counts with the median of its repetitions.
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const double time = time_ == Time::Cpu ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
      if (run.run_type == Run::RT_Iteration) {
        times_[run.benchmark_name()] = time;
      } else if (run.aggregate_name == "median") {
        times_[run.run_name.str()] = time;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    std::printf("\n%s time per iteration against the reference of the same run:\n",
                time_ == Time::Cpu ? "CPU" : "Wall-clock");
    for (const auto& [name, reference] : pairs_) {
      const auto t = Find(name);
      const auto r = Find(reference);
      if (t == times_.end() || r == times_.end() || r->second <= 0 || t->second <= 0) continue;
      std::printf("  %-40s vs %-36s time %6.2fx  speed %6.2fx\n", name.c_str(), reference.c_str(),
                  t->second / r->second, r->second / t->second);
    }
  }

 private:
  // The benchmark of that name, or the first whose name continues it with "/"
  // (arguments and options such as "/real_time").
  std::map<std::string, double>::const_iterator Find(const std::string& name) const {
    for (auto it = times_.begin(); it != times_.end(); ++it) {
      if (it->first == name || it->first.starts_with(name + "/")) return it;
    }
    return times_.end();
  }

  Time time_;
  std::vector<Pair> pairs_;
  std::map<std::string, double> times_;
};

// How the repetitions of the benchmarks are ordered.
enum class Order {
  AsRegistered,
  // Repetitions of all benchmarks in random order, so that a benchmark and its
  // reference meet the same machine state: one that leaves lasting state behind (a
  // closed connection is a port in TIME_WAIT for a minute, and finding a free port
  // takes longer the more there are) then burdens both alike, not the one run later.
  Interleaved,
};

// The main() of a benchmark program that ends with its ratios.
inline int RunWithRatios(int argc, char** argv, RatioReporter::Time time,
                         std::vector<RatioReporter::Pair> pairs,
                         Order order = Order::AsRegistered) {
  std::vector<char*> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  // Given first, so that the command line can still turn it off.
  if (order == Order::Interleaved) args.insert(args.begin() + 1, interleave);
  argc = static_cast<int>(args.size());
  argv = args.data();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(time, std::move(pairs));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}

}  // namespace parlumo::bench
