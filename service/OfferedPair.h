#pragma once

#include <string>

namespace parlumo::service {

// A language pair the service offers and what translates it: what the engine
// registry builds and the provider's pages list.
struct OfferedPair {
  std::string code;    // "en|de"
  std::string engine;  // "ding dictionary (...)", "Apertium eng-spa, then Apertium es-fr"
};

}  // namespace parlumo::service
