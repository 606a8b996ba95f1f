// A copy of a program guarded by the single-instance component on the real
// Linux platform, for the x11 tests. Usage: x11_instance_peer <folder> [args]
// The folder holds the instance lock and socket. The running copy prints
// "ready", then "parameters:<text>" for each hand-over and "forward" for each
// request to come forward, which shows and activates its window (titled
// "instance peer <pid>"). A later copy hands over and exits 0.
#include <unistd.h>
#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <string>
#include <vector>

#include "desktop/MainInstance.h"
#include "platform/linux/InstanceChannel.h"
#include "platform/qt/QtEventLoop.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: x11_instance_peer <folder> [parameters]\n");
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  parlumo::QtEventLoop loop;
  std::vector<std::string> parameters(argv + 2, argv + argc);
  parlumo::LinuxInstancePlatform platform(loop, "Parlumo instance test", "TSettings", parameters,
                                          argv[1]);
  QWidget window;
  window.setWindowTitle(QString("instance peer %1").arg(getpid()));
  window.resize(240, 120);
  platform.OnParameters = [](const std::string& text) {
    std::printf("parameters:%s\n", text.c_str());
    std::fflush(stdout);
  };
  platform.OnBringForward = [&window] {
    window.show();
    window.raise();
    window.activateWindow();
    std::printf("forward\n");
    std::fflush(stdout);
  };

  parlumo::TMainInstance guard(platform);

  std::printf("ready\n");
  std::fflush(stdout);
  return QApplication::exec();
}
