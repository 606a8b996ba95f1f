#include "GermanMorphology.h"

#include <fstream>
#include <sstream>

#include "runtime/Utf8.h"

namespace parlumo::service {

namespace {

// The rule groups kept: A inflects adjectives, I and X give the present tense.
constexpr std::string_view kKeptFlags = "AIX";
// The flag of a word that may begin a compound ("Seiten", "Farb", "Abschnitts"): its
// group only marks the word, so the word list keeps it and the rules do not.
constexpr char kCompoundBegin = 'j';

// The code points of UTF-8 text. A byte that starts no valid sequence stands for
// itself, so that two different stray bytes never match each other.
std::u32string Decode(std::string_view s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) {
    char32_t cp = 0;
    const std::size_t length = DecodeUtf8(s, i, cp);
    out += length == 0 ? static_cast<char32_t>(static_cast<unsigned char>(s[i])) : cp;
    i += length == 0 ? 1 : length;
  }
  return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
      ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t')
      ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

}  // namespace

std::optional<GermanMorphology> GermanMorphology::WithWords(
    std::istream& affix, std::shared_ptr<const IndexImage> image) {
  GermanMorphology morphology;
  std::string line;
  while (std::getline(affix, line)) {
    const auto fields = Fields(line);
    // "SFX <flag> <strip> <add> <condition>"; the group's header has "Y"/"N" and a count.
    if (fields.size() < 5 || fields[0] != "SFX" || fields[1].size() != 1) continue;
    if (kKeptFlags.find(fields[1][0]) == std::string_view::npos) continue;
    Rule rule;
    rule.flag = fields[1][0];
    rule.strip = fields[2] == "0" ? std::string() : std::string(fields[2]);
    rule.add = fields[3] == "0" ? std::string() : std::string(fields[3]);
    const std::u32string condition = Decode(fields[4]);
    for (std::size_t i = 0; i < condition.size(); ++i) {
      Rule::Position position;
      if (condition[i] == U'[') {
        const auto close = condition.find(U']', i);
        if (close == std::u32string::npos) break;
        std::size_t from = i + 1;
        if (from < close && condition[from] == U'^') {
          position.negated = true;
          ++from;
        }
        position.chars = condition.substr(from, close - from);
        i = close;
      } else if (condition[i] == U'.') {
        position.negated = true;  // excludes nothing: any character
      } else {
        position.chars = condition.substr(i, 1);
      }
      rule.condition.push_back(std::move(position));
    }
    morphology.rules_.push_back(std::move(rule));
  }
  if (morphology.rules_.empty() || !image || image->Rows(IndexTable::WordFlags) == 0)
    return std::nullopt;
  morphology.words_ = std::move(image);
  return morphology;
}

bool GermanMorphology::BuildWords(std::istream& words, IndexWriter& writer) {
  std::string line;
  std::unordered_map<std::string, std::string> flags;  // word -> its kept flags
  bool first = true;
  while (std::getline(words, line)) {
    if (first) {  // the word count
      first = false;
      continue;
    }
    if (line.empty() || line[0] == '\t' || line[0] == '#') continue;
    const auto slash = line.find('/');
    if (slash == std::string::npos) continue;
    std::string kept;
    for (std::size_t i = slash + 1; i < line.size(); ++i) {
      if (kKeptFlags.find(line[i]) != std::string_view::npos || line[i] == kCompoundBegin)
        kept += line[i];
    }
    if (kept.empty()) continue;
    auto& wordFlags = flags[line.substr(0, slash)];
    for (const char flag : kept) {
      if (wordFlags.find(flag) == std::string::npos) wordFlags += flag;
    }
  }
  if (flags.empty()) return false;
  std::vector<PairRow> rows;
  rows.reserve(flags.size());
  for (const auto& [word, kept] : flags)
    rows.push_back(PairRow{.key = writer.Text(word), .value = writer.Text(kept)});
  writer.AddTable(IndexTable::WordFlags, rows);
  return true;
}

std::optional<GermanMorphology> GermanMorphology::Load(std::istream& affix, std::istream& words) {
  IndexWriter writer;
  if (!BuildWords(words, writer)) return std::nullopt;
  return WithWords(affix, IndexImage::FromBytes(writer.Finish({})));
}

std::optional<GermanMorphology> GermanMorphology::LoadFiles(const std::string& affixPath,
                                                            const std::string& wordPath) {
  std::ifstream affix(affixPath);
  std::ifstream words(wordPath);
  if (!affix || !words) return std::nullopt;
  return Load(affix, words);
}

bool GermanMorphology::Matches(const Rule& rule, std::string_view base) const {
  if (!base.ends_with(rule.strip)) return false;
  const std::u32string chars = Decode(base);
  if (chars.size() < rule.condition.size()) return false;
  const std::size_t offset = chars.size() - rule.condition.size();
  for (std::size_t i = 0; i < rule.condition.size(); ++i) {
    const auto& position = rule.condition[i];
    const bool listed = position.chars.find(chars[offset + i]) != std::u32string::npos;
    if (listed == position.negated) return false;
  }
  return true;
}

bool GermanMorphology::HasFlag(std::string_view word, char flag) const {
  const auto row = words_->Find<PairRow>(IndexTable::WordFlags, word);
  return row && words_->Text(row->value).find(flag) != std::string_view::npos;
}

std::string GermanMorphology::Adjective(std::string_view adjective, std::string_view ending) const {
  if (HasFlag(adjective, 'A')) {
    for (const auto& rule : rules_) {
      // The word list's conditions leave one rule for each ending ("dunkel" + "e"
      // is "dunkle", "teuer" + "e" is "teure").
      if (rule.flag != 'A' || !rule.add.ends_with(ending)) continue;
      if (!Matches(rule, adjective)) continue;
      return std::string(adjective.substr(0, adjective.size() - rule.strip.size())) + rule.add;
    }
  }
  // Adjectives ending in "e" ("leise", "müde") take only the rest of the ending.
  if (adjective.ends_with('e') && ending.starts_with('e'))
    return std::string(adjective) + std::string(ending.substr(1));
  return std::string(adjective) + std::string(ending);
}

std::optional<std::string> GermanMorphology::VerbForm(std::string_view infinitive,
                                                      std::string_view ending) const {
  for (const char flag : {'X', 'I'}) {
    if (!HasFlag(infinitive, flag)) continue;
    for (const auto& rule : rules_) {
      if (rule.flag != flag || !Matches(rule, infinitive)) continue;
      const std::string form =
          std::string(infinitive.substr(0, infinitive.size() - rule.strip.size())) + rule.add;
      // "e" forms end in e, "st" forms in st, "t" forms in t but not st (unless the
      // stem itself ends in s: "reist").
      if (!form.ends_with(ending)) continue;
      if (ending == "t" && form.ends_with("st") && rule.add.ends_with("st")) continue;
      if (form == infinitive) continue;
      return form;
    }
  }
  return std::nullopt;
}

std::optional<std::string> GermanMorphology::BaseForm(std::string_view form, bool verbsOnly) const {
  for (const auto& rule : rules_) {
    if (verbsOnly && rule.flag == 'A') continue;
    if (!form.ends_with(rule.add) || form.size() <= rule.add.size()) continue;
    const std::string base =
        std::string(form.substr(0, form.size() - rule.add.size())) + rule.strip;
    if (base == form || !HasFlag(base, rule.flag) || !Matches(rule, base)) continue;
    return base;
  }
  return std::nullopt;
}

std::string GermanMorphology::CompoundModifier(std::string_view noun) const {
  const std::string word(noun);
  const bool finalE = word.ends_with('e');
  const std::string withoutE = finalE ? word.substr(0, word.size() - 1) : std::string();
  for (const std::string& form :
       {word, word + "s", word + "n", word + "en", word + "es", withoutE, withoutE + "s"}) {
    if (!form.empty() && HasFlag(form, kCompoundBegin)) return form;
  }
  if (finalE) return word + "n";
  for (std::string_view ending : {"ung", "heit", "keit", "schaft", "ion", "tät"}) {
    if (word.ends_with(ending)) return word + "s";
  }
  return word;
}

}  // namespace parlumo::service
