#include "platform/qt/QtTrayDBus.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QGuiApplication>
#include <QImage>
#include <QVariantMap>
#include <QtEndian>
#include <utility>

#include "runtime/DesktopProgram.h"

namespace parlumo {

namespace tray_detail {

// One image of the a(iiay) icon lists: width, height, ARGB32 pixels in network
// byte order.
struct IconPixmap {
  int width = 0;
  int height = 0;
  QByteArray argb;
};

// The (sa(iiay)ss) tool tip: icon name, icon, title, text.
struct ToolTip {
  QString iconName;
  QList<IconPixmap> icon;
  QString title;
  QString text;
};

QDBusArgument& operator<<(QDBusArgument& out, const IconPixmap& pixmap) {
  out.beginStructure();
  out << pixmap.width << pixmap.height << pixmap.argb;
  out.endStructure();
  return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, IconPixmap& pixmap) {
  in.beginStructure();
  in >> pixmap.width >> pixmap.height >> pixmap.argb;
  in.endStructure();
  return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const ToolTip& tip) {
  out.beginStructure();
  out << tip.iconName << tip.icon << tip.title << tip.text;
  out.endStructure();
  return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, ToolTip& tip) {
  in.beginStructure();
  in >> tip.iconName >> tip.icon >> tip.title >> tip.text;
  in.endStructure();
  return in;
}

}  // namespace tray_detail

using tray_detail::IconPixmap;
using tray_detail::ToolTip;

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");
const QString kNotificationsPath = QStringLiteral("/org/freedesktop/Notifications");
// The desktop entry the program installs (share/applications/parlumo.desktop).
const QString kDesktopEntry = QStringLiteral("parlumo");
const QString kDefaultAction = QStringLiteral("default");

// Reasons of NotificationClosed.
constexpr uint kClosedByCall = 3;

void RegisterTypes() {
  static const bool done = [] {
    qDBusRegisterMetaType<IconPixmap>();
    qDBusRegisterMetaType<QList<IconPixmap>>();
    qDBusRegisterMetaType<ToolTip>();
    return true;
  }();
  (void)done;
}

QList<IconPixmap> PixmapsOf(const QIcon& icon) {
  QList<IconPixmap> pixmaps;
  if (icon.isNull()) return pixmaps;
  for (const int size : {16, 22, 24, 32, 48}) {
    const QImage image =
        icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) continue;
    IconPixmap pixmap{image.width(), image.height(), QByteArray()};
    pixmap.argb.resize(static_cast<qsizetype>(image.width()) * image.height() * 4);
    char* out = pixmap.argb.data();
    for (int y = 0; y < image.height(); ++y) {
      const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
      for (int x = 0; x < image.width(); ++x) {
        qToBigEndian(line[x], out);
        out += 4;
      }
    }
    pixmaps.push_back(std::move(pixmap));
  }
  return pixmaps;
}

const char kItemIntrospection[] = R"xml(  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="OverlayIconName" type="s" access="read"/>
    <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionIconName" type="s" access="read"/>
    <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionMovieName" type="s" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
    <method name="ProvideXdgActivationToken"><arg name="token" type="s" direction="in"/></method>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewAttentionIcon"/>
    <signal name="NewOverlayIcon"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
  </interface>
)xml";

}  // namespace

bool UsesDBusTray() {
  return QGuiApplication::platformName() != QLatin1String("xcb");
}

bool StatusNotifierWatcherPresent() {
  const QDBusConnectionInterface* daemon = QDBusConnection::sessionBus().interface();
  return daemon && daemon->isServiceRegistered(kWatcherService).value();
}

bool NotificationServerPresent() {
  const QDBusConnectionInterface* daemon = QDBusConnection::sessionBus().interface();
  if (!daemon) return false;
  if (daemon->isServiceRegistered(kNotifications).value()) return true;
  return daemon->activatableServiceNames().value().contains(kNotifications);
}

// --- StatusNotifierItem -----------------------------------------------------

// The item's object on its connection: its properties, methods and signals,
// answered by hand (the interface has types Qt's adaptors would need moc and
// registered structures for anyway).
class StatusNotifierItem::Object final : public QDBusVirtualObject {
 public:
  explicit Object(ActivationHandler onActivated)
      : connectionName_(QStringLiteral("parlumo-tray-%1").arg(++instances_)),
        connection_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName_)),
        watcher_(kWatcherService, connection_, QDBusServiceWatcher::WatchForRegistration),
        onActivated_(std::move(onActivated)) {
    RegisterTypes();
    connection_.registerVirtualObject(kItemPath, this);
    // A watcher that comes (the tray host starts, or starts again) learns of
    // the item anew.
    QObject::connect(&watcher_, &QDBusServiceWatcher::serviceRegistered, this,
                     [this](const QString&) { RegisterWithWatcher(); });
    RegisterWithWatcher();
  }

  ~Object() override {
    connection_.unregisterObject(kItemPath);
    QDBusConnection::disconnectFromBus(connectionName_);
  }

  QString Service() const { return connection_.baseService(); }

  void SetIcon(const QIcon& icon) {
    pixmaps_ = PixmapsOf(icon);
    Emit(QStringLiteral("NewIcon"));
  }

  void SetToolTip(const QString& tip) {
    if (tip == tip_) return;
    tip_ = tip;
    Emit(QStringLiteral("NewToolTip"));
  }

  QString introspect(const QString& path) const override {
    return path == kItemPath ? QString::fromLatin1(kItemIntrospection) : QString();
  }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    const QString member = message.member();
    if (message.interface() == kPropertiesInterface) {
      const QVariantList arguments = message.arguments();
      if (member == QLatin1String("GetAll")) {
        connection.send(message.createReply(QVariant(Properties())));
        return true;
      }
      if (member == QLatin1String("Get") && arguments.size() == 2) {
        const QVariantMap properties = Properties();
        const auto found = properties.find(arguments.at(1).toString());
        if (found == properties.end()) {
          connection.send(message.createErrorReply(QDBusError::UnknownProperty,
                                                   QStringLiteral("No such property")));
        } else {
          connection.send(message.createReply(QVariant::fromValue(QDBusVariant(found.value()))));
        }
        return true;
      }
      connection.send(message.createErrorReply(QDBusError::PropertyReadOnly,
                                               QStringLiteral("The properties are read-only")));
      return true;
    }
    if (!message.interface().isEmpty() && message.interface() != kItemInterface) return false;
    QSystemTrayIcon::ActivationReason reason = QSystemTrayIcon::Unknown;
    if (member == QLatin1String("Activate")) {
      reason = QSystemTrayIcon::Trigger;
    } else if (member == QLatin1String("SecondaryActivate")) {
      reason = QSystemTrayIcon::MiddleClick;
    } else if (member == QLatin1String("ContextMenu")) {
      reason = QSystemTrayIcon::Context;
    } else if (member != QLatin1String("Scroll") &&
               member != QLatin1String("ProvideXdgActivationToken")) {
      return false;
    }
    connection.send(message.createReply());
    if (reason == QSystemTrayIcon::Unknown || !onActivated_) return true;
    const QVariantList arguments = message.arguments();
    QPoint at;
    if (arguments.size() == 2) at = QPoint(arguments.at(0).toInt(), arguments.at(1).toInt());
    onActivated_(reason, at);
    return true;
  }

 private:
  QVariantMap Properties() const {
    QVariantMap properties;
    const QString title = QString::fromLatin1(kProgramDisplayName);
    properties.insert(QStringLiteral("Category"), QStringLiteral("ApplicationStatus"));
    properties.insert(QStringLiteral("Id"), QCoreApplication::applicationName());
    properties.insert(QStringLiteral("Title"), title);
    properties.insert(QStringLiteral("Status"), QStringLiteral("Active"));
    properties.insert(QStringLiteral("WindowId"), 0);
    properties.insert(QStringLiteral("IconName"), QString());
    properties.insert(QStringLiteral("IconPixmap"), QVariant::fromValue(pixmaps_));
    properties.insert(QStringLiteral("OverlayIconName"), QString());
    properties.insert(QStringLiteral("OverlayIconPixmap"),
                      QVariant::fromValue(QList<IconPixmap>()));
    properties.insert(QStringLiteral("AttentionIconName"), QString());
    properties.insert(QStringLiteral("AttentionIconPixmap"),
                      QVariant::fromValue(QList<IconPixmap>()));
    properties.insert(QStringLiteral("AttentionMovieName"), QString());
    properties.insert(
        QStringLiteral("ToolTip"),
        QVariant::fromValue(ToolTip{QString(), {}, tip_.isEmpty() ? title : tip_, QString()}));
    // The menu is the program's own popup, shown on ContextMenu.
    properties.insert(QStringLiteral("ItemIsMenu"), false);
    properties.insert(QStringLiteral("Menu"),
                      QVariant::fromValue(QDBusObjectPath(QStringLiteral("/NO_DBUSMENU"))));
    return properties;
  }

  void RegisterWithWatcher() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kWatcherService, kWatcherPath, kWatcherService,
                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << connection_.baseService();
    // Without a watcher the call fails; the next watcher gets it again.
    connection_.send(call);
  }

  void Emit(const QString& signal) {
    connection_.send(QDBusMessage::createSignal(kItemPath, kItemInterface, signal));
  }

  static inline unsigned instances_ = 0;
  QString connectionName_;
  QDBusConnection connection_;
  QDBusServiceWatcher watcher_;
  ActivationHandler onActivated_;
  QList<IconPixmap> pixmaps_;
  QString tip_;
};

StatusNotifierItem::StatusNotifierItem(ActivationHandler onActivated)
    : object_(std::make_unique<Object>(std::move(onActivated))) {}

StatusNotifierItem::~StatusNotifierItem() = default;

void StatusNotifierItem::SetIcon(const QIcon& icon) {
  object_->SetIcon(icon);
}

void StatusNotifierItem::SetToolTip(const QString& tip) {
  object_->SetToolTip(tip);
}

QString StatusNotifierItem::Service() const {
  return object_->Service();
}

// --- BalloonNotifier --------------------------------------------------------

// The notification being shown and the server's signals about it (QtDBus
// delivers signals to slots only).
class BalloonNotifier::Sink final : public QObject {
  Q_OBJECT

 public:
  Sink(std::function<void()> onClicked, std::function<void()> onClosed)
      : bus_(QDBusConnection::sessionBus()),
        onClicked_(std::move(onClicked)),
        onClosed_(std::move(onClosed)) {
    bus_.connect(kNotifications, kNotificationsPath, kNotifications,
                 QStringLiteral("NotificationClosed"), this, SLOT(Closed(QDBusMessage)));
    bus_.connect(kNotifications, kNotificationsPath, kNotifications,
                 QStringLiteral("ActionInvoked"), this, SLOT(Invoked(QDBusMessage)));
  }

  ~Sink() override {
    bus_.disconnect(kNotifications, kNotificationsPath, kNotifications,
                    QStringLiteral("NotificationClosed"), this, SLOT(Closed(QDBusMessage)));
    bus_.disconnect(kNotifications, kNotificationsPath, kNotifications,
                    QStringLiteral("ActionInvoked"), this, SLOT(Invoked(QDBusMessage)));
  }

  void Show(const QString& title, const QString& text, QSystemTrayIcon::MessageIcon icon,
            int timeoutMs) {
    QString iconName;
    uchar urgency = 1;
    switch (icon) {
      case QSystemTrayIcon::Information:
        iconName = QStringLiteral("dialog-information");
        break;
      case QSystemTrayIcon::Warning:
        iconName = QStringLiteral("dialog-warning");
        break;
      case QSystemTrayIcon::Critical:
        iconName = QStringLiteral("dialog-error");
        urgency = 2;
        break;
      default:
        break;
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(urgency));
    hints.insert(QStringLiteral("desktop-entry"), kDesktopEntry);
    QDBusMessage call = QDBusMessage::createMethodCall(kNotifications, kNotificationsPath,
                                                       kNotifications, QStringLiteral("Notify"));
    const QString application = QString::fromLatin1(kProgramDisplayName);
    // The new balloon takes the place of the one shown. The text comes from what
    // the user marked: a marked "<a href=...>" must not become a link.
    call << application << id_ << iconName << title << body_.Of(text)
         << QStringList{kDefaultAction, QStringLiteral("Open")} << hints << timeoutMs;
    const unsigned round = ++calls_;
    closeWhenKnown_ = false;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, round](QDBusPendingCallWatcher* finished) {
              finished->deleteLater();
              if (round != calls_) return;
              const QDBusPendingReply<uint> reply = *finished;
              if (reply.isError()) return;
              id_ = reply.value();
              if (closeWhenKnown_) Close();
            });
  }

  void Close() {
    if (id_ == 0) {
      closeWhenKnown_ = true;
      return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        kNotifications, kNotificationsPath, kNotifications, QStringLiteral("CloseNotification"));
    call << id_;
    bus_.send(call);
    id_ = 0;
    closeWhenKnown_ = false;
  }

 public slots:
  void Closed(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || id_ == 0 || arguments.at(0).toUInt() != id_) return;
    id_ = 0;
    if (arguments.at(1).toUInt() == kClosedByCall) return;
    const auto onClosed = onClosed_;
    if (onClosed) onClosed();
  }

  void Invoked(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || id_ == 0 || arguments.at(0).toUInt() != id_) return;
    const auto onClicked = onClicked_;
    if (onClicked) onClicked();
  }

 private:
  QDBusConnection bus_;
  std::function<void()> onClicked_;
  std::function<void()> onClosed_;
  uint id_ = 0;  // the notification shown; 0: none, or its id not known yet
  unsigned calls_ = 0;
  bool closeWhenKnown_ = false;
  NotificationBody body_;
};

QString NotificationBody::Of(const QString& text) {
  return ServerReadsMarkup() ? text.toHtmlEscaped() : text;
}

bool NotificationBody::ServerReadsMarkup() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  const QString owner = bus.interface()->serviceOwner(kNotifications).value();
  if (owner.isEmpty() || owner == capabilitiesOf_) return readsMarkup_;
  capabilitiesOf_ = owner;
  const QDBusMessage reply =
      bus.call(QDBusMessage::createMethodCall(kNotifications, kNotificationsPath, kNotifications,
                                              QStringLiteral("GetCapabilities")),
               QDBus::Block, 1000);
  readsMarkup_ = reply.type() != QDBusMessage::ReplyMessage ||
                 reply.arguments().value(0).toStringList().contains(QStringLiteral("body-markup"));
  return readsMarkup_;
}

BalloonNotifier::BalloonNotifier(std::function<void()> onClicked, std::function<void()> onClosed)
    : sink_(std::make_unique<Sink>(std::move(onClicked), std::move(onClosed))) {}

BalloonNotifier::~BalloonNotifier() = default;

void BalloonNotifier::Show(const QString& title, const QString& text,
                           QSystemTrayIcon::MessageIcon icon, int timeoutMs) {
  sink_->Show(title, text, icon, timeoutMs);
}

void BalloonNotifier::Close() {
  sink_->Close();
}

}  // namespace parlumo

#include "QtTrayDBus.moc"
