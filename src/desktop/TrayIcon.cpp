#include "desktop/TrayIcon.h"

#include <utility>

#include "desktop/VirtualKeyCodes.h"
#include "runtime/Utf8.h"

namespace parlumo {

namespace {

constexpr std::size_t kTipChars = 127;
constexpr std::size_t kInfoChars = 255;
constexpr std::size_t kInfoTitleChars = 63;
constexpr unsigned kExitTimerMs = 20;

std::weak_ptr<TTrayIconHandler>& ProcessHandler() {
  static std::weak_ptr<TTrayIconHandler> handler;
  return handler;
}

}  // namespace

// --- TTrayIconHandler -------------------------------------------------------

std::shared_ptr<TTrayIconHandler> TTrayIconHandler::Acquire() {
  auto handler = ProcessHandler().lock();
  if (!handler) {
    handler = std::make_shared<TTrayIconHandler>();
    ProcessHandler() = handler;
  }
  return handler;
}

std::shared_ptr<TTrayIconHandler> TTrayIconHandler::Current() {
  return ProcessHandler().lock();
}

std::optional<long> TTrayIconHandler::WindowProc(unsigned message, std::uintptr_t wParam,
                                                 std::intptr_t lParam) {
  switch (message) {
    case kTrayCallbackMessage: {
      const auto found = components_.find(wParam);
      // The component may release this handler; nothing of it is used after.
      if (found != components_.end())
        found->second->HandleNotification(static_cast<unsigned>(lParam));
      return 0;
    }
    case tray_message::kDestroy:
    case tray_message::kClose:
    case tray_message::kQueryEndSession:
    case tray_message::kQuit:
    case tray_message::kEndSession:
    case tray_message::kNcDestroy:
      return 1;
    default:
      return std::nullopt;
  }
}

// --- TTrayIcon: life --------------------------------------------------------

TTrayIcon::TTrayIcon(EventLoop& loop, TrayShell& shell, TrayApplication& application,
                     TrayWindow* owner)
    : shell_(shell),
      application_(application),
      owner_(owner),
      handler_(TTrayIconHandler::Acquire()) {
  data_.window = handler_.get();
  data_.id = reinterpret_cast<std::uintptr_t>(this);
  data_.flags = kTrayBaseFlags;
  data_.callbackMessage = kTrayCallbackMessage;
  handler_->Register(data_.id, this);
  cycleTimer_ = std::make_unique<TSimpleTimer>(loop, [this] { CycleTick(); });
  clickTimer_ = std::make_unique<TSimpleTimer>(loop, [this] { ClickTick(); });
  exitTimer_ = std::make_unique<TSimpleTimer>(
      loop, [this] { ExitTick(); }, kExitTimerMs);
  application_.AddHook(this);
  if (owner_) owner_->SetOwnerHook(this);
}

TTrayIcon::~TTrayIcon() {
  DeleteIcon();
  cycleTimer_.reset();
  clickTimer_.reset();
  exitTimer_.reset();
  icon_ = TTrayImage();
  application_.RemoveHook(this);
  if (owner_) owner_->SetOwnerHook(nullptr);
  handler_->Unregister(data_.id);
  handler_.reset();
}

void TTrayIcon::Loaded() {
  if (owner_) {
    const std::optional<bool> showMainForm = AskShowMainForm();
    if (!showMainForm) return;
    if (!*showMainForm) {
      application_.SetShowMainForm(false);
      HideMainWindow();
    }
  }
  UpdateIcon();
  SetIconVisible(iconVisible_);
  SetCycleIcons(cycleIcons_);
  SetWantEnterExitEvents(wantEnterExitEvents_);
  SetIconBehavior(iconBehavior_);
}

void TTrayIcon::Notification(const TrayImageList* removed) {
  if (removed && removed == iconList_) SetIconList(nullptr);
}

void TTrayIcon::Notification(const TrayMenu* removed) {
  if (removed && removed == popupMenu_) popupMenu_ = nullptr;
}

// --- TTrayIcon: properties --------------------------------------------------

void TTrayIcon::SetIconList(TrayImageList* list) {
  iconList_ = list;
  SetIconIndex(0);
}

void TTrayIcon::SetCycleIcons(bool value) {
  cycleIcons_ = value;
  if (value) {
    SetIconIndex(0);
    cycleTimer_->SetInterval(cycleInterval_);
    cycleTimer_->Start();
  } else {
    cycleTimer_->Stop();
  }
}

void TTrayIcon::SetCycleInterval(std::uint32_t ms) {
  cycleInterval_ = ms;
  SetCycleIcons(cycleIcons_);
}

void TTrayIcon::SetHint(const std::string& value) {
  hint_ = value;
  UpdateIcon();
}

void TTrayIcon::SetShowHint(bool value) {
  showHint_ = value;
  UpdateIcon();
}

void TTrayIcon::SetIcon(const TTrayImage& image) {
  icon_ = image;
  UpdateIcon();
}

void TTrayIcon::SetIconVisible(bool value) {
  if (value)
    AddIcon();
  else
    DeleteIcon();
}

void TTrayIcon::SetIconIndex(int value) {
  // An empty list or a negative index has no image to take: index 0, image kept.
  const int count = iconList_ ? iconList_->Count() : 0;
  if (count <= 0 || value < 0) {
    iconIndex_ = 0;
  } else {
    iconIndex_ = value >= count ? count - 1 : value;
    icon_ = iconList_->Image(iconIndex_);
  }
  UpdateIcon();
}

void TTrayIcon::SetWantEnterExitEvents(bool value) {
  wantEnterExitEvents_ = value;
  if (value)
    exitTimer_->Start();
  else
    exitTimer_->Stop();
}

void TTrayIcon::SetIconBehavior(int value) {
  iconBehavior_ = value;
  data_.version = value == 1 ? 3 : 0;
  shell_.NotifyIcon(TrayCommand::SetVersion, data_);
}

// --- TTrayIcon: shell -------------------------------------------------------

void TTrayIcon::Fill() {
  data_.icon = icon_;
  if (!hint_.empty() && showHint_)
    data_.tip = CutUtf8Characters(hint_, kTipChars);
  else
    data_.tip.clear();
}

bool TTrayIcon::Notify(TrayCommand command) {
  Fill();
  return shell_.NotifyIcon(command, data_);
}

bool TTrayIcon::AddIcon() {
  iconVisible_ = true;
  return Notify(TrayCommand::Add);
}

bool TTrayIcon::DeleteIcon() {
  iconVisible_ = false;
  return Notify(TrayCommand::Delete);
}

bool TTrayIcon::UpdateIcon() {
  return Notify(TrayCommand::Modify);
}

bool TTrayIcon::ShowBalloon(const std::string& title, const std::string& text,
                            TBalloonIconKind kind, std::uint8_t timeoutSeconds) {
  HideBalloon();
  data_.flags |= kNifInfo;
  data_.info = CutUtf8Characters(text, kInfoChars);
  data_.infoTitle = CutUtf8Characters(title, kInfoTitleChars);
  data_.timeout = static_cast<std::uint32_t>(timeoutSeconds) * 1000;
  data_.infoFlags = static_cast<std::uint32_t>(kind);
  const bool result = UpdateIcon();
  data_.flags = kTrayBaseFlags;
  return result;
}

void TTrayIcon::HideBalloon() {
  data_.flags |= kNifInfo;
  data_.info.clear();
  UpdateIcon();
}

// --- TTrayIcon: main window -------------------------------------------------

void TTrayIcon::RestoreMainWindow() {
  TrayWindow* mainForm = application_.MainForm();
  if (!owner_ || !mainForm) return;
  application_.Restore();
  if (mainForm->Minimized()) mainForm->SetNormal();
  mainForm->SetVisible(true);
  application_.BringToFront();
}

void TTrayIcon::HideMainWindow() {
  if (!owner_) return;
  if (TrayWindow* mainForm = application_.MainForm()) {
    mainForm->SetVisible(false);
    HideTaskbarButton();
  }
}

void TTrayIcon::HideTaskbarButton() {
  if (application_.TaskbarButtonVisible()) application_.HideTaskbarButton();
}

void TTrayIcon::PopupMenuAtCursor() {
  TPoint at;
  if (!popupMenu_ || !popupMenu_->AutoPopup() || !shell_.CursorPos(at)) return;
  const auto alive = lifetime_.Token();
  application_.BringToFront();
  application_.ProcessMessages();
  // Pending messages may have removed the menu or this component.
  if (alive.expired() || !popupMenu_) return;
  popupMenu_->SetPopupComponent(this);
  popupMenu_->Popup(at);
  if (alive.expired()) return;
  if (owner_) owner_->PostNull();
}

// --- TTrayIcon: notifications -----------------------------------------------

TShiftState TTrayIcon::KeyShift() const {
  TShiftState shift = 0;
  if (shell_.AsyncKeyState(kVkShift) < 0) shift |= ssShift;
  if (shell_.AsyncKeyState(kVkControl) < 0) shift |= ssCtrl;
  if (shell_.AsyncKeyState(kVkMenu) < 0) shift |= ssAlt;
  return shift;
}

TPoint TTrayIcon::Cursor() const {
  TPoint at;
  if (!shell_.CursorPos(at)) at = TPoint();
  return at;
}

void TTrayIcon::HandleNotification(unsigned notification) {
  namespace n = tray_notification;
  switch (notification) {
    case n::kBalloonShow:
      if (OnBalloonHintShow) OnBalloonHintShow(*this);
      return;
    case n::kBalloonHide:
      if (OnBalloonHintHide) OnBalloonHintHide(*this);
      return;
    case n::kBalloonTimeout:
      if (OnBalloonHintTimeout) OnBalloonHintTimeout(*this);
      return;
    case n::kBalloonUserClick:
      if (OnBalloonHintClick) OnBalloonHintClick(*this);
      return;
    default:
      break;
  }
  if (!enabled_) return;
  const auto alive = lifetime_.Token();
  switch (notification) {
    case n::kMouseMove:
      if (wantEnterExitEvents_ && exited_) {
        exited_ = false;
        MouseEnter();
        if (alive.expired()) return;
      }
      lastMove_ = Cursor();
      MouseMove();
      return;
    case n::kLButtonDown:
      if (OnDblClick) {
        clickTimer_->SetInterval(shell_.DoubleClickTime());
        clickTimer_->Start();
      }
      clickStarted_ = true;
      MouseDown(TMouseButton::mbLeft);
      if (alive.expired()) return;
      if (leftPopup_) PopupMenuAtCursor();
      return;
    case n::kLButtonUp: {
      const bool started = clickStarted_;
      clickStarted_ = false;
      if (started) clickReady_ = true;
      if (started && !clickTimer_->Running()) {
        clickReady_ = false;
        Click();
        if (alive.expired()) return;
      }
      MouseUp(TMouseButton::mbLeft);
      return;
    }
    case n::kLButtonDblClk: {
      clickReady_ = false;
      doubleClick_ = true;
      DblClick();
      if (alive.expired()) return;
      if (!popupMenu_ || !popupMenu_->AutoPopup() || leftPopup_) return;
      int found = -1;
      for (int i = popupMenu_->ItemCount() - 1; i >= 0; --i)
        if (popupMenu_->ItemDefault(i)) found = i;
      if (found >= 0) popupMenu_->ClickItem(found);
      return;
    }
    case n::kRButtonDown:
      MouseDown(TMouseButton::mbRight);
      if (alive.expired()) return;
      PopupMenuAtCursor();
      return;
    case n::kRButtonUp:
      if (iconBehavior_ == 0) MouseUp(TMouseButton::mbRight);
      return;
    case n::kContextMenu:
    case n::kSelect:
    case n::kKeySelect:
      if (iconBehavior_ == 1) MouseUp(TMouseButton::mbRight);
      return;
    case n::kMButtonDown:
      MouseDown(TMouseButton::mbMiddle);
      return;
    case n::kMButtonUp:
      MouseUp(TMouseButton::mbMiddle);
      return;
    default:
      return;
  }
}

// --- TTrayIcon: timers ------------------------------------------------------

void TTrayIcon::CycleTick() {
  if (!iconList_) return;
  const int count = iconList_->Count();
  if (count <= 0) return;
  if (iconIndex_ >= count) iconIndex_ = count - 1;
  const int next = iconIndex_ >= count - 1 ? 0 : iconIndex_ + 1;
  SetIcon(iconList_->Image(iconIndex_));
  const auto alive = lifetime_.Token();
  DoCycle(next);
  if (alive.expired()) return;
  // The handler may have changed the list.
  if (!iconList_ || iconList_->Count() <= 0) return;
  SetIconIndex(iconIndex_ >= iconList_->Count() - 1 ? 0 : iconIndex_ + 1);
}

void TTrayIcon::ClickTick() {
  clickTimer_->Stop();
  const bool click = clickReady_ && !doubleClick_;
  doubleClick_ = false;
  if (click) {
    // A click is raised once; a later press held past the double-click time
    // must not raise it again before its release.
    clickReady_ = false;
    Click();
  }
}

void TTrayIcon::ExitTick() {
  if (exited_) return;
  TPoint at;
  if (!shell_.CursorPos(at) || at == lastMove_) return;
  exited_ = true;
  MouseExit();
}

// --- TTrayIcon: dispatchers -------------------------------------------------

void TTrayIcon::Click() {
  if (OnClick) OnClick(*this);
}

void TTrayIcon::DblClick() {
  if (OnDblClick) OnDblClick(*this);
}

void TTrayIcon::DoCycle(int nextIndex) {
  if (OnCycle) OnCycle(*this, nextIndex);
}

TShiftState TTrayIcon::ButtonShift(TMouseButton button) const {
  return KeyShift() | (button == TMouseButton::mbLeft    ? ssLeft
                       : button == TMouseButton::mbRight ? ssRight
                                                         : ssMiddle);
}

void TTrayIcon::MouseDown(TMouseButton button) {
  if (!OnMouseDown) return;
  const TPoint at = Cursor();
  OnMouseDown(*this, button, ButtonShift(button), at.x, at.y);
}

void TTrayIcon::MouseUp(TMouseButton button) {
  if (!OnMouseUp) return;
  const TPoint at = Cursor();
  OnMouseUp(*this, button, ButtonShift(button), at.x, at.y);
}

void TTrayIcon::MouseMove() {
  if (!OnMouseMove) return;
  const TPoint at = Cursor();
  OnMouseMove(*this, KeyShift(), at.x, at.y);
}

void TTrayIcon::MouseEnter() {
  if (wantEnterExitEvents_ && OnMouseEnter) OnMouseEnter(*this);
}

void TTrayIcon::MouseExit() {
  if (wantEnterExitEvents_ && OnMouseExit) OnMouseExit(*this);
}

void TTrayIcon::DoMinimizeToTray() {
  HideMainWindow();
  SetIconVisible(true);
}

// --- TTrayIcon: hooks -------------------------------------------------------

void TTrayIcon::ApplicationMinimized() {
  if (minimizeToTray_) DoMinimizeToTray();
}

void TTrayIcon::ApplicationPositionChanged() {
  if (!firstPositionChange_) return;
  TrayWindow* mainForm = application_.MainForm();
  if (!mainForm) return;
  firstPositionChange_ = false;
  if (!mainForm->IsMdiFrame()) return;
  const std::optional<bool> showMainForm = AskShowMainForm();
  if (showMainForm && !*showMainForm) HideTaskbarButton();
}

std::optional<bool> TTrayIcon::AskShowMainForm() {
  bool showMainForm = true;
  if (OnStartup) {
    const auto alive = lifetime_.Token();
    OnStartup(*this, showMainForm);
    if (alive.expired()) return std::nullopt;
  }
  return showMainForm;
}

void TTrayIcon::ApplicationRestoreCommand() {
  if (TrayWindow* mainForm = application_.MainForm()) mainForm->SetVisible(true);
}

void TTrayIcon::TaskbarCreated() {
  if (iconVisible_) AddIcon();
}

void TTrayIcon::OwnerShown() {
  application_.BringToFront();
  owner_->BringToFront();
}

bool TTrayIcon::OwnerHiddenForMinimize() {
  if (application_.Terminating()) return false;
  return MinimizeFromOwner();
}

bool TTrayIcon::OwnerMinimizeCommand() {
  return MinimizeFromOwner();
}

bool TTrayIcon::MinimizeFromOwner() {
  if (!minimizeToTray_ || !OnMinimizeToTray) return false;
  const auto alive = lifetime_.Token();
  OnMinimizeToTray(*this);
  if (!alive.expired()) DoMinimizeToTray();
  return true;
}

}  // namespace parlumo
