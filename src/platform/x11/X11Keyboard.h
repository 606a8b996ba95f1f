#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "desktop/Keyboard.h"

// Xlib's display, declared as Xlib declares it (its header clashes with Qt's).
typedef struct _XDisplay Display;

namespace parlumo {

// Synthetic key events through the XTest extension, and the key state as the X
// server holds it. Virtual keys become keysyms (VirtualKeys.h) and those the
// keycode of the current keyboard mapping, read afresh on every call so that a
// mapping change is never missed.
//
// SendKey: a nonzero scanCode is taken as the X keycode to press when it lies
// in the server's keycode range (ScanCode gives exactly such codes); otherwise
// the virtual key picks the keycode. The generic Shift, Ctrl and Alt keys
// (0x10, 0x11, 0x12) stand for both sides: their key-up releases whichever of
// the left and right keys is down and remembers which; the next key-down
// presses those same keys again (the left key when none was remembered). So
// taking the user's held modifiers away and giving them back leaves no key
// logically down that the user cannot release. Events are flushed at once.
//
// KeyState: the high bit (negative value) while a key with the virtual key's
// keysym is down (for 0x10-0x12 either side); bit 0 for Caps Lock, Num Lock
// and Scroll Lock while the modifier the layout gives that key is in effect. A
// lock key on no modifier (Scroll Lock on most layouts) never shows as on.
//
// ScanCode: the keycode SendKey would use for the virtual key, 0 when the
// layout has none.
//
// VirtualKeyOfKeycode: the virtual key a shortcut names the key with the X
// keycode by (VirtualKeyForKeycode over the current mapping): the key's own
// unshifted symbol rather than the one its modifiers make, so that the stored
// shortcut is grabbed on the key the user pressed. 0 when no virtual key names
// that key; nothing when the keycode is not one of the keyboard's.
//
// The display must outlive this object.
class X11Keyboard final : public KeyboardPlatform {
 public:
  explicit X11Keyboard(Display* display);

  // Over the running QGuiApplication's own X connection; nullptr when the
  // application does not run on X11.
  static std::unique_ptr<X11Keyboard> ForApplication();

  void SendKey(std::uint8_t virtualKey, std::uint8_t scanCode, bool keyUp) override;
  std::int16_t KeyState(std::uint8_t virtualKey) override;
  std::uint8_t ScanCode(std::uint8_t virtualKey) override;

  std::optional<std::uint8_t> VirtualKeyOfKeycode(std::uint32_t keycode);

 private:
  Display* display_;
  bool xtest_ = false;  // whether the server offers key synthesis at all
  // Per generic modifier (Shift, Ctrl, Alt): the keys its last key-up let go.
  std::array<std::vector<std::uint8_t>, 3> released_;
};

}  // namespace parlumo
