#pragma once

#include <optional>
#include <string>

namespace parlumo {

// The text the user has marked (the primary selection), read without any
// keystroke. Desktops that let no program send keystrokes to another (Wayland)
// still let a program read what is marked; the capture then uses this instead
// of a synthetic Ctrl+C.
class MarkedTextPlatform {
 public:
  virtual ~MarkedTextPlatform() = default;
  // The marked text (UTF-8). Empty when nothing is marked or the selection
  // offers no text; nothing when the selection cannot be read.
  virtual std::optional<std::string> ReadMarkedText() = 0;
};

}  // namespace parlumo
