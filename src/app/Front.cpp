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

#include "desktop/CommandLine.h"
#include "desktop/MainInstance.h"
#include "platform/linux/InstanceChannel.h"
#include "runtime/DesktopProgram.h"
#include "runtime/SettingsPath.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  const std::vector<std::string> parameters(argv + 1, argv + argc);
  const parlumo::TCommandLine commandLine = parlumo::ParseCommandLine(parameters);
  const std::string programName = fs::path(argv[0]).filename().string();
  if (const std::optional<int> status =
          parlumo::AnswerCommandLine(commandLine, programName, PARLUMO_VERSION, stdout, stderr)) {
    return *status;
  }
  if (commandLine.action != parlumo::TStartAction::saNone &&
      parlumo::LinuxInstancePlatform::TryHandOver(parlumo::kInstanceTitle, parlumo::kInstanceClass,
                                                  parlumo::JoinParameters(parameters))) {
    return 0;
  }
  const fs::path desktop =
      parlumo::CurrentProgramPath().parent_path() / parlumo::kDesktopProgramName;
  ::execv(desktop.c_str(), argv);
  std::fprintf(stderr, "%s: cannot start %s: %s\n", programName.c_str(), desktop.c_str(),
               std::strerror(errno));
  return 1;
}
