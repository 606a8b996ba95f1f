#include "IdleRelease.h"

namespace parlumo::service {

IdleRelease::IdleRelease(std::chrono::milliseconds idleTime, std::function<void()> release)
    : idleTime_(idleTime), release_(std::move(release)), thread_([this] { Run(); }) {}

IdleRelease::~IdleRelease() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void IdleRelease::Touch() {
  std::lock_guard lock(mutex_);
  const bool wasReleased = !lastUse_;
  lastUse_ = Clock::now();
  // A thread waiting for a due time wakes by itself; one waiting for a use needs it.
  if (wasReleased) changed_.notify_all();
}

void IdleRelease::Run() {
  std::unique_lock lock(mutex_);
  while (!ending_) {
    if (!lastUse_) {
      changed_.wait(lock);
      continue;
    }
    const auto due = *lastUse_ + idleTime_;
    if (Clock::now() < due) {
      changed_.wait_until(lock, due);
      continue;
    }
    lastUse_.reset();
    lock.unlock();
    release_();
    lock.lock();
  }
}

}  // namespace parlumo::service
