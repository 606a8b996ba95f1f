// The three windows in English and German, with a translation shown: every
// control has the room its text needs and none overlaps another; a picture of
// each goes to the test artifacts for a look.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>
#include <string>
#include <vector>

#include "WindowTestHost.h"
#include "support/ScriptedServer.h"
#include "text/LanguageText.h"
#include "ui/InfoWnd.h"
#include "ui/TranslationWnd.h"
#include "ui/WebsiteTranslationWnd.h"

namespace parlumo {
namespace {

using test::Control;
using test::ShowAsMainFormDoes;
using test::TTestHost;
using testing::ScriptedServer;
using testing::ServerConnection;

// Checks that each named control shows its whole text and lies inside the
// window without overlapping another.
void ExpectLaidOut(QWidget& window, const std::vector<const char*>& names) {
  std::vector<std::pair<const char*, QRect>> placed;
  for (const char* name : names) {
    QWidget& control = Control<QWidget>(window, name);
    const QRect rect(control.mapTo(&window, QPoint(0, 0)), control.size());
    EXPECT_TRUE(window.rect().contains(rect)) << name << " leaves the window";
    const auto* label = qobject_cast<QLabel*>(&control);
    if (label != nullptr && label->wordWrap()) {
      EXPECT_GE(control.height(), label->heightForWidth(control.width())) << name << " is cut off";
    } else if (qobject_cast<QPlainTextEdit*>(&control) == nullptr) {
      EXPECT_GE(control.width(), control.sizeHint().width()) << name << " is cut off";
      EXPECT_GE(control.height(), control.minimumSizeHint().height()) << name << " is cut off";
    }
    for (const auto& [other, otherRect] : placed)
      EXPECT_FALSE(rect.intersects(otherRect)) << name << " overlaps " << other;
    placed.emplace_back(name, rect);
  }
}

void Save(QWidget& window, const std::string& name) {
  QDir().mkpath(QStringLiteral(PARLUMO_UI_ARTIFACTS));
  const QString path = QStringLiteral(PARLUMO_UI_ARTIFACTS) + u'/' + QString::fromStdString(name);
  EXPECT_TRUE(window.grab().save(path)) << path.toStdString();
}

class WindowScreenshotTest : public ::testing::TestWithParam<int> {
 protected:
  std::string Suffix() const { return GetParam() == kUILanguageGerman ? "_de.png" : "_en.png"; }
};

TEST_P(WindowScreenshotTest, TranslationWindow) {
  const std::string body =
      "<a href=\"/help/faq_translation.html\"></a><div id=result_box dir=\"ltr\">Das Haus ist "
      "sehr gro&szlig; und der Hund schl&auml;ft im Garten.<br>Zweite Zeile der "
      "&Uuml;bersetzung.</div>";
  ScriptedServer service([&](ServerConnection& c) {
    c.ReadRequest();
    c.Send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
  });
  TTestHost host;
  host.language = GetParam();
  host.hosts.service = "127.0.0.1:" + service.PortText();
  TTranslationWnd wnd(host);
  wnd.ApplyTexts();
  ASSERT_TRUE(ShowAsMainFormDoes(wnd));
  Control<QPlainTextEdit>(wnd, "edSource")
      .setPlainText(QStringLiteral("The house is very big and the dog sleeps in the garden.\n"
                                   "Second line of the text."));
  Control<QPushButton>(wnd, "btnTranslate").click();
  ASSERT_TRUE(host.shell.boxes.empty());
  ExpectLaidOut(wnd,
                {"imgProgramLanguage", "laTranslateInfo", "btnLoadFromFile", "btnLoadFromClipboard",
                 "edSource", "laLanguageSelection", "cbLanguages", "btnTranslate", "edDestination",
                 "btnSaveToFile", "btnSaveToClipboard", "btnClose"});
  Save(wnd, "translation_window" + Suffix());
}

TEST_P(WindowScreenshotTest, WebsiteTranslationWindow) {
  TTestHost host;
  host.language = GetParam();
  TWebsiteTranslationWnd wnd(host);
  wnd.ApplyTexts();
  ASSERT_TRUE(ShowAsMainFormDoes(wnd));
  Control<QComboBox>(wnd, "cbUrlToTranslate")
      .setEditText(QStringLiteral("http://example.org/news/today.html"));
  Control<QComboBox>(wnd, "cbLanguages").setCurrentIndex(10);
  Control<QCheckBox>(wnd, "cbCloseAutomaticallyAfterTranslation").setChecked(true);
  ExpectLaidOut(wnd, {"imgProgramLanguage", "laTranslateUrlInfo", "laTranslateWebsite",
                      "cbUrlToTranslate", "laLanguageSelection", "cbLanguages",
                      "cbCloseAutomaticallyAfterTranslation", "btnTranslate", "btnClose"});
  Save(wnd, "website_translation_window" + Suffix());
}

TEST_P(WindowScreenshotTest, InformationWindow) {
  TTestHost host;
  host.language = GetParam();
  TInfoWnd wnd(host);
  wnd.ApplyTexts();
  ASSERT_TRUE(ShowAsMainFormDoes(wnd));
  ExpectLaidOut(wnd, {"imgProgramLanguage", "laVersionInfo", "laLinkHomepage", "laExtendedInfo",
                      "laLinkExtendedInfo", "laGoogleInfo", "laLinkGoogleWebsite",
                      "laLinkGoogleTrans", "btnOK"});
  Save(wnd, "information_window" + Suffix());
}

INSTANTIATE_TEST_SUITE_P(Languages, WindowScreenshotTest,
                         ::testing::Values(kUILanguageEnglish, kUILanguageGerman),
                         [](const ::testing::TestParamInfo<int>& param) {
                           return param.param == kUILanguageGerman ? "German" : "English";
                         });

}  // namespace
}  // namespace parlumo
