#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "desktop/GlobalHotKey.h"

namespace parlumo::test {

// A keyboard shared by every receiver it creates and by "other programs": a
// chord is held by at most one owner, a press goes to its holder only.
class FakeHotKeyPlatform : public HotKeyPlatform {
 public:
  struct Call {
    bool registering;   // false: Unregister
    HotKeyChord chord;  // the chord asked for (Register) or held (Unregister)
  };

  class FakeReceiver : public Receiver {
   public:
    FakeReceiver(FakeHotKeyPlatform& platform, std::function<void()> onPress)
        : platform_(platform), onPress_(std::move(onPress)) {}
    ~FakeReceiver() override {
      if (held_) platform_.owners_.erase(*held_);
      platform_.receivers_.erase(this);
    }

    bool Register(const HotKeyChord& chord) override {
      platform_.calls.push_back({true, chord});
      if (held_ || platform_.refuseAll || platform_.owners_.count(Key(chord))) return false;
      held_ = Key(chord);
      platform_.owners_[*held_] = this;
      return true;
    }
    void Unregister() override {
      platform_.calls.push_back({false, held_ ? Chord(*held_) : HotKeyChord{}});
      if (held_) platform_.owners_.erase(*held_);
      held_.reset();
    }

    std::optional<std::pair<unsigned, unsigned>> held_;
    FakeHotKeyPlatform& platform_;
    std::function<void()> onPress_;
  };

  bool CanGrab() const override { return canGrab; }

  std::unique_ptr<Receiver> CreateReceiver(std::function<void()> onPress) override {
    auto receiver = std::make_unique<FakeReceiver>(*this, std::move(onPress));
    receivers_.insert(receiver.get());
    return receiver;
  }

  // Another program takes the chord.
  void HoldElsewhere(const HotKeyChord& chord) { owners_[Key(chord)] = nullptr; }
  void ReleaseElsewhere(const HotKeyChord& chord) { owners_.erase(Key(chord)); }

  // The user presses the chord; false when nobody of ours holds it.
  bool Press(const HotKeyChord& chord) {
    auto it = owners_.find(Key(chord));
    if (it == owners_.end() || it->second == nullptr) return false;
    auto onPress = it->second->onPress_;  // the receiver may go during the press
    onPress();
    return true;
  }

  bool IsHeldByUs(const HotKeyChord& chord) const {
    auto it = owners_.find(Key(chord));
    return it != owners_.end() && it->second != nullptr;
  }
  std::size_t HeldByUs() const {
    std::size_t n = 0;
    for (const auto& [key, owner] : owners_)
      n += owner != nullptr;
    return n;
  }
  std::size_t LiveReceivers() const { return receivers_.size(); }
  std::size_t RegisterCalls() const {
    std::size_t n = 0;
    for (const auto& call : calls)
      n += call.registering;
    return n;
  }
  std::size_t UnregisterCalls() const { return calls.size() - RegisterCalls(); }

  std::vector<Call> calls;
  bool refuseAll = false;
  // What CanGrab says: false as on a Wayland desktop without a shortcuts portal.
  bool canGrab = true;

 private:
  static std::pair<unsigned, unsigned> Key(const HotKeyChord& c) {
    return {c.modifiers, c.virtualKey};
  }
  static HotKeyChord Chord(std::pair<unsigned, unsigned> k) { return {k.first, k.second}; }

  std::map<std::pair<unsigned, unsigned>, FakeReceiver*> owners_;
  std::set<FakeReceiver*> receivers_;
};

}  // namespace parlumo::test
