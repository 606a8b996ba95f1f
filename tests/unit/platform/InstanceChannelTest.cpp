#include "platform/linux/InstanceChannel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "runtime/PollEventLoop.h"
#include "support/TempFolder.h"

namespace parlumo {
namespace {

namespace fs = std::filesystem;

class InstanceChannelTest : public ::testing::Test {
 protected:
  test::TempFolder temp_{"parlumo-instance"};
  const fs::path& folder_ = temp_.Path();
};

// The running copy, with its loop on a thread of its own as in its own process.
class RunningCopy {
 public:
  explicit RunningCopy(const fs::path& folder) {
    std::promise<bool> claimed;
    auto result = claimed.get_future();
    thread_ = std::thread([this, &folder, &claimed] {
      PollEventLoop loop;
      LinuxInstancePlatform platform(loop, "Parlumo 2.5", "TSettings", {}, folder);
      platform.OnParameters = [this](const std::string& text) {
        std::lock_guard lock(mutex_);
        received_.push_back("parameters: " + text);
      };
      platform.OnBringForward = [this] {
        std::lock_guard lock(mutex_);
        received_.push_back("forward");
      };
      claimed.set_value(platform.ClaimFirstCopy("Parlumo 2.5", "TSettings"));
      while (!stop_)
        loop.ProcessEvents(std::chrono::milliseconds(20));
    });
    claimed_ = result.get();
  }
  ~RunningCopy() {
    stop_ = true;
    thread_.join();
  }
  bool Claimed() const { return claimed_; }
  std::vector<std::string> Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  std::atomic<bool> stop_ = false;
  bool claimed_ = false;
  std::mutex mutex_;
  std::vector<std::string> received_;
  std::thread thread_;
};

TEST_F(InstanceChannelTest, LaterCopyHandsOverAndTheClaimEndsWithTheFirst) {
  {
    RunningCopy first(folder_);
    ASSERT_TRUE(first.Claimed());
    PollEventLoop loop;
    LinuxInstancePlatform second(loop, "Parlumo 2.5", "TSettings", {}, folder_);
    EXPECT_FALSE(second.ClaimFirstCopy("Parlumo 2.5", "TSettings"));
    second.HandOverParameters("C:/notes.txt ");
    second.BringRunningCopyForward();
    EXPECT_EQ(first.Received(), (std::vector<std::string>{"parameters: C:/notes.txt ", "forward"}));

    // Another identity is another program.
    LinuxInstancePlatform other(loop, "Parlumo 2.5", "OtherClass", {}, folder_);
    EXPECT_TRUE(other.ClaimFirstCopy("Parlumo 2.5", "OtherClass"));
  }
  PollEventLoop loop;
  LinuxInstancePlatform next(loop, "Parlumo 2.5", "TSettings", {}, folder_);
  EXPECT_TRUE(next.ClaimFirstCopy("Parlumo 2.5", "TSettings")) << "the first copy has ended";
}

TEST_F(InstanceChannelTest, CopiesStartedTogetherLeaveExactlyOne) {
  for (int round = 0; round < 20; ++round) {
    std::atomic<int> claims = 0;
    std::vector<std::thread> copies;
    std::atomic<bool> go = false;
    std::vector<std::unique_ptr<PollEventLoop>> loops(4);
    std::vector<std::unique_ptr<LinuxInstancePlatform>> platforms(4);
    for (int i = 0; i < 4; ++i) {
      loops[i] = std::make_unique<PollEventLoop>();
      platforms[i] = std::make_unique<LinuxInstancePlatform>(*loops[i], "Parlumo 2.5", "TSettings",
                                                             std::vector<std::string>{}, folder_);
    }
    for (int i = 0; i < 4; ++i) {
      copies.emplace_back([&, i] {
        while (!go)
          std::this_thread::yield();
        if (platforms[i]->ClaimFirstCopy("Parlumo 2.5", "TSettings")) ++claims;
      });
    }
    go = true;
    for (auto& t : copies)
      t.join();
    EXPECT_EQ(claims, 1) << "round " << round;
  }
}

// A command bound in the desktop hands its action over before the program
// builds anything, and a copy that got that far anyway (it lost the race to
// claim) still brings no window forward: the action runs where the user works.
TEST_F(InstanceChannelTest, ActionsAreHandedOverWithoutBringingTheRunningCopyForward) {
  EXPECT_FALSE(LinuxInstancePlatform::TryHandOver("Parlumo 2.5", "TSettings",
                                                  "--quick-translation 1 ", folder_))
      << "no copy runs";
  RunningCopy first(folder_);
  ASSERT_TRUE(first.Claimed());
  EXPECT_TRUE(LinuxInstancePlatform::TryHandOver("Parlumo 2.5", "TSettings",
                                                 "--quick-translation 1 ", folder_));
  EXPECT_FALSE(
      LinuxInstancePlatform::TryHandOver("Parlumo 2.5", "Other", "--file-translation ", folder_))
      << "another identity";

  PollEventLoop loop;
  const std::vector<std::string> action = {"--quick-translation", "2"};
  LinuxInstancePlatform late(loop, "Parlumo 2.5", "TSettings", action, folder_);
  EXPECT_FALSE(late.ClaimFirstCopy("Parlumo 2.5", "TSettings"));
  late.HandOverParameters("--quick-translation 2 ");
  late.BringRunningCopyForward();
  EXPECT_EQ(first.Received(), (std::vector<std::string>{"parameters: --quick-translation 1 ",
                                                        "parameters: --quick-translation 2 "}));
}

TEST_F(InstanceChannelTest, NoRunningCopyMeansTheHandOverGivesUp) {
  PollEventLoop loop;
  LinuxInstancePlatform alone(loop, "Parlumo 2.5", "TSettings", {"a.txt"}, folder_);
  EXPECT_EQ(alone.Parameters(), std::vector<std::string>{"a.txt"});
  const auto start = std::chrono::steady_clock::now();
  alone.HandOverParameters("a.txt ");  // nobody listens: returns after its time
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
}  // namespace parlumo
