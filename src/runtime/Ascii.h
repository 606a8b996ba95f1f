#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace parlumo {

// Character rules of protocol texts (header names, schemes, charsets, tags,
// file names): only the ASCII letters have a case, whatever the locale, so
// the bytes of UTF-8 text pass through unchanged.

inline char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLower(std::string_view s) {
  std::string lower(s);
  for (char& c : lower)
    c = AsciiLower(c);
  return lower;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

inline bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

// Where needle first stands in haystack from 'from' on, compared without case;
// npos when nowhere.
inline std::size_t FindNoCase(std::string_view haystack, std::string_view needle,
                              std::size_t from = 0) {
  for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
    if (EqualsNoCase(haystack.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

// The text without the blanks and tabs at its ends.
inline std::string_view TrimBlanks(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

inline bool IsAsciiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The value of a hexadecimal digit, or -1 for any other character.
inline int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace parlumo
