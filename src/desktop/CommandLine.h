#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlumo {

// What the desktop program is asked to do on its command line. The actions are
// the hotkeys' own work, so that a desktop that lets no program grab keys (a
// Wayland session) can bind the commands in its own shortcut settings instead.
enum class TStartAction {
  saNone,               // start (or bring the running copy forward), nothing more
  saQuickTranslation1,  // --quick-translation 1: what hotkey 1 does
  saQuickTranslation2,  // --quick-translation 2: what hotkey 2 does
  saFileTranslation,    // --file-translation: what the file hotkey does
  saShowSettings,       // --show-settings: what the tray menu's Settings item does
};

// The outcome of reading the command line.
struct TCommandLine {
  enum class Outcome {
    Start,    // run as asked: action says what to do
    Help,     // --help: print the usage, exit 0
    Version,  // --version: print the version, exit 0
    Misuse,   // an unknown option or a wrong value: print error and usage, exit 64
  };
  Outcome outcome = Outcome::Start;
  TStartAction action = TStartAction::saNone;
  // For Misuse: what was wrong, one line without the program's name.
  std::string error;
};

// The exit status of a command line the program does not understand (BSD's
// EX_USAGE, which shells and service managers know).
inline constexpr int kUsageExitStatus = 64;

// Reads the parameters (without the program's own path). At most one action is
// accepted. Parameters that are not options (no leading '-') are passed over: a
// desktop may hand the program file names, and the running copy has always
// taken any words.
TCommandLine ParseCommandLine(const std::vector<std::string>& parameters);

// The usage text for --help and after a misuse, lines ended by '\n'. program
// is the name to show (argv[0]'s file name).
std::string CommandLineUsage(std::string_view program);

// Answers what the command line asks of the program itself: the usage for
// --help and the version for --version on out, an error and the usage on err
// for a misuse. The exit status then; nothing when the program is to start.
std::optional<int> AnswerCommandLine(const TCommandLine& line, std::string_view program,
                                     std::string_view version, std::FILE* out, std::FILE* err);

// The option words of an action, as a command line takes them: {} for saNone,
// {"--quick-translation", "1"} for saQuickTranslation1, ...
std::vector<std::string> ActionArguments(TStartAction action);

// The command a user binds in the desktop's shortcut settings to run the
// action: "parlumo --quick-translation 1", ...; empty for saNone.
std::string ActionCommand(TStartAction action);

// The action named by the text a later copy handed over to the running one
// (its parameters, each followed by one blank); nothing when the text names
// none or is not a valid command line.
std::optional<TStartAction> ActionOfHandedOverText(std::string_view text);

}  // namespace parlumo
