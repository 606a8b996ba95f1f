#pragma once

#include <QLabel>

namespace parlumo {

// A label that acts as a link: sized to its text, with the hand cursor; a click
// with the left button (or Enter or Space while it has the focus) raises clicked.
// MakeLink gives it the link look.
class TLinkLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TLinkLabel(QWidget* parent = nullptr);

  // Navy and underlined, keeping the font's other styles.
  void MakeLink();

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool pressed_ = false;
};

}  // namespace parlumo
