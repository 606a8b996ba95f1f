#include "translate/LanguagePairs.h"

#include <gtest/gtest.h>

#include <string>

namespace parlumo {
namespace {

TEST(LanguagePairsTest, TableInItsFixedOrder) {
  const char* const codes[] = {"en|de", "de|en", "fr|de", "de|fr", "en|fr", "en|it",
                               "en|pt", "en|es", "fr|en", "it|en", "pt|en", "es|en"};
  ASSERT_EQ(kLanguagePairCount, 12);
  for (int i = 0; i < kLanguagePairCount; ++i) {
    EXPECT_EQ(LanguagePairCode(i), codes[i]) << i;
    EXPECT_EQ(LanguagePairNameKey(i), 500 + i) << i;
    EXPECT_EQ(LanguagePairIndex(codes[i]), i) << codes[i];
  }
}

TEST(LanguagePairsTest, IndexOutsideTheTableMeansEnglishGerman) {
  for (const int index : {-1, -5, 12, 13, 1000}) {
    EXPECT_FALSE(IsLanguagePairIndex(index)) << index;
    EXPECT_EQ(LanguagePairCode(index), "en|de") << index;
    EXPECT_EQ(LanguagePairNameKey(index), 500) << index;
  }
  EXPECT_EQ(LanguagePairCode(7), "en|es");
  EXPECT_EQ(LanguagePairNameKey(7), 507);
}

TEST(LanguagePairsTest, UnknownCodeHasNoIndex) {
  for (const char* code :
       {"", "en", "en|", "de|es", "EN|DE", "en|de ", " en|de", "en/de", "es|de"}) {
    EXPECT_EQ(LanguagePairIndex(code), -1) << code;
  }
}

}  // namespace
}  // namespace parlumo
