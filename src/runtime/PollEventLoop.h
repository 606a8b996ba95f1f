#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "runtime/EventLoop.h"

namespace parlumo {

// EventLoop over poll(), with an eventfd that wakes it when a task is posted
// from another thread or the terminating flag is set.
class PollEventLoop final : public EventLoop {
 public:
  PollEventLoop();
  ~PollEventLoop() override;
  PollEventLoop(const PollEventLoop&) = delete;
  PollEventLoop& operator=(const PollEventLoop&) = delete;

  void Post(Task task) override;
  std::unique_ptr<Watch> WatchFd(int fd, unsigned events,
                                 std::function<void(unsigned)> callback) override;
  std::unique_ptr<Timer> StartTimer(Duration interval, bool repeating, Task callback) override;
  void ProcessEvents(Duration maxWait) override;
  void SetTerminating() override;
  bool Terminating() const override;

 private:
  struct WatchEntry;
  struct TimerEntry;
  class WatchHandle;
  class TimerHandle;
  using Clock = std::chrono::steady_clock;

  void Wake();
  void DrainWake();
  bool TasksPending();
  void DispatchTimers();
  void DispatchTasks();

  int wakeFd_ = -1;
  // The thread inside ProcessEvents, if any. Its own posts need no wake-up:
  // the pass it is in runs every queued task before it returns, and a pass
  // never sleeps while tasks are queued.
  std::atomic<std::thread::id> dispatcher_{};
  std::uint64_t nextId_ = 1;
  std::uint64_t passes_ = 0;  // dispatch passes begun, nested ones included
  std::map<std::uint64_t, std::shared_ptr<WatchEntry>> watches_;
  std::map<std::uint64_t, std::shared_ptr<TimerEntry>> timers_;

  mutable std::mutex mutex_;  // guards tasks_ and terminating_
  std::deque<Task> tasks_;
  bool terminating_ = false;
};

}  // namespace parlumo
