#pragma once

#include <filesystem>

namespace parlumo {

// Starting with the desktop session: an XDG autostart entry
// <autostart folder>/Parlumo2.desktop whose Exec line names the program.

// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart.
std::filesystem::path AutostartFolder();

// True when the entry exists, is not hidden and names a program to start.
// Anything unreadable counts as "not set".
bool GetAutostart(const std::filesystem::path& folder = AutostartFolder());

// Writes the entry for programPath (on) or removes it (off). Failures are
// ignored: the setting then simply stays as it was.
void SetAutostart(bool on, const std::filesystem::path& programPath,
                  const std::filesystem::path& folder = AutostartFolder());

// The Exec value for a program path, quoted as desktop entries require when
// the path holds blanks or characters the launcher would otherwise interpret.
std::string DesktopExecValue(const std::filesystem::path& programPath);

}  // namespace parlumo
