#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
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
// kept warm between requests. Not thread-safe: one user at a time (Output may be
// watched by another thread while nobody uses the pipeline).
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
  // Whether the pipeline has answered a request since it started: before that its
  // programs are still loading their data.
  bool Answered() const { return answered_; }
  // The pipe the pipeline answers on. While no request is on it, it becomes readable
  // only when the pipeline ends (every program ends when the one before it does).
  int Output() const { return fromEngine_; }
  // The memory its programs take together, in bytes: the sum of their proportional
  // set sizes (ProportionalSetSize). Nothing when it does not run or none could be
  // read. Reads /proc for each program: a fraction of a millisecond.
  std::optional<std::size_t> Measure();
  // Whether Measure has been called on it.
  bool Measured() const { return measured_; }
  // Stops the pipeline cleanly: closes its input, so that every program ends as at
  // the end of a file, waits at most grace for the last one to close its output,
  // then kills what is left and reaps every program.
  void Close(std::chrono::milliseconds grace);

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
  bool answered_ = false;
  bool measured_ = false;
};

class PipelinePool;

// Translation with one Apertium mode, on the pipelines of the service's pool (which
// starts them at need, bounds them and stops them when idle; see PipelinePool). The
// text goes in through ToApertiumStream, so no input can reach the engines' reserved
// characters or over-long words. A pipeline that has ended is replaced and the
// request tried once more on the new one; a pipeline that does not answer in time
// is replaced too, but its request fails at once rather than wait a second time-out.
class ApertiumTranslator final : public Translator {
 public:
  ApertiumTranslator(std::shared_ptr<PipelinePool> pool, std::size_t mode);
  ~ApertiumTranslator() override;

  std::optional<std::vector<std::string>> Translate(
      const std::vector<std::string>& segments) override;
  std::string Description() const override;

 private:
  // Sends the inputs through a pipeline; the answers, or nothing when the pipeline
  // failed (logged) or none became free in time.
  std::optional<std::vector<std::string>> RunOnPipeline(const std::vector<std::string>& inputs);
  // RunOnPipeline with each input sent in parts of bounded length (SplitEngineInput)
  // and its answer joined again.
  std::optional<std::vector<std::string>> RunInParts(const std::vector<std::string>& inputs);

  std::shared_ptr<PipelinePool> pool_;
  std::size_t mode_;
};

}  // namespace parlumo::service
