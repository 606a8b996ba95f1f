#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "desktop/IconHide.h"

namespace parlumo::test {

// The application window: its extended style and the calls made on it.
class FakeTaskbarWindow : public TaskbarWindow {
 public:
  explicit FakeTaskbarWindow(std::uint32_t startStyle) : style(startStyle) {}

  std::uint32_t ExStyle() const override { return style; }
  void SetExStyle(std::uint32_t value) override {
    log.push_back("style");
    style = value;
  }
  void Show(bool visible) override { log.push_back(visible ? "show" : "hide"); }

  std::uint32_t style;
  std::vector<std::string> log;
};

}  // namespace parlumo::test
