// Global hotkeys over a real X server: TGlobalHotKey on X11HotKeyPlatform,
// pressed with xdotool, contested by another X client.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "desktop/GlobalHotKey.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/X11KeyMap.h"
#include "platform/x11/X11Keyboard.h"
#include "x11/KeyboardX11Support.h"

#include <xcb/xcb.h>

#include <X11/keysym.h>

namespace parlumo {
namespace {

using keytest::OtherClient;
using keytest::Pump;
using keytest::WaitUntil;
using keytest::Xdotool;

constexpr TShortCut kCtrlAltT = 0xC054;
constexpr TShortCut kCtrlAltY = 0xC059;

// Toggles a lock key for its lifetime.
class LockOn {
 public:
  explicit LockOn(const char* key) : key_(key) { Xdotool({"key", key_}); }
  ~LockOn() { Xdotool({"key", key_}); }
  LockOn(const LockOn&) = delete;
  LockOn& operator=(const LockOn&) = delete;

 private:
  const char* key_;
};

class X11HotKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(other_.Connected());
    platform_ = X11HotKeyPlatform::ForApplication();
    ASSERT_NE(platform_, nullptr);
    keyT_ = other_.Keycode(XK_t);
    ASSERT_NE(keyT_, 0u);
    numLock_ = other_.ModifierOf(XK_Num_Lock);
    ctrlAlt_ = kXControlMask | other_.ModifierOf(XK_Alt_L);
    ASSERT_NE(ctrlAlt_, kXControlMask) << "Alt is on no modifier";
  }

  // A hotkey for the shortcut (enabled, so it registers at once) that counts
  // its presses.
  std::unique_ptr<TGlobalHotKey> HotKey(TShortCut key, int& presses) {
    auto hotKey = std::make_unique<TGlobalHotKey>(*platform_);
    hotKey->OnHotKey = [&presses](TGlobalHotKey& /*sender*/) { ++presses; };
    hotKey->SetKey(key);
    return hotKey;
  }

  // Presses the chord and returns how many presses it raised.
  int PressesOf(const char* chord, const int& presses) {
    const int before = presses;
    Xdotool({"key", chord});
    WaitUntil([&] { return presses > before; }, 3000);
    Pump(150);
    return presses - before;
  }

  // The same for a chord that should raise nothing, with Ctrl+Alt+T (which
  // raises one press) pressed after it: the server keeps the order of events,
  // so once that press is in, anything the chord raised is in too.
  int PressesBeforeShortcut(const char* chord, const int& presses) {
    const int before = presses;
    Xdotool({"key", chord});
    Xdotool({"key", "ctrl+alt+t"});
    WaitUntil([&] { return presses > before; }, 3000);
    Pump(150);
    return presses - before - 1;
  }

  // Whether another client can grab every lock variant of the combination,
  // i.e. nothing of this process holds any of them.
  bool AllVariantsFree(unsigned keycode, unsigned modifiers) {
    bool free = true;
    for (const unsigned locks : {0u, unsigned{kXLockMask}, numLock_, kXLockMask | numLock_}) {
      if (other_.Grab(keycode, modifiers | locks)) {
        other_.Ungrab(keycode, modifiers | locks);
      } else {
        free = false;
      }
    }
    return free;
  }

  OtherClient other_;
  std::unique_ptr<X11HotKeyPlatform> platform_;
  unsigned keyT_ = 0;
  unsigned numLock_ = 0;
  unsigned ctrlAlt_ = 0;
};

TEST_F(X11HotKeyTest, PressIsReportedOnceWhateverTheLockKeysSay) {
  int presses = 0;
  const auto hotKey = HotKey(kCtrlAltT, presses);
  const struct {
    const char* name;
    std::vector<const char*> locks;
  } cases[] = {
      {"no lock on", {}},
      {"Num Lock on", {"Num_Lock"}},
      {"Caps Lock on", {"Caps_Lock"}},
      {"both on", {"Num_Lock", "Caps_Lock"}},
  };
  const unsigned rest = other_.ModifierState();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    {
      std::vector<std::unique_ptr<LockOn>> locks;
      for (const char* lock : c.locks)
        locks.push_back(std::make_unique<LockOn>(lock));
      if (!c.locks.empty()) {
        ASSERT_NE(other_.ModifierState(), rest) << "the lock did not engage";
      }
      EXPECT_EQ(PressesOf("ctrl+alt+t", presses), 1);
    }
    EXPECT_EQ(other_.ModifierState(), rest) << "the locks are off again";
  }
}

// A window on the application's own X connection that wants key presses,
// given the keyboard focus (no window manager runs to give it).
class OwnFocusedWindow {
 public:
  OwnFocusedWindow()
      : connection_(qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection()),
        window_(xcb_generate_id(connection_)) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const std::uint32_t events = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK,
                      &events);
    xcb_map_window(connection_, window_);
    xcb_flush(connection_);
  }
  ~OwnFocusedWindow() {
    xcb_destroy_window(connection_, window_);
    xcb_flush(connection_);
  }
  OwnFocusedWindow(const OwnFocusedWindow&) = delete;
  OwnFocusedWindow& operator=(const OwnFocusedWindow&) = delete;

  // Gives it the focus once it is on screen.
  bool TakeFocus(OtherClient& other) {
    return WaitUntil([&] {
      xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
      xcb_flush(connection_);
      return other.FocusWindow() == window_;
    });
  }

 private:
  xcb_connection_t* connection_;
  xcb_window_t window_;
};

TEST_F(X11HotKeyTest, PressIsReportedWhileAWindowOfThisApplicationHasTheFocus) {
  int presses = 0;
  const auto hotKey = HotKey(kCtrlAltT, presses);
  OwnFocusedWindow window;
  ASSERT_TRUE(window.TakeFocus(other_));
  EXPECT_EQ(PressesOf("ctrl+alt+t", presses), 1);
}

TEST_F(X11HotKeyTest, OtherModifierCombinationsAreNoPress) {
  int presses = 0;
  const auto hotKey = HotKey(kCtrlAltT, presses);
  for (const char* chord :
       {"t", "ctrl+t", "alt+t", "shift+ctrl+alt+t", "super+ctrl+alt+t", "ctrl+alt+y"}) {
    SCOPED_TRACE(chord);
    EXPECT_EQ(PressesBeforeShortcut(chord, presses), 0);
  }
}

TEST_F(X11HotKeyTest, RegisterTellsWhetherTheShortcutIsNowHeld) {
  // A key this layout has no keycode for.
  std::uint8_t missing = 0;
  for (const auto& [vk, keysym] : {std::pair<std::uint8_t, unsigned long>{0x2B, XK_Execute},
                                   {0x29, XK_Select},
                                   {0x87, XK_F24}}) {
    if (other_.Keycode(keysym) == 0) {
      missing = vk;
      break;
    }
  }
  ASSERT_NE(missing, 0) << "the layout has every candidate key";
  const unsigned keyY = other_.Keycode(XK_y);
  ASSERT_NE(keyY, 0u);

  const auto first = platform_->CreateReceiver([] {});
  const auto second = platform_->CreateReceiver([] {});
  EXPECT_FALSE(first->Register({0, 0})) << "virtual key 0 is no key";
  EXPECT_FALSE(first->Register({kModControl, missing})) << "a key the layout lacks";
  EXPECT_TRUE(first->Register({kModControl | kModAlt, 0x54}));
  EXPECT_FALSE(second->Register({kModControl | kModAlt, 0x54})) << "the first one holds it";
  EXPECT_TRUE(second->Register({kModControl | kModAlt | kModShift, 0x54}))
      << "another chord of the same key";

  ASSERT_TRUE(other_.Grab(keyY, ctrlAlt_));
  EXPECT_FALSE(first->Register({kModControl | kModAlt, 0x59})) << "another client holds it";
  other_.Ungrab(keyY, ctrlAlt_);
  EXPECT_TRUE(AllVariantsFree(keyT_, ctrlAlt_))
      << "asking for another chord gave the receiver's earlier one up";
  EXPECT_TRUE(AllVariantsFree(keyY, ctrlAlt_)) << "the refused one holds nothing";
}

TEST_F(X11HotKeyTest, ShortcutHeldByAnotherClientStaysUnregisteredUntilTriedAgain) {
  const struct {
    const char* name;
    std::function<void(TGlobalHotKey&)> tryAgain;
  } cases[] = {
      {"Enabled set true again", [](TGlobalHotKey& hotKey) { hotKey.SetEnabled(true); }},
      {"Key changed away and back",
       [](TGlobalHotKey& hotKey) {
         hotKey.SetKey(kCtrlAltY);
         hotKey.SetKey(kCtrlAltT);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(other_.Grab(keyT_, ctrlAlt_));
    int presses = 0;
    const auto hotKey = HotKey(kCtrlAltT, presses);
    Xdotool({"key", "ctrl+alt+t"});
    EXPECT_TRUE(other_.ReceivedPress(keyT_)) << "the other client keeps the shortcut";
    Pump(150);
    EXPECT_EQ(presses, 0);

    other_.Ungrab(keyT_, ctrlAlt_);
    EXPECT_TRUE(AllVariantsFree(keyT_, ctrlAlt_)) << "a refused registration holds nothing, "
                                                     "and nothing tries again by itself";
    c.tryAgain(*hotKey);
    EXPECT_EQ(PressesOf("ctrl+alt+t", presses), 1);
  }
}

TEST_F(X11HotKeyTest, RefusedLockVariantLeavesNothingHeld) {
  // Only the Num Lock variant is taken: the registration fails as a whole and
  // gives the variants it did get back.
  ASSERT_NE(numLock_, 0u) << "Num Lock is on no modifier";
  ASSERT_TRUE(other_.Grab(keyT_, ctrlAlt_ | numLock_));
  int presses = 0;
  const auto hotKey = HotKey(kCtrlAltT, presses);
  for (const unsigned locks : {0u, unsigned{kXLockMask}, kXLockMask | numLock_}) {
    SCOPED_TRACE(locks);
    EXPECT_TRUE(other_.Grab(keyT_, ctrlAlt_ | locks));
    other_.Ungrab(keyT_, ctrlAlt_ | locks);
  }
  other_.Ungrab(keyT_, ctrlAlt_ | numLock_);
}

TEST_F(X11HotKeyTest, SecondReceiverOfTheSameChordIsRefused) {
  int first = 0;
  int second = 0;
  auto firstHotKey = HotKey(kCtrlAltT, first);
  const auto secondHotKey = HotKey(kCtrlAltT, second);
  EXPECT_EQ(PressesOf("ctrl+alt+t", first), 1);
  EXPECT_EQ(second, 0);

  firstHotKey.reset();
  EXPECT_TRUE(AllVariantsFree(keyT_, ctrlAlt_)) << "the refused one holds nothing either";
  secondHotKey->SetEnabled(true);
  EXPECT_EQ(PressesOf("ctrl+alt+t", second), 1);
}

TEST_F(X11HotKeyTest, UnregisteringAndDestructionGiveTheGrabUp) {
  int presses = 0;
  auto hotKey = HotKey(kCtrlAltT, presses);
  EXPECT_EQ(PressesOf("ctrl+alt+t", presses), 1);
  EXPECT_FALSE(other_.Grab(keyT_, ctrlAlt_)) << "held while registered";

  hotKey->SetEnabled(false);
  EXPECT_TRUE(AllVariantsFree(keyT_, ctrlAlt_));
  ASSERT_TRUE(other_.Grab(keyT_, ctrlAlt_));
  Xdotool({"key", "ctrl+alt+t"});
  EXPECT_TRUE(other_.ReceivedPress(keyT_));
  Pump(150);
  EXPECT_EQ(presses, 1) << "no press after unregistering";
  other_.Ungrab(keyT_, ctrlAlt_);

  hotKey->SetEnabled(true);
  EXPECT_FALSE(other_.Grab(keyT_, ctrlAlt_)) << "registered again";
  hotKey.reset();
  EXPECT_TRUE(AllVariantsFree(keyT_, ctrlAlt_)) << "destruction unregisters";

  // The platform going first gives up what its receivers hold; they can go later.
  hotKey = HotKey(kCtrlAltT, presses);
  EXPECT_FALSE(other_.Grab(keyT_, ctrlAlt_));
  platform_.reset();
  EXPECT_TRUE(AllVariantsFree(keyT_, ctrlAlt_));
  hotKey->SetEnabled(false);
  hotKey.reset();
}

TEST_F(X11HotKeyTest, HandlerMayDestroyTheHotKeyAndThePlatform) {
  int presses = 0;
  std::unique_ptr<TGlobalHotKey> hotKey = HotKey(kCtrlAltT, presses);
  hotKey->OnHotKey = [&](TGlobalHotKey& /*sender*/) {
    ++presses;
    hotKey.reset();
    platform_.reset();
  };
  Xdotool({"key", "ctrl+alt+t"});
  ASSERT_TRUE(WaitUntil([&] { return presses > 0; }));
  Pump(150);
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(hotKey, nullptr);
  EXPECT_EQ(platform_, nullptr);
  EXPECT_TRUE(AllVariantsFree(keyT_, ctrlAlt_));
}

// Puts the keyboard mapping back: the letter t on its keycode, the spare
// keycode empty again.
class MappingRestore {
 public:
  MappingRestore(OtherClient& other, unsigned keycode, unsigned spare)
      : other_(other), keycode_(keycode), spare_(spare), keysyms_(other.Keysyms(keycode)) {}
  ~MappingRestore() {
    other_.SetKeysyms(keycode_, keysyms_);
    other_.SetKeysyms(spare_, {});
  }
  MappingRestore(const MappingRestore&) = delete;
  MappingRestore& operator=(const MappingRestore&) = delete;

 private:
  OtherClient& other_;
  unsigned keycode_;
  unsigned spare_;
  std::vector<unsigned long> keysyms_;
};

TEST_F(X11HotKeyTest, PressesFollowTheKeyToItsNewKeycode) {
  int presses = 0;
  const auto hotKey = HotKey(kCtrlAltT, presses);
  const unsigned spare = other_.FreeKeycode();
  ASSERT_NE(spare, 0u);
  const MappingRestore restore(other_, keyT_, spare);
  // Added to the new keycode first, then taken from the old one, so that the
  // letter is never missing from the layout.
  other_.SetKeysyms(spare, {XK_t, XK_T});
  other_.SetKeysyms(keyT_, {});
  ASSERT_EQ(other_.Keycode(XK_t), spare);

  // Once the change has reached the platform, it holds the new combination.
  EXPECT_TRUE(WaitUntil([&] {
    if (!other_.Grab(spare, ctrlAlt_)) return true;
    other_.Ungrab(spare, ctrlAlt_);
    return false;
  })) << "not grabbed again at the new keycode";
  EXPECT_TRUE(AllVariantsFree(keyT_, ctrlAlt_)) << "the old keycode is let go";
  EXPECT_EQ(PressesOf("ctrl+alt+t", presses), 1);
}

TEST_F(X11HotKeyTest, LetterShortcutWorksOnALayoutWithoutLatinLetters) {
  // A Cyrillic layout puts ie where T is; no key types a Latin t.
  const unsigned spare = other_.FreeKeycode();
  ASSERT_NE(spare, 0u);
  const MappingRestore restore(other_, keyT_, spare);
  other_.SetKeysyms(keyT_, {XK_Cyrillic_ie, XK_Cyrillic_IE});
  ASSERT_EQ(other_.Keycode(XK_t), 0u);
  Pump(300);  // the change reaches this application

  // The shortcut is the key in T's place, for the hotkey and for key events.
  int presses = 0;
  const auto hotKey = HotKey(kCtrlAltT, presses);
  EXPECT_FALSE(other_.Grab(keyT_, ctrlAlt_)) << "not held at T's place";
  EXPECT_EQ(PressesOf("ctrl+alt+Cyrillic_ie", presses), 1);
  const auto keyboard = X11Keyboard::ForApplication();
  ASSERT_NE(keyboard, nullptr);
  EXPECT_EQ(keyboard->ScanCode('T'), keyT_);
}

}  // namespace
}  // namespace parlumo
