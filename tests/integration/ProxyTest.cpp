// The translation exchange through a real squid on loopback, with Basic
// (basic_ncsa_auth and a generated password file) and NTLM (ntlm_fake_auth,
// with an ACL that admits one user name) proxy authentication.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ScriptedServer.h"
#include "runtime/PollEventLoop.h"
#include "support/LoopbackPort.h"
#include "support/TempFolder.h"
#include "translate/TranslateText.h"

namespace parlumo {
namespace {

namespace fs = std::filesystem;
using testing::ClosedPort;
using testing::ScriptedServer;
using testing::ServerConnection;

const std::string kPage =
    "<a href=\"/faq_translation.html\">FAQ</a><div id=result_box dir=\"ltr\">durch den Proxy</div>";

// The origin server: answers every request with the result page.
class Origin {
 public:
  Origin()
      : server_([](ServerConnection& c) {
          c.ReadRequest();
          c.Send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                 std::to_string(kPage.size()) + "\r\n\r\n" + kPage);
        }) {}
  std::string Host() const { return "127.0.0.1:" + server_.PortText(); }

 private:
  ScriptedServer server_;
};

// A squid of its own, in a folder of its own, stopped on destruction.
class Squid {
 public:
  explicit Squid(const std::string& authConfig) : port_(ClosedPort()) {
    ::chmod(dir_.c_str(), 0777);  // squid drops root for its own user
    std::ofstream(dir_ / "squid.conf") << "http_port 127.0.0.1:" << port_ << "\n"
                                       << "pid_filename none\n"
                                       << "cache_log " << (dir_ / "cache.log").string() << "\n"
                                       << "access_log none\n"
                                       << "cache deny all\n"
                                       << "cache_mem 8 MB\n"
                                       << "coredump_dir " << dir_.string() << "\n"
                                       << "shutdown_lifetime 0 seconds\n"
                                       << "visible_hostname parlumo-test\n"
                                       << Substituted(authConfig);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execl("/usr/sbin/squid", "squid", "-N", "-f", (dir_ / "squid.conf").c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!test::LoopbackListening(port_) && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~Squid() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      for (int i = 0; i < 100 && ::waitpid(pid_, nullptr, WNOHANG) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  std::string Port() const { return std::to_string(port_); }
  bool Running() const { return test::LoopbackListening(port_); }
  const fs::path& Dir() const { return dir_; }

 private:
  std::string Substituted(std::string text) const {
    for (auto at = text.find("%DIR%"); at != std::string::npos; at = text.find("%DIR%")) {
      text.replace(at, 5, dir_.string());
    }
    return text;
  }

  test::TempFolder temp_{"parlumo-squid"};
  const fs::path& dir_ = temp_.Path();
  std::uint16_t port_;
  pid_t pid_ = -1;
};

struct Attempt {
  TranslateOutcome outcome;
  int status;
  int requests;
};

Attempt TranslateThrough(const Squid& squid, const Origin& origin, const std::string& user,
                         const std::string& password) {
  PollEventLoop loop;
  THttpClient client(loop);
  client.Timeout = std::chrono::seconds(20);
  int requests = 0;
  client.OnRequestHeaderBegin = [&](THttpClient&) { ++requests; };
  TParser splitter;
  const TProxySettings proxy{"127.0.0.1", squid.Port(), user, password};
  auto outcome = TranslateText(client, splitter, "through the proxy", 0, origin.Host(), proxy);
  return {std::move(outcome), client.StatusCode(), requests};
}

class ProxyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!fs::exists("/usr/sbin/squid")) GTEST_SKIP() << "squid is not installed";
  }
};

TEST_F(ProxyTest, BasicAuthentication) {
  Squid squid(
      "auth_param basic program /usr/lib/squid/basic_ncsa_auth %DIR%/passwd\n"
      "auth_param basic realm parlumo\n"
      "acl users proxy_auth REQUIRED\n"
      "http_access allow users\n"
      "http_access deny all\n");
  // The password file, hashed by openssl, not by us.
  const std::string hash = [] {
    FILE* p = ::popen("openssl passwd -apr1 'S3cret!'", "r");
    char line[256] = {};
    if (p != nullptr && std::fgets(line, sizeof line, p) == nullptr) line[0] = '\0';
    if (p != nullptr) ::pclose(p);
    std::string h = line;
    while (!h.empty() && (h.back() == '\n' || h.back() == '\r'))
      h.pop_back();
    return h;
  }();
  ASSERT_FALSE(hash.empty());
  std::ofstream(squid.Dir() / "passwd") << "alice:" << hash << "\n";
  ::chmod((squid.Dir() / "passwd").c_str(), 0644);
  ASSERT_TRUE(squid.Running());
  Origin origin;

  const Attempt good = TranslateThrough(squid, origin, "alice", "S3cret!");
  EXPECT_TRUE(good.outcome.Succeeded()) << good.outcome.Detail();
  EXPECT_EQ(good.outcome.Text(), "durch den Proxy");
  EXPECT_EQ(good.requests, 2) << "without credentials, then with them";

  const Attempt bad = TranslateThrough(squid, origin, "alice", "wrong");
  EXPECT_EQ(bad.status, 407);
  EXPECT_EQ(bad.outcome.Failure(), TranslateFailure::NotTranslated);
  EXPECT_EQ(bad.requests, 2) << "no third attempt";

  const Attempt none = TranslateThrough(squid, origin, "", "");
  EXPECT_EQ(none.status, 407);
  EXPECT_EQ(none.requests, 1) << "no credentials, no retry";
}

TEST_F(ProxyTest, NtlmAuthentication) {
  Squid squid(
      "auth_param ntlm program /usr/lib/squid/ntlm_fake_auth\n"
      "auth_param ntlm children 2\n"
      "acl alice proxy_auth alice\n"
      // A deny whose last ACL asks for a user re-challenges (407) instead of
      // refusing (403): another user is told to authenticate again.
      "http_access deny !alice\n"
      "http_access allow alice\n");
  ASSERT_TRUE(squid.Running());
  Origin origin;

  const Attempt good = TranslateThrough(squid, origin, "alice", "any password");
  EXPECT_TRUE(good.outcome.Succeeded()) << good.outcome.Detail() << " status " << good.status;
  EXPECT_EQ(good.outcome.Text(), "durch den Proxy");
  EXPECT_EQ(good.requests, 3) << "plain, negotiate, authenticate";

  const Attempt other = TranslateThrough(squid, origin, "mallory", "x");
  EXPECT_EQ(other.status, 407);
  EXPECT_EQ(other.requests, 3) << "no fourth attempt";
}

}  // namespace
}  // namespace parlumo
