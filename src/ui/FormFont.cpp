#include "ui/FormFont.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QWidget>

namespace parlumo {

void SetIconTitleFont(QWidget& form) {
  // The platform theme's general font is what the desktop shows its own windows
  // and icon titles in; without a theme Qt falls back to its default font.
  form.setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
}

}  // namespace parlumo
