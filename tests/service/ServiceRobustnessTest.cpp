// parlumo-service against hostile input: text made to hang or mangle the engines,
// and engines that hang all the same. A real service process on loopback; the
// engines are the installed Apertium pipelines, and for the hangs a mode folder of
// the test's own whose English-Spanish "pipeline" reads and never answers.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "RawClient.h"
#include "ServiceProcess.h"
#include "support/ScriptedServer.h"
#include "support/TempFolder.h"
#include "translate/TranslationPage.h"

namespace parlumo {
namespace {

using ::testing::HasSubstr;
using testing::ScriptedServer;
using testing::ServerConnection;
using testing::ServiceProcess;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::vector<std::string> kWithoutDictionary = {"--dictionary", "/nonexistent/de-en"};

httplib::Result Translate(int port, std::string_view text, std::string_view pair,
                          std::chrono::seconds wait = 120s) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(wait);
  return client.Post("/translate_t",
                     "text=" + FormUrlEncode(text) + "&langpair=" + FormUrlEncode(pair),
                     "application/x-www-form-urlencoded");
}

// Every reserved character of the engines' stream format, alone, in words, in a
// run and last in the text (where an escaped "^" used to hang a pipeline for good).
TEST(ServiceHostileTextTest, EveryCharacterComesBackThroughEveryApertiumPair) {
  std::vector<std::string> args = {"--engine-timeout", "20"};
  args.insert(args.end(), kWithoutDictionary.begin(), kWithoutDictionary.end());
  ServiceProcess service(args);
  const std::string texts[] = {
      "house ^",
      "The big house ~ * # @ [x] {y} <z> /w/ $ \\ end ^",
      "a~b c*d e#f g@h.org i/j <b>k</b> [l] {m} $5 \\n ^^",
      "^$@\\/<>[]{}*#~",
  };
  for (const std::string_view pair :
       {"en|es", "es|en", "fr|es", "es|fr", "es|pt", "pt|es", "es|it", "it|es"}) {
    for (const auto& text : texts) {
      SCOPED_TRACE(std::string(pair) + ": " + text);
      const auto res = Translate(service.Port(), text, pair);
      ASSERT_TRUE(res);
      ASSERT_EQ(res->status, 200);
      const auto outcome = ExtractTranslation(res->body);
      ASSERT_TRUE(outcome.Succeeded());
      for (const char c : std::string_view("^$@\\/<>[]{}*#~")) {
        EXPECT_EQ(std::count(outcome.Text().begin(), outcome.Text().end(), c),
                  std::count(text.begin(), text.end(), c))
            << "character " << c << " in " << outcome.Text();
      }
    }
  }
}

// Control characters go from the text; tab and line breaks stay (a vertical tab,
// as some programs end a line, becomes a line feed).
TEST(ServiceHostileTextTest, ControlCharactersAreDroppedFromTheText) {
  ServiceProcess service(kWithoutDictionary);
  httplib::Client client("127.0.0.1", service.Port());
  client.set_read_timeout(120s);
  const auto res =
      client.Post("/translate_t", "text=Hel%00lo%01+big%7F%C2%80+house%0Bline&langpair=en%7Ces",
                  "application/x-www-form-urlencoded");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  for (const char c : {'\0', '\x01', '\x7F'}) {
    EXPECT_EQ(res->body.find(c), std::string::npos) << static_cast<int>(c);
  }
  EXPECT_EQ(res->body.find("\xC2\x80"), std::string::npos);
  const auto outcome = ExtractTranslation(res->body);
  ASSERT_TRUE(outcome.Succeeded());
  EXPECT_THAT(outcome.Text(), HasSubstr("Hola"));
  EXPECT_THAT(outcome.Text(), HasSubstr("\nL"));
}

// Input that used to keep a pipeline busy past its time-out: a huge word (the
// analysers take time that grows with its square) and random bytes.
TEST(ServiceHostileTextTest, HugeWordsAndBinaryTextAreAnsweredWithinTheTimeOut) {
  std::vector<std::string> args = {"--engine-timeout", "20"};
  args.insert(args.end(), kWithoutDictionary.begin(), kWithoutDictionary.end());
  ServiceProcess service(args);
  const std::string word(300 * 1024, 'x');
  const auto res = Translate(service.Port(), "the house " + word + " is big", "en|es");
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 200);
  const auto outcome = ExtractTranslation(res->body);
  ASSERT_TRUE(outcome.Succeeded());
  EXPECT_THAT(outcome.Text(), HasSubstr(" " + word + " "));
  EXPECT_THAT(outcome.Text(), HasSubstr("casa"));

  // 100,000 words on one line without a sentence end (the tagger's time grows with
  // the square of such a line).
  std::string words;
  for (int i = 0; i < 100000; ++i)
    words += "a1 ";
  const auto line = Translate(service.Port(), words, "en|es");
  ASSERT_TRUE(line);
  EXPECT_EQ(line->status, 200);

  std::mt19937 random(7);
  std::string bytes(100 * 1024, '\0');
  for (char& c : bytes)
    c = static_cast<char>(random());
  const auto binary = Translate(service.Port(), bytes, "en|es");
  ASSERT_TRUE(binary);
  EXPECT_EQ(binary->status, 200);
}

// Requests whose framing or host the service cannot trust: each is refused with its
// status and the connection closed, so that nothing after it on the connection (a
// smuggled second request) is read as a request.
TEST(ServiceWireTest, UntrustworthyFramingIsRefusedAndTheConnectionClosed) {
  // Kept-alive connections stay open far longer than the test waits for a close.
  std::vector<std::string> args = {"--idle-timeout", "60", "--client-timeout", "60"};
  args.insert(args.end(), kWithoutDictionary.begin(), kWithoutDictionary.end());
  ServiceProcess service(args);
  // Its answer (404) would show that it was read as a request.
  const std::string smuggled = "GET /smuggled HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  const std::string form = "text=house&langpair=en%7Ces";
  const std::string post = "POST /translate_t HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  const std::string chunk = "1b\r\n" + form + "\r\n0\r\n";
  struct Case {
    std::string_view what;
    std::string request;
    int status;
    bool closed;  // the service ends the connection after its answer
  };
  const Case cases[] = {
      {"unknown coding", post + "Transfer-Encoding: xchunked\r\n\r\n" + smuggled, 400, true},
      {"gzip alone", post + "Transfer-Encoding: gzip\r\n\r\n" + smuggled, 400, true},
      {"identity", post + "Transfer-Encoding: identity\r\n\r\n" + smuggled, 400, true},
      {"chunked not last", post + "Transfer-Encoding: chunked, identity\r\n\r\n" + smuggled, 400,
       true},
      {"chunked split over two fields",
       post + "Transfer-Encoding: chunked\r\nTransfer-Encoding: identity\r\n\r\n" + smuggled, 400,
       true},
      {"a coding before chunked",
       post + "Transfer-Encoding: gzip, chunked\r\n\r\n" + chunk + "\r\n", 501, true},
      {"chunked from HTTP/1.0",
       "POST /translate_t HTTP/1.0\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n" +
           chunk + "\r\n",
       400, true},
      {"trailer field over 64 KiB",
       post + "Transfer-Encoding: chunked\r\n\r\n" + chunk + "X-Long: " + std::string(70000, 'a') +
           "\r\n\r\n",
       431, true},
      {"two Host fields", "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nHost: example.org\r\n\r\n", 400,
       true},
      {"HTTP/1.1 without Host", "GET / HTTP/1.1\r\n\r\n", 400, true},
      // What stays served.
      {"HTTP/1.0 without Host", "GET / HTTP/1.0\r\n\r\n", 200, true},
      {"chunked with a trailer",
       post + "Transfer-Encoding: chunked\r\n\r\n" + chunk + "X-T: 1\r\n\r\n", 200, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RawClient client(service.Port());
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.Send(c.request));
    std::string answer;
    if (c.closed) {
      EXPECT_TRUE(client.ClosedWithin(20s));
      answer = client.Received();
    } else {
      // The whole answer first (a pipeline's cold start may take seconds),
      // then the connection stays open.
      answer = client.ReadAnswer(20s);
      EXPECT_FALSE(client.ClosedWithin(1s));
      answer += client.Received();
    }
    EXPECT_TRUE(answer.starts_with("HTTP/1.1 " + std::to_string(c.status) + " "))
        << answer.substr(0, 40);
    EXPECT_EQ(answer.find("HTTP/1.1 ", 1), std::string::npos)
        << "a second answer: " << answer.substr(answer.find("HTTP/1.1 ", 1), 40);
  }
}

// A mode folder whose English-Spanish pipeline hangs: a script that notes each
// start and each request it receives, and never answers. Spanish-English is the
// installed one.
class HangingModes {
 public:
  HangingModes() {
    const auto script = folder_.Path() / "hang.sh";
    std::ofstream(script) << "#!/bin/sh\n"
                          << "echo started >> '" << Log().string() << "'\n"
                          << "head -c 1 > /dev/null && echo received >> '" << Log().string()
                          << "'\n"
                          << "cat > /dev/null\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    std::ofstream(folder_.Path() / "eng-spa.mode") << script.string() << "\n";
    std::filesystem::copy_file("/usr/share/apertium/modes/spa-eng.mode",
                               folder_.Path() / "spa-eng.mode");
  }
  std::string Folder() const { return folder_.Path().string(); }
  std::filesystem::path Log() const { return folder_.Path() / "hang.log"; }
  // How often the log says word.
  int Count(std::string_view word) const {
    std::ifstream in(Log());
    int count = 0;
    for (std::string line; std::getline(in, line);)
      count += line == word ? 1 : 0;
    return count;
  }

 private:
  test::TempFolder folder_{"parlumo-hang"};
};

// A pipeline that does not answer in time is restarted once and its request fails
// at once: it is not sent to the new pipeline to wait a second time-out.
TEST(ServiceHungEngineTest, AHungPipelineFailsItsRequestOnceAndIsRestarted) {
  HangingModes modes;
  std::vector<std::string> args = {"--engine-timeout", "2", "--apertium-modes", modes.Folder()};
  args.insert(args.end(), kWithoutDictionary.begin(), kWithoutDictionary.end());
  ServiceProcess service(args);
  const auto res = Translate(service.Port(), "the house", "en|es");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 503);
  EXPECT_THAT(res->body, HasSubstr("try again"));
  EXPECT_EQ(modes.Count("received"), 1) << "the request went to a second pipeline";
  // The replacement notes its start on its own time.
  const auto end = Clock::now() + 20s;
  while (modes.Count("started") < 2 && Clock::now() < end)
    std::this_thread::sleep_for(20ms);
  EXPECT_EQ(modes.Count("started"), 2) << "the hung pipeline was not replaced";
  // The other pair is served on.
  const auto other = Translate(service.Port(), "la casa", "es|en");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->status, 200);
}

// Requests that wait for a pair whose pipelines hang give up instead of holding
// every worker: the other pairs and the service's pages are answered long before
// the hung requests end.
TEST(ServiceHungEngineTest, OtherPairsDoNotWaitForAHungPair) {
  HangingModes modes;
  // Waiting requests give up after a third of the time-out.
  std::vector<std::string> args = {"--engine-timeout", "24",          "--workers", "8",
                                   "--apertium-modes", modes.Folder()};
  args.insert(args.end(), kWithoutDictionary.begin(), kWithoutDictionary.end());
  ServiceProcess service(args);
  std::atomic<int> hungDone{0};
  std::vector<std::thread> hung;
  for (int i = 0; i < 8; ++i) {
    hung.emplace_back([&] {
      Translate(service.Port(), "the house", "en|es");
      ++hungDone;
    });
  }
  // Every pipeline of the pair has its request, and the other requests wait.
  const auto end = Clock::now() + 30s;
  while (modes.Count("received") < 2 && Clock::now() < end)
    std::this_thread::sleep_for(20ms);
  ASSERT_EQ(modes.Count("received"), 2);

  // Less than the hung requests' time-out: without their own way out, the waiting
  // requests would hold every worker until then.
  const auto other = Translate(service.Port(), "la casa", "es|en", 20s);
  httplib::Client client("127.0.0.1", service.Port());
  client.set_read_timeout(20s);
  const auto home = client.Get("/");
  // Both answered while the hung pair's pipelines still hold their requests.
  EXPECT_LT(hungDone.load(), 8);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->status, 200);
  EXPECT_THAT(other->body, HasSubstr("house"));
  ASSERT_TRUE(home);
  EXPECT_EQ(home->status, 200);
  EXPECT_EQ(modes.Count("received"), 2) << "a waiting request reached a hung pipeline";
  // The hung requests are not waited for.
  service.Stop(1);
  for (auto& t : hung)
    t.join();
}

// A page server that takes requests and never answers, until the test ends.
class SilentPages {
 public:
  SilentPages()
      : server_([this](ServerConnection& connection) {
          connection.ReadRequest();
          while (!server_.StopRequested())
            std::this_thread::sleep_for(10ms);
        }) {}
  // The service's target that translates a page of this server.
  std::string Translation() const {
    return "/translate?u=http://127.0.0.1:" + server_.PortText() + "/&langpair=en|es";
  }
  int Accepted() const { return server_.Accepted(); }

 private:
  ScriptedServer server_;
};

int Status(const httplib::Result& res) {
  return res ? res->status : -1;
}

// Page translations of pages that never come take at most their share of the
// workers; the text translations and the service's pages are answered beside them,
// and page translations beyond the share and its queue are refused at once.
TEST(ServicePageLaneTest, SlowPagesLeaveWorkersForEverythingElse) {
  std::vector<std::string> args = {
      "--workers", "8", "--fetch-workers", "4", "--max-waiting-fetches", "16"};
  args.insert(args.end(), kWithoutDictionary.begin(), kWithoutDictionary.end());
  ServiceProcess service(args);
  // The engine started before the pages come, so that the measured text does not
  // wait for its start.
  ASSERT_EQ(Status(Translate(service.Port(), "the dog", "en|es")), 200);
  std::optional<SilentPages> pages(std::in_place);
  std::atomic<int> answered{0};  // page translations answered with anything but 503
  std::atomic<int> refused{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < 30; ++i) {
    clients.emplace_back([&] {
      httplib::Client client("127.0.0.1", service.Port());
      client.set_read_timeout(120s);
      const auto res = client.Get(pages->Translation());
      if (res && res->status == 503 && res->get_header_value("Retry-After") == "1") {
        ++refused;
      } else {
        ++answered;
      }
    });
  }
  // The share and the queue are full: the rest has been refused.
  const auto end = Clock::now() + 60s;
  while (refused.load() + answered.load() < 10 && Clock::now() < end)
    std::this_thread::sleep_for(20ms);
  EXPECT_EQ(refused.load(), 10);

  const auto text = Translate(service.Port(), "the dog sleeps", "en|es", 60s);
  httplib::Client client("127.0.0.1", service.Port());
  client.set_read_timeout(60s);
  const auto home = client.Get("/");
  // Both answered while every page translation that was taken still waits.
  EXPECT_EQ(answered.load(), 0);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->status, 200);
  EXPECT_THAT(text->body, HasSubstr("perro"));
  EXPECT_EQ(Status(home), 200);

  pages.reset();  // the pages fail now, and the page translations end
  for (auto& t : clients)
    t.join();
  EXPECT_EQ(answered.load(), 20);
}

// Stopping the service does not wait for the page translations that wait for a
// fetch worker (each could take a whole fetch time-out): they are answered busy.
TEST(ServicePageLaneTest, StoppingRefusesThePageTranslationsStillWaiting) {
  std::vector<std::string> args = {"--fetch-workers", "1", "--max-waiting-fetches", "2"};
  args.insert(args.end(), kWithoutDictionary.begin(), kWithoutDictionary.end());
  ServiceProcess service(args);
  std::optional<SilentPages> pages(std::in_place);
  std::atomic<int> busy{0};
  std::vector<std::thread> clients;
  // One fetching, two queued, and one more refused at once: the queue is full.
  for (int i = 0; i < 4; ++i) {
    clients.emplace_back([&] {
      httplib::Client client("127.0.0.1", service.Port());
      client.set_read_timeout(120s);
      if (Status(client.Get(pages->Translation())) == 503) ++busy;
    });
  }
  const auto end = Clock::now() + 30s;
  while ((pages->Accepted() == 0 || busy.load() < 1) && Clock::now() < end)
    std::this_thread::sleep_for(10ms);
  ASSERT_EQ(busy.load(), 1);
  ::kill(service.Pid(), SIGTERM);
  while (busy.load() < 3 && Clock::now() < end)
    std::this_thread::sleep_for(10ms);
  EXPECT_EQ(busy.load(), 3) << "the queued page translations were not refused at the stop";
  pages.reset();  // the running one ends, and with it the service
  for (auto& t : clients)
    t.join();
  while (testing::ProcessRunning(service.Pid()) && Clock::now() < end)
    std::this_thread::sleep_for(10ms);
  const int status = service.Stop();  // collects the status of the ended process
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// A page translation whose client has gone is cancelled: its fetch ends at once and
// gives its connection to the page's server back, and its worker is free again.
TEST(ServicePageLaneTest, AFetchWhoseClientHasGoneIsCancelled) {
  std::atomic<bool> fetchEnded{false};
  ScriptedServer pages([&](ServerConnection& connection) {
    connection.ReadRequest();
    // Returns when the service closes the connection (or after the fetch's own
    // total time-out, 15 s, which the test must not wait for).
    connection.ReadToEnd(14s);
    fetchEnded = true;
  });
  std::vector<std::string> args = {"--fetch-workers", "1"};
  args.insert(args.end(), kWithoutDictionary.begin(), kWithoutDictionary.end());
  ServiceProcess service(args);
  const std::string target =
      "/translate?u=http://127.0.0.1:" + pages.PortText() + "/&langpair=en|es";
  {
    RawClient client(service.Port());
    ASSERT_TRUE(client.Send("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    const auto end = Clock::now() + 30s;
    while (pages.Accepted() == 0 && Clock::now() < end)
      std::this_thread::sleep_for(10ms);
    ASSERT_EQ(pages.Accepted(), 1);
  }  // the client goes
  const auto end = Clock::now() + 10s;
  while (!fetchEnded.load() && Clock::now() < end)
    std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(fetchEnded.load()) << "the fetch went on without its client";
}

// A page server that sends headers without end is cut off at 64 KiB: the page
// translation fails with a clear page instead of taking the service's memory.
TEST(ServicePageLaneTest, APageWithAHugeHeaderIsRefused) {
  ScriptedServer pages([](ServerConnection& connection) {
    connection.ReadRequest();
    connection.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n");
    const std::string field = "X-Filler: " + std::string(1000, 'f') + "\r\n";
    for (int i = 0; i < 10000; ++i)
      connection.Send(field);
  });
  ServiceProcess service(kWithoutDictionary);
  httplib::Client client("127.0.0.1", service.Port());
  client.set_read_timeout(60s);
  const auto res =
      client.Get("/translate?u=http://127.0.0.1:" + pages.PortText() + "/&langpair=en|es");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 502);
  EXPECT_THAT(res->body, HasSubstr("larger than 64 KiB"));
}

}  // namespace
}  // namespace parlumo
