#pragma once

#include <string>

#include "desktop/Keyboard.h"

namespace parlumo {

// The clipboard's text through QClipboard (the CLIPBOARD selection on X11).
// Needs a running QGuiApplication; without one the clipboard is not available.
class QtClipboard final : public ClipboardPlatform {
 public:
  bool ReadText(std::string& text) override;
  bool WriteText(const std::string& text) override;
};

}  // namespace parlumo
