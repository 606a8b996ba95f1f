#include "wayland/ProgramWaylandSupport.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QThread>
#include <fstream>
#include <sstream>
#include <system_error>

#include "wayland/WaylandSession.h"

namespace parlumo::wltest {

namespace fs = std::filesystem;

namespace {

// A word for sh between single quotes.
std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// The variables that make a process one of this home's.
constexpr const char* kOwnVariables[] = {
    "HOME",
    "XDG_CONFIG_HOME",
    "XDG_RUNTIME_DIR",
    "XDG_STATE_HOME",
    "XDG_CACHE_HOME",
    "WAYLAND_DISPLAY",
    "XDG_SESSION_TYPE",
    "LSAN_OPTIONS",
    "DBUS_SESSION_BUS_ADDRESS",
};

}  // namespace

std::string ReachableBySessionUser(const std::string& path) {
  const Command canRead = AsSessionUser("test", {"-r", QString::fromStdString(path)});
  if (RunTool(canRead.program, canRead.arguments).Succeeded()) return path;
  // One folder for the life of the test process, removed at its end.
  static const struct CopyFolder {
    fs::path path;
    CopyFolder() {
      std::string pattern = (fs::temp_directory_path() / "parlumo-wayland-copies-XXXXXX").string();
      if (::mkdtemp(pattern.data()) != nullptr) path = pattern;
      std::error_code ec;
      fs::permissions(path,
                      fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                          fs::perms::others_read | fs::perms::others_exec,
                      ec);
    }
    ~CopyFolder() {
      std::error_code ec;
      fs::remove_all(path, ec);
    }
  } folder;
  const fs::path source = path;
  std::error_code ec;
  for (const fs::path& file : {source, source.parent_path() / "parlumo-desktop"}) {
    if (file != source && (source.filename() != "parlumo" || !fs::exists(file, ec))) continue;
    fs::copy_file(file, folder.path / file.filename(), fs::copy_options::overwrite_existing, ec);
  }
  return (folder.path / source.filename()).string();
}

WaylandProgram::WaylandProgram(std::string program, const std::optional<std::string>& iniText)
    : program_(ReachableBySessionUser(program)) {
  std::string pattern = (fs::temp_directory_path() / "parlumo-wayland-home-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) home_ = pattern;
  fs::create_directories(home_ / "config" / "parlumo");
  fs::create_directories(home_ / "runtime");
  fs::create_directories(home_ / "state");
  fs::create_directories(home_ / "cache");
  fs::permissions(home_ / "runtime", fs::perms::owner_all);
  for (const fs::path& folder : {home_, home_ / "config", home_ / "config" / "parlumo",
                                 home_ / "runtime", home_ / "state", home_ / "cache"}) {
    GiveToUser(folder);
  }
  if (iniText) WriteIni(*iniText);
  process_.setProcessChannelMode(QProcess::MergedChannels);
}

WaylandProgram::~WaylandProgram() {
  if (process_.state() != QProcess::NotRunning) {
    process_.kill();
    process_.waitForFinished(5000);
  }
  // Copies a binding started, and a service the program started, are this
  // home's too.
  for (int round = 0; round < 3; ++round) {
    const auto left = ProcessesOfHome();
    if (left.empty()) break;
    for (const qint64 pid : left)
      ::kill(static_cast<pid_t>(pid), SIGKILL);
    QThread::msleep(200);
  }
  std::error_code ec;
  if (!home_.empty()) fs::remove_all(home_, ec);
}

fs::path WaylandProgram::IniPath() const {
  return home_ / "config" / "parlumo" / "parlumo.ini";
}

std::string WaylandProgram::IniText() const {
  return FileBytes(IniPath());
}

void WaylandProgram::WriteIni(const std::string& text) const {
  std::ofstream(IniPath(), std::ios::binary | std::ios::trunc) << text;
  GiveToUser(IniPath());
}

void WaylandProgram::GiveToUser(const fs::path& path) const {
  const uid_t uid = SessionUid();
  if (::chown(path.c_str(), uid, uid) != 0) {
    // The test then fails where the program cannot write; nothing to add here.
  }
}

QProcessEnvironment WaylandProgram::Environment() const {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* gone : {"DISPLAY", "XAUTHORITY", "QT_QPA_PLATFORM", "SWAYSOCK", "I3SOCK"})
    environment.remove(gone);
  const QString home = QString::fromStdString(home_.string());
  environment.insert("HOME", home);
  environment.insert("XDG_CONFIG_HOME", home + "/config");
  environment.insert("XDG_RUNTIME_DIR", home + "/runtime");
  environment.insert("XDG_STATE_HOME", home + "/state");
  environment.insert("XDG_CACHE_HOME", home + "/cache");
  // The runtime folder is the home's, so the display goes by its full path.
  environment.insert("WAYLAND_DISPLAY", DisplaySocketPath());
  environment.insert("XDG_SESSION_TYPE", "wayland");
#ifdef PARLUMO_WAYLAND_LSAN_SUPPRESSIONS
  // Under the sanitizers: libraries below Qt keep allocations for the
  // process's life; those are no leaks of the program.
  static const std::string suppressions = ReachableBySessionUser(PARLUMO_WAYLAND_LSAN_SUPPRESSIONS);
  environment.insert("LSAN_OPTIONS", QString::fromStdString("suppressions=" + suppressions +
                                                            ":print_suppressions=0"));
#endif
  return environment;
}

bool WaylandProgram::Start(const QStringList& arguments) {
  process_.setProcessEnvironment(Environment());
  // setpriv replaces itself with the program: the process id is the program's.
  const Command command = AsSessionUser(QString::fromStdString(program_), arguments);
  process_.start(command.program, command.arguments);
  return process_.waitForStarted(10000);
}

void WaylandProgram::Signal(int signal) {
  if (process_.processId() > 0) ::kill(static_cast<pid_t>(process_.processId()), signal);
}

bool WaylandProgram::WaitForExit(int timeoutMs) {
  if (process_.state() == QProcess::NotRunning) return true;
  return process_.waitForFinished(timeoutMs);
}

QString WaylandProgram::Output() {
  output_ += QString::fromUtf8(process_.readAll());
  return output_;
}

fs::path WaylandProgram::ActionScript(const std::string& name, const QStringList& arguments) const {
  const fs::path script = home_ / (name + ".sh");
  const QProcessEnvironment environment = Environment();
  std::ofstream out(script, std::ios::binary | std::ios::trunc);
  out << "#!/bin/sh\n";
  for (const char* variable : kOwnVariables) {
    if (environment.contains(variable)) {
      out << "export " << variable << "=" << ShellQuoted(environment.value(variable).toStdString())
          << "\n";
    }
  }
  out << "unset DISPLAY QT_QPA_PLATFORM\n" << ShellQuoted(program_);
  for (const QString& argument : arguments)
    out << " " << ShellQuoted(argument.toStdString());
  out << " >>" << ShellQuoted((home_ / (name + ".log")).string()) << " 2>&1\n"
      << "echo $? >>" << ShellQuoted((home_ / (name + ".status")).string()) << "\n";
  out.close();
  fs::permissions(script, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
  GiveToUser(script);
  return script;
}

std::vector<int> WaylandProgram::ActionStatuses(const std::string& name) const {
  std::vector<int> statuses;
  std::istringstream lines(FileBytes(home_ / (name + ".status")));
  int status = 0;
  while (lines >> status)
    statuses.push_back(status);
  return statuses;
}

std::string WaylandProgram::ActionLog(const std::string& name) const {
  return FileBytes(home_ / (name + ".log"));
}

WaylandProgram::Run WaylandProgram::RunCopy(const QStringList& arguments, int timeoutMs) const {
  Run run;
  QProcess copy;
  copy.setProcessEnvironment(Environment());
  copy.setProcessChannelMode(QProcess::MergedChannels);
  const Command command = AsSessionUser(QString::fromStdString(program_), arguments);
  copy.start(command.program, command.arguments);
  if (!copy.waitForStarted(10000)) return run;
  run.finished = copy.waitForFinished(timeoutMs);
  if (!run.finished) {
    copy.kill();
    copy.waitForFinished(2000);
  }
  run.exitCode = copy.exitStatus() == QProcess::NormalExit ? copy.exitCode() : -1;
  run.output = QString::fromUtf8(copy.readAll());
  return run;
}

std::vector<qint64> WaylandProgram::ProcessesOfHome() const {
  std::vector<qint64> pids;
  if (home_.empty()) return pids;
  const std::string mark = "XDG_CONFIG_HOME=" + (home_ / "config").string();
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream environ(entry.path() / "environ", std::ios::binary);
    std::string variable;
    while (std::getline(environ, variable, '\0')) {
      if (variable == mark) {
        pids.push_back(std::stoll(name));
        break;
      }
    }
  }
  return pids;
}

}  // namespace parlumo::wltest
