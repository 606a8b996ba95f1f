// The main program of the window tests: a QApplication on the offscreen platform
// (unless the environment names another) with an application icon, as the main
// form sets one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Parlumo 2.5"));
  QPixmap icon(32, 32);
  icon.fill(Qt::transparent);
  {
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x20, 0x60, 0xC0));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(1, 1, 30, 30);
    painter.setPen(Qt::white);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 14, QFont::Bold));
    painter.drawText(icon.rect(), Qt::AlignCenter, QStringLiteral("P"));
  }
  QApplication::setWindowIcon(QIcon(icon));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
