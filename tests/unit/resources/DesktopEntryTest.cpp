// The desktop entry as `cmake --install` writes it (cmake/InstallDesktopEntry.cmake
// over src/resources/parlumo.desktop.in), for prefixes that a launcher reads
// differently unless they are quoted and escaped: desktop-file-validate passes
// it, the main Exec line starts the installed program, and the actions run
// exactly the commands the program's command line knows, each of them once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "desktop/CommandLine.h"
#include "support/TempFolder.h"

extern char** environ;

namespace parlumo {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status = -1;  // the exit status; -1 when the program did not run or end normally
  std::string output;
};

// Runs a program with these arguments (no shell in between), its standard
// output and error together.
RunResult RunProgram(const std::vector<std::string>& arguments,
                     const std::vector<std::string>& extraEnvironment = {}) {
  RunResult result;
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], 2);
  std::vector<char*> argv;
  for (const std::string& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (char** variable = environ; *variable != nullptr; ++variable)
    envp.push_back(*variable);
  for (const std::string& variable : extraEnvironment)
    envp.push_back(const_cast<char*>(variable.c_str()));
  envp.push_back(nullptr);
  pid_t child = 0;
  const int spawned = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe[1]);
  if (spawned == 0) {
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(pipe[0], buffer, sizeof buffer)) > 0)
      result.output.append(buffer, static_cast<std::size_t>(n));
    int status = 0;
    if (::waitpid(child, &status, 0) == child && WIFEXITED(status))
      result.status = WEXITSTATUS(status);
  } else {
    result.output = "cannot start " + arguments[0];
  }
  ::close(pipe[0]);
  return result;
}

// group -> key -> value, the values as the file holds them (escapes and all).
using Entry = std::map<std::string, std::map<std::string, std::string>>;

Entry ReadEntry(const fs::path& file) {
  Entry entry;
  std::ifstream in(file);
  std::string line;
  std::string group;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      group = line.substr(1, line.size() - 2);
      EXPECT_EQ(entry.count(group), 0u) << "group twice: " << group;
      entry[group];
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
      ADD_FAILURE() << "not a key: " << line;
      continue;
    }
    entry[group][line.substr(0, equals)] = line.substr(equals + 1);
  }
  return entry;
}

// A string value as a launcher reads it: \s \n \t \r \\ undone.
std::string UnescapeString(const std::string& value) {
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      text += value[i];
      continue;
    }
    switch (value[++i]) {
      case 's':
        text += ' ';
        break;
      case 'n':
        text += '\n';
        break;
      case 't':
        text += '\t';
        break;
      case 'r':
        text += '\r';
        break;
      case '\\':
        text += '\\';
        break;
      default:
        ADD_FAILURE() << "invalid escape \\" << value[i] << " in " << value;
        text += value[i];
    }
  }
  return text;
}

// An Exec value as the launcher splits it into the program's arguments: the
// string escapes first, then words split at blanks outside double quotes, a
// backslash inside quotes taking the next character as it is, "%%" a '%'.
// Nothing when the line breaks a rule (an open quote, a field code).
std::optional<std::vector<std::string>> ExecArguments(const std::string& value) {
  const std::string exec = UnescapeString(value);
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < exec.size()) {
        word += exec[++i];
      } else {
        word += c;
      }
    } else if (c == ' ') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else if (c == '"') {
      quoted = true;
      inWord = true;
    } else if (c == '%') {
      if (i + 1 >= exec.size() || exec[i + 1] != '%') return std::nullopt;
      word += '%';
      ++i;
      inWord = true;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (quoted) return std::nullopt;
  if (inWord) words.push_back(word);
  return words;
}

// Every action the command line knows: the values after saNone that name
// option words.
std::vector<TStartAction> CommandLineActions() {
  std::vector<TStartAction> actions;
  for (int value = static_cast<int>(TStartAction::saNone) + 1;; ++value) {
    const auto action = static_cast<TStartAction>(value);
    if (ActionArguments(action).empty()) break;
    actions.push_back(action);
  }
  return actions;
}

std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start < list.size()) {
    const std::size_t end = list.find(';', start);
    const std::size_t stop = end == std::string::npos ? list.size() : end;
    if (stop > start) items.push_back(list.substr(start, stop - start));
    start = stop + 1;
  }
  return items;
}

TEST(DesktopEntryTest, ValidForEveryPrefixAndItsActionsRunTheCommandLinesWords) {
  ASSERT_TRUE(fs::exists(PARLUMO_DESKTOP_FILE_VALIDATE))
      << "desktop-file-validate is missing: run scripts/install-deps";
  const std::vector<TStartAction> known = CommandLineActions();
  ASSERT_FALSE(known.empty());

  test::TempFolder folder("parlumo-entry");
  struct Case {
    const char* name;
    std::string prefix;
    bool destdir;  // installed below DESTDIR, as a package build does
  };
  const Case cases[] = {
      {"system prefix in a staging folder", "/usr/local", true},
      {"blank", (folder.Path() / "my apps").string(), false},
      {"characters escaped inside quotes", (folder.Path() / "a$b`c\"d").string(), false},
      {"other characters a shell reads", (folder.Path() / "it's (1) & <x>").string(), false},
      {"field code character", (folder.Path() / "100%").string(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path stage = folder.Path() / "stage";
    const RunResult install = RunProgram(
        {PARLUMO_CMAKE,
         "-DPARLUMO_ENTRY_TEMPLATE=" PARLUMO_SOURCE_DIR "/src/resources/parlumo.desktop.in",
         "-DPARLUMO_BINDIR=bin", "-DPARLUMO_APPLICATIONS=share/applications",
         "-DCMAKE_INSTALL_PREFIX=" + c.prefix, "-P",
         PARLUMO_SOURCE_DIR "/cmake/InstallDesktopEntry.cmake"},
        c.destdir ? std::vector<std::string>{"DESTDIR=" + stage.string()}
                  : std::vector<std::string>{});
    ASSERT_EQ(install.status, 0) << install.output;
    const fs::path file = (c.destdir ? stage.string() : std::string()) + c.prefix +
                          "/share/applications/parlumo.desktop";
    ASSERT_TRUE(fs::exists(file)) << install.output;

    const RunResult validate = RunProgram({PARLUMO_DESKTOP_FILE_VALIDATE, file.string()});
    EXPECT_EQ(validate.status, 0) << validate.output;
    EXPECT_EQ(validate.output.find("error"), std::string::npos) << validate.output;
    EXPECT_EQ(validate.output.find("warning"), std::string::npos) << validate.output;

    const std::string program = c.prefix + "/bin/parlumo";
    const Entry entry = ReadEntry(file);
    ASSERT_EQ(entry.count("Desktop Entry"), 1u);
    const auto& main = entry.at("Desktop Entry");
    EXPECT_EQ(ExecArguments(main.at("Exec")), std::vector<std::string>{program});
    EXPECT_EQ(UnescapeString(main.at("TryExec")), program);

    // Each listed action runs the program with one command line's words, each
    // known action is listed once, and each is named in English and German.
    std::set<TStartAction> listed;
    const std::vector<std::string> ids = SplitList(main.at("Actions"));
    for (const std::string& id : ids) {
      SCOPED_TRACE(id);
      const auto group = entry.find("Desktop Action " + id);
      ASSERT_NE(group, entry.end());
      EXPECT_FALSE(group->second.count("Name") == 0 || group->second.at("Name").empty());
      EXPECT_FALSE(group->second.count("Name[de]") == 0 || group->second.at("Name[de]").empty());
      const auto words = ExecArguments(group->second.at("Exec"));
      ASSERT_TRUE(words.has_value() && !words->empty()) << group->second.at("Exec");
      EXPECT_EQ(words->front(), program);
      const std::vector<std::string> parameters(words->begin() + 1, words->end());
      const TCommandLine line = ParseCommandLine(parameters);
      ASSERT_EQ(line.outcome, TCommandLine::Outcome::Start) << line.error;
      EXPECT_EQ(parameters, ActionArguments(line.action)) << "the command line's own words";
      EXPECT_TRUE(listed.insert(line.action).second) << "the action is listed twice";
    }
    EXPECT_EQ(listed, std::set<TStartAction>(known.begin(), known.end()));
    // No action group that Actions does not list.
    std::size_t groups = 0;
    for (const auto& [name, keys] : entry)
      groups += name.rfind("Desktop Action ", 0) == 0;
    EXPECT_EQ(groups, ids.size());
  }
}

// The reading above is the launcher's: quoted words, escapes and "%%" come out
// as the program receives them, and a broken line is refused.
TEST(DesktopEntryTest, ExecReadingFollowsTheLaunchersRules) {
  struct Case {
    const char* value;
    std::optional<std::vector<std::string>> words;
  } cases[] = {
      {"/a/parlumo --show-settings", std::vector<std::string>{"/a/parlumo", "--show-settings"}},
      {"\"/my apps/parlumo\"  --x 1", std::vector<std::string>{"/my apps/parlumo", "--x", "1"}},
      {R"("/a\\$b\\`c\\"d\\\\e/p")", std::vector<std::string>{"/a$b`c\"d\\e/p"}},
      {"/100%%/p", std::vector<std::string>{"/100%/p"}},
      {"/100%/p", std::nullopt},
      {"/p %f", std::nullopt},
      {"\"/open/p", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(ExecArguments(c.value), c.words);
  }
}

}  // namespace
}  // namespace parlumo
