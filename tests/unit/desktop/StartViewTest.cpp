// What the program shows at start, and while it waits for a notification area.
#include "desktop/StartView.h"

#include <gtest/gtest.h>

namespace parlumo {
namespace {

using std::chrono::milliseconds;

TEST(StartViewTest, DialogAtOnceOnlyForTypeThreeElseAfterTheWaitForATrayHost) {
  const milliseconds wait = kTrayHostWait;
  const struct {
    int startupType;
    bool tray;
    milliseconds waited;
    TStartView expected;
  } cases[] = {
      {3, true, milliseconds(0), TStartView::Dialog},
      {3, false, milliseconds(0), TStartView::Dialog},
      {0, true, milliseconds(0), TStartView::TrayIcon},
      {1, true, milliseconds(0), TStartView::TrayIcon},
      {2, true, wait, TStartView::TrayIcon},
      // No tray host yet: the panel may still be coming up.
      {0, false, milliseconds(0), TStartView::WaitForTray},
      {1, false, wait - milliseconds(1), TStartView::WaitForTray},
      {2, false, milliseconds(9999), TStartView::WaitForTray},
      // The wait is over: the dialog is the only way in.
      {0, false, wait, TStartView::Dialog},
      {2, false, wait + milliseconds(500), TStartView::Dialog},
      // The host came during the wait: nothing to show.
      {0, true, milliseconds(4000), TStartView::TrayIcon},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "type " << c.startupType << " tray " << c.tray
                                      << " waited " << c.waited.count());
    EXPECT_EQ(StartView(c.startupType, c.tray, c.waited), c.expected);
  }
  // A wait of nothing decides at once.
  EXPECT_EQ(StartView(0, false, milliseconds(0), milliseconds(0)), TStartView::Dialog);
}

}  // namespace
}  // namespace parlumo
