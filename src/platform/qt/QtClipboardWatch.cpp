#include "platform/qt/QtClipboardWatch.h"

#include <QClipboard>
#include <QGuiApplication>

namespace parlumo {

QtClipboardWatch::QtClipboardWatch() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
  connection_ = QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed,
                                 [this](QClipboard::Mode mode) {
                                   if (mode == QClipboard::Clipboard) Changed();
                                 });
}

QtClipboardWatch::~QtClipboardWatch() {
  QObject::disconnect(connection_);
}

void QtClipboardWatch::Arm(std::function<void()> onChange) {
  onChange_ = std::move(onChange);
}

void QtClipboardWatch::Disarm() {
  onChange_ = nullptr;
}

void QtClipboardWatch::Changed() {
  // Once per Arm; the callback may arm again or destroy this watch, so it is
  // taken out before it runs.
  std::function<void()> onChange = std::move(onChange_);
  onChange_ = nullptr;
  if (onChange) onChange();
}

}  // namespace parlumo
