#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace parlumo::x11test {

// Dispatches Qt events until the condition holds or the time is over; the
// condition's last value.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Dispatches Qt events for the time.
void Pump(int ms);

// Runs xdotool with the arguments and returns its standard output; fails the
// running test when it does not end with status 0.
QString Xdotool(const QStringList& arguments);

// Moves the pointer and waits until the server has it there. (xdotool's own
// --sync waits for a movement, for ever when the pointer is already there.)
void MovePointer(const QPoint& to);

// The on-screen rectangles of the tray host's (trayer's) windows.
std::vector<QRect> TrayHostRects();

}  // namespace parlumo::x11test
