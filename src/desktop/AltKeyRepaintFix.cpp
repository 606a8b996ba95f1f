#include "desktop/AltKeyRepaintFix.h"

#include <algorithm>

namespace parlumo {
namespace {

void RepaintTree(RepaintControl& control) {
  if (!control.HasWindow()) return;
  control.Repaint();
  for (RepaintControl* child : control.Children())
    RepaintTree(*child);
}

}  // namespace

void TFormObj::HookProc::operator()(FormMessage& message) const {
  // Copies: the call may replace the form's handler, and with it this object.
  const auto previousProc = previous;
  const auto record = flags;
  if (*previousProc) (*previousProc)(message);
  if (message.msg != kWmUpdateUiState) return;
  if (auto alive = record.lock()) alive->needsRepaint = true;
}

TFormObj::TFormObj(RepaintForm& form, bool repaintAll)
    : form_(&form),
      previous_(std::make_shared<const FormWindowProc>(form.WindowProc())),
      repaintAll_(repaintAll) {
  form.SetWindowProc(HookProc{previous_, flags_});
}

void TFormObj::Unhook() {
  const FormWindowProc current = form_->WindowProc();
  const HookProc* hook = current.target<HookProc>();
  if (hook == nullptr || hook->flags.lock() != flags_) return;
  form_->SetWindowProc(*previous_);
}

void TFormObj::Repaint() {
  flags_->needsRepaint = false;
  if (repaintAll_) {
    RepaintTree(*form_);
  } else {
    form_->Repaint();
  }
}

TAltKeyRepaintFix::TAltKeyRepaintFix(FormsPlatform& platform) : platform_(platform) {
  const std::optional<int> major = platform.OsMajorVersion();
  if (!major || *major <= 5 || !platform.VisualStylesEnabled()) return;
  idle_ = platform.SubscribeIdle([this] { IdlePass(); });
}

TAltKeyRepaintFix::~TAltKeyRepaintFix() {
  idle_.reset();
  if (records_.empty()) return;
  const std::vector<RepaintForm*> forms = platform_.Forms();
  for (const auto& record : records_) {
    if (std::find(forms.begin(), forms.end(), record->Form()) != forms.end()) record->Unhook();
  }
  records_.clear();
}

void TAltKeyRepaintFix::IdlePass() {
  if (!Active()) return;
  for (const auto& record : records_)
    record->SetInUse(false);

  for (RepaintForm* form : platform_.Forms()) {
    auto it = std::find_if(records_.begin(), records_.end(),
                           [form](const auto& record) { return record->Form() == form; });
    if (it != records_.end()) {
      (*it)->SetInUse(true);
    } else {
      records_.push_back(std::make_unique<TFormObj>(*form, repaintAll_));
    }
  }

  for (auto i = records_.size(); i > 0; --i) {
    TFormObj& record = *records_[i - 1];
    if (!record.InUse()) {
      records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(i - 1));
    } else if (record.NeedsRepaint()) {
      record.Repaint();
    }
  }
}

}  // namespace parlumo
