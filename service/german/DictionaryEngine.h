#pragma once

#include <atomic>
#include <cstdint>
#include <future>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "Engine.h"
#include "GermanMorphology.h"
#include "IdleRelease.h"
#include "IndexImage.h"

namespace parlumo::service {

class LearntSenses;

// The German-English dictionary of the ding project (one entry a line:
// "German side :: English side", each side a " | "-separated list of sub-entries that
// correspond one to one, each sub-entry a "; "-separated list of synonyms, with
// annotations in {} [] () and //), read once into the tables of an index image
// (IndexImage.h): one for each direction and the grammar's own (verbs, adjectives,
// names, noun plurals, strong verb forms). The dictionary looks words up in place;
// the image may be a mapped file that many starts share (GermanIndex.h).
class Dictionary {
 public:
  enum class Direction { GermanToEnglish, EnglishToGerman };

  // Reads the dictionary and lays its tables out in `writer`; false when the stream
  // holds no entry or when *cancel turns true while it reads (the service is
  // stopping). Where `senses` prefers one of a key's translations, that one is taken;
  // without them (small test dictionaries) the dictionary's own order decides.
  static bool Build(std::istream& in, IndexWriter& writer,
                    const std::atomic<bool>* cancel = nullptr,
                    const LearntSenses* senses = nullptr);

  // A dictionary over the tables of an image (built by Build, or mapped from a file).
  explicit Dictionary(std::shared_ptr<const IndexImage> image) : image_(std::move(image)) {}

  // Build into an image of its own in memory: nothing where Build gives nothing. The
  // file is read with the senses compiled into the program.
  static std::optional<Dictionary> Load(std::istream& in, const std::atomic<bool>* cancel = nullptr,
                                        const LearntSenses* senses = nullptr);
  static std::optional<Dictionary> LoadFile(const std::string& path,
                                            const std::atomic<bool>* cancel = nullptr,
                                            const LearntSenses* senses = &DefaultSenses());
  // The senses compiled into the program.
  static const LearntSenses& DefaultSenses();

  // The translation of a phrase (words separated by single spaces), compared
  // without regard to the case of its letters, or nothing.
  std::optional<std::string_view> Lookup(std::string_view phrase, Direction direction) const;

  // Translates text, taking the longest phrase (up to kMaxPhraseWords words on one
  // line) that the dictionary knows at each place. With grammar (the default) the
  // words of a clause then agree: articles, adjectives and nouns in gender, number
  // and case, the verb with its subject; negation, modal verbs, measure phrases and
  // the contractions of preposition and article take their form in the target
  // language. Without it the text is translated word by word. Unknown words,
  // punctuation, white space and line breaks stay as they are; a translation at the
  // start of the text or of a sentence starts with a capital.
  std::string Translate(std::string_view text, Direction direction, bool grammar = true) const;

  // Gives the pages of a mapped index back to the system (IndexImage::ReleasePages):
  // for a dictionary that has been unused for a while.
  void ReleasePages() const { image_->ReleasePages(); }

  // Inflection rules for German (verb endings, adjective endings, base forms). Without
  // them the regular endings are used.
  void SetMorphology(std::shared_ptr<const GermanMorphology> morphology) {
    morphology_ = std::move(morphology);
  }

  // What the dictionary says a German word is: the gender of a noun, a plural, a verb,
  // an adjective and so on (from its {m} {f} {n} {pl} {vi} {vt} {adj} ... tags).
  enum class Kind : std::uint8_t {
    Other,
    Masculine,
    Feminine,
    Neuter,
    Plural,
    Verb,
    Adjective,
    Adverb,
    Preposition,
  };

  static constexpr int kMaxPhraseWords = 4;

  // One translated piece of a sentence (a word or a phrase) while the grammar works
  // on it.
  struct Unit {
    std::string gap;     // what stands before it in the text (spaces, punctuation)
    std::string source;  // the source words, case folded; empty for names and for
                         // what is not language, which the grammar leaves alone
    std::string text;    // the translation (or the source word when unknown)
    Kind kind = Kind::Other;
    bool known = false;    // found in the dictionary
    bool upper = false;    // the source starts with a capital
    bool capital = false;  // starts a sentence in the source: a capital there
    // A command's separable prefix, for the end of its clause ("Geben Sie ... ein").
    std::string separated;
  };

 private:
  // Where a translation's rank comes from, best first.
  enum class RankSource : std::uint8_t {
    Lexicon,              // a closed-class word's reading (the grammar's lexicon)
    Learnt,               // the sense real text uses (LearntSenses)
    Dictionary,           // the dictionary's own order
    DictionaryWithoutTo,  // the same for an English verb looked up without its "to"
  };
  // How one translation of a key ranks against another: field by field, smaller first.
  struct Rank {
    RankSource source = RankSource::Dictionary;
    // 0: a head word's first synonym; 1: a later synonym or a narrower sense (an
    // explanation, a name); 2 and 3: the same for a form or an example.
    std::uint8_t tier = 0;
    std::uint8_t commonness = 0;  // 0 (its words are common) to 63 (rare)
    std::uint8_t synonym = 0;     // position among its synonyms, up to 63
    std::uint32_t line = 0;       // the dictionary line
    auto operator<=>(const Rank&) const = default;
    // The fields that tell senses apart, without what orders one sense's words.
    auto Sense() const { return std::tuple(source, tier); }
  };

  // A translation of a key as the tables hold it.
  struct Candidate {
    std::string_view translation;
    Rank rank;
    Kind kind = Kind::Other;  // of the German side
    // English keys: how often the key's word occurs in the dictionary's text. A word
    // it hardly knows, written with a capital, is taken for a name ("Joey").
    std::uint32_t keyUses = 0;
  };
  // A German noun's gender and its plural.
  struct NounForms {
    Kind gender = Kind::Other;
    std::string_view plural;
  };
  // The present-tense forms of a verb that changes its vowel ("du schläfst",
  // "er schläft"), as the dictionary lists them.
  struct StrongForms {
    std::string_view second;
    std::string_view third;
  };
  // The tables while Build fills them (DictionaryEngine.cpp).
  struct Builder;

  static IndexTable TableFor(Direction direction) {
    return direction == Direction::GermanToEnglish ? IndexTable::GermanToEnglish
                                                   : IndexTable::EnglishToGerman;
  }
  // The translation of a phrase in a table, compared case-folded (a German word with
  // its capital first: see DictionaryEngine.cpp), or nothing.
  std::optional<Candidate> Find(IndexTable table, std::string_view phrase) const;
  // The translation of a key exactly as written, or nothing.
  std::optional<Candidate> FindExact(IndexTable table, std::string_view key) const;

  // The grammar of each direction over the units of the text (GermanGrammar.cpp).
  // A phrase the grammar must see word by word (it starts with a pronoun, an
  // auxiliary or a negation, or ends in an article or a preposition).
  static bool GrammarSplits(const std::vector<std::string_view>& words, Direction direction);
  // An adjective of size or age and a noun that the dictionary writes as one German
  // word ("new car": "Neuwagen", "small house": "Häuschen"): a category's name, where
  // English mostly just describes; the grammar translates the two words instead.
  static bool GrammarDescribes(const std::vector<std::string_view>& words, std::string_view german);
  // `tail` is what follows the last unit (the last sentence's punctuation).
  // Each direction is a list of passes over the units, run by one of these.
  class EnglishGrammar;
  class GermanGrammar;
  void EnglishToGermanGrammar(std::vector<Unit>& units, std::string_view tail) const;
  void GermanToEnglishGrammar(std::vector<Unit>& units, std::string_view tail) const;
  std::string GermanVerb(const std::string& infinitive, int person) const;
  std::optional<std::string> GermanInfinitive(const std::string& form) const;
  // A separable verb's prefix and the verb it is put on ("einkaufen": "ein",
  // "kaufen"), or two empty strings.
  std::pair<std::string, std::string> SplitSeparable(const std::string& infinitive) const;
  // The German preposition of an English command's object ("click": "auf"), or empty.
  static std::string_view CommandPreposition(std::string_view verb);
  std::optional<NounForms> Noun(std::string_view german) const;
  // A German compound the dictionary does not list, from the parts it does
  // (german/Compounds.cpp): its English and the kind of its head.
  struct Compound {
    std::string english;
    Kind kind = Kind::Other;
  };
  std::optional<Compound> TranslateCompound(std::string_view word) const;

  std::shared_ptr<const IndexImage> image_;
  std::shared_ptr<const GermanMorphology> morphology_;
};

// The kind a sub-entry's tags give (the first of {m} {f} {n} {pl} {vi} {vt} {vr} {v}
// {adj} {adv} {prp} in it).
Dictionary::Kind KindOfTags(std::string_view subEntry);

// Whether the kind is a noun's: a gender or a plural.
bool IsNounKind(Dictionary::Kind kind);

// Lower-cases ASCII letters and the capital letters of Latin-1 (À to Þ) in UTF-8.
std::string FoldCase(std::string_view text);

// The text with its first letter (ASCII or Latin-1, in UTF-8) made a capital.
std::string CapitalizeFirst(std::string text);

// Whether the text starts with a capital letter (ASCII or Latin-1, in UTF-8).
bool StartsUpper(std::string_view text);

// The English plural of a noun phrase's last word: "area" -> "areas", "entry" ->
// "entries", "box" -> "boxes".
std::string EnglishPlural(std::string phrase);

// Translation of one direction with the dictionary, which a background thread may
// still be loading: the first request waits for it.
class DictionaryTranslator final : public Translator {
 public:
  // Each translation touches `idle` (when given), which lets the dictionary's pages
  // go once it has been unused for a while.
  DictionaryTranslator(std::shared_future<std::shared_ptr<const Dictionary>> dictionary,
                       Dictionary::Direction direction, std::shared_ptr<IdleRelease> idle = nullptr)
      : dictionary_(std::move(dictionary)), direction_(direction), idle_(std::move(idle)) {}

  std::optional<std::vector<std::string>> Translate(
      const std::vector<std::string>& segments) override;
  std::string Description() const override;

 private:
  std::shared_future<std::shared_ptr<const Dictionary>> dictionary_;
  Dictionary::Direction direction_;
  std::shared_ptr<IdleRelease> idle_;
};

}  // namespace parlumo::service
