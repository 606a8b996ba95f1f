#include "EventLoopConformance.h"
#include "runtime/PollEventLoop.h"

namespace parlumo::testing {
namespace {

INSTANTIATE_TEST_SUITE_P(Poll, EventLoopConformance,
                         ::testing::Values(EventLoopFactory{
                             "Poll", [] { return std::make_unique<PollEventLoop>(); }}),
                         EventLoopFactory::Name);

}  // namespace
}  // namespace parlumo::testing
