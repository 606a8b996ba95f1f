#include "desktop/GlobalHotKey.h"

namespace parlumo {

TGlobalHotKey::TGlobalHotKey(HotKeyPlatform& platform)
    : receiver_(platform.CreateReceiver([this] { Press(); })) {}

TGlobalHotKey::~TGlobalHotKey() {
  Unregister();
  receiver_.reset();
}

void TGlobalHotKey::SetEnabled(bool value) {
  enabled_ = value;
  if (value) {
    Register();
  } else {
    Unregister();
  }
}

void TGlobalHotKey::SetKey(TShortCut value) {
  if (value == key_) return;
  key_ = value;
  Unregister();
  if (enabled_) Register();
}

void TGlobalHotKey::Loaded() {
  if (enabled_) Register();
}

void TGlobalHotKey::Register() {
  // An existing registration is never renewed.
  if (registered_) return;
  registered_ = receiver_->Register(SplitShortCut(key_));
}

void TGlobalHotKey::Unregister() {
  if (!registered_) return;
  receiver_->Unregister();
  registered_ = false;
}

void TGlobalHotKey::Press() {
  // Any press that reaches this receiver counts as this shortcut's. The handler
  // runs from a copy: it may destroy this component.
  if (!OnHotKey) return;
  TNotifyEvent handler = OnHotKey;
  handler(*this);
}

}  // namespace parlumo
