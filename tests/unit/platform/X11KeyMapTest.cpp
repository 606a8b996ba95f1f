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

// A mapping from (keycode, keysyms) rows; keycodes start at 8, two columns
// unless told otherwise.
KeyboardMapping Mapping(std::initializer_list<std::pair<unsigned, std::vector<std::uint32_t>>> rows,
                        unsigned maxKeycode = 140, unsigned columns = 2) {
  KeyboardMapping mapping;
  mapping.minKeycode = 8;
  mapping.keysymsPerKeycode = columns;
  mapping.keysyms.assign((maxKeycode - 8 + 1) * columns, NoSymbol);
  for (const auto& [keycode, keysyms] : rows) {
    for (std::size_t column = 0; column < keysyms.size(); ++column) {
      mapping.keysyms[(keycode - 8) * columns + column] = keysyms[column];
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

// Keys of a German layout as the X server lists them: group 1 in columns 0
// and 1, group 2 (a copy here left empty) in 2 and 3, AltGr's level in 4 and 5.
KeyboardMapping GermanKeys() {
  const std::uint32_t n = NoSymbol;
  return Mapping(
      {
          {Evdev(KEY_2), {XK_2, XK_quotedbl, n, n, XK_twosuperior}},
          {Evdev(KEY_6), {XK_6, XK_ampersand, n, n, XK_notsign}},
          {Evdev(KEY_7), {XK_7, XK_slash, n, n, XK_braceleft}},
          {Evdev(KEY_8), {XK_8, XK_parenleft, n, n, XK_bracketleft}},
          {Evdev(KEY_9), {XK_9, XK_parenright, n, n, XK_bracketright}},
          {Evdev(KEY_0), {XK_0, XK_equal, n, n, XK_braceright}},
          {Evdev(KEY_MINUS), {XK_ssharp, XK_question, n, n, XK_backslash}},
          {Evdev(KEY_EQUAL), {XK_dead_acute, XK_dead_grave, n, n, XK_dead_cedilla}},
          {Evdev(KEY_Q), {XK_q, XK_Q, n, n, XK_at}},
          {Evdev(KEY_Y), {XK_z, XK_Z}},
          {Evdev(KEY_Z), {XK_y, XK_Y}},
          {Evdev(KEY_LEFTBRACE), {XK_udiaeresis, XK_Udiaeresis, n, n, XK_dead_diaeresis}},
          {Evdev(KEY_RIGHTBRACE), {XK_plus, XK_asterisk, n, n, XK_asciitilde}},
          {Evdev(KEY_ENTER), {XK_Return}},
          {Evdev(KEY_SEMICOLON), {XK_odiaeresis, XK_Odiaeresis, n, n, XK_dead_doubleacute}},
          {Evdev(KEY_APOSTROPHE), {XK_adiaeresis, XK_Adiaeresis, n, n, XK_dead_circumflex}},
          {Evdev(KEY_GRAVE), {XK_dead_circumflex, XK_degree}},
          {Evdev(KEY_BACKSLASH), {XK_numbersign, XK_apostrophe, n, n, XK_dead_breve}},
          {Evdev(KEY_COMMA), {XK_comma, XK_semicolon}},
          {Evdev(KEY_DOT), {XK_period, XK_colon}},
          {Evdev(KEY_SLASH), {XK_minus, XK_underscore}},
          {Evdev(KEY_F1), {XK_F1}},
          {Evdev(KEY_KP7), {XK_KP_Home, XK_KP_7}},
          {Evdev(KEY_KPENTER), {XK_KP_Enter}},
          {Evdev(KEY_102ND), {XK_less, XK_greater, n, n, XK_bar}},
      },
      255, 6);
}

TEST(X11KeyMapTest, KeycodesAreNamedByTheVirtualKeyThatIsGrabbedOnThem) {
  const KeyboardMapping german = GermanKeys();
  // A Cyrillic layout with a US one as its second group, and alone.
  const KeyboardMapping russianUs = Mapping(
      {{Evdev(KEY_T), {XK_Cyrillic_ie, XK_Cyrillic_IE, XK_t, XK_T}}, {Evdev(KEY_F1), {XK_F1}}}, 255,
      4);
  const KeyboardMapping russian =
      Mapping({{Evdev(KEY_T), {XK_Cyrillic_ie, XK_Cyrillic_IE}}, {Evdev(KEY_F1), {XK_F1}}}, 255);
  // French digits: the digit is the shifted symbol.
  const KeyboardMapping french =
      Mapping({{Evdev(KEY_1), {XK_ampersand, XK_1}}, {Evdev(KEY_2), {XK_eacute, XK_2}}}, 255);
  // The same symbol on two keys: the grab takes the lower keycode.
  const KeyboardMapping twins = Mapping({{Evdev(KEY_8), {XK_8}}, {200, {XK_8}}}, 255);
  struct Case {
    const char* what;
    const KeyboardMapping& mapping;
    unsigned keycode;
    std::optional<std::uint8_t> expected;
  };
  const Case cases[] = {
      {"8 with ( above it", german, Evdev(KEY_8), '8'},
      {"6 with & above it", german, Evdev(KEY_6), '6'},
      {"0 with = above it", german, Evdev(KEY_0), '0'},
      {"2 with \" above it", german, Evdev(KEY_2), '2'},
      {"z where a US y is", german, Evdev(KEY_Y), 'Z'},
      {"a letter with AltGr's @", german, Evdev(KEY_Q), 'Q'},
      {"comma", german, Evdev(KEY_COMMA), 0xBC},
      {"minus where a US slash is", german, Evdev(KEY_SLASH), 0xBD},
      {"less-than key", german, Evdev(KEY_102ND), 0xE2},
      {"# by its shifted apostrophe", german, Evdev(KEY_BACKSLASH), 0xDE},
      {"sharp s by AltGr's backslash", german, Evdev(KEY_MINUS), 0xDC},
      {"dead circumflex by its place (no key has `)", german, Evdev(KEY_GRAVE), 0xC0},
      {"o umlaut: its place's ; is on the comma key", german, Evdev(KEY_SEMICOLON), 0},
      {"a umlaut: its place's ' is on the # key", german, Evdev(KEY_APOSTROPHE), 0},
      {"u umlaut: its place's [ is AltGr+8", german, Evdev(KEY_LEFTBRACE), 0},
      {"plus: its place's ] is AltGr+9", german, Evdev(KEY_RIGHTBRACE), 0},
      {"dead acute: its place's = is Shift+0", german, Evdev(KEY_EQUAL), 0},
      {"keypad 7 by its digit", german, Evdev(KEY_KP7), 0x67},
      {"keypad Enter is not Return", german, Evdev(KEY_KPENTER), 0},
      {"Return", german, Evdev(KEY_ENTER), 0x0D},
      {"F1", german, Evdev(KEY_F1), 0x70},
      {"a keycode without symbols", german, 200, 0},
      {"below the keycodes", german, 7, std::nullopt},
      {"past the keycodes", german, 256, std::nullopt},
      {"Latin letter of the second group", russianUs, Evdev(KEY_T), 'T'},
      {"letter of a layout without Latin letters: its place", russian, Evdev(KEY_T), 'T'},
      {"French 1", french, Evdev(KEY_1), '1'},
      {"French 2", french, Evdev(KEY_2), '2'},
      {"the key the grab takes", twins, Evdev(KEY_8), '8'},
      {"its twin, which the grab misses", twins, 200, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto virtualKey = VirtualKeyForKeycode(c.mapping, c.keycode);
    EXPECT_EQ(virtualKey, c.expected);
    // Whatever names a key is grabbed on that very key.
    if (virtualKey && *virtualKey != 0) {
      EXPECT_EQ(KeycodeForVirtualKey(c.mapping, *virtualKey), c.keycode);
    }
  }
}

}  // namespace
}  // namespace parlumo
