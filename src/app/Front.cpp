// parlumo: the front of the desktop program. A command bound in the desktop's
// shortcut settings runs it on every press, so it stays small: it reads the
// command line and hands an action to the running copy without loading the
// toolkit; anything else (and an action no copy takes) it leaves to
// parlumo-desktop beside it, which it becomes, keeping its process id and
// arguments.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/linux/CommandEntry.h"
#include "runtime/DesktopProgram.h"
#include "runtime/SettingsPath.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  const parlumo::TCommandEntry entry = parlumo::EnterCommandLine(argc, argv, PARLUMO_VERSION);
  if (entry.exitStatus) return *entry.exitStatus;
  const fs::path desktop =
      parlumo::CurrentProgramPath().parent_path() / parlumo::kDesktopProgramName;
  ::execv(desktop.c_str(), argv);
  std::fprintf(stderr, "%s: cannot start %s: %s\n", argv[0], desktop.c_str(), std::strerror(errno));
  return 1;
}
