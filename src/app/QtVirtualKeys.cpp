#include "app/QtVirtualKeys.h"

namespace parlumo {

namespace {

struct KeyRow {
  std::uint8_t virtualKey;
  int qtKey;
  bool keypad;
};

// One row per virtual key, in the direction virtual key -> Qt key. The ranges
// (digits, letters, keypad digits, function keys) are computed below.
constexpr KeyRow kKeys[] = {
    {0x08, Qt::Key_Backspace, false},  {0x09, Qt::Key_Tab, false},
    {0x0C, Qt::Key_Clear, false},      {0x0D, Qt::Key_Return, false},
    {0x13, Qt::Key_Pause, false},      {0x14, Qt::Key_CapsLock, false},
    {0x1B, Qt::Key_Escape, false},     {0x20, Qt::Key_Space, false},
    {0x21, Qt::Key_PageUp, false},     {0x22, Qt::Key_PageDown, false},
    {0x23, Qt::Key_End, false},        {0x24, Qt::Key_Home, false},
    {0x25, Qt::Key_Left, false},       {0x26, Qt::Key_Up, false},
    {0x27, Qt::Key_Right, false},      {0x28, Qt::Key_Down, false},
    {0x29, Qt::Key_Select, false},     {0x2A, Qt::Key_Printer, false},
    {0x2B, Qt::Key_Execute, false},    {0x2C, Qt::Key_Print, false},
    {0x2D, Qt::Key_Insert, false},     {0x2E, Qt::Key_Delete, false},
    {0x2F, Qt::Key_Help, false},       {0x5D, Qt::Key_Menu, false},
    {0x6A, Qt::Key_Asterisk, true},    {0x6B, Qt::Key_Plus, true},
    {0x6C, Qt::Key_Comma, true},       {0x6D, Qt::Key_Minus, true},
    {0x6E, Qt::Key_Period, true},      {0x6F, Qt::Key_Slash, true},
    {0x90, Qt::Key_NumLock, false},    {0x91, Qt::Key_ScrollLock, false},
    {0xBA, Qt::Key_Semicolon, false},  {0xBB, Qt::Key_Equal, false},
    {0xBC, Qt::Key_Comma, false},      {0xBD, Qt::Key_Minus, false},
    {0xBE, Qt::Key_Period, false},     {0xBF, Qt::Key_Slash, false},
    {0xC0, Qt::Key_QuoteLeft, false},  {0xDB, Qt::Key_BracketLeft, false},
    {0xDC, Qt::Key_Backslash, false},  {0xDD, Qt::Key_BracketRight, false},
    {0xDE, Qt::Key_Apostrophe, false}, {0xE2, Qt::Key_Less, false},
};

// Keys Qt reports only in one direction: the keypad's Enter is the Return key,
// and the characters Shift gives on a US layout's digit and punctuation keys
// name those keys.
struct AliasRow {
  int qtKey;
  std::uint8_t virtualKey;
};
constexpr AliasRow kAliases[] = {
    {Qt::Key_Enter, 0x0D},     {Qt::Key_SysReq, 0x2C},     {Qt::Key_Exclam, '1'},
    {Qt::Key_At, '2'},         {Qt::Key_NumberSign, '3'},  {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},    {Qt::Key_AsciiCircum, '6'}, {Qt::Key_Ampersand, '7'},
    {Qt::Key_Asterisk, '8'},   {Qt::Key_ParenLeft, '9'},   {Qt::Key_ParenRight, '0'},
    {Qt::Key_Colon, 0xBA},     {Qt::Key_Plus, 0xBB},       {Qt::Key_Underscore, 0xBD},
    {Qt::Key_Greater, 0xBE},   {Qt::Key_Question, 0xBF},   {Qt::Key_AsciiTilde, 0xC0},
    {Qt::Key_BraceLeft, 0xDB}, {Qt::Key_Bar, 0xDC},        {Qt::Key_BraceRight, 0xDD},
    {Qt::Key_QuoteDbl, 0xDE},
};

}  // namespace

std::optional<std::uint8_t> VirtualKeyFromQtKey(int qtKey, bool keypad) {
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
    return static_cast<std::uint8_t>((keypad ? 0x60 : '0') + (qtKey - Qt::Key_0));
  }
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
    return static_cast<std::uint8_t>('A' + (qtKey - Qt::Key_A));
  }
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
    return static_cast<std::uint8_t>(0x70 + (qtKey - Qt::Key_F1));
  }
  // A keypad key looks for its keypad row first, then for the key it equals.
  for (const bool pass : {keypad, false}) {
    for (const KeyRow& row : kKeys) {
      if (row.qtKey == qtKey && row.keypad == pass) return row.virtualKey;
    }
  }
  for (const AliasRow& alias : kAliases) {
    if (alias.qtKey == qtKey) return alias.virtualKey;
  }
  return std::nullopt;
}

std::optional<QKeyCombination> QtKeyFromVirtualKey(std::uint8_t vk) {
  if (vk >= '0' && vk <= '9') return QKeyCombination(static_cast<Qt::Key>(Qt::Key_0 + (vk - '0')));
  if (vk >= 'A' && vk <= 'Z') return QKeyCombination(static_cast<Qt::Key>(Qt::Key_A + (vk - 'A')));
  if (vk >= 0x60 && vk <= 0x69) {
    return QKeyCombination(Qt::KeypadModifier, static_cast<Qt::Key>(Qt::Key_0 + (vk - 0x60)));
  }
  if (vk >= 0x70 && vk <= 0x87) {
    return QKeyCombination(static_cast<Qt::Key>(Qt::Key_F1 + (vk - 0x70)));
  }
  for (const KeyRow& row : kKeys) {
    if (row.virtualKey == vk) {
      return QKeyCombination(row.keypad ? Qt::KeypadModifier : Qt::NoModifier,
                             static_cast<Qt::Key>(row.qtKey));
    }
  }
  return std::nullopt;
}

namespace {

Qt::KeyboardModifiers ModifiersOf(TShortCut shortCut) {
  Qt::KeyboardModifiers modifiers;
  if (shortCut & kShortCutShift) modifiers |= Qt::ShiftModifier;
  if (shortCut & kShortCutCtrl) modifiers |= Qt::ControlModifier;
  if (shortCut & kShortCutAlt) modifiers |= Qt::AltModifier;
  return modifiers;
}

}  // namespace

QKeySequence KeySequenceFromShortCut(TShortCut shortCut) {
  if (shortCut == 0) return {};
  const auto key = QtKeyFromVirtualKey(static_cast<std::uint8_t>(shortCut & 0xFF));
  if (!key) return {};
  return QKeySequence(
      QKeyCombination(ModifiersOf(shortCut) | key->keyboardModifiers(), key->key()));
}

QString ShortCutText(TShortCut shortCut) {
  if (shortCut == 0) return {};
  const QKeySequence sequence = KeySequenceFromShortCut(shortCut);
  if (!sequence.isEmpty()) return sequence.toString(QKeySequence::NativeText);
  // No Qt name for the key: the modifiers as the desktop names them, then the code.
  QString text = QKeySequence(QKeyCombination(ModifiersOf(shortCut), Qt::Key_A))
                     .toString(QKeySequence::NativeText);
  text.chop(1);
  return text + QStringLiteral("0x") +
         QString::number(shortCut & 0xFF, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

}  // namespace parlumo
