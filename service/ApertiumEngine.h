#pragma once

#include <sys/types.h>

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

// Escapes text for the Apertium stream format (a backslash before each of its
// reserved characters) and undoes it on the engine's output, where unescaped "*",
// "#" and "@" are the engine's marks for unknown or ungenerated words and go.
std::string ApertiumEscape(std::string_view text);
std::string ApertiumUnescape(std::string_view text);

// One running Apertium pipeline (its programs connected by pipes, in a process group
// of their own; no shell in between, so that a program that dies is seen at once),
// kept warm between requests. Not thread-safe: one user at a time.
class ApertiumProcess {
 public:
  explicit ApertiumProcess(const Pipeline& pipeline);
  ~ApertiumProcess();
  ApertiumProcess(const ApertiumProcess&) = delete;
  ApertiumProcess& operator=(const ApertiumProcess&) = delete;

  // Sends every segment and reads back as many answers. Nothing when the pipeline
  // has ended, fails or does not answer within timeout; the process is then stopped.
  std::optional<std::vector<std::string>> Run(const std::vector<std::string>& segments,
                                              std::chrono::milliseconds timeout);
  bool Running() const { return !pids_.empty(); }

 private:
  // Starts the pipeline's programs; on failure nothing runs (Running is false).
  void Start(const Pipeline& pipeline);
  void Stop();
  // Whether every program of the pipeline is still alive.
  bool Intact();
  // Stops the pipeline and gives nothing: how every failure of a request ends.
  std::nullopt_t GiveUp();
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

// Translation with one Apertium mode. Up to maxProcesses pipelines serve requests at
// the same time and stay running between them; the first starts at construction
// when startNow is true, else with the first request (a pipeline holds some 70 MB,
// so a mode nobody uses costs nothing). A pipeline that dies or hangs is replaced
// and the request is tried once more on the new one.
class ApertiumTranslator final : public Translator {
 public:
  ApertiumTranslator(std::string mode, Pipeline pipeline, int maxProcesses,
                     std::chrono::milliseconds timeout, bool startNow);
  ~ApertiumTranslator() override;

  std::optional<std::vector<std::string>> Translate(
      const std::vector<std::string>& segments) override;
  std::string Description() const override { return "Apertium " + mode_; }

 private:
  std::unique_ptr<ApertiumProcess> Acquire();
  void Release(std::unique_ptr<ApertiumProcess> process);

  std::string mode_;
  Pipeline pipeline_;
  int maxProcesses_;
  std::chrono::milliseconds timeout_;
  std::mutex mutex_;
  std::condition_variable idleChanged_;
  std::vector<std::unique_ptr<ApertiumProcess>> idle_;
  int total_ = 0;
};

}  // namespace parlumo::service
