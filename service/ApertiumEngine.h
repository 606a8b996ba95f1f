#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Engine.h"

namespace parlumo::service {

// The programs of an Apertium mode file's pipeline, one argument vector each,
// rewritten for null-flush operation: every program gets "-z" (it then answers each
// input that ends with a NUL byte at once, with its output followed by a NUL), the
// generator runs without unknown-word marks ("$1" -> "-n") and the tagger with its
// default ("$2" goes). Arguments in single or double quotes are taken whole. Gives
// nothing when the mode file cannot be read or is empty.
using Pipeline = std::vector<std::vector<std::string>>;
std::optional<Pipeline> NullFlushPipeline(const std::string& modeFile);

// One running Apertium pipeline (its programs connected by pipes, in a process group
// of their own; no shell in between, so that a program that dies is seen at once),
// kept warm between requests. Not thread-safe: one user at a time.
class ApertiumProcess {
 public:
  explicit ApertiumProcess(const Pipeline& pipeline);
  ~ApertiumProcess();
  ApertiumProcess(const ApertiumProcess&) = delete;
  ApertiumProcess& operator=(const ApertiumProcess&) = delete;

  // How a run ended.
  enum class End {
    Answered,  // every input has its answer
    Ended,     // a program of the pipeline had ended or failed, or a pipe broke
    TimedOut,  // the answers did not all come within the time-out
  };
  struct Result {
    End end = End::Ended;
    std::vector<std::string> answers;  // one per input when Answered
  };

  // Sends every input (stream-format text without NUL) and reads back as many
  // answers, each without the blank that ends its input. Unless every answer came,
  // the process is stopped. progress, when given, is set to the time of each
  // answer as it arrives.
  Result Run(const std::vector<std::string>& inputs, std::chrono::milliseconds timeout,
             std::atomic<std::chrono::steady_clock::rep>* progress = nullptr);
  bool Running() const { return !pids_.empty(); }

 private:
  // Starts the pipeline's programs; on failure nothing runs (Running is false).
  void Start(const Pipeline& pipeline);
  void Stop();
  // Whether every program of the pipeline is still alive.
  bool Intact();
  // Stops the pipeline and gives the end: how every failure of a request ends.
  Result GiveUp(End end);
  // Writes what the engine takes of input after the first written bytes; false when
  // the pipe failed.
  bool WriteSome(std::string_view input, std::size_t& written);
  // Reads what the engine has sent: text for current, and each answer that a NUL
  // completes for answers. False when the pipeline has ended or the pipe failed.
  bool ReadSome(std::string& current, std::vector<std::string>& answers);

  std::vector<pid_t> pids_;
  int toEngine_ = -1;
  int fromEngine_ = -1;
};

// What bounds the pipelines of one mode.
struct PipelineLimits {
  int maxProcesses = 2;  // pipelines serving requests at the same time
  // A request's answers must all arrive within this time; a pipeline that takes
  // longer is replaced and the request fails.
  std::chrono::milliseconds timeout{30000};
  // A request waiting for a pipeline of its mode gives up (the translation fails at
  // once) when every pipeline has been on its request this long without an answer:
  // then they are stuck or busy with huge texts, and waiting would hold a worker of
  // the service that other pairs need. Long enough for a cold start of a pipeline
  // (its first request loads every program's data: seconds on a busy machine).
  std::chrono::milliseconds stallTime{10000};
};

// Translation with one Apertium mode. Up to maxProcesses pipelines serve requests at
// the same time and stay running between them; the first starts at construction
// when startNow is true, else with the first request (a pipeline holds some 70 MB,
// so a mode nobody uses costs nothing). The text goes in through ToApertiumStream,
// so no input can reach the engines' reserved characters or over-long words. A
// pipeline that has ended is replaced and the request tried once more on the new
// one; a pipeline that does not answer in time is replaced too, but its request
// fails at once rather than wait a second time-out.
class ApertiumTranslator final : public Translator {
 public:
  ApertiumTranslator(std::string mode, Pipeline pipeline, PipelineLimits limits, bool startNow);
  ~ApertiumTranslator() override;

  std::optional<std::vector<std::string>> Translate(
      const std::vector<std::string>& segments) override;
  std::string Description() const override { return "Apertium " + mode_; }

 private:
  using Clock = std::chrono::steady_clock;
  // A request on a pipeline: when it last made progress (its start, then each answer).
  struct InFlight {
    std::atomic<Clock::rep> progress{Clock::now().time_since_epoch().count()};
  };

  // Sends the inputs through a pipeline; the answers, or nothing when the pipeline
  // failed (logged) or none became free in time.
  std::optional<std::vector<std::string>> RunOnPipeline(const std::vector<std::string>& inputs);
  // RunOnPipeline with each input sent in parts of bounded length (SplitEngineInput)
  // and its answer joined again.
  std::optional<std::vector<std::string>> RunInParts(const std::vector<std::string>& inputs);
  // A pipeline for request, or nullptr when every one is stalled (see stallTime).
  std::unique_ptr<ApertiumProcess> Acquire(InFlight& request);
  void Release(std::unique_ptr<ApertiumProcess> process, InFlight& request);
  // Whether every request on a pipeline has gone stallTime without progress.
  bool AllStalled() const;

  std::string mode_;
  Pipeline pipeline_;
  PipelineLimits limits_;
  std::mutex mutex_;
  std::condition_variable idleChanged_;
  std::vector<std::unique_ptr<ApertiumProcess>> idle_;
  std::vector<InFlight*> inFlight_;  // the requests that hold a pipeline
  int total_ = 0;                    // pipelines idle and in use
};

}  // namespace parlumo::service
