// The parts of parlumo-service that need no engine process: the Apertium stream
// format, form and charset decoding, the dictionary's longest-phrase translation, the page
// rewriting, the maker's update pages and the names the service answers to.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "ApertiumStream.h"
#include "DictionaryEngine.h"
#include "FormData.h"
#include "PageFetch.h"
#include "PageTranslation.h"
#include "Pages.h"
#include "RequestPolicy.h"

namespace parlumo::service {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// What the pipeline is sent: reserved characters, control characters and over-long
// words held back as numbered superblanks, everything else as it is.
TEST(ApertiumStreamTest, HeldBackRunsStandAsNumberedSuperblanks) {
  const std::string longWord(kMaxEngineWordBytes + 1, 'x');
  const std::string longestWord(kMaxEngineWordBytes, 'x');
  struct Case {
    std::string text;
    std::string input;
    std::vector<std::string> held;
  };
  const Case cases[] = {
      {"the house", "the house", {}},
      {"house ^", "house [0]", {"^"}},
      {"a/b <c> $", "a[0]b [1]c[2] [3]", {"/", "<", ">", "$"}},
      {"x ~*#@\\[]{} y", "x [0] y", {"~*#@\\[]{}"}},
      {"a\x01\x7F\rb\tc\nd", "a[0]b\tc\nd", {"\x01\x7F\r"}},
      {"\xC3\xBC ber", "\xC3\xBC ber", {}},
      {"go " + longWord + " now", "go [0] now", {longWord}},
      {longestWord, longestWord, {}},
      // A long word next to reserved characters is held back with them, whole.
      {"<" + longWord + ">", "[0]", {"<" + longWord + ">"}},
      {"", "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto segment = ToApertiumStream(c.text);
    EXPECT_EQ(segment.input, c.input);
    EXPECT_EQ(segment.held, c.held);
    EXPECT_EQ(segment.pieces.size(), c.held.size() + 1);
  }
}

// The engine's answer made plain: superblanks put back wherever the words moved,
// the engines' marks gone; an answer that lost, doubled or reordered a superblank
// is refused so that the caller can translate the pieces alone.
TEST(ApertiumStreamTest, AnswersGetTheirHeldBackRunsBack) {
  const std::vector<std::string> held = {"^", "<b>"};
  struct Case {
    std::string output;
    std::optional<std::string> text;
  };
  const Case cases[] = {
      {"La [0]casa[1] grande", "La ^casa<b> grande"},
      {"*house #casa @x [0][1]", "house casa x ^<b>"},
      {"a \\^ b [0] [1]", "a ^ b ^ <b>"},
      {"[0]\\<prn\\>[1] x\\<n\\>\\<sg\\>", "^<b> x"},
      {"[0]", std::nullopt},
      {"[1] [0]", std::nullopt},
      {"[0] [0] [1]", std::nullopt},
      {"[0] [1] [2]", std::nullopt},
      {"[0] [x] [1]", std::nullopt},
      {"[0] [1", std::nullopt},
      {"[0] ] [1]", std::nullopt},
      {"[] [0] [1]", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output);
    EXPECT_EQ(FromApertiumStream(c.output, held), c.text);
  }
}

// Long input goes to a pipeline in parts: after a sentence's end where the window
// holds one, else after its last blank; a run without blanks stays whole.
TEST(ApertiumStreamTest, LongInputIsSplitAfterBlanks) {
  struct Case {
    std::string input;
    std::size_t max;
    std::vector<std::string> parts;
  };
  const Case cases[] = {
      {"short", 10, {"short"}},
      {"aa bb. cc dd ee", 10, {"aa bb. ", "cc dd ee"}},
      {"aa bb cc dd ee", 10, {"aa bb cc ", "dd ee"}},
      {"aaaaaaaaaaaa bb", 10, {"aaaaaaaaaaaa ", "bb"}},
      {"aaaaaaaaaaaaaa", 10, {"aaaaaaaaaaaaaa"}},
      {"a [0] [12]b c [3]", 8, {"a [0] ", "[12]b c ", "[3]"}},
      {"", 10, {""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const auto parts = SplitEngineInput(c.input, c.max);
    EXPECT_EQ(std::vector<std::string>(parts.begin(), parts.end()), c.parts);
  }
}

TEST(FormDataTest, PercentDecoding) {
  struct Case {
    std::string_view in;
    std::optional<std::string> out;
  };
  const Case cases[] = {
      {"a+b", "a b"},
      {"%41%62", "Ab"},
      {"%c3%bc", "\xC3\xBC"},
      {"%7C", "|"},
      {"", ""},
      {"%", std::nullopt},
      {"%4", std::nullopt},
      {"%zz", std::nullopt},
      {"ab%4g", std::nullopt},
      {"100%", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(PercentDecode(c.in), c.out);
  }
  EXPECT_EQ(PercentDecode("a+b", false), "a+b");
}

TEST(FormDataTest, FormParsing) {
  const auto form = ParseForm("text=Hello+world&langpair=en%7Cde&&ie=UTF-8&text=second");
  ASSERT_TRUE(form);
  EXPECT_EQ(form->at("text"), "Hello world");  // the first of a repeated key counts
  EXPECT_EQ(form->at("langpair"), "en|de");
  EXPECT_EQ(form->at("ie"), "UTF-8");
  EXPECT_TRUE(ParseForm("")->empty());
  EXPECT_EQ(ParseForm("text=")->at("text"), "");
  for (std::string_view bad : {"text", "text=a&b", "text=%G0", "te%x=1"}) {
    EXPECT_FALSE(ParseForm(bad)) << bad;
  }
}

TEST(FormDataTest, CharsetNames) {
  EXPECT_EQ(CharsetByName(""), Charset::Utf8);
  EXPECT_EQ(CharsetByName("utf-8"), Charset::Utf8);
  EXPECT_EQ(CharsetByName("ASCII"), Charset::Utf8);
  EXPECT_EQ(CharsetByName("iso-8859-1"), Charset::Latin1);
  EXPECT_EQ(CharsetByName("Windows-1252"), Charset::Windows1252);
  EXPECT_EQ(CharsetByName("KOI8-R"), std::nullopt);
}

// Code points from the published Windows-1252 and ISO-8859-1 tables.
TEST(FormDataTest, SingleByteCharsetsToAndFromUtf8) {
  EXPECT_EQ(ToUtf8("\x80\x9F\xE9", Charset::Windows1252), "\xE2\x82\xAC\xC5\xB8\xC3\xA9");
  EXPECT_EQ(ToUtf8("\x80\xE9", Charset::Latin1), "\xC2\x80\xC3\xA9");
  // Invalid UTF-8 is taken as windows-1252; valid UTF-8 is kept.
  EXPECT_EQ(ToUtf8("M\xFCller \x80", Charset::Utf8), "M\xC3\xBCller \xE2\x82\xAC");
  EXPECT_EQ(ToUtf8("M\xC3\xBCller", Charset::Utf8), "M\xC3\xBCller");
  EXPECT_EQ(FromUtf8("\xE2\x82\xAC\xC3\xA9", Charset::Windows1252, true), "\x80\xE9");
  EXPECT_EQ(FromUtf8("\xE2\x82\xAC\xC3\xA9", Charset::Latin1, true), "&#8364;\xE9");
  EXPECT_EQ(FromUtf8("\xE4\xB8\xAD", Charset::Windows1252, false), "?");
}

TEST(FormDataTest, Utf8Validation) {
  EXPECT_TRUE(IsValidUtf8("abc \xC3\xBC \xE2\x82\xAC \xF0\x9F\x98\x80"));
  for (std::string_view bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC3", "\x80"}) {
    EXPECT_FALSE(IsValidUtf8(bad));
  }
}

// A few entries in the dictionary's own format.
constexpr std::string_view kDictionary =
    "# Version :: test\n"
    "Haus {n} | Häuser {pl} :: house | houses\n"
    "Hund {m} [zool.] | Hunde {pl} :: dog | dogs\n"
    "schlafen {vi} | schlafend | er/sie schläft :: to sleep | sleeping | he/she sleeps\n"
    "in {prp; +Dat.} | im Garten :: in; at | in the garden\n"
    "Garten {m} :: garden; yard [Am.]\n"
    "groß; hoch {adj} :: big; tall\n"
    "Geschlecht {n}; Familie {f} :: house\n"
    "guten Morgen :: good morning\n"
    "Straße {f} (Stadt) /Str./ :: street /St./\n";

Dictionary LoadTestDictionary() {
  std::istringstream in{std::string(kDictionary)};
  auto dictionary = Dictionary::Load(in);
  EXPECT_TRUE(dictionary);
  return std::move(*dictionary);
}

TEST(DictionaryTest, LookupUsesHeadWordsAndIgnoresAnnotationsAndCase) {
  const Dictionary d = LoadTestDictionary();
  using D = Dictionary::Direction;
  EXPECT_EQ(d.Lookup("haus", D::GermanToEnglish), "house");
  EXPECT_EQ(d.Lookup("HÄUSER", D::GermanToEnglish), "houses");
  EXPECT_EQ(d.Lookup("Straße", D::GermanToEnglish), "street");
  EXPECT_EQ(d.Lookup("hoch", D::GermanToEnglish), "big");
  // "house" is the head word of Haus, a later synonym elsewhere.
  EXPECT_EQ(d.Lookup("house", D::EnglishToGerman), "Haus");
  EXPECT_EQ(d.Lookup("sleep", D::EnglishToGerman), "schlafen");
  EXPECT_EQ(d.Lookup("sleeps", D::EnglishToGerman), "schläft");
  EXPECT_EQ(d.Lookup("yard", D::EnglishToGerman), "Garten");
  EXPECT_EQ(d.Lookup("Zorglub", D::GermanToEnglish), std::nullopt);
}

TEST(DictionaryTest, TranslationTakesTheLongestPhraseAndKeepsUnknownWords) {
  const Dictionary d = LoadTestDictionary();
  using D = Dictionary::Direction;
  EXPECT_EQ(d.Translate("Guten Morgen, Zorglub!", D::GermanToEnglish), "Good morning, Zorglub!");
  EXPECT_EQ(d.Translate("Hunde schlafen im Garten.\nHaus", D::GermanToEnglish),
            "Dogs sleep in the garden.\nHouse");
  EXPECT_EQ(d.Translate("the dog sleeps in the garden", D::EnglishToGerman),
            "der Hund schläft im Garten");
  // A phrase does not run over a line break or punctuation.
  EXPECT_EQ(d.Translate("im\nGarten", D::GermanToEnglish), "in the\nGarden");
  EXPECT_EQ(d.Translate("", D::EnglishToGerman), "");
}

// Upper-cases ASCII letters: a translator whose output shows what it was given.
class UpperCaseTranslator final : public Translator {
 public:
  std::optional<std::vector<std::string>> Translate(
      const std::vector<std::string>& segments) override {
    given = segments;
    std::vector<std::string> out = segments;
    for (auto& s : out) {
      for (char& c : s)
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return out;
  }
  std::string Description() const override { return "upper case"; }
  std::vector<std::string> given;
};

TEST(PageTranslationTest, TranslatesVisibleTextOnly) {
  UpperCaseTranslator translator;
  const std::string html =
      "<html><head><title>a title</title><script>var x = \"<b>hi</b>\";</script>"
      "<style>p{}</style></head><body class=\"x\">\n  some &amp; text <i>more\n text</i>"
      "<!-- comment --><textarea>typed</textarea> 3 &lt; 4</body></html>";
  const auto page = TranslateHtmlPage(html, "http://h/p?a=1&b=2", "<div>BANNER</div>", translator);
  ASSERT_TRUE(page);
  EXPECT_EQ(*page,
            "<html><head><base href=\"http://h/p?a=1&amp;b=2\"><title>A TITLE</title>"
            "<script>var x = \"<b>hi</b>\";</script><style>p{}</style></head>"
            "<body class=\"x\"><div>BANNER</div>\n  SOME &amp; TEXT <i>MORE TEXT</i>"
            "<!-- comment --><textarea>typed</textarea> 3 &lt; 4</body></html>");
  EXPECT_THAT(translator.given,
              ::testing::ElementsAre("a title", "some & text", "more text", "3 < 4"));
}

TEST(PageTranslationTest, FragmentWithoutHeadOrBodyAndAnExistingBase) {
  UpperCaseTranslator translator;
  EXPECT_EQ(TranslateHtmlPage("<p>hi</p>", "http://h/", "[B]", translator),
            "<base href=\"http://h/\">[B]<p>HI</p>");
  EXPECT_EQ(TranslateHtmlPage("<head><base href=\"/x/\"></head><body>hi</body>", "http://h/", "[B]",
                              translator),
            "<head><base href=\"/x/\"></head><body>[B]HI</body>");
}

// Marks what it was given: [[text]].
class MarkingTranslator final : public Translator {
 public:
  std::optional<std::vector<std::string>> Translate(
      const std::vector<std::string>& segments) override {
    std::vector<std::string> out;
    for (const auto& s : segments)
      out.push_back("[[" + s + "]]");
    return out;
  }
  std::string Description() const override { return "marking"; }
};

// Which text is translated; the page has its base and a body tag (the banner is
// empty), so every other byte must come back as it was.
TEST(PageTranslationTest, WhichTextIsTranslated) {
  struct Case {
    const char* name;
    std::string body;
    std::string translated;
  };
  const Case cases[] = {
      {"plain text and inline markup", "<p>one <b>two</b></p>", "<p>[[one]] <b>[[two]]</b></p>"},
      {"code, pre, kbd, samp, tt, var",
       "<p>a <code>x</code><kbd>k</kbd><samp>s</samp><tt>t</tt><var>v</var></p><pre>p "
       "<i>q</i></pre>",
       "<p>[[a]] <code>x</code><kbd>k</kbd><samp>s</samp><tt>t</tt><var>v</var></p><pre>p "
       "<i>q</i></pre>"},
      {"script, style, textarea, comment",
       "<script>a</script><style>b</style><textarea>c</textarea><!-- d -->",
       "<script>a</script><style>b</style><textarea>c</textarea><!-- d -->"},
      {"translate=no with its descendants", "<div translate=\"no\">a<p>b<i>c</i></p></div>d",
       "<div translate=\"no\">a<p>b<i>c</i></p></div>[[d]]"},
      {"the value in any case", "<p translate=NO>a</p><p translate=\"No\">b</p>",
       "<p translate=NO>a</p><p translate=\"No\">b</p>"},
      {"translate=yes inside no",
       "<div translate=\"no\">a<span translate=\"YES\">b<i>c</i></span>d</div>",
       "<div translate=\"no\">a<span translate=\"YES\">[[b]]<i>[[c]]</i></span>d</div>"},
      {"an empty translate value is yes", "<div translate=no><b translate>a</b></div>",
       "<div translate=no><b translate>[[a]]</b></div>"},
      {"another translate value inherits", "<div translate=no><b translate=maybe>a</b></div>",
       "<div translate=no><b translate=maybe>a</b></div>"},
      {"class notranslate among others",
       "<p class=\"foo notranslate\">a<b>b</b></p><p class=\"notranslated\">c</p>",
       "<p class=\"foo notranslate\">a<b>b</b></p><p class=\"notranslated\">[[c]]</p>"},
      {"nothing turns notranslate back on", "<p class=notranslate>a<b translate=yes>b</b></p>",
       "<p class=notranslate>a<b translate=yes>b</b></p>"},
      {"nor code", "<code>a<b translate=yes>b</b></code>", "<code>a<b translate=yes>b</b></code>"},
      {"a stray end tag inside text stays", "<p>one</x>two</p>", "<p>[[one]]</x>[[two]]</p>"},
      {"a less-than sign that opens nothing", "<p>1 < 2</p>", "<p>[[1 &lt; 2]]</p>"},
      {"references decoded, also without a semicolon", "<p>&copy 2024 &amp; &hellip;</p>",
       "<p>[[\xC2\xA9 2024 &amp; \xE2\x80\xA6]]</p>"},
      {"text moved out of a table stays in its place", "<table>a<tr><td>b</td></tr></table>",
       "<table>[[a]]<tr><td>[[b]]</td></tr></table>"},
      {"svg text, not its style", "<svg><style>s</style><text>t</text></svg>",
       "<svg><style>s</style><text>[[t]]</text></svg>"},
      {"an unclosed tag at the end", "<p>a<b class=\"x", "<p>[[a]]<b class=\"x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MarkingTranslator translator;
    const std::string head = "<!DOCTYPE html><html><head><base href=\"/\"></head><body>";
    const auto page = TranslateHtmlPage(head + c.body, "http://h/", "", translator);
    ASSERT_TRUE(page);
    EXPECT_EQ(*page, head + c.translated);
  }
}

TEST(PageTranslationTest, BaseAndBannerFindTheirPlaceInImpliedHeadsAndBodies) {
  struct Case {
    std::string html;
    std::string translated;
  };
  const Case cases[] = {
      // After a doctype, not before it (that would change how the page is laid out).
      {"<!DOCTYPE html>\n<title>t</title><p>hi",
       "<!DOCTYPE html>\n<base href=\"/b\"><title>[[t]]</title>[B]<p>[[hi]]"},
      {"<html><body>hi</body></html>", "<html><base href=\"/b\"><body>[B][[hi]]</body></html>"},
      {"<!-- c --><p>hi</p>", "<!-- c --><base href=\"/b\">[B]<p>[[hi]]</p>"},
      {"<head><title>t</title></head>", "<head><base href=\"/b\"><title>[[t]]</title></head>[B]"},
      // A base that names only a target does not set the page's address.
      {"<head><base target=_top></head>hi",
       "<head><base href=\"/b\"><base target=_top></head>[B][[hi]]"},
      // A frameset page has no body for the banner.
      {"<frameset><frame src=a></frameset>",
       "<base href=\"/b\"><frameset><frame src=a></frameset>"},
      {"", "<base href=\"/b\">[B]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.html);
    MarkingTranslator translator;
    EXPECT_EQ(TranslateHtmlPage(c.html, "/b", "[B]", translator), c.translated);
  }
}

TEST(PageTranslationTest, PagesNestedTooDeeplyAreNotParsed) {
  std::string deep;
  for (std::size_t i = 0; i <= kMaxPageNesting; ++i)
    deep += "<div>";
  MarkingTranslator translator;
  EXPECT_TRUE(NestsTooDeeply(deep));
  EXPECT_EQ(TranslateHtmlPage(deep, "/", "", translator), std::nullopt);
  // As deep as that in all, but never nested: paragraphs and list items close their
  // own kind, inline elements close with their parent.
  std::string flat;
  for (std::size_t i = 0; i <= kMaxPageNesting; ++i)
    flat += "<p>a<li>b<div><span><b>c</div><br><img src=x>";
  EXPECT_FALSE(NestsTooDeeply(flat));
  // An end tag does not close what a table keeps from it.
  std::string tables;
  for (std::size_t i = 0; i <= kMaxPageNesting; ++i)
    tables += "<div><table></div>";
  EXPECT_TRUE(NestsTooDeeply(tables));
}

TEST(PageTranslationTest, DeclaredCharset) {
  EXPECT_EQ(DeclaredCharset("text/html; charset=ISO-8859-1", ""), "ISO-8859-1");
  EXPECT_EQ(DeclaredCharset("text/html", "<meta charset=\"windows-1252\">"), "windows-1252");
  EXPECT_EQ(DeclaredCharset("text/html", "<p>none</p>"), "");
}

TEST(PageFetchTest, AddressParsing) {
  struct Case {
    std::string_view in;
    std::string host;
    int port;
    std::string target;
  };
  const Case good[] = {
      {"http://example.org", "example.org", 80, "/"},
      {"HTTP://Example.org:8080/a b?q=1&r=2#frag", "Example.org", 8080, "/a%20b?q=1&r=2"},
      {"example.org/x", "example.org", 80, "/x"},
      {"http://[::1]:81/", "::1", 81, "/"},
      {"http://h/\xC3\xBC", "h", 80, "/%C3%BC"},
      // A "://" in the query of an address typed without a scheme.
      {"h:81/translate?u=http://x/", "h", 81, "/translate?u=http://x/"},
  };
  for (const auto& c : good) {
    SCOPED_TRACE(c.in);
    std::string error;
    const auto address = ParseHttpAddress(c.in, error);
    ASSERT_TRUE(address) << error;
    EXPECT_EQ(address->host, c.host);
    EXPECT_EQ(address->port, c.port);
    EXPECT_EQ(address->target, c.target);
  }
  for (std::string_view bad : {"https://example.org/", "ftp://h/", "http://user@h/", "http://:80/",
                               "http://h:0/", "http://h:99999/", "http://h:8x/"}) {
    std::string error;
    EXPECT_FALSE(ParseHttpAddress(bad, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

TEST(PagesTest, ResultPagePassesThePageCheck) {
  const std::string page = ResultPage("en|de", "a < b\nline \"two\"");
  EXPECT_THAT(page, HasSubstr("/faq_translation.html"));
  EXPECT_THAT(page,
              HasSubstr("<div id=result_box dir=\"ltr\">a &lt; b<br>line &quot;two&quot;</div>"));
  EXPECT_THAT(PairNotOfferedPage("xx|yy", {}), Not(HasSubstr("/faq_translation.html")));
  EXPECT_THAT(ErrorPage(400, "Bad", "x"), Not(HasSubstr("/faq_translation.html")));
}

TEST(PagesTest, UpdatePageComparesWithTheNewestVersion) {
  // The newest version is the build's own, 2.5.0.41.
  struct Case {
    std::string_view file;
    std::string says;
  };
  const Case cases[] = {
      {"2.5b41.html", "You have the newest version: Parlumo 2.5 (build 41)"},
      {"2.5b40.html", "A newer version exists: Parlumo 2.5 (build 41)"},
      {"2.4b99.html", "A newer version exists"},
      {"3.0b7.html", "newer than the newest published version"},
      {"b0.html", "could not be recognised"},
      {"x.yb.html", "could not be recognised"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const auto page = UpdatePage(c.file);
    ASSERT_TRUE(page);
    EXPECT_THAT(*page, HasSubstr(c.says));
  }
  EXPECT_FALSE(UpdatePage("2.5b41.txt"));
}

TEST(RequestPolicyTest, HostNames) {
  struct Case {
    std::string_view text;
    std::optional<HostName> name;
  };
  const Case cases[] = {
      {"127.0.0.1", HostName{"127.0.0.1", std::nullopt}},
      {"127.0.0.1:8085", HostName{"127.0.0.1", 8085}},
      {"LocalHost:80", HostName{"localhost", 80}},
      {"example.org:", HostName{"example.org", std::nullopt}},
      {"[::1]", HostName{"::1", std::nullopt}},
      {"[0:0:0:0:0:0:0:1]:9000", HostName{"::1", 9000}},
      {"[FE80::A]:1", HostName{"fe80::a", 1}},
      {"", std::nullopt},
      {":8085", std::nullopt},
      {"::1", std::nullopt},
      {"[::1", std::nullopt},
      {"[::1]x", std::nullopt},
      {"[nonsense]", std::nullopt},
      {"host:65536", std::nullopt},
      {"host:-1", std::nullopt},
      {"host:8x", std::nullopt},
      {"a b", std::nullopt},
      {"user@host", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseHostName(c.text), c.name);
  }
}

TEST(RequestPolicyTest, HostHeadersTheServiceAnswers) {
  const std::optional<std::string> none;
  struct Case {
    std::string listen;
    std::vector<std::string> allowed;
    std::optional<std::string> host;
    bool served;
  };
  const Case cases[] = {
      // On loopback: the listen host and the loopback names, with the bound port or
      // none, in any case.
      {"127.0.0.1", {}, "127.0.0.1:8085", true},
      {"127.0.0.1", {}, "127.0.0.1", true},
      {"127.0.0.1", {}, "localhost:8085", true},
      {"127.0.0.1", {}, "LocalHost", true},
      {"127.0.0.1", {}, "[::1]:8085", true},
      {"127.0.0.1", {}, "[0::1]", true},
      {"127.0.0.2", {}, "127.0.0.2:8085", true},
      {"localhost", {}, "127.0.0.1:8085", true},
      {"::1", {}, "[::1]:8085", true},
      {"127.0.0.1", {}, none, true},
      {"127.0.0.1", {}, "", true},
      // Another port, another name, a name that merely starts like ours.
      {"127.0.0.1", {}, "127.0.0.1:8086", false},
      {"127.0.0.1", {}, "attacker.example:8085", false},
      {"127.0.0.1", {}, "attacker.example", false},
      {"127.0.0.1", {}, "localhost.attacker.example:8085", false},
      {"127.0.0.1", {}, "127.0.0.2:8085", false},
      {"127.0.0.1", {}, "127.0.0.1:8085:8085", false},
      {"127.0.0.1", {}, "::1", false},
      // --allow-host: the name with the bound port or none, or with the port it names.
      {"127.0.0.1", {"translator.lan"}, "Translator.LAN:8085", true},
      {"127.0.0.1", {"translator.lan"}, "translator.lan", true},
      {"127.0.0.1", {"translator.lan"}, "translator.lan:8443", false},
      {"127.0.0.1", {"proxy.example:8443"}, "proxy.example:8443", true},
      {"127.0.0.1", {"proxy.example:8443"}, "proxy.example:8085", true},
      {"127.0.0.1", {"proxy.example:8443"}, "proxy.example:9000", false},
      // A network address: its own name, the allowed ones; no request without Host.
      {"192.168.1.5", {}, "192.168.1.5:8085", true},
      {"192.168.1.5", {}, "127.0.0.1:8085", false},
      {"192.168.1.5", {}, none, false},
      {"192.168.1.5", {"translator.lan"}, "translator.lan:8085", true},
      // The wildcard address is reached by loopback, but serves a network.
      {"0.0.0.0", {}, "127.0.0.1:8085", true},
      {"0.0.0.0", {}, "localhost", true},
      {"::", {}, "[::1]:8085", true},
      {"0.0.0.0", {}, "192.168.1.5:8085", false},
      {"0.0.0.0", {}, none, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.listen + " <- " + c.host.value_or("(no Host)"));
    EXPECT_EQ(HostPolicy(c.listen, 8085, c.allowed).Accepts(c.host), c.served);
  }
}

TEST(RequestPolicyTest, OwnAddresses) {
  const HostPolicy policy("127.0.0.1", 8085, {"proxy.example:8443"});
  EXPECT_TRUE(policy.IsOwnAddress("127.0.0.1", 8085));
  EXPECT_TRUE(policy.IsOwnAddress("LOCALHOST", 8085));
  EXPECT_TRUE(policy.IsOwnAddress("::1", 8085));
  EXPECT_TRUE(policy.IsOwnAddress("proxy.example", 8443));
  EXPECT_FALSE(policy.IsOwnAddress("127.0.0.1", 80));
  EXPECT_FALSE(policy.IsOwnAddress("example.org", 8085));
}

}  // namespace
}  // namespace parlumo::service
