// The main of every x11 test program: the QApplication is made when the tests
// run, not when ctest lists them, so listing needs no X server.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

class QtApplicationEnvironment final : public ::testing::Environment {
 public:
  QtApplicationEnvironment(int& argc, char** argv) : argc_(argc), argv_(argv) {}

  void SetUp() override {
    app_ = std::make_unique<QApplication>(argc_, argv_);
    // The tray and the test windows come and go; the program does not end
    // when the last window closes.
    QApplication::setQuitOnLastWindowClosed(false);
  }
  void TearDown() override { app_.reset(); }

 private:
  int& argc_;
  char** argv_;
  std::unique_ptr<QApplication> app_;
};

}  // namespace

// LeakSanitizer asks for these when it starts: the D-Bus library under Qt
// keeps an allocation for the life of the process (the session-bus connection
// of the tray's status-notifier lookup). Only sanitizer builds call it.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Without a server every test would be skipped, which ctest counts as
  // passed: refuse to run instead.
  if (!::testing::GTEST_FLAG(list_tests) && !std::getenv("DISPLAY")) {
    std::fprintf(stderr, "the x11 tests need an X server; run them through scripts/with-x11\n");
    return 1;
  }
  ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment(argc, argv));
  return RUN_ALL_TESTS();
}
