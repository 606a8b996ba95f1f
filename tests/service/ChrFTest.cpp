#include "ChrF.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace parlumo::service {
namespace {

TEST(ChrFTest, ScoresCharacterNGramsWithRecallWeighted) {
  const struct {
    std::vector<std::string_view> translations;
    std::vector<std::string_view> references;
    double expected;
    const char* why;
  } cases[] = {
      {{"Das Haus ist groß."}, {"Das Haus ist groß."}, 100, "identical"},
      {{"Das  Haus\tist groß."}, {"Das Haus ist groß."}, 100, "white space does not count"},
      {{"xyz"}, {"abc"}, 0, "nothing shared"},
      // n=1: P 2/2, R 2/3, F 0.714; n=2: P 1/1, R 1/2, F 0.556; n>2: no n-grams in
      // the translation, the order does not count.
      {{"ab"}, {"abc"}, 100 * (10.0 / 14 + 2.5 / 4.5) / 2, "recall weighs more"},
      // The same when the precision and recall are swapped: precision weighs less.
      {{"abc"}, {"ab"}, 100 * (10.0 / 11 + 2.5 / 3) / 2, "precision weighs less"},
      // "ü" is one character: one unigram shared out of two each.
      {{"üx"}, {"üy"}, 100 * 0.5 / 2, "characters, not bytes"},
      // Counts pool over the corpus: one sentence right and one empty is not 50.
      {{"abcd", ""}, {"abcd", "abcd"}, 100 * 5 * 0.5 / 4.5, "pooled counts"},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(CorpusChrF(c.translations, c.references), c.expected, 1e-9) << c.why;
  }
}

TEST(ChrFTest, NeedsOneReferenceForEachTranslation) {
  EXPECT_THROW(CorpusChrF({"a"}, {"a", "b"}), std::invalid_argument);
}

}  // namespace
}  // namespace parlumo::service
