#pragma once

#include <memory>

#include "ui/SecondaryWnd.h"

namespace parlumo {

class TWindowHost;

// The website translation window: builds the service's page-translation address
// for a page address and a language pair and hands it to the browser. A secondary
// window (TSecondaryWnd); its close is reported with WebsiteTranslationWndClosed.
class TWebsiteTranslationWnd : public TSecondaryWnd {
  Q_OBJECT

 public:
  explicit TWebsiteTranslationWnd(TWindowHost& host, QWidget* owner = nullptr);
  ~TWebsiteTranslationWnd() override;

  // Applies the texts of the current interface language; called after creation
  // and on every change of the interface language.
  void ApplyTexts();

 protected:
  void FirstShown() override;
  void Closing() override;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace parlumo
