#include "wayland/WaylandSession.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

namespace parlumo::wltest {

namespace {

// The interpreter of the distribution, where python3-dbusmock is installed
// (a python3 earlier on PATH may be another one).
constexpr const char* kSystemPython = "/usr/bin/python3";

// dbusmock's own interface on every object it serves.
constexpr const char* kMockInterface = "org.freedesktop.DBus.Mock";

QString Env(const char* name) {
  return QString::fromLocal8Bit(qgetenv(name));
}

// Sway's chord notation to wtype's modifier names.
std::optional<QString> WtypeModifier(const QString& swayName) {
  const QString name = swayName.toLower();
  if (name == "ctrl" || name == "control") return QString("ctrl");
  if (name == "alt" || name == "mod1") return QString("alt");
  if (name == "shift") return QString("shift");
  if (name == "mod4" || name == "super" || name == "logo") return QString("logo");
  return std::nullopt;
}

void CollectWindows(const QJsonObject& node, std::vector<SwayWindow>& windows) {
  // Windows are the nodes that belong to a client; containers have no pid.
  if (node.contains("pid") && node.value("type").toString() != "workspace") {
    const QJsonObject rect = node.value("rect").toObject();
    windows.push_back({static_cast<qint64>(node.value("pid").toDouble()),
                       node.value("name").toString(), node.value("app_id").toString(),
                       node.value("visible").toBool(),
                       QRect(rect.value("x").toInt(), rect.value("y").toInt(),
                             rect.value("width").toInt(), rect.value("height").toInt())});
  }
  for (const char* list : {"nodes", "floating_nodes"}) {
    for (const QJsonValue child : node.value(list).toArray())
      CollectWindows(child.toObject(), windows);
  }
}

}  // namespace

bool InSession() {
  return !Env("WAYLAND_DISPLAY").isEmpty() && !Env("SWAYSOCK").isEmpty();
}

uid_t SessionUid() {
  bool ok = false;
  const uint uid = Env("PARLUMO_WAYLAND_UID").toUInt(&ok);
  return ok ? static_cast<uid_t>(uid) : static_cast<uid_t>(65534);
}

Command AsSessionUser(const QString& program, const QStringList& arguments) {
  if (SessionUid() == ::getuid()) return {program, arguments};
  const QString uid = QString::number(SessionUid());
  return {
      "setpriv",
      QStringList{"--reuid=" + uid, "--regid=" + uid, "--clear-groups", "--", program} + arguments};
}

QString DisplaySocketPath() {
  const QString display = Env("WAYLAND_DISPLAY");
  if (display.startsWith('/')) return display;
  return Env("XDG_RUNTIME_DIR") + "/" + display;
}

ToolRun RunTool(const QString& program, const QStringList& arguments, const QByteArray& input,
                int timeoutMs) {
  ToolRun run;
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForStarted(timeoutMs)) return run;
  if (!input.isEmpty()) process.write(input);
  process.closeWriteChannel();
  run.finished = process.waitForFinished(timeoutMs);
  if (!run.finished) {
    process.kill();
    process.waitForFinished(2000);
  }
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.output = process.readAllStandardOutput();
  run.errors = process.readAllStandardError();
  return run;
}

std::string Backtrace(qint64 pid) {
  const ToolRun run =
      RunTool("gdb", {"-p", QString::number(pid), "-batch", "-nx", "-ex", "thread apply all bt"},
              {}, 60000);
  return run.output.toStdString();
}

// --- selections ----------------------------------------------------------------

// wl-copy serves the selection from a child of its own until another client
// takes the selection over; the command itself returns once the selection is
// set. The text goes as an argument (wl-copy reads its standard input more
// slowly), and its output goes nowhere, so that the child holds no pipe of
// ours open.
namespace {
bool WlCopy(const QStringList& options, const QString& text) {
  QProcess process;
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.setStandardInputFile(QProcess::nullDevice());
  process.start("wl-copy", options + QStringList{"--type", "text/plain;charset=utf-8", "--", text});
  return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

std::optional<QString> WlPaste(const QStringList& arguments) {
  const ToolRun run = RunTool("wl-paste", arguments + QStringList{"--no-newline"});
  // wl-paste ends with status 1 when the selection is empty.
  if (!run.Succeeded()) return std::nullopt;
  return QString::fromUtf8(run.output);
}
}  // namespace

bool SetPrimary(const QString& text) {
  return WlCopy({"--primary"}, text);
}

bool ClearPrimary() {
  return RunTool("wl-copy", {"--primary", "--clear"}).Succeeded();
}

bool SetClipboard(const QString& text) {
  return WlCopy({}, text);
}

std::optional<QString> ClipboardText() {
  return WlPaste({});
}

std::optional<QString> PrimaryText() {
  return WlPaste({"--primary"});
}

// Every change runs the small shell command with the new text on its input;
// it copies the text and ends it with a NUL, which no clipboard text holds.
ClipboardWatch::ClipboardWatch() {
  process_.setStandardErrorFile(QProcess::nullDevice());
  process_.start("wl-paste",
                 {"--no-newline", "--type", "text", "--watch", "sh", "-c", "cat; printf '\\000'"});
  process_.waitForStarted(10000);
}

ClipboardWatch::~ClipboardWatch() {
  if (process_.state() != QProcess::NotRunning) {
    process_.terminate();
    if (!process_.waitForFinished(2000)) {
      process_.kill();
      process_.waitForFinished(2000);
    }
  }
}

const std::vector<QString>& ClipboardWatch::Texts() {
  pending_ += process_.readAllStandardOutput();
  for (qsizetype end = pending_.indexOf('\0'); end >= 0; end = pending_.indexOf('\0')) {
    texts_.push_back(QString::fromUtf8(pending_.left(end)));
    pending_.remove(0, end + 1);
  }
  return texts_;
}

std::optional<QString> ClipboardWatch::WaitForTextAfter(std::size_t seen, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (Texts().size() <= seen) {
    const qint64 left = timeoutMs - clock.elapsed();
    if (left <= 0 || process_.state() != QProcess::Running) return std::nullopt;
    process_.waitForReadyRead(static_cast<int>(std::min<qint64>(left, 50)));
  }
  return texts_[seen];
}

// --- keys ------------------------------------------------------------------

bool BindChord(const QString& chord, const QString& command) {
  // One argument: swaymsg joins its arguments with blanks anyway, and sway
  // splits the command itself.
  return RunTool("swaymsg", {"bindsym --no-repeat " + chord + " exec " + command}).Succeeded();
}

bool UnbindChord(const QString& chord) {
  return RunTool("swaymsg", {"unbindsym " + chord}).Succeeded();
}

bool PressChord(const QString& chord) {
  const QStringList parts = chord.split('+');
  QStringList arguments;
  QStringList releases;
  for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
    const auto modifier = WtypeModifier(parts[i]);
    if (!modifier) return false;
    arguments << "-M" << *modifier;
    releases.prepend(*modifier);
    releases.prepend("-m");
  }
  arguments << "-k" << parts.last() << releases;
  return RunTool("wtype", arguments).Succeeded();
}

// --- windows -----------------------------------------------------------------

std::vector<SwayWindow> Windows() {
  std::vector<SwayWindow> windows;
  const ToolRun run = RunTool("swaymsg", {"--raw", "-t", "get_tree"});
  if (!run.Succeeded()) return windows;
  CollectWindows(QJsonDocument::fromJson(run.output).object(), windows);
  return windows;
}

bool Screenshot(const std::filesystem::path& file) {
  QDir().mkpath(QString::fromStdString(file.parent_path().string()));
  return RunTool("grim", {"-t", "png", QString::fromStdString(file.string())}).Succeeded();
}

// --- the session bus -------------------------------------------------------------

BusMock::BusMock(const QString& templateName, const QString& busName, const QString& objectPath)
    : busName_(busName), objectPath_(objectPath) {
  const QString name = busName;
  logPath_ = QDir::tempPath() + "/parlumo-busmock-" + QString::number(::getpid()) + "-" +
             QString(name).replace('.', '-') + ".log";
  QFile::remove(logPath_);
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_.setStandardOutputFile(QProcess::nullDevice());
  process_.start(kSystemPython, {"-m", "dbusmock", "--template", templateName, "-l", logPath_});
}

BusMock::~BusMock() {
  if (process_.state() != QProcess::NotRunning) {
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
      process_.kill();
      process_.waitForFinished(2000);
    }
  }
  QFile::remove(logPath_);
}

bool BusMock::WaitReady(int timeoutMs) {
  QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
  if (bus == nullptr) return false;
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < timeoutMs) {
    if (process_.state() == QProcess::NotRunning) return false;
    if (bus->isServiceRegistered(busName_)) return true;
    process_.waitForFinished(50);
  }
  return false;
}

std::vector<QVariantList> BusMock::Calls(const QString& method) const {
  std::vector<QVariantList> calls;
  QDBusMessage ask =
      QDBusMessage::createMethodCall(busName_, objectPath_, kMockInterface, "GetMethodCalls");
  ask << method;
  const QDBusMessage reply = QDBusConnection::sessionBus().call(ask, QDBus::Block, 10000);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return calls;
  // a(tav): the time of each call and its arguments.
  const QDBusArgument list = reply.arguments().front().value<QDBusArgument>();
  list.beginArray();
  while (!list.atEnd()) {
    qulonglong time = 0;
    QVariantList arguments;
    list.beginStructure();
    list >> time >> arguments;
    list.endStructure();
    for (QVariant& argument : arguments) {
      if (argument.canConvert<QDBusVariant>()) argument = argument.value<QDBusVariant>().variant();
    }
    calls.push_back(arguments);
  }
  list.endArray();
  return calls;
}

QString BusMock::Log() const {
  QFile log(logPath_);
  if (!log.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(log.readAll());
}

std::vector<Notification> NotificationsOf(const BusMock& daemon) {
  std::vector<Notification> notifications;
  // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, timeout)
  for (const QVariantList& call : daemon.Calls("Notify")) {
    if (call.size() < 5) continue;
    notifications.push_back({call[0].toString(), call[3].toString(), call[4].toString()});
  }
  return notifications;
}

qint64 BusNameOwnerPid(const QString& name) {
  QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
  if (bus == nullptr) return 0;
  const QDBusReply<uint> pid = bus->servicePid(name);
  return pid.isValid() ? static_cast<qint64>(pid.value()) : 0;
}

QStringList RegisteredTrayItems(const BusMock& watcher) {
  QStringList items;
  for (const QVariantList& call : watcher.Calls("RegisterStatusNotifierItem")) {
    if (!call.isEmpty()) items << call.front().toString();
  }
  return items;
}

QString StatusNotifierWatcherTemplate() {
  return PARLUMO_WAYLAND_DATA "/status_notifier_watcher.py";
}

}  // namespace parlumo::wltest
