#pragma once

#include <QKeySequence>
#include <QString>
#include <Qt>
#include <cstdint>
#include <optional>

#include "desktop/ShortCut.h"

namespace parlumo {

// Qt's key codes and the Windows virtual-key codes the stored shortcuts use.
// Letters, digits, F1-F24, the navigation and editing keys, the numeric keypad
// (Qt reports its keys with Qt::KeypadModifier) and the punctuation keys as a
// US layout places them. A punctuation character typed with Shift on a US
// layout ("!" on the 1 key, ":" on the ";" key) names the key it was typed on.

// The virtual key of a Qt key; keypad tells whether the key came from the
// numeric keypad. Nothing for a key the stored format has no code for (the
// modifier keys among them).
std::optional<std::uint8_t> VirtualKeyFromQtKey(int qtKey, bool keypad);

// The Qt key of a virtual key, with Qt::KeypadModifier for the keypad's keys;
// nothing for a code without one.
std::optional<QKeyCombination> QtKeyFromVirtualKey(std::uint8_t virtualKey);

// A shortcut code as a Qt key sequence (modifiers included); an empty sequence
// for 0 or a key without a Qt counterpart.
QKeySequence KeySequenceFromShortCut(TShortCut shortCut);

// The shortcut as the desktop names its keys ("Alt+Shift+T"); empty for 0. A key
// without a Qt name shows its virtual-key code, so a stored value is never shown
// as no shortcut at all.
QString ShortCutText(TShortCut shortCut);

}  // namespace parlumo
