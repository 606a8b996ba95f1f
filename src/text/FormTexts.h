#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace parlumo {

// One text of the settings form: the control it belongs to, which of its texts
// (kCaptionItem for the control's own caption or text, 0..n for an item of a
// drop-down list) and the text itself, UTF-8 with "&" marking an accelerator.
struct TFormText {
  std::string control;
  int item;
  std::string text;
};

inline constexpr int kCaptionItem = -1;

// The control name under which the form's own caption appears.
inline constexpr std::string_view kSettingsFormName = "TSettings";

// The interface-language list: each language named in itself, the same in every
// interface language; item i is interface language i. The list is filled once from
// kInterfaceLanguageList, its items one a line.
inline constexpr std::array<std::string_view, 2> kInterfaceLanguageNames = {"English", "Deutsch"};
inline constexpr std::string_view kInterfaceLanguageList = "English\nDeutsch";

// Every text of the settings form and its tray menu in the given interface language,
// in the order in which applying the language sets them: the form caption, the buttons,
// the menu items, pages, groups, labels, check boxes and radio buttons, the items of
// cbStartupType (0-3) and cbOnTrayIcon (0-2) where their lists stand, then the items
// 0-11 of cbQuickLang1, cbQuickLang2 and cbTransToFileLang (the pair names) and the
// three pair labels. Language 1 is German; every other language gives English.
std::vector<TFormText> SettingsFormTexts(int language);

}  // namespace parlumo
