#pragma once

#include <cstdint>

namespace parlumo {

// The 16-bit shortcut code the settings store keeps and the shortcut fields
// produce: the low byte is a Windows virtual-key code (0x54 is the letter T),
// 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt. There is no bit for the Windows key.
// Ctrl+Alt+T is 0xC054.
using TShortCut = std::uint16_t;

inline constexpr TShortCut kShortCutShift = 0x2000;
inline constexpr TShortCut kShortCutCtrl = 0x4000;
inline constexpr TShortCut kShortCutAlt = 0x8000;

// Modifier word of a hotkey registration, in the RegisterHotKey numbering the
// platform adapters translate from.
inline constexpr unsigned kModAlt = 0x0001;
inline constexpr unsigned kModControl = 0x0002;
inline constexpr unsigned kModShift = 0x0004;

// A shortcut code taken apart for the registration.
struct HotKeyChord {
  unsigned modifiers = 0;   // kModAlt | kModControl | kModShift; never the Windows key
  unsigned virtualKey = 0;  // 0..255

  friend bool operator==(const HotKeyChord&, const HotKeyChord&) = default;
};

// Bits 8-12 are not used: the key part is the value AND 0x1FFF, of which only
// the low byte is the key.
constexpr HotKeyChord SplitShortCut(TShortCut key) {
  HotKeyChord chord;
  chord.virtualKey = static_cast<unsigned>(key & 0x1FFF) & 0xFFu;
  if (key & kShortCutShift) chord.modifiers |= kModShift;
  if (key & kShortCutAlt) chord.modifiers |= kModAlt;
  if (key & kShortCutCtrl) chord.modifiers |= kModControl;
  return chord;
}

}  // namespace parlumo
