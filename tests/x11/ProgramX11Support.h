#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>
#include <string>

#include "TrayProbe.h"
#include "x11/X11TestSupport.h"

namespace parlumo::x11test {

// The desktop program of this build as a user starts it: a child process with
// a home of its own (settings folder, runtime folder for the single-instance
// lock, state folder for the service log), so runs never meet each other or the
// user's own settings.
class ProgramRun {
 public:
  // iniText: the settings file's text; nothing starts without a file.
  explicit ProgramRun(const std::optional<std::string>& iniText);
  // Kills a program still running and removes the home.
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // Starts the program; extra entries NAME=VALUE join its environment.
  bool Start(const QStringList& extraEnvironment = {});
  // A further copy with the same home (the second start of a user), with the
  // command-line arguments.
  bool StartSecondCopy(QProcess& copy, const QStringList& arguments = {}) const;
  qint64 Pid() const { return process_.processId(); }
  QProcess& Process() { return process_; }

  std::filesystem::path IniPath() const;
  std::string IniText() const;
  QProcessEnvironment Environment() const;

  // Sends the signal to the program.
  void Signal(int signal);
  // Waits for the end; false on a time-out.
  bool WaitForExit(int timeoutMs = 15000);
  int ExitCode() const { return process_.exitCode(); }
  bool CrashedOrKilled() const { return process_.exitStatus() != QProcess::NormalExit; }
  // Everything the program wrote to its standard output and error so far.
  QString Output();

  // Where the notification area shows the program's icon, once it does.
  std::optional<test::ScreenRect> WaitForTrayIcon(int timeoutMs = 15000);

 private:
  std::filesystem::path home_;
  QProcess process_;
  QString output_;
};

// The viewable windows whose title matches the regular expression, with their
// titles; xdotool's window ids.
struct FoundWindow {
  QString id;
  QString title;
};
std::vector<FoundWindow> WindowsNamed(const QString& regex);
// Waits until a window whose title matches is viewable; its id, or empty.
QString WaitForWindowNamed(const QString& regex, int timeoutMs = 15000);

// Saves a picture of the whole screen in the test artifacts folder.
void SaveScreenshot(const QString& name);

}  // namespace parlumo::x11test
