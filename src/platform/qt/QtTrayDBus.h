#pragma once

#include <QDBusConnection>
#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

// The notification area and balloons over the session bus, for the Qt
// platforms other than xcb (Wayland): a StatusNotifierItem of our own and
// desktop notifications. Qt's own status-notifier tray (QDBusTrayIcon) is not
// used there, because Qt 6.4 decides once per process, when the first tray icon
// is made, whether a status-notifier host exists (the platform theme caches the
// answer), so an icon made before the tray host starts would never appear;
// and it reports neither the closing of a notification nor a click on one
// that is not critical.

namespace parlumo {

// Whether the program shows its tray icon through the session bus (every Qt
// platform but xcb).
bool UsesDBusTray();

// A StatusNotifierWatcher is on the session bus: a tray host shows items.
bool StatusNotifierWatcherPresent();

// A desktop notification server is on the session bus, or the bus can start
// one.
bool NotificationServerPresent();

// One tray icon as a StatusNotifierItem (org.kde.StatusNotifierItem at
// /StatusNotifierItem, on a connection of its own so that every item has a
// bus name of its own). It registers with the StatusNotifierWatcher when it
// is made and again whenever a watcher appears (the tray host starts later, or
// is restarted). The host's Activate is a click (Trigger), SecondaryActivate a
// middle click, ContextMenu the context request, each with the screen point
// the host gives (where the pointer was, or (0, 0) from a host that does not
// know); onActivated runs from the bus's dispatch, after the call was
// answered, and must not destroy the item (post the work instead).
class StatusNotifierItem {
 public:
  using ActivationHandler = std::function<void(QSystemTrayIcon::ActivationReason, QPoint)>;
  explicit StatusNotifierItem(ActivationHandler onActivated);
  ~StatusNotifierItem();
  StatusNotifierItem(const StatusNotifierItem&) = delete;
  StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

  void SetIcon(const QIcon& icon);
  void SetToolTip(const QString& tip);

  // The bus name the item is registered under.
  QString Service() const;

  class Object;

 private:
  std::unique_ptr<Object> object_;
};

// A plain text as the body of a desktop notification, so that it appears as it is:
// escaped for a notification server that reads markup in the body ("body-markup"
// among its capabilities), unchanged for one that shows the body as plain text. The
// capabilities are asked once per server; a server that does not answer is taken to
// read markup: an escaped text is at worst shown with its entities, an unescaped one
// could become a link.
class NotificationBody {
 public:
  QString Of(const QString& text);

 private:
  bool ServerReadsMarkup();

  QString capabilitiesOf_;  // the server whose capabilities readsMarkup_ gives
  bool readsMarkup_ = true;
};

// The balloons of one tray icon as desktop notifications
// (org.freedesktop.Notifications): a balloon is a Notify that replaces the
// icon's previous one; its "default" action (a click on it) is onClicked; its
// closing by expiry or by the user is onClosed. Removing the balloon closes the
// notification (CloseNotification) without a call. Callbacks run from the
// bus's dispatch and must not destroy this object (post the work instead).
class BalloonNotifier {
 public:
  BalloonNotifier(std::function<void()> onClicked, std::function<void()> onClosed);
  ~BalloonNotifier();
  BalloonNotifier(const BalloonNotifier&) = delete;
  BalloonNotifier& operator=(const BalloonNotifier&) = delete;

  void Show(const QString& title, const QString& text, QSystemTrayIcon::MessageIcon icon,
            int timeoutMs);
  void Close();

  class Sink;

 private:
  std::unique_ptr<Sink> sink_;
};

}  // namespace parlumo
