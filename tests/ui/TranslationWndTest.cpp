// The text translation window against a scripted HTTP peer and the real local
// service, driven as a user drives it.

#include "ui/TranslationWnd.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "ServiceProcess.h"
#include "WindowTestHost.h"
#include "support/QtWait.h"
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

const std::string kResultPage =
    "<html><body><a href=\"/help/faq_translation.html\">FAQ</a>"
    "<div id=result_box dir=\"ltr\">Hallo Welt</div></body></html>";
const std::string kErrorPage = "<html><body>Service unavailable</body></html>";
const std::string kChangedPage =
    "<html><body><a href=\"/help/faq_translation.html\">FAQ</a><p>new layout</p></body></html>";

std::string Answer(const std::string& status, const std::string& body) {
  return "HTTP/1.0 " + status +
         "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

// A translation service that answers every request with one answer, optionally
// only once the test releases it; it keeps the requests it read.
class TScriptedService {
 public:
  explicit TScriptedService(std::string answer, bool holdAnswer = false)
      : answer_(std::move(answer)), released_(!holdAnswer), server_([this](ServerConnection& c) {
          const std::string request = c.ReadRequest();
          {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
          }
          while (!released_ && !server_.StopRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
          c.Send(answer_);
        }) {}

  std::string HostPort() const { return "127.0.0.1:" + server_.PortText(); }
  void Release() { released_ = true; }
  std::vector<std::string> Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  std::string answer_;
  std::atomic<bool> released_;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  ScriptedServer server_;
};

// The window as the main form makes it: created, texts applied, shown.
class TranslationWndTest : public ::testing::Test {
 protected:
  void Open() {
    wnd_ = std::make_unique<TTranslationWnd>(host_);
    wnd_->ApplyTexts();
    ASSERT_TRUE(ShowAsMainFormDoes(*wnd_));
  }

  QPlainTextEdit& Source() { return Control<QPlainTextEdit>(*wnd_, "edSource"); }
  QPlainTextEdit& Destination() { return Control<QPlainTextEdit>(*wnd_, "edDestination"); }
  QComboBox& Languages() { return Control<QComboBox>(*wnd_, "cbLanguages"); }
  QPushButton& Button(const char* name) { return Control<QPushButton>(*wnd_, name); }
  std::string SourceText() { return Utf8(Source().toPlainText()); }
  std::string DestinationText() { return Utf8(Destination().toPlainText()); }
  std::string Text(int key) { return LanguageText(host_.language, key); }

  // Puts a text into the source box as a user would: click in, type (or paste).
  void TypeSource(const QString& text) {
    QTest::mouseClick(Source().viewport(), Qt::LeftButton);
    Source().selectAll();
    Source().insertPlainText(text);
  }

  TTestHost host_;
  std::unique_ptr<TTranslationWnd> wnd_;
};

TEST_F(TranslationWndTest, IsATopLevelWindowWithTheProgramsIconAndFormFont) {
  Open();
  EXPECT_TRUE(wnd_->isWindow());
  EXPECT_EQ(wnd_->parentWidget(), nullptr);
  EXPECT_TRUE(wnd_->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(wnd_->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(wnd_->windowFlags().testFlag(Qt::Tool));
  EXPECT_EQ(wnd_->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
  EXPECT_EQ(wnd_->font(), QFontDatabase::systemFont(QFontDatabase::GeneralFont));
  EXPECT_GE(wnd_->width(), 455);
  EXPECT_GE(wnd_->height(), 403);
  EXPECT_EQ(wnd_->minimumSize(), wnd_->maximumSize());
  EXPECT_EQ(Utf8(wnd_->windowTitle()), "Text translation");
}

TEST_F(TranslationWndTest, PlaceholdersComeAndGoWithTheFocus) {
  Open();
  EXPECT_EQ(SourceText(), "Enter the text here...");
  EXPECT_EQ(DestinationText(), "Here you will find the translated text...");
  // The focus stays on the first control, so the source placeholder stays visible.
  EXPECT_EQ(QApplication::focusWidget(), &Button("btnLoadFromFile"));

  QTest::mouseClick(Source().viewport(), Qt::LeftButton);
  EXPECT_EQ(SourceText(), "");
  QTest::mouseClick(Destination().viewport(), Qt::LeftButton);
  EXPECT_EQ(SourceText(), "Enter the text here...");
  EXPECT_EQ(DestinationText(), "");
  Button("btnTranslate").setFocus(Qt::TabFocusReason);
  EXPECT_EQ(DestinationText(), "Here you will find the translated text...");

  // Typed text stays on leaving and entering.
  TypeSource(QStringLiteral("Hello"));
  Button("btnTranslate").setFocus(Qt::TabFocusReason);
  EXPECT_EQ(SourceText(), "Hello");
  Source().setFocus(Qt::TabFocusReason);
  EXPECT_EQ(SourceText(), "Hello");

  // A context menu taking the focus is no leaving: the emptied box stays empty
  // for the paste the user is about to choose.
  Source().clear();
  QFocusEvent popupOut(QEvent::FocusOut, Qt::PopupFocusReason);
  QApplication::sendEvent(&Source(), &popupOut);
  EXPECT_EQ(SourceText(), "");
}

TEST_F(TranslationWndTest, NoTranslationHintsOpensEmptyWithTheFocusInTheSource) {
  host_.Ini().WriteBool("General", "NoTranslationHints", true);
  Open();
  EXPECT_EQ(SourceText(), "");
  EXPECT_EQ(DestinationText(), "");
  EXPECT_EQ(QApplication::focusWidget(), &Source());
  Button("btnTranslate").setFocus(Qt::TabFocusReason);
  EXPECT_EQ(SourceText(), "");
}

TEST_F(TranslationWndTest, NothingToTranslateIsReportedAndNothingSent) {
  TScriptedService service(Answer("200 OK", kResultPage));
  host_.hosts.service = service.HostPort();
  Open();
  // The untouched placeholder, then an empty box without placeholders.
  Button("btnTranslate").click();
  host_.Ini().WriteBool("General", "NoTranslationHints", true);
  Source().clear();
  Button("btnTranslate").click();
  ASSERT_EQ(host_.shell.boxes.size(), 2u);
  for (const auto& box : host_.shell.boxes) {
    EXPECT_EQ(box.caption, "No text entered");
    EXPECT_EQ(box.text, Text(602));
    EXPECT_EQ(box.icon, TMsgIcon::miWarning);
    EXPECT_EQ(box.buttons, TMsgButtons::mbOK);
  }
  test::Pump(100);
  EXPECT_TRUE(service.Requests().empty());
}

TEST_F(TranslationWndTest, AnAnswerArrivingWhileTheUserClosesAndClicksAgain) {
  TScriptedService service(Answer("200 OK", kResultPage), /*holdAnswer=*/true);
  host_.hosts.service = service.HostPort();
  host_.Ini().WriteInteger("Languages", "TextTranslationLanguage", 7);
  Open();
  TypeSource(QStringLiteral("Hello & world"));

  // The eleven controls go off in their order and come back in the same order.
  const char* const order[] = {"btnTranslate",    "cbLanguages",
                               "laTranslateInfo", "laLanguageSelection",
                               "btnLoadFromFile", "btnLoadFromClipboard",
                               "btnSaveToFile",   "btnSaveToClipboard",
                               "btnClose",        "edSource",
                               "edDestination"};
  std::vector<std::string> changes;
  struct TRecorder : QObject {
    std::vector<std::string>* changes;
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::EnabledChange) {
        changes->push_back(watched->objectName().toStdString() +
                           (static_cast<QWidget*>(watched)->isEnabled() ? "+" : "-"));
      }
      return false;
    }
  } recorder;
  recorder.changes = &changes;
  for (const char* name : order)
    Control<QWidget>(*wnd_, name).installEventFilter(&recorder);

  bool checkedMeanwhile = false;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(test::WaitUntil([&] { return service.Requests().size() == 1; }));
    for (const char* name : order)
      EXPECT_FALSE(Control<QWidget>(*wnd_, name).isEnabled()) << name;
    // Closing is refused, a second click does nothing.
    EXPECT_FALSE(wnd_->close());
    EXPECT_TRUE(wnd_->isVisible());
    Button("btnTranslate").click();
    QTest::mouseClick(&Button("btnTranslate"), Qt::LeftButton);
    test::Pump(100);
    EXPECT_EQ(service.Requests().size(), 1u);
    service.Release();
    checkedMeanwhile = true;
  });
  Button("btnTranslate").click();

  EXPECT_TRUE(checkedMeanwhile);
  EXPECT_EQ(host_.translationClosed, 0);
  EXPECT_EQ(DestinationText(), "Hallo Welt");
  EXPECT_TRUE(host_.shell.boxes.empty());
  std::vector<std::string> expected;
  for (const char* name : order)
    expected.push_back(std::string(name) + "-");
  for (const char* name : order)
    expected.push_back(std::string(name) + "+");
  EXPECT_THAT(changes, ElementsAreArray(expected));
  // The focus in the translation, the caret at its start.
  EXPECT_EQ(QApplication::focusWidget(), &Destination());
  EXPECT_EQ(Destination().textCursor().position(), 0);

  const std::string request = service.Requests().at(0);
  EXPECT_THAT(request, HasSubstr("POST /translate_t HTTP/1.0\r\n"));
  EXPECT_THAT(request, HasSubstr("Pragma: no-cache\r\n"));
  EXPECT_THAT(request, HasSubstr("text=Hello+%26+world&langpair=en%7Ces&"));

  // Afterwards the window closes normally, once.
  EXPECT_TRUE(wnd_->close());
  EXPECT_EQ(host_.translationClosed, 1);
  EXPECT_EQ(host_.Ini().ReadInteger("Languages", "TextTranslationLanguage", 0), 7);
}

// The owner may destroy the window while an exchange waits (the program ends):
// the exchange ends at once and nothing of the window is touched afterwards.
TEST_F(TranslationWndTest, DestroyedByItsOwnerWhileAnExchangeWaits) {
  TScriptedService service(Answer("200 OK", kResultPage), /*holdAnswer=*/true);
  host_.hosts.service = service.HostPort();
  Open();
  TypeSource(QStringLiteral("Hello"));
  bool destroyed = false;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(test::WaitUntil([&] { return service.Requests().size() == 1; }));
    wnd_.reset();
    destroyed = true;
  });
  QPointer<QPushButton> translate(&Button("btnTranslate"));
  translate->click();
  EXPECT_TRUE(destroyed);
  EXPECT_TRUE(translate.isNull());
  EXPECT_TRUE(host_.shell.boxes.empty());
  EXPECT_EQ(host_.translationClosed, 0);
  service.Release();
}

struct TFailureCase {
  const char* name;
  std::string answer;  // empty: nothing listens
  std::string caption;
  int textKey;
  TMsgIcon icon;
  TMsgButtons buttons;
  bool focusInDestination;
};

TEST_F(TranslationWndTest, EachFailureHasItsBox) {
  const TFailureCase cases[] = {
      {"nothing listens", "", "No connection to server", 604, TMsgIcon::miError, TMsgButtons::mbOK,
       false},
      {"status 500", Answer("500 Internal Server Error", kResultPage), "No connection to server",
       604, TMsgIcon::miError, TMsgButtons::mbOK, false},
      {"not the service's page", Answer("200 OK", kErrorPage), "Text could not be translated", 608,
       TMsgIcon::miWarning, TMsgButtons::mbOK, true},
      {"a page the program cannot read", Answer("200 OK", kChangedPage),
       "Unknown dataformat from server", 606, TMsgIcon::miQuestion, TMsgButtons::mbYesNo, true},
  };
  for (const TFailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<TScriptedService> service;
    if (c.answer.empty()) {
      host_.hosts.service = "127.0.0.1:" + std::to_string(testing::ClosedPort());
    } else {
      service = std::make_unique<TScriptedService>(c.answer);
      host_.hosts.service = service->HostPort();
    }
    host_.shell = {};
    host_.shell.answers = {TMsgResult::mrNo};
    Open();
    TypeSource(QStringLiteral("Hello"));
    bool disabledDuringBox = false;
    host_.shell.duringBox = [&] {
      disabledDuringBox = !Button("btnTranslate").isEnabled();
      EXPECT_FALSE(wnd_->close());
    };
    Button("btnTranslate").click();

    ASSERT_EQ(host_.shell.boxes.size(), 1u);
    const auto& box = host_.shell.boxes[0];
    EXPECT_EQ(box.caption, c.caption);
    EXPECT_EQ(box.text, Text(c.textKey));
    EXPECT_EQ(box.icon, c.icon);
    EXPECT_EQ(box.buttons, c.buttons);
    EXPECT_TRUE(box.owned);
    EXPECT_EQ(box.window, wnd_.get()) << "the box belongs to the window, not the main form";
    EXPECT_TRUE(disabledDuringBox);
    EXPECT_TRUE(host_.shell.opened.empty()) << "No opens nothing";
    // The controls are back, the source text kept.
    EXPECT_TRUE(Button("btnTranslate").isEnabled());
    EXPECT_TRUE(Source().isEnabled());
    EXPECT_EQ(SourceText(), "Hello");
    if (c.focusInDestination) {
      EXPECT_EQ(QApplication::focusWidget(), &Destination());
      EXPECT_EQ(DestinationText(), "") << "the enter rule clears the placeholder";
    } else {
      EXPECT_NE(QApplication::focusWidget(), &Destination());
      EXPECT_EQ(DestinationText(), "Here you will find the translated text...");
    }
    EXPECT_TRUE(wnd_->close());
    wnd_.reset();
  }
}

TEST_F(TranslationWndTest, UnknownDataFormatYesOpensTheMakersHomePage) {
  TScriptedService service(Answer("200 OK", kChangedPage));
  host_.hosts.service = service.HostPort();
  host_.hosts.vendor = "maker.test:9000";
  host_.shell.answers = {TMsgResult::mrYes};
  Open();
  TypeSource(QStringLiteral("Hello"));
  Button("btnTranslate").click();
  ASSERT_EQ(host_.shell.boxes.size(), 1u);
  EXPECT_EQ(host_.shell.boxes[0].caption, "Unknown dataformat from server");
  EXPECT_THAT(host_.shell.opened, ElementsAreArray({"http://maker.test:9000/tools/parlumo/"}));
}

TEST_F(TranslationWndTest, StoredPairIndexOutsideTheTable) {
  TScriptedService service(Answer("200 OK", kResultPage));
  host_.hosts.service = service.HostPort();
  host_.Ini().WriteInteger("Languages", "TextTranslationLanguage", 20);
  Open();
  EXPECT_EQ(Languages().count(), 12);
  EXPECT_EQ(Languages().currentIndex(), -1);
  TypeSource(QStringLiteral("Hello"));
  Button("btnTranslate").click();
  ASSERT_EQ(service.Requests().size(), 1u);
  EXPECT_THAT(service.Requests()[0], HasSubstr("&langpair=en%7Cde&"));
  Button("btnClose").click();
  EXPECT_FALSE(wnd_->isVisible());
  EXPECT_EQ(host_.translationClosed, 1);
  EXPECT_EQ(host_.Ini().ReadInteger("Languages", "TextTranslationLanguage", 0), -1);
}

TEST_F(TranslationWndTest, CopyingTakesTheSelectionOrEverything) {
  TScriptedService service(Answer(
      "200 OK",
      "<a href=\"/help/faq_translation.html\"></a><div id=result_box dir=\"ltr\">eins zwei<br>"
      "drei</div>"));
  host_.hosts.service = service.HostPort();
  Open();
  TypeSource(QStringLiteral("one two\nthree"));
  Button("btnTranslate").click();
  ASSERT_EQ(DestinationText(), "eins zwei\ndrei");

  // Nothing selected: everything, and nothing selected afterwards.
  Button("btnSaveToClipboard").click();
  EXPECT_EQ(host_.clipboard.text, "eins zwei\ndrei");
  EXPECT_FALSE(Destination().textCursor().hasSelection());

  // A selection across the line break: just that.
  QTextCursor cursor = Destination().textCursor();
  cursor.setPosition(5);
  cursor.setPosition(11, QTextCursor::KeepAnchor);
  Destination().setTextCursor(cursor);
  Button("btnSaveToClipboard").click();
  EXPECT_EQ(host_.clipboard.text, "zwei\nd");
  EXPECT_TRUE(Destination().textCursor().hasSelection());
  EXPECT_EQ(host_.clipboard.writes, 2);
}

TEST_F(TranslationWndTest, PastingReplacesTheSource) {
  Open();
  host_.clipboard.text = "Grüße\naus Köln";
  Button("btnLoadFromClipboard").click();
  EXPECT_EQ(SourceText(), "Grüße\naus Köln");
  // A clipboard that cannot be read leaves the box as it was.
  host_.clipboard.available = false;
  Button("btnLoadFromClipboard").click();
  EXPECT_EQ(SourceText(), "Grüße\naus Köln");
  // An empty clipboard empties the box.
  host_.clipboard.available = true;
  host_.clipboard.text.clear();
  Button("btnLoadFromClipboard").click();
  EXPECT_EQ(SourceText(), "");
}

// Answers the next file dialog with a path (or cancels it with an empty one);
// afterwards runs before the window gets the answer.
void AnswerFileDialog(const QString& path, std::function<void()> afterwards = {}) {
  QTimer::singleShot(0, [path, afterwards] {
    ASSERT_TRUE(test::WaitUntil(
        [] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr; }));
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (path.isEmpty()) {
      dialog->reject();
      return;
    }
    // The overwrite question belongs to the dialog, not to the window.
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();
    if (afterwards) afterwards();
  });
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

TEST_F(TranslationWndTest, LoadingAndSavingFiles) {
  TScriptedService service(
      Answer("200 OK",
             "<a href=\"/help/faq_translation.html\"></a><div id=result_box dir=\"ltr\">"
             "Gr&uuml;&szlig;e<br>zweite Zeile</div>"));
  host_.hosts.service = service.HostPort();
  Open();
  const auto folder = host_.Folder();
  std::ofstream(folder / "source.txt", std::ios::binary) << "Greetings\nsecond line";
  std::ofstream(folder / "latin.txt", std::ios::binary) << "caf\xE9";

  AnswerFileDialog(QString::fromStdString((folder / "source.txt").string()));
  Button("btnLoadFromFile").click();
  EXPECT_EQ(SourceText(), "Greetings\nsecond line");
  // A file in the Western code page is read character for character.
  AnswerFileDialog(QString::fromStdString((folder / "latin.txt").string()));
  Button("btnLoadFromFile").click();
  EXPECT_EQ(SourceText(), "caf\xC3\xA9");
  // Cancelling changes nothing.
  AnswerFileDialog(QString());
  Button("btnLoadFromFile").click();
  EXPECT_EQ(SourceText(), "caf\xC3\xA9");
  // A file that cannot be read (removed after it was chosen): its message, and
  // the box as it was.
  const auto gone = folder / "gone.txt";
  std::ofstream(gone, std::ios::binary) << "soon gone";
  AnswerFileDialog(QString::fromStdString(gone.string()),
                   [gone] { std::filesystem::remove(gone); });
  Button("btnLoadFromFile").click();
  ASSERT_EQ(host_.shell.boxes.size(), 1u);
  EXPECT_THAT(host_.shell.boxes[0].text, HasSubstr("gone.txt"));
  EXPECT_EQ(host_.shell.boxes[0].icon, TMsgIcon::miError);
  EXPECT_EQ(SourceText(), "caf\xC3\xA9");

  Button("btnTranslate").click();
  ASSERT_EQ(DestinationText(), "Grüße\nzweite Zeile");
  AnswerFileDialog(QString::fromStdString((folder / "out.txt").string()));
  Button("btnSaveToFile").click();
  EXPECT_EQ(ReadFile(folder / "out.txt"), "Grüße\nzweite Zeile\n");

  // A file that cannot be written (its folder removed after it was chosen): its
  // message, and the window as it was.
  const auto lost = folder / "lost";
  std::filesystem::create_directory(lost);
  AnswerFileDialog(QString::fromStdString((lost / "out.txt").string()),
                   [lost] { std::filesystem::remove_all(lost); });
  Button("btnSaveToFile").click();
  ASSERT_EQ(host_.shell.boxes.size(), 2u);
  EXPECT_THAT(host_.shell.boxes[1].text, HasSubstr("out.txt"));
  EXPECT_EQ(host_.shell.boxes[1].icon, TMsgIcon::miError);
  EXPECT_EQ(DestinationText(), "Grüße\nzweite Zeile");
}

TEST_F(TranslationWndTest, LanguageSwitchWithTheWindowOpen) {
  host_.Ini().WriteInteger("Languages", "TextTranslationLanguage", 3);
  Open();
  // The source placeholder is in its box; the destination is emptied by the user.
  QTest::mouseClick(Destination().viewport(), Qt::LeftButton);
  ASSERT_EQ(DestinationText(), "");
  Languages().setCurrentIndex(9);

  host_.language = kUILanguageGerman;
  wnd_->ApplyTexts();
  EXPECT_EQ(Utf8(wnd_->windowTitle()), "Textübersetzung");
  EXPECT_EQ(Utf8(Button("btnTranslate").text()), "Ü&bersetzen");
  EXPECT_EQ(Utf8(Control<QLabel>(*wnd_, "laLanguageSelection").text()), "Sprach&auswahl:");
  // The placeholder already there stays; only the empty box gets the new one.
  EXPECT_EQ(SourceText(), "Enter the text here...");
  EXPECT_EQ(DestinationText(), "Hier finden Sie den übersetzten Text...");
  // The pair list speaks German and shows the stored pair, not the one on screen.
  EXPECT_EQ(Languages().count(), 12);
  EXPECT_EQ(Utf8(Languages().itemText(0)), "Englisch » Deutsch");
  EXPECT_EQ(Languages().currentIndex(), 3);
  EXPECT_EQ(Utf8(Languages().currentText()), "Deutsch » Französisch");
  // The old placeholder is still a placeholder: entering the box empties it.
  QTest::mouseClick(Source().viewport(), Qt::LeftButton);
  EXPECT_EQ(SourceText(), "");
  Button("btnClose").setFocus(Qt::TabFocusReason);
  EXPECT_EQ(SourceText(), "Geben Sie den Text hier ein...");
}

TEST_F(TranslationWndTest, HelpKeyShowsTheWindowsTopic) {
  Open();
  QTest::keyClick(wnd_.get(), Qt::Key_F1);
  EXPECT_THAT(host_.helpContexts, ElementsAreArray({700}));
}

// The real local service end to end.
TEST(TranslationWndServiceTest, TranslatesWithTheLocalService) {
  testing::ServiceProcess service({"--dictionary", "/nonexistent/de-en"});
  TTestHost host;
  host.hosts.service = service.HostPort();
  TTranslationWnd wnd(host);
  wnd.ApplyTexts();
  ASSERT_TRUE(ShowAsMainFormDoes(wnd));
  auto& source = Control<QPlainTextEdit>(wnd, "edSource");
  source.setPlainText(QStringLiteral("The house is very big."));
  // English to Spanish: an Apertium pair, without the slow-loading dictionary.
  Control<QComboBox>(wnd, "cbLanguages").setCurrentIndex(7);
  Control<QPushButton>(wnd, "btnTranslate").click();
  ASSERT_TRUE(host.shell.boxes.empty()) << host.shell.boxes[0].caption;
  const std::string translation = Utf8(Control<QPlainTextEdit>(wnd, "edDestination").toPlainText());
  EXPECT_THAT(translation, HasSubstr("casa"));
  EXPECT_NE(translation, "Here you will find the translated text...");
}

}  // namespace
}  // namespace parlumo
