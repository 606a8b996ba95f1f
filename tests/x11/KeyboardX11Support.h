#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

#include "x11/X11TestSupport.h"

// Xlib's display, declared as Xlib declares it (its header clashes with Qt's
// and GoogleTest's names).
typedef struct _XDisplay Display;

namespace parlumo::keytest {

using x11test::Pump;
using x11test::WaitUntil;
using x11test::Xdotool;

// Another client of the X server, on a connection of its own: a second
// program that grabs keys, looks at the keyboard and changes its mapping.
class OtherClient {
 public:
  OtherClient();
  ~OtherClient();
  OtherClient(const OtherClient&) = delete;
  OtherClient& operator=(const OtherClient&) = delete;

  bool Connected() const { return display_ != nullptr; }

  // The keycode that types the keysym now, 0 when none does.
  unsigned Keycode(unsigned long keysym);
  // The modifier bits whose rows hold the keysym's key.
  unsigned ModifierOf(unsigned long keysym);

  // Grabs the key with exactly these modifiers on the root window; false when
  // the server refuses (another client holds the combination). Ungrab lets go.
  bool Grab(unsigned keycode, unsigned modifiers);
  void Ungrab(unsigned keycode, unsigned modifiers);
  // Whether a press of the keycode reached this client (through its grab)
  // within the time; earlier events are consumed.
  bool ReceivedPress(unsigned keycode, int timeoutMs = 2000);

  // The current modifier state and whether a key is down, as the server has it.
  unsigned ModifierState();
  bool KeyDown(unsigned keycode);

  // The window that has the keyboard focus (or PointerRoot, 1, or None, 0).
  unsigned long FocusWindow();

  // The keysyms of a keycode (every column), and replacing them: the server
  // tells every client about the new mapping.
  std::vector<unsigned long> Keysyms(unsigned keycode);
  void SetKeysyms(unsigned keycode, const std::vector<unsigned long>& keysyms);
  // The highest keycode without any keysym and on no modifier; 0 when none.
  unsigned FreeKeycode();

 private:
  Display* display_;
};

// Puts the symbols of keycodes back as they were when it was made, so that a
// test that changes the server's keyboard mapping leaves it as it found it.
class SavedKeysyms {
 public:
  SavedKeysyms(OtherClient& other, const std::vector<unsigned>& keycodes);
  ~SavedKeysyms();
  SavedKeysyms(const SavedKeysyms&) = delete;
  SavedKeysyms& operator=(const SavedKeysyms&) = delete;

 private:
  OtherClient& other_;
  std::vector<std::pair<unsigned, std::vector<unsigned long>>> saved_;
};

// A program with a focused line edit whose whole text is selected: the target
// of synthetic copy keystrokes. It owns the clipboard once it has copied, for
// as long as it runs.
class CopyPeer {
 public:
  explicit CopyPeer(const QString& text);
  ~CopyPeer();
  CopyPeer(const CopyPeer&) = delete;
  CopyPeer& operator=(const CopyPeer&) = delete;

  // Waits until it reports that its line edit has the focus with all selected.
  bool WaitReady(int timeoutMs = 10000);

 private:
  QProcess process_;
};

// The text the application's clipboard holds now.
QString ClipboardText();

}  // namespace parlumo::keytest
