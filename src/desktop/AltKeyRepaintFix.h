#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace parlumo {

// A window message as a form's handler sees it.
struct FormMessage {
  unsigned msg = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  std::intptr_t result = 0;
};
using FormWindowProc = std::function<void(FormMessage&)>;

// The keyboard-cue state of a window changes (Alt pressed: access keys shown).
inline constexpr unsigned kWmUpdateUiState = 0x0128;

// A control as the repaint sees it.
class RepaintControl {
 public:
  virtual ~RepaintControl() = default;
  // Controls without a window of their own are drawn by their parent.
  virtual bool HasWindow() const = 0;
  virtual void Repaint() = 0;
  virtual std::vector<RepaintControl*> Children() const = 0;
};

// A form: a control whose message handler can be replaced while the previous
// one stays callable.
class RepaintForm : public RepaintControl {
 public:
  virtual FormWindowProc WindowProc() const = 0;
  virtual void SetWindowProc(FormWindowProc proc) = 0;
};

// What the fix needs of the windowing system.
class FormsPlatform {
 public:
  // Ends the subscription when destroyed.
  class Subscription {
   public:
    virtual ~Subscription() = default;
  };

  virtual ~FormsPlatform() = default;
  // The operating system's major version in the Windows numbering; nothing when
  // unknown or not Windows.
  virtual std::optional<int> OsMajorVersion() const = 0;
  virtual bool VisualStylesEnabled() const = 0;
  // The application's existing forms, in its order.
  virtual std::vector<RepaintForm*> Forms() const = 0;
  // onIdle runs every time the application goes idle.
  virtual std::unique_ptr<Subscription> SubscribeIdle(std::function<void()> onIdle) = 0;
};

// The record of one watched form: hooks the form's handler so that a
// keyboard-cue change marks the form for a repaint.
class TFormObj {
 public:
  // Hooks the form; the record starts in use.
  TFormObj(RepaintForm& form, bool repaintAll);
  // Leaves the form alone: a record is freed because its form is gone, or after
  // Unhook. A hook still installed after the record is freed only passes messages on.
  ~TFormObj() = default;
  TFormObj(const TFormObj&) = delete;
  TFormObj& operator=(const TFormObj&) = delete;

  // Gives the form its previous handler back when the record's hook is still the
  // form's handler (nobody hooked on top of it). The form must still exist.
  void Unhook();

  RepaintForm* Form() const { return form_; }
  bool InUse() const { return inUse_; }
  void SetInUse(bool value) { inUse_ = value; }
  bool NeedsRepaint() const { return flags_->needsRepaint; }
  bool RepaintAll() const { return repaintAll_; }

  // Clears needs repaint and repaints the form: with repaint all, the form and
  // every windowed control under it, each before its own children; else the form
  // alone.
  void Repaint();

 private:
  struct Flags {
    bool needsRepaint = false;
  };
  struct HookProc {
    std::shared_ptr<const FormWindowProc> previous;
    std::weak_ptr<Flags> flags;
    void operator()(FormMessage& message) const;
  };

  RepaintForm* form_;
  std::shared_ptr<const FormWindowProc> previous_;
  std::shared_ptr<Flags> flags_ = std::make_shared<Flags>();
  bool inUse_ = true;
  bool repaintAll_;
};

// Repaints a form's controls at the next idle moment after the form's keyboard
// cues changed, where the visual styles leave them half drawn. Active only on
// Windows 6 or later with visual styles on at construction; otherwise it does
// nothing for its whole life.
class TAltKeyRepaintFix {
 public:
  explicit TAltKeyRepaintFix(FormsPlatform& platform);
  // Forms that still exist get their previous handlers back.
  ~TAltKeyRepaintFix();
  TAltKeyRepaintFix(const TAltKeyRepaintFix&) = delete;
  TAltKeyRepaintFix& operator=(const TAltKeyRepaintFix&) = delete;

  bool Active() const { return idle_ != nullptr; }
  // Taken by the records made from now on.
  bool RepaintAll() const { return repaintAll_; }
  void SetRepaintAll(bool value) { repaintAll_ = value; }

  // Runs on every idle moment: records new forms, forgets gone ones, repaints
  // those that saw a keyboard-cue change.
  void IdlePass();

  const std::vector<std::unique_ptr<TFormObj>>& Records() const { return records_; }

 private:
  FormsPlatform& platform_;
  bool repaintAll_ = true;
  std::vector<std::unique_ptr<TFormObj>> records_;
  std::unique_ptr<FormsPlatform::Subscription> idle_;
};

}  // namespace parlumo
