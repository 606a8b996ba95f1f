#include "platform/qt/PortalShortcuts.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QObject>
#include <QTimer>
#include <QVariantMap>
#include <algorithm>
#include <utility>

#include "platform/x11/VirtualKeys.h"

// Xlib's macros (None, Bool, ...) clash with Qt's names: it comes last.
#include <X11/Xlib.h>

namespace parlumo {

namespace portal_detail {

// One element of the portal's a(sa{sv}) shortcut lists.
struct Shortcut {
  QString id;
  QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& out, const Shortcut& shortcut) {
  out.beginStructure();
  out << shortcut.id << shortcut.properties;
  out.endStructure();
  return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, Shortcut& shortcut) {
  in.beginStructure();
  in >> shortcut.id >> shortcut.properties;
  in.endStructure();
  return in;
}

// Receives the portal's signals (QtDBus delivers them to slots only) and
// hands them to the core.
class SignalSink final : public QObject {
  Q_OBJECT

 public:
  std::function<void(const QDBusMessage&)> onResponse;
  std::function<void(const QDBusMessage&)> onActivated;
  std::function<void(const QDBusMessage&)> onShortcutsChanged;

 public slots:
  void Response(const QDBusMessage& message) {
    if (onResponse) onResponse(message);
  }
  void Activated(const QDBusMessage& message) {
    if (onActivated) onActivated(message);
  }
  void ShortcutsChanged(const QDBusMessage& message) {
    if (onShortcutsChanged) onShortcutsChanged(message);
  }
};

}  // namespace portal_detail

using portal_detail::Shortcut;

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kSessionInterface = QStringLiteral("org.freedesktop.portal.Session");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// How long the factory waits for the portal's version (it may be started on
// demand by the bus).
constexpr int kVersionTimeoutMs = 5000;

void RegisterTypes() {
  static const bool done = [] {
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<QList<Shortcut>>();
    return true;
  }();
  (void)done;
}

// The a{sv} of a message argument, as QtDBus hands it to a QDBusMessage slot.
QVariantMap MapOf(const QVariant& value) {
  if (value.canConvert<QDBusArgument>()) return qdbus_cast<QVariantMap>(value);
  return value.toMap();
}

// An object path sent as o or as s (xdg-desktop-portal 1.16 sends the session
// handle as a string).
QString PathOf(const QVariant& value) {
  if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
    return value.value<QDBusObjectPath>().path();
  if (value.metaType() == QMetaType::fromType<QDBusVariant>())
    return PathOf(value.value<QDBusVariant>().variant());
  return value.toString();
}

// The shortcut list of a result or a signal; empty when it is missing or not
// a shortcut list.
QList<Shortcut> ShortcutsOf(const QVariant& value) {
  QList<Shortcut> shortcuts;
  if (value.canConvert<QDBusArgument>()) {
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentSignature() == QLatin1String("a(sa{sv})")) argument >> shortcuts;
  }
  return shortcuts;
}

// The part of the bus's unique name in request and session paths: ":1.42"
// gives "1_42".
QString SenderPart(const QDBusConnection& bus) {
  QString sender = bus.baseService();
  if (sender.startsWith(QLatin1Char(':'))) sender.remove(0, 1);
  sender.replace(QLatin1Char('.'), QLatin1Char('_'));
  return sender;
}

// Tokens are unique within this process, across platforms.
QString NextToken() {
  static unsigned counter = 0;
  return QStringLiteral("parlumo%1").arg(++counter);
}

}  // namespace

std::optional<std::string> PreferredTrigger(const HotKeyChord& chord) {
  if (chord.virtualKey == 0 || chord.virtualKey > 0xFF) return std::nullopt;
  const auto keysym = KeysymFromVirtualKey(static_cast<std::uint8_t>(chord.virtualKey));
  if (!keysym) return std::nullopt;
  const char* name = XKeysymToString(static_cast<KeySym>(*keysym));
  if (name == nullptr) return std::nullopt;
  std::string trigger;
  if (chord.modifiers & kModControl) trigger += "CTRL+";
  if (chord.modifiers & kModAlt) trigger += "ALT+";
  if (chord.modifiers & kModShift) trigger += "SHIFT+";
  trigger += name;
  return trigger;
}

// The registrations of all receivers, and the portal session that binds them.
// Receivers are identified by address; each holds at most one registration.
class PortalShortcuts::Core final : public std::enable_shared_from_this<Core> {
 public:
  Core(QDBusConnection bus, std::vector<ShortcutName> names)
      : bus_(std::move(bus)),
        names_(std::move(names)),
        portalWatcher_(kPortalService, bus_,
                       QDBusServiceWatcher::WatchForRegistration |
                           QDBusServiceWatcher::WatchForUnregistration) {
    RegisterTypes();
    if (QDBusConnectionInterface* daemon = bus_.interface())
      portalPresent_ = daemon->isServiceRegistered(kPortalService).value();
    canGrab_ = portalPresent_;
  }

  // Connects the signals; the core must be owned by a shared_ptr by then.
  void Start() {
    const std::weak_ptr<Core> weak = weak_from_this();
    sink_.onResponse = [weak](const QDBusMessage& message) {
      if (const auto self = weak.lock()) self->Response(message);
    };
    sink_.onActivated = [weak](const QDBusMessage& message) {
      if (const auto self = weak.lock()) self->Activated(message);
    };
    sink_.onShortcutsChanged = [weak](const QDBusMessage& message) {
      if (const auto self = weak.lock()) self->ShortcutsChanged(message);
    };
    bus_.connect(kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("Activated"),
                 &sink_, SLOT(Activated(QDBusMessage)));
    bus_.connect(kPortalService, kPortalPath, kShortcutsInterface,
                 QStringLiteral("ShortcutsChanged"), &sink_, SLOT(ShortcutsChanged(QDBusMessage)));
    QObject::connect(&portalWatcher_, &QDBusServiceWatcher::serviceRegistered, &sink_,
                     [weak](const QString&) {
                       if (const auto self = weak.lock()) self->PortalAppeared();
                     });
    QObject::connect(&portalWatcher_, &QDBusServiceWatcher::serviceUnregistered, &sink_,
                     [weak](const QString&) {
                       if (const auto self = weak.lock()) self->PortalVanished();
                     });
  }

  // The name of the next receiver.
  ShortcutName NextName() {
    const std::size_t index = receiversCreated_++;
    if (index < names_.size()) return names_[index];
    return ShortcutName{QStringLiteral("hotkey-%1").arg(index + 1),
                        QStringLiteral("Hotkey %1").arg(index + 1)};
  }

  bool Register(const void* owner, const ShortcutName& name, const HotKeyChord& chord,
                std::function<void()> onPress) {
    if (shutDown_ || !portalPresent_) {
      Release(owner);
      return false;
    }
    const auto trigger = PreferredTrigger(chord);
    if (!trigger) {
      Release(owner);
      return false;
    }
    for (const Entry& entry : entries_) {
      if (entry.owner != owner && entry.chord == chord) {
        Release(owner);
        return false;
      }
    }
    const auto mine = Find(owner);
    if (mine != entries_.end() && mine->chord == chord) return true;
    if (mine != entries_.end()) entries_.erase(mine);
    entries_.push_back(
        Entry{owner, name, chord, QString::fromStdString(*trigger), QString(), std::move(onPress)});
    ScheduleRound();
    return true;
  }

  void Release(const void* owner) {
    const auto mine = Find(owner);
    if (mine == entries_.end()) return;
    entries_.erase(mine);
    if (!shutDown_) ScheduleRound();
  }

  bool CanGrab() const { return canGrab_; }

  void SetOnCanGrabChange(std::function<void()> onChange) {
    onCanGrabChange_ = std::move(onChange);
  }

  // The platform goes: the session is closed; receivers that remain hold
  // nothing from now on.
  void Shutdown() {
    shutDown_ = true;
    onCanGrabChange_ = nullptr;
    AbandonRequest();
    CloseSession();
    entries_.clear();
    stage_ = Stage::Idle;
    sink_.onResponse = nullptr;
    sink_.onActivated = nullptr;
    sink_.onShortcutsChanged = nullptr;
  }

 private:
  struct Entry {
    const void* owner;
    ShortcutName name;
    HotKeyChord chord;
    QString preferredTrigger;
    // As the portal reported it for the current session; empty: not bound.
    QString trigger;
    std::function<void()> onPress;
  };

  // The round that binds the current set of registrations.
  enum class Stage {
    Idle,      // no round under way; session_, if any, holds the last set bound
    Creating,  // CreateSession sent; its Response awaited at request_
    Binding,   // BindShortcuts sent for session_; its Response awaited at request_
  };

  std::vector<Entry>::iterator Find(const void* owner) {
    return std::find_if(entries_.begin(), entries_.end(),
                        [owner](const Entry& entry) { return entry.owner == owner; });
  }

  // Every change of one turn of the event loop is bound together, after it.
  void ScheduleRound() {
    if (roundScheduled_) return;
    roundScheduled_ = true;
    const std::weak_ptr<Core> weak = weak_from_this();
    QTimer::singleShot(0, &sink_, [weak] {
      const auto self = weak.lock();
      if (!self) return;
      self->roundScheduled_ = false;
      if (self->shutDown_) return;
      if (self->stage_ != Stage::Idle) {
        // The round under way binds an older set: another follows it.
        self->rerun_ = true;
        return;
      }
      self->StartRound();
    });
  }

  void StartRound() {
    rerun_ = false;
    CloseSession();
    for (Entry& entry : entries_)
      entry.trigger.clear();
    // Nothing to bind: nothing is held, which says nothing about the portal.
    if (entries_.empty()) return;
    const QString token = NextToken();
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("session_handle_token"), NextToken());
    Ask(Stage::Creating, QStringLiteral("CreateSession"), {options}, token);
  }

  void Bind() {
    rerun_ = false;
    QList<Shortcut> shortcuts;
    for (const Entry& entry : entries_) {
      QVariantMap properties;
      properties.insert(QStringLiteral("description"), entry.name.description);
      properties.insert(QStringLiteral("preferred_trigger"), entry.preferredTrigger);
      shortcuts.push_back(Shortcut{entry.name.id, properties});
    }
    const QString token = NextToken();
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    Ask(Stage::Binding, QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts), QString(),
         options},
        token);
  }

  // Sends a request method: the Response is subscribed at the request path the
  // portal will use before the call goes out, as the portal asks (it may
  // answer before the call returns).
  void Ask(Stage stage, const QString& method, const QVariantList& arguments,
           const QString& token) {
    stage_ = stage;
    Subscribe(QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                  .arg(SenderPart(bus_), token));
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, kShortcutsInterface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), &sink_);
    const std::weak_ptr<Core> weak = weak_from_this();
    const unsigned round = ++calls_;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &sink_,
                     [weak, round](QDBusPendingCallWatcher* finished) {
                       finished->deleteLater();
                       const auto self = weak.lock();
                       if (!self || round != self->calls_ || self->stage_ == Stage::Idle) return;
                       const QDBusPendingReply<QDBusObjectPath> reply = *finished;
                       if (reply.isError()) {
                         self->Finish(false);
                         return;
                       }
                       // An older portal uses a path of its own: follow it.
                       const QString path = reply.value().path();
                       if (path != self->request_) self->Subscribe(path);
                     });
  }

  void Subscribe(const QString& path) {
    Unsubscribe();
    request_ = path;
    bus_.connect(kPortalService, request_, kRequestInterface, QStringLiteral("Response"), &sink_,
                 SLOT(Response(QDBusMessage)));
  }

  void Unsubscribe() {
    if (request_.isEmpty()) return;
    bus_.disconnect(kPortalService, request_, kRequestInterface, QStringLiteral("Response"), &sink_,
                    SLOT(Response(QDBusMessage)));
    request_.clear();
  }

  // Gives up the request under way without an answer.
  void AbandonRequest() {
    Unsubscribe();
    ++calls_;
  }

  void CloseSession() {
    if (session_.isEmpty()) return;
    if (portalPresent_)
      bus_.send(QDBusMessage::createMethodCall(kPortalService, session_, kSessionInterface,
                                               QStringLiteral("Close")));
    session_.clear();
  }

  void Response(const QDBusMessage& message) {
    if (stage_ == Stage::Idle || message.path() != request_) return;
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2) return;
    const std::shared_ptr<Core> self = shared_from_this();
    Unsubscribe();
    const unsigned response = arguments.at(0).toUInt();
    const QVariantMap results = MapOf(arguments.at(1));
    if (response != 0) {
      Finish(false);
      return;
    }
    if (stage_ == Stage::Creating) {
      session_ = PathOf(results.value(QStringLiteral("session_handle")));
      if (session_.isEmpty()) {
        Finish(false);
        return;
      }
      Bind();
      return;
    }
    Finish(TakeTriggers(ShortcutsOf(results.value(QStringLiteral("shortcuts")))));
  }

  // Notes the triggers the portal reports; true when any shortcut has one.
  bool TakeTriggers(const QList<Shortcut>& shortcuts) {
    bool any = false;
    for (Entry& entry : entries_) {
      entry.trigger.clear();
      for (const Shortcut& shortcut : shortcuts) {
        if (shortcut.id != entry.name.id) continue;
        entry.trigger = shortcut.properties.value(QStringLiteral("trigger_description")).toString();
      }
      if (!entry.trigger.isEmpty()) any = true;
    }
    return any;
  }

  // The round is over. A failed one leaves no session. The next round starts
  // when registrations changed meanwhile. The owner hears of a change last.
  void Finish(bool bound) {
    stage_ = Stage::Idle;
    Unsubscribe();
    if (!bound) {
      CloseSession();
      for (Entry& entry : entries_)
        entry.trigger.clear();
    }
    if (rerun_) ScheduleRound();
    SetCanGrab(bound);
  }

  void Activated(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || session_.isEmpty()) return;
    if (PathOf(arguments.at(0)) != session_) return;
    const QString id = arguments.at(1).toString();
    for (const Entry& entry : entries_) {
      if (entry.name.id != id) continue;
      // The handler may unregister or destroy the receiver, and the platform:
      // it runs from copies, and nothing here is touched after it.
      const std::shared_ptr<Core> self = shared_from_this();
      const std::function<void()> onPress = entry.onPress;
      if (onPress) onPress();
      return;
    }
  }

  void ShortcutsChanged(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || session_.isEmpty() || stage_ != Stage::Idle) return;
    if (PathOf(arguments.at(0)) != session_) return;
    const std::shared_ptr<Core> self = shared_from_this();
    SetCanGrab(TakeTriggers(ShortcutsOf(arguments.at(1))));
  }

  void PortalAppeared() {
    portalPresent_ = true;
    if (!entries_.empty() && !shutDown_) ScheduleRound();
  }

  // The portal's sessions end with it.
  void PortalVanished() {
    portalPresent_ = false;
    if (shutDown_) return;
    const std::shared_ptr<Core> self = shared_from_this();
    AbandonRequest();
    session_.clear();
    stage_ = Stage::Idle;
    rerun_ = false;
    for (Entry& entry : entries_)
      entry.trigger.clear();
    SetCanGrab(false);
  }

  // The one place CanGrab changes; the owner's callback runs last.
  void SetCanGrab(bool value) {
    if (canGrab_ == value) return;
    canGrab_ = value;
    const std::function<void()> onChange = onCanGrabChange_;
    if (onChange) onChange();
  }

  QDBusConnection bus_;
  std::vector<ShortcutName> names_;
  std::size_t receiversCreated_ = 0;
  std::vector<Entry> entries_;
  portal_detail::SignalSink sink_;
  QDBusServiceWatcher portalWatcher_;
  bool portalPresent_ = false;
  bool canGrab_ = true;
  bool shutDown_ = false;
  Stage stage_ = Stage::Idle;
  bool roundScheduled_ = false;
  // Registrations changed while a round was under way.
  bool rerun_ = false;
  // Counts the calls sent, so that the answer of an abandoned one is dropped.
  unsigned calls_ = 0;
  QString request_;  // the request whose Response is awaited; empty: none
  QString session_;  // the session of the current set; empty: none
  std::function<void()> onCanGrabChange_;
};

namespace {

class PortalReceiver final : public HotKeyPlatform::Receiver {
 public:
  PortalReceiver(std::shared_ptr<PortalShortcuts::Core> core, PortalShortcuts::ShortcutName name,
                 std::function<void()> onPress)
      : core_(std::move(core)), name_(std::move(name)), onPress_(std::move(onPress)) {}
  ~PortalReceiver() override { core_->Release(this); }
  PortalReceiver(const PortalReceiver&) = delete;
  PortalReceiver& operator=(const PortalReceiver&) = delete;

  // A receiver holds one registration: asking for another gives the first up.
  bool Register(const HotKeyChord& chord) override {
    return core_->Register(this, name_, chord, onPress_);
  }
  void Unregister() override { core_->Release(this); }

 private:
  std::shared_ptr<PortalShortcuts::Core> core_;
  PortalShortcuts::ShortcutName name_;
  std::function<void()> onPress_;
};

}  // namespace

PortalShortcuts::PortalShortcuts(QDBusConnection bus, std::vector<ShortcutName> names)
    : core_(std::make_shared<Core>(std::move(bus), std::move(names))) {
  core_->Start();
}

PortalShortcuts::~PortalShortcuts() {
  core_->Shutdown();
}

bool PortalShortcuts::Available(const QDBusConnection& bus) {
  if (!bus.isConnected()) return false;
  QDBusMessage get = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
                                                    kPropertiesInterface, QStringLiteral("Get"));
  get << kShortcutsInterface << QStringLiteral("version");
  const QDBusMessage reply = bus.call(get, QDBus::Block, kVersionTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
  const QVariant version = reply.arguments().at(0).value<QDBusVariant>().variant();
  bool ok = false;
  const uint number = version.toUInt(&ok);
  return ok && number >= 1;
}

std::unique_ptr<PortalShortcuts> PortalShortcuts::ForSessionBus(std::vector<ShortcutName> names) {
  const QDBusConnection bus = QDBusConnection::sessionBus();
  if (!Available(bus)) return nullptr;
  return std::make_unique<PortalShortcuts>(bus, std::move(names));
}

std::unique_ptr<HotKeyPlatform::Receiver> PortalShortcuts::CreateReceiver(
    std::function<void()> onPress) {
  return std::make_unique<PortalReceiver>(core_, core_->NextName(), std::move(onPress));
}

bool PortalShortcuts::CanGrab() const {
  return core_->CanGrab();
}

void PortalShortcuts::SetOnCanGrabChange(std::function<void()> onChange) {
  core_->SetOnCanGrabChange(std::move(onChange));
}

}  // namespace parlumo

#include "PortalShortcuts.moc"
