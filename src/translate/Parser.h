#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parlumo {

// The text splitter: cuts a string into the pieces that lie between occurrences of
// a divider. Occurrences are found from left to right and do not overlap. A text
// that begins with the divider, or holds two dividers next to each other, gives
// empty pieces there; a text that ends with the divider gives no empty last piece;
// an empty text gives no pieces at all. An empty divider never matches, so a
// non-empty text is then one piece.
//
// Parse runs in time linear in the length of the text (and the divider), whatever
// the number of dividers in it.
class TParser {
 public:
  TParser() = default;

  const std::string& DividingString() const { return dividingString_; }
  void SetDividingString(std::string dividingString) {
    dividingString_ = std::move(dividingString);
  }

  // With CaseSensitive false (the initial value) the divider matches without regard
  // to the case of the ASCII letters a-z/A-Z; every other byte, including the bytes
  // of non-ASCII letters, must match exactly. The pieces always keep the text's case.
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool caseSensitive) { caseSensitive_ = caseSensitive; }

  // The pieces found by the last Parse, in order. A missing piece is detected by
  // the size of the list: callers index it only after checking.
  const std::vector<std::string>& Pieces() const { return pieces_; }

  // Replaces Pieces with the pieces of text.
  void Parse(std::string_view text);

 private:
  std::string dividingString_;
  bool caseSensitive_ = false;
  std::vector<std::string> pieces_;
};

}  // namespace parlumo
