#include "ui/TranslationWnd.h"

#include <QCloseEvent>

#include "ui/WindowHost.h"

namespace parlumo {

class TTranslationWnd::Impl {
 public:
  explicit Impl(TWindowHost& windowHost) : host(windowHost) {}
  TWindowHost& host;
};

TTranslationWnd::TTranslationWnd(TWindowHost& host, QWidget* /*owner*/)
    : QWidget(nullptr, Qt::Window), impl_(std::make_unique<Impl>(host)) {}

TTranslationWnd::~TTranslationWnd() = default;

void TTranslationWnd::ApplyTexts() {}

void TTranslationWnd::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
}

void TTranslationWnd::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
}

bool TTranslationWnd::eventFilter(QObject* watched, QEvent* event) {
  return QWidget::eventFilter(watched, event);
}

}  // namespace parlumo
