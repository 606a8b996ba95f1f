// The tray icon and its balloons on the session bus, as on a Wayland desktop:
// the icon is a StatusNotifierItem that a StatusNotifierWatcher (our dbusmock
// template tests/data/dbus/statusnotifierwatcher.py) learns of, balloons are
// desktop notifications (dbusmock's notification_daemon template). The Qt
// platform is offscreen: every platform but xcb takes this way.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusVariant>
#include <QImage>
#include <QWidget>
#include <memory>

#include "DBusTestBus.h"
#include "desktop/TrayIcon.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtTray.h"
#include "platform/qt/QtTrayDBus.h"
#include "support/QtWait.h"
#include "support/TrayImages.h"

namespace parlumo {
namespace {

using test::DBusMock;
using test::NotificationServer;
using test::Pump;
using test::WaitUntil;

const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");
const QString kNotificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

std::unique_ptr<DBusMock> Watcher() {
  return std::make_unique<DBusMock>(test::DBusTemplate("statusnotifierwatcher.py"), QString(),
                                    kWatcher, QStringLiteral("/StatusNotifierWatcher"));
}

QStringList Items(const DBusMock& watcher) {
  const QDBusMessage reply = watcher.Call(QStringLiteral("Items"));
  return reply.arguments().isEmpty() ? QStringList() : reply.arguments().at(0).toStringList();
}

// A property of the item an entry of the watcher names ("busname/path").
QVariant ItemProperty(const QString& item, const QString& name) {
  const qsizetype slash = item.indexOf(QLatin1Char('/'));
  QDBusMessage get = QDBusMessage::createMethodCall(
      item.left(slash), item.mid(slash), QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("Get"));
  get << QStringLiteral("org.kde.StatusNotifierItem") << name;
  const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::BlockWithGui, 5000);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  return reply.arguments().at(0).value<QDBusVariant>().variant();
}

void CallItem(const QString& item, const QString& method, int x = 10, int y = 10) {
  const qsizetype slash = item.indexOf(QLatin1Char('/'));
  QDBusMessage call = QDBusMessage::createMethodCall(
      item.left(slash), item.mid(slash), QStringLiteral("org.kde.StatusNotifierItem"), method);
  call << x << y;
  QDBusConnection::sessionBus().call(call, QDBus::BlockWithGui, 5000);
}

class DBusTrayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(UsesDBusTray());
    application_.SetMainForm(&mainForm_);
    tray_ = std::make_unique<TTrayIcon>(loop_, shell_, application_, application_.MainForm());
    tray_->SetIcon(test::SolidPng(QColor(0, 200, 120)));
    tray_->SetHint("Parlumo – Übersetzer");
    tray_->OnClick = [this](TTrayIcon&) { ++clicks_; };
    tray_->OnBalloonHintShow = [this](TTrayIcon&) { ++balloonShows_; };
    tray_->OnBalloonHintHide = [this](TTrayIcon&) { ++balloonHides_; };
    tray_->OnBalloonHintClick = [this](TTrayIcon&) { ++balloonClicks_; };
    tray_->OnBalloonHintTimeout = [this](TTrayIcon&) { ++balloonTimeouts_; };
    tray_->Loaded();
  }

  void TearDown() override {
    tray_.reset();
    Pump(100);
  }

  // The Notify calls the server had, oldest first.
  static std::vector<QVariantList> Notifies(const DBusMock& server) {
    return server.CallsOf(QStringLiteral("Notify"));
  }

  QtEventLoop loop_;
  QtTrayShell shell_;
  QtTrayApplication application_;
  QWidget mainForm_;
  std::unique_ptr<TTrayIcon> tray_;
  int clicks_ = 0;
  int balloonShows_ = 0, balloonHides_ = 0, balloonClicks_ = 0, balloonTimeouts_ = 0;
};

TEST_F(DBusTrayTest, WithoutTrayHostABalloonIsADesktopNotification) {
  const auto server = NotificationServer();
  EXPECT_FALSE(TrayMessagesAvailable());
  ASSERT_TRUE(server->Start());
  EXPECT_TRUE(TrayMessagesAvailable());
  EXPECT_FALSE(TrayAvailable());
  // No tray host: the add fails, as it does without a notification area.
  EXPECT_FALSE(tray_->AddIcon());

  ASSERT_TRUE(tray_->ShowBalloon("Translation English → German", "Das Haus ist sehr groß.",
                                 TBalloonIconKind::bkInfo, 20));
  ASSERT_TRUE(WaitUntil([&] { return Notifies(*server).size() == 1; }));
  const QVariantList notify = Notifies(*server).at(0);
  ASSERT_EQ(notify.size(), 8);
  EXPECT_EQ(notify.at(0).toString(), QStringLiteral("Parlumo"));  // app_name
  EXPECT_EQ(notify.at(1).toUInt(), 0u);                           // replaces_id
  EXPECT_EQ(notify.at(2).toString(), QStringLiteral("dialog-information"));
  EXPECT_EQ(notify.at(3).toString(), QStringLiteral("Translation English → German"));
  EXPECT_EQ(notify.at(4).toString(), QStringLiteral("Das Haus ist sehr groß."));
  EXPECT_TRUE(notify.at(5).toStringList().contains(QStringLiteral("default")));
  EXPECT_EQ(notify.at(7).toInt(), 20000);  // expire_timeout
  EXPECT_TRUE(WaitUntil([this] { return balloonShows_ == 1; }));

  // The server closes it when its time is over: the balloon timed out.
  Pump(100);
  server->Call(QStringLiteral("EmitSignal"), {kNotifications, QStringLiteral("NotificationClosed"),
                                              QStringLiteral("uu"), QVariantList{1u, 1u}});
  EXPECT_TRUE(WaitUntil([this] { return balloonTimeouts_ == 1; }));
  EXPECT_EQ(balloonClicks_, 0);
}

// The balloon's text comes from what the user marked: a server that reads
// markup in the body gets it escaped (a marked link stays text), one that
// does not gets it as it is.
TEST_F(DBusTrayTest, MarkedTextIsNeverMarkupInANotification) {
  const QString marked = test::MarkedTextWithMarkup();
  for (const auto& c : test::MarkupCases()) {
    SCOPED_TRACE(c.name);
    const auto server = NotificationServer(c.parametersJson);
    ASSERT_TRUE(server->Start());
    tray_->AddIcon();  // no tray host: refused, but the icon's balloons go on
    ASSERT_TRUE(
        tray_->ShowBalloon("Übersetzung", marked.toStdString(), TBalloonIconKind::bkInfo, 20));
    ASSERT_TRUE(WaitUntil([&] { return Notifies(*server).size() == 1; }));
    EXPECT_EQ(Notifies(*server).at(0).at(4).toString(), c.body);
    EXPECT_EQ(Notifies(*server).at(0).at(3).toString(), QStringLiteral("Übersetzung"));
    tray_->ShowBalloon("", "", TBalloonIconKind::bkNone, 0);  // hides it
  }
}

TEST_F(DBusTrayTest, ANewBalloonClosesTheOldNotificationAndAClickIsTheBalloonClicked) {
  const auto server = NotificationServer();
  ASSERT_TRUE(server->Start());
  tray_->AddIcon();
  ASSERT_TRUE(tray_->ShowBalloon("Parlumo", "First", TBalloonIconKind::bkWarning, 20));
  ASSERT_TRUE(WaitUntil([&] { return Notifies(*server).size() == 1; }));
  Pump(100);
  ASSERT_TRUE(tray_->ShowBalloon("Parlumo", "Second", TBalloonIconKind::bkError, 20));
  ASSERT_TRUE(WaitUntil([&] { return Notifies(*server).size() == 2; }));
  // The component takes the first balloon back before it shows the next.
  const auto closes = server->CallsOf(QStringLiteral("CloseNotification"));
  ASSERT_EQ(closes.size(), 1u);
  EXPECT_EQ(closes.at(0).at(0).toUInt(), 1u);
  const QVariantList second = Notifies(*server).at(1);
  EXPECT_EQ(second.at(1).toUInt(), 0u);
  EXPECT_EQ(second.at(2).toString(), QStringLiteral("dialog-error"));
  Pump(100);

  // A click on the first one, late, is not this balloon's.
  server->Call(QStringLiteral("EmitSignal"),
               {kNotifications, QStringLiteral("ActionInvoked"), QStringLiteral("us"),
                QVariantList{1u, QStringLiteral("default")}});
  Pump(200);
  EXPECT_EQ(balloonClicks_, 0);
  server->Call(QStringLiteral("EmitSignal"),
               {kNotifications, QStringLiteral("ActionInvoked"), QStringLiteral("us"),
                QVariantList{2u, QStringLiteral("default")}});
  EXPECT_TRUE(WaitUntil([this] { return balloonClicks_ == 1; }));
  // The server's closing after the click ends nothing more.
  server->Call(QStringLiteral("EmitSignal"), {kNotifications, QStringLiteral("NotificationClosed"),
                                              QStringLiteral("uu"), QVariantList{2u, 2u}});
  Pump(300);
  EXPECT_EQ(balloonTimeouts_, 0);
  EXPECT_EQ(balloonClicks_, 1);
}

TEST_F(DBusTrayTest, HidingTheBalloonClosesTheNotification) {
  const auto server = NotificationServer();
  ASSERT_TRUE(server->Start());
  tray_->AddIcon();
  ASSERT_TRUE(tray_->ShowBalloon("Parlumo", "Soon gone", TBalloonIconKind::bkNone, 20));
  ASSERT_TRUE(WaitUntil([&] { return Notifies(*server).size() == 1; }));
  EXPECT_TRUE(Notifies(*server).at(0).at(2).toString().isEmpty());
  Pump(100);
  tray_->HideBalloon();
  ASSERT_TRUE(
      WaitUntil([&] { return server->CallsOf(QStringLiteral("CloseNotification")).size() == 1; }));
  EXPECT_EQ(server->CallsOf(QStringLiteral("CloseNotification")).at(0).at(0).toUInt(), 1u);
  EXPECT_TRUE(WaitUntil([this] { return balloonHides_ == 1; }));
  // The server's closed signal for our own close is no timeout.
  Pump(300);
  EXPECT_EQ(balloonTimeouts_, 0);
  // No new notification came of the removal.
  EXPECT_EQ(Notifies(*server).size(), 1u);
}

TEST_F(DBusTrayTest, WithoutNotificationServerABalloonFails) {
  EXPECT_FALSE(TrayMessagesAvailable());
  tray_->AddIcon();
  EXPECT_FALSE(tray_->ShowBalloon("Parlumo", "Nobody shows this", TBalloonIconKind::bkInfo, 5));
}

TEST_F(DBusTrayTest, AnIconAddedBeforeTheTrayHostAppearsIsRegisteredWithIt) {
  EXPECT_FALSE(TrayAvailable());
  EXPECT_FALSE(tray_->AddIcon());

  auto watcher = Watcher();
  ASSERT_TRUE(watcher->Start());
  ASSERT_TRUE(WaitUntil([&] { return Items(*watcher).size() == 1; }));
  EXPECT_TRUE(TrayAvailable());
  EXPECT_EQ(watcher->CallsOf(QStringLiteral("RegisterStatusNotifierItem")).size(), 1u);
  const QString item = Items(*watcher).at(0);
  EXPECT_TRUE(item.endsWith(QStringLiteral("/StatusNotifierItem"))) << item.toStdString();

  // The host reads what it shows from the item.
  EXPECT_EQ(ItemProperty(item, QStringLiteral("Status")).toString(), QStringLiteral("Active"));
  EXPECT_EQ(ItemProperty(item, QStringLiteral("Title")).toString(), QStringLiteral("Parlumo"));
  const QDBusArgument tip = ItemProperty(item, QStringLiteral("ToolTip")).value<QDBusArgument>();
  QString iconName, title, text;
  tip.beginStructure();
  tip >> iconName;
  tip.beginArray();
  while (!tip.atEnd()) {
    int width = 0, height = 0;
    QByteArray pixels;
    tip.beginStructure();
    tip >> width >> height >> pixels;
    tip.endStructure();
  }
  tip.endArray();
  tip >> title >> text;
  tip.endStructure();
  EXPECT_EQ(title, QStringLiteral("Parlumo – Übersetzer"));
  const QDBusArgument icons =
      ItemProperty(item, QStringLiteral("IconPixmap")).value<QDBusArgument>();
  int images = 0;
  bool colourFound = false;
  icons.beginArray();
  while (!icons.atEnd()) {
    int width = 0, height = 0;
    QByteArray pixels;
    icons.beginStructure();
    icons >> width >> height >> pixels;
    icons.endStructure();
    ++images;
    EXPECT_EQ(pixels.size(), width * height * 4);
    // ARGB in network byte order: opaque, R 0, G 200, B 120 in the middle.
    const qsizetype middle = (static_cast<qsizetype>(height / 2) * width + width / 2) * 4;
    if (pixels.size() > middle + 3 && static_cast<uchar>(pixels[middle]) == 0xFF &&
        static_cast<uchar>(pixels[middle + 2]) == 200)
      colourFound = true;
  }
  icons.endArray();
  EXPECT_GT(images, 0);
  EXPECT_TRUE(colourFound);

  // The host's activation is a click on the icon.
  CallItem(item, QStringLiteral("Activate"));
  EXPECT_TRUE(WaitUntil([this] { return clicks_ == 1; }));

  // The tray host restarts: the new watcher learns of the item again.
  watcher->Stop();
  EXPECT_FALSE(TrayAvailable());
  watcher = Watcher();
  ASSERT_TRUE(watcher->Start());
  ASSERT_TRUE(WaitUntil([&] { return Items(*watcher).size() == 1; }));
  EXPECT_EQ(Items(*watcher).at(0), item);
}

TEST_F(DBusTrayTest, AnIconAddedWhileTheTrayHostRunsIsRegisteredAtOnceAndGoesWithDelete) {
  const auto watcher = Watcher();
  ASSERT_TRUE(watcher->Start());
  EXPECT_TRUE(tray_->AddIcon());
  ASSERT_TRUE(WaitUntil([&] { return Items(*watcher).size() == 1; }));
  const QString item = Items(*watcher).at(0);
  const QString service = item.left(item.indexOf(QLatin1Char('/')));

  // The host's context request: the program's menu goes where the host says
  // the icon was clicked (a Wayland client does not know the pointer's place).
  int rightUps = 0;
  TPoint upAt;
  tray_->OnMouseUp = [&](TTrayIcon&, TMouseButton button, TShiftState, int x, int y) {
    if (button != TMouseButton::mbRight) return;
    ++rightUps;
    upAt = TPoint{x, y};
  };
  CallItem(item, QStringLiteral("ContextMenu"), 1210, 4);
  ASSERT_TRUE(WaitUntil([&] { return rightUps == 1; }));
  EXPECT_EQ(upAt, (TPoint{1210, 4}));
  TPoint at;
  ASSERT_TRUE(shell_.CursorPos(at));
  EXPECT_EQ(at, (TPoint{1210, 4}));

  EXPECT_TRUE(test::NameOwned(service));
  tray_->DeleteIcon();
  // The item's connection ends with it, which tells the host.
  EXPECT_TRUE(WaitUntil([&] { return !test::NameOwned(service); }));
}

}  // namespace
}  // namespace parlumo
