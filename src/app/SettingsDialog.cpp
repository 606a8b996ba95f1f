#include "app/SettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "desktop/CommandLine.h"
#include "runtime/DesktopProgram.h"
#include "text/FormTexts.h"
#include "text/LanguageText.h"
#include "translate/LanguagePairs.h"
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

}  // namespace

TSettingsDialog::TSettingsDialog(QWidget& window, TSettingsDialogHost& host,
                                 const TSettingsDialogPlatform& platform, TSettingsInForce inForce)
    : QObject(&window),
      window_(window),
      host_(host),
      platform_(platform),
      inForce_(std::move(inForce)),
      ui_(std::make_unique<Ui::TSettings>()) {
  ui_->setupUi(&window_);
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
  // The window's help keys and showing it come here first.
  window_.installEventFilter(this);
}

TSettingsDialog::~TSettingsDialog() {
  window_.removeEventFilter(this);
}

TSettingsBinding TSettingsDialog::Binding() const {
  return {*ui_, inForce_};
}

void TSettingsDialog::ConnectChangeHandlers() {
  // A drop-down list reports only the user's choice; check boxes, radio buttons
  // and edit fields report every change, also one the program makes; the
  // shortcut fields report only the user's input. The overwrite option has no
  // handler.
  for (QComboBox* list : window_.findChildren<QComboBox*>()) {
    connect(list, &QComboBox::activated, this, [this] { ActivateApplyBtn(); });
  }
  for (QAbstractButton* box : window_.findChildren<QAbstractButton*>()) {
    if (box == ui_->cbOverwritewoPrompt || qobject_cast<QPushButton*>(box)) continue;
    connect(box, &QAbstractButton::toggled, this, [this] { ActivateApplyBtn(); });
  }
  for (QLineEdit* field : window_.findChildren<QLineEdit*>()) {
    if (auto* hotKey = dynamic_cast<THotKeyEdit*>(field)) {
      hotKey->OnChange = [this] { ActivateApplyBtn(); };
      continue;
    }
    // The combo boxes are not editable; every other line edit is a field.
    if (qobject_cast<QComboBox*>(field->parentWidget())) continue;
    connect(field, &QLineEdit::textChanged, this, [this] { ActivateApplyBtn(); });
  }
}

// --- Loading and saving -------------------------------------------------------

void TSettingsDialog::LoadFirstSettings(const TIniFile& ini) {
  // The proxy page, the interface language, the start-up type.
  TSettingsBinding binding = Binding();
  LoadSettingRows(ini, binding, true);
}

void TSettingsDialog::LoadRemainingSettings(const TIniFile& ini) {
  TSettingsBinding binding = Binding();
  LoadSettingRows(ini, binding, false);
  // Beside the file: the default menu item, the autostart entry, and the
  // balloon options only where balloons can be shown.
  host_.SetDefaultTrayItem(TrayIconType());
  ui_->cbStartupOnWindows->setChecked(host_.GetAutostart());
  const bool balloons = host_.BalloonTipsAvailable();
  ui_->cbShowBalloonHint->setEnabled(balloons);
  ui_->cbNotifyBalloonHint->setEnabled(balloons);
  // Loading's changes are no user changes.
  ui_->btnApply->setEnabled(false);
}

void TSettingsDialog::SaveSettings(TIniFile::Batch& ini) const {
  SaveSettingRows(ini, Binding());
}

// --- Apply, OK, Cancel ----------------------------------------------------------

void TSettingsDialog::ActivateApplyBtn() {
  ui_->btnApply->setEnabled(true);
}

void TSettingsDialog::ApplySettings() {
  const auto alive = lifetime_.Token();
  // 1. The interface language, then the open windows' texts.
  if (ui_->cbProgramLanguage->currentIndex() != host_.UILanguage()) {
    host_.ApplyInterfaceLanguage(ui_->cbProgramLanguage->currentIndex());
    host_.ApplyWindowTexts();
  }
  // 2. The default menu item.
  host_.SetDefaultTrayItem(TrayIconType());
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
  THttpClient& http = *inForce_.http;
  take(ui_->edProxyServer, http.Proxy);
  take(ui_->edProxyport, http.ProxyPort);
  take(ui_->edProxyUsername, http.ProxyUsername);
  http.ProxyPassword = FieldValue(*ui_->edProxyPassword, http.ProxyPassword);
  // 4. and 5. The hotkeys: keys, then enabled.
  inForce_.hotKey1->SetKey(ui_->hkQuickTranslation1->HotKey());
  inForce_.hotKey2->SetKey(ui_->hkQuickTranslation2->HotKey());
  inForce_.hotKeyFile->SetKey(ui_->hkTransToFile->HotKey());
  inForce_.hotKey1->SetEnabled(ui_->cbQuickTranslation1->isChecked());
  inForce_.hotKey2->SetEnabled(ui_->cbQuickTranslation2->isChecked());
  inForce_.hotKeyFile->SetEnabled(ui_->cbTransToFileActive->isChecked());
  // 6. The pairs.
  *inForce_.quickPair1 = ui_->cbQuickLang1->currentIndex();
  *inForce_.quickPair2 = ui_->cbQuickLang2->currentIndex();
  *inForce_.filePair = ui_->cbTransToFileLang->currentIndex();
  // 7. The file names.
  take(ui_->edThisProgram, inForce_.openDialog->fileName);
  take(ui_->edFileSaveAs, inForce_.saveDialog->fileName);
  // 8. Save; a failure keeps Apply enabled, the values above stay in force.
  try {
    host_.SaveSettings();
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

void TSettingsDialog::btnOKClick() {
  ApplySettings();
  // A failed Apply ends the click: the dialog stays open with Apply enabled.
  if (ui_->btnApply->isEnabled()) return;
  window_.close();
}

void TSettingsDialog::AbortSettings() {
  TIniFile& ini = host_.Ini();
  const TIniFile::ReadSession reading(ini);
  TSettingsBinding binding = Binding();
  RevertSettingRows(ini, binding);
  ui_->cbStartupOnWindows->setChecked(host_.GetAutostart());
  host_.SetDefaultTrayItem(TrayIconType());
  window_.close();
}

// --- Browse buttons ------------------------------------------------------------------

bool TSettingsDialog::RunFileDialog(TFileDialog& dialog) {
  const auto alive = lifetime_.Token();
  const std::optional<std::string> chosen = platform_.runFileDialog(dialog, &window_);
  if (alive.expired() || !chosen) return false;
  // Linux allows a line break in a file name, the settings file does not hold
  // one: such a name is refused here, where the user can choose another, and
  // the name in force stays.
  if (!TIniDocument::CanHoldValue(*chosen)) {
    const int language = host_.UILanguage();
    platform_.shell.MessageBox(LanguageText(language, kUnstorableFileNameKey),
                               LanguageText(language, kUnstorableFileNameKey + 1),
                               TMsgButtons::mbOK, TMsgIcon::miWarning, true);
    return false;
  }
  dialog.fileName = *chosen;
  return true;
}

void TSettingsDialog::btnSearchFileClick() {
  TFileDialog& dialog = *inForce_.saveDialog;
  dialog.title = LanguageText(host_.UILanguage(), kSaveAsTitleKey);
  dialog.filter = LanguageText(host_.UILanguage(), kSaveAsFilterKey);
  if (!RunFileDialog(dialog)) return;
  ui_->edFileSaveAs->setText(Q(dialog.fileName));
  ActivateApplyBtn();
}

void TSettingsDialog::btnSearchProgClick() {
  TFileDialog& dialog = *inForce_.openDialog;
  dialog.title = LanguageText(host_.UILanguage(), kProgramTitleKey);
  dialog.filter = LanguageText(host_.UILanguage(), kProgramFilterKey);
  if (!RunFileDialog(dialog)) return;
  ui_->edThisProgram->setText(Q(dialog.fileName));
  ActivateApplyBtn();
}

void TSettingsDialog::ShowRefusedField(QLineEdit& field) {
  // The field's page, with the field marked for correction.
  for (QWidget* widget = field.parentWidget(); widget; widget = widget->parentWidget()) {
    if (const int page = ui_->pcSettings->indexOf(widget); page >= 0) {
      ui_->pcSettings->setCurrentIndex(page);
      break;
    }
  }
  field.setFocus();
  field.selectAll();
  const int language = host_.UILanguage();
  platform_.shell.MessageBox(LanguageText(language, kUnstorableValueKey),
                             LanguageText(language, kUnstorableValueKey + 1), TMsgButtons::mbOK,
                             TMsgIcon::miWarning, true);
}

void TSettingsDialog::ShowFailure(const std::exception& failure) {
  platform_.shell.MessageBox(failure.what(), kInstanceTitle, TMsgButtons::mbOK, TMsgIcon::miError,
                             true);
}

// --- Texts, the no-tray note and the commands to bind ----------------------------------

void TSettingsDialog::ApplyTexts(int language) {
  for (const TFormText& text : SettingsFormTexts(language)) {
    const QString value = Q(text.text);
    if (text.control == kSettingsFormName) {
      window_.setWindowTitle(value);
      continue;
    }
    // The tray menu's items have their own texts.
    if (text.control.rfind("mi", 0) == 0) continue;
    QWidget* control = window_.findChild<QWidget*>(Q(text.control));
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
  UpdateNoTrayNote();
}

void TSettingsDialog::UpdateNoTrayNote() {
  ui_->laNoTrayNote->setText(NoTrayNote(host_.UILanguage(), platform_.hotKeys.CanGrab()));
  ui_->laNoTrayNote->setVisible(!platform_.trayAvailable());
}

void TSettingsDialog::HotKeyAvailabilityChanged() {
  UpdateNoTrayNote();
  const bool showCommands = !platform_.hotKeys.CanGrab();
  const auto showing = [](const QWidget* panel) { return !panel->isHidden(); };
  if (showing(ui_->pnQuickCommands) == showCommands && showing(ui_->pnFileCommand) == showCommands)
    return;
  for (QWidget* panel : {ui_->pnQuickCommands, ui_->pnFileCommand}) {
    panel->setVisible(showCommands);
    // A page that is not the current one passes no change of its size up by
    // itself (the layouts keep the sizes they knew of its hidden widgets), so
    // every widget and layout from the panel to the window forgets them: the
    // window's fixed size then fits the tallest page again.
    for (QWidget* holder = panel->parentWidget(); holder != &window_ && holder != nullptr;
         holder = holder->parentWidget()) {
      holder->updateGeometry();
      if (holder->layout() != nullptr) holder->layout()->invalidate();
    }
  }
  window_.layout()->invalidate();
  window_.layout()->activate();
}

// --- Help ------------------------------------------------------------------------------

int TSettingsDialog::HelpContextOf(const QWidget* control) const {
  for (const QWidget* widget = control; widget && widget != &window_;
       widget = widget->parentWidget()) {
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

bool TSettingsDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched != &window_) return false;
  switch (event->type()) {
    case QEvent::Show:
      HotKeyAvailabilityChanged();
      return false;
    case QEvent::KeyPress: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() != Qt::Key_F1 || (key->modifiers() & ~Qt::KeypadModifier) != 0) return false;
      event->accept();
      host_.ShowHelpContext(HelpContextOf(window_.focusWidget()));
      return true;
    }
    // The title bar's help button: a click on a control opens its page's help.
    case QEvent::QueryWhatsThis:
      event->accept();
      return true;
    case QEvent::WhatsThis: {
      const auto* help = static_cast<QHelpEvent*>(event);
      event->accept();
      host_.ShowHelpContext(HelpContextOf(window_.childAt(help->pos())));
      return true;
    }
    default:
      return false;
  }
}

// --- What the controls hold ---------------------------------------------------------

int TSettingsDialog::StartupType() const {
  return ui_->cbStartupType->currentIndex();
}

int TSettingsDialog::TrayIconType() const {
  return ui_->cbOnTrayIcon->currentIndex();
}

bool TSettingsDialog::AutostartChecked() const {
  return ui_->cbStartupOnWindows->isChecked();
}

TQuickOptions TSettingsDialog::QuickOptions() const {
  TQuickOptions options;
  options.showBalloonHint = ui_->cbShowBalloonHint->isChecked();
  options.notifyBalloonHint = ui_->cbNotifyBalloonHint->isChecked();
  options.translationMsgBox = ui_->cbTranslationMsgBox->isChecked();
  options.copyToClipboard = ui_->cbCopyToClipboard->isChecked();
  return options;
}

int TSettingsDialog::PairListPosition(int hotkey) const {
  return (hotkey == 1 ? ui_->cbQuickLang1 : ui_->cbQuickLang2)->currentIndex();
}

bool TSettingsDialog::StartAssocProgram() const {
  return ui_->rbStartAssocProgram->isChecked();
}

bool TSettingsDialog::OverwriteWoPrompt() const {
  return ui_->cbOverwritewoPrompt->isChecked();
}

}  // namespace parlumo
