#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/EventLoop.h"
#include "runtime/HostPort.h"

namespace parlumo {

// A service address taken apart (ParseHostPort), with the port HTTP has when none
// is given.
struct TServiceAddress {
  std::string host;  // without brackets
  int port = 80;
};

// Nothing when ParseHostPort refuses the text, or for port 0.
std::optional<TServiceAddress> ParseServiceAddress(std::string_view text);

// The local translation service as the desktop program starts it: when the
// service address is on loopback and nothing listens there, the program starts
// parlumo-service on that address, and stops it at exit; a service someone else
// started is left alone. Start returns at once: the probe and the start run on
// the event loop, so the program's start never waits for them.
class TLocalService {
 public:
  enum class State {
    Idle,      // Start has not been called
    NotLocal,  // the address is not on loopback (or no address): nothing to do
    Probing,   // a connection attempt tells whether something listens
    External,  // something else listens there: it is used as it is
    Started,   // our parlumo-service runs; it is stopped when this object goes
    Exited,    // our service ended by itself (its log says why)
    Failed,    // nothing listens and no service could be started
  };

  // serviceHost: the Service/Host setting. candidates: the parlumo-service
  // programs to try, in order; a name without "/" is looked up on PATH. log: the
  // file the service's output is appended to.
  TLocalService(EventLoop& loop, std::string serviceHost, std::vector<std::string> candidates,
                std::filesystem::path log);
  // Stops a service this object started: SIGTERM, then SIGKILL when it has
  // not ended after a few seconds.
  ~TLocalService();
  TLocalService(const TLocalService&) = delete;
  TLocalService& operator=(const TLocalService&) = delete;

  void Start();
  State GetState() const { return state_; }
  // The started service's process id; -1 unless Started.
  pid_t Pid() const { return pid_; }
  // Why the state is Failed, in words for a log.
  const std::string& FailureReason() const { return failure_; }

  // Runs then on the loop once a request can reach the service: as soon as
  // the service this object started accepts connections, or at once where
  // there is nothing to wait for (a service someone else runs, no local
  // service, one that failed or ended). A service that does not come up
  // within kAnswerWait is waited for no longer; the request then reports
  // the failure as any other would.
  void WhenAnswering(std::function<void()> then);
  static constexpr std::chrono::seconds kAnswerWait{30};

  // Raised on every change of state, last in the method that changed it.
  std::function<void(State)> OnStateChange;

  // The candidates the program uses: parlumo-service beside the program file,
  // then the one of the build tree the program was built in (when it runs from
  // there), then "parlumo-service" on PATH.
  static std::vector<std::string> DefaultCandidates(const std::filesystem::path& programPath);
  // ~/.local/state/parlumo/service.log ($XDG_STATE_HOME when set).
  static std::filesystem::path DefaultLog();

 private:
  void SetState(State state);
  void ProbeDone(bool listening);
  void Spawn();
  void Stop();
  void CheckAnswering();

  EventLoop& loop_;
  std::string serviceHost_;
  std::vector<std::string> candidates_;
  std::filesystem::path log_;
  State state_ = State::Idle;
  std::optional<TServiceAddress> address_;
  int probeFd_ = -1;
  std::unique_ptr<EventLoop::Watch> probeWatch_;
  pid_t pid_ = -1;
  int pidFd_ = -1;  // readable when our service ends
  std::unique_ptr<EventLoop::Watch> exitWatch_;
  std::string failure_;
  std::vector<std::function<void()>> waiting_;  // WhenAnswering's callbacks
  std::unique_ptr<EventLoop::Timer> readyTimer_;
  std::chrono::steady_clock::time_point readyDeadline_;
  Lifetime lifetime_;
};

}  // namespace parlumo
