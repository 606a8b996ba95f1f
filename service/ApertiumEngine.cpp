#include "ApertiumEngine.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

extern char** environ;

namespace parlumo::service {

namespace {

constexpr std::string_view kReserved = "\\[]^$/@<>{}*#~";

// The environment of the pipeline: ours, with a UTF-8 character type so that the
// programs read and write UTF-8 whatever locale the service was started in.
std::vector<std::string> PipelineEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    std::string_view entry(*e);
    if (entry.starts_with("LC_ALL=") || entry.starts_with("LC_CTYPE=")) continue;
    env.emplace_back(entry);
  }
  env.emplace_back("LC_ALL=C.UTF-8");
  return env;
}

}  // namespace

std::optional<Pipeline> NullFlushPipeline(const std::string& modeFile) {
  std::ifstream in(modeFile);
  if (!in) return std::nullopt;
  std::stringstream content;
  content << in.rdbuf();
  Pipeline pipeline;
  std::vector<std::string> stage;
  std::string word;
  bool inWord = false;
  char quote = 0;
  const auto endWord = [&] {
    if (!inWord) return;
    if (word == "$1") {
      stage.push_back("-n");
    } else if (word != "$2") {
      stage.push_back(word);
    }
    if (stage.size() == 1) stage.push_back("-z");
    word.clear();
    inWord = false;
  };
  const auto endStage = [&] {
    endWord();
    if (!stage.empty()) pipeline.push_back(std::move(stage));
    stage.clear();
  };
  for (const char c : content.view()) {
    if (quote != 0) {
      if (c == quote) {
        quote = 0;
      } else {
        word += c;
      }
    } else if (c == '\'' || c == '"') {
      quote = c;
      inWord = true;
    } else if (c == '|') {
      endStage();
    } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      endWord();
    } else {
      word += c;
      inWord = true;
    }
  }
  endStage();
  if (pipeline.empty()) return std::nullopt;
  return pipeline;
}

std::string ApertiumEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (const char c : text) {
    if (c == '\0') continue;
    if (kReserved.find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

std::string ApertiumUnescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      out += text[++i];
    } else if (c == '*' || c == '#' || c == '@') {
      continue;
    } else {
      out += c;
    }
  }
  return out;
}

ApertiumProcess::ApertiumProcess(const Pipeline& pipeline) {
  Start(pipeline);
}

ApertiumProcess::~ApertiumProcess() {
  Stop();
}

void ApertiumProcess::Start(const Pipeline& pipeline) {
  std::vector<std::string> env = PipelineEnvironment();
  std::vector<char*> envp;
  for (auto& e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);

  int input[2];
  if (::pipe2(input, O_CLOEXEC) != 0) return;
  toEngine_ = input[1];
  int previous = input[0];  // what the next program reads
  pid_t group = 0;
  for (std::size_t i = 0; i < pipeline.size(); ++i) {
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
      ::close(previous);
      Stop();
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, previous, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // One group for the pipeline, so that stopping it reaches every program; the
    // signal mask and dispositions of the service (SIGTERM blocked for the signal
    // thread, SIGPIPE ignored) are not handed on.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, group);
    posix_spawnattr_setflags(
        &attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<std::string> args = pipeline[i];  // posix_spawn wants them writable
    std::vector<char*> argv;
    for (auto& arg : args)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(previous);
    ::close(output[1]);
    previous = output[0];
    if (rc != 0) {
      ::close(previous);
      Stop();
      return;
    }
    if (group == 0) group = pid;
    pids_.push_back(pid);
  }
  fromEngine_ = previous;
  ::fcntl(toEngine_, F_SETFL, ::fcntl(toEngine_, F_GETFL) | O_NONBLOCK);
}

void ApertiumProcess::Stop() {
  if (toEngine_ >= 0) ::close(toEngine_);
  if (fromEngine_ >= 0) ::close(fromEngine_);
  toEngine_ = fromEngine_ = -1;
  if (!pids_.empty()) ::kill(-pids_.front(), SIGKILL);
  // The group signal reaches every program; a pid may not be signalled on its
  // own, since Intact may have reaped it and the number may be another's now.
  for (const pid_t pid : pids_) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  pids_.clear();
}

bool ApertiumProcess::Intact() {
  for (const pid_t pid : pids_) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) != 0) return false;
  }
  return true;
}

std::nullopt_t ApertiumProcess::GiveUp() {
  Stop();
  return std::nullopt;
}

bool ApertiumProcess::WriteSome(std::string_view input, std::size_t& written) {
  const ssize_t n = ::write(toEngine_, input.data() + written, input.size() - written);
  if (n < 0) return errno == EAGAIN || errno == EINTR;
  written += static_cast<std::size_t>(n);
  return true;
}

bool ApertiumProcess::ReadSome(std::string& current, std::vector<std::string>& answers) {
  char buffer[65536];
  const ssize_t n = ::read(fromEngine_, buffer, sizeof buffer);
  if (n < 0 && errno == EINTR) return true;
  if (n <= 0) return false;
  for (ssize_t i = 0; i < n; ++i) {
    if (buffer[i] != '\0') {
      current += buffer[i];
      continue;
    }
    std::string answer = ApertiumUnescape(current);
    if (!answer.empty() && answer.back() == ' ') answer.pop_back();
    answers.push_back(std::move(answer));
    current.clear();
  }
  return true;
}

std::optional<std::vector<std::string>> ApertiumProcess::Run(
    const std::vector<std::string>& segments, std::chrono::milliseconds timeout) {
  if (pids_.empty() || !Intact()) return GiveUp();
  // Each segment ends with a blank before its NUL: without one the analyser holds
  // back the last token (a final full stop) and the bilingual step never flushes.
  std::string input;
  for (const auto& segment : segments) {
    input += ApertiumEscape(segment);
    input += " ";
    input += '\0';
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::vector<std::string> answers;
  std::string current;  // the answer being read, up to its NUL
  std::size_t written = 0;
  while (answers.size() < segments.size()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return GiveUp();
    pollfd fds[2] = {{fromEngine_, POLLIN, 0}, {toEngine_, POLLOUT, 0}};
    const nfds_t count = written < input.size() ? 2 : 1;
    const int ready = ::poll(fds, count, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return GiveUp();
    if (count == 2 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP)) != 0 &&
        !WriteSome(input, written)) {
      return GiveUp();
    }
    if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !ReadSome(current, answers)) {
      return GiveUp();
    }
  }
  // A program that died during the request may have let the others flush what they
  // held as if it were an answer.
  if (!Intact()) return GiveUp();
  return answers;
}

ApertiumTranslator::ApertiumTranslator(std::string mode, Pipeline pipeline, int maxProcesses,
                                       std::chrono::milliseconds timeout, bool startNow)
    : mode_(std::move(mode)),
      pipeline_(std::move(pipeline)),
      maxProcesses_(maxProcesses < 1 ? 1 : maxProcesses),
      timeout_(timeout) {
  if (startNow) {
    idle_.push_back(std::make_unique<ApertiumProcess>(pipeline_));
    total_ = 1;
  }
}

ApertiumTranslator::~ApertiumTranslator() = default;

std::unique_ptr<ApertiumProcess> ApertiumTranslator::Acquire() {
  std::unique_lock lock(mutex_);
  idleChanged_.wait(lock, [this] { return !idle_.empty() || total_ < maxProcesses_; });
  if (!idle_.empty()) {
    auto process = std::move(idle_.back());
    idle_.pop_back();
    return process;
  }
  ++total_;
  lock.unlock();
  return std::make_unique<ApertiumProcess>(pipeline_);
}

void ApertiumTranslator::Release(std::unique_ptr<ApertiumProcess> process) {
  {
    std::lock_guard lock(mutex_);
    if (process && process->Running()) {
      idle_.push_back(std::move(process));
    } else {
      --total_;
    }
  }
  idleChanged_.notify_one();
}

std::optional<std::vector<std::string>> ApertiumTranslator::Translate(
    const std::vector<std::string>& segments) {
  if (segments.empty()) return std::vector<std::string>{};
  auto process = Acquire();
  auto result = process->Run(segments, timeout_);
  if (!result) {
    std::fprintf(stderr, "parlumo-service: Apertium %s stopped answering; restarting it\n",
                 mode_.c_str());
    process = std::make_unique<ApertiumProcess>(pipeline_);
    result = process->Run(segments, timeout_);
  }
  Release(std::move(process));
  return result;
}

}  // namespace parlumo::service
