// What the program is for, on a Wayland desktop, end to end: text marked in
// the session (the primary selection), a chord the desktop binds to
// `parlumo --quick-translation 1` and its siblings pressed, and the
// translation on the clipboard, in a notification or in a file, from the real
// program and the real local service. The desktop is sway headless on a
// session bus of its own (scripts/with-wayland); the notification daemon and
// the tray's watcher are dbusmock's.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ScriptedServer.h"
#include "ServiceProcess.h"
#include "net/HttpClient.h"
#include "runtime/PollEventLoop.h"
#include "support/QtWait.h"
#include "translate/Parser.h"
#include "translate/TranslateText.h"
#include "wayland/ProgramWaylandSupport.h"
#include "wayland/WaylandSession.h"

namespace parlumo::wltest {
namespace {

namespace fs = std::filesystem;
using test::Pump;
using test::WaitUntil;

constexpr int kEnglishSpanish = 7;
constexpr int kEnglishFrench = 4;
// The program under ASan starts in seconds; a translation takes well under one.
constexpr int kResultMs = 30000;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// The settings of every test: German interface, the pairs of the two quick
// translations and of the file translation, the service given; more keys for
// the section QuickTranslate, and further sections after it.
std::string Ini(const std::string& serviceHost, const std::string& quick,
                const std::string& more = {}) {
  return "[General]\nStartupType=0\n[Languages]\nInterfaceLanguage=1\nQuickTranslation1=" +
         std::to_string(kEnglishSpanish) + "\nQuickTranslation2=" + std::to_string(kEnglishFrench) +
         "\nFileTranslate=" + std::to_string(kEnglishSpanish) + "\n[Service]\nHost=" + serviceHost +
         "\nVendorHost=" + serviceHost + "\nProviderHost=" + serviceHost + "\n[QuickTranslate]\n" +
         quick + more;
}

std::string Describe(const std::vector<Notification>& notifications) {
  std::string text;
  for (const Notification& n : notifications)
    text += "[" + n.summary.toStdString() + "] " + n.body.toStdString() + "\n";
  return text.empty() ? "(no notification)" : text;
}

class HotKeyProgramWaylandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The program runs as the session's user: from the build tree, or from a
    // copy where the user cannot reach the tree.
    const std::string program = ReachableBySessionUser(PARLUMO_PROGRAM);
    const Command canRun = AsSessionUser("test", {"-x", QString::fromStdString(program)});
    ASSERT_TRUE(RunTool(canRun.program, canRun.arguments).Succeeded())
        << "user " << SessionUid() << " cannot run " << program;
    ASSERT_TRUE(watcher_.WaitReady()) << watcher_.Log().toStdString();
    ASSERT_TRUE(notifications_.WaitReady()) << notifications_.Log().toStdString();
  }

  void TearDown() override { UnbindAll(); }

  // Takes back every chord the test bound (a case of a table before the next).
  void UnbindAll() {
    for (const QString& chord : bound_)
      UnbindChord(chord);
    bound_.clear();
  }

  // What the service gives for the text, asked directly.
  std::string Expected(const std::string& text, int pair) {
    PollEventLoop loop;
    THttpClient client(loop);
    TParser parser;
    const auto outcome = TranslateText(client, parser, text, pair, service_.HostPort(), {});
    EXPECT_TRUE(outcome.Succeeded()) << outcome.Detail();
    return outcome.Text();
  }

  // Starts the running copy and waits until its tray icon registered with the
  // watcher: by then the program has loaded its settings and listens.
  [[nodiscard]] bool StartProgram(WaylandProgram& program) {
    if (!program.Start()) {
      ADD_FAILURE() << "the program did not start";
      return false;
    }
    if (!WaitForTrayIconOf(program.Pid())) {
      ADD_FAILURE() << "no tray icon of the program; program: " << program.Output().toStdString()
                    << "\nwatcher: " << watcher_.Log().toStdString()
                    << "\nstacks: " << Backtrace(program.Pid());
      return false;
    }
    return true;
  }

  bool WaitForTrayIconOf(qint64 pid, int timeoutMs = kResultMs) {
    return WaitUntil(
        [&] {
          for (const QString& item : RegisteredTrayItems(watcher_)) {
            if (BusNameOwnerPid(item) == pid) return true;
          }
          return false;
        },
        timeoutMs);
  }

  // Binds the chord to the program's command line with the arguments, as a
  // user does in the desktop's keyboard settings.
  [[nodiscard]] bool Bind(const WaylandProgram& program, const QString& chord,
                          const std::string& name, const QStringList& arguments) {
    const fs::path script = program.ActionScript(name, arguments);
    if (!BindChord(chord, Q(script.string()))) return false;
    bound_.push_back(chord);
    return true;
  }

  // The exit statuses of the action once it has run `count` times: the
  // command ends after the running copy has its request (a notification can
  // come first).
  std::vector<int> StatusesOnceRun(const WaylandProgram& program, const std::string& name,
                                   std::size_t count) {
    WaitUntil([&] { return program.ActionStatuses(name).size() >= count; }, kResultMs);
    return program.ActionStatuses(name);
  }

  // The notifications so far whose body is the text.
  std::vector<Notification> NotificationsWithBody(const QString& body) const {
    std::vector<Notification> found;
    for (const Notification& n : NotificationsOf(notifications_)) {
      if (n.body == body) found.push_back(n);
    }
    return found;
  }

  testing::ServiceProcess service_;
  BusMock watcher_{StatusNotifierWatcherTemplate(), "org.kde.StatusNotifierWatcher",
                   "/StatusNotifierWatcher"};
  BusMock notifications_{"notification_daemon", "org.freedesktop.Notifications",
                         "/org/freedesktop/Notifications"};
  std::vector<QString> bound_;
};

// Each quick translation with its own pair, to the clipboard and, when asked
// for, in a notification; the marked text stays marked.
TEST_F(HotKeyProgramWaylandTest, QuickTranslationsPutTheirPairsTranslationOnTheClipboard) {
  struct Case {
    const char* action;
    int pair;
    std::string text;
    bool notification;
  };
  const Case cases[] = {
      {"1", kEnglishSpanish, "The house is very big.", true},
      {"2", kEnglishFrench, "Good morning", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("--quick-translation ") + c.action);
    const QString expected = Q(Expected(c.text, c.pair));
    ASSERT_FALSE(expected.isEmpty());
    WaylandProgram program(
        PARLUMO_PROGRAM,
        Ini(service_.HostPort(), std::string("CopyToClipboard=1\nDisplayMessage=") +
                                     (c.notification ? "1" : "0") + "\nShowBalloonHint=1\n"));
    ASSERT_TRUE(StartProgram(program));
    ASSERT_TRUE(Bind(program, "Ctrl+Alt+t", "quick", {"--quick-translation", c.action}));
    ASSERT_TRUE(SetClipboard("not the translation"));
    ASSERT_TRUE(SetPrimary(Q(c.text)));

    ASSERT_TRUE(PressChord("Ctrl+Alt+t"));
    EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == expected; }, kResultMs))
        << "clipboard: " << ClipboardText().value_or("(empty)").toStdString()
        << "\nprogram: " << program.Output().toStdString()
        << "\naction: " << program.ActionLog("quick");
    if (c.notification) {
      EXPECT_TRUE(WaitUntil([&] { return !NotificationsWithBody(expected).empty(); }, kResultMs))
          << Describe(NotificationsOf(notifications_));
      const auto shown = NotificationsWithBody(expected);
      if (!shown.empty()) {
        EXPECT_TRUE(shown[0].summary.startsWith(QString::fromUtf8("Übersetzung")));
      }
    } else {
      Pump(500);
      EXPECT_TRUE(NotificationsWithBody(expected).empty())
          << Describe(NotificationsOf(notifications_));
    }
    // Reading the marked text leaves it marked.
    EXPECT_EQ(PrimaryText(), Q(c.text));
    // The command handed the action over and ended; only the running copy is left.
    EXPECT_EQ(StatusesOnceRun(program, "quick", 1), std::vector<int>{0})
        << program.ActionLog("quick");
    EXPECT_TRUE(WaitUntil(
        [&] { return program.ProcessesOfHome() == std::vector<qint64>{program.Pid()}; }, 5000));
    EXPECT_TRUE(program.Running()) << program.Output().toStdString();
    UnbindAll();
  }
}

// No primary selection, or an empty one: the text on the clipboard is
// translated instead.
TEST_F(HotKeyProgramWaylandTest, WithoutAMarkedTextTheClipboardTextIsTranslated) {
  struct Case {
    const char* what;
    bool clearPrimary;  // else: an empty text is marked
  };
  const Case cases[] = {{"no primary selection", true}, {"an empty primary selection", false}};
  const std::string earlier = "Good evening";
  const QString expected = Q(Expected(earlier, kEnglishSpanish));
  ASSERT_FALSE(expected.isEmpty());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WaylandProgram program(PARLUMO_PROGRAM,
                           Ini(service_.HostPort(), "CopyToClipboard=1\nShowBalloonHint=1\n"));
    ASSERT_TRUE(StartProgram(program));
    ASSERT_TRUE(Bind(program, "Ctrl+Alt+t", "quick", {"--quick-translation", "1"}));
    ASSERT_TRUE(SetClipboard(Q(earlier)));
    ASSERT_TRUE(c.clearPrimary ? ClearPrimary() : SetPrimary(QString()));

    ASSERT_TRUE(PressChord("Ctrl+Alt+t"));
    EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == expected; }, kResultMs))
        << "clipboard: " << ClipboardText().value_or("(empty)").toStdString()
        << "\nprogram: " << program.Output().toStdString();
    EXPECT_EQ(StatusesOnceRun(program, "quick", 1), std::vector<int>{0})
        << program.ActionLog("quick");
    UnbindAll();
  }
}

TEST_F(HotKeyProgramWaylandTest, FileTranslationWritesCrLfLinesAndOpensTheChosenProgram) {
  WaylandProgram program(PARLUMO_PROGRAM, std::nullopt);
  const fs::path target = program.Home() / "translation out.txt";
  const fs::path record = program.Home() / "opened.txt";
  const fs::path opener = program.Home() / "opener.sh";
  std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" << record.string()
                        << "'\n";
  fs::permissions(opener, fs::perms::owner_all);
  program.GiveToUser(opener);
  std::ofstream(target) << "old content";
  program.GiveToUser(target);

  const std::string text = "The house is very big.";
  const std::string expected = CrLfLines(Expected(text + "\r\n", kEnglishSpanish));
  ASSERT_FALSE(expected.empty());
  program.WriteIni(Ini(service_.HostPort(), "",
                       "[FileTranslate]\nSaveAs=" + target.string() + "\nProgram=" +
                           opener.string() + "\nUseAssocProg=0\nOverwriteWoPrompt=1\n"));
  ASSERT_TRUE(StartProgram(program));
  ASSERT_TRUE(Bind(program, "Ctrl+Alt+f", "file", {"--file-translation"}));
  ASSERT_TRUE(SetPrimary(Q(text)));

  ASSERT_TRUE(PressChord("Ctrl+Alt+f"));
  EXPECT_TRUE(WaitUntil([&] { return fs::exists(record); }, kResultMs))
      << program.Output().toStdString() << "\naction: " << program.ActionLog("file");
  EXPECT_EQ(FileBytes(target), expected);
  // The program gets the file as its one argument, blanks and all.
  EXPECT_EQ(FileBytes(record), "1\n" + target.string() + "\n");
  EXPECT_EQ(StatusesOnceRun(program, "file", 1), std::vector<int>{0}) << program.ActionLog("file");
}

// The second press comes while the first translation runs: it is dropped,
// whether it comes while the marked text is still read or once the request
// waits for the service.
TEST_F(HotKeyProgramWaylandTest, TwoQuickPressesSendOneRequest) {
  struct Case {
    const char* what;
    bool waitForTheRequest;
  };
  const Case cases[] = {{"back to back", false}, {"while the request waits", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A service that takes a while to answer. Connections that carry no
    // request (the program's look whether anything listens) do not count.
    std::atomic<int> requests = 0;
    testing::ScriptedServer slow([&requests](testing::ServerConnection& connection) {
      if (connection.ReadRequest().find("POST /translate_t") == std::string::npos) return;
      ++requests;
      std::this_thread::sleep_for(std::chrono::milliseconds(2500));
      const std::string page =
          "<html><a href=\"/help/faq_translation.html\">FAQ</a>"
          "<div id=result_box dir=\"ltr\">Hola</div></html>";
      connection.Send(
          "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\n"
          "Content-Length: " +
          std::to_string(page.size()) + "\r\n\r\n" + page);
    });
    WaylandProgram program(PARLUMO_PROGRAM, Ini("127.0.0.1:" + slow.PortText(),
                                                "CopyToClipboard=1\nShowBalloonHint=1\n"));
    ASSERT_TRUE(StartProgram(program));
    ASSERT_TRUE(Bind(program, "Ctrl+Alt+t", "quick", {"--quick-translation", "1"}));
    ASSERT_TRUE(SetClipboard("not the translation"));
    ASSERT_TRUE(SetPrimary("Hello"));

    ASSERT_TRUE(PressChord("Ctrl+Alt+t"));
    if (c.waitForTheRequest) {
      EXPECT_TRUE(WaitUntil([&] { return requests > 0; }, kResultMs))
          << program.Output().toStdString();
    }
    ASSERT_TRUE(PressChord("Ctrl+Alt+t"));
    EXPECT_TRUE(WaitUntil([] { return ClipboardText() == QString("Hola"); }, kResultMs))
        << program.Output().toStdString();
    // Both commands have ended, and no later request came.
    EXPECT_EQ(StatusesOnceRun(program, "quick", 2), (std::vector<int>{0, 0}))
        << program.ActionLog("quick");
    Pump(3000);
    EXPECT_EQ(requests, 1);
    UnbindAll();
  }
}

TEST_F(HotKeyProgramWaylandTest, AStoppedServiceGivesTheFailureNotificationAndNoCrash) {
  testing::ServiceProcess ownService;
  WaylandProgram program(PARLUMO_PROGRAM,
                         Ini(ownService.HostPort(), "CopyToClipboard=1\nShowBalloonHint=1\n"));
  ASSERT_TRUE(StartProgram(program));
  // The program has seen the service running (it starts none of its own then)
  // before it goes away.
  Pump(1500);
  ownService.Stop();
  ASSERT_TRUE(Bind(program, "Ctrl+Alt+t", "quick", {"--quick-translation", "1"}));
  ASSERT_TRUE(SetClipboard("not the translation"));
  ASSERT_TRUE(SetPrimary("The house is very big."));

  ASSERT_TRUE(PressChord("Ctrl+Alt+t"));
  const QString summary = QString::fromUtf8("Keine Verbindung zum Server");
  auto failures = [&] {
    int count = 0;
    for (const Notification& n : NotificationsOf(notifications_))
      count += n.summary == summary;
    return count;
  };
  EXPECT_TRUE(WaitUntil([&] { return failures() == 1; }, kResultMs))
      << Describe(NotificationsOf(notifications_)) << "program: " << program.Output().toStdString();
  // The program lives on, the clipboard is untouched, and a second press
  // reports again.
  EXPECT_TRUE(program.Running()) << program.Output().toStdString();
  EXPECT_EQ(ClipboardText(), QString("not the translation"));
  ASSERT_TRUE(PressChord("Ctrl+Alt+t"));
  EXPECT_TRUE(WaitUntil([&] { return failures() == 2; }, kResultMs))
      << Describe(NotificationsOf(notifications_));
  EXPECT_TRUE(program.Running()) << program.Output().toStdString();
  EXPECT_EQ(StatusesOnceRun(program, "quick", 2), (std::vector<int>{0, 0}))
      << program.ActionLog("quick");
}

TEST_F(HotKeyProgramWaylandTest, ShowSettingsOpensTheDialogOfTheRunningCopy) {
  WaylandProgram program(PARLUMO_PROGRAM, Ini(service_.HostPort(), ""));
  ASSERT_TRUE(StartProgram(program));
  auto settingsWindows = [&] {
    std::vector<SwayWindow> found;
    for (const SwayWindow& w : Windows()) {
      if (w.pid == program.Pid() && w.title == "Einstellungen") found.push_back(w);
    }
    return found;
  };
  ASSERT_TRUE(settingsWindows().empty()) << "StartupType 0 shows only the icon";
  ASSERT_TRUE(Bind(program, "Ctrl+Alt+s", "settings", {"--show-settings"}));

  ASSERT_TRUE(PressChord("Ctrl+Alt+s"));
  EXPECT_TRUE(WaitUntil([&] { return !settingsWindows().empty(); }, kResultMs))
      << program.Output().toStdString() << "\naction: " << program.ActionLog("settings");
  const auto windows = settingsWindows();
  if (!windows.empty()) {
    EXPECT_TRUE(windows[0].visible);
    EXPECT_GT(windows[0].rect.width(), 100);
    EXPECT_GT(windows[0].rect.height(), 100);
  }
  Pump(800);  // drawn
  EXPECT_TRUE(Screenshot(fs::path(PARLUMO_WAYLAND_ARTIFACTS) / "wayland-settings.png"));
  EXPECT_EQ(StatusesOnceRun(program, "settings", 1), std::vector<int>{0})
      << program.ActionLog("settings");
  // A second press brings the same dialog forward instead of a second one.
  ASSERT_TRUE(PressChord("Ctrl+Alt+s"));
  EXPECT_EQ(StatusesOnceRun(program, "settings", 2).size(), 2u);
  Pump(500);
  EXPECT_EQ(settingsWindows().size(), 1u);
}

TEST_F(HotKeyProgramWaylandTest, AnActionWithNoCopyRunningStartsTheProgramAndRunsIt) {
  const std::string text = "The house is very big.";
  const QString expected = Q(Expected(text, kEnglishSpanish));
  ASSERT_FALSE(expected.isEmpty());
  WaylandProgram program(PARLUMO_PROGRAM,
                         Ini(service_.HostPort(), "CopyToClipboard=1\nShowBalloonHint=1\n"));
  ASSERT_TRUE(Bind(program, "Ctrl+Alt+t", "quick", {"--quick-translation", "1"}));
  ASSERT_TRUE(SetClipboard("not the translation"));
  ASSERT_TRUE(SetPrimary(Q(text)));

  ASSERT_TRUE(PressChord("Ctrl+Alt+t"));
  EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == expected; }, kResultMs))
      << "clipboard: " << ClipboardText().value_or("(empty)").toStdString()
      << "\naction: " << program.ActionLog("quick");
  // The program stays in the tray for the next press.
  EXPECT_TRUE(WaitUntil(
      [&] {
        for (const qint64 pid : program.ProcessesOfHome()) {
          if (WaitForTrayIconOf(pid, 0)) return true;
        }
        return false;
      },
      kResultMs));
}

TEST_F(HotKeyProgramWaylandTest, AnUnknownOptionGivesTheUsageAndStartsNothing) {
  WaylandProgram program(PARLUMO_PROGRAM, Ini(service_.HostPort(), ""));
  for (const QStringList& arguments :
       {QStringList{"--quick-translation", "3"}, QStringList{"--quick-translation"},
        QStringList{"--bogus"}, QStringList{"--show-settings", "--file-translation"}}) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    const auto run = program.RunCopy(arguments);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 64) << run.output.toStdString();
    EXPECT_TRUE(run.output.contains("Usage:")) << run.output.toStdString();
  }
  EXPECT_TRUE(program.ProcessesOfHome().empty());
  EXPECT_TRUE(RegisteredTrayItems(watcher_).isEmpty());
}

}  // namespace
}  // namespace parlumo::wltest
