#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "support/QtWait.h"

namespace parlumo::x11test {

using test::Pump;
using test::WaitUntil;

// Runs xdotool with the arguments and returns its standard output; fails the
// running test when it does not end with status 0.
QString Xdotool(const QStringList& arguments);

// Moves the pointer and waits until the server has it there. (xdotool's own
// --sync waits for a movement, for ever when the pointer is already there.)
void MovePointer(const QPoint& to);

// The on-screen rectangles of the tray host's (trayer's) windows.
std::vector<QRect> TrayHostRects();

}  // namespace parlumo::x11test
