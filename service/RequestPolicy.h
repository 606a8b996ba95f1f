#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Exchange.h"
#include "runtime/HostPort.h"

namespace parlumo::service {

// A host name as a Host header or --allow-host gives it (ParseHostPort), with the
// name as names are compared (CanonicalHostName).
struct HostName {
  std::string name;
  std::optional<int> port;

  bool operator==(const HostName&) const = default;
};

// Nothing for what ParseHostPort refuses.
std::optional<HostName> ParseHostName(std::string_view text);

// The names the service answers to. A web page can make a browser send a request to
// the service under a name of the page's own that has been pointed at the service's
// address (DNS rebinding), and would then read the answer as its own; such a request
// carries the page's name in its Host header, so only the service's own names are
// served:
// - the listen host, and on loopback (or the wildcard address, which loopback reaches)
//   also 127.0.0.1, localhost and [::1];
// - the names given with --allow-host, for a service that deliberately serves a network.
// A name is taken in any case, without a port (as the program's HTTP client sends it)
// or with the bound port, or with the port its --allow-host entry names. A request
// without a Host header (HTTP/1.0) is served only when the service listens on a
// loopback address.
class HostPolicy {
 public:
  // allowed: the --allow-host values; those that ParseHostName refuses are left out
  // (the command line checks them first).
  HostPolicy(std::string_view listenHost, int boundPort, const std::vector<std::string>& allowed);

  // Whether a request with this Host header (nothing: none) is served.
  bool Accepts(const std::optional<std::string>& host) const;

  // Whether http://host:port/ reaches this service under one of its names.
  bool IsOwnAddress(std::string_view host, int port) const;

 private:
  bool Matches(const HostName& name) const;

  std::vector<HostName> names_;  // a port only where --allow-host named one
  int boundPort_;
  bool loopback_;
};

// What an answer's body is, for its security headers.
enum class AnswerContent {
  ServicePage,     // a page of the service's own (result, error, provider, maker pages)
  TranslatedPage,  // a web page of some site, translated: its scripts are foreign
};

// Content-Security-Policy of a translated page: its scripts and forms work, but in an
// opaque origin, so they can never read another answer of the service.
inline constexpr std::string_view kTranslatedPagePolicy =
    "sandbox allow-scripts allow-forms allow-popups allow-popups-to-escape-sandbox";
// Content-Security-Policy of the service's own pages: they have no scripts and load
// nothing but their inline style.
inline constexpr std::string_view kServicePagePolicy =
    "default-src 'none'; style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'";

// Adds the header fields every answer carries: the policy for its content,
// "X-Content-Type-Options: nosniff" and "Referrer-Policy: no-referrer" (the addresses
// a user translates stay off the logs of the sites the pages link to). No CORS header
// is ever sent, so no other origin may read an answer.
void ApplyHeaderPolicy(ServiceAnswer& answer, AnswerContent content);

}  // namespace parlumo::service
