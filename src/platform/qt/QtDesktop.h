#pragma once

#include <QPointer>
#include <QWidget>
#include <string>

#include "desktop/DesktopShell.h"

namespace parlumo {

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

}  // namespace parlumo
