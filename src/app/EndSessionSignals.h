#pragma once

#include <functional>
#include <memory>

#include "runtime/EventLoop.h"

namespace parlumo {

// Turns SIGTERM, SIGINT and SIGHUP into a call on the event loop: the signal
// handler only writes a byte into a pipe, whose read end the loop watches, so
// the program ends through its ordinary code (close the main form, save the
// settings) on its own thread. While the object lives it owns the three
// signals' dispositions; it puts the previous ones back when it goes. One
// object per process.
class TEndSessionSignals {
 public:
  TEndSessionSignals(EventLoop& loop, std::function<void()> onEnd);
  ~TEndSessionSignals();
  TEndSessionSignals(const TEndSessionSignals&) = delete;
  TEndSessionSignals& operator=(const TEndSessionSignals&) = delete;

  // False when the pipe could not be made: the signals then keep their
  // default action (the program ends without saving).
  bool Installed() const { return installed_; }

 private:
  void Drain();

  std::function<void()> onEnd_;
  int readFd_ = -1;
  bool installed_ = false;
  std::unique_ptr<EventLoop::Watch> watch_;
};

}  // namespace parlumo
