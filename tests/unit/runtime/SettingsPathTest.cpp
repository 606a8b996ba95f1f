#include "runtime/SettingsPath.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <optional>
#include <string>

#include "runtime/DesktopProgram.h"
#include "support/TempFolder.h"

namespace parlumo {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the life of the object and puts the old
// value back afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SettingsPath, BesideTheProgramOnlyWhenTheFileIsThere) {
  test::TempFolder folder("settings-path");
  const fs::path program = folder.Path() / "bin" / "parlumo";
  fs::create_directories(program.parent_path());
  const fs::path config = folder.Path() / "config";
  ScopedEnv xdg("XDG_CONFIG_HOME", config.string());

  // A writable program folder alone does not make the copy portable.
  EXPECT_EQ(SettingsFilePath(program), config / "parlumo" / "parlumo.ini");

  // A folder named like the file is no settings file either.
  fs::create_directory(folder.Path() / "bin" / "parlumo.ini");
  EXPECT_EQ(SettingsFilePath(program), config / "parlumo" / "parlumo.ini");
  fs::remove(folder.Path() / "bin" / "parlumo.ini");

  std::ofstream(folder.Path() / "bin" / "parlumo.ini") << "[General]\n";
  EXPECT_EQ(SettingsFilePath(program), folder.Path() / "bin" / "parlumo.ini");
}

TEST(SettingsPath, UserFileFollowsXdgConfigHome) {
  struct Case {
    std::optional<std::string> xdg;
    std::string home;
    std::string expected;
  };
  const Case cases[] = {
      {"/x/conf", "/home/u", "/x/conf/parlumo/parlumo.ini"},
      // A relative XDG_CONFIG_HOME is to be ignored, as the base directory rules say.
      {"relative", "/home/u", "/home/u/.config/parlumo/parlumo.ini"},
      {std::nullopt, "/home/u", "/home/u/.config/parlumo/parlumo.ini"},
  };
  for (const Case& c : cases) {
    ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(UserSettingsFilePath(), fs::path(c.expected)) << c.xdg.value_or("(unset)");
  }
}

// The program started through its front is known by the front's path: the
// portable settings file beside it is parlumo.ini, not parlumo-desktop.ini.
TEST(SettingsPath, TheDesktopProgramGoesByItsFront) {
  test::TempFolder folder("front");
  const fs::path bin = folder.Path() / "bin";
  fs::create_directories(bin);
  std::ofstream(bin / "parlumo-desktop") << "";
  EXPECT_EQ(FrontProgramPath(bin / "parlumo-desktop"), bin / "parlumo-desktop") << "no front";
  std::ofstream(bin / "parlumo") << "";
  EXPECT_EQ(FrontProgramPath(bin / "parlumo-desktop"), bin / "parlumo");
  EXPECT_EQ(FrontProgramPath(bin / "parlumo"), bin / "parlumo");
  EXPECT_EQ(FrontProgramPath(bin / "other"), bin / "other");
  std::ofstream(bin / "parlumo.ini") << "[General]\n";
  EXPECT_EQ(SettingsFilePath(FrontProgramPath(bin / "parlumo-desktop")), bin / "parlumo.ini");
}

}  // namespace
}  // namespace parlumo
