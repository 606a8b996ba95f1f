#pragma once

#include <QWidget>
#include <memory>

namespace parlumo {

class TWindowHost;

// The text translation window: the user types, pastes or loads a text, picks a
// language pair and translates it with the window's own HTTP client; the
// translation can be copied or saved. A top-level window with a taskbar entry of
// its own. It never deletes itself: when it closes it tells the host once
// (TranslationWndClosed), and the host destroys it later.
class TTranslationWnd : public QWidget {
  Q_OBJECT

 public:
  explicit TTranslationWnd(TWindowHost& host, QWidget* owner = nullptr);
  ~TTranslationWnd() override;

  // Applies the texts of the current interface language; called after creation
  // and on every change of the interface language.
  void ApplyTexts();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace parlumo
