// parlumo-translate and texts larger than the service takes: refused before they
// are sent (standard input read no further than that), or refused by the service
// with 413; either way the tool says the text is too large and ends with its own
// exit status. The tool runs as a program against real peers on loopback.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ScriptedServer.h"
#include "ServiceProcess.h"
#include "translate/TranslationPage.h"

extern char** environ;

namespace parlumo {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::ScriptedServer;
using testing::ServerConnection;
using testing::ServiceProcess;

constexpr int kExitTextTooLarge = 5;

const std::string kResultPage =
    "<html><a href=\"/help/faq_translation.html\">FAQ</a>"
    "<div id=result_box dir=\"ltr\">Haus</div></html>";

std::string Reply(const std::string& status, const std::string& body) {
  return "HTTP/1.0 " + status +
         "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

// A service that answers every request with one fixed reply and keeps the
// requests it got.
class Service {
 public:
  explicit Service(std::string reply)
      : reply_(std::move(reply)), server_([this](ServerConnection& c) {
          const std::string request = c.ReadRequest();
          {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
          }
          c.Send(reply_);
        }) {}
  std::string Host() const { return "127.0.0.1:" + server_.PortText(); }
  // Connections, whether or not a request came over them.
  int Accepted() const { return server_.Accepted(); }
  std::vector<std::string> Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  std::string reply_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
  ScriptedServer server_;
};

struct CliRun {
  bool exited = false;  // ended by itself with an exit status (no signal, no hang)
  int status = -1;
  std::string out;
  std::string err;
};

// parlumo-translate started with its standard input on a descriptor of the
// caller's, and the reading ends of its standard output and error.
struct Started {
  pid_t pid = -1;
  int out = -1;
  int err = -1;
};

std::optional<Started> Start(const std::vector<std::string>& arguments, int input) {
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe2";
    return std::nullopt;
  }
  std::vector<std::string> words = {PARLUMO_TRANSLATE, "--ini", "/nonexistent/parlumo.ini"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(out[1]);
  ::close(err[1]);
  if (spawned != 0) {
    ADD_FAILURE() << "posix_spawn: " << spawned;
    ::close(out[0]);
    ::close(err[0]);
    return std::nullopt;
  }
  return Started{pid, out[0], err[0]};
}

// Collects what the program prints until it ends; one that has not ended
// after a minute is killed and reported as not exited.
CliRun Finish(const Started& program) {
  CliRun run;
  pollfd fds[2] = {{program.out, POLLIN, 0}, {program.err, POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  bool killed = false;
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    if (!killed && std::chrono::steady_clock::now() > deadline) {
      ::kill(program.pid, SIGKILL);
      killed = true;
    }
    if (::poll(fds, 2, 1000) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
      }
    }
  }
  int status = 0;
  ::waitpid(program.pid, &status, 0);
  run.exited = !killed && WIFEXITED(status);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// Runs parlumo-translate with arguments and input on its standard input. A
// thread of its own writes the input, since the program may stop reading
// early; with keepInputOpen the input has no end while the program runs, so
// the program must stop reading by itself.
CliRun RunTranslate(const std::vector<std::string>& arguments, const std::string& input,
                    bool keepInputOpen = false) {
  // A write to a program that stopped reading must fail, not end the test.
  ::signal(SIGPIPE, SIG_IGN);
  int in[2];
  if (::pipe2(in, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe2";
    return {};
  }
  const std::optional<Started> program = Start(arguments, in[0]);
  ::close(in[0]);
  if (!program) {
    ::close(in[1]);
    return {};
  }
  std::thread writer([fd = in[1], &input, keepInputOpen] {
    for (std::size_t at = 0; at < input.size();) {
      const ssize_t n = ::write(fd, input.data() + at, input.size() - at);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // the program stopped reading and ended
      at += static_cast<std::size_t>(n);
    }
    if (!keepInputOpen) ::close(fd);
  });
  const CliRun run = Finish(*program);
  writer.join();
  if (keepInputOpen) ::close(in[1]);
  return run;
}

// The bytes of a request body around the text (pair 0): a text of
// kMaxRequestBodyBytes - BodyFrame() letters makes a body of exactly the limit.
std::size_t BodyFrame() {
  return BuildRequestBody("", 0).size();
}

// Texts whose request would be larger than the service takes are refused before
// anything is sent, whether they come on standard input or as arguments and
// whether the raw text or only its form encoding is too large, and the tool
// says why in the language of its messages; a text whose request is exactly
// the limit goes out.
TEST(ParlumoTranslateSizeTest, TextsOverTheRequestLimitAreRefusedUnsent) {
  const std::size_t limit = kMaxRequestBodyBytes;
  std::string twoMiBOfHouse;
  while (twoMiBOfHouse.size() < 2 * limit)
    twoMiBOfHouse += "house\n";
  // 100 KiB each (an argument may not be much longer); '%' is three bytes encoded.
  const std::string percents(100 << 10, '%');

  // What standard error says of a refused text, in each message language.
  enum class Why { StandardInput, Encoded };
  const struct {
    const char* lang;
    const char* caption;
    const char* standardInput;
    const char* encoded;
    const char* unsent;
    const char* otherLanguage;  // the unsent line in the other language
  } languages[] = {
      {"en", "Text too large", "Standard input holds more than 1 MiB",
       "form-encoded as a request, takes more than 1 MiB", "nothing was sent",
       "Es wurde nichts gesendet"},
      {"de", "Text zu gro\u00df", "Die Standardeingabe enth\u00e4lt mehr als 1 MiB",
       "als Anfrage formularkodiert mehr als 1 MiB", "Es wurde nichts gesendet",
       "nothing was sent"},
  };
  const struct {
    const char* name;
    std::vector<std::string> arguments;
    std::string input;
    bool keepInputOpen;
    std::optional<Why> refused;  // nothing: sent
  } cases[] = {
      // Its end never comes while the program runs: reading must stop at the limit.
      {"2 MiB of standard input, no end", {}, twoMiBOfHouse, true, Why::StandardInput},
      // 400 KiB of "ä" read whole, but 1.2 MiB form-encoded.
      {"standard input too large encoded",
       {},
       [] {
         std::string text;
         while (text.size() < (400 << 10))
           text += "\xc3\xa4";
         return text;
       }(),
       false,
       Why::Encoded},
      {"arguments too large encoded",
       {percents, percents, percents, percents},
       "",
       false,
       Why::Encoded},
      {"one byte over the limit",
       {},
       std::string(limit - BodyFrame() + 1, 'a'),
       false,
       Why::Encoded},
      // The trailing line break is dropped before the text is sent.
      {"exactly the limit", {}, std::string(limit - BodyFrame(), 'a') + "\n", false, std::nullopt},
  };
  for (const auto& language : languages) {
    SCOPED_TRACE(language.lang);
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      Service service(Reply("200 OK", kResultPage));
      std::vector<std::string> arguments = {"--lang", language.lang, "--service", service.Host()};
      arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
      const CliRun run = RunTranslate(arguments, c.input, c.keepInputOpen);
      EXPECT_TRUE(run.exited) << "no exit of its own (a signal, or no end within a minute): "
                              << run.err.substr(0, 2000);
      if (!run.exited) continue;
      if (!c.refused) {
        EXPECT_EQ(run.status, 0) << run.err.substr(0, 2000);
        EXPECT_EQ(run.out, "Haus\n");
        const auto requests = service.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_THAT(requests[0],
                    HasSubstr("\r\nContent-Length: " + std::to_string(limit) + "\r\n"));
      } else {
        EXPECT_EQ(run.status, kExitTextTooLarge) << run.err.substr(0, 2000);
        EXPECT_EQ(run.out, "");
        EXPECT_THAT(run.err, HasSubstr(language.caption));
        EXPECT_THAT(run.err, HasSubstr(*c.refused == Why::StandardInput ? language.standardInput
                                                                        : language.encoded));
        EXPECT_THAT(run.err, HasSubstr(language.unsent));
        EXPECT_THAT(run.err, Not(HasSubstr(language.otherLanguage)));
        EXPECT_EQ(service.Accepted(), 0) << "a refused text must not be sent";
      }
    }
  }
}

// Reading stops at the first byte past the limit on the descriptor itself:
// what follows stays in the pipe for whatever reads the input next (here the
// test, which holds the pipe's reading end too).
TEST(ParlumoTranslateSizeTest, StandardInputPastTheLimitIsLeftUnread) {
  ::signal(SIGPIPE, SIG_IGN);
  const std::size_t limit = kMaxRequestBodyBytes;
  int in[2];
  ASSERT_EQ(::pipe2(in, O_CLOEXEC), 0);
  const std::string input(2 * limit, 'a');
  std::thread writer([fd = in[1], &input] {
    for (std::size_t at = 0; at < input.size();) {
      const ssize_t n = ::write(fd, input.data() + at, input.size() - at);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      at += static_cast<std::size_t>(n);
    }
    ::close(fd);
  });
  Service service(Reply("200 OK", kResultPage));
  const std::optional<Started> program =
      Start({"--lang", "en", "--service", service.Host()}, in[0]);
  CliRun run;
  if (program) run = Finish(*program);
  // The rest of the input, once the program has ended.
  std::size_t left = 0;
  char buffer[64 << 10];
  for (ssize_t n; (n = ::read(in[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    left += static_cast<std::size_t>(n);
  }
  writer.join();
  ::close(in[0]);
  ASSERT_TRUE(program);
  EXPECT_TRUE(run.exited);
  EXPECT_EQ(run.status, kExitTextTooLarge) << run.err;
  EXPECT_EQ(input.size() - left, limit + 1) << "bytes the program took from the pipe";
}

// A text the tool sends but the service refuses with 413 is reported as too
// large, in the message language, with the service's reason; not as a
// connection failure.
TEST(ParlumoTranslateSizeTest, AnswerPayloadTooLargeIsATextTooLarge) {
  const struct {
    const char* lang;
    const char* caption;
    const char* connectionCaption;
  } cases[] = {
      {"en", "Text too large", "No connection to server"},
      {"de", "Text zu gro\u00df", "Keine Verbindung zum Server"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lang);
    Service service(Reply("413 Payload Too Large", "<html>Request too large</html>"));
    const CliRun run =
        RunTranslate({"--lang", c.lang, "--service", service.Host(), "The house is big."}, "");
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.status, kExitTextTooLarge) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr(c.caption));
    EXPECT_THAT(run.err, HasSubstr("Payload Too Large"));
    EXPECT_THAT(run.err, Not(HasSubstr(c.connectionCaption)));
    EXPECT_EQ(service.Requests().size(), 1u) << "the text was sent once";
  }
}

// The tool's limit is the real service's: a body of exactly the limit gets past
// the service's size check (it is refused for its missing pair, not for its
// size), one byte more is answered 413.
TEST(ParlumoTranslateSizeTest, TheLimitIsTheRealServicesLimit) {
  ServiceProcess service({"--dictionary", "/nonexistent/de-en"});
  httplib::Client client("127.0.0.1", service.Port());
  client.set_read_timeout(std::chrono::seconds(60));
  const std::string atTheLimit = "text=" + std::string(kMaxRequestBodyBytes - 5, 'a');
  ASSERT_EQ(atTheLimit.size(), kMaxRequestBodyBytes);
  const auto fits = client.Post("/translate_t", atTheLimit, "application/x-www-form-urlencoded");
  ASSERT_TRUE(fits);
  EXPECT_NE(fits->status, 413);
  EXPECT_THAT(fits->body, HasSubstr("langpair"));
  const auto over =
      client.Post("/translate_t", atTheLimit + "a", "application/x-www-form-urlencoded");
  ASSERT_TRUE(over);
  EXPECT_EQ(over->status, 413);
}

}  // namespace
}  // namespace parlumo
