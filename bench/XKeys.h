#pragma once

#include <string>
#include <vector>

namespace parlumo::bench {

// Synthetic key events on the X server of DISPLAY, through XTest, on a
// connection of their own (Xlib's header stays out of the Qt code).
class XKeys {
 public:
  struct Event {
    std::string keysym;  // a keysym name: "Control_L", "t"
    bool down;
  };
  XKeys();
  ~XKeys();
  XKeys(const XKeys&) = delete;
  XKeys& operator=(const XKeys&) = delete;

  bool Connected() const { return display_ != nullptr; }
  // Sends the events in order and flushes them to the server.
  void Send(const std::vector<Event>& events);

 private:
  void* display_;
};

}  // namespace parlumo::bench
