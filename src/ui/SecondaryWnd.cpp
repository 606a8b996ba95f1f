#include "ui/SecondaryWnd.h"

#include <QCloseEvent>
#include <QShortcut>
#include <QShowEvent>

#include "ui/WindowHost.h"
#include "ui/WindowSupport.h"

namespace parlumo {

TSecondaryWnd::TSecondaryWnd(TWindowHost& host, QWidget* owner, const Frame& frame)
    : QWidget(nullptr), host_(host), owner_(owner), frame_(frame) {
  PrepareForm(*this);
  if (frame_.helpContext != 0) {
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this,
            [this] { host_.ShowHelpContext(frame_.helpContext); });
  }
}

TSecondaryWnd::~TSecondaryWnd() = default;

void TSecondaryWnd::FixSize() {
  FixFormSize(*this, frame_.designSize.width(), frame_.designSize.height());
}

void TSecondaryWnd::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The window system's own shows (a restore from the taskbar) keep the place.
  if (event->spontaneous() || shownOnce_) return;
  shownOnce_ = true;
  CentreOnScreen(*this);
  FirstShown();
}

void TSecondaryWnd::closeEvent(QCloseEvent* event) {
  if (!MayClose()) {
    event->ignore();
    return;
  }
  event->accept();
  if (closedReported_) return;
  closedReported_ = true;
  Closing();
  (host_.*frame_.closed)();
}

}  // namespace parlumo
