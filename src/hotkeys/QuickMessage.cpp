#include "hotkeys/QuickMessage.h"

#include "runtime/Utf8.h"

namespace parlumo {

std::size_t CountUtf8Characters(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < text.size(); ++count) {
    char32_t cp = 0;
    const std::size_t length = DecodeUtf8(text, at, cp);
    at += length == 0 ? 1 : length;
  }
  return count;
}

TBalloonIconKind BalloonIconFor(TMsgIcon icon) {
  switch (icon) {
    case TMsgIcon::miError:
      return TBalloonIconKind::bkError;
    case TMsgIcon::miWarning:
      return TBalloonIconKind::bkWarning;
    case TMsgIcon::miInformation:
      return TBalloonIconKind::bkInfo;
    case TMsgIcon::miNone:
    case TMsgIcon::miQuestion:
      break;
  }
  return TBalloonIconKind::bkNone;
}

TQuickMessageDelivery ChooseQuickMessageDelivery(std::string_view text, std::string_view title,
                                                 TMsgIcon icon, bool isNotice,
                                                 const TQuickOptions& options,
                                                 bool balloonTipsAvailable) {
  TQuickMessageDelivery delivery;
  delivery.kind = BalloonIconFor(icon);
  const bool fits = CountUtf8Characters(text) < kBalloonTextLimit &&
                    CountUtf8Characters(title) < kBalloonTitleLimit && balloonTipsAvailable;
  if (!fits) {
    delivery.route = TQuickMessageRoute::qmMessageBox;
  } else if (isNotice) {
    delivery.route =
        options.notifyBalloonHint ? TQuickMessageRoute::qmBalloon : TQuickMessageRoute::qmNone;
    delivery.timeoutSeconds = kNoticeBalloonSeconds;
  } else {
    delivery.route =
        options.showBalloonHint ? TQuickMessageRoute::qmBalloon : TQuickMessageRoute::qmMessageBox;
    delivery.timeoutSeconds = kReportBalloonSeconds;
  }
  if (delivery.route != TQuickMessageRoute::qmBalloon) delivery.timeoutSeconds = 0;
  return delivery;
}

}  // namespace parlumo
