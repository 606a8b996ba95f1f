#pragma once

#include <string>

namespace parlumo {

// Buttons, icon and answer of a message box.
enum class TMsgButtons { mbOK, mbOKCancel, mbYesNo, mbYesNoCancel };
enum class TMsgIcon { miNone, miInformation, miWarning, miError, miQuestion };
enum class TMsgResult { mrOK, mrCancel, mrYes, mrNo };

// Message boxes and the shell's "open" operation.
class DesktopShell {
 public:
  virtual ~DesktopShell() = default;

  // Shows a modal message box and returns when the user has closed it; the
  // program's events keep being dispatched meanwhile. owned: the box belongs to
  // the main form (centred on it, closed with it); otherwise it stands alone.
  // The box is brought to the foreground. Closing it without a button gives
  // Cancel where there is one, else No, else OK.
  virtual TMsgResult MessageBox(const std::string& text, const std::string& caption,
                                TMsgButtons buttons, TMsgIcon icon, bool owned) = 0;

  // The same box owned by one of the program's other windows: centred on it
  // and modal for it. window is the adapter's own window object (a QWidget in
  // the Qt adapter). An adapter without windows of its own gives the box to the
  // main form.
  virtual TMsgResult WindowMessageBox(const void* window, const std::string& text,
                                      const std::string& caption, TMsgButtons buttons,
                                      TMsgIcon icon) {
    static_cast<void>(window);
    return MessageBox(text, caption, buttons, icon, true);
  }

  // Opens a file or an address with the program the desktop associates with it
  // (a web address in the browser). False when nothing could be started.
  virtual bool Open(const std::string& fileOrUrl) = 0;

  // Starts the program with the file as its one argument, detached from this
  // process. False when it could not be started.
  virtual bool OpenWith(const std::string& program, const std::string& file) = 0;
};

}  // namespace parlumo
