#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace parlumo::test {

// The splitter's rule written the plain way, as an oracle for TParser: upper-case
// copies of the working string and the divider for every search, and the working
// string shortened by deletion after each divider found. Quadratic, but obviously
// right, and sharing no code with the real one.
inline std::vector<std::string> ReferenceSplit(std::string_view text, std::string_view divider,
                                               bool caseSensitive) {
  auto upper = [](std::string s) {
    for (char& c : s) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
  };
  std::vector<std::string> pieces;
  std::string work(text);
  while (true) {
    std::size_t found = std::string::npos;
    if (!divider.empty()) {
      found = caseSensitive ? work.find(divider) : upper(work).find(upper(std::string(divider)));
    }
    if (found == std::string::npos) {
      if (!work.empty()) pieces.push_back(work);
      return pieces;
    }
    pieces.push_back(work.substr(0, found));
    work.erase(0, found + divider.size());
  }
}

}  // namespace parlumo::test
