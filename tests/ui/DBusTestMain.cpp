// The main of the D-Bus tests: a private session bus for the whole program,
// started before the QApplication, so that nothing of the user's session is
// touched; then a QApplication on the offscreen platform (unless the
// environment names another).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "DBusTestBus.h"

// LeakSanitizer: the D-Bus library under Qt keeps allocations for the life of
// the process (its session-bus connection), and so does the Wayland client
// library when the tests run on the wayland platform; on xcb Qt's own
// status-notifier tray keeps the meta-objects of the interfaces it asked (Qt
// D-Bus's cache, never freed). Only sanitizer builds call these.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\nleak:libwayland-client.so\nleak:libQt6DBus.so\n";
}
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests needs no bus.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  if (!parlumo::test::StartPrivateSessionBus()) {
    std::fprintf(stderr, "no private session bus (dbus-daemon)\n");
    return 1;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Parlumo"));
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
