#include "ui/SecondaryWnd.h"

#include <QCloseEvent>
#include <QShortcut>
#include <QShowEvent>

#include "ui/WindowHost.h"
#include "ui/WindowSupport.h"

namespace parlumo {

TSecondaryWnd::TSecondaryWnd(TWindowHost& host, QWidget* owner, ClosedReport closed,
                             int helpContext)
    : QWidget(nullptr), host_(host), owner_(owner), closed_(closed) {
  PrepareForm(*this);
  if (helpContext != 0) {
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this,
            [this, helpContext] { host_.ShowHelpContext(helpContext); });
  }
}

TSecondaryWnd::~TSecondaryWnd() = default;

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
  (host_.*closed_)();
}

}  // namespace parlumo
