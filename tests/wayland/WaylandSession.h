#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace parlumo::wltest {

// The private Wayland session of scripts/with-wayland as a test or a benchmark
// (root, inside the session) sees it: the compositor, sway headless; its
// selections, read and set through data-control by wl-clipboard; its virtual
// keyboard, wtype; and the session bus. Nothing here fails a test by itself:
// every call says whether it worked, so benchmarks use it too.

// Whether this process runs inside such a session (a display and sway's IPC).
bool InSession();

// The user sway runs as, and with it every command a key binding runs.
uid_t SessionUid();

// A command line run as the session's user: through setpriv when this
// process is another user (root), as it is otherwise.
struct Command {
  QString program;
  QStringList arguments;
};
Command AsSessionUser(const QString& program, const QStringList& arguments);

// The compositor's socket as an absolute path: a client whose
// XDG_RUNTIME_DIR is another folder still finds the display with it.
QString DisplaySocketPath();

// What a helper program did.
struct ToolRun {
  bool finished = false;  // ended by itself within the time
  int exitCode = -1;
  QByteArray output;  // standard output
  QByteArray errors;  // standard error
  bool Succeeded() const { return finished && exitCode == 0; }
};
// Runs a helper program to its end, with the text on its standard input.
ToolRun RunTool(const QString& program, const QStringList& arguments, const QByteArray& input = {},
                int timeoutMs = 10000);

// Every thread's stack of a running process (gdb), for the report of a
// program that hangs; empty without gdb.
std::string Backtrace(qint64 pid);

// --- selections (data-control: no focus needed) ------------------------------

// Marks the text: it becomes the primary selection, as if a user selected it.
bool SetPrimary(const QString& text);
// Leaves the primary selection empty.
bool ClearPrimary();
// Puts the text on the clipboard.
bool SetClipboard(const QString& text);
// The clipboard's text, or nothing when the clipboard is empty.
std::optional<QString> ClipboardText();
std::optional<QString> PrimaryText();

// Watches the clipboard: each new clipboard text arrives, in order, as one
// entry of Texts(). The first entry is the clipboard at the start (if any).
class ClipboardWatch {
 public:
  ClipboardWatch();
  ~ClipboardWatch();
  ClipboardWatch(const ClipboardWatch&) = delete;
  ClipboardWatch& operator=(const ClipboardWatch&) = delete;

  bool Running() const { return process_.state() == QProcess::Running; }
  // Reads what arrived; the texts so far.
  const std::vector<QString>& Texts();
  // Waits (dispatching nothing but the watch) until a text arrives after the
  // first `seen` ones and returns it; nothing after the time.
  std::optional<QString> WaitForTextAfter(std::size_t seen, int timeoutMs);

 private:
  QProcess process_;
  QByteArray pending_;
  std::vector<QString> texts_;
};

// --- keys --------------------------------------------------------------------

// Binds a chord in sway's notation ("Ctrl+Alt+t") to a command line, which
// sway runs with /bin/sh as its own user.
bool BindChord(const QString& chord, const QString& command);
bool UnbindChord(const QString& chord);
// Presses the chord on the virtual keyboard and lets it go again.
bool PressChord(const QString& chord);

// --- windows -----------------------------------------------------------------

struct SwayWindow {
  qint64 pid = 0;
  QString title;
  QString appId;
  bool visible = false;
  QRect rect;  // on the output
};
// The windows sway manages, tiled and floating.
std::vector<SwayWindow> Windows();
// Saves a picture of the whole output as a PNG file.
bool Screenshot(const std::filesystem::path& file);

// --- the session bus -----------------------------------------------------------

// A python3-dbusmock template serving on the session bus: a stand-in for a
// desktop service (the notification daemon, the tray's watcher). Stopped when
// the object goes.
class BusMock {
 public:
  // templateName: a template dbusmock ships ("notification_daemon") or a file.
  BusMock(const QString& templateName, const QString& busName, const QString& objectPath);
  ~BusMock();
  BusMock(const BusMock&) = delete;
  BusMock& operator=(const BusMock&) = delete;

  // Waits until the service owns its name on the bus.
  bool WaitReady(int timeoutMs = 15000);
  // The arguments of every call of the method so far, oldest first.
  std::vector<QVariantList> Calls(const QString& method) const;
  // The service's own log of calls and signals, for a failure's report.
  QString Log() const;
  const QString& BusName() const { return busName_; }

 private:
  QString busName_;
  QString objectPath_;
  QString logPath_;
  QProcess process_;
};

// One desktop notification as org.freedesktop.Notifications got it.
struct Notification {
  QString appName;
  QString summary;
  QString body;
};
std::vector<Notification> NotificationsOf(const BusMock& daemon);

// The process id of the connection that owns a bus name; 0 when none does.
qint64 BusNameOwnerPid(const QString& name);

// The bus names that registered an item with the status-notifier watcher.
QStringList RegisteredTrayItems(const BusMock& watcher);

// The status-notifier watcher template in the test data.
QString StatusNotifierWatcherTemplate();

}  // namespace parlumo::wltest
