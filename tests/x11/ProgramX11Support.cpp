#include "x11/ProgramX11Support.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <fstream>
#include <sstream>

namespace parlumo::x11test {

namespace fs = std::filesystem;

ProgramRun::ProgramRun(const std::optional<std::string>& iniText) {
  std::string pattern = (fs::temp_directory_path() / "parlumo-x11-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot make " << pattern;
  home_ = pattern;
  fs::create_directories(home_ / "config" / "parlumo");
  fs::create_directories(home_ / "runtime");
  fs::permissions(home_ / "runtime", fs::perms::owner_all);
  if (iniText) std::ofstream(IniPath(), std::ios::binary) << *iniText;
  process_.setProcessChannelMode(QProcess::MergedChannels);
}

ProgramRun::~ProgramRun() {
  if (process_.state() != QProcess::NotRunning) {
    process_.kill();
    process_.waitForFinished(5000);
  }
  std::error_code ec;
  fs::remove_all(home_, ec);
}

fs::path ProgramRun::IniPath() const {
  return home_ / "config" / "parlumo" / "parlumo.ini";
}

std::string ProgramRun::IniText() const {
  std::ifstream in(IniPath(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

QProcessEnvironment ProgramRun::Environment() const {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  const QString home = QString::fromStdString(home_.string());
  environment.insert("XDG_CONFIG_HOME", home + "/config");
  environment.insert("XDG_RUNTIME_DIR", home + "/runtime");
  environment.insert("XDG_STATE_HOME", home + "/state");
  environment.insert("QT_QPA_PLATFORM", "xcb");
  // Under the sanitizers: the session-bus library keeps an allocation for the
  // process's life; that is no leak of the program.
  environment.insert("LSAN_OPTIONS",
                     "suppressions=" PARLUMO_LSAN_SUPPRESSIONS ":print_suppressions=0");
  return environment;
}

bool ProgramRun::Start(const QStringList& extraEnvironment) {
  QProcessEnvironment environment = Environment();
  for (const QString& entry : extraEnvironment) {
    const auto at = entry.indexOf('=');
    environment.insert(entry.left(at), entry.mid(at + 1));
  }
  process_.setProcessEnvironment(environment);
  process_.start(PARLUMO_PROGRAM, {});
  return process_.waitForStarted(10000);
}

bool ProgramRun::StartSecondCopy(QProcess& copy, const QStringList& arguments) const {
  copy.setProcessEnvironment(Environment());
  copy.setProcessChannelMode(QProcess::MergedChannels);
  copy.start(PARLUMO_PROGRAM, arguments);
  return copy.waitForStarted(10000);
}

void ProgramRun::Signal(int signal) {
  if (process_.processId() > 0) ::kill(static_cast<pid_t>(process_.processId()), signal);
}

bool ProgramRun::WaitForExit(int timeoutMs) {
  return WaitUntil([this] { return process_.state() == QProcess::NotRunning; }, timeoutMs);
}

QString ProgramRun::Output() {
  output_ += QString::fromUtf8(process_.readAll());
  return output_;
}

std::optional<test::ScreenRect> ProgramRun::WaitForTrayIcon(int timeoutMs) {
  test::TrayProbe probe;
  std::optional<test::ScreenRect> icon;
  WaitUntil(
      [&] {
        icon = probe.IconOf(static_cast<pid_t>(process_.processId()));
        return icon.has_value();
      },
      timeoutMs);
  return icon;
}

std::vector<FoundWindow> WindowsNamed(const QString& regex) {
  std::vector<FoundWindow> windows;
  QProcess search;
  search.start("xdotool", {"search", "--onlyvisible", "--name", regex});
  search.waitForFinished(10000);
  const QStringList ids =
      QString::fromUtf8(search.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  for (const QString& id : ids) {
    QProcess name;
    name.start("xdotool", {"getwindowname", id.trimmed()});
    name.waitForFinished(10000);
    windows.push_back({id.trimmed(), QString::fromUtf8(name.readAllStandardOutput()).trimmed()});
  }
  return windows;
}

QString WaitForWindowNamed(const QString& regex, int timeoutMs) {
  QString id;
  WaitUntil(
      [&] {
        const auto windows = WindowsNamed(regex);
        if (!windows.empty()) id = windows.front().id;
        return !id.isEmpty();
      },
      timeoutMs);
  return id;
}

void SaveScreenshot(const QString& name) {
  QDir().mkpath(PARLUMO_X11_ARTIFACTS);
  const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
  EXPECT_TRUE(shot.save(QString(PARLUMO_X11_ARTIFACTS) + "/" + name));
}

}  // namespace parlumo::x11test
