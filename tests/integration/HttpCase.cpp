#include "HttpCase.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace parlumo::testing {

namespace {

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;)
    words.push_back(w);
  return words;
}

std::string WithCrlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

bool OneOf(const std::string& word, std::initializer_list<std::string_view> words) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

// "key value..." lines into a map (the value may hold blanks). A key outside
// keys fails the case: a misspelt check must not silently go unchecked.
std::map<std::string, std::string> KeyValues(const std::string& text, const std::string& where,
                                             std::initializer_list<std::string_view> keys) {
  std::map<std::string, std::string> values;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto space = line.find(' ');
    const std::string key = line.substr(0, space);
    if (!OneOf(key, keys)) throw std::runtime_error(where + ": unknown key \"" + key + "\"");
    values[key] = space == std::string::npos ? "" : line.substr(space + 1);
  }
  return values;
}

}  // namespace

HttpCase LoadHttpCase(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  HttpCase c;
  c.name = file.stem().string();

  std::vector<std::string> header;
  std::string section;
  auto flush = [&] {
    if (header.empty()) return;
    // The newline before the next "---" line ends the section's last line and is
    // no part of it, unless that line is the empty line that ends a header.
    if (section.size() >= 1 && section.back() == '\n' &&
        !(section.size() >= 2 && section[section.size() - 2] == '\n')) {
      section.pop_back();
    }
    const std::string kind = header[0];
    for (std::size_t i = 1; i < header.size(); ++i) {
      const bool known = OneOf(header[i], {"lf"}) || (kind == "request" && header[i] == "second") ||
                         (kind == "reply" && OneOf(header[i], {"keep", "hold"}));
      if (!known) {
        throw std::runtime_error(c.name + ": unknown option \"" + header[i] + "\" of " + kind);
      }
    }
    const bool lf = std::find(header.begin(), header.end(), "lf") != header.end();
    const bool second = std::find(header.begin(), header.end(), "second") != header.end();
    const std::string bytes = lf ? section : WithCrlf(section);
    if (kind == "client") {
      c.client = KeyValues(section, c.name + ", client",
                           {"url", "method", "body", "proxy", "proxyuser", "user", "version",
                            "nocache", "timeout", "norelocation", "agent"});
    } else if (kind == "request") {
      c.exchanges.push_back(HttpExchange{bytes, "", false, false, second});
    } else if (kind == "reply") {
      if (c.exchanges.empty()) throw std::runtime_error(c.name + ": reply before request");
      auto& e = c.exchanges.back();
      e.reply = bytes;
      e.keep = std::find(header.begin(), header.end(), "keep") != header.end();
      e.hold = std::find(header.begin(), header.end(), "hold") != header.end();
    } else if (kind == "expect") {
      c.expect = KeyValues(section, c.name + ", expect",
                           {"status", "reason", "exception", "no-exception", "rcvd", "location",
                            "content-type", "done-error", "connections"});
    } else if (kind == "body") {
      c.hasBody = true;
      c.body = bytes;
    } else {
      throw std::runtime_error(c.name + ": unknown section " + kind);
    }
  };
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("--- ", 0) == 0) {
      flush();
      header = Words(line.substr(4));
      section.clear();
      continue;
    }
    if (!header.empty()) section += line + "\n";
  }
  flush();
  return c;
}

std::vector<std::filesystem::path> HttpCaseFiles(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".http") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string Substitute(std::string text, const std::map<std::string, std::string>& values) {
  for (const auto& [name, value] : values) {
    const std::string key = "%" + name + "%";
    for (auto pos = text.find(key); pos != std::string::npos; pos = text.find(key, pos)) {
      text.replace(pos, key.size(), value);
      pos += value.size();
    }
  }
  return text;
}

}  // namespace parlumo::testing
