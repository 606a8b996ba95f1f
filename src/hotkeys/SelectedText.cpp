#include "hotkeys/SelectedText.h"

#include <memory>

namespace parlumo {
namespace {

// The virtual keys the capture synthesises and looks at.
constexpr std::uint8_t kKeyShift = 0x10;
constexpr std::uint8_t kKeyCtrl = 0x11;
constexpr std::uint8_t kKeyAlt = 0x12;
constexpr std::uint8_t kKeyC = 0x43;

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

bool Held(KeyboardPlatform& keyboard, std::uint8_t virtualKey) {
  return keyboard.KeyState(virtualKey) < 0;
}

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
  if (variant == TCaptureVariant::cvQuick) {
    // The user usually still holds the hotkey's modifiers; the application
    // must see a plain Ctrl+C, and afterwards the keys as the user holds them.
    constexpr std::uint8_t kModifiers[] = {kKeyAlt, kKeyCtrl, kKeyShift};
    bool held[3];
    for (int i = 0; i < 3; ++i)
      held[i] = Held(keyboard, kModifiers[i]);
    for (int i = 0; i < 3; ++i)
      if (held[i]) keyboard.SendKey(kModifiers[i], 0, true);
    keyboard.SendKey(kKeyCtrl, 0, false);
    keyboard.SendKey(kKeyC, 0, false);
    keyboard.SendKey(kKeyC, 0, true);
    keyboard.SendKey(kKeyCtrl, 0, true);
    for (int i = 0; i < 3; ++i)
      if (held[i]) keyboard.SendKey(kModifiers[i], 0, false);
    watch.Wait(platform.loop, platform.wait);
  } else {
    const std::uint8_t controlScan = keyboard.ScanCode(kKeyCtrl);
    const std::uint8_t cScan = keyboard.ScanCode(kKeyC);
    keyboard.SendKey(kKeyCtrl, controlScan, false);
    keyboard.SendKey(kKeyC, cScan, false);
    watch.Wait(platform.loop, platform.wait);
    keyboard.SendKey(kKeyC, cScan, true);
    keyboard.SendKey(kKeyCtrl, controlScan, true);
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
