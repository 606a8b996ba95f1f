// The website translation window: the address it hands to the browser, checked
// against the real local service translating a page this test serves.

#include "ui/WebsiteTranslationWnd.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <mutex>

#include "ServiceProcess.h"
#include "WindowTestHost.h"
#include "net/HttpClient.h"
#include "runtime/Stream.h"
#include "support/ScriptedServer.h"
#include "text/LanguageText.h"
#include "translate/ServiceHosts.h"

namespace parlumo {
namespace {

using test::Control;
using test::ShowAsMainFormDoes;
using test::TTestHost;
using test::Utf8;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::ScriptedServer;
using testing::ServerConnection;

class WebsiteTranslationWndTest : public ::testing::Test {
 protected:
  void Open() {
    wnd_ = std::make_unique<TWebsiteTranslationWnd>(host_);
    wnd_->ApplyTexts();
    ASSERT_TRUE(ShowAsMainFormDoes(*wnd_));
  }
  QComboBox& Url() { return Control<QComboBox>(*wnd_, "cbUrlToTranslate"); }
  QComboBox& Languages() { return Control<QComboBox>(*wnd_, "cbLanguages"); }
  QCheckBox& CloseAfter() {
    return Control<QCheckBox>(*wnd_, "cbCloseAutomaticallyAfterTranslation");
  }
  QPushButton& Button(const char* name) { return Control<QPushButton>(*wnd_, name); }
  void TypeAddress(const QString& address) {
    Url().lineEdit()->selectAll();
    QTest::keyClicks(Url().lineEdit(), address);
  }

  TTestHost host_;
  std::unique_ptr<TWebsiteTranslationWnd> wnd_;
};

TEST_F(WebsiteTranslationWndTest, OpensWithAnEmptyProposalReadyForTyping) {
  Open();
  EXPECT_EQ(wnd_->parentWidget(), nullptr);
  EXPECT_EQ(wnd_->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
  EXPECT_GE(wnd_->width(), 409);
  EXPECT_GE(wnd_->height(), 241);
  EXPECT_EQ(Utf8(wnd_->windowTitle()), "Website translation");
  EXPECT_EQ(Url().currentText(), QString());
  ASSERT_EQ(Url().count(), 1);
  EXPECT_EQ(Url().itemText(0), QString());
  EXPECT_EQ(QApplication::focusWidget(), &Url());
  EXPECT_EQ(Languages().currentIndex(), 0);
  EXPECT_FALSE(CloseAfter().isChecked());
  QTest::keyClick(wnd_.get(), Qt::Key_F1);
  EXPECT_THAT(host_.helpContexts, ElementsAreArray({800}));
}

TEST_F(WebsiteTranslationWndTest, HandsTheTranslationAddressToTheBrowser) {
  host_.hosts.service = "translate.test:8085";
  Open();
  struct TCase {
    QString address;
    int pair;
  } cases[] = {
      {QStringLiteral("http://example.org/"), 3},
      {QStringLiteral("http://example.org/a page.html?q=a b&x=1#frag"), 1},
      {QStringLiteral("example.org"), 11},
  };
  for (const TCase& c : cases) {
    TypeAddress(c.address);
    Languages().setCurrentIndex(c.pair);
    Button("btnTranslate").click();
    ASSERT_FALSE(host_.shell.opened.empty());
    EXPECT_EQ(host_.shell.opened.back(), PageTranslationUrl(host_.hosts, Utf8(c.address), c.pair));
    // The typed address is not added to the list.
    EXPECT_EQ(Url().count(), 1);
  }
  EXPECT_EQ(host_.shell.opened[0],
            "http://translate.test:8085/translate?u=http%3A%2F%2Fexample.org%2F&langpair=de%7Cfr"
            "&ie=ASCII&oe=ASCII");
  EXPECT_EQ(
      host_.shell.opened[1],
      "http://translate.test:8085/translate?u=http%3A%2F%2Fexample.org%2Fa%20page.html%3Fq%3Da"
      "%20b%26x%3D1%23frag&langpair=de%7Cen&ie=ASCII&oe=ASCII");
  EXPECT_TRUE(host_.shell.boxes.empty());
  EXPECT_TRUE(wnd_->isVisible());
  EXPECT_EQ(host_.websiteClosed, 0);
}

TEST_F(WebsiteTranslationWndTest, NoAddressIsReportedAndNothingOpened) {
  Open();
  Button("btnTranslate").click();
  ASSERT_EQ(host_.shell.boxes.size(), 1u);
  EXPECT_EQ(host_.shell.boxes[0].caption, "No URL entered");
  EXPECT_EQ(host_.shell.boxes[0].text, LanguageText(0, 600));
  EXPECT_EQ(host_.shell.boxes[0].icon, TMsgIcon::miError);
  EXPECT_EQ(host_.shell.boxes[0].buttons, TMsgButtons::mbOK);
  EXPECT_TRUE(host_.shell.opened.empty());
}

TEST_F(WebsiteTranslationWndTest, ClosesAfterTranslationWhenTickedAndStoresBoth) {
  host_.shell.openSucceeds = false;  // no browser: closes all the same
  Open();
  TypeAddress(QStringLiteral("http://example.org/"));
  Languages().setCurrentIndex(5);
  CloseAfter().setChecked(true);
  Button("btnTranslate").click();
  EXPECT_EQ(host_.shell.opened.size(), 1u);
  EXPECT_FALSE(wnd_->isVisible());
  EXPECT_EQ(host_.websiteClosed, 1);
  EXPECT_EQ(host_.Ini().ReadInteger("Languages", "WebsiteTranslationLanguage", 0), 5);
  EXPECT_TRUE(host_.Ini().ReadBool("General", "CloseWebsiteTranslation", false));
}

TEST_F(WebsiteTranslationWndTest, ClosingIsNeverRefusedAndStoresTheSettings) {
  host_.Ini().WriteInteger("Languages", "WebsiteTranslationLanguage", 20);
  host_.Ini().WriteBool("General", "CloseWebsiteTranslation", true);
  Open();
  EXPECT_EQ(Languages().currentIndex(), -1);
  EXPECT_TRUE(CloseAfter().isChecked());
  CloseAfter().setChecked(false);
  Button("btnClose").click();
  EXPECT_FALSE(wnd_->isVisible());
  EXPECT_EQ(host_.websiteClosed, 1);
  EXPECT_EQ(host_.Ini().ReadInteger("Languages", "WebsiteTranslationLanguage", 0), -1);
  EXPECT_FALSE(host_.Ini().ReadBool("General", "CloseWebsiteTranslation", true));
}

TEST_F(WebsiteTranslationWndTest, LanguageSwitchWithTheWindowOpen) {
  host_.Ini().WriteInteger("Languages", "WebsiteTranslationLanguage", 3);
  Open();
  TypeAddress(QStringLiteral("http://example.org/"));
  Languages().setCurrentIndex(8);
  host_.language = kUILanguageGerman;
  wnd_->ApplyTexts();
  EXPECT_EQ(Utf8(wnd_->windowTitle()), "Webseitenübersetzung");
  EXPECT_EQ(Utf8(Button("btnTranslate").text()), "Übersetzen");
  EXPECT_EQ(Utf8(Button("btnClose").text()), "Schließen");
  EXPECT_EQ(Utf8(CloseAfter().text()), LanguageText(1, 206));
  EXPECT_EQ(Utf8(Control<QLabel>(*wnd_, "laTranslateUrlInfo").text()), LanguageText(1, 201));
  EXPECT_EQ(Utf8(Languages().itemText(3)), "Deutsch » Französisch");
  EXPECT_EQ(Languages().currentIndex(), 3);
  // The typed address stays.
  EXPECT_EQ(Utf8(Url().currentText()), "http://example.org/");
}

// What the browser gets, followed: the service fetches the page this test serves
// (an address with blanks, a query of its own and a fragment) and translates it.
TEST(WebsiteTranslationServiceTest, TheHandedAddressTranslatesThePage) {
  std::mutex mutex;
  std::vector<std::string> pageRequests;
  ScriptedServer pages([&](ServerConnection& c) {
    const std::string request = c.ReadRequest();
    {
      std::lock_guard<std::mutex> lock(mutex);
      pageRequests.push_back(request.substr(0, request.find("\r\n")));
    }
    const std::string body =
        "<html><head><title>House</title></head><body><p>The house is very big.</p></body></html>";
    c.Send("HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body);
  });
  testing::ServiceProcess service({"--dictionary", "/nonexistent/de-en"});

  TTestHost host;
  host.hosts.service = service.HostPort();
  TWebsiteTranslationWnd wnd(host);
  wnd.ApplyTexts();
  ASSERT_TRUE(ShowAsMainFormDoes(wnd));
  const std::string address =
      "http://127.0.0.1:" + pages.PortText() + "/a page.html?q=a b&lang=en&x=1#frag";
  Control<QComboBox>(wnd, "cbUrlToTranslate").setEditText(QString::fromStdString(address));
  // English to Spanish: an Apertium pair, without the slow-loading dictionary.
  Control<QComboBox>(wnd, "cbLanguages").setCurrentIndex(7);
  Control<QPushButton>(wnd, "btnTranslate").click();
  ASSERT_EQ(host.shell.opened.size(), 1u);
  const std::string url = host.shell.opened[0];

  // The browser's request, made with the program's own client.
  THttpClient http(host.Loop());
  http.Timeout = std::chrono::seconds(120);
  TStringStream page;
  http.ResponseStream = &page;
  http.URL = url;
  ASSERT_NO_THROW(http.Get()) << http.ReasonPhrase();
  http.ResponseStream = nullptr;
  EXPECT_EQ(http.StatusCode(), 200);
  EXPECT_THAT(page.DataString(), HasSubstr("casa"));
  EXPECT_THAT(page.DataString(), Not(HasSubstr("The house is very big")));
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(pageRequests.size(), 1u);
  // The page's own query arrived whole; the fragment stays with the browser.
  EXPECT_THAT(pageRequests[0], HasSubstr("GET /a%20page.html?q=a%20b&lang=en&x=1 HTTP/1."));
}

}  // namespace
}  // namespace parlumo
