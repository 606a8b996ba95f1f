#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "desktop/MainInstance.h"
#include "runtime/EventLoop.h"

namespace parlumo {

// The single-instance platform on Linux: a lock file per identity (application
// title and class) in the user's runtime folder, held with flock for the life
// of the process, so that of copies started together exactly one claims it; and
// a local socket beside it on which the running copy takes the parameters of
// later copies and the request to come forward.
class LinuxInstancePlatform final : public InstancePlatform {
 public:
  // The running copy hears of later copies through these (on its loop).
  std::function<void(const std::string& parameters)> OnParameters;
  std::function<void()> OnBringForward;

  LinuxInstancePlatform(EventLoop& loop, std::string title, std::string className,
                        std::vector<std::string> parameters,
                        std::filesystem::path folder = DefaultFolder());
  ~LinuxInstancePlatform() override;
  LinuxInstancePlatform(const LinuxInstancePlatform&) = delete;
  LinuxInstancePlatform& operator=(const LinuxInstancePlatform&) = delete;

  // $XDG_RUNTIME_DIR, else /tmp/parlumo-<uid> (created for the user alone).
  static std::filesystem::path DefaultFolder();

  // Hands the text, as later copies hand over their parameters, to a copy
  // of the identity that runs and listens already, and waits until it has
  // taken it. One attempt, made before the program has built anything: false
  // when no copy listens (none runs, or one is only starting), and then the
  // ordinary start decides.
  static bool TryHandOver(const std::string& title, const std::string& className,
                          const std::string& text,
                          const std::filesystem::path& folder = DefaultFolder());

  std::string ApplicationTitle() const override { return title_; }
  std::string ApplicationClassName() const override { return className_; }
  std::vector<std::string> Parameters() const override { return parameters_; }
  bool ClaimFirstCopy(const std::string& title, const std::string& className) override;
  void HandOverParameters(const std::string& text) override;
  // Not when the parameters name an action (see CommandLine.h): the action
  // runs in the running copy without bringing its windows forward.
  void BringRunningCopyForward() override;
  [[noreturn]] void ExitProcess(int code) override;

 private:
  class Connection;

  std::filesystem::path PathFor(const std::string& title, const std::string& className,
                                const char* suffix) const;
  bool Send(char kind, const std::string& payload);
  void Accept();

  EventLoop& loop_;
  std::string title_;
  std::string className_;
  std::vector<std::string> parameters_;
  std::filesystem::path folder_;
  int lockFd_ = -1;
  int listenFd_ = -1;
  std::filesystem::path socketPath_;
  std::unique_ptr<EventLoop::Watch> listenWatch_;
  std::map<Connection*, std::unique_ptr<Connection>> connections_;
  Lifetime lifetime_;
};

}  // namespace parlumo
