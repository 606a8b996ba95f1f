#pragma once

#include <string>

namespace parlumo {

// The Qt platform plugin the program asks for, given the session's variables
// (null when unset): "wayland;xcb" on a Wayland session, so that the program
// runs as a native Wayland client there, and empty (Qt's own choice) anywhere
// else. Qt 6.4 by itself goes through XWayland on GNOME, where the program's
// X11 ways reach only XWayland windows. An explicit QT_QPA_PLATFORM (xcb, to
// keep those ways) is the user's choice and stays.
std::string QtPlatformChoice(const char* sessionType, const char* waylandDisplay,
                             const char* qtPlatform);

}  // namespace parlumo
