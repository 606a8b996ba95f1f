#pragma once

#include <QMetaObject>
#include <functional>

#include "desktop/ClipboardWatch.h"

namespace parlumo {

// The clipboard's change of owner through QClipboard::changed for the
// CLIPBOARD selection. Needs a running QGuiApplication.
class QtClipboardWatch final : public ClipboardChangeWatch {
 public:
  QtClipboardWatch() = default;
  ~QtClipboardWatch() override;
  QtClipboardWatch(const QtClipboardWatch&) = delete;
  QtClipboardWatch& operator=(const QtClipboardWatch&) = delete;

  void Arm(std::function<void()> onChange) override;
  void Disarm() override;

 private:
  QMetaObject::Connection connection_;
  std::function<void()> onChange_;
};

}  // namespace parlumo
