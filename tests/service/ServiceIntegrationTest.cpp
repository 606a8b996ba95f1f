// parlumo-service as the program meets it: a real service process on a free port,
// spoken to over HTTP; its pages checked with the program's own page check and
// extraction (ExtractTranslation).

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ServiceProcess.h"
#include "ServingOnLoopback.h"
#include "runtime/PollEventLoop.h"
#include "support/LoopbackPort.h"
#include "translate/LanguagePairs.h"
#include "translate/TranslateText.h"
#include "translate/TranslationPage.h"

namespace parlumo {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::ProcessCommandLine;
using testing::ProcessRunning;
using testing::ServiceProcess;

// One service for all tests of the suite (ctest runs each test in a process of its
// own, so that is one service per test there). Only the test of every pair loads the
// German dictionary, which takes most of the start-up time in a sanitizer build;
// the others run the Apertium engines alone. Tests that must stop or hurt the
// service start their own.
const std::vector<std::string> kWithoutDictionary = {"--dictionary", "/nonexistent/de-en"};

class ServiceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::vector<std::string> args = {"--client-timeout", "1"};
    args.insert(args.end(), kWithoutDictionary.begin(), kWithoutDictionary.end());
    service_ = std::make_unique<ServiceProcess>(args);
  }
  static void TearDownTestSuite() { service_.reset(); }

  static httplib::Client Client() {
    httplib::Client client("127.0.0.1", service_->Port());
    client.set_read_timeout(std::chrono::seconds(120));
    return client;
  }

  static httplib::Result PostForm(const std::string& body) {
    return Client().Post("/translate_t", body, "application/x-www-form-urlencoded");
  }

  static httplib::Result Get(const std::string& target) { return Client().Get(target); }

  static std::unique_ptr<ServiceProcess> service_;
};

std::unique_ptr<ServiceProcess> ServiceTest::service_;

// A sentence in the source language of each pair of the program.
std::string SentenceFor(std::string_view pairCode) {
  const std::string_view source = pairCode.substr(0, 2);
  if (source == "en") return "The house is very big and the dog sleeps in the garden.";
  if (source == "de") return "Das Haus ist sehr groß und der Hund schläft im Garten.";
  if (source == "fr") return "La maison est très grande et le chien dort dans le jardin.";
  if (source == "it") return "La casa è molto grande e il cane dorme nel giardino.";
  if (source == "pt") return "A casa é muito grande e o cão dorme no jardim.";
  return "La casa es muy grande y el perro duerme en el jardín.";
}

// What parlumo-translate prints for text with the pair of index (exit status 0
// required), without the final line break.
std::string TranslateWithTheCommandLineTool(const ServiceProcess& service, int index,
                                            const std::string& text) {
  const std::string command = std::string(PARLUMO_TRANSLATE) + " --ini /nonexistent/p.ini" +
                              " --lang en --timeout 120 --service " + service.HostPort() +
                              " --pair " + std::to_string(index) + " '" + text + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  for (std::size_t n; pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    out.append(buffer, n);
  }
  const int status = pipe != nullptr ? ::pclose(pipe) : -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// Every pair end to end: the program's own exchange (THttpClient and the page
// check and extraction) and the command-line tool, against the running service.
TEST(ServiceEveryPairTest, EveryPairOfTheProgramGivesARealTranslation) {
  ServiceProcess service;
  PollEventLoop loop;
  THttpClient http(loop);
  http.Timeout = std::chrono::seconds(120);
  TParser splitter;
  for (int index = 0; index < kLanguagePairCount; ++index) {
    const std::string pair(LanguagePairCode(index));
    SCOPED_TRACE(pair);
    const std::string sentence = SentenceFor(pair);
    const TranslateOutcome outcome =
        TranslateText(http, splitter, sentence, index, service.HostPort(), {});
    ASSERT_TRUE(outcome.Succeeded()) << outcome.Detail();
    EXPECT_FALSE(outcome.Text().empty());
    EXPECT_NE(outcome.Text(), sentence);
    EXPECT_EQ(TranslateWithTheCommandLineTool(service, index, sentence), outcome.Text());
  }
  httplib::Client client("127.0.0.1", service.Port());
  // The provider's FAQ page names every pair and its engine.
  const auto faq = client.Get("/help/faq_translation.html");
  ASSERT_TRUE(faq);
  for (int index = 0; index < kLanguagePairCount; ++index) {
    EXPECT_THAT(faq->body, HasSubstr("<td>" + std::string(LanguagePairCode(index)) + "</td>"));
  }
  EXPECT_THAT(faq->body, HasSubstr("Apertium"));
  EXPECT_THAT(faq->body, HasSubstr("ding dictionary"));
}

TEST_F(ServiceTest, LineBreaksAndMarkupCharactersSurviveThePage) {
  const std::string text = "The house <b> & \"the dog\"\nThe garden";
  const auto res = PostForm(BuildRequestBody(text, LanguagePairIndex("en|es")));
  ASSERT_TRUE(res);
  // The raw page: escaped text, a <br> for the line break, one result box.
  EXPECT_THAT(res->body, HasSubstr("&lt;b&gt;"));
  EXPECT_THAT(res->body, HasSubstr("<br>"));
  const TranslateOutcome outcome = ExtractTranslation(res->body);
  ASSERT_TRUE(outcome.Succeeded());
  EXPECT_THAT(outcome.Text(), HasSubstr("<b>"));
  EXPECT_THAT(outcome.Text(), HasSubstr("&"));
  EXPECT_THAT(outcome.Text(), HasSubstr("\n"));
  EXPECT_THAT(outcome.Text(), HasSubstr("casa"));
  EXPECT_THAT(outcome.Text(), HasSubstr("jard"));
}

TEST_F(ServiceTest, EmptyTextGivesAnEmptyResult) {
  const auto res = PostForm(BuildRequestBody("", LanguagePairIndex("en|es")));
  ASSERT_TRUE(res);
  const TranslateOutcome outcome = ExtractTranslation(res->body);
  ASSERT_TRUE(outcome.Succeeded());
  EXPECT_EQ(outcome.Text(), "");
}

TEST_F(ServiceTest, UnsupportedPairIsReportedAsNotTranslated) {
  const auto res = PostForm("text=Hello&langpair=xx%7Cyy&ie=UTF-8&oe=UTF-8");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  const auto outcome = ExtractTranslation(res->body);
  ASSERT_FALSE(outcome.Succeeded());
  EXPECT_EQ(outcome.Failure(), TranslateFailure::NotTranslated);
}

TEST_F(ServiceTest, CharacterSetsOfRequestAndAnswer) {
  // A name the engine does not know stays as it is, so its letters show the
  // decoding: ü is 0xFC in ISO-8859-1 and windows-1252, U+00FC is C3 BC in UTF-8;
  // windows-1252 0x80 is U+20AC (E2 82 AC).
  struct Case {
    std::string body;
    std::string contains;
    std::string charset;
  };
  const Case cases[] = {
      {"text=Zorglub+M%FCller&langpair=en%7Ces&ie=ISO-8859-1&oe=UTF-8", "M\xC3\xBCller", "UTF-8"},
      {"text=Zorglub+M%C3%BCller&langpair=en%7Ces&ie=UTF-8&oe=ISO-8859-1", "M\xFCller",
       "ISO-8859-1"},
      {"text=Zorglub+%80&langpair=en%7Ces&ie=windows-1252", "\xE2\x82\xAC", "UTF-8"},
      {"text=Zorglub+%E2%82%AC&langpair=en%7Ces&oe=windows-1252", "Zorglub \x80", "windows-1252"},
      // The old program's "ASCII" with a byte that is not UTF-8: read as windows-1252.
      {"text=Zorglub+M%FCller&langpair=en%7Ces&ie=ASCII&oe=ASCII", "M\xC3\xBCller", "UTF-8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    const auto res = PostForm(c.body);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_THAT(res->get_header_value("Content-Type"), HasSubstr("charset=" + c.charset));
    const auto outcome = ExtractTranslation(res->body);
    ASSERT_TRUE(outcome.Succeeded());
    EXPECT_THAT(res->body, HasSubstr(c.contains));
  }
}

TEST_F(ServiceTest, RequestsAreServedConcurrently) {
  constexpr int kClients = 6;
  std::vector<std::thread> clients;
  std::vector<int> ok(kClients, 0);
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([i, &ok] {
      for (int k = 0; k < 3; ++k) {
        const auto pair = i % 2 == 0 ? "en|es" : "es|en";
        const auto res = PostForm(BuildRequestBody(SentenceFor(pair), LanguagePairIndex(pair)));
        if (res && ExtractTranslation(res->body).Succeeded()) ++ok[i];
      }
    });
  }
  for (auto& t : clients)
    t.join();
  for (int i = 0; i < kClients; ++i)
    EXPECT_EQ(ok[i], 3) << "client " << i;
}

TEST_F(ServiceTest, UpdatePagesNameTheNewestVersion) {
  const auto newest = Get("/tools/parlumo/updates/2.5b41.html");
  ASSERT_TRUE(newest);
  EXPECT_EQ(newest->status, 200);
  EXPECT_THAT(newest->body, HasSubstr("newest version"));
  EXPECT_THAT(newest->body, Not(HasSubstr("newer version exists")));

  for (const char* older :
       {"/tools/parlumo/updates/2.4b30.html", "/tools/parlumo/updates/2.5b40.html",
        "/tools/parlumo/updates/1.0b7.html"}) {
    SCOPED_TRACE(older);
    const auto res = Get(older);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_THAT(res->body, HasSubstr("A newer version exists: Parlumo 2.5 (build 41)"));
  }

  // What a program without a version asks for.
  const auto unknown = Get("/tools/parlumo/updates/b0.html");
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->status, 200);
  EXPECT_THAT(unknown->body, HasSubstr("Parlumo 2.5 (build 41)"));
}

TEST_F(ServiceTest, MakersAndProvidersPages) {
  for (const char* path : {"/tools/parlumo/", "/tools/parlumo", "/"}) {
    SCOPED_TRACE(path);
    const auto res = Get(path);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_THAT(res->get_header_value("Content-Type"), HasSubstr("text/html"));
  }
  // This service runs without the dictionary: the FAQ lists what it has.
  const auto faq = Get("/help/faq_translation.html");
  ASSERT_TRUE(faq);
  EXPECT_EQ(faq->status, 200);
  EXPECT_THAT(faq->body, HasSubstr("<td>fr|en</td><td>Apertium fr-es, then Apertium spa-eng</td>"));
  EXPECT_THAT(faq->body, Not(HasSubstr("<td>en|de</td>")));
}

// A page that would read the service's answers if it could: an inline script and
// event attributes.
constexpr const char* kHostilePage =
    "<html><body onload=\"steal()\"><p onclick=\"steal()\">The house is very big.</p>"
    "<img src=\"x.png\" onerror=\"steal()\">"
    "<script>function steal() { fetch('/translate?u=http://10.0.0.1/&langpair=en|es'); }"
    "</script></body></html>";

// A page with text that is to stay as it is: each of these parts.
constexpr const char* kKeptParts[] = {
    "<code>the house is big</code>",
    "<pre>The dog sleeps in the garden.\n  The house is big.</pre>",
    "<kbd>the garden</kbd>",
    "<div translate=\"no\">The garden is <b>very big</b>. ",
    "<p class=\"foo notranslate\">The dog is in the house.</p>",
    "<span translate=\"no\">Peter Garden</span>",
    "<abbr class=\"notranslate\">HOUSE</abbr>",
    "<address translate=\"no\">The Big House, 12 Garden Street, Dogtown</address>",
};
constexpr const char* kMarkedPage =
    "<!DOCTYPE html><html><head><title>The house</title></head><body>"
    "<p>The house is very big.</p>"
    "<p>The dog writes <code>the house is big</code> and <kbd>the garden</kbd>.</p>"
    "<pre>The dog sleeps in the garden.\n  The house is big.</pre>"
    "<div translate=\"no\">The garden is <b>very big</b>. "
    "<span translate=\"yes\">The house is very big.</span></div>"
    "<p class=\"foo notranslate\">The dog is in the house.</p>"
    "<p>The dog of <span translate=\"no\">Peter Garden</span> sleeps in the "
    "<abbr class=\"notranslate\">HOUSE</abbr>.</p>"
    "<address translate=\"no\">The Big House, 12 Garden Street, Dogtown</address>"
    "</body></html>";

// A web server of the test's own, serving the pages to be translated.
class PageServer {
 public:
  PageServer() {
    server_.Get("/dir/page.html", [this](const httplib::Request& req, httplib::Response& res) {
      query_ = req.get_param_value("a") + "," + req.get_param_value("b");
      res.set_content(
          "<html><head><title>The house</title><style>p { color: red }</style></head>"
          "<body><p class=\"the house\">The house is very big.</p>\n"
          "<script>var house = \"The house\";</script>"
          "<a href=\"other.html\">The garden &amp; the dog</a><!-- The house --></body></html>",
          "text/html; charset=UTF-8");
    });
    server_.Get("/marked.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kMarkedPage, "text/html; charset=UTF-8");
    });
    server_.Get("/latin1.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<p>Zorglub M\xFCller</p>", "text/html; charset=ISO-8859-1");
    });
    server_.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("/dir/page.html?a=1&b=2");
    });
    // A redirection to the address in the query value u.
    server_.Get("/to", [](const httplib::Request& req, httplib::Response& res) {
      res.status = 302;
      res.set_header("Location", req.get_param_value("u"));
    });
    server_.Get("/loop",
                [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/loop"); });
    server_.Get("/hostile.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kHostilePage, "text/html; charset=UTF-8");
    });
    server_.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("gone", "text/plain");
    });
    server_.Get("/image", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(std::string(100, 'x'), "image/png");
    });
    server_.Get("/huge", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(std::string(std::size_t{3} << 20, 'a'), "text/html");
    });
    serving_.emplace(server_);
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(serving_->Port()) + path;
  }
  std::string Query() const { return query_; }

 private:
  httplib::Server server_;
  std::string query_;
  std::optional<testing::ServingOnLoopback> serving_;  // last: stops first
};

TEST_F(ServiceTest, PageTranslationKeepsMarkupAndTranslatesVisibleText) {
  PageServer pages;
  // As the program sends it, the address as typed, when it has no query of its own.
  const auto plain =
      Get("/translate?u=" + pages.Url("/dir/page.html") + "&langpair=en|es&ie=ASCII&oe=ASCII");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->status, 200);
  EXPECT_THAT(plain->body, HasSubstr("La casa es muy grande."));
  // An address with a query must travel percent-encoded ("?" may not appear twice
  // in a request target).
  const std::string address = pages.Url("/dir/page.html?a=1&b=2");
  const auto res = Get("/translate?u=" + FormUrlEncode(address) + "&langpair=en%7Ces");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(pages.Query(), "1,2");
  const std::string& page = res->body;
  EXPECT_THAT(page, HasSubstr("<base href=\"" + pages.Url("/dir/page.html?a=1&amp;b=2") + "\">"));
  EXPECT_THAT(page, HasSubstr("English \xC2\xBB Spanish"));
  EXPECT_THAT(page, HasSubstr("La casa es muy grande."));
  EXPECT_THAT(page, HasSubstr("<title>La casa</title>"));
  // Markup, attribute values, scripts, styles and comments stay as they were.
  EXPECT_THAT(page, HasSubstr("<p class=\"the house\">"));
  EXPECT_THAT(page, HasSubstr("<script>var house = \"The house\";</script>"));
  EXPECT_THAT(page, HasSubstr("<style>p { color: red }</style>"));
  EXPECT_THAT(page, HasSubstr("<!-- The house -->"));
  EXPECT_THAT(page, HasSubstr("<a href=\"other.html\">"));
  EXPECT_THAT(page, HasSubstr("&amp;"));
  EXPECT_THAT(page, HasSubstr("jard"));
}

TEST_F(ServiceTest, PageTranslationLeavesCodeAndWhatThePageMarksAlone) {
  PageServer pages;
  const auto res = Get("/translate?u=" + pages.Url("/marked.html") + "&langpair=en|es");
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 200);
  std::string rest = res->body;
  for (const char* kept : kKeptParts) {
    SCOPED_TRACE(kept);
    const auto at = rest.find(kept);
    ASSERT_NE(at, std::string::npos) << res->body;
    rest.erase(at, std::string_view(kept).size());
  }
  // Everything else is translated: the words of the page's own English are gone from
  // its text, and the translate="yes" inside the translate="no" is translated too.
  EXPECT_THAT(res->body, HasSubstr("<p>La casa es muy grande.</p>"));
  EXPECT_THAT(res->body, HasSubstr("<span translate=\"yes\">La casa es muy grande.</span>"));
  EXPECT_THAT(res->body, HasSubstr("<title>La casa</title>"));
  for (const char* english : {"house", "dog", "sleeps", "writes", "garden"}) {
    EXPECT_THAT(rest, Not(HasSubstr(english))) << res->body;
  }
}

TEST_F(ServiceTest, PageTranslationFollowsRedirectionsAndDecodesCharsets) {
  PageServer pages;
  const auto moved = Get("/translate?u=" + pages.Url("/moved") + "&langpair=en|es");
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->status, 200);
  EXPECT_THAT(moved->body, HasSubstr("La casa es muy grande."));
  EXPECT_THAT(moved->body, HasSubstr("<base href=\"" + pages.Url("/dir/page.html")));

  const auto latin1 = Get("/translate?u=" + pages.Url("/latin1.html") + "&langpair=en|es");
  ASSERT_TRUE(latin1);
  EXPECT_EQ(latin1->status, 200);
  EXPECT_THAT(latin1->body, HasSubstr("M\xC3\xBCller"));
}

TEST_F(ServiceTest, PageTranslationErrorsGiveClearPages) {
  PageServer pages;
  // A port nobody listens on: bind one, note it, close it.
  const int closedPort = test::FreeLoopbackPort();
  ASSERT_NE(closedPort, 0);
  struct Case {
    std::string target;
    int status;
    std::string says;
  };
  const Case cases[] = {
      {"/translate?u=http://127.0.0.1:" + std::to_string(closedPort) + "/&langpair=en|es", 502,
       "could not be fetched from 127.0.0.1: Connection refused."},
      {"/translate?u=" + pages.Url("/missing") + "&langpair=en|es", 502, "status 404"},
      {"/translate?u=" + pages.Url("/image") + "&langpair=en|es", 502, "not an HTML page"},
      {"/translate?u=" + pages.Url("/huge") + "&langpair=en|es", 502, "larger than 2 MiB"},
      {"/translate?u=https://127.0.0.1/&langpair=en|es", 400, "Only http addresses"},
      {"/translate?u=ftp://127.0.0.1/&langpair=en|es", 400, "Only http addresses"},
      {"/translate?langpair=en|es", 400, "Missing field"},
      {"/translate?u=http://127.0.0.1/", 400, "Missing field"},
      {"/translate?u=http://127.0.0.1/%zz&langpair=en|es", 400, "bad percent sequence"},
      {"/translate?u=" + FormUrlEncode(service_->HostPort() + "/translate?u=x&langpair=en|es") +
           "&langpair=en|es",
       400, "its own pages"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    const auto res = Get(c.target);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, c.status);
    EXPECT_THAT(res->body, HasSubstr(c.says));
    EXPECT_THAT(res->body, Not(HasSubstr(kPageSignature)));
  }
  const auto unsupported = Get("/translate?u=" + pages.Url("/dir/page.html") + "&langpair=xx|yy");
  ASSERT_TRUE(unsupported);
  EXPECT_THAT(unsupported->body, HasSubstr("Language pair not offered"));
}

TEST_F(ServiceTest, ErrorAnswersOfTheTranslationForm) {
  struct Case {
    std::string body;
    int status;
    std::string says;
  };
  const Case cases[] = {
      {"text=Hello&langpair=en%7Ces&oops", 400, "Malformed form"},
      {"text=100%&langpair=en%7Ces", 400, "Malformed form"},
      {"text=%zzHello&langpair=en%7Ces", 400, "Malformed form"},
      {"langpair=en%7Ces", 400, "no &quot;text&quot; field"},
      {"text=Hello", 400, "no &quot;langpair&quot; field"},
      {"text=Hello&langpair=en%7Ces&ie=KOI8-R", 400, "Unknown character set"},
      {"text=Hello&langpair=en%7Ces&oe=EBCDIC", 400, "Unknown character set"},
      {"text=" + std::string((std::size_t{1} << 20) + 1, 'a') + "&langpair=en%7Ces", 413,
       "larger than 1 MiB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body.substr(0, 60));
    const auto res = PostForm(c.body);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, c.status);
    EXPECT_THAT(res->body, HasSubstr(c.says));
    EXPECT_THAT(res->body, Not(HasSubstr(kPageSignature)));
  }
  const auto notFound = Get("/no/such/page");
  ASSERT_TRUE(notFound);
  EXPECT_EQ(notFound->status, 404);
  EXPECT_THAT(notFound->body, HasSubstr("Not found"));
  const auto wrongMethod = Get("/translate_t");
  ASSERT_TRUE(wrongMethod);
  EXPECT_EQ(wrongMethod->status, 405);
}

// Connects to the service; -1 on failure.
int Connect(int port) {
  const int fd = test::ConnectLoopback(port);
  if (fd < 0) return -1;
  timeval timeout{10, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  return fd;
}

TEST_F(ServiceTest, SilentAndSlowClientsAreDropped) {
  // The suite's service drops a client after one silent second.
  for (const std::string& sent :
       {std::string(),
        std::string("POST /translate_t HTTP/1.0\r\nContent-Length: 100\r\n\r\nte")}) {
    SCOPED_TRACE(sent);
    const int fd = Connect(service_->Port());
    ASSERT_GE(fd, 0);
    if (!sent.empty()) {
      ASSERT_EQ(::send(fd, sent.data(), sent.size(), MSG_NOSIGNAL), std::ssize(sent));
    }
    const auto start = std::chrono::steady_clock::now();
    char buffer[4096];
    ssize_t n;
    while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    ::close(fd);
    EXPECT_EQ(n, 0) << "the service did not close the connection";
    EXPECT_LT(waited, std::chrono::seconds(8));
  }
  // The service still answers.
  EXPECT_TRUE(ExtractTranslation(PostForm(BuildRequestBody("", 7))->body).Succeeded());
}

// An answer read off the wire.
struct RawAnswer {
  int status = 0;
  std::multimap<std::string, std::string> headers;  // names in lower case
  std::string body;

  bool Has(const std::string& name) const { return headers.contains(name); }
  std::string Header(const std::string& name) const {
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
  }
};

// Sends a request as it stands (the test writes every header line, Host included)
// and reads the answer up to the close.
RawAnswer Exchange(int port, const std::string& request) {
  RawAnswer answer;
  const int fd = Connect(port);
  if (fd < 0) return answer;
  ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string raw;
  char buffer[65536];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
    raw.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  const auto headerEnd = raw.find("\r\n\r\n");
  if (!raw.starts_with("HTTP/1.") || headerEnd == std::string::npos) return answer;
  answer.status = std::atoi(raw.c_str() + 9);
  std::size_t line = raw.find("\r\n") + 2;
  while (line < headerEnd) {
    const auto end = raw.find("\r\n", line);
    const std::string field = raw.substr(line, end - line);
    const auto colon = field.find(':');
    std::string name = field.substr(0, colon);
    for (char& c : name)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    answer.headers.emplace(name, field.substr(field.find_first_not_of(' ', colon + 1)));
    line = end + 2;
  }
  answer.body = raw.substr(headerEnd + 4);
  return answer;
}

// A request with the given Host line ("" for none), closed after the answer.
std::string Request(const std::string& method, const std::string& target, const std::string& host,
                    const std::string& body = {}) {
  std::string request = method + " " + target + (host.empty() ? " HTTP/1.0\r\n" : " HTTP/1.1\r\n");
  if (!host.empty()) request += "Host: " + host + "\r\n";
  request += "Connection: close\r\n";
  if (method == "POST") {
    request += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n";
  }
  return request + "\r\n" + body;
}

// The header fields every answer carries, whatever its content.
void ExpectCommonHeaders(const RawAnswer& answer) {
  EXPECT_EQ(answer.Header("x-content-type-options"), "nosniff");
  EXPECT_EQ(answer.Header("referrer-policy"), "no-referrer");
  for (const auto& [name, value] : answer.headers)
    EXPECT_FALSE(name.starts_with("access-control-")) << name << ": " << value;
}

// The service's own pages: no script may run in them.
void ExpectServicePagePolicy(const RawAnswer& answer) {
  ExpectCommonHeaders(answer);
  const std::string policy = answer.Header("content-security-policy");
  EXPECT_THAT(policy, HasSubstr("default-src 'none'"));
  EXPECT_THAT(policy, Not(HasSubstr("script-src")));
  EXPECT_THAT(policy, Not(HasSubstr("sandbox")));
}

// Each kind of request of the service, as sent to it under some Host.
struct Target {
  std::string method;
  std::string target;
  std::string body;
  int status;  // when served
};

std::vector<Target> EveryKindOfRequest(const std::string& pageAddress) {
  return {
      {"POST", "/translate_t", BuildRequestBody("The house", LanguagePairIndex("en|es")), 200},
      {"GET", "/translate?u=" + FormUrlEncode(pageAddress) + "&langpair=en%7Ces", "", 200},
      {"GET", "/", "", 200},
      {"GET", "/help/faq_translation.html", "", 200},
      {"GET", "/tools/parlumo/", "", 200},
      {"GET", "/tools/parlumo/updates/2.5b41.html", "", 200},
      {"HEAD", "/", "", 200},
      {"GET", "/no/such/page", "", 404},
  };
}

TEST_F(ServiceTest, OnlyRequestsAddressedToTheServicesOwnNamesAreServed) {
  PageServer pages;
  const std::string port = std::to_string(service_->Port());
  const auto targets = EveryKindOfRequest(pages.Url("/dir/page.html?a=seen&b=1"));
  // A rebound name, a name that starts like ours, our name on another port.
  const std::vector<std::string> foreign = {"attacker.example:" + port,
                                            "attacker.example",
                                            "localhost.attacker.example:" + port,
                                            "127.0.0.1:1",
                                            "[::2]:" + port,
                                            "127.0.0.1:" + port + "x"};
  for (const std::string& host : foreign) {
    for (const auto& t : targets) {
      SCOPED_TRACE(host + " " + t.method + " " + t.target);
      const auto answer = Exchange(service_->Port(), Request(t.method, t.target, host, t.body));
      EXPECT_EQ(answer.status, 421);
      if (t.method != "HEAD") {
        EXPECT_THAT(answer.body, HasSubstr("421 Misdirected Request"));
        EXPECT_LT(answer.body.size(), 1000u);
        EXPECT_THAT(answer.body, Not(HasSubstr(kPageSignature)));
      }
      ExpectServicePagePolicy(answer);
    }
  }
  // The page was never asked for.
  EXPECT_EQ(pages.Query(), "");
  // The service's own names, as browsers, the program and HTTP/1.0 clients send them.
  const std::vector<std::string> own = {"127.0.0.1:" + port,
                                        "127.0.0.1",
                                        "localhost:" + port,
                                        "LocalHost",
                                        "[::1]:" + port,
                                        "[::1]",
                                        ""};
  for (const std::string& host : own) {
    for (const auto& t : targets) {
      SCOPED_TRACE("'" + host + "' " + t.method + " " + t.target);
      const auto answer = Exchange(service_->Port(), Request(t.method, t.target, host, t.body));
      EXPECT_EQ(answer.status, t.status);
    }
  }
  EXPECT_EQ(pages.Query(), "seen,1");
}

TEST_F(ServiceTest, TheProgramsExchangeIsServedUnderTheLoopbackNames) {
  // The program's client sends the host of its setting, without the port.
  PollEventLoop loop;
  THttpClient http(loop);
  http.Timeout = std::chrono::seconds(120);
  TParser splitter;
  const std::vector<std::string> hosts = {service_->HostPort(),
                                          "localhost:" + std::to_string(service_->Port())};
  for (const std::string& host : hosts) {
    SCOPED_TRACE(host);
    const auto outcome =
        TranslateText(http, splitter, "The dog sleeps.", LanguagePairIndex("en|es"), host, {});
    ASSERT_TRUE(outcome.Succeeded()) << outcome.Detail();
    EXPECT_THAT(outcome.Text(), HasSubstr("perro"));
  }
}

TEST(ServiceHostTest, AllowedNamesOnANetworkAddress) {
  // On the wildcard address, as a service that deliberately serves a network runs.
  ServiceProcess service({"--listen", "0.0.0.0:0", "--allow-host", "Translator.lan", "--allow-host",
                          "proxy.example:8443", "--dictionary", "/nonexistent/de-en"});
  const std::string port = std::to_string(service.Port());
  struct Case {
    std::string host;
    int status;
  };
  const Case cases[] = {
      {"translator.lan:" + port, 200},
      {"TRANSLATOR.LAN", 200},
      {"proxy.example:8443", 200},
      {"127.0.0.1:" + port, 200},
      {"localhost", 200},
      {"translator.lan:8443", 421},
      {"proxy.example:9000", 421},
      {"attacker.example:" + port, 421},
      {"", 421},  // no Host: only on loopback
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("'" + c.host + "'");
    const auto answer = Exchange(service.Port(), Request("GET", "/", c.host));
    EXPECT_EQ(answer.status, c.status);
    ExpectServicePagePolicy(answer);
  }
  // A value that names no host is refused on the command line.
  for (const char* bad : {"[::1", "a b", "host:99999"}) {
    EXPECT_THROW(ServiceProcess({"--allow-host", bad}), std::runtime_error) << bad;
  }
}

TEST_F(ServiceTest, AHostilePageIsTranslatedIntoASandbox) {
  PageServer pages;
  const auto answer =
      Exchange(service_->Port(),
               Request("GET", "/translate?u=" + pages.Url("/hostile.html") + "&langpair=en|es",
                       service_->HostPort()));
  EXPECT_EQ(answer.status, 200);
  EXPECT_THAT(answer.body, HasSubstr("La casa es muy grande."));
  // The page keeps its scripts: the sandbox, not the rewriting, keeps them away from
  // the service's answers.
  EXPECT_THAT(answer.body, HasSubstr("<body onload=\"steal()\">"));
  EXPECT_THAT(answer.body, HasSubstr("<script>function steal()"));
  EXPECT_EQ(answer.Header("content-security-policy"),
            "sandbox allow-scripts allow-forms allow-popups allow-popups-to-escape-sandbox");
  EXPECT_EQ(answer.headers.count("content-security-policy"), 1u);
  ExpectCommonHeaders(answer);
}

TEST_F(ServiceTest, TheServicesOwnPagesAllowNoScript) {
  PageServer pages;
  const std::string host = service_->HostPort();
  const Target targets[] = {
      {"GET", "/", "", 200},
      {"GET", "/help/faq_translation.html", "", 200},
      {"GET", "/tools/parlumo/", "", 200},
      {"GET", "/tools/parlumo/updates/2.5b40.html", "", 200},
      {"POST", "/translate_t", BuildRequestBody("The house", LanguagePairIndex("en|es")), 200},
      {"POST", "/translate_t", "text=x&langpair=xx%7Cyy", 200},
      {"POST", "/translate_t", "text=%zz", 400},
      {"POST", "/translate_t", "text=" + std::string((std::size_t{1} << 20) + 1, 'a'), 413},
      {"GET", "/translate_t", "", 405},
      {"GET", "/translate?u=" + pages.Url("/dir/page.html") + "&langpair=xx|yy", "", 200},
      {"GET", "/translate?u=" + pages.Url("/missing") + "&langpair=en|es", "", 502},
      {"GET", "/translate?langpair=en|es", "", 400},
      {"GET", "/no/such/page", "", 404},
      {"OPTIONS", "/translate", "", 404},
  };
  for (const auto& t : targets) {
    SCOPED_TRACE(t.method + " " + t.target.substr(0, 80));
    std::string request = Request(t.method, t.target, host, t.body);
    // As a browser sends a cross-origin request: no answer may allow it.
    request.insert(request.find("\r\n") + 2, "Origin: http://attacker.example\r\n");
    const auto answer = Exchange(service_->Port(), request);
    EXPECT_EQ(answer.status, t.status);
    ExpectServicePagePolicy(answer);
  }
}

TEST_F(ServiceTest, APageTranslationNeverLeadsBackToTheService) {
  PageServer pages;
  const std::string port = std::to_string(service_->Port());
  const std::string again = "/translate?u=http://example.org/&langpair=en|es";
  struct Case {
    std::string address;
    int status;
    std::string says;
  };
  const Case cases[] = {
      {"localhost:" + port + again, 400, "its own pages"},
      {"http://[::1]:" + port + again, 400, "its own pages"},
      {"http://LOCALHOST:" + port + "/%74ranslate?u=x&langpair=en|es", 400, "its own pages"},
      // Through a redirection of another server.
      {pages.Url("/to?u=" + FormUrlEncode("http://127.0.0.1:" + port + again)), 502,
       "its own pages"},
      {pages.Url("/to?u=" +
                 FormUrlEncode(pages.Url(
                     "/to?u=" + FormUrlEncode("http://localhost:" + port + "/translate")))),
       502, "its own pages"},
      // A redirection loop of another server ends at the limit.
      {pages.Url("/loop"), 502, "redirects too often"},
      // Nor any other page of the service: each would hold a worker while its fetch
      // waits for another.
      {"http://127.0.0.1:" + port + "/", 400, "its own pages"},
      {"http://localhost:" + port + "/help/faq_translation.html", 400, "its own pages"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    const auto res = Get("/translate?u=" + FormUrlEncode(c.address) + "&langpair=en%7Ces");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, c.status);
    EXPECT_THAT(res->body, HasSubstr(c.says));
  }
}

TEST(ServiceProcessTest, AKilledEngineIsRestartedAndTheRequestServed) {
  ServiceProcess service(kWithoutDictionary);
  httplib::Client client("127.0.0.1", service.Port());
  client.set_read_timeout(std::chrono::seconds(60));
  const auto translate = [&] {
    const auto res = client.Post("/translate_t", BuildRequestBody("The dog sleeps.", 7),
                                 "application/x-www-form-urlencoded");
    return res ? ExtractTranslation(res->body)
               : TranslateOutcome::Failed(TranslateFailure::ConnectionFailed);
  };
  ASSERT_TRUE(translate().Succeeded());
  int killed = 0;
  for (const pid_t pid : service.Descendants()) {
    const std::string command = ProcessCommandLine(pid);
    if (command.find("eng-spa.automorf") != std::string::npos) {
      ::kill(pid, SIGKILL);
      ++killed;
    }
  }
  ASSERT_GT(killed, 0) << "no English-Spanish analyser among the service's processes";
  const auto outcome = translate();
  ASSERT_TRUE(outcome.Succeeded());
  EXPECT_THAT(outcome.Text(), HasSubstr("perro"));
}

TEST(ServiceProcessTest, SigtermEndsTheServiceAndItsEngines) {
  // Every engine running and the dictionary still loading: stopping must not wait.
  ServiceProcess service({"--warm"});
  const auto engines = service.Descendants();
  EXPECT_FALSE(engines.empty());
  const int status = service.Stop();
  ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  for (const pid_t pid : engines)
    EXPECT_FALSE(ProcessRunning(pid)) << ProcessCommandLine(pid);
}

}  // namespace
}  // namespace parlumo
