// The pool's rule for a request that finds its mode's only pipeline in use: wait for
// it while it will likely come free before a second could start, else start a
// second. The pipelines are real processes (cat, which answers each input at once),
// so that the timing is the pool's own.

#include "PipelinePool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

namespace parlumo::service {
namespace {

using namespace std::chrono_literals;

TEST(PipelinePoolTest, ARequestWaitsForAPipelineOnlyWhileItWillSoonComeFree) {
  struct Case {
    const char* what;
    bool warmedBefore;  // whether the held pipeline had answered a request before
    int pipelines;      // running once the waiting request has one
  };
  // The held request keeps its pipeline well past what a start costs (0.5 s) but
  // well within half the stall time (5 s).
  const Case cases[] = {
      // Its first request: it has just loaded its data, and its request ends in
      // moments (the service measures the pipeline then). A second start would
      // double the memory for nothing.
      {"a pipeline on its first request, answered", false, 1},
      // A later request that takes long: the waiting one gets a pipeline of its own.
      {"a pipeline on a long later request", true, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PipelineLimits limits;
    limits.idleTime = 60s;
    PipelinePool pool(limits);
    const auto mode = pool.AddMode("cat", {{"cat"}});
    if (c.warmedBefore) {
      auto lease = pool.Acquire(mode);
      ASSERT_TRUE(lease);
      ASSERT_EQ(lease->Process().Run({"warm"}, 5s, &lease->Progress()).end,
                ApertiumProcess::End::Answered);
    }
    auto held = pool.Acquire(mode);
    ASSERT_TRUE(held);
    const auto run = held->Process().Run({"first"}, 5s, &held->Progress());
    ASSERT_EQ(run.end, ApertiumProcess::End::Answered);
    EXPECT_EQ(run.answers, std::vector<std::string>{"first"});

    std::optional<PipelinePool::Lease> waiting;
    std::thread other([&] {
      if (auto lease = pool.Acquire(mode)) waiting.emplace(std::move(*lease));
    });
    std::this_thread::sleep_for(900ms);
    held.reset();
    other.join();
    ASSERT_TRUE(waiting);
    EXPECT_EQ(waiting->Process().Run({"next"}, 5s).answers, std::vector<std::string>{"next"});
    const auto resident = pool.Resident();
    ASSERT_EQ(resident.modes.size(), 1u);
    EXPECT_EQ(resident.modes[0].running, c.pipelines);
  }
}

}  // namespace
}  // namespace parlumo::service
