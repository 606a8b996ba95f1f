#pragma once

#include <chrono>
#include <cstddef>
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
    std::size_t footprint = 0;  // bytes one of its pipelines takes, as measured; 0: not yet
  };
  int maxPipelines = 0;              // the most that run at once
  std::size_t memoryBudget = 0;      // bytes they may take together; 0: no bound
  std::chrono::seconds idleTime{0};  // unused this long, a pipeline is stopped
  std::vector<Mode> modes;           // the modes with a pipeline running, in the pool's order
};

}  // namespace parlumo::service
