#pragma once

class QWidget;

namespace parlumo {

// Gives a form the program's form font: the application font of the desktop's
// platform theme (the font the desktop uses for its own windows and icon titles).
// Every window of the program calls it once when it is created; the controls
// inherit the font unless they set one of their own.
void SetIconTitleFont(QWidget& form);

}  // namespace parlumo
