#include "desktop/MainInstance.h"

#include <gtest/gtest.h>

#include "desktop/IconHide.h"
#include "fakes/FakeInstancePlatform.h"
#include "fakes/FakeTaskbarWindow.h"

namespace parlumo {
namespace {

using test::FakeDesktop;
using test::FakeInstanceCopy;
using test::FakeTaskbarWindow;
using Log = std::vector<std::string>;

TEST(JoinParametersTest, ExeResetsTheText) {
  struct Case {
    std::vector<std::string> parameters;
    std::string text;
  } cases[] = {
      {{}, ""},
      {{"a", "b"}, "a b "},
      {{"x.exe", "y"}, "y "},
      {{"a", "X.EXE"}, ""},
      {{"a", "b.Exe", "c", "d"}, "c d "},
      {{"prog.exeX", "z"}, "z "},  // ".EXE" anywhere in the text
      {{"a.e", "xe"}, "a.e xe "},  // the blank breaks it
      {{"file.ex", "e"}, "file.ex e "},
      {{"a", ".eXe", ""}, " "},  // an empty parameter still adds a blank
      {{"über", "ß"}, "über ß "},
      {{"a b", "c"}, "a b c "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JoinParameters(c.parameters), c.text) << ::testing::PrintToString(c.parameters);
  }
}

constexpr const char* kTitle = "Parlumo 2.5";
constexpr const char* kClass = "TApplication";

TEST(MainInstanceTest, FirstCopyContinues) {
  FakeDesktop desktop;
  FakeInstanceCopy first(desktop, kTitle, kClass, {"a"});
  TMainInstance guard(first);
  EXPECT_EQ(first.log, (Log{"claim"}));
  EXPECT_FALSE(first.exitCode);
  EXPECT_EQ(desktop.Running(kTitle, kClass), &first);
}

TEST(MainInstanceTest, SecondCopyWithoutParametersBringsTheFirstForwardAndExitsZero) {
  FakeDesktop desktop;
  FakeInstanceCopy first(desktop, kTitle, kClass);
  TMainInstance firstGuard(first);
  FakeInstanceCopy second(desktop, kTitle, kClass);
  TMainInstance secondGuard(second);
  EXPECT_EQ(second.log, (Log{"claim", "forward", "exit"}));
  EXPECT_EQ(second.exitCode, 0);
  EXPECT_TRUE(first.received.empty());
  EXPECT_EQ(first.broughtForward, 1);
  EXPECT_EQ(desktop.Running(kTitle, kClass), &first);
}

TEST(MainInstanceTest, SecondCopyHandsOverItsParametersFirst) {
  FakeDesktop desktop;
  FakeInstanceCopy first(desktop, kTitle, kClass);
  TMainInstance firstGuard(first);
  FakeInstanceCopy second(desktop, kTitle, kClass, {"a", "b"});
  TMainInstance secondGuard(second);
  EXPECT_EQ(second.log, (Log{"claim", "hand over", "forward", "exit"}));
  EXPECT_EQ(first.received, (Log{"a b "}));
  EXPECT_EQ(second.exitCode, 0);
}

TEST(MainInstanceTest, ParametersEndingInAnExeAreNotSent) {
  FakeDesktop desktop;
  FakeInstanceCopy first(desktop, kTitle, kClass);
  TMainInstance firstGuard(first);
  FakeInstanceCopy second(desktop, kTitle, kClass, {"a", "C:\\X.EXE"});
  TMainInstance secondGuard(second);
  EXPECT_TRUE(first.received.empty());
  EXPECT_EQ(second.exitCode, 0);
}

TEST(MainInstanceTest, LongParameterTextIsHandedOverWhole) {
  FakeDesktop desktop;
  FakeInstanceCopy first(desktop, kTitle, kClass);
  TMainInstance firstGuard(first);
  const std::string longParameter(400, 'p');
  FakeInstanceCopy second(desktop, kTitle, kClass, {longParameter});
  TMainInstance secondGuard(second);
  EXPECT_EQ(first.received, (Log{longParameter + " "}));
}

TEST(MainInstanceTest, OnlyTheSameTitleAndClassCount) {
  FakeDesktop desktop;
  FakeInstanceCopy first(desktop, kTitle, kClass);
  TMainInstance firstGuard(first);
  FakeInstanceCopy otherTitle(desktop, "Parlumo 2.6", kClass);
  TMainInstance g1(otherTitle);
  FakeInstanceCopy otherClass(desktop, kTitle, "QWidget");
  TMainInstance g2(otherClass);
  FakeInstanceCopy otherCase(desktop, "parlumo 2.5", kClass);
  TMainInstance g3(otherCase);
  for (auto* copy : {&otherTitle, &otherClass, &otherCase})
    EXPECT_FALSE(copy->exitCode);
  EXPECT_EQ(first.broughtForward, 0);
  EXPECT_EQ(desktop.RunningCount(), 4u);
}

TEST(MainInstanceTest, EmptyTitleOrClassIdentifiesNothing) {
  FakeDesktop desktop;
  for (auto [title, className] : {std::pair{"", kClass}, std::pair{kTitle, ""}}) {
    FakeInstanceCopy a(desktop, title, className);
    FakeInstanceCopy b(desktop, title, className);
    TMainInstance ga(a);
    TMainInstance gb(b);
    EXPECT_TRUE(a.log.empty());
    EXPECT_TRUE(b.log.empty());
    EXPECT_FALSE(b.exitCode);
  }
}

constexpr std::uint32_t kAppStyle = 0x00040000;  // WS_EX_APPWINDOW

TEST(IconHideTest, ConstructionHidesWithToolWindowAndTopmost) {
  FakeTaskbarWindow window(kAppStyle);
  IconHideState state(window);
  EXPECT_FALSE(state.Hidden());
  TIconHide iconHide(state);
  EXPECT_TRUE(iconHide.Hidden());
  EXPECT_EQ(window.log, (Log{"hide", "style", "show"}));
  EXPECT_EQ(window.style, kAppStyle | 0x80u | 0x08u);
}

TEST(IconHideTest, SettingTheCurrentValueChangesNothing) {
  FakeTaskbarWindow window(kAppStyle);
  IconHideState state(window);
  state.SetHidden(false);
  EXPECT_TRUE(window.log.empty());
  TIconHide iconHide(state);
  window.log.clear();
  iconHide.SetHidden(true);
  TIconHide second(state);  // shares the value: already hidden
  EXPECT_TRUE(window.log.empty());
  EXPECT_TRUE(second.Hidden());
}

TEST(IconHideTest, ShowingRestoresTheStyleOfTheStart) {
  FakeTaskbarWindow window(kAppStyle | 0x80u);  // a tool window already at start
  IconHideState state(window);
  {
    TIconHide iconHide(state);
    window.style = 0x12345678;  // changed by someone else meanwhile
    iconHide.SetHidden(false);
    EXPECT_EQ(window.style, kAppStyle | 0x80u);
    iconHide.SetHidden(true);
  }
  // Destruction restores nothing.
  EXPECT_EQ(window.style, kAppStyle | 0x80u | 0x08u);
  EXPECT_TRUE(state.Hidden());
}

}  // namespace
}  // namespace parlumo
