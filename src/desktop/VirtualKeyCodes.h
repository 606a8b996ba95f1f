#pragma once

#include <cstdint>

namespace parlumo {

// The Windows virtual-key codes the program names by themselves: the numbering
// of the stored shortcuts, of the synthetic keystrokes and of the key state. The
// tables that map every code to a platform's keys (VirtualKeys, QtVirtualKeys)
// list the rest by number.

// The generic modifiers: each stands for its left and right key.
inline constexpr std::uint8_t kVkShift = 0x10;
inline constexpr std::uint8_t kVkControl = 0x11;
inline constexpr std::uint8_t kVkMenu = 0x12;  // Alt

// The lock keys, whose state has a toggle bit.
inline constexpr std::uint8_t kVkCapital = 0x14;  // Caps Lock
inline constexpr std::uint8_t kVkNumLock = 0x90;
inline constexpr std::uint8_t kVkScroll = 0x91;  // Scroll Lock

// The letter of the copy keystroke, Ctrl+C.
inline constexpr std::uint8_t kVkC = 0x43;

}  // namespace parlumo
