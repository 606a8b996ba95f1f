#include "desktop/IconHide.h"

namespace parlumo {

void IconHideState::SetHidden(bool value) {
  if (value == hidden_) return;
  hidden_ = value;
  window_.Show(false);
  window_.SetExStyle(value
                         ? savedExStyle_ | TaskbarWindow::kExToolWindow | TaskbarWindow::kExTopmost
                         : savedExStyle_);
  window_.Show(true);
}

TIconHide::TIconHide(IconHideState& state) : state_(state) {
  state_.SetHidden(true);
}

}  // namespace parlumo
