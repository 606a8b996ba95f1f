#include "x11/KeyboardX11Support.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>

// Xlib's macros (None, KeyPress, ...) clash with Qt's names: it comes last.
#include <X11/Xlib.h>

namespace parlumo::keytest {

namespace {

// The error code of the last failed request while an ErrorTrap is active.
int g_lastError = 0;

int RecordError(Display* /*display*/, XErrorEvent* error) {
  g_lastError = error->error_code;
  return 0;
}

// Collects the errors of the requests made while it lives (after XSync).
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* display) : display_(display) {
    XSync(display_, False);
    g_lastError = 0;
    previous_ = XSetErrorHandler(RecordError);
  }
  ~ErrorTrap() { XSetErrorHandler(previous_); }
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  int Error() {
    XSync(display_, False);
    return g_lastError;
  }

 private:
  Display* display_;
  XErrorHandler previous_ = nullptr;
};

}  // namespace

OtherClient::OtherClient() : display_(XOpenDisplay(nullptr)) {}

OtherClient::~OtherClient() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

unsigned OtherClient::Keycode(unsigned long keysym) {
  // Xlib's own answer, on a connection of its own: Xlib caches the mapping per
  // connection, and this one may have just changed it.
  Display* fresh = XOpenDisplay(nullptr);
  if (fresh == nullptr) return 0;
  const unsigned keycode = XKeysymToKeycode(fresh, keysym);
  XCloseDisplay(fresh);
  return keycode;
}

unsigned OtherClient::ModifierOf(unsigned long keysym) {
  const unsigned keycode = Keycode(keysym);
  XModifierKeymap* map = XGetModifierMapping(display_);
  unsigned mask = 0;
  for (int row = 0; row < 8; ++row) {
    for (int i = 0; i < map->max_keypermod; ++i) {
      const KeyCode code = map->modifiermap[row * map->max_keypermod + i];
      if (code != 0 && code == keycode) mask |= 1u << row;
    }
  }
  XFreeModifiermap(map);
  return mask;
}

bool OtherClient::Grab(unsigned keycode, unsigned modifiers) {
  ErrorTrap trap(display_);
  XGrabKey(display_, static_cast<int>(keycode), modifiers, DefaultRootWindow(display_), False,
           GrabModeAsync, GrabModeAsync);
  return trap.Error() == 0;
}

void OtherClient::Ungrab(unsigned keycode, unsigned modifiers) {
  XUngrabKey(display_, static_cast<int>(keycode), modifiers, DefaultRootWindow(display_));
  XSync(display_, False);
}

bool OtherClient::ReceivedPress(unsigned keycode, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    XSync(display_, False);
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type == KeyPress && event.xkey.keycode == keycode) return true;
    }
    if (clock.elapsed() >= timeoutMs) return false;
    QThread::msleep(10);
  }
}

unsigned OtherClient::ModifierState() {
  Window root = 0;
  Window child = 0;
  int rootX = 0;
  int rootY = 0;
  int x = 0;
  int y = 0;
  unsigned mask = 0;
  XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rootX, &rootY, &x, &y,
                &mask);
  return mask & 0xFF;
}

bool OtherClient::KeyDown(unsigned keycode) {
  char keys[32] = {};
  XQueryKeymap(display_, keys);
  return (keys[keycode / 8] >> (keycode % 8)) & 1;
}

unsigned long OtherClient::FocusWindow() {
  Window focus = 0;
  int revertTo = 0;
  XGetInputFocus(display_, &focus, &revertTo);
  return focus;
}

std::vector<unsigned long> OtherClient::Keysyms(unsigned keycode) {
  int perKeycode = 0;
  KeySym* keysyms = XGetKeyboardMapping(display_, static_cast<KeyCode>(keycode), 1, &perKeycode);
  if (keysyms == nullptr) return {};
  std::vector<unsigned long> result(keysyms, keysyms + perKeycode);
  XFree(keysyms);
  return result;
}

void OtherClient::SetKeysyms(unsigned keycode, const std::vector<unsigned long>& keysyms) {
  int min = 0;
  int max = 0;
  XDisplayKeycodes(display_, &min, &max);
  int perKeycode = 0;
  KeySym* current = XGetKeyboardMapping(display_, static_cast<KeyCode>(min), 1, &perKeycode);
  XFree(current);
  std::vector<KeySym> row(static_cast<std::size_t>(perKeycode), NoSymbol);
  for (std::size_t i = 0; i < keysyms.size() && i < row.size(); ++i)
    row[i] = keysyms[i];
  XChangeKeyboardMapping(display_, static_cast<int>(keycode), perKeycode, row.data(), 1);
  XSync(display_, False);
}

unsigned OtherClient::FreeKeycode() {
  int min = 0;
  int max = 0;
  XDisplayKeycodes(display_, &min, &max);
  XModifierKeymap* map = XGetModifierMapping(display_);
  unsigned found = 0;
  for (int keycode = max; keycode >= min && found == 0; --keycode) {
    bool free = true;
    for (const unsigned long keysym : Keysyms(static_cast<unsigned>(keycode))) {
      if (keysym != NoSymbol) free = false;
    }
    for (int i = 0; i < 8 * map->max_keypermod; ++i) {
      if (map->modifiermap[i] == keycode) free = false;
    }
    if (free) found = static_cast<unsigned>(keycode);
  }
  XFreeModifiermap(map);
  return found;
}

SavedKeysyms::SavedKeysyms(OtherClient& other, const std::vector<unsigned>& keycodes)
    : other_(other) {
  for (const unsigned keycode : keycodes)
    saved_.emplace_back(keycode, other_.Keysyms(keycode));
}

SavedKeysyms::~SavedKeysyms() {
  for (const auto& [keycode, keysyms] : saved_)
    other_.SetKeysyms(keycode, keysyms);
}

CopyPeer::CopyPeer(const QString& text) {
  process_.start(PARLUMO_X11_COPY_PEER, {text});
}

CopyPeer::~CopyPeer() {
  // The peer ends when its input closes.
  process_.closeWriteChannel();
  if (!process_.waitForFinished(5000)) {
    process_.kill();
    process_.waitForFinished(5000);
  }
}

bool CopyPeer::WaitReady(int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  QByteArray output;
  while (clock.elapsed() < timeoutMs) {
    if (process_.state() == QProcess::NotRunning) return false;
    process_.waitForReadyRead(100);
    output += process_.readAllStandardOutput();
    if (output.contains("ready\n")) return true;
  }
  return false;
}

QString ClipboardText() {
  return QGuiApplication::clipboard()->text(QClipboard::Clipboard);
}

}  // namespace parlumo::keytest
