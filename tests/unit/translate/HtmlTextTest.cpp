#include "translate/HtmlText.h"

#include <gtest/gtest.h>

#include <string>

namespace parlumo {
namespace {

struct Conversion {
  std::string html;
  std::string text;
};

// Expected UTF-8 as given by Python's html.unescape, and by chr(n).encode() for the
// code points that html.unescape remaps (U+0080 to U+009F) or drops (noncharacters),
// which are decoded here as the plain code point.
TEST(HtmlToTextTest, DecodesCharacterReferences) {
  const Conversion cases[] = {
      {"&amp;", "&"},
      {"&lt;&gt;&quot;&apos;", "<>\"'"},
      {"&nbsp;", "\xC2\xA0"},
      {"&auml;&ouml;&uuml;&Auml;&Ouml;&Uuml;&szlig;",
       "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x84\xC3\x96\xC3\x9C\xC3\x9F"},
      {"&eacute;&egrave;&agrave;&ccedil;&ecirc;&euml;&iuml;",
       "\xC3\xA9\xC3\xA8\xC3\xA0\xC3\xA7\xC3\xAA\xC3\xAB\xC3\xAF"},
      {"&ntilde;&aacute;&iacute;&oacute;&uacute;&Ntilde;",
       "\xC3\xB1\xC3\xA1\xC3\xAD\xC3\xB3\xC3\xBA\xC3\x91"},
      {"&atilde;&otilde;&acirc;&ocirc;&ucirc;&icirc;&Ccedil;",
       "\xC3\xA3\xC3\xB5\xC3\xA2\xC3\xB4\xC3\xBB\xC3\xAE\xC3\x87"},
      {"&iquest;&iexcl;&ordm;&ordf;&yuml;", "\xC2\xBF\xC2\xA1\xC2\xBA\xC2\xAA\xC3\xBF"},
      {"&laquo;x&raquo;", "\xC2\xABx\xC2\xBB"},
      {"&hellip;&ndash;&mdash;&euro;", "\xE2\x80\xA6\xE2\x80\x93\xE2\x80\x94\xE2\x82\xAC"},
      {"&bdquo;&ldquo;&rdquo;&lsquo;&rsquo;&OElig;&oelig;",
       "\xE2\x80\x9E\xE2\x80\x9C\xE2\x80\x9D\xE2\x80\x98\xE2\x80\x99\xC5\x92\xC5\x93"},
      {"&#228;&#xE4;&#XE4;&#x00e4;", "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"},
      {"&#65;&#x41;&#0065;", "AAA"},
      {"&#8364;", "\xE2\x82\xAC"},
      {"&#x1F600;", "\xF0\x9F\x98\x80"},
      {"&#x10FFFF;", "\xF4\x8F\xBF\xBF"},
      {"&#xFFFF;", "\xEF\xBF\xBF"},
      {"&#x7F;&#x80;&#x7FF;&#x800;", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80"},
      // Invalid numeric references give U+FFFD.
      {"&#0;", "\xEF\xBF\xBD"},
      {"&#x0;", "\xEF\xBF\xBD"},
      {"&#xD800;&#xDFFF;", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"&#x110000;", "\xEF\xBF\xBD"},
      {"&#1114112;", "\xEF\xBF\xBD"},
      {"&#99999999999999999999999;", "\xEF\xBF\xBD"},
      {"&#xFFFFFFFFFFFFFFFFFF;", "\xEF\xBF\xBD"},
      // Unknown or unterminated references stay as they are.
      {"&foo;", "&foo;"},
      {"&amp", "&amp"},
      {"&amp x", "&amp x"},
      {"&", "&"},
      {"a & b", "a & b"},
      {"&;", "&;"},
      {"&#;", "&#;"},
      {"&#x;", "&#x;"},
      {"&#12a;", "&#12a;"},
      {"&#x12g;", "&#x12g;"},
      {"&#65", "&#65"},
      {"&AUML;", "&AUML;"},
      {"&thetasymx;", "&thetasymx;"},
      {"&&amp;;", "&&;"},
      // No second decoding.
      {"&amp;lt;", "&lt;"},
      {"&amp;#65;", "&#65;"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HtmlToText(c.html), c.text) << c.html;
}

TEST(HtmlToTextTest, LineBreaksAndTags) {
  const Conversion cases[] = {
      {"a<br>b", "a\nb"},
      {"a<br/>b<br />c<BR >d<Br\n>e", "a\nb\nc\nd\ne"},
      {"a<br class=\"x\">b", "a\nb"},
      {"a</br>b", "a\nb"},
      {"a<br><br>b", "a\n\nb"},
      {"<b>fett</b> und <i>kursiv</i>", "fett und kursiv"},
      {"<bra>x<brx/>y", "xy"},
      {"<span title=\"a > b\" class='c>d'>Hallo</span>", "Hallo"},
      {"a<!-- <br> -->b", "ab"},
      {"<!DOCTYPE html>x", "x"},
      {"<?xml version=\"1.0\"?>x", "x"},
      {"a<b>&amp;</b>c", "a&c"},
      // Entities inside a tag go with the tag.
      {"<a title=\"&lt;br&gt;\">x</a>", "x"},
      // What does not open a tag, or is never closed, is text.
      {"a < b", "a < b"},
      {"3<4 and 5>4", "3<4 and 5>4"},
      {"x<>y", "x<>y"},
      {"x</>y", "x</>y"},
      {"a <b", "a <b"},
      {"a<", "a<"},
      {"a <!-- open", "a <!-- open"},
      {"<i title=\"x>y", "y"},
      // White space is kept as it is.
      {"  a\r\n\tb  ", "  a\r\n\tb  "},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HtmlToText(c.html), c.text) << c.html;
}

}  // namespace
}  // namespace parlumo
