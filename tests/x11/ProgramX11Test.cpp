// The desktop program itself, started as a user starts it, on the private X
// server with trayer as the notification area: its icon, the tray menu, a second
// copy, the end of the session, a desktop without a notification area, and the
// local service it starts.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QProcess>
#include <QRegularExpression>
#include <atomic>
#include <chrono>
#include <string>

#include "ScriptedServer.h"
#include "ServiceProcess.h"
#include "support/LoopbackPort.h"
#include "x11/ProgramX11Support.h"

namespace parlumo::x11test {
namespace {

// The program's visible windows (xdotool counts those with its process id).
int VisibleWindowsOf(qint64 pid) {
  QProcess search;
  search.start("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)});
  search.waitForFinished(10000);
  return static_cast<int>(
      QString::fromUtf8(search.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts).size());
}

void ClickAt(const test::ScreenRect& at, const QString& button, int repeat) {
  MovePointer(QPoint(at.CenterX(), at.CenterY()));
  Xdotool({"click", "--repeat", QString::number(repeat), "--delay", "60", button});
}

class ProgramX11Test : public ::testing::Test {
 protected:
  // Settings naming the running service, in German, showing only the icon;
  // more keys for the sections General and Languages. (A section written twice
  // would not count: the first one is the section.)
  std::string Ini(const std::string& general = {}, const std::string& languages = {}) const {
    return "[General]\nStartupType=0\n" + general + "[Languages]\nInterfaceLanguage=1\n" +
           languages + "[Service]\nHost=" + service_.HostPort() +
           "\nVendorHost=" + service_.HostPort() + "\nProviderHost=" + service_.HostPort() + "\n";
  }

  testing::ServiceProcess service_;
};

TEST_F(ProgramX11Test, IconInTheTrayDoubleClickRunsTheDefaultItemRightClickShowsTheMenu) {
  // Double-click: the text translation window.
  ProgramRun program(Ini("TrayIconType=1\n"));
  ASSERT_TRUE(program.Start());
  const auto icon = program.WaitForTrayIcon();
  ASSERT_TRUE(icon) << program.Output().toStdString();
  EXPECT_TRUE(WindowsNamed("^Einstellungen$").empty()) << "StartupType 0 shows only the icon";
  // The icon shows early in the start; the menu's default item is set once
  // the settings are loaded, a moment later.
  Pump(1500);

  ClickAt(*icon, "1", 2);
  EXPECT_FALSE(WaitForWindowNamed("^Textübersetzung$").isEmpty());
  // The same item again raises that window instead of opening a second one.
  ClickAt(*icon, "1", 2);
  Pump(500);
  EXPECT_EQ(WindowsNamed("^Textübersetzung$").size(), 1u);

  // Right click: the menu opens as one more window of the program.
  const int before = VisibleWindowsOf(program.Pid());
  ClickAt(*icon, "3", 1);
  EXPECT_TRUE(WaitUntil([&] { return VisibleWindowsOf(program.Pid()) > before; }));
  Pump(300);
  SaveScreenshot("program-tray-menu.png");
  Xdotool({"key", "Escape"});
  EXPECT_TRUE(WaitUntil([&] { return VisibleWindowsOf(program.Pid()) == before; }));

  program.Signal(SIGTERM);
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(program.ExitCode(), 0) << program.Output().toStdString();
}

TEST_F(ProgramX11Test, ASecondCopyHandsOverBringsTheFirstForwardAndEnds) {
  ProgramRun program(Ini());
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitForTrayIcon()) << program.Output().toStdString();
  ASSERT_TRUE(WindowsNamed("^Einstellungen$").empty());

  QProcess copy;
  ASSERT_TRUE(program.StartSecondCopy(copy));
  ASSERT_TRUE(copy.waitForFinished(15000));
  EXPECT_EQ(copy.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(copy.exitCode(), 0) << copy.readAll().toStdString();
  // The first copy comes forward with its settings dialog.
  EXPECT_FALSE(WaitForWindowNamed("^Einstellungen$").isEmpty());
  EXPECT_EQ(program.Process().state(), QProcess::Running);
}

TEST_F(ProgramX11Test, EndOfTheSessionSavesTheSettingsAndEndsWithStatusZero) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    // An out-of-range pair stays as it is; the keys the program writes appear.
    ProgramRun program(Ini({}, "QuickTranslation1=15\n"));
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitForTrayIcon()) << program.Output().toStdString();
    program.Signal(signal);
    ASSERT_TRUE(program.WaitForExit()) << signal;
    EXPECT_FALSE(program.CrashedOrKilled()) << signal;
    EXPECT_EQ(program.ExitCode(), 0) << signal << program.Output().toStdString();
    const std::string ini = program.IniText();
    EXPECT_NE(ini.find("QuickTranslation1=15"), std::string::npos) << ini;
    EXPECT_NE(ini.find("ShowBalloonHint=1"), std::string::npos) << ini;
    EXPECT_NE(ini.find("StartupType=0"), std::string::npos) << ini;
    EXPECT_NE(ini.find("InterfaceLanguage=1"), std::string::npos) << ini;
  }
}

TEST_F(ProgramX11Test, WithoutANotificationAreaTheDialogShowsAndTheIconComesWithTheTray) {
  // A second X server of our own, without trayer at first. Without -noreset it
  // would reset whenever its last client leaves: the xdotool searches below come
  // and go while the program is still starting, and a program that connects during
  // a reset is refused ("could not connect to display").
  QProcess xvfb;
  xvfb.setProcessChannelMode(QProcess::SeparateChannels);
  xvfb.start("Xvfb",
             {"-displayfd", "1", "-noreset", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
  ASSERT_TRUE(xvfb.waitForStarted());
  ASSERT_TRUE(WaitUntil([&] { return xvfb.canReadLine(); }, 10000));
  const QString display = ":" + QString::fromUtf8(xvfb.readLine()).trimmed();
  // The server takes a client of ours before the program starts: a program that
  // cannot connect then fails on its own account, and a server that never takes one
  // says why here rather than as the program's failure.
  ASSERT_TRUE(
      WaitUntil([&] { return test::TrayProbe(display.toUtf8().constData()).Connected(); }, 10000))
      << "Xvfb " << display.toStdString()
      << " takes no client: " << xvfb.readAllStandardError().toStdString();

  ProgramRun program(Ini());
  ASSERT_TRUE(program.Start({"DISPLAY=" + display}));
  auto windowsOn = [&](const QString& regex) {
    QProcess search;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display);
    search.setProcessEnvironment(environment);
    search.start("xdotool", {"search", "--onlyvisible", "--name", regex});
    search.waitForFinished(10000);
    return !search.readAllStandardOutput().trimmed().isEmpty();
  };
  // StartupType 0 would show nothing: the dialog keeps the program reachable. It comes
  // once the program has waited its 10 s for a tray host in vain.
  EXPECT_TRUE(WaitUntil([&] { return windowsOn("^Einstellungen$"); }, 30000))
      << program.Output().toStdString();

  QProcess trayer;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DISPLAY", display);
  trayer.setProcessEnvironment(environment);
  trayer.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                          "120", "--heighttype", "pixel", "--height", "32"});
  ASSERT_TRUE(trayer.waitForStarted());
  test::TrayProbe probe(display.toUtf8().constData());
  EXPECT_TRUE(WaitUntil([&] { return probe.IconOf(static_cast<pid_t>(program.Pid())).has_value(); },
                        15000));

  program.Signal(SIGTERM);
  EXPECT_TRUE(program.WaitForExit());
  EXPECT_EQ(program.ExitCode(), 0);
  trayer.kill();
  trayer.waitForFinished();
  xvfb.terminate();
  xvfb.waitForFinished();
}

TEST_F(ProgramX11Test, StartsTheLocalServiceWhereNothingListensAndStopsItAtTheEnd) {
  const int port = test::FreeLoopbackPort();
  const std::string host = "127.0.0.1:" + std::to_string(port);
  ProgramRun program("[General]\nStartupType=0\n[Service]\nHost=" + host + "\n");
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitForTrayIcon()) << program.Output().toStdString();
  EXPECT_TRUE(WaitUntil([&] { return test::LoopbackListening(port); }, 20000))
      << program.Output().toStdString();

  program.Signal(SIGTERM);
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(program.ExitCode(), 0);
  EXPECT_TRUE(WaitUntil([&] { return !test::LoopbackListening(port); }, 5000));
}

TEST_F(ProgramX11Test, EndsWhileTheTextWindowWaitsForItsTranslation) {
  // A service that takes the request and never answers.
  std::atomic<bool> requested = false;
  testing::ScriptedServer silent([&requested](testing::ServerConnection& connection) {
    if (connection.ReadRequest().find("POST /translate_t") == std::string::npos) return;
    requested = true;
    connection.ReadToEnd(std::chrono::seconds(30));
  });
  ProgramRun program(
      "[General]\nStartupType=1\nNoTranslationHints=1\n[Languages]\nInterfaceLanguage=0\n"
      "[Service]\nHost=127.0.0.1:" +
      silent.PortText() + "\n");
  ASSERT_TRUE(program.Start());
  const QString window = WaitForWindowNamed("^Text translation$");
  ASSERT_FALSE(window.isEmpty()) << program.Output().toStdString();
  Pump(1000);
  Xdotool({"windowfocus", "--sync", window});
  Xdotool({"type", "Hello"});
  Xdotool({"key", "alt+t"});
  ASSERT_TRUE(WaitUntil([&] { return requested.load(); }, 15000)) << program.Output().toStdString();

  // The window refuses to close while it waits, but the end of the session
  // ends the program all the same, and the settings are saved.
  program.Signal(SIGTERM);
  ASSERT_TRUE(program.WaitForExit(10000)) << "the program did not end";
  EXPECT_FALSE(program.CrashedOrKilled());
  EXPECT_EQ(program.ExitCode(), 0) << program.Output().toStdString();
  EXPECT_NE(program.IniText().find("ShowBalloonHint=1"), std::string::npos) << program.IniText();
}

}  // namespace
}  // namespace parlumo::x11test
