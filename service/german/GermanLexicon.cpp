#include "GermanLexicon.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace parlumo::service {

namespace {

constexpr int kFirstSingular = 0;
constexpr int kThirdSingular = 2;

constexpr ClosedVerb kClosedVerbs[] = {
    {"sein", {"bin", "bist", "ist", "sind", "seid", "sind"}, "be", VerbClass::Be},
    {"haben", {"habe", "hast", "hat", "haben", "habt", "haben"}, "have", VerbClass::Have},
    {"werden", {"werde", "wirst", "wird", "werden", "werdet", "werden"}, "will", VerbClass::Modal},
    {"können", {"kann", "kannst", "kann", "können", "könnt", "können"}, "can", VerbClass::Modal},
    {"müssen", {"muss", "musst", "muss", "müssen", "müsst", "müssen"}, "must", VerbClass::Modal},
    {"wollen", {"will", "willst", "will", "wollen", "wollt", "wollen"}, "want", VerbClass::ModalTo},
    {"sollen", {"soll", "sollst", "soll", "sollen", "sollt", "sollen"}, "should", VerbClass::Modal},
    {"dürfen", {"darf", "darfst", "darf", "dürfen", "dürft", "dürfen"}, "may", VerbClass::Modal},
    {"mögen", {"mag", "magst", "mag", "mögen", "mögt", "mögen"}, "like", VerbClass::Full},
    {"möchten",
     {"möchte", "möchtest", "möchte", "möchten", "möchtet", "möchten"},
     "would like",
     VerbClass::ModalTo},
    {"wissen", {"weiß", "weißt", "weiß", "wissen", "wisst", "wissen"}, "know", VerbClass::Full},
    {"tun", {"tue", "tust", "tut", "tun", "tut", "tun"}, "do", VerbClass::Full},
    {"geben", {"gebe", "gibst", "gibt", "geben", "gebt", "geben"}, "give", VerbClass::Full, false},
    // The past of "sein" and "haben", and the conditional forms used for "would",
    // "should", "could" and "would have".
    {"war", {"war", "warst", "war", "waren", "wart", "waren"}, "was", VerbClass::Be},
    {"hatte", {"hatte", "hattest", "hatte", "hatten", "hattet", "hatten"}, "had", VerbClass::Have},
    {"würde",
     {"würde", "würdest", "würde", "würden", "würdet", "würden"},
     "would",
     VerbClass::Modal},
    {"sollte",
     {"sollte", "solltest", "sollte", "sollten", "solltet", "sollten"},
     "should",
     VerbClass::Modal},
    {"könnte",
     {"könnte", "könntest", "könnte", "könnten", "könntet", "könnten"},
     "could",
     VerbClass::Modal},
    {"hätte",
     {"hätte", "hättest", "hätte", "hätten", "hättet", "hätten"},
     "would have",
     VerbClass::Modal},
    // The past of the modals: "konnte nicht geöffnet werden", "could not be opened".
    {"konnte",
     {"konnte", "konntest", "konnte", "konnten", "konntet", "konnten"},
     "could",
     VerbClass::Modal},
    {"musste",
     {"musste", "musstest", "musste", "mussten", "musstet", "mussten"},
     "had",
     VerbClass::ModalTo},
    {"wollte",
     {"wollte", "wolltest", "wollte", "wollten", "wolltet", "wollten"},
     "wanted",
     VerbClass::ModalTo},
    // The past of "werden", the auxiliary of the passive: "wurde entfernt".
    {"wurde", {"wurde", "wurdest", "wurde", "wurden", "wurdet", "wurden"}, "was", VerbClass::Have},
};

constexpr EnglishAuxiliary kEnglishAuxiliaries[] = {
    // "is registered": "ist registriert"; "was removed": "wurde entfernt". "want" is
    // the polite "möchten" of the manuals ("wenn Sie ... ändern möchten").
    {"am", "sein", false, "sein"},    {"is", "sein", false, "sein"},
    {"are", "sein", false, "sein"},   {"was", "war", false, "wurde"},
    {"were", "war", false, "wurde"},  {"have", "haben", false, "haben"},
    {"has", "haben", false, "haben"}, {"had", "hatte", false, "hatte"},
    {"can", "können", true},          {"could", "könnte", true},
    {"must", "müssen", true},         {"will", "werden", true},
    {"shall", "werden", true},        {"should", "sollte", true},
    {"may", "dürfen", true},          {"would", "würde", true},
    {"want", "möchten", false},       {"wants", "möchten", false},
    {"know", "wissen", false},        {"knows", "wissen", false},
    {"like", "mögen", false},         {"likes", "mögen", false}};

constexpr GermanPronoun kGermanPronouns[] = {
    {"ich", "I", 0}, {"du", "you", 1}, {"er", "he", 2},   {"sie", "she", 2},
    {"es", "it", 2}, {"wir", "we", 3}, {"ihr", "you", 4}, {"man", "one", 2},
};

constexpr unsigned kBoth = kGermanReading | kEnglishReading;
using W = WordClass;

constexpr FunctionWord kFunctionWords[] = {
    // Articles: "the" reads "der", every case of it "the".
    {"der", "the", W::Article, kBoth},
    {"die", "the", W::Article, kGermanReading},
    {"das", "the", W::Article, kGermanReading},
    {"den", "the", W::Article, kGermanReading},
    {"dem", "the", W::Article, kGermanReading},
    {"des", "of the", W::Article, kGermanReading},
    {"ein", "a", W::Article, kBoth},
    {"ein", "an", W::Article, kEnglishReading},
    {"eine", "a", W::Article, kGermanReading},
    {"einen", "a", W::Article, kGermanReading},
    {"einem", "a", W::Article, kGermanReading},
    {"einer", "a", W::Article, kGermanReading},
    {"eines", "of a", W::Article, kGermanReading},
    {"kein", "no", W::Article, kGermanReading},
    {"keine", "no", W::Article, kGermanReading},
    {"keinen", "no", W::Article, kGermanReading},
    {"keinem", "no", W::Article, kGermanReading},
    {"keiner", "no", W::Article, kGermanReading},
    // Possessives in every case the dictionary does not list one by one.
    {"mein", "my", W::Possessive, kBoth},
    {"meine", "my", W::Possessive, kGermanReading},
    {"meinen", "my", W::Possessive, kGermanReading},
    {"meinem", "my", W::Possessive, kGermanReading},
    {"meiner", "my", W::Possessive, kGermanReading},
    {"dein", "your", W::Possessive, kBoth},
    {"deine", "your", W::Possessive, kGermanReading},
    {"deinen", "your", W::Possessive, kGermanReading},
    {"deinem", "your", W::Possessive, kGermanReading},
    {"deiner", "your", W::Possessive, kGermanReading},
    {"sein", "his", W::Possessive, kBoth},
    {"seine", "his", W::Possessive, kGermanReading},
    {"seinen", "his", W::Possessive, kGermanReading},
    {"seinem", "his", W::Possessive, kGermanReading},
    {"seiner", "his", W::Possessive, kGermanReading},
    // "ihr" alone is the pronoun "you" (kGermanPronouns); "her" and "their" read "ihr".
    {"ihr", "her", W::Possessive, kEnglishReading},
    {"ihr", "their", W::Possessive, kEnglishReading},
    {"ihre", "her", W::Possessive, kGermanReading},
    {"ihren", "her", W::Possessive, kGermanReading},
    {"ihrem", "her", W::Possessive, kGermanReading},
    {"ihrer", "her", W::Possessive, kGermanReading},
    {"unser", "our", W::Possessive, kBoth},
    {"unsere", "our", W::Possessive, kGermanReading},
    {"unseren", "our", W::Possessive, kGermanReading},
    {"unserem", "our", W::Possessive, kGermanReading},
    {"unserer", "our", W::Possessive, kGermanReading},
    {"euer", "your", W::Possessive, kGermanReading},
    {"eure", "your", W::Possessive, kGermanReading},
    {"euren", "your", W::Possessive, kGermanReading},
    {"eurem", "your", W::Possessive, kGermanReading},
    // Demonstratives.
    {"dies", "this", W::Demonstrative, kEnglishReading},
    {"das", "that", W::Demonstrative, kEnglishReading},
    {"diese", "these", W::Demonstrative, kEnglishReading},
    {"jene", "those", W::Demonstrative, kEnglishReading},
    {"dieser", "this", W::Demonstrative, kGermanReading},
    {"diese", "this", W::Demonstrative, kGermanReading},
    {"dieses", "this", W::Demonstrative, kGermanReading},
    {"diesen", "this", W::Demonstrative, kGermanReading},
    {"diesem", "this", W::Demonstrative, kGermanReading},
    {"jeder", "every", W::Demonstrative, kGermanReading},
    {"jede", "every", W::Demonstrative, kGermanReading},
    {"jedes", "every", W::Demonstrative, kGermanReading},
    {"jeden", "every", W::Demonstrative, kGermanReading},
    {"jedem", "every", W::Demonstrative, kGermanReading},
    // Personal pronouns: the subject forms read from kGermanPronouns; the English
    // subject forms read the German ones.
    {"ich", "i", W::Pronoun, kEnglishReading},
    {"du", "you", W::Pronoun, kEnglishReading},
    {"er", "he", W::Pronoun, kEnglishReading},
    {"sie", "she", W::Pronoun, kEnglishReading},
    {"es", "it", W::Pronoun, kEnglishReading},
    {"wir", "we", W::Pronoun, kEnglishReading},
    {"sie", "they", W::Pronoun, kEnglishReading},
    {"mich", "me", W::Pronoun, kGermanReading},
    {"mir", "me", W::Pronoun, kGermanReading},
    {"dich", "you", W::Pronoun, kGermanReading},
    {"dir", "you", W::Pronoun, kGermanReading},
    {"ihn", "him", W::Pronoun, kGermanReading},
    {"ihm", "him", W::Pronoun, kGermanReading},
    {"uns", "us", W::Pronoun, kGermanReading},
    {"euch", "you", W::Pronoun, kGermanReading},
    {"ihnen", "them", W::Pronoun, kGermanReading},
    // Particles that steer the verb.
    {"nicht", "not", W::Particle, kBoth},
    {"gern", "gladly", W::Particle, kGermanReading},
    {"gerne", "gladly", W::Particle, kGermanReading},
    // Interjections.
    {"nein", "no", W::Interjection, kEnglishReading},
    {"ja", "yes", W::Interjection, kEnglishReading},
    {"bitte", "please", W::Interjection, kGermanReading},
    {"danke", "thank you", W::Interjection, kGermanReading},
    // Numerals.
    {"zwei", "two", W::Numeral, kBoth},
    {"drei", "three", W::Numeral, kBoth},
    {"vier", "four", W::Numeral, kBoth},
    {"fünf", "five", W::Numeral, kBoth},
    {"sechs", "six", W::Numeral, kBoth},
    {"sieben", "seven", W::Numeral, kBoth},
    {"acht", "eight", W::Numeral, kBoth},
    {"neun", "nine", W::Numeral, kBoth},
    {"zehn", "ten", W::Numeral, kBoth},
    {"elf", "eleven", W::Numeral, kBoth},
    {"zwölf", "twelve", W::Numeral, kBoth},
    // Prepositions, and their contractions with the article. "nach" before a name is
    // "to" ("nach Berlin"); the grammar makes it "after" before an article.
    {"in", "in", W::Preposition, kBoth},
    {"in", "into", W::Preposition, kEnglishReading},
    {"auf", "on", W::Preposition, kBoth},
    {"an", "at", W::Preposition, kBoth},
    {"von", "of", W::Preposition, kBoth},
    {"von", "from", W::Preposition, kEnglishReading},
    {"von", "by", W::Preposition, kEnglishReading},
    {"zu", "to", W::Preposition, kBoth},
    {"für", "for", W::Preposition, kBoth},
    {"mit", "with", W::Preposition, kBoth},
    {"nach", "to", W::Preposition, kGermanReading},
    {"nach", "after", W::Preposition, kEnglishReading},
    {"vor", "before", W::Preposition, kEnglishReading},
    {"über", "about", W::Preposition, kEnglishReading},
    {"über", "over", W::Preposition, kEnglishReading},
    {"unter", "under", W::Preposition, kEnglishReading},
    {"aus", "out", W::Preposition, kEnglishReading},
    {"um", "at", W::Preposition, kGermanReading},
    {"im", "in the", W::Preposition, kGermanReading},
    {"ins", "to the", W::Preposition, kGermanReading},
    {"am", "at the", W::Preposition, kGermanReading},
    {"vom", "from the", W::Preposition, kGermanReading},
    {"zum", "to the", W::Preposition, kGermanReading},
    {"zur", "to the", W::Preposition, kGermanReading},
    {"beim", "at the", W::Preposition, kGermanReading},
    {"bei", "with", W::Preposition, kGermanReading},
    // Conjunctions.
    {"und", "and", W::Conjunction, kBoth},
    {"oder", "or", W::Conjunction, kBoth},
    {"aber", "but", W::Conjunction, kBoth},
    {"wenn", "if", W::Conjunction, kBoth},
    {"weil", "because", W::Conjunction, kBoth},
    {"als", "as", W::Conjunction, kGermanReading},
    {"als", "than", W::Conjunction, kEnglishReading},
    // Adverbs and quantifiers.
    {"sehr", "very", W::Adverb, kBoth},
    {"auch", "also", W::Adverb, kBoth},
    {"nur", "only", W::Adverb, kBoth},
    {"heute", "today", W::Adverb, kBoth},
    {"bereits", "already", W::Adverb, kBoth},
    {"hier", "here", W::Adverb, kBoth},
    {"dort", "there", W::Adverb, kBoth},
    {"wieder", "again", W::Adverb, kEnglishReading},
    {"alle", "all", W::Adverb, kBoth},
    {"allen", "all", W::Adverb, kGermanReading},
    {"einige", "some", W::Adverb, kEnglishReading},
    {"viele", "many", W::Adverb, kEnglishReading},
    {"viel", "much", W::Adverb, kEnglishReading},
    {"mehr", "more", W::Adverb, kEnglishReading},
    // Question words.
    {"wie", "how", W::Question, kBoth},
    {"was", "what", W::Question, kBoth},
    {"wer", "who", W::Question, kBoth},
    {"wo", "where", W::Question, kBoth},
    {"wann", "when", W::Question, kEnglishReading},
    {"warum", "why", W::Question, kEnglishReading},
    // English verb forms; the German ones read from kClosedVerbs.
    {"ist", "is", W::Verb, kEnglishReading},
    {"sind", "are", W::Verb, kEnglishReading},
    {"war", "was", W::Verb, kEnglishReading},
    {"waren", "were", W::Verb, kEnglishReading},
    {"sein", "be", W::Verb, kEnglishReading},
    {"gewesen", "been", W::Verb, kEnglishReading},
    {"haben", "have", W::Verb, kEnglishReading},
    {"hat", "has", W::Verb, kEnglishReading},
    {"hatte", "had", W::Verb, kEnglishReading},
    {"kann", "can", W::Verb, kEnglishReading},
    {"wird", "will", W::Verb, kEnglishReading},
    {"würde", "would", W::Verb, kEnglishReading},
    {"tun", "do", W::Verb, kEnglishReading},
    {"tut", "does", W::Verb, kEnglishReading},
    {"tat", "did", W::Verb, kEnglishReading},
};

// English verbs whose past participle takes no "-ed".
constexpr std::pair<std::string_view, std::string_view> kIrregularParticiples[] = {
    {"be", "been"},          {"become", "become"},
    {"begin", "begun"},      {"break", "broken"},
    {"bring", "brought"},    {"build", "built"},
    {"buy", "bought"},       {"choose", "chosen"},
    {"come", "come"},        {"cut", "cut"},
    {"do", "done"},          {"drink", "drunk"},
    {"drive", "driven"},     {"eat", "eaten"},
    {"fall", "fallen"},      {"feel", "felt"},
    {"find", "found"},       {"fly", "flown"},
    {"forget", "forgotten"}, {"get", "got"},
    {"give", "given"},       {"go", "gone"},
    {"grow", "grown"},       {"have", "had"},
    {"hear", "heard"},       {"hide", "hidden"},
    {"hold", "held"},        {"keep", "kept"},
    {"know", "known"},       {"leave", "left"},
    {"let", "let"},          {"lose", "lost"},
    {"make", "made"},        {"meet", "met"},
    {"occur", "occurred"},   {"prefer", "preferred"},
    {"refer", "referred"},   {"transfer", "transferred"},
    {"pay", "paid"},         {"put", "put"},
    {"read", "read"},        {"run", "run"},
    {"say", "said"},         {"see", "seen"},
    {"sell", "sold"},        {"send", "sent"},
    {"set", "set"},          {"show", "shown"},
    {"sing", "sung"},        {"sit", "sat"},
    {"sleep", "slept"},      {"speak", "spoken"},
    {"stand", "stood"},      {"steal", "stolen"},
    {"swim", "swum"},        {"take", "taken"},
    {"tell", "told"},        {"think", "thought"},
    {"throw", "thrown"},     {"understand", "understood"},
    {"wear", "worn"},        {"win", "won"},
    {"write", "written"}};

// Whether a word class is worked with word by word (see IsClosedGermanWord).
bool ClosedClass(WordClass wordClass) {
  return wordClass == W::Article || wordClass == W::Possessive || wordClass == W::Demonstrative ||
         wordClass == W::Particle || wordClass == W::Numeral;
}

}  // namespace

std::span<const ClosedVerb> ClosedVerbs() {
  return kClosedVerbs;
}

const ClosedVerb* FindClosedVerb(std::string_view infinitive) {
  for (const ClosedVerb& verb : kClosedVerbs) {
    if (verb.infinitive == infinitive) return &verb;
  }
  return nullptr;
}

std::optional<ClosedFinite> FindClosedFinite(std::string_view form) {
  for (const ClosedVerb& verb : kClosedVerbs) {
    const auto it = std::find(verb.forms.begin(), verb.forms.end(), form);
    if (it != verb.forms.end()) {
      return ClosedFinite{&verb, static_cast<int>(it - verb.forms.begin())};
    }
  }
  return std::nullopt;
}

std::span<const EnglishAuxiliary> EnglishAuxiliaries() {
  return kEnglishAuxiliaries;
}

std::span<const GermanPronoun> GermanPronouns() {
  return kGermanPronouns;
}

std::span<const FunctionWord> FunctionWords() {
  return kFunctionWords;
}

const std::vector<std::pair<std::string_view, std::string>>& GermanReadings() {
  static const auto readings = [] {
    std::vector<std::pair<std::string_view, std::string>> list;
    const auto add = [&](std::string_view german, std::string english) {
      const bool listed = std::any_of(list.begin(), list.end(),
                                      [&](const auto& entry) { return entry.first == german; });
      if (!listed) list.emplace_back(german, std::move(english));
    };
    for (const FunctionWord& word : kFunctionWords) {
      if ((word.uses & kGermanReading) != 0) add(word.german, std::string(word.english));
    }
    for (const GermanPronoun& pronoun : kGermanPronouns)
      add(pronoun.word, std::string(pronoun.english));
    for (const ClosedVerb& verb : kClosedVerbs) {
      if (!verb.closed) continue;
      for (int person = 0; person < kPersons; ++person)
        add(verb.forms[static_cast<std::size_t>(person)], EnglishVerb(verb.english, person));
    }
    return list;
  }();
  return readings;
}

const std::vector<std::pair<std::string_view, std::string_view>>& EnglishReadings() {
  static const auto readings = [] {
    std::vector<std::pair<std::string_view, std::string_view>> list;
    for (const FunctionWord& word : kFunctionWords) {
      if ((word.uses & kEnglishReading) != 0) list.emplace_back(word.english, word.german);
    }
    return list;
  }();
  return readings;
}

std::optional<std::string_view> FunctionWordReading(std::string_view german) {
  // Asked for every word of a text: a map built once (the first reading of a word).
  static const auto readings = [] {
    std::unordered_map<std::string_view, std::string_view> map;
    for (const FunctionWord& word : kFunctionWords) {
      if ((word.uses & kGermanReading) != 0) map.emplace(word.german, word.english);
    }
    return map;
  }();
  const auto it = readings.find(german);
  if (it == readings.end()) return std::nullopt;
  return it->second;
}

bool IsClosedGermanWord(std::string_view word) {
  // Asked for every phrase the lookup tries: a set built once.
  static const auto closed = [] {
    std::unordered_set<std::string_view> words;
    for (const ClosedVerb& verb : kClosedVerbs) {
      if (!verb.closed) continue;
      words.insert(verb.infinitive);
      words.insert(verb.forms.begin(), verb.forms.end());
    }
    for (const GermanPronoun& pronoun : kGermanPronouns)
      words.insert(pronoun.word);
    for (const FunctionWord& function : kFunctionWords) {
      if (ClosedClass(function.wordClass) && !function.german.empty())
        words.insert(function.german);
    }
    return words;
  }();
  return closed.contains(word);
}

std::string EnglishParticiple(std::string_view base) {
  const auto space = base.find(' ');
  const std::string_view head = base.substr(0, space);
  const std::string rest = space == std::string_view::npos ? "" : std::string(base.substr(space));
  for (const auto& [verb, participle] : kIrregularParticiples) {
    if (verb == head) return std::string(participle) + rest;
  }
  std::string word(head);
  const auto vowel = [](char c) {
    return std::string_view("aeiou").find(c) != std::string_view::npos;
  };
  if (word.ends_with('e')) {
    word += 'd';
  } else if (word.size() > 1 && word.ends_with('y') && !vowel(word[word.size() - 2])) {
    word.back() = 'i';
    word += "ed";
  } else {
    // One syllable ending in consonant, vowel, consonant doubles it ("stopped").
    const auto vowels = std::count_if(word.begin(), word.end(), vowel);
    const std::size_t n = word.size();
    if (vowels == 1 && n >= 3 && !vowel(word[n - 1]) && vowel(word[n - 2]) && !vowel(word[n - 3]) &&
        std::string_view("wxy").find(word[n - 1]) == std::string_view::npos)
      word += word.back();
    word += "ed";
  }
  return word + rest;
}

std::vector<std::string> EnglishParticipleBases(std::string_view participle) {
  std::vector<std::string> bases;
  for (const auto& [verb, form] : kIrregularParticiples) {
    if (form == participle) bases.emplace_back(verb);
  }
  const std::string word(participle);
  if (word.size() > 4 && word.ends_with("ied"))
    bases.push_back(word.substr(0, word.size() - 3) + "y");
  if (word.size() > 3 && word.ends_with("ed")) {
    bases.push_back(word.substr(0, word.size() - 1));  // "removed"
    bases.push_back(word.substr(0, word.size() - 2));  // "played"
    if (word.size() > 4 && word[word.size() - 3] == word[word.size() - 4])
      bases.push_back(word.substr(0, word.size() - 3));  // "stopped"
  }
  return bases;
}

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
       {"can", "must", "should", "may", "will", "would", "had", "could", "might", "wanted"}) {
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

}  // namespace parlumo::service
