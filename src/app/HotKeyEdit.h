#pragma once

#include <QLineEdit>
#include <functional>
#include <optional>

#include "desktop/ShortCut.h"

namespace parlumo {

// The shortcut field of the settings dialog. It takes a key chord from the
// keyboard and shows it the way the desktop names keys. A key alone becomes
// Alt+key and Shift+key becomes Alt+Shift+key (a shortcut without Ctrl or Alt
// would swallow the user's typing everywhere); Backspace or Delete alone clears
// the field to 0. Modifier keys held alone show what they will add until a key
// completes the chord or they are let go. Tab moves on and F1 asks for help as
// everywhere else; everything else the field keeps for itself, so that a chord
// that matches one of the dialog's accelerators reaches the field, not the
// button.
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

  // Applies the rules of the field to a chord typed by the user: the code the
  // field takes, or nullopt when the chord leaves the field as it is. 0 clears.
  static std::optional<TShortCut> CodeForInput(int qtKey, Qt::KeyboardModifiers modifiers);

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
};

}  // namespace parlumo
