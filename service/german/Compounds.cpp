// German compounds the dictionary does not list, translated from their parts:
// "Übersetzungsbereiche" is Übersetzung + s + Bereiche, "translation areas".

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "DictionaryEngine.h"

namespace parlumo::service {

namespace {

// What may join two parts of a compound ("Übersetzung-s-bereich", "Seite-n-zahl").
constexpr std::array<std::string_view, 8> kLinkingElements = {"",   "s", "es", "n",
                                                              "en", "e", "er", "-"};
// Endings of a compound's head that the dictionary may list only the base form of,
// and whether they make a plural.
constexpr std::pair<std::string_view, bool> kHeadEndings[] = {
    {"", false},  {"e", true}, {"en", true},  {"n", true},
    {"er", true}, {"s", true}, {"nen", true}, {"es", false}};

// Whether `link` may follow the modifier `part`: "n" only after a final "e" ("Seite-n"),
// "e", "en" and "er" only after another letter ("Hund-e", "Frau-en", "Kind-er"). A
// head the dictionary knows then keeps its first letter ("Rechner|namen", not
// "Rechner-n-amen").
bool Links(std::string_view part, std::string_view link) {
  if (link == "n") return part.ends_with('e');
  if (link == "e" || link == "en" || link == "er") return !part.ends_with('e');
  return true;
}

constexpr std::size_t kMinModifierBytes = 4;
constexpr std::size_t kMinHeadBytes = 3;
constexpr std::size_t kMaxCompoundBytes = 80;

bool CharacterBoundary(std::string_view word, std::size_t at) {
  return at == word.size() || (static_cast<unsigned char>(word[at]) & 0xC0) != 0x80;
}

}  // namespace

std::string EnglishPlural(std::string phrase) {
  if (phrase.empty() || phrase.ends_with('s')) return phrase;
  if (phrase.ends_with('y') && phrase.size() > 1 &&
      std::string_view("aeiou").find(phrase[phrase.size() - 2]) == std::string_view::npos) {
    phrase.pop_back();
    return phrase + "ies";
  }
  if (phrase.ends_with('x') || phrase.ends_with("ch") || phrase.ends_with("sh"))
    return phrase + "es";
  return phrase + "s";
}

std::optional<Dictionary::Compound> Dictionary::TranslateCompound(std::string_view word) const {
  if (word.size() < kMinModifierBytes + kMinHeadBytes || word.size() > kMaxCompoundBytes) {
    return std::nullopt;
  }
  // "Rot-Grün-Blau-Farbsystem": each part on its own, the hyphens kept; a part
  // nothing is known of stays as it is.
  if (const auto hyphen = word.find('-'); hyphen != std::string_view::npos) {
    Compound joined;
    bool any = false;
    for (std::size_t start = 0; start <= word.size();) {
      const std::size_t end = std::min(word.find('-', start), word.size());
      const std::string_view piece = word.substr(start, end - start);
      std::string english(piece);
      // A part with a case ending the dictionary does not list: the dative plural's
      // "n" ("Debian-Systemen": "Systeme"), the genitive's "s" or "es".
      // A singular found without the "n" was a plural ("Routinen": "routines").
      bool plural = false;
      const auto lookUp = [&]() -> std::optional<Candidate> {
        if (piece.empty()) return std::nullopt;
        if (auto found = Find(IndexTable::GermanToEnglish, piece)) return found;
        for (const std::string_view ending : {"n", "s", "es"}) {
          if (piece.size() > ending.size() + 3 && piece.ends_with(ending)) {
            if (auto found = Find(IndexTable::GermanToEnglish,
                                  piece.substr(0, piece.size() - ending.size()))) {
              plural = ending == "n" && IsNounKind(found->kind) && found->kind != Kind::Plural;
              return found;
            }
          }
        }
        return std::nullopt;
      };
      if (std::optional<Candidate> known = lookUp()) {
        english = plural ? EnglishPlural(std::string(known->translation))
                         : std::string(known->translation);
        joined.kind = known->kind;
        any = true;
      } else if (auto inner = piece.find('-') == std::string_view::npos && !piece.empty()
                                  ? TranslateCompound(piece)
                                  : std::nullopt) {
        english = std::move(inner->english);
        joined.kind = inner->kind;
        any = true;
      }
      if (start > 0) joined.english += '-';
      joined.english += english;
      start = end + 1;
    }
    if (!any) return std::nullopt;
    return joined;
  }
  // A compound is a noun: written with a capital. A word the dictionary knows once
  // a case or plural ending is gone ("Netzwerks") is no compound; the grammar finds
  // its base form.
  if (!StartsUpper(word)) return std::nullopt;
  for (const std::string_view ending : {"s", "es", "n", "en", "e", "er", "ern"}) {
    if (word.ends_with(ending) &&
        Find(IndexTable::GermanToEnglish, word.substr(0, word.size() - ending.size())))
      return std::nullopt;
  }
  // A part as a noun first ("bereich" is "Bereich"), else as it is written.
  const auto part = [&](std::string_view text) -> std::optional<Candidate> {
    if (text.empty() || text.find('-') != std::string_view::npos) return std::nullopt;
    return Find(IndexTable::GermanToEnglish, CapitalizeFirst(FoldCase(text)));
  };
  // A modifier may also drop its noun's final "e" ("Farbprofil": Farbe + Profil); that
  // noun comes before a word of another kind ("Sprachdatei": Sprache, not "sprach").
  const auto modifier = [&](std::string_view text) -> std::optional<Candidate> {
    std::optional<Candidate> found = part(text);
    if ((found && IsNounKind(found->kind)) || text.ends_with('e')) return found;
    std::optional<Candidate> withE = part(std::string(text) + "e");
    return withE && IsNounKind(withE->kind) ? withE : found;
  };
  // best[i]: the fewest modifiers that cover word[0, i), with where the last one
  // started and its linking element, so that the split can be read back.
  struct Cover {
    int parts = std::numeric_limits<int>::max();
    std::size_t from = 0;
    std::size_t partEnd = 0;  // end of the part, before its linking element
  };
  std::vector<Cover> best(word.size() + 1);
  best[0].parts = 0;
  for (std::size_t start = 0; start < word.size(); ++start) {
    if (best[start].parts == std::numeric_limits<int>::max() || !CharacterBoundary(word, start))
      continue;
    for (std::size_t end = start + kMinModifierBytes; end + kMinHeadBytes <= word.size(); ++end) {
      if (!CharacterBoundary(word, end) || !modifier(word.substr(start, end - start))) continue;
      for (const std::string_view link : kLinkingElements) {
        if (word.compare(end, link.size(), link) != 0 ||
            !Links(word.substr(start, end - start), link))
          continue;
        const std::size_t next = end + link.size();
        if (best[start].parts + 1 < best[next].parts)
          best[next] = {best[start].parts + 1, start, end};
      }
    }
  }
  // The head: a rest after a cover that the dictionary knows, as written or without an
  // ending. Of the splits with the fewest parts, the one with the longest modifiers
  // ("Datenbank|verbindungen", not "Daten|bankverbindungen").
  std::size_t chosenStart = 0;
  std::optional<Candidate> head = std::nullopt;
  bool plural = false;
  for (std::size_t headStart = 1; headStart + kMinHeadBytes <= word.size(); ++headStart) {
    if (best[headStart].parts == std::numeric_limits<int>::max()) continue;
    if (head && best[headStart].parts > best[chosenStart].parts) continue;
    const std::string_view rest = word.substr(headStart);
    for (const auto& [ending, endingIsPlural] : kHeadEndings) {
      if (!rest.ends_with(ending) || rest.size() - ending.size() < kMinHeadBytes) continue;
      std::optional<Candidate> found = part(rest.substr(0, rest.size() - ending.size()));
      // An adverb or a preposition ends no compound noun ("Rechnernamens" is no
      // "Rechner" + "namens").
      if (!found || found->kind == Kind::Adverb || found->kind == Kind::Preposition) continue;
      if (!head || best[headStart].parts <= best[chosenStart].parts) {
        chosenStart = headStart;
        head = found;
        plural = endingIsPlural;
      }
      break;
    }
  }
  if (!head) return std::nullopt;
  Compound compound;
  compound.kind = head->kind;
  // Only a noun takes the English plural ("Einstellungen": settings).
  const bool noun = IsNounKind(head->kind) && head->kind != Kind::Plural;
  compound.english = plural && noun ? EnglishPlural(std::string(head->translation))
                                    : std::string(head->translation);
  if (plural && noun) compound.kind = Kind::Plural;
  for (std::size_t at = chosenStart; at > 0; at = best[at].from) {
    std::optional<Candidate> first =
        modifier(word.substr(best[at].from, best[at].partEnd - best[at].from));
    compound.english = std::string(first->translation) + " " + compound.english;
  }
  return compound;
}

}  // namespace parlumo::service
