#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace parlumo {

// A host with an optional port, as the settings (Service/Host), the service's
// command line and a request's Host header give it: "name", "name:port",
// "[v6]" or "[v6]:port".
struct THostPort {
  std::string host;         // as written, an IPv6 literal without its brackets
  std::optional<int> port;  // nothing when none is given; "name:" gives none too

  bool operator==(const THostPort&) const = default;
};

// Nothing when the text is no such host: an empty name, an IPv6 literal without
// brackets (its last group could be read as the port), brackets around anything but
// an IPv6 literal, anything after the closing bracket but a port, a name with a
// blank, a control or non-ASCII byte, "/", "@", "\", "[" or "]" in it, or a port
// that is no decimal number from 0 to 65535.
std::optional<THostPort> ParseHostPort(std::string_view text);

// A host as names are compared: lower case, an IPv6 literal without brackets and in
// its shortest form ("[0:0::1]" is "::1").
std::string CanonicalHostName(std::string_view host);

// Whether the host (as ParseHostPort gives it, or bracketed) names this machine's
// loopback: "localhost" in any case, an IPv4 address in 127.0.0.0/8, ::1 in any
// spelling, or an IPv4-mapped IPv6 address of 127.0.0.0/8 (::ffff:127.0.0.1), which
// reaches the IPv4 loopback. The wildcard addresses (0.0.0.0, ::) are no loopback.
bool IsLoopbackHost(std::string_view host);

}  // namespace parlumo
