#pragma once

#include <functional>

namespace parlumo {

// Tells when the clipboard (the CLIPBOARD selection) gets a new owner: the
// moment another application has copied something. The selected-text capture
// arms it before its copy keystrokes so that its wait ends as soon as the copy
// has happened.
class ClipboardChangeWatch {
 public:
  virtual ~ClipboardChangeWatch() = default;
  // Starts watching anew; changes before the call are not reported. onChange
  // runs on the thread of the program's event loop, at most once per Arm, when
  // the clipboard gets a new owner while armed. Arming again replaces the
  // callback.
  virtual void Arm(std::function<void()> onChange) = 0;
  // Stops watching: onChange is not called after this returns.
  virtual void Disarm() = 0;
};

}  // namespace parlumo
