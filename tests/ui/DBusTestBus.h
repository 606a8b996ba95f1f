#pragma once

#include <sys/types.h>

#include <QDBusMessage>
#include <QString>
#include <QVariantList>
#include <memory>
#include <string>
#include <vector>

namespace parlumo::test {

// A process of the test's own, ended with the test: it gets SIGTERM when the
// test program dies, however it dies.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] (looked up in PATH) with the arguments; with readFirstLine,
  // waits for and returns the first line it writes to its standard output
  // (empty when it writes none); without, its standard output is dropped. False in ok when it could
  // not be started.
  std::string Start(const std::vector<std::string>& argv, bool readFirstLine, bool& ok);
  // SIGTERM and wait; nothing when it is not running.
  void Stop();
  bool Running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
};

// Starts a private dbus-daemon for the session bus and points
// DBUS_SESSION_BUS_ADDRESS at it, for the whole test program. Call it before
// anything connects to the session bus (before the QCoreApplication is made).
// False when no bus could be started.
bool StartPrivateSessionBus();

// A python3-dbusmock service on the private session bus, from a template of
// dbusmock (a name such as "notification_daemon") or a template file
// (tests/data/dbus/NAME.py, given as a path).
class DBusMock {
 public:
  // busName: the name the template takes; mainPath: its main object.
  DBusMock(QString templateNameOrPath, QString parametersJson, QString busName, QString mainPath);
  ~DBusMock() { Stop(); }
  DBusMock(const DBusMock&) = delete;
  DBusMock& operator=(const DBusMock&) = delete;

  // Starts the service and waits until it owns its name; false when it does
  // not come up in time.
  bool Start();
  // Ends the service and waits until its name is gone from the bus.
  void Stop();

  // A blocking call on the mock's main object (or at path), interface
  // org.freedesktop.DBus.Mock unless given.
  QDBusMessage Call(const QString& method, const QVariantList& arguments = {},
                    const QString& interface = QStringLiteral("org.freedesktop.DBus.Mock"),
                    const QString& path = QString()) const;
  // The argument lists of the calls of the method on the main object (or at
  // path) so far, oldest first.
  std::vector<QVariantList> CallsOf(const QString& method, const QString& path = QString()) const;

 private:
  QString template_;
  QString parameters_;
  QString busName_;
  QString mainPath_;
  ChildProcess process_;
};

// Whether the name has an owner on the session bus now.
bool NameOwned(const QString& name);

// The path of a template file in tests/data/dbus.
QString DBusTemplate(const char* fileName);

// A desktop notification server (dbusmock's notification_daemon template) with the
// template's parameters (JSON; none: its own capabilities, body markup among them).
std::unique_ptr<DBusMock> NotificationServer(const QString& parametersJson = QString());

// A balloon text as a user may mark it, with a link, a tag and an ampersand.
QString MarkedTextWithMarkup();

// The notification body that text must arrive as, for a server that reads markup
// in the body and for one that shows it as plain text: the text as it is, shown.
struct MarkupCase {
  const char* name;
  QString parametersJson;  // the server's capabilities (NotificationServer)
  QString body;
};
std::vector<MarkupCase> MarkupCases();

}  // namespace parlumo::test
