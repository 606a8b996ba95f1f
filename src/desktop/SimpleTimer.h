#pragma once

#include <functional>
#include <memory>

#include "runtime/EventLoop.h"

namespace parlumo {

// A repeating timer on the user-interface thread's event loop. Start fails and
// leaves the timer stopped when the interval is 0, and restarts it when it is
// already running. The handler may stop, restart or destroy the timer.
class TSimpleTimer {
 public:
  using Handler = std::function<void()>;

  TSimpleTimer(EventLoop& loop, Handler handler, unsigned intervalMs = 1000);
  TSimpleTimer(const TSimpleTimer&) = delete;
  TSimpleTimer& operator=(const TSimpleTimer&) = delete;

  unsigned Interval() const { return interval_; }
  // Takes effect at the next Start.
  void SetInterval(unsigned intervalMs) { interval_ = intervalMs; }
  bool Start();
  void Stop() { timer_.reset(); }
  bool Running() const { return timer_ != nullptr; }

 private:
  EventLoop& loop_;
  Handler handler_;
  unsigned interval_;
  std::unique_ptr<EventLoop::Timer> timer_;
  Lifetime lifetime_;
};

}  // namespace parlumo
