#include "platform/qt/QtTray.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEvent>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStyleHints>
#include <QTimer>
#include <QWidget>
#include <QWindowStateChangeEvent>
#include <algorithm>

#include "desktop/VirtualKeyCodes.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtText.h"
#include "platform/qt/QtTrayDBus.h"

namespace parlumo {

namespace {

// Icons go away through the event loop: the shell may be told to delete an
// icon from inside that icon's own activation signal.
struct DeleteLater {
  void operator()(QSystemTrayIcon* icon) const {
    icon->hide();
    icon->deleteLater();
  }
};

// Shown while a record carries no usable image: a tray icon without an image
// is not shown at all.
QIcon FallbackIcon() {
  const QIcon application = QApplication::windowIcon();
  if (!application.isNull()) return application;
  QPixmap pixmap(22, 22);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(QColor(0x2f, 0x6f, 0xb5));
  painter.setPen(Qt::NoPen);
  painter.drawEllipse(pixmap.rect().adjusted(1, 1, -1, -1));
  return QIcon(pixmap);
}

QSystemTrayIcon::MessageIcon MessageIconOf(std::uint32_t infoFlags) {
  switch (static_cast<TBalloonIconKind>(infoFlags & 0x0F)) {
    case TBalloonIconKind::bkInfo:
      return QSystemTrayIcon::Information;
    case TBalloonIconKind::bkWarning:
      return QSystemTrayIcon::Warning;
    case TBalloonIconKind::bkError:
      return QSystemTrayIcon::Critical;
    default:
      return QSystemTrayIcon::NoIcon;
  }
}

// A balloon without a timeout stays as long as the shell's shortest one.
constexpr int kDefaultBalloonMs = 10000;

}  // namespace

struct QtTrayShell::Entry {
  // The icon: a QSystemTrayIcon on X11, else a status-notifier item and the
  // balloons' notifications.
  std::unique_ptr<QSystemTrayIcon, DeleteLater> icon;
  std::unique_ptr<StatusNotifierItem> item;
  std::unique_ptr<BalloonNotifier> notifier;
  std::string itemImage;  // the image the item shows, as the record gave it
  TTrayIconHandler* window = nullptr;
  unsigned callbackMessage = kTrayCallbackMessage;
  std::uint32_t version = 0;
  bool balloonShown = false;
  // Counts balloons so that the timeout of one already replaced is dropped.
  unsigned balloonGeneration = 0;
  // Trays that speak the status-notifier protocol report every click as a
  // single activation, XEmbed trays a double-click as well: a second click
  // within the double-click time is the double-click, and a double-click
  // activation right after it is the same one again.
  QElapsedTimer lastClick;        // invalid: no first click pending
  QElapsedTimer doubleDelivered;  // invalid: none delivered from a second click
};

bool TrayMessagesAvailable() {
  if (UsesDBusTray()) return NotificationServerPresent();
  return QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages();
}

bool TrayAvailable() {
  if (UsesDBusTray()) return StatusNotifierWatcherPresent();
  return QSystemTrayIcon::isSystemTrayAvailable();
}

// --- QtTrayShell ------------------------------------------------------------

QtTrayShell::QtTrayShell(QObject* parent) : QObject(parent) {}

QtTrayShell::~QtTrayShell() = default;

bool QtTrayShell::NotifyIcon(TrayCommand command, const TrayIconData& data) {
  const auto found = entries_.find(data.id);
  switch (command) {
    case TrayCommand::Add: {
      Entry* entry = found == entries_.end() ? nullptr : found->second.get();
      if (!entry) {
        auto created = std::make_unique<Entry>();
        const std::uintptr_t id = data.id;
        if (UsesDBusTray()) {
          // The bus calls these from its dispatch of the item's and the
          // notifier's own objects, which the handlers may delete: the work
          // is posted.
          created->item = std::make_unique<StatusNotifierItem>(
              [this, id](QSystemTrayIcon::ActivationReason reason, QPoint at) {
                hostPoint_ = at;
                QTimer::singleShot(0, this, [this, id, reason] { Activated(id, reason); });
              });
          created->notifier = std::make_unique<BalloonNotifier>(
              [this, id] { PostBalloonEnded(id, tray_notification::kBalloonUserClick); },
              [this, id] { PostBalloonEnded(id, tray_notification::kBalloonTimeout); });
        } else {
          created->icon.reset(new QSystemTrayIcon());
          connect(created->icon.get(), &QSystemTrayIcon::activated, this,
                  [this, id](QSystemTrayIcon::ActivationReason reason) { Activated(id, reason); });
          connect(created->icon.get(), &QSystemTrayIcon::messageClicked, this,
                  [this, id] { BalloonEnded(id, tray_notification::kBalloonUserClick); });
        }
        entry = created.get();
        entries_[id] = std::move(created);
      }
      const bool applied = Apply(*entry, data, (data.flags & kNifInfo) != 0);
      if (entry->icon) entry->icon->show();
      // Without a notification area the icon waits for one, as the shell's
      // add would fail; Qt embeds it as soon as a tray host appears, and the
      // status-notifier item registers with a watcher as soon as one appears.
      return applied && TrayAvailable();
    }
    case TrayCommand::Modify:
      if (found == entries_.end()) return false;
      return Apply(*found->second, data, (data.flags & kNifInfo) != 0);
    case TrayCommand::Delete:
      if (found == entries_.end()) return false;
      entries_.erase(found);
      return true;
    case TrayCommand::SetVersion:
      if (found == entries_.end()) return false;
      found->second->version = data.version;
      return true;
  }
  return false;
}

bool QtTrayShell::Apply(Entry& entry, const TrayIconData& data, bool withBalloon) {
  entry.window = data.window;
  entry.callbackMessage = data.callbackMessage;
  // The item tells its host of every new image: only a changed one is sent.
  if (!entry.item || entry.itemImage != data.icon.data || entry.itemImage.empty()) {
    QPixmap pixmap;
    if (!data.icon.data.empty())
      pixmap.loadFromData(reinterpret_cast<const uchar*>(data.icon.data.data()),
                          static_cast<uint>(data.icon.data.size()));
    const QIcon icon = pixmap.isNull() ? FallbackIcon() : QIcon(pixmap);
    if (entry.item) {
      entry.item->SetIcon(icon);
      entry.itemImage = data.icon.data;
    } else {
      entry.icon->setIcon(icon);
    }
  }
  if (entry.item)
    entry.item->SetToolTip(FromUtf8(data.tip));
  else
    entry.icon->setToolTip(FromUtf8(data.tip));
  if (!withBalloon) return true;

  const std::uintptr_t id = data.id;
  const unsigned generation = ++entry.balloonGeneration;
  if (data.info.empty()) {
    // An empty balloon text removes the balloon being shown. Our own
    // notification is closed. On X11 Qt can take back only the balloon it
    // draws itself at an embedded icon; the desktop notification of Qt's
    // status-notifier tray (a KDE X11 session) stays until it times out, and
    // an empty message there would be a notification of its own.
    if (!entry.balloonShown) return true;
    entry.balloonShown = false;
    if (entry.notifier)
      entry.notifier->Close();
    else if (!entry.icon->geometry().isEmpty())
      entry.icon->showMessage(QString(), QString(), QSystemTrayIcon::NoIcon, 1);
    QTimer::singleShot(0, this, [this, id] { Deliver(id, {tray_notification::kBalloonHide}); });
    return true;
  }
  // Nothing would show it: the balloon fails, as the shell's would.
  if (!TrayMessagesAvailable()) return false;
  const int timeout = data.timeout ? static_cast<int>(std::min<std::uint32_t>(data.timeout, 600000))
                                   : kDefaultBalloonMs;
  // The text comes from what the user marked: it is shown as it is, never read as
  // markup (a marked "<a href=...>" must not become a link).
  const QString title = FromUtf8(data.infoTitle);
  const QString text = FromUtf8(data.info);
  if (entry.notifier) {
    entry.notifier->Show(title, text, MessageIconOf(data.infoFlags), timeout);
  } else if (!entry.icon->geometry().isEmpty()) {
    // At an icon embedded in an XEmbed tray Qt draws the balloon itself, in
    // labels that show plain text.
    entry.icon->showMessage(title, text, MessageIconOf(data.infoFlags), timeout);
  } else {
    // Qt's own status-notifier tray (a KDE X11 session): Qt sends the desktop
    // notification itself, with the text as its body.
    entry.icon->showMessage(title, notificationBody_.Of(text), MessageIconOf(data.infoFlags),
                            timeout);
  }
  entry.balloonShown = true;
  // The shell reports the balloon after the call that showed it.
  QTimer::singleShot(0, this, [this, id] { Deliver(id, {tray_notification::kBalloonShow}); });
  QTimer::singleShot(timeout, this, [this, id, generation] {
    const auto at = entries_.find(id);
    if (at == entries_.end() || at->second->balloonGeneration != generation) return;
    BalloonEnded(id, tray_notification::kBalloonTimeout);
  });
  return true;
}

void QtTrayShell::BalloonEnded(std::uintptr_t id, unsigned notification) {
  const auto at = entries_.find(id);
  if (at == entries_.end() || !at->second->balloonShown) return;
  at->second->balloonShown = false;
  ++at->second->balloonGeneration;
  Deliver(id, {notification});
}

void QtTrayShell::PostBalloonEnded(std::uintptr_t id, unsigned notification) {
  const auto at = entries_.find(id);
  if (at == entries_.end() || !at->second->balloonShown) return;
  const unsigned generation = at->second->balloonGeneration;
  QTimer::singleShot(0, this, [this, id, notification, generation] {
    const auto still = entries_.find(id);
    if (still == entries_.end() || still->second->balloonGeneration != generation) return;
    BalloonEnded(id, notification);
  });
}

void QtTrayShell::Activated(std::uintptr_t id, QSystemTrayIcon::ActivationReason reason) {
  namespace n = tray_notification;
  const auto at = entries_.find(id);
  if (at == entries_.end()) return;
  Entry& entry = *at->second;
  const qint64 doubleClickMs = DoubleClickTime();
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      if (entry.lastClick.isValid() && entry.lastClick.elapsed() <= doubleClickMs) {
        entry.lastClick.invalidate();
        entry.doubleDelivered.start();
        Deliver(id, {n::kLButtonDblClk, n::kLButtonUp});
      } else {
        entry.lastClick.start();
        Deliver(id, {n::kLButtonDown, n::kLButtonUp});
      }
      return;
    case QSystemTrayIcon::DoubleClick:
      if (entry.doubleDelivered.isValid() && entry.doubleDelivered.elapsed() <= doubleClickMs) {
        entry.doubleDelivered.invalidate();
        return;
      }
      entry.lastClick.invalidate();
      Deliver(id, {n::kLButtonDblClk, n::kLButtonUp});
      return;
    case QSystemTrayIcon::Context:
      if (at->second->version >= 3)
        Deliver(id, {n::kRButtonDown, n::kRButtonUp, n::kContextMenu});
      else
        Deliver(id, {n::kRButtonDown, n::kRButtonUp});
      return;
    case QSystemTrayIcon::MiddleClick:
      Deliver(id, {n::kMButtonDown, n::kMButtonUp});
      return;
    default:
      return;
  }
}

void QtTrayShell::Deliver(std::uintptr_t id, std::initializer_list<unsigned> notifications) {
  const QPointer<QtTrayShell> self(this);
  for (const unsigned notification : notifications) {
    const auto at = entries_.find(id);
    if (at == entries_.end()) return;
    // The handler the record named must still be the process's handler; the
    // component may be gone, which the handler notices by the id.
    const std::shared_ptr<TTrayIconHandler> handler = TTrayIconHandler::Current();
    if (!handler || handler.get() != at->second->window) return;
    handler->WindowProc(at->second->callbackMessage, id, static_cast<std::intptr_t>(notification));
    if (!self) return;
  }
}

bool QtTrayShell::CursorPos(TPoint& at) {
  // A Wayland client learns the pointer's place only over its own windows;
  // the tray host says where the icon was clicked.
  if (hostPoint_ && !hostPoint_->isNull() && UsesDBusTray()) {
    at = TPoint{hostPoint_->x(), hostPoint_->y()};
    return true;
  }
  const QPoint pos = QCursor::pos();
  at = TPoint{pos.x(), pos.y()};
  return true;
}

std::int16_t QtTrayShell::AsyncKeyState(int virtualKey) {
  bool down = false;
  switch (virtualKey) {
    case 0x01:  // left mouse button
      down = QGuiApplication::mouseButtons() & Qt::LeftButton;
      break;
    case 0x02:  // right mouse button
      down = QGuiApplication::mouseButtons() & Qt::RightButton;
      break;
    case 0x04:  // middle mouse button
      down = QGuiApplication::mouseButtons() & Qt::MiddleButton;
      break;
    case kVkShift:
      down = QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
      break;
    case kVkControl:
      down = QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;
      break;
    case kVkMenu:
      down = QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier;
      break;
    default:
      break;
  }
  return down ? static_cast<std::int16_t>(-0x8000) : std::int16_t{0};
}

unsigned QtTrayShell::DoubleClickTime() {
  return static_cast<unsigned>(
      std::max(0, QGuiApplication::styleHints()->mouseDoubleClickInterval()));
}

QSystemTrayIcon* QtTrayShell::TrayIconOf(std::uintptr_t id) const {
  const auto at = entries_.find(id);
  return at == entries_.end() ? nullptr : at->second->icon.get();
}

// --- QtTrayWindow -----------------------------------------------------------

QtTrayWindow::QtTrayWindow(QWidget* widget) : widget_(widget) {
  if (widget_) widget_->installEventFilter(this);
}

bool QtTrayWindow::Minimized() const {
  return widget_ && widget_->isMinimized();
}

void QtTrayWindow::SetNormal() {
  if (widget_) widget_->setWindowState(widget_->windowState() & ~Qt::WindowMinimized);
}

void QtTrayWindow::SetVisible(bool visible) {
  if (widget_) widget_->setVisible(visible);
}

void QtTrayWindow::BringToFront() {
  if (!widget_) return;
  widget_->raise();
  widget_->activateWindow();
}

void QtTrayWindow::PostNull() {
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
    dispatcher->wakeUp();
}

bool QtTrayWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == widget_ && event->type() == QEvent::Show && hook_) hook_->OwnerShown();
  return false;
}

// --- QtTrayApplication ------------------------------------------------------

QtTrayApplication::QtTrayApplication() {
  if (QCoreApplication* app = QCoreApplication::instance())
    connect(app, &QCoreApplication::aboutToQuit, this, [this] { terminating_ = true; });
}

QtTrayApplication::~QtTrayApplication() {
  SetMainForm(nullptr);
}

void QtTrayApplication::SetMainForm(QWidget* mainForm) {
  if (mainForm_ && mainForm_->Widget()) mainForm_->Widget()->removeEventFilter(this);
  mainForm_.reset();
  if (!mainForm) return;
  mainForm_ = std::make_unique<QtTrayWindow>(mainForm);
  mainForm->installEventFilter(this);
}

TrayWindow* QtTrayApplication::MainForm() {
  return mainForm_ && mainForm_->Widget() ? mainForm_.get() : nullptr;
}

void QtTrayApplication::BringToFront() {
  if (TrayWindow* form = MainForm(); form && mainForm_->Widget()->isVisible()) form->BringToFront();
}

void QtTrayApplication::ProcessMessages() {
  QCoreApplication::processEvents();
}

void QtTrayApplication::Restore() {
  if (TrayWindow* form = MainForm(); form && form->Minimized()) form->SetNormal();
}

bool QtTrayApplication::Terminating() const {
  return terminating_ || QCoreApplication::closingDown();
}

bool QtTrayApplication::TaskbarButtonVisible() const {
  return mainForm_ && mainForm_->Widget() && mainForm_->Widget()->isVisible();
}

void QtTrayApplication::HideTaskbarButton() {
  if (mainForm_ && mainForm_->Widget()) mainForm_->Widget()->hide();
}

void QtTrayApplication::AddHook(TrayApplicationHook* hook) {
  if (std::find(hooks_.begin(), hooks_.end(), hook) == hooks_.end()) hooks_.push_back(hook);
}

void QtTrayApplication::RemoveHook(TrayApplicationHook* hook) {
  hooks_.erase(std::remove(hooks_.begin(), hooks_.end(), hook), hooks_.end());
}

template <typename Call>
void QtTrayApplication::EachHook(Call call) {
  // A hook may remove itself or others while it runs.
  const std::vector<TrayApplicationHook*> hooks = hooks_;
  for (TrayApplicationHook* hook : hooks)
    if (std::find(hooks_.begin(), hooks_.end(), hook) != hooks_.end()) call(*hook);
}

bool QtTrayApplication::eventFilter(QObject* watched, QEvent* event) {
  if (!mainForm_ || watched != mainForm_->Widget()) return false;
  if (event->type() == QEvent::WindowStateChange) {
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    const bool was = change->oldState() & Qt::WindowMinimized;
    const bool is = mainForm_->Widget()->windowState() & Qt::WindowMinimized;
    if (!was && is) EachHook([](TrayApplicationHook& hook) { hook.ApplicationMinimized(); });
    if (was && !is) EachHook([](TrayApplicationHook& hook) { hook.ApplicationRestoreCommand(); });
  } else if (event->type() == QEvent::Move) {
    EachHook([](TrayApplicationHook& hook) { hook.ApplicationPositionChanged(); });
  }
  return false;
}

// --- QtTrayMenu -------------------------------------------------------------

int QtTrayMenu::ItemCount() const {
  return menu_ ? static_cast<int>(menu_->actions().size()) : 0;
}

bool QtTrayMenu::ItemDefault(int index) const {
  if (!menu_ || index < 0 || index >= ItemCount()) return false;
  return menu_->actions().at(index) == menu_->defaultAction();
}

void QtTrayMenu::ClickItem(int index) {
  if (!menu_ || index < 0 || index >= ItemCount()) return;
  // A disabled item does nothing, as a click on it would.
  menu_->actions().at(index)->trigger();
}

void QtTrayMenu::Popup(TPoint at) {
  if (menu_) menu_->exec(QPoint(at.x, at.y));
}

}  // namespace parlumo
