#include "translate/Parser.h"

#include <cstring>

namespace parlumo {

namespace {

// Upper-cases the ASCII letters a-z only; every other byte stays as it is. Written
// without branches so that the compiler can fold many bytes at once.
std::string FoldedCopy(std::string_view s) {
  std::string folded(s.size(), '\0');
  const auto* in = reinterpret_cast<const unsigned char*>(s.data());
  auto* out = reinterpret_cast<unsigned char*>(folded.data());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = in[i];
    const unsigned char isLower = static_cast<unsigned char>(c - 'a') < 26 ? 1 : 0;
    out[i] = static_cast<unsigned char>(c - (isLower << 5));
  }
  return folded;
}

// First occurrence of needle in haystack at or after from, or npos. glibc's memmem
// is linear in the worst case (it falls back to the Two-Way algorithm for inputs
// that would make a simple search quadratic), which keeps Parse linear even for
// pathological dividers such as "aaab" in a run of "a".
std::size_t FindFrom(std::string_view haystack, std::string_view needle, std::size_t from) {
  const void* hit =
      ::memmem(haystack.data() + from, haystack.size() - from, needle.data(), needle.size());
  if (hit == nullptr) return std::string_view::npos;
  return static_cast<std::size_t>(static_cast<const char*>(hit) - haystack.data());
}

}  // namespace

void TParser::Parse(std::string_view text) {
  pieces_.clear();
  if (text.empty()) return;
  if (dividingString_.empty()) {
    pieces_.emplace_back(text);
    return;
  }

  // Without regard to case, search the folded text for the folded divider: folding
  // maps byte to byte, so positions in the folded copy are positions in the text.
  std::string foldedText;
  std::string foldedDivider;
  std::string_view haystack = text;
  std::string_view needle = dividingString_;
  if (!caseSensitive_) {
    foldedText = FoldedCopy(text);
    foldedDivider = FoldedCopy(dividingString_);
    haystack = foldedText;
    needle = foldedDivider;
  }

  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t hit = FindFrom(haystack, needle, start);
    if (hit == std::string_view::npos) {
      pieces_.emplace_back(text.substr(start));
      break;
    }
    pieces_.emplace_back(text.substr(start, hit - start));
    start = hit + needle.size();
  }
}

}  // namespace parlumo
