#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace parlumo {

// The X keyboard as the core protocol describes it, and the modifier arithmetic
// of hotkey grabs, kept free of any connection so that it can be checked on its
// own. The X adapters fill these snapshots from the server and ask again after
// every mapping change: nothing here is cached across changes.

// Modifier bits of the core protocol (the state of key events, the modifiers of
// key grabs).
inline constexpr std::uint16_t kXShiftMask = 1u << 0;
inline constexpr std::uint16_t kXLockMask = 1u << 1;
inline constexpr std::uint16_t kXControlMask = 1u << 2;
inline constexpr std::uint16_t kXMod1Mask = 1u << 3;
inline constexpr std::uint16_t kXMod2Mask = 1u << 4;
inline constexpr std::uint16_t kXMod3Mask = 1u << 5;
inline constexpr std::uint16_t kXMod4Mask = 1u << 6;
inline constexpr std::uint16_t kXMod5Mask = 1u << 7;

// The core keyboard mapping: the keysyms of keycode k are
// keysyms[(k - minKeycode) * keysymsPerKeycode + column], 0 (NoSymbol) where
// a column is empty.
struct KeyboardMapping {
  unsigned minKeycode = 8;
  unsigned keysymsPerKeycode = 0;
  std::vector<std::uint32_t> keysyms;

  // The last keycode the mapping describes (below minKeycode when it is empty).
  unsigned MaxKeycode() const;
  // NoSymbol outside the mapping.
  std::uint32_t Keysym(unsigned keycode, unsigned column) const;
};

// The modifier mapping: eight rows (Shift, Lock, Control, Mod1 .. Mod5) of
// keycodesPerModifier keycodes each; 0 fills unused places.
struct ModifierMapping {
  unsigned keycodesPerModifier = 0;
  std::vector<std::uint8_t> keycodes;
};

// The keycode that types the keysym: the lowest keycode holding it in the
// lowest column that has it anywhere (so a key that gives the symbol without
// Shift wins). A lower-case letter is also found on a key that lists only the
// capital, as X reads such a key. Nothing when no key has the symbol.
std::optional<std::uint8_t> KeycodeForKeysym(const KeyboardMapping& mapping, std::uint32_t keysym);

// The keycode of the key at the virtual key's place on a standard PC keyboard
// as the evdev driver numbers it (Linux input code + 8), for the letters,
// digits and punctuation of the main block; nothing for other keys.
std::optional<std::uint8_t> StandardPositionKeycode(std::uint8_t virtualKey);

// The keycode for a virtual key: the one that types its keysym; else, for a
// letter, digit or punctuation key on a layout that has its symbol on no key
// (a layout without Latin letters), the key at its place on the keyboard, as
// a virtual key of such a layout names the key in that place. The place is
// taken only on an evdev-numbered keyboard (keycodes 8 to 255) where that key
// exists. Nothing when neither applies.
std::optional<std::uint8_t> KeycodeForVirtualKey(const KeyboardMapping& mapping,
                                                 std::uint8_t virtualKey);

// The virtual key that names the key with the keycode, such that a shortcut
// stored with it is grabbed on this very key (KeycodeForVirtualKey gives the
// keycode back). The first that does of: the virtual key of the symbol the key
// gives alone (group 1, no modifier: '8' for the key that gives "(" with Shift
// on a German layout), of its other symbols in column order (the digit of an
// AZERTY digit key, the keypad digit of a keypad key), and of the key's place
// on a standard keyboard (a key of a layout without Latin letters). 0 when
// none names this key (the German umlaut keys, keys whose symbols have no
// virtual key); nothing when the keycode lies outside the mapping.
std::optional<std::uint8_t> VirtualKeyForKeycode(const KeyboardMapping& mapping, unsigned keycode);

// Every keycode that holds the keysym in any column, in ascending order.
std::vector<std::uint8_t> KeycodesForKeysym(const KeyboardMapping& mapping, std::uint32_t keysym);

// The modifier bits whose rows hold a key carrying the keysym; 0 when none.
std::uint16_t ModifierMaskForKeysym(const ModifierMapping& modifiers,
                                    const KeyboardMapping& mapping, std::uint32_t keysym);

// What a hotkey grab needs to know of the modifier mapping.
struct GrabModifiers {
  // The bit Alt sets: the Mod row that holds Alt_L or Alt_R, Mod1 when none does.
  std::uint16_t alt = kXMod1Mask;
  // Lock, and the Mod rows of Num Lock and Scroll Lock when they are on one:
  // states the user toggles, which must neither block nor trigger a hotkey.
  std::uint16_t locks = kXLockMask;
};
GrabModifiers ReadGrabModifiers(const ModifierMapping& modifiers, const KeyboardMapping& mapping);

// The core modifier bits of a hotkey's modifier word (kModShift, kModControl,
// kModAlt).
std::uint16_t CoreModifiers(unsigned hotKeyModifiers, const GrabModifiers& grab);

// The modifier masks to grab a key with so that it works whatever the lock
// keys say: the chord's bits combined with every subset of the lock bits
// (lock bits the chord itself uses are not varied). The chord's own mask
// comes first.
std::vector<std::uint16_t> GrabMasks(std::uint16_t chordMask, std::uint16_t lockMask);

// Whether a key event's state is exactly the chord: the lock bits, the pointer
// buttons and the keyboard group do not count, every other modifier does.
bool StateMatchesChord(std::uint16_t state, std::uint16_t chordMask, std::uint16_t lockMask);

}  // namespace parlumo
