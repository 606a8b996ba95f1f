#include "net/Url.h"

#include <algorithm>

#include "runtime/Ascii.h"

namespace parlumo {

namespace {

bool IsSchemeChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The folder of a path: up to and including its last "/", or "/" when it has none.
std::string Folder(std::string_view path) {
  const auto slash = path.rfind('/');
  if (slash == std::string_view::npos) return "/";
  return std::string(path.substr(0, slash + 1));
}

// "../" steps: each one takes the folder one level up, never above "/".
std::string ResolveParentSteps(std::string_view url, std::string_view basePath) {
  std::string folder = Folder(basePath);
  constexpr std::string_view kUp = "../";
  while (url.substr(0, kUp.size()) == kUp) {
    folder.pop_back();  // the folder always ends with "/"
    const auto slash = folder.rfind('/');
    folder = (slash == std::string::npos) ? "/" : folder.substr(0, slash + 1);
    url.remove_prefix(kUp.size());
  }
  return folder + std::string(url);
}

// User information, host and port from the authority (the text between the
// scheme and the path).
void SplitAuthority(std::string_view authority, TUrlParts& parts) {
  const auto colon = authority.rfind(':');
  const auto at = authority.rfind('@');
  const bool hasColon = colon != std::string_view::npos;
  const bool hasAt = at != std::string_view::npos;

  if (!hasColon && !hasAt) {
    parts.host = authority;
    return;
  }
  if (hasColon && (!hasAt || at < colon)) {
    parts.port = authority.substr(colon + 1);
    const auto hostStart = hasAt ? at + 1 : 0;
    parts.host = authority.substr(hostStart, colon - hostStart);
    if (!hasAt) return;
  } else {
    parts.host = authority.substr(at + 1);
  }

  const std::string_view userInfo = authority.substr(0, at);
  const auto userEnd = userInfo.find(':');
  if (userEnd == std::string_view::npos) {
    parts.user = userInfo;
  } else {
    parts.user = userInfo.substr(0, userEnd);
    parts.password = userInfo.substr(userEnd + 1);
  }
}

}  // namespace

TUrlParts SplitUrl(std::string_view url, std::string_view basePath) {
  TUrlParts parts;
  if (url.empty()) return parts;

  if (url.substr(0, 2) == "./") {
    parts.path = Folder(basePath) + std::string(url.substr(2));
    return parts;
  }
  if (url.substr(0, 3) == "../") {
    parts.path = ResolveParentSteps(url, basePath);
    return parts;
  }

  // Where the authority starts; every branch below sets it or returns.
  size_t authorityStart = 0;
  bool hasScheme = false;
  const auto separator = url.find("://");
  if (separator != std::string_view::npos) {
    std::string candidate = AsciiLower(url.substr(0, separator));
    bool valid = true;
    for (char c : candidate)
      valid = valid && IsSchemeChar(c);
    if (valid) {
      parts.protocol = std::move(candidate);
      authorityStart = separator + 3;
      hasScheme = true;
    } else {
      // A "://" inside a query string, not a scheme separator.
      parts.protocol = "http";
    }
  }

  if (!hasScheme) {
    if (url.front() == '/') {
      parts.protocol = "http";
      if (url.size() > 1 && url[1] != '/') {
        parts.path = url;
        return parts;
      }
      authorityStart = 1;
    } else if (StartsWithNoCase(url, "mailto:")) {
      parts.protocol = "mailto";
      authorityStart = url.find(':') + 1;
    } else if (StartsWithNoCase(url, "http:")) {
      parts.protocol = "http";
      if (url.size() > 6 && url[6] != '/') {
        parts.path = url.substr(5);
        return parts;
      }
      authorityStart = std::min<size_t>(6, url.size());
    }
  }

  const std::string_view rest = url.substr(authorityStart);
  const auto pathStart = std::min(rest.find_first_of("/?"), rest.size());
  parts.path = rest.substr(pathStart);
  SplitAuthority(rest.substr(0, pathStart), parts);
  return parts;
}

}  // namespace parlumo
