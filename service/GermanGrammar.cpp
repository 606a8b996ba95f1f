// The grammar of the German dictionary engine: after the dictionary has given each
// word or phrase its translation, the words of a clause are made to agree.
//
// English to German: articles, adjectives and nouns take gender, number and case
// (nominative for the subject and after "to be", dative after the prepositions that
// govern it, accusative for other objects); the verb agrees with its subject; modal
// verbs send the infinitive to the end of the clause; "not" becomes "nicht" or
// "kein"; "a cup of coffee" loses its "of"; a preposition and an article contract.
//
// German to English: the verb agrees with its subject and stands after it; an
// infinitive or participle at the end of the clause joins its auxiliary; "nicht"
// with a full verb becomes "do not"; "möchte", "hätte gern" and "gern" become "would
// like" and "like to"; "eine Tasse Kaffee" gains its "of".
//
// The small closed classes (articles, pronouns, auxiliary and modal verbs) are
// tables here; every open-class word comes from the dictionary, and the inflection
// of German verbs and adjectives from the Hunspell rules.

#include <algorithm>
#include <array>
#include <span>

#include "DictionaryEngine.h"

namespace parlumo::service {

namespace {

using Kind = Dictionary::Kind;
using Unit = Dictionary::Unit;

// Persons in the order of the conjugation tables: ich, du, er/sie/es, wir, ihr, sie.
constexpr int kFirstSingular = 0;
constexpr int kSecondSingular = 1;
constexpr int kThirdSingular = 2;
constexpr int kFirstPlural = 3;
constexpr int kThirdPlural = 5;

// Grammatical cases of German noun phrases.
constexpr int kNominative = 0;
constexpr int kAccusative = 1;
constexpr int kDative = 2;

// Columns of the article and ending tables.
constexpr int kMasculine = 0;
constexpr int kFeminine = 1;
constexpr int kNeuter = 2;
constexpr int kPlural = 3;

// The rank bits below this shift order senses within one tier (commonness, synonym
// position, line); those above it are the tier (head word or not, first synonym or not).
constexpr int kSenseTierShift = 36;

bool IsNoun(Kind kind) {
  return kind == Kind::Masculine || kind == Kind::Feminine || kind == Kind::Neuter ||
         kind == Kind::Plural;
}

int Column(Kind kind) {
  switch (kind) {
    case Kind::Feminine:
      return kFeminine;
    case Kind::Neuter:
      return kNeuter;
    case Kind::Plural:
      return kPlural;
    default:
      return kMasculine;
  }
}

bool IsClauseBreak(std::string_view gap) {
  return gap.find_first_of(".,;:!?\n()\"") != std::string_view::npos;
}

template <typename Table>
const auto* FindIn(const Table& table, std::string_view word) {
  for (const auto& entry : table) {
    if (entry.word == word) return &entry;
  }
  return static_cast<decltype(&table[0])>(nullptr);
}

// ---- English to German -------------------------------------------------------------

enum class Det {
  Definite,       // der, die, das
  Indefinite,     // ein, eine
  Negative,       // kein, keine
  Possessive,     // mein, meine, ...
  Demonstrative,  // dieser, jeder
};

struct EnglishDeterminer {
  std::string_view word;
  Det det;
  std::string_view stem;
  bool plural;
};
constexpr EnglishDeterminer kEnglishDeterminers[] = {
    {"the", Det::Definite, "", false},           {"a", Det::Indefinite, "ein", false},
    {"an", Det::Indefinite, "ein", false},       {"no", Det::Negative, "kein", false},
    {"my", Det::Possessive, "mein", false},      {"your", Det::Possessive, "dein", false},
    {"his", Det::Possessive, "sein", false},     {"her", Det::Possessive, "ihr", false},
    {"its", Det::Possessive, "sein", false},     {"our", Det::Possessive, "unser", false},
    {"their", Det::Possessive, "ihr", false},    {"this", Det::Demonstrative, "dies", false},
    {"that", Det::Demonstrative, "dies", false}, {"these", Det::Demonstrative, "dies", true},
    {"those", Det::Demonstrative, "dies", true}, {"every", Det::Demonstrative, "jed", false},
    {"each", Det::Demonstrative, "jed", false}};

constexpr std::array<std::array<std::string_view, 4>, 3> kDefiniteArticle = {{
    {"der", "die", "das", "die"},
    {"den", "die", "das", "die"},
    {"dem", "der", "dem", "den"},
}};
// Endings of dieser/jeder (like the definite article) and of ein/kein/mein.
constexpr std::array<std::array<std::string_view, 4>, 3> kDemonstrativeEnding = {{
    {"er", "e", "es", "e"},
    {"en", "e", "es", "e"},
    {"em", "er", "em", "en"},
}};
constexpr std::array<std::array<std::string_view, 4>, 3> kIndefiniteEnding = {{
    {"", "e", "", "e"},
    {"en", "e", "", "e"},
    {"em", "er", "em", "en"},
}};
// Adjective endings after der/dieser (weak), after ein/kein/mein (mixed) and without
// an article (strong).
constexpr std::array<std::array<std::string_view, 4>, 3> kWeakEnding = {{
    {"e", "e", "e", "en"},
    {"en", "e", "e", "en"},
    {"en", "en", "en", "en"},
}};
constexpr std::array<std::array<std::string_view, 4>, 3> kMixedEnding = {{
    {"er", "e", "es", "en"},
    {"en", "e", "es", "en"},
    {"en", "en", "en", "en"},
}};
constexpr std::array<std::array<std::string_view, 4>, 3> kStrongEnding = {{
    {"er", "e", "es", "e"},
    {"en", "e", "es", "e"},
    {"em", "er", "em", "en"},
}};

struct EnglishPronoun {
  std::string_view word;
  std::string_view nominative;
  int person;
  std::string_view accusative;
  std::string_view dative;
};
constexpr EnglishPronoun kEnglishPronouns[] = {{"i", "ich", kFirstSingular, "mich", "mir"},
                                               {"you", "du", kSecondSingular, "dich", "dir"},
                                               {"he", "er", kThirdSingular, "ihn", "ihm"},
                                               {"she", "sie", kThirdSingular, "sie", "ihr"},
                                               {"it", "es", kThirdSingular, "es", "ihm"},
                                               {"we", "wir", kFirstPlural, "uns", "uns"},
                                               {"they", "sie", kThirdPlural, "sie", "ihnen"},
                                               {"me", "", -1, "mich", "mir"},
                                               {"him", "", -1, "ihn", "ihm"},
                                               {"us", "", -1, "uns", "uns"},
                                               {"them", "", -1, "sie", "ihnen"},
                                               {"her", "", -1, "sie", "ihr"}};

// German verbs whose present tense no rule gives, by infinitive.
struct GermanParadigm {
  std::string_view word;
  std::array<std::string_view, 6> forms;
};
constexpr GermanParadigm kGermanParadigms[] = {
    {"sein", {"bin", "bist", "ist", "sind", "seid", "sind"}},
    {"haben", {"habe", "hast", "hat", "haben", "habt", "haben"}},
    {"werden", {"werde", "wirst", "wird", "werden", "werdet", "werden"}},
    {"können", {"kann", "kannst", "kann", "können", "könnt", "können"}},
    {"müssen", {"muss", "musst", "muss", "müssen", "müsst", "müssen"}},
    {"wollen", {"will", "willst", "will", "wollen", "wollt", "wollen"}},
    {"sollen", {"soll", "sollst", "soll", "sollen", "sollt", "sollen"}},
    {"dürfen", {"darf", "darfst", "darf", "dürfen", "dürft", "dürfen"}},
    {"mögen", {"mag", "magst", "mag", "mögen", "mögt", "mögen"}},
    {"möchten", {"möchte", "möchtest", "möchte", "möchten", "möchtet", "möchten"}},
    {"wissen", {"weiß", "weißt", "weiß", "wissen", "wisst", "wissen"}},
    {"tun", {"tue", "tust", "tut", "tun", "tut", "tun"}},
    // The past of "sein" and "haben", and the conditional forms used for "would"
    // and "should".
    {"war", {"war", "warst", "war", "waren", "wart", "waren"}},
    {"hatte", {"hatte", "hattest", "hatte", "hatten", "hattet", "hatten"}},
    {"würde", {"würde", "würdest", "würde", "würden", "würdet", "würden"}},
    {"sollte", {"sollte", "solltest", "sollte", "sollten", "solltet", "sollten"}},
    {"könnte", {"könnte", "könntest", "könnte", "könnten", "könntet", "könnten"}}};

// English auxiliaries and modals with the German verb they become; `modal` when an
// infinitive that follows goes to the end of the clause.
struct EnglishAuxiliary {
  std::string_view word;
  std::string_view german;
  bool modal;
};
constexpr EnglishAuxiliary kEnglishAuxiliaries[] = {
    {"am", "sein", false},     {"is", "sein", false},      {"are", "sein", false},
    {"was", "war", false},     {"were", "war", false},     {"have", "haben", false},
    {"has", "haben", false},   {"had", "hatte", false},    {"can", "können", true},
    {"could", "könnte", true}, {"must", "müssen", true},   {"will", "werden", true},
    {"shall", "werden", true}, {"should", "sollte", true}, {"may", "dürfen", true},
    {"would", "würde", true},  {"want", "wollen", false},  {"wants", "wollen", false},
    {"know", "wissen", false}, {"knows", "wissen", false}, {"like", "mögen", false},
    {"likes", "mögen", false}};

// Prepositions that take the dative (the others: the accusative).
constexpr std::string_view kDativePrepositions[] = {
    "mit", "von",   "zu",   "bei", "aus",    "nach",  "seit",     "in",       "an",
    "auf", "unter", "über", "vor", "hinter", "neben", "zwischen", "gegenüber"};
constexpr std::string_view kEnglishPrepositions[] = {
    "in",   "on",     "at",      "to",     "with",   "from",    "for",   "by",
    "into", "under",  "over",    "after",  "before", "without", "about", "through",
    "near", "behind", "between", "during", "around", "against", "of",    "onto"};

constexpr std::pair<std::string_view, std::string_view> kContractions[] = {
    {"in dem", "im"},   {"in das", "ins"},   {"an dem", "am"},
    {"an das", "ans"},  {"zu dem", "zum"},   {"zu der", "zur"},
    {"von dem", "vom"}, {"bei dem", "beim"}, {"auf das", "aufs"}};

// German words that never begin or end a phrase the grammar works with.
constexpr std::string_view kGermanClosedWords[] = {
    "ich",    "du",     "er",     "sie",    "es",     "wir",      "ihr",     "man",     "bin",
    "bist",   "ist",    "sind",   "seid",   "habe",   "hast",     "hat",     "haben",   "habt",
    "kann",   "kannst", "können", "könnt",  "muss",   "musst",    "müssen",  "müsst",   "will",
    "willst", "wollen", "wollt",  "soll",   "sollst", "sollen",   "sollt",   "darf",    "darfst",
    "dürfen", "mag",    "magst",  "mögen",  "möchte", "möchtest", "möchten", "möchtet", "werde",
    "wirst",  "wird",   "werden", "werdet", "nicht",  "gern",     "gerne",   "hätte",   "hätten",
    "der",    "die",    "das",    "den",    "dem",    "ein",      "eine",    "einen",   "einem",
    "einer",  "kein",   "keine",  "keinen", "mein",   "meine",    "meinen",  "dein",    "deine",
    "deinen", "sein",   "seine",  "seinen", "ihre",   "ihren",    "unser",   "unsere",  "unseren",
    "zwei",   "drei"};

bool Contains(std::span<const std::string_view> list, std::string_view word) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

// "sleeps" -> "sleep", "goes" -> "go", "studies" -> "study".
std::vector<std::string> EnglishBaseForms(const std::string& word) {
  std::vector<std::string> bases;
  if (word.size() > 3 && word.ends_with("ies"))
    bases.push_back(word.substr(0, word.size() - 3) + "y");
  if (word.size() > 2 && word.ends_with("es")) bases.push_back(word.substr(0, word.size() - 2));
  if (word.size() > 1 && word.ends_with('s') && !word.ends_with("ss"))
    bases.push_back(word.substr(0, word.size() - 1));
  return bases;
}

}  // namespace

bool Dictionary::GrammarSplits(const std::vector<std::string_view>& words, Direction direction) {
  const std::string first = FoldCase(words.front());
  const std::string last = FoldCase(words.back());
  if (direction == Direction::EnglishToGerman) {
    for (std::string_view word : {"do", "does", "did", "not", "to", "there", "very"}) {
      if (first == word || last == word) return true;
    }
    const auto* pronoun = FindIn(kEnglishPronouns, first);
    if ((pronoun != nullptr && first != "her") || FindIn(kEnglishAuxiliaries, first)) return true;
    return FindIn(kEnglishDeterminers, first) != nullptr ||
           FindIn(kEnglishDeterminers, last) != nullptr ||
           FindIn(kEnglishPronouns, last) != nullptr || Contains(kEnglishPrepositions, last);
  }
  for (std::string_view word : kGermanClosedWords) {
    if (first == word || last == word) return true;
  }
  return false;
}

std::string Dictionary::GermanVerb(const std::string& infinitive, int person) const {
  if (person < 0 || person > 5) person = kThirdPlural;
  for (const auto& paradigm : kGermanParadigms) {
    if (paradigm.word == infinitive)
      return std::string(paradigm.forms[static_cast<std::size_t>(person)]);
  }
  if (person == kFirstPlural || person == kThirdPlural) return infinitive;
  if (person == kSecondSingular || person == kThirdSingular) {
    const auto strong = strongForms_.find(infinitive);
    if (strong != strongForms_.end()) {
      const std::string& form =
          person == kSecondSingular ? strong->second.second : strong->second.third;
      if (!form.empty()) return form;
    }
  }
  std::string_view ending = person == kFirstSingular ? "e" : person == kSecondSingular ? "st" : "t";
  std::string stem = infinitive;
  if (stem.ends_with("en")) {
    stem.resize(stem.size() - 2);
  } else if (stem.ends_with('n')) {
    stem.pop_back();
  }
  // Stems in s, ß, x and z take "t" for "st" (du tanzt, du heißt).
  const bool sibilant =
      stem.ends_with('s') || stem.ends_with("ß") || stem.ends_with('x') || stem.ends_with('z');
  if (ending == "st" && sibilant) ending = "t";
  if (morphology_) {
    if (auto form = morphology_->VerbForm(infinitive, ending)) return *form;
  }
  if (ending != "e" && (stem.ends_with('t') || stem.ends_with('d')))
    return stem + "e" + std::string(ending);
  return stem + std::string(ending);
}

std::pair<std::string, std::string> Dictionary::SplitSeparable(
    const std::string& infinitive) const {
  constexpr std::string_view kPrefixes[] = {
      "zurück", "zusammen", "weiter", "heim", "fest", "fort", "los", "nach", "vor", "weg",
      "ein",    "auf",      "aus",    "mit",  "an",   "ab",   "bei", "zu",   "her", "hin"};
  for (const std::string_view prefix : kPrefixes) {
    if (!infinitive.starts_with(prefix) || infinitive.size() < prefix.size() + 4) continue;
    std::string stem = infinitive.substr(prefix.size());
    if (Find(germanVerbs_, stem) != nullptr) return {std::string(prefix), stem};
  }
  return {};
}

std::optional<std::string> Dictionary::GermanInfinitive(const std::string& form) const {
  const auto strong = strongInfinitives_.find(form);
  if (strong != strongInfinitives_.end()) return strong->second;
  if (morphology_) return morphology_->BaseForm(form, true);
  return std::nullopt;
}

const Dictionary::NounForms* Dictionary::Noun(std::string_view german) const {
  const auto it = nouns_.find(std::string(german));
  return it == nouns_.end() ? nullptr : &it->second;
}

void Dictionary::EnglishToGermanGrammar(std::vector<Unit>& units) const {
  // Plurals and verb forms the dictionary does not list: through their base form.
  for (Unit& unit : units) {
    if (unit.known || unit.source.find(' ') != std::string::npos) continue;
    for (const std::string& base : EnglishBaseForms(unit.source)) {
      const Candidate* found = Find(englishToGerman_, base);
      if (found == nullptr || !IsNoun(found->kind)) continue;
      const NounForms* forms = Noun(found->translation);
      unit.text = forms != nullptr && !forms->plural.empty() ? forms->plural : found->translation;
      unit.kind = Kind::Plural;
      unit.known = true;
      break;
    }
  }

  const auto isNoun = [&](const Unit& unit) {
    return unit.known && IsNoun(unit.kind) && !FindIn(kEnglishPronouns, unit.source) &&
           !FindIn(kEnglishAuxiliaries, unit.source);
  };
  // An adjective in front of a noun or after "to be": its adjective sense, where the
  // dictionary has one ("red" is "rot", not "Rot").
  // The adjective sense of a word, where it ranks with the word's general sense (a
  // head word, not a narrower sense: "red" is "rot", but "book" stays "Buch").
  const auto adjectiveSense = [&](const Unit& unit) -> const Candidate* {
    if (unit.source.find(' ') != std::string::npos) return nullptr;
    const Candidate* adjective = Find(englishAdjectives_, unit.source);
    if (adjective == nullptr) return nullptr;
    const Candidate* general = Find(englishToGerman_, unit.source);
    if (general != nullptr &&
        (adjective->rank >> kSenseTierShift) > (general->rank >> kSenseTierShift))
      return nullptr;
    return adjective;
  };
  // A verb's German infinitive: its verb sense, or the verb phrase the dictionary
  // lists ("play football": "Fußball spielen").
  const auto verbSense = [&](const Unit& unit) -> const Candidate* {
    if (const Candidate* found = Find(englishVerbs_, unit.source)) return found;
    const auto space = unit.source.find(' ');
    if (space == std::string::npos || !unit.known) return nullptr;
    if (Find(englishVerbs_, unit.source.substr(0, space)) == nullptr) return nullptr;
    const Candidate* phrase = Find(englishToGerman_, unit.source);
    return phrase != nullptr && phrase->translation.ends_with('n') ? phrase : nullptr;
  };
  const auto isAdjective = [&](const Unit& unit) {
    return unit.known && unit.kind == Kind::Adjective;
  };
  const auto makeAdjective = [&](Unit& unit) {
    if (isAdjective(unit)) return true;
    const Candidate* found = adjectiveSense(unit);
    if (found == nullptr) return false;
    unit.text = found->translation;
    unit.kind = Kind::Adjective;
    unit.known = true;
    return true;
  };
  const auto genderOf = [&](const Unit& noun) {
    if (noun.kind == Kind::Plural) return kPlural;
    if (const NounForms* forms = Noun(noun.text); forms != nullptr && forms->gender != Kind::Other)
      return Column(forms->gender);
    return Column(noun.kind);
  };

  // Gives a noun phrase starting at `at` its German forms in `grammaticalCase`;
  // returns the index after it (or `at` when there is none). `negate` turns an
  // indefinite or missing article into "kein".
  struct Phrase {
    std::size_t end = 0;
    int person = kThirdSingular;
    bool definite = false;  // a definite or possessive article, or a pronoun
    bool found = false;
  };
  const auto nounPhrase = [&](std::size_t at, std::size_t end, int grammaticalCase, bool negate,
                              bool allowPronoun) {
    Phrase phrase;
    phrase.end = at;
    if (at >= end) return phrase;
    if (allowPronoun) {
      if (const auto* pronoun = FindIn(kEnglishPronouns, units[at].source)) {
        const bool possessive = pronoun->word == "her" && at + 1 < end &&
                                (isNoun(units[at + 1]) || isAdjective(units[at + 1]));
        if (!possessive) {
          if (grammaticalCase == kNominative && pronoun->person >= 0) {
            units[at].text = std::string(pronoun->nominative);
            phrase.person = pronoun->person;
          } else {
            units[at].text =
                std::string(grammaticalCase == kDative ? pronoun->dative : pronoun->accusative);
          }
          phrase.end = at + 1;
          phrase.definite = true;
          phrase.found = true;
          return phrase;
        }
      }
    }
    const EnglishDeterminer* determiner = FindIn(kEnglishDeterminers, units[at].source);
    std::size_t k = determiner != nullptr ? at + 1 : at;
    std::vector<std::size_t> adjectives;
    // Adjectives: those the dictionary gives as such, and words with an adjective
    // sense that stand before another adjective or the noun.
    const auto adjectiveHere = [&](std::size_t position) {
      if (isAdjective(units[position])) return true;
      if (position + 1 >= end || adjectiveSense(units[position]) == nullptr) return false;
      const Unit& after = units[position + 1];
      if (!(isNoun(after) || isAdjective(after) || adjectiveSense(after) != nullptr)) return false;
      return makeAdjective(units[position]);
    };
    while (k < end && (units[k].source == "very" || adjectiveHere(k)) &&
           !IsClauseBreak(units[k].gap)) {
      if (units[k].source != "very") adjectives.push_back(k);
      ++k;
    }
    if (k >= end || !isNoun(units[k]) || (k > at && IsClauseBreak(units[k].gap))) return phrase;
    Unit& noun = units[k];
    int column = genderOf(noun);
    if (determiner != nullptr && determiner->plural && column != kPlural) {
      if (const NounForms* forms = Noun(noun.text); forms != nullptr && !forms->plural.empty()) {
        noun.text = forms->plural;
        column = kPlural;
      }
    }
    Det det = determiner != nullptr ? determiner->det : Det::Indefinite;
    bool article = determiner != nullptr;
    if (negate && (!article || det == Det::Indefinite)) {
      det = Det::Negative;
      article = true;
    }
    const auto row = static_cast<std::size_t>(grammaticalCase);
    const auto col = static_cast<std::size_t>(column);
    std::string articleText;
    const std::array<std::array<std::string_view, 4>, 3>* endings = &kStrongEnding;
    if (article) {
      switch (det) {
        case Det::Definite:
          articleText = kDefiniteArticle[row][col];
          endings = &kWeakEnding;
          break;
        case Det::Demonstrative:
          articleText = std::string(determiner->stem) + std::string(kDemonstrativeEnding[row][col]);
          endings = &kWeakEnding;
          break;
        case Det::Indefinite:
          // "a" has no plural: the phrase stands without an article.
          if (column == kPlural) {
            article = false;
          } else {
            articleText = "ein" + std::string(kIndefiniteEnding[row][col]);
            endings = &kMixedEnding;
          }
          break;
        case Det::Negative:
        case Det::Possessive: {
          const std::string stem = det == Det::Negative ? "kein" : std::string(determiner->stem);
          articleText = stem + std::string(kIndefiniteEnding[row][col]);
          // "unser" + "e" is written "unsere"; "euer" + "e" would be "eure".
          endings = &kMixedEnding;
          break;
        }
      }
    }
    if (determiner != nullptr) {
      units[at].text = article ? articleText : std::string();
    } else if (article) {
      // "kein" for a phrase that had no article: it stands in the first unit's place.
      Unit& first = units[at];
      first.text = articleText + " " + first.text;
    }
    for (const std::size_t a : adjectives) {
      const std::string ending(article ? (*endings)[row][col] : kStrongEnding[row][col]);
      units[a].text =
          morphology_ ? morphology_->Adjective(units[a].text, ending) : units[a].text + ending;
    }
    // Dative plural: "den Kindern" (not after -n or -s).
    if (column == kPlural && grammaticalCase == kDative && !noun.text.ends_with('n') &&
        !noun.text.ends_with('s')) {
      noun.text += 'n';
    }
    phrase.end = k + 1;
    phrase.person = column == kPlural ? kThirdPlural : kThirdSingular;
    phrase.definite =
        article && (det == Det::Definite || det == Det::Possessive || det == Det::Demonstrative);
    phrase.found = true;
    return phrase;
  };

  // Moves the unit at `from` to just before `to` (to > from), keeping the text's
  // punctuation in place: the moved unit takes a single space before it.
  const auto moveBefore = [&](std::size_t from, std::size_t to) {
    Unit moved = std::move(units[from]);
    if (from + 1 < units.size() &&
        units[from + 1].gap.find_first_not_of(" \t") == std::string::npos &&
        moved.gap.find_first_not_of(" \t") != std::string::npos) {
      units[from + 1].gap = moved.gap;
    }
    moved.gap = " ";
    units.erase(units.begin() + static_cast<std::ptrdiff_t>(from));
    units.insert(units.begin() + static_cast<std::ptrdiff_t>(to - 1), std::move(moved));
  };

  std::size_t begin = 0;
  while (begin < units.size()) {
    std::size_t end = begin + 1;
    while (end < units.size() && !IsClauseBreak(units[end].gap) && units[end].source != "and" &&
           units[end].source != "but" && units[end].source != "or" &&
           units[end].source != "because")
      ++end;
    if (units[begin].source == "and" || units[begin].source == "but" ||
        units[begin].source == "or" || units[begin].source == "because") {
      ++begin;
    }
    if (begin >= end) {
      begin = end;
      continue;
    }

    // The subject: the first pronoun or noun phrase.
    std::size_t i = begin;
    Phrase subject;
    bool there = false;
    for (; i < end; ++i) {
      if (units[i].source == "there" && i + 1 < end &&
          (units[i + 1].source == "is" || units[i + 1].source == "are")) {
        there = true;
        break;
      }
      if (FindIn(kEnglishAuxiliaries, units[i].source) && i == begin) break;  // a question
      subject = nounPhrase(i, end, kNominative, false, true);
      if (subject.found) break;
      if (Contains(kEnglishPrepositions, units[i].source)) {
        // A phrase before the subject ("In the morning"): its own case.
        const Candidate* preposition = Find(englishToGerman_, units[i].source);
        const bool dative =
            preposition == nullptr || Contains(kDativePrepositions, preposition->translation);
        const Phrase object = nounPhrase(i + 1, end, dative ? kDative : kAccusative, false, true);
        if (object.found) i = object.end - 1;
      }
    }
    std::size_t verb = subject.found ? subject.end : i;
    int person = subject.found ? subject.person : kThirdSingular;
    if (there) {
      units[i].text = "es";
      units[i + 1].text = "gibt";
      verb = i + 1;
    }
    // Adverbs between subject and verb ("I often play") follow the verb in German.
    std::size_t adverbs = verb;
    while (verb + 1 < end && units[verb].known && units[verb].kind == Kind::Adverb &&
           !FindIn(kEnglishAuxiliaries, units[verb].source) && units[verb].source != "not" &&
           verbSense(units[verb]) == nullptr)
      ++verb;

    bool negate = false;
    bool copula = false;
    bool gern = false;
    std::vector<std::size_t> toEnd;  // infinitives and separated verb parts, in order
    std::size_t finite = verb;
    if (verb < end) {
      Unit& v = units[verb];
      std::size_t next = verb + 1;
      const auto skipNot = [&] {
        if (next < end && (units[next].source == "not" || units[next].source == "never")) {
          if (units[next].source == "not") {
            units[next].text.clear();
            negate = true;
          }
          ++next;
        }
      };
      const auto infinitiveAt = [&](std::size_t at) {
        if (at >= end) return false;
        const Candidate* found = Find(englishVerbs_, units[at].source);
        if (found == nullptr) return false;
        units[at].text = found->translation;
        toEnd.push_back(at);
        return true;
      };
      // do/does/did + not + verb: the verb alone carries the negation.
      if (there) {
        // "There is a cat": "Es gibt eine Katze" (the accusative follows).
      } else if ((v.source == "do" || v.source == "does" || v.source == "did") && next < end &&
                 units[next].source == "not") {
        v.text.clear();
        units[next].text.clear();
        negate = true;
        finite = next + 1;
        next = finite + 1;
      }
      if (!there && finite < end) {
        Unit& f = units[finite];
        const EnglishAuxiliary* auxiliary = FindIn(kEnglishAuxiliaries, f.source);
        if (f.source == "would" && next < end && units[next].source == "like") {
          f.text = GermanVerb("möchten", person);
          units[next].text.clear();
          ++next;
          if (next < end && units[next].source == "to") {
            units[next].text.clear();
            infinitiveAt(next + 1);
          }
        } else if ((f.source == "like" || f.source == "likes") && next < end &&
                   units[next].source == "to" && next + 1 < end &&
                   verbSense(units[next + 1]) != nullptr) {
          // "I like to swim": "Ich schwimme gern".
          units[next].text.clear();
          std::string infinitive = verbSense(units[next + 1])->translation;
          std::string rest;
          if (const auto space = infinitive.rfind(' '); space != std::string::npos) {
            rest = infinitive.substr(0, space);
            infinitive.erase(0, space + 1);
          }
          f.text = GermanVerb(infinitive, person);
          units[next + 1].text = rest;
          next += 2;
          gern = true;
        } else if ((f.source == "have" || f.source == "has") && next < end &&
                   units[next].source == "to") {
          f.text = GermanVerb("müssen", person);
          units[next].text.clear();
          infinitiveAt(next + 1);
          next += 2;
        } else if (auxiliary != nullptr) {
          f.text = GermanVerb(std::string(auxiliary->german), person);
          copula = auxiliary->german == "sein" || auxiliary->german == "war";
          skipNot();
          if (next < end && units[next].source == "to" &&
              (auxiliary->german == "wollen" || auxiliary->german == "mögen")) {
            units[next].text.clear();
            ++next;
            if (infinitiveAt(next)) ++next;
          } else if (auxiliary->modal) {
            if (infinitiveAt(next)) ++next;
          }
        } else {
          // A full verb: its German infinitive, conjugated; the parts of a verb of
          // several words but the last go to the end ("gehe ... spazieren").
          const Candidate* found = verbSense(f);
          for (const std::string& base : EnglishBaseForms(f.source)) {
            if (found != nullptr) break;
            found = Find(englishVerbs_, base);
          }
          if (found != nullptr && (subject.found || units[finite].upper)) {
            std::string infinitive = found->translation;
            std::string reflexive;
            if (infinitive.starts_with("sich ")) {
              infinitive.erase(0, 5);
              constexpr std::string_view kReflexive[] = {"mich", "dich", "sich",
                                                         "uns",  "euch", "sich"};
              reflexive = kReflexive[static_cast<std::size_t>(person)];
            }
            const auto space = infinitive.rfind(' ');
            std::string rest;
            if (space != std::string::npos) {
              rest = infinitive.substr(0, space);
              infinitive.erase(0, space + 1);
            }
            // A separable verb leaves its prefix at the end ("einkaufen": "kaufe ... ein").
            if (auto [prefix, stem] = SplitSeparable(infinitive); !prefix.empty()) {
              rest = rest.empty() ? prefix : rest + " " + prefix;
              infinitive = stem;
            }
            f.text = GermanVerb(infinitive, person);
            if (!reflexive.empty()) f.text += " " + reflexive;
            if (!rest.empty()) {
              // The separated part stands in a unit of its own at the end.
              Unit part;
              part.gap = " ";
              part.text = rest;
              part.known = true;
              units.insert(units.begin() + static_cast<std::ptrdiff_t>(end), std::move(part));
              toEnd.push_back(end);
              ++end;
            }
          }
          skipNot();
        }
      }
      // The objects, and "nicht" or "kein".
      bool negationPlaced = !negate;
      std::size_t nichtBefore = end;
      std::size_t j = next;
      int prepositionCase = -1;
      while (j < end) {
        if (std::find(toEnd.begin(), toEnd.end(), j) != toEnd.end()) {
          ++j;
          continue;
        }
        if (units[j].source == "not") {
          units[j].text.clear();
          if (negationPlaced) negationPlaced = false;
          negate = true;
          ++j;
          continue;
        }
        if (units[j].source == "of" && j > 0 && isNoun(units[j - 1]) && j + 1 < end &&
            !FindIn(kEnglishDeterminers, units[j + 1].source) &&
            (isNoun(units[j + 1]) || isAdjective(units[j + 1])) && !units[j + 1].upper) {
          // A measure: "a cup of coffee", "eine Tasse Kaffee".
          units[j].text.clear();
          const Phrase measured =
              nounPhrase(j + 1, end, copula ? kNominative : kAccusative, false, false);
          j = measured.found ? measured.end : j + 1;
          continue;
        }
        if (copula && prepositionCase < 0 && adjectiveSense(units[j]) != nullptr &&
            (j + 1 >= end || !isNoun(units[j + 1])) &&
            !FindIn(kEnglishDeterminers, units[j].source)) {
          // "The car is red": the adjective sense, uninflected.
          makeAdjective(units[j]);
          if (!negationPlaced && nichtBefore == end) nichtBefore = j;
          ++j;
          continue;
        }
        if (Contains(kEnglishPrepositions, units[j].source)) {
          if (!negationPlaced && nichtBefore == end) nichtBefore = j;
          const Candidate* preposition = Find(englishToGerman_, units[j].source);
          const std::string german = preposition != nullptr ? preposition->translation : "";
          prepositionCase = Contains(kDativePrepositions, german) ? kDative : kAccusative;
          if (units[j].source == "into" || units[j].source == "onto") prepositionCase = kAccusative;
          ++j;
          continue;
        }
        const int grammaticalCase = prepositionCase >= 0 ? prepositionCase
                                    : copula             ? kNominative
                                                         : kAccusative;
        const bool object = prepositionCase < 0;
        const bool indefinite = !FindIn(kEnglishPronouns, units[j].source) &&
                                (!FindIn(kEnglishDeterminers, units[j].source) ||
                                 units[j].source == "a" || units[j].source == "an");
        const Phrase phrase =
            nounPhrase(j, end, grammaticalCase, object && !negationPlaced && indefinite, true);
        prepositionCase = -1;
        if (phrase.found) {
          if (object && !negationPlaced) {
            if (indefinite) {
              negationPlaced = true;  // became "kein"
            } else if (!phrase.definite && nichtBefore == end) {
              nichtBefore = j;
            }
          }
          j = phrase.end;
          continue;
        }
        if (copula && (j + 1 >= end || !isNoun(units[j + 1]))) makeAdjective(units[j]);
        if (!negationPlaced && nichtBefore == end) nichtBefore = j;
        ++j;
      }
      if (!negationPlaced) {
        // "nicht" after the verb and its definite objects, before the rest.
        std::size_t at = nichtBefore;
        for (const std::size_t moved : toEnd)
          at = std::min(at, moved);
        Unit nicht;
        nicht.gap = " ";
        nicht.text = "nicht";
        nicht.known = true;
        units.insert(units.begin() + static_cast<std::ptrdiff_t>(at), std::move(nicht));
        for (std::size_t& moved : toEnd)
          moved += moved >= at ? 1 : 0;
        ++end;
      }
      if (gern) {
        Unit word;
        word.gap = " ";
        word.text = "gern";
        word.known = true;
        units.insert(units.begin() + static_cast<std::ptrdiff_t>(finite + 1), std::move(word));
        for (std::size_t& moved : toEnd)
          moved += moved > finite ? 1 : 0;
        ++end;
      }
      // Infinitives and separated parts to the end of the clause, in their order.
      for (std::size_t n = 0; n < toEnd.size(); ++n) {
        const std::size_t from = toEnd[n];
        if (from + 1 >= end) continue;
        moveBefore(from, end);
        for (std::size_t m = n + 1; m < toEnd.size(); ++m)
          toEnd[m] -= toEnd[m] > from ? 1 : 0;
      }
    }
    // Verb second: something before the subject ("Today I play") puts the verb
    // before it; adverbs between subject and verb come after it.
    if (!there && subject.found && finite < end && units[finite].text.size() > 0) {
      const std::size_t subjectStart = [&] {
        std::size_t s = subject.end - 1;
        while (s > begin && !IsClauseBreak(units[s].gap) &&
               (FindIn(kEnglishDeterminers, units[s - 1].source) || isAdjective(units[s - 1]) ||
                units[s - 1].source == "very"))
          --s;
        return s;
      }();
      if (adverbs < finite) {
        Unit moved = std::move(units[finite]);
        moved.gap = units[adverbs].gap;
        units[adverbs].gap = " ";
        units.erase(units.begin() + static_cast<std::ptrdiff_t>(finite));
        units.insert(units.begin() + static_cast<std::ptrdiff_t>(adverbs), std::move(moved));
      }
      if (subjectStart > begin && adverbs == finite) {
        Unit moved = std::move(units[finite]);
        moved.gap = " ";
        units.erase(units.begin() + static_cast<std::ptrdiff_t>(finite));
        units.insert(units.begin() + static_cast<std::ptrdiff_t>(subjectStart), std::move(moved));
      }
    }
    begin = end;
  }

  // A preposition and the article after it contract ("in dem" -> "im").
  for (std::size_t u = 0; u + 1 < units.size(); ++u) {
    if (units[u].text.empty()) continue;
    std::size_t next = u + 1;
    while (next < units.size() && units[next].text.empty() && !IsClauseBreak(units[next].gap))
      ++next;
    if (next >= units.size() || IsClauseBreak(units[next].gap)) continue;
    const std::string pair = FoldCase(units[u].text) + " " + units[next].text;
    for (const auto& [full, contracted] : kContractions) {
      if (pair != full) continue;
      units[u].text = StartsUpper(units[u].text) ? CapitalizeFirst(std::string(contracted))
                                                 : std::string(contracted);
      units[next].text.clear();
      break;
    }
  }
}

namespace {

// ---- German to English --------------------------------------------------------------

// German function words with their English word (articles, pronouns, possessives in
// every form the dictionary does not list one by one).
constexpr std::pair<std::string_view, std::string_view> kGermanWords[] = {
    {"der", "the"},      {"die", "the"},      {"das", "the"},         {"den", "the"},
    {"dem", "the"},      {"ein", "a"},        {"eine", "a"},          {"einen", "a"},
    {"einem", "a"},      {"einer", "a"},      {"kein", "no"},         {"keine", "no"},
    {"keinen", "no"},    {"keinem", "no"},    {"keiner", "no"},       {"mein", "my"},
    {"meine", "my"},     {"meinen", "my"},    {"meinem", "my"},       {"meiner", "my"},
    {"dein", "your"},    {"deine", "your"},   {"deinen", "your"},     {"deinem", "your"},
    {"deiner", "your"},  {"sein", "his"},     {"seine", "his"},       {"seinen", "his"},
    {"seinem", "his"},   {"seiner", "his"},   {"ihre", "her"},        {"ihren", "her"},
    {"ihrem", "her"},    {"ihrer", "her"},    {"unser", "our"},       {"unsere", "our"},
    {"unseren", "our"},  {"unserem", "our"},  {"unserer", "our"},     {"euer", "your"},
    {"eure", "your"},    {"euren", "your"},   {"eurem", "your"},      {"mich", "me"},
    {"mir", "me"},       {"dich", "you"},     {"dir", "you"},         {"ihn", "him"},
    {"ihm", "him"},      {"uns", "us"},       {"euch", "you"},        {"ihnen", "them"},
    {"dieser", "this"},  {"diese", "this"},   {"dieses", "this"},     {"diesen", "this"},
    {"diesem", "this"},  {"jeden", "every"},  {"jeder", "every"},     {"jedes", "every"},
    {"jede", "every"},   {"jedem", "every"},  {"nicht", "not"},       {"gern", "gladly"},
    {"gerne", "gladly"}, {"bitte", "please"}, {"danke", "thank you"}, {"sehr", "very"},
    {"zu", "to"},        {"nach", "to"},      {"um", "at"},           {"am", "on the"},
    {"ins", "to the"},   {"vom", "from the"}, {"beim", "at the"},     {"zur", "to the"}};

struct GermanPronoun {
  std::string_view word;
  std::string_view english;
  int person;
};
constexpr GermanPronoun kGermanPronouns[] = {{"ich", "I", kFirstSingular},
                                             {"du", "you", kSecondSingular},
                                             {"er", "he", kThirdSingular},
                                             {"sie", "she", kThirdSingular},
                                             {"es", "it", kThirdSingular},
                                             {"wir", "we", kFirstPlural},
                                             {"ihr", "you", 4},
                                             {"man", "one", kThirdSingular}};

// How an English verb behaves beside its subject and an infinitive at the end.
enum class VerbClass {
  Full,     // do-support for "not" and questions
  Be,       // am/is/are, not after it
  Have,     // has/have, a participle at the end joins it
  Modal,    // can/must/should/may/will + infinitive
  ModalTo,  // want/would like + "to" + infinitive
};

struct GermanFinite {
  std::string_view word;
  std::string_view english;  // base form
  VerbClass verbClass;
  bool plural;  // a plural form (for "sie": "they")
};
constexpr GermanFinite kGermanFinites[] = {{"bin", "be", VerbClass::Be, false},
                                           {"bist", "be", VerbClass::Be, false},
                                           {"ist", "be", VerbClass::Be, false},
                                           {"sind", "be", VerbClass::Be, true},
                                           {"seid", "be", VerbClass::Be, true},
                                           {"war", "was", VerbClass::Be, false},
                                           {"warst", "was", VerbClass::Be, false},
                                           {"waren", "was", VerbClass::Be, true},
                                           {"habe", "have", VerbClass::Have, false},
                                           {"hast", "have", VerbClass::Have, false},
                                           {"hat", "have", VerbClass::Have, false},
                                           {"haben", "have", VerbClass::Have, true},
                                           {"habt", "have", VerbClass::Have, true},
                                           {"hatte", "had", VerbClass::Have, false},
                                           {"hatten", "had", VerbClass::Have, true},
                                           {"kann", "can", VerbClass::Modal, false},
                                           {"kannst", "can", VerbClass::Modal, false},
                                           {"können", "can", VerbClass::Modal, true},
                                           {"könnt", "can", VerbClass::Modal, true},
                                           {"muss", "must", VerbClass::Modal, false},
                                           {"musst", "must", VerbClass::Modal, false},
                                           {"müssen", "must", VerbClass::Modal, true},
                                           {"müsst", "must", VerbClass::Modal, true},
                                           {"soll", "should", VerbClass::Modal, false},
                                           {"sollst", "should", VerbClass::Modal, false},
                                           {"sollen", "should", VerbClass::Modal, true},
                                           {"darf", "may", VerbClass::Modal, false},
                                           {"darfst", "may", VerbClass::Modal, false},
                                           {"dürfen", "may", VerbClass::Modal, true},
                                           {"werde", "will", VerbClass::Modal, false},
                                           {"wirst", "will", VerbClass::Modal, false},
                                           {"wird", "will", VerbClass::Modal, false},
                                           {"werden", "will", VerbClass::Modal, true},
                                           {"will", "want", VerbClass::ModalTo, false},
                                           {"willst", "want", VerbClass::ModalTo, false},
                                           {"wollen", "want", VerbClass::ModalTo, true},
                                           {"wollt", "want", VerbClass::ModalTo, true},
                                           {"möchte", "would like", VerbClass::ModalTo, false},
                                           {"möchtest", "would like", VerbClass::ModalTo, false},
                                           {"möchten", "would like", VerbClass::ModalTo, true},
                                           {"möchtet", "would like", VerbClass::ModalTo, true},
                                           {"hätte", "would have", VerbClass::Modal, false},
                                           {"hätten", "would have", VerbClass::Modal, true},
                                           {"mag", "like", VerbClass::Full, false},
                                           {"magst", "like", VerbClass::Full, false},
                                           {"mögen", "like", VerbClass::Full, true},
                                           {"weiß", "know", VerbClass::Full, false},
                                           {"weißt", "know", VerbClass::Full, false},
                                           {"wissen", "know", VerbClass::Full, true},
                                           {"gibt", "give", VerbClass::Full, false}};

// The English verb in the form its subject needs ("play" -> "plays").
std::string EnglishVerb(std::string_view base, int person) {
  const auto space = base.find(' ');
  const std::string_view head = base.substr(0, space);
  const std::string rest = space == std::string_view::npos ? "" : std::string(base.substr(space));
  if (head == "be") {
    return std::string(person == kFirstSingular   ? "am"
                       : person == kThirdSingular ? "is"
                                                  : "are") +
           rest;
  }
  if (head == "was")
    return std::string(person == kFirstSingular || person == kThirdSingular ? "was" : "were") +
           rest;
  if (person != kThirdSingular) return std::string(base);
  for (std::string_view unchanged :
       {"can", "must", "should", "may", "will", "would", "had", "could", "might"}) {
    if (head == unchanged) return std::string(base);
  }
  if (head == "have") return "has" + rest;
  std::string word(head);
  if (word.ends_with('y') && word.size() > 1 &&
      std::string_view("aeiou").find(word[word.size() - 2]) == std::string_view::npos) {
    word.pop_back();
    word += "ies";
  } else if (word.ends_with('s') || word.ends_with('x') || word.ends_with('z') ||
             word.ends_with("sh") || word.ends_with("ch") || word.ends_with('o')) {
    word += "es";
  } else {
    word += 's';
  }
  return word + rest;
}

std::string_view DropTo(std::string_view english) {
  return english.starts_with("to ") ? english.substr(3) : english;
}

}  // namespace

void Dictionary::GermanToEnglishGrammar(std::vector<Unit>& units, std::string_view tail) const {
  // Words the dictionary does not list in this form: through their base form (a verb
  // form, an inflected adjective, a noun with a case ending).
  for (Unit& unit : units) {
    for (const auto& [german, english] : kGermanWords) {
      if (unit.source == german) {
        unit.text = std::string(english);
        unit.known = true;
        unit.kind = Kind::Other;
      }
    }
    if (unit.known || unit.source.find(' ') != std::string::npos) continue;
    std::vector<std::string> bases;
    if (auto base = GermanInfinitive(unit.source)) bases.push_back(FoldCase(*base));
    if (morphology_) {
      if (auto base = morphology_->BaseForm(unit.source)) bases.push_back(FoldCase(*base));
    }
    for (std::string_view ending : {"n", "en", "s", "es", "e"}) {
      if (unit.source.size() > ending.size() + 2 && unit.source.ends_with(ending))
        bases.push_back(unit.source.substr(0, unit.source.size() - ending.size()));
    }
    for (const std::string& base : bases) {
      const Candidate* found = Find(germanToEnglish_, base);
      if (found == nullptr) continue;
      unit.text = found->translation;
      unit.kind = found->kind;
      unit.known = true;
      break;
    }
  }

  const auto isNoun = [&](const Unit& unit) {
    return unit.known && IsNoun(unit.kind) && unit.upper;
  };
  const auto isArticle = [&](const Unit& unit) {
    for (std::string_view word : {"der", "die", "das", "den", "dem", "des", "ein", "eine", "einen",
                                  "einem", "einer", "kein", "keine", "keinen", "keinem"}) {
      if (unit.source == word) return true;
    }
    for (std::string_view stem : {"mein", "dein", "sein", "ihr", "unser", "dies", "jed"}) {
      if (unit.source.starts_with(stem) && unit.source != "ihr") return true;
    }
    return false;
  };
  // The English base form of a German verb form, with its class; nothing when the
  // unit is no verb.
  struct Verb {
    std::string base;
    VerbClass verbClass = VerbClass::Full;
    bool plural = false;
  };
  const auto verbOf = [&](const Unit& unit, bool clauseStart,
                          bool afterPronoun = false) -> std::optional<Verb> {
    if (unit.source.find(' ') != std::string::npos) return std::nullopt;
    if (const auto* finite = FindIn(kGermanFinites, unit.source)) {
      return Verb{std::string(finite->english), finite->verbClass, finite->plural};
    }
    if (unit.upper && !clauseStart) return std::nullopt;  // a noun
    if (FindIn(kGermanPronouns, unit.source) || isArticle(unit)) return std::nullopt;
    for (const auto& [german, english] : kGermanWords) {
      if (unit.source == german) return std::nullopt;
    }
    std::optional<std::string> infinitive;
    if (Find(germanVerbs_, unit.source) != nullptr) {
      infinitive = unit.source;
    } else {
      // A word that is also another word's form ("liebe": "lieb") is a verb after
      // a subject pronoun only.
      const auto direct = germanToEnglish_.find(unit.source);
      if (!afterPronoun && direct != germanToEnglish_.end() && direct->second.kind != Kind::Verb &&
          direct->second.kind != Kind::Other) {
        return std::nullopt;
      }
      infinitive = GermanInfinitive(unit.source);
    }
    if (!infinitive) return std::nullopt;
    const Candidate* found = Find(germanVerbs_, *infinitive);
    if (found == nullptr) return std::nullopt;
    return Verb{std::string(DropTo(found->translation)), VerbClass::Full,
                unit.source.ends_with("en")};
  };

  // Moves units [from, to) to stand before `at` (at <= from).
  const auto moveRange = [&](std::size_t from, std::size_t to, std::size_t at) {
    std::vector<Unit> moved(
        std::make_move_iterator(units.begin() + static_cast<std::ptrdiff_t>(from)),
        std::make_move_iterator(units.begin() + static_cast<std::ptrdiff_t>(to)));
    units.erase(units.begin() + static_cast<std::ptrdiff_t>(from),
                units.begin() + static_cast<std::ptrdiff_t>(to));
    units.insert(units.begin() + static_cast<std::ptrdiff_t>(at),
                 std::make_move_iterator(moved.begin()), std::make_move_iterator(moved.end()));
  };

  std::size_t begin = 0;
  while (begin < units.size()) {
    std::size_t end = begin + 1;
    while (end < units.size() && !IsClauseBreak(units[end].gap) && units[end].source != "und" &&
           units[end].source != "aber" && units[end].source != "oder" &&
           units[end].source != "weil" && units[end].source != "denn")
      ++end;
    const std::size_t clauseEnd = end;
    const bool question =
        (end < units.size() ? std::string_view(units[end].gap) : tail).find('?') !=
        std::string_view::npos;
    const bool startsSentence = units[begin].capital;
    if (units[begin].source == "und" || units[begin].source == "aber" ||
        units[begin].source == "oder" || units[begin].source == "weil" ||
        units[begin].source == "denn") {
      ++begin;
    }
    if (begin >= end) {
      begin = clauseEnd;
      continue;
    }
    // The finite verb: the first verb of the clause.
    std::size_t v = begin;
    std::optional<Verb> verb;
    for (; v < end; ++v) {
      verb =
          verbOf(units[v], v == begin, v > begin && FindIn(kGermanPronouns, units[v - 1].source));
      if (verb) break;
    }
    if (!verb) {
      begin = clauseEnd;
      continue;
    }
    // A noun phrase or pronoun as subject, before the verb or just after it.
    const auto phraseAt = [&](std::size_t at) -> std::pair<std::size_t, int> {
      if (at >= end) return {at, -1};
      if (const auto* pronoun = FindIn(kGermanPronouns, units[at].source)) {
        int person = pronoun->person;
        if (pronoun->word == "sie" && units[at].upper && at != begin) {
          units[at].text = "you";
          person = kThirdPlural;
        } else if (pronoun->word == "sie" && verb->plural) {
          units[at].text = "they";
          person = kThirdPlural;
        } else {
          units[at].text = std::string(pronoun->english);
        }
        return {at + 1, person};
      }
      // "Das ist ...": an article right before the verb stands for a noun.
      if (at + 1 == v && (units[at].source == "das" || units[at].source == "dies")) {
        units[at].text = "that";
        return {at + 1, kThirdSingular};
      }
      std::size_t k = at;
      if (isArticle(units[k])) ++k;
      while (k < end && !units[k].upper && units[k].known && units[k].kind == Kind::Adjective)
        ++k;
      if (k < end && isNoun(units[k])) {
        return {k + 1, units[k].kind == Kind::Plural ? kThirdPlural : kThirdSingular};
      }
      return {at, -1};
    };
    std::size_t subjectBegin = begin;
    auto [subjectEnd, person] = phraseAt(begin);
    bool inverted = false;
    if (subjectEnd != v || person < 0) {
      subjectBegin = v + 1;
      std::tie(subjectEnd, person) = phraseAt(v + 1);
      inverted = person >= 0;
      if (!inverted) person = verb->plural ? kThirdPlural : kThirdSingular;
    }
    // "es gibt": "there is".
    if (units[v].source == "gibt" && ((inverted && units[subjectBegin].source == "es") ||
                                      (v > begin && units[v - 1].source == "es"))) {
      const std::size_t es = inverted ? subjectBegin : v - 1;
      units[es].text = "there";
      units[v].text = "is";
      if (inverted) moveRange(subjectBegin, subjectEnd, v);
      begin = clauseEnd;
      continue;
    }
    // "nicht", "gern" and an infinitive or participle at the end of the clause.
    std::size_t nicht = end;
    std::size_t gern = end;
    for (std::size_t k = v + 1; k < end; ++k) {
      if (units[k].source == "nicht") nicht = k;
      if (units[k].source == "gern" || units[k].source == "gerne") gern = k;
    }
    std::string verbText;
    std::string afterVerb;  // "not", an infinitive
    VerbClass verbClass = verb->verbClass;
    if (gern < end && (units[v].source == "hätte" || units[v].source == "hätten")) {
      verbText = "would like";
      verbClass = VerbClass::ModalTo;
      units[gern].text.clear();
    } else if (gern < end && verbClass == VerbClass::Full) {
      verbText = EnglishVerb("like", person) + " to " + verb->base;
      units[gern].text.clear();
    } else {
      verbText = EnglishVerb(verb->base, person);
    }
    if (nicht < end) {
      units[nicht].text.clear();
      if (verbClass == VerbClass::Full && gern == end) {
        verbText = std::string(person == kThirdSingular ? "does not " : "do not ") + verb->base;
      } else if (gern < end && verbClass == VerbClass::Full) {
        verbText = std::string(person == kThirdSingular ? "does not " : "do not ") + "like to " +
                   verb->base;
      } else {
        verbText += " not";
      }
    }
    // An infinitive (after a modal) or participle (after "haben") at the end.
    std::size_t last = end - 1;
    while (last > v && units[last].text.empty())
      --last;
    if (last > v && last > subjectEnd - 1 + (inverted ? 0 : 0) && !units[last].upper &&
        (verbClass == VerbClass::Modal || verbClass == VerbClass::ModalTo ||
         verbClass == VerbClass::Have)) {
      const Unit& final = units[last];
      std::string english;
      if (verbClass == VerbClass::Have) {
        if (final.source.starts_with("ge") && final.known)
          english = std::string(DropTo(final.text));
      } else if (auto infinitiveVerb = verbOf(final, false);
                 infinitiveVerb && final.source.ends_with('n')) {
        english = infinitiveVerb->base;
        if (verbClass == VerbClass::ModalTo) english = "to " + english;
      }
      if (!english.empty()) {
        afterVerb = english;
        units[last].text.clear();
      }
    }
    if (!afterVerb.empty()) verbText += " " + afterVerb;

    if (question && v == begin && inverted) {
      // "Spielst du Fußball?": "Do you play football?"
      if (verbClass == VerbClass::Full && gern == end) {
        units[v].text = std::string(person == kThirdSingular ? "does" : "do");
        std::string rest = nicht < end ? "not " + verb->base : verb->base;
        if (!afterVerb.empty()) rest += " " + afterVerb;
        Unit main;
        main.gap = " ";
        main.text = rest;
        main.known = true;
        units.insert(units.begin() + static_cast<std::ptrdiff_t>(subjectEnd), std::move(main));
        ++end;
      } else {
        units[v].text = verbText;
      }
    } else {
      units[v].text = verbText;
      if (inverted) {
        // "Heute gehe ich": "Today I go".
        const std::string gap = units[v].gap;
        moveRange(subjectBegin, subjectEnd, v);
        units[v].gap = gap;
        units[v + (subjectEnd - subjectBegin)].gap = " ";
      }
    }
    if (startsSentence) {
      for (std::size_t k = begin; k < end; ++k)
        units[k].capital = false;
      units[begin].capital = true;
    }
    begin = clauseEnd;
  }

  // "gut" with a verb, not before a noun, is "well" ("Ich kann gut schwimmen").
  for (std::size_t u = 1; u < units.size(); ++u) {
    if (units[u].source != "gut" || IsClauseBreak(units[u].gap)) continue;
    const bool beforeNoun = u + 1 < units.size() && isNoun(units[u + 1]);
    bool afterVerb = false;
    for (std::size_t k = u; k-- > 0;) {
      if (verbOf(units[k], false) && FindIn(kGermanFinites, units[k].source) == nullptr) {
        afterVerb = true;
      }
      if (FindIn(kGermanFinites, units[k].source) != nullptr) {
        afterVerb =
            afterVerb || FindIn(kGermanFinites, units[k].source)->verbClass != VerbClass::Be;
      }
      if (IsClauseBreak(units[k].gap)) break;
    }
    if (afterVerb && !beforeNoun) units[u].text = "well";
  }

  // Measures ("eine Tasse Kaffee": "a cup of coffee") and "a" before a vowel.
  for (std::size_t u = 0; u + 1 < units.size(); ++u) {
    if (isNoun(units[u]) && isNoun(units[u + 1]) && !IsClauseBreak(units[u + 1].gap) &&
        units[u].kind != Kind::Plural) {
      units[u + 1].text = "of " + units[u + 1].text;
    }
  }
  for (std::size_t u = 0; u + 1 < units.size(); ++u) {
    if (units[u].text != "a" && units[u].text != "A") continue;
    std::size_t next = u + 1;
    while (next < units.size() && units[next].text.empty())
      ++next;
    if (next < units.size() &&
        std::string_view("aeiouAEIOU").find(units[next].text[0]) != std::string_view::npos)
      units[u].text += 'n';
  }
}

}  // namespace parlumo::service
