#include "desktop/StartView.h"

namespace parlumo {

TStartView StartView(int startupType, bool trayAvailable, std::chrono::milliseconds waited,
                     std::chrono::milliseconds wait) {
  if (startupType == 3) return TStartView::Dialog;
  if (trayAvailable) return TStartView::TrayIcon;
  return waited >= wait ? TStartView::Dialog : TStartView::WaitForTray;
}

}  // namespace parlumo
