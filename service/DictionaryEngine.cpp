#include "DictionaryEngine.h"

#include <fstream>

#include "runtime/Ascii.h"

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
    if (c == '{' || c == '[' || c == '(') {
      ++depth;
      continue;
    }
    if (c == '}' || c == ']' || c == ')') {
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
  while (!out.empty() && out.back() == ' ')
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

std::string_view WithoutTo(std::string_view term) {
  return term.starts_with("to ") ? term.substr(3) : term;
}

bool IsWordByte(unsigned char c, std::string_view text, std::size_t i) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  if (c >= 0x80) {
    // General punctuation (U+2000 to U+206F: dashes, typographic quotes) is not part
    // of a word; every other non-ASCII character is taken as a letter.
    const std::size_t start = [&] {
      std::size_t s = i;
      while (s > 0 && (static_cast<unsigned char>(text[s]) & 0xC0) == 0x80)
        --s;
      return s;
    }();
    if (static_cast<unsigned char>(text[start]) == 0xE2 && start + 1 < text.size() &&
        (static_cast<unsigned char>(text[start + 1]) == 0x80 ||
         static_cast<unsigned char>(text[start + 1]) == 0x81)) {
      return false;
    }
    return true;
  }
  return false;
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

// The commonest function words. The dictionary lists them mostly inside phrases and
// examples, where the ranking above would pick a rare sense; these take precedence.
constexpr std::pair<std::string_view, std::string_view> kEnglishFunctionWords[] = {
    {"the", "der"},      {"a", "ein"},      {"an", "ein"},      {"is", "ist"},
    {"are", "sind"},     {"was", "war"},    {"were", "waren"},  {"be", "sein"},
    {"been", "gewesen"}, {"have", "haben"}, {"has", "hat"},     {"had", "hatte"},
    {"and", "und"},      {"or", "oder"},    {"but", "aber"},    {"in", "in"},
    {"on", "auf"},       {"at", "an"},      {"of", "von"},      {"to", "zu"},
    {"for", "für"},      {"with", "mit"},   {"from", "von"},    {"by", "von"},
    {"not", "nicht"},    {"no", "nein"},    {"yes", "ja"},      {"i", "ich"},
    {"you", "du"},       {"he", "er"},      {"she", "sie"},     {"it", "es"},
    {"we", "wir"},       {"they", "sie"},   {"my", "mein"},     {"your", "dein"},
    {"his", "sein"},     {"her", "ihr"},    {"our", "unser"},   {"their", "ihr"},
    {"this", "dies"},    {"that", "das"},   {"these", "diese"}, {"those", "jene"},
    {"very", "sehr"},    {"there", "dort"}, {"here", "hier"},   {"where", "wo"},
    {"when", "wann"},    {"what", "was"},   {"who", "wer"},     {"how", "wie"},
    {"why", "warum"},    {"can", "kann"},   {"will", "wird"},   {"would", "würde"},
    {"do", "tun"},       {"does", "tut"},   {"did", "tat"},     {"all", "alle"},
    {"some", "einige"},  {"many", "viele"}, {"much", "viel"},   {"more", "mehr"},
    {"also", "auch"},    {"only", "nur"},   {"if", "wenn"},     {"because", "weil"},
    {"than", "als"},     {"into", "in"},    {"out", "aus"},     {"about", "über"},
    {"after", "nach"},   {"before", "vor"}, {"over", "über"},   {"under", "unter"},
    {"again", "wieder"}, {"today", "heute"}};
constexpr std::pair<std::string_view, std::string_view> kGermanFunctionWords[] = {
    {"der", "the"},      {"die", "the"},      {"das", "the"},     {"den", "the"},
    {"dem", "the"},      {"des", "of the"},   {"ein", "a"},       {"eine", "a"},
    {"einen", "a"},      {"einem", "a"},      {"einer", "a"},     {"ist", "is"},
    {"sind", "are"},     {"war", "was"},      {"waren", "were"},  {"bin", "am"},
    {"bist", "are"},     {"hat", "has"},      {"haben", "have"},  {"habe", "have"},
    {"und", "and"},      {"oder", "or"},      {"aber", "but"},    {"im", "in the"},
    {"in", "in"},        {"auf", "on"},       {"an", "at"},       {"am", "at the"},
    {"von", "of"},       {"vom", "from the"}, {"zu", "to"},       {"zum", "to the"},
    {"zur", "to the"},   {"für", "for"},      {"mit", "with"},    {"nicht", "not"},
    {"ich", "I"},        {"du", "you"},       {"er", "he"},       {"sie", "she"},
    {"es", "it"},        {"wir", "we"},       {"ihr", "you"},     {"mein", "my"},
    {"sehr", "very"},    {"auch", "also"},    {"nur", "only"},    {"wenn", "if"},
    {"weil", "because"}, {"als", "as"},       {"wie", "how"},     {"was", "what"},
    {"wer", "who"},      {"wo", "where"},     {"heute", "today"}, {"hier", "here"},
    {"dort", "there"},   {"kein", "no"},      {"keine", "no"},    {"nach", "after"}};

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

void Dictionary::Add(Index& index, std::string key, std::string translation, std::int64_t rank) {
  auto [it, inserted] = index.try_emplace(std::move(key));
  if (inserted || rank < it->second.rank) {
    it->second.translation = std::move(translation);
    it->second.rank = rank;
  }
}

std::optional<Dictionary> Dictionary::Load(std::istream& in, const std::atomic<bool>* cancel) {
  std::string content;
  in.seekg(0, std::ios::end);
  const auto size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size > 0) {
    content.resize(static_cast<std::size_t>(size));
    in.read(content.data(), size);
    content.resize(static_cast<std::size_t>(in.gcount()));
  }
  Dictionary dictionary;
  dictionary.germanToEnglish_.reserve(std::size_t{1} << 19);
  dictionary.englishToGerman_.reserve(std::size_t{1} << 19);
  std::vector<std::string_view> sides, german, english, germanTerms, englishTerms;
  std::int64_t lineNumber = 0;
  std::string_view rest = content;
  while (!rest.empty()) {
    const auto newline = rest.find('\n');
    const std::string_view line = rest.substr(0, newline);
    rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);
    ++lineNumber;
    if ((lineNumber & 0x3FF) == 0 && cancel != nullptr && cancel->load()) return std::nullopt;
    if (line.empty() || line[0] == '#') continue;
    Split(line, " :: ", sides);
    if (sides.size() != 2) continue;
    Split(sides[0], " | ", german);
    Split(sides[1], " | ", english);
    if (german.size() != english.size()) continue;
    // Ranking: the head word before its forms and examples, the first synonym
    // before later ones, and of two entries the richer one (common words have
    // many forms and examples), then the earlier line.
    const std::int64_t richness = 63 - std::min<std::int64_t>(63, std::ssize(german));
    for (std::size_t sub = 0; sub < german.size(); ++sub) {
      Split(german[sub], "; ", germanTerms);
      Split(english[sub], "; ", englishTerms);
      const std::string germanFirst = ChooseTranslation(germanTerms);
      const std::string englishFirst(WithoutTo(ChooseTranslation(englishTerms)));
      if (germanFirst.empty() || englishFirst.empty()) continue;
      const auto rankOf = [&](std::size_t synonym) {
        const auto subRank = static_cast<std::int64_t>(std::min<std::size_t>(sub, 1));
        return (((subRank * 64 + static_cast<std::int64_t>(std::min<std::size_t>(synonym, 63))) *
                     64 +
                 richness)
                << 24) +
               lineNumber;
      };
      for (std::size_t s = 0; s < germanTerms.size(); ++s) {
        if (!ShortEnough(germanTerms[s])) continue;
        const std::string term = CleanTerm(TrimBlanks(germanTerms[s]));
        if (UsableKey(term)) {
          dictionary.Add(dictionary.germanToEnglish_, FoldCase(term), englishFirst, rankOf(s));
        }
      }
      for (std::size_t s = 0; s < englishTerms.size(); ++s) {
        if (!ShortEnough(englishTerms[s])) continue;
        const std::string term = CleanTerm(TrimBlanks(englishTerms[s]));
        if (!UsableKey(term)) continue;
        dictionary.Add(dictionary.englishToGerman_, FoldCase(term), germanFirst, rankOf(s));
        if (term.starts_with("to ")) {
          dictionary.Add(dictionary.englishToGerman_, FoldCase(WithoutTo(term)), germanFirst,
                         rankOf(s) + (std::int64_t{1} << 40));
        }
      }
    }
  }
  if (dictionary.germanToEnglish_.empty()) return std::nullopt;
  for (const auto& [englishWord, germanWord] : kEnglishFunctionWords) {
    dictionary.Add(dictionary.englishToGerman_, FoldCase(englishWord), std::string(germanWord), -1);
  }
  for (const auto& [germanWord, englishWord] : kGermanFunctionWords) {
    dictionary.Add(dictionary.germanToEnglish_, FoldCase(germanWord), std::string(englishWord), -1);
  }
  return dictionary;
}

std::optional<Dictionary> Dictionary::LoadFile(const std::string& path,
                                               const std::atomic<bool>* cancel) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  return Load(in, cancel);
}

std::optional<std::string_view> Dictionary::Lookup(std::string_view phrase,
                                                   Direction direction) const {
  const Index& index = IndexFor(direction);
  const auto it = index.find(FoldCase(phrase));
  if (it == index.end()) return std::nullopt;
  return std::string_view(it->second.translation);
}

std::string Dictionary::Translate(std::string_view text, Direction direction) const {
  struct Word {
    std::size_t begin;
    std::size_t end;
  };
  std::vector<Word> words;
  for (std::size_t i = 0; i < text.size();) {
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
    words.push_back({begin, i});
  }

  std::string out;
  std::size_t copied = 0;
  bool sentenceStart = true;
  const auto noteSeparator = [&](std::string_view separator) {
    for (const char c : separator) {
      if (c == '.' || c == '!' || c == '?' || c == ':' || c == '\n') sentenceStart = true;
    }
  };
  for (std::size_t w = 0; w < words.size();) {
    const std::string_view before = text.substr(copied, words[w].begin - copied);
    out += before;
    noteSeparator(before);
    std::size_t taken = 0;
    std::optional<std::string_view> translation;
    std::string phrase;
    for (std::size_t n = std::min<std::size_t>(kMaxPhraseWords, words.size() - w); n >= 1; --n) {
      phrase.clear();
      bool oneLine = true;
      for (std::size_t k = 0; k < n; ++k) {
        if (k > 0) {
          const std::string_view gap =
              text.substr(words[w + k - 1].end, words[w + k].begin - words[w + k - 1].end);
          if (gap.empty() || gap.find_first_not_of(" \t") != std::string_view::npos) {
            oneLine = false;
            break;
          }
          phrase += ' ';
        }
        phrase += text.substr(words[w + k].begin, words[w + k].end - words[w + k].begin);
      }
      if (!oneLine) continue;
      translation = Lookup(phrase, direction);
      if (translation) {
        taken = n;
        break;
      }
    }
    const std::string_view source = text.substr(words[w].begin, words[w].end - words[w].begin);
    if (translation) {
      std::string replacement(*translation);
      if (sentenceStart && StartsUpper(source)) replacement = CapitalizeFirst(replacement);
      out += replacement;
      copied = words[w + taken - 1].end;
      w += taken;
    } else {
      out += source;
      copied = words[w].end;
      ++w;
    }
    sentenceStart = false;
  }
  out += text.substr(copied);
  return out;
}

std::optional<std::vector<std::string>> DictionaryTranslator::Translate(
    const std::vector<std::string>& segments) {
  const std::shared_ptr<const Dictionary> dictionary = dictionary_.get();
  if (!dictionary) return std::nullopt;
  std::vector<std::string> out;
  out.reserve(segments.size());
  for (const auto& segment : segments)
    out.push_back(dictionary->Translate(segment, direction_));
  return out;
}

std::string DictionaryTranslator::Description() const {
  return direction_ == Dictionary::Direction::GermanToEnglish
             ? "ding dictionary (German to English, longest phrase first)"
             : "ding dictionary (English to German, longest phrase first)";
}

}  // namespace parlumo::service
