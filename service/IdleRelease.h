#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace parlumo::service {

// Lets a resource go once it has been unused for a while: `release` runs (on a thread
// of this object's own) when `idleTime` has passed since the last Touch(), once for
// each spell of use. The resource must stay usable after a release (it is merely
// brought back by its next use); the release never runs at the same time as itself.
class IdleRelease {
 public:
  IdleRelease(std::chrono::milliseconds idleTime, std::function<void()> release);
  // Ends the thread without releasing.
  ~IdleRelease();
  IdleRelease(const IdleRelease&) = delete;
  IdleRelease& operator=(const IdleRelease&) = delete;

  // The resource is in use now.
  void Touch();

 private:
  using Clock = std::chrono::steady_clock;
  void Run();

  const std::chrono::milliseconds idleTime_;
  const std::function<void()> release_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<Clock::time_point> lastUse_;  // none: released (or never used)
  bool ending_ = false;
  std::thread thread_;  // last: starts once the fields above are set
};

}  // namespace parlumo::service
