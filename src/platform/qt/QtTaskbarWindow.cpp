#include "platform/qt/QtTaskbarWindow.h"

namespace parlumo {

std::uint32_t QtTaskbarWindow::ExStyle() const {
  if (!form_) return 0;
  std::uint32_t style = 0;
  if (form_->windowFlags().testFlag(Qt::Tool)) style |= kExToolWindow;
  if (form_->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) style |= kExTopmost;
  return style;
}

void QtTaskbarWindow::SetExStyle(std::uint32_t style) {
  if (!form_) return;
  // Changing the flags unmaps a shown window; it keeps its visibility.
  const bool visible = form_->isVisible();
  form_->setWindowFlag(Qt::Tool, (style & kExToolWindow) != 0);
  form_->setWindowFlag(Qt::WindowStaysOnTopHint, (style & kExTopmost) != 0);
  if (visible) form_->show();
}

void QtTaskbarWindow::Show(bool visible) {
  if (!form_) return;
  if (!visible) {
    remap_ = form_->isVisible();
    form_->hide();
  } else if (remap_) {
    remap_ = false;
    form_->show();
  }
}

}  // namespace parlumo
