#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "desktop/DesktopShell.h"
#include "desktop/TrayShell.h"
#include "hotkeys/HotKeyHost.h"

namespace parlumo {

// Balloons take texts shorter than this many characters ...
inline constexpr std::size_t kBalloonTextLimit = 255;
// ... and titles shorter than this; longer messages go into a message box.
inline constexpr std::size_t kBalloonTitleLimit = 64;
// How long a balloon stays, in seconds.
inline constexpr std::uint8_t kNoticeBalloonSeconds = 10;
inline constexpr std::uint8_t kReportBalloonSeconds = 20;

// How one message of quick translation reaches the user.
enum class TQuickMessageRoute {
  qmNone,        // not shown: a notice while notices are switched off
  qmBalloon,     // a balloon at the tray icon; it does not wait
  qmMessageBox,  // a message box owned by the main form; it waits for the user
};

struct TQuickMessageDelivery {
  TQuickMessageRoute route = TQuickMessageRoute::qmNone;
  TBalloonIconKind kind = TBalloonIconKind::bkNone;  // the balloon's icon
  std::uint8_t timeoutSeconds = 0;                   // the balloon's time
};

// The decision of ShowQuickMessage. A message fits a balloon when its text is
// shorter than kBalloonTextLimit and its title shorter than kBalloonTitleLimit
// characters (Unicode characters of the UTF-8 texts) and balloons are available.
// Fitting, a notice is a balloon when notifyBalloonHint is set and nothing
// otherwise; a report is a balloon when showBalloonHint is set and a box
// otherwise. Not fitting, notice and report alike go into a box.
TQuickMessageDelivery ChooseQuickMessageDelivery(std::string_view text, std::string_view title,
                                                 TMsgIcon icon, bool isNotice,
                                                 const TQuickOptions& options,
                                                 bool balloonTipsAvailable);

// The balloon icon for a message-box icon: error, warning and information have
// their own; every other icon gives none.
TBalloonIconKind BalloonIconFor(TMsgIcon icon);

// The number of characters of UTF-8 text; a byte that starts no valid sequence
// counts as one character.
std::size_t CountUtf8Characters(std::string_view text);

}  // namespace parlumo
