#pragma once

#include <QString>
#include <string>

class QWidget;

namespace parlumo {

class TWindowHost;

// Pieces the program's secondary windows share.

// The text of key in the host's interface language of the moment.
QString HostText(const TWindowHost& host, int key);

// The program's strings are UTF-8.
std::string ToUtf8(const QString& text);

// A file-dialog filter of the text tables ("description|pattern|description|
// pattern", patterns separated by ";") in the form QFileDialog takes (filters
// separated by ";;"). "*.*" means every file, as on Windows, so it becomes "*"
// (on Linux "*.*" would leave out every name without a dot); the Windows
// program patterns (*.exe, *.bat, ...) offer every file too, since Linux
// programs carry no extension.
QString DialogFilter(const std::string& filter);

// Makes form a top-level window of the program with a taskbar entry of its own:
// no Qt parent (a transient window loses its taskbar entry under some window
// managers), title bar with system menu, minimise and close buttons but no
// maximise button, the application's icon and the form font.
void PrepareForm(QWidget& form);

// Fixes form's size to designSize, or larger where the texts of the current
// language need more room, so nothing is cut off.
void FixFormSize(QWidget& form, int designWidth, int designHeight);

// Places form in the middle of its screen's available area.
void CentreOnScreen(QWidget& form);

// Shows a failed file operation the way the program shows an unexpected error:
// an error box owned by the window, with the message, captioned with the
// application's name.
void ShowErrorBox(QWidget& window, TWindowHost& host, const std::string& message);

}  // namespace parlumo
