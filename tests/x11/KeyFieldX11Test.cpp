// The shortcut field of the settings dialog on a real X server, with the key
// lookup the program gives it: a chord typed on a German keyboard becomes the
// shortcut that the global hotkey grabs on the very keys the user pressed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/HotKeyEdit.h"
#include "desktop/GlobalHotKey.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/X11Keyboard.h"
#include "x11/KeyboardX11Support.h"

#include <X11/keysym.h>

namespace parlumo {
namespace {

using keytest::OtherClient;
using keytest::Pump;
using keytest::SavedKeysyms;
using keytest::WaitUntil;
using keytest::Xdotool;

// What Qt reported of the keys (not the modifiers) pressed in a widget.
class KeyRecorder final : public QObject {
 public:
  struct Press {
    int key;
    std::uint32_t nativeScanCode;
  };
  std::vector<Press> presses;

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() != Qt::Key_Shift && key->key() != Qt::Key_Alt)
        presses.push_back({key->key(), key->nativeScanCode()});
    }
    return false;
  }
};

QString Code(unsigned keycode) {
  return QString::number(keycode);
}

TEST(X11KeyFieldTest, ShiftedDigitOfAGermanKeyboardIsGrabbedOnThatDigitsKey) {
  OtherClient other;
  ASSERT_TRUE(other.Connected());
  const auto keyboard = X11Keyboard::ForApplication();
  ASSERT_NE(keyboard, nullptr);
  const auto platform = X11HotKeyPlatform::ForApplication();
  ASSERT_NE(platform, nullptr);
  const unsigned key8 = other.Keycode(XK_8);
  const unsigned shift = other.Keycode(XK_Shift_L);
  const unsigned alt = other.Keycode(XK_Alt_L);
  for (const unsigned keycode : {key8, shift, alt})
    ASSERT_NE(keycode, 0u);

  // The 8 key of a German keyboard: "(" with Shift, where a US layout has it on the 9.
  const SavedKeysyms restore(other, {key8});
  other.SetKeysyms(key8, {XK_8, XK_parenleft});
  Pump(300);  // the change reaches this application

  THotKeyEdit field;
  field.SetKeyLookup(
      [&keyboard](std::uint32_t keycode) { return keyboard->VirtualKeyOfKeycode(keycode); });
  KeyRecorder recorder;
  field.installEventFilter(&recorder);
  field.resize(300, 40);
  field.show();
  // No window manager runs: the window takes the keyboard focus itself.
  ASSERT_TRUE(WaitUntil(
      [&] {
        if (!field.isActiveWindow()) field.activateWindow();
        return field.isActiveWindow() && field.hasFocus();
      },
      10000));

  Xdotool({"keydown", Code(shift)});
  Xdotool({"key", Code(key8)});
  Xdotool({"keyup", Code(shift)});
  ASSERT_TRUE(WaitUntil([&] { return !recorder.presses.empty(); }));
  EXPECT_EQ(recorder.presses.back().key, Qt::Key_ParenLeft) << "Qt reports the symbol typed";
  EXPECT_EQ(recorder.presses.back().nativeScanCode, key8) << "and the X keycode";
  EXPECT_EQ(field.HotKey(), 0xA038);
  EXPECT_EQ(field.text(), "Alt+Shift+8");

  // The shortcut fires on the keys the user typed it with.
  int presses = 0;
  TGlobalHotKey hotKey(*platform);
  hotKey.OnHotKey = [&presses](TGlobalHotKey& /*sender*/) { ++presses; };
  hotKey.SetKey(field.HotKey());
  Xdotool({"keydown", Code(alt)});
  Xdotool({"keydown", Code(shift)});
  Xdotool({"key", Code(key8)});
  Xdotool({"keyup", Code(shift)});
  Xdotool({"keyup", Code(alt)});
  EXPECT_TRUE(WaitUntil([&] { return presses > 0; }, 3000));
  Pump(150);
  EXPECT_EQ(presses, 1);
}

}  // namespace
}  // namespace parlumo
