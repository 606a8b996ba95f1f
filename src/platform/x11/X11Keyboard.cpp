#include "platform/x11/X11Keyboard.h"

#include <QGuiApplication>
#include <optional>

#include "desktop/VirtualKeyCodes.h"
#include "platform/x11/VirtualKeys.h"
#include "platform/x11/X11KeyMap.h"

// Xlib's macros (None, KeyPress, ...) clash with Qt's names: it comes last.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace parlumo {

namespace {

constexpr std::uint16_t kDownBit = 0x8000;
constexpr std::uint16_t kToggleBit = 0x0001;

struct Sides {
  std::uint32_t left;
  std::uint32_t right;
};

// The two keys a generic modifier stands for.
std::optional<Sides> GenericSides(std::uint8_t virtualKey) {
  switch (virtualKey) {
    case kVkShift:
      return Sides{XK_Shift_L, XK_Shift_R};
    case kVkControl:
      return Sides{XK_Control_L, XK_Control_R};
    case kVkMenu:
      return Sides{XK_Alt_L, XK_Alt_R};
    default:
      return std::nullopt;
  }
}

KeyboardMapping ReadKeyboard(Display* display) {
  KeyboardMapping mapping;
  int min = 0;
  int max = 0;
  XDisplayKeycodes(display, &min, &max);
  mapping.minKeycode = static_cast<unsigned>(min);
  int perKeycode = 0;
  KeySym* keysyms =
      XGetKeyboardMapping(display, static_cast<KeyCode>(min), max - min + 1, &perKeycode);
  if (keysyms == nullptr) return mapping;
  mapping.keysymsPerKeycode = static_cast<unsigned>(perKeycode);
  const std::size_t count = static_cast<std::size_t>(max - min + 1) * mapping.keysymsPerKeycode;
  mapping.keysyms.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    mapping.keysyms.push_back(static_cast<std::uint32_t>(keysyms[i]));
  }
  XFree(keysyms);
  return mapping;
}

ModifierMapping ReadModifiers(Display* display) {
  ModifierMapping modifiers;
  XModifierKeymap* map = XGetModifierMapping(display);
  if (map == nullptr) return modifiers;
  modifiers.keycodesPerModifier = static_cast<unsigned>(map->max_keypermod);
  modifiers.keycodes.assign(map->modifiermap, map->modifiermap + 8 * map->max_keypermod);
  XFreeModifiermap(map);
  return modifiers;
}

// The server's view of which keys are down, one bit per keycode.
class KeysDown {
 public:
  explicit KeysDown(Display* display) { XQueryKeymap(display, bits_); }
  bool Down(std::uint8_t keycode) const { return (bits_[keycode / 8] >> (keycode % 8)) & 1; }

 private:
  char bits_[32] = {};
};

// Every keycode that carries the virtual key's keysym; both sides for the
// generic modifiers.
std::vector<std::uint8_t> KeycodesOf(const KeyboardMapping& mapping, std::uint8_t virtualKey) {
  if (const auto sides = GenericSides(virtualKey)) {
    std::vector<std::uint8_t> keycodes = KeycodesForKeysym(mapping, sides->left);
    const std::vector<std::uint8_t> right = KeycodesForKeysym(mapping, sides->right);
    keycodes.insert(keycodes.end(), right.begin(), right.end());
    return keycodes;
  }
  const auto keysym = KeysymFromVirtualKey(virtualKey);
  if (!keysym) return {};
  std::vector<std::uint8_t> keycodes =
      KeycodesForKeysym(mapping, static_cast<std::uint32_t>(*keysym));
  // A layout without the symbol: the key in its place.
  if (keycodes.empty())
    if (const auto place = KeycodeForVirtualKey(mapping, virtualKey)) keycodes.push_back(*place);
  return keycodes;
}

}  // namespace

X11Keyboard::X11Keyboard(Display* display) : display_(display) {
  int eventBase = 0;
  int errorBase = 0;
  int major = 0;
  int minor = 0;
  xtest_ = XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor) != 0;
}

std::unique_ptr<X11Keyboard> X11Keyboard::ForApplication() {
  const auto* x11 =
      qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (x11 == nullptr || x11->display() == nullptr) return nullptr;
  return std::make_unique<X11Keyboard>(x11->display());
}

void X11Keyboard::SendKey(std::uint8_t virtualKey, std::uint8_t scanCode, bool keyUp) {
  if (!xtest_) return;
  const KeyboardMapping mapping = ReadKeyboard(display_);
  std::vector<std::uint8_t> keycodes;
  if (scanCode != 0 && scanCode >= mapping.minKeycode && scanCode <= mapping.MaxKeycode()) {
    keycodes.push_back(scanCode);
  } else if (GenericSides(virtualKey)) {
    std::vector<std::uint8_t>& remembered = released_[virtualKey - kVkShift];
    if (keyUp) {
      const KeysDown keys(display_);
      remembered.clear();
      for (const std::uint8_t keycode : KeycodesOf(mapping, virtualKey)) {
        if (keys.Down(keycode)) remembered.push_back(keycode);
      }
      keycodes = remembered;
    } else {
      keycodes.swap(remembered);
    }
    if (keycodes.empty()) {
      if (const auto keycode = KeycodeForVirtualKey(mapping, virtualKey))
        keycodes.push_back(*keycode);
    }
  } else if (const auto keycode = KeycodeForVirtualKey(mapping, virtualKey)) {
    keycodes.push_back(*keycode);
  }
  if (keycodes.empty()) return;
  for (const std::uint8_t keycode : keycodes) {
    XTestFakeKeyEvent(display_, keycode, keyUp ? False : True, CurrentTime);
  }
  XFlush(display_);
}

std::int16_t X11Keyboard::KeyState(std::uint8_t virtualKey) {
  const KeyboardMapping mapping = ReadKeyboard(display_);
  const std::vector<std::uint8_t> keycodes = KeycodesOf(mapping, virtualKey);
  if (keycodes.empty()) return 0;
  std::uint16_t state = 0;
  const KeysDown keys(display_);
  for (const std::uint8_t keycode : keycodes) {
    if (keys.Down(keycode)) state |= kDownBit;
  }
  if (virtualKey == kVkCapital || virtualKey == kVkNumLock || virtualKey == kVkScroll) {
    const auto keysym = KeysymFromVirtualKey(virtualKey);
    const std::uint16_t lock = ModifierMaskForKeysym(ReadModifiers(display_), mapping,
                                                     static_cast<std::uint32_t>(*keysym));
    Window root = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int x = 0;
    int y = 0;
    unsigned int modifiers = 0;
    // The modifier state comes with the pointer's, whichever screen it is on.
    XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rootX, &rootY, &x, &y,
                  &modifiers);
    if (lock != 0 && (modifiers & lock) != 0) state |= kToggleBit;
  }
  return static_cast<std::int16_t>(state);
}

std::uint8_t X11Keyboard::ScanCode(std::uint8_t virtualKey) {
  return KeycodeForVirtualKey(ReadKeyboard(display_), virtualKey).value_or(0);
}

std::optional<std::uint8_t> X11Keyboard::VirtualKeyOfKeycode(std::uint32_t keycode) {
  return VirtualKeyForKeycode(ReadKeyboard(display_), keycode);
}

}  // namespace parlumo
