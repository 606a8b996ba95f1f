#include "platform/linux/LocalService.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace parlumo {

namespace fs = std::filesystem;

std::optional<TServiceAddress> ParseServiceAddress(std::string_view text) {
  const auto parsed = ParseHostPort(text);
  // Port 0 is no address a client reaches anything at.
  if (!parsed || parsed->port == 0) return std::nullopt;
  return TServiceAddress{parsed->host, parsed->port.value_or(80)};
}

namespace {

// The program a candidate names: as given when it has a "/", else the first
// executable of that name on PATH. Empty when there is none.
std::string ResolveProgram(const std::string& candidate) {
  if (candidate.find('/') != std::string::npos) {
    return ::access(candidate.c_str(), X_OK) == 0 ? candidate : std::string();
  }
  const char* path = std::getenv("PATH");
  std::string_view folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  while (!folders.empty()) {
    const auto colon = folders.find(':');
    std::string folder(folders.substr(0, colon));
    folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
    if (folder.empty()) folder = ".";
    const std::string full = folder + "/" + candidate;
    if (::access(full.c_str(), X_OK) == 0) return full;
  }
  return {};
}

// The socket address of a loopback service address; its length.
socklen_t LoopbackAddress(const TServiceAddress& address, sockaddr_storage& storage) {
  storage = {};
  in6_addr v6{};
  if (::inet_pton(AF_INET6, address.host.c_str(), &v6) == 1) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(static_cast<std::uint16_t>(address.port));
    in6->sin6_addr = v6;
    return sizeof(sockaddr_in6);
  }
  auto* in4 = reinterpret_cast<sockaddr_in*>(&storage);
  in4->sin_family = AF_INET;
  in4->sin_port = htons(static_cast<std::uint16_t>(address.port));
  // "localhost" is 127.0.0.1, as the service resolves it when it listens.
  if (::inet_pton(AF_INET, address.host.c_str(), &in4->sin_addr) != 1) {
    in4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  }
  return sizeof(sockaddr_in);
}

// Whether something accepts connections at the loopback address now. On
// loopback the handshake's outcome is there at once; the wait is a bound, not
// a delay.
bool AcceptsNow(const TServiceAddress& address) {
  sockaddr_storage storage{};
  const socklen_t length = LoopbackAddress(address, storage);
  const int fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool accepted = ::connect(fd, reinterpret_cast<sockaddr*>(&storage), length) == 0;
  if (!accepted && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    int error = 0;
    socklen_t size = sizeof error;
    accepted = ::poll(&p, 1, 100) == 1 &&
               ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
  }
  ::close(fd);
  return accepted;
}

}  // namespace

TLocalService::TLocalService(EventLoop& loop, std::string serviceHost,
                             std::vector<std::string> candidates, fs::path log)
    : loop_(loop),
      serviceHost_(std::move(serviceHost)),
      candidates_(std::move(candidates)),
      log_(std::move(log)) {}

TLocalService::~TLocalService() {
  probeWatch_.reset();
  if (probeFd_ >= 0) ::close(probeFd_);
  Stop();
}

void TLocalService::SetState(State state) {
  if (state_ == state) return;
  state_ = state;
  if (OnStateChange) OnStateChange(state);
}

void TLocalService::Start() {
  if (state_ != State::Idle) return;
  address_ = ParseServiceAddress(serviceHost_);
  if (!address_ || !IsLoopbackHost(address_->host)) {
    SetState(State::NotLocal);
    return;
  }
  // Whether something listens: a connection attempt that does not block. The
  // answer comes from the loop, so the program's start goes on meanwhile.
  sockaddr_storage storage{};
  const socklen_t length = LoopbackAddress(*address_, storage);
  const bool v6 = storage.ss_family == AF_INET6;
  probeFd_ = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (probeFd_ < 0) {
    failure_ = std::string("cannot make a socket: ") + std::strerror(errno);
    SetState(State::Failed);
    return;
  }
  SetState(State::Probing);
  if (::connect(probeFd_, reinterpret_cast<sockaddr*>(&storage), length) == 0) {
    loop_.Post(lifetime_.Guard([this] { ProbeDone(true); }));
    return;
  }
  if (errno != EINPROGRESS) {
    loop_.Post(lifetime_.Guard([this] { ProbeDone(false); }));
    return;
  }
  probeWatch_ = loop_.WatchFd(probeFd_, EventLoop::kWrite, [this](unsigned) {
    int error = 0;
    socklen_t size = sizeof(error);
    if (::getsockopt(probeFd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
    ProbeDone(error == 0);
  });
}

void TLocalService::WhenAnswering(std::function<void()> then) {
  waiting_.push_back(std::move(then));
  if (readyTimer_) return;
  readyDeadline_ = std::chrono::steady_clock::now() + kAnswerWait;
  readyTimer_ = loop_.StartTimer(std::chrono::milliseconds(25), true,
                                 lifetime_.Guard([this] { CheckAnswering(); }));
}

void TLocalService::CheckAnswering() {
  // Still deciding, or our service on its way up: wait, but not for ever.
  const bool starting = state_ == State::Idle || state_ == State::Probing ||
                        (state_ == State::Started && address_ && !AcceptsNow(*address_));
  if (starting && std::chrono::steady_clock::now() < readyDeadline_) return;
  readyTimer_.reset();
  std::vector<std::function<void()>> waiting;
  waiting.swap(waiting_);
  const auto alive = lifetime_.Token();
  for (auto& then : waiting) {
    then();
    if (alive.expired()) return;
  }
}

void TLocalService::ProbeDone(bool listening) {
  probeWatch_.reset();
  if (probeFd_ >= 0) ::close(probeFd_);
  probeFd_ = -1;
  if (listening) {
    SetState(State::External);
    return;
  }
  Spawn();
}

void TLocalService::Spawn() {
  std::string program;
  for (const std::string& candidate : candidates_) {
    program = ResolveProgram(candidate);
    if (!program.empty()) break;
  }
  if (program.empty()) {
    failure_ = "no parlumo-service program found";
    SetState(State::Failed);
    return;
  }
  std::error_code ec;
  fs::create_directories(log_.parent_path(), ec);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, log_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // A group of its own: a Ctrl+C meant for the program in a terminal reaches
  // the program, which then stops the service in order.
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);

  const std::string listen = address_->host.find(':') != std::string::npos
                                 ? "[" + address_->host + "]:" + std::to_string(address_->port)
                                 : address_->host + ":" + std::to_string(address_->port);
  std::vector<std::string> args = {program, "--listen", listen};
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int error =
      ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    failure_ = "cannot start " + program + ": " + std::strerror(error);
    SetState(State::Failed);
    return;
  }
  pid_ = pid;
  // The service may end by itself (its port taken in the meantime, a broken
  // installation): the process descriptor tells the loop, and the program can
  // report it instead of waiting for answers that never come.
  pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
  if (pidFd_ >= 0) {
    exitWatch_ = loop_.WatchFd(pidFd_, EventLoop::kRead, [this](unsigned) {
      exitWatch_.reset();
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        ::close(pidFd_);
        pidFd_ = -1;
        pid_ = -1;
        SetState(State::Exited);
      }
    });
  }
  SetState(State::Started);
}

void TLocalService::Stop() {
  exitWatch_.reset();
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    int status = 0;
    pid_t ended = 0;
    while ((ended = ::waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ended == 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  if (pidFd_ >= 0) ::close(pidFd_);
  pidFd_ = -1;
}

std::vector<std::string> TLocalService::DefaultCandidates(const fs::path& programPath) {
  std::vector<std::string> candidates = {(programPath.parent_path() / "parlumo-service").string()};
#ifdef PARLUMO_BUILD_TREE_SERVICE
  // Run from the build tree: the service of the same build.
  const fs::path buildService = PARLUMO_BUILD_TREE_SERVICE;
  const fs::path buildRoot = PARLUMO_BUILD_TREE_ROOT;
  std::error_code ec;
  const fs::path program = fs::weakly_canonical(programPath, ec);
  if (!ec && program.string().starts_with(buildRoot.string() + "/")) {
    candidates.push_back(buildService.string());
  }
#endif
  candidates.emplace_back("parlumo-service");
  return candidates;
}

fs::path TLocalService::DefaultLog() {
  fs::path base;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
    base = state;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    base = fs::path(home) / ".local" / "state";
  } else {
    base = fs::temp_directory_path();
  }
  return base / "parlumo" / "service.log";
}

}  // namespace parlumo
