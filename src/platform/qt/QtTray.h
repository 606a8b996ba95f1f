#pragma once

#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSystemTrayIcon>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "desktop/TrayIcon.h"
#include "desktop/TrayShell.h"
#include "platform/qt/QtTrayDBus.h"

class QWidget;

namespace parlumo {

// Balloon hints can be shown. On X11 (the xcb platform): a notification area
// is there and it can show messages. Elsewhere (Wayland) balloons are desktop
// notifications: a notification server is on the session bus, whether or not
// a tray host is. Evaluated anew on every call.
bool TrayMessagesAvailable();

// A notification area is there to show the icon. On X11 Qt's answer
// (QSystemTrayIcon::isSystemTrayAvailable); elsewhere a StatusNotifierWatcher
// on the session bus. Evaluated anew on every call.
bool TrayAvailable();

// The notification area on QSystemTrayIcon: one QSystemTrayIcon per icon id.
// Qt reports activations, not button presses, so each is passed on as the
// notifications the shell gives for it:
//   click        -> left button down, left button up
//   double-click -> left double-click, left button up (after the click above);
//                   a second click within the double-click time is one too,
//                   as status-notifier trays report no double-clicks
//   context      -> right button down, right button up, and with version-3
//                   notifications the context-menu notification
//   middle click -> middle button down, middle button up
// A balloon is a tray message: shown -> balloon shown, clicked -> balloon
// clicked, its time over -> balloon timeout, removed by an empty balloon text
// -> balloon hidden; without a tray that shows messages a balloon fails.
// Qt reports no pointer movement over the icon, so the
// enter, exit and move events do not occur. Qt puts the icon back by itself
// when the tray host is re-created.
//
// That is the X11 session (the xcb platform), where the icon is a
// QSystemTrayIcon. On every other platform (Wayland) the icon is a
// StatusNotifierItem of our own (QtTrayDBus.h): it is registered with the
// StatusNotifierWatcher whenever one appears, so an icon added before the tray
// host starts, or while it restarts, shows up when it is there; Add succeeds
// only while a watcher is there, as on X11 while a tray is. The host's
// activate is the click, its secondary activate the middle click, its context
// menu request the context click; the cursor position is then the point the
// host gave with its last call (where it has one). A balloon there is a desktop notification
// (org.freedesktop.Notifications), shown whether or not a tray host is:
// Notify with the balloon's title and text, replacing the icon's previous
// one; its "default" action (a click on it) -> balloon clicked; closed by its
// expiry or by the user -> balloon timeout (as a balloon closed with its close
// button is on Windows); removed by an empty balloon text -> CloseNotification
// and balloon hidden. The balloon's own time still ends it for servers that
// keep notifications.
class QtTrayShell final : public QObject, public TrayShell {
 public:
  explicit QtTrayShell(QObject* parent = nullptr);
  ~QtTrayShell() override;

  bool NotifyIcon(TrayCommand command, const TrayIconData& data) override;
  bool CursorPos(TPoint& at) override;
  std::int16_t AsyncKeyState(int virtualKey) override;
  unsigned DoubleClickTime() override;

  // The Qt icon of an icon id; null when the id has none (always on the D-Bus
  // tray).
  QSystemTrayIcon* TrayIconOf(std::uintptr_t id) const;

 private:
  struct Entry;

  // Updates the Qt icon from the record; false when a balloon it carries
  // cannot be shown.
  bool Apply(Entry& entry, const TrayIconData& data, bool withBalloon);
  void Activated(std::uintptr_t id, QSystemTrayIcon::ActivationReason reason);
  // Passes notifications for the id to the process's handler, stopping when
  // the icon goes away in between.
  void Deliver(std::uintptr_t id, std::initializer_list<unsigned> notifications);
  void BalloonEnded(std::uintptr_t id, unsigned notification);
  // Calls BalloonEnded from the event loop, for the balloon shown now.
  void PostBalloonEnded(std::uintptr_t id, unsigned notification);

  std::map<std::uintptr_t, std::unique_ptr<Entry>> entries_;
  // The balloons' texts as Qt's own status-notifier tray sends them.
  NotificationBody notificationBody_;
  // Where the tray host last said an item was clicked (D-Bus tray only).
  std::optional<QPoint> hostPoint_;
};

// A QWidget as the tray component's owner or main form. Shown events reach
// the owner hook.
class QtTrayWindow final : public QObject, public TrayWindow {
 public:
  explicit QtTrayWindow(QWidget* widget);

  QWidget* Widget() const { return widget_; }

  bool Minimized() const override;
  void SetNormal() override;
  void SetVisible(bool visible) override;
  void BringToFront() override;
  bool IsMdiFrame() const override { return false; }
  void PostNull() override;
  void SetOwnerHook(TrayOwnerHook* hook) override { hook_ = hook; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> widget_;
  TrayOwnerHook* hook_ = nullptr;
};

// The application as the tray component sees it: the main form is the
// program's one top-level window, and a Linux window has a taskbar entry
// exactly while it is shown, so the taskbar button is the main form's
// visibility. Minimising the main form is the application being minimised;
// restoring it from minimised is the restore command.
class QtTrayApplication final : public QObject, public TrayApplication {
 public:
  QtTrayApplication();
  ~QtTrayApplication() override;

  // The main form; null while there is none. Not owned.
  void SetMainForm(QWidget* mainForm);
  // Whether the main form is to be shown when the program starts.
  bool ShowMainForm() const { return showMainForm_; }

  TrayWindow* MainForm() override;
  void BringToFront() override;
  void ProcessMessages() override;
  void Restore() override;
  bool Terminating() const override;
  void SetShowMainForm(bool show) override { showMainForm_ = show; }
  bool TaskbarButtonVisible() const override;
  void HideTaskbarButton() override;
  void AddHook(TrayApplicationHook* hook) override;
  void RemoveHook(TrayApplicationHook* hook) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  template <typename Call>
  void EachHook(Call call);

  std::unique_ptr<QtTrayWindow> mainForm_;
  std::vector<TrayApplicationHook*> hooks_;
  bool showMainForm_ = true;
  bool terminating_ = false;
};

// A QMenu as the tray component's popup menu: its top-level actions are the
// items, separators included; the menu's default action is the default item.
class QtTrayMenu final : public TrayMenu {
 public:
  explicit QtTrayMenu(QMenu* menu) : menu_(menu) {}

  void SetAutoPopup(bool value) { autoPopup_ = value; }
  TTrayIcon* PopupComponent() const { return popupComponent_; }

  bool AutoPopup() const override { return autoPopup_; }
  int ItemCount() const override;
  bool ItemDefault(int index) const override;
  void ClickItem(int index) override;
  void SetPopupComponent(TTrayIcon* component) override { popupComponent_ = component; }
  void Popup(TPoint at) override;

 private:
  QPointer<QMenu> menu_;
  bool autoPopup_ = true;
  TTrayIcon* popupComponent_ = nullptr;
};

}  // namespace parlumo
