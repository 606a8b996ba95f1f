#pragma once

#include <QDBusConnection>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/GlobalHotKey.h"

namespace parlumo {

// The shortcut a chord asks the GlobalShortcuts portal for, in the portal's
// shortcuts format: the modifiers CTRL, ALT, SHIFT (in this order) joined by
// '+', then the XKB keysym name of the key ("CTRL+ALT+t" for Ctrl+Alt+T).
// Nothing for a key without a keysym (virtual key 0 among them).
std::optional<std::string> PreferredTrigger(const HotKeyChord& chord);

// Global hotkeys through the xdg-desktop-portal GlobalShortcuts interface
// (version 1), for desktops where no client may grab keys (Wayland).
//
// The portal binds shortcuts asynchronously, and a desktop may ask the user
// first (GNOME shows a dialog), while Register must answer at once. So:
// - Register answers true when the portal is there, the chord has a keysym and
//   no other receiver of this platform holds the same chord; nothing has been
//   bound yet then. Every registration and every Unregister of one turn of the
//   event loop is collected, and the whole set is bound afterwards with one
//   BindShortcuts in a fresh session; the session of the previous set is
//   closed (org.freedesktop.portal.Session.Close). A change while a round is
//   under way starts the next round when the current one has answered.
// - Each receiver's shortcut has a stable id and description: the names given
//   to the constructor, in the order the receivers were created ("hotkey-N" and
//   "Hotkey N" beyond them), so that a desktop remembers the user's choice from
//   one start to the next.
// - CanGrab starts true when the portal is on the bus (false otherwise) and
//   stays so until a round fails: the portal answers a request with a
//   response other than 0 (refused or cancelled by the user), a call fails (the
//   portal went away, or has no GlobalShortcuts), or the portal accepts the
//   bind but reports no shortcut with a trigger (Plasma 5.27 answers 0 with an
//   empty list), or the portal leaves the bus. A later round that binds
//   something makes it true again (one starts by itself when the portal comes
//   back and registrations are held); so does nothing else. Whenever it
//   changes, the callback of SetOnCanGrabChange runs (last, from the event
//   dispatch; it may destroy this platform).
// - A shortcut the portal reports without a trigger does not count as bound;
//   its receiver stays registered (a later round, or ShortcutsChanged, may
//   bind it).
// - Activated of this platform's current session runs the receiver's onPress
//   on the thread of the QCoreApplication, from the event dispatch; never once
//   the receiver has unregistered or is gone. Deactivated (the release) is not
//   a press.
//
// Everything runs on the thread of the QCoreApplication, which must exist for
// the platform's whole life. Receivers may outlive the platform; they hold
// nothing then.
class PortalShortcuts final : public HotKeyPlatform {
 public:
  // A receiver's shortcut as the portal shows it to the user.
  struct ShortcutName {
    QString id;           // stable, e.g. "quick-translation-1"
    QString description;  // shown by the desktop, e.g. "Quick translation 1"
  };

  PortalShortcuts(QDBusConnection bus, std::vector<ShortcutName> names);
  ~PortalShortcuts() override;
  PortalShortcuts(const PortalShortcuts&) = delete;
  PortalShortcuts& operator=(const PortalShortcuts&) = delete;

  // On the session bus, when a portal there offers GlobalShortcuts (its
  // "version" property answers 1 or more); nullptr otherwise (no session bus,
  // no portal, a portal without the interface), so that the caller can fall
  // back. Blocks for the answer, at most a few seconds (the portal may be
  // started on demand).
  static std::unique_ptr<PortalShortcuts> ForSessionBus(std::vector<ShortcutName> names);
  // Whether the bus has such a portal now.
  static bool Available(const QDBusConnection& bus);

  std::unique_ptr<Receiver> CreateReceiver(std::function<void()> onPress) override;
  bool CanGrab() const override;

  // Runs when CanGrab changes (see above); may be empty.
  void SetOnCanGrabChange(std::function<void()> onChange);

  // The registrations and the portal session, shared with the receivers.
  class Core;

 private:
  std::shared_ptr<Core> core_;
};

}  // namespace parlumo
