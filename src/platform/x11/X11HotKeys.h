#pragma once

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <functional>
#include <memory>

#include "desktop/GlobalHotKey.h"

namespace parlumo {

// Global hotkeys over X: a registration is a passive key grab on the root
// window, made once for every combination of the lock modifiers (Caps Lock,
// Num Lock and, where the layout puts it on a modifier, Scroll Lock) so that the
// shortcut works whatever they say. Alt is the modifier the layout gives Alt_L
// or Alt_R (Mod1 on usual layouts). Every grab request is checked: when the
// server refuses one (another client holds the combination) the ones already
// made are released and the registration fails, silently. Within this process
// a chord held by one receiver is refused to the others, as the system refuses
// a second registration of the same shortcut.
//
// Presses arrive through a native event filter on the application's X
// connection. Every press of the key with exactly the chord's modifiers (lock
// modifiers, pointer buttons and keyboard group aside) calls the receiver's
// onPress once and is consumed; releases are not presses. Auto-repeat presses
// while the shortcut is held are presses too, as the system delivers them for a
// registration without a no-repeat flag. Before onPress runs, the keyboard grab
// that the press activated is let go, so that keys the handler synthesises
// (the copy keystroke) reach the focused application rather than this one.
//
// A keyboard or modifier mapping change re-reads both mappings and makes every
// registration again at its key's new keycode. A registration that cannot be
// made again (its key vanished from the layout, or another client took the
// combination in the meantime) ends: the receiver holds nothing and receives
// nothing until it registers again. Its owner is not told (the interface has
// no way to), so a TGlobalHotKey tries again only when its Key changes or it is
// disabled and enabled.
//
// Everything runs on the thread of the QCoreApplication, which must exist for
// the platform's whole life, and so must the connection. Receivers may outlive
// the platform; they hold nothing then.
class X11HotKeyPlatform final : public HotKeyPlatform, private QAbstractNativeEventFilter {
 public:
  X11HotKeyPlatform(xcb_connection_t* connection, xcb_window_t root);
  ~X11HotKeyPlatform() override;
  X11HotKeyPlatform(const X11HotKeyPlatform&) = delete;
  X11HotKeyPlatform& operator=(const X11HotKeyPlatform&) = delete;

  // Over the running QGuiApplication's own X connection and its default
  // screen's root window; nullptr when the application does not run on X11.
  static std::unique_ptr<X11HotKeyPlatform> ForApplication();

  std::unique_ptr<Receiver> CreateReceiver(std::function<void()> onPress) override;

  // The registrations, shared by the platform and its receivers.
  class Core;

 private:
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
  void ScheduleRegrab();

  // Shared with the receivers, which may outlive this object.
  std::shared_ptr<Core> core_;
  // The first event code of the keyboard extension (0 without it): its map
  // notifications replace the core one for clients that use it, as Qt does.
  std::uint8_t xkbFirstEvent_ = 0;
  bool regrabPending_ = false;
  // Context of the deferred re-grab: it goes with this object.
  QObject context_;
};

}  // namespace parlumo
