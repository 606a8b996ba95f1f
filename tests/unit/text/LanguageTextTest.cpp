#include "text/LanguageText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "TextChecks.h"
#include "runtime/Version.h"

namespace parlumo {
namespace {

using textcheck::Accelerators;
using textcheck::ExpectDistinctAccelerators;
using textcheck::IsValidUtf8;

constexpr int kEnglish = 0;
constexpr int kGerman = 1;
const std::string kNoResource = "No translation resource found";

// Every key of the tables; 303 does not exist.
std::vector<int> AllKeys() {
  std::vector<int> keys;
  auto range = [&keys](int first, int last) {
    for (int key = first; key <= last; ++key)
      keys.push_back(key);
  };
  range(100, 113);
  range(200, 206);
  range(300, 302);
  range(304, 309);
  range(500, 511);
  range(600, 629);
  range(700, 703);
  range(800, 801);
  keys.push_back(900);
  return keys;
}

// The keys whose text is the same in English and German.
const std::set<int> kSameInBothLanguages = {301 /* "OK" */};

TEST(LanguageTextTest, UnknownKeysGiveTheEnglishNoticeInEveryLanguage) {
  for (int language : {kEnglish, kGerman, 2, -1}) {
    for (int key : {123, 303, 0, -1, 99, 114, 207, 310, 499, 512, 630, 704, 802, 901, 1000}) {
      EXPECT_EQ(LanguageText(language, key), kNoResource)
          << "language " << language << ", key " << key;
    }
  }
}

TEST(LanguageTextTest, LanguagesOtherThanGermanGiveEnglish) {
  ASSERT_NE(LanguageText(kEnglish, 100), LanguageText(kGerman, 100));
  for (int language : {2, -1, 1000}) {
    for (int key : AllKeys()) {
      EXPECT_EQ(LanguageText(language, key), LanguageText(kEnglish, key))
          << "language " << language << ", key " << key;
    }
  }
}

TEST(LanguageTextTest, GermanTableIsComplete) {
  for (int key : AllKeys()) {
    const std::string english = LanguageText(kEnglish, key);
    const std::string german = LanguageText(kGerman, key);
    EXPECT_NE(english, kNoResource) << key;
    EXPECT_FALSE(english.empty()) << key;
    EXPECT_NE(german, kNoResource) << key;
    EXPECT_FALSE(german.empty()) << key;
    if (kSameInBothLanguages.count(key) != 0) {
      EXPECT_EQ(german, english) << key;
    } else {
      EXPECT_NE(german, english) << key << " has no German text of its own";
    }
  }
}

struct TGivenText {
  int language;
  int key;
  std::string text;
};

// The texts as the program has always shown them, typos included.
const TGivenText kGivenTexts[] = {
    {kEnglish, 100, "Text translation"},
    {kEnglish, 101,
     "Enter the text, which you would have translated. You can also paste it from clipboard or "
     "load from a file. Then press the translate button."},
    {kEnglish, 102, "&Load from file"},
    {kEnglish, 103, "&Paste from clipboard"},
    {kEnglish, 104, "Enter the text here..."},
    {kEnglish, 105, "Language &selection:"},
    {kEnglish, 106, "&Translate"},
    {kEnglish, 107, "Here you will find the translated text..."},
    {kEnglish, 108, "&Save to file"},
    {kEnglish, 109, "&Copy to clipboard"},
    {kEnglish, 110, "Clo&se"},
    {kEnglish, 111, "Load file to translate"},
    {kEnglish, 112, "Text files (*.txt)|*.txt|Rich Text Format (*.rtf)|*.rtf|All files (*.*)|*.*"},
    {kEnglish, 113, "Save translated file"},
    {kEnglish, 200, "Website translation"},
    {kEnglish, 201,
     "Here you can translate a whole website. But note, that images could not be translated."},
    {kEnglish, 202, "URL of the website to translate:"},
    {kEnglish, 203, "Translate"},
    {kEnglish, 204, "Close"},
    {kEnglish, 205, "Language selection:"},
    {kEnglish, 206, "Close this window automatically after translation"},
    {kEnglish, 300, "Program information"},
    {kEnglish, 301, "OK"},
    {kEnglish, 304,
     "This program sends only the text to translate and the chosen language pair to the "
     "configured translation service, by default the local offline service on this computer. "
     "No personal information will be transferred or evaluated."},
    {kEnglish, 305, "Show more about the sent information"},
    {kEnglish, 306,
     "The translation service's own pages list the language pairs it offers and the "
     "translation engines it uses."},
    {kEnglish, 307, "Visit the translation service's website"},
    {kEnglish, 308, "Get more information about the language tools"},
    {kEnglish, 309, "Visit the Parlumo website"},
    {kEnglish, 600,
     "You have not entered any URL. Please type an URL into the URL field an try again."},
    {kEnglish, 601, "No URL entered"},
    {kEnglish, 602,
     "You have not entered any text to translate. Please enter some text or load it from file or "
     "from the clipboard."},
    {kEnglish, 603, "No text entered"},
    {kEnglish, 604,
     "Could not connect to server. Possibly you are not connected to the internet or the server "
     "is currently overloaded. Please try it later again."},
    {kEnglish, 605, "No connection to server"},
    {kEnglish, 606,
     "The server supplied data in an unsupported format.\n\nDo you want to go to the program "
     "vendors website to look for an update?"},
    {kEnglish, 607, "Unknown dataformat from server"},
    {kEnglish, 608, "The text could not be translated. Please check your language settings."},
    {kEnglish, 609, "Text could not be translated"},
    {kEnglish, 610,
     "The currently marked data is not in text format (e.g. image) or there is no marked data."},
    {kEnglish, 611, "Translation not possible"},
    {kEnglish, 612, "The translation was copied to the clipboard."},
    {kEnglish, 613, "Translation copied to clipboard"},
    {kEnglish, 614, "The inquiry is sent to the server..."},
    {kEnglish, 615, "Inquiry sent..."},
    {kEnglish, 616,
     "There was no Filename set for saving the translated data. Please set a filename."},
    {kEnglish, 617, "No filename set"},
    {kEnglish, 618,
     "There was no program for opening the file set. Please set a program or use the option to "
     "open the associated file."},
    {kEnglish, 619, "No program set"},
    {kEnglish, 700, "Save translated file as..."},
    {kEnglish, 701, "Text files (*.txt)|*.txt|Richtext files (*.rtf)|*.rtf|All files (*.*)|*.*"},
    {kEnglish, 702, "Choose program"},
    {kEnglish, 703, "Programs|*.exe;*.bat;*.pif;*.cmd;*.com|All files (*.*)|*.*"},
    {kEnglish, 900, "Translation"},
    {kGerman, 100, "Textübersetzung"},
    {kGerman, 104, "Geben Sie den Text hier ein..."},
    {kGerman, 106, "Ü&bersetzen"},
    {kGerman, 107, "Hier finden Sie den übersetzten Text..."},
    {kGerman, 301, "OK"},
    {kGerman, 603, "Kein Text eingegeben"},
    {kGerman, 605, "Keine Verbindung zum Server"},
    {kGerman, 607, "Unbekanntes Datenformat vom Server"},
    {kGerman, 609, "Text konnte nicht übersetzt werden"},
    {kGerman, 614, "Die Anfrage wird nun an den Server gesendet..."},
    {kGerman, 620, "Die Datei besteht bereits. Möchten Sie die Datei überschreiben?"},
    {kGerman, 621, "Datei existiert bereits"},
    {kGerman, 622,
     "Auf die Datei kann nicht zugegriffen werden. Prüfen Sie den Dateinamen und ob die Datei "
     "eventuell schreibgeschützt ist."},
    {kGerman, 623, "Kein Dateizugriff"},
    {kGerman, 900, "Übersetzung"},
    // The umlauts and "»" as UTF-8 bytes, independent of how this file is read.
    {kGerman, 100,
     "Text\xC3\xBC"
     "bersetzung"},
    {kEnglish, 500, "English \xC2\xBB German"},
};

TEST(LanguageTextTest, GivenTexts) {
  for (const TGivenText& given : kGivenTexts) {
    EXPECT_EQ(LanguageText(given.language, given.key), given.text)
        << "language " << given.language << ", key " << given.key;
  }
}

TEST(LanguageTextTest, PairNamesInBothLanguages) {
  for (int index = 0; index < 12; ++index) {
    EXPECT_EQ(LanguageText(kEnglish, 500 + index), textcheck::kPairNamesEnglish[index]) << index;
    EXPECT_EQ(LanguageText(kGerman, 500 + index), textcheck::kPairNamesGerman[index]) << index;
  }
}

// The English of 620-623 says what the German says.
TEST(LanguageTextTest, FileMessagesInEnglish) {
  EXPECT_EQ(LanguageText(kEnglish, 620),
            "The file already exists. Do you want to overwrite the file?");
  EXPECT_EQ(LanguageText(kEnglish, 621), "File already exists");
  EXPECT_EQ(LanguageText(kEnglish, 622),
            "The file cannot be accessed. Check the file name and whether the file may be "
            "write-protected.");
  EXPECT_EQ(LanguageText(kEnglish, 623), "No file access");
}

TEST(LanguageTextTest, VersionLineFromTheCompiledInVersion) {
  // The expected lines are those of file version 2.5.0.41.
  ASSERT_EQ(kVersionMajor, 2);
  ASSERT_EQ(kVersionMinor, 5);
  ASSERT_EQ(kVersionBuild, 41);
  EXPECT_EQ(LanguageText(kEnglish, 302), "Parlumo\nVersion 2.5 (Build 41) builded on 08.01.2008");
  EXPECT_EQ(LanguageText(kGerman, 302), "Parlumo\nVersion 2.5 (Build 41) vom 08.01.2008");
  EXPECT_EQ(LanguageText(2, 302), LanguageText(kEnglish, 302));
  EXPECT_EQ(LanguageText(-1, 302), LanguageText(kEnglish, 302));
}

TEST(LanguageTextTest, EveryTextIsValidUtf8WithPlainLineBreaks) {
  for (int language : {kEnglish, kGerman}) {
    for (int key : AllKeys()) {
      const std::string text = LanguageText(language, key);
      EXPECT_TRUE(IsValidUtf8(text)) << "language " << language << ", key " << key;
      EXPECT_EQ(text.find('\r'), std::string::npos) << "language " << language << ", key " << key;
      EXPECT_EQ(text.find('\0'), std::string::npos) << "language " << language << ", key " << key;
    }
  }
}

// German keeps an accelerator exactly where English has one.
TEST(LanguageTextTest, GermanMarksAnAcceleratorWhereEnglishDoes) {
  for (int key : AllKeys()) {
    EXPECT_EQ(Accelerators(LanguageText(kGerman, key)).size(),
              Accelerators(LanguageText(kEnglish, key)).size())
        << key;
  }
}

// The buttons and the pair label of the text translation window. The English set marks
// "s" twice ("&Save to file", "Clo&se", "Language &selection:"); those texts are kept as
// they always were, so only German is held to distinct letters.
TEST(LanguageTextTest, GermanTextWindowAcceleratorsAreDistinct) {
  std::vector<std::string> captions;
  for (int key : {102, 103, 105, 106, 108, 109, 110})
    captions.push_back(LanguageText(kGerman, key));
  ExpectDistinctAccelerators(captions, "text translation window");
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1) {
    parts.push_back(text.substr(start, end - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

// A dialog filter alternates description and pattern; German changes the descriptions
// only.
TEST(LanguageTextTest, GermanDialogFiltersKeepThePatterns) {
  for (int key : {112, 701, 703}) {
    const std::vector<std::string> english = Split(LanguageText(kEnglish, key), '|');
    const std::vector<std::string> german = Split(LanguageText(kGerman, key), '|');
    ASSERT_EQ(english.size() % 2, 0u) << key;
    ASSERT_EQ(german.size(), english.size()) << key;
    for (size_t i = 0; i < english.size(); ++i) {
      if (i % 2 == 1) {
        EXPECT_EQ(german[i], english[i]) << key << " pattern " << i;
      }
      EXPECT_FALSE(german[i].empty()) << key << " part " << i;
    }
  }
}

}  // namespace
}  // namespace parlumo
