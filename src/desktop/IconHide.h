#pragma once

#include <cstdint>

namespace parlumo {

// The application window: the hidden window that stands for the program on the
// taskbar. Its extended style uses the Windows bits; the adapter maps them
// (tool window: no taskbar button; topmost: kept above).
class TaskbarWindow {
 public:
  static constexpr std::uint32_t kExToolWindow = 0x00000080;
  static constexpr std::uint32_t kExTopmost = 0x00000008;

  virtual ~TaskbarWindow() = default;
  virtual std::uint32_t ExStyle() const = 0;
  // Failures are ignored.
  virtual void SetExStyle(std::uint32_t style) = 0;
  virtual void Show(bool visible) = 0;
};

// The process-wide taskbar state every TIconHide shares: made once at start,
// before any TIconHide, it keeps the application window's extended style of that
// moment, and Hidden starts false.
class IconHideState {
 public:
  explicit IconHideState(TaskbarWindow& window)
      : window_(window), savedExStyle_(window.ExStyle()) {}
  IconHideState(const IconHideState&) = delete;
  IconHideState& operator=(const IconHideState&) = delete;

  bool Hidden() const { return hidden_; }
  // Hides or shows the taskbar button; the current value changes nothing.
  void SetHidden(bool value);

 private:
  TaskbarWindow& window_;
  const std::uint32_t savedExStyle_;
  bool hidden_ = false;
};

// Keeps the program off the taskbar. Hidden reads and writes the shared state;
// construction hides, destruction restores nothing.
class TIconHide {
 public:
  explicit TIconHide(IconHideState& state);

  bool Hidden() const { return state_.Hidden(); }
  void SetHidden(bool value) { state_.SetHidden(value); }

 private:
  IconHideState& state_;
};

}  // namespace parlumo
