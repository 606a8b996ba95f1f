#include "ui/WebsiteTranslationWnd.h"

#include <QCloseEvent>

#include "ui/WindowHost.h"

namespace parlumo {

class TWebsiteTranslationWnd::Impl {
 public:
  explicit Impl(TWindowHost& windowHost) : host(windowHost) {}
  TWindowHost& host;
};

TWebsiteTranslationWnd::TWebsiteTranslationWnd(TWindowHost& host, QWidget* /*owner*/)
    : QWidget(nullptr, Qt::Window), impl_(std::make_unique<Impl>(host)) {}

TWebsiteTranslationWnd::~TWebsiteTranslationWnd() = default;

void TWebsiteTranslationWnd::ApplyTexts() {}

void TWebsiteTranslationWnd::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
}

void TWebsiteTranslationWnd::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
}

}  // namespace parlumo
