// The HTTP client against a scripted server that checks the exact request bytes
// and plays back exact answers, one data file per case (tests/data/http). Every
// case runs twice: with the answer sent at once and one byte at a time.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <fstream>
#include <mutex>

#include "HttpCase.h"
#include "ScriptedServer.h"
#include "TempFolder.h"
#include "net/HttpClient.h"
#include "runtime/PollEventLoop.h"

namespace parlumo::testing {
namespace {

std::filesystem::path CaseFolder() {
  return std::filesystem::path(PARLUMO_TEST_DATA_DIR) / "http";
}

void SendReply(ServerConnection& c, const std::string& reply, bool bytewise) {
  if (!bytewise) {
    c.Send(reply);
    return;
  }
  const int on = 1;
  ::setsockopt(c.Fd(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  for (char ch : reply)
    c.Send(std::string_view(&ch, 1));
}

// Plays the exchanges that belong to one server, in order, and keeps what came.
class Peer {
 public:
  Peer(std::vector<HttpExchange> exchanges, bool bytewise)
      : exchanges_(std::move(exchanges)), server_([this, bytewise](ServerConnection& c) {
          for (;;) {
            HttpExchange e;
            {
              std::lock_guard lock(mutex_);
              if (next_ >= exchanges_.size()) return;
              e = exchanges_[next_++];
            }
            const std::string request = c.ReadRequest();
            {
              std::lock_guard lock(mutex_);
              received_.push_back(request);
            }
            if (e.hold) {
              c.ReadToEnd(std::chrono::seconds(20));
              return;
            }
            SendReply(c, Substitute(e.reply, ports_), bytewise);
            if (!e.keep) return;
          }
        }) {}

  std::uint16_t Port() const { return server_.Port(); }
  int Accepted() const { return server_.Accepted(); }
  void SetPorts(std::map<std::string, std::string> ports) { ports_ = std::move(ports); }
  std::vector<std::string> Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }
  std::vector<std::string> Expected() const {
    std::vector<std::string> requests;
    for (const auto& e : exchanges_)
      requests.push_back(Substitute(e.request, ports_));
    return requests;
  }

 private:
  std::vector<HttpExchange> exchanges_;
  std::map<std::string, std::string> ports_;
  std::mutex mutex_;
  std::size_t next_ = 0;
  std::vector<std::string> received_;
  ScriptedServer server_;  // last: its thread stops before the rest goes
};

struct Param {
  std::filesystem::path file;
  bool bytewise;
  friend void PrintTo(const Param& p, std::ostream* os) {
    *os << p.file.filename().string() << (p.bytewise ? " (bytewise)" : "");
  }
};

class HttpClientWireTest : public ::testing::TestWithParam<Param> {};

TEST_P(HttpClientWireTest, RequestAndAnswerAsTheDataFileSays) {
  const HttpCase c = LoadHttpCase(GetParam().file);
  std::vector<HttpExchange> first, second;
  for (const auto& e : c.exchanges)
    (e.second ? second : first).push_back(e);
  Peer peer(first, GetParam().bytewise);
  Peer peer2(second, GetParam().bytewise);
  const std::map<std::string, std::string> ports{{"PORT", std::to_string(peer.Port())},
                                                 {"PORT2", std::to_string(peer2.Port())}};
  peer.SetPorts(ports);
  peer2.SetPorts(ports);

  PollEventLoop loop;
  THttpClient client(loop);
  auto setting = [&](const std::string& key) -> const std::string* {
    const auto it = c.client.find(key);
    return it == c.client.end() ? nullptr : &it->second;
  };
  client.URL = Substitute(setting("url") ? *setting("url") : "", ports);
  if (const auto* proxy = setting("proxy")) client.Proxy = Substitute(*proxy, ports);
  if (const auto* version = setting("version")) client.SetRequestVer(*version);
  if (setting("nocache")) client.NoCache = true;
  if (setting("norelocation")) client.FollowRelocation = false;
  if (const auto* ms = setting("timeout"))
    client.Timeout = std::chrono::milliseconds(std::stoi(*ms));
  if (const auto* agent = setting("agent")) client.Agent = *agent;
  auto credentials = [](const std::string& pair, std::string& user, std::string& password) {
    const auto colon = pair.find(':');
    user = pair.substr(0, colon);
    password = pair.substr(colon + 1);
  };
  if (const auto* user = setting("user")) credentials(*user, client.Username, client.Password);
  if (const auto* user = setting("proxyuser")) {
    credentials(*user, client.ProxyUsername, client.ProxyPassword);
  }
  TStringStream request(setting("body") ? *setting("body") : "");
  TStringStream response;
  client.RequestStream = &request;
  client.ResponseStream = &response;
  int doneError = -1;
  client.OnRequestDone = [&](THttpClient&, THttpRequest, int error) { doneError = error; };

  std::string exception;
  try {
    client.RunRequest(CaseMethod(setting("method") ? *setting("method") : "POST"));
  } catch (const EHttpException& e) {
    exception = e.what();
    EXPECT_EQ(e.ErrorCode(), client.StatusCode());
  }

  EXPECT_EQ(peer.Received(), peer.Expected());
  EXPECT_EQ(peer2.Received(), peer2.Expected());
  for (const auto& [key, value] : c.expect) {
    SCOPED_TRACE(key);
    if (key == "status") {
      EXPECT_EQ(client.StatusCode(), std::stoi(value));
    }
    if (key == "reason") {
      EXPECT_EQ(client.ReasonPhrase(), value);
    }
    if (key == "exception") {
      EXPECT_EQ(exception, value);
    }
    if (key == "no-exception") {
      EXPECT_EQ(exception, "");
    }
    if (key == "rcvd") {
      EXPECT_EQ(client.RcvdCount(), std::stoll(value));
    }
    if (key == "location") {
      EXPECT_EQ(client.Location(), Substitute(value, ports));
    }
    if (key == "content-type") {
      EXPECT_EQ(client.ContentType(), value);
    }
    if (key == "done-error") {
      EXPECT_EQ(doneError, ErrorNumber(value));
    }
    if (key == "connections") {
      EXPECT_EQ(peer.Accepted() + peer2.Accepted(), std::stoi(value));
    }
  }
  if (c.hasBody) {
    EXPECT_EQ(response.DataString(), c.body);
  }
  EXPECT_EQ(client.State(), THttpClientState::hcsIdle);
}

std::vector<Param> AllCases() {
  std::vector<Param> params;
  for (const auto& file : HttpCaseFiles(CaseFolder())) {
    params.push_back({file, false});
    params.push_back({file, true});
  }
  return params;
}

INSTANTIATE_TEST_SUITE_P(Cases, HttpClientWireTest, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<Param>& param) {
                           std::string name = param.param.file.stem().string();
                           for (auto& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name + (param.param.bytewise ? "_bytewise" : "");
                         });

// What loading text as a case file says: empty when it loads, else the error.
std::string LoadError(const test::TempFolder& folder, const std::string& text) {
  const auto file = folder.Path() / "case.http";
  std::ofstream(file, std::ios::binary) << text;
  try {
    LoadHttpCase(file);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

// A case file's checks and settings are spelt right or the case fails: a
// misspelt expectation must not quietly remove its check.
TEST(HttpCaseFormatTest, UnknownKeysAndSectionOptionsAreRejected) {
  const test::TempFolder folder("http-case");
  const std::string request = "--- request\nGET / HTTP/1.0\n\n--- reply\nHTTP/1.0 200 OK\n\n";
  const struct {
    const char* text;
    const char* error;  // empty: the file loads
  } cases[] = {
      {"--- client\nurl http://x/\nagent A\n", ""},
      {"--- client\nurl http://x/\nagnet A\n", "case, client: unknown key \"agnet\""},
      {"--- expect\nstatus 200\n# a comment\nno-exception\n", ""},
      {"--- expect\nstatsu 200\n", "case, expect: unknown key \"statsu\""},
      {"--- request second lf\nGET / HTTP/1.0\n\n", ""},
      {"--- reply kepp\nHTTP/1.0 200 OK\n\n", "case: unknown option \"kepp\" of reply"},
      {"--- request hold\nGET / HTTP/1.0\n\n", "case: unknown option \"hold\" of request"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(LoadError(folder, request + c.text), c.error);
  }
}

// Whatever a case file says either counts or fails the case: nothing in it is
// dropped or overridden unseen. Whole files, each with one fault or none.
TEST(HttpCaseFormatTest, WhatTheFormatCannotMeanFailsTheCase) {
  const test::TempFolder folder("http-case");
  const struct {
    const char* text;
    const char* error;  // empty: the file loads
  } cases[] = {
      // Methods: the four the client runs, spelt exactly.
      {"--- client\nmethod HEAD\n", ""},
      {"--- client\nmethod GETT\n", "case, client: unknown method \"GETT\""},
      {"--- client\nmethod get\n", "case, client: unknown method \"get\""},
      {"--- client\nmethod\n", "case, client: unknown method \"\""},
      // A key given twice: neither value may silently win.
      {"--- client\nurl http://a/\nurl http://b/\n", "case, client: key \"url\" given twice"},
      {"--- expect\nstatus 200\nstatus 404\n", "case, expect: key \"status\" given twice"},
      {"--- client\nnocache\nnocache\n", "case, client: key \"nocache\" given twice"},
      // A section given twice: the second would replace the first.
      {"--- client\nurl http://a/\n--- client\nagent A\n", "case: section client given twice"},
      {"--- expect\nstatus 200\n--- expect\nrcvd 3\n", "case: section expect given twice"},
      {"--- body\none\n--- body\ntwo\n", "case: section body given twice"},
      {"--- request\nA\n--- reply keep\nB\n--- request\nC\n--- reply\nD\n", ""},
      // Section lines without a name, text outside every section.
      {"--- \nstatus 200\n", "case: \"---\" line without a section"},
      {"--- expect\nstatus 200\n---   \n", "case: \"---\" line without a section"},
      {"# what the case shows\n\n--- expect\nstatus 200\n", ""},
      {"status 200\n--- expect\nno-exception\n",
       "case: text before the first section: \"status 200\""},
      {" # indented\n--- expect\nno-exception\n",
       "case: text before the first section: \" # indented\""},
      // Error numbers by their Windows Sockets names, or plain numbers.
      {"--- expect\ndone-error WSAETIMEDOUT\n", ""},
      {"--- expect\ndone-error 10060\n", ""},
      {"--- expect\ndone-error WSAETIMEOUT\n", "case, expect: unknown error name \"WSAETIMEOUT\""},
      {"--- expect\ndone-error wsaetimedout\n",
       "case, expect: unknown error name \"wsaetimedout\""},
      {"--- expect\ndone-error 10060x\n", "case, expect: unknown error name \"10060x\""},
      {"--- expect\ndone-error\n", "case, expect: unknown error name \"\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(LoadError(folder, c.text), c.error);
  }
}

}  // namespace
}  // namespace parlumo::testing
