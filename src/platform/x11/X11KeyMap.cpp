#include "platform/x11/X11KeyMap.h"

#include <X11/keysym.h>

#include "desktop/ShortCut.h"
#include "platform/x11/VirtualKeys.h"

namespace parlumo {

namespace {

constexpr unsigned kModifierRows = 8;
constexpr std::uint16_t kAllModifiers = 0xFF;
constexpr unsigned kFirstModRow = 3;  // Mod1; rows 0-2 are Shift, Lock, Control

std::optional<std::uint8_t> FindInColumns(const KeyboardMapping& mapping, std::uint32_t keysym) {
  for (unsigned column = 0; column < mapping.keysymsPerKeycode; ++column) {
    for (unsigned keycode = mapping.minKeycode; keycode <= mapping.MaxKeycode(); ++keycode) {
      if (mapping.Keysym(keycode, column) == keysym) return static_cast<std::uint8_t>(keycode);
    }
  }
  return std::nullopt;
}

// The Mod rows (Mod1..Mod5) holding a key with the keysym.
std::uint16_t ModRowsForKeysym(const ModifierMapping& modifiers, const KeyboardMapping& mapping,
                               std::uint32_t keysym) {
  return ModifierMaskForKeysym(modifiers, mapping, keysym) &
         ~(kXShiftMask | kXLockMask | kXControlMask);
}

}  // namespace

unsigned KeyboardMapping::MaxKeycode() const {
  if (keysymsPerKeycode == 0) return minKeycode - 1;
  return minKeycode + static_cast<unsigned>(keysyms.size() / keysymsPerKeycode) - 1;
}

std::uint32_t KeyboardMapping::Keysym(unsigned keycode, unsigned column) const {
  if (keycode < minKeycode || keycode > MaxKeycode() || column >= keysymsPerKeycode) return 0;
  return keysyms[(keycode - minKeycode) * keysymsPerKeycode + column];
}

std::optional<std::uint8_t> KeycodeForKeysym(const KeyboardMapping& mapping, std::uint32_t keysym) {
  if (keysym == 0) return std::nullopt;
  if (const auto found = FindInColumns(mapping, keysym)) return found;
  // X reads a key whose only symbol is a capital letter as giving the small
  // letter unshifted.
  if (keysym >= XK_a && keysym <= XK_z) {
    const std::uint32_t capital = keysym - XK_a + XK_A;
    for (unsigned keycode = mapping.minKeycode; keycode <= mapping.MaxKeycode(); ++keycode) {
      if (mapping.Keysym(keycode, 0) == capital && mapping.Keysym(keycode, 1) == 0) {
        return static_cast<std::uint8_t>(keycode);
      }
    }
  }
  return std::nullopt;
}

std::optional<std::uint8_t> StandardPositionKeycode(std::uint8_t virtualKey) {
  // Linux input codes of the main block, by row: Q..P, A..L, Z..M.
  static constexpr std::uint8_t kLetters[26] = {
      30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,  // A..M
      49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44,  // N..Z
  };
  constexpr std::uint8_t kEvdevOffset = 8;
  std::uint8_t code = 0;
  if (virtualKey >= 'A' && virtualKey <= 'Z') {
    code = kLetters[virtualKey - 'A'];
  } else if (virtualKey >= '1' && virtualKey <= '9') {
    code = static_cast<std::uint8_t>(2 + (virtualKey - '1'));
  } else if (virtualKey == '0') {
    code = 11;
  } else {
    switch (virtualKey) {
      case 0xBA:
        code = 39;
        break;  // ;
      case 0xBB:
        code = 13;
        break;  // =
      case 0xBC:
        code = 51;
        break;  // ,
      case 0xBD:
        code = 12;
        break;  // -
      case 0xBE:
        code = 52;
        break;  // .
      case 0xBF:
        code = 53;
        break;  // /
      case 0xC0:
        code = 41;
        break;  // `
      case 0xDB:
        code = 26;
        break;  // [
      case 0xDC:
        code = 43;
        break;  // backslash
      case 0xDD:
        code = 27;
        break;  // ]
      case 0xDE:
        code = 40;
        break;  // '
      default:
        return std::nullopt;
    }
  }
  return static_cast<std::uint8_t>(code + kEvdevOffset);
}

std::optional<std::uint8_t> KeycodeForVirtualKey(const KeyboardMapping& mapping,
                                                 std::uint8_t virtualKey) {
  const auto keysym = KeysymFromVirtualKey(virtualKey);
  if (!keysym) return std::nullopt;
  if (const auto keycode = KeycodeForKeysym(mapping, static_cast<std::uint32_t>(*keysym)))
    return keycode;
  const auto place = StandardPositionKeycode(virtualKey);
  if (!place || mapping.minKeycode != 8 || mapping.MaxKeycode() < 255) return std::nullopt;
  // The key must be there: it carries some symbol.
  for (unsigned column = 0; column < mapping.keysymsPerKeycode; ++column)
    if (mapping.Keysym(*place, column) != 0) return place;
  return std::nullopt;
}

std::optional<std::uint8_t> VirtualKeyForKeycode(const KeyboardMapping& mapping, unsigned keycode) {
  if (keycode < mapping.minKeycode || keycode > mapping.MaxKeycode()) return std::nullopt;
  const auto namesThisKey = [&](std::uint8_t virtualKey) {
    const auto back = KeycodeForVirtualKey(mapping, virtualKey);
    return back && unsigned{*back} == keycode;
  };
  for (unsigned column = 0; column < mapping.keysymsPerKeycode; ++column) {
    const std::uint32_t keysym = mapping.Keysym(keycode, column);
    if (keysym == 0) continue;
    const auto virtualKey = VirtualKeyFromKeysym(keysym);
    if (virtualKey && namesThisKey(*virtualKey)) return virtualKey;
  }
  for (unsigned virtualKey = 1; virtualKey <= 0xFF; ++virtualKey) {
    const auto vk = static_cast<std::uint8_t>(virtualKey);
    const auto place = StandardPositionKeycode(vk);
    if (place && unsigned{*place} == keycode && namesThisKey(vk)) return vk;
  }
  return std::uint8_t{0};
}

std::vector<std::uint8_t> KeycodesForKeysym(const KeyboardMapping& mapping, std::uint32_t keysym) {
  std::vector<std::uint8_t> keycodes;
  if (keysym == 0) return keycodes;
  for (unsigned keycode = mapping.minKeycode; keycode <= mapping.MaxKeycode(); ++keycode) {
    for (unsigned column = 0; column < mapping.keysymsPerKeycode; ++column) {
      if (mapping.Keysym(keycode, column) == keysym) {
        keycodes.push_back(static_cast<std::uint8_t>(keycode));
        break;
      }
    }
  }
  return keycodes;
}

std::uint16_t ModifierMaskForKeysym(const ModifierMapping& modifiers,
                                    const KeyboardMapping& mapping, std::uint32_t keysym) {
  const std::vector<std::uint8_t> keycodes = KeycodesForKeysym(mapping, keysym);
  std::uint16_t mask = 0;
  const unsigned perRow = modifiers.keycodesPerModifier;
  for (unsigned row = 0; row < kModifierRows; ++row) {
    for (unsigned i = 0; i < perRow; ++i) {
      const std::size_t at = static_cast<std::size_t>(row) * perRow + i;
      if (at >= modifiers.keycodes.size()) break;
      const std::uint8_t keycode = modifiers.keycodes[at];
      if (keycode == 0) continue;
      for (const std::uint8_t k : keycodes) {
        if (k == keycode) mask |= static_cast<std::uint16_t>(1u << row);
      }
    }
  }
  return mask;
}

GrabModifiers ReadGrabModifiers(const ModifierMapping& modifiers, const KeyboardMapping& mapping) {
  GrabModifiers grab;
  const std::uint16_t alt = ModRowsForKeysym(modifiers, mapping, XK_Alt_L) |
                            ModRowsForKeysym(modifiers, mapping, XK_Alt_R);
  // Of several rows the lowest is the one applications read as Alt.
  for (unsigned row = kFirstModRow; row < kModifierRows; ++row) {
    if (alt & (1u << row)) {
      grab.alt = static_cast<std::uint16_t>(1u << row);
      break;
    }
  }
  const std::uint16_t toggles = ModRowsForKeysym(modifiers, mapping, XK_Num_Lock) |
                                ModRowsForKeysym(modifiers, mapping, XK_Scroll_Lock);
  // A layout that puts a lock key on Alt's row would make Alt a lock; Alt wins.
  grab.locks = static_cast<std::uint16_t>((kXLockMask | toggles) & ~grab.alt);
  return grab;
}

std::uint16_t CoreModifiers(unsigned hotKeyModifiers, const GrabModifiers& grab) {
  std::uint16_t mask = 0;
  if (hotKeyModifiers & kModShift) mask |= kXShiftMask;
  if (hotKeyModifiers & kModControl) mask |= kXControlMask;
  if (hotKeyModifiers & kModAlt) mask |= grab.alt;
  return mask;
}

std::vector<std::uint16_t> GrabMasks(std::uint16_t chordMask, std::uint16_t lockMask) {
  const std::uint16_t locks = lockMask & kAllModifiers & static_cast<std::uint16_t>(~chordMask);
  std::vector<std::uint16_t> masks;
  // Every subset of the lock bits, counted up from the empty one.
  std::uint16_t subset = 0;
  do {
    masks.push_back(static_cast<std::uint16_t>(chordMask | subset));
    subset = static_cast<std::uint16_t>((subset - locks) & locks);
  } while (subset != 0);
  return masks;
}

bool StateMatchesChord(std::uint16_t state, std::uint16_t chordMask, std::uint16_t lockMask) {
  const std::uint16_t counted = kAllModifiers & static_cast<std::uint16_t>(~lockMask);
  return (state & counted) == (chordMask & counted);
}

}  // namespace parlumo
