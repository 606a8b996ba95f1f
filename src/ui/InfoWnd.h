#pragma once

#include <memory>

#include "ui/SecondaryWnd.h"

namespace parlumo {

class TWindowHost;

// The program information window: the version line, what the program sends and
// where, and links to the maker's and the provider's pages and to the help. A
// secondary window (TSecondaryWnd) without a help topic of its own; its close is
// reported with InfoWndClosed.
class TInfoWnd : public TSecondaryWnd {
  Q_OBJECT

 public:
  explicit TInfoWnd(TWindowHost& host, QWidget* owner = nullptr);
  ~TInfoWnd() override;

  // Applies the texts of the current interface language; called after creation
  // and on every change of the interface language.
  void ApplyTexts();

 protected:
  void FirstShown() override;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace parlumo
