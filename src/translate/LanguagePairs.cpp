#include "translate/LanguagePairs.h"

#include <array>

namespace parlumo {

namespace {

// Index order is fixed: it is what the settings file stores.
constexpr std::array<std::string_view, kLanguagePairCount> kPairCodes = {
    "en|de", "de|en", "fr|de", "de|fr", "en|fr", "en|it",
    "en|pt", "en|es", "fr|en", "it|en", "pt|en", "es|en",
};

}  // namespace

std::string_view LanguagePairCode(int index) {
  return kPairCodes[static_cast<std::size_t>(IsLanguagePairIndex(index) ? index : 0)];
}

int LanguagePairNameKey(int index) {
  return kFirstLanguagePairKey + (IsLanguagePairIndex(index) ? index : 0);
}

int LanguagePairIndex(std::string_view code) {
  for (int i = 0; i < kLanguagePairCount; ++i) {
    if (kPairCodes[static_cast<std::size_t>(i)] == code) return i;
  }
  return -1;
}

}  // namespace parlumo
