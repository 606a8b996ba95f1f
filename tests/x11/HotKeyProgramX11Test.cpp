// What the program is for, end to end: text marked in another X client, a
// hotkey pressed, and the translation on the clipboard, in a balloon, in a
// message box or in a file, from the real program and the real local service.
#include <gtest/gtest.h>
#include <signal.h>

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ScriptedServer.h"
#include "ServiceProcess.h"
#include "net/HttpClient.h"
#include "runtime/PollEventLoop.h"
#include "support/TextFiles.h"
#include "translate/Parser.h"
#include "translate/TranslateText.h"
#include "x11/KeyboardX11Support.h"
#include "x11/ProgramX11Support.h"

namespace parlumo::x11test {
namespace {

namespace fs = std::filesystem;

// Ctrl+Alt+T and Ctrl+Alt+Y as the settings store them.
constexpr int kQuickKey1 = 0xC054;
constexpr int kQuickKey2 = 0xC059;
// The file hotkeys of the test: Ctrl+F8, and Alt+F8, whose Alt the user still
// holds while the program copies (the copy keystroke must not become
// Ctrl+Alt+C, which copies nothing).
constexpr int kFileKeyCtrl = 0x4077;
constexpr int kFileKeyAlt = 0x8077;
constexpr int kEnglishSpanish = 7;
constexpr int kEnglishFrench = 4;

// A user pressing the shortcut: the keys go down, stay down a moment while the
// program copies, and come up again.
void PressHotKey(const QString& keys) {
  Xdotool({"keydown", keys});
  Pump(250);
  Xdotool({"keyup", keys});
}

class HotKeyProgramX11Test : public ::testing::Test {
 protected:
  // What the service gives for the text, asked directly.
  std::string Expected(const std::string& text, int pair) {
    PollEventLoop loop;
    THttpClient client(loop);
    TParser parser;
    const auto outcome = TranslateText(client, parser, text, pair, service_.HostPort(), {});
    EXPECT_TRUE(outcome.Succeeded()) << outcome.Detail();
    return outcome.Text();
  }

  std::string Ini(const std::string& serviceHost, const std::string& more) const {
    return "[General]\nStartupType=0\n[Languages]\nInterfaceLanguage=1\nQuickTranslation1=" +
           std::to_string(kEnglishSpanish) +
           "\nQuickTranslation2=" + std::to_string(kEnglishFrench) +
           "\nFileTranslate=" + std::to_string(kEnglishSpanish) +
           "\n[Service]\nHost=" + serviceHost + "\nVendorHost=" + serviceHost +
           "\nProviderHost=" + serviceHost +
           "\n[QuickTranslate]\nHotkey1=" + std::to_string(kQuickKey1) +
           "\nEnableHotkey1=1\nHotkey2=" + std::to_string(kQuickKey2) + "\nEnableHotkey2=1\n" +
           more;
  }

  void StartProgram(ProgramRun& program) {
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitForTrayIcon()) << program.Output().toStdString();
  }

  void TearDown() override {
    // Nothing of a test may stay held down for the next one.
    Xdotool({"keyup", "ctrl+alt+t+y+F8"});
  }

  testing::ServiceProcess service_;
};

TEST_F(HotKeyProgramX11Test, QuickTranslationPutsTheTranslationOnTheClipboardAndInABalloon) {
  const std::string text = "The house is very big.";
  const std::string expected = Expected(text, kEnglishSpanish);
  ProgramRun program(
      Ini(service_.HostPort(), "CopyToClipboard=1\nDisplayMessage=1\nShowBalloonHint=1\n"));
  StartProgram(program);
  keytest::CopyPeer peer(QString::fromStdString(text));
  ASSERT_TRUE(peer.WaitReady());

  PressHotKey("ctrl+alt+t");
  EXPECT_TRUE(WaitUntil([&] { return keytest::ClipboardText().toStdString() == expected; }, 15000))
      << "clipboard: " << keytest::ClipboardText().toStdString()
      << "\nprogram: " << program.Output().toStdString();
  // The result's balloon is the program's window at the tray.
  Pump(600);
  SaveScreenshot("hotkey-balloon.png");
  EXPECT_TRUE(WindowsNamed("^Übersetzung").empty()) << "a balloon, not a message box";
}

TEST_F(HotKeyProgramX11Test, TheSecondHotKeyShowsItsPairInAMessageBoxWithTheGermanCaption) {
  const std::string text = "Good morning";
  const std::string expected = Expected(text, kEnglishFrench);
  ProgramRun program(
      Ini(service_.HostPort(), "CopyToClipboard=1\nDisplayMessage=1\nShowBalloonHint=0\n"));
  StartProgram(program);
  keytest::CopyPeer peer(QString::fromStdString(text));
  ASSERT_TRUE(peer.WaitReady());

  PressHotKey("ctrl+alt+y");
  const QString box = WaitForWindowNamed("^Übersetzung Englisch » Französisch$");
  EXPECT_FALSE(box.isEmpty()) << program.Output().toStdString();
  // The clipboard copy comes before the result.
  EXPECT_EQ(keytest::ClipboardText().toStdString(), expected);
  SaveScreenshot("hotkey-message-box.png");
}

TEST_F(HotKeyProgramX11Test, WithoutASelectionTheEarlierClipboardTextIsTranslated) {
  const std::string earlier = "Good evening";
  const std::string expected = Expected(earlier, kEnglishSpanish);
  ProgramRun program(Ini(service_.HostPort(), "CopyToClipboard=1\nShowBalloonHint=1\n"));
  StartProgram(program);
  QGuiApplication::clipboard()->setText(QString::fromStdString(earlier));
  keytest::CopyPeer peer{QString()};  // focused, nothing to copy
  ASSERT_TRUE(peer.WaitReady());

  PressHotKey("ctrl+alt+t");
  EXPECT_TRUE(WaitUntil([&] { return keytest::ClipboardText().toStdString() == expected; }, 15000))
      << keytest::ClipboardText().toStdString();
}

// The commands a desktop binds instead of the hotkeys do the hotkeys' work in
// the running copy: the second pair's translation of the marked text, with no
// window of the program brought forward; an unknown option is refused.
TEST_F(HotKeyProgramX11Test, TheBoundCommandsRunWhatTheHotKeysRun) {
  const std::string text = "Good morning";
  const std::string expected = Expected(text, kEnglishFrench);
  ProgramRun program(Ini(service_.HostPort(), "CopyToClipboard=1\nShowBalloonHint=1\n"));
  StartProgram(program);
  keytest::CopyPeer peer(QString::fromStdString(text));
  ASSERT_TRUE(peer.WaitReady());

  QProcess command;
  ASSERT_TRUE(program.StartSecondCopy(command, {"--quick-translation", "2"}));
  ASSERT_TRUE(command.waitForFinished(10000));
  EXPECT_EQ(command.exitCode(), 0) << command.readAll().toStdString();
  EXPECT_TRUE(WaitUntil([&] { return keytest::ClipboardText().toStdString() == expected; }, 15000))
      << "clipboard: " << keytest::ClipboardText().toStdString()
      << "\nprogram: " << program.Output().toStdString();
  EXPECT_TRUE(WindowsNamed("^Einstellungen").empty()) << "no window came forward";

  QProcess wrong;
  ASSERT_TRUE(program.StartSecondCopy(wrong, {"--quick-translation", "3"}));
  ASSERT_TRUE(wrong.waitForFinished(10000));
  EXPECT_EQ(wrong.exitCode(), 64);
  EXPECT_TRUE(wrong.readAll().contains("Usage:"));
}

TEST_F(HotKeyProgramX11Test, AStoppedServiceGivesNoConnectionToServer) {
  testing::ServiceProcess ownService;
  ProgramRun program(Ini(ownService.HostPort(), "ShowBalloonHint=0\n"));
  StartProgram(program);
  // The program has seen the service running (it starts none of its own then)
  // before it goes away.
  Pump(1500);
  ownService.Stop();
  keytest::CopyPeer peer("The house is very big.");
  ASSERT_TRUE(peer.WaitReady());

  PressHotKey("ctrl+alt+t");
  EXPECT_FALSE(WaitForWindowNamed("^Keine Verbindung zum Server$").isEmpty())
      << program.Output().toStdString();
}

TEST_F(HotKeyProgramX11Test, TwoQuickPressesSendOneRequest) {
  // A service that takes a second to answer: the second press comes while the
  // first translation waits for it.
  // Connections that carry no request (the program's look whether anything
  // listens) do not count.
  std::atomic<int> requests = 0;
  testing::ScriptedServer slow([&requests](testing::ServerConnection& connection) {
    if (connection.ReadRequest().find("POST /translate_t") == std::string::npos) return;
    ++requests;
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const std::string page =
        "<html><a href=\"/help/faq_translation.html\">FAQ</a>"
        "<div id=result_box dir=\"ltr\">Hola</div></html>";
    connection.Send(
        "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\n"
        "Content-Length: " +
        std::to_string(page.size()) + "\r\n\r\n" + page);
  });
  ProgramRun program(Ini("127.0.0.1:" + slow.PortText(), "CopyToClipboard=1\nShowBalloonHint=1\n"));
  StartProgram(program);
  keytest::CopyPeer peer("Hello");
  ASSERT_TRUE(peer.WaitReady());

  PressHotKey("ctrl+alt+t");
  PressHotKey("ctrl+alt+t");
  EXPECT_TRUE(WaitUntil([] { return keytest::ClipboardText() == "Hola"; }, 15000));
  Pump(2000);
  EXPECT_EQ(requests, 1);
}

TEST_F(HotKeyProgramX11Test, TranslationToFileWritesCrLfLinesAndOpensTheChosenProgram) {
  const struct {
    int hotKey;
    const char* keys;
    const char* text;
  } chords[] = {
      {kFileKeyCtrl, "ctrl+F8", "The house is very big."},
      {kFileKeyAlt, "alt+F8", "The cat is black."},
  };
  for (const auto& chord : chords) {
    SCOPED_TRACE(chord.keys);
    ProgramRun program(std::nullopt);  // the folder for the file and the program
    const fs::path folder = program.IniPath().parent_path().parent_path().parent_path();
    const fs::path target = folder / "translation out.txt";
    const fs::path record = folder / "opened.txt";
    const fs::path opener = folder / "opener.sh";
    std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" << record.string()
                          << "'\n";
    fs::permissions(opener, fs::perms::owner_all);
    std::ofstream(target) << "old content";

    const std::string text = chord.text;
    const std::string expected = test::CrLfLines(Expected(text + "\r\n", kEnglishSpanish));
    ASSERT_FALSE(expected.empty());
    std::ofstream(program.IniPath())
        << Ini(service_.HostPort(), "") << "[FileTranslate]\nHotkey=" << chord.hotKey
        << "\nEnableHotkey=1\nSaveAs=" << target.string() << "\nProgram=" << opener.string()
        << "\nUseAssocProg=0\nOverwriteWoPrompt=1\n";
    StartProgram(program);
    keytest::CopyPeer peer(QString::fromStdString(text));
    ASSERT_TRUE(peer.WaitReady());

    PressHotKey(chord.keys);
    EXPECT_TRUE(WaitUntil([&] { return fs::exists(record); }, 15000))
        << program.Output().toStdString();
    EXPECT_EQ(test::FileBytes(target), expected);
    // The program gets the file as its one argument, blanks and all.
    EXPECT_EQ(test::FileBytes(record), "1\n" + target.string() + "\n");
  }
}

}  // namespace
}  // namespace parlumo::x11test
