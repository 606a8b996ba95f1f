#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace parlumo {

// The event loop of one thread: posted tasks, file descriptor watches and
// timers, all dispatched on the thread that runs ProcessEvents. The program uses
// the Qt loop of its user-interface thread; the command-line tool, the tests and
// the benchmarks use PollEventLoop. Both pass the same conformance suite.
//
// Dispatch order rule: ProcessEvents waits (at most maxWait) until something is
// ready, then dispatches everything ready in one pass. Every task posted while
// the pass runs is dispatched in that same pass, before ProcessEvents returns,
// in the order it was posted. A caller that waits for a state by looping over
// ProcessEvents therefore never sees a state that a posted task was about to
// change (the HTTP client's authentication restart relies on it).
//
// Callbacks may destroy their own watch or timer, and anything else; a watch or
// timer that is destroyed is never called again, even later in the same pass.
// Watches and timers must not outlive their loop.
class EventLoop {
 public:
  using Task = std::function<void()>;
  using Duration = std::chrono::milliseconds;

  // Readiness bits of a file descriptor watch.
  static constexpr unsigned kRead = 1;
  static constexpr unsigned kWrite = 2;
  // Given to the callback only: error or hang-up on the descriptor.
  static constexpr unsigned kError = 4;
  // Given to the callback only: the loop learnt the descriptor's error state
  // together with its readiness, so a report without kError means there was no
  // error. A loop that cannot tell (Qt's socket notifiers) never sets it, and
  // its callers have to ask the system themselves. kError comes only with it.
  static constexpr unsigned kErrorChecked = 8;

  // Removes its watch when destroyed.
  class Watch {
   public:
    virtual ~Watch() = default;
    // Which readiness the watch waits for (kRead, kWrite, both or none).
    virtual void SetEvents(unsigned events) = 0;
    virtual unsigned Events() const = 0;
  };

  // Stops its timer when destroyed.
  class Timer {
   public:
    virtual ~Timer() = default;
  };

  virtual ~EventLoop() = default;

  // Queues a task to run on the loop's thread after the current handler has
  // returned. Safe to call from any thread; it wakes a waiting ProcessEvents.
  virtual void Post(Task task) = 0;

  // Calls callback(ready bits) whenever fd is ready for one of the events.
  virtual std::unique_ptr<Watch> WatchFd(int fd, unsigned events,
                                         std::function<void(unsigned)> callback) = 0;

  // Calls callback once after interval, or every interval when repeating.
  virtual std::unique_ptr<Timer> StartTimer(Duration interval, bool repeating, Task callback) = 0;

  // Waits at most maxWait for a ready descriptor, a due timer or a posted task,
  // then dispatches everything pending (see the order rule above).
  virtual void ProcessEvents(Duration maxWait) = 0;

  // "The application is terminating": set once, read by every synchronous wait
  // so that it gives up. Setting it wakes a waiting ProcessEvents.
  virtual void SetTerminating() = 0;
  virtual bool Terminating() const = 0;
};

// Lets an object hand out callbacks (posted tasks, deferred events) that do
// nothing once the object is gone. Destroy it first in the owner's destructor.
class Lifetime {
 public:
  Lifetime() = default;
  Lifetime(const Lifetime&) = delete;
  Lifetime& operator=(const Lifetime&) = delete;

  template <typename F>
  auto Guard(F f) const {
    return [alive = std::weak_ptr<const int>(alive_), f = std::move(f)](auto&&... args) mutable {
      if (!alive.expired()) f(std::forward<decltype(args)>(args)...);
    };
  }
  // True while the owner lives; for code that must check after calling out.
  std::weak_ptr<const int> Token() const { return alive_; }

 private:
  std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};

}  // namespace parlumo
