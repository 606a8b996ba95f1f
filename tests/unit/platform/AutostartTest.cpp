#include "platform/linux/Autostart.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/TempFolder.h"

namespace parlumo {
namespace {

namespace fs = std::filesystem;

class AutostartTest : public ::testing::Test {
 protected:
  fs::path Folder() const { return root_ / "autostart"; }
  std::string Entry() const {
    std::ifstream in(Folder() / "Parlumo2.desktop");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  test::TempFolder temp_{"parlumo-autostart"};
  const fs::path& root_ = temp_.Path();
};

TEST_F(AutostartTest, OnWritesTheEntryAndOffRemovesIt) {
  EXPECT_FALSE(GetAutostart(Folder()));
  SetAutostart(true, "/opt/parlumo/parlumo", Folder());
  EXPECT_TRUE(GetAutostart(Folder()));
  EXPECT_NE(Entry().find("\nExec=/opt/parlumo/parlumo\n"), std::string::npos) << Entry();
  EXPECT_EQ(Entry().rfind("[Desktop Entry]\n", 0), 0u);
  SetAutostart(false, "/opt/parlumo/parlumo", Folder());
  EXPECT_FALSE(GetAutostart(Folder()));
  EXPECT_FALSE(fs::exists(Folder() / "Parlumo2.desktop"));
  SetAutostart(false, "/opt/parlumo/parlumo", Folder());  // already off: nothing happens
  EXPECT_FALSE(GetAutostart(Folder()));
}

TEST_F(AutostartTest, HiddenOrEmptyEntriesCountAsOff) {
  fs::create_directories(Folder());
  const struct {
    const char* text;
    bool on;
  } cases[] = {
      {"[Desktop Entry]\nExec=/usr/bin/parlumo\n", true},
      {"[Desktop Entry]\nExec=/usr/bin/parlumo\nHidden=true\n", false},
      {"[Desktop Entry]\nExec=\n", false},
      {"[Other]\nExec=/usr/bin/parlumo\n", false},
  };
  for (const auto& c : cases) {
    std::ofstream(Folder() / "Parlumo2.desktop") << c.text;
    EXPECT_EQ(GetAutostart(Folder()), c.on) << c.text;
  }
}

TEST(DesktopExecValueTest, QuotesWhatTheLauncherWouldInterpret) {
  EXPECT_EQ(DesktopExecValue("/usr/bin/parlumo"), "/usr/bin/parlumo");
  // Quoted for the launcher, and backslashes doubled for the entry reader.
  EXPECT_EQ(DesktopExecValue("/home/u/My Programs/parlumo"), "\"/home/u/My Programs/parlumo\"");
  EXPECT_EQ(DesktopExecValue("/a$b"), "\"/a\\\\$b\"");
}

}  // namespace
}  // namespace parlumo
