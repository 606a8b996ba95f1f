#include "app/QtClipboardWatch.h"

#include <QClipboard>
#include <QGuiApplication>

namespace parlumo {

QtClipboardWatch::~QtClipboardWatch() {
  Disarm();
}

void QtClipboardWatch::Arm(std::function<void()> onChange) {
  Disarm();
  onChange_ = std::move(onChange);
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return;
  connection_ = QObject::connect(clipboard, &QClipboard::changed, [this](QClipboard::Mode mode) {
    if (mode != QClipboard::Clipboard) return;
    // At most once per Arm: the callback is taken before it runs, and it may
    // arm again or destroy this watch.
    std::function<void()> run = std::move(onChange_);
    Disarm();
    if (run) run();
  });
}

void QtClipboardWatch::Disarm() {
  QObject::disconnect(connection_);
  connection_ = {};
  onChange_ = nullptr;
}

}  // namespace parlumo
