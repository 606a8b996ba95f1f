#include "platform/x11/VirtualKeys.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

namespace parlumo {
namespace {

// Virtual-key codes as Windows numbers them, against X's own keysym names.
TEST(VirtualKeysTest, CodesMapToTheirKeysymsAndBack) {
  const struct {
    std::uint8_t vk;
    unsigned long keysym;
  } cases[] = {
      {0x41, XK_a},      {0x5A, XK_z},         {0x30, XK_0},       {0x39, XK_9},
      {0x70, XK_F1},     {0x7B, XK_F12},       {0x87, XK_F24},     {0x25, XK_Left},
      {0x28, XK_Down},   {0x2D, XK_Insert},    {0x2E, XK_Delete},  {0x24, XK_Home},
      {0x21, XK_Prior},  {0x22, XK_Next},      {0x60, XK_KP_0},    {0x69, XK_KP_9},
      {0x6B, XK_KP_Add}, {0x6F, XK_KP_Divide}, {0x0D, XK_Return},  {0x20, XK_space},
      {0x1B, XK_Escape}, {0xBA, XK_semicolon}, {0xBD, XK_minus},   {0xDE, XK_apostrophe},
      {0xC0, XK_grave},  {0x2C, XK_Print},     {0x10, XK_Shift_L}, {0x11, XK_Control_L},
      {0x12, XK_Alt_L},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.vk));
    EXPECT_EQ(KeysymFromVirtualKey(c.vk), c.keysym);
    const auto back = VirtualKeyFromKeysym(c.keysym);
    ASSERT_TRUE(back.has_value());
    // Two codes may share a keysym (Shift and left Shift); the way back must
    // at least land on a code with the same keysym.
    EXPECT_EQ(KeysymFromVirtualKey(*back), c.keysym);
  }
  EXPECT_EQ(VirtualKeyFromKeysym(XK_Q), 0x51) << "capital letters name the same key";
}

TEST(VirtualKeysTest, EveryMappedCodeRoundTripsAndUnknownOnesGiveNothing) {
  int mapped = 0;
  for (int vk = 0; vk < 256; ++vk) {
    const auto keysym = KeysymFromVirtualKey(static_cast<std::uint8_t>(vk));
    if (!keysym) continue;
    ++mapped;
    const auto back = VirtualKeyFromKeysym(*keysym);
    ASSERT_TRUE(back.has_value()) << vk;
    EXPECT_EQ(KeysymFromVirtualKey(*back), keysym) << vk;
  }
  EXPECT_GE(mapped, 26 + 10 + 24 + 10);  // letters, digits, F1-F24, keypad digits at least
  EXPECT_FALSE(KeysymFromVirtualKey(0x00).has_value());
  EXPECT_FALSE(KeysymFromVirtualKey(0xFF).has_value());
  EXPECT_FALSE(VirtualKeyFromKeysym(XK_Hyper_L).has_value());
}

}  // namespace
}  // namespace parlumo
