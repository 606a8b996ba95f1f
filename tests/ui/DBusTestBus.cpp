#include "DBusTestBus.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "support/QtWait.h"

namespace parlumo::test {

std::string ChildProcess::Start(const std::vector<std::string>& argv, bool readFirstLine,
                                bool& ok) {
  Stop();
  ok = false;
  int pipeFds[2] = {-1, -1};
  if (readFirstLine && pipe2(pipeFds, O_CLOEXEC) != 0) return {};
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) return {};
  if (pid == 0) {
    // Dies with the test program.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    if (readFirstLine) {
      dup2(pipeFds[1], STDOUT_FILENO);
    } else if (const int null = open("/dev/null", O_WRONLY); null >= 0) {
      // The services' call logs are of no use in the test's output.
      dup2(null, STDOUT_FILENO);
    }
    std::vector<char*> args;
    for (const std::string& arg : argv)
      args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  pid_ = pid;
  ok = true;
  if (!readFirstLine) return {};
  close(pipeFds[1]);
  output_ = pipeFds[0];
  std::string line;
  char c = 0;
  while (true) {
    const ssize_t n = read(output_, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || c == '\n') break;
    line += c;
  }
  return line;
}

void ChildProcess::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  if (output_ >= 0) {
    close(output_);
    output_ = -1;
  }
}

bool StartPrivateSessionBus() {
  // Lives as long as the test program.
  static ChildProcess daemon;
  bool ok = false;
  const std::string address = daemon.Start(
      {"dbus-daemon", "--session", "--nofork", "--nosyslog", "--print-address=1"}, true, ok);
  if (!ok || address.empty()) return false;
  setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  return true;
}

bool NameOwned(const QString& name) {
  QDBusConnectionInterface* daemon = QDBusConnection::sessionBus().interface();
  return daemon && daemon->isServiceRegistered(name).value();
}

QString DBusTemplate(const char* fileName) {
  return QStringLiteral(PARLUMO_DBUS_TEMPLATE_DIR "/") + QString::fromUtf8(fileName);
}

std::unique_ptr<DBusMock> NotificationServer(const QString& parametersJson) {
  return std::make_unique<DBusMock>(QStringLiteral("notification_daemon"), parametersJson,
                                    QStringLiteral("org.freedesktop.Notifications"),
                                    QStringLiteral("/org/freedesktop/Notifications"));
}

QString MarkedTextWithMarkup() {
  return QStringLiteral("<a href=\"http://example.org/\">Haus</a> & <b>groß</b>");
}

std::vector<MarkupCase> MarkupCases() {
  return {
      {"a server that reads markup", QString(),
       QStringLiteral("&lt;a href=&quot;http://example.org/&quot;&gt;Haus&lt;/a&gt; &amp; "
                      "&lt;b&gt;groß&lt;/b&gt;")},
      {"a server that shows plain text", QStringLiteral(R"({"capabilities": "body actions"})"),
       MarkedTextWithMarkup()},
  };
}

DBusMock::DBusMock(QString templateNameOrPath, QString parametersJson, QString busName,
                   QString mainPath)
    : template_(std::move(templateNameOrPath)),
      parameters_(std::move(parametersJson)),
      busName_(std::move(busName)),
      mainPath_(std::move(mainPath)) {}

bool DBusMock::Start() {
  std::vector<std::string> argv = {PARLUMO_DBUSMOCK_PYTHON, "-m", "dbusmock", "--template",
                                   template_.toStdString()};
  if (!parameters_.isEmpty()) {
    argv.push_back("-p");
    argv.push_back(parameters_.toStdString());
  }
  bool ok = false;
  process_.Start(argv, false, ok);
  if (!ok) return false;
  return WaitUntil([this] { return NameOwned(busName_); }, 15000);
}

void DBusMock::Stop() {
  if (!process_.Running()) return;
  process_.Stop();
  WaitUntil([this] { return !NameOwned(busName_); }, 5000);
}

QDBusMessage DBusMock::Call(const QString& method, const QVariantList& arguments,
                            const QString& interface, const QString& path) const {
  QDBusMessage call = QDBusMessage::createMethodCall(busName_, path.isEmpty() ? mainPath_ : path,
                                                     interface, method);
  call.setArguments(arguments);
  return QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
}

std::vector<QVariantList> DBusMock::CallsOf(const QString& method, const QString& path) const {
  std::vector<QVariantList> calls;
  const QDBusMessage reply = Call(QStringLiteral("GetMethodCalls"), {method},
                                  QStringLiteral("org.freedesktop.DBus.Mock"), path);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return calls;
  // a(tav): the time of each call and its arguments.
  const QDBusArgument list = reply.arguments().at(0).value<QDBusArgument>();
  list.beginArray();
  while (!list.atEnd()) {
    qulonglong time = 0;
    QVariantList arguments;
    list.beginStructure();
    list >> time >> arguments;
    list.endStructure();
    calls.push_back(arguments);
  }
  list.endArray();
  return calls;
}

}  // namespace parlumo::test
