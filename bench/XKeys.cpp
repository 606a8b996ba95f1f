#include "XKeys.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace parlumo::bench {

XKeys::XKeys() : display_(XOpenDisplay(nullptr)) {}

XKeys::~XKeys() {
  if (display_ != nullptr) XCloseDisplay(static_cast<Display*>(display_));
}

void XKeys::Send(const std::vector<Event>& events) {
  auto* display = static_cast<Display*>(display_);
  if (display == nullptr) return;
  for (const Event& event : events) {
    const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(event.keysym.c_str()));
    if (code != 0) XTestFakeKeyEvent(display, code, event.down ? True : False, CurrentTime);
  }
  XFlush(display);
}

}  // namespace parlumo::bench
