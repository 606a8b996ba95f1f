#include "ServiceProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace parlumo::testing {

namespace {

// A file of /proc/<pid>/, or empty. Read with read(2): a process that ends while it
// is read makes the read fail with ESRCH, which std::ifstream's buffer throws for.
std::string ReadProcFile(pid_t pid, const char* name) {
  const std::string path = "/proc/" + std::to_string(pid) + "/" + name;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string content;
  char buffer[4096];
  while (true) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    content.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return content;
}

pid_t ParentOf(pid_t pid) {
  const std::string content = ReadProcFile(pid, "stat");
  // pid (comm) state ppid ...; comm may hold spaces, so read after the last ")".
  const auto close = content.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream rest(content.substr(close + 1));
  std::string state;
  pid_t ppid = -1;
  rest >> state >> ppid;
  return ppid;
}

}  // namespace

ServiceProcess::ServiceProcess(const std::vector<std::string>& extraArgs) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> args = {PARLUMO_SERVICE_BINARY, "--listen", "127.0.0.1:0"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  std::vector<char*> argv;
  for (auto& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  const int rc =
      posix_spawn(&pid_, PARLUMO_SERVICE_BINARY, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (rc != 0) {
    ::close(out[0]);
    throw std::runtime_error("cannot start " + std::string(PARLUMO_SERVICE_BINARY));
  }
  // The first line: "parlumo-service listening on http://127.0.0.1:<port>/".
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd fd{out[0], POLLIN, 0};
    if (::poll(&fd, 1, 200) <= 0) continue;
    char buffer[256];
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  const auto colon = line.rfind(':');
  if (colon != std::string::npos) port_ = std::atoi(line.c_str() + colon + 1);
  if (port_ <= 0) {
    Stop(5);
    throw std::runtime_error("parlumo-service did not report its port: " + line);
  }
}

ServiceProcess::~ServiceProcess() {
  if (pid_ > 0) Stop();
}

std::string ServiceProcess::HostPort() const {
  return "127.0.0.1:" + std::to_string(port_);
}

int ServiceProcess::Stop(int timeoutSeconds) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int status = 0;
  while (true) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  pid_ = -1;
  return status;
}

std::vector<pid_t> ServiceProcess::Descendants() const {
  std::map<pid_t, pid_t> parents;
  if (DIR* proc = ::opendir("/proc")) {
    while (const dirent* entry = ::readdir(proc)) {
      const pid_t pid = std::atoi(entry->d_name);
      if (pid > 0) parents[pid] = ParentOf(pid);
    }
    ::closedir(proc);
  }
  std::vector<pid_t> found;
  for (const auto& [pid, parent] : parents) {
    for (pid_t p = parent; p > 1;) {
      if (p == pid_) {
        found.push_back(pid);
        break;
      }
      const auto it = parents.find(p);
      p = it == parents.end() ? -1 : it->second;
    }
  }
  return found;
}

std::string ProcessCommandLine(pid_t pid) {
  std::string content = ReadProcFile(pid, "cmdline");
  for (char& c : content) {
    if (c == '\0') c = ' ';
  }
  return content;
}

bool ProcessRunning(pid_t pid) {
  const std::string content = ReadProcFile(pid, "stat");
  const auto close = content.rfind(')');
  if (close == std::string::npos) return false;
  return content.size() > close + 2 && content[close + 2] != 'Z';
}

}  // namespace parlumo::testing
