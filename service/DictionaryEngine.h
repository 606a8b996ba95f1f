#pragma once

#include <atomic>
#include <cstdint>
#include <future>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Engine.h"

namespace parlumo::service {

// The German-English dictionary of the ding project (one entry a line:
// "German side :: English side", each side a " | "-separated list of sub-entries that
// correspond one to one, each sub-entry a "; "-separated list of synonyms, with
// annotations in {} [] () and //), loaded once into an index for each direction.
class Dictionary {
 public:
  enum class Direction { GermanToEnglish, EnglishToGerman };

  // Reads the dictionary; nothing when the stream holds no entry or when *cancel
  // turns true while it reads (the service is stopping).
  static std::optional<Dictionary> Load(std::istream& in,
                                        const std::atomic<bool>* cancel = nullptr);
  static std::optional<Dictionary> LoadFile(const std::string& path,
                                            const std::atomic<bool>* cancel = nullptr);

  // The translation of a phrase (words separated by single spaces), compared
  // without regard to the case of its letters, or nothing.
  std::optional<std::string_view> Lookup(std::string_view phrase, Direction direction) const;

  // Translates text word by word, always taking the longest phrase (up to
  // kMaxPhraseWords words on one line) that the dictionary knows at each place.
  // Unknown words, punctuation, white space and line breaks stay as they are; a
  // translation at the start of the text or of a sentence starts with a capital.
  std::string Translate(std::string_view text, Direction direction) const;

  static constexpr int kMaxPhraseWords = 4;

 private:
  struct Candidate {
    std::string translation;
    std::int64_t rank = 0;  // smaller is better
  };
  using Index = std::unordered_map<std::string, Candidate>;

  void Add(Index& index, std::string key, std::string translation, std::int64_t rank);
  const Index& IndexFor(Direction direction) const {
    return direction == Direction::GermanToEnglish ? germanToEnglish_ : englishToGerman_;
  }

  Index germanToEnglish_;
  Index englishToGerman_;
};

// Lower-cases ASCII letters and the capital letters of Latin-1 (À to Þ) in UTF-8.
std::string FoldCase(std::string_view text);

// Translation of one direction with the dictionary, which a background thread may
// still be loading: the first request waits for it.
class DictionaryTranslator final : public Translator {
 public:
  DictionaryTranslator(std::shared_future<std::shared_ptr<const Dictionary>> dictionary,
                       Dictionary::Direction direction)
      : dictionary_(std::move(dictionary)), direction_(direction) {}

  std::optional<std::vector<std::string>> Translate(
      const std::vector<std::string>& segments) override;
  std::string Description() const override;

 private:
  std::shared_future<std::shared_ptr<const Dictionary>> dictionary_;
  Dictionary::Direction direction_;
};

}  // namespace parlumo::service
