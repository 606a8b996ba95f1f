#pragma once

#include <QLineEdit>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "desktop/ShortCut.h"

namespace parlumo {

// The keyboard's name for the key a key event came from, asked by the event's
// native scan code (the X keycode on X11): the virtual key of the key itself,
// whatever symbol the held modifiers make it type. 0: the keyboard knows the
// key but no virtual key names it; nothing: the keyboard does not know the code.
using TKeyLookup = std::function<std::optional<std::uint8_t>(std::uint32_t nativeScanCode)>;

// The shortcut field of the settings dialog. It takes a key chord from the
// keyboard and shows it the way the desktop names keys. A key alone becomes
// Alt+key and Shift+key becomes Alt+Shift+key (a shortcut without Ctrl or Alt
// would swallow the user's typing everywhere); Backspace or Delete alone clears
// the field to 0. Modifier keys held alone show what they will add until a key
// completes the chord or they are let go. Tab moves on and F1 asks for help as
// everywhere else; everything else the field keeps for itself, so that a chord
// that matches one of the dialog's accelerators reaches the field, not the
// button.
//
// The key of a chord is the key pressed, not the symbol it types: with a key
// lookup the field names it as the keyboard does (Shift+8 on a German layout
// types "(" and is Alt+Shift+8), since the desktop grabs the shortcut on the
// key its code names. Without a lookup, or for a key the lookup does not know,
// Qt's key stands for it as a US layout places it.
class THotKeyEdit : public QLineEdit {
 public:
  explicit THotKeyEdit(QWidget* parent = nullptr);

  // The 16-bit shortcut code; 0 when the field is empty.
  TShortCut HotKey() const { return hotKey_; }
  // Sets the code as the program does: OnChange is not raised. Bits 8-12 carry
  // nothing in a shortcut and are dropped, as the field shows only the key.
  void SetHotKey(TShortCut value);

  // Raised when the user changed the code.
  std::function<void()> OnChange;

  // How the field asks the keyboard which key an event came from; empty: Qt's
  // key alone.
  void SetKeyLookup(TKeyLookup lookup) { keyLookup_ = std::move(lookup); }

  // Applies the rules of the field to a chord typed by the user: the code the
  // field takes, or nullopt when the chord leaves the field as it is. 0 clears.
  // physicalKey is what the key lookup said of the key (nothing: Qt's key
  // names it; 0: the key has no code and the chord is left).
  static std::optional<TShortCut> CodeForInput(
      int qtKey, Qt::KeyboardModifiers modifiers,
      std::optional<std::uint8_t> physicalKey = std::nullopt);

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  void ShowCode();
  void ShowPending(Qt::KeyboardModifiers modifiers);

  TShortCut hotKey_ = 0;
  TKeyLookup keyLookup_;
};

}  // namespace parlumo
