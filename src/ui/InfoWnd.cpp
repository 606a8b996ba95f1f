#include "ui/InfoWnd.h"

#include <QCloseEvent>

#include "ui/WindowHost.h"

namespace parlumo {

class TInfoWnd::Impl {
 public:
  explicit Impl(TWindowHost& windowHost) : host(windowHost) {}
  TWindowHost& host;
};

TInfoWnd::TInfoWnd(TWindowHost& host, QWidget* /*owner*/)
    : QWidget(nullptr, Qt::Window), impl_(std::make_unique<Impl>(host)) {}

TInfoWnd::~TInfoWnd() = default;

void TInfoWnd::ApplyTexts() {}

void TInfoWnd::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
}

}  // namespace parlumo
