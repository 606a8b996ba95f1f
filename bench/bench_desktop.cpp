// The desktop program beside the toolkit's floor, in the same run, on the X
// server of DISPLAY with a notification area (scripts/bench provides one):
// - the time from starting a program to its icon standing in the tray host;
// - its resident memory once it idles there.
// The floor is a minimal Qt tray program (TrayFloor.cpp) built with this build.
// Parlumo starts from a fresh settings folder that asks for the tray icon only,
// with the local service already running, so that neither a dialog nor the
// service's own start is measured.
// Wall-clock time (manual): the work happens in another process.

#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "RatioReporter.h"
#include "ServiceProcess.h"
#include "TrayProbe.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

parlumo::test::TrayProbe& Probe() {
  static parlumo::test::TrayProbe probe;
  return probe;
}

parlumo::testing::ServiceProcess& Service() {
  static parlumo::testing::ServiceProcess service;
  return service;
}

// A fresh home for one start of Parlumo: settings that ask for the tray icon
// only and name the running service, and a runtime folder of its own, so that no
// other copy counts as running.
fs::path FreshHome() {
  static int count = 0;
  const fs::path home = fs::temp_directory_path() / ("parlumo-bench-" + std::to_string(::getpid()) +
                                                     "-" + std::to_string(count++));
  fs::remove_all(home);
  fs::create_directories(home / "config" / "parlumo");
  fs::create_directories(home / "runtime");
  fs::permissions(home / "runtime", fs::perms::owner_all);
  std::ofstream(home / "config" / "parlumo" / "parlumo.ini")
      << "[General]\nStartupType=0\n[Service]\nHost=" << Service().HostPort() << "\n";
  return home;
}

struct Started {
  pid_t pid = -1;
  double secondsToTray = 0;
};

std::optional<Started> StartUntilInTray(const std::string& program, const fs::path& home) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (!entry.starts_with("XDG_CONFIG_HOME=") && !entry.starts_with("XDG_RUNTIME_DIR=") &&
        !entry.starts_with("XDG_STATE_HOME=")) {
      env.push_back(entry);
    }
  }
  env.push_back("XDG_CONFIG_HOME=" + (home / "config").string());
  env.push_back("XDG_RUNTIME_DIR=" + (home / "runtime").string());
  env.push_back("XDG_STATE_HOME=" + (home / "state").string());
  std::vector<char*> envp;
  for (std::string& entry : env)
    envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string path = program;
  char* argv[] = {path.data(), nullptr};

  const auto start = Clock::now();
  pid_t pid = -1;
  if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, envp.data()) != 0) {
    return std::nullopt;
  }
  while (Clock::now() - start < std::chrono::seconds(20)) {
    if (Probe().IconOf(pid)) {
      return Started{pid, std::chrono::duration<double>(Clock::now() - start).count()};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return std::nullopt;
}

void Stop(pid_t pid) {
  ::kill(pid, SIGTERM);
  int status = 0;
  ::waitpid(pid, &status, 0);
}

// Resident memory in KiB, from /proc/<pid>/status.
long ResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
  }
  return -1;
}

std::map<std::string, double>& ResidentMeans() {
  static std::map<std::string, double> means;
  return means;
}

void StartAndIdle(benchmark::State& state, const std::string& name, const std::string& program) {
  if (!Probe().Connected()) {
    state.SkipWithError("no X server (run under scripts/with-x11)");
    return;
  }
  double resident = 0;
  int samples = 0;
  for (auto _ : state) {
    const fs::path home = FreshHome();
    const auto started = StartUntilInTray(program, home);
    if (!started) {
      state.SkipWithError("the icon did not appear in the tray");
      break;
    }
    state.SetIterationTime(started->secondsToTray);
    // Idle: what the program keeps once start-up is over.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    resident += static_cast<double>(ResidentKiB(started->pid));
    ++samples;
    Stop(started->pid);
    fs::remove_all(home);
  }
  if (samples > 0) {
    state.counters["rss_KiB"] = resident / samples;
    ResidentMeans()[name] = resident / samples;
  }
}

void BM_TrayFloor(benchmark::State& state) {
  StartAndIdle(state, "floor", PARLUMO_TRAY_FLOOR);
}
void BM_Parlumo(benchmark::State& state) {
  StartAndIdle(state, "parlumo", PARLUMO_PROGRAM);
}

BENCHMARK(BM_TrayFloor)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Parlumo)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  Service();  // up before the first start
  const int result = parlumo::bench::RunWithRatios(
      argc, argv, parlumo::bench::RatioReporter::Time::Real, {{"BM_Parlumo", "BM_TrayFloor"}});
  const auto& means = ResidentMeans();
  if (means.contains("parlumo") && means.contains("floor") && means.at("floor") > 0) {
    std::printf("Idle resident memory: parlumo %.0f KiB, floor %.0f KiB, ratio %.2fx\n",
                means.at("parlumo"), means.at("floor"), means.at("parlumo") / means.at("floor"));
  }
  return result;
}
