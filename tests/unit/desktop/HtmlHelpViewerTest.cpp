#include "desktop/HtmlHelpViewer.h"

#include <gtest/gtest.h>

#include "fakes/FakeHelpEngine.h"

namespace parlumo {
namespace {

using test::FakeHelpEngine;
using test::FakeHelpHost;
using Request = FakeHelpEngine::Request;

TEST(IsChmFileTest, LastExtensionIgnoringCase) {
  struct Case {
    const char* name;
    bool chm;
  } cases[] = {
      {"parlumo.chm", true},   {"/opt/p/PARLUMO.CHM", true}, {"a.Chm", true},
      {".chm", true},          {"parlumo.chm.bak", false},   {"parlumo.hlp", false},
      {"chm", false},          {"parlumo", false},           {"", false},
      {"dir.chm/file", false}, {"parlumo.chmx", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsChmFile(c.name), c.chm) << c.name;
  }
}

class HtmlHelpViewerTest : public ::testing::Test {
 protected:
  FakeHelpEngine engine_;
  FakeHelpHost host_;
  THtmlHelpViewer viewer_{engine_, host_};
};

TEST_F(HtmlHelpViewerTest, CurrentHelpFile) {
  struct Case {
    const char* manager;
    const char* application;
    const char* expected;
  } cases[] = {
      {"", "/opt/parlumo/parlumo.chm", "/opt/parlumo/parlumo.chm"},
      {"/usr/share/other.chm", "/opt/parlumo/parlumo.chm", "/usr/share/other.chm"},
      {"", "PARLUMO.CHM", "/opt/parlumo/PARLUMO.CHM"},  // no folder: beside the program
      {"help.chm", "/x/y.chm", "/opt/parlumo/help.chm"},
      {"", "", ""},                    // none stays none
      {"", "sub/p.chm", "sub/p.chm"},  // has a folder part
  };
  for (const auto& c : cases) {
    host_.managerHelpFile = c.manager;
    host_.applicationHelpFile = c.application;
    EXPECT_EQ(viewer_.CurrentHelpFile(), c.expected) << c.manager << " | " << c.application;
  }
}

TEST_F(HtmlHelpViewerTest, TableOfContentsAndContextsGoToTheCurrentFile) {
  viewer_.ShowTableOfContents();
  viewer_.DisplayHelpByContext(502, "/opt/parlumo/parlumo.chm");
  viewer_.DisplayHelpByContext(1000, "parlumo.chm");
  const std::vector<Request> expected = {
      {HelpCommand::DisplayToc, "/opt/parlumo/parlumo.chm", std::uint32_t{0}},
      {HelpCommand::HelpContext, "/opt/parlumo/parlumo.chm", std::uint32_t{502}},
      {HelpCommand::HelpContext, "/opt/parlumo/parlumo.chm", std::uint32_t{1000}},
  };
  EXPECT_EQ(engine_.requests, expected);
  EXPECT_EQ(static_cast<unsigned>(HelpCommand::DisplayToc), 1u);
  EXPECT_EQ(static_cast<unsigned>(HelpCommand::HelpContext), 15u);
}

TEST_F(HtmlHelpViewerTest, HelpFileInCapitalsWithoutFolderIsLookedUpBesideTheProgram) {
  host_.applicationHelpFile = "PARLUMO.CHM";
  EXPECT_EQ(viewer_.UnderstandsKeyword("x"), 1);
  EXPECT_TRUE(viewer_.UnderstandsTopic("x"));
  viewer_.DisplayHelpByContext(300, "PARLUMO.CHM");
  const std::vector<Request> expected = {
      {HelpCommand::HelpContext, "/opt/parlumo/PARLUMO.CHM", std::uint32_t{300}}};
  EXPECT_EQ(engine_.requests, expected);
}

TEST_F(HtmlHelpViewerTest, NoChmHelpFileMeansNoRequests) {
  for (const char* file : {"", "/opt/parlumo/parlumo.chm.bak", "/opt/parlumo/parlumo.hlp"}) {
    host_.applicationHelpFile = file;
    EXPECT_EQ(viewer_.UnderstandsKeyword("Proxy"), 0) << file;
    EXPECT_FALSE(viewer_.UnderstandsTopic("a")) << file;
    viewer_.ShowTableOfContents();
    viewer_.ShowHelp("ParlumoHelp: Proxy");
    viewer_.DisplayTopic("a");
    viewer_.DisplayHelpByContext(100, "parlumo.chm");
  }
  EXPECT_TRUE(engine_.requests.empty());
}

TEST_F(HtmlHelpViewerTest, UnderstandsContextLooksAtTheGivenFileName) {
  host_.applicationHelpFile = "";
  EXPECT_TRUE(viewer_.UnderstandsContext(100, "x.CHM"));
  EXPECT_FALSE(viewer_.UnderstandsContext(100, "x.hlp"));
  EXPECT_FALSE(viewer_.UnderstandsContext(100, ""));
}

TEST_F(HtmlHelpViewerTest, ShowHelpLooksUpTheKeywordAfterTheFirstColon) {
  struct Case {
    const char* helpString;
    const char* keyword;
  } cases[] = {
      {"ParlumoHelp: Proxy", "Proxy"},
      {"ParlumoHelp:Proxy  ", "Proxy"},
      {"x: a: b", "a: b"},
      {"  Proxy ", "Proxy"},  // no colon: the whole string, trimmed
  };
  for (const auto& c : cases) {
    engine_.requests.clear();
    viewer_.ShowHelp(c.helpString);
    const std::vector<Request> expected = {
        {HelpCommand::DisplayIndex, "/opt/parlumo/parlumo.chm", std::string(c.keyword)}};
    EXPECT_EQ(engine_.requests, expected) << c.helpString;
  }
}

TEST_F(HtmlHelpViewerTest, DisplayTopicAppendsHtmUnlessHtmOrHtml) {
  struct Case {
    const char* topic;
    const char* shown;
  } cases[] = {
      {"proxy", "proxy.htm"},         {"proxy.htm", "proxy.htm"},
      {"PROXY.HTML", "PROXY.HTML"},   {"proxy.Htm", "proxy.Htm"},
      {"proxy.txt", "proxy.txt.htm"}, {"pages.v2/proxy", "pages.v2/proxy.htm"},
  };
  for (const auto& c : cases) {
    engine_.requests.clear();
    viewer_.DisplayTopic(c.topic);
    const std::vector<Request> expected = {{HelpCommand::DisplayTopic,
                                            std::string("/opt/parlumo/parlumo.chm::/") + c.shown,
                                            std::uint32_t{0}}};
    EXPECT_EQ(engine_.requests, expected) << c.topic;
  }
}

TEST_F(HtmlHelpViewerTest, ShutDownClosesAllWithoutFileAndReleasesTheManager) {
  host_.managerHelpFile = "/m/manager.chm";
  viewer_.SoftShutDown();
  viewer_.ShowTableOfContents();
  viewer_.ShutDown();
  viewer_.ShowTableOfContents();
  const std::vector<Request> expected = {
      {HelpCommand::CloseAll, "", std::uint32_t{0}},
      {HelpCommand::DisplayToc, "/m/manager.chm", std::uint32_t{0}},
      {HelpCommand::CloseAll, "", std::uint32_t{0}},
      {HelpCommand::DisplayToc, "/opt/parlumo/parlumo.chm", std::uint32_t{0}},
  };
  EXPECT_EQ(engine_.requests, expected);
  EXPECT_EQ(static_cast<unsigned>(HelpCommand::CloseAll), 18u);
}

TEST_F(HtmlHelpViewerTest, SoftShutDownDoesNotNeedAHelpFile) {
  host_.applicationHelpFile = "";
  viewer_.SoftShutDown();
  EXPECT_EQ(engine_.requests.size(), 1u);
}

TEST_F(HtmlHelpViewerTest, UnavailableEngineIgnoresEveryRequest) {
  engine_.available = false;
  viewer_.ShowTableOfContents();
  viewer_.ShowHelp("Proxy");
  viewer_.DisplayTopic("a");
  viewer_.DisplayHelpByContext(700, "p.chm");
  viewer_.ShutDown();
  EXPECT_TRUE(engine_.requests.empty());
}

TEST_F(HtmlHelpViewerTest, HelpStringsAndSelection) {
  EXPECT_EQ(viewer_.GetHelpStrings("Proxy"), std::vector<std::string>{"ParlumoHelp: Proxy"});
  EXPECT_EQ(viewer_.GetViewerName(), "ParlumoHelp");
  EXPECT_TRUE(viewer_.CanShowTableOfContents());

  struct Case {
    std::vector<std::string> lines;
    int index;
  } cases[] = {
      {{"ParlumoHelp: Proxy", "Other: Proxy"}, 0},
      {{"Other: Proxy", "ParlumoHelp: Proxy"}, 1},
      {{"Other: a", "ParlumoHelpX: a", "ParlumoHelp", "parlumohelp: a"}, 0},  // none matches
      {{}, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(viewer_.SelectKeyword(c.lines), c.index);

  EXPECT_EQ(viewer_.TableOfContents({"WinHelp", "ParlumoHelp"}), 1);
  EXPECT_EQ(viewer_.TableOfContents({"WinHelp"}), -1);

  viewer_.NotifyID(7);
  EXPECT_EQ(viewer_.ViewerID(), 7);
}

TEST(WinHelpTesterTest, CanShowNothing) {
  TWinHelpTester tester;
  EXPECT_FALSE(tester.CanShowALink("a", "f"));
  EXPECT_FALSE(tester.CanShowTopic("a", "f"));
  EXPECT_FALSE(tester.CanShowContext(1, "f"));
  EXPECT_EQ(tester.GetHelpStrings("x"), std::vector<std::string>{": x"});
  EXPECT_EQ(tester.GetHelpPath(), "");
  EXPECT_EQ(tester.GetDefaultHelpFile(), "");
}

}  // namespace
}  // namespace parlumo
