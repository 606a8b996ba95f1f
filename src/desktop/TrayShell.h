#pragma once

#include <cstdint>
#include <string>

namespace parlumo {

class TTrayIcon;
class TTrayIconHandler;

// The narrow platform side of the tray icon component. The component owns the
// logic (record, balloons, clicks, default item, main window); an adapter
// (QSystemTrayIcon in the program, a fake in the tests) implements these
// interfaces and feeds the shell's notifications back through
// TTrayIconHandler::WindowProc.

// Commands of the notification area.
enum class TrayCommand : unsigned {
  Add = 0,         // put the icon into the notification area
  Modify = 1,      // update image, tooltip and (with kNifInfo) the balloon
  Delete = 2,      // remove the icon
  SetVersion = 4,  // choose classic (0) or version-3 notifications
};

// Which record fields a command carries.
constexpr std::uint32_t kNifMessage = 0x01;
constexpr std::uint32_t kNifIcon = 0x02;
constexpr std::uint32_t kNifTip = 0x04;
constexpr std::uint32_t kNifInfo = 0x10;
// Every command carries message, icon and tooltip; the balloon only while one
// is being sent.
constexpr std::uint32_t kTrayBaseFlags = kNifMessage | kNifIcon | kNifTip;

// The message id under which the shell reports to the handler.
constexpr unsigned kTrayCallbackMessage = 0x0800;

// Notifications the shell passes as the second parameter of the callback.
namespace tray_notification {
constexpr unsigned kMouseMove = 0x0200;
constexpr unsigned kLButtonDown = 0x0201;
constexpr unsigned kLButtonUp = 0x0202;
constexpr unsigned kLButtonDblClk = 0x0203;
constexpr unsigned kRButtonDown = 0x0204;
constexpr unsigned kRButtonUp = 0x0205;
constexpr unsigned kMButtonDown = 0x0207;
constexpr unsigned kMButtonUp = 0x0208;
constexpr unsigned kContextMenu = 0x007B;
constexpr unsigned kSelect = 0x0400;
constexpr unsigned kKeySelect = 0x0401;
constexpr unsigned kBalloonShow = 0x0402;
constexpr unsigned kBalloonHide = 0x0403;
constexpr unsigned kBalloonTimeout = 0x0404;
constexpr unsigned kBalloonUserClick = 0x0405;
}  // namespace tray_notification

// Other messages the shared handler answers itself (with 1) so that a close
// request does not take it down and a log-off query is not refused.
namespace tray_message {
constexpr unsigned kDestroy = 0x0002;
constexpr unsigned kClose = 0x0010;
constexpr unsigned kQueryEndSession = 0x0011;
constexpr unsigned kQuit = 0x0012;
constexpr unsigned kEndSession = 0x0016;
constexpr unsigned kNcDestroy = 0x0082;
}  // namespace tray_message

// Balloon icon kinds; the value goes into the record's info flags.
enum class TBalloonIconKind : std::uint32_t { bkNone = 0, bkInfo = 1, bkWarning = 2, bkError = 3 };

// An icon image: the bytes of an image file (PNG, ICO, ...) the adapter
// decodes. Empty: no image.
struct TTrayImage {
  std::string data;
  bool operator==(const TTrayImage&) const = default;
};

struct TPoint {
  int x = 0;
  int y = 0;
  bool operator==(const TPoint&) const = default;
};

// The record the component fills before each shell call and keeps for its life.
struct TrayIconData {
  TTrayIconHandler* window = nullptr;  // the shared handler that gets the notifications
  std::uintptr_t id = 0;               // unique per component; first parameter of notifications
  std::uint32_t flags = kTrayBaseFlags;
  unsigned callbackMessage = kTrayCallbackMessage;
  TTrayImage icon;
  std::string tip;              // at most 127 characters
  std::string info;             // balloon text, at most 255 characters
  std::string infoTitle;        // balloon title, at most 63 characters
  std::uint32_t timeout = 0;    // balloon timeout in milliseconds
  std::uint32_t version = 0;    // 0 classic, 3 version-3 notifications
  std::uint32_t infoFlags = 0;  // TBalloonIconKind value
};

// The notification area and the input state around it.
class TrayShell {
 public:
  virtual ~TrayShell() = default;
  // Runs one command with the record; true on success.
  virtual bool NotifyIcon(TrayCommand command, const TrayIconData& data) = 0;
  // The mouse cursor's screen position; false when it cannot be read.
  virtual bool CursorPos(TPoint& at) = 0;
  // The key's asynchronous state: negative while the key is down.
  virtual std::int16_t AsyncKeyState(int virtualKey) = 0;
  // The system double-click time in milliseconds.
  virtual unsigned DoubleClickTime() = 0;
};

// A top-level window: the component's owner or the application's main form.
class TrayWindow;

// Seen by the component before the application window handles them.
class TrayApplicationHook {
 public:
  virtual ~TrayApplicationHook() = default;
  virtual void ApplicationMinimized() = 0;        // the application window was minimised
  virtual void ApplicationPositionChanged() = 0;  // its position changed
  virtual void ApplicationRestoreCommand() = 0;   // the system menu's restore command
  virtual void TaskbarCreated() = 0;              // the tray host was (re-)created
};

// Seen by the component before its owner window handles them. Each answers
// true when the component handled the message and the owner must not.
class TrayOwnerHook {
 public:
  virtual ~TrayOwnerHook() = default;
  virtual void OwnerShown() = 0;              // made visible by a show call
  virtual bool OwnerHiddenForMinimize() = 0;  // hidden because its owner is being minimised
  virtual bool OwnerMinimizeCommand() = 0;    // the system menu's minimise command
};

class TrayWindow {
 public:
  virtual ~TrayWindow() = default;
  virtual bool Minimized() const = 0;
  virtual void SetNormal() = 0;  // window state minimised -> normal
  virtual void SetVisible(bool visible) = 0;
  virtual void BringToFront() = 0;  // make it the foreground window
  virtual bool IsMdiFrame() const = 0;
  // Wakes the window's message queue (the empty message after a popup menu).
  virtual void PostNull() = 0;
  // The owner-window hook; null removes it.
  virtual void SetOwnerHook(TrayOwnerHook* hook) = 0;
};

// The application: its hidden window with the taskbar button, its main form.
class TrayApplication {
 public:
  virtual ~TrayApplication() = default;
  virtual TrayWindow* MainForm() = 0;  // null while there is none
  virtual void BringToFront() = 0;     // foreground the application window
  virtual void ProcessMessages() = 0;  // dispatch everything pending
  virtual void Restore() = 0;          // restore a minimised application
  virtual bool Terminating() const = 0;
  virtual void SetShowMainForm(bool show) = 0;  // show the main form when the run starts
  virtual bool TaskbarButtonVisible() const = 0;
  virtual void HideTaskbarButton() = 0;
  virtual void AddHook(TrayApplicationHook* hook) = 0;
  virtual void RemoveHook(TrayApplicationHook* hook) = 0;
};

// A popup menu as the component uses it.
class TrayMenu {
 public:
  virtual ~TrayMenu() = default;
  virtual bool AutoPopup() const = 0;
  virtual int ItemCount() const = 0;  // top-level items
  virtual bool ItemDefault(int index) const = 0;
  virtual void ClickItem(int index) = 0;  // as if the user had chosen it
  virtual void SetPopupComponent(TTrayIcon* component) = 0;
  // Shows the menu at a screen point; returns when it closes.
  virtual void Popup(TPoint at) = 0;
};

// Images for cycling.
class TrayImageList {
 public:
  virtual ~TrayImageList() = default;
  virtual int Count() const = 0;
  virtual TTrayImage Image(int index) const = 0;
};

}  // namespace parlumo
