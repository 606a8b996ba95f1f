#pragma once

#include <QPointer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/HotKeyEdit.h"
#include "app/SettingsDialog.h"
#include "app/SettingsTable.h"
#include "app/TrayMenu.h"
#include "desktop/AltKeyRepaintFix.h"
#include "desktop/ClipboardWatch.h"
#include "desktop/CommandLine.h"
#include "desktop/DesktopShell.h"
#include "desktop/GlobalHotKey.h"
#include "desktop/HtmlHelpViewer.h"
#include "desktop/IconHide.h"
#include "desktop/Keyboard.h"
#include "desktop/MainInstance.h"
#include "desktop/MarkedText.h"
#include "desktop/StartView.h"
#include "desktop/TrayIcon.h"
#include "hotkeys/HotKeyHost.h"
#include "net/HttpClient.h"
#include "runtime/DesktopProgram.h"
#include "runtime/EventLoop.h"
#include "runtime/IniFile.h"
#include "translate/Parser.h"
#include "ui/WindowHost.h"

namespace parlumo {

class QtTrayApplication;
class QtTaskbarWindow;
class THotKeyTranslations;
class TTranslationWnd;
class TWebsiteTranslationWnd;
class TInfoWnd;

// The desktop pieces the main form works over. main() passes the real Qt and
// X11 adapters; the tests pass fakes. Every reference must outlive the form.
struct TSettingsPlatform {
  EventLoop& loop;
  HotKeyPlatform& hotKeys;
  ClipboardPlatform& clipboard;
  ClipboardChangeWatch& clipboardWatch;
  KeyboardPlatform& keyboard;
  DesktopShell& shell;
  TrayShell& trayShell;
  InstancePlatform& instance;
  HelpEngine& help;
  // Where the marked text can be read without keystrokes (a Wayland seat's
  // primary selection); null: the copy keystrokes through the keyboard.
  MarkedTextPlatform* markedText = nullptr;
  // The settings file; the program uses SettingsFilePath(CurrentProgramPath()).
  std::filesystem::path iniPath;
  // The program file: the autostart entry starts it, the help file is named after it.
  std::filesystem::path programPath;
  // Where the autostart entry lives.
  std::filesystem::path autostartFolder;
  // Whether balloon hints can be shown now (asked anew on every call). Empty:
  // the tray adapter's answer.
  std::function<bool()> balloonTipsAvailable{};
  // Whether a notification area is there now. Empty: Qt's answer.
  std::function<bool()> trayAvailable{};
  // How long a start without a notification area waits for one before it
  // shows the dialog.
  std::chrono::milliseconds trayHostWait = kTrayHostWait;
  // Runs a file dialog and gives the chosen name, or nothing when the user
  // cancelled. Empty: the desktop's own file dialogs.
  std::function<std::optional<std::string>(const TFileDialog&, QWidget* parent)> runFileDialog{};
  // Ends the program once the main form has closed. Empty: the loop's waits
  // give up and the application's event loop ends with status 0.
  std::function<void()> terminate{};
  // Which key of the keyboard a key event in a shortcut field came from (the
  // X keyboard's view in the program). Empty: the fields go by Qt's keys.
  TKeyLookup keyLookup;
};

// The program's main form: normally hidden, its window is the settings dialog
// (TSettingsDialog), and it owns the tray icon with its menu (TTrayMenu), the
// three global hotkeys, the HTTP client, the settings file and the secondary
// windows. Constructing it is the program's start (the single-instance test,
// then FormCreate); destroying it is the end (FormDestroy saves the settings).
class TSettings final : public QWidget,
                        public TWindowHost,
                        public THotKeyHost,
                        public TSettingsDialogHost {
 public:
  explicit TSettings(const TSettingsPlatform& platform);
  ~TSettings() override;
  TSettings(const TSettings&) = delete;
  TSettings& operator=(const TSettings&) = delete;

  // The application title that identifies a running copy.
  static constexpr const char* kApplicationTitle = kInstanceTitle;
  // The window class of the identity (the main form's class name).
  static constexpr const char* kApplicationClass = kInstanceClass;

  // Whether the message loop is to show the form when it starts: start-up
  // type 3 (or no notification area and no wait for one). Without a
  // notification area the form waits for one (a panel that comes up after
  // the program) and shows itself when none comes.
  bool ShowAtStart() const { return showAtStart_; }

  // Handlers of the lifecycle.
  void miCloseClick();
  // The desktop session ends (or the program is told to stop): closing is
  // allowed, the form closes and the program ends.
  void EndSession();
  // The session manager asks whether the session may end (it saves the
  // session, for a logout or not): closing is allowed while the request is
  // answered, and the settings are saved (a failure is not reported: there is
  // no one to tell). Once answered the session goes on, and closing the dialog
  // hides it again, until the program is told to end: by a signal, or by the
  // application's quit that follows a logout.
  void QueryEndSession();
  // Another start of the program asks this copy to come forward.
  void BringForward();
  // An action from the command line (this start's, or a later copy's handed
  // over): exactly what its hotkey or tray item runs, with the same guard
  // against a second translation while one runs. The hotkeys' own settings
  // (enabled or not, their chords) do not matter: the user bound the command
  // in the desktop.
  void RunAction(TStartAction action);

  // Settings store.
  void SaveSettings() override;
  bool GetAutostart() const override;
  void SetAutostart(bool on);
  bool BalloonTipsAvailable() const override;

  // The settings dialog on this form's window; the tray menu.
  TSettingsDialog& Dialog() { return *dialog_; }
  TTrayMenu& TrayMenu() { return *poTrayMenu_; }

  // Tray menu.
  void ShowTranslationWnd();
  void ShowWebsiteTranslationWnd();
  void miInfoClick();
  void miSettingsClick();
  void miCallHelpClick();
  void miSearchForUpdateClick();
  void SetDefaultTrayItem(int type) override;

  // Interface language: relabels every control and makes it the current one.
  void ApplyInterfaceLanguage(int language) override;
  void ApplyWindowTexts() override;

  void ShowHelpContext(int context) override;

  // TWindowHost
  TIniFile& Ini() override { return *ini_; }
  int UILanguage() const override { return uiLanguage_; }
  TProxySettings ProxyValues() const override;
  TServiceHosts Hosts() const override;
  EventLoop& Loop() override { return platform_.loop; }
  DesktopShell& Shell() override { return platform_.shell; }
  ClipboardPlatform& Clipboard() override { return platform_.clipboard; }
  void TranslationWndClosed() override;
  void WebsiteTranslationWndClosed() override;
  void InfoWndClosed() override;
  std::string VersionString() const override { return versionString_; }
  int BuildNumber() const override { return buildNumber_; }

  // THotKeyHost
  TQuickOptions QuickOptions() const override;
  int QuickPair(int hotkey) const override { return hotkey == 1 ? quickPair1_ : quickPair2_; }
  int QuickPairListPosition(int hotkey) const override;
  TFileOptions FileOptions() const override;

  // For the tests and the program's wiring: the components.
  TTrayIcon& TrayIcon() { return *cTrayIcon_; }
  THttpClient& Http() { return *cHttp_; }
  TGlobalHotKey& HotKey1() { return *cHotKey1_; }
  TGlobalHotKey& HotKey2() { return *cHotKey2_; }
  TGlobalHotKey& HotKeyFile() { return *cHotKeyFile_; }
  const TFileDialog& OpenDialog() const { return cOpenDialog_; }
  const TFileDialog& SaveDialog() const { return cSaveDialog_; }
  int FilePair() const { return filePair_; }
  TTranslationWnd* TranslationWindow() const;
  TWebsiteTranslationWnd* WebsiteTranslationWindow() const;
  TInfoWnd* InfoWindow() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  // The application's quit (the session manager ends the program) ends the
  // session for the form.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class FormsAdapter;
  class HelpHostAdapter;

  void CreateForm();
  void CreateTrayMenu();
  void FormCreate();
  // Asks for a notification area until one is there (the icon takes its
  // place: nothing to show) or the wait is over (the dialog shows).
  void WaitForTrayHost(int startupType);
  void FormDestroy();
  bool FormCloseQuery();
  void cHotKey1HotKey(TGlobalHotKey& sender);
  void cHotKeyFileHotKey(TGlobalHotKey& sender);
  template <typename Wnd>
  void ShowSecondaryWindow(QPointer<Wnd>& window);
  template <typename Wnd>
  void ReleaseSecondaryWindow(QPointer<Wnd>& window);

  TSettingsPlatform platform_;

  // Components, in the order the form creates them.
  std::unique_ptr<QtTrayApplication> trayApplication_;
  std::unique_ptr<TTrayIcon> cTrayIcon_;
  TTrayMenu* poTrayMenu_ = nullptr;  // owned by the form
  std::unique_ptr<QtTaskbarWindow> taskbarWindow_;
  std::unique_ptr<IconHideState> iconHideState_;
  std::unique_ptr<TIconHide> cIconHide_;
  std::unique_ptr<TMainInstance> cMainInstance_;
  std::unique_ptr<THttpClient> cHttp_;
  std::unique_ptr<TGlobalHotKey> cHotKey1_;
  std::unique_ptr<TGlobalHotKey> cHotKey2_;
  std::unique_ptr<TGlobalHotKey> cHotKeyFile_;
  TParser cParser_;
  TFileDialog cOpenDialog_;
  TFileDialog cSaveDialog_;
  std::unique_ptr<HelpHostAdapter> helpHost_;
  std::unique_ptr<THtmlHelpViewer> helpViewer_;
  std::unique_ptr<FormsAdapter> formsPlatform_;
  std::unique_ptr<TAltKeyRepaintFix> altKeyRepaintFix_;
  std::unique_ptr<THotKeyTranslations> hotKeyTranslations_;
  std::unique_ptr<EventLoop::Timer> trayHostWait_;
  TSettingsDialog* dialog_ = nullptr;  // owned by the form

  std::unique_ptr<TIniFile> ini_;
  int uiLanguage_ = 1;
  int quickPair1_ = 0;
  int quickPair2_ = 0;
  int filePair_ = 0;
  std::string versionString_;
  int buildNumber_ = 0;
  bool sessionEnding_ = false;
  bool closeRequested_ = false;
  bool showAtStart_ = false;
  bool destroyed_ = false;

  QPointer<TTranslationWnd> translationWnd_;
  QPointer<TWebsiteTranslationWnd> websiteTranslationWnd_;
  QPointer<TInfoWnd> infoWnd_;
  Lifetime lifetime_;
};

// The version text of the compiled-in version: the first partCount numbers
// joined by "." (0 or more than 4 counts as 4); each number after the first is
// written with at least one digit.
std::string GetVersionString(int partCount);
// The build number: the fourth number of the compiled-in version.
int GetBuildNumber();

}  // namespace parlumo
