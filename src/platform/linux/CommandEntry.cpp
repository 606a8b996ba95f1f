#include "platform/linux/CommandEntry.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "desktop/MainInstance.h"
#include "platform/linux/InstanceChannel.h"
#include "runtime/DesktopProgram.h"

namespace parlumo {

TCommandEntry EnterCommandLine(int argc, char** argv, std::string_view version) {
  const std::vector<std::string> parameters(argv + 1, argv + argc);
  const TCommandLine line = ParseCommandLine(parameters);
  const std::string program = std::filesystem::path(argv[0]).filename().string();
  TCommandEntry entry;
  entry.exitStatus = AnswerCommandLine(line, program, version, stdout, stderr);
  if (entry.exitStatus) return entry;
  entry.action = line.action;
  if (entry.action != TStartAction::saNone &&
      LinuxInstancePlatform::TryHandOver(kInstanceTitle, kInstanceClass,
                                         JoinParameters(parameters))) {
    entry.exitStatus = 0;
  }
  return entry;
}

}  // namespace parlumo
