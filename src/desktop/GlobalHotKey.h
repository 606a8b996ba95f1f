#pragma once

#include <functional>
#include <memory>

#include "desktop/ShortCut.h"

namespace parlumo {

// The platform side of a global hotkey: one receiver per component, able to
// hold one system-wide registration at a time.
class HotKeyPlatform {
 public:
  // Receives the presses of its registration. Destroying it drops any
  // registration it still holds.
  class Receiver {
   public:
    virtual ~Receiver() = default;
    // Claims the chord for this receiver system-wide. False when the platform
    // refuses it (another client or receiver holds it, or no such key exists);
    // nothing is held then.
    virtual bool Register(const HotKeyChord& chord) = 0;
    // Gives the registration up; failures are not reported.
    virtual void Unregister() = 0;
  };

  virtual ~HotKeyPlatform() = default;

  // onPress runs on the user-interface thread, from the event dispatch, for every
  // press of the receiver's registration. It is never called after the receiver
  // is destroyed.
  virtual std::unique_ptr<Receiver> CreateReceiver(std::function<void()> onPress) = 0;
  // False when this session lets the program hold no system-wide shortcut at
  // all (a Wayland desktop without a shortcuts portal that binds them): the
  // user then binds the program's commands in the desktop's own settings. It
  // may change while the program runs (a portal answers late).
  virtual bool CanGrab() const { return true; }
};

// A session in which no program can hold a system-wide shortcut (a Wayland
// desktop without a shortcuts portal): every registration is refused, and the
// user binds the program's commands in the desktop instead.
class NoHotKeyPlatform final : public HotKeyPlatform {
 public:
  std::unique_ptr<Receiver> CreateReceiver(std::function<void()> /*onPress*/) override {
    return std::make_unique<Refusing>();
  }
  bool CanGrab() const override { return false; }

 private:
  class Refusing final : public Receiver {
   public:
    bool Register(const HotKeyChord& /*chord*/) override { return false; }
    void Unregister() override {}
  };
};

// One system-wide keyboard shortcut. The registration follows Enabled and Key by
// itself: it is made when both say so and the platform accepts it, and given up
// when either changes or the component goes. A refused registration is silent;
// the next attempt comes only with a different Key or Enabled set true again.
class TGlobalHotKey {
 public:
  using TNotifyEvent = std::function<void(TGlobalHotKey& sender)>;

  explicit TGlobalHotKey(HotKeyPlatform& platform);
  ~TGlobalHotKey();
  TGlobalHotKey(const TGlobalHotKey&) = delete;
  TGlobalHotKey& operator=(const TGlobalHotKey&) = delete;

  bool Enabled() const { return enabled_; }
  // True registers (unless already registered), false unregisters; at once, also
  // while the owner is still loading.
  void SetEnabled(bool value);

  TShortCut Key() const { return key_; }
  // The current value changes nothing at all. Any other value unregisters and,
  // when Enabled, registers the new shortcut.
  void SetKey(TShortCut value);

  // The owner has applied its stored properties.
  void Loaded();

  // Raised on every press, with this component as sender. The handler may pump
  // events; a further press is then dispatched from inside it. Handlers must not
  // throw.
  TNotifyEvent OnHotKey;

 private:
  void Register();
  void Unregister();
  void Press();

  std::unique_ptr<HotKeyPlatform::Receiver> receiver_;
  bool enabled_ = true;
  TShortCut key_ = 0;
  bool registered_ = false;
};

}  // namespace parlumo
