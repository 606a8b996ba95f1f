#pragma once

#include <QObject>
#include <cstdint>
#include <deque>
#include <mutex>

#include "runtime/EventLoop.h"

namespace parlumo {

// EventLoop over the Qt event loop of the thread that creates it (the program's
// user-interface thread): fd watches are QSocketNotifiers, timers QTimers, and
// posted tasks wake Qt with a posted event, so they run from QApplication::exec
// as well as from ProcessEvents. Tasks posted while tasks run are run in the same
// round, which gives the order rule of EventLoop. A QCoreApplication must exist.
class QtEventLoop final : public QObject, public EventLoop {
 public:
  QtEventLoop();
  ~QtEventLoop() override;
  QtEventLoop(const QtEventLoop&) = delete;
  QtEventLoop& operator=(const QtEventLoop&) = delete;

  void Post(Task task) override;
  std::unique_ptr<Watch> WatchFd(int fd, unsigned events,
                                 std::function<void(unsigned)> callback) override;
  std::unique_ptr<Timer> StartTimer(Duration interval, bool repeating, Task callback) override;
  void ProcessEvents(Duration maxWait) override;
  void SetTerminating() override;
  bool Terminating() const override;

 protected:
  bool event(QEvent* e) override;

 private:
  void RunTasks();
  bool TasksPending() const;

  mutable std::mutex mutex_;  // guards tasks_, wakePosted_ and terminating_
  std::deque<Task> tasks_;
  bool wakePosted_ = false;
  bool terminating_ = false;
  // Callbacks and tasks run so far (this thread only): ends a wait that only
  // Qt's housekeeping interrupted.
  std::uint64_t dispatched_ = 0;
};

}  // namespace parlumo
