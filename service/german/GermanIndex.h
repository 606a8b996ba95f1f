#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "DictionaryEngine.h"
#include "GermanMorphology.h"

namespace parlumo::service {

// The files the English-German engine is built from.
struct GermanSources {
  std::string dictionary = "/usr/share/trans/de-en";
  std::string affixes = std::string(GermanMorphology::kAffixFile);
  std::string words = std::string(GermanMorphology::kWordFile);
};

// The engine, and how it came to be (one line for the service's log).
struct GermanEngine {
  std::shared_ptr<const Dictionary> dictionary;  // null when the dictionary is unusable
  std::string report;
};

// Where the engine's index is cached: $XDG_CACHE_HOME/parlumo/german-index, else
// $HOME/.cache/parlumo/german-index; empty when neither variable is set.
std::string DefaultGermanIndexPath();

// The engine over its index. The index file at `cacheFile` is mapped when it checks
// out and was built from these very sources by this very program. Otherwise the index
// is built (seconds of work), written there and mapped; where it cannot be written,
// it is kept in memory and the report says why. An empty `cacheFile` keeps it in
// memory. Without the Hunspell files the grammar uses the regular endings. Nothing
// when *cancel turns true while it builds.
GermanEngine OpenGermanEngine(const GermanSources& sources, const std::string& cacheFile,
                              const std::atomic<bool>* cancel = nullptr);

}  // namespace parlumo::service
