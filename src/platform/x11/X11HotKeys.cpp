#include "platform/x11/X11HotKeys.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/x11/X11KeyMap.h"

// Xlib's macros (None, KeyPress, ...) clash with Qt's names: it comes last.
#include <X11/Xlib.h>
#include <xcb/xproto.h>

namespace parlumo {

namespace {

// Replies and errors of xcb are malloc'ed.
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbPtr = std::unique_ptr<T, FreeDeleter>;

constexpr std::uint8_t kSendEventBit = 0x80;
// Event codes of the keyboard extension, in the byte after the event code.
constexpr std::uint8_t kXkbNewKeyboardNotify = 0;
constexpr std::uint8_t kXkbMapNotify = 1;

}  // namespace

// The registrations of all receivers and the view of the keyboard they were
// made with. Receivers are identified by address; each holds at most one.
class X11HotKeyPlatform::Core {
 public:
  Core(xcb_connection_t* connection, xcb_window_t root) : connection_(connection), root_(root) {
    ReadMappings();
  }

  bool Register(const void* owner, const HotKeyChord& chord, std::function<void()> onPress) {
    Release(owner);
    if (connection_ == nullptr) return false;
    Grab grab{owner, chord, 0, 0, {}, std::move(onPress)};
    if (!Make(grab)) return false;
    grabs_.push_back(std::move(grab));
    return true;
  }

  void Release(const void* owner) {
    for (auto it = grabs_.begin(); it != grabs_.end(); ++it) {
      if (it->owner != owner) continue;
      Ungrab(*it);
      grabs_.erase(it);
      Sync();
      return;
    }
  }

  // The platform goes: every grab is given up while the connection still
  // exists; receivers that remain hold nothing from now on.
  void Shutdown() {
    for (const Grab& grab : grabs_)
      Ungrab(grab);
    grabs_.clear();
    Sync();
    connection_ = nullptr;
  }

  // A key press on the root window. True when it was a registration's press
  // (onPress has run then, and this object may be the last thing alive).
  bool Dispatch(const xcb_key_press_event_t& event) {
    if (connection_ == nullptr || event.event != root_) return false;
    for (const Grab& grab : grabs_) {
      if (grab.keycode != event.detail ||
          !StateMatchesChord(event.state, grab.chordMask, modifiers_.locks)) {
        continue;
      }
      // The press activated the passive grab: the keyboard stays grabbed by
      // this client until the key goes up. Let it go, so that what the handler
      // synthesises reaches the focused window.
      xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
      xcb_flush(connection_);
      // The handler may destroy the receiver (and with it this grab): it runs
      // from a copy, and nothing of this object is touched after it.
      const std::function<void()> onPress = grab.onPress;
      if (onPress) onPress();
      return true;
    }
    return false;
  }

  // After a mapping change: every registration is made again at its key's
  // current keycode; one that cannot be made ends.
  void Regrab() {
    if (connection_ == nullptr) return;
    for (const Grab& grab : grabs_)
      Ungrab(grab);
    ReadMappings();
    std::vector<Grab> previous = std::move(grabs_);
    grabs_.clear();
    for (Grab& grab : previous) {
      if (Make(grab)) grabs_.push_back(std::move(grab));
    }
    xcb_flush(connection_);
  }

 private:
  struct Grab {
    const void* owner;
    HotKeyChord chord;
    std::uint8_t keycode;
    std::uint16_t chordMask;
    std::vector<std::uint16_t> masks;  // as grabbed, every lock combination
    std::function<void()> onPress;
  };

  // Resolves the chord on the current mapping and grabs it; false (nothing
  // held) when the key has no keycode, another receiver holds the same
  // combination, or the server refuses any of the grabs.
  bool Make(Grab& grab) {
    const auto keycode =
        KeycodeForVirtualKey(keyboard_, static_cast<std::uint8_t>(grab.chord.virtualKey));
    if (!keycode) return false;
    grab.keycode = *keycode;
    grab.chordMask = CoreModifiers(grab.chord.modifiers, modifiers_);
    for (const Grab& other : grabs_) {
      if (other.keycode == grab.keycode && other.chordMask == grab.chordMask) return false;
    }
    grab.masks = GrabMasks(grab.chordMask, modifiers_.locks);
    std::vector<xcb_void_cookie_t> cookies;
    cookies.reserve(grab.masks.size());
    for (const std::uint16_t mask : grab.masks) {
      // Not owner_events: the press is always reported on the root window,
      // also while one of this application's windows has the focus.
      cookies.push_back(xcb_grab_key_checked(connection_, 0, root_, mask, grab.keycode,
                                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    bool granted = true;
    for (const xcb_void_cookie_t cookie : cookies) {
      if (XcbPtr<xcb_generic_error_t>(xcb_request_check(connection_, cookie))) granted = false;
    }
    if (!granted) {
      // Releasing a combination this client does not hold is a no-op, so the
      // refused ones need no telling apart.
      Ungrab(grab);
      Sync();
    }
    return granted;
  }

  // Waits until the server has carried out every request sent so far, so a
  // shortcut given up is free for other clients when the call returns (a
  // flush alone leaves it held until the server gets round to this client).
  void Sync() {
    if (connection_ == nullptr) return;
    XcbPtr<xcb_get_input_focus_reply_t> reply{
        xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)};
  }

  void Ungrab(const Grab& grab) {
    if (connection_ == nullptr) return;
    for (const std::uint16_t mask : grab.masks) {
      xcb_ungrab_key(connection_, grab.keycode, root_, mask);
    }
  }

  void ReadMappings() {
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const std::uint8_t count =
        static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    const auto keyboardCookie = xcb_get_keyboard_mapping(connection_, setup->min_keycode, count);
    const auto modifierCookie = xcb_get_modifier_mapping(connection_);
    keyboard_ = KeyboardMapping{};
    keyboard_.minKeycode = setup->min_keycode;
    if (XcbPtr<xcb_get_keyboard_mapping_reply_t> reply{
            xcb_get_keyboard_mapping_reply(connection_, keyboardCookie, nullptr)}) {
      const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply.get());
      const int length = xcb_get_keyboard_mapping_keysyms_length(reply.get());
      keyboard_.keysymsPerKeycode = reply->keysyms_per_keycode;
      keyboard_.keysyms.assign(keysyms, keysyms + length);
    }
    ModifierMapping modifiers;
    if (XcbPtr<xcb_get_modifier_mapping_reply_t> reply{
            xcb_get_modifier_mapping_reply(connection_, modifierCookie, nullptr)}) {
      const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(reply.get());
      const int length = xcb_get_modifier_mapping_keycodes_length(reply.get());
      modifiers.keycodesPerModifier = reply->keycodes_per_modifier;
      modifiers.keycodes.assign(keycodes, keycodes + length);
    }
    modifiers_ = ReadGrabModifiers(modifiers, keyboard_);
  }

  xcb_connection_t* connection_;
  xcb_window_t root_;
  KeyboardMapping keyboard_;
  GrabModifiers modifiers_;
  std::vector<Grab> grabs_;
};

namespace {

class X11Receiver final : public HotKeyPlatform::Receiver {
 public:
  X11Receiver(std::shared_ptr<X11HotKeyPlatform::Core> core, std::function<void()> onPress)
      : core_(std::move(core)), onPress_(std::move(onPress)) {}
  ~X11Receiver() override { core_->Release(this); }
  X11Receiver(const X11Receiver&) = delete;
  X11Receiver& operator=(const X11Receiver&) = delete;

  // A receiver holds one registration: asking for another gives the first up.
  bool Register(const HotKeyChord& chord) override {
    return core_->Register(this, chord, onPress_);
  }
  void Unregister() override { core_->Release(this); }

 private:
  std::shared_ptr<X11HotKeyPlatform::Core> core_;
  std::function<void()> onPress_;
};

}  // namespace

X11HotKeyPlatform::X11HotKeyPlatform(xcb_connection_t* connection, xcb_window_t root)
    : core_(std::make_shared<Core>(connection, root)) {
  static constexpr char kXkbName[] = "XKEYBOARD";
  const auto cookie =
      xcb_query_extension(connection, static_cast<std::uint16_t>(std::strlen(kXkbName)), kXkbName);
  if (XcbPtr<xcb_query_extension_reply_t> reply{
          xcb_query_extension_reply(connection, cookie, nullptr)}) {
    if (reply->present) xkbFirstEvent_ = reply->first_event;
  }
  QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotKeyPlatform::~X11HotKeyPlatform() {
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
  core_->Shutdown();
}

std::unique_ptr<X11HotKeyPlatform> X11HotKeyPlatform::ForApplication() {
  const auto* x11 =
      qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (x11 == nullptr || x11->connection() == nullptr) return nullptr;
  xcb_window_t root = XCB_WINDOW_NONE;
  if (Display* display = x11->display()) {
    root = static_cast<xcb_window_t>(DefaultRootWindow(display));
  } else {
    root = xcb_setup_roots_iterator(xcb_get_setup(x11->connection())).data->root;
  }
  return std::make_unique<X11HotKeyPlatform>(x11->connection(), root);
}

std::unique_ptr<HotKeyPlatform::Receiver> X11HotKeyPlatform::CreateReceiver(
    std::function<void()> onPress) {
  return std::make_unique<X11Receiver>(core_, std::move(onPress));
}

bool X11HotKeyPlatform::nativeEventFilter(const QByteArray& eventType, void* message,
                                          qintptr* /*result*/) {
  if (eventType != "xcb_generic_event_t" || message == nullptr) return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  // Synthetic events (sent by another client) are nobody's key presses.
  if (event->response_type & kSendEventBit) return false;
  const std::uint8_t type = event->response_type;
  if (type == XCB_KEY_PRESS) {
    // The handler may destroy this platform: the core stays alive through
    // the call, and nothing of this object is touched after it.
    const std::shared_ptr<Core> core = core_;
    return core->Dispatch(*reinterpret_cast<const xcb_key_press_event_t*>(event));
  }
  if (type == XCB_MAPPING_NOTIFY) {
    const auto* notify = reinterpret_cast<const xcb_mapping_notify_event_t*>(event);
    if (notify->request == XCB_MAPPING_KEYBOARD || notify->request == XCB_MAPPING_MODIFIER) {
      ScheduleRegrab();
    }
  } else if (xkbFirstEvent_ != 0 && type == xkbFirstEvent_) {
    const std::uint8_t xkbType = event->pad0;
    if (xkbType == kXkbNewKeyboardNotify || xkbType == kXkbMapNotify) ScheduleRegrab();
  }
  // Qt needs the mapping news itself.
  return false;
}

void X11HotKeyPlatform::ScheduleRegrab() {
  // One change comes as several notifications; they are answered together once
  // the current batch of events is through.
  if (regrabPending_) return;
  regrabPending_ = true;
  QTimer::singleShot(0, &context_, [this] {
    regrabPending_ = false;
    core_->Regrab();
  });
}

}  // namespace parlumo
