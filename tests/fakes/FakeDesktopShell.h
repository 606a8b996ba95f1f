#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "desktop/DesktopShell.h"

namespace parlumo::fake {

// Message boxes answered from a queue (OK for an OK box, else No when the
// queue is empty), and the shell's "open" calls recorded.
class FakeDesktopShell : public DesktopShell {
 public:
  struct Box {
    std::string text;
    std::string caption;
    TMsgButtons buttons;
    TMsgIcon icon;
    bool owned;
  };
  struct Start {
    std::string program;
    std::string file;
  };

  TMsgResult MessageBox(const std::string& text, const std::string& caption, TMsgButtons buttons,
                        TMsgIcon icon, bool owned) override {
    boxes.push_back({text, caption, buttons, icon, owned});
    if (log) log->push_back("box " + caption);
    // What happens while the box is open: the program's events go on.
    if (whileOpen) {
      auto action = whileOpen;
      action();
    }
    TMsgResult answer = buttons == TMsgButtons::mbOK ? TMsgResult::mrOK : TMsgResult::mrNo;
    if (!answers.empty()) {
      answer = answers.front();
      answers.pop_front();
    }
    return answer;
  }
  bool Open(const std::string& fileOrUrl) override {
    opened.push_back(fileOrUrl);
    if (log) log->push_back("open " + fileOrUrl);
    return openResult;
  }
  bool OpenWith(const std::string& program, const std::string& file) override {
    started.push_back({program, file});
    if (log) log->push_back("open with " + program);
    return openResult;
  }

  std::vector<Box> boxes;
  std::deque<TMsgResult> answers;
  std::function<void()> whileOpen;
  std::vector<std::string> opened;
  std::vector<Start> started;
  bool openResult = true;
  std::vector<std::string>* log = nullptr;
};

}  // namespace parlumo::fake
