#include "HttpCase.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "net/SocketErrors.h"

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
// keys fails the case: a misspelt check must not silently go unchecked. So does
// a key given twice: only one of the two values could count.
std::map<std::string, std::string> KeyValues(const std::string& text, const std::string& where,
                                             std::initializer_list<std::string_view> keys) {
  std::map<std::string, std::string> values;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto space = line.find(' ');
    const std::string key = line.substr(0, space);
    if (!OneOf(key, keys)) throw std::runtime_error(where + ": unknown key \"" + key + "\"");
    const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
    if (!values.emplace(key, value).second) {
      throw std::runtime_error(where + ": key \"" + key + "\" given twice");
    }
  }
  return values;
}

#define PARLUMO_NAMED(error) \
  { #error, error }
// Every Windows Sockets name of net/SocketErrors.h, for the "done-error" check.
constexpr std::pair<std::string_view, int> kSocketErrorNames[] = {
    PARLUMO_NAMED(WSAEINTR),           PARLUMO_NAMED(WSAEBADF),
    PARLUMO_NAMED(WSAEACCES),          PARLUMO_NAMED(WSAEFAULT),
    PARLUMO_NAMED(WSAEINVAL),          PARLUMO_NAMED(WSAEMFILE),
    PARLUMO_NAMED(WSAEWOULDBLOCK),     PARLUMO_NAMED(WSAEINPROGRESS),
    PARLUMO_NAMED(WSAEALREADY),        PARLUMO_NAMED(WSAENOTSOCK),
    PARLUMO_NAMED(WSAEDESTADDRREQ),    PARLUMO_NAMED(WSAEMSGSIZE),
    PARLUMO_NAMED(WSAEPROTOTYPE),      PARLUMO_NAMED(WSAENOPROTOOPT),
    PARLUMO_NAMED(WSAEPROTONOSUPPORT), PARLUMO_NAMED(WSAESOCKTNOSUPPORT),
    PARLUMO_NAMED(WSAEOPNOTSUPP),      PARLUMO_NAMED(WSAEPFNOSUPPORT),
    PARLUMO_NAMED(WSAEAFNOSUPPORT),    PARLUMO_NAMED(WSAEADDRINUSE),
    PARLUMO_NAMED(WSAEADDRNOTAVAIL),   PARLUMO_NAMED(WSAENETDOWN),
    PARLUMO_NAMED(WSAENETUNREACH),     PARLUMO_NAMED(WSAENETRESET),
    PARLUMO_NAMED(WSAECONNABORTED),    PARLUMO_NAMED(WSAECONNRESET),
    PARLUMO_NAMED(WSAENOBUFS),         PARLUMO_NAMED(WSAEISCONN),
    PARLUMO_NAMED(WSAENOTCONN),        PARLUMO_NAMED(WSAESHUTDOWN),
    PARLUMO_NAMED(WSAETOOMANYREFS),    PARLUMO_NAMED(WSAETIMEDOUT),
    PARLUMO_NAMED(WSAECONNREFUSED),    PARLUMO_NAMED(WSAELOOP),
    PARLUMO_NAMED(WSAENAMETOOLONG),    PARLUMO_NAMED(WSAEHOSTDOWN),
    PARLUMO_NAMED(WSAEHOSTUNREACH),    PARLUMO_NAMED(WSAENOTEMPTY),
    PARLUMO_NAMED(WSAEPROCLIM),        PARLUMO_NAMED(WSAEUSERS),
    PARLUMO_NAMED(WSAEDQUOT),          PARLUMO_NAMED(WSAESTALE),
    PARLUMO_NAMED(WSAEREMOTE),         PARLUMO_NAMED(WSASYSNOTREADY),
    PARLUMO_NAMED(WSAVERNOTSUPPORTED), PARLUMO_NAMED(WSANOTINITIALISED),
    PARLUMO_NAMED(WSAHOST_NOT_FOUND),  PARLUMO_NAMED(WSATRY_AGAIN),
    PARLUMO_NAMED(WSANO_RECOVERY),     PARLUMO_NAMED(WSANO_DATA),
};
#undef PARLUMO_NAMED

}  // namespace

HttpCase LoadHttpCase(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  HttpCase c;
  c.name = file.stem().string();

  std::vector<std::string> header;
  std::string section;
  std::vector<std::string> seen;  // the sections that may appear once
  auto flush = [&] {
    if (header.empty()) return;
    // The newline before the next "---" line ends the section's last line and is
    // no part of it, unless that line is the empty line that ends a header.
    if (section.size() >= 1 && section.back() == '\n' &&
        !(section.size() >= 2 && section[section.size() - 2] == '\n')) {
      section.pop_back();
    }
    const std::string kind = header[0];
    if (OneOf(kind, {"client", "expect", "body"})) {
      if (std::find(seen.begin(), seen.end(), kind) != seen.end()) {
        throw std::runtime_error(c.name + ": section " + kind + " given twice");
      }
      seen.push_back(kind);
    }
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
      if (const auto method = c.client.find("method"); method != c.client.end()) {
        try {
          CaseMethod(method->second);
        } catch (const std::invalid_argument& e) {
          throw std::runtime_error(c.name + ", client: " + e.what());
        }
      }
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
      if (const auto error = c.expect.find("done-error"); error != c.expect.end()) {
        try {
          ErrorNumber(error->second);
        } catch (const std::invalid_argument& e) {
          throw std::runtime_error(c.name + ", expect: " + e.what());
        }
      }
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
      if (header.empty()) throw std::runtime_error(c.name + ": \"---\" line without a section");
      section.clear();
      continue;
    }
    if (!header.empty()) {
      section += line + "\n";
    } else if (!line.empty() && line[0] != '#') {
      throw std::runtime_error(c.name + ": text before the first section: \"" + line + "\"");
    }
  }
  flush();
  return c;
}

THttpRequest CaseMethod(const std::string& name) {
  if (name == "GET") return THttpRequest::httpGET;
  if (name == "HEAD") return THttpRequest::httpHEAD;
  if (name == "PUT") return THttpRequest::httpPUT;
  if (name == "POST") return THttpRequest::httpPOST;
  throw std::invalid_argument("unknown method \"" + name + "\"");
}

int ErrorNumber(const std::string& value) {
  const auto named = std::find_if(std::begin(kSocketErrorNames), std::end(kSocketErrorNames),
                                  [&](const auto& entry) { return entry.first == value; });
  if (named != std::end(kSocketErrorNames)) return named->second;
  const bool digits = !value.empty() && value.size() <= 9 &&
                      std::all_of(value.begin(), value.end(),
                                  [](unsigned char ch) { return std::isdigit(ch) != 0; });
  if (!digits) throw std::invalid_argument("unknown error name \"" + value + "\"");
  return std::stoi(value);
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
