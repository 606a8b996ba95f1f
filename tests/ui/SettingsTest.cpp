// The main form offscreen over fakes of the desktop: loading and saving the
// settings file, the dialog's Apply, OK and Cancel, the interface language,
// the shortcut fields, the tray menu and the help.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/HotKeyEdit.h"
#include "app/QtVirtualKeys.h"
#include "app/Settings.h"
#include "desktop/CommandLine.h"
#include "desktop/StartView.h"
#include "fakes/FakeDesktopShell.h"
#include "fakes/FakeHelpEngine.h"
#include "fakes/FakeHotKeyPlatform.h"
#include "fakes/FakeInstancePlatform.h"
#include "fakes/FakeKeyboard.h"
#include "fakes/FakeTrayShell.h"
#include "net/Encryption.h"
#include "platform/qt/QtEventLoop.h"
#include "support/FileEvents.h"
#include "support/TempFolder.h"
#include "text/LanguageText.h"
#include "ui/InfoWnd.h"
#include "ui/TranslationWnd.h"
#include "ui/WebsiteTranslationWnd.h"
#include "ui/WindowSupport.h"
#include "ui_Settings.h"

namespace parlumo {
namespace {

namespace fs = std::filesystem;
using fake::FakeClipboard;
using fake::FakeClipboardWatch;
using fake::FakeDesktopShell;
using fake::FakeKeyboard;
using test::TempFolder;

// --- Fixture -----------------------------------------------------------------------

class SettingsTest : public ::testing::Test {
 public:
  SettingsTest() : folder_("parlumo-settings") {
    iniPath = folder_.Path() / "config" / "parlumo.ini";
    autostartFolder = folder_.Path() / "autostart";
    programPath = folder_.Path() / "bin" / "parlumo";
  }
  ~SettingsTest() override {
    settings.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  void WriteIni(const std::string& text) {
    fs::create_directories(iniPath.parent_path());
    std::ofstream(iniPath) << text;
  }

  std::string Ini(const char* section, const char* key) const {
    return TIniFile(iniPath).ReadString(section, key, "<missing>");
  }

  // The settings file's bytes.
  std::string IniText() const {
    std::ifstream in(iniPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  TSettings& Start() {
    TSettingsPlatform platform{
        .loop = loop,
        .hotKeys = hotKeys,
        .clipboard = clipboard,
        .clipboardWatch = clipboardWatch,
        .keyboard = keyboard,
        .shell = shell,
        .trayShell = trayShell,
        .instance = instance,
        .help = help,
        .iniPath = iniPath,
        .programPath = programPath,
        .autostartFolder = autostartFolder,
        .balloonTipsAvailable = [this] { return balloons; },
        .trayAvailable = [this] { return trayHost; },
        .trayHostWait = trayHostWait,
        .runFileDialog =
            [this](const TFileDialog& dialog, QWidget*) {
              dialogsRun.push_back(dialog);
              return fileChoice;
            },
        .terminate = [this] { ++terminations; },
        .keyLookup = keyLookup,
    };
    settings = std::make_unique<TSettings>(platform);
    return *settings;
  }

  Ui::TSettings& Form() { return settings->Dialog().Form(); }

  // The user picks an item of a drop-down list.
  static void Choose(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
  }

  // The user clicks a button or check box.
  static void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

  void DeliverToTray(unsigned notification) {
    ASSERT_FALSE(trayShell.calls.empty());
    fake::FakeTrayShell::Deliver(trayShell.calls.front().data, notification);
  }

  TempFolder folder_;
  fs::path iniPath;
  fs::path autostartFolder;
  fs::path programPath;
  QtEventLoop loop;
  test::FakeHotKeyPlatform hotKeys;
  FakeClipboard clipboard;
  FakeClipboardWatch clipboardWatch;
  FakeKeyboard keyboard;
  FakeDesktopShell shell;
  fake::FakeTrayShell trayShell;
  test::FakeDesktop desktop;
  test::FakeInstanceCopy instance{desktop, TSettings::kApplicationTitle,
                                  TSettings::kApplicationClass};
  test::FakeHelpEngine help;
  bool balloons = true;
  bool trayHost = true;
  std::chrono::milliseconds trayHostWait = kTrayHostWait;
  std::optional<std::string> fileChoice;
  std::vector<TFileDialog> dialogsRun;
  int terminations = 0;
  TKeyLookup keyLookup;
  std::unique_ptr<TSettings> settings;
};

// --- Loading -------------------------------------------------------------------------

struct LoadCase {
  const char* name;
  std::optional<std::string> ini;  // nullopt: no file at all
  std::function<void(SettingsTest&)> check;
};

TEST_F(SettingsTest, LoadsEachFixtureAsTheFormShowsIt) {
  const LoadCase cases[] = {
      {"no file", std::nullopt,
       [](SettingsTest& t) {
         TSettings& s = *t.settings;
         Ui::TSettings& f = s.Dialog().Form();
         EXPECT_EQ(s.UILanguage(), 1);
         EXPECT_EQ(s.windowTitle(), "Einstellungen");
         EXPECT_EQ(f.cbProgramLanguage->currentIndex(), 1);
         EXPECT_TRUE(s.ShowAtStart());
         EXPECT_EQ(f.cbStartupType->currentIndex(), 3);
         for (TGlobalHotKey* key : {&s.HotKey1(), &s.HotKey2(), &s.HotKeyFile()}) {
           EXPECT_FALSE(key->Enabled());
           EXPECT_EQ(key->Key(), 0);
         }
         EXPECT_EQ(t.hotKeys.HeldByUs(), 0u);
         for (QComboBox* list : {f.cbQuickLang1, f.cbQuickLang2, f.cbTransToFileLang}) {
           EXPECT_EQ(list->currentIndex(), 0);
         }
         EXPECT_EQ(s.QuickPair(1), 0);
         EXPECT_EQ(s.FilePair(), 0);
         const TQuickOptions quick = s.QuickOptions();
         EXPECT_TRUE(quick.showBalloonHint);
         EXPECT_TRUE(quick.notifyBalloonHint);
         EXPECT_TRUE(quick.translationMsgBox);
         EXPECT_FALSE(quick.copyToClipboard);
         EXPECT_TRUE(s.FileOptions().startAssocProgram);
         EXPECT_EQ(s.Http().ProxyPort, "");
         EXPECT_EQ(f.edProxyport->text(), "");
         EXPECT_FALSE(f.btnApply->isEnabled());
         EXPECT_FALSE(f.laNoTrayNote->isVisibleTo(&s));
         EXPECT_TRUE(s.TrayIcon().IconVisible());
         EXPECT_EQ(s.TrayIcon().Hint(), "Parlumo");
         EXPECT_EQ(s.TrayMenu().defaultAction(), s.TrayMenu().MenuItem("miSettings"));
         EXPECT_FALSE(fs::exists(t.iniPath)) << "loading writes nothing";
       }},
      {"start-up 7, tray 3, language 5",
       "[General]\nStartupType=7\nTrayIconType=3\n[Languages]\nInterfaceLanguage=5\n",
       [](SettingsTest& t) {
         TSettings& s = *t.settings;
         EXPECT_TRUE(s.ShowAtStart());
         EXPECT_EQ(s.Dialog().Form().cbStartupType->currentIndex(), 3);
         EXPECT_EQ(s.Dialog().Form().cbOnTrayIcon->currentIndex(), 0);
         EXPECT_EQ(s.TrayMenu().defaultAction(), s.TrayMenu().MenuItem("miSettings"));
         EXPECT_EQ(s.UILanguage(), 0);
         EXPECT_EQ(s.windowTitle(), "Settings");
         s.SaveSettings();
         EXPECT_EQ(t.Ini("Languages", "InterfaceLanguage"), "0");
         EXPECT_EQ(t.Ini("General", "StartupType"), "3");
         EXPECT_EQ(t.Ini("General", "TrayIconType"), "0");
       }},
      {"start-up 1 opens the text translation window",
       "[General]\nStartupType=1\nTrayIconType=2\n[Languages]\nInterfaceLanguage=0\n",
       [](SettingsTest& t) {
         TSettings& s = *t.settings;
         EXPECT_FALSE(s.ShowAtStart());
         ASSERT_NE(s.TranslationWindow(), nullptr);
         EXPECT_TRUE(s.TranslationWindow()->isVisible());
         EXPECT_EQ(s.WebsiteTranslationWindow(), nullptr);
         EXPECT_EQ(s.TrayMenu().defaultAction(), s.TrayMenu().MenuItem("miWebsiteTranslation"));
         EXPECT_TRUE(s.TrayMenu().defaultAction()->font().bold() ||
                     s.TrayMenu().defaultAction() == s.TrayMenu().MenuItem("miWebsiteTranslation"));
       }},
      {"no proxy page, values still loaded and saved",
       "[General]\nNoProxySettings=1\nStartupType=0\n[Proxy]\nServer=proxy.example\nPort=3128\n"
       "Username=anna\nPassword=" +
           ScramblePassword("geheim", kPasswordScrambleKey) + "\n",
       [](SettingsTest& t) {
         TSettings& s = *t.settings;
         Ui::TSettings& f = s.Dialog().Form();
         EXPECT_FALSE(f.pcSettings->isTabVisible(f.pcSettings->indexOf(f.tabInternet)));
         EXPECT_TRUE(f.pcSettings->isTabVisible(f.pcSettings->indexOf(f.tabCommon)));
         EXPECT_EQ(s.ProxyValues().server, "proxy.example");
         EXPECT_EQ(s.ProxyValues().port, "3128");
         EXPECT_EQ(s.ProxyValues().username, "anna");
         EXPECT_EQ(s.ProxyValues().password, "geheim");
         EXPECT_FALSE(s.ShowAtStart());
         s.Dialog().ApplySettings();
         EXPECT_EQ(t.Ini("Proxy", "Server"), "proxy.example");
         EXPECT_EQ(t.Ini("Proxy", "Port"), "3128");
         EXPECT_EQ(t.Ini("Proxy", "Username"), "anna");
         EXPECT_EQ(t.Ini("Proxy", "Password"), ScramblePassword("geheim", kPasswordScrambleKey));
       }},
      {"password with bytes above 127",
       "[Proxy]\nPassword=" + ScramblePassword("pä€ß\xc3\xbf", kPasswordScrambleKey) + "\n",
       [](SettingsTest& t) {
         TSettings& s = *t.settings;
         EXPECT_EQ(s.ProxyValues().password, "pä€ß\xc3\xbf");
         EXPECT_EQ(s.Dialog().Form().edProxyPassword->text(), QString::fromUtf8("pä€ßÿ"));
         EXPECT_EQ(s.Dialog().Form().edProxyPassword->echoMode(), QLineEdit::Password);
         s.Dialog().ApplySettings();
         EXPECT_EQ(UnscramblePassword(t.Ini("Proxy", "Password"), kPasswordScrambleKey),
                   "pä€ß\xc3\xbf");
       }},
      {"hotkeys registered from the file",
       "[QuickTranslate]\nHotkey1=49236\nEnableHotkey1=1\nHotkey2=32833\nEnableHotkey2=0\n"
       "[FileTranslate]\nHotkey=8310\nEnableHotkey=1\nSaveAs=/tmp/out.txt\nProgram=gedit\n"
       "UseAssocProg=0\nOverwriteWoPrompt=1\n",
       [](SettingsTest& t) {
         TSettings& s = *t.settings;
         Ui::TSettings& f = s.Dialog().Form();
         EXPECT_EQ(s.HotKey1().Key(), 0xC054);
         EXPECT_TRUE(s.HotKey1().Enabled());
         EXPECT_TRUE(f.cbQuickTranslation1->isChecked());
         EXPECT_TRUE(t.hotKeys.IsHeldByUs(SplitShortCut(0xC054)));
         EXPECT_EQ(s.HotKey2().Key(), 0x8041);
         EXPECT_FALSE(f.cbQuickTranslation2->isChecked());
         EXPECT_FALSE(t.hotKeys.IsHeldByUs(SplitShortCut(0x8041)));
         EXPECT_EQ(s.HotKeyFile().Key(), 0x2076);
         EXPECT_TRUE(f.cbTransToFileActive->isChecked());
         EXPECT_TRUE(t.hotKeys.IsHeldByUs(SplitShortCut(0x2076)));
         EXPECT_EQ(f.hkQuickTranslation1->text(), "Ctrl+Alt+T");
         const TFileOptions file = s.FileOptions();
         EXPECT_EQ(file.saveAs, "/tmp/out.txt");
         EXPECT_EQ(file.program, "gedit");
         EXPECT_FALSE(file.startAssocProgram);
         EXPECT_TRUE(file.overwriteWoPrompt);
         EXPECT_FALSE(f.btnApply->isEnabled());
       }},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::error_code ec;
    fs::remove(iniPath, ec);
    if (c.ini) WriteIni(*c.ini);
    Start();
    c.check(*this);
    settings.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

// However many settings there are, loading reads the file once and each save
// reads and writes it once.
TEST_F(SettingsTest, LoadReadsTheFileOnceAndEachSaveWritesItOnce) {
  // Start-up type 1 opens the text translation window during the load.
  WriteIni(
      "[General]\nStartupType=1\n[Languages]\nInterfaceLanguage=0\n[Proxy]\nServer=proxy.example\n"
      "[FileTranslate]\nSaveAs=/tmp/out.txt\n");
  test::FileEvents file(iniPath);
  using Counts = test::FileEvents::Counts;
  Start();
  ASSERT_NE(settings->TranslationWindow(), nullptr);
  EXPECT_EQ(file.Take(), (Counts{1, 0})) << "the load";

  const struct {
    const char* what;
    std::function<void()> action;
    Counts expected;
  } steps[] = {
      {"save", [this] { settings->SaveSettings(); }, {1, 1}},
      {"Apply", [this] { settings->Dialog().ApplySettings(); }, {1, 1}},
      {"Cancel", [this] { settings->Dialog().AbortSettings(); }, {1, 0}},
      {"opening the website translation window",
       [this] { settings->ShowWebsiteTranslationWnd(); },
       {1, 0}},
      {"closing it", [this] { settings->WebsiteTranslationWindow()->close(); }, {1, 1}},
      {"the end", [this] { settings.reset(); }, {1, 1}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    step.action();
    EXPECT_EQ(file.Take(), step.expected);
  }
}

// Values that are not UTF-8 (names in another encoding) keep their bytes through
// the form's text fields: what the program uses and saves is what the file
// holds, and only a value the user edits takes the field's text.
TEST_F(SettingsTest, ValuesThatAreNotUtf8KeepTheirBytes) {
  const std::string saveAs = "/nonexistent/dir/\xff\xfe.txt";
  const std::string program = "/opt/\xe4nderung";
  const std::string user = "m\xfcller";
  const std::string password = "p\xe4ss";
  // Every key a save writes, as it writes them; a comment, an unknown section
  // and Windows line endings besides.
  const std::string before =
      "; written by hand\r\n"
      "[Languages]\r\nInterfaceLanguage=0\r\nQuickTranslation1=2\r\nQuickTranslation2=0\r\n"
      "FileTranslate=3\r\n"
      "[General]\r\nStartupType=0\r\nTrayIconType=0\r\n"
      "[Proxy]\r\nServer=proxy.example\r\nPort=8080\r\nUsername=" +
      user + "\r\nPassword=" + ScramblePassword(password, kPasswordScrambleKey) +
      "\r\n"
      "[QuickTranslate]\r\nHotkey1=49236\r\nHotkey2=0\r\nEnableHotkey1=1\r\nEnableHotkey2=0\r\n"
      "ShowBalloonHint=1\r\nNotifyBalloonHint=0\r\nDisplayMessage=1\r\nCopyToClipboard=0\r\n"
      "[FileTranslate]\r\nHotkey=0\r\nEnableHotkey=0\r\nSaveAs=" +
      saveAs + "\r\nProgram=" + program +
      "\r\nUseAssocProg=1\r\nOverwriteWoPrompt=0\r\n"
      "[Service]\r\nHost=127.0.0.1:8085\r\n";
  std::string edited = before;
  edited.replace(edited.find(program), program.size(), "gedit");

  WriteIni(before);
  Start();
  EXPECT_EQ(settings->FileOptions().saveAs, saveAs) << "where the file hotkey writes";
  EXPECT_EQ(settings->FileOptions().program, program);
  EXPECT_EQ(settings->ProxyValues().username, user);
  EXPECT_EQ(settings->ProxyValues().password, password);

  const struct {
    const char* what;
    std::function<void()> action;
    const std::string& expected;
  } steps[] = {
      {"save", [this] { settings->SaveSettings(); }, before},
      {"Apply", [this] { settings->Dialog().ApplySettings(); }, before},
      {"Apply after Cancel",
       [this] {
         settings->Dialog().AbortSettings();
         settings->Dialog().ApplySettings();
       },
       before},
      {"Apply after the program was edited",
       [this] {
         Form().edThisProgram->setText("gedit");
         settings->Dialog().ApplySettings();
       },
       edited},
      {"the end", [this] { settings.reset(); }, edited},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    step.action();
    EXPECT_EQ(IniText(), step.expected);
  }
}

// A value the settings file cannot hold (a line break: Linux allows one in a
// file name) is refused where the user enters it, in the interface language,
// and the value in force stays; the other settings are applied and reach the
// file byte for byte, then and at the end of the program. A value that a save
// cannot write back (a carriage return put into the file by hand) stays in the
// file as it is and keeps no other value from being saved.
TEST_F(SettingsTest, ValueTheFileCannotHoldIsRefusedAndTheOthersAreSaved) {
  const std::string password = ScramblePassword("geheim", kPasswordScrambleKey);
  // Every key a save writes, as it writes them.
  auto file = [&password](int language, const std::string& server) {
    return "[Languages]\nInterfaceLanguage=" + std::to_string(language) +
           "\nQuickTranslation1=0\nQuickTranslation2=0\nFileTranslate=0\n"
           "[General]\nStartupType=0\nTrayIconType=0\n"
           "[Proxy]\nServer=" +
           server + "\nPort=8080\nUsername=anna\nPassword=" + password +
           "\n"
           "[QuickTranslate]\nHotkey1=0\nHotkey2=0\nEnableHotkey1=0\nEnableHotkey2=0\n"
           "ShowBalloonHint=1\nNotifyBalloonHint=1\nDisplayMessage=1\nCopyToClipboard=0\n"
           "[FileTranslate]\nHotkey=0\nEnableHotkey=0\nSaveAs=/tmp/out.txt\nProgram=gedit\n"
           "UseAssocProg=1\nOverwriteWoPrompt=0\n";
  };
  using Step = std::function<void(SettingsTest&)>;
  auto type = [](QLineEdit* Ui::TSettings::*field, QString text) -> Step {
    return [field, text](SettingsTest& t) {
      (t.Form().*field)->setText(text);
      t.settings->Dialog().ApplySettings();
    };
  };
  auto choose = [](QPushButton* Ui::TSettings::*button, std::string name) -> Step {
    return [button, name](SettingsTest& t) {
      t.fileChoice = name;
      Click(t.Form().*button);
      t.settings->Dialog().ApplySettings();
    };
  };
  const struct {
    const char* name;
    int language;
    std::string server;  // in the file before
    Step enter;
    int messageKey;                 // 0: no message
    QWidget* Ui::TSettings::*page;  // shown with the refused field
    std::string passwordAfter;
  } cases[] = {
      {"save-as file chosen", 0, "proxy.example",
       choose(&Ui::TSettings::btnSearchFile, "/tmp/two\nlines.txt"), 628, nullptr, password},
      {"program chosen", 1, "proxy.example",
       choose(&Ui::TSettings::btnSearchProg, "/opt/bin/ed\nit"), 628, nullptr, password},
      {"proxy server typed", 1, "proxy.example",
       type(&Ui::TSettings::edProxyServer, "proxy\n.example"), 626, &Ui::TSettings::tabInternet,
       password},
      {"proxy port typed", 0, "proxy.example", type(&Ui::TSettings::edProxyport, "80\r80"), 626,
       &Ui::TSettings::tabInternet, password},
      {"user name typed with NUL", 0, "proxy.example",
       type(&Ui::TSettings::edProxyUsername, QStringLiteral("an") + QChar(0) + "na"), 626,
       &Ui::TSettings::tabInternet, password},
      {"save-as file typed", 1, "proxy.example",
       type(&Ui::TSettings::edFileSaveAs, "/tmp/two\nlines.txt"), 626,
       &Ui::TSettings::tabTranslateToFile, password},
      {"program typed", 0, "proxy.example", type(&Ui::TSettings::edThisProgram, "ged\nit"), 626,
       &Ui::TSettings::tabTranslateToFile, password},
      // Stored scrambled, a password holds any bytes.
      {"password typed", 0, "proxy.example", type(&Ui::TSettings::edProxyPassword, "two\nlines"), 0,
       nullptr, ScramblePassword("two\nlines", kPasswordScrambleKey)},
      {"server edited by hand", 1, "proxy\r.example",
       [](SettingsTest& t) { t.settings->Dialog().ApplySettings(); }, 0, nullptr, password},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string before = file(c.language, c.server);
    std::string expected = before;
    expected.replace(expected.find("CopyToClipboard=0"), 17, "CopyToClipboard=1");
    expected.replace(expected.find(password), password.size(), c.passwordAfter);
    WriteIni(before);
    shell.boxes.clear();
    Start();
    const std::string server = settings->Http().Proxy;
    const TFileOptions files = settings->FileOptions();
    // A value the file can hold, changed beside the refused one.
    Click(Form().cbCopyToClipboard);
    c.enter(*this);

    EXPECT_EQ(IniText(), expected);
    if (c.messageKey != 0) {
      ASSERT_EQ(shell.boxes.size(), 1u);
      EXPECT_EQ(shell.boxes[0].text, LanguageText(c.language, c.messageKey));
      EXPECT_EQ(shell.boxes[0].caption, LanguageText(c.language, c.messageKey + 1));
    } else {
      EXPECT_TRUE(shell.boxes.empty());
    }
    EXPECT_EQ(settings->Http().Proxy, server) << "in force as before";
    EXPECT_EQ(settings->Http().ProxyPort, "8080");
    EXPECT_EQ(settings->Http().ProxyUsername, "anna");
    EXPECT_EQ(settings->FileOptions().saveAs, files.saveAs);
    EXPECT_EQ(settings->FileOptions().program, files.program);
    EXPECT_TRUE(settings->QuickOptions().copyToClipboard);
    // A refused field waits for its value: Apply stays enabled on its page.
    EXPECT_EQ(Form().btnApply->isEnabled(), c.page != nullptr);
    if (c.page) {
      EXPECT_EQ(Form().pcSettings->currentWidget(), Form().*c.page);
    }

    settings.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(IniText(), expected) << "the end saves the same";
    EXPECT_EQ(shell.boxes.size(), c.messageKey != 0 ? 1u : 0u);
  }
}

TEST_F(SettingsTest, BalloonsUnavailableDisableTheirCheckBoxesButKeepTheirState) {
  WriteIni("[QuickTranslate]\nShowBalloonHint=0\nNotifyBalloonHint=1\n");
  balloons = false;
  Start();
  EXPECT_FALSE(Form().cbShowBalloonHint->isEnabled());
  EXPECT_FALSE(Form().cbNotifyBalloonHint->isEnabled());
  EXPECT_FALSE(Form().cbShowBalloonHint->isChecked());
  EXPECT_TRUE(Form().cbNotifyBalloonHint->isChecked());
  EXPECT_TRUE(Form().cbCopyToClipboard->isEnabled());
  EXPECT_FALSE(settings->BalloonTipsAvailable());
}

TEST_F(SettingsTest, OutOfRangePairIsKeptUntilApplied) {
  WriteIni("[Languages]\nQuickTranslation1=15\nFileTranslate=-3\n");
  Start();
  EXPECT_EQ(settings->QuickPair(1), 15);
  EXPECT_EQ(Form().cbQuickLang1->currentIndex(), -1);
  EXPECT_EQ(settings->QuickPairListPosition(1), -1);
  EXPECT_EQ(Form().cbTransToFileLang->currentIndex(), -1);
  settings->SaveSettings();
  EXPECT_EQ(Ini("Languages", "QuickTranslation1"), "15");
  EXPECT_EQ(Ini("Languages", "FileTranslate"), "-3");
  settings->Dialog().ApplySettings();
  EXPECT_EQ(settings->QuickPair(1), -1);
  EXPECT_EQ(Ini("Languages", "QuickTranslation1"), "-1");
  EXPECT_EQ(Ini("Languages", "FileTranslate"), "-1");
}

TEST_F(SettingsTest, AutostartEntryWrittenOrDeletedOnlyWhenItChanged) {
  Start();
  const fs::path entry = autostartFolder / "Parlumo2.desktop";
  EXPECT_FALSE(Form().cbStartupOnWindows->isChecked());
  settings->Dialog().ApplySettings();
  EXPECT_FALSE(fs::exists(entry)) << "unchanged: no entry written";

  Click(Form().cbStartupOnWindows);
  EXPECT_TRUE(Form().btnApply->isEnabled());
  settings->Dialog().ApplySettings();
  ASSERT_TRUE(fs::exists(entry));
  EXPECT_NE(TIniFile(entry).ReadString("Desktop Entry", "Exec", "").find(programPath.string()),
            std::string::npos);

  // Applying again without a change leaves the entry as it is.
  TIniFile(entry).WriteString("Desktop Entry", "X-Marker", "kept");
  settings->Dialog().ApplySettings();
  EXPECT_EQ(TIniFile(entry).ReadString("Desktop Entry", "X-Marker", ""), "kept");

  Click(Form().cbStartupOnWindows);
  settings->Dialog().ApplySettings();
  EXPECT_FALSE(fs::exists(entry));
}

// --- Bytes of the settings file -------------------------------------------------------------

// Every fixture of tests/data/settings (NAME.ini; none for "no-file") through a
// save as loaded (NAME.saved) and through a save after Cancel (NAME.cancelled):
// the file's bytes, every key and line ending in its place.
TEST_F(SettingsTest, EveryFixtureSavesToItsBytesAsLoadedAndAfterCancel) {
  const fs::path data = PARLUMO_SETTINGS_FIXTURES;
  auto read = [](const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  int fixtures = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(data)) {
    if (entry.path().extension() != ".saved") continue;
    const fs::path input = fs::path(entry.path()).replace_extension(".ini");
    for (const bool cancel : {false, true}) {
      SCOPED_TRACE(entry.path().stem().string() + (cancel ? " after Cancel" : " as loaded"));
      std::error_code ec;
      fs::remove(iniPath, ec);
      if (fs::exists(input)) WriteIni(read(input));
      Start();
      if (cancel) settings->Dialog().AbortSettings();
      settings->SaveSettings();
      EXPECT_EQ(IniText(),
                read(fs::path(entry.path()).replace_extension(cancel ? ".cancelled" : ".saved")));
      settings.reset();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    ++fixtures;
  }
  EXPECT_GT(fixtures, 0) << "no fixture in " << data;
}

// --- Apply, OK and Cancel ------------------------------------------------------------

TEST_F(SettingsTest, CheckBoxActsAtOnceAndCancelRestoresIt) {
  WriteIni("[Languages]\nInterfaceLanguage=0\n[QuickTranslate]\nCopyToClipboard=0\n");
  Start();
  settings->show();
  Click(Form().cbCopyToClipboard);
  EXPECT_TRUE(settings->QuickOptions().copyToClipboard) << "read by quick translation at once";
  EXPECT_TRUE(Form().btnApply->isEnabled());
  Click(Form().btnCancel);
  EXPECT_FALSE(Form().cbCopyToClipboard->isChecked());
  EXPECT_TRUE(Form().btnApply->isEnabled()) << "the check box changed back";
  EXPECT_FALSE(settings->isVisible()) << "Cancel hides the dialog";
  EXPECT_EQ(terminations, 0);
}

TEST_F(SettingsTest, CancelReadsTheFileWithItsOwnDefaults) {
  // No CopyToClipboard key: loading turns the copy off, Cancel turns it on.
  WriteIni("[Languages]\nInterfaceLanguage=0\n");
  Start();
  EXPECT_FALSE(Form().cbCopyToClipboard->isChecked());
  settings->Dialog().AbortSettings();
  EXPECT_TRUE(Form().cbCopyToClipboard->isChecked());
}

TEST_F(SettingsTest, CancelLeavesProxyFieldsAndOverwriteOptionAndRestoresTheRest) {
  WriteIni(
      "[Languages]\nInterfaceLanguage=0\nQuickTranslation2=4\n[General]\nTrayIconType=1\n"
      "[Proxy]\nServer=old.example\n[QuickTranslate]\nHotkey1=32833\n"
      "[FileTranslate]\nSaveAs=/tmp/a.txt\n");
  Start();
  Form().edProxyServer->setText("new.example");
  Click(Form().cbOverwritewoPrompt);
  Choose(Form().cbOnTrayIcon, 2);
  Choose(Form().cbQuickLang2, 7);
  Choose(Form().cbProgramLanguage, 1);
  Form().edFileSaveAs->setText("/tmp/b.txt");
  Click(Form().rbStartThisProgram);
  QTest::keyClick(Form().hkQuickTranslation1, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(Form().hkQuickTranslation1->HotKey(), 0x4051);

  settings->Dialog().AbortSettings();
  EXPECT_EQ(Form().edProxyServer->text(), "new.example");
  EXPECT_EQ(settings->Http().Proxy, "old.example");
  EXPECT_TRUE(Form().cbOverwritewoPrompt->isChecked());
  EXPECT_EQ(Form().cbOnTrayIcon->currentIndex(), 1);
  EXPECT_EQ(settings->TrayMenu().defaultAction(), settings->TrayMenu().MenuItem("miTranslation"));
  EXPECT_EQ(Form().cbQuickLang2->currentIndex(), 4);
  EXPECT_EQ(Form().cbProgramLanguage->currentIndex(), 0);
  EXPECT_EQ(Form().edFileSaveAs->text(), "/tmp/a.txt");
  EXPECT_TRUE(Form().rbStartAssocProgram->isChecked());
  EXPECT_EQ(Form().hkQuickTranslation1->HotKey(), 0x8041);

  // The proxy edit takes effect with the next Apply.
  settings->Dialog().ApplySettings();
  EXPECT_EQ(settings->Http().Proxy, "new.example");
  EXPECT_EQ(Ini("Proxy", "Server"), "new.example");
}

TEST_F(SettingsTest, ApplyPutsEveryValueInForceAndDisablesApply) {
  WriteIni("[Languages]\nInterfaceLanguage=0\n");
  Start();
  Click(Form().cbQuickTranslation1);
  QTest::keyClick(Form().hkQuickTranslation1, Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
  Choose(Form().cbQuickLang1, 5);
  Choose(Form().cbTransToFileLang, 11);
  Form().edProxyServer->setText("proxy.example");
  Form().edProxyport->setText("8080");
  Form().edThisProgram->setText("gedit");
  Choose(Form().cbOnTrayIcon, 2);
  EXPECT_TRUE(Form().btnApply->isEnabled());
  EXPECT_FALSE(hotKeys.IsHeldByUs(SplitShortCut(0xC054))) << "nothing in force before Apply";

  Click(Form().btnApply);
  EXPECT_FALSE(Form().btnApply->isEnabled());
  EXPECT_TRUE(hotKeys.IsHeldByUs(SplitShortCut(0xC054)));
  EXPECT_EQ(settings->QuickPair(1), 5);
  EXPECT_EQ(settings->FilePair(), 11);
  EXPECT_EQ(settings->Http().Proxy, "proxy.example");
  EXPECT_EQ(settings->Http().ProxyPort, "8080");
  EXPECT_EQ(settings->OpenDialog().fileName, "gedit");
  EXPECT_EQ(settings->TrayMenu().defaultAction(),
            settings->TrayMenu().MenuItem("miWebsiteTranslation"));
  EXPECT_EQ(Ini("QuickTranslate", "Hotkey1"), "49236");
  EXPECT_EQ(Ini("QuickTranslate", "EnableHotkey1"), "1");
  EXPECT_EQ(Ini("Languages", "QuickTranslation1"), "5");
  EXPECT_EQ(Ini("FileTranslate", "Program"), "gedit");
  EXPECT_EQ(Ini("General", "TrayIconType"), "2");
}

TEST_F(SettingsTest, ClearedShortcutIsAppliedAndSavedAsZero) {
  WriteIni("[QuickTranslate]\nHotkey2=32833\nEnableHotkey2=1\n");
  Start();
  ASSERT_TRUE(hotKeys.IsHeldByUs(SplitShortCut(0x8041)));
  QTest::keyClick(Form().hkQuickTranslation2, Qt::Key_Backspace);
  EXPECT_EQ(Form().hkQuickTranslation2->HotKey(), 0);
  EXPECT_EQ(Form().hkQuickTranslation2->text(), "");
  settings->Dialog().ApplySettings();
  EXPECT_EQ(settings->HotKey2().Key(), 0);
  EXPECT_FALSE(hotKeys.IsHeldByUs(SplitShortCut(0x8041)));
  EXPECT_EQ(Ini("QuickTranslate", "Hotkey2"), "0");
}

TEST_F(SettingsTest, OkAppliesAndHides) {
  WriteIni("[Languages]\nInterfaceLanguage=0\n");
  Start();
  settings->show();
  Click(Form().cbTranslationMsgBox);
  Click(Form().btnOK);
  EXPECT_FALSE(settings->isVisible());
  EXPECT_FALSE(Form().btnApply->isEnabled());
  EXPECT_EQ(Ini("QuickTranslate", "DisplayMessage"), "0");
  EXPECT_EQ(terminations, 0);
}

TEST_F(SettingsTest, WriteFailureDuringApplyIsShownAndKeepsTheNewValues) {
  // The settings file's folder is a file: nothing can be written there.
  fs::create_directories(folder_.Path());
  std::ofstream(folder_.Path() / "config") << "not a folder";
  const fs::path autostartEntry = autostartFolder / "Parlumo2.desktop";
  Start();
  settings->show();
  Form().edProxyServer->setText("proxy.example");
  Click(Form().cbStartupOnWindows);
  Click(Form().btnOK);
  ASSERT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(shell.boxes[0].text, "In " + iniPath.string() + " kann nicht geschrieben werden");
  EXPECT_EQ(shell.boxes[0].caption, TSettings::kApplicationTitle);
  EXPECT_EQ(settings->Http().Proxy, "proxy.example") << "in force in memory";
  EXPECT_TRUE(Form().btnApply->isEnabled());
  EXPECT_TRUE(settings->isVisible()) << "a failed OK keeps the dialog open";
  EXPECT_FALSE(fs::exists(autostartEntry)) << "the entry follows only saved settings";
  // The end of the program swallows the same failure.
  settings.reset();
  EXPECT_EQ(shell.boxes.size(), 1u);
  EXPECT_FALSE(fs::exists(autostartEntry));
}

TEST_F(SettingsTest, ProgramSetValuesRaiseChangeHandlersOnlyWhereTheUserCouldSeeThem) {
  WriteIni("[Languages]\nInterfaceLanguage=0\n");
  Start();
  struct Step {
    const char* name;
    std::function<void(Ui::TSettings&)> change;
    bool raises;
  };
  const Step steps[] = {
      {"check box", [](Ui::TSettings& f) { f.cbCopyToClipboard->toggle(); }, true},
      {"radio button", [](Ui::TSettings& f) { f.rbStartThisProgram->setChecked(true); }, true},
      {"edit field", [](Ui::TSettings& f) { f.edFileSaveAs->setText("x"); }, true},
      {"password field", [](Ui::TSettings& f) { f.edProxyPassword->setText("x"); }, true},
      {"drop-down list", [](Ui::TSettings& f) { f.cbQuickLang1->setCurrentIndex(3); }, false},
      {"shortcut field", [](Ui::TSettings& f) { f.hkTransToFile->SetHotKey(0x8041); }, false},
      {"overwrite option", [](Ui::TSettings& f) { f.cbOverwritewoPrompt->toggle(); }, false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    Form().btnApply->setEnabled(false);
    step.change(Form());
    EXPECT_EQ(Form().btnApply->isEnabled(), step.raises);
  }
}

// --- Interface language -----------------------------------------------------------

TEST_F(SettingsTest, LanguageSwitchRelabelsAndKeepsSelections) {
  WriteIni("[Languages]\nInterfaceLanguage=1\n[General]\nStartupType=2\n");
  Start();
  EXPECT_EQ(Form().btnCancel->text(), "Abbrechen");
  EXPECT_EQ(settings->TrayMenu().MenuItem("miClose")->text(), "&Beenden");
  EXPECT_EQ(Form().cbStartupType->currentText(), "Webseitenübersetzung anzeigen");
  EXPECT_EQ(Form().cbStartupOnWindows->text(), "Dieses Programm bei der Anmeldung starten");

  settings->ShowTranslationWnd();
  settings->miInfoClick();
  ASSERT_NE(settings->TranslationWindow(), nullptr);
  EXPECT_EQ(settings->TranslationWindow()->windowTitle().toStdString(), LanguageText(1, 100));
  Choose(Form().cbProgramLanguage, 0);
  EXPECT_EQ(settings->UILanguage(), 1) << "not before Apply";
  settings->Dialog().ApplySettings();
  EXPECT_EQ(settings->UILanguage(), 0);
  // The open windows take the new language too.
  EXPECT_EQ(settings->TranslationWindow()->windowTitle().toStdString(), LanguageText(0, 100));
  EXPECT_EQ(settings->InfoWindow()->windowTitle().toStdString(), LanguageText(0, 300));
  EXPECT_EQ(settings->windowTitle(), "Settings");
  EXPECT_EQ(Form().btnCancel->text(), "Cancel");
  EXPECT_EQ(Form().btnApply->text(), "&Apply");
  EXPECT_EQ(Form().cbStartupOnWindows->text(), "Start this program when I log in");
  EXPECT_EQ(Form().pcSettings->tabText(1), "Quick Translation");
  EXPECT_EQ(Form().gbProgramLanguage->title(), " Program Language ");
  EXPECT_EQ(settings->TrayMenu().MenuItem("miClose")->text(), "&Close");
  EXPECT_EQ(settings->TrayMenu().MenuItem("miHelp")->text(), "Help");
  EXPECT_EQ(Form().cbStartupType->currentIndex(), 2);
  EXPECT_EQ(Form().cbStartupType->currentText(), "Show website translation");
  EXPECT_EQ(Form().laLang1Selection->text(), "Language &selection:");
  EXPECT_EQ(Ini("Languages", "InterfaceLanguage"), "0");

  // Cancel after choosing another language selects the current one again.
  Choose(Form().cbProgramLanguage, 1);
  settings->Dialog().AbortSettings();
  EXPECT_EQ(Form().cbProgramLanguage->currentIndex(), 0);
  EXPECT_EQ(settings->windowTitle(), "Settings");
}

// --- Shortcut field -------------------------------------------------------------------

TEST_F(SettingsTest, ShortcutFieldRules) {
  WriteIni("[Languages]\nInterfaceLanguage=0\n");
  Start();
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    TShortCut expected;
  };
  const Case cases[] = {
      {Qt::Key_T, Qt::NoModifier, 0x8054},                         // a key alone: Alt+key
      {Qt::Key_T, Qt::ShiftModifier, 0xA054},                      // Shift+key: Alt+Shift+key
      {Qt::Key_T, Qt::ControlModifier, 0x4054},                    // Ctrl is enough
      {Qt::Key_T, Qt::ControlModifier | Qt::AltModifier, 0xC054},  // as typed
      {Qt::Key_A, Qt::AltModifier, 0x8041},                        // an accelerator of the dialog
      {Qt::Key_F9, Qt::NoModifier, 0x8078},
      {Qt::Key_5, Qt::KeypadModifier | Qt::ControlModifier, 0x4065},
      {Qt::Key_Exclam, Qt::ShiftModifier | Qt::ControlModifier, 0x6031},
      {Qt::Key_Backspace, Qt::NoModifier, 0},
      {Qt::Key_Delete, Qt::NoModifier, 0},
      {Qt::Key_Delete, Qt::ControlModifier, 0x402E},
  };
  THotKeyEdit* field = Form().hkQuickTranslation1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    field->SetHotKey(0x9999 & 0xE0FF);  // something else first
    Form().btnApply->setEnabled(false);
    QTest::keyClick(field, c.key, c.modifiers);
    EXPECT_EQ(field->HotKey(), c.expected);
    EXPECT_TRUE(Form().btnApply->isEnabled());
  }
  // Modifiers alone change nothing.
  field->SetHotKey(0x8041);
  QTest::keyClick(field, Qt::Key_Control, Qt::ControlModifier);
  EXPECT_EQ(field->HotKey(), 0x8041);
  EXPECT_EQ(field->text(), "Alt+A");
}

// The user presses a key in the field as the desktop reports it: Qt's key
// (the symbol with the modifiers applied) and the keyboard's native code.
void PressKey(QWidget* field, Qt::Key key, Qt::KeyboardModifiers modifiers,
              std::uint32_t nativeScanCode) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, nativeScanCode, 0, 0);
  QApplication::sendEvent(field, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, nativeScanCode, 0, 0);
  QApplication::sendEvent(field, &release);
}

TEST_F(SettingsTest, ShortcutFieldTakesTheKeyPressedNotTheSymbolItTypes) {
  WriteIni("[Languages]\nInterfaceLanguage=0\n");
  // A German keyboard as the key lookup knows it, by X keycode: the digits
  // whose shifted symbols a US layout has on other keys, and keys no virtual
  // key names (o umlaut, the + key).
  const std::map<std::uint32_t, std::uint8_t> germanKeys = {
      {11, '2'}, {15, '6'}, {17, '8'}, {19, '0'}, {22, 0x08}, {35, 0}, {47, 0},
  };
  std::vector<std::uint32_t> asked;
  keyLookup = [&](std::uint32_t code) -> std::optional<std::uint8_t> {
    asked.push_back(code);
    const auto key = germanKeys.find(code);
    if (key == germanKeys.end()) return std::nullopt;
    return key->second;
  };
  Start();
  constexpr TShortCut kBefore = 0x8041;
  constexpr std::uint32_t kUnknown = 99;
  struct Case {
    const char* what;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    std::uint32_t scanCode;
    std::optional<TShortCut> withLookup;  // nothing: the field stays as it was
    std::optional<TShortCut> withoutLookup;
  };
  const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
  const Case cases[] = {
      {"Shift+8 types (", Qt::Key_ParenLeft, shift, 17, 0xA038, 0xA039},
      {"Shift+6 types &", Qt::Key_Ampersand, shift, 15, 0xA036, 0xA037},
      {"Shift+0 types =", Qt::Key_Equal, shift, 19, 0xA030, 0xA0BB},
      {"Shift+2 types \"", Qt::Key_QuoteDbl, shift, 11, 0xA032, 0xA0DE},
      {"Alt+Shift+8", Qt::Key_ParenLeft, shift | Qt::AltModifier, 17, 0xA038, 0xA039},
      {"Ctrl+8", Qt::Key_8, Qt::ControlModifier, 17, 0x4038, 0x4038},
      {"8 alone", Qt::Key_8, Qt::NoModifier, 17, 0x8038, 0x8038},
      {"a key the lookup does not know: Qt's key", Qt::Key_ParenLeft, shift, kUnknown, 0xA039,
       0xA039},
      {"no native code: Qt's key", Qt::Key_ParenLeft, shift, 0, 0xA039, 0xA039},
      {"o umlaut has no code", Qt::Key_Odiaeresis, Qt::NoModifier, 47, std::nullopt, std::nullopt},
      {"+ has no code (Qt's key names = on another key)", Qt::Key_Plus, Qt::NoModifier, 35,
       std::nullopt, 0x80BB},
      {"Backspace alone clears", Qt::Key_Backspace, Qt::NoModifier, 22, 0, 0},
      {"Ctrl+Backspace", Qt::Key_Backspace, Qt::ControlModifier, 22, 0x4008, 0x4008},
  };
  THotKeyEdit withoutLookup;
  for (THotKeyEdit* field :
       {Form().hkQuickTranslation1, Form().hkQuickTranslation2, Form().hkTransToFile}) {
    SCOPED_TRACE(field->objectName().toStdString());
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      field->SetHotKey(kBefore);
      Form().btnApply->setEnabled(false);
      asked.clear();
      PressKey(field, c.key, c.modifiers, c.scanCode);
      EXPECT_EQ(field->HotKey(), c.withLookup.value_or(kBefore));
      EXPECT_EQ(Form().btnApply->isEnabled(), c.withLookup.value_or(kBefore) != kBefore);
      EXPECT_EQ(field->text(), ShortCutText(field->HotKey())) << "shown as stored";
      EXPECT_EQ(asked, c.scanCode != 0 ? std::vector<std::uint32_t>{c.scanCode}
                                       : std::vector<std::uint32_t>{});

      withoutLookup.SetHotKey(kBefore);
      PressKey(&withoutLookup, c.key, c.modifiers, c.scanCode);
      EXPECT_EQ(withoutLookup.HotKey(), c.withoutLookup.value_or(kBefore)) << "without a lookup";
    }
  }
  Form().hkQuickTranslation1->SetHotKey(0);
  PressKey(Form().hkQuickTranslation1, Qt::Key_ParenLeft, shift, 17);
  EXPECT_EQ(Form().hkQuickTranslation1->text(), "Alt+Shift+8");
}

// --- Tray menu -------------------------------------------------------------------------

TEST_F(SettingsTest, TrayMenuItemsAndDefaultItem) {
  WriteIni("[Languages]\nInterfaceLanguage=0\n[General]\nTrayIconType=2\nStartupType=0\n");
  Start();
  QMenu& menu = settings->TrayMenu();
  std::vector<QString> captions;
  for (QAction* action : menu.actions())
    captions.push_back(action->text());
  const std::vector<QString> expected = {
      "Translate text", "Translate website", "", "Help", "&Settings", "", "&Close"};
  EXPECT_EQ(captions, expected);
  EXPECT_EQ(menu.defaultAction(), settings->TrayMenu().MenuItem("miWebsiteTranslation"));

  // A double-click on the icon runs the default item.
  DeliverToTray(tray_notification::kLButtonDblClk);
  ASSERT_NE(settings->WebsiteTranslationWindow(), nullptr);
  EXPECT_TRUE(settings->WebsiteTranslationWindow()->isVisible());

  // Changing the default in the dialog and cancelling restores it.
  Choose(Form().cbOnTrayIcon, 1);
  settings->Dialog().ApplySettings();
  EXPECT_EQ(menu.defaultAction(), settings->TrayMenu().MenuItem("miTranslation"));
  Choose(Form().cbOnTrayIcon, 0);
  settings->Dialog().AbortSettings();
  EXPECT_EQ(menu.defaultAction(), settings->TrayMenu().MenuItem("miTranslation"));
  settings->TrayMenu().SetDefaultTrayItem(7);
  EXPECT_EQ(menu.defaultAction(), settings->TrayMenu().MenuItem("miTranslation"));
}

TEST_F(SettingsTest, SecondaryWindowExistsOnceAndIsReleasedAfterClosing) {
  WriteIni("[General]\nStartupType=0\n");
  Start();
  settings->TrayMenu().MenuItem("miTranslation")->trigger();
  QPointer<TTranslationWnd> first = settings->TranslationWindow();
  ASSERT_NE(first, nullptr);
  settings->TrayMenu().MenuItem("miTranslation")->trigger();
  EXPECT_EQ(settings->TranslationWindow(), first.data()) << "raised, not created again";

  // The window tells the main form when it closes.
  first->close();
  EXPECT_EQ(settings->TranslationWindow(), nullptr);
  EXPECT_NE(first, nullptr) << "released later, not inside the call";
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(first, nullptr);

  settings->TrayMenu().MenuItem("miTranslation")->trigger();
  EXPECT_NE(settings->TranslationWindow(), nullptr);

  settings->TrayMenu().MenuItem("miInfo")->trigger();
  QPointer<TInfoWnd> info = settings->InfoWindow();
  ASSERT_NE(info, nullptr);
  info->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(settings->InfoWindow(), nullptr);

  settings->TrayMenu().MenuItem("miWebsiteTranslation")->trigger();
  QPointer<TWebsiteTranslationWnd> website = settings->WebsiteTranslationWindow();
  ASSERT_NE(website, nullptr);
  website->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(website, nullptr);
}

TEST_F(SettingsTest, UpdateCheckOpensThePageOfTheCompiledVersion) {
  WriteIni("[Service]\nVendorHost=vendor.example:8085\n");
  Start();
  settings->TrayMenu().MenuItem("miSearchForUpdate")->trigger();
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0], "http://vendor.example:8085/tools/parlumo/updates/2.5b41.html");
  EXPECT_EQ(GetVersionString(2), "2.5");
  EXPECT_EQ(GetVersionString(0), "2.5.0.41");
  EXPECT_EQ(GetBuildNumber(), 41);
}

TEST_F(SettingsTest, SettingsItemShowsTheDialogAsItIs) {
  WriteIni("[General]\nStartupType=0\n");
  Start();
  EXPECT_FALSE(settings->ShowAtStart());
  Form().edFileSaveAs->setText("/tmp/unsaved.txt");
  settings->TrayMenu().MenuItem("miSettings")->trigger();
  EXPECT_TRUE(settings->isVisible());
  EXPECT_EQ(Form().edFileSaveAs->text(), "/tmp/unsaved.txt");
}

// --- Lifecycle ----------------------------------------------------------------------------

TEST_F(SettingsTest, ClosingHidesOnlyCloseAndSessionEndEndTheProgram) {
  WriteIni("[Languages]\nInterfaceLanguage=0\n");
  Start();
  settings->show();
  EXPECT_FALSE(settings->close());
  EXPECT_FALSE(settings->isVisible());
  EXPECT_EQ(terminations, 0);

  settings->show();
  settings->TrayMenu().MenuItem("miClose")->trigger();
  EXPECT_EQ(terminations, 1);
}

TEST_F(SettingsTest, SessionEndClosesAndTheEndSavesTheControls) {
  WriteIni("[Languages]\nInterfaceLanguage=0\n");
  Start();
  // Not applied: saved at the end as the control shows it.
  Click(Form().cbCopyToClipboard);
  settings->EndSession();
  EXPECT_EQ(terminations, 1);
  settings.reset();
  EXPECT_EQ(Ini("QuickTranslate", "CopyToClipboard"), "1");
}

// The session manager saves the session, for a logout or not. While it asks,
// the form may close; once the request is answered and the session goes on,
// closing the dialog hides it into the tray again. The program still ends when
// it is told to: the application's quit after a logout, with or without the
// request before it.
TEST_F(SettingsTest, SessionThatGoesOnAfterItsSaveLeavesClosingToTheTray) {
  for (const bool asked : {true, false}) {
    SCOPED_TRACE(asked ? "after a save of the session" : "without one");
    WriteIni("[Languages]\nInterfaceLanguage=0\n[General]\nStartupType=0\n");
    terminations = 0;
    Start();
    Click(Form().cbCopyToClipboard);
    if (asked) {
      settings->QueryEndSession();
      EXPECT_EQ(Ini("QuickTranslate", "CopyToClipboard"), "1") << "the save of the session";
      QTest::qWait(20);
    }
    // The session goes on: the user opens and closes the dialog.
    settings->TrayMenu().MenuItem("miSettings")->trigger();
    ASSERT_TRUE(settings->isVisible());
    EXPECT_FALSE(settings->close());
    EXPECT_FALSE(settings->isVisible());
    EXPECT_EQ(terminations, 0) << "closing the dialog ended the program";
    // The session ends after all.
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
    EXPECT_EQ(terminations, 1);
    settings.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  // While the request is answered, closing is allowed.
  WriteIni("[Languages]\nInterfaceLanguage=0\n");
  terminations = 0;
  Start();
  settings->QueryEndSession();
  EXPECT_TRUE(settings->close());
  EXPECT_EQ(terminations, 1);
}

TEST_F(SettingsTest, WithoutNotificationAreaTheDialogShowsWithANote) {
  WriteIni("[Languages]\nInterfaceLanguage=0\n[General]\nStartupType=0\n");
  trayHost = false;
  trayHostWait = std::chrono::milliseconds(0);  // no wait for a tray host
  Start();
  EXPECT_TRUE(settings->ShowAtStart());
  settings->show();
  EXPECT_TRUE(Form().laNoTrayNote->isVisible());
  EXPECT_NE(Form().laNoTrayNote->text().indexOf("hotkeys still work"), -1);
  // Another start of the program brings the dialog back.
  settings->close();
  ASSERT_FALSE(settings->isVisible());
  settings->BringForward();
  EXPECT_TRUE(settings->isVisible());
  // Where no hotkey can be grabbed (Wayland), the note speaks of the commands
  // bound in the desktop instead.
  hotKeys.canGrab = false;
  settings->Dialog().HotKeyAvailabilityChanged();
  EXPECT_EQ(Form().laNoTrayNote->text().indexOf("hotkeys still work"), -1);
  EXPECT_NE(Form().laNoTrayNote->text().indexOf("commands bound in the desktop"), -1);
  hotKeys.canGrab = true;
  trayHost = true;
  settings->hide();
  settings->show();
  EXPECT_FALSE(Form().laNoTrayNote->isVisible());
  EXPECT_NE(Form().laNoTrayNote->text().indexOf("hotkeys still work"), -1);
}

// At login the program often starts before the panel that hosts the tray: a
// start without a notification area shows nothing while one may still come,
// and the dialog (with its note) only when none came within the wait. The
// fake tray host appears late, or never; the wait is shortened for the test.
TEST_F(SettingsTest, WithoutNotificationAreaTheStartWaitsForATrayHost) {
  const struct {
    const char* name;
    int startupType;
    std::optional<int> trayAfterMs;  // nothing: no tray host comes
    bool dialogAtLast;
  } cases[] = {
      {"the host comes during the wait", 0, 150, false},
      {"the host comes during the wait, text window at start", 1, 150, false},
      {"no host comes", 0, std::nullopt, true},
      {"no host comes, website window at start", 2, std::nullopt, true},
  };
  using namespace std::chrono_literals;
  trayHostWait = 600ms;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteIni("[Languages]\nInterfaceLanguage=0\n[General]\nStartupType=" +
             std::to_string(c.startupType) + "\n");
    trayHost = false;
    Start();
    EXPECT_FALSE(settings->ShowAtStart()) << "nothing before the wait is over";
    EXPECT_EQ(settings->TranslationWindow() != nullptr, c.startupType == 1);
    EXPECT_EQ(settings->WebsiteTranslationWindow() != nullptr, c.startupType == 2);
    const auto started = std::chrono::steady_clock::now();
    bool shownEarly = false;
    while (std::chrono::steady_clock::now() - started < trayHostWait + 400ms) {
      if (c.trayAfterMs &&
          std::chrono::steady_clock::now() - started >= std::chrono::milliseconds(*c.trayAfterMs)) {
        trayHost = true;
      }
      if (settings->isVisible() && std::chrono::steady_clock::now() - started < trayHostWait) {
        shownEarly = true;
      }
      QTest::qWait(20);
    }
    EXPECT_FALSE(shownEarly) << "shown before the wait was over";
    EXPECT_EQ(settings->isVisible(), c.dialogAtLast);
    if (c.dialogAtLast) {
      EXPECT_TRUE(Form().laNoTrayNote->isVisible());
    }
    settings.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

// --- Commands to bind where no hotkey can be grabbed -------------------------------------

// Where the desktop lets the program grab no hotkey (a Wayland desktop without
// a shortcuts portal), each hotkey page shows the commands to bind for its
// hotkeys, selectable for copying, with a note in the interface language;
// where it can grab, neither page shows anything of it.
TEST_F(SettingsTest, HotkeyPagesShowTheCommandsOnlyWhereNoHotkeyCanBeGrabbed) {
  const struct {
    int language;
    const char* quickNote;  // a part of each note in that language
    const char* fileNote;
  } languages[] = {
      {kUILanguageEnglish, "Bind these commands in its keyboard settings",
       "Bind this command in its keyboard settings"},
      {kUILanguageGerman, "Legen Sie diese Befehle in ihren Tastatureinstellungen",
       "Legen Sie diesen Befehl in ihren Tastatureinstellungen"},
  };
  for (const auto& language : languages) {
    for (const bool canGrab : {true, false}) {
      SCOPED_TRACE(std::to_string(language.language) + (canGrab ? " can grab" : " cannot grab"));
      WriteIni("[Languages]\nInterfaceLanguage=" + std::to_string(language.language) + "\n");
      hotKeys.canGrab = canGrab;
      Start();
      settings->show();
      Ui::TSettings& f = Form();
      EXPECT_EQ(f.pnQuickCommands->isVisibleTo(f.tabQuickTranslation), !canGrab);
      EXPECT_EQ(f.pnFileCommand->isVisibleTo(f.tabTranslateToFile), !canGrab);
      EXPECT_FALSE(f.btnApply->isEnabled()) << "showing the commands changes no setting";
      if (!canGrab) {
        EXPECT_NE(f.laQuickCommandsNote->text().indexOf(QString::fromUtf8(language.quickNote)), -1)
            << f.laQuickCommandsNote->text().toStdString();
        EXPECT_NE(f.laFileCommandNote->text().indexOf(QString::fromUtf8(language.fileNote)), -1)
            << f.laFileCommandNote->text().toStdString();
        const std::pair<QLabel*, TStartAction> commands[] = {
            {f.laQuickCommand1, TStartAction::saQuickTranslation1},
            {f.laQuickCommand2, TStartAction::saQuickTranslation2},
            {f.laFileCommand, TStartAction::saFileTranslation},
        };
        for (const auto& [label, action] : commands) {
          SCOPED_TRACE(label->objectName().toStdString());
          EXPECT_EQ(label->text().toStdString(), ActionCommand(action));
          EXPECT_TRUE(label->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
          EXPECT_TRUE(label->textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));
        }
      }
      settings.reset();
    }
  }
}

// The platform may learn late that it can grab, or stop being able to: the
// pages follow when told, and ask again whenever the dialog is shown. Without
// the commands the dialog has its size as before.
TEST_F(SettingsTest, CommandsFollowThePlatformWhileTheProgramRuns) {
  WriteIni("[Languages]\nInterfaceLanguage=0\n");
  Start();
  settings->show();
  QCoreApplication::processEvents();
  Ui::TSettings& f = Form();
  const QSize grabbing = settings->size();
  auto shown = [&f] {
    const bool quick = f.pnQuickCommands->isVisibleTo(f.tabQuickTranslation);
    EXPECT_EQ(f.pnFileCommand->isVisibleTo(f.tabTranslateToFile), quick);
    return quick;
  };
  ASSERT_FALSE(shown());

  hotKeys.canGrab = false;
  EXPECT_FALSE(shown()) << "not before the dialog is told or shown again";
  settings->Dialog().HotKeyAvailabilityChanged();
  QCoreApplication::processEvents();
  EXPECT_TRUE(shown());
  EXPECT_GT(settings->height(), grabbing.height()) << "the dialog makes room for the commands";

  hotKeys.canGrab = true;
  settings->Dialog().HotKeyAvailabilityChanged();
  QCoreApplication::processEvents();
  EXPECT_FALSE(shown());
  EXPECT_EQ(settings->size(), grabbing);

  // Shown again, the dialog asks by itself.
  hotKeys.canGrab = false;
  settings->hide();
  settings->show();
  EXPECT_TRUE(shown());
  // Another interface language relabels the notes, not the commands.
  Choose(f.cbProgramLanguage, 1);
  settings->Dialog().ApplySettings();
  EXPECT_NE(f.laQuickCommandsNote->text().indexOf(QStringLiteral("Tastatureinstellungen")), -1);
  EXPECT_EQ(f.laQuickCommand1->text().toStdString(),
            ActionCommand(TStartAction::saQuickTranslation1));
}

// --- Browse buttons and help ------------------------------------------------------------------

TEST_F(SettingsTest, BrowseButtonsPutTheChoiceInForceAtOnce) {
  WriteIni("[Languages]\nInterfaceLanguage=0\n[FileTranslate]\nSaveAs=/tmp/old.txt\n");
  Start();
  fileChoice = "/tmp/new.txt";
  Click(Form().btnSearchFile);
  ASSERT_EQ(dialogsRun.size(), 1u);
  EXPECT_EQ(dialogsRun[0].title, "Save translated file as...");
  EXPECT_EQ(dialogsRun[0].kind, TFileDialog::Kind::Save);
  EXPECT_EQ(dialogsRun[0].defaultExt, "txt");
  EXPECT_EQ(dialogsRun[0].fileName, "/tmp/old.txt");
  EXPECT_EQ(Form().edFileSaveAs->text(), "/tmp/new.txt");
  EXPECT_EQ(settings->FileOptions().saveAs, "/tmp/new.txt") << "in force before Apply";
  settings->Dialog().AbortSettings();
  EXPECT_EQ(Form().edFileSaveAs->text(), "/tmp/new.txt") << "Cancel copies it back";

  fileChoice = std::nullopt;
  Form().btnApply->setEnabled(false);
  Click(Form().btnSearchProg);
  ASSERT_EQ(dialogsRun.size(), 2u);
  EXPECT_EQ(dialogsRun[1].title, "Choose program");
  EXPECT_EQ(dialogsRun[1].kind, TFileDialog::Kind::Open);
  EXPECT_FALSE(Form().btnApply->isEnabled()) << "a cancelled dialog changes nothing";
}

TEST(FileDialogFiltersTest, WindowsPatternsAsTheDesktopDialogTakesThem) {
  const struct {
    std::string filter;
    const char* expected;
  } cases[] = {
      {LanguageText(0, 701), "Text files (*.txt);;Richtext files (*.rtf);;All files (*)"},
      // Programs here have no extension: both entries offer every file.
      {LanguageText(0, 703), "Programs (*);;All files (*)"},
      {"Pictures|*.png;*.jpg", "Pictures (*.png *.jpg)"},
      {"Programme|*.EXE; *.bat|Alle|*.*", "Programme (*);;Alle (*)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.filter);
    EXPECT_EQ(DialogFilter(c.filter), QString::fromUtf8(c.expected));
  }
}

TEST_F(SettingsTest, HelpOpensThePageContextOfTheControl) {
  WriteIni("[Languages]\nInterfaceLanguage=0\n");
  Start();
  settings->show();
  const std::string helpFile = (folder_.Path() / "bin" / "parlumo.chm").string();
  struct Case {
    QWidget* control;
    int page;
    std::uint32_t context;
  };
  const Case cases[] = {
      {Form().cbProgramLanguage, 0, 100},
      {Form().hkQuickTranslation2, 1, 200},
      {Form().edFileSaveAs, 2, 300},
      {Form().edProxyPassword, 3, 400},
      {Form().btnOK, 1, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.context);
    Form().pcSettings->setCurrentIndex(c.page);
    help.requests.clear();
    c.control->setFocus();
    QTest::keyClick(c.control, Qt::Key_F1);
    ASSERT_EQ(help.requests.size(), 1u);
    EXPECT_EQ(help.requests[0].command, HelpCommand::HelpContext);
    EXPECT_EQ(help.requests[0].file, helpFile);
    EXPECT_EQ(help.requests[0].data, HelpEngine::Data(c.context));

    // The title bar's help button, then a click on the control.
    help.requests.clear();
    QHelpEvent whatsThis(QEvent::WhatsThis, QPoint(2, 2), c.control->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(c.control, &whatsThis);
    ASSERT_EQ(help.requests.size(), 1u);
    EXPECT_EQ(help.requests[0].data, HelpEngine::Data(c.context));
  }

  help.requests.clear();
  settings->TrayMenu().MenuItem("miCallHelp")->trigger();
  ASSERT_EQ(help.requests.size(), 1u);
  EXPECT_EQ(help.requests[0].command, HelpCommand::DisplayToc);
}

// --- Pictures ------------------------------------------------------------------------------

// The visible leaf controls of a page: those that draw text or take input.
std::vector<QWidget*> Controls(QWidget* page) {
  std::vector<QWidget*> controls;
  for (QWidget* child : page->findChildren<QWidget*>()) {
    if (!child->isVisibleTo(page)) continue;
    if (qobject_cast<QLabel*>(child) || qobject_cast<QAbstractButton*>(child) ||
        qobject_cast<QComboBox*>(child) || qobject_cast<QLineEdit*>(child)) {
      controls.push_back(child);
    }
  }
  return controls;
}

// What can be checked of a page without eyes: no control is narrower than its
// text needs, no wrapped text is cut off at the bottom, no two controls
// overlap.
void ExpectLaidOut(QWidget* shown) {
  const std::vector<QWidget*> controls = Controls(shown);
  for (QWidget* control : controls) {
    SCOPED_TRACE(control->objectName().toStdString());
    const auto* label = qobject_cast<QLabel*>(control);
    if (label && label->wordWrap()) {
      EXPECT_GE(label->height(), label->heightForWidth(label->width()));
    } else {
      EXPECT_GE(control->width(), control->minimumSizeHint().width());
    }
    EXPECT_GE(control->height(), control->minimumSizeHint().height());
    for (QWidget* other : controls) {
      if (other == control || control->isAncestorOf(other) || other->isAncestorOf(control)) {
        continue;
      }
      const QRect a(control->mapTo(shown, QPoint(0, 0)), control->size());
      const QRect b(other->mapTo(shown, QPoint(0, 0)), other->size());
      EXPECT_FALSE(a.intersects(b)) << "overlaps " << other->objectName().toStdString();
    }
  }
}

// Every page of the dialog and the tray menu in both languages, saved for
// review and laid out as ExpectLaidOut checks.
TEST_F(SettingsTest, PagesAndTrayMenuInBothLanguages) {
  const fs::path artifacts = PARLUMO_UI_ARTIFACTS;
  fs::create_directories(artifacts);
  for (int language : {0, 1}) {
    const std::string tag = language == 0 ? "en" : "de";
    SCOPED_TRACE(tag);
    WriteIni("[Languages]\nInterfaceLanguage=" + std::to_string(language) +
             "\n[QuickTranslate]\nHotkey1=49236\nEnableHotkey1=1\nHotkey2=41044\n"
             "[FileTranslate]\nSaveAs=/home/anna/Dokumente/übersetzung.txt\nProgram=gedit\n");
    Start();
    settings->show();
    QTabWidget* pages = Form().pcSettings;
    // Every page's tab shows whole, without scroll arrows.
    const QRect lastTab = pages->tabBar()->tabRect(pages->count() - 1);
    EXPECT_LE(lastTab.right(), pages->tabBar()->width());
    EXPECT_LE(pages->tabBar()->width(), pages->width());
    for (int page = 0; page < pages->count(); ++page) {
      pages->setCurrentIndex(page);
      QCoreApplication::processEvents();
      QWidget* shown = pages->widget(page);
      ExpectLaidOut(shown);
      const fs::path file = artifacts / ("settings-" + tag + "-" + std::to_string(page + 1) + "-" +
                                         shown->objectName().toStdString() + ".png");
      EXPECT_TRUE(settings->grab().save(QString::fromStdString(file.string())));
    }
    QMenu& menu = settings->TrayMenu();
    menu.popup(QPoint(0, 0));
    QCoreApplication::processEvents();
    EXPECT_TRUE(menu.grab().save(
        QString::fromStdString((artifacts / ("tray-menu-" + tag + ".png")).string())));
    menu.hide();
    settings.reset();
  }
  // The dialog as a desktop without a notification area shows it.
  trayHost = false;
  WriteIni("[Languages]\nInterfaceLanguage=1\n");
  Start();
  settings->show();
  QCoreApplication::processEvents();
  EXPECT_TRUE(settings->grab().save(
      QString::fromStdString((artifacts / "settings-de-no-tray.png").string())));
}

// The two hotkey pages as a desktop that lets the program grab no hotkey shows
// them, with the commands to bind, in both languages.
TEST_F(SettingsTest, HotkeyPagesWithTheCommandsInBothLanguages) {
  const fs::path artifacts = PARLUMO_UI_ARTIFACTS;
  fs::create_directories(artifacts);
  hotKeys.canGrab = false;
  for (int language : {0, 1}) {
    const std::string tag = language == 0 ? "en" : "de";
    SCOPED_TRACE(tag);
    WriteIni("[Languages]\nInterfaceLanguage=" + std::to_string(language) +
             "\n[QuickTranslate]\nHotkey1=49236\nEnableHotkey1=1\nHotkey2=41044\n");
    Start();
    settings->show();
    for (QWidget* page : {static_cast<QWidget*>(Form().tabQuickTranslation),
                          static_cast<QWidget*>(Form().tabTranslateToFile)}) {
      Form().pcSettings->setCurrentWidget(page);
      QCoreApplication::processEvents();
      SCOPED_TRACE(page->objectName().toStdString());
      ExpectLaidOut(page);
      const fs::path file =
          artifacts / ("settings-" + tag + "-no-grab-" + page->objectName().toStdString() + ".png");
      EXPECT_TRUE(settings->grab().save(QString::fromStdString(file.string())));
    }
    settings.reset();
  }
}

}  // namespace
}  // namespace parlumo

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
