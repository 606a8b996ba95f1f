#pragma once

#include <QObject>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/HotKeyEdit.h"
#include "app/SettingsTable.h"
#include "desktop/DesktopShell.h"
#include "desktop/GlobalHotKey.h"
#include "hotkeys/HotKeyHost.h"
#include "runtime/EventLoop.h"
#include "runtime/IniFile.h"

class QLineEdit;
class QWidget;

namespace Ui {
class TSettings;
}

namespace parlumo {

// What the settings dialog asks of the main form that shows it.
class TSettingsDialogHost {
 public:
  virtual int UILanguage() const = 0;
  // The settings file.
  virtual TIniFile& Ini() = 0;
  // Relabels everything in the language and makes it the current one.
  virtual void ApplyInterfaceLanguage(int language) = 0;
  // Lets each open secondary window fill its texts again.
  virtual void ApplyWindowTexts() = 0;
  virtual void SetDefaultTrayItem(int type) = 0;
  // Writes every key; throws when the file cannot be written.
  virtual void SaveSettings() = 0;
  virtual bool GetAutostart() const = 0;
  virtual bool BalloonTipsAvailable() const = 0;
  virtual void ShowHelpContext(int context) = 0;

 protected:
  ~TSettingsDialogHost() = default;
};

// The desktop pieces the dialog works over; every reference must outlive it.
struct TSettingsDialogPlatform {
  DesktopShell& shell;
  HotKeyPlatform& hotKeys;
  // Whether a notification area is there now.
  std::function<bool()> trayAvailable;
  // Runs a file dialog and gives the chosen name, or nothing when the user
  // cancelled.
  std::function<std::optional<std::string>(const TFileDialog&, QWidget* parent)> runFileDialog;
  // Which key of the keyboard a key event in a shortcut field came from.
  TKeyLookup keyLookup;
};

// The settings dialog: the controls of its form description on the main form's
// window, with Apply, OK, Cancel, the browse buttons, the note shown without a
// notification area, the commands to bind where no hotkey can be grabbed, and
// the help of its pages. Through the settings table it loads the controls and
// the values in force, saves them and turns them back on Cancel.
class TSettingsDialog final : public QObject {
 public:
  TSettingsDialog(QWidget& window, TSettingsDialogHost& host,
                  const TSettingsDialogPlatform& platform, TSettingsInForce inForce);
  ~TSettingsDialog() override;
  TSettingsDialog(const TSettingsDialog&) = delete;
  TSettingsDialog& operator=(const TSettingsDialog&) = delete;

  Ui::TSettings& Form() { return *ui_; }
  const Ui::TSettings& Form() const { return *ui_; }

  // Loading: the rows loaded before the windows of the start-up type open,
  // then the rest, which ends with Apply disabled.
  void LoadFirstSettings(const TIniFile& ini);
  void LoadRemainingSettings(const TIniFile& ini);
  // Writes the keys into a save of the file.
  void SaveSettings(TIniFile::Batch& ini) const;

  // Handlers of the dialog.
  void ActivateApplyBtn();
  void ApplySettings();
  void btnOKClick();
  void AbortSettings();
  void btnSearchFileClick();
  void btnSearchProgClick();
  // Asks the hotkey platform again whether the desktop lets the program grab
  // hotkeys (it may learn so late, or stop): while it does not, the hotkey
  // pages show the commands to bind in the desktop's keyboard settings. The
  // dialog asks by itself whenever it is shown; the program calls this when
  // the platform reports a change.
  void HotKeyAvailabilityChanged();

  // The controls' texts in the interface language (and the window's title).
  void ApplyTexts(int language);

  // The F1 help of a control: its page's help context (1000 outside the pages).
  int HelpContextOf(const QWidget* control) const;

  // What the controls hold that acts at once.
  int StartupType() const;
  int TrayIconType() const;
  bool AutostartChecked() const;
  TQuickOptions QuickOptions() const;
  int PairListPosition(int hotkey) const;
  bool StartAssocProgram() const;
  bool OverwriteWoPrompt() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TSettingsBinding Binding() const;
  void ConnectChangeHandlers();
  void UpdateNoTrayNote();
  bool RunFileDialog(TFileDialog& dialog);
  // Shows the page of a field whose value the settings file cannot hold, marks
  // the field and says so.
  void ShowRefusedField(QLineEdit& field);
  // The message box the framework shows for a failure that ends a handler.
  void ShowFailure(const std::exception& failure);

  QWidget& window_;
  TSettingsDialogHost& host_;
  TSettingsDialogPlatform platform_;
  TSettingsInForce inForce_;
  std::unique_ptr<Ui::TSettings> ui_;
  Lifetime lifetime_;
};

}  // namespace parlumo
