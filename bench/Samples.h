#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

// Timings a bench program collects by name across its benchmarks, for figures
// (medians) that Google Benchmark's own report does not give.
namespace parlumo::bench {

inline std::map<std::string, std::vector<double>>& Samples() {
  static std::map<std::string, std::vector<double>> samples;
  return samples;
}

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace parlumo::bench
