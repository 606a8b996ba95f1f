// The help pages teach the commands a desktop binds: every command the
// program's command line knows is named on the Wayland page in both languages,
// and every command the pages show (in the text and in the examples to copy)
// is one the program takes, word for word.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "desktop/CommandLine.h"

namespace parlumo {
namespace {

std::string ReadPage(const std::string& page) {
  std::ifstream in(std::string(PARLUMO_SOURCE_DIR) + "/help/" + page, std::ios::binary);
  EXPECT_TRUE(in.good()) << page;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The words of each "parlumo --..." on the page, up to the end of its line,
// code element or quoted string.
std::vector<std::vector<std::string>> CommandsOnPage(const std::string& text) {
  std::vector<std::vector<std::string>> commands;
  const std::string program = "parlumo --";
  for (std::size_t at = text.find(program); at != std::string::npos;
       at = text.find(program, at + 1)) {
    const std::size_t start = at + program.size() - 2;
    const std::size_t end = text.find_first_of("<'\"\n", start);
    const std::string line = text.substr(start, end - start);
    std::vector<std::string> words;
    std::size_t from = 0;
    while (from < line.size()) {
      const std::size_t blank = line.find(' ', from);
      const std::size_t stop = blank == std::string::npos ? line.size() : blank;
      if (stop > from) words.push_back(line.substr(from, stop - from));
      from = stop + 1;
    }
    commands.push_back(words);
  }
  return commands;
}

TEST(HelpCommandsTest, WaylandPageNamesEveryCommandAndShowsOnlyRealOnes) {
  for (const char* language : {"en", "de"}) {
    SCOPED_TRACE(language);
    const std::string text = ReadPage(std::string(language) + "/wayland.html");
    for (int value = static_cast<int>(TStartAction::saNone) + 1;; ++value) {
      const auto action = static_cast<TStartAction>(value);
      if (ActionArguments(action).empty()) break;
      EXPECT_NE(text.find("<code>" + ActionCommand(action) + "</code>"), std::string::npos)
          << ActionCommand(action);
    }
    const auto commands = CommandsOnPage(text);
    EXPECT_GE(commands.size(), 4u);
    for (const std::vector<std::string>& words : commands) {
      SCOPED_TRACE(::testing::PrintToString(words));
      const TCommandLine line = ParseCommandLine(words);
      ASSERT_EQ(line.outcome, TCommandLine::Outcome::Start) << line.error;
      EXPECT_EQ(words, ActionArguments(line.action));
    }
  }
}

// The pages of the two hotkey settings lead to the Wayland page.
TEST(HelpCommandsTest, HotkeyPagesLinkTheWaylandPage) {
  for (const char* page : {"en/200.html", "en/300.html", "de/200.html", "de/300.html"}) {
    SCOPED_TRACE(page);
    EXPECT_NE(ReadPage(page).find("href=\"wayland.html\""), std::string::npos);
  }
}

}  // namespace
}  // namespace parlumo
