#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

#include "desktop/TrayShell.h"

namespace parlumo::test {

// A 22x22 tray image of one colour, as PNG bytes: an icon a screenshot or a D-Bus
// peer can recognise.
inline TTrayImage SolidPng(const QColor& colour) {
  QImage image(22, 22, QImage::Format_ARGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return TTrayImage{bytes.toStdString()};
}

}  // namespace parlumo::test
