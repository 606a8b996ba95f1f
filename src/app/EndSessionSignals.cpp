#include "app/EndSessionSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace parlumo {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end for the handler; -1 while no object is installed.
std::atomic<int> gWriteFd{-1};
struct sigaction gPrevious[std::size(kSignals)];

extern "C" void OnEndSignal(int) {
  const int savedErrno = errno;
  const int fd = gWriteFd.load();
  if (fd >= 0) {
    const char byte = 1;
    // A full pipe already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
  }
  errno = savedErrno;
}

}  // namespace

TEndSessionSignals::TEndSessionSignals(EventLoop& loop, std::function<void()> onEnd)
    : onEnd_(std::move(onEnd)) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  readFd_ = fds[0];
  gWriteFd.store(fds[1]);
  watch_ = loop.WatchFd(readFd_, EventLoop::kRead, [this](unsigned) { Drain(); });
  struct sigaction action = {};
  action.sa_handler = OnEndSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    ::sigaction(kSignals[i], &action, &gPrevious[i]);
  }
  installed_ = true;
}

TEndSessionSignals::~TEndSessionSignals() {
  if (!installed_) return;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    ::sigaction(kSignals[i], &gPrevious[i], nullptr);
  }
  watch_.reset();
  const int writeFd = gWriteFd.exchange(-1);
  ::close(writeFd);
  ::close(readFd_);
}

void TEndSessionSignals::Drain() {
  char buffer[64];
  bool signalled = false;
  while (::read(readFd_, buffer, sizeof buffer) > 0)
    signalled = true;
  // The handler may end the program's loop; it runs last.
  if (signalled && onEnd_) onEnd_();
}

}  // namespace parlumo
