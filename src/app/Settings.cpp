#include "app/Settings.h"

#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QIcon>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <exception>

#include "desktop/CommandLine.h"
#include "hotkeys/HotKeyTranslations.h"
#include "net/Encryption.h"
#include "platform/linux/Autostart.h"
#include "platform/qt/QtTaskbarWindow.h"
#include "platform/qt/QtTray.h"
#include "runtime/Version.h"
#include "text/FormTexts.h"
#include "text/LanguageText.h"
#include "translate/LanguagePairs.h"
#include "translate/ServiceHosts.h"
#include "ui/FormFont.h"
#include "ui/InfoWnd.h"
#include "ui/TranslationWnd.h"
#include "ui/WebsiteTranslationWnd.h"
#include "ui/WindowSupport.h"

namespace parlumo {

namespace {

// How often a start without a notification area asks for one.
constexpr std::chrono::milliseconds kTrayHostPoll{250};

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

std::string S(const QString& text) {
  return text.toStdString();
}

// The program's icon: the one built into the program when there is one,
// else the desktop theme's.
QIcon ProgramIcon() {
  if (QFile::exists(QStringLiteral(":/parlumo.svg"))) return QIcon(QStringLiteral(":/parlumo.svg"));
  return QIcon::fromTheme(QStringLiteral("parlumo"),
                          QIcon::fromTheme(QStringLiteral("accessories-dictionary")));
}

// The icon as the image file the tray component carries; empty without one.
TTrayImage TrayImageOf(const QIcon& icon) {
  if (icon.isNull()) return {};
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  icon.pixmap(64, 64).save(&buffer, "PNG");
  return TTrayImage{std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()))};
}

}  // namespace

namespace {

std::optional<std::string> RunDesktopFileDialog(const TFileDialog& request, QWidget* parent) {
  QFileDialog dialog(parent, Q(request.title));
  const bool save = request.kind == TFileDialog::Kind::Save;
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // Save: the folder must exist and an existing file is asked about. Open: the
  // file must exist.
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setNameFilter(DialogFilter(request.filter));
  if (!request.defaultExt.empty()) dialog.setDefaultSuffix(Q(request.defaultExt));
  if (!request.fileName.empty()) dialog.selectFile(Q(request.fileName));
  dialog.setSizeGripEnabled(true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return S(dialog.selectedFiles().first());
}

}  // namespace

// --- Version ----------------------------------------------------------------

std::string GetVersionString(int partCount) {
  if (partCount <= 0 || partCount > 4) partCount = 4;
  const int parts[] = {kVersionMajor, kVersionMinor, kVersionRelease, kVersionBuild};
  std::string text = std::to_string(parts[0]);
  for (int i = 1; i < partCount; ++i) {
    char number[16];
    std::snprintf(number, sizeof number, "%.1d", parts[i]);
    text += ".";
    text += number;
  }
  return text;
}

int GetBuildNumber() {
  return kVersionBuild;
}

// --- Adapters of the form ---------------------------------------------------

// The repaint fix's view of the application. The keyboard-cue message it
// watches for exists only on Windows, so the fix finds no Windows version here
// and stays inactive: it never asks for the forms. The idle event is real.
class TSettings::FormsAdapter final : public FormsPlatform {
 public:
  std::optional<int> OsMajorVersion() const override { return std::nullopt; }
  bool VisualStylesEnabled() const override { return false; }
  std::vector<RepaintForm*> Forms() const override { return {}; }
  std::unique_ptr<Subscription> SubscribeIdle(std::function<void()> onIdle) override {
    return std::make_unique<IdleSubscription>(std::move(onIdle));
  }

 private:
  // A zero-interval timer runs whenever the event loop has nothing else to do.
  class IdleSubscription final : public Subscription {
   public:
    explicit IdleSubscription(std::function<void()> onIdle) {
      QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(onIdle));
      timer_.start(0);
    }

   private:
    QTimer timer_;
  };
};

// The help file is named after the program file.
class TSettings::HelpHostAdapter final : public HelpHost {
 public:
  explicit HelpHostAdapter(std::filesystem::path programPath) : program_(std::move(programPath)) {}
  std::string ManagerHelpFile() const override { return {}; }
  std::string ApplicationHelpFile() const override {
    std::filesystem::path help = program_;
    help.replace_extension(".chm");
    return help.string();
  }
  std::string ModuleFileName() const override { return program_.string(); }

 private:
  std::filesystem::path program_;
};

// --- Construction and lifecycle ---------------------------------------------

TSettings::TSettings(const TSettingsPlatform& platform)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint),
      platform_(platform) {
  if (!platform_.trayAvailable) platform_.trayAvailable = TrayAvailable;
  if (!platform_.balloonTipsAvailable) platform_.balloonTipsAvailable = TrayMessagesAvailable;
  if (!platform_.runFileDialog) platform_.runFileDialog = RunDesktopFileDialog;
  if (!platform_.terminate) {
    platform_.terminate = [&loop = platform_.loop] {
      // Waits under way (a translation's exchange, a message box) give up.
      loop.SetTerminating();
      // exit, not quit: quit asks every window to close first and gives up
      // when one refuses (the text translation window while its exchange
      // waits), and the program must end all the same.
      QCoreApplication::exit(0);
    };
  }

  // The components, in the order of the form description: the tray icon and
  // its menu, the taskbar hiding, the single-instance test (a second copy ends
  // here, before any icon, hotkey or settings access), then the rest.
  trayApplication_ = std::make_unique<QtTrayApplication>();
  trayApplication_->SetMainForm(this);
  cTrayIcon_ = std::make_unique<TTrayIcon>(platform_.loop, platform_.trayShell, *trayApplication_,
                                           trayApplication_->MainForm());
  cTrayIcon_->SetHint("Parlumo");
  cTrayIcon_->SetIcon(TrayImageOf(ProgramIcon()));
  CreateTrayMenu();
  cTrayIcon_->SetPopupMenu(&poTrayMenu_->Adapter());
  taskbarWindow_ = std::make_unique<QtTaskbarWindow>(this);
  iconHideState_ = std::make_unique<IconHideState>(*taskbarWindow_);
  cIconHide_ = std::make_unique<TIconHide>(*iconHideState_);
  cMainInstance_ = std::make_unique<TMainInstance>(platform_.instance);
  cHttp_ = std::make_unique<THttpClient>(platform_.loop);
  cHotKey1_ = std::make_unique<TGlobalHotKey>(platform_.hotKeys);
  cHotKey2_ = std::make_unique<TGlobalHotKey>(platform_.hotKeys);
  cHotKeyFile_ = std::make_unique<TGlobalHotKey>(platform_.hotKeys);
  for (TGlobalHotKey* hotKey : {cHotKey1_.get(), cHotKey2_.get(), cHotKeyFile_.get()}) {
    hotKey->SetEnabled(false);
    hotKey->SetKey(0);
  }
  cHotKey1_->OnHotKey = [this](TGlobalHotKey& sender) { cHotKey1HotKey(sender); };
  cHotKey2_->OnHotKey = [this](TGlobalHotKey& sender) { cHotKey1HotKey(sender); };
  cHotKeyFile_->OnHotKey = [this](TGlobalHotKey& sender) { cHotKeyFileHotKey(sender); };
  cParser_.SetCaseSensitive(false);
  cOpenDialog_.kind = TFileDialog::Kind::Open;
  cSaveDialog_.kind = TFileDialog::Kind::Save;
  cSaveDialog_.defaultExt = "txt";
  CreateForm();
  QCoreApplication::instance()->installEventFilter(this);
  helpHost_ = std::make_unique<HelpHostAdapter>(platform_.programPath);
  helpViewer_ = std::make_unique<THtmlHelpViewer>(platform_.help, *helpHost_);
  hotKeyTranslations_ = std::make_unique<THotKeyTranslations>(
      *this, platform_.loop, *cHttp_, cParser_, platform_.keyboard, platform_.clipboard,
      platform_.clipboardWatch, platform_.shell, *cTrayIcon_);
  hotKeyTranslations_->SetMarkedText(platform_.markedText);

  // The end of loading: each component applies what it was given.
  cTrayIcon_->Loaded();
  cHotKey1_->Loaded();
  cHotKey2_->Loaded();
  cHotKeyFile_->Loaded();

  FormCreate();
}

TSettings::~TSettings() {
  FormDestroy();
  // The secondary windows use this form to the last; they go before it does.
  delete translationWnd_.data();
  delete websiteTranslationWnd_.data();
  delete infoWnd_.data();
  // The components go in the reverse order of their creation, the tray icon
  // before the application adapter whose window it hooks.
}

void TSettings::CreateForm() {
  // Every window of the program, and its message boxes, show the program's icon.
  QApplication::setWindowIcon(ProgramIcon());
  setWindowIcon(ProgramIcon());
  dialog_ = new TSettingsDialog(
      *this, *this,
      {platform_.shell, platform_.hotKeys, platform_.trayAvailable, platform_.runFileDialog,
       platform_.keyLookup},
      {cHttp_.get(), cHotKey1_.get(), cHotKey2_.get(), cHotKeyFile_.get(), &cOpenDialog_,
       &cSaveDialog_, &quickPair1_, &quickPair2_, &filePair_, [this] { return uiLanguage_; },
       [this](int language) { ApplyInterfaceLanguage(language); }});
}

void TSettings::CreateTrayMenu() {
  poTrayMenu_ =
      new TTrayMenu({
                        .showTranslationWnd = [this] { ShowTranslationWnd(); },
                        .showWebsiteTranslationWnd = [this] { ShowWebsiteTranslationWnd(); },
                        .callHelp = [this] { miCallHelpClick(); },
                        .info = [this] { miInfoClick(); },
                        .searchForUpdate = [this] { miSearchForUpdateClick(); },
                        .settings = [this] { miSettingsClick(); },
                        .close = [this] { miCloseClick(); },
                    },
                    this);
}

void TSettings::FormCreate() {
  formsPlatform_ = std::make_unique<FormsAdapter>();
  altKeyRepaintFix_ = std::make_unique<TAltKeyRepaintFix>(*formsPlatform_);
  versionString_ = GetVersionString(2);
  buildNumber_ = GetBuildNumber();
  cTrayIcon_->SetIconVisible(true);
  ini_ = std::make_unique<TIniFile>(platform_.iniPath);
  // The whole load, with the windows the start-up type opens, reads the file once.
  const TIniFile::ReadSession load(*ini_);
  SetIconTitleFont(*this);
  dialog_->LoadFirstSettings(*ini_);
  // What the program shows at start. Without a notification area the dialog
  // is the only way in, whatever the start-up type says, once the wait for
  // one is over.
  const int startupType = dialog_->StartupType();
  switch (StartView(startupType, platform_.trayAvailable(), {}, platform_.trayHostWait)) {
    case TStartView::Dialog:
      showAtStart_ = true;
      break;
    case TStartView::WaitForTray:
      WaitForTrayHost(startupType);
      break;
    case TStartView::TrayIcon:
      break;
  }
  if (startupType == 1) ShowTranslationWnd();
  if (startupType == 2) ShowWebsiteTranslationWnd();
  dialog_->LoadRemainingSettings(*ini_);
  dialog_->HotKeyAvailabilityChanged();
}

void TSettings::WaitForTrayHost(int startupType) {
  const auto started = std::chrono::steady_clock::now();
  trayHostWait_ = platform_.loop.StartTimer(kTrayHostPoll, true, [this, startupType, started] {
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    const TStartView view =
        StartView(startupType, platform_.trayAvailable(), waited, platform_.trayHostWait);
    if (view == TStartView::WaitForTray) return;
    trayHostWait_.reset();
    if (view == TStartView::Dialog && !isVisible()) show();
  });
}

void TSettings::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  try {
    if (ini_) SaveSettings();
  } catch (const std::exception&) {
    // The program ends anyway; a settings file that cannot be written keeps
    // what it had.
  }
}

bool TSettings::FormCloseQuery() {
  if (sessionEnding_ || closeRequested_) return true;
  cTrayIcon_->HideMainWindow();
  return false;
}

void TSettings::closeEvent(QCloseEvent* event) {
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  event->accept();
  // The main form has closed: the program ends.
  platform_.terminate();
}

void TSettings::miCloseClick() {
  closeRequested_ = true;
  close();
}

void TSettings::EndSession() {
  sessionEnding_ = true;
  close();
}

void TSettings::QueryEndSession() {
  sessionEnding_ = true;
  try {
    SaveSettings();
  } catch (const std::exception&) {
    // The session ends either way; the settings stay as they were saved last.
  }
  // The request is answered when control is back in the loop. A session that
  // ends tells the program so (a quit or a signal, each of which ends it); one
  // that goes on leaves the dialog to be closed into the tray again.
  platform_.loop.Post(lifetime_.Guard([this] { sessionEnding_ = false; }));
}

bool TSettings::eventFilter(QObject* watched, QEvent* event) {
  if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
    // Closing the form ends the program; the dialog would otherwise refuse
    // and keep it running in the tray.
    event->accept();
    EndSession();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TSettings::BringForward() {
  // The window the user worked in last, when one is shown; else the dialog,
  // which is the way into the program (its notification area may be missing).
  QWidget* shown = nullptr;
  for (QWidget* window :
       std::initializer_list<QWidget*>{QApplication::activeWindow(), this, translationWnd_.data(),
                                       websiteTranslationWnd_.data(), infoWnd_.data()}) {
    if (window && window->isVisible()) {
      shown = window;
      break;
    }
  }
  if (!shown) {
    miSettingsClick();
    shown = this;
  }
  if (shown->isMinimized()) shown->showNormal();
  shown->raise();
  shown->activateWindow();
}

// --- Settings store -----------------------------------------------------------

void TSettings::SaveSettings() {
  // The values are collected here and reach the file together at Commit, in
  // one write of it; a save that fails leaves the file as it was.
  TIniFile::Batch ini(*ini_);
  dialog_->SaveSettings(ini);
  ini.Commit();
  // Autostart, only when it changed, and only once the settings are saved:
  // the entry follows the saved settings, so a save that fails leaves it too.
  if (dialog_->AutostartChecked() != GetAutostart()) SetAutostart(dialog_->AutostartChecked());
}

bool TSettings::GetAutostart() const {
  return parlumo::GetAutostart(platform_.autostartFolder);
}

void TSettings::SetAutostart(bool on) {
  parlumo::SetAutostart(on, platform_.programPath, platform_.autostartFolder);
}

bool TSettings::BalloonTipsAvailable() const {
  return platform_.balloonTipsAvailable();
}

// --- Interface language ------------------------------------------------------------

void TSettings::ApplyInterfaceLanguage(int language) {
  if (language != kUILanguageGerman) language = kUILanguageEnglish;
  poTrayMenu_->ApplyTexts(language);
  uiLanguage_ = language;
  dialog_->ApplyTexts(language);
}

void TSettings::ApplyWindowTexts() {
  if (websiteTranslationWnd_) websiteTranslationWnd_->ApplyTexts();
  if (translationWnd_) translationWnd_->ApplyTexts();
  if (infoWnd_) infoWnd_->ApplyTexts();
}

// --- Tray menu ----------------------------------------------------------------------

void TSettings::SetDefaultTrayItem(int type) {
  poTrayMenu_->SetDefaultTrayItem(type);
}

template <typename Wnd>
void TSettings::ShowSecondaryWindow(QPointer<Wnd>& window) {
  if (!window) {
    window = new Wnd(*this, this);
    window->ApplyTexts();
    window->show();
  }
  if (window->isMinimized()) window->showNormal();
  window->raise();
  window->activateWindow();
}

template <typename Wnd>
void TSettings::ReleaseSecondaryWindow(QPointer<Wnd>& window) {
  if (!window) return;
  window->deleteLater();
  window = nullptr;
}

void TSettings::ShowTranslationWnd() {
  ShowSecondaryWindow(translationWnd_);
}

void TSettings::ShowWebsiteTranslationWnd() {
  ShowSecondaryWindow(websiteTranslationWnd_);
}

void TSettings::miInfoClick() {
  ShowSecondaryWindow(infoWnd_);
}

void TSettings::TranslationWndClosed() {
  ReleaseSecondaryWindow(translationWnd_);
}

void TSettings::WebsiteTranslationWndClosed() {
  ReleaseSecondaryWindow(websiteTranslationWnd_);
}

void TSettings::InfoWndClosed() {
  ReleaseSecondaryWindow(infoWnd_);
}

TTranslationWnd* TSettings::TranslationWindow() const {
  return translationWnd_.data();
}

TWebsiteTranslationWnd* TSettings::WebsiteTranslationWindow() const {
  return websiteTranslationWnd_.data();
}

TInfoWnd* TSettings::InfoWindow() const {
  return infoWnd_.data();
}

void TSettings::miSettingsClick() {
  cTrayIcon_->RestoreMainWindow();
}

void TSettings::miCallHelpClick() {
  helpViewer_->ShowTableOfContents();
}

void TSettings::miSearchForUpdateClick() {
  platform_.shell.Open(UpdatePageUrl(Hosts(), versionString_, buildNumber_));
}

// --- Help -----------------------------------------------------------------------------

void TSettings::ShowHelpContext(int context) {
  helpViewer_->DisplayHelpByContext(context, helpViewer_->CurrentHelpFile());
}

// --- What the windows and the hotkey translations read ----------------------------------

TProxySettings TSettings::ProxyValues() const {
  return {cHttp_->Proxy, cHttp_->ProxyPort, cHttp_->ProxyUsername, cHttp_->ProxyPassword};
}

TServiceHosts TSettings::Hosts() const {
  return ReadServiceHosts(*ini_);
}

TQuickOptions TSettings::QuickOptions() const {
  return dialog_->QuickOptions();
}

int TSettings::QuickPairListPosition(int hotkey) const {
  return dialog_->PairListPosition(hotkey);
}

TFileOptions TSettings::FileOptions() const {
  TFileOptions options;
  options.saveAs = cSaveDialog_.fileName;
  options.program = cOpenDialog_.fileName;
  options.startAssocProgram = dialog_->StartAssocProgram();
  options.overwriteWoPrompt = dialog_->OverwriteWoPrompt();
  options.filePair = filePair_;
  return options;
}

// --- Hotkeys --------------------------------------------------------------------------

void TSettings::cHotKey1HotKey(TGlobalHotKey& sender) {
  hotKeyTranslations_->QuickTranslation(&sender == cHotKey1_.get() ? 1 : 2);
}

void TSettings::cHotKeyFileHotKey(TGlobalHotKey& /*sender*/) {
  hotKeyTranslations_->FileTranslation();
}

void TSettings::RunAction(TStartAction action) {
  switch (action) {
    case TStartAction::saNone:
      break;
    case TStartAction::saQuickTranslation1:
      cHotKey1HotKey(*cHotKey1_);
      break;
    case TStartAction::saQuickTranslation2:
      cHotKey1HotKey(*cHotKey2_);
      break;
    case TStartAction::saFileTranslation:
      cHotKeyFileHotKey(*cHotKeyFile_);
      break;
    case TStartAction::saShowSettings:
      miSettingsClick();
      break;
  }
}

}  // namespace parlumo
