#include "DictionaryEngine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <future>
#include <span>

#include "GermanLexicon.h"
#include "LearntSenses.h"
#include "Verbatim.h"
#include "runtime/Ascii.h"
#include "runtime/Utf8.h"

namespace parlumo::service {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t';
}

// Splits s at every separator that stands outside {} [] () annotations (which may
// hold the separator themselves, as in "{prp; +Dat.}").
void Split(std::string_view s, std::string_view separator, std::vector<std::string_view>& parts) {
  parts.clear();
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '{' || c == '[' || c == '(') {
      ++depth;
    } else if ((c == '}' || c == ']' || c == ')') && depth > 0) {
      --depth;
    } else if (depth == 0 && s.compare(i, separator.size(), separator) == 0) {
      parts.push_back(s.substr(start, i - start));
      i += separator.size() - 1;
      start = i + 1;
    }
  }
  parts.push_back(s.substr(start));
}

// Whether a raw synonym may still be a short phrase once its annotations are gone
// (examples and explanations are skipped before any work is spent on them).
bool ShortEnough(std::string_view raw) {
  int spaces = 0;
  for (const char c : raw)
    spaces += c == ' ' ? 1 : 0;
  return spaces <= 3 * Dictionary::kMaxPhraseWords;
}

// A synonym without its annotations ({m}, [coll.], (explanation), /abbr./), with
// white space collapsed.
std::string CleanTerm(std::string_view term) {
  std::string out;
  int depth = 0;
  for (std::size_t i = 0; i < term.size(); ++i) {
    const char c = term[i];
    if (c == '{' || c == '[' || c == '(' || c == '<') {
      ++depth;
      continue;
    }
    if (c == '}' || c == ']' || c == ')' || c == '>') {
      if (depth > 0) --depth;
      continue;
    }
    if (depth > 0) continue;
    if (c == '/' && (i == 0 || IsSpace(term[i - 1]))) {
      const auto close = term.find('/', i + 1);
      if (close != std::string_view::npos &&
          (close + 1 == term.size() || IsSpace(term[close + 1]))) {
        i = close;
        continue;
      }
    }
    if (IsSpace(c)) {
      if (!out.empty() && out.back() != ' ') out += ' ';
      continue;
    }
    out += c;
  }
  // A greeting or a set phrase is a sentence of its own ("Hello!", "How are you?"):
  // its mark stays with the text, where the source's own mark stands.
  while (!out.empty() && (out.back() == ' ' || out.back() == '!' || out.back() == '?'))
    out.pop_back();
  // "er/sie schläft", "he/she sleeps": the pronouns of a verb form go.
  const auto space = out.find(' ');
  if (space != std::string::npos && out.substr(0, space).find('/') != std::string::npos) {
    out.erase(0, space + 1);
  }
  return out;
}

// A word that stands for an object in a phrase ("sth.", "jdn.", "to/for") rather
// than being one.
bool IsPlaceholder(std::string_view word) {
  return word.find('.') != std::string_view::npos || word.find('/') != std::string_view::npos;
}

// The translation a sub-entry gives: its first synonym without placeholders, else its
// first synonym with them removed.
std::string ChooseTranslation(const std::vector<std::string_view>& synonyms) {
  std::string first;
  for (const auto raw : synonyms) {
    std::string term = CleanTerm(TrimBlanks(raw));
    bool clean = true;
    std::size_t start = 0;
    while (start < term.size()) {
      const auto end = std::min(term.find(' ', start), term.size());
      if (IsPlaceholder(std::string_view(term).substr(start, end - start))) clean = false;
      start = end + 1;
    }
    if (clean && !term.empty()) return term;
    if (first.empty()) first = std::move(term);
  }
  std::string kept;
  std::size_t start = 0;
  while (start < first.size()) {
    const auto end = std::min(first.find(' ', start), first.size());
    const std::string_view word = std::string_view(first).substr(start, end - start);
    if (!IsPlaceholder(word)) {
      if (!kept.empty()) kept += ' ';
      kept += word;
    }
    start = end + 1;
  }
  return kept.empty() ? first : kept;
}

// A verb without the words that stand for its objects: "to buy sth." is looked up as
// "to buy", "etw. kaufen" as "kaufen". Other terms stay as they are.
std::string WithoutObjects(std::string term) {
  if (term.starts_with("to ")) {
    while (true) {
      const auto space = term.rfind(' ');
      if (space == std::string::npos || space < 3 ||
          !IsPlaceholder(std::string_view(term).substr(space + 1))) {
        break;
      }
      term.erase(space);
    }
    return term;
  }
  std::size_t start = 0;
  while (true) {
    const auto space = term.find(' ', start);
    if (space == std::string::npos ||
        !IsPlaceholder(std::string_view(term).substr(start, space - start))) {
      break;
    }
    start = space + 1;
  }
  // Only a single word is left as a verb's key ("jdm. etw. geben" -> "geben").
  if (start > 0 && term.find(' ', start) == std::string::npos) return term.substr(start);
  return term;
}

int WordCount(std::string_view s) {
  int words = s.empty() ? 0 : 1;
  for (const char c : s)
    words += c == ' ' ? 1 : 0;
  return words;
}

// Whether a cleaned term can be looked up in running text: a short phrase, no
// placeholder ("sth.", "etw."), no cut-off word ("Garten…").
bool UsableKey(std::string_view term) {
  if (term.empty() || WordCount(term) > Dictionary::kMaxPhraseWords) return false;
  if (term.find('.') != std::string_view::npos) return false;
  if (term.find("\xE2\x80\xA6") != std::string_view::npos) return false;  // …
  // "das Haus" stands for a sense of "Haus" that is not the common one (it is listed
  // under "indoors"); the article and the noun are translated one by one instead.
  const auto space = term.find(' ');
  if (space != std::string_view::npos) {
    const std::string first = FoldCase(term.substr(0, space));
    for (std::string_view article :
         {"der", "die", "das", "den", "dem", "des", "ein", "eine", "the", "a", "an"}) {
      if (first == article) return false;
    }
  }
  return true;
}

// Abbreviations before a name, and single letters ("J. Smith"), whose period ends no
// sentence.
bool IsAbbreviation(std::string_view word) {
  constexpr std::string_view kAbbreviations[] = {"mr", "mrs", "ms", "dr",  "prof", "st",
                                                 "vs", "fig", "ch", "sec", "vol",  "ca"};
  return word.size() == 1 || std::find(std::begin(kAbbreviations), std::end(kAbbreviations),
                                       word) != std::end(kAbbreviations);
}

// Words a title leaves small ("Introduction to the Program").
bool IsTitleSmallWord(std::string_view word) {
  constexpr std::string_view kSmall[] = {"a",   "an",   "the",  "and",  "but",  "or",  "nor",
                                         "for", "so",   "yet",  "as",   "at",   "by",  "in",
                                         "of",  "off",  "on",   "per",  "to",   "up",  "via",
                                         "vs",  "with", "from", "into", "over", "than"};
  return std::find(std::begin(kSmall), std::end(kSmall), word) != std::end(kSmall);
}

// How often a word must occur in the dictionary's text to count as a common word
// rather than a name when it is written with a capital inside a sentence.
constexpr std::uint32_t kCommonWordUses = 5;

// Senses of the words that software manuals use most, where the dictionary lists
// that sense under another English word or not at all, so that no learnt sense can
// choose it: "layer" is a geologist's "Schicht" there, never the "Ebene" of an image
// editor; "selection" an "Auslese", "line" a "Falte", "styles" "Ausdrucksweisen".
// They rank before every learnt and dictionary sense; a plural the dictionary lists
// with the wrong sense has a row of its own.
struct ManualSense {
  std::string_view english;
  std::string_view german;
  Dictionary::Kind kind;
};
constexpr ManualSense kManualSenses[] = {
    {"layer", "Ebene", Dictionary::Kind::Feminine},
    {"layers", "Ebenen", Dictionary::Kind::Plural},
    {"selection", "Auswahl", Dictionary::Kind::Feminine},
    {"line", "Zeile", Dictionary::Kind::Feminine},
    {"lines", "Zeilen", Dictionary::Kind::Plural},
    {"gradient", "Farbverlauf", Dictionary::Kind::Masculine},
    {"gradients", "Farbverläufe", Dictionary::Kind::Plural},
    {"icon", "Symbol", Dictionary::Kind::Neuter},
    {"icons", "Symbole", Dictionary::Kind::Plural},
    {"data", "Daten", Dictionary::Kind::Plural},
    {"menubar", "Menüleiste", Dictionary::Kind::Feminine},
    // The pronoun, not the noun ("ein Etwas") the dictionary lists first: "to do
    // something" is "etwas tun".
    {"something", "etwas", Dictionary::Kind::Other},
    {"styles", "Stile", Dictionary::Kind::Plural},
    // A ticket to travel, or a system's ticket, rather than a fine ("Strafmandat").
    {"ticket", "Ticket", Dictionary::Kind::Neuter},
    {"tickets", "Tickets", Dictionary::Kind::Plural},
    {"host", "Rechner", Dictionary::Kind::Masculine},
    {"hosts", "Rechner", Dictionary::Kind::Plural},
    // A button on the screen; the dictionary's "Knopf" is a coat's or a device's.
    {"button", "Schaltfläche", Dictionary::Kind::Feminine},
    {"buttons", "Schaltflächen", Dictionary::Kind::Plural},
    // An image editor's command and tool, not a harvest ("Ernte") or a goitre ("Kropf").
    {"crop", "Zuschneiden", Dictionary::Kind::Neuter},
    // The dictionary lists only "brand" and "new" ("eine Marke neu").
    {"brand new", "brandneu", Dictionary::Kind::Adjective},
    // Adjectives whose first reading is an inflected form ("nächster", "bester") or
    // a narrower word ("erstgenannt", "anders"), which take their endings from the
    // stem ("die nächste Seite", "das erste Element", "andere Größen").
    {"first", "erst", Dictionary::Kind::Adjective},
    {"next", "nächst", Dictionary::Kind::Adjective},
    {"best", "best", Dictionary::Kind::Adjective},
    {"different", "unterschiedlich", Dictionary::Kind::Adjective},
    // A dialog's tab is a "Register"; the dictionary's "Tabulator" is the tab stop and
    // the key, which keep their own entries ("tab stop", the key name "Tab").
    {"tab", "Register", Dictionary::Kind::Neuter},
    {"tabs", "Register", Dictionary::Kind::Plural},
    // A spreadsheet's or a value's range is a "Bereich", not a "Reihe" or a "Kette".
    {"range", "Bereich", Dictionary::Kind::Masculine},
    {"ranges", "Bereiche", Dictionary::Kind::Plural},
    // A program's modes are "Modi" ("Mods" are a game's modifications), a difference
    // is a "Unterschied" (a "Differenz" is what a subtraction leaves).
    {"modes", "Modi", Dictionary::Kind::Plural},
    {"difference", "Unterschied", Dictionary::Kind::Masculine},
    // A document's template is a "Vorlage" (a "Schablone" is a stencil), its words
    // are "Wörter" (the "Worte" of a speech), its tags "Tags"; the web is the "Web".
    {"template", "Vorlage", Dictionary::Kind::Feminine},
    {"templates", "Vorlagen", Dictionary::Kind::Plural},
    {"words", "Wörter", Dictionary::Kind::Plural},
    {"tags", "Tags", Dictionary::Kind::Plural},
    {"web", "Web", Dictionary::Kind::Neuter},
    // A program's script is a "Skript" (a "Drehbuch" is a film's, a "Schrift" a
    // typeface), a window's pane a "Bereich" (a "Scheibe" is glass).
    {"script", "Skript", Dictionary::Kind::Neuter},
    {"scripts", "Skripte", Dictionary::Kind::Plural},
    {"pane", "Bereich", Dictionary::Kind::Masculine},
    {"panes", "Bereiche", Dictionary::Kind::Plural},
    // A line's or a range's ends are "Enden"; the dictionary's first "ends" are
    // cigarette ends ("Zigarettenstummel").
    {"ends", "Enden", Dictionary::Kind::Plural},
    // A computer's server and shell keep their English names; the dictionary lists
    // them only inside compounds, so a mass's "Messdiener" and a "Schale" came first.
    {"server", "Server", Dictionary::Kind::Masculine},
    {"servers", "Server", Dictionary::Kind::Plural},
    {"shell", "Shell", Dictionary::Kind::Feminine},
    {"shells", "Shells", Dictionary::Kind::Plural},
};
// Nouns whose gender the dictionary gives wrong in every entry: a compound's gender is
// its last part's ("das Kürzel", so "das Tastenkürzel").
constexpr std::pair<std::string_view, Dictionary::Kind> kNounGenders[] = {
    {"Tastenkürzel", Dictionary::Kind::Neuter},
};
// The same for verbs, in the verb index only: "enter" a value is "eingeben", not
// "betreten", while the key "Enter" stays a key; one "closes" a window with
// "schließen". A row marked both ways is also the German verb's English sense: the
// dictionary offers "eingeben" only as "input" or "type in", while the manuals
// "enter" what the German ones "eingeben".
struct ManualVerb {
  std::string_view english;
  std::string_view german;
  bool bothWays;
};
constexpr ManualVerb kManualVerbs[] = {
    {"enter", "eingeben", true},
    {"close", "schließen", false},
    // The dictionary's first "to provide" is a body part's blood supply.
    {"provide", "liefern", false},
    // Its first "to make" is "unternehmen", its first "to display" "zeigen".
    {"make", "machen", false},
    {"display", "anzeigen", false},
    // "auf etw. zugreifen" keeps its "auf" apart from the object; a command or a
    // menu is "aufgerufen".
    {"access", "aufrufen", false},
    // Its first "to set" is what concrete does, "fest werden"; a value or an option
    // is "festgelegt".
    {"set", "festlegen", false},
    // A file or a setting is "saved"; the dictionary's first "speichern" is "to store".
    {"save", "speichern", true},
    // The dictionary's first "warten" is a telephone's "to hold", its first
    // "installieren" "to mount".
    {"wait", "warten", true},
    {"install", "installieren", true},
    // Something is "added" to an image or a list ("hinzufügen"), not summed up
    // ("zusammenzählen") or inflicted ("zufügen"); an image or a layer is "flipped"
    // ("gespiegelt"), not slapped.
    {"add", "hinzufügen", false},
    {"flip", "spiegeln", false},
    // An image is "cropped" and "clipped" to a size, not harvested or struck.
    {"crop", "zuschneiden", false},
    {"clip", "beschneiden", false},
    // What a setting "specifies" it "legt fest"; the dictionary offers "definieren".
    {"specify", "festlegen", false},
    // The dictionary gives a double click only as "zweimal anklicken", and a right
    // click not at all; manuals "doppelklicken" and click "with the right mouse button"
    // (kCommandManners).
    {"double-click", "doppelklicken", false},
    {"right-click", "klicken", false},
    // A device is switched on and off, not "abgestellt"; steps are "carried out", a
    // program or a printer is "set up".
    {"turn on", "einschalten", false},
    {"turn off", "ausschalten", false},
    {"carry out", "ausführen", false},
    {"set up", "einrichten", false},
    // A program "exits" ("beendet") and is "exited"; the dictionary's first is a
    // vehicle's passenger's "aussteigen".
    {"exit", "beenden", false},
};

// Where one clicks, with a word of its own instead of the verb's preposition ("Click
// here": "Klicken Sie hier").
constexpr std::string_view kClickPlaces[] = {"here", "in", "inside", "into", "outside", "anywhere"};

// Commands whose English object German gives a preposition, with it.
constexpr std::pair<std::string_view, std::string_view> kCommandPrepositions[] = {
    {"click", "auf"}, {"double-click", "auf"}, {"right-click", "auf"}};

// Commands whose German verb says only part of the English one, with the rest, which
// comes after "Sie" ("Right-click the item": "Klicken Sie mit der rechten Maustaste auf
// das Element").
constexpr std::pair<std::string_view, std::string_view> kCommandManners[] = {
    {"right-click", "mit der rechten Maustaste"}};

}  // namespace

std::string_view Dictionary::CommandPreposition(std::string_view verb) {
  for (const auto& [english, preposition] : kCommandPrepositions) {
    if (english == verb) return preposition;
  }
  return {};
}

namespace {

// The present of the commonest strong verbs whose vowel changes ("gibt": "geben"),
// which the dictionary lists for few of them; with them the grammar also reads the
// verbs they form with a prefix ("ergibt": "ergeben", "enthält": "enthalten").
constexpr std::pair<std::string_view, std::string_view> kStrongPresents[] = {
    {"gibt", "geben"},        {"gilt", "gelten"},        {"nimmt", "nehmen"},
    {"hilft", "helfen"},      {"spricht", "sprechen"},   {"trifft", "treffen"},
    {"wirft", "werfen"},      {"bricht", "brechen"},     {"sieht", "sehen"},
    {"liest", "lesen"},       {"hält", "halten"},        {"lässt", "lassen"},
    {"fällt", "fallen"},      {"trägt", "tragen"},       {"schlägt", "schlagen"},
    {"fährt", "fahren"},      {"läuft", "laufen"},       {"wächst", "wachsen"},
    {"misst", "messen"},      {"vergisst", "vergessen"}, {"isst", "essen"},
    {"stirbt", "sterben"},    {"schläft", "schlafen"},   {"empfiehlt", "empfehlen"},
    {"befiehlt", "befehlen"}, {"stößt", "stoßen"},       {"lädt", "laden"},
    {"gräbt", "graben"},      {"tritt", "treten"},       {"stiehlt", "stehlen"},
};

// Whether the text between two words ends one sentence and starts the next.
// A period right before a comma or semicolon ends an abbreviation ("Inc., 51
// Franklin Street"), not a sentence.
bool IsSentenceBreak(std::string_view gap) {
  for (std::size_t at = gap.find_first_of(".!?:\n"); at != std::string_view::npos;
       at = gap.find_first_of(".!?:\n", at + 1)) {
    if (gap[at] != '.' || at + 1 == gap.size() || (gap[at + 1] != ',' && gap[at + 1] != ';'))
      return true;
  }
  return false;
}

std::string_view WithoutTo(std::string_view term) {
  return term.starts_with("to ") ? term.substr(3) : term;
}

// The synonym of a sub-entry that equals `preferred` once its annotations and object
// placeholders are gone ("etw. entfernen" offers "entfernen", "to remove sth."
// offers "remove"), or nothing.
struct OfferedTerm {
  std::string term;
  std::string_view raw;  // the synonym with its annotations ("Standard {m}")
};
std::optional<OfferedTerm> Offered(const std::vector<std::string_view>& synonyms,
                                   std::string_view preferred, bool english) {
  if (preferred.empty()) return std::nullopt;
  for (const auto raw : synonyms) {
    std::string term = WithoutObjects(CleanTerm(TrimBlanks(raw)));
    // A noun's sense with its complement ("selection of sth.") offers the noun alone.
    for (std::string_view tail : {" of sth.", " of sb.", " of sth./sb."}) {
      if (english && !term.starts_with("to ") && term.ends_with(tail)) {
        term.erase(term.size() - tail.size());
        break;
      }
    }
    if (english && term.starts_with("to ")) term.erase(0, 3);
    if (term == preferred) return OfferedTerm{std::move(term), raw};
  }
  return std::nullopt;
}

// Blocks of non-ASCII characters that are punctuation or symbols, never part of a
// word: Latin-1's signs (U+00A0 to U+00BF: "©", "°", "«", "»"), general punctuation
// (dashes, typographic quotes), arrows ("Datei → Öffnen"), mathematical operators,
// box drawing and geometric shapes. Every other non-ASCII character is taken as a
// letter.
constexpr std::pair<char32_t, char32_t> kSymbolBlocks[] = {
    {0x00A0, 0x00BF}, {0x2000, 0x206F}, {0x2190, 0x22FF}, {0x2500, 0x25FF}};

bool IsWordByte(unsigned char c, std::string_view text, std::size_t i) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  if (c < 0x80) return false;
  std::size_t start = i;
  while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
    --start;
  char32_t cp = 0;
  if (DecodeUtf8(text, start, cp) == 0) return true;  // as before: a letter
  return std::none_of(std::begin(kSymbolBlocks), std::end(kSymbolBlocks),
                      [cp](const auto& block) { return cp >= block.first && cp <= block.second; });
}

// Word frequencies of a text, by a hash of the case-folded word (a collision merely
// adds two counts): an open-addressing table, built in one pass without allocating
// per word.
class WordCounts {
 public:
  explicit WordCounts(std::string_view text) : slots_(std::size_t{1} << 21) {
    for (std::size_t i = 0; i < text.size();) {
      if (!IsLetter(static_cast<unsigned char>(text[i]))) {
        ++i;
        continue;
      }
      std::uint64_t hash = kOffset;
      while (i < text.size() && IsLetter(static_cast<unsigned char>(text[i]))) {
        hash = Mix(hash, text, i);
      }
      Slot& slot = SlotOf(hash);
      slot.hash = hash;
      ++slot.count;
    }
  }

  std::uint32_t Count(std::string_view word) const {
    std::uint64_t hash = kOffset;
    for (std::size_t i = 0; i < word.size();)
      hash = Mix(hash, word, i);
    const Slot& slot = const_cast<WordCounts*>(this)->SlotOf(hash);
    return slot.hash == hash ? slot.count : 0;
  }

 private:
  struct Slot {
    std::uint64_t hash = 0;
    std::uint32_t count = 0;
  };
  static constexpr std::uint64_t kOffset = 14695981039346656037ull;

  static bool IsLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80;
  }
  // Adds the character at i (folded like FoldCase) to the hash and moves past it.
  static std::uint64_t Mix(std::uint64_t hash, std::string_view text, std::size_t& i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<unsigned char>(c - 'A' + 'a');
    } else if (c == 0xC3 && i + 1 < text.size()) {
      auto c1 = static_cast<unsigned char>(text[i + 1]);
      if (c1 >= 0x80 && c1 <= 0x9E && c1 != 0x97) c1 = static_cast<unsigned char>(c1 + 0x20);
      hash = (hash ^ c) * 1099511628211ull;
      c = c1;
      ++i;
    }
    ++i;
    return (hash ^ c) * 1099511628211ull;
  }
  Slot& SlotOf(std::uint64_t hash) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = static_cast<std::size_t>(hash) & mask;; at = (at + 1) & mask) {
      if (slots_[at].hash == hash || slots_[at].count == 0) return slots_[at];
    }
  }

  std::vector<Slot> slots_;
};

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c - 'A' + 'a');
    } else if (c == 0xC3 && i + 1 < out.size()) {
      const auto c1 = static_cast<unsigned char>(out[i + 1]);
      if (c1 >= 0x80 && c1 <= 0x9E && c1 != 0x97) out[i + 1] = static_cast<char>(c1 + 0x20);
      ++i;
    }
  }
  return out;
}

std::string CapitalizeFirst(std::string text) {
  if (text.empty()) return text;
  const auto c0 = static_cast<unsigned char>(text[0]);
  if (c0 >= 'a' && c0 <= 'z') {
    text[0] = static_cast<char>(c0 - 'a' + 'A');
  } else if (c0 == 0xC3 && text.size() > 1) {
    const auto c1 = static_cast<unsigned char>(text[1]);
    if (c1 >= 0xA0 && c1 <= 0xBE && c1 != 0xB7) text[1] = static_cast<char>(c1 - 0x20);
  }
  return text;
}

bool StartsUpper(std::string_view text) {
  if (text.empty()) return false;
  const auto c0 = static_cast<unsigned char>(text[0]);
  if (c0 >= 'A' && c0 <= 'Z') return true;
  if (c0 == 0xC3 && text.size() > 1) {
    const auto c1 = static_cast<unsigned char>(text[1]);
    return c1 >= 0x80 && c1 <= 0x9E && c1 != 0x97;
  }
  return false;
}

bool IsNounKind(Dictionary::Kind kind) {
  using K = Dictionary::Kind;
  return kind == K::Masculine || kind == K::Feminine || kind == K::Neuter || kind == K::Plural;
}

Dictionary::Kind KindOfTags(std::string_view subEntry) {
  using K = Dictionary::Kind;
  constexpr std::pair<std::string_view, K> kTags[] = {
      {"m", K::Masculine},   {"f", K::Feminine}, {"n", K::Neuter},       {"pl", K::Plural},
      {"vi", K::Verb},       {"vt", K::Verb},    {"vr", K::Verb},        {"v", K::Verb},
      {"adj", K::Adjective}, {"adv", K::Adverb}, {"prp", K::Preposition}};
  for (std::size_t open = subEntry.find('{'); open != std::string_view::npos;
       open = subEntry.find('{', open + 1)) {
    const auto close = subEntry.find('}', open);
    if (close == std::string_view::npos) break;
    // "{prp; +Dat.}", "{vt} {vr}": the first tag of the braces counts.
    std::string_view tag = subEntry.substr(open + 1, close - open - 1);
    tag = tag.substr(0, std::min(tag.find(';'), tag.find(',')));
    for (const auto& [name, kind] : kTags) {
      if (tag == name) return kind;
    }
  }
  return K::Other;
}

// The tables while Build fills them: a key's best translation so far, by rank.
struct Dictionary::Builder {
  struct Built {
    std::string translation;
    Rank rank;
    Kind kind = Kind::Other;
    std::uint32_t keyUses = 0;
  };
  using Index = std::unordered_map<std::string, Built>;
  // A noun's gender is the one most of its entries give (the first on a tie): one
  // entry's slip ("Ordner {f}" beside three "Ordner {m}") does not decide it.
  struct BuiltNoun {
    Kind gender = Kind::Other;
    std::string plural;
    std::array<std::uint32_t, 3> votes{};  // masculine, feminine, neuter
    bool fixed = false;                    // the gender is kNounGenders', whatever the entries say

    void Vote(Kind kind) {
      if (kind == Kind::Masculine || kind == Kind::Feminine || kind == Kind::Neuter)
        ++votes[static_cast<std::size_t>(kind) - static_cast<std::size_t>(Kind::Masculine)];
    }
    Kind Gender() const {
      if (fixed ||
          (gender != Kind::Masculine && gender != Kind::Feminine && gender != Kind::Neuter))
        return gender;
      std::size_t best =
          static_cast<std::size_t>(gender) - static_cast<std::size_t>(Kind::Masculine);
      for (std::size_t g = 0; g < votes.size(); ++g) {
        if (votes[g] > votes[best]) best = g;
      }
      return static_cast<Kind>(static_cast<std::size_t>(Kind::Masculine) + best);
    }
  };
  struct BuiltStrongForms {
    std::string second;
    std::string third;
  };

  void Add(Index& index, std::string key, std::string translation, Rank rank,
           Kind kind = Kind::Other, std::uint32_t keyUses = 0) {
    auto [it, inserted] = index.try_emplace(std::move(key));
    it->second.keyUses = std::max(it->second.keyUses, keyUses);
    if (inserted || rank < it->second.rank) {
      it->second.translation = std::move(translation);
      it->second.rank = rank;
      it->second.kind = kind;
    }
  }

  void Write(IndexWriter& writer) const {
    const auto entries = [&](IndexTable table, const Index& index) {
      std::vector<EntryRow> rows;
      rows.reserve(index.size());
      for (const auto& [key, built] : index) {
        rows.push_back(EntryRow{.key = writer.Text(key),
                                .translation = writer.Text(built.translation),
                                .source = static_cast<std::uint8_t>(built.rank.source),
                                .tier = built.rank.tier,
                                .commonness = built.rank.commonness,
                                .synonym = built.rank.synonym,
                                .line = built.rank.line,
                                .keyUses = built.keyUses,
                                .kind = static_cast<std::uint8_t>(built.kind)});
      }
      writer.AddTable(table, rows);
    };
    entries(IndexTable::GermanToEnglish, germanToEnglish_);
    entries(IndexTable::EnglishToGerman, englishToGerman_);
    entries(IndexTable::EnglishVerbs, englishVerbs_);
    entries(IndexTable::EnglishAdjectives, englishAdjectives_);
    entries(IndexTable::GermanVerbs, germanVerbs_);
    entries(IndexTable::EnglishNames, englishNames_);
    std::vector<NounRow> nouns;
    for (const auto& [noun, forms] : nouns_) {
      nouns.push_back(NounRow{.key = writer.Text(noun),
                              .plural = writer.Text(forms.plural),
                              .gender = static_cast<std::uint8_t>(forms.Gender())});
    }
    writer.AddTable(IndexTable::Nouns, nouns);
    std::vector<StrongFormsRow> strong;
    for (const auto& [infinitive, forms] : strongForms_) {
      strong.push_back(StrongFormsRow{.key = writer.Text(infinitive),
                                      .second = writer.Text(forms.second),
                                      .third = writer.Text(forms.third)});
    }
    writer.AddTable(IndexTable::StrongForms, strong);
    std::vector<PairRow> infinitives;
    for (const auto& [form, infinitive] : strongInfinitives_)
      infinitives.push_back(PairRow{.key = writer.Text(form), .value = writer.Text(infinitive)});
    writer.AddTable(IndexTable::StrongInfinitives, infinitives);
  }

  Index germanToEnglish_;
  Index englishToGerman_;
  Index englishVerbs_;       // English verb (without "to") -> German infinitive
  Index englishAdjectives_;  // English adjective -> German adjective
  Index germanVerbs_;        // German infinitive -> English verb
  Index englishNames_;       // capitalised English word ("German") -> German
  std::unordered_map<std::string, BuiltNoun> nouns_;                // German noun as written
  std::unordered_map<std::string, BuiltStrongForms> strongForms_;   // by infinitive
  std::unordered_map<std::string, std::string> strongInfinitives_;  // form -> infinitive
};

bool Dictionary::Build(std::istream& in, IndexWriter& writer, const std::atomic<bool>* cancel,
                       const LearntSenses* senses) {
  std::string content;
  in.seekg(0, std::ios::end);
  const auto size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size > 0) {
    content.resize(static_cast<std::size_t>(size));
    in.read(content.data(), size);
    content.resize(static_cast<std::size_t>(in.gcount()));
  }
  Builder dictionary;
  dictionary.germanToEnglish_.reserve(std::size_t{1} << 19);
  dictionary.englishToGerman_.reserve(std::size_t{1} << 19);
  // How often each word occurs in the dictionary (in head words, forms and examples):
  // of the words a word translates to, the more common one is taken.
  const WordCounts counts(content);
  const auto commonness = [&](std::string_view term) -> std::int64_t {
    // The least common word of a phrase counts ("zu Hause": "Hause").
    std::uint32_t least = 0;
    bool first = true;
    std::size_t start = 0;
    while (start < term.size()) {
      const auto end = std::min(term.find(' ', start), term.size());
      const std::uint32_t count = counts.Count(term.substr(start, end - start));
      if (first || count < least) least = count;
      first = false;
      start = end + 1;
    }
    const auto scale = static_cast<std::int64_t>(4 * std::log2(1.0 + least));
    return 63 - std::min<std::int64_t>(63, scale);
  };
  // Each direction's indexes are built by a thread of their own from the same lines.
  const auto build = [&](bool germanSide) {
    std::vector<std::string_view> sides, german, english, germanTerms, englishTerms, headTerms;
    std::int64_t lineNumber = 0;
    std::string_view rest = content;
    while (!rest.empty()) {
      const auto newline = rest.find('\n');
      const std::string_view line = rest.substr(0, newline);
      rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);
      ++lineNumber;
      if ((lineNumber & 0x3FF) == 0 && cancel != nullptr && cancel->load()) return false;
      if (line.empty() || line[0] == '#') continue;
      Split(line, " :: ", sides);
      if (sides.size() != 2) continue;
      Split(sides[0], " | ", german);
      Split(sides[1], " | ", english);
      if (german.size() != english.size()) continue;
      // Ranking: the head word before its forms and examples, the first synonym
      // before later ones, then (English to German) the more common German word, then
      // the earlier line: the dictionary lists a head word's everyday sense in its
      // first entry.
      const Kind headKind = KindOfTags(german[0]);
      Split(german[0], "; ", headTerms);
      for (std::size_t sub = 0; sub < german.size(); ++sub) {
        Split(german[sub], "; ", germanTerms);
        Split(english[sub], "; ", englishTerms);
        // Each thread needs the translation into its own target language only.
        const std::string germanFirst = germanSide ? std::string() : ChooseTranslation(germanTerms);
        const std::string englishFirst =
            germanSide ? std::string(WithoutTo(ChooseTranslation(englishTerms))) : std::string();
        if ((germanSide ? englishFirst : germanFirst).empty() ||
            TrimBlanks(germanSide ? german[sub] : english[sub]).empty()) {
          continue;
        }
        const Kind kind = KindOfTags(german[sub]);
        // The plural right after a noun's head word ranks with the head word.
        const bool headForm = sub == 0 || (sub == 1 && kind == Kind::Plural);
        // Only a head word's senses are told apart by commonness (examples and forms
        // rank after them anyway).
        const std::int64_t commonGerman = headForm && !germanSide ? commonness(germanFirst) : 63;
        // German to English keeps the dictionary's order: a head word's first entry
        // is its everyday sense.
        const std::int64_t commonEnglish = 0;
        // The sense the manuals prefer for a key, where this sub-entry offers it, ranks
        // before every sense the dictionary's order gives.
        const auto learnt = [&](LearntSenses::Side side, const std::string& key,
                                const std::vector<std::string_view>& targets) {
          return senses == nullptr ? std::nullopt
                                   : Offered(targets, senses->Preferred(side, key),
                                             side == LearntSenses::Side::German);
        };
        const Rank learntRank{.source = RankSource::Learnt,
                              .line = static_cast<std::uint32_t>(lineNumber)};
        const auto rankOf = [&](std::size_t synonym, std::int64_t common,
                                std::string_view raw = {}) {
          // A later synonym, one with an explanation ("cup (wind instrument)") or a name
          // ("Red" for a communist) names a narrower sense.
          const bool later = synonym > 0 || raw.find('(') != std::string_view::npos ||
                             (sub == 0 && StartsUpper(TrimBlanks(raw)));
          return Rank{.source = RankSource::Dictionary,
                      .tier = static_cast<std::uint8_t>((headForm ? 0 : 2) + (later ? 1 : 0)),
                      .commonness = static_cast<std::uint8_t>(common),
                      .synonym = static_cast<std::uint8_t>(std::min<std::size_t>(synonym, 63)),
                      .line = static_cast<std::uint32_t>(lineNumber)};
        };
        for (std::size_t s = 0; germanSide && s < germanTerms.size(); ++s) {
          if (!ShortEnough(germanTerms[s])) continue;
          const std::string term = WithoutObjects(CleanTerm(TrimBlanks(germanTerms[s])));
          if (UsableKey(term)) {
            const std::string key =
                StartsUpper(term) ? CapitalizeFirst(FoldCase(term)) : FoldCase(term);
            const auto preferred = learnt(LearntSenses::Side::German, FoldCase(term), englishTerms);
            if (preferred) {
              dictionary.Add(dictionary.germanToEnglish_, key, preferred->term, learntRank, kind);
            }
            // A noun's sense that no entry lists ("Ebene": "layer") goes with its head
            // word and its plural, of the noun's gender.
            if (const std::string_view unlisted =
                    senses == nullptr || !headForm || !IsNounKind(kind)
                        ? std::string_view()
                        : senses->Unlisted(LearntSenses::Side::German, FoldCase(term));
                !unlisted.empty()) {
              dictionary.Add(dictionary.germanToEnglish_, key, std::string(unlisted), learntRank,
                             kind);
            }
            dictionary.Add(dictionary.germanToEnglish_, key, englishFirst,
                           rankOf(s, commonEnglish, germanTerms[s]), kind);
            // A verb's senses are ordered by how common their English verb is ("sprechen"
            // is "speak" before "enunciate"); a paraphrase longer than a verb and its
            // particle counts as rarer ("wählen" is "choose" before "make your choice",
            // "bearbeiten" stays "work on").
            if (kind == Kind::Verb && sub == 0) {
              if (preferred) {
                dictionary.Add(dictionary.germanVerbs_, FoldCase(term), preferred->term, learntRank,
                               kind);
              }
              const std::int64_t words = std::count(englishFirst.begin(), englishFirst.end(), ' ') +
                                         (englishFirst.starts_with("to ") ? 0 : 1);
              const std::int64_t common = std::min<std::int64_t>(
                  63, commonness(englishFirst) + 12 * std::max<std::int64_t>(0, words - 2));
              dictionary.Add(dictionary.germanVerbs_, FoldCase(term), englishFirst,
                             rankOf(s, common, germanTerms[s]), kind);
            }
          }
        }
        for (std::size_t s = 0; !germanSide && s < englishTerms.size(); ++s) {
          if (!ShortEnough(englishTerms[s])) continue;
          const std::string term = WithoutObjects(CleanTerm(TrimBlanks(englishTerms[s])));
          if (!UsableKey(term)) continue;
          const Rank rank = rankOf(s, commonGerman, englishTerms[s]);
          const std::string key = FoldCase(term);
          // Each index the key goes into: the learnt sense first, then the dictionary's.
          // `senseKey` is the key the learnt senses know it by, where that differs.
          const auto add = [&](Builder::Index& index, const std::string& indexKey, Rank at,
                               const std::string& senseKey = {}) {
            // Only the main index is asked whether a capitalised word is common.
            const std::uint32_t uses =
                &index == &dictionary.englishToGerman_ && indexKey.find(' ') == std::string::npos
                    ? counts.Count(indexKey)
                    : 0;
            auto preferred = senseKey.empty()
                                 ? std::nullopt
                                 : learnt(LearntSenses::Side::English, senseKey, germanTerms);
            if (!preferred) preferred = learnt(LearntSenses::Side::English, indexKey, germanTerms);
            if (preferred) {
              // A German synonym may have its own gender ("Vorgabe {f}; Standard {m}").
              const Kind own = KindOfTags(preferred->raw);
              dictionary.Add(index, indexKey, preferred->term, learntRank,
                             own == Kind::Other ? kind : own, uses);
            }
            dictionary.Add(index, indexKey, germanFirst, at, kind, uses);
          };
          add(dictionary.englishToGerman_, key, rank);
          if (term.starts_with("to ")) {
            const std::string verb = FoldCase(WithoutTo(term));
            // After every entry that has the key as written.
            Rank withoutTo = rank;
            withoutTo.source = RankSource::DictionaryWithoutTo;
            add(dictionary.englishToGerman_, verb, withoutTo);
            // The verb's own sense ("to drive": "fahren") before the word's, which may
            // be a noun's ("drive": "Laufwerk").
            if (kind == Kind::Verb) add(dictionary.englishVerbs_, verb, rank, key);
          } else if (kind == Kind::Adjective) {
            add(dictionary.englishAdjectives_, key, rank);
          }
          if (sub == 0 && StartsUpper(term) && term.find(' ') == std::string::npos) {
            dictionary.Add(dictionary.englishNames_, FoldCase(term), germanFirst, rank, kind);
          }
        }
        if (sub == 0 || !germanSide) continue;
        // The plural of a noun follows its head word ("Haus {n} | Häuser {pl}"); the
        // forms of a verb with a vowel change follow its infinitive ("du schläfst",
        // "er/sie schläft").
        if (sub == 1 && kind == Kind::Plural &&
            (headKind == Kind::Masculine || headKind == Kind::Feminine ||
             headKind == Kind::Neuter)) {
          for (std::size_t s = 0; s < headTerms.size() && s < germanTerms.size(); ++s) {
            const std::string singular = CleanTerm(TrimBlanks(headTerms[s]));
            const std::string plural = CleanTerm(TrimBlanks(germanTerms[s]));
            if (singular.find(' ') != std::string::npos || plural.find(' ') != std::string::npos ||
                !StartsUpper(singular)) {
              continue;
            }
            const Kind gender = KindOfTags(headTerms[s]);
            auto& forms = dictionary.nouns_[singular];
            forms.Vote(gender == Kind::Other ? headKind : gender);
            if (forms.gender == Kind::Other) {
              forms.gender = gender == Kind::Other ? headKind : gender;
              forms.plural = plural;
            }
          }
        }
        if (headKind == Kind::Verb) {
          const std::string_view raw = TrimBlanks(germanTerms[0]);
          const bool second = raw.starts_with("du ");
          const bool third = raw.starts_with("er/sie ");
          // A verb of things lists "es gilt | es galt": the first of them is the
          // present, which is only read, not made ("gilt": "gelten").
          const bool impersonal =
              raw.starts_with("es ") && !TrimBlanks(german[sub - 1]).starts_with("es ");
          if (!second && !third && !impersonal) continue;
          for (std::size_t s = 0; s < headTerms.size() && s < germanTerms.size(); ++s) {
            const std::string infinitive = CleanTerm(TrimBlanks(headTerms[s]));
            std::string form = CleanTerm(TrimBlanks(germanTerms[s]));
            if (form.starts_with("du ")) form.erase(0, 3);
            if (form.starts_with("es ")) form.erase(0, 3);
            if (infinitive.find(' ') != std::string::npos || form.find(' ') != std::string::npos ||
                form.empty()) {
              continue;
            }
            if (impersonal) {
              dictionary.strongInfinitives_.try_emplace(FoldCase(form), infinitive);
              continue;
            }
            auto& forms = dictionary.strongForms_[infinitive];
            std::string& slot = second ? forms.second : forms.third;
            if (slot.empty()) {
              slot = form;
              dictionary.strongInfinitives_.try_emplace(FoldCase(form), infinitive);
            }
          }
        }
      }
    }
    return true;
  };
  auto germanBuild = std::async(std::launch::async, build, true);
  const bool englishBuilt = build(false);
  if (!germanBuild.get() || !englishBuilt) return false;
  if (dictionary.germanToEnglish_.empty()) return false;
  for (const auto& [form, infinitive] : kStrongPresents) {
    dictionary.strongInfinitives_.try_emplace(std::string(form), std::string(infinitive));
    // It is the form English "helps" takes too ("hilft", not "helft").
    std::string& third = dictionary.strongForms_[std::string(infinitive)].third;
    if (third.empty()) third = form;
  }
  // The commonest function words. The dictionary lists them mostly inside phrases and
  // examples, where its ranking would pick a rare sense; the lexicon's readings take
  // precedence.
  for (const auto& [englishWord, germanWord] : EnglishReadings()) {
    dictionary.Add(dictionary.englishToGerman_, FoldCase(englishWord), std::string(germanWord),
                   Rank{.source = RankSource::Lexicon});
  }
  for (const ManualSense& sense : kManualSenses) {
    dictionary.Add(dictionary.englishToGerman_, std::string(sense.english),
                   std::string(sense.german), Rank{.source = RankSource::Learnt}, sense.kind);
  }
  for (const auto& [noun, gender] : kNounGenders) {
    auto& forms = dictionary.nouns_[std::string(noun)];
    forms.gender = gender;
    forms.fixed = true;
  }
  for (const ManualVerb& verb : kManualVerbs) {
    dictionary.Add(dictionary.englishVerbs_, std::string(verb.english), std::string(verb.german),
                   Rank{.source = RankSource::Learnt}, Kind::Verb);
    if (!verb.bothWays) continue;
    dictionary.Add(dictionary.germanVerbs_, std::string(verb.german), std::string(verb.english),
                   Rank{.source = RankSource::Learnt}, Kind::Verb);
    dictionary.Add(dictionary.germanToEnglish_, std::string(verb.german), std::string(verb.english),
                   Rank{.source = RankSource::Learnt}, Kind::Verb);
  }
  for (const auto& [germanWord, englishWord] : GermanReadings()) {
    dictionary.Add(dictionary.germanToEnglish_, FoldCase(germanWord), englishWord,
                   Rank{.source = RankSource::Lexicon});
  }
  dictionary.Write(writer);
  return true;
}

std::optional<Dictionary> Dictionary::Load(std::istream& in, const std::atomic<bool>* cancel,
                                           const LearntSenses* senses) {
  IndexWriter writer;
  if (!Build(in, writer, cancel, senses)) return std::nullopt;
  auto image = IndexImage::FromBytes(writer.Finish({}));
  if (!image) return std::nullopt;
  return Dictionary(std::move(image));
}

const LearntSenses& Dictionary::DefaultSenses() {
  return LearntSenses::Builtin();
}

std::optional<Dictionary> Dictionary::LoadFile(const std::string& path,
                                               const std::atomic<bool>* cancel,
                                               const LearntSenses* senses) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  return Load(in, cancel, senses);
}

std::optional<std::string_view> Dictionary::Lookup(std::string_view phrase,
                                                   Direction direction) const {
  const auto found = Find(TableFor(direction), phrase);
  if (!found) return std::nullopt;
  return found->translation;
}

std::optional<Dictionary::Candidate> Dictionary::FindExact(IndexTable table,
                                                           std::string_view key) const {
  const auto row = image_->Find<EntryRow>(table, key);
  if (!row) return std::nullopt;
  return Candidate{.translation = image_->Text(row->translation),
                   .rank = Rank{.source = static_cast<RankSource>(row->source),
                                .tier = row->tier,
                                .commonness = row->commonness,
                                .synonym = row->synonym,
                                .line = row->line},
                   .kind = static_cast<Kind>(row->kind),
                   .keyUses = row->keyUses};
}

std::optional<Dictionary::Candidate> Dictionary::Find(IndexTable table,
                                                      std::string_view phrase) const {
  std::string key = FoldCase(phrase);
  if (table == IndexTable::GermanToEnglish) {
    // German nouns are written with a capital: "Alt" (alto) and "alt" (old) are two
    // words. The other spelling is the second choice (a sentence's first word).
    std::string capitalized = CapitalizeFirst(key);
    if (StartsUpper(phrase)) std::swap(key, capitalized);
    if (auto found = FindExact(table, key)) return found;
    key = std::move(capitalized);
  }
  return FindExact(table, key);
}

namespace {

// English contractions that the grammar reads as two words ("don't" is "do not").
constexpr std::pair<std::string_view, std::string_view> kEnglishContractions[] = {
    {"don't", "do not"},     {"doesn't", "does not"}, {"didn't", "did not"},
    {"isn't", "is not"},     {"aren't", "are not"},   {"wasn't", "was not"},
    {"can't", "can not"},    {"cannot", "can not"},   {"won't", "will not"},
    {"haven't", "have not"}, {"hasn't", "has not"},   {"i'm", "i am"},
    {"it's", "it is"},       {"he's", "he is"},       {"she's", "she is"},
    {"that's", "that is"},   {"you're", "you are"},   {"we're", "we are"},
    {"they're", "they are"}, {"i'd", "i would"},      {"i've", "i have"},
    {"we've", "we have"},    {"let's", "let us"},     {"there's", "there is"}};

}  // namespace

namespace {

// A menu path ("Choose File - New - Labels", "Edit → Paste Into", "the Grid - Display
// Grid command"): an arrow, or a spaced hyphen or dash, between two capitalised words parts
// two entries, and an entry is the capitalised words around it, the first word of a
// sentence (the command) not included. Its tokens become one, not language to the
// grammar, so that no pass moves its entries; its German (`menu`) has each entry
// translated with a capital, and the hyphens as the dashes German manuals write. The
// dots after the last entry go with it.
template <typename Tokens, typename BreaksBefore, typename TranslateEntry>
void MergeMenuPaths(Tokens& tokens, std::string& tail, const BreaksBefore& breaksBefore,
                    const TranslateEntry& translateEntry) {
  // A capitalised word; one kept as it is may be a product's name ("LibreOffice").
  const auto word = [&](std::size_t k) { return StartsUpper(tokens[k].word); };
  const auto arrow = [&](std::string_view gap) {
    const std::size_t first = gap.find_first_not_of(' ');
    return first != std::string_view::npos &&
           gap.substr(first, gap.find_last_not_of(' ') + 1 - first) == "\u2192";
  };
  const auto parts = [&](std::size_t k) {
    return k > 0 && k < tokens.size() &&
           (tokens[k].gap == " - " || tokens[k].gap == " \u2013 " || arrow(tokens[k].gap)) &&
           word(k) && word(k - 1);
  };
  // Whether token k continues the entry before it.
  const auto continues = [&](std::size_t k) {
    return k < tokens.size() && tokens[k].gap == " " && word(k) && !breaksBefore(k);
  };
  Tokens merged;
  merged.reserve(tokens.size());
  for (std::size_t k = 0; k < tokens.size();) {
    std::size_t separator = k + 1;
    while (separator < tokens.size() && continues(separator))
      ++separator;
    if (!word(k) || !parts(separator)) {
      merged.push_back(std::move(tokens[k]));
      ++k;
      continue;
    }
    // The command first in a sentence is no entry.
    std::size_t begin = k;
    if ((begin == 0 || breaksBefore(begin)) && begin + 1 < separator) ++begin;
    for (std::size_t c = k; c < begin; ++c)
      merged.push_back(std::move(tokens[c]));
    typename Tokens::value_type path;
    path.gap = tokens[begin].gap;
    path.verbatim = true;
    for (std::size_t entry = begin, end = begin;; entry = end = end + 1) {
      while (end + 1 < tokens.size() && continues(end + 1))
        ++end;
      std::string english;
      for (std::size_t c = entry; c <= end; ++c)
        english += (c > entry ? " " : "") + tokens[c].word;
      if (entry > begin) {
        path.word += tokens[entry].gap;
        path.menu += tokens[entry].gap == " - " ? " \u2013 " : tokens[entry].gap;
      }
      path.word += english;
      path.menu += CapitalizeFirst(translateEntry(english));
      if (!parts(end + 1)) {
        k = end + 1;
        // The last entry's dots ("Border…", "Save As...") are its own.
        std::string& after = k < tokens.size() ? tokens[k].gap : tail;
        for (const std::string_view dots : {"\u2026", "..."}) {
          if (!after.starts_with(dots)) continue;
          path.word += dots;
          path.menu += dots;
          after.erase(0, dots.size());
          break;
        }
        break;
      }
    }
    merged.push_back(std::move(path));
  }
  tokens = std::move(merged);
}

// A name's English genitive ("GIMP's", "Python’s") in German's spelling, without the
// apostrophe ("GIMPs"); after s, x or z the apostrophe alone ("Jens'").
std::string GermanGenitive(const std::string& name) {
  for (const std::string_view ending : {"'s", "\u2019s"}) {
    if (name.size() <= ending.size() + 1 || !name.ends_with(ending)) continue;
    const std::string base = name.substr(0, name.size() - ending.size());
    const char last = static_cast<char>(std::tolower(static_cast<unsigned char>(base.back())));
    return last == 's' || last == 'x' || last == 'z' ? base + "'" : base + "s";
  }
  return name;
}

// The quotation marks of the target language: English “…” and ‘…’ are German „…“
// and ‚…‘; German „…“, »…« (and the Swiss «…») and ‚…‘ are English “…” and ‘…’.
// A closing mark that may also be something else (the apostrophe ’, German's “ that
// opens in English) changes only after its opening one; English ” is never anything
// else and changes on its own too (a page's run may hold only the end of a quote).
std::string TargetQuotes(std::string_view text, Dictionary::Direction direction) {
  struct Pair {
    char32_t open;
    char32_t close;
    char32_t targetOpen;
    char32_t targetClose;
    bool closeAlone;  // the closing mark changes without its opening one
  };
  constexpr Pair kToGerman[] = {{U'\u201C', U'\u201D', U'\u201E', U'\u201C', true},
                                {U'\u2018', U'\u2019', U'\u201A', U'\u2018', false}};
  constexpr Pair kToEnglish[] = {{U'\u201E', U'\u201C', U'\u201C', U'\u201D', false},
                                 {U'\u00BB', U'\u00AB', U'\u201C', U'\u201D', false},
                                 {U'\u00AB', U'\u00BB', U'\u201C', U'\u201D', false},
                                 {U'\u201A', U'\u2018', U'\u2018', U'\u2019', false}};
  const std::span<const Pair> pairs = direction == Dictionary::Direction::EnglishToGerman
                                          ? std::span<const Pair>(kToGerman)
                                          : std::span<const Pair>(kToEnglish);
  std::string out;
  out.reserve(text.size() + 8);
  const Pair* open = nullptr;  // the double or single pair now open, innermost only
  const Pair* outer = nullptr;
  for (std::size_t i = 0; i < text.size();) {
    char32_t code = 0;
    std::size_t length = DecodeUtf8(text, i, code);
    if (length == 0) {
      out += text[i++];
      continue;
    }
    char32_t written = code;
    const auto alone = std::find_if(pairs.begin(), pairs.end(),
                                    [&](const Pair& p) { return p.closeAlone && p.close == code; });
    if (alone != pairs.end() && (open == nullptr || open->close != code)) {
      written = alone->targetClose;
    } else if (open != nullptr && code == open->close) {
      written = open->targetClose;
      open = outer;
      outer = nullptr;
    } else if (const auto pair = std::find_if(pairs.begin(), pairs.end(),
                                              [&](const Pair& p) { return p.open == code; });
               pair != pairs.end() && outer == nullptr) {
      written = pair->targetOpen;
      outer = open;
      open = &*pair;
    }
    if (written == code) {
      out.append(text.substr(i, length));
    } else {
      AppendUtf8(out, written);
    }
    i += length;
  }
  return out;
}

}  // namespace

std::string Dictionary::Translate(std::string_view text, Direction direction, bool grammar) const {
  // The words of the text with what stands before each.
  struct Token {
    std::string gap;
    std::string word;
    bool verbatim = false;  // not language: copied unchanged, never part of a phrase
    std::string menu;       // a menu path's German (MergeMenuPaths): one verbatim token
  };
  std::vector<Token> tokens;
  std::size_t copied = 0;
  const bool acronyms = !MostlyCapitals(text);
  // A verbatim token is looked for at most a few times in one run of text without
  // blanks: each try reads to the run's end, and a run of opening brackets would
  // otherwise be read from each of them.
  constexpr int kVerbatimTriesPerRun = 4;
  std::size_t runEnd = 0;
  int tries = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (grammar && i >= runEnd) {
      runEnd = i;
      while (runEnd < text.size() && !IsAsciiSpace(text[runEnd]))
        ++runEnd;
      tries = 0;
    }
    if (grammar && tries < kVerbatimTriesPerRun) {
      const Verbatim verbatim = FindVerbatim(text, i, acronyms);
      tries += verbatim.tried ? 1 : 0;
      if (verbatim.kind != VerbatimKind::None) {
        tokens.push_back({std::string(text.substr(copied, i - copied)),
                          std::string(text.substr(i, verbatim.length)),
                          true,
                          {}});
        i += verbatim.length;
        copied = i;
        continue;
      }
    }
    if (!IsWordByte(static_cast<unsigned char>(text[i]), text, i)) {
      ++i;
      continue;
    }
    const std::size_t begin = i;
    while (i < text.size()) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (IsWordByte(c, text, i)) {
        ++i;
      } else if ((c == '\'' || c == '-') && i + 1 < text.size() &&
                 IsWordByte(static_cast<unsigned char>(text[i + 1]), text, i + 1)) {
        ++i;
      } else {
        break;
      }
    }
    std::string gap(text.substr(copied, begin - copied));
    const std::string_view word = text.substr(begin, i - begin);
    copied = i;
    if (grammar && direction == Direction::EnglishToGerman) {
      const std::string folded = FoldCase(word);
      bool expanded = false;
      for (const auto& [contraction, words] : kEnglishContractions) {
        if (folded != contraction) continue;
        const auto space = words.find(' ');
        std::string first(words.substr(0, space));
        if (StartsUpper(word)) first = CapitalizeFirst(first);
        if (first == "i") first = "I";
        tokens.push_back({std::move(gap), std::move(first), false, {}});
        tokens.push_back({" ", std::string(words.substr(space + 1)), false, {}});
        expanded = true;
        break;
      }
      if (expanded) continue;
    }
    tokens.push_back({std::move(gap), std::string(word), false, {}});
  }
  std::string tail(text.substr(copied));

  // Whether a new sentence starts at token k: a period after an abbreviation ("Mr.
  // Smith", "Dr. Bell") or a single letter starts none.
  const auto breaksBefore = [&](std::size_t k) {
    if (!IsSentenceBreak(tokens[k].gap)) return false;
    return k == 0 || !tokens[k].gap.starts_with(". ") ||
           !IsAbbreviation(FoldCase(tokens[k - 1].word));
  };
  if (grammar && direction == Direction::EnglishToGerman) {
    MergeMenuPaths(tokens, tail, breaksBefore, [&](const std::string& entry) {
      // The entry as a whole ("Page Design"), else word by word; a word the
      // dictionary does not know is a name ("LibreOffice Calc").
      if (const auto whole = Find(IndexTable::EnglishToGerman, entry))
        return std::string(whole->translation);
      std::string german;
      for (std::size_t start = 0; start < entry.size();) {
        const std::size_t space = std::min(entry.find(' ', start), entry.size());
        const std::string_view one = std::string_view(entry).substr(start, space - start);
        const auto found = Find(IndexTable::EnglishToGerman, one);
        german += (german.empty() ? "" : " ") + std::string(found ? found->translation : one);
        start = space + 1;
      }
      return german;
    });
  }
  // Capitalised English words inside a sentence are names ("GNU General Public
  // License") unless the sentence is a title: three words or more, every one but the
  // small ones with a capital, and no period, question or exclamation mark at its end
  // ("Using the Direct Cursor"; "Thanks to Mark Bell." is a sentence).
  std::vector<bool> inTitle(tokens.size(), false);
  if (grammar && direction == Direction::EnglishToGerman) {
    for (std::size_t first = 0; first < tokens.size();) {
      std::size_t end = first + 1;
      while (end < tokens.size() && !breaksBefore(end))
        ++end;
      const std::string_view after = end < tokens.size() ? tokens[end].gap : tail;
      bool title = end - first >= 3 && after.find_first_of(".!?") == std::string_view::npos;
      for (std::size_t k = first; k < end && title; ++k) {
        const std::string& word = tokens[k].word;
        title = tokens[k].verbatim || StartsUpper(word) || IsTitleSmallWord(FoldCase(word)) ||
                (word[0] >= '0' && word[0] <= '9');
      }
      for (std::size_t k = first; k < end; ++k)
        inTitle[k] = title;
      first = end;
    }
  }
  const auto capitalisedInside = [&](std::size_t w) {
    return w > 0 && w < tokens.size() && !inTitle[w] && !tokens[w].verbatim && !breaksBefore(w) &&
           StartsUpper(tokens[w].word) && tokens[w].word != "I";
  };
  // One of several capitalised words in a row ("Joey Hess", "New York") is a name.
  const auto inNameRun = [&](std::size_t w) {
    const auto joined = [&](std::size_t k) { return tokens[k].gap == " "; };
    return (joined(w) && capitalisedInside(w - 1)) ||
           (w + 1 < tokens.size() && joined(w + 1) && capitalisedInside(w + 1));
  };
  const auto isName = [&](std::size_t w) {
    if (!capitalisedInside(w)) return false;
    if (inNameRun(w) || Find(IndexTable::EnglishNames, tokens[w].word)) return true;
    // A single capitalised word is a name unless the dictionary knows it as a common
    // word ("Copyright ©" is "Urheberrecht", "Joey" stays).
    std::optional<Candidate> common = Find(IndexTable::EnglishToGerman, tokens[w].word);
    return !common || common->keyUses < kCommonWordUses;
  };

  // A sentence that starts with a verb's plain form before an article, a possessive,
  // "on" or "to", or something kept as it is, is a command ("Click the button", "Press
  // Ctrl+C"). A separable German verb is left to the grammar, which splits it.
  // The last command's word, or npos: a verb after "and" or "or" in the same sentence
  // is one too ("Select the layer and click the button").
  std::size_t lastCommand = std::string::npos;
  // Sentence starts that a command may follow after a comma ("In the dialog, click
  // the button"), the phrases' and the subordinate clauses' ("If you want to use it,
  // click the button"), an infinitive of purpose's too ("To open it, click ...", "Without
  // saving it, close ...").
  constexpr std::string_view kBeforeCommand[] = {"in",   "on",  "from", "with",   "for",
                                                 "then", "now", "next", "finally"};
  constexpr std::string_view kClauseBeforeCommand[] = {"if",     "when", "once",    "after",
                                                       "before", "to",   "without", "instead"};
  // Whether the sentence of the word at `w` starts with a subordinate clause's word.
  const auto afterClause = [&](std::size_t w) {
    std::size_t start = w;
    while (start > 0 && !breaksBefore(start))
      --start;
    return std::find(std::begin(kClauseBeforeCommand), std::end(kClauseBeforeCommand),
                     FoldCase(tokens[start].word)) != std::end(kClauseBeforeCommand);
  };
  // Whether a command stands before the word at `w` in its sentence.
  const auto commandBefore = [&](std::size_t w) {
    std::size_t start = w;
    while (start > 0 && !breaksBefore(start))
      --start;
    return lastCommand != std::string::npos && lastCommand >= start && lastCommand < w;
  };
  const auto commandPlace = [&](std::size_t w) {
    if (w == 0 || breaksBefore(w)) return StartsUpper(tokens[w].word);
    if (StartsUpper(tokens[w].word)) return false;
    // "Please note that ...": "Bitte beachten Sie, dass ...".
    if ((w == 1 || breaksBefore(w - 1)) && FoldCase(tokens[w - 1].word) == "please")
      return tokens[w].gap == " ";
    std::size_t start = w;
    while (start > 0 && !breaksBefore(start))
      --start;
    const std::string before = FoldCase(tokens[w - 1].word);
    // After a command of the same sentence: one more after "and", "or" or "then", or
    // after a comma ("Chain the layers, activate the tool, then move the layer").
    if (tokens[w].gap == " " && (before == "and" || before == "or" || before == "then"))
      return commandBefore(w);
    if (tokens[w].gap == ", " && commandBefore(w)) return true;
    const std::string first = FoldCase(tokens[start].word);
    return tokens[w].gap == ", " && (std::find(std::begin(kBeforeCommand), std::end(kBeforeCommand),
                                               first) != std::end(kBeforeCommand) ||
                                     afterClause(w));
  };
  // A label in quotes after a command's verb ("Select "Left"").
  const auto quotedLabel = [&](std::size_t w, std::size_t n) {
    constexpr std::string_view kOpeningQuotes[] = {" \"", " \u201c", " \u201e", " '"};
    return std::find(std::begin(kOpeningQuotes), std::end(kOpeningQuotes), tokens[w + n].gap) !=
           std::end(kOpeningQuotes);
  };
  // A label, a menu or a key by its name after a sentence's first word that can only be
  // a verb ("Choose Insert - Chart"); a word that is a noun too may start a title
  // ("Display Settings").
  const auto labelAfterVerbOnly = [&](std::size_t w, std::size_t n) {
    if (!StartsUpper(tokens[w + n].word) || (w > 0 && !breaksBefore(w))) return false;
    std::optional<Candidate> common = Find(IndexTable::EnglishToGerman, tokens[w].word);
    return n > 1 || !common || !IsNounKind(common->kind);
  };
  // A command's verb at `w`, of `n` words (a verb and its particle, "Set up ...").
  const auto imperative = [&](std::size_t w, std::size_t n) -> std::optional<Candidate> {
    if (w + n >= tokens.size() || tokens[w].verbatim || !commandPlace(w) ||
        (tokens[w + n].gap != " " && !quotedLabel(w, n))) {
      return std::nullopt;
    }
    constexpr std::string_view kAfterCommand[] = {"the", "a",    "an",   "this",  "these", "your",
                                                  "all", "any",  "each", "every", "on",    "to",
                                                  "it",  "them", "both", "that",  "one",   "some"};
    const std::string next = FoldCase(tokens[w + n].word);
    const bool joined =
        w > 0 && (FoldCase(tokens[w - 1].word) == "and" || FoldCase(tokens[w - 1].word) == "or");
    // One clicks "here", "in" a place, or a button by its label ("Click Add").
    const bool clickPlace = !CommandPreposition(FoldCase(tokens[w].word)).empty() &&
                            (StartsUpper(tokens[w + n].word) ||
                             std::find(std::begin(kClickPlaces), std::end(kClickPlaces), next) !=
                                 std::end(kClickPlaces));
    if (!joined && !tokens[w + n].verbatim && !clickPlace && !quotedLabel(w, n) &&
        !labelAfterVerbOnly(w, n) &&
        std::find(std::begin(kAfterCommand), std::end(kAfterCommand), next) ==
            std::end(kAfterCommand)) {
      return std::nullopt;
    }
    std::optional<Candidate> verb =
        Find(IndexTable::EnglishVerbs,
             n == 1 ? tokens[w].word : tokens[w].word + " " + tokens[w + 1].word);
    if (!verb || verb->translation.find(' ') != std::string::npos) return std::nullopt;
    return verb;
  };

  // A verb and its particle that the dictionary gives as one German verb ("carry out":
  // "durchführen", "set up": "einrichten") stay one verb, which the grammar moves and
  // splits as any other; word by word they mean something else ("tragen aus").
  const auto phrasalVerb = [&](std::size_t w, std::size_t n, const Candidate& verb) {
    constexpr std::string_view kParticles[] = {"up", "out", "off", "on", "down", "back"};
    return direction == Direction::EnglishToGerman && n == 2 &&
           std::find(std::begin(kParticles), std::end(kParticles), FoldCase(tokens[w + 1].word)) !=
               std::end(kParticles) &&
           verb.translation.find(' ') == std::string::npos;
  };
  std::vector<Unit> units;
  units.reserve(tokens.size());
  const IndexTable index = TableFor(direction);
  std::string phrase;
  std::vector<std::string_view> phraseWords;
  for (std::size_t w = 0; w < tokens.size();) {
    std::size_t taken = 1;
    std::optional<Candidate> found = std::nullopt;
    std::optional<Compound> compound;
    bool kept = false;  // a name that stays as it is written
    for (std::size_t n = std::min<std::size_t>(kMaxPhraseWords, tokens.size() - w);
         n >= 1 && !tokens[w].verbatim; --n) {
      phrase.clear();
      bool joined = true;
      bool allNames = grammar && direction == Direction::EnglishToGerman;
      for (std::size_t k = 0; k < n; ++k) {
        allNames = allNames && isName(w + k);
        if (k > 0) {
          const std::string& gap = tokens[w + k].gap;
          if (gap.empty() || gap.find_first_not_of(" \t") != std::string::npos ||
              tokens[w + k].verbatim) {
            joined = false;
            break;
          }
          phrase += ' ';
        }
        phrase += tokens[w + k].word;
      }
      if (!joined) continue;
      // A name of several words stays as it is, word by word.
      if (allNames && n > 1) continue;
      if (grammar && n > 1) {
        phraseWords.clear();
        for (std::size_t k = 0; k < n; ++k)
          phraseWords.push_back(tokens[w + k].word);
        if (GrammarSplits(phraseWords, direction)) continue;
      }
      found = std::nullopt;
      // A capitalised word inside a sentence ("German", "English") is a name: the
      // dictionary's, else its own.
      if (allNames && n == 1) {
        if (!inNameRun(w)) found = Find(IndexTable::EnglishNames, phrase);
        kept = !found;
        break;
      }
      if (!found && direction == Direction::GermanToEnglish && StartsUpper(phrase) &&
          (w == 0 || breaksBefore(w))) {
        // A sentence's first word: its capital says nothing about it ("Morgen fahre
        // ich" is "tomorrow"); a noun is found all the same.
        found = Find(index, FoldCase(phrase));
      }
      if (!found && grammar && direction == Direction::GermanToEnglish && n == 1 &&
          !StartsUpper(phrase)) {
        // A small letter inside a sentence: no noun ("kleine" is an adjective's form,
        // not "Kleine").
        found = FindExact(index, FoldCase(phrase));
      } else if (!found) {
        found = Find(index, phrase);
      }
      // Two English nouns the dictionary writes as one ("file names": "filenames").
      if (!found && grammar && n == 2 && direction == Direction::EnglishToGerman) {
        std::optional<Candidate> oneWord = Find(index, tokens[w].word + tokens[w + 1].word);
        if (oneWord && IsNounKind(oneWord->kind)) found = oneWord;
      }
      if (found && grammar && n == 2 && direction == Direction::EnglishToGerman &&
          GrammarDescribes(phraseWords, found->translation))
        found = std::nullopt;
      // "on the button" after "click" is where one clicks, not the idiom ("genau").
      if (found && grammar && n > 1 && w > 0 && direction == Direction::EnglishToGerman &&
          FoldCase(tokens[w].word) == "on" && FoldCase(tokens[w - 1].word).ends_with("click"))
        found = std::nullopt;
      // A verb phrase ("Kaffee trinken", "drink coffee") is split up: its verb
      // moves and agrees, and its object takes its article or "kein".
      if (found && grammar && n > 1 && found->kind == Kind::Verb && !phrasalVerb(w, n, *found)) {
        found = std::nullopt;
      }
      // Likewise an example of a verb's entry that the dictionary gives untagged ("to
      // close the window": "das Fenster zumachen"): a verb first, a German verb last
      // ("see below": "siehe unten" stays).
      if (found && grammar && n > 1 && direction == Direction::EnglishToGerman &&
          Find(IndexTable::EnglishVerbs, tokens[w].word)) {
        const std::string_view german = found->translation;
        const std::string_view last = german.substr(german.rfind(' ') + 1);
        if (german.find(' ') != std::string_view::npos && !StartsUpper(last) &&
            !IsClosedGermanWord(last) && Find(IndexTable::GermanVerbs, last))
          found = std::nullopt;
      }
      if (found) {
        taken = n;
        break;
      }
      if (n == 1 && grammar && direction == Direction::GermanToEnglish) {
        compound = TranslateCompound(phrase);
      }
    }
    Unit unit;
    unit.gap = tokens[w].gap;
    unit.upper = StartsUpper(tokens[w].word);
    unit.capital = unit.upper;
    if (std::optional<Candidate> verb = grammar && direction == Direction::EnglishToGerman &&
                                                (taken == 1 || (found && found->kind == Kind::Verb))
                                            ? imperative(w, taken)
                                            : std::nullopt) {
      // A command, as manuals give them ("Click the button"): the polite German form,
      // the infinitive and "Sie" ("Klicken Sie …"), which the grammar leaves alone.
      unit.text = std::string(verb->translation) + " Sie";
      // A separable verb's prefix goes to the end of the clause ("Geben Sie ... ein").
      if (auto [prefix, stem] = SplitSeparable(std::string(verb->translation)); !prefix.empty()) {
        unit.text = stem + " Sie";
        unit.separated = prefix;
      }
      for (const auto& [english, manner] : kCommandManners) {
        if (FoldCase(tokens[w].word) == english) unit.text += " " + std::string(manner);
      }
      // A verb whose object German gives a preposition ("Click (on) the button":
      // "Klicken Sie auf den Knopf"); the English one goes into it, and what follows
      // is the verb's object, in its case.
      const std::string next = w + 1 < tokens.size() ? FoldCase(tokens[w + 1].word) : "";
      for (const auto& [english, preposition] : kCommandPrepositions) {
        if (FoldCase(tokens[w].word) != english || next == "it" || next == "them" ||
            std::find(std::begin(kClickPlaces), std::end(kClickPlaces), next) !=
                std::end(kClickPlaces))
          continue;
        unit.text += " " + std::string(preposition);
        if (next == "on" && w + 2 < tokens.size() && !tokens[w + 1].verbatim) taken = 2;
      }
      unit.kind = Kind::Verb;
      unit.known = true;
      // German sets no comma between a phrase in front and the verb; a clause in
      // front keeps it, and so does a command before it.
      if (unit.gap == ", " && w > 0 && !breaksBefore(w) && !afterClause(w) && !commandBefore(w))
        unit.gap = " ";
      lastCommand = w;
    } else if (found) {
      unit.source = FoldCase(phrase);
      unit.text = found->translation;
      unit.kind = found->kind;
      unit.known = true;
    } else if (compound) {
      unit.source = FoldCase(tokens[w].word);
      unit.text = std::move(compound->english);
      unit.kind = compound->kind;
      unit.known = true;
    } else {
      // A name or what is not language has no source words for the grammar to read
      // ("General" in "GNU General Public License" is no adjective).
      if (!tokens[w].verbatim && !kept) unit.source = FoldCase(tokens[w].word);
      unit.text = tokens[w].menu.empty() ? tokens[w].word : tokens[w].menu;
      if (kept && direction == Direction::EnglishToGerman) unit.text = GermanGenitive(unit.text);
    }
    units.push_back(std::move(unit));
    w += taken;
  }

  if (grammar) {
    if (direction == Direction::EnglishToGerman) {
      EnglishToGermanGrammar(units, tail);
    } else {
      GermanToEnglishGrammar(units, tail);
    }
  }

  std::string out;
  bool sentenceStart = true;
  const auto noteSeparator = [&](std::string_view separator) {
    for (const char c : separator) {
      if (c == '.' || c == '!' || c == '?' || c == ':' || c == '\n') sentenceStart = true;
    }
  };
  // The spaces before the words left out at the start of the text: the first word
  // written stands where they stood, so it takes them over (nouns in a row written
  // as one word in the last one's place start a text with no space before them).
  std::optional<std::string> leading;
  for (const Unit& unit : units) {
    const bool blank = unit.gap.find_first_not_of(" \t") == std::string::npos;
    if (unit.text.empty()) {
      // A word the target language does without: its spaces go with it, and the
      // blanks after the punctuation before it (the next word brings its own: "auf
      // »Weich« gestellt." is "on »soft«.").
      if (!blank) {
        const std::string_view gap = unit.gap;
        out += gap.substr(0, gap.find_last_not_of(" \t") + 1);
        noteSeparator(unit.gap);
      } else if (out.empty() && !leading) {
        leading = unit.gap;
      }
      continue;
    }
    const std::string& gap = out.empty() && leading && blank ? *leading : unit.gap;
    out += gap;
    noteSeparator(gap);
    leading.reset();
    if (sentenceStart && unit.capital) {
      out += CapitalizeFirst(unit.text);
    } else {
      out += unit.text;
    }
    sentenceStart = false;
  }
  out += tail;
  return TargetQuotes(out, direction);
}

std::optional<std::vector<std::string>> DictionaryTranslator::Translate(
    const std::vector<std::string>& segments) {
  const std::shared_ptr<const Dictionary> dictionary = dictionary_.get();
  if (!dictionary) return std::nullopt;
  std::vector<std::string> out;
  out.reserve(segments.size());
  for (const auto& segment : segments)
    out.push_back(dictionary->Translate(segment, direction_));
  if (idle_) idle_->Touch();
  return out;
}

std::string DictionaryTranslator::Description() const {
  return direction_ == Dictionary::Direction::GermanToEnglish
             ? "ding dictionary with Hunspell inflection (German to English: agreement, word "
               "order, negation)"
             : "ding dictionary with Hunspell inflection (English to German: articles, "
               "adjective endings, verb forms, negation)";
}

}  // namespace parlumo::service
