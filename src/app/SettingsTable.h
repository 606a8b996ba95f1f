#pragma once

#include <functional>
#include <span>
#include <string>

#include "desktop/GlobalHotKey.h"
#include "net/HttpClient.h"
#include "runtime/IniFile.h"

namespace Ui {
class TSettings;
}

namespace parlumo {

// A file dialog of the main form as the settings keep it: its file name is
// the setting, the rest describes the dialog the browse button runs.
struct TFileDialog {
  enum class Kind { Open, Save };
  Kind kind = Kind::Open;
  std::string fileName;
  std::string title;
  // Description and pattern alternating, separated by "|" ("Text files|*.txt").
  std::string filter;
  std::string defaultExt;  // without the dot; empty for none
};

// The values in force that the settings dialog's controls stand for: applied
// values held apart from the controls, where they live (the components of the
// main form and its members). Every reference must outlive the use.
struct TSettingsInForce {
  THttpClient* http;
  TGlobalHotKey* hotKey1;
  TGlobalHotKey* hotKey2;
  TGlobalHotKey* hotKeyFile;
  TFileDialog* openDialog;
  TFileDialog* saveDialog;
  int* quickPair1;
  int* quickPair2;
  int* filePair;
  // The interface language: read, and applied (relabelling everything).
  std::function<int()> uiLanguage;
  std::function<void(int)> applyInterfaceLanguage;
};

// What the rows of the settings table work on: the dialog's controls and the
// values in force.
struct TSettingsBinding {
  Ui::TSettings& form;
  TSettingsInForce inForce;
};

// A setting's value: a number (integers, Booleans as 0 or 1, shortcut codes,
// pair indexes) or a text.
struct TSettingValue {
  int number = 0;
  std::string text;
};

// How a key is stored.
enum class TSettingType {
  Boolean,   // 1 or 0; any other integer reads as true
  Integer,   // decimal; a range maps what lies outside it
  ShortCut,  // a shortcut code; only the low 16 bits are read
  Text,      // as it is; a value the file cannot hold is not written
  Password,  // scrambled, so any bytes
};

// Where a save takes the value from.
enum class TSavedFrom {
  Never,    // read only
  Control,  // as the dialog's control shows it, applied or not
  InForce,  // as last applied
};

// What Cancel does to the control.
enum class TOnCancel {
  Keep,       // the control keeps what the user made of it
  FromFile,   // read back from the file, with the row's cancel default
  FromForce,  // the value in force shown again
};

// Which value the one in force takes at load.
enum class TLoadInForce {
  FileValue,     // the file's value as read
  ControlValue,  // the value as the control holds it (a shortcut field keeps
                 // only the keys and modifiers a shortcut has)
};

// An integer's range: a value outside low..high reads as `outside`. A row
// without a range has low > high.
struct TSettingRange {
  int low = 1;
  int high = 0;
  int outside = 0;
};

// How a row reaches its control or its value in force; either may be empty.
struct TSettingAccess {
  TSettingValue (*get)(const TSettingsBinding&) = nullptr;
  void (*set)(TSettingsBinding&, const TSettingValue&) = nullptr;
};

// One key of the settings file as the main form keeps it.
struct TSettingRow {
  const char* section;
  const char* key;
  TSettingType type;
  int defaultValue;  // when the key is missing at load; text rows: empty text
  TSettingRange range;
  TSettingAccess control;  // the control of the dialog it feeds
  TSettingAccess inForce;  // the value in force, where one is held apart
  TLoadInForce loadInForce;
  TSavedFrom saved;
  TOnCancel cancel;
  int cancelDefault;   // TOnCancel::FromFile: the default Cancel reads with
  bool beforeWindows;  // loaded before the windows of the start-up type open
};

// Every key of the main form, in the order a save writes them (which is the
// order of the keys in a file the program creates).
std::span<const TSettingRow> SettingRows();

// Loads the rows loaded before the start-up windows open (first), or the rest:
// each value into its control, and into the value in force where one is held.
void LoadSettingRows(const TIniFile& ini, TSettingsBinding& binding, bool beforeWindows);
// Writes every row that a save writes.
void SaveSettingRows(TIniFile::Batch& ini, const TSettingsBinding& binding);
// What Cancel does to each row's control.
void RevertSettingRows(const TIniFile& ini, TSettingsBinding& binding);

}  // namespace parlumo
