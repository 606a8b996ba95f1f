#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "desktop/MarkedText.h"

// Xlib's types, without its macros (None, Status, ...) in every includer.
struct _XDisplay;
union _XEvent;

namespace parlumo {

// The X server's PRIMARY selection (the text last marked), read as text on a
// connection of its own. On a Wayland desktop without data-control (GNOME)
// this is XWayland's PRIMARY, which the compositor keeps equal to the Wayland
// primary selection; so a program without keyboard focus still learns what
// the user has marked.
class X11PrimarySelection final : public MarkedTextPlatform {
 public:
  // Connects to the X server of DISPLAY; nothing when there is none.
  static std::unique_ptr<X11PrimarySelection> Connect();
  ~X11PrimarySelection() override;
  X11PrimarySelection(const X11PrimarySelection&) = delete;
  X11PrimarySelection& operator=(const X11PrimarySelection&) = delete;

  // The longest the owner of the selection may take to answer.
  static constexpr std::chrono::milliseconds kReadWait{1000};

  // UTF8_STRING first, then STRING (Latin-1). Empty when nothing is marked or
  // the owner has no text; nothing when the owner does not answer in time.
  std::optional<std::string> ReadMarkedText() override;

 private:
  explicit X11PrimarySelection(_XDisplay* display);
  // Waits for the next event of the kind for our window, until the deadline.
  bool WaitForEvent(int type, ::_XEvent& event, std::chrono::steady_clock::time_point deadline);
  std::optional<std::string> Convert(unsigned long target,
                                     std::chrono::steady_clock::time_point deadline);

  _XDisplay* display_;
  unsigned long window_;    // Window
  unsigned long property_;  // Atom
};

}  // namespace parlumo
