#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

typedef struct xcb_connection_t xcb_connection_t;

namespace parlumo::test {

// A rectangle on the screen, in root-window coordinates.
struct ScreenRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  int CenterX() const { return x + width / 2; }
  int CenterY() const { return y + height / 2; }
};

// Looks at the X server of DISPLAY from outside a program, on a connection of
// its own: where the notification area has taken in another process's icon.
class TrayProbe {
 public:
  // display: an X display name such as ":5"; nullptr for DISPLAY.
  explicit TrayProbe(const char* display = nullptr);
  ~TrayProbe();
  TrayProbe(const TrayProbe&) = delete;
  TrayProbe& operator=(const TrayProbe&) = delete;

  bool Connected() const;

  // The icon of the process: a mapped window with its _NET_WM_PID inside the
  // window tree of the tray host (a top-level window whose class contains
  // hostClass). Nothing while there is none.
  std::optional<ScreenRect> IconOf(pid_t pid, const std::string& hostClass = "trayer");

 private:
  xcb_connection_t* connection_;
};

}  // namespace parlumo::test
