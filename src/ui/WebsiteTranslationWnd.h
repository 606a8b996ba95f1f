#pragma once

#include <QWidget>
#include <memory>

namespace parlumo {

class TWindowHost;

// The website translation window: builds the service's page-translation address
// for a page address and a language pair and hands it to the browser. A top-level
// window with a taskbar entry of its own. It never deletes itself: when it closes
// it tells the host once (WebsiteTranslationWndClosed), and the host destroys it
// later.
class TWebsiteTranslationWnd : public QWidget {
  Q_OBJECT

 public:
  explicit TWebsiteTranslationWnd(TWindowHost& host, QWidget* owner = nullptr);
  ~TWebsiteTranslationWnd() override;

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
