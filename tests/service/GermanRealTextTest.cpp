// What the German engine does for real text beyond its grammar: what is not language
// stays as it is, names stay names, unknown compounds are translated from their parts,
// and senses learnt from real text take precedence over the dictionary's order. On a
// small dictionary in the ding format.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "DictionaryEngine.h"
#include "LearntSenses.h"
#include "Verbatim.h"

namespace parlumo::service {
namespace {

constexpr std::string_view kDictionary =
    "# Version :: test\n"
    "Reihe {f} [mil.] :: file\n"
    "Computerdatei {f}; Datei {f} | Computerdateien {pl}; Dateien {pl} :: computer file; file | "
    "computer files; files\n"
    "Feile {f} :: file\n"
    "Vorgabe {f}; Standard {m} :: default\n"
    "Übersetzung {f} | Übersetzungen {pl} :: translation | translations\n"
    "Bereich {m} | Bereiche {pl} :: area | areas\n"
    "Ausgabe {f} :: output\n"
    "Format {n} :: format\n"
    "Name {m} | Namen {pl} :: name | names\n"
    "Dateiname {m} | Dateinamen {pl} :: filename | filenames\n"
    "Rechner {m} :: computer\n"
    "System {n} | Systeme {pl} :: system | systems\n"
    "Routine {f} :: routine\n"
    "Amen {n} :: amen\n"
    "namens {adv} :: by the name of\n"
    "Seitenzahl {f} :: pagenumber\n"
    "nummerieren {vt} :: to number\n"
    "junges Känguru {n} :: joey\n"
    "Deutsch {n} :: German\n"

    "Bahnhof {m} :: station\n"
    "Gruppe {f} :: group\n"
    "allgemein {adj} :: general\n"
    "öffentlich {adj} :: public\n"
    "Lizenz {f} :: license\n"
    "Gruppe {f} (Musik) :: group; band\n"
    "Gruppe {f} (Leute) :: group\n"
    "Gruppe {f} (Tiere) :: group\n"
    "Gruppe {f} (Zahlen) :: group\n"
    "und :: and\n"
    "von :: by\n"
    "Seite {f} :: page\n"
    "Webseite {f} :: web page\n"
    "Farbe {f} :: color\n"
    "Profil {n} :: profile\n"
    "Sprache {f} :: language\n"
    "sprach :: quoth\n"
    "müssen {vi} :: to need\n"
    "brauchen {vt} :: to need\n"
    "Mangel {m} :: need\n"
    "Bedarf {m} :: need\n"
    "Auswahl {f} :: choice\n"
    "Auswahl {f}; Angebot {n} an etw. :: selection of sth. (range of things)\n"
    "Ebene {f}; Niveau {n} | Ebenen {pl}; Niveaus {pl} :: level | levels\n"
    "Ebene {f} [math.] :: plane\n"
    "Symbol {n} | Symbole {pl} :: symbol | symbols\n"
    "eben {adj} :: flat\n";

const Dictionary& TestDictionary(const LearntSenses* senses) {
  std::istringstream in{std::string(kDictionary)};
  static std::unique_ptr<Dictionary> cached[2];
  auto& slot = cached[senses != nullptr ? 1 : 0];
  if (!slot) {
    auto loaded = Dictionary::Load(in, nullptr, senses);
    EXPECT_TRUE(loaded);
    slot = std::make_unique<Dictionary>(std::move(*loaded));
  }
  return *slot;
}

const LearntSenses& TestSenses() {
  static const LearntSenses senses = LearntSenses::Parse(
      "# comment\n"
      "en\tfile\tDatei\n"
      "en\tdefault\tStandard\n"
      "de\tdatei\tfile\n"
      "en\tstation\tGleis\n"  // not offered by the dictionary: no effect
      "en\tneed\tBedarf\n"
      "en\tto need\tbrauchen\n"   // the verb's own sense, apart from the noun's
      "de\tauswahl\tselection\n"  // offered as "selection of sth."
      "broken row\n"
      "xx\tfile\tFeile\n"  // no such side
      "de\tebene\tlayer\tunlisted\n"
      "de\tebenen\tlayers\tunlisted\n"
      "de\tniveau\tlayer\n"          // not unlisted: the dictionary does not offer it
      "de\teben\tlevel\tunlisted\n"  // no noun: stays
      "de\tsymbol\ticon\tmaybe\n");  // an unknown mark: the row is skipped
  return senses;
}

TEST(VerbatimTest, FindsWhatIsNotLanguage) {
  using K = VerbatimKind;
  const struct {
    std::string_view text;
    std::size_t at;
    K kind;
    std::string_view token;
  } cases[] = {
      {"see https://example.org/a?b=1.", 4, K::Url, "https://example.org/a?b=1"},
      {"(www.debian.org)", 1, K::Url, "www.debian.org"},
      {"mail joey@example.org, please", 5, K::Email, "joey@example.org"},
      {"in <tt>/etc/group</tt>", 7, K::Path, "/etc/group"},
      {"die \"/etc/hosts\"-Datei", 5, K::Path, "/etc/hosts"},
      {"edit ~/.config/parlumo.", 5, K::Path, "~/.config/parlumo"},
      {"run ./configure now", 4, K::Path, "./configure"},
      {"use --force or -r.", 4, K::Option, "--force"},
      {"use --force or -r.", 15, K::Option, "-r"},
      {"run --prefix=/usr/local.", 4, K::Option, "--prefix=/usr/local"},
      {"the max_time value", 4, K::Identifier, "max_time"},
      {"in LibreOffice Calc", 3, K::Identifier, "LibreOffice"},
      {"open file.txt.", 5, K::Identifier, "file.txt"},
      {"on x86 and UTF-8", 3, K::Identifier, "x86"},
      {"on x86 and UTF-8", 11, K::Identifier, "UTF-8"},
      {"an x86-64 build", 3, K::Identifier, "x86-64"},
      // A hyphenated word with a word in it is language.
      {"the 24-hour clock", 4, K::None, ""},
      {"ein MP3-Player", 4, K::None, ""},
      {"version 2.10.34 is out", 8, K::Version, "2.10.34"},
      {"GNU General Public License", 0, K::Acronym, "GNU"},
      {"Boston, MA 02110", 8, K::Acronym, "MA"},
      // Language: words, abbreviations, a dash, a lone slash, numbers, a capital.
      {"the house", 4, K::None, ""},
      {"e.g. this", 0, K::None, ""},
      {"a - b", 2, K::None, ""},
      {"and/or", 0, K::None, ""},
      {"I am", 0, K::None, ""},
      {"in 2001", 3, K::None, ""},
      {"Häuser", 0, K::None, ""},
      // Not at a token's start: inside a word.
      {"abc_def", 2, K::None, ""},
  };
  for (const auto& c : cases) {
    const Verbatim found = FindVerbatim(c.text, c.at);
    EXPECT_EQ(found.kind, c.kind) << c.text << " at " << c.at;
    EXPECT_EQ(c.text.substr(c.at, found.length), c.token) << c.text;
  }
  // Text in capitals throughout has no acronyms.
  EXPECT_EQ(FindVerbatim("STOP THE TRAIN", 5, false).kind, VerbatimKind::None);
  EXPECT_TRUE(MostlyCapitals("STOP THE TRAIN now"));
  EXPECT_FALSE(MostlyCapitals("The GNU project"));
}

TEST(GermanRealTextTest, LeavesWhatIsNotLanguageAndNamesAlone) {
  using D = Dictionary::Direction;
  const Dictionary& dictionary = TestDictionary(nullptr);
  const struct {
    std::string_view source;
    D direction;
    std::string_view expected;
  } cases[] = {
      // Capitalised words in a row inside a sentence are a name, even where the
      // dictionary knows one of them; so is a single one it hardly knows.
      {"a web page by Joey Hess", D::EnglishToGerman, "eine Webseite von Joey Hess"},
      // A title's period after a name's abbreviation starts no sentence.
      {"a web page by Dr. Station", D::EnglishToGerman, "eine Webseite von Dr. Station"},
      // A sentence with a period at its end is no title, however capitalised.
      {"Ask Station Group.", D::EnglishToGerman, "Ask Station Group."},
      {"the group and --prefix=/usr/local.", D::EnglishToGerman,
       "die Gruppe und --prefix=/usr/local."},
      // An abbreviation's period starts no sentence, so no title either.
      {"the web page of Joey Inc., Station Group, Boston", D::EnglishToGerman,
       "die Webseite von Joey Inc., Station Group, Boston"},
      {"a web page by GNU General Public License", D::EnglishToGerman,
       "eine Webseite von GNU General Public License"},
      // Its article agrees with the German word for its last word ("Gruppe"); a name
      // is known ("kennen"), not a fact ("wissen").
      {"the Station Group knows Joey", D::EnglishToGerman, "die Station Group kennt Joey"},
      // A common word with a capital inside a sentence is still the word.
      {"the Group, the group", D::EnglishToGerman, "die Gruppe, die Gruppe"},
      // A capitalised word the dictionary's text uses often is a word.
      {"and Group", D::EnglishToGerman, "und Gruppe"},
      // The dictionary's capitalised word is still taken.
      {"in German", D::EnglishToGerman, "in Deutsch"},
      // A title capitalises every word: those are words, not names.
      {"The Station And The Group", D::EnglishToGerman, "Der Bahnhof und die Gruppe"},
      {"the group in /etc/group", D::EnglishToGerman, "die Gruppe in /etc/group"},
      {"the file_name and --force", D::EnglishToGerman, "der file_name und --force"},
      {"Name und GNU", D::GermanToEnglish, "Name and GNU"},
      // A command: the polite form; a verb's form before another word is none.
      {"Number the group.", D::EnglishToGerman, "Nummerieren Sie die Gruppe."},
      {"Number in the group.", D::EnglishToGerman, "Nummerieren in der Gruppe."},
      // Two English words the dictionary writes as one noun.
      {"the file names", D::EnglishToGerman, "die Dateinamen"},
      {"Datei: https://example.org/Datei", D::GermanToEnglish,
       "Computer file: https://example.org/Datei"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dictionary.Translate(c.source, c.direction), c.expected) << c.source;
  }
}

// Every opening bracket starts a token; were each read to the run's end, this would
// take hours rather than milliseconds. The text comes back as it was.
TEST(GermanRealTextTest, LongRunsWithoutBlanksComeBackWhole) {
  for (const std::string& run :
       {std::string(200000, '('), std::string(200000, '>'), "(" + std::string(200000, 'a')}) {
    EXPECT_EQ(TestDictionary(nullptr).Translate(run, Dictionary::Direction::EnglishToGerman), run);
  }
}

TEST(GermanRealTextTest, CompoundsFromTheirParts) {
  const Dictionary& dictionary = TestDictionary(nullptr);
  const struct {
    std::string_view source;
    std::string_view expected;
  } cases[] = {
      {"Übersetzungsbereiche", "Translation areas"},           // linking s, plural head
      {"das Ausgabeformat", "the output format"},              // no linking element
      {"Dateigruppen", "Computer file groups"},                // the head with a plural ending
      {"Ausgabedateiformat", "Output computer file format"},   // three parts
      {"Ausgabe-Dateiformat", "Output-computer file format"},  // hyphenated parts
      {"XYZ-Format", "XYZ-format"},                            // an unknown part stays
      // No split: parts too short or unknown, or the word is listed.
      {"Ausgabexyz", "Ausgabexyz"},
      // Not a noun, or a listed word with a case ending: the grammar's base forms.
      {"ausgabeformat", "ausgabeformat"},
      {"des Formats", "of the format"},
      {"Webseite", "Web page"},
      // A modifier without its noun's final "e", before a word of another kind.
      {"Farbprofil", "Color profile"},
      {"Sprachformat", "Language format"},
      // A head the dictionary knows is not cut to make a linking element of its first
      // letter ("Rechner-n-amen"), and an adverb is no head ("namens").
      {"Rechnernamen", "Computer names"},
      {"Rechnernamens", "Computer names"},
      // A hyphenated part with a case ending: the dative plural, the genitive.
      {"auf Debian-Systemen", "on Debian-systems"},
      {"des XYZ-Formats", "of the XYZ-format"},
      {"die XYZ-Routinen", "the XYZ-routines"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dictionary.Translate(c.source, Dictionary::Direction::GermanToEnglish), c.expected)
        << c.source;
  }
}

TEST(GermanRealTextTest, LearntSensesComeBeforeTheDictionaryOrder) {
  using D = Dictionary::Direction;
  const struct {
    std::string_view source;
    D direction;
    std::string_view withoutSenses;
    std::string_view withSenses;
  } cases[] = {
      // Another sub-entry ("Reihe" is listed first) and a later synonym in it.
      {"the file", D::EnglishToGerman, "die Reihe", "die Datei"},
      {"the default", D::EnglishToGerman, "die Vorgabe", "der Standard"},
      {"Datei", D::GermanToEnglish, "Computer file", "File"},
      // A preferred translation the dictionary does not offer for the key is ignored.
      {"the station", D::EnglishToGerman, "der Bahnhof", "der Bahnhof"},
      // A verb's sense is looked for under its key with "to" first: the word's own
      // may be a noun's.
      {"they need a file", D::EnglishToGerman, "sie müssen eine Reihe", "sie brauchen eine Datei"},
      {"the need", D::EnglishToGerman, "der Mangel", "der Bedarf"},
      // A noun's sense with its complement ("selection of sth.") offers the noun.
      {"Auswahl", D::GermanToEnglish, "Choice", "Selection"},
      // A noun's sense that the dictionary does not list at all, in the singular and
      // the plural; only where the row says so, and only for a noun.
      {"Ebene", D::GermanToEnglish, "Level", "Layer"},
      {"die Ebenen", D::GermanToEnglish, "the levels", "the layers"},
      {"Niveau", D::GermanToEnglish, "Level", "Level"},
      {"eben", D::GermanToEnglish, "flat", "flat"},
      {"Symbol", D::GermanToEnglish, "Symbol", "Symbol"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TestDictionary(nullptr).Translate(c.source, c.direction), c.withoutSenses)
        << c.source;
    EXPECT_EQ(TestDictionary(&TestSenses()).Translate(c.source, c.direction), c.withSenses)
        << c.source;
  }
  EXPECT_EQ(TestSenses().Preferred(LearntSenses::Side::English, "file"), "Datei");
  EXPECT_EQ(TestSenses().Preferred(LearntSenses::Side::German, "file"), "");
  EXPECT_EQ(TestSenses().Unlisted(LearntSenses::Side::German, "ebene"), "layer");
  EXPECT_EQ(TestSenses().Unlisted(LearntSenses::Side::German, "niveau"), "");
  EXPECT_FALSE(LearntSenses::Builtin().empty());
}

}  // namespace
}  // namespace parlumo::service
