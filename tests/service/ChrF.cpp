#include "ChrF.h"

#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>
#include <string>

#include "runtime/Utf8.h"

namespace parlumo::service {

namespace {

constexpr int kOrders = 6;
constexpr double kBeta = 2.0;

// The code points of the text without its white space; bytes that are not UTF-8
// count one each.
std::u32string Characters(std::string_view text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    char32_t code = 0;
    std::size_t length = DecodeUtf8(text, i, code);
    if (length == 0) {
      code = static_cast<unsigned char>(text[i]);
      length = 1;
    }
    i += length;
    if (code == ' ' || code == '\t' || code == '\n' || code == '\r') continue;
    out.push_back(code);
  }
  return out;
}

struct OrderCounts {
  double matched = 0;
  double inTranslation = 0;
  double inReference = 0;
};

}  // namespace

double CorpusChrF(const std::vector<std::string_view>& translations,
                  const std::vector<std::string_view>& references) {
  if (translations.size() != references.size()) {
    throw std::invalid_argument("chrF: as many translations as references are needed");
  }
  std::array<OrderCounts, kOrders> totals{};
  for (std::size_t s = 0; s < translations.size(); ++s) {
    const std::u32string hypothesis = Characters(translations[s]);
    const std::u32string reference = Characters(references[s]);
    for (int n = 1; n <= kOrders; ++n) {
      std::map<std::u32string_view, int> grams;
      const std::u32string_view ref(reference);
      const std::u32string_view hyp(hypothesis);
      for (std::size_t i = 0; i + n <= ref.size(); ++i)
        ++grams[ref.substr(i, n)];
      OrderCounts& counts = totals[n - 1];
      counts.inReference += ref.size() >= static_cast<std::size_t>(n) ? ref.size() - n + 1 : 0;
      for (std::size_t i = 0; i + n <= hyp.size(); ++i) {
        counts.inTranslation += 1;
        const auto it = grams.find(hyp.substr(i, n));
        if (it != grams.end() && it->second > 0) {
          --it->second;
          counts.matched += 1;
        }
      }
    }
  }
  double sum = 0;
  int orders = 0;
  for (const OrderCounts& counts : totals) {
    if (counts.inTranslation == 0 || counts.inReference == 0) continue;
    ++orders;
    const double precision = counts.matched / counts.inTranslation;
    const double recall = counts.matched / counts.inReference;
    const double b2 = kBeta * kBeta;
    const double denominator = b2 * precision + recall;
    if (denominator > 0) sum += (1 + b2) * precision * recall / denominator;
  }
  return orders == 0 ? 0 : 100 * sum / orders;
}

}  // namespace parlumo::service
