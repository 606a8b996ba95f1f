#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Cancellation.h"

namespace parlumo::service {

// An http address taken apart. Only http is fetched (see FetchLimits).
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

// Everything that bounds a page fetch, in one place:
// - schemes: only http. The service has no business holding certificates for the
//   user, and the program's pages are plain http; https, ftp, file and the rest are
//   refused by ParseHttpAddress, for the first address and for every redirection.
//   Addresses with user information are refused too.
// - size: a body larger than maxBytes ends the fetch, and so does an answer's
//   header larger than maxHeaderBytes, or a chunk-size line or trailer of a chunked
//   body that does not fit that much (and 16 KiB more) of buffer;
// - time: each connect (tried on every address of the name in turn) may take
//   connectTimeout, and the whole fetch, name lookups and redirections included,
//   totalTimeout; a server that sends slowly (a byte at a time) is cut off at the
//   total as well;
// - redirections: at most maxRedirects are followed;
// - the service itself: FetchPage asks its AddressCheck before every request, so a
//   page translation that leads back to the service's own page translation (a loop
//   that would hold a request thread on every turn) is refused, redirections included.
struct FetchLimits {
  std::size_t maxBytes = std::size_t{2} << 20;
  std::size_t maxHeaderBytes = 64 * 1024;
  std::chrono::milliseconds connectTimeout{5000};
  std::chrono::milliseconds totalTimeout{15000};
  int maxRedirects = 5;
};

struct FetchedPage {
  std::string body;
  std::string contentType;
  HttpAddress address;  // after redirections
};

// Asked before each request of a fetch: an empty string lets it go, anything else is
// the sentence for the user that says why it may not.
using AddressCheck = std::function<std::string(const HttpAddress&)>;

// Gets a page, following redirections to other http addresses. Nothing, with a
// sentence for the user in error, when the page cannot be had within the limits,
// check refuses an address on the way, or cancellation (when given) is cancelled:
// that ends the fetch at once.
std::optional<FetchedPage> FetchPage(const HttpAddress& address, const FetchLimits& limits,
                                     const AddressCheck& check, std::string& error,
                                     Cancellation* cancellation = nullptr);

}  // namespace parlumo::service
