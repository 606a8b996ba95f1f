#include "ApertiumEngine.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "ApertiumStream.h"
#include "PipelinePool.h"
#include "runtime/ProcessMemory.h"

extern char** environ;

namespace parlumo::service {

namespace {

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

std::optional<std::size_t> ApertiumProcess::Measure() {
  measured_ = true;
  std::optional<std::size_t> total;
  for (const pid_t pid : pids_) {
    if (const auto size = ProportionalSetSize(pid)) total = total.value_or(0) + *size;
  }
  return total;
}

void ApertiumProcess::Close(std::chrono::milliseconds grace) {
  if (toEngine_ >= 0) ::close(toEngine_);
  toEngine_ = -1;
  const auto deadline = std::chrono::steady_clock::now() + grace;
  char buffer[4096];
  while (fromEngine_ >= 0 && !pids_.empty()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd fd{fromEngine_, POLLIN, 0};
    const int ready = ::poll(&fd, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    const ssize_t n = ::read(fromEngine_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the last program has closed its output: it has ended
  }
  // What has ended is a zombie still in the group, which keeps the group's number
  // ours for the signal; what has not is killed.
  Stop();
}

bool ApertiumProcess::Intact() {
  for (const pid_t pid : pids_) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) != 0) return false;
  }
  return true;
}

ApertiumProcess::Result ApertiumProcess::GiveUp(End end) {
  Stop();
  return {end, {}};
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
    if (!current.empty() && current.back() == ' ') current.pop_back();
    answers.push_back(std::move(current));
    current.clear();
  }
  return true;
}

ApertiumProcess::Result ApertiumProcess::Run(
    const std::vector<std::string>& inputs, std::chrono::milliseconds timeout,
    std::atomic<std::chrono::steady_clock::rep>* progress) {
  if (pids_.empty() || !Intact()) return GiveUp(End::Ended);
  // Each input ends with a blank before its NUL: without one the analyser holds
  // back the last token (a final full stop) and the bilingual step never flushes.
  std::string input;
  for (const auto& text : inputs) {
    input += text;
    input += " ";
    input += '\0';
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::vector<std::string> answers;
  std::string current;  // the answer being read, up to its NUL
  std::size_t written = 0;
  while (answers.size() < inputs.size()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return GiveUp(End::TimedOut);
    pollfd fds[2] = {{fromEngine_, POLLIN, 0}, {toEngine_, POLLOUT, 0}};
    const nfds_t count = written < input.size() ? 2 : 1;
    const int ready = ::poll(fds, count, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return GiveUp(End::Ended);
    if (count == 2 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP)) != 0 &&
        !WriteSome(input, written)) {
      return GiveUp(End::Ended);
    }
    const std::size_t before = answers.size();
    if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !ReadSome(current, answers)) {
      return GiveUp(End::Ended);
    }
    if (progress != nullptr && answers.size() > before) {
      progress->store(std::chrono::steady_clock::now().time_since_epoch().count());
    }
  }
  // A program that died during the request may have let the others flush what they
  // held as if it were an answer.
  if (!Intact()) return GiveUp(End::Ended);
  answered_ = true;
  return {End::Answered, std::move(answers)};
}

ApertiumTranslator::ApertiumTranslator(std::shared_ptr<PipelinePool> pool, std::size_t mode)
    : pool_(std::move(pool)), mode_(mode) {}

ApertiumTranslator::~ApertiumTranslator() = default;

std::string ApertiumTranslator::Description() const {
  return "Apertium " + pool_->ModeName(mode_);
}

std::optional<std::vector<std::string>> ApertiumTranslator::RunOnPipeline(
    const std::vector<std::string>& inputs) {
  using End = ApertiumProcess::End;
  const PipelineLimits& limits = pool_->Limits();
  const char* mode = pool_->ModeName(mode_).c_str();
  // Whatever way this ends, the lease gives the pipeline back (or, stopped, its place).
  auto lease = pool_->Acquire(mode_);
  if (!lease) {
    std::fprintf(stderr,
                 "parlumo-service: Apertium %s: every pipeline it could have is stuck on a "
                 "request; a request for it is refused\n",
                 mode);
    return std::nullopt;
  }
  auto run = lease->Process().Run(inputs, limits.timeout, &lease->Progress());
  if (run.end == End::Ended) {
    std::fprintf(stderr, "parlumo-service: Apertium %s stopped answering; restarting it\n", mode);
    lease->Restart();
    run = lease->Process().Run(inputs, limits.timeout, &lease->Progress());
  }
  if (run.end == End::TimedOut) {
    // Trying again would keep the request (and a worker of the service) for another
    // full time-out on input that may hang any pipeline of this mode.
    std::fprintf(stderr,
                 "parlumo-service: Apertium %s did not answer within %lld ms; "
                 "restarting it and failing the request\n",
                 mode, static_cast<long long>(limits.timeout.count()));
  }
  if (!lease->Process().Running()) lease->Restart();
  if (run.end != End::Answered) return std::nullopt;
  return std::move(run.answers);
}

namespace {

// Splits text into its leading blanks, its core and its trailing blanks.
struct Trimmed {
  std::string_view lead, core, trail;
};
Trimmed Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\n";
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {text, {}, {}};
  const auto last = text.find_last_not_of(kBlanks);
  return {text.substr(0, first), text.substr(first, last + 1 - first), text.substr(last + 1)};
}

}  // namespace

std::optional<std::vector<std::string>> ApertiumTranslator::RunInParts(
    const std::vector<std::string>& inputs) {
  std::vector<std::string> parts;
  std::vector<std::size_t> counts;  // how many parts each input is sent as
  for (const auto& input : inputs) {
    const auto split = SplitEngineInput(input, kMaxEngineInputBytes);
    parts.insert(parts.end(), split.begin(), split.end());
    counts.push_back(split.size());
  }
  auto partAnswers = RunOnPipeline(parts);
  if (!partAnswers) return std::nullopt;
  std::vector<std::string> answers(inputs.size());
  for (std::size_t i = 0, next = 0; i < inputs.size(); ++i) {
    for (std::size_t k = 0; k < counts[i]; ++k)
      answers[i] += (*partAnswers)[next++];
  }
  return answers;
}

std::optional<std::vector<std::string>> ApertiumTranslator::Translate(
    const std::vector<std::string>& segments) {
  if (segments.empty()) return std::vector<std::string>{};
  std::vector<StreamSegment> streams;
  std::vector<std::string> inputs;
  streams.reserve(segments.size());
  for (const auto& segment : segments) {
    streams.push_back(ToApertiumStream(segment));
    inputs.push_back(streams.back().input);
  }
  auto answers = RunInParts(inputs);
  if (!answers) return std::nullopt;
  std::vector<std::string> translations(segments.size());
  std::vector<std::size_t> lost;  // segments whose answer lost track of a superblank
  for (std::size_t i = 0; i < segments.size(); ++i) {
    if (auto text = FromApertiumStream((*answers)[i], streams[i].held)) {
      translations[i] = std::move(*text);
    } else {
      lost.push_back(i);
    }
  }
  if (lost.empty()) return translations;

  // Those are translated piece by piece between their held-back runs: the pieces
  // hold no reserved character, so their answers have no superblank to lose.
  std::vector<std::string> pieces;
  for (const std::size_t i : lost) {
    for (const auto& piece : streams[i].pieces) {
      if (const auto core = Trim(piece).core; !core.empty()) pieces.emplace_back(core);
    }
  }
  auto pieceAnswers = RunInParts(pieces);
  if (!pieceAnswers) return std::nullopt;
  std::size_t next = 0;
  for (const std::size_t i : lost) {
    std::string text;
    const auto& stream = streams[i];
    for (std::size_t k = 0; k < stream.pieces.size(); ++k) {
      const auto [lead, core, trail] = Trim(stream.pieces[k]);
      text += lead;
      if (!core.empty()) {
        // A piece holds no held-back run, so its answer has no superblank to lose.
        text += FromApertiumStream((*pieceAnswers)[next++], {}).value_or(std::string(core));
      }
      text += trail;
      if (k < stream.held.size()) text += stream.held[k];
    }
    translations[i] = std::move(text);
  }
  return translations;
}

}  // namespace parlumo::service
