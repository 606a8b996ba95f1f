// The information window: its texts in both languages, its links and help topic.

#include "ui/InfoWnd.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <memory>

#include "WindowTestHost.h"
#include "text/LanguageText.h"
#include "ui/LinkLabel.h"

namespace parlumo {
namespace {

using test::Control;
using test::ShowAsMainFormDoes;
using test::TTestHost;
using test::Utf8;
using ::testing::ElementsAreArray;

class InfoWndTest : public ::testing::Test {
 protected:
  void Open() {
    wnd_ = std::make_unique<TInfoWnd>(host_);
    wnd_->ApplyTexts();
    ASSERT_TRUE(ShowAsMainFormDoes(*wnd_));
  }
  std::string LabelText(const char* name) { return Utf8(Control<QLabel>(*wnd_, name).text()); }

  TTestHost host_;
  std::unique_ptr<TInfoWnd> wnd_;
};

struct TLabelKey {
  const char* name;
  int key;
};
const TLabelKey kLabels[] = {
    {"laVersionInfo", 302},  {"laExtendedInfo", 304},      {"laLinkExtendedInfo", 305},
    {"laGoogleInfo", 306},   {"laLinkGoogleWebsite", 307}, {"laLinkGoogleTrans", 308},
    {"laLinkHomepage", 309},
};

TEST_F(InfoWndTest, TextsInBothLanguages) {
  Open();
  EXPECT_EQ(wnd_->parentWidget(), nullptr);
  EXPECT_EQ(wnd_->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
  EXPECT_GE(wnd_->width(), 384);
  EXPECT_GE(wnd_->height(), 314);
  EXPECT_EQ(Utf8(wnd_->windowTitle()), "Program information");
  EXPECT_EQ(LabelText("laVersionInfo"), "Parlumo\nVersion 2.5 (Build 41) builded on 08.01.2008");
  for (const TLabelKey& label : kLabels)
    EXPECT_EQ(LabelText(label.name), LanguageText(0, label.key)) << label.name;

  // Switched with the window open: every text follows.
  host_.language = kUILanguageGerman;
  wnd_->ApplyTexts();
  EXPECT_EQ(Utf8(wnd_->windowTitle()), "Programminformation");
  EXPECT_EQ(LabelText("laVersionInfo"), "Parlumo\nVersion 2.5 (Build 41) vom 08.01.2008");
  for (const TLabelKey& label : kLabels) {
    EXPECT_EQ(LabelText(label.name), LanguageText(1, label.key)) << label.name;
    EXPECT_NE(LabelText(label.name), LanguageText(0, label.key)) << label.name;
  }
  EXPECT_EQ(Utf8(Control<QPushButton>(*wnd_, "btnOK").text()), "OK");
  // No text claims a web search company or the Internet.
  for (const int language : {0, 1}) {
    for (const int key : {304, 306, 307}) {
      EXPECT_EQ(LanguageText(language, key).find("Google"), std::string::npos) << key;
    }
  }
}

TEST_F(InfoWndTest, LinksLookLikeLinksAndOpenTheirTargets) {
  host_.hosts.vendor = "maker.test:81";
  host_.hosts.provider = "provider.test:82";
  Open();
  const char* const links[] = {"laLinkHomepage", "laLinkExtendedInfo", "laLinkGoogleWebsite",
                               "laLinkGoogleTrans"};
  for (const char* name : links) {
    auto& link = Control<TLinkLabel>(*wnd_, name);
    EXPECT_TRUE(link.font().underline()) << name;
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 0x80)) << name;
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor) << name;
    // Sized to its text, so only the text is the link.
    EXPECT_LE(link.width(), link.sizeHint().width()) << name;
    QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(2, link.height() / 2));
  }
  EXPECT_THAT(host_.shell.opened,
              ElementsAreArray({"http://maker.test:81/tools/parlumo/", "http://provider.test:82/",
                                "http://provider.test:82/help/faq_translation.html"}));
  EXPECT_THAT(host_.helpContexts, ElementsAreArray({502}));
  // The version line and notices are no links.
  QTest::mouseClick(&Control<QLabel>(*wnd_, "laVersionInfo"), Qt::LeftButton);
  QTest::mouseClick(&Control<QLabel>(*wnd_, "laExtendedInfo"), Qt::LeftButton);
  EXPECT_EQ(host_.shell.opened.size(), 3u);
  EXPECT_EQ(host_.helpContexts.size(), 1u);
}

TEST_F(InfoWndTest, OkClosesAndTheHostIsToldOnce) {
  Open();
  Control<QPushButton>(*wnd_, "btnOK").click();
  EXPECT_FALSE(wnd_->isVisible());
  EXPECT_EQ(host_.infoClosed, 1);
  wnd_->close();
  EXPECT_EQ(host_.infoClosed, 1);
}

}  // namespace
}  // namespace parlumo
