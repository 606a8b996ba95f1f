#include "platform/linux/LocalService.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>

#include "ServiceProcess.h"
#include "runtime/PollEventLoop.h"
#include "support/LoopbackPort.h"
#include "support/TempFolder.h"

namespace parlumo {
namespace {

using State = TLocalService::State;
using namespace std::chrono_literals;

TEST(ServiceAddress, Parse) {
  struct Case {
    const char* text;
    bool valid;
    const char* host;
    int port;
  };
  const Case cases[] = {
      {"127.0.0.1:8085", true, "127.0.0.1", 8085},
      {"localhost", true, "localhost", 80},
      {"[::1]:9000", true, "::1", 9000},
      {"[::1]", true, "::1", 80},
      {"example.org:65535", true, "example.org", 65535},
      {"", false, "", 0},
      {":8085", false, "", 0},
      // No port: HTTP's, as the program's client takes it.
      {"host:", true, "host", 80},
      {"host:0", false, "", 0},
      {"host:65536", false, "", 0},
      {"host:80x", false, "", 0},
      {"[::1", false, "", 0},
      {"[::1]x", false, "", 0},
  };
  for (const Case& c : cases) {
    const auto address = ParseServiceAddress(c.text);
    ASSERT_EQ(address.has_value(), c.valid) << c.text;
    if (!address) continue;
    EXPECT_EQ(address->host, c.host) << c.text;
    EXPECT_EQ(address->port, c.port) << c.text;
  }
}

class LocalServiceTest : public ::testing::Test {
 protected:
  // Runs the loop until the state is no longer Idle or Probing.
  void Settle(TLocalService& service) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while ((service.GetState() == State::Idle || service.GetState() == State::Probing) &&
           std::chrono::steady_clock::now() < deadline) {
      loop_.ProcessEvents(50ms);
    }
  }

  PollEventLoop loop_;
  test::TempFolder folder_{"local-service"};
};

TEST_F(LocalServiceTest, StartsTheServiceWhereNothingListensAndStopsItAtTheEnd) {
  const int port = test::FreeLoopbackPort();
  const auto log = folder_.Path() / "state" / "service.log";
  pid_t pid = -1;
  {
    TLocalService service(loop_, "127.0.0.1:" + std::to_string(port),
                          {"/nonexistent/parlumo-service", PARLUMO_SERVICE_BINARY}, log);
    std::vector<State> seen;
    service.OnStateChange = [&](State state) { seen.push_back(state); };
    service.Start();
    // A request made at the program's start waits until the service it has
    // just started answers.
    bool answered = false;
    bool listeningWhenAnswered = false;
    service.WhenAnswering([&] {
      answered = true;
      listeningWhenAnswered = test::LoopbackListening(port);
    });
    // Start never waits: the probe's answer comes from the loop.
    EXPECT_EQ(service.GetState(), State::Probing);
    Settle(service);
    ASSERT_EQ(service.GetState(), State::Started) << service.FailureReason();
    EXPECT_EQ(seen, (std::vector<State>{State::Probing, State::Started}));
    pid = service.Pid();
    ASSERT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!answered && std::chrono::steady_clock::now() < deadline) {
      loop_.ProcessEvents(50ms);
    }
    EXPECT_TRUE(answered);
    EXPECT_TRUE(listeningWhenAnswered);
    EXPECT_TRUE(test::LoopbackListening(port));
    EXPECT_NE(testing::ProcessCommandLine(pid).find(PARLUMO_SERVICE_BINARY " --listen 127.0.0.1:" +
                                                    std::to_string(port)),
              std::string::npos)
        << testing::ProcessCommandLine(pid);
  }
  EXPECT_FALSE(testing::ProcessRunning(pid));
  EXPECT_FALSE(test::LoopbackListening(port));
  std::ifstream in(log);
  std::string logText((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The service's own output goes to the log.
  EXPECT_NE(logText.find("parlumo-service"), std::string::npos) << logText;
}

TEST_F(LocalServiceTest, LeavesARunningServiceAlone) {
  testing::ServiceProcess running;
  {
    TLocalService service(loop_, running.HostPort(), {PARLUMO_SERVICE_BINARY},
                          folder_.Path() / "service.log");
    service.Start();
    Settle(service);
    EXPECT_EQ(service.GetState(), State::External);
    EXPECT_EQ(service.Pid(), -1);
  }
  // Going away does not stop a service someone else started.
  EXPECT_TRUE(testing::ProcessRunning(running.Pid()));
  EXPECT_TRUE(test::LoopbackListening(running.Port()));
}

TEST_F(LocalServiceTest, OutcomesWithoutAServiceToRun) {
  const std::string port = std::to_string(test::FreeLoopbackPort());
  struct Case {
    std::string host;
    std::vector<std::string> candidates;
    State expected;
  };
  const Case cases[] = {
      {"example.org:8085", {PARLUMO_SERVICE_BINARY}, State::NotLocal},
      {"10.0.0.1:" + port, {PARLUMO_SERVICE_BINARY}, State::NotLocal},
      {"", {PARLUMO_SERVICE_BINARY}, State::NotLocal},
      {"127.0.0.1:" + port,
       {"/nonexistent/parlumo-service", "no-such-program-on-path"},
       State::Failed},
      // Every spelling of a loopback address is one: nothing listens, and the
      // start is tried.
      {"LOCALHOST:" + port, {"/nonexistent/parlumo-service"}, State::Failed},
      {"[0:0:0:0:0:0:0:1]:" + port, {"/nonexistent/parlumo-service"}, State::Failed},
      {"[::ffff:127.0.0.1]:" + port, {"/nonexistent/parlumo-service"}, State::Failed},
  };
  for (const Case& c : cases) {
    TLocalService service(loop_, c.host, c.candidates, folder_.Path() / "service.log");
    service.Start();
    bool answered = false;
    service.WhenAnswering([&] { answered = true; });
    Settle(service);
    EXPECT_EQ(service.GetState(), c.expected) << c.host;
    // Nothing to wait for: the request goes out and reports its failure.
    loop_.ProcessEvents(100ms);
    EXPECT_TRUE(answered) << c.host;
    EXPECT_EQ(service.Pid(), -1) << c.host;
  }
}

TEST_F(LocalServiceTest, ReportsAServiceThatEndsByItself) {
  // A program that ends at once stands for a service that cannot listen.
  TLocalService service(loop_, "127.0.0.1:" + std::to_string(test::FreeLoopbackPort()),
                        {"/bin/false"}, folder_.Path() / "service.log");
  service.Start();
  bool answered = false;
  service.WhenAnswering([&] { answered = true; });
  Settle(service);
  ASSERT_EQ(service.GetState(), State::Started);
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!answered && std::chrono::steady_clock::now() < deadline) {
    loop_.ProcessEvents(50ms);
  }
  // The waiting request is not held for the whole wait: the service is gone.
  EXPECT_TRUE(answered);
  EXPECT_EQ(service.GetState(), State::Exited);
  EXPECT_EQ(service.Pid(), -1);
}

TEST(LocalServiceCandidates, BesideTheProgramFirstThenPath) {
  const auto candidates = TLocalService::DefaultCandidates("/opt/parlumo/bin/parlumo");
  ASSERT_GE(candidates.size(), 2u);
  EXPECT_EQ(candidates.front(), "/opt/parlumo/bin/parlumo-service");
  EXPECT_EQ(candidates.back(), "parlumo-service");
}

}  // namespace
}  // namespace parlumo
