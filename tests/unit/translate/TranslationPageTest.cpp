#include "translate/TranslationPage.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace parlumo {
namespace {

const std::string kSignature = "<a href=\"/faq_translation.html\">FAQ</a>";
const std::string kMarker = "id=result_box dir=\"ltr\">";

struct PageCase {
  const char* name;
  std::string page;
  std::optional<TranslateFailure> failure;  // nothing: success with text
  std::string text;
};

TEST(ExtractTranslationTest, PageOutcomes) {
  const PageCase cases[] = {
      {"result page", "<html>" + kSignature + "<div " + kMarker + "Hallo Welt</div></html>",
       std::nullopt, "Hallo Welt"},
      {"signature after the result", "<div " + kMarker + "Hallo</div>" + kSignature, std::nullopt,
       "Hallo"},
      {"marker without signature", "<div " + kMarker + "Hallo</div>",
       TranslateFailure::NotTranslated, ""},
      {"empty page", "", TranslateFailure::NotTranslated, ""},
      {"signature in other case", "/FAQ_translation.html <div " + kMarker + "Hallo</div>",
       TranslateFailure::NotTranslated, ""},
      {"signature without marker", kSignature + "<div id=result_box>Hallo</div>",
       TranslateFailure::UnknownDataFormat, ""},
      {"marker in capitals", kSignature + "<DIV ID=RESULT_BOX DIR=\"LTR\">Hallo</DIV>",
       std::nullopt, "Hallo"},
      {"two markers in a row", kSignature + kMarker + kMarker + "Hallo</div>",
       TranslateFailure::UnknownDataFormat, ""},
      {"marker last in page", kSignature + "<div " + kMarker, TranslateFailure::UnknownDataFormat,
       ""},
      {"end marker at once", kSignature + kMarker + "</div>rest", std::nullopt, ""},
      {"end marker at once, page ends", kSignature + kMarker + "</div>", std::nullopt, ""},
      {"no end marker: to the end of the page", kSignature + kMarker + "Hallo Welt", std::nullopt,
       "Hallo Welt"},
      {"result stops at a second marker", kSignature + kMarker + "eins" + kMarker + "zwei",
       std::nullopt, "eins"},
      {"first of two results", kSignature + kMarker + "eins</div>" + kMarker + "zwei</div>",
       std::nullopt, "eins"},
      {"marker with an encoded quote is not the marker",
       kSignature + "id=result_box dir=&quot;ltr&quot;>Hallo</div>",
       TranslateFailure::UnknownDataFormat, ""},
      {"entities decoded",
       kSignature + kMarker + "&quot;Gro&szlig;&quot; &amp; gr&#252;n&#xDF;</div>", std::nullopt,
       "\"Gro\xC3\x9F\" & gr\xC3\xBCn\xC3\x9F"},
      {"an encoded end marker is text", kSignature + kMarker + "a&lt;/div&gt;b</div>", std::nullopt,
       "a</div>b"},
      {"line break tags", kSignature + kMarker + "Zeile 1<br>Zeile 2<BR/>Zeile 3</div>",
       std::nullopt, "Zeile 1\nZeile 2\nZeile 3"},
      {"inner tags dropped, white space kept",
       kSignature + kMarker + " <span title=\"Hello\">Hallo</span>  Welt \n</div>", std::nullopt,
       " Hallo  Welt \n"},
  };
  for (const auto& c : cases) {
    const TranslateOutcome outcome = ExtractTranslation(c.page);
    EXPECT_EQ(outcome.Failure(), c.failure) << c.name;
    EXPECT_EQ(outcome.Succeeded(), !c.failure.has_value()) << c.name;
    EXPECT_EQ(outcome.Text(), c.text) << c.name;
  }
}

// The caller's splitter is made case-insensitive whatever it was, and keeps the end
// marker as its divider.
TEST(ExtractTranslationTest, UsesTheCallersSplitter) {
  TParser parser;
  parser.SetCaseSensitive(true);
  parser.SetDividingString("x");
  const auto outcome =
      ExtractTranslation(kSignature + "<DIV ID=RESULT_BOX DIR=\"LTR\">Hallo</DIV>", parser);
  EXPECT_EQ(outcome.Text(), "Hallo");
  EXPECT_FALSE(parser.CaseSensitive());
  EXPECT_EQ(parser.DividingString(), "</div>");
}

TEST(TranslateOutcomeTest, FailureHasNoText) {
  const auto failed = TranslateOutcome::Failed(TranslateFailure::ConnectionFailed);
  EXPECT_FALSE(failed.Succeeded());
  EXPECT_EQ(failed.Failure(), TranslateFailure::ConnectionFailed);
  EXPECT_EQ(failed.Text(), "");
}

struct BodyCase {
  std::string text;
  int pair;
  std::string body;
};

TEST(BuildRequestBodyTest, FormEncodesTextAndPair) {
  const BodyCase cases[] = {
      {"a&b", 0, "text=a%26b&langpair=en%7Cde&ie=UTF-8&oe=UTF-8"},
      {"Hello world", 0, "text=Hello+world&langpair=en%7Cde&ie=UTF-8&oe=UTF-8"},
      {"", 1, "text=&langpair=de%7Cen&ie=UTF-8&oe=UTF-8"},
      {"a=b+c%d", 7, "text=a%3Db%2Bc%25d&langpair=en%7Ces&ie=UTF-8&oe=UTF-8"},
      {"Zeile\r\nzwei\n", 1, "text=Zeile%0D%0Azwei%0A&langpair=de%7Cen&ie=UTF-8&oe=UTF-8"},
      {"Gr\xC3\xBC\xC3\x9Fr \xE2\x82\xAC", 1,
       "text=Gr%C3%BC%C3%9Fr+%E2%82%AC&langpair=de%7Cen&ie=UTF-8&oe=UTF-8"},
      {"AZaz09*-._", 11, "text=AZaz09*-._&langpair=es%7Cen&ie=UTF-8&oe=UTF-8"},
      {"~!'()/?#[]@:;,$\"<>\\^`{}|\t", 2,
       "text=%7E%21%27%28%29%2F%3F%23%5B%5D%40%3A%3B%2C%24%22%3C%3E%5C%5E%60%7B%7D%7C%09"
       "&langpair=fr%7Cde&ie=UTF-8&oe=UTF-8"},
      {std::string("\0\x7F\xFF", 3), 3, "text=%00%7F%FF&langpair=de%7Cfr&ie=UTF-8&oe=UTF-8"},
      {"x", -1, "text=x&langpair=en%7Cde&ie=UTF-8&oe=UTF-8"},
      {"x", 12, "text=x&langpair=en%7Cde&ie=UTF-8&oe=UTF-8"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BuildRequestBody(c.text, c.pair), c.body) << c.text;
}

}  // namespace
}  // namespace parlumo
