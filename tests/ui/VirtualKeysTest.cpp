// The table between Qt's keys and the virtual-key codes of stored shortcuts.
#include <gtest/gtest.h>

#include "app/QtVirtualKeys.h"
#include "platform/x11/VirtualKeys.h"

namespace parlumo {
namespace {

TEST(QtVirtualKeysTest, EveryVirtualKeyWithAQtKeyComesBackUnchanged) {
  int mapped = 0;
  for (int vk = 0; vk < 256; ++vk) {
    const auto key = QtKeyFromVirtualKey(static_cast<std::uint8_t>(vk));
    if (!key) continue;
    ++mapped;
    const bool keypad = key->keyboardModifiers().testFlag(Qt::KeypadModifier);
    EXPECT_EQ(VirtualKeyFromQtKey(key->key(), keypad), vk) << std::hex << vk;
  }
  // Letters, digits, F1-F24, keypad and the named keys.
  EXPECT_GT(mapped, 26 + 10 + 24 + 10 + 30);
}

TEST(QtVirtualKeysTest, EveryKeyTheX11SideKnowsCanBeTyped) {
  // The hotkeys reach X through the keysym table; a key it can grab that the
  // field could never produce would be unreachable from the dialog. The
  // modifier and Windows keys are no shortcut keys.
  for (int vk = 0; vk < 256; ++vk) {
    const bool modifier =
        (vk >= 0x10 && vk <= 0x12) || (vk >= 0xA0 && vk <= 0xA5) || vk == 0x5B || vk == 0x5C;
    if (modifier || !KeysymFromVirtualKey(static_cast<std::uint8_t>(vk))) continue;
    EXPECT_TRUE(QtKeyFromVirtualKey(static_cast<std::uint8_t>(vk)).has_value()) << std::hex << vk;
  }
}

TEST(QtVirtualKeysTest, QtKeysAsTyped) {
  struct Case {
    int key;
    bool keypad;
    std::optional<std::uint8_t> vk;
  };
  const Case cases[] = {
      {Qt::Key_A, false, 0x41},        {Qt::Key_Z, false, 0x5A},
      {Qt::Key_0, false, 0x30},        {Qt::Key_0, true, 0x60},
      {Qt::Key_9, true, 0x69},         {Qt::Key_F1, false, 0x70},
      {Qt::Key_F24, false, 0x87},      {Qt::Key_Plus, true, 0x6B},
      {Qt::Key_Plus, false, 0xBB},     {Qt::Key_Minus, false, 0xBD},
      {Qt::Key_Enter, true, 0x0D},     {Qt::Key_Return, false, 0x0D},
      {Qt::Key_Exclam, false, 0x31},   {Qt::Key_ParenRight, false, 0x30},
      {Qt::Key_Colon, false, 0xBA},    {Qt::Key_Less, false, 0xE2},
      {Qt::Key_Print, false, 0x2C},    {Qt::Key_Delete, false, 0x2E},
      {Qt::Key_PageDown, false, 0x22}, {Qt::Key_Space, false, 0x20},
      {Qt::Key_Shift, false, {}},      {Qt::Key_Alt, false, {}},
      {Qt::Key_Udiaeresis, false, {}}, {Qt::Key_unknown, false, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VirtualKeyFromQtKey(c.key, c.keypad), c.vk) << std::hex << c.key;
  }
}

TEST(QtVirtualKeysTest, ShortcutTextAsTheDesktopNamesKeys) {
  EXPECT_EQ(ShortCutText(0), "");
  EXPECT_EQ(ShortCutText(0xC054), "Ctrl+Alt+T");
  EXPECT_EQ(ShortCutText(0xA054), "Alt+Shift+T");
  EXPECT_EQ(ShortCutText(0x8078), "Alt+F9");
  EXPECT_EQ(ShortCutText(0x4065), "Ctrl+Num+5");
  // A code without a Qt name is still shown.
  EXPECT_EQ(ShortCutText(0x80E5), "Alt+0xE5");
  EXPECT_EQ(KeySequenceFromShortCut(0x80E5), QKeySequence());
}

}  // namespace
}  // namespace parlumo
