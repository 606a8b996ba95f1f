#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/ClipboardWatch.h"
#include "desktop/Keyboard.h"
#include "desktop/MarkedText.h"
#include "runtime/EventLoop.h"

namespace parlumo {

// The longest the capture waits for the focused application to copy.
inline constexpr std::chrono::milliseconds kCaptureWait{100};

// The two forms of the copy keystroke.
enum class TCaptureVariant {
  cvQuick,  // Ctrl+C with scan codes 0, released before the copy is awaited
  cvFile,   // Ctrl+C with the keyboard's scan codes, held down while the copy is awaited
};

// What the capture needs of the platform; every part must outlive the call.
struct TCapturePlatform {
  KeyboardPlatform& keyboard;
  ClipboardPlatform& clipboard;
  ClipboardChangeWatch& watch;
  EventLoop& loop;
  std::chrono::milliseconds wait = kCaptureWait;
  // Where the desktop lets the program read the marked text itself (Wayland),
  // no keystroke is sent: the text comes from here, and when nothing is
  // marked, from the clipboard. Null: the copy keystrokes.
  MarkedTextPlatform* marked = nullptr;
};

// Makes the focused application copy its selection and reads the clipboard's
// text (UTF-8); with platform.marked, reads the marked text instead, and the
// clipboard's when nothing is marked or the marked text cannot be read. The wait after the
// keystrokes ends as soon as the clipboard gets a new owner, else after platform.wait; the
// program's events are dispatched meanwhile. Nothing when the clipboard cannot be read in two
// attempts. A clipboard without text gives an empty text; when the application copied nothing, the
// text is whatever the clipboard held before.
std::optional<std::string> CaptureSelectedText(TCaptureVariant variant,
                                               const TCapturePlatform& platform);

// The lines of a text: CR LF, LF and CR each end a line; a last line without a
// line break counts, an empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);
// The lines each followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace parlumo
