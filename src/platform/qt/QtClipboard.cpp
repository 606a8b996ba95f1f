#include "platform/qt/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/qt/QtText.h"

namespace parlumo {

namespace {

// The application's clipboard; null without a running QGuiApplication.
QClipboard* ApplicationClipboard() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard()
                                                                      : nullptr;
}

}  // namespace

bool QtClipboard::ReadText(std::string& text) {
  text.clear();
  QClipboard* clipboard = ApplicationClipboard();
  if (!clipboard) return false;
  // A clipboard holding only other formats (a picture) is no failure: the
  // text is empty.
  const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
  if (data && data->hasText()) text = clipboard->text(QClipboard::Clipboard).toStdString();
  return true;
}

bool QtClipboard::WriteText(const std::string& text) {
  QClipboard* clipboard = ApplicationClipboard();
  if (!clipboard) return false;
  clipboard->setText(FromUtf8(text), QClipboard::Clipboard);
  return true;
}

}  // namespace parlumo
