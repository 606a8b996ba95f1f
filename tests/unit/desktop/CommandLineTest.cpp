#include "desktop/CommandLine.h"

#include <gtest/gtest.h>

#include "desktop/MainInstance.h"

namespace parlumo {
namespace {

using Outcome = TCommandLine::Outcome;

TEST(CommandLineTest, ReadsTheActionsAndRefusesWhatItDoesNotKnow) {
  struct Case {
    std::vector<std::string> parameters;
    Outcome outcome;
    TStartAction action;
  } cases[] = {
      {{}, Outcome::Start, TStartAction::saNone},
      {{"--quick-translation", "1"}, Outcome::Start, TStartAction::saQuickTranslation1},
      {{"--quick-translation", "2"}, Outcome::Start, TStartAction::saQuickTranslation2},
      {{"--quick-translation=2"}, Outcome::Start, TStartAction::saQuickTranslation2},
      {{"--file-translation"}, Outcome::Start, TStartAction::saFileTranslation},
      {{"--show-settings"}, Outcome::Start, TStartAction::saShowSettings},
      // Words that are not options are passed over, as the running copy has
      // always taken any words.
      {{"notes.txt", "--show-settings"}, Outcome::Start, TStartAction::saShowSettings},
      {{"--show-settings", "--show-settings"}, Outcome::Start, TStartAction::saShowSettings},
      {{"--help"}, Outcome::Help, TStartAction::saNone},
      {{"--file-translation", "-h"}, Outcome::Help, TStartAction::saNone},
      {{"--version"}, Outcome::Version, TStartAction::saNone},
      // Misuse: unknown options, missing or wrong values, two actions.
      {{"--quick-translation"}, Outcome::Misuse, TStartAction::saNone},
      {{"--quick-translation", "3"}, Outcome::Misuse, TStartAction::saNone},
      {{"--quick-translation", "--show-settings"}, Outcome::Misuse, TStartAction::saNone},
      {{"--quick-translation="}, Outcome::Misuse, TStartAction::saNone},
      {{"--file-translation=yes"}, Outcome::Misuse, TStartAction::saNone},
      {{"--quick"}, Outcome::Misuse, TStartAction::saNone},
      {{"-x"}, Outcome::Misuse, TStartAction::saNone},
      {{"-"}, Outcome::Misuse, TStartAction::saNone},
      {{"--file-translation", "--show-settings"}, Outcome::Misuse, TStartAction::saNone},
  };
  for (const Case& c : cases) {
    const TCommandLine line = ParseCommandLine(c.parameters);
    SCOPED_TRACE(::testing::PrintToString(c.parameters));
    EXPECT_EQ(line.outcome, c.outcome);
    if (c.outcome == Outcome::Start) {
      EXPECT_EQ(line.action, c.action);
    }
    EXPECT_EQ(line.error.empty(), c.outcome != Outcome::Misuse) << line.error;
  }
}

// What a later copy hands over (its parameters joined) names the same action
// as its command line, and every action's command reads back as itself.
TEST(CommandLineTest, HandedOverTextAndBoundCommandsReadBackAsTheirAction) {
  for (TStartAction action : {TStartAction::saQuickTranslation1, TStartAction::saQuickTranslation2,
                              TStartAction::saFileTranslation, TStartAction::saShowSettings}) {
    const std::vector<std::string> words = ActionArguments(action);
    EXPECT_EQ(ActionOfHandedOverText(JoinParameters(words)), action);
    const std::string command = ActionCommand(action);
    ASSERT_TRUE(command.starts_with("parlumo ")) << command;
    EXPECT_EQ(ActionOfHandedOverText(command.substr(8)), action) << command;
    EXPECT_NE(CommandLineUsage("parlumo").find(words.front()), std::string::npos);
  }
  EXPECT_EQ(ActionOfHandedOverText(""), std::nullopt);
  EXPECT_EQ(ActionOfHandedOverText("notes.txt "), std::nullopt);
  EXPECT_EQ(ActionOfHandedOverText("--bogus "), std::nullopt);
  EXPECT_EQ(ActionCommand(TStartAction::saNone), "");
}

// What the program answers itself, and where: the usage on standard output
// for --help, on standard error with the error for a misuse.
TEST(CommandLineTest, AnswersHelpVersionAndMisuse) {
  const struct {
    std::vector<std::string> parameters;
    std::optional<int> status;
    const char* out;  // a piece of what goes to standard output
    const char* err;  // ... and to standard error
  } cases[] = {
      {{"--help"}, 0, "--quick-translation 1", ""},
      {{"--version"}, 0, "parlumo 2.5.0.41", ""},
      {{"--bogus"}, kUsageExitStatus, "", "parlumo: unknown option: --bogus\nUsage: parlumo"},
      {{"--show-settings"}, std::nullopt, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.parameters));
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_TRUE(out && err);
    EXPECT_EQ(AnswerCommandLine(ParseCommandLine(c.parameters), "parlumo", "2.5.0.41", out, err),
              c.status);
    for (const auto& [file, expected] : {std::pair{out, c.out}, std::pair{err, c.err}}) {
      std::string text(4096, '\0');
      std::rewind(file);
      text.resize(std::fread(text.data(), 1, text.size(), file));
      if (expected[0] == '\0') {
        EXPECT_EQ(text, "");
      } else {
        EXPECT_NE(text.find(expected), std::string::npos) << text;
      }
      std::fclose(file);
    }
  }
}

}  // namespace
}  // namespace parlumo
