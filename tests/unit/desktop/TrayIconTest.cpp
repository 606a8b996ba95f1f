#include "desktop/TrayIcon.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "desktop/SimpleTimer.h"
#include "desktop/VirtualKeyCodes.h"
#include "fakes/FakeTrayShell.h"
#include "runtime/PollEventLoop.h"

namespace parlumo {
namespace {

using fake::FakeTrayApplication;
using fake::FakeTrayImageList;
using fake::FakeTrayMenu;
using fake::FakeTrayShell;
using fake::FakeTrayWindow;
namespace n = tray_notification;

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i)
    out += piece;
  return out;
}

class TrayIconTest : public ::testing::Test {
 protected:
  TrayIconTest() : app(log), mainForm(log) {
    app.mainForm = &mainForm;
    tray = std::make_unique<TTrayIcon>(loop, shell, app, &mainForm);
  }

  void Deliver(unsigned notification) { FakeTrayShell::Deliver(tray->Data(), notification); }

  // Runs the loop until done() holds, for at most a second.
  template <typename Done>
  void RunUntil(Done done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!done() && std::chrono::steady_clock::now() < end)
      loop.ProcessEvents(std::chrono::milliseconds(5));
  }

  // Runs the loop for about the given time.
  void RunFor(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end)
      loop.ProcessEvents(std::chrono::milliseconds(5));
  }

  std::vector<std::string> log;
  PollEventLoop loop;
  FakeTrayShell shell;
  FakeTrayApplication app;
  FakeTrayWindow mainForm;
  std::unique_ptr<TTrayIcon> tray;
};

TEST_F(TrayIconTest, RecordCarriesFixedFieldsAndAnIdUniqueToTheComponent) {
  tray->SetHint("Parlumo");
  tray->SetIcon({"icon bytes"});
  ASSERT_TRUE(tray->AddIcon());
  const TrayIconData& sent = shell.Last().data;
  EXPECT_EQ(shell.Last().command, TrayCommand::Add);
  EXPECT_EQ(sent.flags, 7u);
  EXPECT_EQ(sent.callbackMessage, 0x0800u);
  EXPECT_EQ(sent.window, TTrayIconHandler::Current().get());
  EXPECT_EQ(sent.tip, "Parlumo");
  EXPECT_EQ(sent.icon.data, "icon bytes");
  EXPECT_TRUE(tray->IconVisible());

  TTrayIcon second(loop, shell, app, nullptr);
  EXPECT_NE(second.Id(), tray->Id());
  EXPECT_EQ(second.Data().window, sent.window) << "one handler per process";
  EXPECT_TRUE(second.AddIcon());
}

TEST_F(TrayIconTest, TooltipIsCutTo127CharactersWithoutSplittingASequence) {
  const std::string a127 = std::string(127, 'a');
  struct Case {
    std::string hint;
    bool showHint;
    std::string tip;
  } cases[] = {
      {"", true, ""},
      {"Parlumo", false, ""},
      {a127, true, a127},
      {a127 + "b", true, a127},
      {std::string(126, 'a') + "\xC3\xA4", true, std::string(126, 'a') + "\xC3\xA4"},
      {a127 + "\xC3\xA4", true, a127},
      {std::string(126, 'a') + "\xE2\x82\xAC\xE2\x82\xAC", true,
       std::string(126, 'a') + "\xE2\x82\xAC"},
      {Repeat("\xE2\x82\xAC", 128), true, Repeat("\xE2\x82\xAC", 127)},
      {Repeat("\xF0\x9F\x98\x80", 130), true, Repeat("\xF0\x9F\x98\x80", 127)},
  };
  tray->AddIcon();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hint.size());
    tray->SetShowHint(c.showHint);
    tray->SetHint(c.hint);
    EXPECT_EQ(shell.Last().command, TrayCommand::Modify);
    EXPECT_EQ(shell.Last().data.tip, c.tip);
  }
}

TEST_F(TrayIconTest, BalloonTitleAndTextAreCutAt63And255Characters) {
  const std::string t63 = std::string(63, 't');
  const std::string x255 = std::string(255, 'x');
  struct Case {
    std::string title, text, sentTitle, sentText;
  } cases[] = {
      {t63, x255, t63, x255},
      {t63 + "u", x255 + "y", t63, x255},
      {std::string(62, 't') + "\xC3\xA4", std::string(254, 'x') + "\xE2\x82\xAC",
       std::string(62, 't') + "\xC3\xA4", std::string(254, 'x') + "\xE2\x82\xAC"},
      {t63 + "\xC3\xA4", x255 + "\xE2\x82\xAC", t63, x255},
      {Repeat("\xC3\xB6", 64), Repeat("\xF0\x9F\x98\x80", 256), Repeat("\xC3\xB6", 63),
       Repeat("\xF0\x9F\x98\x80", 255)},
  };
  tray->AddIcon();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title.size());
    shell.calls.clear();
    EXPECT_TRUE(tray->ShowBalloon(c.title, c.text, TBalloonIconKind::bkWarning, 20));
    ASSERT_EQ(shell.calls.size(), 2u);
    // First the hide: an empty balloon text with NIF_INFO.
    EXPECT_EQ(shell.calls[0].data.flags, 7u | 0x10u);
    EXPECT_EQ(shell.calls[0].data.info, "");
    const TrayIconData& sent = shell.calls[1].data;
    EXPECT_EQ(shell.calls[1].command, TrayCommand::Modify);
    EXPECT_EQ(sent.flags, 7u | 0x10u);
    EXPECT_EQ(sent.infoTitle, c.sentTitle);
    EXPECT_EQ(sent.info, c.sentText);
    EXPECT_EQ(sent.timeout, 20000u);
    EXPECT_EQ(sent.infoFlags, 2u);
    EXPECT_EQ(tray->Data().flags, 7u) << "flags are 7 again after the call";
  }
}

TEST_F(TrayIconTest, BalloonOnAnIconNotShownFails) {
  EXPECT_FALSE(tray->ShowBalloon("Title", "Text", TBalloonIconKind::bkInfo, 10));
  tray->SetIconVisible(true);
  EXPECT_TRUE(tray->ShowBalloon("Title", "Text", TBalloonIconKind::bkError, 10));
  EXPECT_EQ(shell.Last().data.infoFlags, 3u);
  EXPECT_EQ(shell.Last().data.timeout, 10000u);
}

TEST_F(TrayIconTest, HideBalloonByItselfKeepsSendingAnEmptyBalloonUntilTheNextShow) {
  tray->AddIcon();
  tray->HideBalloon();
  tray->SetHint("later");
  EXPECT_EQ(shell.Last().data.flags, 7u | 0x10u);
  EXPECT_EQ(shell.Last().data.info, "");
  tray->ShowBalloon("T", "X", TBalloonIconKind::bkNone, 10);
  tray->SetHint("after show");
  EXPECT_EQ(shell.Last().data.flags, 7u);
}

TEST_F(TrayIconTest, DoubleClickRunsTheLowestDefaultItemOnlyWhenTheRulesAllow) {
  struct Case {
    const char* name;
    bool menuSet, autoPopup, leftPopup, enabled;
    std::vector<bool> defaults;
    std::vector<int> clicks;
  } cases[] = {
      {"default item", true, true, false, true, {false, true, false}, {0, 1, 0}},
      {"two defaults: lowest index", true, true, false, true, {false, true, true}, {0, 1, 0}},
      {"no default item", true, true, false, true, {false, false, false}, {0, 0, 0}},
      {"LeftPopup", true, true, true, true, {true, false, false}, {0, 0, 0}},
      {"AutoPopup false", true, false, false, true, {true, false, false}, {0, 0, 0}},
      {"Enabled false", true, true, false, false, {true, false, false}, {0, 0, 0}},
      {"no menu", false, true, false, true, {true, false, false}, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeTrayMenu menu(3);
    menu.defaults = c.defaults;
    menu.autoPopup = c.autoPopup;
    tray->SetPopupMenu(c.menuSet ? &menu : nullptr);
    tray->SetLeftPopup(c.leftPopup);
    tray->SetEnabled(c.enabled);
    int dblClicks = 0;
    tray->OnDblClick = [&](TTrayIcon& sender) {
      EXPECT_EQ(&sender, tray.get());
      ++dblClicks;
    };
    Deliver(n::kLButtonDblClk);
    EXPECT_EQ(menu.clicks, c.clicks);
    EXPECT_EQ(dblClicks, c.enabled ? 1 : 0);
    EXPECT_TRUE(menu.popups.empty());
    tray->SetPopupMenu(nullptr);
  }
}

TEST_F(TrayIconTest, MenuOpensOnRightPressAlwaysAndOnLeftPressOnlyWithLeftPopup) {
  struct Case {
    unsigned press;
    bool leftPopup, enabled;
    bool opens;
  } cases[] = {
      {n::kRButtonDown, false, true, true},   {n::kRButtonDown, true, true, true},
      {n::kLButtonDown, false, true, false},  {n::kLButtonDown, true, true, true},
      {n::kRButtonDown, false, false, false}, {n::kLButtonDown, true, false, false},
      {n::kRButtonUp, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.press << " leftPopup " << c.leftPopup);
    FakeTrayMenu menu(2);
    tray->SetPopupMenu(&menu);
    tray->SetLeftPopup(c.leftPopup);
    tray->SetEnabled(c.enabled);
    log.clear();
    Deliver(c.press);
    Deliver(n::kLButtonUp);
    ASSERT_EQ(menu.popups.size(), c.opens ? 1u : 0u);
    if (c.opens) {
      EXPECT_EQ(menu.popups[0], shell.cursor);
      EXPECT_EQ(menu.popupComponent, tray.get());
      EXPECT_EQ(log, (std::vector<std::string>{"app front", "app process", "window post null"}));
    }
    tray->SetPopupMenu(nullptr);
  }
}

TEST_F(TrayIconTest, PopupNeedsAMenuWithAutoPopupAndAReadableCursor) {
  FakeTrayMenu menu(1);
  tray->PopupMenuAtCursor();  // no menu
  tray->SetPopupMenu(&menu);
  menu.autoPopup = false;
  tray->PopupMenuAtCursor();
  menu.autoPopup = true;
  shell.cursorReadable = false;
  tray->PopupMenuAtCursor();
  EXPECT_TRUE(menu.popups.empty());
  shell.cursorReadable = true;
  tray->Notification(static_cast<const TrayMenu*>(&menu));
  EXPECT_EQ(tray->PopupMenu(), nullptr);
  tray->PopupMenuAtCursor();
  EXPECT_TRUE(menu.popups.empty());
}

TEST_F(TrayIconTest, DisabledIconIgnoresMouseButStillReportsBalloons) {
  int events = 0;
  tray->OnClick = [&](TTrayIcon&) { ++events; };
  tray->OnMouseDown = [&](TTrayIcon&, TMouseButton, TShiftState, int, int) { ++events; };
  tray->OnMouseUp = [&](TTrayIcon&, TMouseButton, TShiftState, int, int) { ++events; };
  tray->OnMouseMove = [&](TTrayIcon&, TShiftState, int, int) { ++events; };
  std::vector<std::string> balloons;
  tray->OnBalloonHintShow = [&](TTrayIcon&) { balloons.push_back("show"); };
  tray->OnBalloonHintHide = [&](TTrayIcon&) { balloons.push_back("hide"); };
  tray->OnBalloonHintTimeout = [&](TTrayIcon&) { balloons.push_back("timeout"); };
  tray->OnBalloonHintClick = [&](TTrayIcon&) { balloons.push_back("click"); };
  tray->SetEnabled(false);
  for (unsigned m : {n::kMouseMove, n::kLButtonDown, n::kLButtonUp, n::kRButtonDown, n::kRButtonUp,
                     n::kMButtonDown, n::kMButtonUp})
    Deliver(m);
  EXPECT_EQ(events, 0);
  for (unsigned m : {n::kBalloonShow, n::kBalloonHide, n::kBalloonTimeout, n::kBalloonUserClick})
    Deliver(m);
  EXPECT_EQ(balloons, (std::vector<std::string>{"show", "hide", "timeout", "click"}));
}

TEST_F(TrayIconTest, MouseEventsCarryCursorPositionKeyStateAndButton) {
  struct Seen {
    std::string what;
    TMouseButton button;
    TShiftState shift;
    int x, y;
  };
  std::vector<Seen> seen;
  tray->OnMouseDown = [&](TTrayIcon&, TMouseButton b, TShiftState s, int x, int y) {
    seen.push_back({"down", b, s, x, y});
  };
  tray->OnMouseUp = [&](TTrayIcon&, TMouseButton b, TShiftState s, int x, int y) {
    seen.push_back({"up", b, s, x, y});
  };
  tray->OnMouseMove = [&](TTrayIcon&, TShiftState s, int x, int y) {
    seen.push_back({"move", TMouseButton::mbLeft, s, x, y});
  };
  shell.keysDown = {kVkShift, kVkControl};
  shell.cursor = {7, 9};
  Deliver(n::kMButtonDown);
  Deliver(n::kMouseMove);
  shell.keysDown = {kVkMenu};
  Deliver(n::kRButtonUp);    // classic notifications
  Deliver(n::kContextMenu);  // only with version-3 notifications
  tray->SetIconBehavior(1);
  EXPECT_EQ(shell.Last().command, TrayCommand::SetVersion);
  EXPECT_EQ(shell.Last().data.version, 3u);
  Deliver(n::kRButtonUp);
  Deliver(n::kKeySelect);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].what, "down");
  EXPECT_EQ(seen[0].button, TMouseButton::mbMiddle);
  EXPECT_EQ(seen[0].shift, ssShift | ssCtrl | ssMiddle);
  EXPECT_EQ(seen[0].x, 7);
  EXPECT_EQ(seen[0].y, 9);
  EXPECT_EQ(seen[1].what, "move");
  EXPECT_EQ(seen[1].shift, ssShift | ssCtrl) << "no button flag on a move";
  EXPECT_EQ(seen[2].what, "up");
  EXPECT_EQ(seen[2].button, TMouseButton::mbRight);
  EXPECT_EQ(seen[2].shift, ssAlt | ssRight);
  EXPECT_EQ(seen[3].what, "up");
  EXPECT_EQ(seen[3].button, TMouseButton::mbRight);
}

TEST_F(TrayIconTest, ClickIsRaisedOnReleaseWhileDoubleClickIsUnbound) {
  int clicks = 0;
  tray->OnClick = [&](TTrayIcon&) { ++clicks; };
  Deliver(n::kLButtonUp);  // a release without a press is no click
  EXPECT_EQ(clicks, 0);
  Deliver(n::kLButtonDown);
  Deliver(n::kLButtonUp);
  EXPECT_EQ(clicks, 1);
}

TEST_F(TrayIconTest, WithDoubleClickBoundTheClickWaitsForTheDoubleClickTime) {
  int clicks = 0, dblClicks = 0;
  tray->OnClick = [&](TTrayIcon&) { ++clicks; };
  tray->OnDblClick = [&](TTrayIcon&) { ++dblClicks; };
  shell.doubleClickTime = 40;

  Deliver(n::kLButtonDown);
  Deliver(n::kLButtonUp);
  EXPECT_EQ(clicks, 0) << "not before the double-click time";
  RunUntil([&] { return clicks == 1; });
  EXPECT_EQ(clicks, 1);

  // A press held past the double-click time raises no click before its release.
  Deliver(n::kLButtonDown);
  RunFor(120);
  EXPECT_EQ(clicks, 1);
  Deliver(n::kLButtonUp);
  EXPECT_EQ(clicks, 2) << "released after the timer stopped: one click at once";

  // A double-click: press, release, double-click notification, release.
  Deliver(n::kLButtonDown);
  Deliver(n::kLButtonUp);
  Deliver(n::kLButtonDblClk);
  Deliver(n::kLButtonUp);
  RunFor(120);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(dblClicks, 1);
}

TEST_F(TrayIconTest, RecreatedTaskbarGetsAVisibleIconBackWithItsImageAndTooltip) {
  ASSERT_EQ(app.hooks.size(), 1u);
  TrayApplicationHook* hook = *app.hooks.begin();
  tray->SetHint("Parlumo");
  tray->SetIconVisible(true);
  tray->SetIcon({"second image"});
  tray->SetHint("new tip");
  shell.RecreateTaskbar();
  shell.calls.clear();
  hook->TaskbarCreated();
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.Last().command, TrayCommand::Add);
  EXPECT_EQ(shell.Last().data.icon.data, "second image");
  EXPECT_EQ(shell.Last().data.tip, "new tip");
  EXPECT_EQ(shell.shown.count(tray->Id()), 1u);

  tray->SetIconVisible(false);
  shell.RecreateTaskbar();
  shell.calls.clear();
  hook->TaskbarCreated();
  EXPECT_TRUE(shell.calls.empty()) << "a hidden icon stays away";
}

TEST_F(TrayIconTest, IconIndexIsLoweredToTheLastImageAndIsZeroWithoutList) {
  tray->SetIconIndex(4);
  EXPECT_EQ(tray->IconIndex(), 0);
  FakeTrayImageList list(3);
  tray->SetIconList(&list);
  tray->AddIcon();
  tray->SetIconIndex(5);
  EXPECT_EQ(tray->IconIndex(), 2);
  EXPECT_EQ(shell.Last().data.icon.data, "image 2");
  tray->SetIconIndex(1);
  EXPECT_EQ(shell.Last().data.icon.data, "image 1");
  tray->SetIconIndex(-3);
  EXPECT_EQ(tray->IconIndex(), 0);
  tray->Notification(static_cast<const TrayImageList*>(&list));
  EXPECT_EQ(tray->IconList(), nullptr);
  EXPECT_EQ(tray->IconIndex(), 0);
}

TEST_F(TrayIconTest, CyclingStepsThroughTheListOnTheTimer) {
  FakeTrayImageList list(3);
  tray->SetIconList(&list);
  tray->AddIcon();
  std::vector<int> next;
  tray->OnCycle = [&](TTrayIcon&, int nextIndex) { next.push_back(nextIndex); };
  tray->SetCycleIcons(true);  // interval 0: the timer does not start
  RunFor(40);
  EXPECT_TRUE(next.empty());
  tray->SetCycleInterval(5);
  while (next.size() < 4)
    loop.ProcessEvents(std::chrono::milliseconds(50));
  tray->SetCycleIcons(false);
  EXPECT_EQ(std::vector<int>(next.begin(), next.begin() + 4), (std::vector<int>{1, 2, 0, 1}));
  const std::size_t seen = next.size();
  RunFor(30);
  EXPECT_EQ(next.size(), seen) << "stopped";
}

TEST_F(TrayIconTest, EnterOnFirstMoveExitWhenTheCursorHasLeft) {
  std::vector<std::string> seen;
  tray->OnMouseEnter = [&](TTrayIcon&) { seen.push_back("enter"); };
  tray->OnMouseExit = [&](TTrayIcon&) { seen.push_back("exit"); };
  tray->OnMouseMove = [&](TTrayIcon&, TShiftState, int, int) { seen.push_back("move"); };
  Deliver(n::kMouseMove);
  EXPECT_EQ(seen, (std::vector<std::string>{"move"})) << "without WantEnterExitEvents";
  tray->SetWantEnterExitEvents(true);
  seen.clear();
  Deliver(n::kMouseMove);
  Deliver(n::kMouseMove);
  RunFor(60);  // the cursor stays where it was
  EXPECT_EQ(seen, (std::vector<std::string>{"enter", "move", "move"}));
  shell.cursor = {500, 500};
  RunUntil([&] { return seen.size() == 4; });
  Deliver(n::kMouseMove);
  EXPECT_EQ(seen, (std::vector<std::string>{"enter", "move", "move", "exit", "enter", "move"}));
}

TEST_F(TrayIconTest, RestoreAndHideTheMainWindow) {
  mainForm.minimized = true;
  mainForm.visible = false;
  log.clear();
  tray->RestoreMainWindow();
  EXPECT_FALSE(mainForm.minimized);
  EXPECT_TRUE(mainForm.visible);
  EXPECT_EQ(log.back(), "app front");
  tray->HideMainWindow();
  EXPECT_FALSE(mainForm.visible);
  EXPECT_FALSE(app.taskbarButton);
  log.clear();
  tray->HideTaskbarButton();
  EXPECT_TRUE(log.empty()) << "an invisible taskbar button is left alone";
}

TEST_F(TrayIconTest, MainWindowOperationsNeedAWindowedOwnerAndAMainForm) {
  TTrayIcon ownerless(loop, shell, app, nullptr);
  log.clear();
  mainForm.minimized = true;
  ownerless.RestoreMainWindow();
  ownerless.HideMainWindow();
  EXPECT_TRUE(log.empty());
  app.mainForm = nullptr;
  tray->RestoreMainWindow();
  tray->HideMainWindow();
  EXPECT_TRUE(log.empty());
}

TEST_F(TrayIconTest, MinimizeToTrayFromTheOwnerAndTheApplicationWindow) {
  ASSERT_NE(mainForm.hook, nullptr);
  TrayApplicationHook* appHook = *app.hooks.begin();
  EXPECT_FALSE(mainForm.hook->OwnerMinimizeCommand()) << "MinimizeToTray off";
  tray->SetMinimizeToTray(true);
  EXPECT_FALSE(mainForm.hook->OwnerMinimizeCommand()) << "OnMinimizeToTray unbound";
  int raised = 0;
  tray->OnMinimizeToTray = [&](TTrayIcon&) { ++raised; };
  EXPECT_TRUE(mainForm.hook->OwnerMinimizeCommand());
  EXPECT_EQ(raised, 1);
  EXPECT_FALSE(mainForm.visible);
  EXPECT_TRUE(tray->IconVisible());
  app.terminating = true;
  EXPECT_FALSE(mainForm.hook->OwnerHiddenForMinimize());
  app.terminating = false;
  EXPECT_TRUE(mainForm.hook->OwnerHiddenForMinimize());

  tray->SetIconVisible(false);
  mainForm.visible = true;
  appHook->ApplicationMinimized();
  EXPECT_FALSE(mainForm.visible);
  EXPECT_TRUE(tray->IconVisible());
  appHook->ApplicationRestoreCommand();
  EXPECT_TRUE(mainForm.visible);
}

TEST_F(TrayIconTest, LoadedAsksStartupThenUpdatesAndReappliesTheStoredValues) {
  shell.log = &log;
  bool asked = false;
  tray->OnStartup = [&](TTrayIcon&, bool& show) {
    EXPECT_TRUE(show);
    asked = true;
    show = false;
  };
  log.clear();
  tray->Loaded();
  EXPECT_TRUE(asked);
  EXPECT_EQ(log, (std::vector<std::string>{"app keep main form hidden", "window hide",
                                           "app hide taskbar button", "shell modify",
                                           "shell delete", "shell version"}));
  EXPECT_EQ(shell.Last().data.version, 0u);
  EXPECT_FALSE(tray->IconVisible());
}

TEST_F(TrayIconTest, DestructionDeletesTheIconThenUnhooksThenReleasesTheHandler) {
  shell.log = &log;
  tray->SetIconVisible(true);
  log.clear();
  tray.reset();
  EXPECT_EQ(log, (std::vector<std::string>{"shell delete", "app unhook", "owner unhook"}));
  EXPECT_TRUE(shell.shown.empty());
  EXPECT_EQ(TTrayIconHandler::Current(), nullptr) << "the last component took the handler along";
}

TEST_F(TrayIconTest, LateNotificationForADestroyedComponentIsDropped) {
  TTrayIcon other(loop, shell, app, nullptr);
  TrayIconData data = tray->Data();
  tray.reset();
  ASSERT_NE(TTrayIconHandler::Current(), nullptr);
  data.window = TTrayIconHandler::Current().get();
  FakeTrayShell::Deliver(data, n::kRButtonDown);  // must not reach freed memory
}

TEST_F(TrayIconTest, ComponentMayBeDestroyedByItsOwnEvent) {
  FakeTrayMenu menu(2);
  menu.defaults = {true, false};
  tray->SetPopupMenu(&menu);
  tray->OnDblClick = [&](TTrayIcon&) { tray.reset(); };
  Deliver(n::kLButtonDblClk);
  EXPECT_EQ(tray, nullptr);
  EXPECT_EQ(menu.clicks, (std::vector<int>{0, 0}));

  tray = std::make_unique<TTrayIcon>(loop, shell, app, &mainForm);
  tray->SetPopupMenu(&menu);
  menu.onPopup = [&] { tray.reset(); };
  Deliver(n::kRButtonDown);
  EXPECT_EQ(tray, nullptr);
  EXPECT_EQ(log.back(), "owner unhook") << "no post to the owner after the component died";
}

TEST(TrayIconHandlerTest, AnswersItsOwnCloseMessagesAndLeavesTheRestToTheDefault) {
  auto handler = TTrayIconHandler::Acquire();
  EXPECT_EQ(TTrayIconHandler::Acquire(), handler);
  for (unsigned m : {0x0002u, 0x0010u, 0x0011u, 0x0012u, 0x0016u, 0x0082u})
    EXPECT_EQ(handler->WindowProc(m, 0, 0), 1) << m;
  EXPECT_EQ(handler->WindowProc(0x0800, 12345, n::kLButtonDown), 0) << "unknown id";
  EXPECT_EQ(handler->WindowProc(0x0001, 0, 0), std::nullopt);
}

TEST(SimpleTimerTest, ZeroIntervalFailsAndTheHandlerCanStopItsOwnTimer) {
  PollEventLoop loop;
  int ticks = 0;
  std::unique_ptr<TSimpleTimer> timer;
  timer = std::make_unique<TSimpleTimer>(loop, [&] {
    if (++ticks == 3) timer->Stop();
  });
  EXPECT_EQ(timer->Interval(), 1000u);
  timer->SetInterval(0);
  EXPECT_FALSE(timer->Start());
  EXPECT_FALSE(timer->Running());
  timer->SetInterval(2);
  EXPECT_TRUE(timer->Start());
  EXPECT_TRUE(timer->Start()) << "restarts while running";
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
  while (std::chrono::steady_clock::now() < end)
    loop.ProcessEvents(std::chrono::milliseconds(5));
  EXPECT_EQ(ticks, 3);
  EXPECT_FALSE(timer->Running());
}

}  // namespace
}  // namespace parlumo
