#include "RequestPolicy.h"

namespace parlumo::service {

namespace {

bool IsWildcardHost(std::string_view host) {
  return host.empty() || host == "0.0.0.0" || CanonicalHostName(host) == "::";
}

}  // namespace

std::optional<HostName> ParseHostName(std::string_view text) {
  const auto parsed = ParseHostPort(text);
  if (!parsed) return std::nullopt;
  return HostName{CanonicalHostName(parsed->host), parsed->port};
}

HostPolicy::HostPolicy(std::string_view listenHost, int boundPort,
                       const std::vector<std::string>& allowed)
    : boundPort_(boundPort), loopback_(IsLoopbackHost(listenHost)) {
  if (!IsWildcardHost(listenHost)) names_.push_back({CanonicalHostName(listenHost), std::nullopt});
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
  const std::string name = CanonicalHostName(host);
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
