#pragma once

#include <filesystem>

namespace parlumo {

// The desktop program is two files: "parlumo", a small front that a command
// bound in the desktop's shortcut settings runs on every press, which hands
// the action to the running copy without loading the toolkit; and
// "parlumo-desktop" beside it, which the front becomes (exec) to start the
// program.
inline constexpr const char* kFrontProgramName = "parlumo";
inline constexpr const char* kDesktopProgramName = "parlumo-desktop";

// The program's name as the desktop shows it beside its tray item and its
// notifications. (Not Qt's application display name: Qt appends that to every
// window title, and the windows' titles are the program's own.)
inline constexpr const char* kProgramDisplayName = "Parlumo";

// The identity of a running copy (the single-instance test): the main form's
// application title and class name.
inline constexpr const char* kInstanceTitle = "Parlumo 2.5";
inline constexpr const char* kInstanceClass = "TSettings";

// The program's path as its identity: for parlumo-desktop with a parlumo
// beside it, that one (the settings file beside the program, the autostart
// entry and the help beside it are the front's); else the path itself.
std::filesystem::path FrontProgramPath(const std::filesystem::path& programPath);

}  // namespace parlumo
