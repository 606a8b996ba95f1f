#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "runtime/EventLoop.h"

namespace parlumo::testing {

// What every EventLoop must do. An implementation's test program links the
// eventloop_conformance object library and instantiates the suite:
//   INSTANTIATE_TEST_SUITE_P(Poll, EventLoopConformance,
//       ::testing::Values(EventLoopFactory{"Poll", [] { return std::make_unique<PollEventLoop>();
//       }}), EventLoopFactory::Name);
struct EventLoopFactory {
  std::string name;
  std::function<std::unique_ptr<EventLoop>()> make;
  static std::string Name(const ::testing::TestParamInfo<EventLoopFactory>& info) {
    return info.param.name;
  }
};

class EventLoopConformance : public ::testing::TestWithParam<EventLoopFactory> {
 protected:
  void SetUp() override { loop_ = GetParam().make(); }
  void TearDown() override { loop_.reset(); }

  // Processes events until pred holds or the deadline passes; true if it held.
  bool RunUntil(const std::function<bool()>& pred,
                EventLoop::Duration deadline = std::chrono::seconds(5));

  std::unique_ptr<EventLoop> loop_;
};

}  // namespace parlumo::testing
