#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ApertiumEngine.h"
#include "ResidentPipelines.h"

namespace parlumo::service {

// What bounds the Apertium pipelines of the service.
struct PipelineLimits {
  int maxProcesses = 2;  // pipelines of one mode serving requests at the same time
  int maxPipelines = 4;  // pipelines running at once, over every mode
  // The memory the pipelines may take together, in bytes (0: no bound). A pipeline's
  // memory is measured once it has answered (its programs have loaded their data
  // then); one not measured yet counts as the largest measured so far. Some 40 MB
  // (Portuguese-Spanish) to 110 MB (English-Spanish) each.
  std::size_t memoryBudget = std::size_t{256} << 20;
  // A pipeline unused this long is stopped; the next request of its mode starts it
  // again (a pipeline holds some 70 MB while it runs).
  std::chrono::milliseconds idleTime{120000};
  // A request's answers must all arrive within this time; a pipeline that takes
  // longer is replaced and the request fails.
  std::chrono::milliseconds timeout{30000};
  // A request waiting for a pipeline gives up (the translation fails at once) when
  // every pipeline it waits for has been on its request this long without an answer:
  // then they are stuck or busy with huge texts, and waiting would hold a worker of
  // the service that other pairs need. Long enough for a cold start of a pipeline
  // (its first request loads every program's data: seconds on a busy machine).
  std::chrono::milliseconds stallTime{10000};
};

// The running Apertium pipelines of every mode, and the rules that bound them:
//  - a request takes an idle pipeline of its mode (the one used last), else starts
//    one while its mode has fewer than maxProcesses and the service fewer than
//    maxPipelines; at the cap, the pipeline of any mode that has been idle the
//    longest is stopped for it;
//  - before a pipeline starts, idle pipelines of any mode, those unused the longest
//    first, are stopped while the new one would not fit in memoryBudget beside the
//    running ones. The budget never makes a request wait: pipelines on a request
//    stay, and a new one starts even when they alone fill the budget;
//  - while a pipeline of the mode is on its first request (which loads every
//    program's data), another request of the mode waits for it rather than
//    start a second one, for at most half the stall time: starting another would take
//    as long and double the memory, but a start that hangs must not hold the mode.
//    Likewise while one is on a request younger than a start takes (some 0.5 s): a
//    burst of short requests is served by one pipeline, and a second starts only
//    beside a long request;
//  - when every pipeline is in use and the cap is reached, a request waits for one to
//    come free, and gives up like any waiting request when every pipeline it waits
//    for has stalled (see stallTime). A request holds one pipeline at a time and
//    waits only while it holds none, so waits cannot form a cycle;
//  - a pipeline unused for idleTime is stopped (its input closed, so that its
//    programs end as at the end of a file; killed after a short grace);
//  - a pipeline that ends while idle (a program killed or crashed) is noticed at
//    once, stopped and reaped; the next request starts a new one.
// A thread of the pool's own stops the idle pipelines; it sleeps until the next one
// is due or an idle pipeline's output stirs. Thread-safe.
class PipelinePool {
 public:
  explicit PipelinePool(PipelineLimits limits);
  // Stops every pipeline; no request may hold one.
  ~PipelinePool();
  PipelinePool(const PipelinePool&) = delete;
  PipelinePool& operator=(const PipelinePool&) = delete;

  // A mode's number in the pool; the modes are added before the first request.
  using ModeId = std::size_t;
  ModeId AddMode(std::string name, Pipeline pipeline);
  // Starts a pipeline of the mode now, while the cap and the memory bound leave room
  // (stopping none for it); false when not.
  bool StartNow(ModeId mode);

  const PipelineLimits& Limits() const { return limits_; }
  const std::string& ModeName(ModeId mode) const;

  // A request's hold on a pipeline of its mode: progress is when the request last
  // made progress (its start, then each answer); process is the pipeline, which the
  // holder may replace (a new one after a failure) or stop. On destruction the
  // pipeline goes back to the pool, or its place is given up when it is stopped.
  class Lease {
   public:
    Lease(Lease&& other) noexcept;
    Lease& operator=(Lease&&) = delete;
    ~Lease();
    ApertiumProcess& Process() { return *process_; }
    // Replaces the pipeline by a new one of the mode (its place stays taken).
    void Restart();
    std::atomic<std::chrono::steady_clock::rep>& Progress();

   private:
    friend class PipelinePool;
    struct Request;
    Lease(PipelinePool* pool, ModeId mode, std::unique_ptr<Request> request,
          std::unique_ptr<ApertiumProcess> process);

    PipelinePool* pool_;
    ModeId mode_;
    std::unique_ptr<Request> request_;
    std::unique_ptr<ApertiumProcess> process_;
  };

  // A pipeline of the mode for one request, started if need be; nothing when every
  // pipeline the request could get has stalled (see stallTime).
  std::optional<Lease> Acquire(ModeId mode);

  // The pipelines running now, mode by mode, for the service's start page.
  ResidentPipelines Resident() const;

 private:
  using Clock = std::chrono::steady_clock;
  struct Idle {
    std::unique_ptr<ApertiumProcess> process;
    Clock::time_point since;  // when it was last given back
    std::uint64_t serial;     // names this stay in the idle list for the sweeper
  };
  struct Mode {
    std::string name;
    Pipeline pipeline;
    std::vector<Idle> idle;                 // the last given back last
    std::vector<Lease::Request*> inFlight;  // the requests that hold a pipeline
    std::size_t footprint = 0;  // bytes one pipeline takes, as last measured; 0: not yet
    std::size_t Count() const { return idle.size() + inFlight.size(); }
  };

  void Release(ModeId mode, Lease::Request& request, std::unique_ptr<ApertiumProcess> process);
  // Whether a pipeline of the mode in use will likely come free before a new one
  // could start: one on its first request (starting, then answering) for less than
  // half the stall time, or one on a later request younger than a start takes.
  bool FreeSoon(const Mode& mode, Clock::time_point now) const;
  // Whether every one of the requests has gone stallTime without progress; false
  // when there is none.
  bool AllStalled(const std::vector<Lease::Request*>& requests, Clock::time_point now) const;
  // The idle pipeline, of any mode, given back the longest ago: taken out of its
  // mode, or nullptr when no pipeline is idle. why says in the log why it stops.
  std::unique_ptr<ApertiumProcess> TakeLeastRecentlyUsed(const std::string& why);
  // The memory a pipeline of the mode takes: as measured, else the largest measured.
  std::size_t ExpectedFootprint(const Mode& mode) const;
  // Whether a new pipeline of the mode would not fit in the memory budget beside
  // the running ones.
  bool OverBudget(const Mode& mode) const;
  // Wakes the sweeper to look at the idle pipelines again.
  void WakeSweeper();
  // The sweeper's thread: stops the pipelines idle for idleTime and those that end
  // while idle.
  void Sweep();
  // Stops pipelines taken out of the idle lists, then gives up their places.
  void StopOutside(std::vector<std::unique_ptr<ApertiumProcess>> processes,
                   std::unique_lock<std::mutex>& lock);

  const PipelineLimits limits_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;  // a pipeline came free or a place was given up
  std::vector<Mode> modes_;
  int running_ = 0;  // pipelines started and not yet stopped (idle, in use, stopping)
  std::size_t largestFootprint_ = 0;  // the largest footprint measured, of any mode
  std::uint64_t nextSerial_ = 0;
  bool ending_ = false;
  int wake_ = -1;  // eventfd that wakes the sweeper
  std::thread sweeper_;
};

}  // namespace parlumo::service
