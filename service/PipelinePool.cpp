#include "PipelinePool.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>

namespace parlumo::service {

namespace {

// How long the programs of a pipeline that is stopped get to end on their own once
// their input is closed; Apertium's programs take a few milliseconds.
constexpr auto kCloseGrace = std::chrono::milliseconds(500);
// How often a waiting request looks whether the pipelines it waits for have stalled.
constexpr auto kStallCheck = std::chrono::milliseconds(100);
// About what the start of a pipeline costs (its first request, which loads every
// program's data, takes some 0.5 s): a request that finds its mode's pipelines on
// requests younger than this waits for one of them rather than start another.
constexpr auto kStartCost = std::chrono::milliseconds(500);
// Without its wake-up descriptor the sweeper looks at the idle pipelines this often.
constexpr auto kSweepWithoutWake = std::chrono::milliseconds(1000);

}  // namespace

struct PipelinePool::Lease::Request {
  // When the request last made progress: its start, then each answer.
  std::atomic<Clock::rep> progress{Clock::now().time_since_epoch().count()};
  // When it took its pipeline, and whether that had never answered (then this is
  // the pipeline's first request). Changed under the pool's lock.
  Clock::rep start = 0;
  bool cold = false;
};

PipelinePool::Lease::Lease(PipelinePool* pool, ModeId mode, std::unique_ptr<Request> request,
                           std::unique_ptr<ApertiumProcess> process)
    : pool_(pool), mode_(mode), request_(std::move(request)), process_(std::move(process)) {}

PipelinePool::Lease::Lease(Lease&& other) noexcept
    : pool_(std::exchange(other.pool_, nullptr)),
      mode_(other.mode_),
      request_(std::move(other.request_)),
      process_(std::move(other.process_)) {}

PipelinePool::Lease::~Lease() {
  if (pool_ != nullptr) pool_->Release(mode_, *request_, std::move(process_));
}

std::atomic<std::chrono::steady_clock::rep>& PipelinePool::Lease::Progress() {
  return request_->progress;
}

void PipelinePool::Lease::Restart() {
  // The old pipeline goes first, so that the place never holds two.
  process_.reset();
  {
    std::lock_guard lock(pool_->mutex_);
    const auto now = Clock::now().time_since_epoch().count();
    request_->progress.store(now);
    request_->start = now;
    request_->cold = true;
  }
  process_ = std::make_unique<ApertiumProcess>(pool_->modes_[mode_].pipeline);
}

PipelinePool::PipelinePool(PipelineLimits limits) : limits_(limits) {
  wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  sweeper_ = std::thread([this] { Sweep(); });
}

PipelinePool::~PipelinePool() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  WakeSweeper();
  sweeper_.join();
  if (wake_ >= 0) ::close(wake_);
  // The idle pipelines are killed with modes_: at the service's end nothing waits.
}

PipelinePool::ModeId PipelinePool::AddMode(std::string name, Pipeline pipeline) {
  std::lock_guard lock(mutex_);
  modes_.push_back({std::move(name), std::move(pipeline), {}, {}});
  return modes_.size() - 1;
}

const std::string& PipelinePool::ModeName(ModeId mode) const {
  // Names and pipelines do not change once the modes are added.
  return modes_[mode].name;
}

bool PipelinePool::StartNow(ModeId id) {
  {
    std::lock_guard lock(mutex_);
    if (running_ >= limits_.maxPipelines ||
        static_cast<int>(modes_[id].Count()) >= limits_.maxProcesses || OverBudget(modes_[id])) {
      return false;
    }
    ++running_;
  }
  auto process = std::make_unique<ApertiumProcess>(modes_[id].pipeline);
  const bool started = process->Running();
  {
    std::lock_guard lock(mutex_);
    if (started) {
      modes_[id].idle.push_back({std::move(process), Clock::now(), nextSerial_++});
    } else {
      --running_;
    }
  }
  changed_.notify_all();
  WakeSweeper();
  return started;
}

bool PipelinePool::FreeSoon(const Mode& mode, Clock::time_point now) const {
  const auto coldSince = (now - limits_.stallTime / 2).time_since_epoch().count();
  const auto warmSince = (now - kStartCost).time_since_epoch().count();
  // A pipeline's first request counts as starting until the request ends, not only
  // until its first answer: once answered it comes back within moments (after its
  // measure), and by then its start is older than kStartCost.
  return std::any_of(mode.inFlight.begin(), mode.inFlight.end(), [&](const auto* request) {
    return request->start > (request->cold ? coldSince : warmSince);
  });
}

bool PipelinePool::AllStalled(const std::vector<Lease::Request*>& requests,
                              Clock::time_point now) const {
  const auto since = (now - limits_.stallTime).time_since_epoch().count();
  return !requests.empty() &&
         std::all_of(requests.begin(), requests.end(),
                     [since](const auto* request) { return request->progress.load() < since; });
}

std::unique_ptr<ApertiumProcess> PipelinePool::TakeLeastRecentlyUsed(const std::string& why) {
  Mode* oldestMode = nullptr;
  std::vector<Idle>::iterator oldest;
  for (auto& mode : modes_) {
    for (auto it = mode.idle.begin(); it != mode.idle.end(); ++it) {
      if (oldestMode == nullptr || it->since < oldest->since) {
        oldestMode = &mode;
        oldest = it;
      }
    }
  }
  if (oldestMode == nullptr) return nullptr;
  auto process = std::move(oldest->process);
  std::fprintf(stderr, "parlumo-service: Apertium %s stopped to make room (%s)\n",
               oldestMode->name.c_str(), why.c_str());
  oldestMode->idle.erase(oldest);
  return process;
}

std::size_t PipelinePool::ExpectedFootprint(const Mode& mode) const {
  return mode.footprint != 0 ? mode.footprint : largestFootprint_;
}

bool PipelinePool::OverBudget(const Mode& adding) const {
  if (limits_.memoryBudget == 0) return false;
  std::size_t total = ExpectedFootprint(adding);
  for (const auto& mode : modes_)
    total += mode.Count() * ExpectedFootprint(mode);
  return total > limits_.memoryBudget;
}

std::optional<PipelinePool::Lease> PipelinePool::Acquire(ModeId id) {
  auto request = std::make_unique<Lease::Request>();
  // The pipelines stopped for this one: the first may pass its place at the cap on to
  // it; those stopped for memory give theirs up.
  std::vector<std::unique_ptr<ApertiumProcess>> evicted;
  int placesGivenUp = 0;
  std::unique_lock lock(mutex_);
  Mode& mode = modes_[id];
  while (true) {
    const auto now = Clock::now();
    if (!mode.idle.empty()) {
      auto process = std::move(mode.idle.back().process);
      mode.idle.pop_back();
      request->start = now.time_since_epoch().count();
      request->progress.store(request->start);
      request->cold = !process->Answered();
      mode.inFlight.push_back(request.get());
      return Lease(this, id, std::move(request), std::move(process));
    }
    const bool modeFull = static_cast<int>(mode.Count()) >= limits_.maxProcesses;
    const bool freeSoon = FreeSoon(mode, now);
    if (!modeFull && !freeSoon) {
      bool placed = running_ < limits_.maxPipelines;
      if (placed) {
        ++running_;
      } else if (auto oldest = TakeLeastRecentlyUsed(
                     "at most " + std::to_string(limits_.maxPipelines) + " pipelines run")) {
        // The evicted pipeline's place passes to this request.
        evicted.push_back(std::move(oldest));
        placed = true;
      }
      if (placed) {
        while (OverBudget(mode)) {
          auto oldest = TakeLeastRecentlyUsed("the engines' memory is bounded to " +
                                              std::to_string(limits_.memoryBudget >> 20) + " MB");
          if (!oldest) break;
          evicted.push_back(std::move(oldest));
          ++placesGivenUp;
        }
        break;
      }
    }
    // Waiting: for the mode's own pipelines, or at the cap for any pipeline.
    bool stalled = false;
    if (modeFull || freeSoon) {
      stalled = AllStalled(mode.inFlight, now);
    } else {
      std::vector<Lease::Request*> everyRequest;
      for (const auto& other : modes_)
        everyRequest.insert(everyRequest.end(), other.inFlight.begin(), other.inFlight.end());
      stalled = AllStalled(everyRequest, now);
    }
    if (stalled) return std::nullopt;
    changed_.wait_for(lock, kStallCheck);
  }
  request->start = Clock::now().time_since_epoch().count();
  request->progress.store(request->start);
  request->cold = true;
  mode.inFlight.push_back(request.get());
  lock.unlock();
  // The place is this request's from here on: the pipelines stopped for it end
  // before the new one starts, so that no more than the cap ever run and their
  // memory is free for it.
  if (!evicted.empty()) {
    for (auto& process : evicted)
      process->Close(kCloseGrace);
    evicted.clear();
    if (placesGivenUp > 0) {
      std::lock_guard relock(mutex_);
      running_ -= placesGivenUp;
    }
    changed_.notify_all();
  }
  auto process = std::make_unique<ApertiumProcess>(mode.pipeline);
  return Lease(this, id, std::move(request), std::move(process));
}

void PipelinePool::Release(ModeId id, Lease::Request& request,
                           std::unique_ptr<ApertiumProcess> process) {
  // Measured after its first answer, when its programs have loaded their data (once
  // for each pipeline: later requests pay nothing for it).
  std::optional<std::size_t> measured;
  if (process && process->Answered() && !process->Measured()) measured = process->Measure();
  {
    std::lock_guard lock(mutex_);
    Mode& mode = modes_[id];
    std::erase(mode.inFlight, &request);
    if (measured) {
      mode.footprint = *measured;
      largestFootprint_ = std::max(largestFootprint_, *measured);
    }
    if (process && process->Running()) {
      mode.idle.push_back({std::move(process), Clock::now(), nextSerial_++});
    } else {
      // Stopped already (a failed start or a failure on the request): nothing runs.
      --running_;
    }
  }
  changed_.notify_all();
  WakeSweeper();
}

ResidentPipelines PipelinePool::Resident() const {
  ResidentPipelines resident;
  resident.maxPipelines = limits_.maxPipelines;
  resident.memoryBudget = limits_.memoryBudget;
  resident.idleTime = std::chrono::duration_cast<std::chrono::seconds>(limits_.idleTime);
  std::lock_guard lock(mutex_);
  const auto now = Clock::now();
  for (const auto& mode : modes_) {
    if (mode.Count() == 0) continue;
    ResidentPipelines::Mode entry;
    entry.name = mode.name;
    entry.running = static_cast<int>(mode.Count());
    entry.inUse = static_cast<int>(mode.inFlight.size());
    entry.footprint = mode.footprint;
    for (const auto& idle : mode.idle) {
      entry.idleFor.push_back(std::chrono::duration_cast<std::chrono::seconds>(now - idle.since));
    }
    resident.modes.push_back(std::move(entry));
  }
  return resident;
}

void PipelinePool::WakeSweeper() {
  if (wake_ < 0) return;
  const std::uint64_t one = 1;
  // A full counter still wakes the sweeper; nothing else can fail here.
  [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
}

void PipelinePool::StopOutside(std::vector<std::unique_ptr<ApertiumProcess>> processes,
                               std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  for (auto& process : processes) {
    process->Close(kCloseGrace);
    process.reset();
  }
  lock.lock();
  // Their places count until their programs are gone, so that no more than the cap
  // ever run.
  running_ -= static_cast<int>(processes.size());
  changed_.notify_all();
}

void PipelinePool::Sweep() {
  std::unique_lock lock(mutex_);
  while (!ending_) {
    const auto now = Clock::now();
    std::vector<std::unique_ptr<ApertiumProcess>> due;
    std::optional<Clock::time_point> next;
    std::vector<pollfd> fds = {{wake_, POLLIN, 0}};
    std::vector<std::pair<ModeId, std::uint64_t>> watched;  // for fds[1...]
    for (ModeId id = 0; id < modes_.size(); ++id) {
      auto& idle = modes_[id].idle;
      for (auto it = idle.begin(); it != idle.end();) {
        if (now - it->since >= limits_.idleTime) {
          std::fprintf(
              stderr, "parlumo-service: Apertium %s unused for %lld s; stopped\n",
              modes_[id].name.c_str(),
              static_cast<long long>(
                  std::chrono::duration_cast<std::chrono::seconds>(now - it->since).count()));
          due.push_back(std::move(it->process));
          it = idle.erase(it);
          continue;
        }
        const auto end = it->since + limits_.idleTime;
        if (!next || end < *next) next = end;
        fds.push_back({it->process->Output(), POLLIN, 0});
        watched.emplace_back(id, it->serial);
        ++it;
      }
    }
    if (!due.empty()) {
      StopOutside(std::move(due), lock);
      continue;
    }
    // Rounded up, so that the sweeper does not wake just before the pipeline is due.
    auto wait = next ? std::chrono::duration_cast<std::chrono::milliseconds>(*next - now) +
                           std::chrono::milliseconds(1)
                     : std::chrono::milliseconds(-1);
    if (wake_ < 0 && (wait.count() < 0 || wait > kSweepWithoutWake)) wait = kSweepWithoutWake;
    lock.unlock();
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(wait.count()));
    if (ready > 0 && fds[0].revents != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t got = ::read(wake_, &count, sizeof count);
    }
    lock.lock();
    if (ready <= 0) continue;  // due time, or a signal: look again
    // An idle pipeline whose output stirs has ended (or sends what nobody asked for):
    // either way it cannot serve the next request. Those given back since the poll
    // have a new serial and are looked at on the next round.
    std::vector<std::unique_ptr<ApertiumProcess>> ended;
    for (std::size_t i = 1; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      const auto [id, serial] = watched[i - 1];
      auto& idle = modes_[id].idle;
      const auto it = std::find_if(idle.begin(), idle.end(),
                                   [serial](const Idle& entry) { return entry.serial == serial; });
      if (it == idle.end()) continue;
      std::fprintf(stderr,
                   "parlumo-service: Apertium %s ended while unused; it starts again with its "
                   "next request\n",
                   modes_[id].name.c_str());
      ended.push_back(std::move(it->process));
      idle.erase(it);
    }
    if (!ended.empty()) StopOutside(std::move(ended), lock);
  }
}

}  // namespace parlumo::service
