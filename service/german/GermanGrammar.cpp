// The grammar of the German dictionary engine: after the dictionary has given each
// word or phrase its translation, the words of a clause are made to agree.
//
// English to German: articles, adjectives and nouns take gender, number and case
// (nominative for the subject and after "to be", dative after the prepositions that
// govern it, genitive for "of the ..." after a noun, accusative for other objects); the
// verb agrees with its subject; modal verbs send the infinitive ("gesehen werden" for
// a passive one), "be" and "have" the past participle to the end of the clause
// ("wurde ... entfernt"); "to" and a verb after a noun is "um ... zu"; a subordinate
// clause puts its verb last; the progressive is the present; an adverb of time
// follows the verb; "not" becomes "nicht" or "kein"; "a cup of coffee" loses its
// "of"; a preposition and an article contract; subjects joined by "and" take a
// plural verb, a phrase after "and" the case of the one before, a verb after "and"
// the subject before; greetings and thanks are German's own ("Wie geht es Ihnen?").
//
// German to English: the verb agrees with its subject and stands after it, in a
// subordinate clause too (after "dass", "da", "so dass", a question word, a relative
// pronoun, and "und" going on with one); an infinitive or participle at the end of
// the clause joins its auxiliary, "werden" with a participle being the passive, a
// modal's "sein" being "be"; a separable verb's prefix at the end joins its verb; a
// clause ending in an infinitive with "zu" starts with "to"; verb first with "Sie" is
// the polite imperative, verb first with a noun phrase a description without its
// subject; "sich" after a verb goes, "lässt sich" with an infinitive is "can be";
// "nicht" with a full verb becomes "do not"; "möchte", "hätte gern" and "gern" become
// "would like" and "like to"; an article after a noun is the genitive "of"; "eine
// Tasse Kaffee" gains its "of".
//
// The closed classes (auxiliary and modal verbs, pronouns, function words) come from
// the lexicon (GermanLexicon.h), the English articles and pronouns from the tables
// below; every open-class word comes from the dictionary, and the inflection of German
// verbs and adjectives from the Hunspell rules. Each direction is a list of passes
// (Dictionary::EnglishGrammar, Dictionary::GermanGrammar).

#include <algorithm>
#include <array>
#include <cctype>
#include <span>

#include "DictionaryEngine.h"
#include "GermanLexicon.h"

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
constexpr int kGenitive = 3;

// Columns of the article and ending tables.
constexpr int kMasculine = 0;
constexpr int kFeminine = 1;
constexpr int kNeuter = 2;
constexpr int kPlural = 3;

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

// The names of keys on a German keyboard that the dictionary does not list, with the
// English ones ("Strg+C": "Ctrl+C"), for both directions: German manuals write the
// German names ("Umschalt+Strg+O").
constexpr std::pair<std::string_view, std::string_view> kKeyNames[] = {
    {"strg", "Ctrl"}, {"umschalt", "Shift"}, {"entf", "Del"}, {"einfg", "Ins"}, {"pos1", "Home"}};

// Calls each(first, end, combination) for every run of units joined by "+" that holds
// a key name (`isKey`): a combination ("Strg+Alt+Entf") or a key alone.
template <typename IsKey, typename Each>
void ForEachKeyRun(std::vector<Dictionary::Unit>& units, const IsKey& isKey, const Each& each) {
  for (std::size_t first = 0; first < units.size();) {
    std::size_t end = first + 1;
    while (end < units.size() && units[end].gap == "+")
      ++end;
    bool named = false;
    for (std::size_t k = first; k < end; ++k)
      named = named || isKey(units[k]);
    if (named) each(first, end, end - first > 1);
    first = end;
  }
}

// The other keys of a combination keep their own spelling, not a translation ("Alt"
// is no "old", "O" no "oh"); false for a name or code, which stands as it is.
bool KeepsSpelling(Dictionary::Unit& unit) {
  if (unit.source.empty()) return false;
  unit.text = unit.upper ? CapitalizeFirst(unit.source) : unit.source;
  return true;
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
    {"an", Det::Indefinite, "ein", false},       {"one", Det::Indefinite, "ein", false},
    {"no", Det::Negative, "kein", false},        {"my", Det::Possessive, "mein", false},
    {"your", Det::Possessive, "Ihr", false},     {"his", Det::Possessive, "sein", false},
    {"her", Det::Possessive, "ihr", false},      {"its", Det::Possessive, "sein", false},
    {"our", Det::Possessive, "unser", false},    {"their", Det::Possessive, "ihr", false},
    {"this", Det::Demonstrative, "dies", false}, {"that", Det::Demonstrative, "dies", false},
    {"these", Det::Demonstrative, "dies", true}, {"those", Det::Demonstrative, "dies", true},
    {"every", Det::Demonstrative, "jed", false}, {"each", Det::Demonstrative, "jed", false},
    {"all", Det::Demonstrative, "all", true},    {"both", Det::Demonstrative, "beid", true}};

// Rows: nominative, accusative, dative, genitive.
using EndingTable = std::array<std::array<std::string_view, 4>, 4>;

constexpr EndingTable kDefiniteArticle = {{
    {"der", "die", "das", "die"},
    {"den", "die", "das", "die"},
    {"dem", "der", "dem", "den"},
    {"des", "der", "des", "der"},
}};
// Endings of dieser/jeder (like the definite article) and of ein/kein/mein.
constexpr EndingTable kDemonstrativeEnding = {{
    {"er", "e", "es", "e"},
    {"en", "e", "es", "e"},
    {"em", "er", "em", "en"},
    {"es", "er", "es", "er"},
}};
constexpr EndingTable kIndefiniteEnding = {{
    {"", "e", "", "e"},
    {"en", "e", "", "e"},
    {"em", "er", "em", "en"},
    {"es", "er", "es", "er"},
}};
// Adjective endings after der/dieser (weak), after ein/kein/mein (mixed) and without
// an article (strong).
constexpr EndingTable kWeakEnding = {{
    {"e", "e", "e", "en"},
    {"en", "e", "e", "en"},
    {"en", "en", "en", "en"},
    {"en", "en", "en", "en"},
}};
constexpr EndingTable kMixedEnding = {{
    {"er", "e", "es", "en"},
    {"en", "e", "es", "en"},
    {"en", "en", "en", "en"},
    {"en", "en", "en", "en"},
}};
constexpr EndingTable kStrongEnding = {{
    {"er", "e", "es", "e"},
    {"en", "e", "es", "e"},
    {"em", "er", "em", "en"},
    {"en", "er", "en", "er"},
}};

struct EnglishPronoun {
  std::string_view word;
  std::string_view nominative;
  int person;
  std::string_view accusative;
  std::string_view dative;
};
// "you" is the polite "Sie", as the commands are ("Klicken Sie"): the register of
// the manuals and messages this engine mostly meets, and one register for a whole
// text rather than "Sie" in its commands and "du" in between.
constexpr EnglishPronoun kEnglishPronouns[] = {{"i", "ich", kFirstSingular, "mich", "mir"},
                                               {"you", "Sie", kThirdPlural, "Sie", "Ihnen"},
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

// Prepositions that take the dative (the others: the accusative).
constexpr std::string_view kDativePrepositions[] = {
    "mit", "von",   "zu",   "bei", "aus",    "nach",  "seit",     "in",       "an",
    "auf", "unter", "über", "vor", "hinter", "neben", "zwischen", "gegenüber"};
constexpr std::string_view kEnglishPrepositions[] = {
    "in",   "on",     "at",      "to",     "with",   "from",    "for",   "by",
    "into", "under",  "over",    "after",  "before", "without", "about", "through",
    "near", "behind", "between", "during", "around", "against", "of",    "onto"};

// Adverbs that may stand between an auxiliary and its participle ("is already
// registered").
constexpr std::string_view kAdverbsBeforeParticiple[] = {"already", "just",  "also",
                                                         "never",   "often", "always"};
// Adverbs after "is" that make its participle a state, not a passive.
constexpr std::string_view kStateAdverbs[] = {"already", "still"};
// Adverbs of time, which German puts right after the verb.
constexpr std::string_view kTimeAdverbs[] = {"today",   "tomorrow", "yesterday", "now",
                                             "tonight", "soon",     "later"};
// Places one goes into rather than up to: "to" before them is "in" and the accusative
// ("in die Stadt", "ins Kino"), where the dictionary's "zu" reads as "up to".
constexpr std::string_view kPlacesGoneInto[] = {"city",    "town",   "cinema", "theatre",
                                                "theater", "office", "church", "mountains"};
// Things that hold what one takes, picks or removes "from" them: out of them is "aus"
// ("aus dem Menü", "aus der Liste", "aus dem Ebenenstapel"), where the dictionary's
// "von" reads as "off" or "away from".
constexpr std::string_view kContainersTakenFrom[] = {"menu",      "menus",  "menubar", "list",
                                                     "lists",     "folder", "folders", "directory",
                                                     "clipboard", "stack",  "archive", "submenu"};

// Masculine nouns of the weak declension, as the last part of a compound ("Name",
// "Dateiname"): their ending outside the nominative singular, and in the genitive
// ("den Namen", "des Namens"; "den Assistenten", "des Assistenten").
struct WeakNoun {
  std::string_view tail;
  std::string_view ending;
  std::string_view genitive;
};
constexpr WeakNoun kWeakNouns[] = {
    {"name", "n", "ns"},       {"buchstabe", "n", "ns"},  {"gedanke", "n", "ns"},
    {"wille", "n", "ns"},      {"glaube", "n", "ns"},     {"kunde", "n", "n"},
    {"junge", "n", "n"},       {"kollege", "n", "n"},     {"experte", "n", "n"},
    {"nachbar", "n", "n"},     {"herr", "n", "n"},        {"assistent", "en", "en"},
    {"student", "en", "en"},   {"präsident", "en", "en"}, {"graph", "en", "en"},
    {"paragraph", "en", "en"}, {"automat", "en", "en"},   {"planet", "en", "en"},
    {"mensch", "en", "en"},    {"held", "en", "en"}};

// The weak declension of a masculine noun, or nothing.
const WeakNoun* WeakDeclension(std::string_view noun) {
  for (const WeakNoun& weak : kWeakNouns) {
    if (noun.size() < weak.tail.size()) continue;
    const std::string_view tail = noun.substr(noun.size() - weak.tail.size());
    bool same = true;
    for (std::size_t i = 0; i < tail.size() && same; ++i)
      same = std::tolower(static_cast<unsigned char>(tail[i])) ==
             static_cast<unsigned char>(weak.tail[i]);
    if (same) return &weak;
  }
  return nullptr;
}

// The hours of the clock in words.
constexpr std::string_view kEnglishHours[] = {"one",  "two", "three",  "four",
                                              "five", "six", "seven",  "eight",
                                              "nine", "ten", "eleven", "twelve"};

// Words that open a question before its auxiliary ("Where does she live?").
constexpr std::string_view kEnglishQuestionWords[] = {"when", "where", "why", "how", "what", "who"};

// Words that start a subordinate clause, with their German word ("" for "whose",
// whose form follows its noun).
struct EnglishSubordinator {
  std::string_view word;
  std::string_view german;
};
constexpr EnglishSubordinator kEnglishSubordinators[] = {{"that", "dass"},
                                                         {"because", "weil"},
                                                         {"if", "wenn"},
                                                         {"when", "wenn"},
                                                         {"whether", "ob"},
                                                         {"although", "obwohl"},
                                                         {"whose", ""},
                                                         {"which", ""},
                                                         {"who", ""},
                                                         {"where", "wo"},
                                                         {"while", "während"},
                                                         {"once", "sobald"},
                                                         {"before", "bevor"},
                                                         {"after", "nachdem"},
                                                         {"until", "bis"},
                                                         // The dictionary's phrases.
                                                         {"as soon as", "sobald"},
                                                         {"as long as", "solange"},
                                                         {"even if", "auch wenn"},
                                                         {"even though", "obwohl"}};
// Of these, the words that are a preposition or an adverb too: a subordinate clause's
// only where a subject and its verb follow ("before you start", not "before the
// dialog").
constexpr std::string_view kSubordinatorsWithSubject[] = {"once", "before", "after", "until"};

// Words that make a subordinate clause of an -ing form ("by using"), with their German
// word.
constexpr EnglishSubordinator kGerundSubordinators[] = {{"by", "indem"},
                                                        {"before", "bevor"},
                                                        {"after", "nachdem"},
                                                        {"while", "während"},
                                                        {"when", "wenn"}};
// Prepositions whose -ing form with its objects is an infinitive with "zu" in German
// ("without saving the file": "ohne die Datei zu speichern"), with the word that must
// stand before them ("instead of") and their German word.
struct GerundInfinitiveLead {
  std::string_view word;
  std::string_view before;  // "" for any
  std::string_view german;
};
constexpr GerundInfinitiveLead kGerundInfinitives[] = {
    {"without", "", "ohne"}, {"of", "instead", "anstatt"}, {"for", "", "um"}};
// Prepositions whose -ing form alone is the German infinitive as a noun, after the
// preposition and article that German contracts ("for printing": "zum Drucken").
constexpr EnglishSubordinator kBareGerunds[] = {{"for", "zum"}};
constexpr std::string_view kFormsOfBe[] = {"am", "is", "are", "was", "were", "be", "been"};

// Abbreviations with their reading in the other language: the source words of their
// parts, each but the first after a dot ("z. B.": "z", "b"). Their dots end no clause.
struct Abbreviation {
  std::string_view first;
  std::string_view second;  // "" for one word
  std::string_view reading;
};
constexpr Abbreviation kEnglishAbbreviations[] = {
    {"e", "g", "z. B."},   {"i", "e", "d. h."},   {"etc", "", "usw."}, {"cf", "", "vgl."},
    {"approx", "", "ca."}, {"incl", "", "inkl."}, {"resp", "", "bzw."}};
constexpr Abbreviation kGermanAbbreviations[] = {
    {"z", "b", "e.g."},          {"d", "h", "i.e."},       {"u", "a", "among others"},
    {"bzw", "", "or"},           {"usw", "", "etc."},      {"etc", "", "etc."},
    {"ggf", "", "if necessary"}, {"evtl", "", "possibly"}, {"ca", "", "approx."},
    {"vgl", "", "cf."},          {"inkl", "", "incl."},    {"bspw", "", "for example"},
    {"sog", "", "so-called"}};
// Reads the abbreviations of `table` in `units` as one unit each, its reading
// with its dots; the dot that closes one is no longer a gap's.
void ReadAbbreviations(std::vector<Dictionary::Unit>& units, std::string_view tail,
                       std::span<const Abbreviation> table) {
  // Whether the gap inside is a dot and spaces only ("z. B.", "z.B.").
  const auto inside = [](std::string_view gap) {
    return gap.starts_with('.') && gap.find_first_not_of(" ", 1) == std::string_view::npos;
  };
  // Whether the gap after starts with one dot, which the abbreviation takes ("usw.)").
  const auto isDot = [](std::string_view gap) {
    return gap.starts_with('.') && !gap.starts_with("..");
  };
  for (std::size_t u = 0; u < units.size(); ++u) {
    for (const Abbreviation& row : table) {
      if (units[u].source != row.first) continue;
      std::size_t last = u;
      if (!row.second.empty()) {
        if (u + 1 >= units.size() || units[u + 1].source != row.second || !inside(units[u + 1].gap))
          continue;
        last = u + 1;
      }
      // The closing dot: in the next unit's gap, or the text's end.
      const bool atEnd = last + 1 >= units.size();
      if (atEnd ? !isDot(tail) : !isDot(units[last + 1].gap)) continue;
      if (last != u) {
        // The second part is gone, for the passes too.
        units[last].text.clear();
        units[last].gap.clear();
        units[last].source.clear();
        units[last].kind = Dictionary::Kind::Other;
      }
      std::string reading(row.reading);
      if (atEnd && reading.ends_with('.')) reading.pop_back();  // the text's own dot
      if (!atEnd) units[last + 1].gap.erase(0, 1);
      units[u].text = std::move(reading);
      // No pass reads its first part as a word of its own ("i" of "i.e." is no "I").
      units[u].source.clear();
      units[u].kind = Dictionary::Kind::Other;
      units[u].known = true;
      break;
    }
  }
}

// The participles of strong and mixed verbs whose vowel changes, by their stems, with
// the infinitive's stem ("gebrochen": "brechen"); the commonest in manuals.
constexpr std::pair<std::string_view, std::string_view> kStrongParticipleStems[] = {
    {"brochen", "brechen"},     {"sprochen", "sprechen"},   {"nommen", "nehmen"},
    {"worfen", "werfen"},       {"troffen", "treffen"},     {"holfen", "helfen"},
    {"golten", "gelten"},       {"schlossen", "schließen"}, {"zogen", "ziehen"},
    {"boten", "bieten"},        {"schoben", "schieben"},    {"schrieben", "schreiben"},
    {"blieben", "bleiben"},     {"stiegen", "steigen"},     {"griffen", "greifen"},
    {"wiesen", "weisen"},       {"funden", "finden"},       {"bunden", "binden"},
    {"schwunden", "schwinden"}, {"gangen", "gehen"},        {"standen", "stehen"},
    {"gossen", "gießen"},       {"flossen", "fließen"},     {"schossen", "schießen"},
    {"bogen", "biegen"},        {"flogen", "fliegen"},      {"hoben", "heben"},
    {"litten", "leiden"},       {"schnitten", "schneiden"}, {"glichen", "gleichen"},
    {"wichen", "weichen"},      {"schienen", "scheinen"},   {"mieden", "meiden"},
    {"trieben", "treiben"},     {"sunken", "sinken"},       {"sungen", "singen"},
    {"wandt", "wenden"},        {"sandt", "senden"},        {"nannt", "nennen"},
    {"kannt", "kennen"},        {"brannt", "brennen"},      {"bracht", "bringen"},
    {"dacht", "denken"},        {"worden", "werden"},       {"wusst", "wissen"},
    {"loren", "lieren"},        {"froren", "frieren"},
};

// Verbs whose perfect takes "sein" ("ist aufgetreten": "has occurred"); "ist" with
// another participle is a state ("ist geöffnet": "is opened").
constexpr std::string_view kPerfectWithSein[] = {
    "abstürzen", "ankommen",     "aufstehen",    "auftreten", "aufwachen",  "ausfallen",
    "bleiben",   "einschlafen",  "eintreten",    "entstehen", "erscheinen", "fahren",
    "fallen",    "fehlschlagen", "fliegen",      "gehen",     "gelingen",   "geschehen",
    "kommen",    "laufen",       "misslingen",   "passieren", "reisen",     "sein",
    "sterben",   "umziehen",     "verschwinden", "wachsen",   "werden",     "zurückkehren"};
// Words of a number that take the genitive of what they are part of ("some of the
// layers": "einige der Ebenen").
constexpr std::string_view kPartOf[] = {"some", "many", "several", "few"};
// Words of a number that stand for one thing of what they are part of, with the stem
// that agrees with its gender ("one of the layers": "eine der Ebenen", "each of the
// tools": "jedes der Werkzeuge").
struct OneOf {
  std::string_view word;
  std::string_view stem;
};
constexpr OneOf kOneOf[] = {
    {"one", "ein"}, {"each", "jed"}, {"any", "irgendein"}, {"none", "kein"}};
// Senses that the words around choose: a sentence about drawing draws a "Linie", where
// the manuals' "line" is otherwise a line of text, "Zeile".
struct SenseInContext {
  std::string_view word;
  std::string_view german;
  Kind kind;
  std::span<const std::string_view> context;
};
constexpr std::string_view kDrawing[] = {
    "draw",   "draws", "drawn",  "drawing", "dotted", "dashed",  "straight",  "curve",
    "curves", "shape", "shapes", "angle",   "angles", "corners", "connector", "thickness"};
// An option or a box that is "checked" is switched on, "aktiviert", not examined.
constexpr std::string_view kCheckable[] = {"option",    "options",     "box",       "boxes",
                                           "check box", "checkbox",    "check-box", "setting",
                                           "settings",  "check-button"};
constexpr SenseInContext kSensesInContext[] = {
    {"line", "Linie", Kind::Feminine, kDrawing},
    {"lines", "Linien", Kind::Plural, kDrawing},
    {"checked", "aktiviert", Kind::Adjective, kCheckable},
    {"unchecked", "deaktiviert", Kind::Adjective, kCheckable},
};
// Words that join two clauses; each clause gets its own subject and verb.
constexpr std::string_view kEnglishConjunctions[] = {"and", "but", "or", "because"};

constexpr std::pair<std::string_view, std::string_view> kContractions[] = {
    {"in dem", "im"},   {"in das", "ins"},   {"an dem", "am"},
    {"an das", "ans"},  {"zu dem", "zum"},   {"zu der", "zur"},
    {"von dem", "vom"}, {"bei dem", "beim"}, {"auf das", "aufs"}};

// The vowel changes of strong verbs from the present stem's end to the participle's
// ("schneid": "schnitt", "gleich": "glich", "bind": "bund"), tried in turn. "eit" has no
// row: "bereiten" is weak, and its "beritten" is another word.
constexpr std::pair<std::string_view, std::string_view> kInseparableAblaut[] = {
    {"eid", "itt"}, {"eid", "ied"}, {"eif", "iff"}, {"eich", "ich"}, {"eiß", "iss"},
    {"eib", "ieb"}, {"eig", "ieg"}, {"eis", "ies"}, {"ein", "ien"},  {"ind", "und"},
    {"ing", "ung"}, {"ink", "unk"}, {"inn", "onn"}};

// Nouns that measure what follows their "of", which German joins without a
// preposition ("a cup of coffee": "eine Tasse Kaffee"); other nouns keep "von" ("a
// list of values": "eine Liste von Werten").
constexpr std::string_view kMeasureNouns[] = {
    "cup",    "cups",     "glass",     "glasses", "bottle", "bottles", "piece", "pieces",
    "slice",  "slices",   "kilo",      "kilos",   "gram",   "grams",   "litre", "litres",
    "liter",  "liters",   "pound",     "pounds",  "bag",    "bags",    "can",   "cans",
    "jar",    "jars",     "bowl",      "bowls",   "plate",  "plates",  "pot",   "pots",
    "spoon",  "spoons",   "pair",      "pairs",   "dozen",  "loaf",    "bunch", "sheet",
    "sheets", "kilogram", "kilograms", "mug",     "mugs",   "box",     "boxes"};

// Everyday senses of verbs that the dictionary lists only inside longer entries ("ein
// Fahrzeug fahren: to drive"), before the senses it lists on their own ("treiben").
constexpr std::pair<std::string_view, std::string_view> kEverydayVerbs[] = {
    {"drive", "fahren"},
};

// Verbs whose object takes a German preposition other than the English one's
// ("wait for the bus": "auf den Bus warten"), with its case.
struct VerbPreposition {
  std::string_view verb;
  std::string_view preposition;
  std::string_view german;
  int grammaticalCase;
};
// Verbs that their object chooses ("ask a question": "eine Frage stellen", not
// "fragen").
struct VerbObject {
  std::string_view verb;
  std::string_view object;
  std::string_view german;
};
constexpr VerbObject kVerbObjects[] = {{"ask", "question", "stellen"},
                                       {"make", "decision", "treffen"},
                                       {"take", "photo", "machen"},
                                       {"take", "picture", "machen"}};

// Verbs whose object German gives in the dative ("helps the man": "hilft dem Mann"),
// and those whose person object is dative before an infinitive ("allows the user to
// delete": "erlaubt dem Benutzer, ... zu löschen"; but "erlaubt die Konfiguration").
constexpr std::string_view kDativeVerbs[] = {"helfen",  "danken",   "antworten",
                                             "gehören", "gefallen", "folgen"};
constexpr std::string_view kDativeBeforeInfinitive[] = {"erlauben", "ermöglichen"};

constexpr VerbPreposition kVerbPrepositions[] = {
    {"wait", "for", "auf", kAccusative},   {"ask", "for", "um", kAccusative},
    {"look", "for", "nach", kDative},      {"search", "for", "nach", kDative},
    {"depend", "on", "von", kDative},      {"consist", "of", "aus", kDative},
    {"refer", "to", "auf", kAccusative},   {"point", "to", "auf", kAccusative},
    {"think", "of", "an", kAccusative},    {"think", "about", "an", kAccusative},
    {"talk", "about", "über", kAccusative}};

bool Contains(std::span<const std::string_view> list, std::string_view word) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

// The article of a phrase in the row (case) and column (gender) of the tables, and
// the adjective endings after it. `article` turns false where the article has no
// form: "a" has no plural.
std::string ArticleText(Det det, const EnglishDeterminer* determiner, std::size_t row,
                        std::size_t col, bool& article, const EndingTable*& endings) {
  if (!article) return {};
  switch (det) {
    case Det::Definite:
      endings = &kWeakEnding;
      return std::string(kDefiniteArticle[row][col]);
    case Det::Demonstrative:
      endings = &kWeakEnding;
      return std::string(determiner->stem) + std::string(kDemonstrativeEnding[row][col]);
    case Det::Indefinite:
      if (col == kPlural) {
        article = false;
        return {};
      }
      endings = &kMixedEnding;
      return "ein" + std::string(kIndefiniteEnding[row][col]);
    case Det::Negative:
    case Det::Possessive:
      endings = &kMixedEnding;
      return (det == Det::Negative ? std::string("kein") : std::string(determiner->stem)) +
             std::string(kIndefiniteEnding[row][col]);
  }
  return {};
}

// Whether a verb stem takes "e" before the ending "t" or "st": after t or d, and
// after m or n that follow another consonant ("öffnet", "geöffnet", "gezeichnet",
// "berechnet": "ch" is one; but "lernt", "filmt", "wohnt").
bool TakesLinkingE(std::string_view stem) {
  const std::size_t n = stem.size();
  if (n >= 3 && (stem[n - 1] == 'm' || stem[n - 1] == 'n') && stem.substr(n - 3, 2) == "ch")
    return true;
  return stem.ends_with('t') || stem.ends_with('d') ||
         (n >= 2 && (stem[n - 1] == 'm' || stem[n - 1] == 'n') && stem[n - 2] != stem[n - 1] &&
          std::isalpha(static_cast<unsigned char>(stem[n - 2])) &&
          std::string_view("aeioulrh").find(stem[n - 2]) == std::string_view::npos);
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

// Whether `form` is a form of the English verb `verb` ("waits", "waited", "waiting",
// "referred").
bool IsFormOf(std::string_view form, std::string_view verb) {
  if (!form.starts_with(verb)) return false;
  std::string_view ending = form.substr(verb.size());
  if (!ending.empty() && ending.front() == verb.back() && ending.size() > 1)
    ending.remove_prefix(1);
  constexpr std::string_view kEndings[] = {"", "s", "es", "ed", "d", "ing"};
  return Contains(kEndings, ending);
}

// Verbs whose infinitive with "to" is their object, not a purpose ("start to make":
// "anfangen, ... zu machen", without "um").
bool TakesInfinitive(std::string_view form) {
  constexpr std::string_view kVerbs[] = {"start",  "begin",    "try",      "attempt", "decide",
                                         "forget", "remember", "continue", "manage",  "fail",
                                         "plan",   "hope",     "prefer",   "refuse",  "seem"};
  constexpr std::string_view kIrregular[] = {"tries", "tried", "began", "forgot", "seemed"};
  return Contains(kIrregular, form) ||
         std::any_of(std::begin(kVerbs), std::end(kVerbs),
                     [&](std::string_view verb) { return IsFormOf(form, verb); });
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
    if ((pronoun != nullptr && first != "her") || FindIn(EnglishAuxiliaries(), first)) return true;
    return FindIn(kEnglishDeterminers, first) != nullptr ||
           FindIn(kEnglishDeterminers, last) != nullptr ||
           FindIn(kEnglishPronouns, last) != nullptr || Contains(kEnglishPrepositions, last);
  }
  return IsClosedGermanWord(first) || IsClosedGermanWord(last);
}

bool Dictionary::GrammarDescribes(const std::vector<std::string_view>& words,
                                  std::string_view german) {
  constexpr std::string_view kDescribing[] = {"new", "old", "small", "little", "young"};
  return words.size() == 2 && Contains(kDescribing, FoldCase(words.front())) &&
         !StartsUpper(words.back()) && german.find(' ') == std::string_view::npos;
}

std::string Dictionary::GermanVerb(const std::string& infinitive, int person) const {
  if (person < 0 || person > 5) person = kThirdPlural;
  if (const ClosedVerb* closed = FindClosedVerb(infinitive))
    return std::string(closed->forms[static_cast<std::size_t>(person)]);
  if (person == kFirstPlural || person == kThirdPlural) return infinitive;
  if (person == kSecondSingular || person == kThirdSingular) {
    if (const auto strong = image_->Find<StrongFormsRow>(IndexTable::StrongForms, infinitive)) {
      const std::string_view form =
          image_->Text(person == kSecondSingular ? strong->second : strong->third);
      if (!form.empty()) return std::string(form);
    }
    // A verb with an inseparable prefix changes its vowel as the verb under it does
    // ("enthalten": "enthält" as "halten": "hält"). "unter", "über", "hinter" and
    // "wider" are such prefixes too where nothing splits them off ("unterbricht").
    for (std::string_view prefix : {"be", "emp", "ent", "er", "ge", "miss", "ver", "zer", "unter",
                                    "über", "hinter", "wider"}) {
      if (!infinitive.starts_with(prefix) || infinitive.size() < prefix.size() + 4) continue;
      const std::string base = infinitive.substr(prefix.size());
      const auto strong = image_->Find<StrongFormsRow>(IndexTable::StrongForms, base);
      if (!strong) continue;
      const std::string_view form =
          image_->Text(person == kSecondSingular ? strong->second : strong->third);
      if (!form.empty() && form.find(' ') == std::string_view::npos)
        return std::string(prefix) + std::string(form);
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
  if (ending != "e" && TakesLinkingE(stem)) return stem + "e" + std::string(ending);
  return stem + std::string(ending);
}

std::pair<std::string, std::string> Dictionary::SplitSeparable(
    const std::string& infinitive) const {
  // Longer prefixes first: "hinzufügen" is "hinzu" and "fügen", not "hin" and "zufügen".
  constexpr std::string_view kPrefixes[] = {
      "zurück", "zusammen", "weiter", "hinzu", "heraus", "herunter", "heim", "fest",
      "fort",   "los",      "nach",   "vor",   "weg",    "ein",      "auf",  "aus",
      "mit",    "an",       "ab",     "bei",   "zu",     "her",      "hin"};
  for (const std::string_view prefix : kPrefixes) {
    if (!infinitive.starts_with(prefix) || infinitive.size() < prefix.size() + 4) continue;
    std::string stem = infinitive.substr(prefix.size());
    // The stem may be a verb only with "sich" ("einfügen": "sich fügen").
    if (Find(IndexTable::GermanVerbs, stem) || Find(IndexTable::GermanVerbs, "sich " + stem))
      return {std::string(prefix), stem};
  }
  return {};
}

std::optional<std::string> Dictionary::GermanInfinitive(const std::string& form) const {
  if (const auto strong = image_->Find<PairRow>(IndexTable::StrongInfinitives, form))
    return std::string(image_->Text(strong->value));
  if (morphology_) {
    if (auto base = morphology_->BaseForm(form, true)) return base;
  }
  // A strong verb with a prefix, whose forms the dictionary lists only without it
  // ("ergibt": "er" + "gibt", "ergeben"; "verhält": "verhalten"), when it knows the
  // verb with the prefix.
  const std::string folded = FoldCase(form);
  for (std::size_t cut = 2; cut + 3 <= folded.size(); ++cut) {
    const auto strong =
        image_->Find<PairRow>(IndexTable::StrongInfinitives, std::string_view(folded).substr(cut));
    if (!strong) continue;
    std::string infinitive = folded.substr(0, cut) + std::string(image_->Text(strong->value));
    if (FindExact(IndexTable::GermanVerbs, infinitive)) return infinitive;
  }
  return std::nullopt;
}

std::optional<Dictionary::NounForms> Dictionary::Noun(std::string_view german) const {
  const auto row = image_->Find<NounRow>(IndexTable::Nouns, german);
  if (!row) return std::nullopt;
  return NounForms{.gender = static_cast<Kind>(row->gender), .plural = image_->Text(row->plural)};
}

// The English-to-German grammar over the units of one text: a list of passes run in
// order, most of them once for each clause. A pass reads and writes the units and the
// clause's state; it never looks at what a later pass does.
class Dictionary::EnglishGrammar {
 public:
  EnglishGrammar(const Dictionary& dictionary, std::vector<Unit>& units, std::string_view tail)
      : dictionary_(dictionary), units_(units), tail_(tail) {}

  void Run() {
    for (const auto pass : kTextPasses)
      (this->*pass)();
  }

 private:
  // A noun phrase the grammar has given its German forms.
  struct Phrase {
    std::size_t end = 0;
    int person = kThirdSingular;
    bool definite = false;  // a definite or possessive article, or a pronoun
    bool found = false;
  };

  // What the passes learn about one clause, units [begin, end). `end` grows when a
  // pass inserts a unit.
  struct Clause {
    std::size_t begin = 0;
    std::size_t end = 0;
    Phrase subject;
    bool there = false;       // "there is": "es gibt"
    std::size_t adverbs = 0;  // where the adverbs before the verb start
    std::size_t verb = 0;     // the verb group: its first unit
    std::size_t finite = 0;   // the verb that takes the subject's person
    std::size_t next = 0;     // the first unit after the verb group
    int person = kThirdSingular;
    bool negate = false;             // "not" stands in the clause
    bool negationPlaced = true;      // "kein" took it, or there is none
    std::size_t nichtBefore = 0;     // where "nicht" goes when nothing took it
    bool copula = false;             // the verb is "to be": nominative and plain adjectives
    bool gern = false;               // "like to": "gern" after the verb
    std::vector<std::size_t> toEnd;  // infinitives and separated verb parts, in order
    // The word that makes it a subordinate clause ("that", "whose"), or npos: its
    // verb goes last.
    std::size_t subordinator = std::string::npos;
    // Where a subject of several phrases ("the cat and the dog") starts, or npos.
    std::size_t subjectStart = std::string::npos;
    // The clause goes on after "and" with the subject of the one before ("you select
    // it and click"): its verb agrees with that.
    bool sharedSubject = false;
    // A question of the auxiliary's order ("Can you swim?"): where its verb goes.
    std::size_t question = std::string::npos;
    // A main clause after a subordinate clause or a phrase in front: its verb first
    // ("Wenn ..., können Sie ...").
    bool verbFirst = false;
    bool afterPhrase = false;     // after a phrase: without the comma
    int relativeColumn = -1;      // a relative clause: the gender of its noun
    bool relativeObject = false;  // its pronoun is the object ("die Sie öffnen")
    std::string prefix;           // a separable verb's prefix, sent to the end
    bool dativeObject = false;    // its full verb takes its object in the dative
  };

  // What the clauses before tell about the next one.
  struct Opening {
    bool purpose = false;    // it starts with an infinitive of purpose
    bool completes = false;  // that infinitive completes the word before it
    // A subordinate clause or a phrase with a preposition opened the sentence: the
    // main clause after its comma starts with the verb. After a phrase German sets
    // no comma.
    bool fronted = false;
    bool frontedPhrase = false;
    // A relative clause ended at the verb of the clause around it: the gender of the
    // noun it is about, that clause's subject (-1: none).
    int antecedentColumn = -1;
    // The clause starts with a subordinate clause's word; a relative clause's with
    // the gender of its noun (-1: none).
    bool subordinator = false;
    int relativeColumn = -1;
  };

  using TextPass = void (EnglishGrammar::*)();
  using ClausePass = void (EnglishGrammar::*)(Clause&);

  // Where in the clause a construction is recognised.
  enum class Place {
    Subject,  // while the subject is looked for
    Support,  // at the verb: "do" and "not"
    Verb,     // at the finite verb
    Object,   // among the objects
  };
  // A construction of a few words whose German form no word-by-word rule gives: its
  // first word and the word after it ("" for any), and what makes it German.
  // `apply` may decline (it returns false) when the rest of the clause does not fit;
  // at an object it moves `at` past what it took.
  struct Construction {
    Place place;
    std::string_view first;
    std::string_view second;
    bool (EnglishGrammar::*apply)(Clause&, std::size_t& at);
  };

  // The passes over the whole text, in order.
  void Greetings();
  bool HowIs(std::size_t at);
  void Plurals();
  void ContactRelatives();
  void Gerunds();
  std::string SentenceSubject(std::size_t at) const;
  bool DescribesWithoutSubject(const Clause& clause) const;
  void Clauses();
  void Contractions();
  void MenuPaths();
  void Abbreviations();
  void NoLonger();
  void KeyNames();
  void SensesInContext();
  // The passes over one clause, in order.
  void Subject(Clause& clause);
  void Adverbs(Clause& clause);
  void Support(Clause& clause);
  void FiniteVerb(Clause& clause);
  void Objects(Clause& clause);
  void Negation(Clause& clause);
  void Gern(Clause& clause);
  void TimeAdverbs(Clause& clause);
  void InfinitivesToEnd(Clause& clause);
  void VerbSecond(Clause& clause);
  void Subordinator(Clause& clause);
  void Question(Clause& clause);
  void QuestionOrder(Clause& clause);
  void VerbLast(Clause& clause);
  void ReflexiveAfterSubject(Clause& clause);
  bool IsSubordinator(std::size_t at) const;
  bool IsRelative(std::size_t at) const;
  std::size_t ClauseEnd(std::size_t begin, bool relative) const;
  void NoteStart(std::size_t at, Opening& opening) const;
  bool MainVerbAfterRelative(std::size_t begin, std::size_t at) const;
  void Open(Clause& clause, Opening& opening);
  void RelativePronoun(Clause& clause);
  bool IsPurposeTo(std::size_t at) const;
  bool GerundInfinitive(std::size_t at) const;
  const GerundInfinitiveLead* GerundLead(std::size_t at) const;
  bool BareGerund(std::size_t at) const;
  bool PurposeFor(std::size_t at) const;
  bool ThanksFor(std::size_t at) const;
  void GerundSubjects();
  void BareGerunds();
  bool PurposeFirst(std::size_t at) const;
  bool GovernsInfinitive(std::size_t at) const;
  bool AdjectiveWithInfinitive(std::size_t at) const;
  bool CompletesWord(std::size_t at) const;
  void InfinitiveClause(Clause& clause, bool completes);

  const EnglishDeterminer* ItsOwner(std::size_t at, const EnglishDeterminer* determiner) const;
  int OwnerColumn(std::size_t at, bool notPrepositions) const;
  void CommaAfterFrontClause();
  void ThatBeforeFrontClause();
  void NegatedCommands();
  void IngRelatives();
  bool SubjectWithVerb(std::size_t at) const;
  bool IsVerbForm(const Unit& unit) const;
  bool JoinsSubjects(std::size_t begin, std::size_t at) const;
  bool ContinuesPhrase(Clause& clause);
  bool SharesSubject(Clause& clause);
  bool ThirdPersonShared(Clause& clause);
  void CoordinatedSubject(Clause& clause, std::size_t start);
  void SeparatedPrefix(Clause& clause, std::size_t command);
  std::size_t NameWithVerb(const Clause& clause, std::size_t at) const;
  bool VerbAfterSubject(const Clause& clause, std::size_t end) const;
  std::size_t DemonstrativeWithVerb(const Clause& clause, std::size_t at);

  static constexpr TextPass kTextPasses[] = {
      // Abbreviations ("e.g.", "etc.") as one unit each, their German with its dots
      // ("z. B.", "usw."), so that their dots end no clause.
      &EnglishGrammar::Abbreviations,
      // "no longer", and "no more" before no noun: "nicht mehr" ("are no longer
      // required", "no more than 20"), not "nein länger".
      &EnglishGrammar::NoLonger,
      // Set phrases of greeting and thanks, which German says in words of its own
      // ("Thank you": "Danke", "How are you?": "Wie geht es Ihnen?").
      &EnglishGrammar::Greetings,
      // Plurals and verb forms the dictionary does not list: through their base form.
      &EnglishGrammar::Plurals,
      // Keys by their German names ("Shift+Ctrl+O": "Umschalt+Strg+O"), each a name
      // for the passes after ("the Ctrl key": "die Strg-Taste").
      &EnglishGrammar::KeyNames,
      // A relative clause without its pronoun ("the layer you want") gains one.
      &EnglishGrammar::ContactRelatives,
      // "by using ...": "indem Sie ... verwenden".
      &EnglishGrammar::Gerunds,
      // "for printing": "zum Drucken".
      &EnglishGrammar::BareGerunds,
      // "Resizing is possible": "Skalieren ist möglich".
      &EnglishGrammar::GerundSubjects,
      // "a string representing a date": "eine Zeichenfolge, die ein Datum darstellt".
      &EnglishGrammar::IngRelatives,
      // "Note that if ...": "Beachten Sie: Wenn ...", the clause in front of its own.
      &EnglishGrammar::ThatBeforeFrontClause,
      // "Do not open the file": "Öffnen Sie die Datei nicht".
      &EnglishGrammar::NegatedCommands,
      // Senses the words around choose ("draw a line": "Linie", not "Zeile").
      &EnglishGrammar::SensesInContext,
      // A clause in front without its comma ("When it opens the window shows") gains
      // one before the main clause.
      &EnglishGrammar::CommaAfterFrontClause,
      // Each clause in turn, through kClausePasses.
      &EnglishGrammar::Clauses,
      // A preposition and the article after it contract ("in dem" -> "im").
      &EnglishGrammar::Contractions,
      // "through" a menu path ("through Edit → Paste", one unit of its own) is
      // "über".
      &EnglishGrammar::MenuPaths,
  };
  static constexpr ClausePass kClausePasses[] = {
      // The German word of a subordinate clause's first word, after a comma.
      &EnglishGrammar::Subordinator,
      // A question in the auxiliary's order ("Can you swim?", "Where does she live?")
      // takes the order of a statement for the passes after: the auxiliary after the
      // subject, "do" gone.
      &EnglishGrammar::Question,
      // The subject: the first pronoun or noun phrase, in the nominative; a phrase
      // before it takes its preposition's case.
      &EnglishGrammar::Subject,
      // Adverbs between subject and verb ("I often play") follow the verb in German.
      &EnglishGrammar::Adverbs,
      // "do not" leaves the negation to the verb after it.
      &EnglishGrammar::Support,
      // The finite verb agrees with its subject; a modal's infinitive and a separable
      // verb's prefix are marked for the end.
      &EnglishGrammar::FiniteVerb,
      // The objects in their case; an indefinite object after "not" becomes "kein".
      &EnglishGrammar::Objects,
      // "nicht" after the verb and its definite objects, when "kein" did not take it.
      &EnglishGrammar::Negation,
      // "gern" right after the verb.
      &EnglishGrammar::Gern,
      // An adverb of time right after the verb, before the objects and the
      // predicate ("Das Wetter ist heute gut").
      &EnglishGrammar::TimeAdverbs,
      // Infinitives and separated parts to the end of the clause, in their order.
      &EnglishGrammar::InfinitivesToEnd,
      // Something before the subject puts the verb before it.
      &EnglishGrammar::VerbSecond,
      // A question without a question word puts the verb first ("Kannst du ...").
      &EnglishGrammar::QuestionOrder,
      // In a subordinate clause the finite verb goes last ("dass das Haus groß ist").
      &EnglishGrammar::VerbLast,
  };

  // The constructions.
  bool There(Clause& clause, std::size_t& at);
  bool DoNot(Clause& clause, std::size_t& at);
  bool WouldLike(Clause& clause, std::size_t& at);
  bool LikeTo(Clause& clause, std::size_t& at);
  bool HaveTo(Clause& clause, std::size_t& at);
  bool KnowObject(Clause& clause, std::size_t& at);
  bool Measure(Clause& clause, std::size_t& at);
  bool Progressive(Clause& clause, std::size_t& at);
  bool ToPlace(Clause& clause, std::size_t& at);
  bool ToInside(Clause& clause, std::size_t& at);
  bool FromInside(Clause& clause, std::size_t& at);
  bool AsRole(Clause& clause, std::size_t& at);
  bool ClockTime(Clause& clause, std::size_t& at);
  bool AtHome(Clause& clause, std::size_t& at);
  bool GoHome(Clause& clause, std::size_t& at);
  static constexpr Construction kConstructions[] = {
      // "There is a cat": "Es gibt eine Katze" (the accusative follows).
      {Place::Subject, "there", "is", &EnglishGrammar::There},
      {Place::Subject, "there", "are", &EnglishGrammar::There},
      // "I do not have": the verb alone carries the negation.
      {Place::Support, "do", "not", &EnglishGrammar::DoNot},
      {Place::Support, "does", "not", &EnglishGrammar::DoNot},
      {Place::Support, "did", "not", &EnglishGrammar::DoNot},
      // "I would like (to eat)": "Ich möchte (essen)".
      {Place::Verb, "would", "like", &EnglishGrammar::WouldLike},
      // "I like to swim": "Ich schwimme gern".
      {Place::Verb, "like", "to", &EnglishGrammar::LikeTo},
      {Place::Verb, "likes", "to", &EnglishGrammar::LikeTo},
      // "They are playing": the present, "Sie spielen".
      {Place::Verb, "am", "", &EnglishGrammar::Progressive},
      {Place::Verb, "is", "", &EnglishGrammar::Progressive},
      {Place::Verb, "are", "", &EnglishGrammar::Progressive},
      // "I have to go": "Ich muss gehen"; "need to" likewise (but "need a table":
      // "brauchen").
      {Place::Verb, "have", "to", &EnglishGrammar::HaveTo},
      {Place::Verb, "has", "to", &EnglishGrammar::HaveTo},
      {Place::Verb, "need", "to", &EnglishGrammar::HaveTo},
      {Place::Verb, "needs", "to", &EnglishGrammar::HaveTo},
      {Place::Verb, "had", "to", &EnglishGrammar::HaveTo},
      // "know" and a noun phrase: "kennen" ("Er kennt den Mann"); with a clause or
      // "it": "wissen".
      {Place::Verb, "know", "", &EnglishGrammar::KnowObject},
      {Place::Verb, "knows", "", &EnglishGrammar::KnowObject},
      // A measure: "a cup of coffee", "eine Tasse Kaffee".
      {Place::Object, "of", "", &EnglishGrammar::Measure},
      // "to Berlin": "nach Berlin" (a place name takes no article).
      {Place::Object, "to", "", &EnglishGrammar::ToPlace},
      // "to the city": "in die Stadt", into a place one enters.
      {Place::Object, "to", "the", &EnglishGrammar::ToInside},
      // "from the menu": "aus dem Menü", out of what holds it.
      {Place::Object, "from", "the", &EnglishGrammar::FromInside},
      {Place::Object, "from", "this", &EnglishGrammar::FromInside},
      {Place::Object, "from", "a", &EnglishGrammar::FromInside},
      {Place::Object, "from", "your", &EnglishGrammar::FromInside},
      // "as" and a noun phrase names a role ("acts as a brush": "als ein Pinsel"): the
      // case of what plays it; after "the same" it compares, "wie".
      {Place::Object, "as", "", &EnglishGrammar::AsRole},
      // "at eight o'clock": "um acht Uhr".
      {Place::Object, "at", "", &EnglishGrammar::ClockTime},
      // "at home": "zu Hause"; "go home": "nach Hause".
      {Place::Object, "at", "home", &EnglishGrammar::AtHome},
      {Place::Object, "at home", "", &EnglishGrammar::AtHome},  // as the dictionary's phrase
      {Place::Object, "home", "", &EnglishGrammar::GoHome},
  };
  // Applies the first construction of `place` that matches at `at` and accepts.
  bool Construct(Place place, Clause& clause, std::size_t& at);

  // Helpers of the passes.
  bool IsNoun(const Unit& unit) const;
  std::optional<Candidate> InfinitiveOf(std::string_view verb) const;
  bool IsAdjective(const Unit& unit) const { return unit.known && unit.kind == Kind::Adjective; }
  std::optional<Candidate> AdjectiveSense(const Unit& unit) const;
  std::optional<Candidate> VerbSense(const Unit& unit) const;
  bool MakeAdjective(Unit& unit) const;
  int GenderOf(const Unit& noun) const;
  Phrase NounPhrase(std::size_t at, std::size_t end, int grammaticalCase, bool negate,
                    bool allowPronoun);
  bool Pronoun(std::size_t at, std::size_t end, int grammaticalCase, Phrase& phrase);
  bool TheFollowing(std::size_t at, std::size_t end, int grammaticalCase);
  std::size_t TheName(std::size_t at, std::size_t end);
  void Inflect(std::size_t at, std::size_t noun, const EnglishDeterminer* determiner,
               const std::vector<std::size_t>& adjectives, int grammaticalCase, bool negate,
               Phrase& phrase);
  int CaseAfter(const std::string& preposition) const;
  const VerbPreposition* PrepositionOfVerb(std::size_t at) const;
  int PrepositionCase(std::size_t at);
  std::size_t Genitive(const Clause& clause, std::size_t at, int partCase = kNominative);
  std::size_t GenitivesAfter(const Clause& clause, std::size_t at);
  bool OneOrMore(std::size_t at, std::size_t end, int grammaticalCase, Phrase& phrase);
  bool CountsAfterOne(std::size_t at) const;
  int SingularGender(std::size_t noun) const;
  bool IsPartOf(std::string_view word) const;
  void OneOfWhole(std::size_t word, std::size_t wholeEnd, int grammaticalCase);
  std::size_t PhraseBeforeVerb(const Clause& clause, std::size_t at);
  void SkipNot(Clause& clause);
  bool InfinitiveAt(Clause& clause, std::size_t at);
  bool IsAdverb(const Unit& unit) const;
  bool AdverbBeforeVerb(const Unit& unit) const;
  bool HasObject(const Clause& clause, std::size_t verb) const;
  std::string_view Transitive(const Clause& clause, std::size_t verb,
                              std::string_view infinitive) const;
  bool PassiveInfinitive(Clause& clause, std::size_t be);
  bool ProgressiveInfinitive(Clause& clause, std::size_t be);
  void FullVerb(Clause& clause, std::optional<Candidate> found = std::nullopt);
  std::optional<Candidate> VerbOfObject(const Clause& clause) const;
  bool Participle(Clause& clause, const EnglishAuxiliary& auxiliary);
  bool PerfectOfBe(Clause& clause, std::size_t been, const EnglishAuxiliary& auxiliary);
  std::optional<std::string> GermanParticiple(const Unit& unit) const;
  bool ReadsAsParticiple(const Unit& unit, const std::string& german) const;
  bool StateInContext(const Unit& unit) const;
  std::string ParticipleOf(const std::string& infinitive, const Unit& unit) const;
  std::optional<std::string> InseparableStrongParticiple(const std::string& stem,
                                                         std::size_t prefix) const;
  void MarkNicht(Clause& clause, std::size_t at) const;
  std::optional<Candidate> IngVerb(const std::string& form) const;
  std::optional<Candidate> BeIngVerb(const std::string& form) const;
  std::optional<std::string> IngBase(const std::string& form) const;
  void MoveBack(Clause& clause, std::size_t from, std::size_t to);
  void PutAfterVerb(Clause& clause, std::size_t at, std::string text);
  void MoveBefore(std::size_t from, std::size_t to);
  void MoveToFront(Clause& clause, std::size_t at);
  std::size_t CompoundHead(std::size_t k, std::size_t end, bool verbMayFollow) const;
  void JoinCompound(std::size_t first, std::size_t head);
  bool PresentParticiple(Unit& unit) const;
  bool IsNameUnit(const Unit& unit) const;
  std::size_t NameEnd(std::size_t k, std::size_t end) const;
  std::size_t QuotedNameEnd(std::size_t k, std::size_t end) const;
  bool OneForNoun(std::size_t at, std::size_t k, std::size_t end,
                  const EnglishDeterminer* determiner, const std::vector<std::size_t>& adjectives,
                  int grammaticalCase, Phrase& phrase);
  bool NameAlone(std::size_t at, std::size_t k, std::size_t end,
                 const EnglishDeterminer* determiner, int grammaticalCase, Phrase& phrase);
  bool NamedNoun(std::size_t at, std::size_t k, std::size_t end,
                 const EnglishDeterminer* determiner, const std::vector<std::size_t>& adjectives,
                 int grammaticalCase, Phrase& phrase);

  const Dictionary& dictionary_;
  std::vector<Unit>& units_;
  std::string_view tail_;  // what follows the last unit
  // The noun phrase given its forms last: the index after it and its case. A phrase
  // after "and" goes on in that case ("mit der Katze und dem Hund").
  std::size_t lastPhraseEnd_ = std::string::npos;
  int lastPhraseCase_ = kNominative;
  // The person of the subject of the clause before, and the index after that clause
  // (npos: it had none).
  int lastSubjectPerson_ = kThirdSingular;
  std::size_t lastSubjectClauseEnd_ = std::string::npos;
  bool lastSubjectSubordinate_ = false;  // that clause was a subordinate one
  bool lastDescribed_ = false;           // that clause was a description without one
  // The index after the main clause before and how many of its last units went to its
  // end (a separated prefix, an infinitive): a phrase after "and" goes before them
  // ("Legt die Werte für Spalten und Zeilen fest").
  std::size_t lastClauseEnd_ = std::string::npos;
  std::size_t lastEndParts_ = 0;
};

void Dictionary::EnglishToGermanGrammar(std::vector<Unit>& units, std::string_view tail) const {
  EnglishGrammar(*this, units, tail).Run();
}

void Dictionary::EnglishGrammar::Abbreviations() {
  ReadAbbreviations(units_, tail_, kEnglishAbbreviations);
}

void Dictionary::EnglishGrammar::NoLonger() {
  for (std::size_t at = 0; at + 1 < units_.size(); ++at) {
    Unit& no = units_[at];
    Unit& next = units_[at + 1];
    if (no.source != "no" || IsClauseBreak(next.gap) ||
        (next.source != "longer" && next.source != "more"))
      continue;
    // "no more files" keeps its noun's "kein".
    if (next.source == "more" && at + 2 < units_.size() && !IsClauseBreak(units_[at + 2].gap) &&
        (IsNoun(units_[at + 2]) || IsAdjective(units_[at + 2])))
      continue;
    // Both stay adverbs for the passes after, which put "nicht mehr" where German
    // wants it ("Die Datei existiert nicht mehr").
    no.text = no.capital ? "Nicht mehr" : "nicht mehr";
    no.kind = Kind::Adverb;
    no.known = true;
    no.source.clear();
    next.text.clear();
    next.source.clear();
    next.kind = Kind::Adverb;
    next.known = true;
  }
}

bool Dictionary::EnglishGrammar::Construct(Place place, Clause& clause, std::size_t& at) {
  for (const Construction& construction : kConstructions) {
    if (construction.place != place || units_[at].source != construction.first) continue;
    if (!construction.second.empty() &&
        (at + 1 >= clause.end || units_[at + 1].source != construction.second))
      continue;
    if ((this->*construction.apply)(clause, at)) return true;
  }
  return false;
}

// The German infinitive of an English verb's base form.
std::optional<Dictionary::Candidate> Dictionary::EnglishGrammar::InfinitiveOf(
    std::string_view verb) const {
  for (const auto& [english, german] : kEverydayVerbs) {
    if (english != verb) continue;
    Candidate everyday;
    everyday.translation = german;
    everyday.kind = Kind::Verb;
    return everyday;
  }
  return dictionary_.Find(IndexTable::EnglishVerbs, verb);
}

bool Dictionary::EnglishGrammar::IsNoun(const Unit& unit) const {
  return unit.known && IsNounKind(unit.kind) && !FindIn(kEnglishPronouns, unit.source) &&
         !FindIn(EnglishAuxiliaries(), unit.source);
}

// The adjective sense of a word, where it ranks with the word's general sense (a
// head word, not a narrower sense: "red" is "rot", but "book" stays "Buch").
std::optional<Dictionary::Candidate> Dictionary::EnglishGrammar::AdjectiveSense(
    const Unit& unit) const {
  if (unit.source.find(' ') != std::string::npos) return std::nullopt;
  std::optional<Candidate> adjective = dictionary_.Find(IndexTable::EnglishAdjectives, unit.source);
  // A reading cut short ("Vorgänger…") is no word to inflect.
  if (!adjective || adjective->translation.find("\u2026") != std::string_view::npos)
    return std::nullopt;
  std::optional<Candidate> general = dictionary_.Find(IndexTable::EnglishToGerman, unit.source);
  if (general && adjective->rank.Sense() > general->rank.Sense()) return std::nullopt;
  return adjective;
}

// A verb's German infinitive: its verb sense, or the verb phrase the dictionary lists
// ("play football": "Fußball spielen").
std::optional<Dictionary::Candidate> Dictionary::EnglishGrammar::VerbSense(const Unit& unit) const {
  if (std::optional<Candidate> found = InfinitiveOf(unit.source)) return found;
  const auto space = unit.source.find(' ');
  if (space == std::string::npos || !unit.known) return std::nullopt;
  if (!InfinitiveOf(unit.source.substr(0, space))) return std::nullopt;
  std::optional<Candidate> phrase = dictionary_.Find(IndexTable::EnglishToGerman, unit.source);
  return phrase && phrase->translation.ends_with('n') ? phrase : std::nullopt;
}

// An adjective in front of a noun or after "to be" takes its adjective sense, where
// the dictionary has one ("red" is "rot", not "Rot").
bool Dictionary::EnglishGrammar::MakeAdjective(Unit& unit) const {
  if (IsAdjective(unit)) return true;
  std::optional<Candidate> found = AdjectiveSense(unit);
  if (!found) return false;
  unit.text = found->translation;
  unit.kind = Kind::Adjective;
  unit.known = true;
  return true;
}

int Dictionary::EnglishGrammar::GenderOf(const Unit& noun) const {
  if (noun.kind == Kind::Plural) return kPlural;
  if (std::optional<NounForms> forms = dictionary_.Noun(noun.text);
      forms && forms->gender != Kind::Other)
    return Column(forms->gender);
  return Column(noun.kind);
}

// A personal pronoun at `at` in `grammaticalCase` ("her" before a noun is the
// possessive, no pronoun).
bool Dictionary::EnglishGrammar::Pronoun(std::size_t at, std::size_t end, int grammaticalCase,
                                         Phrase& phrase) {
  const auto* pronoun = FindIn(kEnglishPronouns, units_[at].source);
  if (pronoun == nullptr) return false;
  if (pronoun->word == "her" && at + 1 < end &&
      (IsNoun(units_[at + 1]) || IsAdjective(units_[at + 1])))
    return false;
  if (grammaticalCase == kNominative && pronoun->person >= 0) {
    units_[at].text = std::string(pronoun->nominative);
    phrase.person = pronoun->person;
  } else {
    units_[at].text =
        std::string(grammaticalCase == kDative ? pronoun->dative : pronoun->accusative);
    // An object "it" takes the gender of the noun it stands for ("the brush ... use
    // it": "ihn"); a subject "it" may be the empty one ("it is possible") and stays.
    // Before its own verb ("once it is", "what it returns") it is a subject that the
    // clause's passes did not find, and stays.
    const bool beforeVerb = at + 1 < units_.size() && !IsClauseBreak(units_[at + 1].gap) &&
                            (FindIn(EnglishAuxiliaries(), units_[at + 1].source) ||
                             (units_[at + 1].source.ends_with('s') && IsVerbForm(units_[at + 1])));
    if (pronoun->word == "it" && !beforeVerb) {
      const int column = OwnerColumn(at, false);
      constexpr std::string_view kAccusative[] = {"ihn", "sie", "es"};
      constexpr std::string_view kDativeForms[] = {"ihm", "ihr", "ihm"};
      if (column >= kMasculine && column <= kNeuter) {
        const auto col = static_cast<std::size_t>(column);
        units_[at].text =
            std::string(grammaticalCase == kDative ? kDativeForms[col] : kAccusative[col]);
      }
    }
  }
  phrase.end = at + 1;
  phrase.definite = true;
  phrase.found = true;
  lastPhraseEnd_ = phrase.end;
  lastPhraseCase_ = grammaticalCase;
  return true;
}

// Gives a noun phrase starting at `at` its German forms in `grammaticalCase`; its
// `end` is the index after it (or `at` when there is none). `negate` turns an
// indefinite or missing article into "kein".
Dictionary::EnglishGrammar::Phrase Dictionary::EnglishGrammar::NounPhrase(
    std::size_t at, std::size_t end, int grammaticalCase, bool negate, bool allowPronoun) {
  Phrase phrase;
  phrase.end = at;
  if (at >= end) return phrase;
  if (allowPronoun && Pronoun(at, end, grammaticalCase, phrase)) return phrase;
  if (OneOrMore(at, end, grammaticalCase, phrase)) return phrase;
  const EnglishDeterminer* determiner = FindIn(kEnglishDeterminers, units_[at].source);
  std::size_t k = determiner != nullptr ? at + 1 : at;
  if (determiner != nullptr && determiner->word == "the" && TheFollowing(at, end, grammaticalCase))
    return Phrase{.end = at + 2, .person = kThirdSingular, .definite = true, .found = true};
  if (determiner != nullptr && determiner->word == "the") {
    if (const std::size_t named = TheName(at, end); named != at)
      return Phrase{.end = named, .person = kThirdSingular, .definite = true, .found = true};
  }
  std::vector<std::size_t> adjectives;
  // Adjectives: those the dictionary gives as such, and words with an adjective sense
  // that stand before another adjective or the noun.
  const auto adjectiveHere = [&](std::size_t position) {
    if (IsAdjective(units_[position])) return true;
    if (position + 1 >= end) return false;
    const Unit& after = units_[position + 1];
    if (!AdjectiveSense(units_[position])) {
      Unit& word = units_[position];
      // After an article only: elsewhere an -ing form before a noun may be a verb with
      // its object ("Using daily rates", "ranges containing labels").
      if (determiner != nullptr && (IsNoun(after) || IsAdjective(after)) &&
          !IsClauseBreak(after.gap) && PresentParticiple(word))
        return true;
      // A past participle before the noun is its adjective ("the opened file": "die
      // geöffnete Datei").
      if (!IsNoun(after) || IsClauseBreak(after.gap) ||
          word.source.find(' ') != std::string::npos ||
          !(word.source.ends_with("ed") || word.source.ends_with("en")))
        return false;
      const auto german = GermanParticiple(word);
      if (!german || german->find(' ') != std::string::npos) return false;
      word.text = *german;
      word.kind = Kind::Adjective;
      word.known = true;
      return true;
    }
    if (!(IsNoun(after) || IsAdjective(after) || AdjectiveSense(after) ||
          NameEnd(position + 1, end) != position + 1))
      return false;
    return MakeAdjective(units_[position]);
  };
  while (k < end && (units_[k].source == "very" || adjectiveHere(k)) &&
         !IsClauseBreak(units_[k].gap)) {
    if (units_[k].source != "very") adjectives.push_back(k);
    ++k;
  }
  if (k < end && (k > at || determiner == nullptr) &&
      NamedNoun(at, k, end, determiner, adjectives, grammaticalCase, phrase))
    return phrase;
  if (determiner != nullptr && k == at + 1 &&
      NameAlone(at, k, end, determiner, grammaticalCase, phrase))
    return phrase;
  if (determiner != nullptr && !adjectives.empty() &&
      OneForNoun(at, k, end, determiner, adjectives, grammaticalCase, phrase))
    return phrase;
  if (k >= end || !IsNoun(units_[k]) || (k > at && IsClauseBreak(units_[k].gap))) return phrase;
  const std::size_t head = CompoundHead(k, end, grammaticalCase == kNominative);
  Inflect(at, head, determiner, adjectives, grammaticalCase, negate, phrase);
  JoinCompound(k, head);
  // A name after the noun belongs to it ("the command Select All", as NamedNoun writes
  // "the Select All command").
  while (determiner != nullptr && phrase.end < end && units_[phrase.end].gap == " " &&
         units_[phrase.end].source.empty() && IsNameUnit(units_[phrase.end]))
    lastPhraseEnd_ = ++phrase.end;
  return phrase;
}

// Nouns in a row ("the layer stack") are one German compound whose last noun is the
// head: the index of that noun. A noun that may be the clause's verb and agrees with
// the noun before it as one ("the user sets", "users need") ends the row; a phrase in
// another case than the subject's has its verb elsewhere, so there it is a noun ("your
// page styles": "Ihre Seitenstile").
std::size_t Dictionary::EnglishGrammar::CompoundHead(std::size_t k, std::size_t end,
                                                     bool verbMayFollow) const {
  while (k + 1 < end && IsNoun(units_[k + 1]) && units_[k + 1].gap == " " &&
         units_[k].source.find(' ') == std::string::npos &&
         units_[k + 1].text.find(' ') == std::string::npos && !units_[k + 1].upper) {
    const std::string& next = units_[k + 1].source;
    const bool plural = units_[k].kind == Kind::Plural;
    bool verb = false;
    if (plural) {
      verb = InfinitiveOf(next).has_value();
    } else {
      for (const std::string& base : EnglishBaseForms(next))
        verb = verb || InfinitiveOf(base).has_value();
    }
    if (verb && verbMayFollow) break;
    ++k;
  }
  return k;
}

// Writes the nouns from `first` to `head` as one word in the head's unit ("Ebene" and
// "Stapel": "Ebenenstapel"): each noun before the head in its singular with its
// linking element, the head as inflected.
void Dictionary::EnglishGrammar::JoinCompound(std::size_t first, std::size_t head) {
  if (first == head) return;
  std::string word;
  for (std::size_t k = first; k < head; ++k) {
    std::string part = units_[k].text;
    if (units_[k].kind == Kind::Plural) {
      for (const std::string& base : EnglishBaseForms(units_[k].source)) {
        const auto singular = dictionary_.Find(IndexTable::EnglishToGerman, base);
        if (singular && IsNounKind(singular->kind) && singular->kind != Kind::Plural) {
          part = singular->translation;
          break;
        }
      }
    }
    if (part.find(' ') != std::string::npos) return;  // no compound of phrases
    if (dictionary_.morphology_) part = dictionary_.morphology_->CompoundModifier(part);
    word += word.empty() ? part : FoldCase(part);
  }
  Unit& last = units_[head];
  last.text = word + FoldCase(last.text);
  for (std::size_t k = first; k < head; ++k)
    units_[k].text.clear();
}

// "the following" without a noun after it is a noun of its own: "Folgendes" ("im
// Folgenden", "wie folgt").
bool Dictionary::EnglishGrammar::TheFollowing(std::size_t at, std::size_t end,
                                              int grammaticalCase) {
  const std::size_t k = at + 1;
  if (k >= end || units_[k].source != "following" || IsClauseBreak(units_[k].gap) ||
      (k + 1 < end && !IsClauseBreak(units_[k + 1].gap) &&
       (IsNoun(units_[k + 1]) || IsAdjective(units_[k + 1]))))
    return false;
  units_[k].kind = Kind::Neuter;
  // As the subject or the object German says it without the article ("Sie sollten
  // Folgendes wissen"), after "to be" and "like" "wie folgt" ("ist wie folgt"), after
  // "all" as a plural ("alle Folgenden").
  if (grammaticalCase == kNominative || grammaticalCase == kAccusative) {
    const std::string_view before = at > 0 ? std::string_view(units_[at - 1].source) : "";
    const bool afterBe = Contains(kFormsOfBe, before);
    units_[at].text = afterBe ? "wie" : "";
    units_[k].text = afterBe || before == "like" ? "folgt"
                     : before == "all"           ? "Folgenden"
                                                 : "Folgendes";
    return true;
  }
  const auto row = static_cast<std::size_t>(grammaticalCase);
  units_[at].text = std::string(kDefiniteArticle[row][kNeuter]);
  units_[k].text = std::string("Folgend") + std::string(kWeakEnding[row][kNeuter]);
  return true;
}

// "the" before a program's name in capitals that the phrase ends with ("The GIMP",
// "of the GIMP 2.0"): German names a program without an article ("GIMP", "von
// GIMP"); the article goes. The index after the name, or `at`. A name before a noun
// ("the GIMP toolbox") and a word in capitals only at its start ("the Toolbox") keep
// the article.
std::size_t Dictionary::EnglishGrammar::TheName(std::size_t at, std::size_t end) {
  std::size_t k = at + 1;
  if (k >= end) return at;
  const std::string_view name = units_[k].text;
  if (name.size() < 2 || name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos)
    return at;
  while (k < end && units_[k].source.empty() && units_[k].upper && !units_[k].known &&
         !IsClauseBreak(units_[k].gap))
    ++k;
  if (k == at + 1 || (k < end && !IsClauseBreak(units_[k].gap) && IsNoun(units_[k]))) return at;
  units_[at].text.clear();
  return k;
}

// The article, adjectives and noun of a phrase (the noun at `noun`) in their forms.
void Dictionary::EnglishGrammar::Inflect(std::size_t at, std::size_t noun,
                                         const EnglishDeterminer* determiner,
                                         const std::vector<std::size_t>& adjectives,
                                         int grammaticalCase, bool negate, Phrase& phrase) {
  determiner = ItsOwner(at, determiner);
  Unit& head = units_[noun];
  int column = GenderOf(head);
  if (determiner != nullptr && determiner->plural && column != kPlural) {
    if (std::optional<NounForms> forms = dictionary_.Noun(head.text);
        forms && !forms->plural.empty()) {
      head.text = forms->plural;
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
  const EndingTable* endings = &kStrongEnding;
  const std::string articleText = ArticleText(det, determiner, row, col, article, endings);
  if (determiner != nullptr) {
    units_[at].text = article ? articleText : std::string();
  } else if (article) {
    // "kein" for a phrase that had no article: it stands in the first unit's place.
    Unit& first = units_[at];
    first.text = articleText + " " + first.text;
  }
  for (const std::size_t a : adjectives) {
    const std::string ending(article ? (*endings)[row][col] : kStrongEnding[row][col]);
    units_[a].text = dictionary_.morphology_
                         ? dictionary_.morphology_->Adjective(units_[a].text, ending)
                         : units_[a].text + ending;
  }
  // A weak masculine noun ends in "-n" outside the nominative: "den Namen", "des
  // Namens". The genitive singular of another masculine or neuter noun: "des
  // Filters", "des Hauses"; a noun in -s takes "es" after "aus" and "ss" only ("des
  // Hauses", "des Status").
  const bool oneWord = head.text.find(' ') == std::string::npos;
  const WeakNoun* weak = column == kMasculine && oneWord ? WeakDeclension(head.text) : nullptr;
  if (weak != nullptr && grammaticalCase != kNominative) {
    head.text += grammaticalCase == kGenitive ? weak->genitive : weak->ending;
  } else if (grammaticalCase == kGenitive && (column == kMasculine || column == kNeuter) &&
             oneWord &&
             (!head.text.ends_with('s') || head.text.ends_with("aus") ||
              head.text.ends_with("ss"))) {
    const bool es = head.text.ends_with('s') || head.text.ends_with("ß") ||
                    head.text.ends_with('x') || head.text.ends_with('z') ||
                    head.text.ends_with("sch");
    head.text += es ? "es" : "s";
  }
  // Dative plural: "den Kindern" (not after -n or -s, nor after the -i and -a of a
  // foreign plural: "den Modi", "den Schemata").
  if (column == kPlural && grammaticalCase == kDative && !head.text.ends_with('n') &&
      !head.text.ends_with('s') && !head.text.ends_with('i') && !head.text.ends_with('a')) {
    head.text += 'n';
  }
  phrase.end = noun + 1;
  phrase.person = column == kPlural ? kThirdPlural : kThirdSingular;
  phrase.definite =
      article && (det == Det::Definite || det == Det::Possessive || det == Det::Demonstrative);
  phrase.found = true;
  lastPhraseEnd_ = phrase.end;
  lastPhraseCase_ = grammaticalCase;
}

// "its" agrees with its owner, the nearest noun before it in the sentence that is no
// preposition's ("the layer in the image and its mask" is the layer's): "sein" after
// a masculine or neuter noun, "ihr" after a feminine one ("die Ebene und ihre
// Maske"); the determiner to use in its place.
const EnglishDeterminer* Dictionary::EnglishGrammar::ItsOwner(
    std::size_t at, const EnglishDeterminer* determiner) const {
  if (determiner == nullptr || determiner->word != "its") return determiner;
  const int column = OwnerColumn(at, true);
  return column == kFeminine || column == kPlural ? FindIn(kEnglishDeterminers, "her") : determiner;
}

// The gender column of the noun that "its" or "it" at `at` stands for: the nearest
// noun before it in the sentence, with `notPrepositions` one that is no
// preposition's; -1 for none.
int Dictionary::EnglishGrammar::OwnerColumn(std::size_t at, bool notPrepositions) const {
  for (std::size_t k = at; k-- > 0;) {
    if (units_[k + 1].gap.find_first_of(".!?\n") != std::string::npos) break;
    // A German noun is written with a capital: a word the grammar made a verb is none.
    if (units_[k].text.empty() || !IsNoun(units_[k]) || units_[k].upper ||
        !StartsUpper(units_[k].text))
      continue;
    std::size_t first = k;
    while (first > 0 && !IsClauseBreak(units_[first].gap) &&
           (IsNoun(units_[first - 1]) || IsAdjective(units_[first - 1]) ||
            FindIn(kEnglishDeterminers, units_[first - 1].source) != nullptr))
      --first;
    if (notPrepositions && first > 0 && Contains(kEnglishPrepositions, units_[first - 1].source)) {
      k = first;
      continue;
    }
    return GenderOf(units_[k]);
  }
  return -1;
}

// Moves the unit at `from` to just before `to` (to > from), keeping the text's
// punctuation in place: the moved unit takes a single space before it.
void Dictionary::EnglishGrammar::MoveBefore(std::size_t from, std::size_t to) {
  Unit moved = std::move(units_[from]);
  if (from + 1 < units_.size() &&
      units_[from + 1].gap.find_first_not_of(" \t") == std::string::npos &&
      moved.gap.find_first_not_of(" \t") != std::string::npos) {
    units_[from + 1].gap = moved.gap;
  }
  moved.gap = " ";
  units_.erase(units_.begin() + static_cast<std::ptrdiff_t>(from));
  units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(to - 1), std::move(moved));
}

void Dictionary::EnglishGrammar::MenuPaths() {
  // A menu path is one unit, with no source, that holds an arrow or a dash.
  const auto path = [&](const Unit& unit) {
    return unit.source.empty() && (unit.text.find("\u2192") != std::string::npos ||
                                   unit.text.find(" \u2013 ") != std::string::npos);
  };
  for (std::size_t at = 1; at < units_.size(); ++at) {
    Unit& before = units_[at - 1];
    if (path(units_[at]) && (before.source == "through" || before.source == "via"))
      before.text = "über";
  }
}

// A greeting's words at the start of a clause take their German text and lose their
// source words, so that the passes after leave them alone.
void Dictionary::EnglishGrammar::Greetings() {
  const auto take = [&](std::size_t at, std::string_view german) {
    units_[at].text = std::string(german);
    units_[at].source.clear();
    units_[at].kind = Kind::Other;
  };
  for (std::size_t at = 0; at + 1 < units_.size(); ++at) {
    // At the start of a clause, or after "and" ("And how are you?").
    const bool clauseStart = at == 0 || IsClauseBreak(units_[at].gap) ||
                             units_[at - 1].source == "and" || units_[at - 1].source == "but";
    if (!clauseStart || IsClauseBreak(units_[at + 1].gap)) continue;
    // "Thank you (for ...)": "Danke (für ...)"; "I thank you" keeps its verb.
    if (units_[at].source == "thank" && units_[at + 1].source == "you") {
      take(at, units_[at].capital ? "Danke" : "danke");
      take(at + 1, "");
    } else if (HowIs(at)) {
      at += 2;
    }
  }
}

// "How are you?", "How is she?": one asks how it goes with someone, "Wie geht es
// Ihnen?", "Wie geht es ihr?"; only as a whole clause ("How are you going to ..."
// asks something else).
bool Dictionary::EnglishGrammar::HowIs(std::size_t at) {
  if (at + 2 >= units_.size() || units_[at].source != "how" || IsClauseBreak(units_[at + 2].gap) ||
      (at + 3 < units_.size() && !IsClauseBreak(units_[at + 3].gap)))
    return false;
  const std::string& be = units_[at + 1].source;
  const auto* pronoun = FindIn(kEnglishPronouns, units_[at + 2].source);
  if ((be != "am" && be != "is" && be != "are") || pronoun == nullptr || pronoun->person < 0 ||
      pronoun->word == "it")
    return false;
  units_[at + 1].text = "geht es";
  units_[at + 2].text = std::string(pronoun->dative);
  for (std::size_t k = at + 1; k < at + 3; ++k) {
    units_[k].source.clear();
    units_[k].kind = Kind::Other;
  }
  return true;
}

void Dictionary::EnglishGrammar::Plurals() {
  for (Unit& unit : units_) {
    if (unit.known || unit.source.find(' ') != std::string::npos) continue;
    for (const std::string& base : EnglishBaseForms(unit.source)) {
      std::optional<Candidate> found = dictionary_.Find(IndexTable::EnglishToGerman, base);
      if (!found || !IsNounKind(found->kind)) continue;
      std::optional<NounForms> forms = dictionary_.Noun(found->translation);
      unit.text = forms && !forms->plural.empty() ? forms->plural : found->translation;
      unit.kind = Kind::Plural;
      unit.known = true;
      break;
    }
  }
}

// A noun followed by a subject pronoun and its verb ("the layer you want to move")
// inside a main clause: a relative clause without "which", which German cannot leave
// out ("die Ebene, die Sie verschieben möchten"). Inside a subordinate clause the
// pronoun more likely starts the next clause ("When you open the file you see").
void Dictionary::EnglishGrammar::ContactRelatives() {
  std::size_t clauseStart = 0;
  for (std::size_t at = 1; at + 1 < units_.size(); ++at) {
    if (IsClauseBreak(units_[at].gap)) clauseStart = at;
    const auto* pronoun = FindIn(kEnglishPronouns, units_[at].source);
    if (pronoun == nullptr || pronoun->person < 0 || IsClauseBreak(units_[at].gap) ||
        !IsNoun(units_[at - 1]) || units_[at - 1].upper ||
        FindIn(kEnglishSubordinators, units_[clauseStart].source) != nullptr)
      continue;
    const Unit& verb = units_[at + 1];
    // "be" after it is rather the next clause's ("In the case of the filter it is").
    const EnglishAuxiliary* auxiliary = FindIn(EnglishAuxiliaries(), verb.source);
    if (auxiliary != nullptr && auxiliary->german == "sein") continue;
    bool finite = auxiliary != nullptr || VerbSense(verb).has_value();
    for (const std::string& base : EnglishBaseForms(verb.source))
      finite = finite || InfinitiveOf(base).has_value();
    if (!finite || IsClauseBreak(verb.gap)) continue;
    Unit which;
    which.gap = " ";
    which.source = "which";
    which.known = true;
    units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(at), std::move(which));
    ++at;
  }
}

// An -ing form after a noun, with an object or a phrase of its own after it ("a
// string representing a date", "changes occurring in this layer"), tells what the
// noun does: German says it in a relative clause ("eine Zeichenfolge, die ein Datum
// darstellt"), for which the -ing form becomes the verb after "which". One at the end
// of its clause ("oil painting") is a noun.
void Dictionary::EnglishGrammar::IngRelatives() {
  for (std::size_t at = 1; at + 1 < units_.size(); ++at) {
    Unit& ing = units_[at];
    const Unit& noun = units_[at - 1];
    const Unit& next = units_[at + 1];
    if (IsClauseBreak(ing.gap) || IsClauseBreak(next.gap) || !IsNoun(noun) ||
        Contains(kPartOf, noun.source))
      continue;
    const std::optional<std::string> base = IngBase(ing.source);
    if (!base) continue;
    // The noun ends a noun phrase: an article, an adjective or a noun before it, or a
    // plural ("Try typing", "by double clicking" are no noun and its -ing form).
    const Unit* before = at >= 2 && !IsClauseBreak(noun.gap) ? &units_[at - 2] : nullptr;
    const bool phraseEnd =
        noun.kind == Kind::Plural ||
        (before != nullptr && (FindIn(kEnglishDeterminers, before->source) != nullptr ||
                               IsNoun(*before) || IsAdjective(*before)));
    const bool article = FindIn(kEnglishDeterminers, next.source) != nullptr;
    const bool object = article || IsNoun(next) || IsAdjective(next) ||
                        (!next.upper && !next.known && next.source.empty());
    const bool phrase = Contains(kEnglishPrepositions, next.source);
    // An -ing form that is a noun itself ("painting tools", "ending with") is rather
    // part of a compound.
    if (!phraseEnd || (!object && !phrase) || (IsNoun(ing) && !article)) continue;
    // Without an object, a verb the dictionary gives only in words about its object
    // ("end": "einer Sache ein Ende setzen") would read wrong.
    const std::optional<Candidate> verb = InfinitiveOf(*base);
    if (!object && (!verb || verb->translation.find(' ') != std::string::npos)) continue;
    // The verb's base form: the clause's verb pass finds it and gives it the
    // relative pronoun's person.
    ing.source = *base;
    Unit which;
    which.gap = " ";
    which.source = "which";
    which.known = true;
    units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(at), std::move(which));
    ++at;
  }
}

// A sentence that opens with a subordinate clause and has no comma before its main
// clause ("When this tool is selected the pointer changes"): the second subject
// followed by its verb starts the main clause, and German writes the comma there, so
// that the main clause puts its verb first ("..., ändert sich der Zeiger").
void Dictionary::EnglishGrammar::CommaAfterFrontClause() {
  bool open = false;
  int subjects = 0;
  for (std::size_t at = 0; at < units_.size(); ++at) {
    if (at == 0 || units_[at].gap.find_first_of(".!?:;\n") != std::string::npos) {
      const EnglishSubordinator* front = FindIn(kEnglishSubordinators, units_[at].source);
      open = front != nullptr && !front->german.empty() && front->word != "that";
      subjects = 0;
      continue;
    }
    if (!open) continue;
    if (IsClauseBreak(units_[at].gap)) {
      open = false;
    } else if (SubjectWithVerb(at) && ++subjects == 2) {
      units_[at].gap = ", ";
      open = false;
    }
  }
}

// "that" after a verb and before a clause of condition or time ("Note that if you
// press Shift, the selection grows"): German puts a colon there and lets that clause
// start a sentence, so that the main clause after it takes its verb first ("Beachten
// Sie: Wenn Sie ... drücken, wird die Auswahl ..."), where "dass, wenn" would put two
// subordinate clauses in a row.
void Dictionary::EnglishGrammar::ThatBeforeFrontClause() {
  constexpr std::string_view kFront[] = {"if", "when", "once", "while"};
  for (std::size_t at = 1; at + 1 < units_.size(); ++at) {
    const Unit& verb = units_[at - 1];
    Unit& next = units_[at + 1];
    if (units_[at].source != "that" || IsClauseBreak(units_[at].gap) || IsClauseBreak(next.gap) ||
        !Contains(kFront, next.source) || !verb.known || verb.kind != Kind::Verb)
      continue;
    next.gap = ": ";
    next.capital = true;
    units_.erase(units_.begin() + static_cast<std::ptrdiff_t>(at));
  }
}

// "Do not" and a verb first in a sentence is a command: the polite command of that
// verb, and "nicht" at the end of its clause, before a separated prefix ("Do not
// open the door": "Öffnen Sie die Tür nicht").
void Dictionary::EnglishGrammar::NegatedCommands() {
  for (std::size_t at = 0; at + 2 < units_.size(); ++at) {
    Unit& command = units_[at];
    const Unit& verb = units_[at + 2];
    if (command.source != "do" || !command.capital || units_[at + 1].source != "not" ||
        IsClauseBreak(units_[at + 1].gap) || IsClauseBreak(verb.gap))
      continue;
    const std::optional<Candidate> german = InfinitiveOf(verb.source);
    if (!german || german->translation.find(' ') != std::string::npos) continue;
    std::size_t end = at + 3;
    while (end < units_.size() && !IsClauseBreak(units_[end].gap) &&
           !FindIn(kEnglishSubordinators, units_[end].source) &&
           !Contains(kEnglishConjunctions, units_[end].source))
      ++end;
    // Before a relative clause "nicht" would part it from its noun.
    constexpr std::string_view kRelatives[] = {"which", "who", "whose", "that"};
    if (end < units_.size() && Contains(kRelatives, units_[end].source)) continue;
    std::string infinitive(german->translation);
    if (auto [prefix, stem] = dictionary_.SplitSeparable(infinitive); !prefix.empty()) {
      infinitive = stem;
      command.separated = prefix;
    }
    command.text = CapitalizeFirst(infinitive) + " Sie";
    command.source.clear();
    command.kind = Kind::Verb;
    command.known = true;
    // "nicht" before the preposition German gives the object ("Klicken Sie nicht auf
    // den Knopf"), else at the end.
    const std::string_view preposition = CommandPreposition(verb.source);
    const bool before = !preposition.empty() && at + 3 < units_.size() &&
                        units_[at + 3].source != "it" && units_[at + 3].source != "them";
    std::size_t gone = at + 3;  // "not", the verb, and an English "on" before the object
    if (before) {
      command.text += " nicht " + std::string(preposition);
      if (at + 3 < end && units_[at + 3].source == "on") ++gone;
    } else {
      Unit nicht;
      nicht.gap = " ";
      nicht.text = "nicht";
      nicht.known = true;
      units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(end), std::move(nicht));
    }
    units_.erase(units_.begin() + static_cast<std::ptrdiff_t>(at + 1),
                 units_.begin() + static_cast<std::ptrdiff_t>(gone));
  }
}

// Whether a subject starts at `at` and its verb follows it: a subject pronoun and a
// verb in its person ("it opens", "you see"), or an article, up to three words and an
// auxiliary or a verb in "-s" after a noun in the singular ("the pointer changes").
bool Dictionary::EnglishGrammar::SubjectWithVerb(std::size_t at) const {
  const auto verbAt = [&](std::size_t k) {
    return k < units_.size() && !IsClauseBreak(units_[k].gap) ? &units_[k] : nullptr;
  };
  if (const auto* pronoun = FindIn(kEnglishPronouns, units_[at].source);
      pronoun != nullptr && pronoun->person >= 0) {
    const Unit* verb = verbAt(at + 1);
    if (verb == nullptr) return false;
    if (FindIn(EnglishAuxiliaries(), verb->source) != nullptr) return true;
    const bool third = pronoun->person == kThirdSingular;
    return verb->source.ends_with('s') == third && IsVerbForm(*verb);
  }
  if (FindIn(kEnglishDeterminers, units_[at].source) == nullptr) return false;
  for (std::size_t k = at + 2; k <= at + 4; ++k) {
    const Unit* word = verbAt(k);
    const Unit& before = units_[k - 1];
    if (word == nullptr || !(IsNoun(before) || IsAdjective(before) || !before.known)) return false;
    if (FindIn(EnglishAuxiliaries(), word->source) != nullptr) return true;
    if (word->source.ends_with('s') && IsNoun(before) && !before.source.ends_with('s') &&
        IsVerbForm(*word))
      return true;
  }
  return false;
}

// Whether a word is a form of a verb the dictionary knows.
bool Dictionary::EnglishGrammar::IsVerbForm(const Unit& unit) const {
  if (VerbSense(unit)) return true;
  for (const std::string& base : EnglishBaseForms(unit.source)) {
    if (InfinitiveOf(base)) return true;
  }
  return false;
}

void Dictionary::EnglishGrammar::Clauses() {
  std::size_t begin = 0;
  Opening opening;
  while (begin < units_.size()) {
    Clause clause;
    clause.begin = begin;
    const std::string_view gap = units_[begin].gap;
    const bool sentenceStart = begin == 0 || gap.find_first_of(".!?:;\n") != std::string::npos;
    if (sentenceStart) {
      opening = Opening{};
      NoteStart(begin, opening);
      opening.purpose = PurposeFirst(begin);
    }
    clause.end = ClauseEnd(begin, opening.relativeColumn >= 0);
    // What starts the next clause, told before this clause's passes move its units.
    const bool nextPurpose = clause.end < units_.size() && IsPurposeTo(clause.end);
    const bool nextCompletes = nextPurpose && CompletesWord(clause.end);
    Opening next;
    if (clause.end < units_.size()) NoteStart(clause.end, next);
    if (opening.purpose) {
      InfinitiveClause(clause, opening.completes);
      // In front of the sentence, the main clause after its comma starts with the verb;
      // so it does after a clause in front that this infinitive completes ("Before
      // you start to draw, the tool ...").
      opening.fronted = sentenceStart || opening.fronted;
    } else {
      Open(clause, opening);
      const std::size_t end = clause.end;
      if (clause.begin < clause.end) {
        for (const auto pass : kClausePasses)
          (this->*pass)(clause);
      }
      // A separated prefix put in at the end moves the clause's end; the next clause
      // still follows this one's subject.
      if (lastSubjectClauseEnd_ == end) lastSubjectClauseEnd_ = clause.end;
      if (clause.verb < clause.end) {
        lastClauseEnd_ = clause.end;
        lastEndParts_ = clause.subordinator == std::string::npos ? clause.toEnd.size() : 0;
      }
      // A phrase: a preposition's, or an adverb alone ("However, ...", "Here, ...";
      // "here" and "there" are the lexicon's readings, which carry no kind).
      const Unit& first = units_[clause.begin];
      opening.frontedPhrase =
          sentenceStart && clause.subordinator == std::string::npos && !clause.subject.found &&
          (Contains(kEnglishPrepositions, first.source) ||
           (clause.end == clause.begin + 1 && ((first.known && first.kind == Kind::Adverb) ||
                                               first.source == "here" || first.source == "there")));
      if (sentenceStart && (clause.subordinator != std::string::npos || opening.frontedPhrase))
        opening.fronted = true;
    }
    opening.purpose = nextPurpose;
    opening.completes = nextCompletes;
    opening.subordinator = next.subordinator;
    opening.relativeColumn = next.relativeColumn;
    begin = clause.end;
  }
}

// Whether the clause at `at` is a subordinate or a relative clause, and the gender
// of the noun a relative clause is about.
void Dictionary::EnglishGrammar::NoteStart(std::size_t at, Opening& opening) const {
  opening.subordinator = IsSubordinator(at);
  opening.relativeColumn = opening.subordinator && IsRelative(at) ? GenderOf(units_[at - 1]) : -1;
}

// A clause runs to a break in the text, a conjunction, a subordinate clause or an
// infinitive of purpose; a relative clause also to the verb of the clause around it
// ("The file which you open is removed").
std::size_t Dictionary::EnglishGrammar::ClauseEnd(std::size_t begin, bool relative) const {
  std::size_t end = begin + 1;
  while (end < units_.size() && !IsClauseBreak(units_[end].gap) &&
         (!Contains(kEnglishConjunctions, units_[end].source) || JoinsSubjects(begin, end) ||
          CountsAfterOne(end)) &&
         !IsSubordinator(end) && !IsPurposeTo(end) &&
         !(relative && MainVerbAfterRelative(begin, end)))
    ++end;
  return end;
}

// Whether the "and" at `at` joins two noun phrases into the subject of one clause
// ("The cat and the dog are playing"), not two clauses: only a noun phrase or a
// pronoun stands before it since `begin`, and a noun phrase or a pronoun with its verb
// after it.
bool Dictionary::EnglishGrammar::JoinsSubjects(std::size_t begin, std::size_t at) const {
  if (units_[at].source != "and" || at + 2 >= units_.size()) return false;
  if (Contains(kEnglishConjunctions, units_[begin].source) || IsSubordinator(begin)) ++begin;
  if (begin >= at) return false;
  const auto inPhrase = [&](const Unit& unit) {
    const auto* pronoun = FindIn(kEnglishPronouns, unit.source);
    return (pronoun != nullptr && pronoun->person >= 0) ||
           FindIn(kEnglishDeterminers, unit.source) != nullptr || IsNoun(unit) || IsAdjective(unit);
  };
  for (std::size_t k = begin; k < at; ++k) {
    if (!inPhrase(units_[k]) || (k > begin && IsClauseBreak(units_[k].gap))) return false;
  }
  // A pronoun is a phrase alone ("I see the dog" is a clause).
  if (at > begin + 1 && FindIn(kEnglishPronouns, units_[begin].source)) return false;
  std::size_t k = at + 1;
  const auto* pronoun = FindIn(kEnglishPronouns, units_[k].source);
  if (pronoun != nullptr && pronoun->person >= 0) {
    ++k;
  } else {
    if (FindIn(kEnglishDeterminers, units_[k].source) != nullptr) ++k;
    const std::size_t first = k;
    while (k < units_.size() && k < first + 4 && !IsClauseBreak(units_[k].gap) &&
           (IsNoun(units_[k]) || IsAdjective(units_[k])) &&
           !FindIn(EnglishAuxiliaries(), units_[k].source))
      ++k;
    if (k == first) return false;
    // The noun that ends the phrase may be its plural verb ("the dog play in"); at
    // the end of the clause it is rather the head of a compound ("the Path tool").
    const Unit& last = units_[k - 1];
    if (k > first + 1 && k < units_.size() && !IsClauseBreak(units_[k].gap) &&
        !FindIn(EnglishAuxiliaries(), units_[k].source) && !last.source.ends_with('s') &&
        IsVerbForm(last))
      return true;
  }
  // Then an auxiliary or a verb in its plural form.
  if (k >= units_.size() || IsClauseBreak(units_[k].gap)) return false;
  return FindIn(EnglishAuxiliaries(), units_[k].source) != nullptr ||
         (!units_[k].source.ends_with('s') && IsVerbForm(units_[k]));
}

// An auxiliary at `at` after the verb of the relative clause from `begin`.
bool Dictionary::EnglishGrammar::MainVerbAfterRelative(std::size_t begin, std::size_t at) const {
  const EnglishAuxiliary* auxiliary = FindIn(EnglishAuxiliaries(), units_[at].source);
  if (auxiliary == nullptr || (!auxiliary->modal && auxiliary->withParticiple.empty()))
    return false;
  const std::string& before = units_[at - 1].source;
  if (before == "to" || before == "not" || FindIn(EnglishAuxiliaries(), before)) return false;
  for (std::size_t k = begin + 1; k < at; ++k) {
    const Unit& unit = units_[k];
    if (FindIn(EnglishAuxiliaries(), unit.source) || VerbSense(unit)) return true;
    for (const std::string& base : EnglishBaseForms(unit.source)) {
      if (InfinitiveOf(base)) return true;
    }
  }
  return false;
}

// What the clause's first word and the clauses before it make of it: a subordinate
// clause, a clause after "and", a main clause with its verb first, or the rest of a
// main clause after a relative clause, whose subject stands before that.
void Dictionary::EnglishGrammar::Open(Clause& clause, Opening& opening) {
  const std::size_t begin = clause.begin;
  const std::string_view gap = units_[begin].gap;
  const int antecedent = opening.antecedentColumn;
  opening.antecedentColumn = -1;
  if (opening.subordinator) {
    clause.subordinator = begin;
    clause.relativeColumn = opening.relativeColumn;
    ++clause.begin;
    if (clause.relativeColumn >= 0 && clause.end < units_.size() &&
        MainVerbAfterRelative(begin, clause.end))
      opening.antecedentColumn = clause.relativeColumn;
  } else if (Contains(kEnglishConjunctions, units_[begin].source)) {
    ++clause.begin;
  } else if (antecedent >= 0) {
    if (gap.find_first_not_of(" \t") == std::string::npos) units_[begin].gap = ", ";
    clause.subject.end = begin;
    clause.subject.person = antecedent == kPlural ? kThirdPlural : kThirdSingular;
    clause.subject.definite = true;
    clause.subject.found = true;
  } else if (opening.fronted && gap.find(',') != std::string::npos) {
    clause.verbFirst = true;
    clause.afterPhrase = opening.frontedPhrase;
    opening.fronted = false;
  }
}

// "to" and a verb after a noun or a whole clause: the infinitive of purpose ("a
// method to create brushes": "um Pinsel zu erstellen"). Not after the verbs and
// words that take "to" themselves ("want to", "due to"), nor after an adjective
// ("easy to use").
bool Dictionary::EnglishGrammar::IsPurposeTo(std::size_t at) const {
  if (GerundInfinitive(at)) return true;
  if (at == 0 || at + 1 >= units_.size() || units_[at].source != "to" ||
      IsClauseBreak(units_[at + 1].gap) || IsClauseBreak(units_[at].gap))
    return false;
  const Unit& before = units_[at - 1];
  const Unit& verb = units_[at + 1];
  // A pronoun or a name that a verb before tells to do it ("asks GIMP to do").
  const bool governedPronoun =
      (FindIn(kEnglishPronouns, before.source) != nullptr || IsNameUnit(before)) && at >= 2 &&
      GovernsInfinitive(at - 2);
  // A passive's participle: "can be used to draw": "..., um ... zu zeichnen" (but "is
  // used to working" is a habit).
  const bool passive = at >= 2 && Contains(kFormsOfBe, units_[at - 2].source) &&
                       before.source.ends_with("ed") && !verb.source.ends_with("ing");
  // After a name, as after a noun: "use GIMP to open": "um ... zu öffnen".
  if (!passive && !CompletesWord(at) && !governedPronoun && !IsNameUnit(before) &&
      (!before.known || !IsNoun(before) || before.source.empty()))
    return false;
  if (FindIn(kEnglishDeterminers, verb.source) || FindIn(kEnglishPronouns, verb.source) ||
      Contains(kEnglishPrepositions, verb.source))
    return false;
  return VerbSense(verb).has_value();
}

// Whether the preposition at `at` leads an -ing form of a verb that German says as an
// infinitive with "zu" ("without saving": "ohne zu speichern"), and so starts a clause
// of its own.
bool Dictionary::EnglishGrammar::GerundInfinitive(std::size_t at) const {
  const GerundInfinitiveLead* lead = GerundLead(at);
  if (lead == nullptr) return false;
  const std::size_t word = lead->before.empty() ? at : at + 1;
  if (word + 1 >= units_.size() || IsClauseBreak(units_[word + 1].gap) || BareGerund(word) ||
      (lead->word == "for" && !PurposeFor(word)))
    return false;
  const std::optional<std::string> base = IngBase(units_[word + 1].source);
  return base && InfinitiveOf(*base).has_value();
}

// The row of kGerundInfinitives whose words start at `at` ("instead of" at "instead").
const GerundInfinitiveLead* Dictionary::EnglishGrammar::GerundLead(std::size_t at) const {
  for (const GerundInfinitiveLead& lead : kGerundInfinitives) {
    if (lead.before.empty()
            ? units_[at].source == lead.word
            : units_[at].source == lead.before && at + 1 < units_.size() &&
                  units_[at + 1].source == lead.word && !IsClauseBreak(units_[at + 1].gap))
      return &lead;
  }
  return nullptr;
}

// Whether the infinitive at the "to" at `at` completes the word before it, and so has
// no "um": an adjective after "to be" ("it is possible to open": "es ist möglich, ...
// zu öffnen"), or a verb whose object it is ("decides to open": "entscheidet, ... zu
// öffnen"; but "the start to open" is a purpose).
bool Dictionary::EnglishGrammar::CompletesWord(std::size_t at) const {
  if (at >= 2 && TakesInfinitive(units_[at - 1].source) &&
      !FindIn(kEnglishDeterminers, units_[at - 2].source) && !IsAdjective(units_[at - 2]))
    return true;
  return AdjectiveWithInfinitive(at);
}

// Whether the "to" at `at` follows an adjective after "to be" ("it is possible to
// open").
bool Dictionary::EnglishGrammar::AdjectiveWithInfinitive(std::size_t at) const {
  if (at < 2) return false;
  // A participle is a passive's ("is used to open": "um ... zu öffnen").
  const Unit& adjective = units_[at - 1];
  if ((!IsAdjective(adjective) && !AdjectiveSense(adjective)) || adjective.source.ends_with("ed"))
    return false;
  // Between: a negation or an adverb, or "nicht" where the clause's passes put it.
  for (std::size_t k = at - 1; k-- > 0 && k + 4 > at;) {
    if (Contains(kFormsOfBe, units_[k].source)) return true;
    const std::string& between = units_[k].source;
    if (!between.empty() && between != "not" && between != "very" && between != "also" &&
        between != "often")
      return false;
  }
  return false;
}

// Whether the word at `at` is a verb whose object is told to do what an infinitive
// says ("allow", "ask", "tell" ...).
bool Dictionary::EnglishGrammar::GovernsInfinitive(std::size_t at) const {
  constexpr std::string_view kVerbs[] = {"allow", "enable",  "permit", "ask",   "tell",
                                         "want",  "require", "force",  "cause", "help"};
  return std::any_of(std::begin(kVerbs), std::end(kVerbs),
                     [&](std::string_view verb) { return IsFormOf(units_[at].source, verb); });
}

// A clause of "to" and an infinitive ("to create a brush"): "um" first, the objects
// in the accusative and the infinitive with "zu" at the end ("um einen Pinsel zu
// erstellen"); no subject and no finite verb. After a word it completes (`completes`:
// "möglich, ... zu öffnen") it has no "um".
void Dictionary::EnglishGrammar::InfinitiveClause(Clause& clause, bool completes) {
  const GerundInfinitiveLead* lead = GerundLead(clause.begin);
  // "instead of": one German word, in the place of the first.
  if (lead != nullptr && !lead->before.empty()) {
    Unit& before = units_[clause.begin];
    before.text.clear();
    units_[clause.begin + 1].capital = before.capital;
    units_[clause.begin + 1].gap = before.gap;
    before.gap.clear();
    clause.begin += 1;
  }
  Unit& to = units_[clause.begin];
  Unit& verb = units_[clause.begin + 1];
  if (lead != nullptr) verb.source = *IngBase(verb.source);
  const std::optional<Candidate> found = VerbSense(verb);
  // After a verb whose object does it ("allows the user to delete"): no "um".
  bool governed = completes;
  for (std::size_t k = clause.begin; k > 0 && k + 6 > clause.begin && !governed; --k) {
    governed = GovernsInfinitive(k - 1);
    if (IsClauseBreak(units_[k - 1].gap)) break;
  }
  to.text = governed ? "" : to.capital ? "Um" : "um";
  if (to.gap == " ") to.gap = governed ? "," : ", ";
  if (lead != nullptr) {
    to.text = to.capital ? CapitalizeFirst(std::string(lead->german)) : std::string(lead->german);
    if (to.gap == ",") to.gap = ", ";
  }
  // An adjective's infinitive alone takes no comma ("leicht zu verwenden").
  if (completes && AdjectiveWithInfinitive(clause.begin) && clause.begin + 2 == clause.end &&
      verb.source.find(' ') == std::string::npos)
    to.gap.clear();
  std::string infinitive(Transitive(clause, clause.begin + 1, found->translation));
  std::string rest;
  if (const auto space = infinitive.rfind(' '); space != std::string::npos) {
    rest = infinitive.substr(0, space + 1);
    infinitive.erase(0, space + 1);
  }
  if (auto [prefix, stem] = dictionary_.SplitSeparable(infinitive); !prefix.empty()) {
    verb.text = rest + prefix + "zu" + stem;  // "einzukaufen"
  } else {
    verb.text = rest + "zu " + infinitive;
  }
  clause.begin += 1;
  clause.verb = clause.begin;
  clause.finite = clause.begin;
  clause.next = clause.begin + 1;
  clause.toEnd.push_back(clause.begin);
  Objects(clause);
  InfinitivesToEnd(clause);
}

// "To" and a verb first in a sentence: the infinitive of purpose in front ("To open
// the file, click ...": "Um die Datei zu öffnen, klicken Sie ..."), or alone as a
// heading ("To set the radius.": "Um den Radius festzulegen.").
bool Dictionary::EnglishGrammar::PurposeFirst(std::size_t at) const {
  // "Without saving the file, ...": "Ohne die Datei zu speichern, ...".
  if (GerundInfinitive(at)) return true;
  return units_[at].source == "to" && at + 1 < units_.size() &&
         !IsClauseBreak(units_[at + 1].gap) && VerbSense(units_[at + 1]).has_value();
}

// "that" is a conjunction before a determiner or pronoun only ("that the house", not
// "that house").
bool Dictionary::EnglishGrammar::IsSubordinator(std::size_t at) const {
  const std::string& word = units_[at].source;
  const bool followed = at + 1 < units_.size() && !IsClauseBreak(units_[at + 1].gap);
  // The subject Gerunds gave an -ing form: no text yet.
  if (FindIn(kGerundSubordinators, word) != nullptr && followed &&
      FindIn(kEnglishPronouns, units_[at + 1].source) != nullptr && units_[at + 1].text.empty())
    return true;
  if (FindIn(kEnglishSubordinators, word) == nullptr) return false;
  if (Contains(kSubordinatorsWithSubject, word)) return followed && SubjectWithVerb(at + 1);
  if (IsRelative(at)) return followed;
  if (word == "which" || word == "who") return false;  // a question word
  if (word == "that") {
    if (!followed) return false;
    const Unit& next = units_[at + 1];
    if (FindIn(kEnglishDeterminers, next.source) || FindIn(kEnglishPronouns, next.source) ||
        next.source == "there")
      return true;
    // After a verb before a noun phrase ("Specifies that printer metrics are used").
    if (at == 0) return false;
    bool afterVerb = VerbSense(units_[at - 1]).has_value();
    for (const std::string& base : EnglishBaseForms(units_[at - 1].source))
      afterVerb = afterVerb || InfinitiveOf(base).has_value();
    return afterVerb && (IsNoun(next) || IsAdjective(next));
  }
  // "When do you come?", "When is it?": a question word.
  const std::string& next = followed ? units_[at + 1].source : std::string();
  return !(next == "do" || next == "does" || next == "did" ||
           FindIn(EnglishAuxiliaries(), next) != nullptr);
}

// "which", "who" and "that" right after a noun start a relative clause.
bool Dictionary::EnglishGrammar::IsRelative(std::size_t at) const {
  const std::string& word = units_[at].source;
  return (word == "which" || word == "who" || word == "that") && at > 0 && IsNoun(units_[at - 1]) &&
         units_[at].gap.find_first_of(".;:!?\n") == std::string::npos;
}

// The relative pronoun of the noun before `at`: "der", "die", "das" as the subject of
// its clause, "den", "die", "das" as its object (when a subject follows).
void Dictionary::EnglishGrammar::RelativePronoun(Clause& clause) {
  const std::size_t at = clause.subordinator;
  const int column = clause.relativeColumn;
  const std::string& next = clause.begin < clause.end ? units_[clause.begin].source : "";
  const auto* pronoun = FindIn(kEnglishPronouns, next);
  const bool object =
      (pronoun != nullptr && pronoun->person >= 0) || FindIn(kEnglishDeterminers, next) != nullptr;
  const std::size_t row = static_cast<std::size_t>(object ? kAccusative : kNominative);
  units_[at].text = std::string(kDefiniteArticle[row][static_cast<std::size_t>(column)]);
  if (units_[at].gap.find_first_not_of(" \t") == std::string::npos) units_[at].gap = ", ";
  clause.relativeObject = object;
  if (object) return;
  // The pronoun is the subject: the verb follows it and agrees with the noun.
  clause.subject.end = clause.begin;
  clause.subject.person = column == kPlural ? kThirdPlural : kThirdSingular;
  clause.subject.definite = true;
  clause.subject.found = true;
}

void Dictionary::EnglishGrammar::Subordinator(Clause& clause) {
  if (clause.subordinator == std::string::npos) return;
  if (clause.relativeColumn >= 0) {
    RelativePronoun(clause);
    return;
  }
  Unit& word = units_[clause.subordinator];
  const auto* gerund = FindIn(kGerundSubordinators, word.source);
  const auto* subordinator = FindIn(kEnglishSubordinators, word.source);
  std::string german(subordinator != nullptr ? subordinator->german : gerund->german);
  if (german.empty()) {
    // "whose": "deren" after a feminine or plural noun, else "dessen".
    const std::size_t at = clause.subordinator;
    const int column = at > 0 && IsNoun(units_[at - 1]) ? GenderOf(units_[at - 1]) : kMasculine;
    german = column == kFeminine || column == kPlural ? "deren" : "dessen";
  }
  word.text = word.capital ? CapitalizeFirst(german) : german;
  // A comma before it, but not after "and" or "or".
  if (clause.subordinator > 0 && word.gap.find_first_not_of(" \t") == std::string::npos &&
      !Contains(kEnglishConjunctions, units_[clause.subordinator - 1].source))
    word.gap = ", ";
}

void Dictionary::EnglishGrammar::Question(Clause& clause) {
  if (clause.subordinator != std::string::npos) return;
  std::size_t at = clause.begin;
  if (Contains(kEnglishQuestionWords, units_[at].source)) ++at;
  if (at + 2 >= clause.end) return;
  const std::string& first = units_[at].source;
  const bool support = first == "do" || first == "does" || first == "did";
  if (!support && FindIn(EnglishAuxiliaries(), first) == nullptr) return;
  // The subject right after it: a personal pronoun or a phrase with a definite
  // determiner ("Have a nice day" is no question).
  const std::string& next = units_[at + 1].source;
  const auto* pronoun = FindIn(kEnglishPronouns, next);
  const auto* determiner = FindIn(kEnglishDeterminers, next);
  std::size_t subjectEnd = at + 2;
  if (pronoun == nullptr || pronoun->person < 0) {
    if (determiner == nullptr || determiner->det == Det::Indefinite) return;
    while (subjectEnd < clause.end && !IsNoun(units_[subjectEnd]))
      ++subjectEnd;
    if (subjectEnd + 1 >= clause.end) return;
    ++subjectEnd;
  }
  clause.question = at;
  Unit verb = std::move(units_[at]);
  units_.erase(units_.begin() + static_cast<std::ptrdiff_t>(at));
  // The unit now first takes the verb's place in the text: its gap and capital.
  units_[at].gap = verb.gap;
  units_[at].capital = verb.capital;
  // "do" goes, but before "not" it stays for the negation ("Do you not sleep?").
  if (support && units_[subjectEnd - 1].source != "not") {
    --clause.end;
    return;
  }
  verb.gap = " ";
  verb.capital = false;
  units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(subjectEnd - 1), std::move(verb));
}

void Dictionary::EnglishGrammar::QuestionOrder(Clause& clause) {
  const std::size_t at = clause.question;
  if (at != clause.begin || clause.finite >= clause.end || clause.finite <= at ||
      units_[clause.finite].text.empty())
    return;
  Unit moved = std::move(units_[clause.finite]);
  moved.gap = units_[at].gap;
  moved.capital = units_[at].capital;
  units_[at].gap = " ";
  units_[at].capital = false;
  units_.erase(units_.begin() + static_cast<std::ptrdiff_t>(clause.finite));
  units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(at), std::move(moved));
}

void Dictionary::EnglishGrammar::VerbLast(Clause& clause) {
  if (clause.subordinator == std::string::npos || clause.finite >= clause.end ||
      units_[clause.finite].text.empty())
    return;
  if (clause.finite + 1 < clause.end) MoveBefore(clause.finite, clause.end);
  ReflexiveAfterSubject(clause);
  // The verb last joins its separated prefix again ("dass er ... einkauft"), before a
  // reflexive pronoun ("das sich ... anhäuft").
  const std::size_t last = clause.end - 1;
  if (clause.prefix.empty() || last <= clause.begin) return;
  std::string& part = units_[last - 1].text;
  if (part != clause.prefix && !part.ends_with(" " + clause.prefix)) return;
  part.resize(part.size() - clause.prefix.size());
  while (!part.empty() && part.back() == ' ')
    part.pop_back();
  std::string& verb = units_[last].text;
  const auto space = verb.find(' ');
  verb = space == std::string::npos
             ? clause.prefix + verb
             : verb.substr(space + 1) + " " + clause.prefix + verb.substr(0, space);
}

// The verb last leaves its reflexive pronoun right after the subject ("wenn der Zeiger
// sich ändert", "die sich bewegen"), not after itself.
void Dictionary::EnglishGrammar::ReflexiveAfterSubject(Clause& clause) {
  const std::size_t last = clause.end - 1;
  const std::size_t at = clause.subject.end;
  if (!clause.subject.found || at > last) return;
  std::string& verb = units_[last].text;
  const auto space = verb.rfind(' ');
  if (space == std::string::npos) return;
  constexpr std::string_view kReflexive[] = {"mich", "dich", "sich", "uns", "euch"};
  const std::string_view pronoun = std::string_view(verb).substr(space + 1);
  if (!Contains(kReflexive, pronoun)) return;
  Unit reflexive;
  reflexive.gap = " ";
  reflexive.text = pronoun;
  reflexive.known = true;
  verb.resize(space);
  units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(at), std::move(reflexive));
  ++clause.end;
}

// A sentence that starts with a verb in "-s" and its object ("Defines the width of
// the holes"), as reference manuals describe a command or a field: the verb comes
// first in German too, in the third person ("Legt die Breite ... fest"). "Lists can
// contain", "Links are updated" start with a noun.
bool Dictionary::EnglishGrammar::DescribesWithoutSubject(const Clause& clause) const {
  const std::size_t at = clause.begin;
  const Unit& first = units_[at];
  if (at + 1 >= clause.end || !first.upper || !first.source.ends_with('s') ||
      units_[at].gap.find_first_not_of(" \t\n") != std::string::npos || at > 0)
    return false;
  bool verb = false;
  for (const std::string& base : EnglishBaseForms(first.source))
    verb = verb || InfinitiveOf(base).has_value();
  const std::string& next = units_[at + 1].source;
  if (!verb) return false;
  if (FindIn(kEnglishDeterminers, next) != nullptr) return true;
  // A word that is a noun too is the subject where an auxiliary follows ("Functions
  // specific to a tool are described").
  if (IsNoun(first)) {
    for (std::size_t k = at + 1; k < clause.end; ++k) {
      if (FindIn(EnglishAuxiliaries(), units_[k].source) != nullptr) return false;
    }
  }
  // A name, a number or a value kept as it is ("Returns TRUE", "Returns 3").
  const bool kept = next.empty() && !IsClauseBreak(units_[at + 1].gap);
  return kept || IsAdjective(units_[at + 1]) || (IsNoun(units_[at + 1]) && !InfinitiveOf(next));
}

void Dictionary::EnglishGrammar::Subject(Clause& clause) {
  if (clause.subject.found) {  // a relative pronoun
    clause.verb = clause.subject.end;
    clause.person = clause.subject.person;
    return;
  }
  // A command ("Klicken Sie", made before the grammar: the only unit with a verb's
  // text and no source words) has its subject in it; what follows is its object.
  const Unit& first = units_[clause.begin];
  if (first.known && first.kind == Kind::Verb && first.source.empty()) {
    clause.verb = clause.begin;
    SeparatedPrefix(clause, clause.begin);
    return;
  }
  if (DescribesWithoutSubject(clause)) {
    clause.verb = clause.begin;
    clause.person = kThirdSingular;
    lastSubjectPerson_ = kThirdSingular;
    lastSubjectClauseEnd_ = clause.end;
    lastSubjectSubordinate_ = false;
    lastDescribed_ = true;
    return;
  }
  if (ContinuesPhrase(clause)) return;
  if (SharesSubject(clause)) return;
  lastDescribed_ = false;
  std::size_t i = clause.begin;
  for (; i < clause.end; ++i) {
    // A command after a phrase in front ("Im Dialog klicken Sie ..."), likewise.
    if (i > clause.begin && units_[i].known && units_[i].kind == Kind::Verb &&
        units_[i].source.empty()) {
      clause.verb = i;
      SeparatedPrefix(clause, i);
      return;
    }
    if (Construct(Place::Subject, clause, i)) break;
    if (FindIn(EnglishAuxiliaries(), units_[i].source) && i == clause.begin) break;  // a question
    // A name first ("GIMP creates ..."), or "this", where a verb follows it: the
    // subject.
    std::size_t named = NameWithVerb(clause, i);
    if (named == i) named = DemonstrativeWithVerb(clause, i);
    if (named != i) {
      clause.subject = Phrase{.end = named, .person = kThirdSingular, .found = true};
      clause.subjectStart = i;
      break;
    }
    clause.subject = NounPhrase(i, clause.end, kNominative, false, true);
    if (clause.subject.found) {
      if (CountsAfterOne(i + 1)) clause.subjectStart = i;  // "one or more" starts it
      CoordinatedSubject(clause, i);
      break;
    }
    // "Some of the layers": the number is the subject, what it is part of its genitive.
    if (i > clause.begin && IsPartOf(units_[i - 1].source)) {
      if (const std::size_t end = Genitive(clause, i); end != i) {
        const bool one = FindIn(kOneOf, units_[i - 1].source) != nullptr;
        clause.subject =
            Phrase{.end = end, .person = one ? kThirdSingular : kThirdPlural, .found = true};
        clause.subjectStart = i - 1;
        break;
      }
    }
    if (Contains(kEnglishPrepositions, units_[i].source)) {
      // A phrase before the subject ("In the morning"): its own case.
      std::optional<Candidate> preposition =
          dictionary_.Find(IndexTable::EnglishToGerman, units_[i].source);
      const bool dative = !preposition || Contains(kDativePrepositions, preposition->translation);
      const Phrase object =
          NounPhrase(i + 1, clause.end, dative ? kDative : kAccusative, false, true);
      if (object.found) i = GenitivesAfter(clause, object.end) - 1;
    }
  }
  // "The end of the line is ...": a genitive after the subject comes before the verb,
  // and so does a phrase with a preposition ("A layer in GIMP can be larger").
  std::size_t subjectEnd = clause.subject.end;
  while (clause.subject.found && subjectEnd < clause.end) {
    std::size_t end = Genitive(clause, subjectEnd);
    if (end == subjectEnd) end = PhraseBeforeVerb(clause, subjectEnd);
    if (end == subjectEnd) break;
    subjectEnd = end;
  }
  clause.verb = clause.subject.found ? subjectEnd : clause.there ? i + 1 : i;
  clause.person = clause.subject.found ? clause.subject.person : kThirdSingular;
  if (clause.subject.found) {
    lastSubjectPerson_ = clause.person;
    lastSubjectClauseEnd_ = clause.end;
    lastSubjectSubordinate_ = clause.subordinator != std::string::npos;
  }
}

// A clause after "and" or "or" that starts with a verb ("you select an object and
// click the button") has the subject of the clause before it, and after a
// subordinate clause its verb last as well ("wenn Sie ... wählen und ... klicken").
bool Dictionary::EnglishGrammar::SharesSubject(Clause& clause) {
  const std::size_t at = clause.begin;
  if (at == 0 || lastSubjectClauseEnd_ != at - 1 || at + 1 >= clause.end ||
      (units_[at - 1].source != "and" && units_[at - 1].source != "or"))
    return false;
  // A verb without "-s": the subject before is no "he" or "it", and what follows the
  // verb is its object, a phrase or a name ("select and move functions" is a noun's).
  const Unit& verb = units_[at];
  const Unit& next = units_[at + 1];
  // After a description without a subject ("Closes the dialog and discards the
  // changes"), a verb in "-s" is the next thing it does.
  if (lastDescribed_ && verb.source.ends_with('s') && IsVerbForm(verb) &&
      !FindIn(EnglishAuxiliaries(), verb.source) && !IsClauseBreak(next.gap)) {
    clause.verb = at;
    clause.person = kThirdSingular;
    clause.sharedSubject = true;
    return true;
  }
  if (ThirdPersonShared(clause)) return true;
  if (lastSubjectPerson_ == kThirdSingular || FindIn(kEnglishDeterminers, verb.source) ||
      FindIn(kEnglishPronouns, verb.source) || verb.source.ends_with('s') || !IsVerbForm(verb) ||
      IsAdjective(verb) || AdjectiveSense(verb) || IsClauseBreak(next.gap))
    return false;
  if (!FindIn(kEnglishDeterminers, next.source) && !FindIn(kEnglishPronouns, next.source) &&
      !Contains(kEnglishPrepositions, next.source) && !(next.source.empty() && next.upper))
    return false;
  clause.verb = at;
  clause.person = lastSubjectPerson_;
  clause.sharedSubject = true;
  if (lastSubjectSubordinate_) clause.subordinator = at - 1;
  return true;
}

// After a subject in the third person singular, a verb in "-s" before its object is the
// next thing the subject does, whatever noun the word is too ("It opens the file and
// prints it": "druckt es", not "Drucke").
bool Dictionary::EnglishGrammar::ThirdPersonShared(Clause& clause) {
  const std::size_t at = clause.begin;
  const Unit& verb = units_[at];
  const Unit& next = units_[at + 1];
  if (lastSubjectPerson_ != kThirdSingular || !verb.source.ends_with('s') || !IsVerbForm(verb) ||
      FindIn(EnglishAuxiliaries(), verb.source) || IsClauseBreak(next.gap) ||
      (!FindIn(kEnglishDeterminers, next.source) && !FindIn(kEnglishPronouns, next.source)))
    return false;
  clause.verb = at;
  clause.person = kThirdSingular;
  clause.sharedSubject = true;
  if (lastSubjectSubordinate_) clause.subordinator = at - 1;
  return true;
}

// The end of a name at the start of the clause that a verb in the third person or an
// auxiliary follows ("GIMP creates", "Joey Hess wrote"), or `at`.
std::size_t Dictionary::EnglishGrammar::NameWithVerb(const Clause& clause, std::size_t at) const {
  if (at != clause.begin) return at;
  std::size_t end = at;
  while (end < clause.end && units_[end].source.empty() && units_[end].upper &&
         !(units_[end].known && units_[end].kind == Kind::Verb) &&
         (end == at || !IsClauseBreak(units_[end].gap)))
    ++end;
  return end != at && VerbAfterSubject(clause, end) ? end : at;
}

// Whether a verb of the third person singular follows a subject that ends at `end`:
// an auxiliary or a verb in "-s", adverbs before it ("GIMP now uses"). After an
// adverb, or before an article, a word in "-s" is the verb even where it may be a
// noun too ("GIMP removes the ...").
bool Dictionary::EnglishGrammar::VerbAfterSubject(const Clause& clause, std::size_t end) const {
  if (end >= clause.end || IsClauseBreak(units_[end].gap)) return false;
  std::size_t v = end;
  while (v + 1 < clause.end && !IsClauseBreak(units_[v + 1].gap) && AdverbBeforeVerb(units_[v]))
    ++v;
  const Unit& verb = units_[v];
  if (FindIn(EnglishAuxiliaries(), verb.source) != nullptr) return true;
  const bool article = v + 1 < clause.end && !IsClauseBreak(units_[v + 1].gap) &&
                       FindIn(kEnglishDeterminers, units_[v + 1].source) != nullptr;
  return verb.source.ends_with('s') && (v > end || article || !IsNoun(verb)) && IsVerbForm(verb);
}

// "This" or "that" first in a clause with its verb after it ("This opens the file",
// "That changes the size") is the subject, "dies" or "das"; before a noun it is the
// article. The index after it, or `at`.
std::size_t Dictionary::EnglishGrammar::DemonstrativeWithVerb(const Clause& clause,
                                                              std::size_t at) {
  Unit& word = units_[at];
  if (at != clause.begin || (word.source != "this" && word.source != "that") ||
      !VerbAfterSubject(clause, at + 1))
    return at;
  const std::string german = word.source == "this" ? "dies" : "das";
  word.text = word.capital ? CapitalizeFirst(german) : german;
  return at + 1;
}

// A command's separable prefix in a unit of its own at the end of the clause.
void Dictionary::EnglishGrammar::SeparatedPrefix(Clause& clause, std::size_t command) {
  if (units_[command].separated.empty()) return;
  Unit part;
  part.gap = " ";
  part.text = std::move(units_[command].separated);
  part.known = true;
  units_[command].separated.clear();
  units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(clause.end), std::move(part));
  clause.toEnd.push_back(clause.end);
  ++clause.end;
}

// "The cat and the dog": a second subject after "and" makes the verb plural ("wir"
// where one of them is "I" or "we").
void Dictionary::EnglishGrammar::CoordinatedSubject(Clause& clause, std::size_t start) {
  Phrase& subject = clause.subject;
  if (subject.end + 1 >= clause.end || units_[subject.end].source != "and") return;
  // The second phrase ends at the verb: an auxiliary, or a noun's plural verb after
  // a noun ("the cat and the dog play"), which is no compound.
  std::size_t verb = subject.end + 2;
  for (; verb < clause.end; ++verb) {
    if (FindIn(EnglishAuxiliaries(), units_[verb].source)) break;
    const Unit& word = units_[verb];
    if (IsNoun(units_[verb - 1]) && !word.source.ends_with('s') && IsVerbForm(word) &&
        verb + 1 < clause.end && !FindIn(EnglishAuxiliaries(), units_[verb + 1].source))
      break;
  }
  const Phrase second = NounPhrase(subject.end + 1, verb, kNominative, false, true);
  if (!second.found) return;
  const auto first = [](int person) { return person == kFirstSingular || person == kFirstPlural; };
  subject.person = first(subject.person) || first(second.person) ? kFirstPlural : kThirdPlural;
  subject.end = second.end;
  clause.subjectStart = start;
}

// A clause after "and" or "or" that is a noun phrase alone goes on with the phrase
// before the conjunction, in its case ("Öffnen Sie die Datei und den Ordner"); it has
// no verb of its own.
bool Dictionary::EnglishGrammar::ContinuesPhrase(Clause& clause) {
  const std::size_t at = clause.begin;
  const std::size_t parts = at != 0 && lastClauseEnd_ == at - 1 ? lastEndParts_ : 0;
  // A genitive's phrase ("between the edge of a page and the area") rather goes on
  // with the phrase it belongs to.
  if (at == 0 || lastPhraseEnd_ + parts != at - 1 || lastPhraseCase_ == kNominative ||
      lastPhraseCase_ == kGenitive ||
      (units_[at - 1].source != "and" && units_[at - 1].source != "or"))
    return false;
  const std::vector<Unit> before(units_.begin() + static_cast<std::ptrdiff_t>(at),
                                 units_.begin() + static_cast<std::ptrdiff_t>(clause.end));
  const Phrase phrase = NounPhrase(at, clause.end, lastPhraseCase_, false, true);
  if (!phrase.found || phrase.end != clause.end) {
    std::copy(before.begin(), before.end(), units_.begin() + static_cast<std::ptrdiff_t>(at));
    return false;
  }
  // The clause before's end parts follow the phrase that completes its object.
  std::rotate(units_.begin() + static_cast<std::ptrdiff_t>(at - 1 - parts),
              units_.begin() + static_cast<std::ptrdiff_t>(at - 1),
              units_.begin() + static_cast<std::ptrdiff_t>(clause.end));
  lastPhraseEnd_ = clause.end - parts;
  lastClauseEnd_ = clause.end;
  lastEndParts_ = parts;
  clause.verb = clause.end;
  return true;
}

// A preposition and its noun phrase or name at `at`, followed by the verb: the index
// after the phrase, or `at`.
std::size_t Dictionary::EnglishGrammar::PhraseBeforeVerb(const Clause& clause, std::size_t at) {
  const std::string& preposition = units_[at].source;
  if (at + 2 >= clause.end || preposition == "to" || !Contains(kEnglishPrepositions, preposition) ||
      IsClauseBreak(units_[at + 1].gap))
    return at;
  std::size_t end = at + 2;
  const Unit& next = units_[at + 1];
  // The phrase is given its forms on trial: they are taken back where no verb follows.
  const std::vector<Unit> before(units_.begin() + static_cast<std::ptrdiff_t>(at + 1),
                                 units_.begin() + static_cast<std::ptrdiff_t>(clause.end));
  const auto takeBack = [&] {
    std::copy(before.begin(), before.end(), units_.begin() + static_cast<std::ptrdiff_t>(at + 1));
    return at;
  };
  if (next.upper && (!next.known || next.source.empty())) {
    while (end < clause.end && units_[end].upper && !IsClauseBreak(units_[end].gap))
      ++end;  // a name of several words
  } else if (const Phrase phrase =
                 NounPhrase(at + 1, clause.end, CaseAfter(preposition), false, true);
             phrase.found) {
    end = phrase.end;
  } else {
    return takeBack();
  }
  if (end >= clause.end || !FindIn(EnglishAuxiliaries(), units_[end].source)) return takeBack();
  return end;
}

bool Dictionary::EnglishGrammar::There(Clause& clause, std::size_t& at) {
  units_[at].text = "es";
  units_[at + 1].text = "gibt";
  clause.there = true;
  return true;
}

void Dictionary::EnglishGrammar::Adverbs(Clause& clause) {
  clause.adverbs = clause.verb;
  while (clause.verb + 1 < clause.end && !IsClauseBreak(units_[clause.verb + 1].gap) &&
         AdverbBeforeVerb(units_[clause.verb]))
    ++clause.verb;
  clause.finite = clause.verb;
  clause.next = clause.verb + 1;
}

void Dictionary::EnglishGrammar::Support(Clause& clause) {
  if (clause.there || clause.verb >= clause.end) return;
  std::size_t at = clause.verb;
  Construct(Place::Support, clause, at);
}

bool Dictionary::EnglishGrammar::DoNot(Clause& clause, std::size_t& at) {
  units_[at].text.clear();
  units_[at + 1].text.clear();
  clause.negate = true;
  clause.finite = at + 2;
  clause.next = clause.finite + 1;
  return true;
}

void Dictionary::EnglishGrammar::SkipNot(Clause& clause) {
  if (clause.next < clause.end &&
      (units_[clause.next].source == "not" || units_[clause.next].source == "never")) {
    if (units_[clause.next].source == "not") {
      units_[clause.next].text.clear();
      clause.negate = true;
    }
    ++clause.next;
  }
}

// An English infinitive at `at` in its German form, marked for the end of the clause.
bool Dictionary::EnglishGrammar::InfinitiveAt(Clause& clause, std::size_t at) {
  if (at >= clause.end) return false;
  std::optional<Candidate> found = InfinitiveOf(units_[at].source);
  if (!found) return false;
  units_[at].text = Transitive(clause, at, found->translation);
  clause.toEnd.push_back(at);
  return true;
}

void Dictionary::EnglishGrammar::FiniteVerb(Clause& clause) {
  if (clause.there || clause.verb >= clause.end || clause.finite >= clause.end) return;
  std::size_t at = clause.finite;
  if (Construct(Place::Verb, clause, at)) return;
  Unit& f = units_[clause.finite];
  const EnglishAuxiliary* auxiliary = FindIn(EnglishAuxiliaries(), f.source);
  if (auxiliary == nullptr) {
    FullVerb(clause);
    return;
  }
  f.text = dictionary_.GermanVerb(std::string(auxiliary->german), clause.person);
  clause.copula = auxiliary->german == "sein" || auxiliary->german == "war";
  SkipNot(clause);
  if (!auxiliary->withParticiple.empty() && Participle(clause, *auxiliary)) return;
  if (clause.next < clause.end && units_[clause.next].source == "to" &&
      (auxiliary->german == "möchten" || auxiliary->german == "mögen")) {
    units_[clause.next].text.clear();
    ++clause.next;
    if (InfinitiveAt(clause, clause.next)) ++clause.next;
  } else if (auxiliary->modal) {
    // Adverbs between the modal and its infinitive stay after the modal ("can also
    // see": "kann auch ... sehen").
    std::size_t verb = clause.next;
    while (verb + 1 < clause.end && !IsClauseBreak(units_[verb + 1].gap) && IsAdverb(units_[verb]))
      ++verb;
    // "may be" tells what is possible, not what is allowed: "können" ("may be missing":
    // "können fehlen", "may be changed": "können geändert werden").
    if (auxiliary->german == "dürfen" && verb < clause.end && units_[verb].source == "be")
      f.text = dictionary_.GermanVerb("können", clause.person);
    if (PassiveInfinitive(clause, verb) || ProgressiveInfinitive(clause, verb)) return;
    if (InfinitiveAt(clause, verb)) clause.next = verb + 1;
  }
}

// A modal's "be" and an -ing form ("may be missing", "will be running"): the verb's
// infinitive at the end, as without "be".
bool Dictionary::EnglishGrammar::ProgressiveInfinitive(Clause& clause, std::size_t be) {
  const std::size_t ing = be + 1;
  if (ing >= clause.end || units_[be].source != "be" || IsClauseBreak(units_[ing].gap))
    return false;
  const std::optional<Candidate> verb = BeIngVerb(units_[ing].source);
  if (!verb) return false;
  units_[be].text.clear();
  units_[ing].text = Transitive(clause, ing, verb->translation);
  clause.toEnd.push_back(ing);
  clause.next = ing + 1;
  return true;
}

// An adverb that may stand between an auxiliary and its verb.
bool Dictionary::EnglishGrammar::IsAdverb(const Unit& unit) const {
  if (Contains(kAdverbsBeforeParticiple, unit.source) || Contains(kTimeAdverbs, unit.source))
    return true;
  if (!unit.known) return false;
  return unit.kind == Kind::Adverb ||
         (unit.source.ends_with("ly") && unit.source.find(' ') == std::string::npos &&
          !InfinitiveOf(unit.source));
}

// An adverb between a subject and its verb ("it also opens", "the tool only
// changes"): one the dictionary calls an adverb and that is no verb, or one of the
// adverbs that stand before a verb or participle ("only" being an adjective too).
bool Dictionary::EnglishGrammar::AdverbBeforeVerb(const Unit& unit) const {
  if (FindIn(EnglishAuxiliaries(), unit.source) || unit.source == "not") return false;
  if (Contains(kAdverbsBeforeParticiple, unit.source) || unit.source == "only") return true;
  return unit.known && unit.kind == Kind::Adverb && !VerbSense(unit);
}

// Whether the verb at `verb` has a direct object: a noun phrase or a pronoun right
// after it (adverbs between), or the relative pronoun of its clause.
bool Dictionary::EnglishGrammar::HasObject(const Clause& clause, std::size_t verb) const {
  if (clause.relativeObject) return true;
  std::size_t k = verb + 1;
  while (k < clause.end && !IsClauseBreak(units_[k].gap) && IsAdverb(units_[k]))
    ++k;
  if (k >= clause.end || IsClauseBreak(units_[k].gap)) return false;
  const Unit& next = units_[k];
  return FindIn(kEnglishDeterminers, next.source) != nullptr ||
         FindIn(kEnglishPronouns, next.source) != nullptr || IsNoun(next);
}

// A reflexive verb ("sich ändern") with a direct object is the transitive one without
// "sich" ("ändert die Farben", not "ändert sich die Farben"); one with a preposition of
// its own ("sich erinnern an") stays.
std::string_view Dictionary::EnglishGrammar::Transitive(const Clause& clause, std::size_t verb,
                                                        std::string_view infinitive) const {
  constexpr std::string_view kSich = "sich ";
  if (!infinitive.starts_with(kSich) || infinitive.find(' ', kSich.size()) != std::string::npos ||
      !HasObject(clause, verb))
    return infinitive;
  return infinitive.substr(kSich.size());
}

// A modal's "be" and a participle ("can be opened"): "geöffnet werden" at the end.
bool Dictionary::EnglishGrammar::PassiveInfinitive(Clause& clause, std::size_t be) {
  const std::size_t p = be + 1;
  if (p >= clause.end || units_[be].source != "be" || IsClauseBreak(units_[p].gap)) return false;
  const auto german = GermanParticiple(units_[p]);
  if (!german || !ReadsAsParticiple(units_[p], *german)) return false;  // "can be useful"
  units_[p].text = *german;
  units_[be].text = "werden";
  clause.toEnd.push_back(p);
  clause.toEnd.push_back(be);
  clause.next = p + 1;
  return true;
}

bool Dictionary::EnglishGrammar::WouldLike(Clause& clause, std::size_t& at) {
  units_[at].text = dictionary_.GermanVerb("möchten", clause.person);
  units_[at + 1].text.clear();
  clause.next = at + 2;
  if (clause.next < clause.end && units_[clause.next].source == "to") {
    units_[clause.next].text.clear();
    InfinitiveAt(clause, clause.next + 1);
  }
  return true;
}

bool Dictionary::EnglishGrammar::LikeTo(Clause& clause, std::size_t& at) {
  if (at + 2 >= clause.end) return false;
  std::optional<Candidate> verb = VerbSense(units_[at + 2]);
  if (!verb) return false;
  units_[at + 1].text.clear();
  std::string infinitive(verb->translation);
  std::string rest;
  if (const auto space = infinitive.rfind(' '); space != std::string::npos) {
    rest = infinitive.substr(0, space);
    infinitive.erase(0, space + 1);
  }
  units_[at].text = dictionary_.GermanVerb(infinitive, clause.person);
  units_[at + 2].text = rest;
  clause.next = at + 3;
  clause.gern = true;
  return true;
}

// "had to" is the past "musste"; a passive after it ("had to be done") is "erledigt
// werden" at the end, as after a modal.
bool Dictionary::EnglishGrammar::HaveTo(Clause& clause, std::size_t& at) {
  const bool past = units_[at].source == "had";
  units_[at].text = dictionary_.GermanVerb(past ? "musste" : "müssen", clause.person);
  units_[at + 1].text.clear();
  if (PassiveInfinitive(clause, at + 2)) return true;
  InfinitiveAt(clause, at + 2);
  clause.next = at + 3;
  return true;
}

bool Dictionary::EnglishGrammar::KnowObject(Clause& clause, std::size_t& at) {
  const std::size_t object = at + 1;
  if (object >= clause.end || IsClauseBreak(units_[object].gap)) return false;
  const std::string& word = units_[object].source;
  const auto* pronoun = FindIn(kEnglishPronouns, word);
  // A name is a noun phrase too ("knows Joey": "kennt Joey").
  const bool phrase = (pronoun != nullptr && word != "it") ||
                      (FindIn(kEnglishDeterminers, word) != nullptr && word != "that") ||
                      IsNoun(units_[object]) || (word.empty() && StartsUpper(units_[object].text));
  if (!phrase) return false;
  Candidate kennen;
  kennen.translation = "kennen";
  FullVerb(clause, kennen);
  return true;
}

// A past participle after "be" or "have" ("already" may stand between): it goes to
// the end, and the auxiliary becomes the German one for a participle ("was removed":
// "wurde ... entfernt", "has seen": "hat ... gesehen").
bool Dictionary::EnglishGrammar::Participle(Clause& clause, const EnglishAuxiliary& auxiliary) {
  std::size_t p = clause.next;
  while (p + 1 < clause.end && !IsClauseBreak(units_[p + 1].gap) &&
         (Contains(kAdverbsBeforeParticiple, units_[p].source) ||
          (units_[p].known && units_[p].kind == Kind::Adverb)))
    ++p;
  if (p >= clause.end || IsClauseBreak(units_[p].gap)) return false;
  if (units_[p].source == "been") return PerfectOfBe(clause, p, auxiliary);
  // A participle that its sentence made a state ("the option is checked": "ist
  // aktiviert") stays that adjective after "be".
  if (auxiliary.withParticiple == "sein" && StateInContext(units_[p])) return false;
  const auto german = GermanParticiple(units_[p]);
  if (!german) return false;
  // After "be" a word with an adjective sense is that adjective ("I am tired"), unless
  // the adjective is the participle itself ("removed": "entfernt") or an English
  // participle in "-ed" reads as a German one ("used": "benutzt").
  // An agent or an instrument after it ("marked with an icon", "limited by") makes it
  // the passive too.
  const bool agent = p + 1 < clause.end && !IsClauseBreak(units_[p + 1].gap) &&
                     (units_[p + 1].source == "by" || units_[p + 1].source == "with");
  if (auxiliary.withParticiple == "sein" && !agent && !ReadsAsParticiple(units_[p], *german))
    return false;
  units_[p].text = *german;
  clause.toEnd.push_back(p);
  clause.copula = false;
  // The present's "be" and a participle is the passive of what happens ("is
  // removed": "wird entfernt"), with "already" the state it left ("ist bereits
  // registriert").
  std::string verb(auxiliary.withParticiple);
  if (verb == "sein" && !Contains(kStateAdverbs, units_[clause.next].source)) verb = "werden";
  units_[clause.finite].text = dictionary_.GermanVerb(verb, clause.person);
  return true;
}

// "have been": the perfect of "sein", which "be" forms with "sein" itself ("has been
// ready": "ist ... bereit gewesen"); before a participle the perfect of the passive,
// "worden" after the participle ("has been removed": "ist ... entfernt worden").
bool Dictionary::EnglishGrammar::PerfectOfBe(Clause& clause, std::size_t been,
                                             const EnglishAuxiliary& auxiliary) {
  const std::string finite = auxiliary.withParticiple == "hatte" ? "war" : "sein";
  units_[clause.finite].text = dictionary_.GermanVerb(finite, clause.person);
  const std::size_t p = been + 1;
  std::optional<std::string> german;
  if (p < clause.end && !IsClauseBreak(units_[p].gap)) german = GermanParticiple(units_[p]);
  // A participle the dictionary lists as a phrase of its own ("undone": "rückgängig
  // gemacht").
  if (!german && p < clause.end && !IsClauseBreak(units_[p].gap) && units_[p].known &&
      units_[p].text.find(" ge") != std::string::npos)
    german = units_[p].text;
  if (german && ReadsAsParticiple(units_[p], *german)) {
    units_[p].text = *german;
    units_[been].text = "worden";
    clause.toEnd.push_back(p);
    clause.toEnd.push_back(been);
    clause.copula = false;
    return true;
  }
  units_[been].text = "gewesen";
  clause.toEnd.push_back(been);
  clause.copula = true;
  return true;
}

// Whether a word after "be" is the participle `german` rather than an adjective: it
// has no adjective sense, or the adjective is the participle itself ("removed":
// "entfernt"), or an English "-ed" form whose adjective reads as a German participle
// ("used": "benutzt"). "tired" ("müde") and "useful" are adjectives.
bool Dictionary::EnglishGrammar::ReadsAsParticiple(const Unit& unit,
                                                   const std::string& german) const {
  const auto adjective = AdjectiveSense(unit);
  return !adjective || adjective->translation == german ||
         (unit.source.ends_with("ed") && adjective->translation.ends_with('t'));
}

// The German participle of an English one, through the verb's German infinitive.
std::optional<std::string> Dictionary::EnglishGrammar::GermanParticiple(const Unit& unit) const {
  for (const std::string& base : EnglishParticipleBases(unit.source)) {
    std::optional<Candidate> verb = InfinitiveOf(base);
    if (!verb) continue;
    std::string infinitive(verb->translation);
    if (infinitive.starts_with("sich ")) infinitive.erase(0, 5);
    std::string rest;
    if (const auto space = infinitive.rfind(' '); space != std::string::npos) {
      rest = infinitive.substr(0, space + 1);
      infinitive.erase(0, space + 1);
    }
    return rest + ParticipleOf(infinitive, unit);
  }
  return std::nullopt;
}

// The participle of a strong verb with an inseparable prefix, by the vowel its stem
// changes to ("beschneiden": "beschnitten", "vergleichen": "verglichen", "verbinden":
// "verbunden"), where the dictionary lists that form. `stem` is the infinitive without
// "en", `prefix` the length of its prefix.
std::optional<std::string> Dictionary::EnglishGrammar::InseparableStrongParticiple(
    const std::string& stem, std::size_t prefix) const {
  for (const auto& [present, participle] : kInseparableAblaut) {
    if (!stem.ends_with(present) || stem.size() < prefix + present.size()) continue;
    const std::string form =
        stem.substr(0, stem.size() - present.size()) + std::string(participle) + "en";
    if (dictionary_.Find(IndexTable::GermanToEnglish, form)) return form;
  }
  return std::nullopt;
}

// "spielen": "gespielt", "sehen": "gesehen", "entfernen": "entfernt", "registrieren":
// "registriert", "einkaufen": "eingekauft". Of the weak and the strong form the one
// the dictionary lists wins; for neither, the dictionary's own reading of the English
// participle when it looks like one, else the weak form.
std::string Dictionary::EnglishGrammar::ParticipleOf(const std::string& infinitive,
                                                     const Unit& unit) const {
  if (infinitive.ends_with("ieren")) return infinitive.substr(0, infinitive.size() - 2) + "t";
  if (auto [prefix, stem] = dictionary_.SplitSeparable(infinitive); !prefix.empty())
    return prefix + ParticipleOf(stem, Unit{});
  std::string stem = infinitive;
  if (stem.ends_with("en")) {
    stem.resize(stem.size() - 2);
  } else if (stem.ends_with('n')) {
    stem.pop_back();
  }
  std::size_t inseparable = 0;  // the length of an inseparable prefix
  for (std::string_view prefix : {"be", "emp", "ent", "er", "ge", "miss", "ver", "zer"}) {
    if (inseparable == 0 && infinitive.starts_with(prefix) && infinitive.size() > prefix.size() + 3)
      inseparable = prefix.size();
  }
  // A strong verb with such a prefix changes its vowel ("beschreiben": "beschrieben"),
  // and its weak guess may be its third person ("beschreibt"), which the dictionary
  // lists too: the dictionary's participle of the English word, where it is one of
  // this verb's (its prefix and the stem's first letter).
  if (inseparable != 0 && unit.known && unit.text != infinitive &&
      unit.text.find(' ') == std::string::npos &&
      unit.text.starts_with(std::string_view(infinitive).substr(0, inseparable + 1)) &&
      unit.text.ends_with("en"))
    return unit.text;
  // Its weak guess is its third person as well ("beschneidet"), which the dictionary
  // lists for every verb; a changed vowel that the dictionary lists is the participle.
  if (inseparable != 0) {
    if (std::optional<std::string> strong = InseparableStrongParticiple(stem, inseparable))
      return *strong;
  }
  const std::string ge = inseparable != 0 ? "" : "ge";
  const std::string weak = ge + stem + (TakesLinkingE(stem) ? "et" : "t");
  const std::string strong = ge + infinitive;
  if (dictionary_.Find(IndexTable::GermanToEnglish, weak)) return weak;
  if (infinitive.ends_with("en") && dictionary_.Find(IndexTable::GermanToEnglish, strong))
    return strong;
  if (!inseparable && unit.known && unit.text.starts_with("ge") &&
      unit.text.find(' ') == std::string::npos)
    return unit.text;
  // The dictionary's reading without "ge" where the verb has a prefix the list above
  // does not know ("unterstützen": "unterstützt").
  if (unit.known && (unit.text == stem + "t" || unit.text == stem + "et")) return unit.text;
  return weak;
}

// A full verb: its German infinitive, conjugated; the parts of a verb of several
// words but the last go to the end ("gehe ... spazieren").
void Dictionary::EnglishGrammar::FullVerb(Clause& clause, std::optional<Candidate> found) {
  Unit& f = units_[clause.finite];
  if (!found) found = VerbOfObject(clause);
  if (!found) found = VerbSense(f);
  for (const std::string& base : EnglishBaseForms(f.source)) {
    if (found) break;
    found = InfinitiveOf(base);
  }
  if (found && (clause.subject.found || clause.sharedSubject || f.upper)) {
    std::string infinitive(Transitive(clause, clause.finite, found->translation));
    std::string reflexive;
    if (infinitive.starts_with("sich ")) {
      infinitive.erase(0, 5);
      constexpr std::string_view kReflexive[] = {"mich", "dich", "sich", "uns", "euch", "sich"};
      reflexive = kReflexive[static_cast<std::size_t>(clause.person)];
    }
    const auto space = infinitive.rfind(' ');
    std::string rest;
    if (space != std::string::npos) {
      rest = infinitive.substr(0, space);
      infinitive.erase(0, space + 1);
    }
    // A separable verb leaves its prefix at the end ("einkaufen": "kaufe ... ein").
    if (auto [prefix, stem] = dictionary_.SplitSeparable(infinitive); !prefix.empty()) {
      rest = rest.empty() ? prefix : rest + " " + prefix;
      infinitive = stem;
      clause.prefix = prefix;
    }
    f.text = dictionary_.GermanVerb(infinitive, clause.person);
    const bool infinitiveAfter = clause.end < units_.size() && units_[clause.end].source == "to";
    clause.dativeObject = reflexive.empty() && rest.empty() &&
                          (Contains(kDativeVerbs, infinitive) ||
                           (infinitiveAfter && Contains(kDativeBeforeInfinitive, infinitive)));
    if (!reflexive.empty()) f.text += " " + reflexive;
    if (!rest.empty()) {
      // The separated part stands in a unit of its own at the end.
      Unit part;
      part.gap = " ";
      part.text = rest;
      part.known = true;
      units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(clause.end), std::move(part));
      clause.toEnd.push_back(clause.end);
      ++clause.end;
    }
  }
  SkipNot(clause);
}

// The verb that the object after it chooses (kVerbObjects), or nothing.
std::optional<Dictionary::Candidate> Dictionary::EnglishGrammar::VerbOfObject(
    const Clause& clause) const {
  const std::string& verb = units_[clause.finite].source;
  for (std::size_t k = clause.next; k < clause.end && k < clause.next + 4; ++k) {
    if (k > clause.next && IsClauseBreak(units_[k].gap)) break;
    for (const VerbObject& row : kVerbObjects) {
      const std::string& object = units_[k].source;
      if (IsFormOf(verb, row.verb) &&
          (object == row.object ||
           (object.starts_with(row.object) && object.size() == row.object.size() + 1 &&
            object.back() == 's')))
        return Candidate{.translation = row.german, .rank = {}, .kind = Kind::Verb};
    }
  }
  return std::nullopt;
}

// The case after an English preposition: the dative where its German preposition
// governs it, else the accusative; "into" and "onto" are motion (accusative).
int Dictionary::EnglishGrammar::CaseAfter(const std::string& preposition) const {
  if (preposition == "into" || preposition == "onto") return kAccusative;
  std::optional<Candidate> german = dictionary_.Find(IndexTable::EnglishToGerman, preposition);
  return german && Contains(kDativePrepositions, german->translation) ? kDative : kAccusative;
}

// The case after the preposition at `at`, which becomes the verb's own where the verb
// before it has one ("wait for": "auf" and the accusative).
int Dictionary::EnglishGrammar::PrepositionCase(std::size_t at) {
  const VerbPreposition* own = PrepositionOfVerb(at);
  if (own == nullptr) return CaseAfter(units_[at].source);
  units_[at].text = std::string(own->german);
  return own->grammaticalCase;
}

// The German preposition of the verb right before the preposition at `at`, or null.
const VerbPreposition* Dictionary::EnglishGrammar::PrepositionOfVerb(std::size_t at) const {
  if (at == 0) return nullptr;
  for (const VerbPreposition& row : kVerbPrepositions) {
    if (row.preposition == units_[at].source && IsFormOf(units_[at - 1].source, row.verb))
      return &row;
  }
  return nullptr;
}

// "of" and a noun phrase with an article after a noun: the genitive, without "of"
// ("the end of the line": "das Ende der Zeile"). The index after it, or `at`.
// A number's word before it takes `partCase`, its own ("one of the layers").
std::size_t Dictionary::EnglishGrammar::Genitive(const Clause& clause, std::size_t at,
                                                 int partCase) {
  if (units_[at].source != "of" || at == 0 || at + 1 >= clause.end ||
      IsClauseBreak(units_[at].gap) || !(IsNoun(units_[at - 1]) || IsPartOf(units_[at - 1].source)))
    return at;
  if (!FindIn(kEnglishDeterminers, units_[at + 1].source)) {
    // "one of them": "einer von ihnen".
    if (FindIn(kEnglishPronouns, units_[at + 1].source)) OneOfWhole(at - 1, at, partCase);
    return at;
  }
  const Phrase phrase = NounPhrase(at + 1, clause.end, kGenitive, false, false);
  if (!phrase.found) return at;
  // A name without its article keeps "von" ("die Version von GIMP").
  if (!units_[at + 1].text.empty()) units_[at].text.clear();
  OneOfWhole(at - 1, phrase.end, partCase);
  return phrase.end;
}

// The genitives in a row after a noun phrase that ends before `at` ("in the lower part
// of the window": "im unteren Teil des Fensters"): the index after the last one.
std::size_t Dictionary::EnglishGrammar::GenitivesAfter(const Clause& clause, std::size_t at) {
  while (at < clause.end) {
    const std::size_t end = Genitive(clause, at);
    if (end == at) break;
    at = end;
  }
  return at;
}

// The gender of the noun at `noun` in its singular, masculine where it has none.
int Dictionary::EnglishGrammar::SingularGender(std::size_t noun) const {
  for (const std::string& base : EnglishBaseForms(units_[noun].source)) {
    const auto singular = dictionary_.Find(IndexTable::EnglishToGerman, base);
    if (singular && IsNounKind(singular->kind) && singular->kind != Kind::Plural) {
      Unit unit;
      unit.text = singular->translation;
      unit.kind = singular->kind;
      return GenderOf(unit);
    }
  }
  return kMasculine;
}

// "one or more layers", "one or two values": the plural noun phrase after the count,
// "one" the article of its noun's singular and "more" "mehrere" ("eine oder mehrere
// Ebenen", "mit einem oder mehreren Werten").
bool Dictionary::EnglishGrammar::OneOrMore(std::size_t at, std::size_t end, int grammaticalCase,
                                           Phrase& phrase) {
  if (at + 3 >= end || !CountsAfterOne(at + 1)) return false;
  const Phrase counted = NounPhrase(at + 3, end, grammaticalCase, false, false);
  if (!counted.found || units_[counted.end - 1].kind != Kind::Plural) return false;
  const auto row = static_cast<std::size_t>(grammaticalCase);
  const std::string article =
      "ein" +
      std::string(
          kIndefiniteEnding[row][static_cast<std::size_t>(SingularGender(counted.end - 1))]);
  units_[at].text = units_[at].capital ? CapitalizeFirst(article) : article;
  units_[at].kind = Kind::Other;
  if (units_[at + 2].source == "more") {
    units_[at + 2].text = "mehrer" + std::string(kDemonstrativeEnding[row][kPlural]);
    units_[at + 2].kind = Kind::Other;
  }
  phrase = counted;
  phrase.person = kThirdPlural;
  return true;
}

// Whether the "or" at `at` joins "one" before it to a count after it within one noun
// phrase ("one or more", "one or two", "one or 3"), not two clauses.
bool Dictionary::EnglishGrammar::CountsAfterOne(std::size_t at) const {
  if (at == 0 || at + 2 >= units_.size() || units_[at].source != "or" ||
      units_[at - 1].source != "one" || IsClauseBreak(units_[at].gap) ||
      IsClauseBreak(units_[at + 1].gap) || IsClauseBreak(units_[at + 2].gap))
    return false;
  const std::string& count = units_[at + 1].source;
  return count == "more" || Contains(kEnglishHours, count) ||
         (!count.empty() && count.find_first_not_of("0123456789") == std::string::npos);
}

// Whether a word is a number that what it is part of may follow with "of".
bool Dictionary::EnglishGrammar::IsPartOf(std::string_view word) const {
  return Contains(kPartOf, word) || Contains(kEnglishHours, word) || FindIn(kOneOf, word);
}

// "one" or "each" at `word` agrees in `grammaticalCase` with the gender of the noun
// that ends the phrase before `wholeEnd`, in its singular ("eines der Werkzeuge", "jede
// der Ebenen"); before a pronoun, or where that noun has no gender, it is masculine
// ("einer von ihnen").
void Dictionary::EnglishGrammar::OneOfWhole(std::size_t word, std::size_t wholeEnd,
                                            int grammaticalCase) {
  const OneOf* one = FindIn(kOneOf, units_[word].source);
  if (one == nullptr) return;
  int column = kMasculine;
  for (std::size_t k = wholeEnd; k-- > word + 1;) {
    if (!IsNoun(units_[k])) continue;
    column = SingularGender(k);
    break;
  }
  const auto row = static_cast<std::size_t>(grammaticalCase);
  std::string text = std::string(one->stem) +
                     std::string(kDemonstrativeEnding[row][static_cast<std::size_t>(column)]);
  units_[word].text = units_[word].capital ? CapitalizeFirst(text) : text;
  units_[word].kind = Kind::Other;
}

// "nicht" stands before the first thing that is not a definite object.
void Dictionary::EnglishGrammar::MarkNicht(Clause& clause, std::size_t at) const {
  if (!clause.negationPlaced && clause.nichtBefore == clause.end) clause.nichtBefore = at;
}

void Dictionary::EnglishGrammar::Objects(Clause& clause) {
  if (clause.verb >= clause.end) return;
  clause.negationPlaced = !clause.negate;
  clause.nichtBefore = clause.end;
  std::size_t j = clause.next;
  int prepositionCase = -1;
  int partCase = kAccusative;  // the case of the word before "of"
  while (j < clause.end) {
    if (std::find(clause.toEnd.begin(), clause.toEnd.end(), j) != clause.toEnd.end()) {
      ++j;
      continue;
    }
    if (units_[j].source == "not") {
      units_[j].text.clear();
      if (clause.negationPlaced) clause.negationPlaced = false;
      clause.negate = true;
      ++j;
      continue;
    }
    if (Construct(Place::Object, clause, j)) continue;
    if (const std::size_t end = Genitive(clause, j, partCase); end != j) {
      j = end;
      continue;
    }
    if (clause.copula && prepositionCase < 0 && AdjectiveSense(units_[j]) &&
        (j + 1 >= clause.end || !IsNoun(units_[j + 1])) &&
        !FindIn(kEnglishDeterminers, units_[j].source)) {
      // "The car is red": the adjective sense, uninflected.
      MakeAdjective(units_[j]);
      MarkNicht(clause, j);
      ++j;
      continue;
    }
    if (Contains(kEnglishPrepositions, units_[j].source)) {
      MarkNicht(clause, j);
      prepositionCase = PrepositionCase(j);
      ++j;
      continue;
    }
    const int grammaticalCase = prepositionCase >= 0                      ? prepositionCase
                                : clause.copula                           ? kNominative
                                : clause.dativeObject && j == clause.next ? kDative
                                                                          : kAccusative;
    partCase = grammaticalCase;
    const bool object = prepositionCase < 0;
    const bool indefinite = !FindIn(kEnglishPronouns, units_[j].source) &&
                            (!FindIn(kEnglishDeterminers, units_[j].source) ||
                             units_[j].source == "a" || units_[j].source == "an");
    const Phrase phrase = NounPhrase(j, clause.end, grammaticalCase,
                                     object && !clause.negationPlaced && indefinite, true);
    prepositionCase = -1;
    if (phrase.found) {
      if (object && !clause.negationPlaced) {
        if (indefinite) {
          clause.negationPlaced = true;  // became "kein"
        } else if (!phrase.definite) {
          MarkNicht(clause, j);
        }
      }
      j = phrase.end;
      continue;
    }
    if (clause.copula && (j + 1 >= clause.end || !IsNoun(units_[j + 1]))) MakeAdjective(units_[j]);
    MarkNicht(clause, j);
    ++j;
  }
}

bool Dictionary::EnglishGrammar::Measure(Clause& clause, std::size_t& at) {
  const std::size_t j = at;
  if (!(j > 0 && IsNoun(units_[j - 1]) && j + 1 < clause.end &&
        !FindIn(kEnglishDeterminers, units_[j + 1].source) &&
        (IsNoun(units_[j + 1]) || IsAdjective(units_[j + 1])) && !units_[j + 1].upper))
    return false;
  // A measure is counted: "a cup", "two cups"; "the size of images" is "die Größe von
  // Bildern".
  // Only a measure: "a list of values" is "eine Liste von Werten".
  if (!Contains(kMeasureNouns, units_[j - 1].source)) return false;
  std::size_t counted = j - 1;
  while (counted > clause.begin && IsAdjective(units_[counted - 1]))
    --counted;
  if (counted == clause.begin) return false;
  const std::string& count = units_[counted - 1].source;
  if (count != "a" && count != "an" && !Contains(kEnglishHours, count) &&
      count.find_first_not_of("0123456789") != std::string::npos)
    return false;
  units_[j].text.clear();
  const Phrase measured =
      NounPhrase(j + 1, clause.end, clause.copula ? kNominative : kAccusative, false, false);
  at = measured.found ? measured.end : j + 1;
  return true;
}

// The English verb of an -ing form ("playing", "making", "running"), or nothing.
std::optional<Dictionary::Candidate> Dictionary::EnglishGrammar::IngVerb(
    const std::string& form) const {
  const std::optional<std::string> base = IngBase(form);
  return base ? InfinitiveOf(*base) : std::nullopt;
}

// The German verb of an -ing form after "be": a few mean a state there that their
// verb alone does not ("is missing": "fehlt", not "verfehlt").
std::optional<Dictionary::Candidate> Dictionary::EnglishGrammar::BeIngVerb(
    const std::string& form) const {
  constexpr std::pair<std::string_view, std::string_view> kStates[] = {{"missing", "fehlen"}};
  for (const auto& [english, german] : kStates) {
    if (english != form) continue;
    Candidate state;
    state.translation = german;
    state.kind = Kind::Verb;
    return state;
  }
  return IngVerb(form);
}

// The base form of an English -ing form ("playing", "making", "running"), or nothing.
std::optional<std::string> Dictionary::EnglishGrammar::IngBase(const std::string& form) const {
  if (form.size() < 5 || !form.ends_with("ing")) return std::nullopt;
  const std::string stem = form.substr(0, form.size() - 3);
  std::vector<std::string> bases = {stem};
  if (stem.size() > 2 && stem[stem.size() - 1] == stem[stem.size() - 2])
    bases.push_back(stem.substr(0, stem.size() - 1));                                // "running"
  bases.push_back(stem + "e");                                                       // "making"
  if (stem.ends_with('y')) bases.push_back(stem.substr(0, stem.size() - 1) + "ie");  // "lying"
  for (const std::string& base : bases) {
    if (InfinitiveOf(base)) return base;
  }
  return std::nullopt;
}

// The personal pronoun that is a subject in the sentence around `at` ("We play by
// opening": "we"), else "you": a manual's reader.
std::string Dictionary::EnglishGrammar::SentenceSubject(std::size_t at) const {
  std::size_t begin = at;
  while (begin > 0 && units_[begin].gap.find_first_of(".!?:\n") == std::string::npos)
    --begin;
  for (std::size_t k = begin; k < units_.size(); ++k) {
    if (k > begin && units_[k].gap.find_first_of(".!?:\n") != std::string::npos) break;
    const auto* pronoun = FindIn(kEnglishPronouns, units_[k].source);
    if (pronoun != nullptr && pronoun->person >= 0 && pronoun->word != "it" &&
        units_[k].gap.find_first_not_of(" ") == std::string::npos)  // not "Ctrl+I"
      return units_[k].source;
  }
  return "you";
}

// "by", "before", "after", "while" and "when" with an -ing form ("by using the
// command") are a subordinate clause whose subject English leaves out: the reader,
// as everywhere in a manual ("indem Sie den Befehl verwenden"). The -ing form
// becomes the verb, and a "you" of the grammar's own its subject. "using" before a
// noun phrase elsewhere is "mit" ("crop it using the menu": "mit dem Menü").
void Dictionary::EnglishGrammar::Gerunds() {
  for (std::size_t at = 0; at + 1 < units_.size(); ++at) {
    Unit& word = units_[at];
    Unit& next = units_[at + 1];
    // A reference: "See Section 9" is "Siehe Abschnitt 9", a command of its own
    // whose subject German leaves out. ("See the cat" is a command made before.)
    // Inside a sentence likewise before a title ("For details see Section 4.4", ",
    // see Moving selections"), where no subject or auxiliary stands before it.
    const bool sentenceStart = at == 0 || word.gap.find_first_of(".!?:\n") != std::string::npos;
    const bool beforeTitle = next.upper && !IsClauseBreak(next.gap) && at > 0 &&
                             !FindIn(kEnglishPronouns, units_[at - 1].source) &&
                             !FindIn(EnglishAuxiliaries(), units_[at - 1].source) &&
                             units_[at - 1].source != "to";
    if (word.source == "see" && ((word.capital && sentenceStart) || beforeTitle) &&
        FindIn(kEnglishDeterminers, next.source) == nullptr) {
      word.source.clear();
      word.text = word.capital ? "Siehe" : "siehe";
      word.kind = Kind::Verb;
      continue;
    }
    if (IsClauseBreak(next.gap)) continue;
    const auto* subordinator = FindIn(kGerundSubordinators, word.source);
    const std::optional<std::string> base =
        subordinator != nullptr ? IngBase(next.source) : std::nullopt;
    if (base) {
      next.source = *base;
      Unit subject;
      subject.gap = " ";
      subject.source = SentenceSubject(at);
      subject.known = true;
      units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(at + 1), std::move(subject));
      ++at;
      continue;
    }
    // An object pronoun before it ("copy it using ...") is no subject.
    const bool afterBe =
        at > 0 && (Contains(kFormsOfBe, units_[at - 1].source) ||
                   (FindIn(kEnglishPronouns, units_[at - 1].source) &&
                    units_[at - 1].source != "it" && units_[at - 1].source != "them"));
    // "using" a noun phrase, a key or a name ("using Ctrl-C"), or a number of things
    // ("using only two calls") is "mit"; first in a sentence only as a phrase before
    // a comma ("Using Ctrl, you can ..."), not as the subject ("Using GIMP is easy").
    bool phrase = !word.capital;
    for (std::size_t k = at + 1; word.source == "using" && !phrase && k < units_.size(); ++k) {
      if (units_[k].gap.find_first_of(".!?:;\n") != std::string::npos) break;
      phrase = units_[k].gap.find(',') != std::string::npos;
    }
    if (word.source == "using" && !afterBe && phrase &&
        (FindIn(kEnglishDeterminers, next.source) || IsNoun(next) || next.source.empty() ||
         IsAdjective(next) || next.source == "only")) {
      word.source = "with";
      word.text = word.capital ? "Mit" : "mit";
      word.kind = Kind::Preposition;
    }
  }
}

// Whether the preposition at `at` has an -ing form alone after it, one that kBareGerunds
// makes a noun: the sentence or clause ends after it, or a preposition or "and" follows
// ("for printing and for ...").
bool Dictionary::EnglishGrammar::BareGerund(std::size_t at) const {
  if (FindIn(kBareGerunds, units_[at].source) == nullptr || at + 1 >= units_.size() ||
      IsClauseBreak(units_[at + 1].gap) || !IngBase(units_[at + 1].source) ||
      !(PurposeFor(at) || (at > 0 && ThanksFor(at))))
    return false;
  if (at + 2 >= units_.size() || IsClauseBreak(units_[at + 2].gap)) return true;
  const std::string& after = units_[at + 2].source;
  return Contains(kEnglishPrepositions, after) || Contains(kEnglishConjunctions, after);
}

// Whether the "for" at `at` tells what something serves ("useful for printing"), not
// the object of a thanks or of a verb that takes "for" ("wait for loading").
bool Dictionary::EnglishGrammar::PurposeFor(std::size_t at) const {
  if (at == 0) return false;
  const std::string& before = units_[at - 1].source;
  if (ThanksFor(at)) return false;
  return std::none_of(std::begin(kVerbPrepositions), std::end(kVerbPrepositions),
                      [&](const VerbPreposition& verb) {
                        return verb.preposition == "for" && IsFormOf(before, verb.verb);
                      });
}

// Whether the "for" at `at` says what one thanks for ("Thanks for reading").
bool Dictionary::EnglishGrammar::ThanksFor(std::size_t at) const {
  const std::string& before = units_[at - 1].source;
  // "Thank you" is "Danke" before this pass, its "you" an emptied word.
  return before == "thank" || before == "thanks" || before == "you" ||
         (before.empty() && units_[at - 1].text.empty());
}

// "for printing": "zum Drucken", the verb's infinitive as a noun; after a thanks
// "fürs Lesen".
void Dictionary::EnglishGrammar::BareGerunds() {
  for (std::size_t at = 0; at + 1 < units_.size(); ++at) {
    if (!BareGerund(at)) continue;
    Unit& ing = units_[at + 1];
    const std::optional<Candidate> verb = InfinitiveOf(*IngBase(ing.source));
    if (!verb || verb->translation.find_first_of(" .;(") != std::string_view::npos) continue;
    Unit& preposition = units_[at];
    const std::string_view german =
        ThanksFor(at) ? "fürs" : FindIn(kBareGerunds, preposition.source)->german;
    preposition.text =
        preposition.capital ? CapitalizeFirst(std::string(german)) : std::string(german);
    preposition.source.clear();
    ing.text = CapitalizeFirst(std::string(verb->translation));
    ing.source.clear();
    ing.kind = Kind::Neuter;
  }
}

// An -ing form first in a sentence before its verb or a preposition ("Resizing is
// possible", "Painting with a brush is easy") is the subject: the German infinitive as
// a noun, neuter ("Skalieren ist möglich"). One the dictionary knows as a noun keeps
// that ("Setting": "Einstellung").
void Dictionary::EnglishGrammar::GerundSubjects() {
  for (std::size_t at = 0; at + 1 < units_.size(); ++at) {
    Unit& ing = units_[at];
    const Unit& next = units_[at + 1];
    const bool sentenceStart = at == 0 || ing.gap.find_first_of(".!?:\n") != std::string::npos;
    if (!sentenceStart || !ing.capital || IsClauseBreak(next.gap) || IsNoun(ing)) continue;
    const std::optional<std::string> base = IngBase(ing.source);
    if (!base) continue;
    // A word in "-s" that may be a noun too is the verb only before an article
    // ("Pasting contents in ..." has none).
    const bool article = at + 2 < units_.size() && !IsClauseBreak(units_[at + 2].gap) &&
                         FindIn(kEnglishDeterminers, units_[at + 2].source) != nullptr;
    const bool verbNext =
        FindIn(EnglishAuxiliaries(), next.source) != nullptr || Contains(kFormsOfBe, next.source) ||
        (next.source.ends_with('s') && IsVerbForm(next) && (article || !IsNoun(next)));
    if (!verbNext && !Contains(kEnglishPrepositions, next.source)) continue;
    const std::optional<Candidate> verb = InfinitiveOf(*base);
    if (!verb || verb->translation.find_first_of(" .;(") != std::string_view::npos) continue;
    ing.text = CapitalizeFirst(std::string(verb->translation));
    ing.source.clear();
    ing.kind = Kind::Neuter;
  }
}

bool Dictionary::EnglishGrammar::Progressive(Clause& clause, std::size_t& at) {
  // "is not playing": the negation stays with the clause.
  const bool negated = at + 1 < clause.end && units_[at + 1].source == "not";
  const std::size_t ing = negated ? at + 2 : at + 1;
  if (ing >= clause.end || IsClauseBreak(units_[ing].gap)) return false;
  std::optional<Candidate> verb = BeIngVerb(units_[ing].source);
  if (!verb) return false;
  units_[at].text.clear();
  if (negated) {
    units_[at + 1].text.clear();
    clause.negate = true;
  }
  clause.finite = ing;
  clause.next = ing + 1;
  FullVerb(clause, verb);
  return true;
}

bool Dictionary::EnglishGrammar::ToPlace(Clause& clause, std::size_t& at) {
  if (at + 1 >= clause.end) return false;
  const Unit& name = units_[at + 1];
  // A name the dictionary knows (so no person's), no noun with its own article.
  if (!name.upper || !name.known || IsClauseBreak(name.gap) || name.kind == Kind::Masculine ||
      name.kind == Kind::Feminine || name.kind == Kind::Plural)
    return false;
  units_[at].text = "nach";
  MarkNicht(clause, at);
  at += 2;
  return true;
}

bool Dictionary::EnglishGrammar::ToInside(Clause& clause, std::size_t& at) {
  std::size_t place = at + 2;
  while (place + 1 < clause.end && AdjectiveSense(units_[place]) &&
         !IsClauseBreak(units_[place + 1].gap))
    ++place;
  if (place >= clause.end || !Contains(kPlacesGoneInto, units_[place].source) ||
      IsClauseBreak(units_[at + 2].gap))
    return false;
  units_[at].text = "in";
  MarkNicht(clause, at);
  const Phrase phrase = NounPhrase(at + 1, clause.end, kAccusative, false, false);
  at = phrase.found ? phrase.end : at + 1;
  return true;
}

bool Dictionary::EnglishGrammar::FromInside(Clause& clause, std::size_t& at) {
  // The phrase's head: the last of the adjectives and nouns after the determiner. A
  // compound unit ("image menubar") is known by its last word.
  std::size_t head = at + 2;
  while (head + 1 < clause.end && !IsClauseBreak(units_[head + 1].gap) &&
         (AdjectiveSense(units_[head]) || IsNoun(units_[head])) && IsNoun(units_[head + 1]))
    ++head;
  if (head >= clause.end || IsClauseBreak(units_[at + 2].gap)) return false;
  const std::string& source = units_[head].source;
  const std::size_t space = source.rfind(' ');
  const std::string_view last = space == std::string::npos
                                    ? std::string_view(source)
                                    : std::string_view(source).substr(space + 1);
  if (!IsNoun(units_[head]) || !Contains(kContainersTakenFrom, last)) return false;
  units_[at].text = "aus";
  MarkNicht(clause, at);
  const Phrase phrase = NounPhrase(at + 1, clause.end, kDative, false, false);
  at = phrase.found ? phrase.end : at + 1;
  return true;
}

bool Dictionary::EnglishGrammar::AsRole(Clause& clause, std::size_t& at) {
  if (at + 1 >= clause.end || IsClauseBreak(units_[at + 1].gap)) return false;
  // An object before "as" plays the role ("use it as a template": the accusative);
  // without one the subject does ("is shown as the name", "acts as a brush").
  bool object = false;
  bool same = false;
  bool afterPreposition = false;
  for (std::size_t k = clause.next; k < at; ++k) {
    const Unit& unit = units_[k];
    if (unit.source == "same") same = true;
    if (Contains(kEnglishPrepositions, unit.source)) {
      afterPreposition = true;
    } else if (IsNoun(unit) || FindIn(kEnglishPronouns, unit.source)) {
      object = object || !afterPreposition;
      afterPreposition = false;
    }
  }
  if (same) {
    units_[at].text = "wie";
    MarkNicht(clause, at);
    ++at;
    return true;
  }
  const int grammaticalCase = object ? kAccusative : kNominative;
  const Phrase phrase = NounPhrase(at + 1, clause.end, grammaticalCase, false, false);
  if (!phrase.found) return false;
  MarkNicht(clause, at);
  at = phrase.end;
  return true;
}

bool Dictionary::EnglishGrammar::ClockTime(Clause& clause, std::size_t& at) {
  if (at + 2 >= clause.end || units_[at + 2].source != "o'clock") return false;
  const std::string& hour = units_[at + 1].source;
  const bool number = Contains(kEnglishHours, hour) ||
                      (!hour.empty() && hour.find_first_not_of("0123456789") == std::string::npos);
  if (!number) return false;
  units_[at].text = "um";
  units_[at + 2].text = "Uhr";
  MarkNicht(clause, at);
  at += 3;
  return true;
}

bool Dictionary::EnglishGrammar::AtHome(Clause& clause, std::size_t& at) {
  MarkNicht(clause, at);
  if (units_[at].source == "at home") {
    units_[at].text = "zu Hause";
    at += 1;
    return true;
  }
  units_[at].text = "zu";
  units_[at + 1].text = "Hause";
  at += 2;
  return true;
}

bool Dictionary::EnglishGrammar::GoHome(Clause& clause, std::size_t& at) {
  if (at != clause.next) return false;  // right after the verb: a direction
  units_[at].text = "nach Hause";
  MarkNicht(clause, at);
  at += 1;
  return true;
}

// Inserts a word of its own at `at`, before the infinitives that go to the end.
void Dictionary::EnglishGrammar::PutAfterVerb(Clause& clause, std::size_t at, std::string text) {
  Unit word;
  word.gap = " ";
  word.text = std::move(text);
  word.known = true;
  units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(at), std::move(word));
  for (std::size_t& moved : clause.toEnd)
    moved += moved >= at ? 1 : 0;
  ++clause.end;
}

void Dictionary::EnglishGrammar::Negation(Clause& clause) {
  if (clause.negationPlaced) return;
  // The infinitives and participles go to the end after this pass, behind "nicht"
  // wherever they stand now ("kann die Katze nicht sehen").
  PutAfterVerb(clause, clause.nichtBefore, "nicht");
}

void Dictionary::EnglishGrammar::Gern(Clause& clause) {
  if (clause.gern) PutAfterVerb(clause, clause.finite + 1, "gern");
}

void Dictionary::EnglishGrammar::TimeAdverbs(Clause& clause) {
  if (clause.verb >= clause.end || clause.finite >= clause.end ||
      units_[clause.finite].text.empty())
    return;
  for (std::size_t j = clause.finite + 2; j < clause.end; ++j) {
    if (!Contains(kTimeAdverbs, units_[j].source) || IsClauseBreak(units_[j].gap)) continue;
    MoveBack(clause, j, clause.finite + 1);
    return;
  }
}

// Moves the unit at `from` to stand at `to` (to < from) with a single space before
// it; the units marked for the end move with the rest.
void Dictionary::EnglishGrammar::MoveBack(Clause& clause, std::size_t from, std::size_t to) {
  Unit moved = std::move(units_[from]);
  // Punctuation before the unit stays where it was, with the unit after it.
  if (from + 1 < units_.size() &&
      units_[from + 1].gap.find_first_not_of(" \t") == std::string::npos &&
      moved.gap.find_first_not_of(" \t") != std::string::npos) {
    units_[from + 1].gap = moved.gap;
  }
  moved.gap = " ";
  units_.erase(units_.begin() + static_cast<std::ptrdiff_t>(from));
  units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(to), std::move(moved));
  for (std::size_t& marked : clause.toEnd)
    marked += marked >= to && marked < from ? 1 : 0;
}

void Dictionary::EnglishGrammar::InfinitivesToEnd(Clause& clause) {
  std::vector<std::size_t>& toEnd = clause.toEnd;
  for (std::size_t n = 0; n < toEnd.size(); ++n) {
    const std::size_t from = toEnd[n];
    if (from + 1 >= clause.end) continue;
    MoveBefore(from, clause.end);
    for (std::size_t m = n + 1; m < toEnd.size(); ++m)
      toEnd[m] -= toEnd[m] > from ? 1 : 0;
  }
}

// Verb second: something before the subject ("Today I play") puts the verb before it;
// adverbs between subject and verb come after it.
void Dictionary::EnglishGrammar::VerbSecond(Clause& clause) {
  const std::size_t finite = clause.finite;
  if (clause.subordinator != std::string::npos) return;
  // "there is" after a clause in front: "..., gibt es".
  if (clause.there && clause.verbFirst && finite < clause.end && !units_[finite].text.empty()) {
    MoveToFront(clause, finite);
    if (clause.afterPhrase && units_[clause.begin].gap == ", ") units_[clause.begin].gap = " ";
    return;
  }
  if (clause.there || !clause.subject.found || finite >= clause.end || units_[finite].text.empty())
    return;
  std::size_t subjectStart = clause.subject.end - 1;
  // A name after its noun ("der Befehl Select All").
  while (subjectStart > clause.begin && !IsClauseBreak(units_[subjectStart].gap) &&
         units_[subjectStart].source.empty() && IsNameUnit(units_[subjectStart]))
    --subjectStart;
  while (subjectStart > clause.begin && !IsClauseBreak(units_[subjectStart].gap) &&
         (FindIn(kEnglishDeterminers, units_[subjectStart - 1].source) ||
          units_[subjectStart - 1].text.empty() ||  // a noun joined to the head
          IsAdjective(units_[subjectStart - 1]) || units_[subjectStart - 1].source == "very"))
    --subjectStart;
  if (clause.subjectStart != std::string::npos) subjectStart = clause.subjectStart;
  if (clause.adverbs < finite) {
    Unit moved = std::move(units_[finite]);
    moved.gap = units_[clause.adverbs].gap;
    units_[clause.adverbs].gap = " ";
    units_.erase(units_.begin() + static_cast<std::ptrdiff_t>(finite));
    units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(clause.adverbs), std::move(moved));
    clause.finite = clause.adverbs;
  }
  if (clause.verbFirst) {
    MoveToFront(clause, clause.finite);
    if (clause.afterPhrase && units_[clause.begin].gap == ", ") units_[clause.begin].gap = " ";
    return;
  }
  if (subjectStart > clause.begin && clause.adverbs == finite) {
    Unit moved = std::move(units_[finite]);
    moved.gap = " ";
    units_.erase(units_.begin() + static_cast<std::ptrdiff_t>(finite));
    units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(subjectStart), std::move(moved));
    clause.finite = subjectStart;
  }
}

// Moves the unit at `at` to the clause's start, where it takes the first unit's gap.
void Dictionary::EnglishGrammar::MoveToFront(Clause& clause, std::size_t at) {
  if (at <= clause.begin || at >= clause.end) return;
  Unit moved = std::move(units_[at]);
  moved.gap = units_[clause.begin].gap;
  moved.capital = units_[clause.begin].capital;
  units_[clause.begin].gap = " ";
  units_[clause.begin].capital = false;
  units_.erase(units_.begin() + static_cast<std::ptrdiff_t>(at));
  units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(clause.begin), std::move(moved));
  clause.finite = clause.begin;
}

void Dictionary::EnglishGrammar::Contractions() {
  for (std::size_t u = 0; u + 1 < units_.size(); ++u) {
    if (units_[u].text.empty()) continue;
    std::size_t next = u + 1;
    while (next < units_.size() && units_[next].text.empty() && !IsClauseBreak(units_[next].gap))
      ++next;
    if (next >= units_.size() || IsClauseBreak(units_[next].gap)) continue;
    const std::string pair = FoldCase(units_[u].text) + " " + units_[next].text;
    for (const auto& [full, contracted] : kContractions) {
      if (pair != full) continue;
      units_[u].text = StartsUpper(units_[u].text) ? CapitalizeFirst(std::string(contracted))
                                                   : std::string(contracted);
      units_[next].text.clear();
      break;
    }
  }
}

// An English -ing form that the dictionary gives as the German present participle
// ("floating": "schwebend") is an adjective before a noun ("a floating selection": "eine
// schwebende Auswahl"); it takes that kind.
bool Dictionary::EnglishGrammar::PresentParticiple(Unit& unit) const {
  if (!unit.known || !unit.source.ends_with("ing") || unit.source.find(' ') != std::string::npos ||
      !unit.text.ends_with("end") || unit.text.find(' ') != std::string::npos ||
      StartsUpper(unit.text))
    return false;
  unit.kind = Kind::Adjective;
  return true;
}

// A name the grammar leaves as written (a name, a key, code), or a tool's or a
// command's name inside a sentence that the dictionary reads as a verb ("the Smudge
// tool") or as a verb made a noun ("the Crop tool": "Zuschneiden").
bool Dictionary::EnglishGrammar::IsNameUnit(const Unit& unit) const {
  if (unit.text.empty()) return false;
  if (unit.source.empty()) return !unit.known;
  if (!unit.upper || !unit.known || unit.source.find(' ') != std::string::npos) return false;
  return unit.kind == Kind::Verb ||
         (unit.kind == Kind::Neuter && unit.text.ends_with("en") &&
          dictionary_.Find(IndexTable::GermanVerbs, FoldCase(unit.text)).has_value());
}

// The end of the names from `k` that a noun follows ("the Select All command", "the
// Debian system"), or `k`.
std::size_t Dictionary::EnglishGrammar::NameEnd(std::size_t k, std::size_t end) const {
  std::size_t n = k;
  while (n < end && IsNameUnit(units_[n]) && (n == k || units_[n].gap == " "))
    ++n;
  // A word the dictionary does not know, alone before a noun, names a program or a
  // package ("the winbind package"); not a number ("15 degrees") or an English word
  // of parts ("pop-up").
  const std::string& word = k < end ? units_[k].source : std::string();
  if (n == k && !word.empty() && !units_[k].known &&
      word.find_first_of(" -0123456789") == std::string::npos)
    n = k + 1;
  if (n == k || n >= end || units_[n].gap != " " || !IsNoun(units_[n]) || units_[n].upper) return k;
  return n;
}

// The end of a name in quotation marks from `k` that a noun follows ("the “Default”
// style", "the "/etc/hosts" file"), or `k`: up to four words, and a space after the
// closing mark.
std::size_t Dictionary::EnglishGrammar::QuotedNameEnd(std::size_t k, std::size_t end) const {
  constexpr std::string_view kOpening[] = {"\u201C", "\u201E", "\"", "\u00BB", "\u00AB"};
  constexpr std::string_view kClosing[] = {"\u201D", "\u201C", "\"", "\u00AB", "\u00BB"};
  const std::string& gap = units_[k].gap;
  const std::size_t blank = gap.find_last_of(' ');
  if (blank == std::string::npos) return k;
  const std::string_view mark = std::string_view(gap).substr(blank + 1);
  const auto* open = std::find(std::begin(kOpening), std::end(kOpening), mark);
  if (open == std::end(kOpening)) return k;
  const std::string closing =
      std::string(kClosing[static_cast<std::size_t>(open - std::begin(kOpening))]) + " ";
  for (std::size_t n = k + 1; n < end && n <= k + 4; ++n) {
    if (units_[n].gap == closing) return IsNoun(units_[n]) && !units_[n].upper ? n : k;
    if (units_[n].gap != " ") return k;
  }
  return k;
}

// A noun phrase whose noun a name stands before: German puts the noun first and the
// name after it, where the article agrees with the noun ("the Select All command": "der
// Befehl Select All", "the Smudge tool": "das Werkzeug Verschmieren"); a name of one
// word becomes the first part of a compound ("the Debian system": "das Debian-System",
// "the Ctrl key": "die Strg-Taste"). Without an article only after a preposition ("in
// JPEG files"). The nouns in a row after the name are one compound, as elsewhere.
bool Dictionary::EnglishGrammar::NamedNoun(std::size_t at, std::size_t k, std::size_t end,
                                           const EnglishDeterminer* determiner,
                                           const std::vector<std::size_t>& adjectives,
                                           int grammaticalCase, Phrase& phrase) {
  std::size_t n = NameEnd(k, end);
  const std::size_t quoted = n == k ? QuotedNameEnd(k, end) : k;
  if (quoted != k) n = quoted;
  if (n == k) return false;
  if (determiner == nullptr &&
      (!adjectives.empty() || k == 0 || !Contains(kEnglishPrepositions, units_[k - 1].source)))
    return false;
  const std::size_t head = CompoundHead(n, end, grammaticalCase == kNominative);
  const std::string& name = units_[k].text;
  const bool word = quoted == k && n == k + 1 && (units_[k].source.empty() || !units_[k].known) &&
                    name.find_first_of("/.:_\\") == std::string::npos;
  if (word) {
    Inflect(at, head, determiner, adjectives, grammaticalCase, false, phrase);
    JoinCompound(n, head);
    units_[head].text = name + "-" + units_[head].text;
    units_[k].text.clear();
    return true;
  }
  for (std::size_t u = k; u < n; ++u) {
    Unit& unit = units_[u];
    // A tool's name in words is written with a capital; in quotation marks the first
    // word only ("„Farbbereich von Bild“").
    if (unit.known && !unit.source.empty() && (quoted == k || u == k))
      unit.text = CapitalizeFirst(unit.text);
    unit.source.clear();
    unit.known = false;
    unit.kind = Kind::Other;
  }
  // Quotation marks stay around the name: the opening one before its first word, the
  // closing one after its last ("der Stil „First Page“").
  std::string gap = units_[k].gap;
  std::string opening;
  std::string closing;
  if (quoted != k) {
    const std::size_t blank = gap.find_last_of(' ') + 1;
    opening = gap.substr(blank);
    gap.erase(blank);
    closing = units_[n].gap.substr(0, units_[n].gap.find(' '));
    units_[n - 1].text += closing;
  }
  std::rotate(units_.begin() + static_cast<std::ptrdiff_t>(k),
              units_.begin() + static_cast<std::ptrdiff_t>(n),
              units_.begin() + static_cast<std::ptrdiff_t>(head + 1));
  for (std::size_t u = k; u <= head; ++u)
    units_[u].gap = u == k ? gap : " ";
  const std::size_t noun = k + (head - n);
  units_[noun + 1].gap += opening;
  Inflect(at, noun, determiner, adjectives, grammaticalCase, false, phrase);
  JoinCompound(k, noun);
  phrase.end = head + 1;
  lastPhraseEnd_ = phrase.end;
  return true;
}

// Whether SensesInContext gave this participle its adjective, a state.
bool Dictionary::EnglishGrammar::StateInContext(const Unit& unit) const {
  return unit.kind == Kind::Adjective &&
         std::any_of(std::begin(kSensesInContext), std::end(kSensesInContext),
                     [&](const SenseInContext& sense) {
                       return sense.kind == Kind::Adjective && sense.word == unit.source &&
                              sense.german == unit.text;
                     });
}

// Each sentence gives a word the sense its other words choose (kSensesInContext).
void Dictionary::EnglishGrammar::SensesInContext() {
  for (std::size_t first = 0; first < units_.size();) {
    std::size_t end = first + 1;
    while (end < units_.size() && units_[end].gap.find_first_of(".!?\n") == std::string::npos)
      ++end;
    for (const SenseInContext& sense : kSensesInContext) {
      const auto inSentence = [&](std::string_view word) {
        return std::any_of(units_.begin() + static_cast<std::ptrdiff_t>(first),
                           units_.begin() + static_cast<std::ptrdiff_t>(end),
                           [&](const Unit& unit) { return unit.source == word; });
      };
      if (!inSentence(sense.word) ||
          std::none_of(sense.context.begin(), sense.context.end(), inSentence))
        continue;
      for (std::size_t k = first; k < end; ++k) {
        if (units_[k].source != sense.word) continue;
        units_[k].text = std::string(sense.german);
        units_[k].kind = sense.kind;
        units_[k].known = true;
      }
    }
    first = end;
  }
}

// An article before a name of several words that ends in an English noun ("the Chart
// Wizard", "the GNU General Public License"): the article takes the gender of that
// noun's German word, in its case ("Sie sehen den Chart Wizard", "in der Color Area"
// is "im Color Area" as "Bereich" is masculine). A name of one word (a loan word's
// gender is often not its German word's: "die Toolbox") or one whose last word the
// dictionary does not know as a noun keeps its article as it is.
bool Dictionary::EnglishGrammar::NameAlone(std::size_t at, std::size_t k, std::size_t end,
                                           const EnglishDeterminer* determiner, int grammaticalCase,
                                           Phrase& phrase) {
  std::size_t n = k;
  while (n < end && units_[n].source.empty() && IsNameUnit(units_[n]) &&
         (n == k || units_[n].gap == " "))
    ++n;
  if (n < k + 2) return false;
  const std::string last = FoldCase(units_[n - 1].text);
  const std::optional<Candidate> noun = dictionary_.Find(IndexTable::EnglishToGerman, last);
  if (!noun || !IsNounKind(noun->kind)) return false;
  Unit german;
  german.text = noun->translation;
  german.kind = noun->kind;
  const auto col = static_cast<std::size_t>(GenderOf(german));
  bool article = true;
  const EndingTable* endings = &kStrongEnding;
  units_[at].text = ArticleText(determiner->det, determiner,
                                static_cast<std::size_t>(grammaticalCase), col, article, endings);
  phrase.end = n;
  phrase.person = col == kPlural ? kThirdPlural : kThirdSingular;
  phrase.definite = determiner->det != Det::Indefinite;
  phrase.found = true;
  lastPhraseEnd_ = n;
  lastPhraseCase_ = grammaticalCase;
  return true;
}

// "one" after an article and an adjective stands for a noun before it ("This option is
// the best one": "die beste"): German leaves the noun out, and the article and the
// adjective take its gender ("ones" the plural).
bool Dictionary::EnglishGrammar::OneForNoun(std::size_t at, std::size_t k, std::size_t end,
                                            const EnglishDeterminer* determiner,
                                            const std::vector<std::size_t>& adjectives,
                                            int grammaticalCase, Phrase& phrase) {
  if (k >= end || (units_[k].source != "one" && units_[k].source != "ones") ||
      IsClauseBreak(units_[k].gap) ||
      (k + 1 < end && !IsClauseBreak(units_[k + 1].gap) && IsNoun(units_[k + 1])))
    return false;
  constexpr Kind kKinds[] = {Kind::Masculine, Kind::Feminine, Kind::Neuter, Kind::Plural};
  const int owner = OwnerColumn(at, false);
  const int column = units_[k].source == "ones" ? kPlural : owner >= 0 ? owner : kNeuter;
  Unit& one = units_[k];
  one.text.clear();
  one.kind = kKinds[static_cast<std::size_t>(column)];
  Inflect(at, k, determiner, adjectives, grammaticalCase, false, phrase);
  one.text.clear();
  return true;
}

// The German name of the key a unit names ("Ctrl": "Strg"), or nothing.
std::optional<std::string> GermanKeyName(const Unit& unit) {
  if (!unit.upper) return std::nullopt;
  const std::string word = unit.source.empty() ? FoldCase(unit.text) : unit.source;
  for (const auto& [german, english] : kKeyNames) {
    if (word == FoldCase(english)) return CapitalizeFirst(std::string(german));
  }
  return std::nullopt;
}

// A key's name becomes the German one in a combination ("Shift+Ctrl+O"), before "key"
// ("the Shift key"), with its capital inside a sentence ("holding Shift") and where it
// is no English word ("Ctrl"); the other keys of a combination keep their spelling
// ("O" is no "oh"). Each is a name for the grammar, as the keys of a combination
// written as one word ("Ctrl-C") are.
void Dictionary::EnglishGrammar::KeyNames() {
  const auto isKey = [](const Unit& unit) { return GermanKeyName(unit).has_value(); };
  ForEachKeyRun(units_, isKey, [&](std::size_t first, std::size_t end, bool combination) {
    for (std::size_t k = first; k < end; ++k) {
      Unit& unit = units_[k];
      const bool beforeKey = k + 1 < units_.size() && units_[k + 1].gap == " " &&
                             (units_[k + 1].source == "key" || units_[k + 1].source == "keys");
      const bool inside = k > 0 && unit.gap.find_first_of(".!?:\n") == std::string::npos;
      if (const auto german = GermanKeyName(unit);
          german && (combination || beforeKey || inside || !unit.known)) {
        unit.text = *german;
      } else if (!combination || !KeepsSpelling(unit)) {
        continue;
      }
      unit.source.clear();
      unit.kind = Kind::Other;
      unit.known = false;
    }
  });
  // A letter after "shortcut" or "key" is the key of that letter, no word ("the
  // keyboard shortcut I": "das Tastenkürzel I", not "ich").
  for (std::size_t k = 1; k < units_.size(); ++k) {
    Unit& unit = units_[k];
    const std::string& before = units_[k - 1].source;
    if (unit.gap != " " || unit.source.size() != 1 || !unit.upper ||
        (before != "shortcut" && before != "key" && !before.ends_with(" shortcut")))
      continue;
    unit.text = CapitalizeFirst(unit.source);
    unit.source.clear();
    unit.kind = Kind::Other;
    unit.known = false;
  }
  for (Unit& unit : units_) {
    if (!unit.source.empty() || unit.text.find_first_of("+-") == std::string::npos) continue;
    std::string text;
    bool named = false;
    for (std::size_t start = 0; start <= unit.text.size();) {
      const std::size_t stop = std::min(unit.text.find_first_of("+-", start), unit.text.size());
      Unit part;
      part.text = unit.text.substr(start, stop - start);
      part.upper = StartsUpper(part.text);
      const auto german = GermanKeyName(part);
      named = named || german.has_value();
      text += german ? *german : part.text;
      if (stop < unit.text.size()) text += unit.text[stop];
      start = stop + 1;
    }
    if (named) unit.text = std::move(text);
  }
}

namespace {

// ---- German to English --------------------------------------------------------------

// Prepositions that read otherwise before an article: "nach Berlin" goes "to Berlin",
// "nach dem Essen" is "after the meal".
constexpr std::pair<std::string_view, std::string_view> kReadingsBeforeArticle[] = {
    {"nach", "after"}};
// Prepositions whose sense comes from what stands beside them: after a word of telling
// or knowing the topic ("Informationen über das Menü": "information about the menu"),
// before the accusative or a bare name the way ("über das Menü", "über Ansicht":
// "through", which the manuals' English uses three times as often as "via" there).
// Before the dative the place stays the dictionary's ("über dem Bild": "above"); "den"
// before a plural is the dative ("an den Kanten": "at the edges"). "an" before the
// accusative is where something goes or is fitted ("an den See", "an die Größe
// angepasst": "to"). "" for no other sense.
struct PrepositionSense {
  std::string_view german;
  std::string_view afterTopic;
  std::string_view beforeAccusative;
  std::string_view beforeName;
};
constexpr PrepositionSense kPrepositionSenses[] = {{"über", "about", "through", "through"},
                                                   {"an", "", "to", ""}};
// Words that take a topic (case-folded): the nouns and verbs of telling and knowing.
constexpr std::string_view kTopicWords[] = {
    "informationen", "information", "hinweise",    "hinweis",     "details", "einzelheiten",
    "mehr",          "überblick",   "übersicht",   "vorstellung", "dinge",   "auskunft",
    "wissen",        "weiß",        "erfahren",    "lesen",       "fragen",  "sprechen",
    "reden",         "nachdenken",  "informieren", "diskussion",  "artikel", "buch"};
constexpr std::string_view kAccusativeArticles[] = {"das",    "den",   "die",   "ein",
                                                    "eine",   "einen", "diese", "diesen",
                                                    "dieses", "ihre",  "ihren", "alle"};
constexpr std::string_view kDativeArticles[] = {"dem", "der", "einem", "einer", "diesem"};
// The hours of the clock in words (but "ein", which reads "a" elsewhere).
constexpr std::string_view kGermanHours[] = {"zwei", "drei", "vier", "fünf", "sechs", "sieben",
                                             "acht", "neun", "zehn", "elf",  "zwölf"};
// Pairs of words read together, and their English ("" for none): "zu Hause" is "at
// home", "ein paar Effekte" "a few effects".
struct WordPair {
  std::string_view first;
  std::string_view second;
  std::string_view firstEnglish;
  std::string_view secondEnglish;
};
constexpr WordPair kWordPairs[] = {
    {"zu", "hause", "at", "home"},   {"nach", "hause", "", "home"},   {"ein", "paar", "a", "few"},
    {"ein", "bisschen", "a", "bit"}, {"ein", "wenig", "a", "little"},
};
// Articles of the singular only.
constexpr std::string_view kSingularArticles[] = {
    "das",    "dem",    "des",     "ein",     "eine",   "einen",  "einem",  "eines",
    "dieses", "diesem", "kein",    "keinem",  "keines", "mein",   "meinem", "meines",
    "dein",   "deinem", "deines",  "sein",    "seinem", "seines", "ihr",    "ihrem",
    "ihres",  "unser",  "unserem", "unseres", "jedes",  "jedem"};
// Articles that are the genitive after a noun ("die Liste der Dateien": "the list of
// the files"), with their English. Before a masculine singular "der" is a subject or
// an object ("dann kommt der Zug"), so the genitive needs a noun of another kind.
constexpr std::pair<std::string_view, std::string_view> kGenitiveArticles[] = {
    {"der", "of the"}, {"einer", "of a"}, {"dieser", "of this"}, {"aller", "of all"}};
// Days, which take "on" for "am".
constexpr std::string_view kDays[] = {"montag",  "dienstag", "mittwoch", "donnerstag",
                                      "freitag", "samstag",  "sonntag",  "wochenende"};

// Words that start a subordinate clause, whose verb stands last.
constexpr std::string_view kGermanSubordinators[] = {"dass",  "weil",    "wenn",  "ob",    "obwohl",
                                                     "bevor", "nachdem", "deren", "dessen"};

// Words that start a subordinate clause only when a verb stands last in it ("da der
// Wert steigt", not "da ist der Wert"), with their reading there.
constexpr std::pair<std::string_view, std::string_view> kGermanVerbLastSubordinators[] = {
    {"da", "as"},
    {"falls", "if"},
    {"sofern", "if"},
    {"indem", "as"},
    {"damit", "so that"},
    {"sodass", "so that"},
    {"so dass", "so that"},
    {"bis", "until"},
    {"während", "while"},
    {"nachdem", "after"},
    {"sobald", "as soon as"},
    // The question words (kGermanQuestionWords, the last rows): an indirect question,
    // "Geben Sie an, welche Dateien geöffnet werden sollen".
    {"welche", "which"},
    {"welcher", "which"},
    {"welches", "which"},
    {"wie", "how"},
    {"was", "what"},
    {"wo", "where"},
    {"warum", "why"},
    {"wann", "when"}};

constexpr std::ptrdiff_t kGermanQuestionWords = 8;

// Relative pronouns (and the article forms that are one at the start of a clause
// after a comma when no noun follows: "die Kinder, die spielen").
constexpr std::string_view kGermanRelatives[] = {"der",     "die",     "das",    "dem",
                                                 "den",     "denen",   "welche", "welcher",
                                                 "welches", "welchem", "welchen"};

// Nouns of a measure or a container, which take "of" before the noun they measure.
constexpr std::string_view kGermanMeasures[] = {
    "tasse",  "glas",   "flasche", "stück",   "scheibe", "teller", "schüssel", "dose",
    "kiste",  "becher", "kanne",   "packung", "tüte",    "sack",   "korb",     "eimer",
    "löffel", "prise",  "portion", "kilo",    "pfund",   "gramm",  "liter",    "meter"};

// Prepositions that lead a relative clause ("in der", "von denen").
constexpr std::string_view kGermanRelativePrepositions[] = {
    "in",  "auf", "an",   "von",   "mit",    "für",   "über",     "unter", "aus",
    "bei", "zu",  "nach", "durch", "hinter", "neben", "zwischen", "gegen", "ohne"};

// The prefixes of separable verbs, which stand at the end of a main clause apart from
// their verb ("Geben Sie den Namen ein": "eingeben").
constexpr std::string_view kGermanSeparablePrefixes[] = {
    "an",    "auf",    "aus",    "ein",      "ab",   "vor",    "zu",     "zurück", "fest", "hinzu",
    "mit",   "weg",    "her",    "hin",      "um",   "dar",    "bereit", "fort",   "nach", "los",
    "durch", "hervor", "heraus", "zusammen", "hoch", "vorbei", "weiter", "statt"};

// The prefixes a verb keeps in its participle, which then takes no "ge" ("verwirbelt",
// "entfernt").
constexpr std::string_view kInseparablePrefixes[] = {"be",  "ver", "ent", "er",
                                                     "zer", "emp", "miss"};

// Question words that start a direct question before its verb ("Wo ist ...?").
constexpr std::string_view kGermanQuestionWordsFirst[] = {
    "wo",    "wie",   "was",   "warum",   "wann",     "wer",
    "wohin", "woher", "wieso", "weshalb", "wie viel", "wie viele"};

// Adverbs of time, which English puts at the end of the clause.
constexpr std::string_view kGermanTimeAdverbs[] = {"heute", "morgen", "gestern",
                                                   "jetzt", "bald",   "später"};

// Of those, the ones whose English clause takes no comma before it.
constexpr std::string_view kWithoutComma[] = {"dass", "wenn", "ob", "deren", "dessen"};

// Words of quantity that stand before a noun phrase as an article does ("alle
// Adressen werden ausgegeben").
constexpr std::string_view kGermanQuantifiers[] = {"alle",  "viele",  "einige", "mehrere",
                                                   "beide", "manche", "wenige"};

// Verbs with which a capital "Sie" first in a sentence speaks to the reader, as a
// manual does, rather than of a group ("Sie finden die Datei unter ...", "Sie haben
// zwei Möglichkeiten"): the verb's form, and a noun that must stand in its clause
// ("" for any).
constexpr std::pair<std::string_view, std::string_view> kReaderVerbs[] = {
    {"finden", ""},
    {"haben", "möglichkeit"},
    {"haben", "möglichkeiten"},
    {"haben", "wahl"},
};

// Words that join two clauses; each clause gets its own subject and verb.
constexpr std::string_view kGermanConjunctions[] = {"und", "aber", "oder", "weil", "denn"};

// Pairs of words that frame two parts of a sentence ("sowohl ... als auch": "both ...
// and"): the first word, the second (one or two words) and their English ("" for
// none: "zwar ... aber" is "... but").
struct Correlative {
  std::string_view first;
  std::string_view firstEnglish;
  std::string_view second;
  std::string_view secondNext;
  std::string_view secondEnglish;
};
constexpr Correlative kCorrelatives[] = {
    {"sowohl", "both", "als", "auch", "and"}, {"weder", "neither", "noch", "", "nor"},
    {"entweder", "either", "oder", "", "or"}, {"zwar", "", "aber", "", "but"},
    {"je", "the", "umso", "", "the"},         {"je", "the", "desto", "", "the"}};

std::string_view DropTo(std::string_view english) {
  return english.starts_with("to ") ? english.substr(3) : english;
}

// The English -ing form of a base form ("open": "opening", "save": "saving"); the
// words after the first stay.
std::string EnglishGerund(std::string_view base) {
  const auto space = base.find(' ');
  std::string word(base.substr(0, space));
  const std::string rest = space == std::string_view::npos ? "" : std::string(base.substr(space));
  if (word.ends_with("ie")) {
    word.replace(word.size() - 2, 2, "y");
  } else if (word.size() > 2 && word.ends_with('e') && !word.ends_with("ee") &&
             !word.ends_with("ye")) {
    word.pop_back();
  }
  return word + "ing" + rest;
}

}  // namespace

// The German-to-English grammar over the units of one text: a list of passes run in
// order, one of them once for each clause.
class Dictionary::GermanGrammar {
 public:
  GermanGrammar(const Dictionary& dictionary, std::vector<Unit>& units, std::string_view tail)
      : dictionary_(dictionary), units_(units), tail_(tail) {}

  void Run() {
    for (const auto pass : kTextPasses)
      (this->*pass)();
  }

 private:
  // The English base form of a German verb form, with its class.
  struct Verb {
    std::string base;
    VerbClass verbClass = VerbClass::Full;
    bool plural = false;
  };

  // What the passes learn about one clause, units [begin, end).
  struct Clause {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;         // where the next clause starts
    bool question = false;        // it ends in "?"
    bool startsSentence = false;  // its first unit starts a sentence
    bool done = false;            // the clause is finished: the passes after skip it
    std::size_t v = 0;            // the finite verb
    std::optional<Verb> verb;
    std::size_t subjectBegin = 0;
    std::size_t subjectEnd = 0;
    int person = kThirdSingular;
    bool inverted = false;  // the subject follows the verb
    std::size_t nicht = 0;  // "nicht" (end when there is none)
    std::size_t gern = 0;   // "gern" (end when there is none)
    VerbClass verbClass = VerbClass::Full;
    std::string verbText;      // the English verb group
    std::string afterVerb;     // an infinitive or participle from the end of the clause
    bool subordinate = false;  // after "dass", "weil", "deren" ...: its verb stands last
    bool relative = false;     // a relative clause; `begin` is after its pronoun
    // The subject may stand before the clause: its relative pronoun ("die", not
    // "denen"), or the subject of the subordinate clause it goes on from.
    bool relativeSubject = false;
    bool verbLast = false;  // a subordinate clause that ends in its verb
  };

  using TextPass = void (GermanGrammar::*)();
  using ClausePass = void (GermanGrammar::*)(Clause&);

  // Where in the clause a construction is recognised.
  enum class Place {
    Clause,  // once the subject is known: it makes the whole clause
    Verb,    // when the English verb group is made
  };
  // A construction whose English form no word-by-word rule gives: the finite verb
  // ("" for any) and a word that stands with it in the clause. `apply` may decline
  // (it returns false) when the rest of the clause does not fit.
  struct Construction {
    Place place;
    std::string_view verb;
    std::string_view with;
    bool (GermanGrammar::*apply)(Clause&);
  };

  // The passes over the whole text, in order.
  void SetPhrases();
  void DecimalCommas();
  void BaseForms();
  void Asides();
  void KeyNames();
  void AdjectivesBeforeNouns();
  void Abbreviations();
  void BeforeArticles();
  void PrepositionSenses();
  void SingularNouns();
  void StrongEndings();
  void Genitives();
  void One();
  void VerbalNouns();
  void MenuPaths();
  void Correlatives();
  void Adverbs();
  void FirstAdverbs();
  void Polite();
  void As();
  void Than();
  void Clauses();
  void Well();
  void ClockTimes();
  void Measures();
  void Articles();
  void Referents();
  void Commas();
  // The passes over one clause, in order.
  void ZuInfinitive(Clause& clause);
  void VerbLast(Clause& clause);
  void Relative(Clause& clause);
  void Continued(Clause& clause);
  void VerbFromEnd(Clause& clause);
  void FiniteVerb(Clause& clause);
  void SeparablePrefix(Clause& clause);
  void Subject(Clause& clause);
  void ObjectPronouns(Clause& clause);
  void Reflexive(Clause& clause);
  void Whole(Clause& clause);
  void VerbGroup(Clause& clause);
  void Negation(Clause& clause);
  void FinalVerb(Clause& clause);
  void WordOrder(Clause& clause);
  void TimeAdverbs(Clause& clause);
  void Capitals(Clause& clause);

  static constexpr TextPass kTextPasses[] = {
      // Clauses that German says in set words of its own ("Es tut mir leid": "I am
      // sorry").
      &GermanGrammar::SetPhrases,
      // A comma between digits is the decimal point ("0,5": "0.5"), no clause's end.
      &GermanGrammar::DecimalCommas,
      // Function words from the closed-class table; words the dictionary does not
      // list in this form through their base form (a verb form, an inflected
      // adjective, a noun with a case ending).
      &GermanGrammar::BaseForms,
      // The keys of a German keyboard by their English names ("Strg": "Ctrl").
      &GermanGrammar::KeyNames,
      // A word between an article or a preposition and a noun is an adjective, even
      // where it is also a verb's form ("die grünen Kanäle": "grün", not "grünen").
      &GermanGrammar::AdjectivesBeforeNouns,
      // Abbreviations ("z. B.", "bzw."): their English, and their dots no clause's end,
      // so that a verb after them still finds its clause.
      &GermanGrammar::Abbreviations,
      // A preposition whose reading changes before an article ("nach dem Essen") or a
      // day ("am Montag"); pairs of words read together ("zu Hause", "ein paar").
      &GermanGrammar::BeforeArticles,
      // A preposition's sense from the word before it or the case after it
      // ("Informationen über das Menü": "information about the menu"; "über das
      // Menü": "through the menu").
      &GermanGrammar::PrepositionSenses,
      // A noun whose plural is the same form is singular after a singular article
      // ("das Mädchen": "the girl").
      &GermanGrammar::SingularNouns,
      // "-er" after "ein", "kein" or a possessive without an ending is the adjective's
      // ending, not its comparative ("ein neuer Fehler": "a new error", not "newer").
      &GermanGrammar::StrongEndings,
      // An article of the genitive after a noun and before a feminine or plural noun
      // phrase: "der Inhalt der Datei" is "the content of the file".
      &GermanGrammar::Genitives,
      // "eine", "eines" ... without a noun of its own is "one", and the article after
      // it the genitive ("eines der Bilder", "eines oder mehrere": "one of the
      // images", "one or more").
      &GermanGrammar::One,
      // A verb's infinitive as a noun after "beim" or "zum" is an -ing form ("beim
      // Klicken auf", "zum Öffnen der Datei": "when clicking on", "for opening the
      // file").
      &GermanGrammar::VerbalNouns,
      // The items of a menu path ("Datei → Öffnen", "Extras – Optionen – Laden") are
      // names, with a capital: a verb in its base form ("Open", not "opening" nor a
      // clause's verb), a noun as it is.
      &GermanGrammar::MenuPaths,
      // "sowohl ... als auch", "weder ... noch", "zwar ... aber" (kCorrelatives).
      &GermanGrammar::Correlatives,
      // An adjective right before a verb or a participle tells how: "automatisch
      // eingefügt" is "automatically inserted".
      &GermanGrammar::Adverbs,
      // So is one first in a sentence before its finite verb ("Alternativ können Sie":
      // "Alternatively you can").
      &GermanGrammar::FirstAdverbs,
      // "Ihr", "Ihre", "Ihnen" with a capital inside a sentence address the reader:
      // "your", "you".
      &GermanGrammar::Polite,
      // "wie" inside a clause compares: "so groß wie das Bild", "wie unten
      // beschrieben": "as".
      &GermanGrammar::As,
      // "als" after a comparative, with verbs between them too, compares: "größer sein
      // kann als das Bild": "than".
      &GermanGrammar::Than,
      // Words in brackets or quotes inside a clause ("legen (kacheln) möchten", "die
      // Datei "a.txt" öffnen") become one aside that no clause pass reads or moves, so
      // that the clause goes on after them.
      &GermanGrammar::Asides,
      // Each clause in turn, through kClausePasses.
      &GermanGrammar::Clauses,
      // "gut" with a verb, not before a noun, is "well" ("Ich kann gut schwimmen").
      &GermanGrammar::Well,
      // "um acht Uhr": "at eight o'clock".
      &GermanGrammar::ClockTimes,
      // Measures ("eine Tasse Kaffee": "a cup of coffee"); another noun before a
      // noun names it ("das Menü Filter": "the menu Filters").
      &GermanGrammar::Measures,
      // "a" before a vowel is "an"; "das" last in a clause is "that".
      &GermanGrammar::Articles,
      // "er", "sie" and their possessives for a thing are "it" and "its" ("Wenn die
      // Datei fehlt, wird sie erstellt": "it is created"); "ihr" for a plural is "their".
      &GermanGrammar::Referents,
      // No comma before "that", "if" and "whose" ("Ich weiß, dass": "I know that"),
      // nor after a clause of "whose". Last: the passes before find clauses by them.
      &GermanGrammar::Commas,
  };
  static constexpr ClausePass kClausePasses[] = {
      // A clause of its own whose verb is an infinitive with "zu" at its end ("um
      // das Bild zu speichern", "ohne ... zu öffnen", "..., die Datei auszugeben"):
      // "to save the image", "without opening ...", "to output the file".
      &GermanGrammar::ZuInfinitive,
      // A word that starts a subordinate clause when its verb stands last ("da",
      // "falls", "so dass"), with its reading there.
      &GermanGrammar::VerbLast,
      // A relative clause after a comma, its verb last: "die im Garten spielen", "in
      // der ... steht", "von denen ... kopiert wurde": "that play in the garden", "in
      // which ... stands", "of which ... was copied".
      &GermanGrammar::Relative,
      // "und" or "oder" after a subordinate clause, a verb last: the subordinate
      // clause goes on, with its subject ("wenn Sie ... auswählen und ... klicken").
      &GermanGrammar::Continued,
      // A subordinate clause's verb from the end to after its subject, the order of
      // a main clause ("dass das Haus groß ist": "dass das Haus ist groß").
      &GermanGrammar::VerbFromEnd,
      // The finite verb: the first verb of the clause; without one the clause stays.
      &GermanGrammar::FiniteVerb,
      // A separable verb's prefix at the end of a main clause joins its verb ("Geben Sie
      // den Namen ein": "eingeben", "Enter the name").
      &GermanGrammar::SeparablePrefix,
      // A noun phrase or pronoun as subject, before the verb or just after it.
      &GermanGrammar::Subject,
      // "sie" beside its subject is an object: "it", or "them" after a plural noun
      // ("Sie erhalten sie zurück": "You get it back").
      &GermanGrammar::ObjectPronouns,
      // The reflexive "sich" of a verb, which English leaves out ("öffnet sich":
      // "opens"); after a preposition it stays ("an sich").
      &GermanGrammar::Reflexive,
      // Constructions that make the whole clause ("es gibt").
      &GermanGrammar::Whole,
      // The English verb in its subject's person, or a construction's verb group.
      &GermanGrammar::VerbGroup,
      // "nicht" with a full verb becomes "do not".
      &GermanGrammar::Negation,
      // An infinitive (after a modal) or participle (after "haben", or "sein" for a
      // verb of motion or change: "ist aufgetreten", "has occurred") at the end joins
      // the verb; after "werden" a participle makes the passive ("wird verwendet": "is
      // used"), and so does a modal's "... werden" ("kann geöffnet werden").
      &GermanGrammar::FinalVerb,
      // The subject before the verb; a question with do-support; the polite
      // imperative ("Klicken Sie": "Click") without its subject.
      &GermanGrammar::WordOrder,
      // An adverb of time after the verb goes to the end ("ist heute gut": "is good
      // today").
      &GermanGrammar::TimeAdverbs,
      // Only the clause's first unit starts the sentence.
      &GermanGrammar::Capitals,
  };

  // The constructions.
  bool There(Clause& clause);
  bool WouldLike(Clause& clause);
  bool LikeTo(Clause& clause);
  bool CanBe(Clause& clause);
  bool Have(Clause& clause);
  static constexpr Construction kConstructions[] = {
      // "Es gibt eine Katze", "Gibt es ...": "there is".
      {Place::Clause, "gibt", "es", &GermanGrammar::There},
      // "Ich hätte gern einen Kaffee": "I would like a coffee".
      {Place::Verb, "hätte", "gern", &GermanGrammar::WouldLike},
      {Place::Verb, "hätte", "gerne", &GermanGrammar::WouldLike},
      {Place::Verb, "hätten", "gern", &GermanGrammar::WouldLike},
      {Place::Verb, "hätten", "gerne", &GermanGrammar::WouldLike},
      // "Ich würde gern reservieren", "Ich möchte gern einen Kaffee": "would like (to)".
      {Place::Verb, "würde", "gern", &GermanGrammar::WouldLike},
      {Place::Verb, "würde", "gerne", &GermanGrammar::WouldLike},
      {Place::Verb, "würden", "gern", &GermanGrammar::WouldLike},
      {Place::Verb, "würden", "gerne", &GermanGrammar::WouldLike},
      {Place::Verb, "möchte", "gern", &GermanGrammar::WouldLike},
      {Place::Verb, "möchte", "gerne", &GermanGrammar::WouldLike},
      {Place::Verb, "möchten", "gern", &GermanGrammar::WouldLike},
      {Place::Verb, "möchten", "gerne", &GermanGrammar::WouldLike},
      // "Ich spiele gern": "I like to play".
      {Place::Verb, "", "gern", &GermanGrammar::LikeTo},
      {Place::Verb, "", "gerne", &GermanGrammar::LikeTo},
      // "Das Filter lässt sich über das Menü aufrufen": "can be called".
      {Place::Verb, "lässt", "sich", &GermanGrammar::CanBe},
      {Place::Verb, "lassen", "sich", &GermanGrammar::CanBe},
      // "Das Werkzeug verfügt über drei Modi": "has three modes".
      {Place::Verb, "verfügt", "über", &GermanGrammar::Have},
      {Place::Verb, "verfügen", "über", &GermanGrammar::Have},
  };
  // Applies the first construction of `place` that matches and accepts.
  bool Construct(Place place, Clause& clause);

  // Helpers of the passes.
  bool IsNoun(const Unit& unit) const { return unit.known && IsNounKind(unit.kind) && unit.upper; }
  static bool IsArticle(const Unit& unit);
  static bool IsAside(const Unit& unit);
  bool BetweenArticleAndNoun(std::size_t at) const;
  std::optional<Verb> VerbOf(const Unit& unit, bool clauseStart, bool afterPronoun = false) const;
  std::pair<std::size_t, int> PhraseAt(const Clause& clause, std::size_t at);
  void MoveRange(std::size_t from, std::size_t to, std::size_t at);
  std::size_t PhraseEnd(std::size_t at, std::size_t end) const;
  std::size_t GenitiveEnd(std::size_t at, std::size_t end) const;
  bool RelativeObject(const Clause& clause, std::size_t end, const Verb& verb) const;
  std::string EnglishParticipleOf(const Unit& unit) const;
  static std::vector<std::string> ParticipleInfinitives(const std::string& word);
  bool PerfectWithSein(Clause& clause);
  std::string PassiveParticiple(const Unit& unit) const;
  std::optional<std::string> ZuInfinitiveAt(std::size_t last) const;
  std::size_t LastWord(const Clause& clause) const;
  bool StartsClause(std::size_t at) const;
  std::optional<std::string> SeparableVerb(std::size_t at, const std::string& prefix) const;
  std::size_t VerbEnd(const Clause& clause) const;
  bool AddressesReader(const Clause& clause) const;
  bool IsPerson(const Unit& noun) const;

  const Dictionary& dictionary_;
  std::vector<Unit>& units_;
  std::string_view tail_;         // what follows the last unit
  bool lastSubordinate_ = false;  // the clause before was subordinate, its verb last
};

void Dictionary::GermanToEnglishGrammar(std::vector<Unit>& units, std::string_view tail) const {
  GermanGrammar(*this, units, tail).Run();
}

bool Dictionary::GermanGrammar::Construct(Place place, Clause& clause) {
  for (const Construction& construction : kConstructions) {
    if (construction.place != place) continue;
    if (!construction.verb.empty() && units_[clause.v].source != construction.verb) continue;
    bool with = false;
    for (std::size_t k = clause.begin; k < clause.end; ++k)
      with = with || (k != clause.v && units_[k].source == construction.with);
    if (with && (this->*construction.apply)(clause)) return true;
  }
  return false;
}

// An aside made by the Asides pass: no source, its text in brackets or quotes.
bool Dictionary::GermanGrammar::IsAside(const Unit& unit) {
  return unit.source.empty() && unit.text.size() >= 2 &&
         ((unit.text.front() == '(' && unit.text.back() == ')') ||
          (unit.text.front() == '"' && unit.text.back() == '"'));
}

bool Dictionary::GermanGrammar::IsArticle(const Unit& unit) {
  for (std::string_view word : {"der", "die", "das", "den", "dem", "des", "ein", "eine", "einen",
                                "einem", "einer", "eines", "kein", "keine", "keinen", "keinem"}) {
    if (unit.source == word) return true;
  }
  for (std::string_view stem : {"mein", "dein", "sein", "ihr", "unser", "dies", "jed"}) {
    if (unit.source.starts_with(stem) && unit.source != "ihr") return true;
  }
  return false;
}

// The English base form of a German verb form, with its class; nothing when the unit
// is no verb.
std::optional<Dictionary::GermanGrammar::Verb> Dictionary::GermanGrammar::VerbOf(
    const Unit& unit, bool clauseStart, bool afterPronoun) const {
  if (unit.source.find(' ') != std::string::npos) return std::nullopt;
  if (const auto finite = FindClosedFinite(unit.source)) {
    return Verb{std::string(finite->verb->english), finite->verb->verbClass, finite->Plural()};
  }
  if (unit.upper && !clauseStart) return std::nullopt;  // a noun
  if (FindIn(GermanPronouns(), unit.source) || IsArticle(unit)) return std::nullopt;
  if (FunctionWordReading(unit.source)) return std::nullopt;
  std::optional<std::string> infinitive;
  if (dictionary_.Find(IndexTable::GermanVerbs, unit.source)) {
    infinitive = unit.source;
  } else {
    // A word that is also another word's form ("liebe": "lieb") is a verb after a
    // subject pronoun only.
    const auto direct = dictionary_.FindExact(IndexTable::GermanToEnglish, unit.source);
    if (!afterPronoun && direct && direct->kind != Kind::Verb && direct->kind != Kind::Other) {
      return std::nullopt;
    }
    infinitive = dictionary_.GermanInfinitive(unit.source);
  }
  if (!infinitive) return std::nullopt;
  std::optional<Candidate> found = dictionary_.Find(IndexTable::GermanVerbs, *infinitive);
  if (!found) return std::nullopt;
  // The plural's ending is the infinitive's: "spielen", "erinnern", "wechseln".
  const bool plural = unit.source.ends_with("en") ||
                      (*infinitive == unit.source &&
                       (unit.source.ends_with("ern") || unit.source.ends_with("eln")));
  return Verb{std::string(DropTo(found->translation)), VerbClass::Full, plural};
}

// Moves units [from, to) to stand before `at` (at <= from).
void Dictionary::GermanGrammar::MoveRange(std::size_t from, std::size_t to, std::size_t at) {
  std::vector<Unit> moved(
      std::make_move_iterator(units_.begin() + static_cast<std::ptrdiff_t>(from)),
      std::make_move_iterator(units_.begin() + static_cast<std::ptrdiff_t>(to)));
  units_.erase(units_.begin() + static_cast<std::ptrdiff_t>(from),
               units_.begin() + static_cast<std::ptrdiff_t>(to));
  units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(at),
                std::make_move_iterator(moved.begin()), std::make_move_iterator(moved.end()));
}

void Dictionary::GermanGrammar::SetPhrases() {
  // The words of a whole clause, and its English.
  struct SetPhrase {
    std::array<std::string_view, 4> words;  // "" after the last
    std::string_view english;
  };
  constexpr SetPhrase kSetPhrases[] = {
      {{"es", "tut", "mir", "leid"}, "I am sorry"},  {{"es", "tut", "uns", "leid"}, "we are sorry"},
      {{"tut", "mir", "leid", ""}, "I am sorry"},    {{"keine", "ahnung", "", ""}, "no idea"},
      {{"entschuldigung", "", "", ""}, "excuse me"},
  };
  for (std::size_t at = 0; at < units_.size(); ++at) {
    if (at > 0 && !IsClauseBreak(units_[at].gap)) continue;
    for (const SetPhrase& phrase : kSetPhrases) {
      std::size_t n = 0;
      while (n < phrase.words.size() && !phrase.words[n].empty() && at + n < units_.size() &&
             units_[at + n].source == phrase.words[n] &&
             (n == 0 || !IsClauseBreak(units_[at + n].gap)))
        ++n;
      const bool whole = n == phrase.words.size() || phrase.words[n].empty();
      if (!whole || (at + n < units_.size() && !IsClauseBreak(units_[at + n].gap))) continue;
      units_[at].text = std::string(phrase.english);
      units_[at].source.clear();
      units_[at].kind = Kind::Other;
      for (std::size_t k = at + 1; k < at + n; ++k) {
        units_[k].text.clear();
        units_[k].source.clear();
      }
      break;
    }
  }
}

void Dictionary::GermanGrammar::DecimalCommas() {
  const auto digits = [](std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
  };
  for (std::size_t u = 0; u + 1 < units_.size(); ++u) {
    const Unit& fraction = units_[u + 1];
    if (fraction.gap != "," || !digits(units_[u].text) || !digits(fraction.text)) continue;
    units_[u].text += "." + fraction.text;
    units_[u].source += "," + fraction.source;
    units_.erase(units_.begin() + static_cast<std::ptrdiff_t>(u) + 1);
  }
}

void Dictionary::GermanGrammar::BaseForms() {
  for (std::size_t u = 0; u < units_.size(); ++u) {
    Unit& unit = units_[u];
    if (const auto reading = FunctionWordReading(unit.source)) {
      unit.text = std::string(*reading);
      unit.known = true;
      unit.kind = Kind::Other;
    }
    if (unit.known || unit.source.find(' ') != std::string::npos) continue;
    std::vector<std::string> bases;
    if (auto base = dictionary_.GermanInfinitive(unit.source)) bases.push_back(FoldCase(*base));
    if (dictionary_.morphology_) {
      if (auto base = dictionary_.morphology_->BaseForm(unit.source))
        bases.push_back(FoldCase(*base));
    }
    // A case ending cut off: a closed-class word lists all its forms, so what is
    // left is never one ("warten" is no form of "wart", "Mann" none of "man").
    for (std::string_view ending : {"n", "en", "s", "es", "e", "em"}) {
      if (unit.source.size() <= ending.size() + 2 || !unit.source.ends_with(ending)) continue;
      std::string base = unit.source.substr(0, unit.source.size() - ending.size());
      if (!IsClosedGermanWord(base) && !FunctionWordReading(base) && !FindClosedFinite(base))
        bases.push_back(std::move(base));
    }
    // A small word before a noun is no noun itself: of its bases one that is not a
    // noun comes first ("der oberen Ebene": "ober", not the noun "Ober").
    const bool beforeNoun = !unit.upper && u + 1 < units_.size() && units_[u + 1].upper &&
                            !units_[u + 1].source.empty() && !IsClauseBreak(units_[u + 1].gap);
    std::optional<Candidate> chosen;
    for (const std::string& base : bases) {
      std::optional<Candidate> found = dictionary_.Find(IndexTable::GermanToEnglish, base);
      if (!found) continue;
      if (!chosen) chosen = found;
      if (!beforeNoun || !IsNounKind(found->kind)) {
        chosen = found;
        break;
      }
    }
    if (chosen) {
      unit.text = chosen->translation;
      unit.kind = chosen->kind;
      unit.known = true;
    }
  }
}

void Dictionary::GermanGrammar::KeyNames() {
  const auto keyName = [](const Unit& unit) -> std::optional<std::string_view> {
    if (!unit.upper) return std::nullopt;
    for (const auto& [german, english] : kKeyNames) {
      if (unit.source == german) return english;
    }
    return std::nullopt;
  };
  // A combination ("Strg+Alt+Entf", "Strg+O") is keys throughout: German key names
  // become the English ones, the other keys keep their spelling.
  const auto isKey = [&](const Unit& unit) { return keyName(unit).has_value(); };
  ForEachKeyRun(units_, isKey, [&](std::size_t first, std::size_t end, bool combination) {
    for (std::size_t k = first; k < end; ++k) {
      Unit& unit = units_[k];
      if (const auto english = keyName(unit)) {
        unit.text = std::string(*english);
      } else if (!combination || !KeepsSpelling(unit)) {
        continue;
      }
      unit.kind = Kind::Other;
      unit.known = true;
    }
  });
}

// Whether the word at `at` stands in a noun phrase before its noun: after an article,
// a preposition, an adjective or a verb ("den grünen Kanal", "sieht grüne Kanäle"),
// or after "und" in a list of them. After a noun or a pronoun, or first in its clause,
// it is the verb ("Kinder spielen Fußball", "Sie leeren Kanäle").
bool Dictionary::GermanGrammar::BetweenArticleAndNoun(std::size_t at) const {
  if (at == 0 || at + 1 >= units_.size() || units_[at].upper || IsClauseBreak(units_[at].gap) ||
      IsClauseBreak(units_[at + 1].gap) || !IsNoun(units_[at + 1]))
    return false;
  const auto opens = [&](std::size_t k) {
    const Unit& unit = units_[k];
    if (IsArticle(unit)) return true;  // "Die grünen Kanäle" first in a sentence too
    return !unit.upper && unit.known && !unit.source.empty() &&
           !FindIn(GermanPronouns(), unit.source);
  };
  // "den roten und grünen Kanal": a word of the list before "und" leaves its case.
  if (units_[at - 1].source == "und" || units_[at - 1].source == "oder")
    return at >= 2 && units_[at - 2].known && !units_[at - 2].upper;
  return opens(at - 1);
}

void Dictionary::GermanGrammar::AdjectivesBeforeNouns() {
  for (std::size_t u = 1; u + 1 < units_.size(); ++u) {
    Unit& unit = units_[u];
    if (unit.kind == Kind::Adjective || !BetweenArticleAndNoun(u) || !VerbOf(unit, false)) continue;
    for (std::string_view ending : {"en", "em", "er", "es", "e"}) {
      if (!unit.source.ends_with(ending) || unit.source.size() < ending.size() + 3) continue;
      const std::string base = unit.source.substr(0, unit.source.size() - ending.size());
      const std::optional<Candidate> found = dictionary_.Find(IndexTable::GermanToEnglish, base);
      if (!found || found->kind != Kind::Adjective) continue;
      unit.text = found->translation;
      unit.kind = Kind::Adjective;
      unit.known = true;
      break;
    }
  }
}

void Dictionary::GermanGrammar::Abbreviations() {
  ReadAbbreviations(units_, tail_, kGermanAbbreviations);
}

void Dictionary::GermanGrammar::BeforeArticles() {
  for (std::size_t u = 0; u + 1 < units_.size(); ++u) {
    if (IsClauseBreak(units_[u + 1].gap)) continue;
    if (IsArticle(units_[u + 1])) {
      for (const auto& [german, english] : kReadingsBeforeArticle) {
        if (units_[u].source == german) units_[u].text = std::string(english);
      }
    }
    for (const WordPair& pair : kWordPairs) {
      if (units_[u].source == pair.first && units_[u + 1].source == pair.second) {
        units_[u].text = std::string(pair.firstEnglish);
        units_[u].kind = Kind::Other;
        units_[u + 1].text = std::string(pair.secondEnglish);
        units_[u + 1].kind = Kind::Other;
      }
    }
    // "am Montag": "on Monday", without the article.
    if (units_[u].source == "am" && Contains(kDays, units_[u + 1].source)) units_[u].text = "on";
  }
}

void Dictionary::GermanGrammar::PrepositionSenses() {
  for (std::size_t u = 0; u + 1 < units_.size(); ++u) {
    const auto sense =
        std::find_if(std::begin(kPrepositionSenses), std::end(kPrepositionSenses),
                     [&](const PrepositionSense& row) { return row.german == units_[u].source; });
    if (sense == std::end(kPrepositionSenses) || IsClauseBreak(units_[u + 1].gap)) continue;
    const Unit& next = units_[u + 1];
    if (Contains(kDativeArticles, next.source)) continue;
    if (next.source == "den") {
      // The noun after the article and its adjectives.
      std::size_t noun = u + 2;
      while (noun < units_.size() && !units_[noun].upper && !IsClauseBreak(units_[noun].gap))
        ++noun;
      if (noun < units_.size() && units_[noun].kind == Kind::Plural) continue;
    }
    if (u > 0 && !IsClauseBreak(units_[u].gap) && Contains(kTopicWords, units_[u - 1].source)) {
      if (!sense->afterTopic.empty()) units_[u].text = std::string(sense->afterTopic);
    } else if (Contains(kAccusativeArticles, next.source)) {
      units_[u].text = std::string(sense->beforeAccusative);
    } else if (next.upper && !IsArticle(next) && !sense->beforeName.empty()) {
      units_[u].text = std::string(sense->beforeName);
    }
  }
}

void Dictionary::GermanGrammar::StrongEndings() {
  constexpr std::string_view kWithoutEnding[] = {"ein",  "kein", "mein",  "dein",
                                                 "sein", "ihr",  "unser", "euer"};
  for (std::size_t u = 1; u + 1 < units_.size(); ++u) {
    Unit& unit = units_[u];
    const Unit& before = units_[u - 1];
    const bool afterDeterminer = Contains(kWithoutEnding, before.source) ||
                                 (before.kind == Kind::Adjective && before.source.ends_with("er") &&
                                  u >= 2 && Contains(kWithoutEnding, units_[u - 2].source));
    if (!afterDeterminer || unit.upper || !unit.known || !unit.source.ends_with("er") ||
        IsClauseBreak(unit.gap) || IsClauseBreak(units_[u + 1].gap) || !IsNoun(units_[u + 1]))
      continue;
    const std::optional<Candidate> positive = dictionary_.FindExact(
        IndexTable::GermanToEnglish, unit.source.substr(0, unit.source.size() - 2));
    if (!positive || positive->kind != Kind::Adjective) continue;
    unit.text = std::string(positive->translation);
    unit.kind = Kind::Adjective;
  }
}

void Dictionary::GermanGrammar::SingularNouns() {
  for (std::size_t u = 0; u + 1 < units_.size(); ++u) {
    // "der" is singular too first in a clause or after a preposition, where it is no
    // genitive ("Der Fehler tritt auf", "mit der Maus"; but "die Liste der Fehler").
    const bool singularDer = units_[u].source == "der" && (u == 0 || IsClauseBreak(units_[u].gap) ||
                                                           units_[u - 1].kind == Kind::Preposition);
    // Before a noun without the dative plural's "n", "den", "meinen" and the like are
    // the singular's accusative ("meinen Schlüssel", not "meinen Schlüsseln").
    constexpr std::string_view kAccusatives[] = {"den",     "meinen", "deinen", "seinen", "ihren",
                                                 "unseren", "euren",  "keinen", "diesen", "jeden"};
    const bool accusative = Contains(kAccusatives, units_[u].source) && u + 1 < units_.size() &&
                            !units_[u + 1].source.ends_with('n');
    if (!singularDer && !accusative && !Contains(kSingularArticles, units_[u].source)) continue;
    std::size_t k = u + 1;
    while (k < units_.size() && !IsClauseBreak(units_[k].gap) && !units_[k].upper &&
           units_[k].known && units_[k].kind == Kind::Adjective)
      ++k;
    if (k >= units_.size() || IsClauseBreak(units_[k].gap) || !IsNoun(units_[k]) ||
        units_[k].kind != Kind::Plural)
      continue;
    Unit& noun = units_[k];
    std::optional<NounForms> forms = dictionary_.Noun(CapitalizeFirst(noun.source));
    noun.kind = forms && forms->gender != Kind::Other ? forms->gender : Kind::Neuter;
    std::string& english = noun.text;
    if (english.ends_with("ies")) {
      english.replace(english.size() - 3, 3, "y");
    } else if (english.ends_with('s') && !english.ends_with("ss")) {
      english.pop_back();
    }
  }
}

void Dictionary::GermanGrammar::Genitives() {
  for (std::size_t u = 1; u + 1 < units_.size(); ++u) {
    const auto* row = std::find_if(std::begin(kGenitiveArticles), std::end(kGenitiveArticles),
                                   [&](const auto& r) { return r.first == units_[u].source; });
    if (row == std::end(kGenitiveArticles) || IsClauseBreak(units_[u].gap)) continue;
    const Unit& before = units_[u - 1];
    // A capital inside a sentence is a noun's, whatever the dictionary made of it.
    const bool first = u == 1 || before.gap.find_first_of(".!?:\n") != std::string::npos;
    if (!before.upper || before.source.empty() ||
        (first && (!IsNoun(before) || VerbOf(before, true))))
      continue;
    std::size_t k = u + 1;
    while (k < units_.size() && !IsClauseBreak(units_[k].gap) && !units_[k].upper &&
           units_[k].known && units_[k].kind == Kind::Adjective)
      ++k;
    if (k >= units_.size() || IsClauseBreak(units_[k].gap) || !units_[k].upper ||
        units_[k].source.empty())
      continue;
    Unit& noun = units_[k];
    if (noun.kind == Kind::Masculine && row->first == "der") {
      // A masculine noun whose plural is the same form, right after a noun, is that
      // plural ("die Liste der Fehler": "the list of the errors").
      const std::optional<NounForms> forms = dictionary_.Noun(CapitalizeFirst(noun.source));
      if (k != u + 1 || !IsNoun(before) || !forms || FoldCase(forms->plural) != noun.source)
        continue;
      noun.kind = Kind::Plural;
      noun.text = EnglishPlural(std::move(noun.text));
    } else if (noun.kind == Kind::Masculine || noun.kind == Kind::Neuter) {
      continue;
    }
    units_[u].text = std::string(row->second);
  }
}

void Dictionary::GermanGrammar::One() {
  constexpr std::string_view kOne[] = {"eine", "einer", "eines", "einen", "einem"};
  constexpr std::pair<std::string_view, std::string_view> kOfThem[] = {
      {"der", "of the"}, {"des", "of the"}, {"dieser", "of these"}, {"deren", "of which"}};
  for (std::size_t u = 0; u + 1 < units_.size(); ++u) {
    Unit& next = units_[u + 1];
    if (!Contains(kOne, units_[u].source) || IsClauseBreak(next.gap)) continue;
    const auto* row = std::find_if(std::begin(kOfThem), std::end(kOfThem),
                                   [&](const auto& r) { return r.first == next.source; });
    if (row != std::end(kOfThem)) {
      next.text = std::string(row->second);
    } else if (next.source != "oder" && next.source != "und") {
      continue;
    }
    units_[u].text = "one";
    units_[u].kind = Kind::Other;
  }
}

void Dictionary::GermanGrammar::VerbalNouns() {
  constexpr std::pair<std::string_view, std::string_view> kBefore[] = {{"beim", "when"},
                                                                       {"zum", "for"}};
  for (std::size_t u = 0; u + 1 < units_.size(); ++u) {
    const auto* row = std::find_if(std::begin(kBefore), std::end(kBefore),
                                   [&](const auto& r) { return r.first == units_[u].source; });
    Unit& noun = units_[u + 1];
    if (row == std::end(kBefore) || !noun.upper || IsClauseBreak(noun.gap) ||
        !noun.source.ends_with('n'))
      continue;
    const std::optional<Candidate> verb = dictionary_.Find(IndexTable::GermanVerbs, noun.source);
    if (!verb) continue;
    units_[u].text = std::string(row->second);
    noun.text = EnglishGerund(DropTo(verb->translation));
    noun.kind = Kind::Other;
    noun.known = true;
    // Its object in the genitive is a plain object: "zum Öffnen der Datei".
    if (u + 2 < units_.size() && !IsClauseBreak(units_[u + 2].gap) &&
        units_[u + 2].text.starts_with("of ") && IsArticle(units_[u + 2]))
      units_[u + 2].text.erase(0, 3);
  }
}

void Dictionary::GermanGrammar::MenuPaths() {
  // Items are parted by arrows, or by dashes where a sentence has two or more between
  // capitalised words ("Extras – Optionen – Laden/Speichern"); a single dash between
  // words is prose's ("die Datei – falls vorhanden – wird").
  std::vector<bool> parted(units_.size() + 1, false);
  for (std::size_t start = 0; start < units_.size();) {
    std::size_t end = start + 1;
    while (end < units_.size() && units_[end].gap.find_first_of(".!?:\n") == std::string::npos)
      ++end;
    std::vector<std::size_t> dashes;
    for (std::size_t k = start; k < end; ++k) {
      if (units_[k].gap.find("→") != std::string::npos) parted[k] = true;
      if (k > start && units_[k].gap.find(" – ") != std::string::npos && units_[k].upper &&
          units_[k - 1].upper)
        dashes.push_back(k);
    }
    if (dashes.size() >= 2) {
      for (const std::size_t k : dashes)
        parted[k] = true;
    }
    start = end;
  }
  const auto arrow = [&](std::size_t at) { return at < units_.size() && parted[at]; };
  for (std::size_t u = 0; u < units_.size(); ++u) {
    // An item's first word comes after an arrow; the first item's last word before one.
    Unit& item = units_[u];
    if (!arrow(u) && !arrow(u + 1)) continue;
    if (!item.upper || !item.known || item.source.empty()) continue;
    if (const auto verb = dictionary_.Find(IndexTable::GermanVerbs, item.source);
        verb && item.source.ends_with('n')) {
      item.text = std::string(DropTo(verb->translation));
    }
    item.text = CapitalizeFirst(item.text);
    item.kind = Kind::Other;
  }
}

void Dictionary::GermanGrammar::Correlatives() {
  for (std::size_t u = 0; u < units_.size(); ++u) {
    for (const Correlative& row : kCorrelatives) {
      if (units_[u].source != row.first) continue;
      // The second word in the same sentence, after at least one word.
      for (std::size_t k = u + 2; k < units_.size(); ++k) {
        if (units_[k].gap.find_first_of(".!?:;\n") != std::string::npos) break;
        const bool next = row.secondNext.empty() ||
                          (k + 1 < units_.size() && units_[k + 1].source == row.secondNext);
        if (units_[k].source != row.second || !next) continue;
        units_[u].text = std::string(row.firstEnglish);
        units_[k].text = std::string(row.secondEnglish);
        if (!row.secondNext.empty()) units_[k + 1].text.clear();
        break;
      }
    }
  }
}

// The English adverb of an adjective ("automatic": "automatically", "simple":
// "simply", "easy": "easily"), or "" where it has no regular one.
std::string EnglishAdverb(std::string_view adjective) {
  constexpr std::string_view kIrregular[] = {"good", "fast", "hard", "late", "early", "long",
                                             "high", "low",  "well", "only", "more",  "most",
                                             "less", "down", "much", "same", "own",   "public"};
  if (adjective.size() < 4 || adjective.find(' ') != std::string_view::npos ||
      Contains(kIrregular, adjective) || adjective.ends_with("ly") || adjective.ends_with("er") ||
      adjective.ends_with("est") || adjective.ends_with("ed") || adjective.ends_with("ing"))
    return {};
  std::string adverb(adjective);
  if (adverb.ends_with("ic")) return adverb + "ally";
  if (adverb.ends_with("le")) return adverb.substr(0, adverb.size() - 1) + "y";
  if (adverb.ends_with('y')) return adverb.substr(0, adverb.size() - 1) + "ily";
  if (adverb.ends_with("ll")) return adverb + "y";
  return adverb + "ly";
}

void Dictionary::GermanGrammar::Adverbs() {
  for (std::size_t u = 1; u + 1 < units_.size(); ++u) {
    Unit& unit = units_[u];
    const Unit& next = units_[u + 1];
    // Only an adjective without an ending ("automatisch", not "einige"), and no
    // participle ("gedrückt halten": "hold down").
    const std::string& word = unit.source;
    if (unit.upper || !unit.known || unit.kind != Kind::Adjective || IsClauseBreak(next.gap) ||
        next.upper || IsArticle(units_[u - 1]) || units_[u - 1].kind == Kind::Adjective ||
        word.ends_with('e') || word.ends_with("en") || word.ends_with("er") ||
        word.ends_with("es") || word.ends_with("em") ||
        (word.starts_with("ge") && word.ends_with('t')))
      continue;
    // Before "sein" or "werden" it is what something is ("größer sein").
    const auto finite = FindClosedFinite(next.source);
    if (next.source == "sein" || next.source == "werden" ||
        (finite && finite->verb->verbClass == VerbClass::Be))
      continue;
    const bool participle = (next.source.ends_with('t') || next.source.ends_with("en")) &&
                            !PassiveParticiple(next).empty();
    // Before an article or a preposition it tells how the verb does it ("zeichnet
    // automatisch eine Kontur", "einfach auf die Zeile klicken"), unless a form of
    // "sein" makes it what something is ("ist einfach auf diese Weise").
    const auto before = FindClosedFinite(units_[u - 1].source);
    const auto functionWords = FunctionWords();
    const bool preposition =
        std::any_of(functionWords.begin(), functionWords.end(), [&](const FunctionWord& w) {
          return w.german == next.source && w.wordClass == WordClass::Preposition;
        });
    const bool phrase = (IsArticle(next) || preposition) &&
                        !(before && before->verb->verbClass == VerbClass::Be) &&
                        units_[u - 1].source != "sein";
    if (!participle && !phrase && !(VerbOf(next, false) && next.source.ends_with("en"))) continue;
    if (std::string adverb = EnglishAdverb(unit.text); !adverb.empty()) unit.text = adverb;
  }
}

void Dictionary::GermanGrammar::FirstAdverbs() {
  for (std::size_t u = 0; u + 1 < units_.size(); ++u) {
    Unit& unit = units_[u];
    const Unit& next = units_[u + 1];
    const bool first = u == 0 || unit.gap.find_first_of(".!?:\n") != std::string::npos;
    if (!first || !unit.known || unit.kind != Kind::Adjective || IsClauseBreak(next.gap) ||
        next.upper || unit.source.ends_with('e'))
      continue;
    // Before "sein" or "werden" it is what something is ("Groß ist der Hund").
    const auto finite = FindClosedFinite(next.source);
    if (finite ? finite->verb->verbClass == VerbClass::Be || finite->verb->infinitive == "werden"
               : !VerbOf(next, false))
      continue;
    const std::string word = FoldCase(unit.text);
    if (std::string adverb = EnglishAdverb(word); !adverb.empty()) unit.text = adverb;
  }
}

void Dictionary::GermanGrammar::Polite() {
  constexpr std::pair<std::string_view, std::string_view> kPolite[] = {
      {"ihr", "your"},   {"ihre", "your"},  {"ihren", "your"}, {"ihrem", "your"},
      {"ihrer", "your"}, {"ihres", "your"}, {"ihnen", "you"}};
  for (std::size_t u = 1; u < units_.size(); ++u) {
    Unit& unit = units_[u];
    if (!unit.upper || unit.gap.find_first_of(".!?:\n") != std::string::npos) continue;
    for (const auto& [german, english] : kPolite) {
      if (unit.source == german) unit.text = std::string(english);
    }
  }
}

void Dictionary::GermanGrammar::As() {
  for (std::size_t u = 1; u < units_.size(); ++u) {
    if (units_[u].source != "wie" || IsClauseBreak(units_[u].gap) ||
        Contains(kGermanConjunctions, units_[u - 1].source))
      continue;
    units_[u].text = "as";
  }
}

// Whether the conjunction at `at` starts a clause of its own. "und" and "oder" do so
// after a verb or a participle, or before one of their own: else they join two
// phrases of one clause, whose verb's parts may stand after them ("Geben Sie den
// Ordner oder die Datei an").
void Dictionary::GermanGrammar::Than() {
  constexpr std::string_view kComparatives[] = {"more", "less", "fewer", "rather", "other"};
  for (std::size_t u = 1; u < units_.size(); ++u) {
    if (units_[u].source != "als" || IsClauseBreak(units_[u].gap)) continue;
    // The comparative stands right before it or before the verbs that end the clause.
    std::size_t k = u - 1;
    while (k > 0 && !IsClauseBreak(units_[k].gap) &&
           (units_[k].source == "sein" || units_[k].source == "werden" ||
            FindClosedFinite(units_[k].source) || !PassiveParticiple(units_[k]).empty()))
      --k;
    const Unit& before = units_[k];
    // A comparative the morphology found ("älter": "older") has no kind of its own.
    if (before.upper || before.text.empty() ||
        (before.kind != Kind::Adjective && before.kind != Kind::Adverb &&
         before.kind != Kind::Other))
      continue;
    const std::string_view english = before.text;
    const std::string_view first = english.substr(0, english.find(' '));
    if ((english.ends_with("er") && before.source.ends_with("er")) ||
        Contains(kComparatives, first))
      units_[u].text = "than";
  }
}

bool Dictionary::GermanGrammar::StartsClause(std::size_t at) const {
  if (!Contains(kGermanConjunctions, units_[at].source)) return false;
  if (units_[at].source != "und" && units_[at].source != "oder") return true;
  const auto verbal = [&](std::size_t k, bool first) {
    const bool afterPronoun = k > 0 && FindIn(GermanPronouns(), units_[k - 1].source) != nullptr;
    const Unit& unit = units_[k];
    const bool participleForm = (unit.source.ends_with('t') || unit.source.ends_with("en")) &&
                                !IsArticle(unit) && !FunctionWordReading(unit.source);
    return VerbOf(unit, first, afterPronoun).has_value() ||
           (participleForm && !PassiveParticiple(unit).empty());
  };
  if (at > 0 && verbal(at - 1, false)) return true;
  for (std::size_t k = at + 1; k < units_.size() && !IsClauseBreak(units_[k].gap); ++k) {
    if (verbal(k, k == at + 1)) return true;
  }
  return false;
}

void Dictionary::GermanGrammar::Asides() {
  constexpr std::size_t kMostWords = 12;
  // Whether a gap is an opening mark after blanks (" ("), or a closing one before
  // blanks (") ").
  const auto only = [](std::string_view gap, char mark, bool opens) {
    const auto at = gap.find(mark);
    if (at == std::string_view::npos || gap.find(mark, at + 1) != std::string_view::npos)
      return false;
    const std::string_view before = gap.substr(0, at);
    const std::string_view after = gap.substr(at + 1);
    // Quotes may stand inside the brackets: "(»marschierende Ameisen«)".
    const auto quotes = [](std::string_view part) {
      return part.find_first_of(".,;:!?()\"' \t\n") == std::string_view::npos;
    };
    return opens ? quotes(after) && before.find_first_not_of(' ') == std::string_view::npos
                 : quotes(before) && after.find_first_not_of(' ') == std::string_view::npos;
  };
  for (std::size_t open = 1; open < units_.size(); ++open) {
    for (const auto& [opening, closing] : {std::pair{'(', ')'}, std::pair{'"', '"'}}) {
      if (!only(units_[open].gap, opening, true)) continue;
      const std::size_t mark = units_[open].gap.find(opening);
      // The closing mark in the gap of a word after it: the aside goes on from there.
      std::size_t close = open + 1;
      while (close < units_.size() && close - open <= kMostWords &&
             units_[close].gap.find_first_of(".!?:;\n()\"") == std::string::npos)
        ++close;
      if (close >= units_.size() || close - open > kMostWords ||
          !only(units_[close].gap, closing, false))
        continue;
      Unit aside;
      aside.gap = units_[open].gap.substr(0, mark);
      aside.text = units_[open].gap.substr(mark);
      for (std::size_t k = open; k < close; ++k) {
        if (k > open) aside.text += units_[k].gap;
        aside.text += units_[k].text;
      }
      const std::size_t closed = units_[close].gap.find(closing) + 1;
      aside.text += units_[close].gap.substr(0, closed);
      aside.known = true;
      units_[close].gap.erase(0, closed);
      units_.erase(units_.begin() + static_cast<std::ptrdiff_t>(open),
                   units_.begin() + static_cast<std::ptrdiff_t>(close));
      units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(open), std::move(aside));
      break;
    }
  }
}

void Dictionary::GermanGrammar::Clauses() {
  std::size_t begin = 0;
  while (begin < units_.size()) {
    Clause clause;
    clause.begin = begin;
    clause.end = begin + 1;
    while (clause.end < units_.size() && !IsClauseBreak(units_[clause.end].gap) &&
           !StartsClause(clause.end))
      ++clause.end;
    clause.next = clause.end;
    clause.question =
        (clause.end < units_.size() ? std::string_view(units_[clause.end].gap) : tail_).find('?') !=
        std::string_view::npos;
    clause.startsSentence = units_[begin].capital;
    clause.subordinate = Contains(kGermanSubordinators, units_[begin].source);
    // A sentence's first clause asks what its sentence asks, a clause after it
    // ("Sind Sie sicher, dass ...?") or not.
    if (!clause.question && clause.startsSentence && !clause.subordinate) {
      std::size_t end = clause.end;
      while (end < units_.size() && units_[end].gap.find_first_of(".!?:\n") == std::string::npos)
        ++end;
      clause.question =
          (end < units_.size() ? std::string_view(units_[end].gap) : tail_).find('?') !=
          std::string_view::npos;
    }
    if (clause.subordinate || Contains(kGermanConjunctions, units_[begin].source)) ++clause.begin;
    for (const auto pass : kClausePasses) {
      if (clause.done || clause.begin >= clause.end) break;
      (this->*pass)(clause);
    }
    lastSubordinate_ = clause.subordinate && clause.verbLast;
    begin = clause.next;
  }
}

// The English base form of the infinitive with "zu" that ends at `last`: "zu" and an
// infinitive, or a separable verb with "zu" after its prefix ("auszugeben":
// "ausgeben"), or nothing.
std::optional<std::string> Dictionary::GermanGrammar::ZuInfinitiveAt(std::size_t last) const {
  const Unit& word = units_[last];
  if (word.upper || !word.source.ends_with('n')) return std::nullopt;
  if (last > 0 && units_[last - 1].source == "zu" && !IsClauseBreak(word.gap)) {
    const std::optional<Verb> verb = VerbOf(word, false);
    if (!verb || verb->verbClass != VerbClass::Full) return std::nullopt;
    return verb->base;
  }
  for (std::size_t zu = word.source.find("zu", 2); zu != std::string::npos;
       zu = word.source.find("zu", zu + 1)) {
    const std::string infinitive = word.source.substr(0, zu) + word.source.substr(zu + 2);
    if (infinitive.size() < 5) continue;
    if (std::optional<Candidate> verb = dictionary_.Find(IndexTable::GermanVerbs, infinitive))
      return std::string(DropTo(verb->translation));
  }
  return std::nullopt;
}

void Dictionary::GermanGrammar::ZuInfinitive(Clause& clause) {
  const std::size_t last = LastWord(clause);
  if (last <= clause.begin) return;
  const std::optional<std::string> base = ZuInfinitiveAt(last);
  if (!base) return;
  const bool separate = units_[last - 1].source == "zu";
  const std::size_t verbEnd = separate ? last - 1 : last;
  Unit& first = units_[clause.begin];
  std::string english;
  if (first.source == "um") {
    english = "to " + *base;
  } else if (first.source == "ohne") {
    english = "without " + EnglishGerund(*base);
  } else if (first.source == "statt" || first.source == "anstatt") {
    english = "instead of " + EnglishGerund(*base);
  } else {
    // Without a word to start it, only a clause after a comma with no verb of its
    // own: "Es ist möglich, die Datei zu öffnen".
    if (clause.begin == 0 || units_[clause.begin].gap.find(',') == std::string::npos) return;
    for (std::size_t k = clause.begin; k < verbEnd; ++k) {
      if (FindClosedFinite(units_[k].source) || VerbOf(units_[k], false)) return;
    }
    Unit to;
    to.gap = first.gap == ", " ? " " : first.gap;
    to.text = "to " + *base;
    to.known = true;
    units_[clause.begin].gap = " ";
    units_[last].text.clear();
    if (separate) units_[last - 1].text.clear();
    units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(clause.begin), std::move(to));
    ++clause.end;
    ++clause.next;
    clause.done = true;
    return;
  }
  // English sets no comma before it.
  if (first.gap == ", ") first.gap = " ";
  first.text = english;
  units_[last].text.clear();
  if (separate) units_[last - 1].text.clear();
  clause.done = true;
}

// The last unit of the clause that still reads something.
std::size_t Dictionary::GermanGrammar::LastWord(const Clause& clause) const {
  std::size_t last = clause.end - 1;
  while (last > clause.begin && (units_[last].text.empty() || IsAside(units_[last])))
    --last;
  return last;
}

// Where the verbs at the end of the clause end: its last word, or the word before a
// comparison after them ("... größer sein kann als das Bild").
std::size_t Dictionary::GermanGrammar::VerbEnd(const Clause& clause) const {
  const std::size_t last = LastWord(clause);
  for (std::size_t k = last; k > clause.begin + 1; --k) {
    if (VerbOf(units_[k], false) || !PassiveParticiple(units_[k]).empty()) break;
    const Unit& before = units_[k - 1];
    if ((units_[k].source == "als" || units_[k].source == "wie") && !before.text.empty() &&
        !before.upper &&
        (before.source == "sein" || VerbOf(before, false) || !PassiveParticiple(before).empty()))
      return k - 1;
  }
  return last;
}

void Dictionary::GermanGrammar::VerbLast(Clause& clause) {
  if (clause.subordinate) return;
  Unit& first = units_[clause.begin];
  const auto* row =
      std::find_if(std::begin(kGermanVerbLastSubordinators), std::end(kGermanVerbLastSubordinators),
                   [&](const auto& r) { return r.first == first.source; });
  if (row == std::end(kGermanVerbLastSubordinators)) return;
  // A question word starts an indirect question after a comma only ("Wo ist ...?").
  const bool question = row >= std::end(kGermanVerbLastSubordinators) - kGermanQuestionWords;
  if (question && (clause.begin == 0 || first.gap.find(',') == std::string::npos)) return;
  const std::size_t last = LastWord(clause);
  if (last <= clause.begin + 1 || !VerbOf(units_[last], false)) return;
  first.text = std::string(row->second);
  // English sets no comma before "if" or a question word ("I know which ...").
  if ((question || row->second == "if") && first.gap == ", ") first.gap = " ";
  clause.subordinate = true;
  ++clause.begin;
  // "wie stark die Farben ...": the question's adjective stays with it.
  if (first.source == "wie" && units_[clause.begin].known && !units_[clause.begin].upper &&
      (units_[clause.begin].kind == Kind::Adjective || units_[clause.begin].kind == Kind::Adverb))
    ++clause.begin;
}

void Dictionary::GermanGrammar::Relative(Clause& clause) {
  if (clause.subordinate || clause.begin == 0 ||
      units_[clause.begin].gap.find(',') == std::string::npos)
    return;
  std::size_t pronoun = clause.begin;
  const bool preposition = Contains(kGermanRelativePrepositions, units_[pronoun].source);
  if (preposition) ++pronoun;
  if (pronoun + 1 >= clause.end || !Contains(kGermanRelatives, units_[pronoun].source)) return;
  // "die Datei wird geöffnet" starts with an article, "welche Datei" a question; after
  // a preposition the verb at the end makes it a relative ("in dem die Datei steht").
  if ((!preposition && PhraseEnd(pronoun, clause.end) != pronoun) ||
      (units_[pronoun].source.starts_with("welch") && units_[pronoun + 1].upper))
    return;
  const std::size_t last = LastWord(clause);
  if (last <= pronoun + 1 || !VerbOf(units_[last], false)) return;
  units_[pronoun].text = preposition ? "which" : "that";
  // English sets no comma before a relative clause that tells which one, nor after
  // one that ends before its main clause's verb ("Die Kinder, die spielen, sind").
  Unit& first = units_[clause.begin];
  if (first.gap == ", ") first.gap = " ";
  if (clause.end < units_.size() && units_[clause.end].gap == ", " &&
      VerbOf(units_[clause.end], false))
    units_[clause.end].gap = " ";
  clause.subordinate = true;
  clause.relative = true;
  clause.relativeSubject = !preposition && units_[pronoun].source != "denen" &&
                           units_[pronoun].source != "dem" && units_[pronoun].source != "den" &&
                           units_[pronoun].source != "welchem" &&
                           units_[pronoun].source != "welchen";
  clause.begin = pronoun + 1;
}

void Dictionary::GermanGrammar::Continued(Clause& clause) {
  if (clause.subordinate || !lastSubordinate_ || clause.begin == 0) return;
  const std::string& conjunction = units_[clause.begin - 1].source;
  if (conjunction != "und" && conjunction != "oder") return;
  const std::size_t last = VerbEnd(clause);
  if (last <= clause.begin || !VerbOf(units_[last], false) || VerbOf(units_[clause.begin], false))
    return;
  clause.subordinate = true;
  clause.relativeSubject = true;  // the subject before the conjunction, unless one agrees
}

void Dictionary::GermanGrammar::VerbFromEnd(Clause& clause) {
  if (!clause.subordinate) return;
  const std::size_t last = VerbEnd(clause);
  if (last <= clause.begin) return;
  const std::optional<Verb> verb = VerbOf(units_[last], false);
  if (!verb) return;
  clause.verbLast = true;
  std::size_t subjectEnd = PhraseEnd(clause.begin, clause.end);
  // "wenn das nicht ... ist": "das" alone stands for a noun.
  if (subjectEnd == clause.begin &&
      (units_[clause.begin].source == "das" || units_[clause.begin].source == "dies"))
    subjectEnd = clause.begin + 1;
  if (clause.relativeSubject && subjectEnd != clause.begin &&
      !RelativeObject(clause, subjectEnd, *verb))
    subjectEnd = clause.begin;
  // Without a subject at its start the verb stays, but a relative clause's subject is
  // its pronoun ("die im Garten spielen": "that play in the garden").
  if (subjectEnd >= last || (subjectEnd == clause.begin && !clause.relativeSubject)) return;
  MoveRange(last, last + 1, subjectEnd);
}

// Whether the phrase [clause.begin, end) after a relative pronoun is the subject of
// the clause's last verb (and the pronoun its object: "die ich sehe"); else the
// pronoun is the subject: "die dieselbe Größe haben" (no agreement), "der den Hund
// sieht" (an object's article), "der eine Kopie ist" (a predicate).
bool Dictionary::GermanGrammar::RelativeObject(const Clause& clause, std::size_t end,
                                               const Verb& verb) const {
  if (verb.verbClass == VerbClass::Be) return false;
  const Unit& first = units_[clause.begin];
  for (std::string_view object : {"den", "dem", "einen", "einem", "diesen", "diesem"}) {
    if (first.source == object) return false;
  }
  const Unit& head = units_[end - 1];
  const auto* pronoun = FindIn(GermanPronouns(), head.source);
  if (pronoun && head.source == "sie") return true;
  const bool plural = pronoun ? pronoun->person >= 3 : head.kind == Kind::Plural;
  return plural == verb.plural;
}

// The end of the noun phrase or pronoun at `at`, or `at` when there is none; a
// genitive after it belongs to it ("die Größe des Bildes").
std::size_t Dictionary::GermanGrammar::PhraseEnd(std::size_t at, std::size_t end) const {
  if (at >= end) return at;
  if (FindIn(GermanPronouns(), units_[at].source)) return at + 1;
  std::size_t k = at;
  if (IsArticle(units_[k])) ++k;
  while (k < end && !units_[k].upper && units_[k].known && units_[k].kind == Kind::Adjective)
    ++k;
  // A name or an acronym is a noun too ("wenn LibreOffice ... wird", "die URL").
  const bool name = k < end && units_[k].source.empty() && StartsUpper(units_[k].text);
  return k < end && (IsNoun(units_[k]) || name) ? GenitiveEnd(k + 1, end) : at;
}

// The end of the genitives from `at` on ("der Datei des Ordners"), or `at`.
std::size_t Dictionary::GermanGrammar::GenitiveEnd(std::size_t at, std::size_t end) const {
  while (at < end && IsArticle(units_[at]) && units_[at].text.starts_with("of ") &&
         !IsClauseBreak(units_[at].gap)) {
    std::size_t k = at + 1;
    while (k < end && !units_[k].upper && units_[k].known && units_[k].kind == Kind::Adjective)
      ++k;
    if (k >= end || !units_[k].upper || units_[k].source.empty()) break;
    at = k + 1;
  }
  // An aside after the phrase belongs to it: "die Auflösung (hostname) wird".
  while (at < end && IsAside(units_[at]))
    ++at;
  return at;
}

void Dictionary::GermanGrammar::FiniteVerb(Clause& clause) {
  for (clause.v = clause.begin; clause.v < clause.end; ++clause.v) {
    const std::size_t v = clause.v;
    if (units_[v].kind == Kind::Adjective && BetweenArticleAndNoun(v)) continue;
    clause.verb = VerbOf(units_[v], v == clause.begin,
                         v > clause.begin && FindIn(GermanPronouns(), units_[v - 1].source));
    if (clause.verb) return;
    // A main clause's first word that the dictionary knows only as a noun is its verb
    // when a prefix at the end makes a verb of it ("Fügen Sie ... hinzu": "add").
    const std::size_t last = LastWord(clause);
    if (v == clause.begin && !clause.subordinate && units_[v].upper && last > v &&
        !units_[last].upper && Contains(kGermanSeparablePrefixes, units_[last].source)) {
      if (const auto whole = SeparableVerb(v, units_[last].source)) {
        clause.verb = Verb{*whole, VerbClass::Full, units_[v].source.ends_with("en")};
        return;
      }
    }
  }
  clause.done = true;
}

void Dictionary::GermanGrammar::SeparablePrefix(Clause& clause) {
  if (clause.subordinate || clause.verb->verbClass != VerbClass::Full) return;
  const std::size_t last = LastWord(clause);
  Unit& prefix = units_[last];
  // A preposition and a noun at the end that make a verb with it ("stellt ... zur
  // Verfügung": "zur Verfügung stellen", "provides").
  if (last > clause.v + 1 && prefix.upper && !IsClauseBreak(prefix.gap)) {
    Unit& preposition = units_[last - 1];
    if (const std::optional<std::string> whole =
            SeparableVerb(clause.v, preposition.source + " " + prefix.source + " ");
        whole) {
      clause.verb->base = *whole;
      preposition.text.clear();
      prefix.text.clear();
      return;
    }
  }
  if (last <= clause.v || prefix.upper || !Contains(kGermanSeparablePrefixes, prefix.source))
    return;
  const std::optional<std::string> whole = SeparableVerb(clause.v, prefix.source);
  if (!whole) return;
  clause.verb->base = *whole;
  prefix.text.clear();
}

// The English base form of the separable verb that `prefix` makes of the verb form at
// `at` ("gibt" ... "ein": "enter"), or nothing. A verb the dictionary lists only
// with a prefix ("hinzufügen") is found through the form's own ending: "fügen",
// "fügt".
std::optional<std::string> Dictionary::GermanGrammar::SeparableVerb(
    std::size_t at, const std::string& prefix) const {
  const std::string& form = units_[at].source;
  std::vector<std::string> infinitives;
  if (const auto finite = FindClosedFinite(form)) {
    infinitives.emplace_back(finite->verb->infinitive);
  } else {
    if (auto infinitive = dictionary_.GermanInfinitive(form)) infinitives.push_back(*infinitive);
    if (form.ends_with("en")) infinitives.push_back(form);
    if (form.ends_with('t') && form.size() > 3) {
      infinitives.push_back(form.substr(0, form.size() - 1) + "en");
      if (form.ends_with("et")) infinitives.push_back(form.substr(0, form.size() - 2) + "en");
    }
  }
  for (const std::string& infinitive : infinitives) {
    if (const std::optional<Candidate> whole =
            dictionary_.Find(IndexTable::GermanVerbs, prefix + infinitive))
      return std::string(DropTo(whole->translation));
  }
  return std::nullopt;
}

// Whether the clause's verb and what stands in it make a "Sie" before the verb the
// reader (kReaderVerbs).
bool Dictionary::GermanGrammar::AddressesReader(const Clause& clause) const {
  const std::string verb = FoldCase(units_[clause.v].source);
  for (const auto& [form, noun] : kReaderVerbs) {
    if (form != verb) continue;
    if (noun.empty()) return true;
    for (std::size_t k = clause.v + 1; k < clause.end; ++k) {
      if (units_[k].upper && FoldCase(units_[k].source) == noun) return true;
    }
  }
  return false;
}

// The subject phrase at `at`: the index after it and its person, or `at` and -1.
std::pair<std::size_t, int> Dictionary::GermanGrammar::PhraseAt(const Clause& clause,
                                                                std::size_t at) {
  if (at >= clause.end) return {at, -1};
  if (const auto* pronoun = FindIn(GermanPronouns(), units_[at].source)) {
    int person = pronoun->person;
    // A capital "Sie" inside a sentence is the polite "you" ("wenn Sie klicken").
    const bool startsSentence =
        at == 0 || units_[at].gap.find_first_of(".!?\n") != std::string::npos;
    if (pronoun->word == "sie" && units_[at].upper && (at != clause.begin || !startsSentence)) {
      units_[at].text = "you";
      person = kThirdPlural;
    } else if (pronoun->word == "sie" && units_[at].upper && clause.verb->plural &&
               (clause.verb->verbClass == VerbClass::Modal ||
                clause.verb->verbClass == VerbClass::ModalTo)) {
      // "Sie können ...", "Sie müssen ...": text that tells what may or must be done
      // speaks to its reader.
      units_[at].text = "you";
      person = kThirdPlural;
    } else if (pronoun->word == "sie" && units_[at].upper && clause.verb->plural &&
               AddressesReader(clause)) {
      units_[at].text = "you";
      person = kThirdPlural;
    } else if (pronoun->word == "sie" && clause.verb->plural) {
      units_[at].text = "they";
      person = kThirdPlural;
    } else {
      units_[at].text = std::string(pronoun->english);
    }
    return {at + 1, person};
  }
  // "Das ist ...", "Was kostet das?", "Warum geht das nicht?": an article with no noun
  // after it stands for one.
  if ((units_[at].source == "das" || units_[at].source == "dies") &&
      (at + 1 == clause.v || at + 1 == clause.end || units_[at + 1].source == "nicht")) {
    units_[at].text = units_[at].source == "dies" ? "this" : "that";
    return {at + 1, kThirdSingular};
  }
  std::size_t k = at;
  if (IsArticle(units_[k]) || Contains(kGermanQuantifiers, units_[k].source)) ++k;
  while (k < clause.end && !units_[k].upper && units_[k].known && units_[k].kind == Kind::Adjective)
    ++k;
  if (k < clause.end && IsNoun(units_[k])) {
    return {GenitiveEnd(k + 1, clause.end),
            units_[k].kind == Kind::Plural ? kThirdPlural : kThirdSingular};
  }
  return {at, -1};
}

void Dictionary::GermanGrammar::Subject(Clause& clause) {
  const std::size_t v = clause.v;
  clause.subjectBegin = clause.begin;
  if (clause.relativeSubject && v == clause.begin) {
    // The relative pronoun is the subject: "die ... haben" is "that have ...".
    clause.subjectEnd = v;
    clause.person = clause.verb->plural ? kThirdPlural : kThirdSingular;
    return;
  }
  std::tie(clause.subjectEnd, clause.person) = PhraseAt(clause, clause.begin);
  // A singular noun before a plural verb is the last of subjects joined by "und" ("Der
  // Hund und die Katze spielen"): the verb agrees with them all.
  if (clause.subjectEnd == v && clause.person == kThirdSingular && clause.verb->plural &&
      clause.begin > 0 && units_[clause.begin - 1].source == "und")
    clause.person = kThirdPlural;
  if (clause.subjectEnd != v || clause.person < 0) {
    // "Dann öffnet sich das Fenster": the reflexive pronoun stands before the subject.
    const std::size_t after = v + 1 < clause.end && units_[v + 1].source == "sich" ? v + 2 : v + 1;
    clause.subjectBegin = after;
    std::tie(clause.subjectEnd, clause.person) = PhraseAt(clause, after);
    clause.inverted = clause.person >= 0;
    // A statement that starts with its verb and no subject pronoun after it is a
    // description whose subject is left out ("Zeigt die Liste an": "Displays the
    // list"); after a clause before it, the verb first is the inverted order.
    if (clause.inverted && v == clause.begin && !clause.question && !clause.verb->plural &&
        units_[v].gap.find(',') == std::string::npos &&
        !FindIn(GermanPronouns(), units_[clause.subjectBegin].source)) {
      clause.inverted = false;
      clause.subjectEnd = clause.subjectBegin;
      clause.person = kThirdSingular;
    }
    if (!clause.inverted) clause.person = clause.verb->plural ? kThirdPlural : kThirdSingular;
  }
}

void Dictionary::GermanGrammar::ObjectPronouns(Clause& clause) {
  for (std::size_t k = clause.v + 1; k < clause.end; ++k) {
    if (units_[k].source != "sie" || units_[k].upper ||
        (k >= clause.subjectBegin && k < clause.subjectEnd))
      continue;
    std::size_t noun = k;
    while (noun > 0 && !IsNoun(units_[noun - 1]))
      --noun;
    units_[k].text = noun > 0 && units_[noun - 1].kind == Kind::Plural ? "them" : "it";
  }
}

void Dictionary::GermanGrammar::Reflexive(Clause& clause) {
  for (std::size_t k = clause.v + 1; k < clause.end; ++k) {
    if (units_[k].source != "sich") continue;
    const Unit& before = units_[k - 1];
    if (before.kind == Kind::Preposition || Contains(kGermanRelativePrepositions, before.source))
      continue;
    units_[k].text.clear();
  }
}

void Dictionary::GermanGrammar::Whole(Clause& clause) {
  clause.done = Construct(Place::Clause, clause);
}

bool Dictionary::GermanGrammar::There(Clause& clause) {
  const std::size_t v = clause.v;
  if (!((clause.inverted && units_[clause.subjectBegin].source == "es") ||
        (v > clause.begin && units_[v - 1].source == "es")))
    return false;
  const std::size_t es = clause.inverted ? clause.subjectBegin : v - 1;
  // What there is: the first noun after the verb ("viele Dateien": "are").
  std::size_t noun = v + 1;
  while (noun < clause.end && (noun == es || !IsNoun(units_[noun])))
    ++noun;
  units_[es].text = "there";
  units_[v].text = noun < clause.end && units_[noun].kind == Kind::Plural ? "are" : "is";
  // A question keeps its order ("Gibt es ...?": "Is there ...?").
  if (clause.inverted && !clause.question) {
    // "Heute gibt es ...": "Today there is ...", the verb's gap before "there".
    const std::string gap = units_[v].gap;
    const bool capital = units_[v].capital;
    MoveRange(clause.subjectBegin, clause.subjectEnd, v);
    units_[v].gap = gap;
    units_[v].capital = capital;
    units_[v + 1].gap = " ";
    units_[v + 1].capital = false;
  }
  return true;
}

void Dictionary::GermanGrammar::VerbGroup(Clause& clause) {
  clause.nicht = clause.end;
  clause.gern = clause.end;
  for (std::size_t k = clause.v + 1; k < clause.end; ++k) {
    if (units_[k].source == "nicht") clause.nicht = k;
    if (units_[k].source == "gern" || units_[k].source == "gerne") clause.gern = k;
  }
  clause.verbClass = clause.verb->verbClass;
  if (!Construct(Place::Verb, clause))
    clause.verbText = EnglishVerb(clause.verb->base, clause.person);
}

bool Dictionary::GermanGrammar::WouldLike(Clause& clause) {
  if (clause.gern >= clause.end) return false;
  clause.verbText = "would like";
  clause.verbClass = VerbClass::ModalTo;
  units_[clause.gern].text.clear();
  return true;
}

bool Dictionary::GermanGrammar::LikeTo(Clause& clause) {
  if (clause.gern >= clause.end || clause.verbClass != VerbClass::Full) return false;
  clause.verbText = EnglishVerb("like", clause.person) + " to " + clause.verb->base;
  units_[clause.gern].text.clear();
  return true;
}

bool Dictionary::GermanGrammar::CanBe(Clause& clause) {
  const std::size_t last = LastWord(clause);
  Unit& infinitive = units_[last];
  if (last <= clause.v + 1 || infinitive.upper || !infinitive.source.ends_with('n')) return false;
  const std::optional<Verb> verb = VerbOf(infinitive, false);
  if (!verb || verb->verbClass != VerbClass::Full) return false;
  clause.verbText = "can";
  clause.verbClass = VerbClass::Modal;
  clause.afterVerb = "be " + EnglishParticiple(verb->base);
  infinitive.text.clear();
  return true;
}

bool Dictionary::GermanGrammar::Have(Clause& clause) {
  for (std::size_t k = clause.v + 1; k < clause.end; ++k) {
    if (units_[k].source != "über") continue;
    units_[k].text.clear();
    clause.verb->base = "have";
    clause.verbText = EnglishVerb("have", clause.person);
    return true;
  }
  return false;
}

void Dictionary::GermanGrammar::Negation(Clause& clause) {
  if (clause.nicht >= clause.end) return;
  units_[clause.nicht].text.clear();
  // "nicht mehr", but not "nicht mehr als": "no longer" ("existiert nicht mehr": "no
  // longer exists", "kann nicht mehr geöffnet werden": "can no longer be opened").
  const std::size_t mehr = clause.nicht + 1;
  const bool noLonger =
      mehr < clause.end && units_[mehr].source == "mehr" && !IsClauseBreak(units_[mehr].gap) &&
      (mehr + 1 >= units_.size() || units_[mehr + 1].source != "als") && clause.gern == clause.end;
  if (noLonger) units_[mehr].text.clear();
  // "müssen" with "nicht" is no duty, not a ban: "muss nicht" is "does not have to".
  const std::string_view finite = units_[clause.v].source;
  if ((finite.starts_with("mus") || finite.starts_with("müs")) &&
      (clause.verbClass == VerbClass::Modal || clause.verbClass == VerbClass::ModalTo)) {
    clause.verbClass = VerbClass::Modal;  // its "to" is in the verb group already
    const bool past = finite.starts_with("musste");
    const bool third = clause.person == kThirdSingular;
    if (noLonger) {
      clause.verbText = past    ? "no longer had to"
                        : third ? "no longer has to"
                                : "no longer have to";
    } else {
      clause.verbText = past ? "did not have to" : third ? "does not have to" : "do not have to";
    }
    return;
  }
  if (noLonger) {
    clause.verbText = clause.verbClass == VerbClass::Full ? "no longer " + clause.verbText
                                                          : clause.verbText + " no longer";
    return;
  }
  const std::string doNot = clause.person == kThirdSingular ? "does not " : "do not ";
  if (clause.verbClass == VerbClass::Full && clause.gern == clause.end) {
    clause.verbText = doNot + clause.verb->base;
  } else if (clause.gern < clause.end && clause.verbClass == VerbClass::Full) {
    clause.verbText = doNot + "like to " + clause.verb->base;
  } else {
    clause.verbText += " not";
  }
}

void Dictionary::GermanGrammar::FinalVerb(Clause& clause) {
  PerfectWithSein(clause);
  const VerbClass verbClass = clause.verbClass;
  const std::size_t last = std::max(VerbEnd(clause), clause.v);
  if (last > clause.v && last >= clause.subjectEnd && !units_[last].upper &&
      clause.afterVerb.empty() &&
      (verbClass == VerbClass::Modal || verbClass == VerbClass::ModalTo ||
       verbClass == VerbClass::Have)) {
    const Unit& final = units_[last];
    std::string english;
    const auto finite = FindClosedFinite(units_[clause.v].source);
    if (finite && finite->verb->infinitive == "werden" && verbClass == VerbClass::Modal &&
        !(english = PassiveParticiple(final)).empty()) {
      // "wird ... verwendet": the passive, "is used".
      clause.verbText = EnglishVerb("be", clause.person);
      if (clause.nicht < clause.end) clause.verbText += " not";
    } else if (final.source == "werden" && verbClass != VerbClass::Have && last > clause.v + 1 &&
               !(english = PassiveParticiple(units_[last - 1])).empty()) {
      // "kann ... geöffnet werden": a modal's passive infinitive, "can be opened".
      english = (verbClass == VerbClass::ModalTo ? "to be " : "be ") + english;
      units_[last - 1].text.clear();
    } else if (final.source == "sein" && verbClass != VerbClass::Have) {
      // "muss erfüllt sein", "kann größer sein": "must be met", "can be greater".
      english = verbClass == VerbClass::ModalTo ? "to be" : "be";
      if (const std::string participle = PassiveParticiple(units_[last - 1]);
          last > clause.v + 1 && !participle.empty()) {
        english += " " + participle;
        units_[last - 1].text.clear();
      }
    } else if (verbClass == VerbClass::Have) {
      english = EnglishParticipleOf(final);
      if (english.empty() && final.source.starts_with("ge") && final.known)
        english = std::string(DropTo(final.text));
    } else if (auto infinitiveVerb = VerbOf(final, false);
               infinitiveVerb && final.source.ends_with('n')) {
      english = infinitiveVerb->base;
      if (verbClass == VerbClass::ModalTo) english = "to " + english;
    }
    if (!english.empty()) {
      clause.afterVerb = english;
      units_[last].text.clear();
    }
  }
  if (!clause.afterVerb.empty()) clause.verbText += " " + clause.afterVerb;
}

void Dictionary::GermanGrammar::WordOrder(Clause& clause) {
  const std::size_t v = clause.v;
  // "Bitte" may stand before the polite imperative ("Bitte speichern Sie ...").
  const bool commandFirst =
      v == clause.begin || (v == clause.begin + 1 && units_[clause.begin].source == "bitte");
  if (!clause.question && commandFirst && clause.inverted && clause.verb->plural &&
      clause.subjectEnd == clause.subjectBegin + 1 && units_[clause.subjectBegin].upper &&
      units_[clause.subjectBegin].source == "sie" && clause.verbClass == VerbClass::Full &&
      clause.gern == clause.end) {
    // "Klicken Sie auf ...": the polite imperative, "Click on ...", without a subject.
    units_[v].text = clause.nicht < clause.end ? "do not " + clause.verb->base : clause.verb->base;
    units_[clause.subjectBegin].text.clear();
    return;
  }
  // "Spielst du?", and after a question word "Wo wohnst du?": the question's order.
  // "Wie" takes the word it asks about along ("Wie spät ist es?").
  const bool questionWord =
      (v == clause.begin + 1 && Contains(kGermanQuestionWordsFirst, units_[clause.begin].source)) ||
      (v == clause.begin + 2 && units_[clause.begin].source == "wie" &&
       !units_[clause.begin + 1].upper && !IsClauseBreak(units_[clause.begin + 1].gap));
  if (clause.question && (v == clause.begin || questionWord) && clause.inverted) {
    // "Spielst du Fußball?": "Do you play football?"
    if (clause.verbClass == VerbClass::Full) {
      units_[v].text = std::string(clause.person == kThirdSingular ? "does" : "do");
      std::string rest = clause.nicht < clause.end ? "not " + clause.verb->base : clause.verb->base;
      if (!clause.afterVerb.empty()) rest += " " + clause.afterVerb;
      // "Spielst du gern?": "Do you like to play?"
      if (clause.gern < clause.end) rest = clause.verbText;
      Unit main;
      main.gap = " ";
      main.text = rest;
      main.known = true;
      units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(clause.subjectEnd),
                    std::move(main));
      ++clause.end;
      ++clause.next;
    } else if (const std::size_t space = clause.verbText.find(' '); space != std::string::npos) {
      // "Kannst du das Haus sehen?", "Möchten Sie einen Kaffee?": "Can you see the
      // house?", "Would you like a coffee?": the verb group's first word before the
      // subject, the rest after it.
      units_[v].text = clause.verbText.substr(0, space);
      Unit rest;
      rest.gap = " ";
      rest.text = clause.verbText.substr(space + 1);
      rest.known = true;
      units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(clause.subjectEnd),
                    std::move(rest));
      ++clause.end;
      ++clause.next;
    } else {
      units_[v].text = clause.verbText;
    }
  } else {
    units_[v].text = clause.verbText;
    if (clause.inverted) {
      // "Heute gehe ich": "Today I go".
      const std::string gap = units_[v].gap;
      MoveRange(clause.subjectBegin, clause.subjectEnd, v);
      units_[v].gap = gap;
      units_[v + (clause.subjectEnd - clause.subjectBegin)].gap = " ";
    }
  }
}

// The English participle of a German past participle that no infinitive shares
// ("verwendet": "used", "geöffnet": "opened"; not "sehen"), or "".
std::string Dictionary::GermanGrammar::PassiveParticiple(const Unit& unit) const {
  // A phrase of the dictionary that ends in a participle is one too ("neu gestartet":
  // "restarted").
  const bool phrase = unit.source.find(' ') != std::string::npos;
  if (unit.upper || dictionary_.Find(IndexTable::GermanVerbs, unit.source)) return {};
  std::string english = phrase ? std::string() : EnglishParticipleOf(unit);
  // A participle the dictionary lists as an adjective or a verb's form with an English
  // participle ("abgeschnitten": "truncated", "verwirbelt": "swirled", "gefunden":
  // "found").
  const std::string_view word = std::string_view(unit.source).substr(unit.source.rfind(' ') + 1);
  const bool participleForm =
      (word.ends_with('t') || word.ends_with("en")) &&
      (word.find("ge") != std::string::npos || word.ends_with("iert") ||
       std::ranges::any_of(kInseparablePrefixes,
                           [&](std::string_view prefix) { return word.starts_with(prefix); }));
  if (english.empty() && participleForm && unit.known && !IsNounKind(unit.kind) &&
      unit.text.find(' ') == std::string::npos &&
      (unit.text.ends_with("ed") || unit.text.ends_with("en") ||
       !EnglishParticipleBases(unit.text).empty()))
    english = unit.text;
  return english;
}

// The English participle of a German one through its infinitive ("gesehen": "sehen",
// "seen"; "entfernt": "entfernen"; "registriert": "registrieren"), or "".
std::string Dictionary::GermanGrammar::EnglishParticipleOf(const Unit& unit) const {
  std::vector<std::string> infinitives = ParticipleInfinitives(unit.source);
  // A strong verb's participle changes its vowel ("verschwunden", "geblieben").
  if (auto infinitive = dictionary_.GermanInfinitive(unit.source))
    infinitives.push_back(std::move(*infinitive));
  for (const std::string& infinitive : infinitives) {
    std::optional<Candidate> verb = dictionary_.Find(IndexTable::GermanVerbs, infinitive);
    if (verb) return EnglishParticiple(DropTo(verb->translation));
  }
  return {};
}

// The infinitives a German past participle may come from, likeliest first.
std::vector<std::string> Dictionary::GermanGrammar::ParticipleInfinitives(const std::string& word) {
  std::vector<std::string> infinitives;
  const auto fromStem = [&](const std::string& stem) {
    if (stem.size() < 3) return;
    if (stem.ends_with("en")) infinitives.push_back(stem);
    if (stem.ends_with("et")) infinitives.push_back(stem.substr(0, stem.size() - 2) + "en");
    if (stem.ends_with('t')) {
      infinitives.push_back(stem.substr(0, stem.size() - 1) + "en");
      infinitives.push_back(stem.substr(0, stem.size() - 1) + "n");  // "gefeiert"
    }
  };
  if (word.starts_with("ge") && word.size() > 5) fromStem(word.substr(2));
  fromStem(word);  // no "ge": "entfernt", "registriert", "vergessen"
  // A strong or mixed verb's participle with its own vowel, after "ge" or an
  // inseparable prefix ("abgebrochen": "abbrechen", "verschoben": "verschieben").
  for (const auto& [participle, infinitive] : kStrongParticipleStems) {
    if (!word.ends_with(participle) || word.size() == participle.size()) continue;
    std::string head = word.substr(0, word.size() - participle.size());
    if (head.ends_with("ge")) head.resize(head.size() - 2);
    infinitives.push_back(head + std::string(infinitive));
  }
  // A separable verb takes "ge" after its prefix: "angepasst", "zusammengesetzt".
  for (std::size_t ge = word.find("ge", 2); ge != std::string::npos && word.size() - ge > 4;
       ge = word.find("ge", ge + 1))
    fromStem(word.substr(0, ge) + word.substr(ge + 2));
  return infinitives;
}

bool Dictionary::GermanGrammar::PerfectWithSein(Clause& clause) {
  const std::size_t last = std::max(VerbEnd(clause), clause.v);
  if (clause.verbClass != VerbClass::Be || last <= clause.v || last < clause.subjectEnd ||
      units_[last].upper || !clause.afterVerb.empty()) {
    return false;
  }
  std::vector<std::string> infinitives = ParticipleInfinitives(units_[last].source);
  // A strong verb's participle changes its vowel ("verschwunden", "geblieben").
  if (auto infinitive = dictionary_.GermanInfinitive(units_[last].source))
    infinitives.push_back(std::move(*infinitive));
  if (std::none_of(infinitives.begin(), infinitives.end(), [](const std::string& infinitive) {
        return Contains(kPerfectWithSein, infinitive);
      })) {
    return false;
  }
  const std::string english = EnglishParticipleOf(units_[last]);
  if (english.empty()) return false;
  clause.verbClass = VerbClass::Have;
  clause.verbText = EnglishVerb("have", clause.person);
  if (clause.nicht < clause.end) clause.verbText += " not";
  clause.afterVerb = english;
  units_[last].text.clear();
  return true;
}

// Nouns for people that have no feminine form with "-in" beside them in the
// dictionary ("Lehrer": "Lehrerin"), and feminine ones without the ending.
constexpr std::string_view kPersonNouns[] = {
    "mann",  "frau",    "vater", "mutter", "sohn",  "tochter", "bruder", "schwester",
    "herr",  "dame",    "junge", "onkel",  "tante", "opa",     "oma",    "mensch",
    "kunde", "kollege", "chef",  "arzt",   "koch",  "gott",    "kind",   "mädchen"};

// Whether a noun names a person: a listed one, a masculine one whose feminine adds
// "-in", or a feminine one in "-in" whose masculine is a noun ("Benutzerin").
bool Dictionary::GermanGrammar::IsPerson(const Unit& noun) const {
  if (Contains(kPersonNouns, noun.source)) return true;
  const auto gender = [&](const std::string& word) {
    const std::optional<NounForms> forms = dictionary_.Noun(CapitalizeFirst(word));
    return forms ? forms->gender : Kind::Other;
  };
  if (noun.kind == Kind::Masculine) return gender(noun.source + "in") == Kind::Feminine;
  if (noun.kind == Kind::Feminine && noun.source.size() > 4 && noun.source.ends_with("in"))
    return gender(noun.source.substr(0, noun.source.size() - 2)) == Kind::Masculine;
  return false;
}

void Dictionary::GermanGrammar::Referents() {
  // The English a pronoun or possessive has for a person, what it is for a thing,
  // and the genders of the nouns it may stand for.
  struct Referent {
    std::string_view person;
    std::string_view thing;
    std::array<Kind, 2> genders;
  };
  constexpr Referent kReferents[] = {
      {"he", "it", {Kind::Masculine, Kind::Masculine}},
      {"him", "it", {Kind::Masculine, Kind::Neuter}},
      {"she", "it", {Kind::Feminine, Kind::Feminine}},
      {"his", "its", {Kind::Masculine, Kind::Neuter}},
      {"her", "its", {Kind::Feminine, Kind::Plural}},
  };
  // How far back the noun may stand: the sentence before, as a rule.
  constexpr std::size_t kReach = 40;
  for (std::size_t u = 0; u < units_.size(); ++u) {
    Unit& unit = units_[u];
    if (unit.upper && !unit.capital) continue;  // "Sie", "Ihre": the reader
    std::string english = unit.text;
    if (!english.empty()) english[0] = static_cast<char>(std::tolower(english[0]));
    const bool beforeNoun =
        u + 1 < units_.size() && (IsNoun(units_[u + 1]) || units_[u + 1].kind == Kind::Adjective);
    // A small "ihr" before a noun owns it ("die Auswahl ändert ihr Aussehen"); alone it
    // is the plural "you".
    if (unit.source == "ihr" && beforeNoun) english = "her";
    const auto referent = std::find_if(std::begin(kReferents), std::end(kReferents),
                                       [&](const Referent& r) { return english == r.person; });
    if (referent == std::end(kReferents)) continue;
    // "ihr" before no noun is the dative "her", which no plural takes.
    const bool pluralToo = referent->genders[1] == Kind::Plural && beforeNoun;
    // The nearest noun it may stand for decides between "its" and "their"; any person
    // among those nouns keeps the person's pronoun ("Der Mann kauft einen Hut. Er ...").
    const Unit* nearest = nullptr;
    bool person = false;
    for (std::size_t k = u; k-- > 0 && u - k <= kReach && !person;) {
      const Unit& noun = units_[k];
      // A plural subject pronoun before it owns it too ("Sie haben ihre eigenen").
      if (pluralToo && (noun.text == "they" || noun.text == "They")) {
        nearest = &noun;
        break;
      }
      if (!IsNoun(noun) || (noun.kind == Kind::Plural && !pluralToo) ||
          std::find(referent->genders.begin(), referent->genders.end(), noun.kind) ==
              referent->genders.end())
        continue;
      if (nearest == nullptr) nearest = &noun;
      person = noun.kind != Kind::Plural && IsPerson(noun);
    }
    if (nearest == nullptr && unit.capital && unit.source.starts_with("ihr") && beforeNoun) {
      // First in a sentence with nothing before it to own: the reader's ("Ihre Datei").
      english = "your";
    } else if (nearest != nullptr && !person) {
      english = nearest->kind == Kind::Plural || nearest->source == "sie"
                    ? "their"
                    : std::string(referent->thing);
    }
    if (unit.capital) english[0] = static_cast<char>(std::toupper(english[0]));
    unit.text = std::move(english);
  }
}

void Dictionary::GermanGrammar::Commas() {
  for (std::size_t u = 1; u < units_.size(); ++u) {
    if (!Contains(kWithoutComma, units_[u].source) || units_[u].gap != ", ") continue;
    units_[u].gap = " ";
    if (units_[u].source != "deren" && units_[u].source != "dessen") continue;
    std::size_t next = u + 1;
    while (next < units_.size() && !IsClauseBreak(units_[next].gap))
      ++next;
    if (next < units_.size() && units_[next].gap == ", ") units_[next].gap = " ";
  }
}

void Dictionary::GermanGrammar::TimeAdverbs(Clause& clause) {
  const std::size_t last = LastWord(clause);
  for (std::size_t k = clause.begin + 1; k < last; ++k) {
    if (units_[k].upper || !Contains(kGermanTimeAdverbs, units_[k].source)) continue;
    // One that compares stays with what it compares ("später als heute").
    if (units_[k + 1].text == "than") return;
    // Only one that stands after the verb: "Heute spielen wir" keeps its place.
    bool afterVerb = false;
    for (std::size_t j = clause.begin; j < k; ++j)
      afterVerb = afterVerb || VerbOf(units_[j], j == clause.begin).has_value();
    if (!afterVerb) return;
    Unit moved = std::move(units_[k]);
    moved.gap = " ";
    units_.erase(units_.begin() + static_cast<std::ptrdiff_t>(k));
    units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(last), std::move(moved));
    return;
  }
}

void Dictionary::GermanGrammar::Capitals(Clause& clause) {
  if (!clause.startsSentence) return;
  for (std::size_t k = clause.begin; k < clause.end; ++k)
    units_[k].capital = false;
  units_[clause.begin].capital = true;
}

void Dictionary::GermanGrammar::Well() {
  for (std::size_t u = 1; u < units_.size(); ++u) {
    if (units_[u].source != "gut" || IsClauseBreak(units_[u].gap)) continue;
    const bool beforeNoun = u + 1 < units_.size() && IsNoun(units_[u + 1]);
    bool afterVerb = false;
    for (std::size_t k = u; k-- > 0;) {
      const auto finite = FindClosedFinite(units_[k].source);
      if (VerbOf(units_[k], false) && !finite) afterVerb = true;
      if (finite) afterVerb = afterVerb || finite->verb->verbClass != VerbClass::Be;
      if (IsClauseBreak(units_[k].gap)) break;
    }
    if (afterVerb && !beforeNoun) units_[u].text = "well";
  }
}

void Dictionary::GermanGrammar::ClockTimes() {
  for (std::size_t u = 0; u + 2 < units_.size(); ++u) {
    if (units_[u].source != "um" || units_[u + 2].source != "uhr" ||
        IsClauseBreak(units_[u + 1].gap) || IsClauseBreak(units_[u + 2].gap))
      continue;
    const std::string& hour = units_[u + 1].source;
    if (hour == "ein" || hour == "eins") {
      units_[u + 1].text = "one";
    } else if (!Contains(kGermanHours, hour) &&
               (hour.empty() || hour.find_first_not_of("0123456789") != std::string::npos)) {
      continue;
    }
    units_[u + 2].text = "o'clock";
    units_[u + 2].kind = Kind::Other;  // no measure ("of")
  }
}

void Dictionary::GermanGrammar::Measures() {
  for (std::size_t u = 0; u + 1 < units_.size(); ++u) {
    if (IsNoun(units_[u]) && IsNoun(units_[u + 1]) && !IsClauseBreak(units_[u + 1].gap) &&
        units_[u].kind != Kind::Plural && Contains(kGermanMeasures, units_[u].source)) {
      units_[u + 1].text = "of " + units_[u + 1].text;
    }
  }
}

void Dictionary::GermanGrammar::Articles() {
  // "das" last in its clause stands for a noun: "Ich sehe das": "I see that".
  for (std::size_t u = 0; u < units_.size(); ++u) {
    Unit& unit = units_[u];
    if (unit.source != "das" || (unit.text != "the" && unit.text != "The")) continue;
    std::size_t next = u + 1;
    if (next < units_.size() && units_[next].source == "nicht" && !IsClauseBreak(units_[next].gap))
      ++next;  // "Ich verstehe das nicht"
    if (next == units_.size() || IsClauseBreak(units_[next].gap))
      unit.text = unit.text == "the" ? "that" : "That";
  }
  for (std::size_t u = 0; u + 1 < units_.size(); ++u) {
    const std::string& text = units_[u].text;
    if (text != "a" && text != "A" && !text.ends_with(" a")) continue;
    std::size_t next = u + 1;
    while (next < units_.size() && units_[next].text.empty())
      ++next;
    if (next < units_.size() &&
        std::string_view("aeiouAEIOU").find(units_[next].text[0]) != std::string_view::npos)
      units_[u].text += 'n';
  }
}

}  // namespace parlumo::service
