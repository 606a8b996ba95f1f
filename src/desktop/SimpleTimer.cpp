#include "desktop/SimpleTimer.h"

#include <utility>

namespace parlumo {

TSimpleTimer::TSimpleTimer(EventLoop& loop, Handler handler, unsigned intervalMs)
    : loop_(loop), handler_(std::move(handler)), interval_(intervalMs) {}

bool TSimpleTimer::Start() {
  timer_.reset();
  if (interval_ == 0) return false;
  // The guard keeps a tick from reaching a timer destroyed earlier in the same
  // dispatch pass; the loop already drops ticks of a destroyed EventLoop::Timer.
  timer_ = loop_.StartTimer(EventLoop::Duration(interval_), true, lifetime_.Guard([this] {
    // A copy: the handler may destroy this timer.
    if (auto handler = handler_) handler();
  }));
  return true;
}

}  // namespace parlumo
