#include "translate/FailureMessages.h"

#include <gtest/gtest.h>

#include <string>

#include "text/LanguageText.h"

namespace parlumo {
namespace {

// What the user is told for each failure, in both interface languages: the
// caption, a part of the text, and whether the box offers the home page.
TEST(FailureMessagesTest, EachFailureHasItsMessage) {
  const struct {
    TranslateFailure failure;
    int textKey;
    const char* englishCaption;
    const char* germanCaption;
    bool offersHomePage;
  } cases[] = {
      {TranslateFailure::ConnectionFailed, 604, "No connection to server",
       "Keine Verbindung zum Server", false},
      {TranslateFailure::NotTranslated, 608, "Text could not be translated",
       "Text konnte nicht übersetzt werden", false},
      {TranslateFailure::UnknownDataFormat, 606, "Unknown dataformat from server",
       "Unbekanntes Datenformat vom Server", true},
      {TranslateFailure::TextTooLarge, 624, "Text too large", "Text zu groß", false},
  };
  ASSERT_EQ(FailureMessages().size(), std::size(cases)) << "a failure class without a case";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.englishCaption);
    const TFailureMessage& message = FailureMessageOf(c.failure);
    EXPECT_EQ(message.failure, c.failure);
    EXPECT_EQ(message.textKey, c.textKey);
    EXPECT_EQ(message.offersHomePage, c.offersHomePage);
    EXPECT_EQ(LanguageText(kUILanguageEnglish, message.textKey + 1), c.englishCaption);
    EXPECT_EQ(LanguageText(kUILanguageGerman, message.textKey + 1), c.germanCaption);
    for (const int language : {kUILanguageEnglish, kUILanguageGerman}) {
      const std::string text = LanguageText(language, message.textKey);
      EXPECT_NE(text, kNoTranslationResource) << language;
      EXPECT_NE(text, LanguageText(language, message.textKey + 1)) << language;
    }
    // A box that offers the home page asks a question the user answers.
    if (c.offersHomePage) {
      EXPECT_NE(LanguageText(kUILanguageEnglish, message.textKey).find("?"), std::string::npos);
    }
  }
  // Each class has exactly one row.
  for (const auto& c : cases) {
    int rows = 0;
    for (const TFailureMessage& message : FailureMessages())
      rows += message.failure == c.failure;
    EXPECT_EQ(rows, 1) << c.englishCaption;
  }
}

}  // namespace
}  // namespace parlumo
