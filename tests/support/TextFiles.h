#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// What the end-to-end tests expect of a translation written to a file, worked
// out apart from the program's own code.
namespace parlumo::test {

// The lines of a text as a list splits them (CR LF, LF or CR end a line), each
// written back with CR LF: what a translation written to a file holds.
inline std::string CrLfLines(const std::string& text) {
  std::string out;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out += line + "\r\n";
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) out += line + "\r\n";
  return out;
}

// The file's bytes; empty when it cannot be read.
inline std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace parlumo::test
