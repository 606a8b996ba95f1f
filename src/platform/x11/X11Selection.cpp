#include "platform/x11/X11Selection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <string>

namespace parlumo {

namespace {

using Clock = std::chrono::steady_clock;

std::string Latin1ToUtf8(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

// Reads and deletes the property: its bytes, and its type in `type`.
std::string TakeProperty(Display* display, Window window, Atom property, Atom& type) {
  std::string data;
  long offset = 0;  // in 32-bit units, as the protocol counts
  for (;;) {
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* bytes = nullptr;
    if (XGetWindowProperty(display, window, property, offset, 1 << 20, False, AnyPropertyType,
                           &type, &format, &items, &after, &bytes) != Success) {
      type = None;
      break;
    }
    const std::size_t size = items * static_cast<std::size_t>(format / 8);
    if (bytes != nullptr) {
      data.append(reinterpret_cast<const char*>(bytes), size);
      XFree(bytes);
    }
    if (after == 0) break;
    offset += static_cast<long>(size / 4);
  }
  XDeleteProperty(display, window, property);
  return data;
}

}  // namespace

std::unique_ptr<X11PrimarySelection> X11PrimarySelection::Connect() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return nullptr;
  return std::unique_ptr<X11PrimarySelection>(new X11PrimarySelection(display));
}

X11PrimarySelection::X11PrimarySelection(_XDisplay* display)
    : display_(display),
      window_(XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0)),
      property_(XInternAtom(display, "PARLUMO_SELECTION", False)) {
  // PropertyNotify tells of each chunk of an incremental transfer.
  XSelectInput(display_, window_, PropertyChangeMask);
}

X11PrimarySelection::~X11PrimarySelection() {
  XDestroyWindow(display_, window_);
  XCloseDisplay(display_);
}

bool X11PrimarySelection::WaitForEvent(int type, XEvent& event, Clock::time_point deadline) {
  for (;;) {
    while (XPending(display_) > 0) {
      XNextEvent(display_, &event);
      if (event.type == type && event.xany.window == window_) return true;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{ConnectionNumber(display_), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) < 0) return false;
  }
}

std::optional<std::string> X11PrimarySelection::Convert(unsigned long target,
                                                        Clock::time_point deadline) {
  XDeleteProperty(display_, window_, property_);
  XConvertSelection(display_, XA_PRIMARY, target, property_, window_, CurrentTime);
  XFlush(display_);
  XEvent event;
  if (!WaitForEvent(SelectionNotify, event, deadline)) return std::nullopt;
  if (event.xselection.property == None) return std::string();  // no such type: no text
  Atom type = None;
  std::string data = TakeProperty(display_, window_, property_, type);
  const Atom incremental = XInternAtom(display_, "INCR", False);
  if (type == incremental) {
    // Large texts come in chunks: each deletion asks for the next, an empty
    // chunk ends the transfer.
    data.clear();
    for (;;) {
      XEvent chunk;
      do {
        if (!WaitForEvent(PropertyNotify, chunk, deadline)) return std::nullopt;
      } while (chunk.xproperty.atom != property_ || chunk.xproperty.state != PropertyNewValue);
      Atom chunkType = None;
      const std::string part = TakeProperty(display_, window_, property_, chunkType);
      XFlush(display_);
      if (part.empty()) break;
      data += part;
    }
  }
  if (const auto nul = data.find('\0'); nul != std::string::npos) data.resize(nul);
  return target == XA_STRING ? Latin1ToUtf8(data) : data;
}

std::optional<std::string> X11PrimarySelection::ReadMarkedText() {
  if (XGetSelectionOwner(display_, XA_PRIMARY) == None) return std::string();
  const auto deadline = Clock::now() + kReadWait;
  std::optional<std::string> text = Convert(XInternAtom(display_, "UTF8_STRING", False), deadline);
  if (text && text->empty()) text = Convert(XA_STRING, deadline);
  return text;
}

}  // namespace parlumo
