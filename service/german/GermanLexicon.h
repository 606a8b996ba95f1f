#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parlumo::service {

// The closed classes of German and English that the dictionary engine does not take
// from the dictionary: auxiliary and modal verbs, pronouns, articles, prepositions and
// the other function words. Each word stands in one table here; every list the engine
// needs is read from these tables: the conjugation of an auxiliary, the finite forms
// the grammar recognises, the words a phrase lookup must leave to the grammar, and the
// reading of a function word that takes precedence over the dictionary's ranking.

// How an English verb behaves beside its subject and an infinitive at the end.
enum class VerbClass {
  Full,     // do-support for "not" and questions
  Be,       // am/is/are, "not" after it
  Have,     // has/have, and was for the passive: a participle at the end joins it
  Modal,    // can/must/should/may/will + infinitive
  ModalTo,  // want/would like + "to" + infinitive
};

// Persons in the order of the conjugation tables: ich, du, er/sie/es, wir, ihr, sie.
inline constexpr int kPersons = 6;

// A German verb whose present tense no rule gives (the auxiliaries, the modals and a
// few others), or a past or conditional that the grammar uses as a verb of its own
// ("war", "würde"): then `infinitive` is its first form.
struct ClosedVerb {
  std::string_view infinitive;
  std::array<std::string_view, kPersons> forms;
  std::string_view english;  // its English base form ("be", "would like")
  VerbClass verbClass;       // how that English verb behaves
  // Its forms are left to the grammar word by word (IsClosedGermanWord); false for a
  // verb here only for a construction ("es gibt") whose forms stand in the
  // dictionary's phrases too ("bekannt geben").
  bool closed = true;
};
std::span<const ClosedVerb> ClosedVerbs();
const ClosedVerb* FindClosedVerb(std::string_view infinitive);

// A finite form of a closed verb: the verb, and the first person that has the form
// ("kann" is ich, "sind" is wir).
struct ClosedFinite {
  const ClosedVerb* verb = nullptr;
  int person = 0;
  bool Plural() const { return person >= 3; }
};
std::optional<ClosedFinite> FindClosedFinite(std::string_view form);

// An English auxiliary or verb the grammar conjugates itself, with the closed German
// verb it becomes; `modal` when an infinitive that follows goes to the end of the
// clause.
struct EnglishAuxiliary {
  std::string_view word;
  std::string_view german;  // a ClosedVerb's infinitive
  bool modal;
  // The closed German verb it becomes before a past participle, which then goes to
  // the end ("was removed": "wurde ... entfernt"); empty when it takes none.
  std::string_view withParticiple = {};
};
std::span<const EnglishAuxiliary> EnglishAuxiliaries();

// A German personal pronoun in the nominative, with its English subject form.
struct GermanPronoun {
  std::string_view word;
  std::string_view english;
  int person;
};
std::span<const GermanPronoun> GermanPronouns();

// What a function word is; the classes the grammar treats word by word are closed to
// phrase lookups (see IsClosedGermanWord).
enum class WordClass {
  Article,        // der, ein, kein (every case)
  Possessive,     // mein, dein, ... (every case)
  Demonstrative,  // dieser, jeder
  Pronoun,        // object pronouns: mich, ihm, ...
  Particle,       // nicht, gern: they steer the verb
  Numeral,        // zwei, drei, ...
  Preposition,    // with the contractions of preposition and article
  Conjunction,
  Adverb,
  Question,      // wer, was, wo, ...
  Interjection,  // ja, bitte, danke
  Verb,          // English verb forms only (the German ones come from ClosedVerbs)
};

// A function word with its reading in the other language. `german` and `english` may
// be empty where the word reads one way only.
struct FunctionWord {
  std::string_view german;
  std::string_view english;
  WordClass wordClass;
  unsigned uses;  // kGermanReading, kEnglishReading or both
};
// `english` is the reading of the German word.
inline constexpr unsigned kGermanReading = 1;
// `german` is the reading of the English word.
inline constexpr unsigned kEnglishReading = 2;
std::span<const FunctionWord> FunctionWords();

// The English readings of German closed-class words: the function words, the
// personal pronouns and every finite form of the closed verbs ("bin": "am"). One
// reading a word.
const std::vector<std::pair<std::string_view, std::string>>& GermanReadings();
// The German readings of English function words ("the": "der"). One reading a word.
const std::vector<std::pair<std::string_view, std::string_view>>& EnglishReadings();

// The English reading of a German function word that is not a verb form, or nothing.
std::optional<std::string_view> FunctionWordReading(std::string_view german);

// Whether a German word belongs to a class the grammar works with word by word: a
// personal pronoun, a form of a closed verb, an article, possessive or demonstrative,
// a particle or a numeral. A phrase of the dictionary that starts or ends with one is
// not looked up as a whole.
bool IsClosedGermanWord(std::string_view word);

// The past participle of an English verb from its base form ("play": "played",
// "see": "seen").
std::string EnglishParticiple(std::string_view base);
// The base forms a word is the past participle of, best first ("stopped": "stopp",
// "stop"; "seen": "see"); empty when it can be none. The caller keeps the first that
// is a verb.
std::vector<std::string> EnglishParticipleBases(std::string_view participle);

// The English verb in the form its subject needs, from its base form ("play" ->
// "plays", "be" -> "am"/"is"/"are", "was" -> "was"/"were"); the words after the first
// stay ("would like").
std::string EnglishVerb(std::string_view base, int person);

}  // namespace parlumo::service
