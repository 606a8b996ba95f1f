#include "x11/X11TestSupport.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QProcess>
#include <QRegularExpression>

namespace parlumo::x11test {

namespace {

// Runs xdotool; its exit code (-1 when it did not end normally) and output.
int RunXdotool(const QStringList& arguments, QString& output, QString& errors) {
  QProcess process;
  process.start("xdotool", arguments);
  // The events xdotool sends reach this process's own connection; keep
  // dispatching while it runs so nothing waits on us.
  WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 10000);
  if (process.state() != QProcess::NotRunning) {
    process.kill();
    process.waitForFinished(1000);
    errors = "did not end";
    return -1;
  }
  output = QString::fromUtf8(process.readAllStandardOutput());
  errors = QString::fromUtf8(process.readAllStandardError());
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

}  // namespace

QString Xdotool(const QStringList& arguments) {
  QString output, errors;
  const int code = RunXdotool(arguments, output, errors);
  EXPECT_EQ(code, 0) << "xdotool " << arguments.join(' ').toStdString() << ": "
                     << errors.toStdString();
  return output;
}

void MovePointer(const QPoint& to) {
  Xdotool({"mousemove", QString::number(to.x()), QString::number(to.y())});
  EXPECT_TRUE(WaitUntil([&] { return QCursor::pos() == to; })) << "the pointer did not move";
}

std::vector<QRect> TrayHostRects() {
  std::vector<QRect> rects;
  // A search that finds nothing ends with status 1: no tray host.
  QString found, errors;
  RunXdotool({"search", "--onlyvisible", "--class", "trayer"}, found, errors);
  const QStringList windows = found.split('\n', Qt::SkipEmptyParts);
  static const QRegularExpression position(R"(Position: (-?\d+),(-?\d+))");
  static const QRegularExpression geometry(R"(Geometry: (\d+)x(\d+))");
  for (const QString& window : windows) {
    const QString text = Xdotool({"getwindowgeometry", window.trimmed()});
    const auto at = position.match(text);
    const auto size = geometry.match(text);
    if (at.hasMatch() && size.hasMatch())
      rects.emplace_back(at.captured(1).toInt(), at.captured(2).toInt(), size.captured(1).toInt(),
                         size.captured(2).toInt());
  }
  return rects;
}

}  // namespace parlumo::x11test
