// The end-of-session signals reach the program through its event loop.
#include <gtest/gtest.h>

#include <csignal>

#include "app/EndSessionSignals.h"
#include "platform/qt/QtEventLoop.h"
#include "support/QtWait.h"

namespace parlumo {
namespace {

TEST(EndSessionSignalsTest, EachSignalCallsTheHandlerFromTheLoopAndDispositionsComeBack) {
  struct sigaction before = {};
  ::sigaction(SIGHUP, nullptr, &before);
  QtEventLoop loop;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    int calls = 0;
    {
      TEndSessionSignals endSignals(loop, [&calls] { ++calls; });
      ASSERT_TRUE(endSignals.Installed());
      ::raise(signal);
      // Nothing runs inside the signal handler itself.
      EXPECT_EQ(calls, 0);
      EXPECT_TRUE(test::WaitUntil([&calls] { return calls > 0; }));
      // Signals that come before the loop looks may make a single call.
      ::raise(signal);
      ::raise(signal);
      test::Pump(50);
      EXPECT_GE(calls, 2);
    }
  }
  struct sigaction after = {};
  ::sigaction(SIGHUP, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
}  // namespace parlumo
