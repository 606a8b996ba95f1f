#include "RequestPolicy.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>

#include "runtime/Ascii.h"

namespace parlumo::service {

namespace {

// An IPv6 literal in its shortest form; nothing when the text is none.
std::optional<std::string> CanonicalIpv6(const std::string& text) {
  in6_addr address{};
  if (::inet_pton(AF_INET6, text.c_str(), &address) != 1) return std::nullopt;
  char buffer[INET6_ADDRSTRLEN];
  if (::inet_ntop(AF_INET6, &address, buffer, sizeof buffer) == nullptr) return std::nullopt;
  return std::string(buffer);
}

// A name as the policy compares it: lower case, an IPv6 literal without brackets and
// in its shortest form.
std::string NormalName(std::string_view host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  std::string name = AsciiLower(host);
  if (name.find(':') != std::string::npos) {
    if (auto canonical = CanonicalIpv6(name)) return *canonical;
  }
  return name;
}

bool IsWildcardHost(std::string_view host) {
  return host.empty() || host == "0.0.0.0" || NormalName(host) == "::";
}

}  // namespace

std::optional<HostName> ParseHostName(std::string_view text) {
  std::string_view name = text;
  std::string_view port;
  bool hasPort = false;
  if (text.starts_with("[")) {
    const auto close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    name = text.substr(0, close + 1);
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      port = rest.substr(1);
      hasPort = true;
    }
    if (!CanonicalIpv6(std::string(name.substr(1, name.size() - 2)))) return std::nullopt;
  } else {
    const auto colon = text.find(':');
    if (colon != std::string_view::npos) {
      // More than one colon: an IPv6 literal without its brackets.
      if (text.find(':', colon + 1) != std::string_view::npos) return std::nullopt;
      name = text.substr(0, colon);
      port = text.substr(colon + 1);
      hasPort = true;
    }
  }
  if (name.empty() || name == "[]") return std::nullopt;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || c == '/' || c == '@' || c == '\\') return std::nullopt;
  }
  HostName host;
  host.name = NormalName(name);
  if (hasPort && !port.empty()) {
    int value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (ec != std::errc() || end != port.data() + port.size() || value < 0 || value > 65535) {
      return std::nullopt;
    }
    host.port = value;
  }
  return host;
}

bool IsLoopbackHost(std::string_view host) {
  const std::string name = NormalName(host);
  if (name == "localhost") return true;
  in_addr v4{};
  if (::inet_pton(AF_INET, name.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (::inet_pton(AF_INET6, name.c_str(), &v6) == 1) {
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
  }
  return false;
}

HostPolicy::HostPolicy(std::string_view listenHost, int boundPort,
                       const std::vector<std::string>& allowed)
    : boundPort_(boundPort), loopback_(IsLoopbackHost(listenHost)) {
  if (!IsWildcardHost(listenHost)) names_.push_back({NormalName(listenHost), std::nullopt});
  if (loopback_ || IsWildcardHost(listenHost)) {
    for (const char* name : {"127.0.0.1", "localhost", "::1"})
      names_.push_back({name, std::nullopt});
  }
  for (const auto& text : allowed) {
    if (auto name = ParseHostName(text)) names_.push_back(std::move(*name));
  }
}

bool HostPolicy::Matches(const HostName& host) const {
  for (const auto& own : names_) {
    if (own.name != host.name) continue;
    if (!host.port || *host.port == boundPort_ || host.port == own.port) return true;
  }
  return false;
}

bool HostPolicy::Accepts(const std::optional<std::string>& host) const {
  if (!host || host->empty()) return loopback_;
  const auto name = ParseHostName(*host);
  return name && Matches(*name);
}

bool HostPolicy::IsOwnAddress(std::string_view host, int port) const {
  const std::string name = NormalName(host);
  for (const auto& own : names_) {
    if (own.name == name && (port == boundPort_ || own.port == port)) return true;
  }
  return false;
}

void ApplyHeaderPolicy(ServiceAnswer& answer, AnswerContent content) {
  answer.headers.emplace_back("Content-Security-Policy", content == AnswerContent::TranslatedPage
                                                             ? kTranslatedPagePolicy
                                                             : kServicePagePolicy);
  answer.headers.emplace_back("X-Content-Type-Options", "nosniff");
  answer.headers.emplace_back("Referrer-Policy", "no-referrer");
}

}  // namespace parlumo::service
