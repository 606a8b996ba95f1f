#include "hotkeys/SelectedText.h"

#include <array>
#include <memory>

#include "desktop/VirtualKeyCodes.h"

namespace parlumo {
namespace {

// Disarms the watch on every way out of the capture.
class ArmedWatch {
 public:
  ArmedWatch(ClipboardChangeWatch& watch, EventLoop& loop)
      : watch_(watch), changed_(std::make_shared<bool>(false)) {
    // The change may arrive inside a handler of the platform's own events,
    // which a waiting ProcessEvents does not count as ours; the posted task
    // makes it return so that the wait sees the flag at once.
    watch_.Arm([changed = std::weak_ptr<bool>(changed_), &loop] {
      if (auto flag = changed.lock()) {
        *flag = true;
        loop.Post([] {});
      }
    });
  }
  ~ArmedWatch() { watch_.Disarm(); }
  ArmedWatch(const ArmedWatch&) = delete;
  ArmedWatch& operator=(const ArmedWatch&) = delete;

  // Dispatches the program's events until the clipboard has changed, at most
  // maxWait.
  void Wait(EventLoop& loop, std::chrono::milliseconds maxWait) const {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + maxWait;
    while (!*changed_) {
      const auto now = Clock::now();
      if (now >= deadline) break;
      loop.ProcessEvents(std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
    }
  }

 private:
  ClipboardChangeWatch& watch_;
  std::shared_ptr<bool> changed_;
};

// The modifiers the user still holds (usually the hotkey's): released for the
// copy keystroke, so that the application sees a plain Ctrl+C and not, say,
// Ctrl+Alt+C, and pressed again afterwards, so that the keys are as the user
// holds them. Scan code 0: the platform restores the very keys that were down.
class ReleasedModifiers {
 public:
  explicit ReleasedModifiers(KeyboardPlatform& keyboard) : keyboard_(keyboard) {
    for (std::size_t i = 0; i < kModifiers.size(); ++i)
      held_[i] = keyboard_.KeyState(kModifiers[i]) < 0;
    for (std::size_t i = 0; i < kModifiers.size(); ++i)
      if (held_[i]) keyboard_.SendKey(kModifiers[i], 0, true);
  }
  void Restore() {
    for (std::size_t i = 0; i < kModifiers.size(); ++i)
      if (held_[i]) keyboard_.SendKey(kModifiers[i], 0, false);
  }

 private:
  static constexpr std::array<std::uint8_t, 3> kModifiers = {kVkMenu, kVkControl, kVkShift};
  KeyboardPlatform& keyboard_;
  std::array<bool, 3> held_{};
};

// Two attempts, the second at once: another program may hold the clipboard
// for a moment.
std::optional<std::string> ReadClipboard(ClipboardPlatform& clipboard) {
  std::string text;
  if (clipboard.ReadText(text) || clipboard.ReadText(text)) return text;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> CaptureSelectedText(TCaptureVariant variant,
                                               const TCapturePlatform& platform) {
  if (platform.marked != nullptr) {
    // Both variants read the same selection: without keystrokes the held
    // modifiers play no part.
    std::optional<std::string> marked = platform.marked->ReadMarkedText();
    if (marked && !marked->empty()) return marked;
    return ReadClipboard(platform.clipboard);
  }
  KeyboardPlatform& keyboard = platform.keyboard;
  ArmedWatch watch(platform.watch, platform.loop);
  ReleasedModifiers modifiers(keyboard);
  if (variant == TCaptureVariant::cvQuick) {
    keyboard.SendKey(kVkControl, 0, false);
    keyboard.SendKey(kVkC, 0, false);
    keyboard.SendKey(kVkC, 0, true);
    keyboard.SendKey(kVkControl, 0, true);
    modifiers.Restore();
    watch.Wait(platform.loop, platform.wait);
  } else {
    const std::uint8_t controlScan = keyboard.ScanCode(kVkControl);
    const std::uint8_t cScan = keyboard.ScanCode(kVkC);
    keyboard.SendKey(kVkControl, controlScan, false);
    keyboard.SendKey(kVkC, cScan, false);
    watch.Wait(platform.loop, platform.wait);
    keyboard.SendKey(kVkC, cScan, true);
    keyboard.SendKey(kVkControl, controlScan, true);
    modifiers.Restore();
  }
  return ReadClipboard(platform.clipboard);
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace parlumo
