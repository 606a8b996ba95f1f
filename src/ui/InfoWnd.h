#pragma once

#include <QWidget>
#include <memory>

namespace parlumo {

class TWindowHost;

// The program information window: the version line, what the program sends and
// where, and links to the maker's and the provider's pages and to the help. A
// top-level window with a taskbar entry of its own. It never deletes itself: when
// it closes it tells the host once (InfoWndClosed), and the host destroys it later.
class TInfoWnd : public QWidget {
  Q_OBJECT

 public:
  explicit TInfoWnd(TWindowHost& host, QWidget* owner = nullptr);
  ~TInfoWnd() override;

  // Applies the texts of the current interface language; called after creation
  // and on every change of the interface language.
  void ApplyTexts();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace parlumo
