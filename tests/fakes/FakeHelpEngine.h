#pragma once

#include <string>
#include <vector>

#include "desktop/HtmlHelpViewer.h"

namespace parlumo::test {

// Records every engine call.
class FakeHelpEngine : public HelpEngine {
 public:
  struct Request {
    HelpCommand command;
    std::string file;
    Data data;
    friend bool operator==(const Request&, const Request&) = default;
  };

  bool Available() const override { return available; }
  void Call(HelpCommand command, const std::string& file, const Data& data) override {
    requests.push_back({command, file, data});
  }

  bool available = true;
  std::vector<Request> requests;
};

// The help manager's and the application's settings, set by the test.
class FakeHelpHost : public HelpHost {
 public:
  std::string ManagerHelpFile() const override { return managerHelpFile; }
  std::string ApplicationHelpFile() const override { return applicationHelpFile; }
  std::string ModuleFileName() const override { return moduleFileName; }

  std::string managerHelpFile;
  std::string applicationHelpFile = "/opt/parlumo/parlumo.chm";
  std::string moduleFileName = "/opt/parlumo/parlumo";
};

}  // namespace parlumo::test
