#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace parlumo::testing {

// A parlumo-service child process for tests: started on 127.0.0.1 port 0, its port
// read from the line it prints, stopped with SIGTERM by Stop() or the destructor.
// The binary is the one of this build (PARLUMO_SERVICE_BINARY).
class ServiceProcess {
 public:
  // Starts the service with extra arguments; throws std::runtime_error when it does
  // not come up within a few seconds.
  explicit ServiceProcess(const std::vector<std::string>& extraArgs = {});
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  int Port() const { return port_; }
  // "127.0.0.1:<port>", the form the program's Service host settings take.
  std::string HostPort() const;
  pid_t Pid() const { return pid_; }

  // Sends SIGTERM and waits (at most timeoutSeconds) for the exit; gives the exit
  // status as waitpid reports it, or -1 on a time-out (the process is then killed).
  int Stop(int timeoutSeconds = 10);

  // The process ids of every descendant of the service (its engine pipelines).
  std::vector<pid_t> Descendants() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// The command line of a process (arguments joined by spaces); empty when it is gone.
std::string ProcessCommandLine(pid_t pid);

// Whether a process still runs (exists and is not a zombie).
bool ProcessRunning(pid_t pid);

}  // namespace parlumo::testing
