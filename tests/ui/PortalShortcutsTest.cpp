// Global hotkeys through the GlobalShortcuts portal, against a mock portal
// (tests/data/dbus/globalshortcuts.py under python3-dbusmock) on the test
// program's private session bus.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QStringList>
#include <memory>

#include "DBusTestBus.h"
#include "desktop/ShortCut.h"
#include "platform/qt/PortalShortcuts.h"
#include "support/QtWait.h"

namespace parlumo {
namespace {

using test::DBusMock;
using test::Pump;
using test::WaitUntil;

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");

std::vector<PortalShortcuts::ShortcutName> Names() {
  return {{QStringLiteral("quick-translation-1"), QStringLiteral("Quick translation 1")},
          {QStringLiteral("quick-translation-2"), QStringLiteral("Quick translation 2")}};
}

std::unique_ptr<DBusMock> Portal(const QString& parameters = QString()) {
  return std::make_unique<DBusMock>(test::DBusTemplate("globalshortcuts.py"), parameters, kPortal,
                                    kPortalPath);
}

unsigned BindCount(const DBusMock& portal) {
  const QDBusMessage reply = portal.Call(QStringLiteral("BindCount"));
  return reply.arguments().isEmpty() ? 0 : reply.arguments().at(0).toUInt();
}

QStringList LastBind(const DBusMock& portal) {
  const QDBusMessage reply = portal.Call(QStringLiteral("LastBind"));
  return reply.arguments().isEmpty() ? QStringList() : reply.arguments().at(0).toStringList();
}

QStringList OpenSessions(const DBusMock& portal) {
  QStringList paths;
  const QDBusMessage reply = portal.Call(QStringLiteral("OpenSessions"));
  if (reply.arguments().isEmpty()) return paths;
  for (const QDBusObjectPath& path : qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().at(0)))
    paths << path.path();
  return paths;
}

bool Activate(const DBusMock& portal, const QString& id) {
  const QDBusMessage reply = portal.Call(QStringLiteral("Activate"), {id});
  return !reply.arguments().isEmpty() && reply.arguments().at(0).toBool();
}

void ActivateIn(const DBusMock& portal, const QString& session, const QString& id) {
  portal.Call(QStringLiteral("ActivateIn"), {QVariant::fromValue(QDBusObjectPath(session)), id});
}

constexpr TShortCut kCtrlAltT = 0xC054;
constexpr TShortCut kShiftF5 = 0x2074;
constexpr TShortCut kCtrlAltU = 0xC055;

// A platform on the session bus, with two receivers counting their presses.
struct Client {
  PortalShortcuts platform{QDBusConnection::sessionBus(), Names()};
  std::shared_ptr<int> presses1 = std::make_shared<int>(0);
  std::shared_ptr<int> presses2 = std::make_shared<int>(0);
  int changes = 0;
  std::unique_ptr<HotKeyPlatform::Receiver> receiver1;
  std::unique_ptr<HotKeyPlatform::Receiver> receiver2;

  Client() {
    receiver1 = platform.CreateReceiver([count = presses1] { ++*count; });
    receiver2 = platform.CreateReceiver([count = presses2] { ++*count; });
    platform.SetOnCanGrabChange([this] { ++changes; });
  }
};

TEST(PortalShortcutsTest, PreferredTriggerNamesModifiersAndKeysym) {
  EXPECT_EQ(PreferredTrigger(SplitShortCut(kCtrlAltT)), "CTRL+ALT+t");
  EXPECT_EQ(PreferredTrigger(SplitShortCut(kShiftF5)), "SHIFT+F5");
  EXPECT_EQ(PreferredTrigger(SplitShortCut(0xE031)), "CTRL+ALT+SHIFT+1");
  EXPECT_EQ(PreferredTrigger(SplitShortCut(0x8020)), "ALT+space");
  EXPECT_EQ(PreferredTrigger(SplitShortCut(0x4000 | 0xBC)), "CTRL+comma");
  EXPECT_EQ(PreferredTrigger(SplitShortCut(0x4000)), std::nullopt);
  EXPECT_EQ(PreferredTrigger(SplitShortCut(0x4007)), std::nullopt);  // no such key
}

class PortalBindTest : public ::testing::TestWithParam<const char*> {};

// xdg-desktop-portal 1.16 sends the session handle as s, the documentation
// says o: both bind.
TEST_P(PortalBindTest, BindsTheRegistrationsOfOneTurnTogether) {
  const auto portal = Portal(QStringLiteral("{\"session_handle_type\": \"%1\"}").arg(GetParam()));
  ASSERT_TRUE(portal->Start());
  ASSERT_TRUE(PortalShortcuts::Available(QDBusConnection::sessionBus()));
  Client client;
  EXPECT_TRUE(client.platform.CanGrab());
  EXPECT_TRUE(client.receiver1->Register(SplitShortCut(kCtrlAltT)));
  EXPECT_TRUE(client.receiver2->Register(SplitShortCut(kShiftF5)));
  ASSERT_TRUE(WaitUntil([&] { return BindCount(*portal) == 1; }));
  EXPECT_EQ(LastBind(*portal),
            QStringList({QStringLiteral("quick-translation-1\tQuick translation 1\tCTRL+ALT+t"),
                         QStringLiteral("quick-translation-2\tQuick translation 2\tSHIFT+F5")}));
  Pump(200);
  EXPECT_EQ(BindCount(*portal), 1u);
  EXPECT_EQ(OpenSessions(*portal).size(), 1);
  EXPECT_TRUE(client.platform.CanGrab());
  EXPECT_EQ(client.changes, 0);

  // The bound shortcut works: the session handle was understood.
  ASSERT_TRUE(Activate(*portal, QStringLiteral("quick-translation-1")));
  EXPECT_TRUE(WaitUntil([&] { return *client.presses1 == 1; }));
}

INSTANTIATE_TEST_SUITE_P(SessionHandle, PortalBindTest, ::testing::Values("o", "s"));

TEST(PortalShortcutsTest, ActivatedPressesOnlyThatReceiverOfThisSession) {
  const auto portal = Portal();
  ASSERT_TRUE(portal->Start());
  Client client;
  ASSERT_TRUE(client.receiver1->Register(SplitShortCut(kCtrlAltT)));
  ASSERT_TRUE(client.receiver2->Register(SplitShortCut(kShiftF5)));
  ASSERT_TRUE(
      WaitUntil([&] { return BindCount(*portal) == 1 && OpenSessions(*portal).size() == 1; }));
  Pump(100);

  ASSERT_TRUE(Activate(*portal, QStringLiteral("quick-translation-2")));
  ASSERT_TRUE(WaitUntil([&] { return *client.presses2 == 1; }));
  // Another session's activation (another client of the portal) is not ours.
  ActivateIn(*portal, QStringLiteral("/org/freedesktop/portal/desktop/session/1_999/other"),
             QStringLiteral("quick-translation-1"));
  Pump(300);
  EXPECT_EQ(*client.presses1, 0);
  EXPECT_EQ(*client.presses2, 1);
}

TEST(PortalShortcutsTest, AChangedChordRebindsInAFreshSession) {
  const auto portal = Portal();
  ASSERT_TRUE(portal->Start());
  Client client;
  ASSERT_TRUE(client.receiver1->Register(SplitShortCut(kCtrlAltT)));
  ASSERT_TRUE(
      WaitUntil([&] { return BindCount(*portal) == 1 && OpenSessions(*portal).size() == 1; }));
  const QString first = OpenSessions(*portal).at(0);

  ASSERT_TRUE(client.receiver1->Register(SplitShortCut(kCtrlAltU)));
  ASSERT_TRUE(WaitUntil([&] { return BindCount(*portal) == 2; }));
  EXPECT_EQ(LastBind(*portal),
            QStringList(QStringLiteral("quick-translation-1\tQuick translation 1\tCTRL+ALT+u")));
  ASSERT_TRUE(WaitUntil([&] {
    const QStringList open = OpenSessions(*portal);
    return open.size() == 1 && open.at(0) != first;
  }));
  EXPECT_EQ(portal->CallsOf(QStringLiteral("Close"), first).size(), 1u);
  // The same chord again changes nothing.
  ASSERT_TRUE(client.receiver1->Register(SplitShortCut(kCtrlAltU)));
  Pump(200);
  EXPECT_EQ(BindCount(*portal), 2u);
  ASSERT_TRUE(Activate(*portal, QStringLiteral("quick-translation-1")));
  EXPECT_TRUE(WaitUntil([&] { return *client.presses1 == 1; }));
  EXPECT_TRUE(client.platform.CanGrab());
}

TEST(PortalShortcutsTest, AChordHeldByAnotherReceiverOrWithoutKeyIsRefused) {
  const auto portal = Portal();
  ASSERT_TRUE(portal->Start());
  Client client;
  ASSERT_TRUE(client.receiver1->Register(SplitShortCut(kCtrlAltT)));
  EXPECT_FALSE(client.receiver2->Register(SplitShortCut(kCtrlAltT)));
  EXPECT_FALSE(client.receiver2->Register(SplitShortCut(0x4007)));
  ASSERT_TRUE(WaitUntil([&] { return BindCount(*portal) == 1; }));
  EXPECT_EQ(LastBind(*portal).size(), 1);
}

class PortalRefusalTest : public ::testing::TestWithParam<const char*> {};

// Refused, cancelled, or accepted with nothing bound (Plasma 5.27): the program
// holds no shortcut, and the owner hears of it.
TEST_P(PortalRefusalTest, ABindThatBindsNothingMakesCanGrabFalse) {
  const auto portal = Portal(QStringLiteral("{\"bind\": \"%1\"}").arg(GetParam()));
  ASSERT_TRUE(portal->Start());
  Client client;
  EXPECT_TRUE(client.receiver1->Register(SplitShortCut(kCtrlAltT)));
  ASSERT_TRUE(WaitUntil([&] { return !client.platform.CanGrab(); }));
  EXPECT_EQ(client.changes, 1);
  EXPECT_EQ(BindCount(*portal), 1u);
  // No session is left open.
  EXPECT_TRUE(WaitUntil([&] { return OpenSessions(*portal).isEmpty(); }));

  // A later set that binds makes it true again.
  portal->Call(QStringLiteral("SetBindMode"), {QStringLiteral("accept")});
  ASSERT_TRUE(client.receiver1->Register(SplitShortCut(kCtrlAltU)));
  ASSERT_TRUE(WaitUntil([&] { return client.platform.CanGrab(); }));
  EXPECT_EQ(client.changes, 2);
}

INSTANTIATE_TEST_SUITE_P(Modes, PortalRefusalTest,
                         ::testing::Values("refuse", "cancel", "empty", "no-triggers"));

TEST(PortalShortcutsTest, NoPortalMeansNoPlatformAndNoGrab) {
  ASSERT_FALSE(test::NameOwned(kPortal));
  EXPECT_FALSE(PortalShortcuts::Available(QDBusConnection::sessionBus()));
  EXPECT_EQ(PortalShortcuts::ForSessionBus(Names()), nullptr);
  Client client;
  EXPECT_FALSE(client.platform.CanGrab());
  EXPECT_FALSE(client.receiver1->Register(SplitShortCut(kCtrlAltT)));
}

TEST(PortalShortcutsTest, APortalWithoutGlobalShortcutsIsNoPlatform) {
  const auto portal = Portal(QStringLiteral("{\"version\": 0}"));
  ASSERT_TRUE(portal->Start());
  EXPECT_EQ(PortalShortcuts::ForSessionBus(Names()), nullptr);
}

TEST(PortalShortcutsTest, AFailingCallMakesCanGrabFalse) {
  const auto portal = Portal(QStringLiteral("{\"broken\": true}"));
  ASSERT_TRUE(portal->Start());
  Client client;
  EXPECT_TRUE(client.receiver1->Register(SplitShortCut(kCtrlAltT)));
  ASSERT_TRUE(WaitUntil([&] { return !client.platform.CanGrab(); }));
  EXPECT_EQ(client.changes, 1);
}

TEST(PortalShortcutsTest, APortalThatGoesAwayMakesCanGrabFalseAndOneThatComesBackBinds) {
  auto portal = Portal();
  ASSERT_TRUE(portal->Start());
  Client client;
  ASSERT_TRUE(client.receiver1->Register(SplitShortCut(kCtrlAltT)));
  ASSERT_TRUE(WaitUntil([&] { return BindCount(*portal) == 1; }));
  Pump(100);
  ASSERT_TRUE(client.platform.CanGrab());

  portal->Stop();
  ASSERT_TRUE(WaitUntil([&] { return !client.platform.CanGrab(); }));
  EXPECT_EQ(client.changes, 1);

  portal = Portal();
  ASSERT_TRUE(portal->Start());
  ASSERT_TRUE(WaitUntil([&] { return client.platform.CanGrab(); }));
  EXPECT_EQ(BindCount(*portal), 1u);
  EXPECT_EQ(client.changes, 2);
}

TEST(PortalShortcutsTest, AGoneOrUnregisteredReceiverIsNeverPressed) {
  const auto portal = Portal();
  ASSERT_TRUE(portal->Start());
  Client client;
  ASSERT_TRUE(client.receiver1->Register(SplitShortCut(kCtrlAltT)));
  ASSERT_TRUE(client.receiver2->Register(SplitShortCut(kShiftF5)));
  ASSERT_TRUE(
      WaitUntil([&] { return BindCount(*portal) == 1 && OpenSessions(*portal).size() == 1; }));
  Pump(100);
  const QString session = OpenSessions(*portal).at(0);

  // Gone before the portal's activation arrives, and before the new set is bound.
  client.receiver1.reset();
  ActivateIn(*portal, session, QStringLiteral("quick-translation-1"));
  client.receiver2->Unregister();
  ActivateIn(*portal, session, QStringLiteral("quick-translation-2"));
  Pump(400);
  EXPECT_EQ(*client.presses1, 0);
  EXPECT_EQ(*client.presses2, 0);
  // Nothing is left to bind: the session is closed and none is opened.
  EXPECT_TRUE(WaitUntil([&] { return OpenSessions(*portal).isEmpty(); }));
  EXPECT_EQ(BindCount(*portal), 1u);
}

TEST(PortalShortcutsTest, APressMayDestroyThePlatform) {
  const auto portal = Portal();
  ASSERT_TRUE(portal->Start());
  auto platform = std::make_unique<PortalShortcuts>(QDBusConnection::sessionBus(), Names());
  int presses = 0;
  std::unique_ptr<HotKeyPlatform::Receiver> receiver;
  receiver = platform->CreateReceiver([&] {
    ++presses;
    receiver.reset();
    platform.reset();
  });
  ASSERT_TRUE(receiver->Register(SplitShortCut(kCtrlAltT)));
  ASSERT_TRUE(WaitUntil([&] { return BindCount(*portal) == 1; }));
  Pump(100);
  ASSERT_TRUE(Activate(*portal, QStringLiteral("quick-translation-1")));
  ASSERT_TRUE(WaitUntil([&] { return presses == 1; }));
  Pump(100);
  EXPECT_EQ(platform, nullptr);
}

}  // namespace
}  // namespace parlumo
