// Qt's own tray on X11 when a StatusNotifierWatcher is on the session bus (as in a
// KDE X11 session): Qt shows the icon as a status-notifier item and sends the
// balloons as desktop notifications itself. The session bus is a private one with
// dbusmock peers: our watcher template (tests/data/dbus/statusnotifierwatcher.py)
// and dbusmock's notification_daemon.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>

#include "desktop/TrayIcon.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtTray.h"
#include "support/QtWait.h"
#include "ui/DBusTestBus.h"

namespace parlumo {
namespace {

using test::DBusMock;
using test::Pump;
using test::WaitUntil;

// The balloon's text comes from what the user marked: a server that reads markup
// in the body gets it escaped (a marked link stays text), one that does not gets
// it as it is.
TEST(TrayStatusNotifierX11Test, MarkedTextIsNeverMarkupInQtsNotification) {
  ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
  // Qt looks for the watcher once, when the first icon is made.
  DBusMock watcher(test::DBusTemplate("statusnotifierwatcher.py"), QString(),
                   QStringLiteral("org.kde.StatusNotifierWatcher"),
                   QStringLiteral("/StatusNotifierWatcher"));
  ASSERT_TRUE(watcher.Start());

  QtEventLoop loop;
  QtTrayShell shell;
  QtTrayApplication application;
  QWidget mainForm;
  application.SetMainForm(&mainForm);
  TTrayIcon tray(loop, shell, application, application.MainForm());
  tray.SetHint("Parlumo");
  tray.Loaded();
  ASSERT_TRUE(tray.AddIcon());
  // Not embedded anywhere: Qt's balloon is a notification, not a widget of its own.
  QSystemTrayIcon* icon = shell.TrayIconOf(tray.Id());
  ASSERT_NE(icon, nullptr);
  Pump(200);
  ASSERT_TRUE(icon->geometry().isEmpty()) << "Qt embedded the icon instead";

  const QString marked = test::MarkedTextWithMarkup();
  for (const auto& c : test::MarkupCases()) {
    SCOPED_TRACE(c.name);
    const auto server = test::NotificationServer(c.parametersJson);
    ASSERT_TRUE(server->Start());
    ASSERT_TRUE(
        tray.ShowBalloon("Übersetzung", marked.toStdString(), TBalloonIconKind::bkInfo, 20));
    ASSERT_TRUE(WaitUntil([&] { return server->CallsOf(QStringLiteral("Notify")).size() == 1; }));
    const QVariantList notify = server->CallsOf(QStringLiteral("Notify")).at(0);
    ASSERT_GE(notify.size(), 5);
    EXPECT_EQ(notify.at(3).toString().toStdString(), "Übersetzung");
    EXPECT_EQ(notify.at(4).toString().toStdString(), c.body.toStdString());
  }
  // The icon goes away through the event loop.
  tray.DeleteIcon();
  Pump(100);
}

}  // namespace
}  // namespace parlumo
