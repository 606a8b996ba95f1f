#include "desktop/GlobalHotKey.h"

#include <gtest/gtest.h>

#include "fakes/FakeHotKeyPlatform.h"

namespace parlumo {
namespace {

using test::FakeHotKeyPlatform;

constexpr TShortCut kCtrlAltT = 0xC054;  // 49236
constexpr HotKeyChord kCtrlAltTChord{0x0001 | 0x0002, 0x54};

TEST(ShortCutTest, SplitsIntoRegisterHotKeyModifiersAndKey) {
  struct Case {
    TShortCut key;
    unsigned modifiers;  // MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4
    unsigned virtualKey;
  } cases[] = {
      {0xC054, 0x0003, 0x54},  // Ctrl+Alt+T
      {0x0078, 0x0000, 0x78},  // bare F9
      {0x2041, 0x0004, 0x41},  // Shift+A
      {0x4041, 0x0002, 0x41},  // Ctrl+A
      {0x8041, 0x0001, 0x41},  // Alt+A
      {0xE070, 0x0007, 0x70},  // Shift+Ctrl+Alt+F1
      {0x1F54, 0x0000, 0x54},  // bits 8-12 ignored
      {0xDF54, 0x0003, 0x54},  // and with modifiers
      {0x0000, 0x0000, 0x00},  // Key 0 is not special
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(SplitShortCut(c.key), (HotKeyChord{c.modifiers, c.virtualKey}));
  }
}

class GlobalHotKeyTest : public ::testing::Test {
 protected:
  FakeHotKeyPlatform platform_;
};

TEST_F(GlobalHotKeyTest, NewComponentIsEnabledWithKeyZeroAndRegistersNothing) {
  TGlobalHotKey hotKey(platform_);
  EXPECT_TRUE(hotKey.Enabled());
  EXPECT_EQ(hotKey.Key(), 0);
  EXPECT_TRUE(platform_.calls.empty());
}

TEST_F(GlobalHotKeyTest, StartSequenceOfTheMainForm) {
  // Loading sets Enabled false and Key 0 without effect, then loading ends.
  TGlobalHotKey hotKey(platform_);
  hotKey.SetEnabled(false);
  hotKey.SetKey(0);
  hotKey.Loaded();
  EXPECT_TRUE(platform_.calls.empty());

  // Enabled first, Key second: one attempt with key 0, then the real shortcut.
  hotKey.SetEnabled(true);
  hotKey.SetKey(kCtrlAltT);
  ASSERT_EQ(platform_.calls.size(), 3u);
  EXPECT_TRUE(platform_.calls[0].registering);
  EXPECT_EQ(platform_.calls[0].chord, (HotKeyChord{0, 0}));
  EXPECT_FALSE(platform_.calls[1].registering);
  EXPECT_TRUE(platform_.calls[2].registering);
  EXPECT_EQ(platform_.calls[2].chord, kCtrlAltTChord);
  EXPECT_TRUE(platform_.IsHeldByUs(kCtrlAltTChord));
  EXPECT_EQ(platform_.HeldByUs(), 1u);
}

TEST_F(GlobalHotKeyTest, KeyFirstThenEnabledRegistersOnce) {
  TGlobalHotKey hotKey(platform_);
  hotKey.SetEnabled(false);
  hotKey.Loaded();
  hotKey.SetKey(kCtrlAltT);
  EXPECT_TRUE(platform_.calls.empty());
  hotKey.SetEnabled(true);
  EXPECT_EQ(platform_.RegisterCalls(), 1u);
  EXPECT_TRUE(platform_.IsHeldByUs(kCtrlAltTChord));
}

TEST_F(GlobalHotKeyTest, LoadedRegistersWhenEnabled) {
  TGlobalHotKey hotKey(platform_);
  hotKey.Loaded();
  ASSERT_EQ(platform_.RegisterCalls(), 1u);
  EXPECT_EQ(platform_.calls[0].chord, (HotKeyChord{0, 0}));
}

TEST_F(GlobalHotKeyTest, KeyAssignedItsOwnValueDoesNothing) {
  TGlobalHotKey hotKey(platform_);
  hotKey.SetKey(kCtrlAltT);
  EXPECT_EQ(platform_.RegisterCalls(), 1u);
  hotKey.SetKey(kCtrlAltT);
  EXPECT_EQ(platform_.calls.size(), 1u);
  EXPECT_TRUE(platform_.IsHeldByUs(kCtrlAltTChord));
}

TEST_F(GlobalHotKeyTest, KeyAssignedItsOwnValueDoesNotRetryAFailedRegistration) {
  platform_.HoldElsewhere(kCtrlAltTChord);
  TGlobalHotKey hotKey(platform_);
  hotKey.SetKey(kCtrlAltT);
  EXPECT_EQ(platform_.RegisterCalls(), 1u);
  EXPECT_FALSE(platform_.IsHeldByUs(kCtrlAltTChord));

  platform_.ReleaseElsewhere(kCtrlAltTChord);
  hotKey.SetKey(kCtrlAltT);
  EXPECT_EQ(platform_.calls.size(), 1u);
  EXPECT_FALSE(platform_.IsHeldByUs(kCtrlAltTChord));
  EXPECT_TRUE(hotKey.Enabled());
}

TEST_F(GlobalHotKeyTest, FailedRegistrationIsRetriedByEnabledTrueOrANewKey) {
  platform_.HoldElsewhere(kCtrlAltTChord);
  TGlobalHotKey hotKey(platform_);
  hotKey.SetKey(kCtrlAltT);
  EXPECT_FALSE(platform_.IsHeldByUs(kCtrlAltTChord));
  EXPECT_TRUE(hotKey.Enabled());
  // A failed attempt leaves nothing to give up.
  EXPECT_EQ(platform_.UnregisterCalls(), 0u);

  // Still held elsewhere: tried again, fails again.
  hotKey.SetEnabled(true);
  EXPECT_EQ(platform_.RegisterCalls(), 2u);
  EXPECT_FALSE(platform_.IsHeldByUs(kCtrlAltTChord));

  platform_.ReleaseElsewhere(kCtrlAltTChord);
  hotKey.SetEnabled(true);
  EXPECT_EQ(platform_.RegisterCalls(), 3u);
  EXPECT_TRUE(platform_.IsHeldByUs(kCtrlAltTChord));

  // A different key is a new attempt as well.
  constexpr TShortCut kF9 = 0x0078;
  platform_.HoldElsewhere({0, 0x78});
  hotKey.SetKey(kF9);
  EXPECT_EQ(platform_.HeldByUs(), 0u);
  platform_.ReleaseElsewhere({0, 0x78});
  hotKey.SetKey(kCtrlAltT);
  EXPECT_TRUE(platform_.IsHeldByUs(kCtrlAltTChord));
}

TEST_F(GlobalHotKeyTest, EnabledTrueWhileRegisteredDoesNotRenew) {
  TGlobalHotKey hotKey(platform_);
  hotKey.SetKey(kCtrlAltT);
  const auto calls = platform_.calls.size();
  hotKey.SetEnabled(true);
  hotKey.Loaded();
  EXPECT_EQ(platform_.calls.size(), calls);
  EXPECT_TRUE(platform_.IsHeldByUs(kCtrlAltTChord));
}

TEST_F(GlobalHotKeyTest, EnabledFalseUnregistersOnceAndKeyChangesThenRegisterNothing) {
  TGlobalHotKey hotKey(platform_);
  hotKey.SetKey(kCtrlAltT);
  hotKey.SetEnabled(false);
  EXPECT_EQ(platform_.UnregisterCalls(), 1u);
  EXPECT_EQ(platform_.HeldByUs(), 0u);
  hotKey.SetEnabled(false);
  EXPECT_EQ(platform_.UnregisterCalls(), 1u);
  hotKey.SetKey(0x0078);
  hotKey.Loaded();
  EXPECT_EQ(platform_.RegisterCalls(), 1u);
  EXPECT_EQ(hotKey.Key(), 0x0078);
  EXPECT_FALSE(platform_.Press(kCtrlAltTChord));
}

TEST_F(GlobalHotKeyTest, ChangedKeyMovesTheRegistration) {
  TGlobalHotKey hotKey(platform_);
  hotKey.SetKey(kCtrlAltT);
  hotKey.SetKey(0x2041);
  EXPECT_FALSE(platform_.IsHeldByUs(kCtrlAltTChord));
  EXPECT_TRUE(platform_.IsHeldByUs({0x0004, 0x41}));
  EXPECT_EQ(platform_.HeldByUs(), 1u);
}

TEST_F(GlobalHotKeyTest, PressRaisesOnHotKeyWithTheComponentAsSender) {
  TGlobalHotKey hotKey(platform_);
  int presses = 0;
  hotKey.OnHotKey = [&](TGlobalHotKey& sender) {
    EXPECT_EQ(&sender, &hotKey);
    ++presses;
  };
  hotKey.SetKey(kCtrlAltT);
  EXPECT_TRUE(platform_.Press(kCtrlAltTChord));
  EXPECT_TRUE(platform_.Press(kCtrlAltTChord));
  EXPECT_EQ(presses, 2);
}

TEST_F(GlobalHotKeyTest, PressWithoutHandlerIsHarmless) {
  TGlobalHotKey hotKey(platform_);
  hotKey.SetKey(kCtrlAltT);
  EXPECT_TRUE(platform_.Press(kCtrlAltTChord));
}

TEST_F(GlobalHotKeyTest, TwoComponentsWithOneKeyTheFirstGetsThePresses) {
  TGlobalHotKey first(platform_);
  TGlobalHotKey second(platform_);
  int firstPresses = 0, secondPresses = 0;
  first.OnHotKey = [&](TGlobalHotKey&) { ++firstPresses; };
  second.OnHotKey = [&](TGlobalHotKey&) { ++secondPresses; };
  first.SetKey(kCtrlAltT);
  second.SetKey(kCtrlAltT);
  platform_.Press(kCtrlAltTChord);
  EXPECT_EQ(firstPresses, 1);
  EXPECT_EQ(secondPresses, 0);
}

TEST_F(GlobalHotKeyTest, HandlerPumpingEventsSeesASecondPressInside) {
  TGlobalHotKey hotKey(platform_);
  int depth = 0, maxDepth = 0, presses = 0;
  hotKey.OnHotKey = [&](TGlobalHotKey&) {
    ++depth;
    ++presses;
    maxDepth = std::max(maxDepth, depth);
    if (presses == 1) platform_.Press(kCtrlAltTChord);
    --depth;
  };
  hotKey.SetKey(kCtrlAltT);
  platform_.Press(kCtrlAltTChord);
  EXPECT_EQ(presses, 2);
  EXPECT_EQ(maxDepth, 2);
}

TEST_F(GlobalHotKeyTest, DestructionLeavesNoRegistrationAndNoReceiver) {
  {
    TGlobalHotKey hotKey(platform_);
    hotKey.SetKey(kCtrlAltT);
    EXPECT_EQ(platform_.LiveReceivers(), 1u);
  }
  EXPECT_EQ(platform_.HeldByUs(), 0u);
  EXPECT_EQ(platform_.LiveReceivers(), 0u);
  EXPECT_EQ(platform_.UnregisterCalls(), 1u);
}

TEST_F(GlobalHotKeyTest, HandlerMayDestroyTheComponent) {
  auto hotKey = std::make_unique<TGlobalHotKey>(platform_);
  hotKey->OnHotKey = [&](TGlobalHotKey&) { hotKey.reset(); };
  hotKey->SetKey(kCtrlAltT);
  platform_.Press(kCtrlAltTChord);
  EXPECT_EQ(hotKey, nullptr);
  EXPECT_EQ(platform_.HeldByUs(), 0u);
}

}  // namespace
}  // namespace parlumo
