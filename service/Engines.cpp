#include "Engines.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>

#include "ApertiumEngine.h"
#include "PipelinePool.h"
#include "translate/LanguagePairs.h"

namespace parlumo::service {

namespace {

// Apertium modes for a direct pair (pair code -> mode name).
constexpr std::pair<std::string_view, std::string_view> kApertiumModes[] = {
    {"en|es", "eng-spa"}, {"es|en", "spa-eng"}, {"fr|es", "fr-es"},   {"es|fr", "es-fr"},
    {"es|pt", "es-pt"},   {"pt|es", "pt-es"},   {"es|it", "spa-ita"}, {"it|es", "ita-spa"}};

// Pairs made of two others.
struct Chain {
  std::string_view pair;
  std::array<std::string_view, 2> steps;
};
constexpr Chain kChains[] = {{"en|fr", {"en|es", "es|fr"}}, {"en|it", {"en|es", "es|it"}},
                             {"en|pt", {"en|es", "es|pt"}}, {"fr|en", {"fr|es", "es|en"}},
                             {"it|en", {"it|es", "es|en"}}, {"pt|en", {"pt|es", "es|en"}},
                             {"fr|de", {"fr|en", "en|de"}}, {"de|fr", {"de|en", "en|fr"}}};

}  // namespace

EngineSet::EngineSet(const EngineOptions& options) {
  PipelineLimits limits;
  limits.maxProcesses = std::max(options.processesPerEngine, 1);
  limits.maxPipelines = std::max(options.maxPipelines, 1);
  limits.memoryBudget = static_cast<std::size_t>(std::max(options.engineMemoryMegabytes, 0)) << 20;
  limits.idleTime = std::chrono::seconds(options.engineIdleSeconds);
  limits.timeout = std::chrono::seconds(options.engineTimeoutSeconds);
  limits.stallTime = limits.timeout / 3;
  pipelines_ = std::make_shared<PipelinePool>(limits);
  for (const auto& [pair, mode] : kApertiumModes) {
    auto pipeline = NullFlushPipeline(options.apertiumModes + "/" + std::string(mode) + ".mode");
    if (!pipeline) continue;
    const auto id = pipelines_->AddMode(std::string(mode), std::move(*pipeline));
    if (options.startAtOnce) pipelines_->StartNow(id);
    translators_.emplace(std::string(pair), std::make_shared<ApertiumTranslator>(pipelines_, id));
  }
  if (std::filesystem::exists(options.dictionaryFile)) {
    GermanSources sources;
    sources.dictionary = options.dictionaryFile;
    dictionary_ = std::async(std::launch::async,
                             [sources, cacheFile = options.germanIndexFile,
                              cancel = cancelLoading_]() -> std::shared_ptr<const Dictionary> {
                               auto engine = OpenGermanEngine(sources, cacheFile, cancel.get());
                               if (!cancel->load()) {
                                 std::fprintf(stderr, "parlumo-service: German engine: %s\n",
                                              engine.report.c_str());
                               }
                               return std::move(engine.dictionary);
                             })
                      .share();
    // Unused for the engine idle time, the index's pages leave memory like the
    // Apertium pipelines do; a translation is only ever under way with the
    // dictionary loaded, so the release never waits for it.
    auto idle = std::make_shared<IdleRelease>(
        std::chrono::seconds(options.engineIdleSeconds), [dictionary = dictionary_] {
          if (const auto loaded = dictionary.get()) {
            loaded->ReleasePages();
            std::fprintf(stderr, "parlumo-service: German engine unused; its index left memory\n");
          }
        });
    translators_.emplace("de|en", std::make_shared<DictionaryTranslator>(
                                      dictionary_, Dictionary::Direction::GermanToEnglish, idle));
    translators_.emplace("en|de", std::make_shared<DictionaryTranslator>(
                                      dictionary_, Dictionary::Direction::EnglishToGerman, idle));
  }
  // Chains in table order: a later chain may use an earlier one (de|fr uses en|fr).
  for (const auto& [pair, steps] : kChains) {
    std::vector<std::shared_ptr<Translator>> parts;
    for (const auto step : steps) {
      const auto it = translators_.find(step);
      if (it == translators_.end()) break;
      parts.push_back(it->second);
    }
    if (parts.size() != steps.size()) continue;
    translators_.emplace(std::string(pair), std::make_shared<ChainTranslator>(std::move(parts)));
  }

  // The program's pairs first, in the order of its table; then the others.
  for (int i = 0; i < kLanguagePairCount; ++i) {
    const std::string_view pair = LanguagePairCode(i);
    if (const auto it = translators_.find(pair); it != translators_.end()) {
      pairs_.push_back({std::string(pair), it->second->Description()});
    }
  }
  for (const auto& [pair, translator] : translators_) {
    if (LanguagePairIndex(pair) < 0) pairs_.push_back({pair, translator->Description()});
  }
}

EngineSet::~EngineSet() {
  cancelLoading_->store(true);
}

ResidentPipelines EngineSet::Resident() const {
  return pipelines_->Resident();
}

Translator* EngineSet::Find(std::string_view pairCode) const {
  const auto it = translators_.find(pairCode);
  return it == translators_.end() ? nullptr : it->second.get();
}

}  // namespace parlumo::service
