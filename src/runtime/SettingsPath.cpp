#include "runtime/SettingsPath.h"

#include <cstdlib>

namespace parlumo {

namespace fs = std::filesystem;

fs::path UserSettingsFilePath() {
  fs::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    base = fs::path(home) / ".config";
  } else {
    base = fs::temp_directory_path();
  }
  return base / "parlumo" / "parlumo.ini";
}

fs::path SettingsFilePath(const fs::path& programPath) {
  fs::path beside = programPath;
  beside.replace_extension(".ini");
  // Only a file the user put there makes the program portable. A writable
  // program folder is no reason: a build folder or ~/.local/bin would collect
  // settings that a clean build or a reinstall deletes.
  std::error_code ec;
  if (fs::is_regular_file(beside, ec)) return beside;
  return UserSettingsFilePath();
}

fs::path CurrentProgramPath() {
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec);
}

}  // namespace parlumo
