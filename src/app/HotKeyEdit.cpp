#include "app/HotKeyEdit.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>

#include "app/QtVirtualKeys.h"

namespace parlumo {

namespace {

bool IsModifierKey(int key) {
  switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
      return true;
    default:
      return false;
  }
}

// The modifiers a shortcut can hold; the Windows key has no bit.
constexpr Qt::KeyboardModifiers kChordModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

// Keys the field leaves to the dialog when typed without a modifier.
bool PassesThrough(int key, Qt::KeyboardModifiers modifiers) {
  if ((modifiers & (Qt::ControlModifier | Qt::AltModifier)) != 0) return false;
  return key == Qt::Key_Tab || key == Qt::Key_Backtab ||
         (key == Qt::Key_F1 && (modifiers & Qt::ShiftModifier) == 0);
}

}  // namespace

THotKeyEdit::THotKeyEdit(QWidget* parent) : QLineEdit(parent) {
  // Keys make the chord; no text is typed, pasted or composed into the field.
  setReadOnly(true);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  ShowCode();
}

void THotKeyEdit::SetHotKey(TShortCut value) {
  hotKey_ = static_cast<TShortCut>(value & 0xE0FF);
  ShowCode();
}

std::optional<TShortCut> THotKeyEdit::CodeForInput(int qtKey, Qt::KeyboardModifiers modifiers,
                                                   std::optional<std::uint8_t> physicalKey) {
  const Qt::KeyboardModifiers chord = modifiers & kChordModifiers;
  if (chord == Qt::NoModifier && (qtKey == Qt::Key_Backspace || qtKey == Qt::Key_Delete)) {
    return TShortCut{0};
  }
  if (IsModifierKey(qtKey)) return std::nullopt;
  // The keyboard's own name for the key wins; Qt's key names it only when the
  // keyboard could not say (its place on a US layout may be another key).
  const auto virtualKey =
      physicalKey ? physicalKey : VirtualKeyFromQtKey(qtKey, (modifiers & Qt::KeypadModifier) != 0);
  if (!virtualKey || *virtualKey == 0) return std::nullopt;
  TShortCut code = *virtualKey;
  if (chord & Qt::ShiftModifier) code |= kShortCutShift;
  if (chord & Qt::ControlModifier) code |= kShortCutCtrl;
  if (chord & Qt::AltModifier) code |= kShortCutAlt;
  // Neither Ctrl nor Alt: the key alone or with Shift alone gets Alt.
  if ((code & (kShortCutCtrl | kShortCutAlt)) == 0) code |= kShortCutAlt;
  return code;
}

bool THotKeyEdit::event(QEvent* e) {
  // Every chord typed here belongs to the field, even one that is also an
  // accelerator of the dialog (Alt+A would press Apply otherwise).
  if (e->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(e);
    if (!PassesThrough(key->key(), key->modifiers())) {
      e->accept();
      return true;
    }
  }
  return QLineEdit::event(e);
}

void THotKeyEdit::keyPressEvent(QKeyEvent* e) {
  if (PassesThrough(e->key(), e->modifiers())) {
    e->ignore();
    return;
  }
  e->accept();
  if (IsModifierKey(e->key())) {
    ShowPending(e->modifiers());
    return;
  }
  std::optional<std::uint8_t> physicalKey;
  if (keyLookup_ && e->nativeScanCode() != 0) physicalKey = keyLookup_(e->nativeScanCode());
  const auto code = CodeForInput(e->key(), e->modifiers(), physicalKey);
  if (!code) {
    ShowCode();
    return;
  }
  const bool changed = *code != hotKey_;
  hotKey_ = *code;
  ShowCode();
  if (changed && OnChange) OnChange();
}

void THotKeyEdit::keyReleaseEvent(QKeyEvent* e) {
  e->accept();
  // A modifier let go before a key completed the chord: what is held now.
  if (IsModifierKey(e->key())) {
    const Qt::KeyboardModifiers held = e->modifiers() & kChordModifiers;
    if (held == Qt::NoModifier) {
      ShowCode();
    } else {
      ShowPending(held);
    }
  }
}

void THotKeyEdit::focusOutEvent(QFocusEvent* e) {
  ShowCode();
  QLineEdit::focusOutEvent(e);
}

void THotKeyEdit::contextMenuEvent(QContextMenuEvent* e) {
  // Nothing to copy, paste or select: the field holds a chord, not text.
  e->accept();
}

void THotKeyEdit::mousePressEvent(QMouseEvent* e) {
  setFocus(Qt::MouseFocusReason);
  e->accept();
}

void THotKeyEdit::mouseDoubleClickEvent(QMouseEvent* e) {
  e->accept();
}

void THotKeyEdit::ShowCode() {
  setText(ShortCutText(hotKey_));
  setCursorPosition(text().size());
}

void THotKeyEdit::ShowPending(Qt::KeyboardModifiers modifiers) {
  // The modifiers as the desktop names them, ending with its separator.
  QString text = QKeySequence(QKeyCombination(modifiers & kChordModifiers, Qt::Key_A))
                     .toString(QKeySequence::NativeText);
  text.chop(1);
  setText(text);
  setCursorPosition(text.size());
}

}  // namespace parlumo
