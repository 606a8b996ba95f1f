#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>

#include "desktop/IconHide.h"

namespace parlumo {

// The main form's taskbar presence, for keeping the program off the taskbar:
// the tool-window bit is a window kept off the taskbar (Qt::Tool), the topmost
// bit one kept above the others. Window flags only reach the window manager
// when the window is mapped again, so Show(false) unmaps the form and
// Show(true) maps it again only when it was shown before: a form hidden in the
// tray stays hidden.
class QtTaskbarWindow final : public TaskbarWindow {
 public:
  explicit QtTaskbarWindow(QWidget* mainForm) : form_(mainForm) {}

  std::uint32_t ExStyle() const override;
  void SetExStyle(std::uint32_t style) override;
  void Show(bool visible) override;

 private:
  QPointer<QWidget> form_;
  bool remap_ = false;
};

}  // namespace parlumo
