#include "platform/qt/QtEventLoop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdint>
#include <memory>

namespace parlumo {

namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// Deletes a Qt object that may be in the middle of emitting the signal that got
// us here: it is switched off at once and freed when control is back in Qt.
template <typename T>
void Retire(T* object) {
  if (object == nullptr) return;
  object->disconnect();
  object->deleteLater();
}

class QtWatch final : public EventLoop::Watch {
 public:
  QtWatch(int fd, unsigned events, std::function<void(unsigned)> callback,
          std::uint64_t& dispatched)
      : callback_(std::make_shared<std::function<void(unsigned)>>(std::move(callback))),
        read_(new QSocketNotifier(fd, QSocketNotifier::Read)),
        write_(new QSocketNotifier(fd, QSocketNotifier::Write)) {
    const std::weak_ptr<std::function<void(unsigned)>> weak = callback_;
    QObject::connect(read_, &QSocketNotifier::activated, [weak, &dispatched] {
      ++dispatched;
      if (const auto live = weak.lock()) (*live)(EventLoop::kRead);
    });
    QObject::connect(write_, &QSocketNotifier::activated, [weak, &dispatched] {
      ++dispatched;
      if (const auto live = weak.lock()) (*live)(EventLoop::kWrite);
    });
    SetEvents(events);
  }
  ~QtWatch() override {
    read_->setEnabled(false);  // the descriptor may be closed right after this
    write_->setEnabled(false);
    Retire(read_);
    Retire(write_);
  }
  void SetEvents(unsigned events) override {
    events_ = events & (EventLoop::kRead | EventLoop::kWrite);
    read_->setEnabled((events_ & EventLoop::kRead) != 0);
    write_->setEnabled((events_ & EventLoop::kWrite) != 0);
  }
  unsigned Events() const override { return events_; }

 private:
  // Shared with the connections, which hold it weakly: a callback running when
  // its watch goes keeps itself alive until it returns.
  std::shared_ptr<std::function<void(unsigned)>> callback_;
  QSocketNotifier* read_;
  QSocketNotifier* write_;
  unsigned events_ = 0;
};

class QtTimer final : public EventLoop::Timer {
 public:
  QtTimer(EventLoop::Duration interval, bool repeating, EventLoop::Task callback,
          std::uint64_t& dispatched)
      : callback_(std::make_shared<EventLoop::Task>(std::move(callback))), timer_(new QTimer) {
    timer_->setSingleShot(!repeating);
    timer_->setTimerType(Qt::PreciseTimer);
    const std::weak_ptr<EventLoop::Task> weak = callback_;
    QObject::connect(timer_, &QTimer::timeout, [weak, &dispatched] {
      ++dispatched;
      if (const auto live = weak.lock()) (*live)();
    });
    timer_->start(static_cast<int>(interval.count()));
  }
  ~QtTimer() override {
    timer_->stop();
    Retire(timer_);
  }

 private:
  std::shared_ptr<EventLoop::Task> callback_;
  QTimer* timer_;
};

}  // namespace

QtEventLoop::QtEventLoop() = default;

QtEventLoop::~QtEventLoop() = default;

void QtEventLoop::Post(Task task) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    wake = !wakePosted_;
    wakePosted_ = true;
  }
  if (wake) QCoreApplication::postEvent(this, new QEvent(kWakeEvent));
}

bool QtEventLoop::event(QEvent* e) {
  if (e->type() != kWakeEvent) return QObject::event(e);
  RunTasks();
  return true;
}

void QtEventLoop::RunTasks() {
  for (;;) {
    Task task;
    {
      std::lock_guard lock(mutex_);
      if (tasks_.empty()) {
        wakePosted_ = false;
        return;
      }
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    ++dispatched_;
    task();
  }
}

bool QtEventLoop::TasksPending() const {
  std::lock_guard lock(mutex_);
  return !tasks_.empty();
}

std::unique_ptr<EventLoop::Watch> QtEventLoop::WatchFd(int fd, unsigned events,
                                                       std::function<void(unsigned)> callback) {
  return std::make_unique<QtWatch>(fd, events, std::move(callback), dispatched_);
}

std::unique_ptr<EventLoop::Timer> QtEventLoop::StartTimer(Duration interval, bool repeating,
                                                          Task callback) {
  return std::make_unique<QtTimer>(interval, repeating, std::move(callback), dispatched_);
}

void QtEventLoop::ProcessEvents(Duration maxWait) {
  if (TasksPending() || maxWait <= Duration::zero()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  } else {
    // Qt waits for the next event without a time limit; a timer of our own is it.
    // Qt's own housekeeping (deferred deletes and the like) does not end the wait.
    bool expired = false;
    QTimer limit;
    limit.setSingleShot(true);
    limit.setTimerType(Qt::PreciseTimer);
    QObject::connect(&limit, &QTimer::timeout, [&expired] { expired = true; });
    limit.start(static_cast<int>(std::min<Duration::rep>(maxWait.count(), 1 << 30)));
    const auto before = dispatched_;
    do {
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    } while (!expired && dispatched_ == before && !TasksPending());
  }
  // Whatever the handlers posted runs now, before the caller looks again.
  RunTasks();
}

void QtEventLoop::SetTerminating() {
  {
    std::lock_guard lock(mutex_);
    terminating_ = true;
  }
  Post([] {});
}

bool QtEventLoop::Terminating() const {
  std::lock_guard lock(mutex_);
  return terminating_;
}

}  // namespace parlumo
