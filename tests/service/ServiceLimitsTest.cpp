// parlumo-service's limits against slow, idle and too many clients: a real service
// process, spoken to over raw sockets where a client must misbehave and over
// httplib where it behaves.

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "RawClient.h"
#include "ServiceProcess.h"
#include "ServingOnLoopback.h"
#include "support/LoopbackPort.h"

namespace parlumo {
namespace {

using ::testing::HasSubstr;
using testing::ServiceProcess;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Without the dictionary the service starts at once, even in a sanitizer build.
std::vector<std::string> Args(std::vector<std::string> limits) {
  limits.insert(limits.end(), {"--dictionary", "/nonexistent/de-en"});
  return limits;
}

constexpr std::string_view kHome = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

// A web server of the test's own whose page takes its time: a page translation of
// it keeps a worker of the service busy.
class SlowPageServer {
 public:
  explicit SlowPageServer(std::chrono::milliseconds delay) {
    server_.Get("/slow.html", [this, delay](const httplib::Request&, httplib::Response& res) {
      ++asked_;
      std::this_thread::sleep_for(delay);
      res.set_content("<p>The house is big.</p>", "text/html; charset=UTF-8");
    });
    serving_.emplace(server_);
  }
  // The service's target that translates the slow page.
  std::string Translation() const {
    return "/translate?u=http://127.0.0.1:" + std::to_string(serving_->Port()) +
           "/slow.html&langpair=en|es";
  }
  // Waits until the page has been asked for count times in all.
  bool WaitAsked(int count) const {
    const auto end = Clock::now() + 30s;
    while (asked_.load() < count) {
      if (Clock::now() > end) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }

 private:
  httplib::Server server_;
  std::atomic<int> asked_{0};
  std::optional<testing::ServingOnLoopback> serving_;  // last: stops first
};

int GetStatus(int port, const std::string& target, std::string* body = nullptr) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(60s);
  const auto res = client.Get(target);
  if (!res) return -1;
  if (body != nullptr) *body = res->body;
  return res->status;
}

// Gives the value of a header field of an answer ("" when it has none).
std::string Field(const std::string& answer, const std::string& name) {
  const auto at = answer.find("\r\n" + name + ": ");
  if (at == std::string::npos || at > answer.find("\r\n\r\n")) return "";
  const auto start = at + name.size() + 4;
  return answer.substr(start, answer.find("\r\n", start) - start);
}

std::string Body(const std::string& answer) {
  const auto end = answer.find("\r\n\r\n");
  return end == std::string::npos ? "" : answer.substr(end + 4);
}

TEST(ServiceWireTest, HeadPipeliningContinueAndConnectionEnd) {
  ServiceProcess service(Args({}));
  RawClient get(service.Port());
  ASSERT_TRUE(get.Send(kHome));
  const std::string page = get.ReadAnswer(10s);
  ASSERT_THAT(page, HasSubstr("HTTP/1.1 200 OK\r\n"));
  EXPECT_EQ(Field(page, "Content-Length"), std::to_string(Body(page).size()));
  EXPECT_THAT(Field(page, "Keep-Alive"), HasSubstr("timeout="));
  EXPECT_NE(Field(page, "Date"), "");

  // HEAD: the header of the GET answer, its length, no body.
  RawClient head(service.Port());
  ASSERT_TRUE(head.Send("HEAD / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"));
  EXPECT_TRUE(head.ClosedWithin(10s));
  EXPECT_THAT(head.Received(), HasSubstr("HTTP/1.1 200 OK\r\n"));
  EXPECT_EQ(Field(head.Received(), "Content-Length"), std::to_string(Body(page).size()));
  EXPECT_EQ(Field(head.Received(), "Connection"), "close");
  EXPECT_EQ(Body(head.Received()), "");

  // Two requests sent at once are answered in their order on the one connection.
  RawClient pipelined(service.Port());
  ASSERT_TRUE(
      pipelined.Send("GET /no/such/page HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
                     "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"));
  EXPECT_TRUE(pipelined.ClosedWithin(10s));
  const std::string both = pipelined.Received();
  const auto second = both.find("HTTP/1.1 200 OK");
  EXPECT_EQ(both.find("HTTP/1.1 404 Not Found"), 0u);
  EXPECT_NE(second, std::string::npos);

  // A client that waits for "100 Continue" gets it, then its answer.
  RawClient waiting(service.Port());
  const std::string form = "text=The+dog+sleeps.&langpair=en%7Ces";
  ASSERT_TRUE(
      waiting.Send("POST /translate_t HTTP/1.1\r\nHost: 127.0.0.1\r\nExpect: 100-continue\r\n"
                   "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                   std::to_string(form.size()) + "\r\n\r\n"));
  EXPECT_FALSE(waiting.ClosedWithin(1s));
  EXPECT_EQ(waiting.Received(), "HTTP/1.1 100 Continue\r\n\r\n");
  ASSERT_TRUE(waiting.Send(form));
  waiting.ReadAnswer(0ms);  // drops the interim answer
  EXPECT_THAT(waiting.ReadAnswer(60s), HasSubstr("perro"));

  // HTTP/1.0 without keep-alive: the answer, then the end of the connection.
  RawClient old(service.Port());
  ASSERT_TRUE(old.Send("GET / HTTP/1.0\r\n\r\n"));
  EXPECT_TRUE(old.ClosedWithin(10s));
  EXPECT_THAT(old.Received(), HasSubstr("200 OK"));
  EXPECT_EQ(Field(old.Received(), "Connection"), "close");

  // HTTP/1.0 with keep-alive: the answer says it is kept, and the next one follows.
  RawClient kept(service.Port());
  ASSERT_TRUE(kept.Send("GET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n"));
  const std::string first = kept.ReadAnswer(10s);
  EXPECT_THAT(first, HasSubstr("200 OK"));
  EXPECT_EQ(Field(first, "Connection"), "keep-alive");
  ASSERT_TRUE(kept.Send("GET / HTTP/1.0\r\n\r\n"));
  EXPECT_TRUE(kept.ClosedWithin(10s));
  EXPECT_THAT(kept.Received(), HasSubstr("200 OK"));
}

TEST(ServiceLimitsTest, TimeLimitsCloseSlowAndIdleConnections) {
  // Each limit is set short and the others long, so that only it can close.
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string request;   // sent first, whole
    std::string trickled;  // then sent one byte every 200 ms
    std::chrono::milliseconds earliest;
    std::chrono::milliseconds latest;
  };
  const Case cases[] = {
      {"header deadline: bytes trickling in do not extend it",
       {"--header-timeout", "2", "--idle-timeout", "60", "--client-timeout", "60"},
       "",
       "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + std::string(100, 'a'),
       1500ms,
       6000ms},
      {"idle time-out after an answer",
       {"--header-timeout", "60", "--idle-timeout", "1", "--client-timeout", "60"},
       std::string(kHome),
       "",
       700ms,
       5000ms},
      {"body deadline: bytes trickling in do not extend it",
       {"--body-timeout", "2", "--header-timeout", "60", "--idle-timeout", "60", "--client-timeout",
        "60"},
       "POST /translate_t HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 1000\r\n\r\n",
       "text=" + std::string(100, 'a'),
       1500ms,
       6000ms},
      {"client time-out in the middle of a body",
       {"--header-timeout", "60", "--idle-timeout", "60", "--client-timeout", "1"},
       "POST /translate_t HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 100\r\n\r\ntext=",
       "",
       700ms,
       5000ms},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ServiceProcess service(Args(c.args));
    RawClient client(service.Port());
    ASSERT_TRUE(client.Connected());
    if (!c.request.empty()) {
      ASSERT_TRUE(client.Send(c.request));
      if (c.request.starts_with("GET")) {
        EXPECT_THAT(client.ReadAnswer(10s), HasSubstr("HTTP/1.1 200 OK"));
      }
    }
    const auto start = Clock::now();
    bool closed = false;
    for (const char byte : c.trickled) {
      if (!client.Send(std::string_view(&byte, 1))) {
        closed = true;
        break;
      }
      if (client.ClosedWithin(200ms)) {
        closed = true;
        break;
      }
    }
    if (!closed) closed = client.ClosedWithin(c.latest + 1s);
    const auto took = Clock::now() - start;
    EXPECT_TRUE(closed);
    EXPECT_GE(took, c.earliest);
    EXPECT_LE(took, c.latest);
    EXPECT_EQ(client.Received(), "") << "a connection closed for its time is not answered";
  }
}

TEST(ServiceLimitsTest, ConnectionCapClosesTheOldestIdleConnectionsFirst) {
  ServiceProcess service(Args({"--max-connections", "4", "--idle-timeout", "60", "--header-timeout",
                               "60", "--client-timeout", "60"}));
  // Two kept-alive connections, idle after their answers: first, then second.
  RawClient first(service.Port());
  ASSERT_TRUE(first.Send(kHome));
  ASSERT_THAT(first.ReadAnswer(10s), HasSubstr("200 OK"));
  RawClient second(service.Port());
  ASSERT_TRUE(second.Send(kHome));
  ASSERT_THAT(second.ReadAnswer(10s), HasSubstr("200 OK"));
  // Two whose headers are on their way.
  RawClient slow1(service.Port());
  ASSERT_TRUE(slow1.Send("GET / HTTP/1.1\r\nHo"));
  RawClient slow2(service.Port());
  ASSERT_TRUE(slow2.Send("GET / HTTP/1.1\r\nHo"));
  std::this_thread::sleep_for(200ms);

  // At the cap, each new connection closes the connection idle the longest.
  RawClient third(service.Port());
  EXPECT_TRUE(first.ClosedWithin(5s));
  EXPECT_FALSE(second.ClosedWithin(0ms));
  RawClient fourth(service.Port());
  EXPECT_TRUE(second.ClosedWithin(5s));
  EXPECT_FALSE(slow1.ClosedWithin(0ms));
  EXPECT_FALSE(slow2.ClosedWithin(0ms));
  EXPECT_FALSE(third.ClosedWithin(0ms));

  // The new connection is served, and so are the slow ones that were spared.
  ASSERT_TRUE(fourth.Send(kHome));
  EXPECT_THAT(fourth.ReadAnswer(10s), HasSubstr("200 OK"));
  ASSERT_TRUE(slow1.Send("st: 127.0.0.1\r\n\r\n"));
  EXPECT_THAT(slow1.ReadAnswer(10s), HasSubstr("200 OK"));

  // With nothing idle, the header that has been arriving the longest goes.
  ASSERT_TRUE(third.Send("GET / HTTP/1.1\r\nHo"));
  ASSERT_TRUE(fourth.Send("GET / HTTP/1.1\r\nHo"));
  ASSERT_TRUE(slow1.Send("GET / HTTP/1.1\r\nHo"));
  std::this_thread::sleep_for(200ms);
  RawClient fifth(service.Port());
  EXPECT_TRUE(slow2.ClosedWithin(5s));
  EXPECT_FALSE(third.ClosedWithin(0ms));
  ASSERT_TRUE(fifth.Send(kHome));
  EXPECT_THAT(fifth.ReadAnswer(10s), HasSubstr("200 OK"));
}

// The sockets the process holds open: its listener and its connections.
int OpenSockets(pid_t pid) {
  int sockets = 0;
  const std::filesystem::path folder = "/proc/" + std::to_string(pid) + "/fd";
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::error_code ec;
    if (std::filesystem::read_symlink(entry.path(), ec).string().starts_with("socket:")) ++sockets;
  }
  return sockets;
}

TEST(ServiceLimitsTest, TheCapHoldsForClientsThatSendTheirRequestsAtOnce) {
  // Each client's header arrives with its first read, so the connection is past
  // its idle phase by the time the next one comes: the cap must hold all the same.
  ServiceProcess service(Args({"--max-connections", "4", "--header-timeout", "60", "--body-timeout",
                               "60", "--client-timeout", "60"}));
  std::vector<std::unique_ptr<RawClient>> clients;
  for (int i = 0; i < 20; ++i) {
    clients.push_back(std::make_unique<RawClient>(service.Port()));
    ASSERT_TRUE(clients.back()->Send(
        "POST /translate_t HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 1000\r\n\r\nt"));
    std::this_thread::sleep_for(50ms);
  }
  std::this_thread::sleep_for(300ms);
  EXPECT_LE(OpenSockets(service.Pid()), 1 + 4);
  // The newest is served once it completes its request.
  const std::string rest = "&langpair=en%7Ces";
  ASSERT_TRUE(clients.back()->Send("ext=" + std::string(999 - 4 - rest.size(), 'a') + rest));
  EXPECT_THAT(clients.back()->ReadAnswer(10s), HasSubstr("HTTP/1.1 200 OK"));
}

TEST(ServiceLimitsTest, ARequestPartThatNeverEndsIsRefusedAndTheServiceStopsCleanly) {
  // The parser sets no limit of its own on a chunk-size line or a trailer.
  const std::string chunked =
      "POST /translate_t HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string endless[] = {
      chunked + "1;" + std::string(90000, 'a'),
      chunked + "0\r\nX-Trailer: " + std::string(90000, 'a'),
  };
  for (const auto& request : endless) {
    SCOPED_TRACE(request.substr(chunked.size(), 16));
    ServiceProcess service(Args({}));
    RawClient client(service.Port());
    ASSERT_TRUE(client.Send(request));
    EXPECT_THAT(client.ReadAnswer(10s), HasSubstr("HTTP/1.1 400 "));
    EXPECT_TRUE(client.ClosedWithin(5s));
    RawClient other(service.Port());
    ASSERT_TRUE(other.Send(kHome));
    EXPECT_THAT(other.ReadAnswer(10s), HasSubstr("HTTP/1.1 200 OK"));
    const auto start = Clock::now();
    const int status = service.Stop(10);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_LT(Clock::now() - start, 5s);
  }
}

TEST(ServiceLimitsTest, AFullWaitingQueueAnswers503WithRetryAfter) {
  // One worker, kept busy by a slow page; one request may wait for it.
  SlowPageServer pages(4000ms);
  ServiceProcess service(Args({"--workers", "1", "--max-waiting", "1"}));
  int busyStatus = 0;
  std::thread busy([&] { busyStatus = GetStatus(service.Port(), pages.Translation()); });
  ASSERT_TRUE(pages.WaitAsked(1));
  int waitingStatus = 0;
  std::string waitingBody;
  std::thread waiting([&] { waitingStatus = GetStatus(service.Port(), "/", &waitingBody); });
  std::this_thread::sleep_for(1s);

  httplib::Client client("127.0.0.1", service.Port());
  const auto start = Clock::now();
  const auto refused = client.Get("/");
  const auto took = Clock::now() - start;
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 503);
  EXPECT_EQ(refused->get_header_value("Retry-After"), "1");
  EXPECT_THAT(refused->get_header_value("Content-Type"), HasSubstr("text/html"));
  EXPECT_THAT(refused->body, HasSubstr("try again"));
  EXPECT_LT(took, 2s) << "the refusal does not wait for the worker";

  busy.join();
  waiting.join();
  EXPECT_EQ(busyStatus, 200);
  EXPECT_EQ(waitingStatus, 200);
  EXPECT_THAT(waitingBody, HasSubstr("Parlumo"));
  // With the worker free again, requests are served.
  EXPECT_EQ(GetStatus(service.Port(), "/"), 200);
}

TEST(ServiceLimitsTest, ANormalRequestBesideTwoHundredTricklingConnectionsIsAnswered) {
  // Their header deadline is far away: here they must stay open beside the others.
  ServiceProcess service(Args({"--header-timeout", "120", "--client-timeout", "120"}));
  std::vector<std::unique_ptr<RawClient>> tricklers;
  for (int i = 0; i < 200; ++i) {
    tricklers.push_back(std::make_unique<RawClient>(service.Port()));
    ASSERT_TRUE(tricklers.back()->Connected());
    ASSERT_TRUE(tricklers.back()->Send("GET / HTTP/1.1\r\nX-Slow: "));
  }
  std::atomic<bool> done{false};
  std::thread trickle([&] {
    while (!done.load()) {
      for (auto& t : tricklers)
        t->Send("a");
      for (int i = 0; i < 10 && !done.load(); ++i)
        std::this_thread::sleep_for(100ms);
    }
  });
  httplib::Client client("127.0.0.1", service.Port());
  client.set_read_timeout(60s);
  const std::string body = "text=The+dog+sleeps.&langpair=en%7Ces";
  // The first translation starts the engine; the ones after it are measured.
  ASSERT_TRUE(client.Post("/translate_t", body, "application/x-www-form-urlencoded"));
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    const auto home = httplib::Client("127.0.0.1", service.Port()).Get("/");
    const auto res = httplib::Client("127.0.0.1", service.Port())
                         .Post("/translate_t", body, "application/x-www-form-urlencoded");
    const auto took = Clock::now() - start;
    ASSERT_TRUE(home);
    EXPECT_EQ(home->status, 200);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_THAT(res->body, HasSubstr("perro"));
    EXPECT_LT(took, 5s);
  }
  done = true;
  trickle.join();
  // The trickling connections are still open: neither the others nor time closed them.
  int open = 0;
  for (auto& t : tricklers)
    open += t->ClosedWithin(0ms) ? 0 : 1;
  EXPECT_EQ(open, 200);
}

TEST(ServiceLimitsTest, SigtermFinishesRequestsUnderWayAndClosesWaitingConnections) {
  SlowPageServer pages(2000ms);
  ServiceProcess service(Args({"--client-timeout", "3"}));
  std::vector<std::unique_ptr<RawClient>> waiting;
  for (int i = 0; i < 20; ++i) {
    waiting.push_back(std::make_unique<RawClient>(service.Port()));
    ASSERT_TRUE(waiting.back()->Send(i % 2 == 0 ? "GET / HTTP/1.1\r\nX-Slow: a" : ""));
  }
  // A body that trickles in gets one client time-out after the stop, not more.
  RawClient bodyTrickler(service.Port());
  ASSERT_TRUE(bodyTrickler.Send("POST /translate_t HTTP/1.1\r\nContent-Length: 100\r\n\r\nt"));
  std::atomic<bool> stopped{false};
  std::thread trickle([&] {
    for (int i = 0; i < 99 && !stopped.load() && bodyTrickler.Send("e"); ++i)
      std::this_thread::sleep_for(500ms);
  });
  int status = 0;
  std::string body;
  std::thread underWay([&] { status = GetStatus(service.Port(), pages.Translation(), &body); });
  ASSERT_TRUE(pages.WaitAsked(1));
  const auto start = Clock::now();
  const int exit = service.Stop();
  const auto took = Clock::now() - start;
  stopped = true;
  trickle.join();
  underWay.join();
  EXPECT_TRUE(WIFEXITED(exit) && WEXITSTATUS(exit) == 0) << "status " << exit;
  EXPECT_LT(took, 8s);
  EXPECT_EQ(status, 200);
  EXPECT_THAT(body, HasSubstr("casa"));
  for (auto& w : waiting)
    EXPECT_TRUE(w->ClosedWithin(0ms));
}

}  // namespace
}  // namespace parlumo
