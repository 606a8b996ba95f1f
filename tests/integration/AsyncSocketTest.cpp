#include "net/AsyncSocket.h"

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ScriptedServer.h"
#include "runtime/PollEventLoop.h"

namespace parlumo {
namespace {

using namespace std::chrono_literals;
using testing::ClosedPort;
using testing::ScriptedServer;
using testing::ServerConnection;

const char* StateName(TSocketState s) {
  switch (s) {
    case TSocketState::wsOpened:
      return "Opened";
    case TSocketState::wsConnecting:
      return "Connecting";
    case TSocketState::wsConnected:
      return "Connected";
    case TSocketState::wsClosed:
      return "Closed";
  }
  return "?";
}

// How the log below writes an event with its error number: "SessionClosed(0)".
std::string EventText(std::string_view name, int error) {
  return std::string(name) + "(" + std::to_string(error) + ")";
}

// A socket on a PollEventLoop whose events are written to a log, in order.
class AsyncSocketTest : public ::testing::Test {
 protected:
  AsyncSocketTest() : socket_(std::make_unique<TAsyncSocket>(loop_)) {
    socket_->SetDnsSettings({500, 2});
    Log(*socket_);
  }

  void Log(TAsyncSocket& s) {
    s.OnDnsLookupDone = [this](TAsyncSocket&, int e) { Add(EventText("DnsLookupDone", e)); };
    s.OnSessionConnected = [this](TAsyncSocket&, int e) { Add(EventText("SessionConnected", e)); };
    s.OnSessionClosed = [this](TAsyncSocket&, int e) { Add(EventText("SessionClosed", e)); };
    s.OnDataSent = [this](TAsyncSocket&, int e) { Add(EventText("DataSent", e)); };
    s.OnDataAvailable = [this](TAsyncSocket& sock, int) {
      char buffer[4096];
      const int n = sock.Receive(buffer, sizeof buffer);
      if (n > 0) received_.append(buffer, static_cast<size_t>(n));
      if (n > 0 && (events_.empty() || events_.back() != "Data")) Add("Data");
    };
    s.OnError = [this](TAsyncSocket& sock) { Add("Error: " + sock.LastErrorMessage()); };
    s.OnChangeState = [this](TAsyncSocket&, TSocketState, TSocketState to) {
      states_.push_back(StateName(to));
    };
  }

  void Add(std::string event) { events_.push_back(std::move(event)); }

  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      loop_.ProcessEvents(10ms);
    }
    return true;
  }
  bool Logged(const std::string& event) const {
    return std::find(events_.begin(), events_.end(), event) != events_.end();
  }

  void ConnectTo(std::uint16_t port) {
    socket_->SetAddr("127.0.0.1");
    socket_->SetPort(std::to_string(port));
    socket_->Connect();
  }

  PollEventLoop loop_;
  std::unique_ptr<TAsyncSocket> socket_;
  std::vector<std::string> events_;
  std::vector<std::string> states_;
  std::string received_;
};

using Events = std::vector<std::string>;

TEST_F(AsyncSocketTest, DottedAddressIsAnsweredInsideTheCall) {
  const struct {
    const char* name;
    const char* result;
  } cases[] = {
      {"127.0.0.1", "127.0.0.1"}, {" 10.1.2.3 ", "10.1.2.3"}, {"010.0.0.255", "10.0.0.255"}};
  for (const auto& c : cases) {
    events_.clear();
    socket_->DnsLookup(c.name);
    EXPECT_EQ(events_, Events{"DnsLookupDone(0)"}) << c.name;
    EXPECT_EQ(socket_->DnsResult(), c.result);
    EXPECT_EQ(socket_->DnsResultList(), std::vector<std::string>{c.result});
  }
}

TEST(DottedAddressTest, OnlyFourDecimalGroupsUpTo255Count) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"1.2.3.4", "1.2.3.4"},
      {"255.255.255.255", "255.255.255.255"},
      {"1.2.3.256", ""},
      {".1.2.3", ""},
      {"1.2.3", ""},
      {"1.2.3.4.5", ""},
      {"1..2.3", ""},
      {"1.2.3.", ""},
      {"1.2.3.4x", ""},
      {"localhost", ""},
      {"", ""},
      {"  ", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NormaliseDottedAddress(c.text), c.expected) << c.text;
}

TEST_F(AsyncSocketTest, EmptyNameIsReportedThenLookupEndsWithWSAEINVAL) {
  socket_->DnsLookup("");
  EXPECT_EQ(events_, Events{"Error: DNS lookup: invalid host name."});
  ASSERT_TRUE(RunUntil([&] { return events_.size() == 2; }));
  EXPECT_EQ(events_[1], EventText("DnsLookupDone", WSAEINVAL));

  // Without an OnError handler the report is an exception; the result still comes.
  events_.clear();
  socket_->OnError = nullptr;
  EXPECT_THROW(
      {
        try {
          socket_->DnsLookup("  ");
        } catch (const ESocketException& e) {
          EXPECT_STREQ(e.what(), "DNS lookup: invalid host name.");
          throw;
        }
      },
      ESocketException);
  ASSERT_TRUE(RunUntil([&] { return !events_.empty(); }));
  EXPECT_EQ(events_, Events{EventText("DnsLookupDone", WSAEINVAL)});
}

TEST_F(AsyncSocketTest, NameFromTheHostsFileResolvesLater) {
  socket_->DnsLookup("localhost");
  EXPECT_TRUE(events_.empty()) << "a name is never answered inside the call";
  EXPECT_TRUE(socket_->LookupPending());
  ASSERT_TRUE(RunUntil([&] { return !events_.empty(); }));
  EXPECT_EQ(events_, Events{"DnsLookupDone(0)"});
  EXPECT_EQ(socket_->DnsResult(), "127.0.0.1");
  EXPECT_FALSE(socket_->LookupPending());
}

TEST_F(AsyncSocketTest, UnknownNameEndsWithALookupError) {
  socket_->DnsLookup("no-such-host.invalid");
  ASSERT_TRUE(RunUntil([&] { return !events_.empty(); }, 30s));
  ASSERT_EQ(events_.size(), 1u);
  const int error = std::stoi(events_[0].substr(events_[0].find('(') + 1));
  EXPECT_GE(error, WSAHOST_NOT_FOUND);
  EXPECT_LE(error, WSANO_DATA);
  EXPECT_TRUE(socket_->DnsResult().empty());
}

TEST_F(AsyncSocketTest, CancelledLookupEndsWithWSAEINTRAndNothingElse) {
  socket_->DnsLookup("localhost");
  socket_->CancelLookup();
  EXPECT_EQ(events_, Events{EventText("DnsLookupDone", WSAEINTR)});
  loop_.ProcessEvents(100ms);
  loop_.ProcessEvents(100ms);
  EXPECT_EQ(events_, Events{EventText("DnsLookupDone", WSAEINTR)});
}

TEST_F(AsyncSocketTest, RefusedConnectionIsConnectedWithTheErrorThenClosed) {
  ConnectTo(ClosedPort());
  EXPECT_EQ(socket_->State(), TSocketState::wsConnecting);
  ASSERT_TRUE(RunUntil([&] { return Logged("SessionClosed(0)"); }));
  EXPECT_EQ(events_, (Events{EventText("SessionConnected", WSAECONNREFUSED), "SessionClosed(0)"}));
  EXPECT_EQ(states_, (Events{"Opened", "Connecting", "Connected", "Closed"}));
  EXPECT_EQ(socket_->State(), TSocketState::wsClosed);
  EXPECT_EQ(SocketErrorText(WSAECONNREFUSED), "Connection refused");
}

TEST_F(AsyncSocketTest, PeerClosingAfterDataDeliversAllDataFirst) {
  const std::string payload(100000, 'p');
  ScriptedServer server([&](ServerConnection& c) {
    c.Send(payload);
    c.Close();
  });
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return Logged("SessionClosed(0)"); }));
  EXPECT_EQ(events_, (Events{"SessionConnected(0)", "Data", "SessionClosed(0)"}));
  EXPECT_EQ(received_, payload);
  EXPECT_EQ(states_, (Events{"Opened", "Connecting", "Connected", "Closed"}));
  EXPECT_EQ(socket_->ReadCount(), 0) << "the close restores the defaults";
  EXPECT_TRUE(socket_->Addr().empty());
}

TEST_F(AsyncSocketTest, QueuedDataGoesOutInBlocksWithOneDataSentAtTheEnd) {
  std::string got;
  ScriptedServer server([&](ServerConnection& c) {
    got = c.Read(3000);
    c.Send("ok");
    c.ReadToEnd();
  });
  std::vector<int> chunks;
  socket_->OnSendData = [&](TAsyncSocket&, int n) { chunks.push_back(n); };
  socket_->OnSessionConnected = [&](TAsyncSocket& s, int) {
    const std::string data(3000, 'x');
    s.QueueData(data.data(), static_cast<int>(data.size()));
    EXPECT_TRUE(events_.empty()) << "QueueData sends nothing";
    EXPECT_EQ(s.Send(nullptr, 0), 0);
    Add("sent");
  };
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return received_ == "ok"; }));
  EXPECT_EQ(events_, (Events{"sent", "DataSent(0)", "Data"}));
  EXPECT_EQ(chunks, (std::vector<int>{1460, 1460, 80}));
  EXPECT_EQ(got, std::string(3000, 'x'));
  socket_->Close();
  EXPECT_EQ(events_.back(), "SessionClosed(0)");
}

TEST_F(AsyncSocketTest, DataSentIsItsOwnEventAfterTheSendingHandler) {
  ScriptedServer server([&](ServerConnection& c) { c.ReadToEnd(); });
  socket_->OnSessionConnected = [&](TAsyncSocket& s, int) {
    EXPECT_EQ(s.Send("abc", 3), 3);
    EXPECT_EQ(s.Send("def", 3), 3);
    Add("handler done");
  };
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return Logged("DataSent(0)"); }));
  loop_.ProcessEvents(50ms);
  EXPECT_EQ(events_, (Events{"handler done", "DataSent(0)"}));
}

TEST_F(AsyncSocketTest, LargeSendIsPacedByTheSystemAndCompletes) {
  const std::size_t size = 8 << 20;
  std::size_t got = 0;
  ScriptedServer server([&](ServerConnection& c) { got = c.Read(size, 30s).size(); });
  socket_->OnSessionConnected = [&](TAsyncSocket& s, int) {
    const std::string data(size, 'z');
    s.Send(data.data(), static_cast<int>(data.size()));
  };
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return Logged("DataSent(0)"); }, 30s));
  ASSERT_TRUE(RunUntil([&] { return Logged("SessionClosed(0)"); }, 30s));
  EXPECT_EQ(got, size);
}

TEST_F(AsyncSocketTest, SendOnAClosedSocketFailsWithWSAENOTCONN) {
  EXPECT_EQ(socket_->Send("x", 1), -1);
  EXPECT_EQ(socket_->LastError(), WSAENOTCONN);
  EXPECT_EQ(events_, Events{"Error: Error 10057 in function Send\r\nSocket is not connected"});

  socket_->OnError = nullptr;
  try {
    socket_->Send("x", 1);
    FAIL() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "Error 10057 in function Send\r\nSocket is not connected");
  }
  EXPECT_EQ(socket_->LastError(), WSAENOTCONN);
}

TEST_F(AsyncSocketTest, DataWithoutAHandlerIsReadAndDropped) {
  ScriptedServer server([&](ServerConnection& c) {
    c.Send(std::string(5000, 'd'));
    c.ReadToEnd();
  });
  socket_->OnDataAvailable = nullptr;
  std::int64_t readCount = 0;
  socket_->OnSessionConnected = [&](TAsyncSocket&, int) {};
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] {
    readCount = socket_->ReadCount();
    return readCount == 5000;
  }));
  socket_->Close();
  EXPECT_TRUE(Logged("SessionClosed(0)"));
}

TEST_F(AsyncSocketTest, ResetByPeerClosesWithWSAECONNRESET) {
  ScriptedServer server([&](ServerConnection& c) {
    c.Read(1);
    c.Reset();
  });
  socket_->OnSessionConnected = [&](TAsyncSocket& s, int) { s.Send("x", 1); };
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return socket_->State() == TSocketState::wsClosed; }));
  loop_.ProcessEvents(50ms);
  EXPECT_EQ(events_, (Events{"DataSent(0)", EventText("SessionClosed", WSAECONNRESET)}));
}

TEST_F(AsyncSocketTest, SilentPeerKeepsTheConnectionOpenUntilClosed) {
  ScriptedServer server([&](ServerConnection& c) { c.ReadToEnd(); });
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return Logged("SessionConnected(0)"); }));
  for (int i = 0; i < 10; ++i)
    loop_.ProcessEvents(20ms);
  EXPECT_EQ(socket_->State(), TSocketState::wsConnected);
  socket_->Close();
  EXPECT_EQ(events_, (Events{"SessionConnected(0)", "SessionClosed(0)"}));
  socket_->Close();  // closing a closed socket only restores the defaults
  EXPECT_EQ(events_.size(), 2u);
}

TEST_F(AsyncSocketTest, CloseInsideADataHandlerClosesOnce) {
  ScriptedServer server([&](ServerConnection& c) {
    c.Send("hello");
    c.ReadToEnd();
  });
  socket_->OnDataAvailable = [&](TAsyncSocket& s, int) {
    char b[16];
    s.Receive(b, sizeof b);
    Add("Data");
    s.Close();
    Add("after Close");
  };
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return socket_->State() == TSocketState::wsClosed; }));
  loop_.ProcessEvents(50ms);
  EXPECT_EQ(events_, (Events{"SessionConnected(0)", "Data", "SessionClosed(0)", "after Close"}));
}

TEST_F(AsyncSocketTest, CloseAfterEventWaitsForTheHandlerToReturn) {
  ScriptedServer server([&](ServerConnection& c) {
    c.Send("hello");
    c.ReadToEnd();
  });
  socket_->OnDataAvailable = [&](TAsyncSocket& s, int) {
    char b[16];
    s.Receive(b, sizeof b);
    s.CloseAfterEvent();
    Add("handler done");
  };
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return socket_->State() == TSocketState::wsClosed; }));
  EXPECT_EQ(events_, (Events{"SessionConnected(0)", "handler done", "SessionClosed(0)"}));
}

// Every event may destroy the socket; nothing may touch it afterwards (the
// sanitizer build turns a use after free into a failure).
TEST_F(AsyncSocketTest, HandlerMayDestroyTheSocketInEveryEvent) {
  const std::string events[] = {"SessionConnected", "DataAvailable", "DataSent",
                                "SessionClosed",    "ChangeState",   "SendData"};
  for (const auto& which : events) {
    SCOPED_TRACE(which);
    ScriptedServer server([&](ServerConnection& c) {
      c.Send("hello");
      c.Close();
    });
    socket_ = std::make_unique<TAsyncSocket>(loop_);
    auto destroy = [this] { socket_.reset(); };
    socket_->OnSessionConnected = [&](TAsyncSocket& s, int) {
      if (which == "SessionConnected") return destroy();
      s.Send("ping", 4);
    };
    socket_->OnDataAvailable = [&](TAsyncSocket& s, int) {
      char b[16];
      s.Receive(b, sizeof b);
      if (which == "DataAvailable") destroy();
    };
    socket_->OnDataSent = [&](TAsyncSocket&, int) {
      if (which == "DataSent") destroy();
    };
    socket_->OnSendData = [&](TAsyncSocket&, int) {
      if (which == "SendData") destroy();
    };
    socket_->OnSessionClosed = [&](TAsyncSocket&, int) {
      if (which == "SessionClosed") destroy();
    };
    socket_->OnChangeState = [&](TAsyncSocket&, TSocketState, TSocketState to) {
      if (which == "ChangeState" && to == TSocketState::wsConnected) destroy();
    };
    ConnectTo(server.Port());
    EXPECT_TRUE(RunUntil([&] { return socket_ == nullptr; }));
    loop_.ProcessEvents(20ms);
  }
}

TEST_F(AsyncSocketTest, ReleaseDestroysAfterTheHandler) {
  ScriptedServer server([&](ServerConnection& c) { c.ReadToEnd(); });
  TAsyncSocket* raw = socket_.get();
  bool after = false;
  socket_->OnSessionConnected = [&](TAsyncSocket& s, int) {
    TAsyncSocket::Release(std::move(socket_));
    after = s.State() == TSocketState::wsConnected;  // still alive here
  };
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return socket_ == nullptr; }));
  loop_.ProcessEvents(20ms);
  EXPECT_TRUE(after);
  (void)raw;
}

TEST_F(AsyncSocketTest, ExceptionInAHandlerGoesToOnBgExceptionAndAborts) {
  for (const bool canClose : {true, false}) {
    SCOPED_TRACE(canClose);
    ScriptedServer server([&](ServerConnection& c) {
      c.Send("boom");
      c.ReadToEnd(2s);
    });
    socket_ = std::make_unique<TAsyncSocket>(loop_);
    std::string caught;
    socket_->OnDataAvailable = [&](TAsyncSocket& s, int) {
      char b[16];
      s.Receive(b, sizeof b);
      throw std::runtime_error("handler failed");
    };
    socket_->OnBgException = [&](TAsyncSocket&, const std::exception& e, bool& close) {
      caught = e.what();
      close = canClose;
    };
    ConnectTo(server.Port());
    ASSERT_TRUE(RunUntil([&] { return !caught.empty(); }));
    EXPECT_EQ(caught, "handler failed");
    EXPECT_EQ(socket_->State(), canClose ? TSocketState::wsClosed : TSocketState::wsConnected);
    socket_.reset();
  }
}

TEST_F(AsyncSocketTest, ConnectRefusesWhatItCannotUse) {
  const struct {
    const char* addr;
    const char* port;
    const char* proto;
    const char* message;
  } cases[] = {
      {"127.0.0.1", "", "tcp", "Connect: No Port Specified"},
      {"", "80", "tcp", "Connect: No IP Address Specified"},
      {"127.0.0.1", "80", "", "Connect: No Protocol Specified"},
      {"1.2.3.999", "80", "tcp", "connect: SocketResolveHost: '1.2.3.999' Invalid IP address."},
      {"127.0.0.1", "99999", "tcp", "connect: SocketResolvePort: Invalid Port."},
  };
  for (const auto& c : cases) {
    events_.clear();
    socket_->SetAddr(c.addr);
    socket_->SetPort(c.port);
    socket_->SetProto(c.proto);
    socket_->Connect();
    EXPECT_EQ(events_, Events{std::string("Error: ") + c.message});
    EXPECT_EQ(socket_->State(), TSocketState::wsClosed);
  }
  // A second Connect on an open socket is refused.
  ScriptedServer server([&](ServerConnection& c) { c.ReadToEnd(); });
  events_.clear();
  socket_->SetProto("tcp");
  ConnectTo(server.Port());
  ConnectTo(server.Port());
  EXPECT_EQ(events_, Events{"Error: Connect: Socket already in use"});
}

TEST(SocketResolveTest, PortsProtocolsAndHosts) {
  EXPECT_EQ(SocketResolvePort("80abc", "tcp"), 80);
  EXPECT_EQ(SocketResolvePort(" 8080", "tcp"), 8080);
  EXPECT_EQ(SocketResolvePort("http", "tcp"), 80);
  EXPECT_EQ(SocketResolveProto("TCP "), 6);
  EXPECT_EQ(SocketResolveProto("udp"), 17);
  EXPECT_EQ(SocketResolveProto("raw"), 255);
  EXPECT_EQ(SocketResolveProto("17"), 17);
  EXPECT_EQ(SocketResolveHost("127.0.0.1"), htonl(INADDR_LOOPBACK));
  EXPECT_EQ(SocketResolveHost("localhost"), htonl(INADDR_LOOPBACK));

  const struct {
    std::function<void()> call;
    const char* message;
  } failures[] = {
      {[] { SocketResolvePort("", "tcp"); }, "SocketResolvePort: Invalid Port."},
      {[] { SocketResolvePort("80", ""); }, "SocketResolvePort: Invalid Proto."},
      {[] { SocketResolvePort("no-such-service", "tcp"); },
       "SocketResolvePort: Cannot convert port 'no-such-service', Error #11004"},
      {[] { SocketResolveProto(""); }, "SocketResolveProto: Invalid Protocol."},
      {[] { SocketResolveProto("nonsense"); },
       "SocketResolveProto: Cannot convert protocol 'nonsense', Error #11004"},
      {[] { SocketResolveHost(""); }, "SocketResolveHost: '' Invalid Hostname."},
      {[] { SocketResolveHost("1.2.3.256"); },
       "SocketResolveHost: '1.2.3.256' Invalid IP address."},
  };
  for (const auto& f : failures) {
    try {
      f.call();
      ADD_FAILURE() << "no exception for " << f.message;
    } catch (const ESocketException& e) {
      EXPECT_STREQ(e.what(), f.message);
    }
  }
  // Unknown (WSAHOST_NOT_FOUND), or no name server reachable (WSATRY_AGAIN): a lookup
  // error either way.
  try {
    SocketResolveHost("no-such-host.invalid");
    ADD_FAILURE() << "no exception for an unknown host";
  } catch (const ESocketException& e) {
    EXPECT_THAT(e.what(), ::testing::MatchesRegex("SocketResolveHost: Cannot convert host address "
                                                  "'no-such-host.invalid', Error #1100[1-4]"));
  }
}

}  // namespace
}  // namespace parlumo

namespace parlumo {
namespace {

// The HTTP client reuses one socket for every request: each connection gets
// its own OnSessionClosed, however the previous one ended.
TEST_F(AsyncSocketTest, EveryConnectionOfAReusedSocketClosesOnce) {
  ScriptedServer server([&](ServerConnection& c) { c.ReadToEnd(2s); });
  int reconnects = 0;
  socket_->OnSessionClosed = [&](TAsyncSocket&, int e) {
    Add(EventText("SessionClosed", e));
    if (reconnects++ == 0) ConnectTo(server.Port());  // from inside the close
  };
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return Logged("SessionConnected(0)"); }));
  socket_->Close();
  ASSERT_TRUE(RunUntil(
      [&] { return std::count(events_.begin(), events_.end(), "SessionConnected(0)") == 2; }));
  socket_->Abort();
  EXPECT_EQ(events_, (Events{"SessionConnected(0)", "SessionClosed(0)", "SessionConnected(0)",
                             "SessionClosed(0)"}));
  EXPECT_EQ(socket_->State(), TSocketState::wsClosed);
}

TEST_F(AsyncSocketTest, HandlerThatLeavesTheDataIsNotCalledAgainUntilItReads) {
  ScriptedServer server([&](ServerConnection& c) {
    c.Send("waiting");
    c.ReadToEnd(3s);
  });
  int calls = 0;
  socket_->OnDataAvailable = [&](TAsyncSocket&, int) { ++calls; };
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return calls > 0; }));
  for (int i = 0; i < 20; ++i)
    loop_.ProcessEvents(10ms);
  EXPECT_EQ(calls, 1);
  char buffer[16];
  EXPECT_EQ(socket_->Receive(buffer, 3), 3);  // reading asks for more again
  ASSERT_TRUE(RunUntil([&] { return calls == 2; }));
}

TEST_F(AsyncSocketTest, RetryFromAFailedConnectKeepsTheNewConnection) {
  ScriptedServer server([&](ServerConnection& c) { c.ReadToEnd(3s); });
  socket_->OnSessionConnected = [&](TAsyncSocket& s, int e) {
    Add(EventText("SessionConnected", e));
    if (e != 0) {
      s.Close();
      ConnectTo(server.Port());
    }
  };
  ConnectTo(ClosedPort());
  ASSERT_TRUE(RunUntil([&] { return Logged("SessionConnected(0)"); }));
  loop_.ProcessEvents(50ms);
  EXPECT_EQ(socket_->State(), TSocketState::wsConnected);
  EXPECT_EQ(events_, (Events{EventText("SessionConnected", WSAECONNREFUSED), "SessionClosed(0)",
                             "SessionConnected(0)"}));
  socket_->Close();  // lets the server's script end at once
}

// A reset keeps its number however the socket meets it: in the handler's own
// read, or while a send is still queued (where a later send would only see a
// broken pipe).
TEST_F(AsyncSocketTest, ResetMetByAReadOrAQueuedSendClosesWithWSAECONNRESET) {
  std::vector<int> reads;
  {
    ScriptedServer server([&](ServerConnection& c) {
      c.Read(1);
      c.Send("abc");
      c.Reset();
    });
    socket_->OnDataAvailable = [&](TAsyncSocket& s, int) {
      char buffer[64];
      for (;;) {
        const int n = s.Receive(buffer, sizeof buffer);
        reads.push_back(n < 0 ? -s.LastError() : n);
        if (n <= 0) break;
      }
    };
    socket_->OnSessionConnected = [&](TAsyncSocket& s, int) { s.Send("x", 1); };
    ConnectTo(server.Port());
    ASSERT_TRUE(RunUntil([&] { return Logged("DataSent(0)"); }));
    std::this_thread::sleep_for(200ms);  // the data and the reset are both in
    ASSERT_TRUE(RunUntil([&] { return socket_->State() == TSocketState::wsClosed; }));
    EXPECT_THAT(reads, ::testing::Contains(-WSAECONNRESET)) << "the handler read the reset";
    EXPECT_EQ(events_.back(), EventText("SessionClosed", WSAECONNRESET));
  }

  events_.clear();
  std::atomic<bool> queued = false;
  ScriptedServer server([&](ServerConnection& c) {
    while (!queued)
      std::this_thread::sleep_for(5ms);
    std::this_thread::sleep_for(50ms);
    c.Reset();
  });
  const std::string big(std::size_t{8} << 20, 'b');
  socket_->OnDataAvailable = nullptr;
  socket_->OnSessionConnected = [&](TAsyncSocket& s, int) {
    s.Send(big.data(), static_cast<int>(big.size()));
    queued = true;
  };
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return socket_->State() == TSocketState::wsClosed; }));
  EXPECT_EQ(events_, (Events{EventText("SessionClosed", WSAECONNRESET)}));
}

// A handler that leaves the data is not called again when the peer then resets
// the connection while a send is queued: the hang-up is no news to it, and the
// send ends the connection with the reset.
TEST_F(AsyncSocketTest, ResetWhileTheHandlerLeavesDataDoesNotCallItAgain) {
  std::atomic<bool> queued = false;
  ScriptedServer server([&](ServerConnection& c) {
    c.Send("waiting");
    while (!queued)
      std::this_thread::sleep_for(5ms);
    std::this_thread::sleep_for(50ms);
    c.Reset();
  });
  int calls = 0;
  const std::string big(std::size_t{8} << 20, 'b');
  socket_->OnDataAvailable = [&](TAsyncSocket&, int) { ++calls; };
  socket_->OnSessionConnected = [&](TAsyncSocket& s, int) {
    s.Send(big.data(), static_cast<int>(big.size()));
  };
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return calls > 0; }));
  queued = true;
  ASSERT_TRUE(RunUntil([&] { return socket_->State() == TSocketState::wsClosed; }));
  for (int i = 0; i < 20; ++i)
    loop_.ProcessEvents(10ms);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(events_.back(), EventText("SessionClosed", WSAECONNRESET));
}

}  // namespace
}  // namespace parlumo
