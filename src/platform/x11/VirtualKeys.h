#pragma once

#include <cstdint>
#include <optional>

namespace parlumo {

// Shortcuts are stored as Windows virtual-key codes (the low byte of a stored
// shortcut); X speaks keysyms. These convert between the two for letters,
// digits, F1-F24, the arrow and editing keys, the numeric keypad, punctuation
// (as on a US layout) and the modifier keys used for key synthesis.

// The keysym of a virtual-key code; nothing for a code without one.
std::optional<unsigned long> KeysymFromVirtualKey(std::uint8_t virtualKey);

// The virtual-key code of a keysym (upper- and lower-case letters alike);
// nothing for a keysym without one.
std::optional<std::uint8_t> VirtualKeyFromKeysym(unsigned long keysym);

}  // namespace parlumo
