#include "app/Settings.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QHelpEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QStackedWidget>
#include <QTimer>
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
#include "ui_Settings.h"

namespace parlumo {

namespace {

// Help contexts: the form and its buttons; the pages carry theirs in the form
// description (property helpContext).
constexpr int kFormHelpContext = 1000;

// Text keys of the browse buttons' dialogs.
constexpr int kSaveAsTitleKey = 700;
constexpr int kSaveAsFilterKey = 701;
constexpr int kProgramTitleKey = 702;
constexpr int kProgramFilterKey = 703;
// Text keys (caption on the next key) of the refusals of a value the settings
// file cannot hold: typed into a field, or the name of the file chosen.
constexpr int kUnstorableValueKey = 626;
constexpr int kUnstorableFileNameKey = 628;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

std::string S(const QString& text) {
  return text.toStdString();
}

// The value a text field stands for: the one it was given while it still shows
// it, else its text. A field holds Unicode text, so bytes that are not UTF-8 (a
// file name in another encoding) show as replacement characters; only a value
// the user changed may take the field's text in their place.
std::string FieldValue(const QLineEdit& field, const std::string& given) {
  const QString text = field.text();
  return text == Q(given) ? given : S(text);
}

// The note shown in the dialog when the desktop has no notification area. Where
// no hotkey can be grabbed, the commands bound in the desktop are what works.
QString NoTrayNote(int language, bool hotKeysGrabbed) {
  if (!hotKeysGrabbed) {
    return language == kUILanguageGerman
               ? QStringLiteral(
                     "Kein Infobereich gefunden: Die in der Arbeitsumgebung belegten Befehle "
                     "funktionieren trotzdem, und ein erneuter Programmstart holt dieses "
                     "Fenster hervor.")
               : QStringLiteral(
                     "No notification area found: the commands bound in the desktop still "
                     "work, and starting the program again brings this window back.");
  }
  return language == kUILanguageGerman
             ? QStringLiteral(
                   "Kein Infobereich gefunden: Die Hotkeys funktionieren trotzdem, "
                   "und ein erneuter Programmstart holt dieses Fenster hervor.")
             : QStringLiteral(
                   "No notification area found: the hotkeys still work, and "
                   "starting the program again brings this window back.");
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
      platform_(platform),
      ui_(std::make_unique<Ui::TSettings>()) {
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

  CreateForm();

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
  cTrayIcon_->SetPopupMenu(trayMenu_.get());
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
  ui_->setupUi(this);
  // Every window of the program, and its message boxes, show the program's icon.
  QApplication::setWindowIcon(ProgramIcon());
  setWindowIcon(ProgramIcon());
  for (const auto& name : kInterfaceLanguageNames) {
    ui_->cbProgramLanguage->addItem(QString::fromUtf8(name.data(), name.size()));
  }
  for (QComboBox* list : {ui_->cbQuickLang1, ui_->cbQuickLang2, ui_->cbTransToFileLang}) {
    for (int pair = 0; pair < kLanguagePairCount; ++pair) {
      list->addItem(Q(LanguageText(kUILanguageEnglish, LanguagePairNameKey(pair))));
    }
  }
  for (THotKeyEdit* field :
       {ui_->hkQuickTranslation1, ui_->hkQuickTranslation2, ui_->hkTransToFile})
    field->SetKeyLookup(platform_.keyLookup);
  // The commands a desktop binds where the program can grab no hotkey; they
  // read the same in every interface language.
  ui_->laQuickCommand1->setText(Q(ActionCommand(TStartAction::saQuickTranslation1)));
  ui_->laQuickCommand2->setText(Q(ActionCommand(TStartAction::saQuickTranslation2)));
  ui_->laFileCommand->setText(Q(ActionCommand(TStartAction::saFileTranslation)));
  ConnectChangeHandlers();
  connect(ui_->btnApply, &QPushButton::clicked, this, [this] { ApplySettings(); });
  connect(ui_->btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
  connect(ui_->btnCancel, &QPushButton::clicked, this, [this] { AbortSettings(); });
  connect(ui_->btnSearchFile, &QPushButton::clicked, this, [this] { btnSearchFileClick(); });
  connect(ui_->btnSearchProg, &QPushButton::clicked, this, [this] { btnSearchProgClick(); });
}

void TSettings::ConnectChangeHandlers() {
  // A drop-down list reports only the user's choice; check boxes, radio buttons
  // and edit fields report every change, also one the program makes; the
  // shortcut fields report only the user's input. The overwrite option has no
  // handler.
  for (QComboBox* list : findChildren<QComboBox*>()) {
    connect(list, &QComboBox::activated, this, [this] { ActivateApplyBtn(); });
  }
  for (QAbstractButton* box : findChildren<QAbstractButton*>()) {
    if (box == ui_->cbOverwritewoPrompt || qobject_cast<QPushButton*>(box)) continue;
    connect(box, &QAbstractButton::toggled, this, [this] { ActivateApplyBtn(); });
  }
  for (QLineEdit* field : findChildren<QLineEdit*>()) {
    if (auto* hotKey = dynamic_cast<THotKeyEdit*>(field)) {
      hotKey->OnChange = [this] { ActivateApplyBtn(); };
      continue;
    }
    // The combo boxes are not editable; every other line edit is a field.
    if (qobject_cast<QComboBox*>(field->parentWidget())) continue;
    connect(field, &QLineEdit::textChanged, this, [this] { ActivateApplyBtn(); });
  }
}

void TSettings::CreateTrayMenu() {
  poTrayMenu_ = new QMenu(this);
  poTrayMenu_->setObjectName(QStringLiteral("poTrayMenu"));
  auto item = [this](QMenu* menu, const char* name, void (TSettings::*handler)()) {
    QAction* action = menu->addAction(QString());
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    return action;
  };
  item(poTrayMenu_, "miTranslation", &TSettings::ShowTranslationWnd);
  item(poTrayMenu_, "miWebsiteTranslation", &TSettings::ShowWebsiteTranslationWnd);
  poTrayMenu_->addSeparator();
  QMenu* help = poTrayMenu_->addMenu(QString());
  help->setObjectName(QStringLiteral("miHelp"));
  help->menuAction()->setObjectName(QStringLiteral("miHelpItem"));
  item(help, "miCallHelp", &TSettings::miCallHelpClick);
  item(help, "miInfo", &TSettings::miInfoClick);
  help->addSeparator();
  item(help, "miSearchForUpdate", &TSettings::miSearchForUpdateClick);
  item(poTrayMenu_, "miSettings", &TSettings::miSettingsClick);
  poTrayMenu_->addSeparator();
  item(poTrayMenu_, "miClose", &TSettings::miCloseClick);
  trayMenu_ = std::make_unique<QtTrayMenu>(poTrayMenu_);
  // The captions come with the interface language; English until then.
  for (const TFormText& text : SettingsFormTexts(kUILanguageEnglish)) {
    if (text.control.rfind("mi", 0) == 0) {
      if (QAction* action = MenuItem(text.control.c_str())) action->setText(Q(text.text));
    }
  }
}

QAction* TSettings::MenuItem(const char* name) const {
  if (!poTrayMenu_) return nullptr;
  if (qstrcmp(name, "miHelp") == 0) {
    auto* help = poTrayMenu_->findChild<QMenu*>(QStringLiteral("miHelp"));
    return help ? help->menuAction() : nullptr;
  }
  return poTrayMenu_->findChild<QAction*>(QLatin1String(name));
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
  LoadFirstSettings();
  // What the program shows at start. Without a notification area the dialog
  // is the only way in, whatever the start-up type says.
  const int startupType = ui_->cbStartupType->currentIndex();
  showAtStart_ = startupType == 3 || !platform_.trayAvailable();
  if (startupType == 1) ShowTranslationWnd();
  if (startupType == 2) ShowWebsiteTranslationWnd();
  LoadRemainingSettings();
  UpdateNoTrayNote();
  HotKeyAvailabilityChanged();
}

TSettingsBinding TSettings::Binding() {
  return {*ui_,
          {*cHttp_, *cHotKey1_, *cHotKey2_, *cHotKeyFile_, cOpenDialog_, cSaveDialog_, quickPair1_,
           quickPair2_, filePair_, [this] { return uiLanguage_; },
           [this](int language) { ApplyInterfaceLanguage(language); }}};
}

void TSettings::LoadFirstSettings() {
  // The proxy page, the interface language, the start-up type.
  TSettingsBinding binding = Binding();
  LoadSettingRows(*ini_, binding, true);
}

void TSettings::LoadRemainingSettings() {
  TSettingsBinding binding = Binding();
  LoadSettingRows(*ini_, binding, false);
  // Beside the file: the default menu item, the autostart entry, and the
  // balloon options only where balloons can be shown.
  SetDefaultTrayItem(ui_->cbOnTrayIcon->currentIndex());
  ui_->cbStartupOnWindows->setChecked(GetAutostart());
  const bool balloons = BalloonTipsAvailable();
  ui_->cbShowBalloonHint->setEnabled(balloons);
  ui_->cbNotifyBalloonHint->setEnabled(balloons);
  // Loading's changes are no user changes.
  ui_->btnApply->setEnabled(false);
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
  SaveSettingRows(ini, Binding());
  ini.Commit();
  // Autostart, only when it changed, and only once the settings are saved:
  // the entry follows the saved settings, so a save that fails leaves it too.
  if (ui_->cbStartupOnWindows->isChecked() != GetAutostart()) {
    SetAutostart(ui_->cbStartupOnWindows->isChecked());
  }
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

// --- Settings dialog ------------------------------------------------------------

void TSettings::ActivateApplyBtn() {
  ui_->btnApply->setEnabled(true);
}

void TSettings::ApplySettings() {
  const auto alive = lifetime_.Token();
  // 1. The interface language, then the open windows' texts.
  if (ui_->cbProgramLanguage->currentIndex() != uiLanguage_) {
    ApplyInterfaceLanguage(ui_->cbProgramLanguage->currentIndex());
    if (websiteTranslationWnd_) websiteTranslationWnd_->ApplyTexts();
    if (translationWnd_) translationWnd_->ApplyTexts();
    if (infoWnd_) infoWnd_->ApplyTexts();
  }
  // 2. The default menu item.
  SetDefaultTrayItem(ui_->cbOnTrayIcon->currentIndex());
  // 3. The proxy values. A field whose new value the settings file cannot
  // hold keeps the value in force, and the first such field is shown after the
  // save. The password is stored scrambled, which holds any bytes.
  QLineEdit* refused = nullptr;
  auto take = [&refused](QLineEdit* field, std::string& inForce) {
    std::string value = FieldValue(*field, inForce);
    if (value != inForce && !TIniDocument::CanHoldValue(value)) {
      if (!refused) refused = field;
      return;
    }
    inForce = std::move(value);
  };
  take(ui_->edProxyServer, cHttp_->Proxy);
  take(ui_->edProxyport, cHttp_->ProxyPort);
  take(ui_->edProxyUsername, cHttp_->ProxyUsername);
  cHttp_->ProxyPassword = FieldValue(*ui_->edProxyPassword, cHttp_->ProxyPassword);
  // 4. and 5. The hotkeys: keys, then enabled.
  cHotKey1_->SetKey(ui_->hkQuickTranslation1->HotKey());
  cHotKey2_->SetKey(ui_->hkQuickTranslation2->HotKey());
  cHotKeyFile_->SetKey(ui_->hkTransToFile->HotKey());
  cHotKey1_->SetEnabled(ui_->cbQuickTranslation1->isChecked());
  cHotKey2_->SetEnabled(ui_->cbQuickTranslation2->isChecked());
  cHotKeyFile_->SetEnabled(ui_->cbTransToFileActive->isChecked());
  // 6. The pairs.
  quickPair1_ = ui_->cbQuickLang1->currentIndex();
  quickPair2_ = ui_->cbQuickLang2->currentIndex();
  filePair_ = ui_->cbTransToFileLang->currentIndex();
  // 7. The file names.
  take(ui_->edThisProgram, cOpenDialog_.fileName);
  take(ui_->edFileSaveAs, cSaveDialog_.fileName);
  // 8. Save; a failure keeps Apply enabled, the values above stay in force.
  try {
    SaveSettings();
  } catch (const std::exception& failure) {
    ShowFailure(failure);
    return;
  }
  if (alive.expired()) return;
  // 9. A refused value keeps Apply enabled: the field still waits for its value.
  if (refused) {
    ShowRefusedField(*refused);
    return;
  }
  ui_->btnApply->setEnabled(false);
}

void TSettings::btnOKClick() {
  ApplySettings();
  // A failed Apply ends the click: the dialog stays open with Apply enabled.
  if (ui_->btnApply->isEnabled()) return;
  close();
}

void TSettings::AbortSettings() {
  const TIniFile::ReadSession reading(*ini_);
  TSettingsBinding binding = Binding();
  RevertSettingRows(*ini_, binding);
  ui_->cbStartupOnWindows->setChecked(GetAutostart());
  SetDefaultTrayItem(ui_->cbOnTrayIcon->currentIndex());
  close();
}

bool TSettings::RunFileDialog(TFileDialog& dialog) {
  const auto alive = lifetime_.Token();
  const std::optional<std::string> chosen = platform_.runFileDialog(dialog, this);
  if (alive.expired() || !chosen) return false;
  // Linux allows a line break in a file name, the settings file does not hold
  // one: such a name is refused here, where the user can choose another, and
  // the name in force stays.
  if (!TIniDocument::CanHoldValue(*chosen)) {
    platform_.shell.MessageBox(LanguageText(uiLanguage_, kUnstorableFileNameKey),
                               LanguageText(uiLanguage_, kUnstorableFileNameKey + 1),
                               TMsgButtons::mbOK, TMsgIcon::miWarning, true);
    return false;
  }
  dialog.fileName = *chosen;
  return true;
}

void TSettings::btnSearchFileClick() {
  cSaveDialog_.title = LanguageText(uiLanguage_, kSaveAsTitleKey);
  cSaveDialog_.filter = LanguageText(uiLanguage_, kSaveAsFilterKey);
  if (!RunFileDialog(cSaveDialog_)) return;
  ui_->edFileSaveAs->setText(Q(cSaveDialog_.fileName));
  ActivateApplyBtn();
}

void TSettings::btnSearchProgClick() {
  cOpenDialog_.title = LanguageText(uiLanguage_, kProgramTitleKey);
  cOpenDialog_.filter = LanguageText(uiLanguage_, kProgramFilterKey);
  if (!RunFileDialog(cOpenDialog_)) return;
  ui_->edThisProgram->setText(Q(cOpenDialog_.fileName));
  ActivateApplyBtn();
}

void TSettings::ShowRefusedField(QLineEdit& field) {
  // The field's page, with the field marked for correction.
  for (QWidget* widget = field.parentWidget(); widget; widget = widget->parentWidget()) {
    if (const int page = ui_->pcSettings->indexOf(widget); page >= 0) {
      ui_->pcSettings->setCurrentIndex(page);
      break;
    }
  }
  field.setFocus();
  field.selectAll();
  platform_.shell.MessageBox(LanguageText(uiLanguage_, kUnstorableValueKey),
                             LanguageText(uiLanguage_, kUnstorableValueKey + 1), TMsgButtons::mbOK,
                             TMsgIcon::miWarning, true);
}

void TSettings::ShowFailure(const std::exception& failure) {
  platform_.shell.MessageBox(failure.what(), kApplicationTitle, TMsgButtons::mbOK,
                             TMsgIcon::miError, true);
}

// --- Interface language ------------------------------------------------------------

void TSettings::ApplyInterfaceLanguage(int language) {
  if (language != kUILanguageGerman) language = kUILanguageEnglish;
  for (const TFormText& text : SettingsFormTexts(language)) {
    const QString value = Q(text.text);
    if (text.control == kSettingsFormName) {
      setWindowTitle(value);
      continue;
    }
    const QString name = Q(text.control);
    if (text.control.rfind("mi", 0) == 0) {
      if (QAction* action = MenuItem(text.control.c_str())) action->setText(value);
      continue;
    }
    QWidget* control = findChild<QWidget*>(name);
    if (!control) continue;
    if (const int page = ui_->pcSettings->indexOf(control); page >= 0) {
      ui_->pcSettings->setTabText(page, value);
    } else if (auto* list = qobject_cast<QComboBox*>(control)) {
      // Relabelling keeps the selection.
      if (text.item >= 0 && text.item < list->count()) list->setItemText(text.item, value);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
      group->setTitle(value);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
      label->setText(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      button->setText(value);
    }
  }
  uiLanguage_ = language;
  UpdateNoTrayNote();
}

void TSettings::UpdateNoTrayNote() {
  ui_->laNoTrayNote->setText(NoTrayNote(uiLanguage_, platform_.hotKeys.CanGrab()));
  ui_->laNoTrayNote->setVisible(!platform_.trayAvailable());
}

void TSettings::HotKeyAvailabilityChanged() {
  UpdateNoTrayNote();
  const bool showCommands = !platform_.hotKeys.CanGrab();
  const auto showing = [](const QWidget* panel) { return !panel->isHidden(); };
  if (showing(ui_->pnQuickCommands) == showCommands && showing(ui_->pnFileCommand) == showCommands)
    return;
  for (QWidget* panel : {ui_->pnQuickCommands, ui_->pnFileCommand}) {
    panel->setVisible(showCommands);
    // A page that is not the current one passes no change of its size up by
    // itself (the layouts keep the sizes they knew of its hidden widgets), so
    // every widget and layout from the panel to the form forgets them: the
    // form's fixed size then fits the tallest page again.
    for (QWidget* holder = panel->parentWidget(); holder != this && holder != nullptr;
         holder = holder->parentWidget()) {
      holder->updateGeometry();
      if (holder->layout() != nullptr) holder->layout()->invalidate();
    }
  }
  layout()->invalidate();
  layout()->activate();
}

void TSettings::showEvent(QShowEvent* event) {
  UpdateNoTrayNote();
  HotKeyAvailabilityChanged();
  QWidget::showEvent(event);
}

// --- Tray menu ----------------------------------------------------------------------

void TSettings::SetDefaultTrayItem(int type) {
  static constexpr const char* kItems[] = {"miSettings", "miTranslation", "miWebsiteTranslation"};
  if (type < 0 || type > 2) return;
  if (QAction* item = MenuItem(kItems[type])) poTrayMenu_->setDefaultAction(item);
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

int TSettings::HelpContextOf(const QWidget* control) const {
  for (const QWidget* widget = control; widget && widget != this; widget = widget->parentWidget()) {
    const QVariant context = widget->property("helpContext");
    if (context.isValid()) return context.toInt();
    // The page bar and frame stand for the page shown.
    if (widget == ui_->pcSettings) {
      const QVariant shown = ui_->pcSettings->currentWidget()->property("helpContext");
      return shown.isValid() ? shown.toInt() : kFormHelpContext;
    }
  }
  return kFormHelpContext;
}

void TSettings::ShowHelpContext(int context) {
  helpViewer_->DisplayHelpByContext(context, helpViewer_->CurrentHelpFile());
}

void TSettings::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && (event->modifiers() & ~Qt::KeypadModifier) == 0) {
    event->accept();
    ShowHelpContext(HelpContextOf(focusWidget()));
    return;
  }
  QWidget::keyPressEvent(event);
}

bool TSettings::event(QEvent* event) {
  // The title bar's help button: a click on a control opens its page's help.
  if (event->type() == QEvent::QueryWhatsThis) {
    event->accept();
    return true;
  }
  if (event->type() == QEvent::WhatsThis) {
    const auto* help = static_cast<QHelpEvent*>(event);
    event->accept();
    ShowHelpContext(HelpContextOf(childAt(help->pos())));
    return true;
  }
  return QWidget::event(event);
}

// --- What the windows and the hotkey translations read ----------------------------------

TProxySettings TSettings::ProxyValues() const {
  return {cHttp_->Proxy, cHttp_->ProxyPort, cHttp_->ProxyUsername, cHttp_->ProxyPassword};
}

TServiceHosts TSettings::Hosts() const {
  return ReadServiceHosts(*ini_);
}

TQuickOptions TSettings::QuickOptions() const {
  TQuickOptions options;
  options.showBalloonHint = ui_->cbShowBalloonHint->isChecked();
  options.notifyBalloonHint = ui_->cbNotifyBalloonHint->isChecked();
  options.translationMsgBox = ui_->cbTranslationMsgBox->isChecked();
  options.copyToClipboard = ui_->cbCopyToClipboard->isChecked();
  return options;
}

int TSettings::QuickPairListPosition(int hotkey) const {
  return (hotkey == 1 ? ui_->cbQuickLang1 : ui_->cbQuickLang2)->currentIndex();
}

TFileOptions TSettings::FileOptions() const {
  TFileOptions options;
  options.saveAs = cSaveDialog_.fileName;
  options.program = cOpenDialog_.fileName;
  options.startAssocProgram = ui_->rbStartAssocProgram->isChecked();
  options.overwriteWoPrompt = ui_->cbOverwritewoPrompt->isChecked();
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
