#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace parlumo::service {

// The Apertium pipelines running at one moment, for the service's start page.
struct ResidentPipelines {
  struct Mode {
    std::string name;                           // the Apertium mode ("eng-spa")
    int running = 0;                            // its pipelines running, in use or idle
    int inUse = 0;                              // those on a request
    std::vector<std::chrono::seconds> idleFor;  // how long each idle one has been unused
  };
  int maxPipelines = 0;              // the most that run at once
  std::chrono::seconds idleTime{0};  // unused this long, a pipeline is stopped
  std::vector<Mode> modes;           // the modes with a pipeline running, in the pool's order
};

}  // namespace parlumo::service
