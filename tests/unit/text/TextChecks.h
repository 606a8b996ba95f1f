#pragma once

#include <array>
#include <cctype>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace parlumo::textcheck {

// Strict UTF-8: no stray continuation bytes, no overlong forms, no surrogates, nothing
// above U+10FFFF, no sequence cut off at the end.
inline bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, code = lead & 0x07, minimum = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

// The accelerator letters of a caption, lower case: each "&" marks the character after
// it, "&&" is a literal ampersand.
inline std::vector<char> Accelerators(std::string_view caption) {
  std::vector<char> letters;
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    letters.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(caption[i + 1]))));
  }
  return letters;
}

// Fails when two different captions of one window share an accelerator letter (a
// caption repeated on several controls, such as a shared label text, counts once), or
// when a caption marks more than one letter or a character that is not an ASCII letter.
inline void ExpectDistinctAccelerators(const std::vector<std::string>& captions,
                                       const std::string& window) {
  std::map<char, std::string> owner;
  for (const std::string& caption : captions) {
    const std::vector<char> letters = Accelerators(caption);
    ASSERT_LE(letters.size(), 1u) << window << ": " << caption;
    if (letters.empty()) continue;
    const char letter = letters.front();
    EXPECT_TRUE(letter >= 'a' && letter <= 'z') << window << ": " << caption;
    const auto [it, inserted] = owner.emplace(letter, caption);
    EXPECT_TRUE(inserted || it->second == caption)
        << window << ": \"" << caption << "\" and \"" << it->second << "\" both use &" << letter;
  }
}

// The pair names, index 0 to 11 (keys 500 to 511), as the program's pair table gives
// them; "»" is U+00BB.
inline constexpr std::array<std::string_view, 12> kPairNamesEnglish = {
    "English » German", "German » English",  "French » German",      "German » French",
    "English » French", "English » Italian", "English » Portuguese", "English » Spanish",
    "French » English", "Italian » English", "Portuguese » English", "Spanish » English"};
inline constexpr std::array<std::string_view, 12> kPairNamesGerman = {
    "Englisch » Deutsch",       "Deutsch » Englisch",       "Französisch » Deutsch",
    "Deutsch » Französisch",    "Englisch » Französisch",   "Englisch » Italienisch",
    "Englisch » Portugiesisch", "Englisch » Spanisch",      "Französisch » Englisch",
    "Italienisch » Englisch",   "Portugiesisch » Englisch", "Spanisch » Englisch"};

}  // namespace parlumo::textcheck
