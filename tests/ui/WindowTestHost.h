#pragma once

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/qt/QtEventLoop.h"
#include "runtime/IniFile.h"
#include "support/TempFolder.h"
#include "ui/WindowHost.h"

namespace parlumo::test {

// A message box as a window asked for it.
struct TRecordedBox {
  std::string text;
  std::string caption;
  TMsgButtons buttons;
  TMsgIcon icon;
  bool owned;
  // The window the box belongs to; null for the main form.
  const void* window = nullptr;
};

// Message boxes and "open" recorded; a box is answered from answers (first in,
// first out), else with its first button. duringBox runs while a box is "open",
// as the user's other actions would.
class TFakeShell final : public DesktopShell {
 public:
  TMsgResult MessageBox(const std::string& text, const std::string& caption, TMsgButtons buttons,
                        TMsgIcon icon, bool owned) override {
    return Show({text, caption, buttons, icon, owned, nullptr});
  }
  TMsgResult WindowMessageBox(const void* window, const std::string& text,
                              const std::string& caption, TMsgButtons buttons,
                              TMsgIcon icon) override {
    return Show({text, caption, buttons, icon, true, window});
  }
  TMsgResult Show(TRecordedBox box) {
    const TMsgButtons buttons = box.buttons;
    boxes.push_back(std::move(box));
    if (duringBox) duringBox();
    if (!answers.empty()) {
      const TMsgResult answer = answers.front();
      answers.pop_front();
      return answer;
    }
    return buttons == TMsgButtons::mbYesNo || buttons == TMsgButtons::mbYesNoCancel
               ? TMsgResult::mrYes
               : TMsgResult::mrOK;
  }
  bool Open(const std::string& fileOrUrl) override {
    opened.push_back(fileOrUrl);
    return openSucceeds;
  }
  bool OpenWith(const std::string&, const std::string&) override { return false; }

  std::vector<TRecordedBox> boxes;
  std::vector<std::string> opened;
  std::deque<TMsgResult> answers;
  std::function<void()> duringBox;
  bool openSucceeds = true;
};

// The clipboard as a string; available unless told otherwise.
class TFakeClipboard final : public ClipboardPlatform {
 public:
  bool ReadText(std::string& out) override {
    out = available ? text : std::string();
    return available;
  }
  bool WriteText(const std::string& in) override {
    if (!available) return false;
    text = in;
    ++writes;
    return true;
  }

  std::string text;
  bool available = true;
  int writes = 0;
};

// The main form as the windows see it, over a settings file in a fresh folder,
// the real Qt event loop, a recording shell and an in-memory clipboard.
class TTestHost final : public TWindowHost {
 public:
  TTestHost() : folder_("parlumo-ui"), ini_(folder_.Path() / "parlumo.ini") {}

  TIniFile& Ini() override { return ini_; }
  int UILanguage() const override { return language; }
  TProxySettings ProxyValues() const override { return proxy; }
  TServiceHosts Hosts() const override { return hosts; }
  EventLoop& Loop() override { return loop_; }
  DesktopShell& Shell() override { return shell; }
  ClipboardPlatform& Clipboard() override { return clipboard; }
  void ShowHelpContext(int context) override { helpContexts.push_back(context); }
  void TranslationWndClosed() override { ++translationClosed; }
  void WebsiteTranslationWndClosed() override { ++websiteClosed; }
  void InfoWndClosed() override { ++infoClosed; }
  std::string VersionString() const override { return "2.5"; }
  int BuildNumber() const override { return 41; }

  const std::filesystem::path& Folder() const { return folder_.Path(); }

  int language = 0;
  TServiceHosts hosts{"127.0.0.1:1", "vendor.test:8085", "provider.test:8085"};
  TProxySettings proxy;
  TFakeShell shell;
  TFakeClipboard clipboard;
  std::vector<int> helpContexts;
  int translationClosed = 0;
  int websiteClosed = 0;
  int infoClosed = 0;

 private:
  TempFolder folder_;
  TIniFile ini_;
  QtEventLoop loop_;
};

// A named control of a window; fails the test when it is missing.
template <typename T>
T& Control(QWidget& window, const char* name) {
  T* child = window.findChild<T*>(QString::fromLatin1(name));
  if (child == nullptr) {
    ADD_FAILURE() << "no control " << name;
    std::abort();
  }
  return *child;
}

// Shows a window as the main form does and waits until it is the active one.
inline bool ShowAsMainFormDoes(QWidget& window) {
  window.show();
  window.raise();
  window.activateWindow();
  return QTest::qWaitForWindowActive(&window);
}

inline std::string Utf8(const QString& text) {
  return text.toUtf8().toStdString();
}

}  // namespace parlumo::test
