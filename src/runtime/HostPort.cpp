#include "runtime/HostPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>

#include "runtime/Ascii.h"

namespace parlumo {

namespace {

bool ParseIpv6(std::string_view text, in6_addr& address) {
  const std::string literal(text);
  return ::inet_pton(AF_INET6, literal.c_str(), &address) == 1;
}

// A byte no host name holds: one that ends or splits the name in a URL or a
// header, or that no name is spelt with.
bool IsForeignByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte <= 0x20 || byte >= 0x7F || c == '/' || c == '@' || c == '\\' || c == '[' || c == ']';
}

}  // namespace

std::optional<THostPort> ParseHostPort(std::string_view text) {
  THostPort parsed;
  std::string_view name;
  std::string_view rest;  // ":port", or nothing
  if (text.starts_with('[')) {
    const auto close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    name = text.substr(1, close - 1);
    in6_addr address{};
    if (!ParseIpv6(name, address)) return std::nullopt;
    rest = text.substr(close + 1);
  } else {
    const auto colon = text.find(':');
    name = text.substr(0, colon);
    if (colon != std::string_view::npos) {
      rest = text.substr(colon);
      if (rest.find(':', 1) != std::string_view::npos) return std::nullopt;
    }
    for (const char c : name) {
      if (IsForeignByte(c)) return std::nullopt;
    }
  }
  if (name.empty()) return std::nullopt;
  parsed.host = std::string(name);
  if (rest.empty()) return parsed;
  if (rest.front() != ':') return std::nullopt;
  const std::string_view digits = rest.substr(1);
  if (digits.empty()) return parsed;
  int port = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
  if (error != std::errc() || end != digits.data() + digits.size() || port < 0 || port > 65535) {
    return std::nullopt;
  }
  parsed.port = port;
  return parsed;
}

std::string CanonicalHostName(std::string_view host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  std::string name = AsciiLower(host);
  in6_addr address{};
  if (name.find(':') != std::string::npos && ParseIpv6(name, address)) {
    char buffer[INET6_ADDRSTRLEN];
    if (::inet_ntop(AF_INET6, &address, buffer, sizeof buffer) != nullptr) return buffer;
  }
  return name;
}

bool IsLoopbackHost(std::string_view host) {
  const std::string name = CanonicalHostName(host);
  if (name == "localhost") return true;
  in_addr v4{};
  if (::inet_pton(AF_INET, name.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (ParseIpv6(name, v6)) {
    return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
  }
  return false;
}

}  // namespace parlumo
