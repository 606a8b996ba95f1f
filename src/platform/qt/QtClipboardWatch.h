#pragma once

#include <QMetaObject>
#include <functional>

#include "desktop/ClipboardWatch.h"

namespace parlumo {

// The clipboard's changes of owner through QClipboard::changed, which Qt's X11
// platform raises when the server reports a new owner of the CLIPBOARD
// selection (XFixes selection events). Needs a running QGuiApplication; without
// one no change is ever reported.
class QtClipboardWatch final : public ClipboardChangeWatch {
 public:
  QtClipboardWatch();
  ~QtClipboardWatch() override;
  QtClipboardWatch(const QtClipboardWatch&) = delete;
  QtClipboardWatch& operator=(const QtClipboardWatch&) = delete;

  void Arm(std::function<void()> onChange) override;
  void Disarm() override;

 private:
  void Changed();

  QMetaObject::Connection connection_;
  std::function<void()> onChange_;
};

}  // namespace parlumo
