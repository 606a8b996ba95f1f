#include "ui/LinkLabel.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace parlumo {

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent) {
  setCursor(Qt::PointingHandCursor);
  setTextFormat(Qt::PlainText);
  setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
  setFocusPolicy(Qt::TabFocus);
}

void TLinkLabel::MakeLink() {
  QFont linkFont = font();
  linkFont.setUnderline(true);
  setFont(linkFont);
  QPalette linkPalette = palette();
  linkPalette.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));  // navy
  setPalette(linkPalette);
}

void TLinkLabel::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  QLabel::mousePressEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  QLabel::mouseReleaseEvent(event);
  // Last: the handler may close the window.
  if (click) emit clicked();
}

void TLinkLabel::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
      event->key() == Qt::Key_Space) {
    emit clicked();
    return;
  }
  QLabel::keyPressEvent(event);
}

}  // namespace parlumo
