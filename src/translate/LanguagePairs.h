#pragma once

#include <string_view>

namespace parlumo {

// The twelve language pairs the program translates between. A pair is held as an
// index into one fixed table everywhere (settings, pair lists, hotkeys); the code
// ("source|target") is what goes to the translation service and the name key is
// the user-interface text that names the pair.

inline constexpr int kLanguagePairCount = 12;

// Text key of the name of pair 0; pair i is named by key kFirstLanguagePairKey + i.
inline constexpr int kFirstLanguagePairKey = 500;

// Whether index names a row of the table (0 to kLanguagePairCount - 1).
constexpr bool IsLanguagePairIndex(int index) {
  return index >= 0 && index < kLanguagePairCount;
}

// The pair code of a row. Every index outside the table (-1 from a list without a
// selection, 12 or more from a hand-edited settings file) gives "en|de", the code
// of pair 0.
std::string_view LanguagePairCode(int index);

// The text key of a row's name: 500 + index. An index outside the table gives the
// key of pair 0, the pair whose code LanguagePairCode gives for it, so a title never
// names a pair other than the one that was sent.
int LanguagePairNameKey(int index);

// The index of the row whose code is exactly code (for example "en|de" gives 0), or
// -1 when no row has it. Codes are compared byte for byte.
int LanguagePairIndex(std::string_view code);

}  // namespace parlumo
