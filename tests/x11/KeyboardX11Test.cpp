// Key synthesis and key state over a real X server: X11Keyboard against
// xdotool, another X client's view of the keyboard, and a real application
// that copies its selection when it gets Ctrl+C.
#include <unistd.h>

#include <gtest/gtest.h>

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "desktop/GlobalHotKey.h"
#include "desktop/VirtualKeyCodes.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/X11Keyboard.h"
#include "x11/KeyboardX11Support.h"

#include <X11/keysym.h>

namespace parlumo {
namespace {

using keytest::ClipboardText;
using keytest::CopyPeer;
using keytest::OtherClient;
using keytest::Pump;
using keytest::WaitUntil;
using keytest::Xdotool;

// A text no earlier run left on the clipboard, with letters beyond ASCII.
QString UniqueText(int round) {
  return QString::fromUtf8("Grüße aus Köln, Ελλάδα, 日本語 %1-%2").arg(getpid()).arg(round);
}

class X11KeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(other_.Connected());
    keyboard_ = X11Keyboard::ForApplication();
    ASSERT_NE(keyboard_, nullptr);
  }

  // The key for xdotool: its keycode. (By name, xdotool presses the left
  // Shift, Ctrl or Alt along with the right one.)
  QString KeyName(unsigned long keysym) { return QString::number(other_.Keycode(keysym)); }

  // Whether the server has the key down, once the events sent so far are in.
  bool EventuallyDown(unsigned long keysym, bool down) {
    const unsigned keycode = other_.Keycode(keysym);
    return WaitUntil([&] { return other_.KeyDown(keycode) == down; }, 2000);
  }

  OtherClient other_;
  std::unique_ptr<X11Keyboard> keyboard_;
};

TEST_F(X11KeyboardTest, KeyStateShowsTheKeysDown) {
  const struct {
    unsigned long key;
    std::uint8_t generic;  // the virtual key that stands for both sides
    std::uint8_t side;     // the key's own virtual key
    std::uint8_t otherSide;
  } cases[] = {
      {XK_Shift_L, kVkShift, 0xA0, 0xA1},
      {XK_Shift_R, kVkShift, 0xA1, 0xA0},
      {XK_Control_L, kVkControl, 0xA2, 0xA3},
      {XK_Control_R, kVkControl, 0xA3, 0xA2},
      {XK_Alt_L, kVkMenu, 0xA4, 0xA5},
      {XK_Alt_R, kVkMenu, 0xA5, 0xA4},
      {XK_a, 0x41, 0x41, 0x42},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_GE(keyboard_->KeyState(c.generic), 0);
    Xdotool({"keydown", KeyName(c.key)});
    EXPECT_LT(keyboard_->KeyState(c.generic), 0);
    EXPECT_LT(keyboard_->KeyState(c.side), 0);
    EXPECT_GE(keyboard_->KeyState(c.otherSide), 0);
    Xdotool({"keyup", KeyName(c.key)});
    EXPECT_GE(keyboard_->KeyState(c.generic), 0);
    EXPECT_GE(keyboard_->KeyState(c.side), 0);
  }
  EXPECT_EQ(keyboard_->KeyState(0xFF), 0) << "a code without a key";
}

TEST_F(X11KeyboardTest, LockKeysShowWhetherTheyAreOn) {
  const struct {
    const char* key;
    std::uint8_t virtualKey;
    unsigned long keysym;
  } cases[] = {
      {"Num_Lock", kVkNumLock, XK_Num_Lock},
      {"Caps_Lock", kVkCapital, XK_Caps_Lock},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    const unsigned modifier = other_.ModifierOf(c.keysym);
    ASSERT_NE(modifier, 0u);
    const bool before = (other_.ModifierState() & modifier) != 0;
    EXPECT_EQ((keyboard_->KeyState(c.virtualKey) & 1) != 0, before);
    Xdotool({"key", c.key});
    EXPECT_EQ((keyboard_->KeyState(c.virtualKey) & 1) != 0, !before);
    EXPECT_GE(keyboard_->KeyState(c.virtualKey), 0) << "toggled, not held";
    Xdotool({"key", c.key});
    EXPECT_EQ((keyboard_->KeyState(c.virtualKey) & 1) != 0, before);
  }
  Xdotool({"key", "Num_Lock"});
  EXPECT_EQ(keyboard_->KeyState(0x41) & 1, 0) << "only lock keys toggle";
  Xdotool({"key", "Num_Lock"});
}

TEST_F(X11KeyboardTest, ScanCodeIsTheKeycodeThatTypesTheKey) {
  const struct {
    std::uint8_t virtualKey;
    unsigned long keysym;
  } cases[] = {
      {0x54, XK_t},        {kVkC, XK_c},           {0x31, XK_1},
      {0x70, XK_F1},       {kVkShift, XK_Shift_L}, {kVkControl, XK_Control_L},
      {kVkMenu, XK_Alt_L}, {0xA3, XK_Control_R},   {0x60, XK_KP_0},
      {0x0D, XK_Return},   {0xBA, XK_semicolon},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.virtualKey));
    const unsigned keycode = other_.Keycode(c.keysym);
    ASSERT_NE(keycode, 0u);
    EXPECT_EQ(keyboard_->ScanCode(c.virtualKey), keycode);
  }
  EXPECT_EQ(keyboard_->ScanCode(0xFF), 0) << "a code without a key";
  EXPECT_EQ(keyboard_->ScanCode(0x00), 0);
}

TEST_F(X11KeyboardTest, KeycodesAreNamedByTheKeyNotTheSymbolItsModifiersMake) {
  const unsigned key8 = other_.Keycode(XK_8);
  const unsigned keySemicolon = other_.Keycode(XK_semicolon);
  const unsigned keyComma = other_.Keycode(XK_comma);
  const unsigned keyT = other_.Keycode(XK_t);
  const unsigned spare = other_.FreeKeycode();
  for (const unsigned keycode : {key8, keySemicolon, keyComma, keyT, spare})
    ASSERT_NE(keycode, 0u);
  EXPECT_EQ(keyboard_->VirtualKeyOfKeycode(keySemicolon), 0xBA) << "a US layout's ; key";

  const keytest::SavedKeysyms restore(other_, {key8, keySemicolon, keyComma, spare});
  // As a German keyboard has them: "(" above the 8, o umlaut where a US
  // layout has ";", and ";" above the comma.
  other_.SetKeysyms(key8, {XK_8, XK_parenleft});
  other_.SetKeysyms(keyComma, {XK_comma, XK_semicolon});
  other_.SetKeysyms(keySemicolon, {XK_odiaeresis, XK_Odiaeresis});
  other_.SetKeysyms(spare, {XK_odiaeresis, XK_Odiaeresis});
  ASSERT_EQ(other_.Keysyms(key8).at(1), static_cast<unsigned long>(XK_parenleft));

  const struct {
    const char* what;
    unsigned keycode;
    std::optional<std::uint8_t> expected;
  } cases[] = {
      {"8 with ( above it", key8, '8'},
      {"comma with ; above it", keyComma, 0xBC},
      {"a letter", keyT, 'T'},
      {"o umlaut where ; was: its place's ; is on another key", keySemicolon, 0},
      {"o umlaut on a key without a standard place", spare, 0},
      {"below the keycodes the protocol allows", 7, std::nullopt},
      {"past them", 256, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto virtualKey = keyboard_->VirtualKeyOfKeycode(c.keycode);
    EXPECT_EQ(virtualKey, c.expected);
    // The key events and the hotkey grabs find this very key by the name.
    if (virtualKey && *virtualKey != 0) {
      EXPECT_EQ(keyboard_->ScanCode(*virtualKey), c.keycode);
    }
  }
}

TEST_F(X11KeyboardTest, SentKeysGoDownAndUp) {
  const struct {
    const char* name;
    std::uint8_t virtualKey;
    unsigned long keysym;
    bool withCode;  // the keycode from ScanCode given along
  } cases[] = {
      {"a letter", 0x54, XK_t, false},
      {"a letter by its code", 0x54, XK_t, true},
      {"Ctrl with nothing held: the left key", kVkControl, XK_Control_L, false},
      {"left Shift by its code", kVkShift, XK_Shift_L, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::uint8_t code = c.withCode ? keyboard_->ScanCode(c.virtualKey) : 0;
    keyboard_->SendKey(c.virtualKey, code, false);
    EXPECT_TRUE(EventuallyDown(c.keysym, true));
    keyboard_->SendKey(c.virtualKey, code, true);
    EXPECT_TRUE(EventuallyDown(c.keysym, false));
  }
}

TEST_F(X11KeyboardTest, GenericModifierUpAndDownPutBackTheKeysTheUserHeld) {
  const struct {
    std::uint8_t virtualKey;
    unsigned long keysym;  // the key the user holds
    unsigned long otherSide;
  } cases[] = {
      {kVkControl, XK_Control_R, XK_Control_L},
      {kVkControl, XK_Control_L, XK_Control_R},
      {kVkMenu, XK_Alt_R, XK_Alt_L},
      {kVkShift, XK_Shift_R, XK_Shift_L},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keysym);
    Xdotool({"keydown", KeyName(c.keysym)});
    keyboard_->SendKey(c.virtualKey, 0, true);
    EXPECT_TRUE(EventuallyDown(c.keysym, false)) << "the held key is let go";
    keyboard_->SendKey(c.virtualKey, 0, false);
    EXPECT_TRUE(EventuallyDown(c.keysym, true)) << "the same key is down again";
    EXPECT_FALSE(other_.KeyDown(other_.Keycode(c.otherSide)));
    // The user lets go: nothing stays down.
    Xdotool({"keyup", KeyName(c.keysym)});
    EXPECT_TRUE(EventuallyDown(c.keysym, false));
    EXPECT_FALSE(other_.KeyDown(other_.Keycode(c.otherSide)));
    EXPECT_GE(keyboard_->KeyState(c.virtualKey), 0);
  }
}

TEST_F(X11KeyboardTest, CopyKeystrokeCopiesTheFocusedSelection) {
  const struct {
    const char* name;
    bool withCodes;  // the keycodes from ScanCode given along
  } cases[] = {
      {"virtual keys alone", false},
      {"with the keyboard's codes", true},
  };
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString text = UniqueText(++round);
    CopyPeer peer(text);
    ASSERT_TRUE(peer.WaitReady());
    const auto code = [&](std::uint8_t vk) {
      return c.withCodes ? keyboard_->ScanCode(vk) : std::uint8_t{0};
    };
    keyboard_->SendKey(kVkControl, code(kVkControl), false);
    keyboard_->SendKey(kVkC, code(kVkC), false);
    keyboard_->SendKey(kVkC, code(kVkC), true);
    keyboard_->SendKey(kVkControl, code(kVkControl), true);
    EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == text; }))
        << ClipboardText().toStdString();
    EXPECT_GE(keyboard_->KeyState(kVkControl), 0);
    EXPECT_GE(keyboard_->KeyState(kVkC), 0);
  }
}

// The whole road of a quick capture: the user holds Ctrl+Alt+T, the hotkey's
// handler takes the held modifiers away, synthesises Ctrl+C and gives them
// back, and the focused application copies its selection.
TEST_F(X11KeyboardTest, HandlerOfAHeldShortcutCopiesFromTheFocusedWindow) {
  const auto platform = X11HotKeyPlatform::ForApplication();
  ASSERT_NE(platform, nullptr);
  TGlobalHotKey hotKey(*platform);
  int presses = 0;
  bool held[3] = {};
  const std::uint8_t modifiers[3] = {kVkMenu, kVkControl, kVkShift};
  hotKey.OnHotKey = [&](TGlobalHotKey& /*sender*/) {
    if (++presses > 1) return;  // auto-repeat while the keys are held
    for (int i = 0; i < 3; ++i)
      held[i] = keyboard_->KeyState(modifiers[i]) < 0;
    for (int i = 0; i < 3; ++i) {
      if (held[i]) keyboard_->SendKey(modifiers[i], 0, true);
    }
    keyboard_->SendKey(kVkControl, 0, false);
    keyboard_->SendKey(kVkC, 0, false);
    keyboard_->SendKey(kVkC, 0, true);
    keyboard_->SendKey(kVkControl, 0, true);
    for (int i = 0; i < 3; ++i) {
      if (held[i]) keyboard_->SendKey(modifiers[i], 0, false);
    }
  };
  hotKey.SetKey(0xC054);

  const QString text = UniqueText(0);
  CopyPeer peer(text);
  ASSERT_TRUE(peer.WaitReady());
  Xdotool({"keydown", "ctrl+alt+t"});
  EXPECT_TRUE(WaitUntil([&] { return presses > 0; }));
  Xdotool({"keyup", "ctrl+alt+t"});
  EXPECT_TRUE(held[0]) << "Alt was seen held";
  EXPECT_TRUE(held[1]) << "Ctrl was seen held";
  EXPECT_FALSE(held[2]) << "Shift was not held";
  EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == text; })) << ClipboardText().toStdString();
  for (const unsigned long keysym : {XK_Control_L, XK_Alt_L, XK_t, XK_c}) {
    EXPECT_TRUE(EventuallyDown(keysym, false)) << "no key stays down: " << keysym;
  }
  Pump(100);
}

}  // namespace
}  // namespace parlumo
