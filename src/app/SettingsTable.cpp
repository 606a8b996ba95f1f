#include "app/SettingsTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>

#include "app/HotKeyEdit.h"
#include "net/Encryption.h"
#include "translate/LanguagePairs.h"
#include "ui_Settings.h"

namespace parlumo {

namespace {

// Settings sections.
constexpr const char* kGeneral = "General";
constexpr const char* kLanguages = "Languages";
constexpr const char* kProxy = "Proxy";
constexpr const char* kQuickTranslate = "QuickTranslate";
constexpr const char* kFileTranslate = "FileTranslate";

TSettingValue Number(int number) {
  return {number, {}};
}

TSettingValue Text(std::string text) {
  return {0, std::move(text)};
}

// --- The controls, by kind ---------------------------------------------------

template <QCheckBox* Ui_TSettings::*box>
constexpr TSettingAccess kCheckBox{
    [](const TSettingsBinding& b) { return Number((b.form.*box)->isChecked() ? 1 : 0); },
    [](TSettingsBinding& b, const TSettingValue& v) { (b.form.*box)->setChecked(v.number != 0); }};

// A drop-down list whose position is the value.
template <QComboBox* Ui_TSettings::*list>
constexpr TSettingAccess kList{
    [](const TSettingsBinding& b) { return Number((b.form.*list)->currentIndex()); },
    [](TSettingsBinding& b, const TSettingValue& v) { (b.form.*list)->setCurrentIndex(v.number); }};

// A list of the language pairs: a value outside the table selects nothing.
template <QComboBox* Ui_TSettings::*list>
constexpr TSettingAccess kPairList{
    [](const TSettingsBinding& b) { return Number((b.form.*list)->currentIndex()); },
    [](TSettingsBinding& b, const TSettingValue& v) {
      (b.form.*list)->setCurrentIndex(IsLanguagePairIndex(v.number) ? v.number : -1);
    }};

template <THotKeyEdit* Ui_TSettings::*field>
constexpr TSettingAccess kShortCutField{
    [](const TSettingsBinding& b) { return Number((b.form.*field)->HotKey()); },
    [](TSettingsBinding& b, const TSettingValue& v) {
      (b.form.*field)->SetHotKey(static_cast<TShortCut>(v.number));
    }};

// A text field; what the value in force takes from it is Apply's business
// (a field holds Unicode, the file any bytes), so only the way in is here.
template <QLineEdit* Ui_TSettings::*field>
constexpr TSettingAccess kTextField{nullptr, [](TSettingsBinding& b, const TSettingValue& v) {
                                      (b.form.*field)->setText(QString::fromStdString(v.text));
                                    }};

// Two radio buttons: true selects the first, false the second.
template <QRadioButton* Ui_TSettings::*yes, QRadioButton* Ui_TSettings::*no>
constexpr TSettingAccess kOption{
    [](const TSettingsBinding& b) { return Number((b.form.*yes)->isChecked() ? 1 : 0); },
    [](TSettingsBinding& b, const TSettingValue& v) {
      (v.number != 0 ? b.form.*yes : b.form.*no)->setChecked(true);
    }};

// A page of the dialog that true hides.
template <QWidget* Ui_TSettings::*page>
constexpr TSettingAccess kHidingPage{nullptr, [](TSettingsBinding& b, const TSettingValue& v) {
                                       if (v.number != 0) {
                                         b.form.pcSettings->setTabVisible(
                                             b.form.pcSettings->indexOf(b.form.*page), false);
                                       }
                                     }};

// --- The values in force -----------------------------------------------------

template <std::string THttpClient::*member>
constexpr TSettingAccess kProxyValue{
    [](const TSettingsBinding& b) { return Text(b.inForce.http->*member); },
    [](TSettingsBinding& b, const TSettingValue& v) { b.inForce.http->*member = v.text; }};

template <TGlobalHotKey* TSettingsInForce::*hotKey>
constexpr TSettingAccess kHotKeyCode{
    [](const TSettingsBinding& b) { return Number((b.inForce.*hotKey)->Key()); },
    [](TSettingsBinding& b, const TSettingValue& v) {
      (b.inForce.*hotKey)->SetKey(static_cast<TShortCut>(v.number));
    }};

template <TGlobalHotKey* TSettingsInForce::*hotKey>
constexpr TSettingAccess kHotKeyEnabled{
    [](const TSettingsBinding& b) { return Number((b.inForce.*hotKey)->Enabled() ? 1 : 0); },
    [](TSettingsBinding& b, const TSettingValue& v) {
      (b.inForce.*hotKey)->SetEnabled(v.number != 0);
    }};

template <int* TSettingsInForce::*pair>
constexpr TSettingAccess kPair{
    [](const TSettingsBinding& b) { return Number(*(b.inForce.*pair)); },
    [](TSettingsBinding& b, const TSettingValue& v) { *(b.inForce.*pair) = v.number; }};

template <TFileDialog* TSettingsInForce::*dialog>
constexpr TSettingAccess kFileName{
    [](const TSettingsBinding& b) { return Text((b.inForce.*dialog)->fileName); },
    [](TSettingsBinding& b, const TSettingValue& v) { (b.inForce.*dialog)->fileName = v.text; }};

constexpr TSettingAccess kInterfaceLanguage{
    [](const TSettingsBinding& b) { return Number(b.inForce.uiLanguage()); },
    [](TSettingsBinding& b, const TSettingValue& v) {
      b.inForce.applyInterfaceLanguage(v.number);
    }};

constexpr TSettingAccess kNone{};
constexpr TSettingRange kAny{};

using TS = TSettingType;
using TV = TLoadInForce;
using TF = TSavedFrom;
using TC = TOnCancel;
using U = Ui_TSettings;
using F = TSettingsInForce;

// The main form's keys. Loading goes down the table in two stages (the rows
// marked "before windows" first, then the windows of the start-up type open,
// then the rest); a save goes down it whole; Cancel too. Beside the table, not
// in the file: the autostart entry, the balloon options' enabling, the
// default tray item.
//
// Where the rows deliberately differ, the row says why:
//  - InterfaceLanguage: missing means German (1), any other number English (0).
//  - CopyToClipboard: a missing key turns the copy off at load but on at Cancel.
//  - the proxy values and the overwrite option: Cancel leaves their controls
//    alone, so an edit made before Cancel takes effect with the next Apply.
//  - the shortcut codes are saved as the fields show them, the enabled states,
//    pairs, proxy values and file names as last applied.
//  - Languages/FileTranslate: written once; its old second write in the file
//    hotkey's step wrote the same value to the same place.
const TSettingRow kRows[] = {
    // section, key, type, default, range,
    //   control, in force, in force at load, saved from, Cancel, cancel default, before windows
    {kGeneral, "NoProxySettings", TS::Boolean, 0, kAny,  //
     kHidingPage<&U::tabInternet>, kNone, TV::FileValue, TF::Never, TC::Keep, 0, true},
    // Missing: German; outside 0..1: English.
    {kLanguages,
     "InterfaceLanguage",
     TS::Integer,
     1,
     {0, 1, 0},  //
     kList<&U::cbProgramLanguage>,
     kInterfaceLanguage,
     TV::FileValue,
     TF::Control,
     TC::FromForce,
     0,
     true},
    {kGeneral,
     "StartupType",
     TS::Integer,
     3,
     {0, 3, 3},  //
     kList<&U::cbStartupType>,
     kNone,
     TV::FileValue,
     TF::Control,
     TC::FromFile,
     3,
     true},
    {kGeneral,
     "TrayIconType",
     TS::Integer,
     0,
     {0, 2, 0},  //
     kList<&U::cbOnTrayIcon>,
     kNone,
     TV::FileValue,
     TF::Control,
     TC::FromFile,
     0,
     false},
    // Cancel keeps the proxy fields: an edit takes effect with the next Apply.
    {kProxy, "Server", TS::Text, 0, kAny,  //
     kTextField<&U::edProxyServer>, kProxyValue<&THttpClient::Proxy>, TV::FileValue, TF::InForce,
     TC::Keep, 0, false},
    {kProxy, "Port", TS::Text, 0, kAny,  //
     kTextField<&U::edProxyport>, kProxyValue<&THttpClient::ProxyPort>, TV::FileValue, TF::InForce,
     TC::Keep, 0, false},
    {kProxy, "Username", TS::Text, 0, kAny,  //
     kTextField<&U::edProxyUsername>, kProxyValue<&THttpClient::ProxyUsername>, TV::FileValue,
     TF::InForce, TC::Keep, 0, false},
    {kProxy, "Password", TS::Password, 0, kAny,  //
     kTextField<&U::edProxyPassword>, kProxyValue<&THttpClient::ProxyPassword>, TV::FileValue,
     TF::InForce, TC::Keep, 0, false},
    // The codes are saved as the fields show them; the component takes the
    // code as the field keeps it.
    {kQuickTranslate, "Hotkey1", TS::ShortCut, 0, kAny,  //
     kShortCutField<&U::hkQuickTranslation1>, kHotKeyCode<&F::hotKey1>, TV::ControlValue,
     TF::Control, TC::FromForce, 0, false},
    {kQuickTranslate, "Hotkey2", TS::ShortCut, 0, kAny,  //
     kShortCutField<&U::hkQuickTranslation2>, kHotKeyCode<&F::hotKey2>, TV::ControlValue,
     TF::Control, TC::FromForce, 0, false},
    {kQuickTranslate, "EnableHotkey1", TS::Boolean, 0, kAny,  //
     kCheckBox<&U::cbQuickTranslation1>, kHotKeyEnabled<&F::hotKey1>, TV::FileValue, TF::InForce,
     TC::FromForce, 0, false},
    {kQuickTranslate, "EnableHotkey2", TS::Boolean, 0, kAny,  //
     kCheckBox<&U::cbQuickTranslation2>, kHotKeyEnabled<&F::hotKey2>, TV::FileValue, TF::InForce,
     TC::FromForce, 0, false},
    // A pair outside the table is kept (and saved) but selects nothing.
    {kLanguages, "QuickTranslation1", TS::Integer, 0, kAny,  //
     kPairList<&U::cbQuickLang1>, kPair<&F::quickPair1>, TV::FileValue, TF::InForce, TC::FromForce,
     0, false},
    {kLanguages, "QuickTranslation2", TS::Integer, 0, kAny,  //
     kPairList<&U::cbQuickLang2>, kPair<&F::quickPair2>, TV::FileValue, TF::InForce, TC::FromForce,
     0, false},
    {kLanguages, "FileTranslate", TS::Integer, 0, kAny,  //
     kPairList<&U::cbTransToFileLang>, kPair<&F::filePair>, TV::FileValue, TF::InForce,
     TC::FromForce, 0, false},
    // The quick translation options act at once and are saved as shown; Cancel
    // reads them back with the default true.
    {kQuickTranslate, "ShowBalloonHint", TS::Boolean, 1, kAny,  //
     kCheckBox<&U::cbShowBalloonHint>, kNone, TV::FileValue, TF::Control, TC::FromFile, 1, false},
    {kQuickTranslate, "NotifyBalloonHint", TS::Boolean, 1, kAny,  //
     kCheckBox<&U::cbNotifyBalloonHint>, kNone, TV::FileValue, TF::Control, TC::FromFile, 1, false},
    {kQuickTranslate, "DisplayMessage", TS::Boolean, 1, kAny,  //
     kCheckBox<&U::cbTranslationMsgBox>, kNone, TV::FileValue, TF::Control, TC::FromFile, 1, false},
    // Deliberately two defaults: a file without the key starts with the copy
    // off (the clipboard is left alone until the user asks for it), while
    // Cancel reads the key with the default of the other quick options (on).
    // Both are intended and held by the tests; a file that has the key reads
    // the same both ways. Making them one changes what Cancel shows.
    {kQuickTranslate, "CopyToClipboard", TS::Boolean, 0, kAny,  //
     kCheckBox<&U::cbCopyToClipboard>, kNone, TV::FileValue, TF::Control, TC::FromFile, 1, false},
    {kFileTranslate, "Hotkey", TS::ShortCut, 0, kAny,  //
     kShortCutField<&U::hkTransToFile>, kHotKeyCode<&F::hotKeyFile>, TV::ControlValue, TF::Control,
     TC::FromForce, 0, false},
    {kFileTranslate, "EnableHotkey", TS::Boolean, 0, kAny,  //
     kCheckBox<&U::cbTransToFileActive>, kHotKeyEnabled<&F::hotKeyFile>, TV::FileValue, TF::InForce,
     TC::FromForce, 0, false},
    // A browsed file name is in force at once; Cancel shows it in the field.
    {kFileTranslate, "SaveAs", TS::Text, 0, kAny,  //
     kTextField<&U::edFileSaveAs>, kFileName<&F::saveDialog>, TV::FileValue, TF::InForce,
     TC::FromForce, 0, false},
    {kFileTranslate, "Program", TS::Text, 0, kAny,  //
     kTextField<&U::edThisProgram>, kFileName<&F::openDialog>, TV::FileValue, TF::InForce,
     TC::FromForce, 0, false},
    {kFileTranslate, "UseAssocProg", TS::Boolean, 1, kAny,  //
     kOption<&U::rbStartAssocProgram, &U::rbStartThisProgram>, kNone, TV::FileValue, TF::Control,
     TC::FromFile, 1, false},
    // Cancel leaves the overwrite option as the user set it.
    {kFileTranslate, "OverwriteWoPrompt", TS::Boolean, 0, kAny,  //
     kCheckBox<&U::cbOverwritewoPrompt>, kNone, TV::FileValue, TF::Control, TC::Keep, 0, false},
};

TSettingValue Read(const TIniFile& ini, const TSettingRow& row, int def) {
  switch (row.type) {
    case TSettingType::Boolean:
      return Number(ini.ReadBool(row.section, row.key, def != 0) ? 1 : 0);
    case TSettingType::Integer: {
      const int value = ini.ReadInteger(row.section, row.key, def);
      const TSettingRange& range = row.range;
      if (range.low <= range.high && (value < range.low || value > range.high)) {
        return Number(range.outside);
      }
      return Number(value);
    }
    case TSettingType::ShortCut:
      return Number(ini.ReadInteger(row.section, row.key, def) & 0xFFFF);
    case TSettingType::Text:
      return Text(ini.ReadString(row.section, row.key, ""));
    case TSettingType::Password:
      return Text(
          UnscramblePassword(ini.ReadString(row.section, row.key, ""), kPasswordScrambleKey));
  }
  return {};
}

void Write(TIniFile::Batch& ini, const TSettingRow& row, const TSettingValue& value) {
  switch (row.type) {
    case TSettingType::Boolean:
      ini.WriteBool(row.section, row.key, value.number != 0);
      return;
    case TSettingType::Integer:
    case TSettingType::ShortCut:
      ini.WriteInteger(row.section, row.key, value.number);
      return;
    case TSettingType::Text:
      // A value the file cannot hold (a line break) would make this save
      // fail, and every save after it: the file keeps what it had for the
      // key. The dialog refuses such values where the user enters them; one
      // can still come from a file edited by hand.
      if (TIniDocument::CanHoldValue(value.text)) ini.WriteString(row.section, row.key, value.text);
      return;
    case TSettingType::Password:
      ini.WriteString(row.section, row.key, ScramblePassword(value.text, kPasswordScrambleKey));
      return;
  }
}

}  // namespace

std::span<const TSettingRow> SettingRows() {
  return kRows;
}

void LoadSettingRows(const TIniFile& ini, TSettingsBinding& binding, bool beforeWindows) {
  for (const TSettingRow& row : kRows) {
    if (row.beforeWindows != beforeWindows) continue;
    const TSettingValue value = Read(ini, row, row.defaultValue);
    if (row.control.set) row.control.set(binding, value);
    if (!row.inForce.set) continue;
    row.inForce.set(binding, row.loadInForce == TLoadInForce::ControlValue && row.control.get
                                 ? row.control.get(binding)
                                 : value);
  }
}

void SaveSettingRows(TIniFile::Batch& ini, const TSettingsBinding& binding) {
  for (const TSettingRow& row : kRows) {
    switch (row.saved) {
      case TSavedFrom::Never:
        break;
      case TSavedFrom::Control:
        Write(ini, row, row.control.get(binding));
        break;
      case TSavedFrom::InForce:
        Write(ini, row, row.inForce.get(binding));
        break;
    }
  }
}

void RevertSettingRows(const TIniFile& ini, TSettingsBinding& binding) {
  for (const TSettingRow& row : kRows) {
    switch (row.cancel) {
      case TOnCancel::Keep:
        break;
      case TOnCancel::FromFile:
        row.control.set(binding, Read(ini, row, row.cancelDefault));
        break;
      case TOnCancel::FromForce:
        row.control.set(binding, row.inForce.get(binding));
        break;
    }
  }
}

}  // namespace parlumo
