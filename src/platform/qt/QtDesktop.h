#pragma once

#include <QPointer>
#include <QWidget>
#include <string>

#include "desktop/DesktopShell.h"
#include "desktop/Keyboard.h"

namespace parlumo {

// The clipboard's text through QClipboard (the CLIPBOARD selection on X11).
// Needs a running QGuiApplication; without one the clipboard is not available.
class QtClipboard final : public ClipboardPlatform {
 public:
  bool ReadText(std::string& text) override;
  bool WriteText(const std::string& text) override;
};

// Message boxes with QMessageBox, "open" with QDesktopServices, programs with a
// detached process.
class QtDesktopShell final : public DesktopShell {
 public:
  // The main form owned message boxes belong to; may be null or go away.
  void SetMainForm(QWidget* mainForm) { mainForm_ = mainForm; }

  TMsgResult MessageBox(const std::string& text, const std::string& caption, TMsgButtons buttons,
                        TMsgIcon icon, bool owned) override;
  // window is a QWidget of the program.
  TMsgResult WindowMessageBox(const void* window, const std::string& text,
                              const std::string& caption, TMsgButtons buttons,
                              TMsgIcon icon) override;
  bool Open(const std::string& fileOrUrl) override;
  bool OpenWith(const std::string& program, const std::string& file) override;

 private:
  TMsgResult ShowBox(QWidget* parent, const std::string& text, const std::string& caption,
                     TMsgButtons buttons, TMsgIcon icon);

  QPointer<QWidget> mainForm_;
};

// Balloon hints can be shown: a notification area is there and it can show
// messages. Evaluated anew on every call.
bool TrayMessagesAvailable();

}  // namespace parlumo
