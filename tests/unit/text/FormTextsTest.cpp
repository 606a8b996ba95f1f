#include "text/FormTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "TextChecks.h"

namespace parlumo {
namespace {

using textcheck::Accelerators;
using textcheck::ExpectDistinctAccelerators;
using textcheck::IsValidUtf8;

constexpr int kEnglish = 0;
constexpr int kGerman = 1;
constexpr int kCaption = -1;
const std::string kForm = "TSettings";

struct TExpected {
  std::string control;
  int item;
  std::string text;
};

// The settings form's English texts in the order they are applied.
std::vector<TExpected> EnglishSettingsTexts() {
  std::vector<TExpected> texts = {
      {kForm, kCaption, "Settings"},
      {"btnOK", kCaption, "OK"},
      {"btnCancel", kCaption, "Cancel"},
      {"btnApply", kCaption, "&Apply"},
      {"miClose", kCaption, "&Close"},
      {"miSettings", kCaption, "&Settings"},
      {"tabCommon", kCaption, "General"},
      {"gbProgramLanguage", kCaption, " Program Language "},
      {"laProgramLanguageInfo", kCaption, "Here you can configure the programs language."},
      {"laProgramLanguage", kCaption, "&Language:"},
      {"gbStartupType", kCaption, " Startup Settings "},
      {"laStartupTypeInfo", kCaption, "Here you can change the programs startup settings."},
      {"laStartupType", kCaption, "On startup do:"},
      {"cbStartupOnWindows", kCaption, "Start this program when I log in"},
      {"cbStartupType", 0, "Only show trayicon"},
      {"cbStartupType", 1, "Show translation dialog"},
      {"cbStartupType", 2, "Show website translation"},
      {"cbStartupType", 3, "Show programs settings"},
      {"gbTrayIcon", kCaption, " Trayicon Settings "},
      {"laTrayIconInfo", kCaption,
       "Here you can change the system trayicon (near the clock) settings."},
      {"laOnTrayIcon", kCaption, "On double-click:"},
      {"cbOnTrayIcon", 0, "Show settings"},
      {"cbOnTrayIcon", 1, "Show text translation"},
      {"cbOnTrayIcon", 2, "Show website translation"},
      {"miTranslation", kCaption, "Translate text"},
      {"miWebsiteTranslation", kCaption, "Translate website"},
      {"miHelp", kCaption, "Help"},
      {"miCallHelp", kCaption, "Help"},
      {"miInfo", kCaption, "Info"},
      {"miSearchForUpdate", kCaption, "Check for update"},
      {"tabInternet", kCaption, "Internet"},
      {"gbProxyServer", kCaption, " Proxyserver Settings "},
      {"laProxyServerInfo", kCaption,
       "Here you can set up a proxy server i you don't have a direct connection to the internet."},
      {"laProxyServer", kCaption, "Server name or IP:"},
      {"laProxyPort", kCaption, "Server port:"},
      {"laProxyUsername", kCaption, "Username for proxy:"},
      {"laProxyPassword", kCaption, "Password for proxy:"},
      {"tabQuickTranslation", kCaption, "Quick Translation"},
      {"gbHotkeys", kCaption, " Hotkeys "},
      {"laHotkeysInfo", kCaption,
       "Here you can define hotkeys for the quick translation feature which translates the "
       "currently marked text."},
      {"cbQuickTranslation1", kCaption, "Quick translation Hotkey 1:"},
      {"cbQuickTranslation2", kCaption, "Quick translation Hotkey 2:"},
      {"laQuickCommandsNote", kCaption,
       "This desktop lets no program grab hotkeys. Bind these commands in its keyboard "
       "settings:"},
      {"gbAdditionalSettings", kCaption, " Additional settings "},
      {"laAdditionalInfo", kCaption,
       "Here you can set up additional settings for the quick translation feature."},
      {"cbTranslationMsgBox", kCaption, "Show translated text as message box"},
      {"cbShowBalloonHint", kCaption, "Use balloon hint if possible"},
      {"cbCopyToClipboard", kCaption, "Copy translated text to clipboard"},
      {"cbNotifyBalloonHint", kCaption, "Notification with balloon hint when inquiry sent"},
      {"tabTranslateToFile", kCaption, "Translation to File"},
      {"gbTranslateToFile", kCaption, " Translation to File "},
      {"laTranslateToFileInfo", kCaption,
       "You can set a shortcut to translate the currently selected text. It will be written to a "
       "file, which will be opened then."},
      {"cbTransToFileActive", kCaption, "Hotkey:"},
      {"laFileCommandNote", kCaption,
       "This desktop lets no program grab hotkeys. Bind this command in its keyboard settings:"},
      {"laFilenameToSave", kCaption, "Save file as:"},
      {"cbOverwritewoPrompt", kCaption, "Overwrite file without prompt"},
      {"rbStartAssocProgram", kCaption, "Start associated program"},
      {"rbStartThisProgram", kCaption, "Start this program:"},
      {"btnSearchFile", kCaption, "Browse"},
      {"btnSearchProg", kCaption, "Browse"},
  };
  for (const char* list : {"cbQuickLang1", "cbQuickLang2", "cbTransToFileLang"}) {
    for (int pair = 0; pair < 12; ++pair) {
      texts.push_back({list, pair, std::string(textcheck::kPairNamesEnglish[pair])});
    }
  }
  for (const char* label : {"laLang1Selection", "laLang2Selection", "laLangTransToFile"}) {
    texts.push_back({label, kCaption, "Language &selection:"});
  }
  return texts;
}

// Texts that read the same in both languages.
const std::set<std::string> kSameInBothLanguages = {"btnOK", "miInfo", "tabInternet", "gbHotkeys",
                                                    "cbTransToFileActive"};

const TFormText* Find(const std::vector<TFormText>& texts, const std::string& control,
                      int item = kCaption) {
  auto it = std::find_if(texts.begin(), texts.end(), [&](const TFormText& text) {
    return text.control == control && text.item == item;
  });
  return it == texts.end() ? nullptr : &*it;
}

TEST(SettingsFormTextsTest, EnglishTextsInOrder) {
  const std::vector<TExpected> expected = EnglishSettingsTexts();
  const std::vector<TFormText> texts = SettingsFormTexts(kEnglish);
  ASSERT_EQ(texts.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(texts[i].control, expected[i].control) << i;
    EXPECT_EQ(texts[i].item, expected[i].item) << i << " " << expected[i].control;
    EXPECT_EQ(texts[i].text, expected[i].text) << i << " " << expected[i].control;
  }
}

TEST(SettingsFormTextsTest, GermanCoversTheSameControlsInTheSameOrder) {
  const std::vector<TExpected> expected = EnglishSettingsTexts();
  const std::vector<TFormText> texts = SettingsFormTexts(kGerman);
  ASSERT_EQ(texts.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(texts[i].control, expected[i].control) << i;
    EXPECT_EQ(texts[i].item, expected[i].item) << i << " " << expected[i].control;
    EXPECT_FALSE(texts[i].text.empty()) << expected[i].control;
    if (kSameInBothLanguages.count(expected[i].control) != 0) {
      EXPECT_EQ(texts[i].text, expected[i].text) << expected[i].control;
    } else {
      EXPECT_NE(texts[i].text, expected[i].text)
          << expected[i].control << " item " << expected[i].item << " has no German text";
    }
  }
}

TEST(SettingsFormTextsTest, GivenGermanTexts) {
  const std::vector<TFormText> texts = SettingsFormTexts(kGerman);
  const std::vector<TExpected> given = {
      {kForm, kCaption, "Einstellungen"},
      {"btnOK", kCaption, "OK"},
      {"btnCancel", kCaption, "Abbrechen"},
      {"btnApply", kCaption, "Ü&bernehmen"},
      {"miClose", kCaption, "&Beenden"},
      {"miInfo", kCaption, "Info"},
      {"tabInternet", kCaption, "Internet"},
      {"gbHotkeys", kCaption, " Hotkeys "},
      {"cbTransToFileActive", kCaption, "Hotkey:"},
      {"laQuickCommandsNote", kCaption,
       "Diese Arbeitsumgebung lässt Programme keine Tastenkürzel belegen. Legen Sie diese Befehle "
       "in ihren Tastatureinstellungen auf Tastenkürzel:"},
      {"laFileCommandNote", kCaption,
       "Diese Arbeitsumgebung lässt Programme keine Tastenkürzel belegen. Legen Sie diesen Befehl "
       "in ihren Tastatureinstellungen auf ein Tastenkürzel:"},
  };
  for (const TExpected& text : given) {
    const TFormText* found = Find(texts, text.control, text.item);
    ASSERT_NE(found, nullptr) << text.control;
    EXPECT_EQ(found->text, text.text) << text.control;
  }
  for (const char* list : {"cbQuickLang1", "cbQuickLang2", "cbTransToFileLang"}) {
    for (int pair = 0; pair < 12; ++pair) {
      const TFormText* found = Find(texts, list, pair);
      ASSERT_NE(found, nullptr) << list << " " << pair;
      EXPECT_EQ(found->text, textcheck::kPairNamesGerman[pair]) << list << " " << pair;
    }
  }
}

// Each list item has its own text in both languages, and the German pair label is the
// one of the text translation window.
TEST(SettingsFormTextsTest, DropDownItemsAndPairLabels) {
  struct TList {
    const char* control;
    int count;
  };
  for (int language : {kEnglish, kGerman}) {
    const std::vector<TFormText> texts = SettingsFormTexts(language);
    for (const TList& list : {TList{"cbStartupType", 4}, TList{"cbOnTrayIcon", 3}}) {
      std::set<std::string> items;
      for (int item = 0; item < list.count; ++item) {
        const TFormText* found = Find(texts, list.control, item);
        ASSERT_NE(found, nullptr) << list.control << " " << item;
        EXPECT_TRUE(items.insert(found->text).second) << list.control << " " << item;
      }
      EXPECT_EQ(Find(texts, list.control, list.count), nullptr) << list.control;
      EXPECT_EQ(Find(texts, list.control, kCaption), nullptr) << list.control;
    }
  }
  const std::vector<TFormText> german = SettingsFormTexts(kGerman);
  for (const char* label : {"laLang1Selection", "laLang2Selection", "laLangTransToFile"}) {
    const TFormText* found = Find(german, label);
    ASSERT_NE(found, nullptr) << label;
    EXPECT_EQ(found->text, "Sprach&auswahl:") << label;
  }
}

TEST(SettingsFormTextsTest, OtherLanguagesGiveEnglish) {
  const std::vector<TFormText> english = SettingsFormTexts(kEnglish);
  for (int language : {2, -1}) {
    const std::vector<TFormText> texts = SettingsFormTexts(language);
    ASSERT_EQ(texts.size(), english.size()) << language;
    for (size_t i = 0; i < texts.size(); ++i) {
      EXPECT_EQ(texts[i].control, english[i].control) << language << " " << i;
      EXPECT_EQ(texts[i].item, english[i].item) << language << " " << i;
      EXPECT_EQ(texts[i].text, english[i].text) << language << " " << i;
    }
  }
}

// A group box's caption keeps a blank on both sides in every language.
TEST(SettingsFormTextsTest, GroupBoxCaptionsKeepTheirBlanks) {
  for (int language : {kEnglish, kGerman}) {
    for (const TFormText& text : SettingsFormTexts(language)) {
      if (text.control.rfind("gb", 0) != 0) continue;
      ASSERT_GE(text.text.size(), 3u) << text.control;
      EXPECT_EQ(text.text.front(), ' ') << language << " " << text.control;
      EXPECT_EQ(text.text.back(), ' ') << language << " " << text.control;
      EXPECT_NE(text.text[1], ' ') << language << " " << text.control;
      EXPECT_NE(text.text[text.text.size() - 2], ' ') << language << " " << text.control;
    }
  }
}

TEST(SettingsFormTextsTest, EveryTextIsValidUtf8) {
  for (int language : {kEnglish, kGerman}) {
    for (const TFormText& text : SettingsFormTexts(language)) {
      EXPECT_TRUE(IsValidUtf8(text.text)) << language << " " << text.control;
      EXPECT_EQ(text.text.find_first_of("\r\n"), std::string::npos)
          << language << " " << text.control;
    }
  }
}

std::vector<std::string> Captions(const std::vector<TFormText>& texts,
                                  const std::vector<std::string>& controls) {
  std::vector<std::string> captions;
  for (const std::string& control : controls) {
    const TFormText* found = Find(texts, control);
    if (found != nullptr) captions.push_back(found->text);
  }
  return captions;
}

// Within what is visible at once -- one page with the dialog's buttons, or the tray
// menu -- no two texts share an accelerator letter; German marks one wherever English
// does.
TEST(SettingsFormTextsTest, AcceleratorsPerWindow) {
  const std::vector<std::string> buttons = {
      "btnOK",       "btnCancel",           "btnApply",          "tabCommon",
      "tabInternet", "tabQuickTranslation", "tabTranslateToFile"};
  struct TWindow {
    std::string name;
    std::vector<std::string> controls;
  };
  const std::vector<TWindow> windows = {
      {"page General",
       {"gbProgramLanguage", "laProgramLanguageInfo", "laProgramLanguage", "gbStartupType",
        "laStartupTypeInfo", "laStartupType", "cbStartupOnWindows", "gbTrayIcon", "laTrayIconInfo",
        "laOnTrayIcon"}},
      {"page Internet",
       {"gbProxyServer", "laProxyServerInfo", "laProxyServer", "laProxyPort", "laProxyUsername",
        "laProxyPassword"}},
      {"page Quick Translation",
       {"gbHotkeys", "laHotkeysInfo", "cbQuickTranslation1", "laLang1Selection",
        "cbQuickTranslation2", "laLang2Selection", "laQuickCommandsNote", "gbAdditionalSettings",
        "laAdditionalInfo", "cbTranslationMsgBox", "cbShowBalloonHint", "cbCopyToClipboard",
        "cbNotifyBalloonHint"}},
      {"page Translation to File",
       {"gbTranslateToFile", "laTranslateToFileInfo", "cbTransToFileActive", "laLangTransToFile",
        "laFileCommandNote", "laFilenameToSave", "btnSearchFile", "cbOverwritewoPrompt",
        "rbStartAssocProgram", "rbStartThisProgram", "btnSearchProg"}},
      {"tray menu", {"miTranslation", "miWebsiteTranslation", "miHelp", "miSettings", "miClose"}},
      {"help submenu", {"miCallHelp", "miInfo", "miSearchForUpdate"}},
  };
  for (int language : {kEnglish, kGerman}) {
    const std::vector<TFormText> texts = SettingsFormTexts(language);
    for (TWindow window : windows) {
      if (window.name.rfind("page", 0) == 0) {
        window.controls.insert(window.controls.end(), buttons.begin(), buttons.end());
      }
      const std::vector<std::string> captions = Captions(texts, window.controls);
      ASSERT_EQ(captions.size(), window.controls.size()) << window.name;
      ExpectDistinctAccelerators(captions,
                                 window.name + " in language " + std::to_string(language));
    }
  }
  const std::vector<TFormText> english = SettingsFormTexts(kEnglish);
  const std::vector<TFormText> german = SettingsFormTexts(kGerman);
  ASSERT_EQ(german.size(), english.size());
  for (size_t i = 0; i < english.size(); ++i) {
    EXPECT_EQ(Accelerators(german[i].text).size(), Accelerators(english[i].text).size())
        << english[i].control;
  }
}

TEST(SettingsFormTextsTest, InterfaceLanguageList) {
  EXPECT_EQ(kInterfaceLanguageList, "English\nDeutsch");
  ASSERT_EQ(kInterfaceLanguageNames.size(), 2u);
  EXPECT_EQ(kInterfaceLanguageNames[0], "English");
  EXPECT_EQ(kInterfaceLanguageNames[1], "Deutsch");
}

}  // namespace
}  // namespace parlumo
