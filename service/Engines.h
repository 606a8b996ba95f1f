#pragma once

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "DictionaryEngine.h"
#include "Engine.h"
#include "GermanIndex.h"
#include "OfferedPair.h"
#include "ResidentPipelines.h"

namespace parlumo::service {

class PipelinePool;

struct EngineOptions {
  std::string apertiumModes = "/usr/share/apertium/modes";
  std::string dictionaryFile = "/usr/share/trans/de-en";
  // The German engine's index is cached here (DefaultGermanIndexPath() for the
  // program); empty: it is built in memory at every start.
  std::string germanIndexFile;
  int processesPerEngine = 2;  // Apertium pipelines of one mode serving at the same time
  // Apertium pipelines running at once over every mode: at the cap, the one unused
  // the longest is stopped for a new one.
  int maxPipelines = 4;
  // The memory the Apertium pipelines may take together, in MB (0: no bound): for a
  // new one, those unused the longest are stopped until it fits.
  int engineMemoryMegabytes = 256;
  // An Apertium pipeline unused this long is stopped; its next request starts it again.
  int engineIdleSeconds = 120;
  // Start Apertium pipelines now (one a mode, as far as maxPipelines allows), not at
  // their first use.
  bool startAtOnce = false;
  // A pipeline must answer a request within this time; one that does not is
  // restarted and the request fails. Requests waiting for a pipeline of a mode
  // give up after a third of it when every pipeline of the mode is stuck.
  int engineTimeoutSeconds = 30;
};

// The translators of every pair the service offers, built from what is installed:
// Apertium where a mode exists (through Spanish where there is no direct one) and
// the German-English dictionary (through English for French). The dictionary starts
// loading at construction, the Apertium pipelines at their first use (or at once when
// the options say so); requests wait for them as needed.
class EngineSet {
 public:
  explicit EngineSet(const EngineOptions& options);
  ~EngineSet();

  // The translator of a pair code such as "en|de", or nullptr when not offered.
  Translator* Find(std::string_view pairCode) const;

  // The offered pairs: the program's twelve first, in its order, then the others.
  const std::vector<OfferedPair>& Pairs() const { return pairs_; }

  // The Apertium pipelines running now.
  ResidentPipelines Resident() const;

 private:
  // Set when the set is destroyed, so that a dictionary still loading stops early.
  std::shared_ptr<std::atomic<bool>> cancelLoading_ = std::make_shared<std::atomic<bool>>(false);
  std::shared_future<std::shared_ptr<const Dictionary>> dictionary_;
  std::shared_ptr<PipelinePool> pipelines_;
  std::map<std::string, std::shared_ptr<Translator>, std::less<>> translators_;
  std::vector<OfferedPair> pairs_;
};

}  // namespace parlumo::service
