#include "translate/Parser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ParserModel.h"

namespace parlumo {
namespace {

using Pieces = std::vector<std::string>;

Pieces Split(std::string_view text, std::string divider, bool caseSensitive) {
  TParser parser;
  parser.SetDividingString(std::move(divider));
  parser.SetCaseSensitive(caseSensitive);
  parser.Parse(text);
  return parser.Pieces();
}

TEST(TParserTest, StartsEmptyAndCaseInsensitive) {
  TParser parser;
  EXPECT_FALSE(parser.CaseSensitive());
  EXPECT_EQ(parser.DividingString(), "");
  EXPECT_TRUE(parser.Pieces().empty());
}

struct SplitCase {
  const char* name;
  std::string divider;
  bool caseSensitive;
  std::string text;
  Pieces expected;
};

TEST(TParserTest, SplitsAsTheRulesSay) {
  const SplitCase cases[] = {
      {"empty text", "|", false, "", {}},
      {"empty text, empty divider", "", false, "", {}},
      {"no divider in text", "|", false, "abc", {"abc"}},
      {"empty divider never matches", "", false, "a|b", {"a|b"}},
      {"leading divider", "|", false, "|a", {"", "a"}},
      {"trailing divider kept no empty piece", "|", false, "a|b|", {"a", "b"}},
      {"adjacent dividers", "|", false, "a||b", {"a", "", "b"}},
      {"only the divider", "|", false, "|", {""}},
      {"only dividers", "|", true, "|||", {"", "", ""}},
      {"occurrences do not overlap", "aa", true, "aaaaa", {"", "", "a"}},
      {"false start before a match", "a|", true, "aaa|b", {"aa", "b"}},
      {"longer divider", "</div>", true, "x</div>y</div>z", {"x", "y", "z"}},
      {"capitals match without case", "</div>", false, "x</DIV>y</Div>z", {"x", "y", "z"}},
      {"capitals do not match with case", "</div>", true, "x</DIV>y</div>z", {"x</DIV>y", "z"}},
      {"capital divider, small text", "</DIV>", false, "x</div>y", {"x", "y"}},
      {"pieces keep their case", "</div>", false, "AbC</dIv>dEf", {"AbC", "dEf"}},
      {"divider with non-letters folds only letters", "[X]", false, "a[x]b", {"a", "b"}},
      {"@ is not the capital of `", "`", false, "a@b", {"a@b"}},
      {"[ is not the capital of {", "{", false, "a[b", {"a[b"}},
      {"^ is not the capital of ~", "~", false, "a^b~c", {"a^b", "c"}},
      // Non-ASCII letters (UTF-8 and single high bytes alike) match only in identical case.
      {"UTF-8 capital vs small", "\xC3\x84", false, "x\xC3\xA4y\xC3\x84z", {"x\xC3\xA4y", "z"}},
      {"UTF-8 small vs capital", "\xC3\xA4", false, "x\xC3\x84y", {"x\xC3\x84y"}},
      {"high byte is not folded", "\xDF", false, "x\xFFy\xDFz", {"x\xFFy", "z"}},
      {"high byte with letters", "\xE4Q", false, "1\xC4q2\xE4q3", {"1\xC4q2", "3"}},
      {"NUL bytes are ordinary", std::string("\0", 1), true, std::string("a\0b", 3), {"a", "b"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Split(c.text, c.divider, c.caseSensitive), c.expected) << c.name;
  }
}

TEST(TParserTest, ParseReplacesThePiecesOfTheLastText) {
  TParser parser;
  parser.SetDividingString("|");
  parser.Parse("a|b|c");
  parser.Parse("d");
  EXPECT_EQ(parser.Pieces(), Pieces{"d"});
  parser.Parse("");
  EXPECT_TRUE(parser.Pieces().empty());
}

// The divider, in either letter case, inserted at every position of a text that
// holds part of it; the split must fall exactly there.
TEST(TParserTest, FindsTheDividerAtEveryPosition) {
  const std::string filler = "a</di<v>/</dix";
  for (const std::string divider : {"</DIV>", "</div>"}) {
    for (std::size_t p = 0; p <= filler.size(); ++p) {
      const std::string text = filler.substr(0, p) + divider + filler.substr(p);
      Pieces expected{filler.substr(0, p)};
      if (p < filler.size()) expected.push_back(filler.substr(p));
      EXPECT_EQ(Split(text, "</div>", false), expected) << text;
    }
  }
}

TEST(TParserTest, FindsTwoDividersAtEveryPairOfPositions) {
  const std::string filler = "<</d/<di";
  for (std::size_t p = 0; p <= filler.size(); ++p) {
    for (std::size_t q = p; q <= filler.size(); ++q) {
      const std::string text =
          filler.substr(0, p) + "</d>" + filler.substr(p, q - p) + "</D>" + filler.substr(q);
      Pieces expected{filler.substr(0, p), filler.substr(p, q - p)};
      if (q < filler.size()) expected.push_back(filler.substr(q));
      EXPECT_EQ(Split(text, "</d>", false), expected) << text;
      // With case, the capital second divider is text of the second piece.
      Pieces exact{filler.substr(0, p), filler.substr(p, q - p) + "</D>" + filler.substr(q)};
      EXPECT_EQ(Split(text, "</d>", true), exact) << text;
    }
  }
}

// A divider cut off at every length never matches, wherever it stands.
TEST(TParserTest, PartialDividerIsText) {
  const std::string divider = "</div>";
  for (std::size_t length = 1; length < divider.size(); ++length) {
    for (std::size_t p = 0; p <= 6; ++p) {
      const std::string text =
          std::string("abcdef").insert(p, divider.substr(0, length)) + divider + "z";
      const std::string before = text.substr(0, text.size() - divider.size() - 1);
      EXPECT_EQ(Split(text, divider, false), (Pieces{before, "z"})) << text;
    }
  }
}

// Many generated texts over a tiny alphabet, so that dividers, near-dividers and
// case variants meet in every arrangement, compared with the plain model.
TEST(TParserTest, AgreesWithTheReferenceModel) {
  const std::string alphabet = "aA|<>/dD\xC4\xE4";
  const std::string dividers[] = {"|", "a|", "</d>", "A", "aa", "|A|", "", "\xC4", "D>"};
  std::uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 16;
  };
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const std::size_t length = next() % 24;
    for (std::size_t i = 0; i < length; ++i)
      text += alphabet[next() % alphabet.size()];
    const std::string& divider = dividers[next() % std::size(dividers)];
    const bool caseSensitive = (next() & 1) != 0;
    ASSERT_EQ(Split(text, divider, caseSensitive),
              test::ReferenceSplit(text, divider, caseSensitive))
        << "text '" << text << "' divider '" << divider << "' case " << caseSensitive;
  }
}

}  // namespace
}  // namespace parlumo
