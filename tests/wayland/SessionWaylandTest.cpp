// The private Wayland session itself (scripts/with-wayland): what the program
// tests take from it has to hold, or their failures would point at the
// program. Selections through data-control, bound chords run as the session's
// user, the session bus reachable by that user, screenshots.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/QtWait.h"
#include "wayland/ProgramWaylandSupport.h"
#include "wayland/WaylandSession.h"

namespace parlumo::wltest {
namespace {

namespace fs = std::filesystem;
using test::WaitUntil;

TEST(SessionWaylandTest, SelectionsKeepTheirTextsApart) {
  struct Case {
    const char* what;
    QString text;
  };
  const Case cases[] = {
      {"plain", "The house is very big."},
      {"non-ASCII", QString::fromUtf8("Grüße, ½ € — 日本")},
      {"lines and blanks", "  first line\nsecond line\r\n\tthird  "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const QString clipboard = "clipboard: " + c.text;
    ASSERT_TRUE(SetPrimary(c.text));
    ASSERT_TRUE(SetClipboard(clipboard));
    EXPECT_EQ(PrimaryText(), c.text);
    EXPECT_EQ(ClipboardText(), clipboard);
  }
  // A cleared primary selection reads as none; the clipboard stays.
  ASSERT_TRUE(ClearPrimary());
  EXPECT_EQ(PrimaryText(), std::nullopt);
  EXPECT_TRUE(ClipboardText().has_value());
}

TEST(SessionWaylandTest, TheClipboardWatchSeesEachNewText) {
  ASSERT_TRUE(SetClipboard("before"));
  ClipboardWatch watch;
  ASSERT_TRUE(watch.Running());
  // The clipboard at the start comes first.
  ASSERT_EQ(watch.WaitForTextAfter(0, 5000), QString("before"));
  for (const QString& text : {QString("one"), QString::fromUtf8("zwei €"), QString("three")}) {
    const std::size_t seen = watch.Texts().size();
    ASSERT_TRUE(SetClipboard(text));
    EXPECT_EQ(watch.WaitForTextAfter(seen, 5000), text);
  }
  // The primary selection is no clipboard change.
  const std::size_t seen = watch.Texts().size();
  ASSERT_TRUE(SetPrimary("marked"));
  EXPECT_EQ(watch.WaitForTextAfter(seen, 1000), std::nullopt);
}

TEST(SessionWaylandTest, ABoundChordRunsItsCommandAsTheSessionUserUntilUnbound) {
  // A program of the session's user, recording who ran it with what.
  WaylandProgram home("/bin/sh", std::nullopt);
  const fs::path record = home.Home() / "record.txt";
  const fs::path script = home.Home() / "record.sh";
  std::ofstream(script) << "#!/bin/sh\nprintf '%s %s\\n' \"$(id -u)\" \"$*\" >> '"
                        << record.string() << "'\n";
  fs::permissions(script, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  home.GiveToUser(script);

  struct Case {
    QString chord;
    QString argument;
  };
  const Case cases[] = {{"Ctrl+Alt+t", "quick-1"}, {"Ctrl+Alt+y", "quick-2"}, {"Ctrl+F8", "file"}};
  for (const Case& c : cases) {
    ASSERT_TRUE(BindChord(c.chord, QString::fromStdString(script.string()) + " " + c.argument));
  }
  std::string expected;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chord.toStdString());
    expected += std::to_string(SessionUid()) + " " + c.argument.toStdString() + "\n";
    ASSERT_TRUE(PressChord(c.chord));
    EXPECT_TRUE(WaitUntil([&] { return FileBytes(record) == expected; }, 10000))
        << FileBytes(record);
  }
  // Unbound, the chord runs nothing.
  for (const Case& c : cases)
    ASSERT_TRUE(UnbindChord(c.chord));
  ASSERT_TRUE(PressChord(cases[0].chord));
  test::Pump(1000);
  EXPECT_EQ(FileBytes(record), expected);
}

TEST(SessionWaylandTest, TheSessionUserReachesANotificationDaemonOnTheSessionBus) {
  BusMock daemon("notification_daemon", "org.freedesktop.Notifications",
                 "/org/freedesktop/Notifications");
  ASSERT_TRUE(daemon.WaitReady()) << daemon.Log().toStdString();
  const Command notify =
      AsSessionUser("gdbus", {"call", "--session", "--dest", "org.freedesktop.Notifications",
                              "--object-path", "/org/freedesktop/Notifications", "--method",
                              "org.freedesktop.Notifications.Notify", "probe", "0", "",
                              "Summary äö", "Body text", "[]", "{}", "5000"});
  const ToolRun call = RunTool(notify.program, notify.arguments);
  ASSERT_TRUE(call.Succeeded()) << call.errors.toStdString();
  const auto notifications = NotificationsOf(daemon);
  ASSERT_EQ(notifications.size(), 1u) << daemon.Log().toStdString();
  EXPECT_EQ(notifications[0].appName, "probe");
  EXPECT_EQ(notifications[0].summary, QString::fromUtf8("Summary äö"));
  EXPECT_EQ(notifications[0].body, "Body text");
}

TEST(SessionWaylandTest, TheTrayWatcherTakesRegistrations) {
  BusMock watcher(StatusNotifierWatcherTemplate(), "org.kde.StatusNotifierWatcher",
                  "/StatusNotifierWatcher");
  ASSERT_TRUE(watcher.WaitReady()) << watcher.Log().toStdString();
  EXPECT_TRUE(RegisteredTrayItems(watcher).isEmpty());
  const ToolRun call =
      RunTool("gdbus", {"call", "--session", "--dest", "org.kde.StatusNotifierWatcher",
                        "--object-path", "/StatusNotifierWatcher", "--method",
                        "org.kde.StatusNotifierWatcher.RegisterStatusNotifierItem",
                        "org.kde.StatusNotifierItem-1-1"});
  ASSERT_TRUE(call.Succeeded()) << call.errors.toStdString();
  EXPECT_EQ(RegisteredTrayItems(watcher), QStringList{"org.kde.StatusNotifierItem-1-1"});
  // What Qt asks before it counts a tray as there.
  const ToolRun host = RunTool(
      "gdbus", {"call", "--session", "--dest", "org.kde.StatusNotifierWatcher", "--object-path",
                "/StatusNotifierWatcher", "--method", "org.freedesktop.DBus.Properties.Get",
                "org.kde.StatusNotifierWatcher", "IsStatusNotifierHostRegistered"});
  EXPECT_EQ(host.output.trimmed(), "(<true>,)");
}

TEST(SessionWaylandTest, AScreenshotIsAPngOfTheWholeOutput) {
  const fs::path shot =
      fs::temp_directory_path() / ("parlumo-wayland-shot-" + std::to_string(::getpid()) + ".png");
  ASSERT_TRUE(Screenshot(shot));
  const std::string bytes = FileBytes(shot);
  fs::remove(shot);
  ASSERT_GT(bytes.size(), 24u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  // IHDR: width and height, big-endian, as the session's config sets them.
  auto at = [&bytes](std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
      value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return value;
  };
  EXPECT_EQ(at(16), 1280u);
  EXPECT_EQ(at(20), 800u);
}

}  // namespace
}  // namespace parlumo::wltest
