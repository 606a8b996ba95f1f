#include "platform/linux/Autostart.h"

#include <cstdlib>
#include <fstream>

#include "runtime/IniFile.h"

namespace parlumo {

namespace fs = std::filesystem;

namespace {

constexpr const char* kEntryName = "Parlumo2.desktop";
constexpr const char* kSection = "Desktop Entry";

}  // namespace

fs::path AutostartFolder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    return fs::path(xdg) / "autostart";
  }
  const char* home = std::getenv("HOME");
  return fs::path(home != nullptr ? home : "/") / ".config" / "autostart";
}

std::string DesktopExecValue(const fs::path& programPath) {
  const std::string path = programPath.string();
  if (path.find_first_of(" \t\n\"'\\><~|&;$*?#()`=%") == std::string::npos) return path;
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  // The desktop-entry reader unescapes once more before the launcher does.
  std::string escaped;
  for (char c : quoted) {
    if (c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

bool GetAutostart(const fs::path& folder) {
  const fs::path entry = folder / kEntryName;
  std::error_code ec;
  if (!fs::is_regular_file(entry, ec)) return false;
  const TIniFile ini(entry);
  const TIniFile::ReadSession reading(ini);
  if (ini.ReadString(kSection, "Hidden", "false") == "true") return false;
  return !ini.ReadString(kSection, "Exec", "").empty();
}

void SetAutostart(bool on, const fs::path& programPath, const fs::path& folder) {
  const fs::path entry = folder / kEntryName;
  std::error_code ec;
  if (!on) {
    fs::remove(entry, ec);
    return;
  }
  // Written whole to a new file, which then replaces the entry at once.
  const std::string text = std::string("[") + kSection + "]\n" +
                           "Type=Application\n"
                           "Name=Parlumo\n"
                           "Comment=Translator in the notification area\n"
                           "Exec=" +
                           DesktopExecValue(programPath) + "\n" +
                           "Terminal=false\n"
                           "X-GNOME-Autostart-enabled=true\n";
  fs::create_directories(folder, ec);
  const fs::path temporary = folder / (std::string(".") + kEntryName + ".new");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) {
      fs::remove(temporary, ec);
      return;
    }
  }
  fs::rename(temporary, entry, ec);
  if (ec) fs::remove(temporary, ec);
}

}  // namespace parlumo
