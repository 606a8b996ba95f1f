#pragma once

#include <filesystem>

namespace parlumo {

// Where the settings file of the program at programPath lives: "<program>.ini"
// beside the program when such a file already exists there (portable use: the
// user put it there), otherwise $XDG_CONFIG_HOME/parlumo/parlumo.ini
// (~/.config/parlumo/parlumo.ini when XDG_CONFIG_HOME is unset or not absolute).
std::filesystem::path SettingsFilePath(const std::filesystem::path& programPath);

// The per-user settings file alone (the second choice above).
std::filesystem::path UserSettingsFilePath();

// The full path of the running program (/proc/self/exe).
std::filesystem::path CurrentProgramPath();

}  // namespace parlumo
