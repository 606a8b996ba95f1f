#pragma once

#include <QPointer>
#include <QSize>
#include <QWidget>

namespace parlumo {

class TWindowHost;

// What the program's secondary windows (text translation, website translation,
// program information) share: each is a top-level window with a taskbar entry of
// its own (PrepareForm), centred on its screen the first time the program shows it,
// F1 opens its help topic where it has one, and it never deletes itself: when it
// closes it tells the host once, and the host destroys it later.
class TSecondaryWnd : public QWidget {
  Q_OBJECT

 public:
  // What sets one secondary window's frame apart.
  struct Frame {
    void (TWindowHost::*closed)();  // the host's method that hears of the close
    int helpContext;                // the topic F1 opens; 0 for none
    QSize designSize;               // the client area as designed (FixSize)
  };

  ~TSecondaryWnd() override;

 protected:
  // owner: the main form, deliberately not the Qt parent (see PrepareForm). The
  // form is prepared here, before the window's own form description is set up.
  TSecondaryWnd(TWindowHost& host, QWidget* owner, const Frame& frame);

  // Fixes the window's size to its design size, or larger where the texts of the
  // current language need more room (FixFormSize); after every change of texts.
  void FixSize();

  // The program shows the window for the first time; it is centred already. Where
  // the focus goes.
  virtual void FirstShown() {}
  // Whether the window may close now; a refused close leaves it open and the host
  // hears nothing.
  virtual bool MayClose() const { return true; }
  // The window closes for good, before the host hears of it: what it keeps is stored.
  virtual void Closing() {}

  void showEvent(QShowEvent* event) final;
  void closeEvent(QCloseEvent* event) final;

 private:
  TWindowHost& host_;
  QPointer<QWidget> owner_;
  Frame frame_;
  bool shownOnce_ = false;
  bool closedReported_ = false;
};

}  // namespace parlumo
