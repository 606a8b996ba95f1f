#pragma once

#include <cstdint>
#include <string>

namespace parlumo {

// Synthetic keyboard input and the keyboard's state, in Windows virtual-key
// codes (the numbering the stored shortcuts use).
class KeyboardPlatform {
 public:
  virtual ~KeyboardPlatform() = default;
  // Queues one key event into the system's input, as if the user had pressed or
  // released the key; the focused application processes it in its own time.
  // scanCode 0 lets the platform choose the key's code. A key the keyboard has
  // no code for is not sent.
  virtual void SendKey(std::uint8_t virtualKey, std::uint8_t scanCode, bool keyUp) = 0;
  // The key's state: negative (high bit set) while the key is down; bit 0 set
  // while a toggle key (Caps Lock, Num Lock, Scroll Lock) is on.
  virtual std::int16_t KeyState(std::uint8_t virtualKey) = 0;
  // The code the keyboard gives the virtual key; 0 when it has none.
  virtual std::uint8_t ScanCode(std::uint8_t virtualKey) = 0;
};

// A session that lets no program send keys to another nor read the keyboard
// (Wayland): nothing is sent, no key is down, no key has a code.
class NoKeyboard final : public KeyboardPlatform {
 public:
  void SendKey(std::uint8_t /*virtualKey*/, std::uint8_t /*scanCode*/, bool /*keyUp*/) override {}
  std::int16_t KeyState(std::uint8_t /*virtualKey*/) override { return 0; }
  std::uint8_t ScanCode(std::uint8_t /*virtualKey*/) override { return 0; }
};

// The clipboard's text.
class ClipboardPlatform {
 public:
  virtual ~ClipboardPlatform() = default;
  // False when the clipboard is not available. A clipboard without text is
  // available: the text is empty then.
  virtual bool ReadText(std::string& text) = 0;
  // Replaces the clipboard's contents with the text; false when the clipboard
  // is not available.
  virtual bool WriteText(const std::string& text) = 0;
};

}  // namespace parlumo
