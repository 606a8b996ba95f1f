#include "platform/linux/SessionPlatform.h"

#include <gtest/gtest.h>

namespace parlumo {
namespace {

TEST(SessionPlatformTest, WaylandSessionsRunNativelyUnlessTheUserChose) {
  const struct {
    const char* sessionType;
    const char* waylandDisplay;
    const char* qtPlatform;
    const char* expected;
  } cases[] = {
      {"wayland", "wayland-0", nullptr, "wayland;xcb"},
      {"wayland", "wayland-0", "", "wayland;xcb"},
      {"wayland", "wayland-0", "xcb", ""},  // the user keeps the X11 way
      {"wayland", nullptr, nullptr, ""},    // nothing to connect to
      {"x11", "wayland-0", nullptr, ""},    // a nested compositor in an X session
      {nullptr, "wayland-0", nullptr, ""},
      {"tty", nullptr, nullptr, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QtPlatformChoice(c.sessionType, c.waylandDisplay, c.qtPlatform), c.expected)
        << (c.sessionType ? c.sessionType : "-") << " " << (c.qtPlatform ? c.qtPlatform : "-");
  }
}

}  // namespace
}  // namespace parlumo
