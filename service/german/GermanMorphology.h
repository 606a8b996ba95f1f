#pragma once

#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "IndexImage.h"

namespace parlumo::service {

// German inflection from the suffix rules of the German Hunspell dictionary
// (hunspell-de-de: de_DE.aff with its word list de_DE.dic). A word of the list carries
// flags; each flag names a group of rules "strip this ending, add that one, when the
// word ends like this". Only the groups that inflect verbs in the present tense and
// adjectives are kept.
class GermanMorphology {
 public:
  static constexpr std::string_view kAffixFile = "/usr/share/hunspell/de_DE.aff";
  static constexpr std::string_view kWordFile = "/usr/share/hunspell/de_DE.dic";

  // Reads both files into an image of its own in memory; nothing when either holds no
  // usable rule or word.
  static std::optional<GermanMorphology> Load(std::istream& affix, std::istream& words);
  // The word list's table (each word with the flags of the rules kept) laid out in
  // `writer`; false when the list holds no word with such a flag.
  static bool BuildWords(std::istream& words, IndexWriter& writer);
  // The rules of the affix file over the word table of `image`; nothing when the file
  // holds no usable rule or the image no word.
  static std::optional<GermanMorphology> WithWords(std::istream& affix,
                                                   std::shared_ptr<const IndexImage> image);
  static std::optional<GermanMorphology> LoadFiles(const std::string& affixPath,
                                                   const std::string& wordPath);

  // The adjective with the ending of an attributive form ("e", "en", "er", "es",
  // "em"): "groß" with "en" is "großen", "dunkel" with "e" is "dunkle". Without a
  // rule the ending is appended.
  std::string Adjective(std::string_view adjective, std::string_view ending) const;

  // A present-tense form of a verb from its infinitive, by the ending the form takes
  // ("e" for ich, "st" for du, "t" for er/sie/es and ihr), or nothing when the word
  // list has no rule for it (a strong verb whose form changes its vowel).
  std::optional<std::string> VerbForm(std::string_view infinitive, std::string_view ending) const;

  // The infinitive of a present-tense form or the base form of an inflected
  // adjective ("spielt" gives "spielen", "großen" gives "groß"), or nothing; with
  // `verbsOnly` an infinitive only ("liebe" gives "lieben", not "lieb").
  std::optional<std::string> BaseForm(std::string_view form, bool verbsOnly = false) const;

  // The form a noun takes before another in a compound, its linking element included
  // ("Seite": "Seiten", "Farbe": "Farb", "Abschnitt": "Abschnitts"): a form of it that
  // the word list lets begin a compound; else the usual rule, "n" after a final "e"
  // ("Ebenen") and "s" after -ung, -heit, -keit, -schaft, -ion and -tät
  // ("Löschungs"); else the noun as it is.
  std::string CompoundModifier(std::string_view noun) const;

 private:
  struct Rule {
    char flag = 0;
    std::string strip;
    std::string add;
    // The condition on the end of the base word, one entry per character: the
    // characters it may (or, when negated, may not) be.
    struct Position {
      std::u32string chars;
      bool negated = false;
    };
    std::vector<Position> condition;
  };

  bool Matches(const Rule& rule, std::string_view base) const;
  bool HasFlag(std::string_view word, char flag) const;

  std::vector<Rule> rules_;
  std::shared_ptr<const IndexImage> words_;  // IndexTable::WordFlags: word -> its kept flags
};

}  // namespace parlumo::service
