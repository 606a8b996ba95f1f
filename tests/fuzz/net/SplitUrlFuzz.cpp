// Arbitrary text through SplitUrl: no crash, and the parts keep their shapes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/Url.h"

namespace {

bool Holds(std::string_view s, std::string_view chars) {
  return s.find_first_of(chars) != std::string_view::npos;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Text up to the first NUL is the base path, the rest the URL.
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto split = input.find('\0');
  const std::string_view base = split == std::string_view::npos ? "" : input.substr(0, split);
  const std::string_view url = split == std::string_view::npos ? input : input.substr(split + 1);

  const parlumo::TUrlParts parts = parlumo::SplitUrl(url, base);

  for (const char c : parts.protocol) {
    Check((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.');
  }
  // The authority parts never reach into the path.
  Check(!Holds(parts.host, "/?@"));
  Check(!Holds(parts.port, "/?@:"));
  Check(!Holds(parts.user, "/?:"));
  Check(!Holds(parts.password, "/?"));
  // No part is made up: every one is a piece of the URL or, for a relative
  // form, of the base path and the URL together.
  Check(parts.host.size() + parts.port.size() + parts.user.size() + parts.password.size() <=
        url.size());
  Check(parts.path.size() <= url.size() + base.size() + 1);
  if (url.empty()) Check(parts == parlumo::TUrlParts{});
  return 0;
}
