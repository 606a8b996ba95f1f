#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "desktop/SimpleTimer.h"
#include "desktop/TrayShell.h"
#include "runtime/EventLoop.h"

namespace parlumo {

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Shift state bits.
using TShiftState = unsigned;
constexpr TShiftState ssShift = 0x01;
constexpr TShiftState ssAlt = 0x02;
constexpr TShiftState ssCtrl = 0x04;
constexpr TShiftState ssLeft = 0x08;
constexpr TShiftState ssRight = 0x10;
constexpr TShiftState ssMiddle = 0x20;

// The one hidden receiver per process of the shell's notifications for all
// tray icons. The first component constructed creates it, each component holds
// a reference, and it goes when the last component does.
class TTrayIconHandler {
 public:
  TTrayIconHandler() = default;
  TTrayIconHandler(const TTrayIconHandler&) = delete;
  TTrayIconHandler& operator=(const TTrayIconHandler&) = delete;

  // The process's handler, created when absent.
  static std::shared_ptr<TTrayIconHandler> Acquire();
  // The process's handler when one exists; for the adapters and the tests.
  static std::shared_ptr<TTrayIconHandler> Current();

  // The message procedure. For the callback message, wParam is the icon id of
  // the component and lParam the notification; the answer is always 0. A
  // notification for an id no live component has is dropped. The window's own
  // close and end-of-session messages are answered with 1. Anything else gets
  // no answer here (std::nullopt): the platform's default handling applies.
  // The handler may be gone when this returns (a component destroyed by its
  // own event can release the last reference).
  std::optional<long> WindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

  void Register(std::uintptr_t id, TTrayIcon* component) { components_[id] = component; }
  void Unregister(std::uintptr_t id) { components_.erase(id); }

 private:
  std::map<std::uintptr_t, TTrayIcon*> components_;
};

// One icon in the notification area: image, tooltip, balloons, the mouse
// notifications turned into events, the popup menu and its default item, and
// hiding and restoring the application's main form.
//
// The owner is the window the component belongs to, or null when the owner is
// no windowed control. Interfaces given to the constructor must outlive the
// component. Events may destroy the component; it touches nothing of itself
// after an event that did.
class TTrayIcon : private TrayApplicationHook, private TrayOwnerHook {
 public:
  using TNotifyEvent = std::function<void(TTrayIcon& sender)>;
  using TMouseEvent =
      std::function<void(TTrayIcon& sender, TMouseButton button, TShiftState shift, int x, int y)>;
  using TMouseMoveEvent = std::function<void(TTrayIcon& sender, TShiftState shift, int x, int y)>;
  using TCycleEvent = std::function<void(TTrayIcon& sender, int nextIndex)>;
  using TStartupEvent = std::function<void(TTrayIcon& sender, bool& showMainForm)>;

  TTrayIcon(EventLoop& loop, TrayShell& shell, TrayApplication& application, TrayWindow* owner);
  ~TTrayIcon() override;
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  // The end of the owner's loading: the start-up query, an update, then the
  // stored IconVisible, CycleIcons, WantEnterExitEvents and IconBehavior are
  // applied through their setters.
  virtual void Loaded();
  // A component the tray icon refers to is going away.
  void Notification(const TrayImageList* removed);
  void Notification(const TrayMenu* removed);

  // Properties.
  bool DesignPreview() const { return designPreview_; }
  void SetDesignPreview(bool value) { designPreview_ = value; }
  TrayImageList* IconList() const { return iconList_; }
  void SetIconList(TrayImageList* list);
  bool CycleIcons() const { return cycleIcons_; }
  void SetCycleIcons(bool value);
  std::uint32_t CycleInterval() const { return cycleInterval_; }
  void SetCycleInterval(std::uint32_t ms);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) { enabled_ = value; }
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);
  const TTrayImage& Icon() const { return icon_; }
  void SetIcon(const TTrayImage& image);
  bool IconVisible() const { return iconVisible_; }
  void SetIconVisible(bool value);
  int IconIndex() const { return iconIndex_; }
  void SetIconIndex(int value);
  TrayMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TrayMenu* menu) { popupMenu_ = menu; }
  bool LeftPopup() const { return leftPopup_; }
  void SetLeftPopup(bool value) { leftPopup_ = value; }
  bool WantEnterExitEvents() const { return wantEnterExitEvents_; }
  void SetWantEnterExitEvents(bool value);
  bool MinimizeToTray() const { return minimizeToTray_; }
  void SetMinimizeToTray(bool value) { minimizeToTray_ = value; }
  // 0 classic notifications, 1 version-3 notifications (not stored with the form).
  int IconBehavior() const { return iconBehavior_; }
  void SetIconBehavior(int value);

  // Events.
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseExit;
  TCycleEvent OnCycle;
  TNotifyEvent OnBalloonHintShow;
  TNotifyEvent OnBalloonHintHide;
  TNotifyEvent OnBalloonHintTimeout;
  TNotifyEvent OnBalloonHintClick;
  TNotifyEvent OnMinimizeToTray;
  TStartupEvent OnStartup;

  // Shell operations; each result is the shell call's success.
  virtual bool AddIcon();
  virtual bool DeleteIcon();
  virtual bool UpdateIcon();
  // Shows a balloon at the icon: title cut to 63 and text to 255 characters,
  // timeout in seconds.
  bool ShowBalloon(const std::string& title, const std::string& text, TBalloonIconKind kind,
                   std::uint8_t timeoutSeconds);
  // Removes a balloon. Until the next ShowBalloon, updates keep sending an
  // empty balloon text.
  void HideBalloon();

  void RestoreMainWindow();
  void HideMainWindow();
  void HideTaskbarButton();
  void PopupMenuAtCursor();

  // The record as it was last filled; the icon id is unique to this component.
  const TrayIconData& Data() const { return data_; }
  std::uintptr_t Id() const { return data_.id; }

  // Called by the shared handler for each of this component's notifications.
  void HandleNotification(unsigned notification);

 protected:
  // Event dispatchers.
  virtual void Click();
  virtual void DblClick();
  virtual void DoCycle(int nextIndex);
  virtual void MouseDown(TMouseButton button);
  virtual void MouseUp(TMouseButton button);
  virtual void MouseMove();
  virtual void MouseEnter();
  virtual void MouseExit();
  // Hides the main form and makes the icon visible.
  virtual void DoMinimizeToTray();

 private:
  void ApplicationMinimized() override;
  void ApplicationPositionChanged() override;
  void ApplicationRestoreCommand() override;
  void TaskbarCreated() override;
  void OwnerShown() override;
  bool OwnerHiddenForMinimize() override;
  bool OwnerMinimizeCommand() override;
  bool MinimizeFromOwner();

  void Fill();
  bool Notify(TrayCommand command);
  TShiftState KeyShift() const;
  // The shift state of a button press: the keys held and the button.
  TShiftState ButtonShift(TMouseButton button) const;
  // Asks OnStartup whether the main form shows; nothing when the handler
  // destroyed this component.
  std::optional<bool> AskShowMainForm();
  TPoint Cursor() const;
  void CycleTick();
  void ClickTick();
  void ExitTick();

  TrayShell& shell_;
  TrayApplication& application_;
  TrayWindow* owner_;
  std::shared_ptr<TTrayIconHandler> handler_;
  TrayIconData data_;

  bool designPreview_ = false;
  TrayImageList* iconList_ = nullptr;
  bool cycleIcons_ = false;
  std::uint32_t cycleInterval_ = 0;
  bool enabled_ = true;
  std::string hint_;
  bool showHint_ = true;
  TTrayImage icon_;
  bool iconVisible_ = false;
  int iconIndex_ = 0;
  TrayMenu* popupMenu_ = nullptr;
  bool leftPopup_ = false;
  bool wantEnterExitEvents_ = false;
  bool minimizeToTray_ = false;
  int iconBehavior_ = 0;

  bool clickStarted_ = false;
  bool clickReady_ = false;
  bool doubleClick_ = false;
  bool exited_ = true;
  TPoint lastMove_;
  bool firstPositionChange_ = true;

  std::unique_ptr<TSimpleTimer> cycleTimer_;
  std::unique_ptr<TSimpleTimer> clickTimer_;
  std::unique_ptr<TSimpleTimer> exitTimer_;
  Lifetime lifetime_;
};

}  // namespace parlumo
