#include "platform/linux/SessionPlatform.h"

#include <string_view>

namespace parlumo {

std::string QtPlatformChoice(const char* sessionType, const char* waylandDisplay,
                             const char* qtPlatform) {
  const auto set = [](const char* value) { return value != nullptr && value[0] != '\0'; };
  if (set(qtPlatform)) return {};
  // A Wayland display without the session saying so is a nested or test
  // compositor: the user's X session stays the program's home.
  if (!set(sessionType) || std::string_view(sessionType) != "wayland" || !set(waylandDisplay))
    return {};
  // xcb after it: a compositor that has gone leaves XWayland's X11 way.
  return "wayland;xcb";
}

}  // namespace parlumo
