// The application a synthetic copy keystroke is aimed at: a window with a line
// edit that holds the text of the one argument, all of it selected. No window
// manager runs, so the window takes the keyboard focus itself. Prints "ready"
// on standard output once the line edit has the focus with its text selected,
// and ends when its standard input closes.
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: x11_copy_peer TEXT\n");
    return 2;
  }
  QLineEdit edit;
  edit.setWindowTitle("copy peer");
  edit.setText(QString::fromUtf8(argv[1]));
  edit.resize(400, 40);
  edit.show();

  bool ready = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (ready) return;
    if (!edit.isActiveWindow()) {
      edit.activateWindow();
      return;
    }
    edit.setFocus();
    edit.selectAll();
    if (edit.hasFocus() && edit.selectedText() == edit.text()) {
      ready = true;
      std::printf("ready\n");
      std::fflush(stdout);
    }
  });
  poll.start(50);

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buffer[64];
    if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) app.quit();
  });
  return app.exec();
}
