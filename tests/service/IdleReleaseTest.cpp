// IdleRelease against the clock: a release once a spell of use has been idle for the
// idle time, none while uses keep coming, and none at destruction.

#include "IdleRelease.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace parlumo::service {
namespace {

using namespace std::chrono_literals;

// Waits (at most a few seconds) until the count reaches `expected`.
bool CountReaches(const std::atomic<int>& count, int expected) {
  const auto end = std::chrono::steady_clock::now() + 5s;
  while (count.load() < expected && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(5ms);
  return count.load() >= expected;
}

TEST(IdleReleaseTest, ReleasesOnceForEachSpellOfUse) {
  std::atomic<int> releases{0};
  IdleRelease idle(50ms, [&] { ++releases; });
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(releases.load(), 0) << "released before any use";
  idle.Touch();
  EXPECT_TRUE(CountReaches(releases, 1));
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(releases.load(), 1) << "released twice for one spell of use";
  idle.Touch();
  idle.Touch();
  EXPECT_TRUE(CountReaches(releases, 2));
}

TEST(IdleReleaseTest, UsesThatKeepComingHoldTheRelease) {
  std::atomic<int> releases{0};
  IdleRelease idle(1s, [&] { ++releases; });
  for (int i = 0; i < 30; ++i) {
    idle.Touch();
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(releases.load(), 0);
}

TEST(IdleReleaseTest, DestructionEndsTheWaitWithoutARelease) {
  std::atomic<int> releases{0};
  const auto start = std::chrono::steady_clock::now();
  {
    IdleRelease idle(1h, [&] { ++releases; });
    idle.Touch();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(releases.load(), 0);
}

}  // namespace
}  // namespace parlumo::service
