#include "platform/x11/X11KeyMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <set>
#include <utility>
#include <vector>

#include "desktop/ShortCut.h"

// X.h defines None, which GoogleTest uses as a name: it comes last.
#include <X11/X.h>
#include <X11/keysym.h>
#include <linux/input-event-codes.h>

namespace parlumo {
namespace {

// A mapping from (keycode, keysyms) rows; keycodes start at 8, two columns.
KeyboardMapping Mapping(std::initializer_list<std::pair<unsigned, std::vector<std::uint32_t>>> rows,
                        unsigned maxKeycode = 140) {
  KeyboardMapping mapping;
  mapping.minKeycode = 8;
  mapping.keysymsPerKeycode = 2;
  mapping.keysyms.assign((maxKeycode - 8 + 1) * 2, NoSymbol);
  for (const auto& [keycode, keysyms] : rows) {
    for (std::size_t column = 0; column < keysyms.size(); ++column) {
      mapping.keysyms[(keycode - 8) * 2 + column] = keysyms[column];
    }
  }
  return mapping;
}

// The modifier rows Shift, Lock, Control, Mod1..Mod5, two keycodes each.
ModifierMapping Modifiers(std::initializer_list<std::vector<std::uint8_t>> rows) {
  ModifierMapping modifiers;
  modifiers.keycodesPerModifier = 2;
  modifiers.keycodes.assign(16, 0);
  std::size_t row = 0;
  for (const auto& keycodes : rows) {
    for (std::size_t i = 0; i < keycodes.size(); ++i)
      modifiers.keycodes[row * 2 + i] = keycodes[i];
    ++row;
  }
  return modifiers;
}

// The keys of a US layout as the X servers here number them.
const KeyboardMapping kUsKeys = Mapping({
    {10, {XK_1, XK_exclam}},
    {28, {XK_t, XK_T}},
    {37, {XK_Control_L}},
    {50, {XK_Shift_L}},
    {62, {XK_Shift_R}},
    {64, {XK_Alt_L, XK_Meta_L}},
    {66, {XK_Caps_Lock}},
    {77, {XK_Num_Lock}},
    {78, {XK_Scroll_Lock}},
    {105, {XK_Control_R}},
    {108, {XK_Alt_R, XK_Meta_R}},
    {133, {XK_Super_L}},
});

TEST(X11KeyMapTest, MasksAreTheProtocolBits) {
  EXPECT_EQ(kXShiftMask, ShiftMask);
  EXPECT_EQ(kXLockMask, LockMask);
  EXPECT_EQ(kXControlMask, ControlMask);
  EXPECT_EQ(kXMod1Mask, Mod1Mask);
  EXPECT_EQ(kXMod2Mask, Mod2Mask);
  EXPECT_EQ(kXMod3Mask, Mod3Mask);
  EXPECT_EQ(kXMod4Mask, Mod4Mask);
  EXPECT_EQ(kXMod5Mask, Mod5Mask);
}

TEST(X11KeyMapTest, KeysymsFindTheirKeycodes) {
  const KeyboardMapping mapping = Mapping({
      {10, {XK_1, XK_exclam}},
      {12, {XK_t, XK_T}},
      {20, {XK_exclam}},   // unshifted here: wins over keycode 10's shifted one
      {30, {XK_B}},        // a capital alone types the small letter unshifted
      {31, {XK_Q, XK_A}},  // two capitals: not a small q
      {40, {XK_Shift_L}},
      {41, {XK_Shift_L}},
      {140, {XK_F1}},  // the last keycode
  });
  const struct {
    std::uint32_t keysym;
    std::optional<std::uint8_t> keycode;
  } cases[] = {
      {XK_t, 12}, {XK_T, 12},       {XK_1, 10},   {XK_exclam, 20}, {XK_b, 30},     {XK_B, 30},
      {XK_q, {}}, {XK_Shift_L, 40}, {XK_F1, 140}, {XK_F2, {}},     {NoSymbol, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keysym);
    EXPECT_EQ(KeycodeForKeysym(mapping, c.keysym), c.keycode);
  }
  EXPECT_EQ(KeycodesForKeysym(mapping, XK_Shift_L), (std::vector<std::uint8_t>{40, 41}));
  EXPECT_EQ(KeycodesForKeysym(mapping, XK_exclam), (std::vector<std::uint8_t>{10, 20}));
  EXPECT_TRUE(KeycodesForKeysym(mapping, XK_F2).empty());
  EXPECT_TRUE(KeycodesForKeysym(mapping, NoSymbol).empty());
  EXPECT_EQ(mapping.Keysym(141, 0), static_cast<std::uint32_t>(NoSymbol)) << "past the end";
  EXPECT_EQ(mapping.Keysym(7, 0), static_cast<std::uint32_t>(NoSymbol)) << "before the start";
  EXPECT_FALSE(KeycodeForKeysym(KeyboardMapping{}, XK_t)) << "an empty mapping has no keys";
}

TEST(X11KeyMapTest, GrabModifiersFollowTheModifierMapping) {
  const struct {
    const char* layout;
    ModifierMapping modifiers;
    std::uint16_t alt;
    std::uint16_t locks;
  } cases[] = {
      {"usual: Alt on Mod1, Num Lock on Mod2",
       Modifiers({{50, 62}, {66}, {37, 105}, {64, 108}, {77}, {}, {133}, {}}), Mod1Mask,
       LockMask | Mod2Mask},
      {"no Num Lock modifier", Modifiers({{50, 62}, {66}, {37, 105}, {64, 108}, {}, {}, {}, {}}),
       Mod1Mask, LockMask},
      {"Scroll Lock on Mod3 too",
       Modifiers({{50, 62}, {66}, {37, 105}, {64, 108}, {77}, {78}, {}, {}}), Mod1Mask,
       LockMask | Mod2Mask | Mod3Mask},
      {"Alt moved to Mod3, Num Lock on Mod1",
       Modifiers({{50, 62}, {66}, {37, 105}, {77}, {}, {64}, {}, {}}), Mod3Mask,
       LockMask | Mod1Mask},
      {"Alt nowhere: Mod1 is taken as Alt", Modifiers({{50, 62}, {66}, {37}, {}, {77}, {}, {}, {}}),
       Mod1Mask, LockMask | Mod2Mask},
      {"Num Lock on Alt's row: Alt wins", Modifiers({{50}, {66}, {37}, {64, 77}, {}, {}, {}, {}}),
       Mod1Mask, LockMask},
      {"Alt only by its right key on Mod4", Modifiers({{50}, {66}, {37}, {}, {77}, {}, {108}, {}}),
       Mod4Mask, LockMask | Mod2Mask},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.layout);
    const GrabModifiers grab = ReadGrabModifiers(c.modifiers, kUsKeys);
    EXPECT_EQ(grab.alt, c.alt);
    EXPECT_EQ(grab.locks, c.locks);
  }
  const ModifierMapping usual =
      Modifiers({{50, 62}, {66}, {37, 105}, {64, 108}, {77}, {}, {133}, {}});
  EXPECT_EQ(ModifierMaskForKeysym(usual, kUsKeys, XK_Caps_Lock), LockMask);
  EXPECT_EQ(ModifierMaskForKeysym(usual, kUsKeys, XK_Shift_R), ShiftMask);
  EXPECT_EQ(ModifierMaskForKeysym(usual, kUsKeys, XK_Scroll_Lock), 0);
  EXPECT_EQ(ModifierMaskForKeysym(usual, kUsKeys, XK_t), 0);
}

TEST(X11KeyMapTest, ChordModifiersBecomeCoreBits) {
  const GrabModifiers usual{Mod1Mask, LockMask | Mod2Mask};
  const GrabModifiers altOnMod3{Mod3Mask, LockMask};
  EXPECT_EQ(CoreModifiers(0, usual), 0);
  EXPECT_EQ(CoreModifiers(kModShift, usual), ShiftMask);
  EXPECT_EQ(CoreModifiers(kModControl | kModAlt, usual), ControlMask | Mod1Mask);
  EXPECT_EQ(CoreModifiers(kModControl | kModAlt | kModShift, altOnMod3),
            ControlMask | Mod3Mask | ShiftMask);
  EXPECT_EQ(CoreModifiers(SplitShortCut(0xC054).modifiers, usual), ControlMask | Mod1Mask)
      << "Ctrl+Alt+T";
}

TEST(X11KeyMapTest, GrabsCoverEveryLockCombination) {
  const std::uint16_t chord = ControlMask | Mod1Mask;
  const struct {
    const char* name;
    std::uint16_t chord;
    std::uint16_t locks;
    std::set<std::uint16_t> masks;
  } cases[] = {
      {"Caps Lock and Num Lock",
       chord,
       LockMask | Mod2Mask,
       {chord, chord | LockMask, chord | Mod2Mask, chord | LockMask | Mod2Mask}},
      {"no locks", chord, 0, {chord}},
      {"bare key", 0, LockMask | Mod2Mask, {0, LockMask, Mod2Mask, LockMask | Mod2Mask}},
      {"three locks",
       ShiftMask,
       LockMask | Mod2Mask | Mod5Mask,
       {ShiftMask, ShiftMask | LockMask, ShiftMask | Mod2Mask, ShiftMask | Mod5Mask,
        ShiftMask | LockMask | Mod2Mask, ShiftMask | LockMask | Mod5Mask,
        ShiftMask | Mod2Mask | Mod5Mask, ShiftMask | LockMask | Mod2Mask | Mod5Mask}},
      {"a lock the chord uses is not varied",
       Mod2Mask,
       LockMask | Mod2Mask,
       {Mod2Mask, Mod2Mask | LockMask}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::uint16_t> masks = GrabMasks(c.chord, c.locks);
    ASSERT_FALSE(masks.empty());
    EXPECT_EQ(masks.front(), c.chord);
    EXPECT_EQ(std::set<std::uint16_t>(masks.begin(), masks.end()), c.masks);
    EXPECT_EQ(masks.size(), c.masks.size()) << "no mask twice";
  }
}

TEST(X11KeyMapTest, PressStateMatchesOnlyTheExactChord) {
  const std::uint16_t chord = ControlMask | Mod1Mask;
  const std::uint16_t locks = LockMask | Mod2Mask;
  const struct {
    const char* name;
    std::uint16_t state;
    bool matches;
  } cases[] = {
      {"exact", chord, true},
      {"with Num Lock", chord | Mod2Mask, true},
      {"with Caps Lock and Num Lock", chord | LockMask | Mod2Mask, true},
      {"with a mouse button held", chord | Button1Mask, true},
      {"in the second keyboard group", chord | (1u << 13), true},
      {"Shift as well", chord | ShiftMask, false},
      {"Super as well", chord | Mod4Mask, false},
      {"without Alt", ControlMask, false},
      {"no modifiers", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(StateMatchesChord(c.state, chord, locks), c.matches);
  }
  EXPECT_TRUE(StateMatchesChord(LockMask, 0, locks)) << "a bare key with Caps Lock on";
  EXPECT_FALSE(StateMatchesChord(Mod2Mask, 0, LockMask)) << "Num Lock counts when it is no lock";
}

// Keycodes of the evdev driver are the kernel's input codes plus 8.
constexpr unsigned Evdev(unsigned inputCode) {
  return inputCode + 8;
}

TEST(X11KeyMapTest, StandardPlacesAreTheKernelsKeyCodes) {
  const unsigned letters[] = {KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I,
                              KEY_J, KEY_K, KEY_L, KEY_M, KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R,
                              KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z};
  for (int i = 0; i < 26; ++i)
    EXPECT_EQ(StandardPositionKeycode(static_cast<std::uint8_t>('A' + i)), Evdev(letters[i]))
        << static_cast<char>('A' + i);
  const unsigned digits[] = {KEY_0, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9};
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(StandardPositionKeycode(static_cast<std::uint8_t>('0' + i)), Evdev(digits[i]));
  const std::pair<std::uint8_t, unsigned> punctuation[] = {
      {0xBA, KEY_SEMICOLON}, {0xBB, KEY_EQUAL},      {0xBC, KEY_COMMA},     {0xBD, KEY_MINUS},
      {0xBE, KEY_DOT},       {0xBF, KEY_SLASH},      {0xC0, KEY_GRAVE},     {0xDB, KEY_LEFTBRACE},
      {0xDC, KEY_BACKSLASH}, {0xDD, KEY_RIGHTBRACE}, {0xDE, KEY_APOSTROPHE}};
  for (const auto& [vk, code] : punctuation)
    EXPECT_EQ(StandardPositionKeycode(vk), Evdev(code));
  // Keys outside the main block have no place to fall back to.
  for (const std::uint8_t vk : {0x70 /* F1 */, 0x25 /* left */, 0x60 /* numpad 0 */, 0x11})
    EXPECT_EQ(StandardPositionKeycode(vk), std::nullopt);
}

TEST(X11KeyMapTest, VirtualKeyWithoutItsSymbolFallsBackToItsPlace) {
  const unsigned cPlace = Evdev(KEY_C);
  const unsigned dotPlace = Evdev(KEY_DOT);
  // A Cyrillic layout: es where C is, yu where the full stop is, no Latin c.
  const auto cyrillic = Mapping(
      {{cPlace, {XK_Cyrillic_es, XK_Cyrillic_ES}}, {dotPlace, {XK_Cyrillic_yu, XK_Cyrillic_YU}}},
      255);
  struct Case {
    const char* what;
    KeyboardMapping mapping;
    std::uint8_t virtualKey;
    std::optional<std::uint8_t> expected;
  };
  const Case cases[] = {
      {"letter at its place", cyrillic, 'C', static_cast<std::uint8_t>(cPlace)},
      {"punctuation at its place", cyrillic, 0xBE, static_cast<std::uint8_t>(dotPlace)},
      {"no key in that place", cyrillic, 'T', std::nullopt},
      {"function keys have no place", cyrillic, 0x74, std::nullopt},
      {"the symbol wins where a key has it",
       Mapping({{cPlace, {XK_Cyrillic_es, XK_Cyrillic_ES}}, {60, {XK_c, XK_C}}}, 255), 'C', 60},
      {"no place on a keyboard not numbered by evdev",
       Mapping({{cPlace, {XK_Cyrillic_es, XK_Cyrillic_ES}}}, 140), 'C', std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(KeycodeForVirtualKey(c.mapping, c.virtualKey), c.expected) << c.what;
}

}  // namespace
}  // namespace parlumo
