#include "platform/linux/InstanceChannel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "desktop/CommandLine.h"

namespace parlumo {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
// How long a later copy tries to reach the running one, which may still be
// starting up, and waits for it to take a message.
constexpr auto kHandOverTime = std::chrono::seconds(3);
constexpr std::size_t kMaxMessage = 1 << 20;
constexpr char kParameters = 'P';
constexpr char kForward = 'F';
constexpr char kTaken = 'K';

std::string Hex(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

std::uint64_t Fnv1a(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

// The name of an identity's lock file or socket in the runtime folder.
std::string IdentityFileName(const std::string& title, const std::string& className,
                             const char* suffix) {
  return "parlumo-" + Hex(Fnv1a(title + "\n" + className)) + suffix;
}

bool AddressFor(const fs::path& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  const std::string text = path.string();
  if (text.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return true;
}

bool WaitFor(int fd, short events, Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() <= 0) return false;
  pollfd p{fd, events, 0};
  return ::poll(&p, 1, static_cast<int>(left.count())) > 0;
}

}  // namespace

// One message from a later copy: kind, 4-byte length (little-endian), payload.
class LinuxInstancePlatform::Connection {
 public:
  Connection(LinuxInstancePlatform& owner, int fd) : owner_(owner), fd_(fd) {
    watch_ = owner.loop_.WatchFd(fd_, EventLoop::kRead, [this](unsigned) { Read(); });
  }
  ~Connection() {
    watch_.reset();
    ::close(fd_);
  }

 private:
  void Read() {
    char buffer[4096];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) return Done();
    data_.append(buffer, static_cast<std::size_t>(n));
    if (data_.size() < 5) return;
    std::uint32_t length = 0;
    for (int i = 4; i >= 1; --i)
      length = (length << 8) | static_cast<unsigned char>(data_[i]);
    if (length > kMaxMessage) return Done();
    if (data_.size() < 5 + length) return;
    const char kind = data_[0];
    const std::string payload = data_.substr(5, length);
    // The message is taken once its handler has run; only then does the later
    // copy hear so (and exit).
    LinuxInstancePlatform& owner = owner_;
    const auto alive = owner.lifetime_.Token();
    if (kind == kParameters && owner.OnParameters) owner.OnParameters(payload);
    if (kind == kForward && owner.OnBringForward) owner.OnBringForward();
    if (alive.expired()) return;  // the handler ended the platform and this with it
    const char taken = kTaken;
    [[maybe_unused]] const auto sent = ::send(fd_, &taken, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    Done();  // destroys this connection
  }
  void Done() { owner_.connections_.erase(this); }

  LinuxInstancePlatform& owner_;
  int fd_;
  std::string data_;
  std::unique_ptr<EventLoop::Watch> watch_;
};

LinuxInstancePlatform::LinuxInstancePlatform(EventLoop& loop, std::string title,
                                             std::string className,
                                             std::vector<std::string> parameters, fs::path folder)
    : loop_(loop),
      title_(std::move(title)),
      className_(std::move(className)),
      parameters_(std::move(parameters)),
      folder_(std::move(folder)) {}

LinuxInstancePlatform::~LinuxInstancePlatform() {
  connections_.clear();
  listenWatch_.reset();
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    ::unlink(socketPath_.c_str());
  }
  if (lockFd_ >= 0) ::close(lockFd_);  // releases the claim
}

fs::path LinuxInstancePlatform::DefaultFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
      runtime != nullptr && runtime[0] == '/') {
    return runtime;
  }
  const fs::path folder = "/tmp/parlumo-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
  return folder;
}

fs::path LinuxInstancePlatform::PathFor(const std::string& title, const std::string& className,
                                        const char* suffix) const {
  return folder_ / IdentityFileName(title, className, suffix);
}

bool LinuxInstancePlatform::ClaimFirstCopy(const std::string& title, const std::string& className) {
  const fs::path lockPath = PathFor(title, className, ".lock");
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;  // no way to tell: better two copies than none
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  lockFd_ = fd;
  // Holding the lock, the socket path is ours: a leftover of a crashed copy goes.
  socketPath_ = PathFor(title, className, ".sock");
  sockaddr_un address{};
  if (!AddressFor(socketPath_, address)) return true;
  ::unlink(socketPath_.c_str());
  listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0 ||
      ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 8) != 0) {
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
    return true;  // the first copy all the same, only deaf to later ones
  }
  ::chmod(socketPath_.c_str(), 0600);
  listenWatch_ = loop_.WatchFd(listenFd_, EventLoop::kRead, [this](unsigned) { Accept(); });
  return true;
}

void LinuxInstancePlatform::Accept() {
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    auto connection = std::make_unique<Connection>(*this, fd);
    Connection* key = connection.get();
    connections_.emplace(key, std::move(connection));
  }
}

namespace {

// Sends one message to the running copy at the socket and waits until it is
// taken, until the deadline. patient: a refused connection is tried again
// until then (the running copy may still be starting); else one attempt.
bool SendMessage(const fs::path& socketPath, char kind, const std::string& payload,
                 Clock::time_point deadline, bool patient) {
  sockaddr_un address{};
  if (!AddressFor(socketPath, address)) return false;
  for (;;) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd);
      if (!patient || Clock::now() >= deadline) return false;
      // The running copy may not listen yet: it is still starting.
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    std::string message(1, kind);
    const auto length = static_cast<std::uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i)
      message += static_cast<char>((length >> (8 * i)) & 0xFF);
    message += payload;
    bool ok = true;
    for (std::size_t sent = 0; ok && sent < message.size();) {
      const ssize_t n = ::send(fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) sent += static_cast<std::size_t>(n);
    }
    char answer = 0;
    ok = ok && WaitFor(fd, POLLIN, deadline) && ::recv(fd, &answer, 1, 0) == 1 && answer == kTaken;
    ::close(fd);
    return ok;
  }
}

}  // namespace

bool LinuxInstancePlatform::Send(char kind, const std::string& payload) {
  return SendMessage(PathFor(title_, className_, ".sock"), kind, payload,
                     Clock::now() + kHandOverTime, true);
}

bool LinuxInstancePlatform::TryHandOver(const std::string& title, const std::string& className,
                                        const std::string& text, const fs::path& folder) {
  if (text.empty()) return false;
  return SendMessage(folder / IdentityFileName(title, className, ".sock"), kParameters, text,
                     Clock::now() + kHandOverTime, false);
}

void LinuxInstancePlatform::HandOverParameters(const std::string& text) {
  Send(kParameters, text);
}

void LinuxInstancePlatform::BringRunningCopyForward() {
  // An action runs in the running copy as its hotkey would: its windows stay
  // where they are, and a quick translation copies from the application the
  // user works in, not from one of ours brought to the front.
  if (ActionOfHandedOverText(JoinParameters(parameters_))) return;
  Send(kForward, {});
}

void LinuxInstancePlatform::ExitProcess(int code) {
  std::exit(code);
}

}  // namespace parlumo
