#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace parlumo::service {

// An http address taken apart. Only http is fetched: the service has no business
// holding certificates for the user, and the program's pages are plain http.
struct HttpAddress {
  std::string host;  // without brackets for an IPv6 literal
  int port = 80;
  std::string target;  // path and query, "/" at least, unsafe characters %-encoded

  std::string ToString() const;
};

// Parses an address as a user types it: "http://host[:port][/path][?query]", or the
// same without "http://". Nothing (with the reason in error) for another scheme, user
// information, an empty host or a bad port.
std::optional<HttpAddress> ParseHttpAddress(std::string_view text, std::string& error);

struct FetchLimits {
  std::size_t maxBytes = std::size_t{2} << 20;
  std::chrono::seconds connectTimeout{5};
  std::chrono::seconds totalTimeout{15};
  int maxRedirects = 5;
};

struct FetchedPage {
  std::string body;
  std::string contentType;
  HttpAddress address;  // after redirections
};

// Gets a page, following redirections to other http addresses. Nothing, with a
// sentence for the user in error, when the page cannot be had within the limits.
std::optional<FetchedPage> FetchPage(const HttpAddress& address, const FetchLimits& limits,
                                     std::string& error);

}  // namespace parlumo::service
