// The closed-class lexicon of the German engine: its tables agree with one another,
// and the lists read from them give one reading a word.

#include "GermanLexicon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <string_view>

namespace parlumo::service {
namespace {

TEST(GermanLexiconTest, EveryEnglishAuxiliaryBecomesAClosedVerb) {
  for (const EnglishAuxiliary& auxiliary : EnglishAuxiliaries()) {
    EXPECT_NE(FindClosedVerb(auxiliary.german), nullptr) << auxiliary.word;
  }
}

// Two rows that read the same word differently would make the engine's choice depend
// on their order.
TEST(GermanLexiconTest, FunctionWordsReadOneWayEach) {
  std::map<std::string_view, std::string_view> germanReading;
  std::map<std::string_view, std::string_view> englishReading;
  for (const FunctionWord& word : FunctionWords()) {
    if ((word.uses & kGermanReading) != 0) {
      const auto [it, added] = germanReading.emplace(word.german, word.english);
      EXPECT_TRUE(added || it->second == word.english) << word.german;
      // A closed verb's forms read from its own table.
      EXPECT_FALSE(FindClosedFinite(word.german)) << word.german;
    }
    if ((word.uses & kEnglishReading) != 0) {
      const auto [it, added] = englishReading.emplace(word.english, word.german);
      EXPECT_TRUE(added || it->second == word.german) << word.english;
    }
  }
  for (const auto& [german, english] : GermanReadings()) {
    EXPECT_EQ(std::count_if(GermanReadings().begin(), GermanReadings().end(),
                            [&](const auto& other) { return other.first == german; }),
              1)
        << german;
  }
}

TEST(GermanLexiconTest, ReadingsOfGermanWords) {
  const struct {
    std::string_view german;
    std::string_view english;
  } cases[] = {
      // Finite forms of the closed verbs in their person.
      {"bin", "am"},
      {"hat", "has"},
      {"waren", "were"},
      {"möchte", "would like"},
      // Function words.
      {"nach", "to"},
      {"am", "at the"},
      {"meinem", "my"},
      {"ich", "I"},
  };
  for (const auto& c : cases) {
    const auto it = std::find_if(GermanReadings().begin(), GermanReadings().end(),
                                 [&](const auto& entry) { return entry.first == c.german; });
    ASSERT_NE(it, GermanReadings().end()) << c.german;
    EXPECT_EQ(it->second, c.english) << c.german;
  }
  // A form of a verb that is closed only for its construction reads from the
  // dictionary.
  EXPECT_TRUE(std::none_of(GermanReadings().begin(), GermanReadings().end(),
                           [](const auto& entry) { return entry.first == "gibt"; }));
}

TEST(GermanLexiconTest, FiniteForms) {
  const struct {
    std::string_view form;
    std::string_view infinitive;
    int person;
  } cases[] = {
      {"kann", "können", 0},  {"sind", "sein", 3},  {"seid", "sein", 4}, {"tut", "tun", 2},
      {"hätten", "hätte", 3}, {"gibt", "geben", 2}, {"wart", "war", 4},  {"will", "wollen", 0},
  };
  for (const auto& c : cases) {
    const auto finite = FindClosedFinite(c.form);
    ASSERT_TRUE(finite) << c.form;
    EXPECT_EQ(finite->verb->infinitive, c.infinitive) << c.form;
    EXPECT_EQ(finite->person, c.person) << c.form;
    EXPECT_EQ(finite->Plural(), c.person >= 3) << c.form;
  }
  EXPECT_FALSE(FindClosedFinite("spielt"));
  EXPECT_FALSE(FindClosedFinite("Haus"));
}

TEST(GermanLexiconTest, ClosedWords) {
  for (std::string_view word : {"ich", "man", "bin", "hätte", "werdet", "meinem", "dieser", "des",
                                "nicht", "gerne", "zwei"}) {
    EXPECT_TRUE(IsClosedGermanWord(word)) << word;
  }
  // Open words, interjections, and the forms of a verb closed only for "es gibt".
  for (std::string_view word : {"haus", "spielen", "bitte", "danke", "gibt", "geben", "in"}) {
    EXPECT_FALSE(IsClosedGermanWord(word)) << word;
  }
}

TEST(GermanLexiconTest, EnglishVerbForms) {
  const struct {
    std::string_view base;
    int person;
    std::string_view form;
  } cases[] = {
      {"be", 0, "am"},
      {"be", 1, "are"},
      {"be", 2, "is"},
      {"was", 2, "was"},
      {"was", 3, "were"},
      {"have", 2, "has"},
      {"play", 2, "plays"},
      {"study", 2, "studies"},
      {"play", 5, "play"},
      {"go", 2, "goes"},
      {"watch", 2, "watches"},
      {"can", 2, "can"},
      {"would like", 2, "would like"},
      {"like to", 2, "likes to"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EnglishVerb(c.base, c.person), c.form) << c.base << " " << c.person;
  }
}

}  // namespace
}  // namespace parlumo::service
