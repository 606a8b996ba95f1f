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

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        times_[run.benchmark_name()] =
            time_ == Time::Cpu ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
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

// The main() of a benchmark program that ends with its ratios.
inline int RunWithRatios(int argc, char** argv, RatioReporter::Time time,
                         std::vector<RatioReporter::Pair> pairs) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(time, std::move(pairs));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}

}  // namespace parlumo::bench
