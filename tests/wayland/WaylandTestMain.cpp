// The main of every wayland test program: the tests need Qt's event loop,
// processes and session-bus connection, but no window of their own (the
// program under test is the Wayland client); listing needs no session.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdio>

#include "wayland/WaylandSession.h"

// LeakSanitizer asks for these when it starts: the D-Bus library under QtDBus
// keeps an allocation for the life of the process. Only sanitizer builds call
// them.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Without a session every test would fail on its first tool; say why once.
  if (!::testing::GTEST_FLAG(list_tests) && !parlumo::wltest::InSession()) {
    std::fprintf(stderr,
                 "the wayland tests need a Wayland session with sway; run them through "
                 "scripts/with-wayland\n");
    return 1;
  }
  QCoreApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
