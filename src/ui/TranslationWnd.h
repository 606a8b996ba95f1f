#pragma once

#include <memory>

#include "ui/SecondaryWnd.h"

namespace parlumo {

class TWindowHost;

// The text translation window: the user types, pastes or loads a text, picks a
// language pair and translates it with the window's own HTTP client; the
// translation can be copied or saved. A secondary window (TSecondaryWnd); its
// close is reported with TranslationWndClosed.
class TTranslationWnd : public TSecondaryWnd {
  Q_OBJECT

 public:
  explicit TTranslationWnd(TWindowHost& host, QWidget* owner = nullptr);
  ~TTranslationWnd() override;

  // Applies the texts of the current interface language; called after creation
  // and on every change of the interface language.
  void ApplyTexts();

 protected:
  void FirstShown() override;
  bool MayClose() const override;
  void Closing() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace parlumo
