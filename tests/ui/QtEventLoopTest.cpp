// The Qt event loop through the same conformance suite as PollEventLoop.

#include <QCoreApplication>
#include <QEvent>

#include "EventLoopConformance.h"
#include "platform/qt/QtEventLoop.h"

namespace parlumo::testing {
namespace {

INSTANTIATE_TEST_SUITE_P(Qt, EventLoopConformance,
                         ::testing::Values(EventLoopFactory{
                             "Qt", [] { return std::make_unique<QtEventLoop>(); }}),
                         EventLoopFactory::Name);

}  // namespace
}  // namespace parlumo::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  const int status = RUN_ALL_TESTS();
  // Notifiers and timers retired with deleteLater go now, before the application.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return status;
}
