#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "desktop/MainInstance.h"

namespace parlumo::test {

class FakeInstanceCopy;

// The user's desktop: which copy runs for each (title, class) identity.
class FakeDesktop {
 public:
  FakeInstanceCopy* Running(const std::string& title, const std::string& className) const {
    auto it = running_.find({title, className});
    return it == running_.end() ? nullptr : it->second;
  }
  std::size_t RunningCount() const { return running_.size(); }

 private:
  friend class FakeInstanceCopy;
  std::map<std::pair<std::string, std::string>, FakeInstanceCopy*> running_;
};

// One started copy of the program.
class FakeInstanceCopy : public InstancePlatform {
 public:
  FakeInstanceCopy(FakeDesktop& desktop, std::string title, std::string className,
                   std::vector<std::string> parameters = {})
      : desktop_(desktop),
        title_(std::move(title)),
        className_(std::move(className)),
        parameters_(std::move(parameters)) {}

  std::string ApplicationTitle() const override { return title_; }
  std::string ApplicationClassName() const override { return className_; }
  std::vector<std::string> Parameters() const override { return parameters_; }

  bool ClaimFirstCopy(const std::string& title, const std::string& className) override {
    log.push_back("claim");
    auto [it, inserted] = desktop_.running_.try_emplace({title, className}, this);
    if (inserted) return true;
    peer_ = it->second;
    return false;
  }
  void HandOverParameters(const std::string& text) override {
    log.push_back("hand over");
    if (peer_) peer_->received.push_back(text);
  }
  void BringRunningCopyForward() override {
    log.push_back("forward");
    if (peer_) ++peer_->broughtForward;
  }
  void ExitProcess(int code) override {
    log.push_back("exit");
    exitCode = code;
  }

  // What happened to this copy.
  std::vector<std::string> log;
  std::optional<int> exitCode;
  // What other copies did to it while it runs.
  std::vector<std::string> received;
  int broughtForward = 0;

 private:
  FakeDesktop& desktop_;
  std::string title_;
  std::string className_;
  std::vector<std::string> parameters_;
  FakeInstanceCopy* peer_ = nullptr;
};

}  // namespace parlumo::test
