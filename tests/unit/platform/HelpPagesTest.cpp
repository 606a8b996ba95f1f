#include "platform/linux/HelpPages.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TempFolder.h"

namespace parlumo {
namespace {

namespace fs = std::filesystem;

// Against the program's real help pages.
const fs::path kHelp = fs::path(PARLUMO_TEST_DATA_DIR).parent_path().parent_path() / "help";

TEST(HelpPagesTest, CommandsOpenTheirPagesInTheInterfaceLanguage) {
  int language = 0;
  std::vector<std::string> opened;
  HelpPagesEngine engine(
      kHelp, [&] { return language; }, [&](const std::string& url) { opened.push_back(url); });
  ASSERT_TRUE(engine.Available());
  const std::string chm = "/opt/parlumo/parlumo.chm";
  const struct {
    int language;
    HelpCommand command;
    std::string file;
    HelpEngine::Data data;
    const char* page;  // relative to help/, or "" for none
  } cases[] = {
      {0, HelpCommand::DisplayToc, chm, std::uint32_t{0}, "en/index.html"},
      {1, HelpCommand::DisplayToc, chm, std::uint32_t{0}, "de/index.html"},
      {0, HelpCommand::HelpContext, chm, std::uint32_t{502}, "en/502.html"},
      {1, HelpCommand::HelpContext, chm, std::uint32_t{1000}, "de/1000.html"},
      {0, HelpCommand::HelpContext, chm, std::uint32_t{4711}, "en/index.html"},
      {0, HelpCommand::DisplayTopic, chm + "::/700.html", std::uint32_t{0}, "en/700.html"},
      {0, HelpCommand::DisplayTopic, chm + "::/../../etc/passwd", std::uint32_t{0},
       "en/index.html"},
      {0, HelpCommand::DisplayIndex, chm, std::string("proxy"), "en/index.html"},
      {0, HelpCommand::CloseAll, "", std::uint32_t{0}, ""},
  };
  for (const auto& c : cases) {
    language = c.language;
    opened.clear();
    engine.Call(c.command, c.file, c.data);
    if (*c.page == '\0') {
      EXPECT_TRUE(opened.empty());
    } else {
      EXPECT_EQ(opened, std::vector<std::string>{"file://" + (kHelp / c.page).string()});
    }
  }
}

TEST(HelpPagesTest, MissingHelpIsUnavailable) {
  HelpPagesEngine engine(
      "/nonexistent/help", [] { return 0; }, [](const std::string&) {});
  EXPECT_FALSE(engine.Available());
}

TEST(HelpPagesTest, FindsInstalledPagesBeforeTheSourceTree) {
  test::TempFolder prefix("help-root");
  const fs::path program = prefix.Path() / "bin" / "parlumo";
  // Not installed: the pages of the sources this program was built from.
  EXPECT_EQ(FindHelpRoot(program), kHelp);
  // Installed: <prefix>/share/parlumo/help beside <prefix>/bin.
  const fs::path installed = prefix.Path() / "share" / "parlumo" / "help";
  fs::create_directories(installed / "en");
  std::ofstream(installed / "en" / "index.html") << "<html></html>";
  EXPECT_EQ(FindHelpRoot(program), installed);
}

}  // namespace
}  // namespace parlumo
