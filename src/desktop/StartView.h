#pragma once

#include <chrono>

namespace parlumo {

// What the program shows at start besides the windows its start-up type opens.
enum class TStartView {
  TrayIcon,     // the tray icon is the way in; the dialog stays hidden
  Dialog,       // the settings dialog
  WaitForTray,  // nothing yet: ask again while the desktop's notification area
                // may still come up
};

// How long a start without a notification area waits for one before it shows
// the dialog. At login the program often starts before the panel that hosts
// the tray; the icon takes its place once the host is there.
inline constexpr std::chrono::milliseconds kTrayHostWait = std::chrono::seconds(10);

// The decision at start, and again while waiting: start-up type 3 shows the
// dialog at once; with a notification area the icon is enough; without one
// the program waits up to `wait` (counted from the start) and then shows the
// dialog, the only way in left.
TStartView StartView(int startupType, bool trayAvailable, std::chrono::milliseconds waited,
                     std::chrono::milliseconds wait = kTrayHostWait);

}  // namespace parlumo
