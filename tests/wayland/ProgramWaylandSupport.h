#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>
#include <string>

#include "support/TextFiles.h"

namespace parlumo::wltest {

using test::CrLfLines;
using test::FileBytes;

// The desktop program of a build as a user of the Wayland session runs it:
// as the session's user (the one sway's key bindings run commands as), with a
// home of its own owned by that user (settings, runtime folder with the
// single-instance socket, state folder for the service log), so runs never
// meet each other. Needs no test framework (benchmarks use it).
class WaylandProgram {
 public:
  // program: the binary; iniText: the settings file's text (no file without).
  WaylandProgram(std::string program, const std::optional<std::string>& iniText);
  // Kills every process of this home still running, and removes the home.
  ~WaylandProgram();
  WaylandProgram(const WaylandProgram&) = delete;
  WaylandProgram& operator=(const WaylandProgram&) = delete;

  const std::filesystem::path& Home() const { return home_; }
  std::filesystem::path IniPath() const;
  std::string IniText() const;
  // Writes the settings file (owned by the session's user).
  void WriteIni(const std::string& text) const;
  // A file in the home for the program to write, owned by the session's user.
  void GiveToUser(const std::filesystem::path& path) const;

  // What the program's process sees: the session's display and bus, the
  // home's folders; no X display, no forced Qt platform (what a user gets).
  QProcessEnvironment Environment() const;

  // Starts the running copy with the arguments.
  bool Start(const QStringList& arguments = {});
  qint64 Pid() const { return process_.processId(); }
  bool Running() const { return process_.state() == QProcess::Running; }
  // Sends the signal to the running copy.
  void Signal(int signal);
  bool WaitForExit(int timeoutMs = 15000);
  bool CrashedOrKilled() const { return process_.exitStatus() != QProcess::NormalExit; }
  int ExitCode() const { return process_.exitCode(); }
  // Everything the running copy wrote to its standard output and error so far.
  QString Output();

  // Writes an executable script into the home that runs the program with the
  // arguments in this home's environment, as a desktop's shortcut would, and
  // records its output in <name>.log and its exit status in <name>.status.
  // Sway's bindings run it as the session's user.
  std::filesystem::path ActionScript(const std::string& name, const QStringList& arguments) const;
  // The exit statuses the action recorded, one per run, oldest first.
  std::vector<int> ActionStatuses(const std::string& name) const;
  std::string ActionLog(const std::string& name) const;

  // Runs another copy with the arguments to its end, as the session's user.
  struct Run {
    bool finished = false;
    int exitCode = -1;
    QString output;
  };
  Run RunCopy(const QStringList& arguments, int timeoutMs = 20000) const;

  // The processes whose environment names this home (copies started by the
  // program itself or by a binding included).
  std::vector<qint64> ProcessesOfHome() const;

 private:
  std::string program_;
  std::filesystem::path home_;
  QProcess process_;
  QString output_;
};

// The path under which the session's user can read (and, for a program, run)
// the file: the path itself when the user can reach it; else a copy in a folder
// of this test process that everyone can read (a build tree in root's home is
// out of the user's reach). A program's copy takes the parlumo-desktop beside
// it along, which the front starts.
std::string ReachableBySessionUser(const std::string& path);

}  // namespace parlumo::wltest
