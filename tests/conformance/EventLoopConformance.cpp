#include "EventLoopConformance.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "support/LoopbackPort.h"

namespace parlumo::testing {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A connected pair of local stream sockets, closed on destruction.
struct SocketPair {
  SocketPair() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fd) != 0) {
      ADD_FAILURE() << "socketpair failed";
    }
  }
  ~SocketPair() {
    for (int f : fd) {
      if (f >= 0) ::close(f);
    }
  }
  void CloseEnd(int i) {
    ::close(fd[i]);
    fd[i] = -1;
  }
  void Put(int i, char c = 'x') const { ASSERT_EQ(::write(fd[i], &c, 1), 1); }
  int fd[2] = {-1, -1};
};

}  // namespace

bool EventLoopConformance::RunUntil(const std::function<bool()>& pred,
                                    EventLoop::Duration deadline) {
  const auto end = Clock::now() + deadline;
  while (!pred()) {
    if (Clock::now() >= end) return false;
    loop_->ProcessEvents(10ms);
  }
  return true;
}

TEST_P(EventLoopConformance, PostedTaskRunsLaterNotInsidePost) {
  bool ran = false;
  loop_->Post([&] { ran = true; });
  EXPECT_FALSE(ran);
  loop_->ProcessEvents(0ms);
  EXPECT_TRUE(ran);
}

TEST_P(EventLoopConformance, TasksPostedDuringAPassRunInThatPassInOrder) {
  std::vector<std::string> order;
  loop_->Post([&] {
    order.push_back("a");
    loop_->Post([&] {
      order.push_back("c");
      loop_->Post([&] { order.push_back("d"); });
    });
  });
  loop_->Post([&] { order.push_back("b"); });
  loop_->ProcessEvents(0ms);
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST_P(EventLoopConformance, TaskPostedByAWatchCallbackRunsInTheSamePass) {
  SocketPair pair;
  bool posted = false;
  auto watch = loop_->WatchFd(pair.fd[0], EventLoop::kRead, [&](unsigned) {
    char c;
    [[maybe_unused]] auto n = ::read(pair.fd[0], &c, 1);
    loop_->Post([&] { posted = true; });
  });
  pair.Put(1);
  // One call: the readiness is seen, and the task it posted runs before return.
  loop_->ProcessEvents(2000ms);
  EXPECT_TRUE(posted);
}

TEST_P(EventLoopConformance, IdleProcessEventsReturnsAfterItsWait) {
  const auto start = Clock::now();
  loop_->ProcessEvents(30ms);
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, 25ms);
  EXPECT_LT(elapsed, 3s);
}

TEST_P(EventLoopConformance, PostFromAnotherThreadWakesTheWait) {
  std::atomic<bool> ran = false;
  std::thread poster([&] {
    std::this_thread::sleep_for(20ms);
    loop_->Post([&] { ran = true; });
  });
  const auto start = Clock::now();
  while (!ran && Clock::now() - start < 10s)
    loop_->ProcessEvents(10s);
  poster.join();
  EXPECT_TRUE(ran);
  EXPECT_LT(Clock::now() - start, 5s);
}

TEST_P(EventLoopConformance, TerminatingIsSetOnceAndWakesTheWait) {
  EXPECT_FALSE(loop_->Terminating());
  std::thread setter([&] {
    std::this_thread::sleep_for(20ms);
    loop_->SetTerminating();
  });
  const auto start = Clock::now();
  while (!loop_->Terminating() && Clock::now() - start < 10s)
    loop_->ProcessEvents(10s);
  setter.join();
  EXPECT_TRUE(loop_->Terminating());
  EXPECT_LT(Clock::now() - start, 5s);
}

TEST_P(EventLoopConformance, WatchReportsReadAndWriteReadiness) {
  SocketPair pair;
  unsigned seen = 0;
  int calls = 0;
  auto watch = loop_->WatchFd(pair.fd[0], EventLoop::kRead, [&](unsigned bits) {
    seen |= bits;
    ++calls;
    char c;
    [[maybe_unused]] auto n = ::read(pair.fd[0], &c, 1);
  });
  EXPECT_EQ(watch->Events(), EventLoop::kRead);
  loop_->ProcessEvents(20ms);
  EXPECT_EQ(calls, 0) << "no data, no call";
  pair.Put(1);
  ASSERT_TRUE(RunUntil([&] { return calls > 0; }));
  EXPECT_TRUE(seen & EventLoop::kRead);
  EXPECT_FALSE(seen & EventLoop::kWrite) << "write readiness was not asked for";

  seen = 0;
  watch->SetEvents(EventLoop::kWrite);
  EXPECT_EQ(watch->Events(), EventLoop::kWrite);
  ASSERT_TRUE(RunUntil([&] { return (seen & EventLoop::kWrite) != 0; }));

  calls = 0;
  watch->SetEvents(0);
  pair.Put(1);
  loop_->ProcessEvents(30ms);
  EXPECT_EQ(calls, 0) << "a watch waiting for nothing is not called";
}

TEST_P(EventLoopConformance, PeerHangUpReachesAReadWatch) {
  SocketPair pair;
  bool eof = false;
  auto watch = loop_->WatchFd(pair.fd[0], EventLoop::kRead, [&](unsigned bits) {
    EXPECT_TRUE(bits & EventLoop::kRead);
    char c;
    if (::read(pair.fd[0], &c, 1) == 0) eof = true;
  });
  pair.CloseEnd(1);
  EXPECT_TRUE(RunUntil([&] { return eof; }));
}

// A loop that says it checked for errors must be right both ways: a refused
// connect carries kError, a completed one does not. The socket relies on it to
// skip asking the system for the connect's outcome.
TEST_P(EventLoopConformance, CheckedErrorBitTellsAConnectsOutcome) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const int openPort = ntohs(address.sin_port);
  const int refusedPort = test::FreeLoopbackPort();

  const struct {
    int port;
    bool refused;
  } cases[] = {{openPort, false}, {refusedPort, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.refused ? "refused connect" : "accepted connect");
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    address.sin_port = htons(static_cast<std::uint16_t>(c.port));
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    unsigned seen = 0;
    auto watch = loop_->WatchFd(fd, EventLoop::kWrite, [&](unsigned bits) { seen = bits; });
    ASSERT_TRUE(RunUntil([&] { return seen != 0; }));
    watch.reset();
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
    ::close(fd);
    EXPECT_EQ(error != 0, c.refused) << "the system's own answer";
    EXPECT_TRUE(seen & EventLoop::kWrite);
    if (seen & EventLoop::kErrorChecked) {
      EXPECT_EQ((seen & EventLoop::kError) != 0, c.refused);
    } else {
      EXPECT_FALSE(seen & EventLoop::kError) << "kError comes only with kErrorChecked";
    }
  }
  ::close(listener);
}

TEST_P(EventLoopConformance, DestroyedWatchIsNeverCalledEvenInTheSamePass) {
  SocketPair a, b;
  std::unique_ptr<EventLoop::Watch> watchA, watchB;
  int calls = 0;
  // Whichever is called first destroys both; the other is ready but must stay silent.
  auto both = [&](unsigned) {
    ++calls;
    watchA.reset();
    watchB.reset();
  };
  watchA = loop_->WatchFd(a.fd[0], EventLoop::kRead, both);
  watchB = loop_->WatchFd(b.fd[0], EventLoop::kRead, both);
  a.Put(1);
  b.Put(1);
  ASSERT_TRUE(RunUntil([&] { return calls > 0; }));
  loop_->ProcessEvents(30ms);
  EXPECT_EQ(calls, 1);
}

TEST_P(EventLoopConformance, OneShotTimerFiresOnceAndWakesTheWait) {
  int fired = 0;
  auto timer = loop_->StartTimer(20ms, false, [&] { ++fired; });
  const auto start = Clock::now();
  while (fired == 0 && Clock::now() - start < 10s)
    loop_->ProcessEvents(10s);
  EXPECT_EQ(fired, 1);
  EXPECT_GE(Clock::now() - start, 15ms);
  EXPECT_LT(Clock::now() - start, 5s);
  loop_->ProcessEvents(60ms);
  EXPECT_EQ(fired, 1);
}

TEST_P(EventLoopConformance, RepeatingTimerRepeatsUntilDestroyed) {
  int fired = 0;
  auto timer = loop_->StartTimer(5ms, true, [&] { ++fired; });
  ASSERT_TRUE(RunUntil([&] { return fired >= 3; }));
  timer.reset();
  const int stopped = fired;
  loop_->ProcessEvents(30ms);
  EXPECT_EQ(fired, stopped);
}

TEST_P(EventLoopConformance, TimerMayDestroyItselfAndStoppedTimerStaysSilent) {
  int selfFired = 0;
  std::unique_ptr<EventLoop::Timer> self;
  self = loop_->StartTimer(1ms, true, [&] {
    ++selfFired;
    self.reset();
  });
  bool stoppedFired = false;
  auto stopped = loop_->StartTimer(1ms, false, [&] { stoppedFired = true; });
  stopped.reset();
  ASSERT_TRUE(RunUntil([&] { return selfFired > 0; }));
  loop_->ProcessEvents(30ms);
  EXPECT_EQ(selfFired, 1);
  EXPECT_FALSE(stoppedFired);
}

TEST_P(EventLoopConformance, LifetimeGuardDropsTasksOfADeadOwner) {
  int calls = 0;
  {
    Lifetime lifetime;
    loop_->Post(lifetime.Guard([&] { ++calls; }));
  }
  Lifetime alive;
  loop_->Post(alive.Guard([&] { ++calls; }));
  loop_->ProcessEvents(0ms);
  EXPECT_EQ(calls, 1);
}

}  // namespace parlumo::testing

namespace parlumo::testing {

// Synchronous waits run the loop from inside handlers; the outer pass must not
// then repeat what the nested one already did.
TEST_P(EventLoopConformance, NestedPassDoesNotRepeatTimersOrStaleReadiness) {
  using namespace std::chrono_literals;
  int first = 0;
  int second = 0;
  std::unique_ptr<EventLoop::Timer> a, b;
  a = loop_->StartTimer(5ms, false, [&] {
    ++first;
    loop_->ProcessEvents(0ms);  // fires b if it is due, from inside a
  });
  b = loop_->StartTimer(5ms, false, [&] { ++second; });
  const auto start = std::chrono::steady_clock::now();
  while ((first == 0 || second == 0) && std::chrono::steady_clock::now() - start < 5s) {
    loop_->ProcessEvents(20ms);
  }
  loop_->ProcessEvents(20ms);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 1);

  // Two ready descriptors; the first callback's nested pass drains the second.
  int fds[2][2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds[0]), 0);
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds[1]), 0);
  int emptyCalls = 0;
  int calls = 0;
  auto reader = [&](int fd) {
    return [&, fd](unsigned) {
      ++calls;
      char c;
      if (::read(fd, &c, 1) != 1) ++emptyCalls;
      loop_->ProcessEvents(0ms);
    };
  };
  auto w0 = loop_->WatchFd(fds[0][0], EventLoop::kRead, reader(fds[0][0]));
  auto w1 = loop_->WatchFd(fds[1][0], EventLoop::kRead, reader(fds[1][0]));
  ASSERT_EQ(::write(fds[0][1], "x", 1), 1);
  ASSERT_EQ(::write(fds[1][1], "y", 1), 1);
  loop_->ProcessEvents(100ms);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(emptyCalls, 0) << "a callback was called with readiness a nested pass had used";
  w0.reset();
  w1.reset();
  for (auto& pair : fds) {
    ::close(pair[0]);
    ::close(pair[1]);
  }
}

}  // namespace parlumo::testing
