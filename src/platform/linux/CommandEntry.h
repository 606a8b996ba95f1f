#pragma once

#include <optional>
#include <string_view>

#include "desktop/CommandLine.h"

namespace parlumo {

// What the desktop program's command line comes to before anything of the
// desktop is built.
struct TCommandEntry {
  // Set when the process is done: --help, --version, a misuse (all answered
  // on standard output or error), or an action the running copy has taken.
  std::optional<int> exitStatus;
  // Otherwise the action this start is to run once the program is ready.
  TStartAction action = TStartAction::saNone;
};

// Reads argv, answers what the program answers itself, and hands an action to
// the running copy of the desktop program (one attempt).
TCommandEntry EnterCommandLine(int argc, char** argv, std::string_view version);

}  // namespace parlumo
