// The seat's selections over data-control on a real compositor: text marked
// and copied by wl-copy as another program would, read by the program without
// focus; the program's own clipboard text read back by wl-paste.
#include "platform/wayland/WaylandSelections.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "runtime/PollEventLoop.h"

extern char** environ;

namespace parlumo {
namespace {

using namespace std::chrono_literals;

// Runs a command with the text on its standard input, dispatching the loop
// meanwhile (the compositor may ask this program for its clipboard); its
// standard output, or nothing when it failed. wl-copy leaves a process of its
// own behind that serves the selection: its output goes nowhere, so that the
// end of the output is not waited for.
std::optional<std::string> RunCommand(PollEventLoop& loop, std::vector<std::string> args,
                                      const std::string& input = {}) {
  const bool leavesServer = args.front() == "wl-copy";
  int in[2];
  int out[2];
  // Close-on-exec: only the duplicates on 0 and 1 reach the command, and no
  // process it leaves behind keeps the output open.
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  if (leavesServer) {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  } else {
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  }
  posix_spawn_file_actions_addclose(&actions, in[1]);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int error = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  if (error != 0) {
    ::close(in[1]);
    ::close(out[0]);
    return std::nullopt;
  }
  auto writer = std::async(std::launch::async, [fd = in[1], input] {
    std::size_t sent = 0;
    while (sent < input.size()) {
      const ssize_t n = ::write(fd, input.data() + sent, input.size() - sent);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    ::close(fd);
  });
  auto reader = std::async(std::launch::async, [fd = out[0]] {
    std::string data;
    char buffer[65536];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
      data.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return data;
  });
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    loop.ProcessEvents(10ms);
  }
  writer.wait();
  std::string output = reader.get();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return output;
}

class WaylandSelectionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("WAYLAND_DISPLAY") == nullptr) GTEST_SKIP() << "no Wayland display";
    selections_ = WaylandSelections::Connect(loop_);
    ASSERT_TRUE(selections_) << "the compositor offers no data-control";
  }
  void TearDown() override {
    if (selections_) {
      RunCommand(loop_, {"wl-copy", "--primary", "--clear"});
      RunCommand(loop_, {"wl-copy", "--clear"});
    }
  }

  // Reads the marked text until it is the expected one (wl-copy sets it from
  // a process of its own, a moment after it returns).
  std::optional<std::string> MarkedOnceSettled(const std::optional<std::string>& expected) {
    std::optional<std::string> read;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    do {
      read = selections_->ReadMarkedText();
      if (read == expected) break;
      loop_.ProcessEvents(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return read;
  }

  PollEventLoop loop_;
  std::unique_ptr<WaylandSelections> selections_;
};

TEST_F(WaylandSelectionsTest, ReadsTheMarkedTextInItsTextFlavours) {
  const std::string big(3u << 20, 'x');  // larger than any pipe's buffer
  const struct {
    const char* name;
    std::vector<std::string> copy;  // the wl-copy arguments after --primary
    std::string input;              // its standard input
    std::string expected;
  } cases[] = {
      {"UTF-8 text", {"Grüße aus Köln"}, "", "Grüße aus Köln"},
      {"plain text in Latin-1",
       {"--type", "text/plain"},
       "Gr\xFC\xDF"
       "e",
       "Grüße"},
      {"a picture only: no text", {"--type", "image/png"}, "\x89PNG\r\n", ""},
      {"a large text, whole", {"--type", "text/plain;charset=utf-8"}, big, big},
      {"cleared", {"--clear"}, "", ""},
  };
  std::string previous = "start";
  RunCommand(loop_, {"wl-copy", "--primary", previous});
  ASSERT_EQ(MarkedOnceSettled(previous), previous);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {"wl-copy", "--primary"};
    args.insert(args.end(), c.copy.begin(), c.copy.end());
    ASSERT_TRUE(RunCommand(loop_, args, c.input));
    EXPECT_EQ(MarkedOnceSettled(c.expected), c.expected);
    // Between the cases something else is marked, so that each case is seen
    // to change what is read.
    RunCommand(loop_, {"wl-copy", "--primary", "between"});
    ASSERT_EQ(MarkedOnceSettled("between"), "between");
  }
}

TEST_F(WaylandSelectionsTest, TheClipboardIsWrittenForOthersAndReadBack) {
  ASSERT_TRUE(selections_->WriteText("Hola, ¿qué tal?"));
  // Another program pastes it: the compositor asks this one for the text.
  EXPECT_EQ(RunCommand(loop_, {"wl-paste", "--no-newline"}), "Hola, ¿qué tal?");
  std::string text;
  ASSERT_TRUE(selections_->ReadText(text));
  EXPECT_EQ(text, "Hola, ¿qué tal?");
  // Another program copies: ours is no longer the clipboard's text.
  RunCommand(loop_, {"wl-copy", "Good morning"});
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (selections_->ReadText(text) && text != "Good morning" &&
         std::chrono::steady_clock::now() < deadline) {
    loop_.ProcessEvents(20ms);
  }
  EXPECT_EQ(text, "Good morning");
  // The marked text is another selection: the clipboard does not change it.
  RunCommand(loop_, {"wl-copy", "--primary", "marked"});
  EXPECT_EQ(MarkedOnceSettled("marked"), "marked");
  ASSERT_TRUE(selections_->ReadText(text));
  EXPECT_EQ(text, "Good morning");
}

}  // namespace
}  // namespace parlumo
