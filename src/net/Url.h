#pragma once

#include <string>
#include <string_view>

namespace parlumo {

// The parts of a URL as the HTTP client needs them. Each part is empty when the
// URL has none. The protocol is the scheme, lower-cased; the port stays text and
// gets no default ("80" and "/" are the caller's to supply); the path includes
// any query that follows a "?".
struct TUrlParts {
  std::string protocol;
  std::string user;
  std::string password;
  std::string host;
  std::string port;
  std::string path;

  bool operator==(const TUrlParts&) const = default;
};

// Splits url into its parts. basePath is the path the URL is relative to; it is
// used only for the relative forms "./name" and "../name" (the HTTP client passes
// the path of the previous request when it follows a Location value).
//
// Rules, in order:
// - "" gives all parts empty; "./x" and "../x" give only a path, resolved
//   against the folder of basePath (the text up to its last "/", or "/").
// - A "://" makes the text before it the scheme, unless that text holds a
//   character other than a-z, A-Z, 0-9, "+", "-", "."; then the "://" belongs
//   to a query, the protocol is "http" and the URL is read as having no scheme.
// - Without a scheme: "/x" is a host-relative path (protocol "http", no host);
//   "//host..." has its authority after the first "/"; "mailto:" and "http:"
//   prefixes name the protocol; anything else starts with the authority.
// - The path starts at the first "/" or "?" after the authority start. In the
//   authority the last "@" ends the user information ("user" or
//   "user:password") and a ":" after it starts the port.
TUrlParts SplitUrl(std::string_view url, std::string_view basePath = {});

}  // namespace parlumo
