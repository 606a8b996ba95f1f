#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "desktop/AltKeyRepaintFix.h"

namespace parlumo::test {

// A control that writes its name into a shared repaint log.
class FakeControl : public RepaintControl {
 public:
  FakeControl(std::string name, bool hasWindow, std::vector<std::string>& repaints)
      : name_(std::move(name)), hasWindow_(hasWindow), repaints_(repaints) {}

  FakeControl& Add(std::string name, bool hasWindow) {
    children_.push_back(std::make_unique<FakeControl>(std::move(name), hasWindow, repaints_));
    return *children_.back();
  }

  bool HasWindow() const override { return hasWindow_; }
  void Repaint() override { repaints_.push_back(name_); }
  std::vector<RepaintControl*> Children() const override {
    std::vector<RepaintControl*> children;
    for (const auto& child : children_)
      children.push_back(child.get());
    return children;
  }

 private:
  std::string name_;
  bool hasWindow_;
  std::vector<std::string>& repaints_;
  std::vector<std::unique_ptr<FakeControl>> children_;
};

// A form with a replaceable message handler; its own handler counts messages.
class FakeForm : public RepaintForm {
 public:
  FakeForm(std::string name, std::vector<std::string>& repaints)
      : name_(std::move(name)), repaints_(repaints), proc_(OwnProc{this}) {}

  FakeControl& Add(std::string name, bool hasWindow) {
    children_.push_back(std::make_unique<FakeControl>(std::move(name), hasWindow, repaints_));
    return *children_.back();
  }

  // The system sends a message to the form.
  std::intptr_t Send(unsigned msg) {
    FormMessage message{msg, 0, 0, 0};
    auto proc = proc_;  // the handler may replace itself
    proc(message);
    return message.result;
  }

  bool HasWindow() const override { return true; }
  void Repaint() override { repaints_.push_back(name_); }
  std::vector<RepaintControl*> Children() const override {
    std::vector<RepaintControl*> children;
    for (const auto& child : children_)
      children.push_back(child.get());
    return children;
  }
  FormWindowProc WindowProc() const override { return proc_; }
  void SetWindowProc(FormWindowProc proc) override { proc_ = std::move(proc); }

  // True while the form's handler is its own, not a hook.
  bool OwnHandlerInstalled() const { return proc_.target<OwnProc>() != nullptr; }

  int ownHandlerCalls = 0;

 private:
  struct OwnProc {
    FakeForm* form;
    void operator()(FormMessage& message) const {
      ++form->ownHandlerCalls;
      message.result = 42;
    }
  };

  std::string name_;
  std::vector<std::string>& repaints_;
  std::vector<std::unique_ptr<FakeControl>> children_;
  FormWindowProc proc_;
};

// The application: its list of forms, the system facts and the idle event.
class FakeFormsPlatform : public FormsPlatform {
 public:
  class FakeSubscription : public Subscription {
   public:
    explicit FakeSubscription(FakeFormsPlatform& platform) : platform_(platform) {}
    ~FakeSubscription() override { platform_.onIdle_ = nullptr; }

   private:
    FakeFormsPlatform& platform_;
  };

  std::optional<int> OsMajorVersion() const override { return osMajor; }
  bool VisualStylesEnabled() const override { return visualStyles; }
  std::vector<RepaintForm*> Forms() const override { return forms; }
  std::unique_ptr<Subscription> SubscribeIdle(std::function<void()> onIdle) override {
    onIdle_ = std::move(onIdle);
    return std::make_unique<FakeSubscription>(*this);
  }

  // The application goes idle; false when nobody listens.
  bool Idle() {
    if (!onIdle_) return false;
    auto onIdle = onIdle_;
    onIdle();
    return true;
  }
  bool Subscribed() const { return static_cast<bool>(onIdle_); }

  std::optional<int> osMajor = 10;
  bool visualStyles = true;
  std::vector<RepaintForm*> forms;

 private:
  std::function<void()> onIdle_;
};

}  // namespace parlumo::test
