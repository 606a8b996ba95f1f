// The tray icon component on the real Qt adapters, in trayer on Xvfb: the icon
// appears in the tray, balloons show, clicks arrive as the shell's
// notifications and run the menu's default item.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "desktop/TrayIcon.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtTray.h"
#include "support/TrayImages.h"
#include "x11/X11TestSupport.h"

namespace parlumo {
namespace {

using x11test::Pump;
using x11test::WaitUntil;
using x11test::Xdotool;

// A solid colour the screenshot check looks for.
const QColor kIconColour(0, 200, 120);

QWidget* VisibleBalloon() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->isVisible() && widget->inherits("QBalloonTip")) return widget;
  return nullptr;
}

class TrayX11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WaitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }))
        << "no notification area on the X server";
    mainForm_.setWindowTitle("tray test main form");
    mainForm_.resize(200, 100);
    application_.SetMainForm(&mainForm_);
    defaultAction_ = menu_.addAction("Settings");
    menu_.addSeparator();
    otherAction_ = menu_.addAction("Exit");
    menu_.setDefaultAction(defaultAction_);
    QObject::connect(defaultAction_, &QAction::triggered, [this] { ++defaultRuns_; });
    QObject::connect(otherAction_, &QAction::triggered, [this] { ++otherRuns_; });

    tray_ = std::make_unique<TTrayIcon>(loop_, shell_, application_, application_.MainForm());
    tray_->SetIcon(test::SolidPng(kIconColour));
    tray_->SetHint("Parlumo – Übersetzer");
    tray_->SetPopupMenu(&trayMenu_);
    tray_->OnDblClick = [this](TTrayIcon&) { ++doubleClicks_; };
    tray_->OnClick = [this](TTrayIcon&) { ++clicks_; };
    tray_->OnBalloonHintShow = [this](TTrayIcon&) { ++balloonShows_; };
    tray_->OnBalloonHintHide = [this](TTrayIcon&) { ++balloonHides_; };
    tray_->OnBalloonHintClick = [this](TTrayIcon&) { ++balloonClicks_; };
    tray_->OnBalloonHintTimeout = [this](TTrayIcon&) { ++balloonTimeouts_; };
    tray_->Loaded();
    ASSERT_TRUE(tray_->AddIcon());
    icon_ = shell_.TrayIconOf(tray_->Id());
    ASSERT_NE(icon_, nullptr);
    // Embedded once the tray host has given it a place.
    ASSERT_TRUE(WaitUntil([this] { return IconRect().isValid() && IconRect().width() > 4; }))
        << "the icon was not embedded in the tray";
    Pump(300);
  }

  void TearDown() override {
    tray_.reset();
    Pump(100);
  }

  QRect IconRect() const { return icon_ ? icon_->geometry() : QRect(); }

  void ClickAt(const QPoint& at, int repeat) {
    x11test::MovePointer(at);
    Xdotool({"click", "--repeat", QString::number(repeat), "--delay", "60", "1"});
  }

  QtEventLoop loop_;
  QtTrayShell shell_;
  QtTrayApplication application_;
  QWidget mainForm_;
  QMenu menu_;
  QtTrayMenu trayMenu_{&menu_};
  QAction* defaultAction_ = nullptr;
  QAction* otherAction_ = nullptr;
  std::unique_ptr<TTrayIcon> tray_;
  QSystemTrayIcon* icon_ = nullptr;
  int defaultRuns_ = 0, otherRuns_ = 0, clicks_ = 0, doubleClicks_ = 0;
  int balloonShows_ = 0, balloonHides_ = 0, balloonClicks_ = 0, balloonTimeouts_ = 0;
};

TEST_F(TrayX11Test, IconSitsInTheTrayHostWithItsImageAndShowsABalloon) {
  const QRect icon = IconRect();
  bool inHost = false;
  for (const QRect& host : x11test::TrayHostRects())
    inHost = inHost || host.contains(icon.center());
  EXPECT_TRUE(inHost) << "icon at " << icon.x() << "," << icon.y() << " is not inside trayer";
  EXPECT_EQ(icon_->toolTip(), QString("Parlumo – Übersetzer"));
  EXPECT_TRUE(TrayMessagesAvailable());

  ASSERT_TRUE(tray_->ShowBalloon("Translation English → German",
                                 "Das Haus ist sehr groß. Grüße aus dem Infobereich.",
                                 TBalloonIconKind::bkInfo, 20));
  ASSERT_TRUE(WaitUntil([] { return VisibleBalloon() != nullptr; }));
  EXPECT_TRUE(WaitUntil([this] { return balloonShows_ == 1; }));
  Pump(400);

  // The screenshot is for a person to look at; the test reads the icon's
  // colour back from it.
  const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
  ASSERT_FALSE(shot.isNull());
  QDir().mkpath(PARLUMO_X11_ARTIFACTS);
  EXPECT_TRUE(shot.save(QString(PARLUMO_X11_ARTIFACTS) + "/tray-balloon.png"));
  const QColor seen = shot.pixelColor(icon.center());
  EXPECT_EQ(seen.rgb(), kIconColour.rgb()) << "pixel at the icon is " << seen.name().toStdString();
  const QRect balloon = VisibleBalloon()->frameGeometry();
  EXPECT_TRUE(shot.rect().contains(balloon)) << "the balloon is off the screen";

  // Hiding removes it and is reported.
  tray_->HideBalloon();
  EXPECT_TRUE(WaitUntil([] { return VisibleBalloon() == nullptr; }));
  EXPECT_TRUE(WaitUntil([this] { return balloonHides_ == 1; }));
  EXPECT_EQ(balloonClicks_ + balloonTimeouts_, 0);
}

TEST_F(TrayX11Test, BalloonClickAndTimeoutAreReported) {
  ASSERT_TRUE(tray_->ShowBalloon("Parlumo", "Click me", TBalloonIconKind::bkWarning, 20));
  ASSERT_TRUE(WaitUntil([] { return VisibleBalloon() != nullptr; }));
  ClickAt(VisibleBalloon()->frameGeometry().center(), 1);
  EXPECT_TRUE(WaitUntil([this] { return balloonClicks_ == 1; }));
  EXPECT_TRUE(WaitUntil([] { return VisibleBalloon() == nullptr; }));

  ASSERT_TRUE(tray_->ShowBalloon("Parlumo", "Gone in a second", TBalloonIconKind::bkError, 1));
  EXPECT_TRUE(WaitUntil([this] { return balloonTimeouts_ == 1; }, 4000));
  EXPECT_EQ(balloonClicks_, 1);
}

// The balloon's text is what the user marked: the balloon Qt draws at the
// embedded icon shows it as it is, a marked tag or link included.
TEST_F(TrayX11Test, MarkedTextInABalloonIsShownAsItIs) {
  const QString marked = QStringLiteral("<a href=\"http://example.org/\">Haus</a> & <b>groß</b>");
  ASSERT_TRUE(
      tray_->ShowBalloon("Übersetzung", marked.toStdString(), TBalloonIconKind::bkInfo, 20));
  ASSERT_TRUE(WaitUntil([] { return VisibleBalloon() != nullptr; }));
  const QList<QLabel*> labels = VisibleBalloon()->findChildren<QLabel*>();
  int shown = 0;
  for (const QLabel* label : labels) {
    if (label->text() != marked) continue;
    ++shown;
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_FALSE(label->openExternalLinks());
  }
  EXPECT_EQ(shown, 1) << "no label of the balloon holds the marked text as it is";
  tray_->HideBalloon();
  EXPECT_TRUE(WaitUntil([] { return VisibleBalloon() == nullptr; }));
}

TEST_F(TrayX11Test, DoubleClickRunsTheDefaultItemOnce) {
  ClickAt(IconRect().center(), 2);
  EXPECT_TRUE(WaitUntil([this] { return defaultRuns_ == 1; }));
  Pump(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 200);
  EXPECT_EQ(defaultRuns_, 1);
  EXPECT_EQ(doubleClicks_, 1);
  EXPECT_EQ(otherRuns_, 0);
  // The first press of the pair is no click of its own once a double-click
  // handler is there.
  EXPECT_EQ(clicks_, 0);
}

TEST_F(TrayX11Test, TwoQuickClickActivationsAreADoubleClick) {
  // Status-notifier trays report a double-click as two click activations.
  emit icon_->activated(QSystemTrayIcon::Trigger);
  emit icon_->activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(WaitUntil([this] { return defaultRuns_ == 1; }));
  EXPECT_EQ(doubleClicks_, 1);
  // An XEmbed tray's double-click activation for the same pair adds nothing.
  emit icon_->activated(QSystemTrayIcon::DoubleClick);
  Pump(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 200);
  EXPECT_EQ(defaultRuns_, 1);
  EXPECT_EQ(doubleClicks_, 1);
  EXPECT_EQ(clicks_, 0);

  // Two clicks further apart are two clicks.
  emit icon_->activated(QSystemTrayIcon::Trigger);
  Pump(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 200);
  emit icon_->activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(WaitUntil([this] { return clicks_ == 2; }));
  EXPECT_EQ(defaultRuns_, 1);
}

TEST_F(TrayX11Test, SingleClickIsAClickAndRunsNoItem) {
  ClickAt(IconRect().center(), 1);
  EXPECT_TRUE(WaitUntil([this] { return clicks_ == 1; }));
  Pump(200);
  EXPECT_EQ(defaultRuns_, 0);
  EXPECT_EQ(doubleClicks_, 0);
}

TEST_F(TrayX11Test, RightClickPopsTheMenuUpAtTheCursor) {
  QPoint shownAt;
  bool shown = false;
  QObject::connect(&menu_, &QMenu::aboutToShow, [&] {
    shown = true;
    // Closed from the event loop once it is up.
    QTimer::singleShot(200, &menu_, [&] {
      shownAt = menu_.pos();
      menu_.close();
    });
  });
  const QPoint at = IconRect().center();
  x11test::MovePointer(at);
  Xdotool({"click", "3"});
  ASSERT_TRUE(WaitUntil([&] { return shown && !menu_.isVisible() && !shownAt.isNull(); }));
  EXPECT_EQ(trayMenu_.PopupComponent(), tray_.get());
  // The menu opens at the cursor (moved inwards where the screen ends).
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_LE(std::abs(shownAt.y() - at.y()), menu_.height() + 2);
  EXPECT_TRUE(screen.contains(QRect(shownAt, menu_.size())));
  EXPECT_EQ(defaultRuns_ + otherRuns_, 0);
}

TEST_F(TrayX11Test, DeletedIconLeavesTheTrayAndDropsLateNotifications) {
  const std::uintptr_t id = tray_->Id();
  ASSERT_TRUE(tray_->DeleteIcon());
  EXPECT_EQ(shell_.TrayIconOf(id), nullptr);
  EXPECT_FALSE(tray_->UpdateIcon());
  // Added again, it comes back in the tray.
  ASSERT_TRUE(tray_->AddIcon());
  icon_ = shell_.TrayIconOf(id);
  ASSERT_NE(icon_, nullptr);
  EXPECT_TRUE(WaitUntil([this] { return IconRect().isValid() && IconRect().width() > 4; }));
}

TEST_F(TrayX11Test, IconComesBackWhenTheTrayHostIsRecreated) {
  // The tray host goes away and a new one starts, as when the panel restarts.
  QProcess::execute("pkill", {"-x", "trayer"});
  ASSERT_TRUE(WaitUntil([] { return x11test::TrayHostRects().empty(); }));
  // Without a tray nothing can show a balloon: it fails and nothing is
  // reported.
  ASSERT_TRUE(WaitUntil([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }));
  EXPECT_FALSE(tray_->ShowBalloon("Parlumo", "nobody sees this", TBalloonIconKind::bkInfo, 1));
  Pump(1300);
  EXPECT_EQ(balloonShows_ + balloonTimeouts_, 0);
  // Detached, it outlives the test and ends with the X server; it must not
  // hold the test's output open.
  QProcess trayer;
  trayer.setProgram("trayer");
  trayer.setArguments({"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                       "160", "--heighttype", "pixel", "--height", "32", "--transparent", "false",
                       "--tint", "0x404040"});
  trayer.setStandardOutputFile(QProcess::nullDevice());
  trayer.setStandardErrorFile(QProcess::nullDevice());
  ASSERT_TRUE(trayer.startDetached());
  ASSERT_TRUE(WaitUntil([] { return !x11test::TrayHostRects().empty(); }, 10000));
  ASSERT_TRUE(WaitUntil(
      [this] {
        const QRect icon = IconRect();
        for (const QRect& host : x11test::TrayHostRects())
          if (icon.isValid() && host.contains(icon.center())) return true;
        return false;
      },
      10000))
      << "the icon did not come back into the new tray";
  // And it still works there.
  Pump(300);
  ClickAt(IconRect().center(), 2);
  EXPECT_TRUE(WaitUntil([this] { return defaultRuns_ == 1; }));
}

}  // namespace
}  // namespace parlumo
