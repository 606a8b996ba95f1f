// THttpClient as its users see it: the events of a successful POST in their
// order, and the requests that are refused before anything is sent.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ScriptedServer.h"
#include "net/HttpClient.h"
#include "net/SocketErrors.h"
#include "runtime/PollEventLoop.h"

namespace parlumo {
namespace {

using testing::ScriptedServer;
using testing::ServerConnection;

const char* StateName(THttpClientState s) {
  static const char* const names[] = {
      "idle",          "not connected", "connected", "resolving", "resolved", "awaiting header",
      "awaiting body", "body received", "closing",   "aborting"};
  return names[static_cast<int>(s)];
}

// The text of the exception a request ends with; "" when it ends normally.
std::string ExceptionText(const std::function<void()>& request) {
  try {
    request();
  } catch (const EHttpException& e) {
    return e.what();
  }
  return "";
}

TEST(HttpClientEventsTest, SuccessfulPostRaisesItsEventsInOrder) {
  ScriptedServer server([](ServerConnection& c) {
    c.ReadUntil("\r\n\r\n");
    c.Read(5);
    c.Send("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello");
  });
  PollEventLoop loop;
  THttpClient client(loop);
  std::vector<std::string> log;
  auto note = [&log](const std::string& event) {
    if (log.empty() || log.back() != event) log.push_back(event);  // "per line" counts once
  };
  client.OnStateChange = [&](THttpClient& c) { log.push_back(StateName(c.State())); };
  client.OnSessionConnected = [&](THttpClient&, int) { note("SessionConnected"); };
  client.OnRequestHeaderBegin = [&](THttpClient&) { note("RequestHeaderBegin"); };
  client.OnBeforeHeaderSend = [&](THttpClient&, const std::string&, std::vector<std::string>&) {
    note("BeforeHeaderSend");
  };
  client.OnCommand = [&](THttpClient&, std::string&) { note("Command"); };
  client.OnRequestHeaderEnd = [&](THttpClient&) { note("RequestHeaderEnd"); };
  client.OnSendBegin = [&](THttpClient&) { note("SendBegin"); };
  client.OnSendData = [&](THttpClient&, const char*, std::size_t) { note("SendData"); };
  client.OnSendEnd = [&](THttpClient&) { note("SendEnd"); };
  client.OnHeaderBegin = [&](THttpClient&) { note("HeaderBegin"); };
  client.OnHeaderData = [&](THttpClient&) { note("HeaderData"); };
  client.OnHeaderEnd = [&](THttpClient&) { note("HeaderEnd"); };
  client.OnDocBegin = [&](THttpClient&) { note("DocBegin"); };
  client.OnDocData = [&](THttpClient&, const char*, std::size_t) { note("DocData"); };
  client.OnDocEnd = [&](THttpClient&) { note("DocEnd"); };
  client.OnSessionClosed = [&](THttpClient&) { note("SessionClosed"); };
  client.OnRequestDone = [&](THttpClient&, THttpRequest, int e) {
    note("RequestDone(" + std::to_string(e) + ")");
  };
  client.URL = "http://127.0.0.1:" + server.PortText() + "/translate_t";
  TStringStream request("a=b&c");
  TStringStream response;
  client.RequestStream = &request;
  client.ResponseStream = &response;
  client.Post();

  const std::vector<std::string> expected = {"not connected",
                                             "resolving",
                                             "resolved",
                                             "connected",
                                             "SessionConnected",
                                             "awaiting header",
                                             "RequestHeaderBegin",
                                             "BeforeHeaderSend",
                                             "Command",
                                             "RequestHeaderEnd",
                                             "Command",
                                             "SendBegin",
                                             "SendData",
                                             "SendEnd",
                                             "HeaderBegin",
                                             "HeaderData",
                                             "HeaderEnd",
                                             "awaiting body",
                                             "DocBegin",
                                             "DocData",
                                             "body received",
                                             "DocEnd",
                                             "SessionClosed",
                                             "idle",
                                             "RequestDone(0)"};
  EXPECT_EQ(log, expected);
  EXPECT_EQ(response.DataString(), "hello");
  EXPECT_EQ(client.SentCount(), 5);
  EXPECT_EQ(client.RcvdCount(), 5);
}

TEST(HttpClientEventsTest, RequestsRefusedBeforeAnythingIsSent) {
  int accepted = 0;
  ScriptedServer server([&](ServerConnection& c) {
    ++accepted;
    c.ReadToEnd(std::chrono::seconds(2));
  });
  PollEventLoop loop;
  THttpClient client(loop);
  client.URL = "http://127.0.0.1:" + server.PortText() + "/";

  auto code = [](const std::function<void()>& call) -> std::pair<std::string, int> {
    try {
      call();
    } catch (const EHttpException& e) {
      return {e.what(), e.ErrorCode()};
    }
    return {"", 0};
  };
  // Nothing to post: no stream, or an empty one.
  EXPECT_EQ(code([&] { client.Post(); }),
            (std::pair<std::string, int>{"HTTP component has nothing to post or put",
                                         kHttpErrorNothingToSend}));
  TStringStream empty;
  client.RequestStream = &empty;
  EXPECT_EQ(code([&] { client.Post(); }).second, kHttpErrorNothingToSend);

  // Busy: a second request while one runs.
  TStringStream body("x=1");
  client.RequestStream = &body;
  client.Timeout = std::chrono::milliseconds(300);
  client.StartRequest(THttpRequest::httpPOST);
  EXPECT_EQ(code([&] { client.StartRequest(THttpRequest::httpGET); }),
            (std::pair<std::string, int>{"HTTP component is busy", kHttpErrorBusy}));
  int doneError = -1;
  client.OnRequestDone = [&](THttpClient&, THttpRequest, int error) { doneError = error; };
  client.Abort();
  EXPECT_EQ(client.State(), THttpClientState::hcsIdle);
  EXPECT_EQ(client.ReasonPhrase(), "Connection aborted on request");
  for (int pass = 0; pass < 10 && doneError < 0; ++pass)
    loop.ProcessEvents(std::chrono::milliseconds(10));
  EXPECT_EQ(doneError, kHttpErrorAborted) << "the request ends with the abort's error";
  client.OnRequestDone = nullptr;

  // Only 1.0 and 1.1 are spoken.
  EXPECT_EQ(
      code([&] { client.SetRequestVer("2.0"); }),
      (std::pair<std::string, int>{"Insupported HTTP version", kHttpErrorUnsupportedVersion}));
  EXPECT_EQ(client.RequestVer(), "1.0");
  client.SetRequestVer("1.1");
  EXPECT_EQ(client.RequestVer(), "1.1");
}

TEST(HttpClientEventsTest, TooManyRedirectionsEndTheRequest) {
  int answered = 0;
  ScriptedServer server([&](ServerConnection& c) {
    c.ReadUntil("\r\n\r\n");
    ++answered;
    c.Send("HTTP/1.0 302 Found\r\nLocation: /again\r\n\r\n");
  });
  PollEventLoop loop;
  THttpClient client(loop);
  client.URL = "http://127.0.0.1:" + server.PortText() + "/start";
  try {
    client.Get();
    FAIL() << "no exception";
  } catch (const EHttpException& e) {
    EXPECT_STREQ(e.what(), "Too many redirections");
    EXPECT_EQ(e.ErrorCode(), 404);
  }
  EXPECT_EQ(answered, THttpClient::kMaxRelocations + 1);
}

// A POST that is redirected while its body is still going out is followed by a
// GET that carries nothing after its header: the rest of the body stays behind
// with the connection it was meant for.
TEST(HttpClientEventsTest, RedirectWhileTheBodyIsSentFollowsWithABodilessGet) {
  std::string followUp;
  std::string afterFollowUp;
  int connections = 0;
  auto server = std::make_unique<ScriptedServer>([&](ServerConnection& c) {
    if (connections++ == 0) {
      c.ReadUntil("\r\n\r\n");  // the body is left unread: it is still coming
      c.Send("HTTP/1.0 302 Found\r\nLocation: /moved\r\nContent-Length: 0\r\n\r\n");
      c.ReadToEnd(std::chrono::seconds(5));
      return;
    }
    followUp = c.ReadUntil("\r\n\r\n");
    c.Send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
    afterFollowUp = c.ReadToEnd(std::chrono::seconds(5));
  });
  PollEventLoop loop;
  THttpClient client(loop);
  client.URL = "http://127.0.0.1:" + server->PortText() + "/post";
  // More than the connection's buffers take at once, so the answer comes while
  // the body is still being sent.
  TStringStream request(std::string(std::size_t{32} << 20, 'b'));
  TStringStream response;
  client.RequestStream = &request;
  client.ResponseStream = &response;
  int sendEnds = 0;
  client.OnSendEnd = [&](THttpClient&) { ++sendEnds; };
  client.Post();
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(response.DataString(), "ok");
  EXPECT_EQ(client.RequestType(), THttpRequest::httpGET);
  EXPECT_EQ(client.SentCount(), 0) << "the GET sent body bytes";
  EXPECT_EQ(sendEnds, 0) << "the POST's body never ended, and the GET has none";
  server.reset();  // joins: the server's view is complete
  EXPECT_EQ(connections, 2);
  EXPECT_EQ(followUp.rfind("GET /moved HTTP/1.0\r\n", 0), 0u) << followUp;
  EXPECT_EQ(followUp.find("Content-Length"), std::string::npos) << followUp;
  EXPECT_EQ(afterFollowUp.size(), 0u) << "bytes after the GET's header";
}

// Basic credentials that a server or proxy accepted are forgotten when it
// challenges again on the same connection: the request is answered with them
// once more, as the first one was, instead of ending in an unexpected-state error.
TEST(HttpClientEventsTest, BasicChallengeAfterAcceptedCredentialsIsAnsweredAgain) {
  const struct {
    bool proxy;
    const char* refusal;      // status line and challenge
    const char* credentials;  // the line that answers the challenge
  } cases[] = {
      {false, "401 Unauthorized\r\nWWW-Authenticate", "\r\nAuthorization: Basic dXNlcjpzZWNyZXQ="},
      {true, "407 Proxy Authentication Required\r\nProxy-Authenticate",
       "\r\nProxy-Authorization: Basic dXNlcjpzZWNyZXQ="},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.proxy ? "proxy" : "server");
    std::vector<std::string> requests;
    ScriptedServer server([&](ServerConnection& connection) {
      while (true) {
        const std::string request = connection.ReadUntil("\r\n\r\n");
        if (request.empty()) return;
        requests.push_back(request);
        const bool answered = request.find(c.credentials) != std::string::npos;
        connection.Send(answered ? "HTTP/1.1 200 OK\r\nConnection: keep-alive\r\n"
                                   "Content-Length: 2\r\n\r\nok"
                                 : std::string("HTTP/1.1 ") + c.refusal +
                                       ": Basic realm=\"r\"\r\nConnection: keep-alive\r\n"
                                       "Content-Length: 0\r\n\r\n");
      }
    });
    PollEventLoop loop;
    THttpClient client(loop);
    client.SetRequestVer("1.1");
    const std::string origin =
        c.proxy ? "http://origin.example" : "http://127.0.0.1:" + server.PortText();
    if (c.proxy) {
      client.Proxy = "127.0.0.1";
      client.ProxyPort = server.PortText();
      client.ProxyUsername = "user";
      client.ProxyPassword = "secret";
    } else {
      client.Username = "user";
      client.Password = "secret";
    }
    for (const char* path : {"/first", "/second"}) {
      SCOPED_TRACE(path);
      client.URL = origin + path;
      TStringStream response;
      client.ResponseStream = &response;
      EXPECT_NO_THROW(client.Get());
      EXPECT_EQ(client.StatusCode(), 200);
      EXPECT_EQ(response.DataString(), "ok");
    }
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[2].find("Authorization:"), std::string::npos)
        << "credentials go out only in answer to a challenge";
    EXPECT_NE(requests[3].find("/second HTTP/1.1"), std::string::npos);
    EXPECT_NE(requests[3].find(c.credentials), std::string::npos);
  }
}

// Runs the loop until done() holds or the limit passes, so that a client that
// never gets there fails the test instead of hanging it.
void PumpUntil(PollEventLoop& loop, const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(3)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < end)
    loop.ProcessEvents(std::chrono::milliseconds(20));
}

// Abort called from an event handler ends the request there: the step that
// raised the event goes no further, the client stays idle, and OnRequestDone
// comes once, with the abort's error.
TEST(HttpClientEventsTest, AbortFromAHandlerEndsTheRequestThere) {
  const struct {
    const char* name;
    const char* reply;
    std::function<void(THttpClient&, std::function<void()>)> hook;
  } cases[] = {
      {"OnHeaderEnd, body to come", "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n12345",
       [](THttpClient& c, std::function<void()> abort) {
         c.OnHeaderEnd = [abort](THttpClient&) { abort(); };
       }},
      {"OnDocData, whole document", "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello",
       [](THttpClient& c, std::function<void()> abort) {
         c.OnDocData = [abort](THttpClient&, const char*, std::size_t) { abort(); };
       }},
      {"OnDocData, two chunks",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
       "3\r\none\r\n3\r\ntwo\r\n0\r\n\r\n",
       [](THttpClient& c, std::function<void()> abort) {
         c.OnDocData = [abort](THttpClient&, const char*, std::size_t) { abort(); };
       }},
      {"OnSessionConnected", "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello",
       [](THttpClient& c, std::function<void()> abort) {
         c.OnSessionConnected = [abort](THttpClient&, int) { abort(); };
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server([&](ServerConnection& connection) {
      connection.ReadUntil("\r\n\r\n");
      connection.Send(c.reply);  // all in one piece: one read takes it
      connection.ReadToEnd(std::chrono::seconds(3));
    });
    PollEventLoop loop;
    THttpClient client(loop);
    client.URL = "http://127.0.0.1:" + server.PortText() + "/";
    TStringStream response;
    client.ResponseStream = &response;
    std::vector<int> done;
    std::vector<std::string> afterAbort;
    bool aborted = false;
    c.hook(client, [&] {
      if (aborted) return;
      aborted = true;
      client.Abort();
    });
    client.OnStateChange = [&](THttpClient& self) {
      if (aborted && self.State() != THttpClientState::hcsIdle &&
          self.State() != THttpClientState::hcsAborting)
        afterAbort.push_back(StateName(self.State()));
    };
    client.OnRequestDone = [&](THttpClient&, THttpRequest, int error) { done.push_back(error); };
    client.StartRequest(THttpRequest::httpGET);
    PumpUntil(loop, [&] { return !done.empty() && client.State() == THttpClientState::hcsIdle; });
    for (int pass = 0; pass < 5; ++pass)  // anything still queued
      loop.ProcessEvents(std::chrono::milliseconds(20));
    EXPECT_TRUE(aborted);
    EXPECT_EQ(client.State(), THttpClientState::hcsIdle);
    EXPECT_EQ(done, std::vector<int>{kHttpErrorAborted});
    EXPECT_EQ(afterAbort, std::vector<std::string>{}) << "state changes after the abort";
    EXPECT_EQ(client.StatusCode(), 404);
  }
}

// A connection reset is no normal end of an answer: wherever it strikes (no
// answer yet, in the header, in a body that runs until the close or has a
// length), the request fails with the reset's own reason and number.
TEST(HttpClientEventsTest, AResetConnectionFailsTheRequest) {
  const struct {
    const char* name;
    const char* reply;  // sent before the reset
  } cases[] = {
      {"no answer", ""},
      {"in the header", "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n"},
      {"body until close", "HTTP/1.0 200 OK\r\n\r\npartial"},
      {"body cut short", "HTTP/1.0 200 OK\r\nContent-Length: 20\r\n\r\npartial"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server([&](ServerConnection& connection) {
      connection.ReadUntil("\r\n\r\n");
      connection.Send(c.reply);
      std::this_thread::sleep_for(std::chrono::milliseconds(200));  // read before the reset
      connection.Reset();
    });
    PollEventLoop loop;
    THttpClient client(loop);
    client.URL = "http://127.0.0.1:" + server.PortText() + "/";
    TStringStream response;
    client.ResponseStream = &response;
    int doneError = -1;
    client.OnRequestDone = [&](THttpClient&, THttpRequest, int error) { doneError = error; };
    const std::string exception = ExceptionText([&] { client.Get(); });
    for (int pass = 0; pass < 5 && doneError < 0; ++pass)
      loop.ProcessEvents(std::chrono::milliseconds(20));
    EXPECT_EQ(doneError, WSAECONNRESET);
    EXPECT_EQ(exception, SocketErrorReason(WSAECONNRESET))
        << "StatusCode " << client.StatusCode() << ", body \"" << response.DataString() << "\"";
    EXPECT_EQ(client.StatusCode(), 404);
  }
}

// A proxy and the server behind it that both ask for Basic credentials: the
// request goes out with both lines in the end (over HTTP/1.0 on a new
// connection each time, over 1.1 on one kept open). A proxy that refuses that
// request too does not keep the client going round in circles: the retries
// end with the last refusal, on their own, long before the time-out.
TEST(HttpClientEventsTest, BasicProxyAndBasicServerBothGetTheirCredentials) {
  const char* const proxyLine = "\r\nProxy-Authorization: Basic cHU6cHA=";
  const char* const serverLine = "\r\nAuthorization: Basic c3U6c3A=";
  const char* const proxyRefusal =
      "HTTP/1.1 407 Proxy Authentication Required\r\n"
      "Proxy-Authenticate: Basic realm=\"proxy\"\r\nContent-Length: 0\r\n\r\n";
  const struct {
    const char* version;
    bool proxyRefusesBoth;  // the request with both lines gets a 407 again
    int status;
    const char* body;
  } cases[] = {
      {"1.0", false, 200, "ok"},
      {"1.1", false, 200, "ok"},
      {"1.0", true, 407, ""},
      {"1.1", true, 407, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.version) + (c.proxyRefusesBoth ? ", refusing proxy" : ""));
    std::vector<std::string> requests;
    std::mutex mutex;
    ScriptedServer proxy([&](ServerConnection& connection) {
      for (;;) {
        const std::string request = connection.ReadUntil("\r\n\r\n");
        if (request.empty()) return;
        std::size_t count;
        {
          std::lock_guard lock(mutex);
          requests.push_back(request);
          count = requests.size();
        }
        if (count > 12) {  // the client is going round in circles: let it time out
          connection.ReadToEnd(std::chrono::seconds(3));
          return;
        }
        if (request.find(proxyLine) == std::string::npos) {
          connection.Send(proxyRefusal);
        } else if (request.find(serverLine) == std::string::npos) {
          connection.Send(
              "HTTP/1.1 401 Unauthorized\r\n"
              "WWW-Authenticate: Basic realm=\"server\"\r\nContent-Length: 0\r\n\r\n");
        } else if (c.proxyRefusesBoth) {
          connection.Send(proxyRefusal);
        } else {
          connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
        }
      }
    });
    PollEventLoop loop;
    THttpClient client(loop);
    client.SetRequestVer(c.version);
    client.Timeout = std::chrono::milliseconds(500);
    client.Proxy = "127.0.0.1";
    client.ProxyPort = proxy.PortText();
    client.ProxyUsername = "pu";
    client.ProxyPassword = "pp";
    client.Username = "su";
    client.Password = "sp";
    client.URL = "http://origin.example/doc";
    TStringStream response;
    client.ResponseStream = &response;
    const std::string exception = ExceptionText([&] { client.Get(); });
    std::lock_guard lock(mutex);
    EXPECT_EQ(exception, "");
    EXPECT_EQ(client.StatusCode(), c.status);
    EXPECT_EQ(response.DataString(), c.body);
    if (c.proxyRefusesBoth) {
      EXPECT_LE(requests.size(), 12u);
    } else {
      EXPECT_EQ(requests.size(), 3u);
    }
  }
}

// A request aborted in the moment between its end and its return to idle, and
// a new one started at once: the end of the old request does not end the new one.
TEST(HttpClientEventsTest, AbortAndRestartBeforeTheEndIsHandledKeepTheNewRequest) {
  ScriptedServer server([&](ServerConnection& c) {
    const std::string request = c.ReadUntil("\r\n\r\n");
    if (request.find("GET /first") == 0) {
      c.Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    }
    c.ReadToEnd(std::chrono::seconds(2));  // the second request gets no answer
  });
  PollEventLoop loop;
  THttpClient client(loop);
  client.SetRequestVer("1.1");
  client.URL = "http://127.0.0.1:" + server.PortText() + "/first";
  TStringStream response;
  client.ResponseStream = &response;
  std::vector<std::pair<THttpRequest, int>> done;
  client.OnRequestDone = [&](THttpClient&, THttpRequest kind, int error) {
    done.emplace_back(kind, error);
  };
  std::vector<std::string> states;  // of the second request
  client.OnDocEnd = [&](THttpClient& self) {
    // Another event of the caller's, queued before the client's own end.
    loop.Post([&self, &states] {
      self.Abort();
      self.URL = self.URL.substr(0, self.URL.rfind('/')) + "/second";
      self.StartRequest(THttpRequest::httpHEAD);
      self.OnStateChange = [&states](THttpClient& c) { states.push_back(StateName(c.State())); };
    });
  };
  client.StartRequest(THttpRequest::httpGET);
  PumpUntil(
      loop, [] { return false; }, std::chrono::milliseconds(500));
  EXPECT_EQ(done.size(), 1u) << "OnRequestDone for the request still running";
  EXPECT_EQ(client.RequestType(), THttpRequest::httpHEAD);
  EXPECT_EQ(client.State(), THttpClientState::hcsAwaitingHeader);
  EXPECT_EQ(states, (std::vector<std::string>{"connected", "awaiting header"}));
}

// Over HTTP/1.1 with a connection the server keeps open, an answer that comes
// while a POST body is still going out is followed on a new connection: the
// follow-up does not go out behind half a body, where the server reads it as
// body bytes. A relocation follows with a GET, a Basic retry with the whole POST.
TEST(HttpClientEventsTest, FollowUpWhileTheBodyIsSentKeepsNoHalfSentConnection) {
  constexpr std::size_t kBodySize = std::size_t{32} << 20;
  const struct {
    const char* name;
    const char* answer;     // to the POST, before its body is read
    const char* firstLine;  // of the follow-up
    std::size_t bodySize;   // of the follow-up
  } cases[] = {
      {"redirect", "HTTP/1.1 302 Found\r\nLocation: /moved\r\nContent-Length: 0\r\n\r\n",
       "GET /moved HTTP/1.1\r\n", 0},
      {"Basic retry",
       "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"r\"\r\n"
       "Content-Length: 0\r\n\r\n",
       "POST /post HTTP/1.1\r\n", kBodySize},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string followUp;
    int connections = 0;
    auto server = std::make_unique<ScriptedServer>([&](ServerConnection& connection) {
      if (connections++ == 0) {
        connection.ReadUntil("\r\n\r\n");  // the body is left unread: it is still coming
        connection.Send(c.answer);
        connection.ReadToEnd(std::chrono::seconds(3));  // all of it is body of the POST
        return;
      }
      followUp = connection.ReadRequest();
      connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    });
    PollEventLoop loop;
    THttpClient client(loop);
    client.SetRequestVer("1.1");
    client.Timeout = std::chrono::seconds(2);
    client.Username = "user";
    client.Password = "secret";
    client.URL = "http://127.0.0.1:" + server->PortText() + "/post";
    TStringStream request(std::string(kBodySize, 'b'));
    TStringStream response;
    client.RequestStream = &request;
    client.ResponseStream = &response;
    const std::string exception = ExceptionText([&] { client.Post(); });
    EXPECT_EQ(exception, "");
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_EQ(response.DataString(), "ok");
    server.reset();  // joins: the server's view is complete
    EXPECT_EQ(connections, 2);
    EXPECT_EQ(followUp.rfind(c.firstLine, 0), 0u) << followUp.substr(0, 300);
    const auto headerEnd = followUp.find("\r\n\r\n");
    ASSERT_NE(headerEnd, std::string::npos) << followUp.substr(0, 300);
    EXPECT_EQ(followUp.size() - headerEnd - 4, c.bodySize);
  }
}

// An NTLM exchange that ends before its authenticate step (here the negotiate
// request is answered 500) leaves nothing behind, with the server as with the
// proxy: the next POST carries its body and no negotiate message.
TEST(HttpClientEventsTest, AnUnfinishedNtlmExchangeDoesNotStripTheNextPost) {
  const struct {
    const char* name;
    bool proxy;
    const char* challenge;
    const char* authorization;
  } cases[] = {
      {"server", false, "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: NTLM\r\n",
       "\r\nAuthorization: NTLM "},
      {"proxy", true, "HTTP/1.0 407 Proxy Authentication Required\r\nProxy-Authenticate: NTLM\r\n",
       "\r\nProxy-Authorization: NTLM "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> requests;
    std::mutex mutex;
    ScriptedServer server([&](ServerConnection& connection) {
      const std::string request = connection.ReadRequest();
      std::size_t count;
      {
        std::lock_guard lock(mutex);
        requests.push_back(request);
        count = requests.size();
      }
      if (count == 1) {
        connection.Send(std::string(c.challenge) + "Content-Length: 0\r\n\r\n");
      } else if (count == 2) {
        connection.Send("HTTP/1.0 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
      } else {
        connection.Send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
      }
    });
    PollEventLoop loop;
    THttpClient client(loop);
    if (c.proxy) {
      client.Proxy = "127.0.0.1";
      client.ProxyPort = server.PortText();
      client.ProxyUsername = "user";
      client.ProxyPassword = "secret";
      client.URL = "http://origin.example/translate_t";
    } else {
      client.Username = "user";
      client.Password = "secret";
      client.URL = "http://127.0.0.1:" + server.PortText() + "/translate_t";
    }
    std::string exceptions;
    for (int attempt = 1; attempt <= 2; ++attempt) {
      TStringStream request("text=hello");
      TStringStream response;
      client.RequestStream = &request;
      client.ResponseStream = &response;
      if (const std::string text = ExceptionText([&] { client.Post(); }); !text.empty()) {
        exceptions += text + ";";
      }
    }
    EXPECT_EQ(exceptions, "Internal Server Error;");
    EXPECT_EQ(client.StatusCode(), 200);
    std::lock_guard lock(mutex);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_NE(requests[1].find(c.authorization), std::string::npos) << requests[1];
    EXPECT_EQ(requests[2].find("Authorization:"), std::string::npos) << requests[2];
    EXPECT_NE(requests[2].find("Content-Length: 10\r\n"), std::string::npos) << requests[2];
    EXPECT_EQ(requests[2].substr(requests[2].size() - 10), "text=hello") << requests[2];
  }
}

}  // namespace
}  // namespace parlumo
