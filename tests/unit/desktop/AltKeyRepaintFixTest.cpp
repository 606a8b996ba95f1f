#include "desktop/AltKeyRepaintFix.h"

#include <gtest/gtest.h>

#include "fakes/FakeFormsPlatform.h"

namespace parlumo {
namespace {

using test::FakeForm;
using test::FakeFormsPlatform;
using Names = std::vector<std::string>;

constexpr unsigned kWmUpdateUiStateNumber = 0x0128;
constexpr unsigned kWmPaint = 0x000F;

class AltKeyRepaintFixTest : public ::testing::Test {
 protected:
  Names repaints_;
  FakeFormsPlatform platform_;
};

TEST_F(AltKeyRepaintFixTest, ActivityTest) {
  struct Case {
    std::optional<int> osMajor;
    bool visualStyles;
    bool active;
  } cases[] = {
      {10, true, true},
      {6, true, true},
      {5, true, false},
      {6, false, false},
      {std::nullopt, true, false},
  };
  for (const auto& c : cases) {
    platform_.osMajor = c.osMajor;
    platform_.visualStyles = c.visualStyles;
    TAltKeyRepaintFix fix(platform_);
    EXPECT_EQ(fix.Active(), c.active);
    EXPECT_EQ(platform_.Subscribed(), c.active);
    EXPECT_TRUE(fix.RepaintAll());
  }
}

TEST_F(AltKeyRepaintFixTest, InactiveNeverHooksEvenWhenStylesComeOnLater) {
  platform_.visualStyles = false;
  FakeForm form("form", repaints_);
  platform_.forms = {&form};
  TAltKeyRepaintFix fix(platform_);
  platform_.visualStyles = true;
  EXPECT_FALSE(platform_.Idle());
  fix.IdlePass();
  form.Send(kWmUpdateUiStateNumber);
  fix.IdlePass();
  EXPECT_TRUE(fix.Records().empty());
  EXPECT_TRUE(repaints_.empty());
}

TEST_F(AltKeyRepaintFixTest, AltInAWindowRepaintsItsWindowedControlsOnceAtTheNextIdle) {
  FakeForm form("form", repaints_);
  auto& panel = form.Add("panel", true);
  panel.Add("edit", true);
  panel.Add("label", false).Add("under-label", true);  // skipped with its parent
  form.Add("button", true);
  FakeForm other("other", repaints_);
  platform_.forms = {&form, &other};
  TAltKeyRepaintFix fix(platform_);

  platform_.Idle();
  ASSERT_EQ(fix.Records().size(), 2u);
  EXPECT_TRUE(repaints_.empty());

  EXPECT_EQ(form.Send(kWmUpdateUiStateNumber), 42);  // the form's own result
  EXPECT_EQ(form.ownHandlerCalls, 1);
  form.Send(kWmUpdateUiStateNumber);  // twice before one idle moment: one repaint
  form.Send(kWmPaint);
  EXPECT_TRUE(repaints_.empty());

  platform_.Idle();
  EXPECT_EQ(repaints_, (Names{"form", "panel", "edit", "button"}));
  repaints_.clear();
  platform_.Idle();
  EXPECT_TRUE(repaints_.empty());
}

TEST_F(AltKeyRepaintFixTest, OtherMessagesRepaintNothing) {
  FakeForm form("form", repaints_);
  platform_.forms = {&form};
  TAltKeyRepaintFix fix(platform_);
  platform_.Idle();
  form.Send(kWmPaint);
  form.Send(0x0127);  // WM_CHANGEUISTATE
  platform_.Idle();
  EXPECT_TRUE(repaints_.empty());
  EXPECT_EQ(form.ownHandlerCalls, 2);
}

TEST_F(AltKeyRepaintFixTest, GoneFormsAreNotTouchedWhenTheFixIsDestroyed) {
  auto gone = std::make_unique<FakeForm>("gone", repaints_);
  FakeForm staying("staying", repaints_);
  platform_.forms = {gone.get(), &staying};
  {
    TAltKeyRepaintFix fix(platform_);
    platform_.Idle();
    // gone is destroyed and leaves the list; no idle moment before the fix goes.
    platform_.forms = {&staying};
    gone.reset();
  }
  EXPECT_TRUE(staying.OwnHandlerInstalled());
}

TEST_F(AltKeyRepaintFixTest, RecordsFollowTheFormList) {
  FakeForm a("a", repaints_), b("b", repaints_), c("c", repaints_);
  platform_.forms = {&a};
  TAltKeyRepaintFix fix(platform_);
  platform_.Idle();
  platform_.forms = {&a, &b, &c};
  platform_.Idle();
  ASSERT_EQ(fix.Records().size(), 3u);
  EXPECT_EQ(fix.Records()[1]->Form(), &b);

  // b leaves the list: its record goes at the next idle moment.
  platform_.forms = {&c, &a};
  c.Send(kWmUpdateUiStateNumber);
  a.Send(kWmUpdateUiStateNumber);
  platform_.Idle();
  ASSERT_EQ(fix.Records().size(), 2u);
  EXPECT_EQ(fix.Records()[0]->Form(), &a);
  EXPECT_EQ(fix.Records()[1]->Form(), &c);
  // Records are walked from the last to the first.
  EXPECT_EQ(repaints_, (Names{"c", "a"}));
}

TEST_F(AltKeyRepaintFixTest, WindowOpenedAndClosedBetweenIdleMomentsGetsNoRecord) {
  FakeForm main("main", repaints_);
  platform_.forms = {&main};
  TAltKeyRepaintFix fix(platform_);
  platform_.Idle();
  {
    FakeForm passing("passing", repaints_);
    platform_.forms = {&main, &passing};
    platform_.forms = {&main};
  }
  platform_.Idle();
  ASSERT_EQ(fix.Records().size(), 1u);
  EXPECT_EQ(fix.Records()[0]->Form(), &main);
}

TEST_F(AltKeyRepaintFixTest, RepaintAllFalseRepaintsTheFormAlone) {
  FakeForm form("form", repaints_);
  form.Add("edit", true);
  platform_.forms = {&form};
  TAltKeyRepaintFix fix(platform_);
  fix.SetRepaintAll(false);
  platform_.Idle();
  EXPECT_FALSE(fix.Records()[0]->RepaintAll());
  form.Send(kWmUpdateUiStateNumber);
  platform_.Idle();
  EXPECT_EQ(repaints_, (Names{"form"}));
}

TEST_F(AltKeyRepaintFixTest, DestroyedFixGivesLivingFormsTheirHandlersBack) {
  FakeForm form("form", repaints_);
  platform_.forms = {&form};
  {
    TAltKeyRepaintFix fix(platform_);
    platform_.Idle();
    EXPECT_FALSE(form.OwnHandlerInstalled());
  }
  EXPECT_FALSE(platform_.Subscribed());
  EXPECT_TRUE(form.OwnHandlerInstalled());
  // The form still receives messages, straight into its own handler.
  EXPECT_EQ(form.Send(kWmUpdateUiStateNumber), 42);
  EXPECT_EQ(form.ownHandlerCalls, 1);
  EXPECT_TRUE(repaints_.empty());

  // A new fix hooks it afresh and works.
  TAltKeyRepaintFix fix(platform_);
  platform_.Idle();
  form.Send(kWmUpdateUiStateNumber);
  platform_.Idle();
  EXPECT_EQ(repaints_, (Names{"form"}));
  EXPECT_EQ(form.ownHandlerCalls, 2);
}

TEST_F(AltKeyRepaintFixTest, DestroyedFixUnderAnotherHookLeavesTheChainWorking) {
  FakeForm form("form", repaints_);
  platform_.forms = {&form};
  int outerCalls = 0;
  {
    TAltKeyRepaintFix fix(platform_);
    platform_.Idle();
    // Someone hooks the form on top of the record's handler.
    FormWindowProc below = form.WindowProc();
    form.SetWindowProc([below, &outerCalls](FormMessage& message) {
      ++outerCalls;
      below(message);
    });
  }
  // The outer hook stays; it still calls into the freed record's handler, which
  // must only pass the message on.
  EXPECT_FALSE(form.OwnHandlerInstalled());
  EXPECT_EQ(form.Send(kWmUpdateUiStateNumber), 42);
  EXPECT_EQ(outerCalls, 1);
  EXPECT_EQ(form.ownHandlerCalls, 1);
}

TEST_F(AltKeyRepaintFixTest, FixDestroyedFromInsideAMessageOfItsForm) {
  FakeForm form("form", repaints_);
  platform_.forms = {&form};
  auto fix = std::make_unique<TAltKeyRepaintFix>(platform_);
  platform_.Idle();
  // The main form destroys the fix while it handles a message of its own.
  FormWindowProc hooked = form.WindowProc();
  FakeForm probe("probe", repaints_);
  probe.SetWindowProc([&](FormMessage& message) {
    fix.reset();
    hooked(message);
  });
  probe.Send(kWmUpdateUiStateNumber);
  EXPECT_EQ(fix, nullptr);
  EXPECT_EQ(form.ownHandlerCalls, 1);
}

}  // namespace
}  // namespace parlumo
