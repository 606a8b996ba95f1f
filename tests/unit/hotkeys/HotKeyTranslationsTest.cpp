// Quick translation and translation to file end to end: fake keyboard,
// clipboard, shell and tray, and a real translation service on loopback.
#include "hotkeys/HotKeyTranslations.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ScriptedServer.h"
#include "fakes/FakeDesktopShell.h"
#include "fakes/FakeKeyboard.h"
#include "fakes/FakeTrayShell.h"
#include "runtime/PollEventLoop.h"
#include "support/TempFolder.h"
#include "text/LanguageText.h"
#include "translate/ServiceHosts.h"
#include "translate/TranslationPage.h"

namespace parlumo {
namespace {

namespace fs = std::filesystem;
using fake::FakeClipboard;
using fake::FakeClipboardWatch;
using fake::FakeDesktopShell;
using fake::FakeKeyboard;
using fake::FakeTrayApplication;
using fake::FakeTrayShell;
using testing::ScriptedServer;
using testing::ServerConnection;
using Strings = std::vector<std::string>;

std::string Reply(const std::string& status, const std::string& body) {
  return "HTTP/1.0 " + status +
         "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

// The service's result page holding the translation (HTML).
std::string Page(const std::string& result) {
  return Reply("200 OK",
               "<html><a href=\"/help/faq_translation.html\">FAQ</a>"
               "<div id=result_box dir=\"ltr\">" +
                   result + "</div></html>");
}

// The translation service: answers every request with the reply of the moment
// and keeps the requests.
class Service {
 public:
  Service()
      : server_([this](ServerConnection& c) {
          const std::string request = c.ReadRequest();
          std::string reply;
          {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
            reply = reply_;
          }
          c.Send(reply);
        }) {}

  std::string Host() const { return "127.0.0.1:" + server_.PortText(); }
  std::string PortText() const { return server_.PortText(); }
  void SetReply(std::string reply) {
    std::lock_guard lock(mutex_);
    reply_ = std::move(reply);
  }
  Strings Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  // The body of the only request; fails the test when there is not exactly one.
  std::string OnlyBody() {
    const Strings requests = Requests();
    EXPECT_EQ(requests.size(), 1u);
    if (requests.size() != 1) return {};
    const std::size_t end = requests[0].find("\r\n\r\n");
    return end == std::string::npos ? std::string() : requests[0].substr(end + 4);
  }

 private:
  std::mutex mutex_;
  Strings requests_;
  std::string reply_ = Page("Hallo Welt");
  ScriptedServer server_;
};

// The main form as the hotkey translations see it.
class FakeHost : public THotKeyHost {
 public:
  TQuickOptions QuickOptions() const override { return quick; }
  int QuickPair(int hotkey) const override { return pairs[hotkey == 1 ? 1 : 2]; }
  int QuickPairListPosition(int hotkey) const override { return positions[hotkey == 1 ? 1 : 2]; }
  TFileOptions FileOptions() const override { return file; }
  int UILanguage() const override { return language; }
  bool BalloonTipsAvailable() const override { return balloons; }
  TServiceHosts Hosts() const override { return hosts; }

  TQuickOptions quick;
  int pairs[3] = {0, 0, 1};
  int positions[3] = {0, 0, 1};
  TFileOptions file;
  int language = 0;
  bool balloons = true;
  TServiceHosts hosts;
};

struct Balloon {
  std::string title;
  std::string text;
  TBalloonIconKind kind;
  std::uint32_t timeoutMs;
  bool operator==(const Balloon&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Balloon& b) {
  return out << "{" << b.title << " | " << b.text << " | " << static_cast<int>(b.kind) << " | "
             << b.timeoutMs << "}";
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string En(int key) {
  return LanguageText(kUILanguageEnglish, key);
}
std::string De(int key) {
  return LanguageText(kUILanguageGerman, key);
}

class HotKeyTranslationsTest : public ::testing::Test {
 protected:
  HotKeyTranslationsTest() {
    cHttp.SetRequestVer("1.0");
    tray.AddIcon();
    clipboard.watch = &watch;
    clipboard.log = &log;
    shell.log = &log;
    // The focused application copies its selection once the keystroke has
    // gone through the system's input.
    keyboard.onCopy = [this] {
      loop.Post([this] {
        if (whileCopying) whileCopying();
        if (applicationCopies) clipboard.Copy(selection);
      });
    };
    host.hosts = TServiceHosts{service.Host(), "vendor.test:81", "provider.test"};
    host.file.saveAs = (folder.Path() / "out.txt").string();
    translations = std::make_unique<THotKeyTranslations>(host, loop, cHttp, parser, keyboard,
                                                         clipboard, watch, shell, tray);
    // Where nothing copies, the whole wait passes; keep it short.
    translations->SetCaptureWait(std::chrono::milliseconds(20));
  }

  // The balloons shown, in order (the empty ones that hide a balloon left out).
  std::vector<Balloon> Balloons() const {
    std::vector<Balloon> balloons;
    for (const auto& call : trayShell.calls) {
      if (call.command == TrayCommand::Modify && (call.data.flags & kNifInfo) &&
          !call.data.info.empty()) {
        balloons.push_back({call.data.infoTitle, call.data.info,
                            static_cast<TBalloonIconKind>(call.data.infoFlags), call.data.timeout});
      }
    }
    return balloons;
  }

  // Presses all three hotkeys, as a user might while a translation runs.
  void PressAll() {
    runningAtPress = translations->Running();
    ++presses;
    translations->QuickTranslation(1);
    translations->QuickTranslation(2);
    translations->FileTranslation();
  }

  test::TempFolder folder{"parlumo-hotkeys"};
  Service service;
  PollEventLoop loop;
  THttpClient cHttp{loop};
  TParser parser;
  FakeKeyboard keyboard;
  FakeClipboard clipboard;
  FakeClipboardWatch watch;
  FakeDesktopShell shell;
  FakeTrayShell trayShell;
  Strings trayLog;
  FakeTrayApplication app{trayLog};
  TTrayIcon tray{loop, trayShell, app, nullptr};
  FakeHost host;
  Strings log;
  bool applicationCopies = true;
  std::optional<std::string> selection = "marked";
  std::function<void()> whileCopying;
  bool runningAtPress = false;
  int presses = 0;
  std::unique_ptr<THotKeyTranslations> translations;
};

// --- quick translation ------------------------------------------------------

TEST_F(HotKeyTranslationsTest, QuickResultAsBalloonsAndOnClipboard) {
  host.quick = {true, true, true, true};
  selection = "Hello world";
  service.SetReply(Page("Hallo &amp; Welt"));
  translations->QuickTranslation(1);

  const Strings requests = service.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(requests[0].starts_with("POST /translate_t HTTP/1.0\r\n")) << requests[0];
  EXPECT_NE(requests[0].find("\r\nUser-Agent: " + std::string(kTranslateAgent) + "\r\n"),
            std::string::npos);
  EXPECT_EQ(requests[0].find("Pragma: no-cache"), std::string::npos) << "NoCache is false";
  EXPECT_EQ(service.OnlyBody(), BuildRequestBody("Hello world", 0));

  EXPECT_EQ(clipboard.writes, Strings{"Hallo & Welt"});
  EXPECT_TRUE(shell.boxes.empty());
  const std::vector<Balloon> expected = {
      {En(615), En(614), TBalloonIconKind::bkWarning, 10000},
      {En(613), En(612), TBalloonIconKind::bkWarning, 10000},
      {En(900) + " " + En(500), "Hallo & Welt", TBalloonIconKind::bkInfo, 20000},
  };
  EXPECT_EQ(Balloons(), expected);
  EXPECT_FALSE(translations->Running());
}

TEST_F(HotKeyTranslationsTest, QuickPairAndTitleOfEachHotkey) {
  const struct {
    const char* name;
    int hotkey;
    int pair;      // QuickPair of the hotkey
    int position;  // the pair list's selection
    int language;
    const char* langpair;  // what goes out
    std::string title;
  } cases[] = {
      {"hotkey 1", 1, 1, 1, 0, "de%7Cen", En(900) + " " + En(501)},
      {"hotkey 2", 2, 4, 4, 0, "en%7Cfr", En(900) + " " + En(504)},
      {"hotkey 2, German", 2, 11, 11, 1, "es%7Cen", "Übersetzung " + De(511)},
      // The applied pair goes out; the title follows the list as it stands.
      {"list changed, not applied", 1, 2, 7, 0, "fr%7Cde", En(900) + " " + En(507)},
      {"stored pair outside the table", 1, 12, -1, 0, "en%7Cde",
       En(900) + " No translation resource found"},
  };
  host.quick = {false, false, true, false};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Service own;
    host.hosts.service = own.Host();
    host.pairs[c.hotkey] = c.pair;
    host.positions[c.hotkey] = c.position;
    host.language = c.language;
    shell.boxes.clear();
    translations->QuickTranslation(c.hotkey);
    EXPECT_NE(own.OnlyBody().find(std::string("&langpair=") + c.langpair + "&"), std::string::npos);
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].caption, c.title);
    EXPECT_EQ(shell.boxes[0].text, "Hallo Welt");
    EXPECT_EQ(shell.boxes[0].icon, TMsgIcon::miInformation);
    EXPECT_EQ(shell.boxes[0].buttons, TMsgButtons::mbOK);
    EXPECT_TRUE(shell.boxes[0].owned);
  }
}

TEST_F(HotKeyTranslationsTest, QuickSendsWhatTheClipboardHolds) {
  const struct {
    const char* name;
    bool copies;
    std::optional<std::string> copied;
    std::optional<std::string> before;
    std::string sent;
  } cases[] = {
      {"marked text", true, "Grüße", "old", "Grüße"},
      {"nothing copied: the earlier text", false, {}, "earlier", "earlier"},
      {"nothing copied, nothing there", false, {}, {}, ""},
      {"a picture: empty text", true, {}, "old", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Service own;
    host.hosts.service = own.Host();
    applicationCopies = c.copies;
    selection = c.copied;
    clipboard.content = c.before;
    translations->QuickTranslation(1);
    EXPECT_EQ(own.OnlyBody(), BuildRequestBody(c.sent, 0));
  }
  // The empty text goes out as an empty field.
  EXPECT_TRUE(BuildRequestBody("", 0).starts_with("text=&langpair="));
}

TEST_F(HotKeyTranslationsTest, QuickClipboardNotAvailable) {
  for (const bool balloon : {true, false}) {
    SCOPED_TRACE(balloon ? "balloon" : "box");
    host.quick.showBalloonHint = balloon;
    shell.boxes.clear();
    trayShell.calls.clear();
    clipboard.failingReads = 2;
    translations->QuickTranslation(1);
    EXPECT_TRUE(service.Requests().empty());
    if (balloon) {
      EXPECT_EQ(Balloons(),
                (std::vector<Balloon>{{En(611), En(610), TBalloonIconKind::bkWarning, 20000}}));
      EXPECT_TRUE(shell.boxes.empty());
    } else {
      EXPECT_TRUE(Balloons().empty());
      ASSERT_EQ(shell.boxes.size(), 1u);
      EXPECT_EQ(shell.boxes[0].caption, En(611));
      EXPECT_EQ(shell.boxes[0].text, En(610));
      EXPECT_EQ(shell.boxes[0].icon, TMsgIcon::miWarning);
      EXPECT_TRUE(shell.boxes[0].owned);
    }
  }
}

TEST_F(HotKeyTranslationsTest, QuickFailuresOfTheExchange) {
  const struct {
    const char* name;
    std::string reply;
    int textKey;  // 0: the UnknownDataFormat box
  } cases[] = {
      {"server error", Reply("500 Broken", "x"), 604},
      {"not found", Reply("404 Not Found", "x"), 604},
      {"not the result page", Reply("200 OK", "<html>a proxy's page</html>"), 608},
      {"no result in the page", Reply("200 OK", "<a href=\"/faq_translation.html\">x</a>"), 0},
  };
  // Reports as boxes, notices off: the boxes are exactly the reports.
  host.quick = {false, false, true, true};
  for (const auto& c : cases) {
    for (const TMsgResult answer : {TMsgResult::mrYes, TMsgResult::mrNo}) {
      SCOPED_TRACE(c.name);
      service.SetReply(c.reply);
      shell.boxes.clear();
      shell.opened.clear();
      shell.answers = {answer};
      translations->QuickTranslation(2);
      ASSERT_EQ(shell.boxes.size(), 1u);
      const auto& box = shell.boxes[0];
      if (c.textKey != 0) {
        EXPECT_EQ(box.text, En(c.textKey));
        EXPECT_EQ(box.caption, En(c.textKey + 1));
        EXPECT_EQ(box.icon, TMsgIcon::miWarning);
        EXPECT_EQ(box.buttons, TMsgButtons::mbOK);
        EXPECT_TRUE(box.owned);
        EXPECT_TRUE(shell.opened.empty());
      } else {
        EXPECT_EQ(box.text, En(606));
        EXPECT_EQ(box.caption, En(607));
        EXPECT_EQ(box.icon, TMsgIcon::miQuestion);
        EXPECT_EQ(box.buttons, TMsgButtons::mbYesNo);
        EXPECT_FALSE(box.owned);
        EXPECT_EQ(shell.opened,
                  answer == TMsgResult::mrYes ? Strings{HomePageUrl(host.hosts)} : Strings{});
      }
      EXPECT_TRUE(clipboard.writes.empty());
    }
  }
}

TEST_F(HotKeyTranslationsTest, QuickClipboardRefusingTheTranslation) {
  host.quick = {true, true, true, true};
  clipboard.refuseWrites = true;
  translations->QuickTranslation(1);
  ASSERT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(shell.boxes[0].caption, En(607));
  EXPECT_FALSE(shell.boxes[0].owned);
  // Only the notice of the request; no result.
  EXPECT_EQ(Balloons().size(), 1u);
}

TEST_F(HotKeyTranslationsTest, QuickWithNothingButNotices) {
  host.quick = {true, true, false, false};
  translations->QuickTranslation(1);
  EXPECT_EQ(service.Requests().size(), 1u);
  EXPECT_EQ(Balloons(),
            (std::vector<Balloon>{{En(615), En(614), TBalloonIconKind::bkWarning, 10000}}));
  EXPECT_TRUE(shell.boxes.empty());
  EXPECT_TRUE(clipboard.writes.empty());
}

TEST_F(HotKeyTranslationsTest, QuickLongTranslationGoesIntoABox) {
  host.quick = {true, false, true, false};
  for (const std::size_t length : {254u, 255u}) {
    SCOPED_TRACE(length);
    std::string translation;
    for (std::size_t i = 0; i < length; ++i)
      translation += "ä";
    service.SetReply(Page(translation));
    shell.boxes.clear();
    trayShell.calls.clear();
    translations->QuickTranslation(1);
    if (length < 255) {
      ASSERT_EQ(Balloons().size(), 1u);
      EXPECT_EQ(Balloons()[0].text, translation);
      EXPECT_TRUE(shell.boxes.empty());
    } else {
      EXPECT_TRUE(Balloons().empty());
      ASSERT_EQ(shell.boxes.size(), 1u);
      EXPECT_EQ(shell.boxes[0].text, translation);
    }
  }
}

TEST_F(HotKeyTranslationsTest, QuickWithoutBalloons) {
  // Every message is a box; the clipboard notice only when notices are chosen;
  // the request waits for the notice to be closed.
  host.balloons = false;
  for (const bool notify : {true, false}) {
    SCOPED_TRACE(notify ? "notices" : "no notices");
    Service own;
    host.hosts.service = own.Host();
    host.quick = {true, notify, true, true};
    log.clear();
    shell.boxes.clear();
    std::size_t requestsDuringNotice = 99;
    shell.whileOpen = [&] {
      if (shell.boxes.size() == 1) requestsDuringNotice = own.Requests().size();
    };
    translations->QuickTranslation(1);
    EXPECT_EQ(requestsDuringNotice, 0u);
    Strings expected = {"box " + En(615), "clipboard write"};
    if (notify) expected.push_back("box " + En(613));
    expected.push_back("box " + En(900) + " " + En(500));
    EXPECT_EQ(log, expected);
    EXPECT_EQ(shell.boxes[0].icon, TMsgIcon::miWarning);
    EXPECT_TRUE(Balloons().empty());
  }
}

TEST_F(HotKeyTranslationsTest, QuickThroughTheClientsProxy) {
  // The proxy values are those the main form's client holds.
  cHttp.Proxy = "127.0.0.1";
  cHttp.ProxyPort = service.PortText();
  host.hosts.service = "translator.test:8085";
  host.quick = {false, false, true, false};
  translations->QuickTranslation(1);
  const Strings requests = service.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(requests[0].starts_with("POST http://translator.test:8085/translate_t HTTP/1.0\r\n"))
      << requests[0];
  ASSERT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(shell.boxes[0].text, "Hallo Welt");
  EXPECT_EQ(cHttp.Proxy, "127.0.0.1");
}

// --- re-entry ----------------------------------------------------------------

TEST_F(HotKeyTranslationsTest, HotkeysWhileATranslationRunsAreIgnored) {
  enum class At { Capture, Notice, Exchange, Result, Question };
  const struct {
    const char* name;
    bool file;
    At at;
  } cases[] = {
      {"quick, during the capture", false, At::Capture},
      {"quick, in the notice box", false, At::Notice},
      {"quick, during the exchange", false, At::Exchange},
      {"quick, in the result box", false, At::Result},
      {"file, during the capture", true, At::Capture},
      {"file, during the exchange", true, At::Exchange},
      {"file, in the overwrite question", true, At::Question},
  };
  host.balloons = false;
  host.quick = {false, true, true, false};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Service own;
    host.hosts.service = own.Host();
    fs::remove(host.file.saveAs);
    if (c.at == At::Question) std::ofstream(host.file.saveAs) << "old";
    shell.boxes.clear();
    shell.opened.clear();
    // The file's only box is the question; quick's boxes are all OK boxes.
    shell.answers = {c.file ? TMsgResult::mrYes : TMsgResult::mrOK};
    keyboard.events.clear();
    presses = 0;
    runningAtPress = false;
    whileCopying = nullptr;
    shell.whileOpen = nullptr;
    cHttp.OnSendEnd = nullptr;
    auto pressOnce = [this] {
      if (presses == 0) PressAll();
    };
    switch (c.at) {
      case At::Capture:
        whileCopying = pressOnce;
        break;
      case At::Notice:
      case At::Question:
        shell.whileOpen = pressOnce;
        break;
      case At::Exchange:
        cHttp.OnSendEnd = [pressOnce](THttpClient&) { pressOnce(); };
        break;
      case At::Result:
        shell.whileOpen = [&, pressOnce] {
          if (shell.boxes.size() == 2) pressOnce();
        };
        break;
    }
    if (c.file) {
      translations->FileTranslation();
    } else {
      translations->QuickTranslation(1);
    }
    EXPECT_EQ(presses, 1);
    EXPECT_TRUE(runningAtPress);
    EXPECT_EQ(own.Requests().size(), 1u);
    EXPECT_EQ(keyboard.events.size(), 4u) << "one copy keystroke";
    // The running translation went through to its end.
    if (c.file) {
      EXPECT_EQ(ReadFile(host.file.saveAs), "Hallo Welt\r\n");
      EXPECT_EQ(shell.opened, Strings{host.file.saveAs});
    } else {
      ASSERT_EQ(shell.boxes.size(), 2u);
      EXPECT_EQ(shell.boxes[1].text, "Hallo Welt");
    }
    EXPECT_FALSE(translations->Running());
  }
  cHttp.OnSendEnd = nullptr;
  shell.whileOpen = nullptr;
  whileCopying = nullptr;

  // Afterwards a press works again.
  Service own;
  host.hosts.service = own.Host();
  translations->QuickTranslation(2);
  EXPECT_EQ(own.Requests().size(), 1u);
}

TEST_F(HotKeyTranslationsTest, DestroyedWhileWaiting) {
  host.balloons = false;
  // In the notice box: nothing is sent afterwards.
  shell.whileOpen = [this] { translations.reset(); };
  translations->QuickTranslation(1);
  EXPECT_TRUE(service.Requests().empty());
  EXPECT_EQ(shell.boxes.size(), 1u);

  // During the exchange: the answer is shown nowhere.
  shell.whileOpen = nullptr;
  shell.boxes.clear();
  host.balloons = true;
  host.quick = {false, true, true, true};
  translations = std::make_unique<THotKeyTranslations>(host, loop, cHttp, parser, keyboard,
                                                       clipboard, watch, shell, tray);
  cHttp.OnSendEnd = [this](THttpClient&) { translations.reset(); };
  translations->QuickTranslation(1);
  cHttp.OnSendEnd = nullptr;
  EXPECT_EQ(service.Requests().size(), 1u);
  EXPECT_TRUE(shell.boxes.empty());
  EXPECT_TRUE(clipboard.writes.empty());
}

// A program told to end while a hotkey translation runs aborts its request
// itself: that is no failure to tell the user of, in a box or a balloon, and a
// text copied as the program ends is no longer sent.
enum class EndingAt { Exchange, Copy };
struct EndingCase {
  const char* name;
  bool file;
  TQuickOptions quick;
  EndingAt at;
};

void PrintTo(const EndingCase& c, std::ostream* out) {
  *out << c.name;
}

class HotKeyEndingTest : public HotKeyTranslationsTest,
                         public ::testing::WithParamInterface<EndingCase> {};

TEST_P(HotKeyEndingTest, ShowsNothing) {
  const EndingCase& c = GetParam();
  host.quick = c.quick;
  if (c.at == EndingAt::Exchange) {
    cHttp.OnSendEnd = [this](THttpClient&) { loop.SetTerminating(); };
  } else {
    whileCopying = [this] { loop.SetTerminating(); };
  }
  if (c.file) {
    translations->FileTranslation();
  } else {
    translations->QuickTranslation(1);
  }
  cHttp.OnSendEnd = nullptr;
  // (A request that was sent may or may not have reached the service's thread
  // before the abort: only the copy case says how many.)
  if (c.at == EndingAt::Copy) {
    EXPECT_TRUE(service.Requests().empty());
  }
  EXPECT_TRUE(shell.boxes.empty());
  EXPECT_TRUE(Balloons().empty());
  EXPECT_TRUE(clipboard.writes.empty());
  EXPECT_TRUE(shell.opened.empty());
  EXPECT_FALSE(fs::exists(host.file.saveAs));
  EXPECT_FALSE(translations->Running());
}

INSTANTIATE_TEST_SUITE_P(
    , HotKeyEndingTest,
    ::testing::Values(
        EndingCase{"QuickReportsAsBoxes", false, {false, false, true, true}, EndingAt::Exchange},
        EndingCase{"QuickReportsAsBalloons", false, {true, false, true, true}, EndingAt::Exchange},
        EndingCase{"File", true, {}, EndingAt::Exchange},
        EndingCase{"QuickDuringTheCopy", false, {false, false, true, true}, EndingAt::Copy},
        EndingCase{"FileDuringTheCopy", true, {}, EndingAt::Copy}),
    [](const ::testing::TestParamInfo<EndingCase>& param) { return param.param.name; });

// --- translation to file -------------------------------------------------------

TEST_F(HotKeyTranslationsTest, FileSettingsAreCheckedFirst) {
  const struct {
    const char* name;
    std::string saveAs;
    bool assoc;
    std::string program;
    int textKey;  // 0: goes on
  } cases[] = {
      {"no file name", "", true, "/bin/editor", 616},
      {"no file name, no program", "", false, "", 616},
      {"no program for this program", "out.txt", false, "", 618},
      {"no program needed", "out.txt", true, "", 0},
  };
  for (const int language : {0, 1}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      Service own;
      host.hosts.service = own.Host();
      host.language = language;
      host.file.saveAs = c.saveAs.empty() ? "" : (folder.Path() / c.saveAs).string();
      host.file.startAssocProgram = c.assoc;
      host.file.program = c.program;
      host.file.overwriteWoPrompt = true;
      shell.boxes.clear();
      keyboard.events.clear();
      translations->FileTranslation();
      if (c.textKey == 0) {
        EXPECT_EQ(own.Requests().size(), 1u);
        EXPECT_TRUE(shell.boxes.empty());
        continue;
      }
      EXPECT_TRUE(keyboard.events.empty()) << "nothing is copied";
      EXPECT_TRUE(own.Requests().empty());
      ASSERT_EQ(shell.boxes.size(), 1u);
      EXPECT_EQ(shell.boxes[0].text, LanguageText(language, c.textKey));
      EXPECT_EQ(shell.boxes[0].caption, LanguageText(language, c.textKey + 1));
      EXPECT_EQ(shell.boxes[0].icon, TMsgIcon::miError);
      EXPECT_TRUE(shell.boxes[0].owned);
    }
  }
}

TEST_F(HotKeyTranslationsTest, FileLinesGoOutAndInWithCrLf) {
  const struct {
    const char* name;
    std::optional<std::string> marked;
    std::string sent;
    std::string result;  // the page's HTML
    std::string file;
  } cases[] = {
      {"two lines", "one\ntwo", "one\r\ntwo\r\n", "eins<br>zwei", "eins\r\nzwei\r\n"},
      {"line breaks of every kind", "a\rb\r\nc", "a\r\nb\r\nc\r\n", "x\ny\r\nz\r",
       "x\r\ny\r\nz\r\n"},
      {"letters beyond ASCII", "Grüße", "Grüße\r\n", "Gr&uuml;&szlig;e &amp; € 😀",
       "Grüße & € 😀\r\n"},
      {"an empty translation", "word", "word\r\n", "", ""},
      {"nothing marked: empty text", std::nullopt, "", "", ""},
  };
  host.file.overwriteWoPrompt = true;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Service own;
    own.SetReply(Page(c.result));
    host.hosts.service = own.Host();
    selection = c.marked;
    shell.opened.clear();
    translations->FileTranslation();
    EXPECT_EQ(own.OnlyBody(), BuildRequestBody(c.sent, 0));
    EXPECT_EQ(ReadFile(host.file.saveAs), c.file);
    EXPECT_EQ(shell.opened, Strings{host.file.saveAs});
    EXPECT_TRUE(shell.boxes.empty());
  }
}

TEST_F(HotKeyTranslationsTest, FileOverwriteQuestion) {
  const struct {
    const char* name;
    bool exists;
    bool withoutPrompt;
    TMsgResult answer;
    int language;
    bool asked;
    bool written;
  } cases[] = {
      {"new file", false, false, TMsgResult::mrNo, 0, false, true},
      {"existing, Yes", true, false, TMsgResult::mrYes, 0, true, true},
      {"existing, No", true, false, TMsgResult::mrNo, 0, true, false},
      {"existing, closed", true, false, TMsgResult::mrCancel, 0, true, false},
      {"existing, German, No", true, false, TMsgResult::mrNo, 1, true, false},
      {"existing, without prompt", true, true, TMsgResult::mrNo, 0, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(host.file.saveAs);
    if (c.exists) std::ofstream(host.file.saveAs) << "old";
    host.file.overwriteWoPrompt = c.withoutPrompt;
    host.language = c.language;
    shell.boxes.clear();
    shell.opened.clear();
    shell.answers = {c.answer};
    translations->FileTranslation();
    if (c.asked) {
      ASSERT_EQ(shell.boxes.size(), 1u);
      EXPECT_EQ(shell.boxes[0].text, LanguageText(c.language, 620));
      EXPECT_EQ(shell.boxes[0].caption, LanguageText(c.language, 621));
      EXPECT_EQ(shell.boxes[0].buttons, TMsgButtons::mbYesNo);
      EXPECT_EQ(shell.boxes[0].icon, TMsgIcon::miQuestion);
      EXPECT_TRUE(shell.boxes[0].owned);
    } else {
      EXPECT_TRUE(shell.boxes.empty());
    }
    EXPECT_EQ(ReadFile(host.file.saveAs), c.written ? "Hallo Welt\r\n" : "old");
    EXPECT_EQ(shell.opened, c.written ? Strings{host.file.saveAs} : Strings{});
  }
  EXPECT_EQ(De(621), "Datei existiert bereits");
}

TEST_F(HotKeyTranslationsTest, FileFailuresShowNoAccessAndOpenNothing) {
  const fs::path targetFolder = folder.Path() / "a folder";
  fs::create_directory(targetFolder);
  const fs::path readOnly = folder.Path() / "read-only.txt";
  std::ofstream(readOnly) << "protected";
  ::chmod(readOnly.c_str(), 0444);
  const bool root = ::geteuid() == 0;
  const struct {
    const char* name;
    fs::path target;
    bool overwriteWoPrompt;
    bool needsNonRoot;
  } cases[] = {
      {"a folder as target", targetFolder, false, false},
      {"a missing folder", folder.Path() / "missing" / "out.txt", false, false},
      {"a folder nobody may write to", "/proc/parlumo-out.txt", false, false},
      {"a write-protected file", readOnly, true, true},
  };
  for (const int language : {0, 1}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      if (c.needsNonRoot && root) continue;  // root writes anything
      host.language = language;
      host.file.saveAs = c.target.string();
      host.file.overwriteWoPrompt = c.overwriteWoPrompt;
      host.file.startAssocProgram = language == 0;
      host.file.program = "/usr/bin/editor";
      shell.boxes.clear();
      shell.opened.clear();
      shell.started.clear();
      translations->FileTranslation();
      ASSERT_EQ(shell.boxes.size(), 1u) << "no question for a folder or a missing file";
      EXPECT_EQ(shell.boxes[0].text, LanguageText(language, 622));
      EXPECT_EQ(shell.boxes[0].caption, LanguageText(language, 623));
      EXPECT_EQ(shell.boxes[0].icon, TMsgIcon::miError);
      EXPECT_TRUE(shell.boxes[0].owned);
      EXPECT_TRUE(shell.opened.empty());
      EXPECT_TRUE(shell.started.empty());
    }
  }
  EXPECT_TRUE(fs::is_directory(targetFolder));
  EXPECT_EQ(ReadFile(readOnly), "protected");
  EXPECT_EQ(De(623), "Kein Dateizugriff");
}

TEST_F(HotKeyTranslationsTest, FileOpensWithTheChosenProgram) {
  const fs::path files = folder.Path() / "My Files";
  fs::create_directory(files);
  host.file.saveAs = (files / "out put.txt").string();
  host.file.startAssocProgram = false;
  host.file.program = "/opt/tools/ed it";
  translations->FileTranslation();
  ASSERT_EQ(shell.started.size(), 1u);
  EXPECT_EQ(shell.started[0].program, "/opt/tools/ed it");
  EXPECT_EQ(shell.started[0].file, host.file.saveAs);
  EXPECT_TRUE(shell.opened.empty());
  EXPECT_EQ(ReadFile(host.file.saveAs), "Hallo Welt\r\n");
}

TEST_F(HotKeyTranslationsTest, FileFailuresBeforeWriting) {
  const struct {
    const char* name;
    std::string reply;
    int failingReads;
    int textKey;  // 0: the UnknownDataFormat box
    TMsgIcon icon;
  } cases[] = {
      {"clipboard not available", Page("x"), 2, 610, TMsgIcon::miWarning},
      {"server error", Reply("500 Broken", "x"), 0, 604, TMsgIcon::miWarning},
      {"not the result page", Reply("200 OK", "<html>x</html>"), 0, 608, TMsgIcon::miWarning},
      {"no result in the page", Reply("200 OK", "/faq_translation.html"), 0, 0,
       TMsgIcon::miQuestion},
  };
  for (const int language : {0, 1}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      service.SetReply(c.reply);
      clipboard.failingReads = c.failingReads;
      host.language = language;
      shell.boxes.clear();
      shell.answers = {TMsgResult::mrYes};
      shell.opened.clear();
      translations->FileTranslation();
      ASSERT_EQ(shell.boxes.size(), 1u);
      const int key = c.textKey == 0 ? 606 : c.textKey;
      EXPECT_EQ(shell.boxes[0].text, LanguageText(language, key));
      EXPECT_EQ(shell.boxes[0].caption, LanguageText(language, key + 1));
      EXPECT_EQ(shell.boxes[0].icon, c.icon);
      EXPECT_EQ(shell.boxes[0].owned, c.textKey != 0);
      EXPECT_FALSE(fs::exists(host.file.saveAs));
      EXPECT_EQ(shell.opened, c.textKey == 0 ? Strings{HomePageUrl(host.hosts)} : Strings{});
    }
  }
}

}  // namespace
}  // namespace parlumo
