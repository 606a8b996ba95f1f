#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "desktop/TrayIcon.h"
#include "desktop/TrayShell.h"

namespace parlumo::fake {

// A notification area that remembers every call and which icons it shows. Add
// fails for an icon already shown, Modify and Delete for one not shown, as the
// shell does; RecreateTaskbar forgets every icon, as a restarted tray host does.
class FakeTrayShell : public TrayShell {
 public:
  struct Call {
    TrayCommand command;
    TrayIconData data;
  };

  bool NotifyIcon(TrayCommand command, const TrayIconData& data) override {
    calls.push_back({command, data});
    if (log) {
      static const char* const kNames[] = {"shell add", "shell modify", "shell delete", "",
                                           "shell version"};
      log->push_back(kNames[static_cast<unsigned>(command)]);
    }
    bool ok = true;
    switch (command) {
      case TrayCommand::Add:
        ok = shown.insert(data.id).second;
        break;
      case TrayCommand::Modify:
        ok = shown.count(data.id) != 0;
        break;
      case TrayCommand::Delete:
        ok = shown.erase(data.id) != 0;
        break;
      case TrayCommand::SetVersion:
        ok = shown.count(data.id) != 0;
        break;
    }
    return ok && !failAll;
  }
  bool CursorPos(TPoint& at) override {
    if (!cursorReadable) return false;
    at = cursor;
    return true;
  }
  std::int16_t AsyncKeyState(int virtualKey) override {
    return keysDown.count(virtualKey) ? static_cast<std::int16_t>(-32768) : 0;
  }
  unsigned DoubleClickTime() override { return doubleClickTime; }

  // What the shell delivers for icon id through the record's handler window.
  static void Deliver(const TrayIconData& data, unsigned notification) {
    data.window->WindowProc(data.callbackMessage, data.id,
                            static_cast<std::intptr_t>(notification));
  }

  void RecreateTaskbar() { shown.clear(); }

  const Call& Last() const { return calls.back(); }

  std::vector<Call> calls;
  std::vector<std::string>* log = nullptr;  // when set, each command is logged in order
  std::set<std::uintptr_t> shown;
  bool failAll = false;
  bool cursorReadable = true;
  TPoint cursor{100, 200};
  std::set<int> keysDown;
  unsigned doubleClickTime = 50;
};

// A top-level window; the log records each operation in order.
class FakeTrayWindow : public TrayWindow {
 public:
  explicit FakeTrayWindow(std::vector<std::string>& logTo) : log(logTo) {}
  bool Minimized() const override { return minimized; }
  void SetNormal() override {
    minimized = false;
    log.push_back("window normal");
  }
  void SetVisible(bool value) override {
    visible = value;
    log.push_back(value ? "window show" : "window hide");
  }
  void BringToFront() override { log.push_back("window front"); }
  bool IsMdiFrame() const override { return mdiFrame; }
  void PostNull() override { log.push_back("window post null"); }
  void SetOwnerHook(TrayOwnerHook* value) override {
    hook = value;
    log.push_back(value ? "owner hook" : "owner unhook");
  }

  std::vector<std::string>& log;
  bool minimized = false;
  bool visible = true;
  bool mdiFrame = false;
  TrayOwnerHook* hook = nullptr;
};

class FakeTrayApplication : public TrayApplication {
 public:
  explicit FakeTrayApplication(std::vector<std::string>& logTo) : log(logTo) {}
  TrayWindow* MainForm() override { return mainForm; }
  void BringToFront() override { log.push_back("app front"); }
  void ProcessMessages() override {
    log.push_back("app process");
    if (onProcessMessages) onProcessMessages();
  }
  void Restore() override {
    log.push_back("app restore");
    if (mainForm) mainForm->minimized = false;
  }
  bool Terminating() const override { return terminating; }
  void SetShowMainForm(bool value) override {
    showMainForm = value;
    log.push_back(value ? "app show main form" : "app keep main form hidden");
  }
  bool TaskbarButtonVisible() const override { return taskbarButton; }
  void HideTaskbarButton() override {
    taskbarButton = false;
    log.push_back("app hide taskbar button");
  }
  void AddHook(TrayApplicationHook* value) override {
    hooks.insert(value);
    log.push_back("app hook");
  }
  void RemoveHook(TrayApplicationHook* value) override {
    hooks.erase(value);
    log.push_back("app unhook");
  }

  std::vector<std::string>& log;
  FakeTrayWindow* mainForm = nullptr;
  bool terminating = false;
  bool showMainForm = true;
  bool taskbarButton = true;
  std::set<TrayApplicationHook*> hooks;
  std::function<void()> onProcessMessages;
};

// A popup menu whose items are only a default flag and a click counter.
class FakeTrayMenu : public TrayMenu {
 public:
  explicit FakeTrayMenu(int items) : defaults(items, false), clicks(items, 0) {}
  bool AutoPopup() const override { return autoPopup; }
  int ItemCount() const override { return static_cast<int>(defaults.size()); }
  bool ItemDefault(int index) const override { return defaults[index]; }
  void ClickItem(int index) override { ++clicks[index]; }
  void SetPopupComponent(TTrayIcon* value) override { popupComponent = value; }
  void Popup(TPoint at) override {
    popups.push_back(at);
    if (onPopup) onPopup();
  }

  bool autoPopup = true;
  std::vector<bool> defaults;
  std::vector<int> clicks;
  TTrayIcon* popupComponent = nullptr;
  std::vector<TPoint> popups;
  std::function<void()> onPopup;
};

class FakeTrayImageList : public TrayImageList {
 public:
  explicit FakeTrayImageList(int count) {
    for (int i = 0; i < count; ++i)
      images.push_back({"image " + std::to_string(i)});
  }
  int Count() const override { return static_cast<int>(images.size()); }
  TTrayImage Image(int index) const override { return images.at(index); }

  std::vector<TTrayImage> images;
};

}  // namespace parlumo::fake
