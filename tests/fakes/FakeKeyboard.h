#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "desktop/ClipboardWatch.h"
#include "desktop/Keyboard.h"
#include "desktop/VirtualKeyCodes.h"

namespace parlumo::fake {

// The name a log gives a virtual key.
inline std::string KeyName(std::uint8_t virtualKey) {
  switch (virtualKey) {
    case kVkShift:
      return "Shift";
    case kVkControl:
      return "Ctrl";
    case kVkMenu:
      return "Alt";
    case kVkC:
      return "C";
    default:
      return "key " + std::to_string(virtualKey);
  }
}

// A keyboard whose state follows the events sent to it, as the system's
// input does. Each event is logged as "Ctrl down" or "C up/46" (name,
// direction, and the scan code when it is not 0). onCopy stands for the
// focused application: it runs when C goes down while Ctrl is down.
class FakeKeyboard : public KeyboardPlatform {
 public:
  void SendKey(std::uint8_t virtualKey, std::uint8_t scanCode, bool keyUp) override {
    std::string entry = KeyName(virtualKey) + (keyUp ? " up" : " down");
    if (scanCode != 0) entry += "/" + std::to_string(scanCode);
    if (log) log->push_back(entry);
    events.push_back(entry);
    if (keyUp) {
      down.erase(virtualKey);
    } else {
      down.insert(virtualKey);
      if (virtualKey == kVkC && down.count(kVkControl) && onCopy) onCopy();
    }
  }
  std::int16_t KeyState(std::uint8_t virtualKey) override {
    return down.count(virtualKey) ? static_cast<std::int16_t>(-32767 - 1) : 0;
  }
  std::uint8_t ScanCode(std::uint8_t virtualKey) override {
    const auto found = scanCodes.find(virtualKey);
    return found == scanCodes.end() ? 0 : found->second;
  }

  std::set<std::uint8_t> down;                     // keys held now
  std::map<std::uint8_t, std::uint8_t> scanCodes;  // what ScanCode answers
  std::vector<std::string> events;
  std::vector<std::string>* log = nullptr;  // when set, events go here too
  std::function<void()> onCopy;
};

// A watch that reports what Fire says; logs "watch armed" and "watch disarmed".
class FakeClipboardWatch : public ClipboardChangeWatch {
 public:
  void Arm(std::function<void()> onChange) override {
    onChange_ = std::move(onChange);
    ++arms;
    if (log) log->push_back("watch armed");
  }
  void Disarm() override {
    onChange_ = nullptr;
    if (log) log->push_back("watch disarmed");
  }
  bool Armed() const { return static_cast<bool>(onChange_); }
  // The clipboard got a new owner.
  void Fire() {
    std::function<void()> onChange = std::move(onChange_);
    onChange_ = nullptr;
    if (onChange) onChange();
  }

  int arms = 0;
  std::vector<std::string>* log = nullptr;

 private:
  std::function<void()> onChange_;
};

// A clipboard holding a text, or only other formats (text empty), or kept
// open by another program for the next failingReads reads. Copy stands for an
// application that copies: it replaces the content and fires the watch.
class FakeClipboard : public ClipboardPlatform {
 public:
  bool ReadText(std::string& text) override {
    ++reads;
    if (failingReads > 0) {
      --failingReads;
      return false;
    }
    text = content.value_or(std::string());
    return true;
  }
  bool WriteText(const std::string& text) override {
    if (refuseWrites) return false;
    writes.push_back(text);
    content = text;
    if (log) log->push_back("clipboard write");
    return true;
  }

  void Copy(std::optional<std::string> newContent) {
    content = std::move(newContent);
    if (watch) watch->Fire();
  }

  std::optional<std::string> content;  // nothing: a picture, no text
  int failingReads = 0;
  int reads = 0;
  bool refuseWrites = false;
  std::vector<std::string> writes;
  FakeClipboardWatch* watch = nullptr;
  std::vector<std::string>* log = nullptr;
};

}  // namespace parlumo::fake
