#pragma once

#include <functional>
#include <mutex>

namespace parlumo::service {

// Tells work done for a request that its client has gone, so that the work can end
// early and give its resources back (a page fetch its connection, for one). Cancel
// comes from one thread, the work runs on another.
class Cancellation {
 public:
  // Marks the request cancelled and runs the callback set by OnCancel, once, on
  // the calling thread.
  void Cancel() {
    const std::lock_guard lock(mutex_);
    if (cancelled_) return;
    cancelled_ = true;
    if (callback_) callback_();
  }

  bool Cancelled() const {
    const std::lock_guard lock(mutex_);
    return cancelled_;
  }

  // Sets what Cancel runs, replacing the one before; an empty function clears it.
  // When the request is cancelled already, callback runs at once. Once this has
  // returned, the callback it replaced runs no more, so that what it refers to
  // may go.
  void OnCancel(std::function<void()> callback) {
    const std::lock_guard lock(mutex_);
    callback_ = std::move(callback);
    if (cancelled_ && callback_) callback_();
  }

 private:
  mutable std::mutex mutex_;
  bool cancelled_ = false;
  std::function<void()> callback_;
};

}  // namespace parlumo::service
