#pragma once

#include <string>
#include <string_view>

namespace parlumo {

// The interface languages. Every other value of the interface language means English.
inline constexpr int kUILanguageEnglish = 0;
inline constexpr int kUILanguageGerman = 1;

// What a lookup of a key that neither table holds gives, in every language.
inline constexpr std::string_view kNoTranslationResource = "No translation resource found";

// The fixed build date shown in the version line (key 302).
inline constexpr std::string_view kBuildDate = "08.01.2008";

// The user-interface text with the given key, UTF-8. Language 1 looks in the German
// table and falls back to the English text for a key German lacks; any other
// language looks in the English table. An unknown key gives kNoTranslationResource.
// The texts of keys 800 and 801 hold "%1" where the caller puts a size.
// Key 302, the version line of the information window, is composed at each call from
// the compiled-in version: "Parlumo", a line break, then for example
// "Version 2.5 (Build 41) builded on 08.01.2008" (German: ") vom " for ") builded on ").
std::string LanguageText(int language, int key);

}  // namespace parlumo
