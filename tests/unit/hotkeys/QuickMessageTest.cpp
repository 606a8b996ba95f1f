// ShowQuickMessage's choice between balloon, message box and nothing.
#include "hotkeys/QuickMessage.h"

#include <gtest/gtest.h>

#include <string>

namespace parlumo {
namespace {

std::string Repeat(const std::string& piece, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i)
    out += piece;
  return out;
}

constexpr auto kNone = TQuickMessageRoute::qmNone;
constexpr auto kBalloon = TQuickMessageRoute::qmBalloon;
constexpr auto kBox = TQuickMessageRoute::qmMessageBox;

TEST(QuickMessageTest, DecisionTable) {
  const std::string shortText = "text";
  const std::string shortTitle = "title";
  // Multi-byte characters: the limits count characters, not bytes.
  const std::string text254 = Repeat("ä", 254);
  const std::string text255 = Repeat("ä", 255);
  const std::string title63 = Repeat("€", 63);
  const std::string title64 = Repeat("€", 64);
  const struct {
    const char* name;
    const std::string& text;
    const std::string& title;
    bool notice;
    bool showBalloonHint;
    bool notifyBalloonHint;
    bool available;
    TQuickMessageRoute route;
    int timeout;
  } cases[] = {
      {"report as balloon", shortText, shortTitle, false, true, true, true, kBalloon, 20},
      {"report, balloons not chosen", shortText, shortTitle, false, false, true, true, kBox, 0},
      {"report, notices off", shortText, shortTitle, false, true, false, true, kBalloon, 20},
      {"notice as balloon", shortText, shortTitle, true, true, true, true, kBalloon, 10},
      {"notice, notices off", shortText, shortTitle, true, true, false, true, kNone, 0},
      {"notice, balloons not chosen", shortText, shortTitle, true, false, true, true, kBalloon, 10},
      {"both off: notice", shortText, shortTitle, true, false, false, true, kNone, 0},
      {"both off: report", shortText, shortTitle, false, false, false, true, kBox, 0},
      {"no balloons: report", shortText, shortTitle, false, true, true, false, kBox, 0},
      {"no balloons: notice", shortText, shortTitle, true, true, true, false, kBox, 0},
      {"no balloons: notice though notices off", shortText, shortTitle, true, true, false, false,
       kBox, 0},
      {"text of 254", text254, shortTitle, false, true, true, true, kBalloon, 20},
      {"text of 255", text255, shortTitle, false, true, true, true, kBox, 0},
      {"notice text of 255", text255, shortTitle, true, true, false, true, kBox, 0},
      {"title of 63", shortText, title63, false, true, true, true, kBalloon, 20},
      {"title of 64", shortText, title64, false, true, true, true, kBox, 0},
      {"notice title of 64", shortText, title64, true, true, true, true, kBox, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TQuickOptions options;
    options.showBalloonHint = c.showBalloonHint;
    options.notifyBalloonHint = c.notifyBalloonHint;
    const TQuickMessageDelivery delivery = ChooseQuickMessageDelivery(
        c.text, c.title, TMsgIcon::miWarning, c.notice, options, c.available);
    EXPECT_EQ(delivery.route, c.route);
    EXPECT_EQ(delivery.timeoutSeconds, c.timeout);
  }
}

TEST(QuickMessageTest, BalloonIcons) {
  const struct {
    TMsgIcon icon;
    TBalloonIconKind kind;
  } cases[] = {
      {TMsgIcon::miError, TBalloonIconKind::bkError},
      {TMsgIcon::miWarning, TBalloonIconKind::bkWarning},
      {TMsgIcon::miInformation, TBalloonIconKind::bkInfo},
      {TMsgIcon::miQuestion, TBalloonIconKind::bkNone},
      {TMsgIcon::miNone, TBalloonIconKind::bkNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BalloonIconFor(c.icon), c.kind);
    EXPECT_EQ(ChooseQuickMessageDelivery("t", "t", c.icon, false, {}, true).kind, c.kind);
  }
}

TEST(QuickMessageTest, CountsCharacters) {
  EXPECT_EQ(CountUtf8Characters(""), 0u);
  EXPECT_EQ(CountUtf8Characters("abc"), 3u);
  EXPECT_EQ(CountUtf8Characters("ä€\xF0\x9D\x84\x9E"), 3u);
  // Bytes that start no sequence count one each, a cut sequence by its bytes.
  EXPECT_EQ(CountUtf8Characters("\xFF\xFE"), 2u);
  EXPECT_EQ(CountUtf8Characters("a\xE2\x82"), 3u);
}

}  // namespace
}  // namespace parlumo
