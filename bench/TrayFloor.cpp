// The toolkit's floor for the desktop benchmark: the least a Qt Widgets program
// needs to sit in the notification area with a menu. It loads the same icon as
// Parlumo and builds a menu of the same size, then idles.

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);
  QMenu menu;
  for (const char* item : {"Translate text", "Translate website", "Help", "Settings", "Close"}) {
    menu.addAction(QString::fromLatin1(item));
  }
  QSystemTrayIcon icon(QIcon(QStringLiteral(PARLUMO_ICON_FILE)));
  icon.setToolTip(QStringLiteral("Parlumo"));
  icon.setContextMenu(&menu);
  icon.show();
  return application.exec();
}
