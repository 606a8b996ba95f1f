// The shell's "open" on the desktop's services (xcb): files go as file URLs,
// addresses as they are.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include "platform/qt/QtDesktop.h"
#include "x11/X11TestSupport.h"

namespace parlumo {
namespace {

TEST(QtDesktopShellTest, OpenHandsFilesAsFileUrlsAndAddressesAsTheyAreToTheDesktop) {
  // The desktop's opener is xdg-open; a stand-in on the PATH notes what it got.
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString log = dir.filePath("opened");
  {
    QFile opener(dir.filePath("xdg-open"));
    ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
    opener.write(("#!/bin/sh\necho \"$1\" >> '" + log + "'\n").toUtf8());
    opener.setPermissions(opener.permissions() | QFileDevice::ExeOwner);
  }
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", dir.path().toUtf8() + ":" + path);
  qputenv("BROWSER", dir.filePath("xdg-open").toUtf8());
  const QString page = dir.filePath("help pages/1000.html");
  QDir(dir.path()).mkpath("help pages");
  QFile(page).open(QIODevice::WriteOnly);

  QtDesktopShell shell;
  EXPECT_TRUE(shell.Open(page.toStdString()));
  EXPECT_TRUE(shell.Open("http://127.0.0.1:8085/tools/parlumo"));
  const QStringList expected{QUrl::fromLocalFile(page).toString(QUrl::FullyEncoded),
                             "http://127.0.0.1:8085/tools/parlumo"};
  QStringList opened;
  EXPECT_TRUE(x11test::WaitUntil([&] {
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly)) return false;
    opened = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    return opened.size() >= 2;
  }));
  qputenv("PATH", path);
  EXPECT_EQ(opened, expected);
}

}  // namespace
}  // namespace parlumo
