#include "runtime/PollEventLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace parlumo {

namespace {

// poll()'s bits for the readiness a watch waits for.
short PollEvents(unsigned events) {
  short bits = 0;
  if (events & EventLoop::kRead) bits |= POLLIN;
  if (events & EventLoop::kWrite) bits |= POLLOUT;
  return bits;
}

}  // namespace

struct PollEventLoop::WatchEntry {
  int fd;
  unsigned events;
  std::function<void(unsigned)> callback;
  bool removed = false;
};

struct PollEventLoop::TimerEntry {
  Clock::time_point due;
  Duration interval;
  bool repeating;
  Task callback;
  bool removed = false;
  bool fired = false;  // a one-shot timer that has run; it waits for its handle to go
};

class PollEventLoop::WatchHandle final : public Watch {
 public:
  WatchHandle(PollEventLoop& loop, std::uint64_t id, std::shared_ptr<WatchEntry> entry)
      : loop_(loop), id_(id), entry_(std::move(entry)) {}
  ~WatchHandle() override {
    entry_->removed = true;
    loop_.watches_.erase(id_);
  }
  void SetEvents(unsigned events) override { entry_->events = events & (kRead | kWrite); }
  unsigned Events() const override { return entry_->events; }

 private:
  PollEventLoop& loop_;
  std::uint64_t id_;
  std::shared_ptr<WatchEntry> entry_;
};

class PollEventLoop::TimerHandle final : public Timer {
 public:
  TimerHandle(PollEventLoop& loop, std::uint64_t id, std::shared_ptr<TimerEntry> entry)
      : loop_(loop), id_(id), entry_(std::move(entry)) {}
  ~TimerHandle() override {
    entry_->removed = true;
    loop_.timers_.erase(id_);
  }

 private:
  PollEventLoop& loop_;
  std::uint64_t id_;
  std::shared_ptr<TimerEntry> entry_;
};

PollEventLoop::PollEventLoop() {
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ < 0) {
    throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
  }
}

PollEventLoop::~PollEventLoop() {
  ::close(wakeFd_);
}

void PollEventLoop::Wake() {
  const std::uint64_t one = 1;
  // A full counter still wakes the loop, so a failed write loses nothing.
  [[maybe_unused]] const auto n = ::write(wakeFd_, &one, sizeof one);
}

void PollEventLoop::DrainWake() {
  std::uint64_t count = 0;
  [[maybe_unused]] const auto n = ::read(wakeFd_, &count, sizeof count);
}

void PollEventLoop::Post(Task task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  if (dispatcher_.load(std::memory_order_relaxed) != std::this_thread::get_id()) Wake();
}

std::unique_ptr<EventLoop::Watch> PollEventLoop::WatchFd(int fd, unsigned events,
                                                         std::function<void(unsigned)> callback) {
  const auto id = nextId_++;
  auto entry =
      std::make_shared<WatchEntry>(WatchEntry{fd, events & (kRead | kWrite), std::move(callback)});
  watches_.emplace(id, entry);
  return std::make_unique<WatchHandle>(*this, id, std::move(entry));
}

std::unique_ptr<EventLoop::Timer> PollEventLoop::StartTimer(Duration interval, bool repeating,
                                                            Task callback) {
  const auto id = nextId_++;
  auto entry = std::make_shared<TimerEntry>(
      TimerEntry{Clock::now() + interval, interval, repeating, std::move(callback)});
  timers_.emplace(id, entry);
  return std::make_unique<TimerHandle>(*this, id, std::move(entry));
}

void PollEventLoop::SetTerminating() {
  {
    std::lock_guard lock(mutex_);
    terminating_ = true;
  }
  Wake();
}

bool PollEventLoop::Terminating() const {
  std::lock_guard lock(mutex_);
  return terminating_;
}

bool PollEventLoop::TasksPending() {
  std::lock_guard lock(mutex_);
  return !tasks_.empty();
}

void PollEventLoop::ProcessEvents(Duration maxWait) {
  // Restores the outer pass's dispatcher when a nested pass ends (or throws).
  struct Dispatcher {
    std::atomic<std::thread::id>& current;
    std::thread::id outer = current.exchange(std::this_thread::get_id());
    ~Dispatcher() { current.store(outer); }
  } dispatcher{dispatcher_};
  // Wait no longer than the earliest timer, and not at all with tasks queued.
  auto wait = std::max(maxWait, Duration::zero());
  const auto now = Clock::now();
  for (const auto& [id, timer] : timers_) {
    if (timer->fired) continue;
    const auto untilDue = std::chrono::ceil<Duration>(timer->due - now);
    wait = std::min(wait, std::max(untilDue, Duration::zero()));
  }
  if (TasksPending()) wait = Duration::zero();

  std::vector<pollfd> fds;
  std::vector<std::shared_ptr<WatchEntry>> entries;
  fds.reserve(watches_.size() + 1);
  entries.reserve(watches_.size());
  fds.push_back(pollfd{wakeFd_, POLLIN, 0});
  for (const auto& [id, entry] : watches_) {
    const short events = PollEvents(entry->events);
    if (events == 0) continue;
    fds.push_back(pollfd{entry->fd, events, 0});
    entries.push_back(entry);
  }

  const int timeout = static_cast<int>(std::min<Duration::rep>(wait.count(), 1 << 30));
  const int ready = ::poll(fds.data(), fds.size(), timeout);
  if (ready < 0 && errno != EINTR) {
    throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
  }

  const std::uint64_t pass = ++passes_;
  if (ready > 0) {
    if (fds[0].revents != 0) DrainWake();
    for (size_t i = 1; i < fds.size(); ++i) {
      short revents = fds[i].revents;
      if (revents == 0) continue;
      // Hold the entry: the callback may destroy its own watch.
      const auto entry = entries[i - 1];
      if (entry->removed) continue;
      if (passes_ != pass) {
        // A callback ran a pass of its own meanwhile, which may have consumed
        // this readiness: ask again instead of reporting a stale answer.
        pollfd again{entry->fd, PollEvents(entry->events), 0};
        if (again.events == 0 || ::poll(&again, 1, 0) <= 0) continue;
        revents = again.revents;
      }
      unsigned bits = 0;
      if (revents & (POLLIN | POLLPRI)) bits |= kRead;
      if (revents & POLLOUT) bits |= kWrite;
      if (revents & (POLLERR | POLLHUP | POLLNVAL)) bits |= kError;
      // Report a hang-up or error to whatever the watch waits for, so that a
      // reader sees end of file and a writer sees the error.
      if (bits & kError) bits |= entry->events;
      bits &= entry->events | kError;
      // poll() reports errors with the readiness, always.
      if (bits != 0) entry->callback(bits | kErrorChecked);
    }
  }
  DispatchTimers();
  DispatchTasks();
}

void PollEventLoop::DispatchTimers() {
  const auto now = Clock::now();
  std::vector<std::shared_ptr<TimerEntry>> due;
  for (const auto& [id, timer] : timers_) {
    if (!timer->fired && timer->due <= now) due.push_back(timer);
  }
  for (const auto& timer : due) {
    // A nested pass may have run, stopped or re-armed it meanwhile.
    if (timer->removed || timer->fired || timer->due > now) continue;
    if (timer->repeating) {
      timer->due = now + std::max(timer->interval, Duration(1));
    } else {
      timer->fired = true;
    }
    timer->callback();
  }
}

void PollEventLoop::DispatchTasks() {
  // Tasks posted by these tasks run in this same pass (the order rule).
  for (;;) {
    Task task;
    {
      std::lock_guard lock(mutex_);
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

}  // namespace parlumo
