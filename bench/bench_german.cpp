// The German dictionary engine, each figure beside a reference of the same run:
// - a ten-word sentence with the grammar, beside the same sentence looked up word by
//   word (the engine without its grammar), in each direction;
// - a warm answer of the running service for en|de (one HTTP request on a new
//   connection, as the program sends it; no reference: it must stay below 5 ms);
// - the start-up index build (dictionary and Hunspell rules), beside reading the
//   dictionary file and splitting its lines (the floor of any index build); its
//   counter heap_MB is the memory the loaded engine holds.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <fstream>
#include <memory>
#include <string>

#include "DictionaryEngine.h"
#include "GermanMorphology.h"
#include "RatioReporter.h"
#include "ServiceProcess.h"
#include "ServiceTranslations.h"

namespace {

using parlumo::service::Dictionary;
using parlumo::service::GermanMorphology;

constexpr const char* kDictionaryFile = "/usr/share/trans/de-en";
constexpr const char* kEnglish = "The old man walks his small dog in the park.";
constexpr const char* kGerman = "Der alte Mann geht mit seinem kleinen Hund im Park.";

std::unique_ptr<Dictionary> LoadEngine() {
  auto loaded = Dictionary::LoadFile(kDictionaryFile);
  if (!loaded) return nullptr;
  if (auto morphology = GermanMorphology::LoadFiles(std::string(GermanMorphology::kAffixFile),
                                                    std::string(GermanMorphology::kWordFile))) {
    loaded->SetMorphology(std::make_shared<const GermanMorphology>(std::move(*morphology)));
  }
  return std::make_unique<Dictionary>(std::move(*loaded));
}

const Dictionary* Engine() {
  static const std::unique_ptr<Dictionary> engine = LoadEngine();
  return engine.get();
}

void Sentence(benchmark::State& state, const char* text, Dictionary::Direction direction,
              bool grammar) {
  const Dictionary* engine = Engine();
  if (engine == nullptr) {
    state.SkipWithError("no dictionary at /usr/share/trans/de-en");
    return;
  }
  for (auto _ : state)
    benchmark::DoNotOptimize(engine->Translate(text, direction, grammar));
}

void BM_EnglishGermanGrammar(benchmark::State& state) {
  Sentence(state, kEnglish, Dictionary::Direction::EnglishToGerman, true);
}
void BM_EnglishGermanWordByWord(benchmark::State& state) {
  Sentence(state, kEnglish, Dictionary::Direction::EnglishToGerman, false);
}
void BM_GermanEnglishGrammar(benchmark::State& state) {
  Sentence(state, kGerman, Dictionary::Direction::GermanToEnglish, true);
}
void BM_GermanEnglishWordByWord(benchmark::State& state) {
  Sentence(state, kGerman, Dictionary::Direction::GermanToEnglish, false);
}

void BM_ServiceEnglishGerman(benchmark::State& state) {
  static parlumo::testing::ServiceProcess service;
  parlumo::bench::MeasureTranslations(state, service.Port(), kEnglish, "en|de");
}

void BM_IndexBuild(benchmark::State& state) {
  for (auto _ : state) {
    const std::size_t before = mallinfo2().uordblks;
    auto engine = LoadEngine();
    if (!engine) {
      state.SkipWithError("no dictionary at /usr/share/trans/de-en");
      break;
    }
    state.counters["heap_MB"] =
        static_cast<double>(mallinfo2().uordblks - before) / (1024.0 * 1024.0);
  }
}

void BM_ReadAndSplitLines(benchmark::State& state) {
  for (auto _ : state) {
    std::ifstream in(kDictionaryFile);
    std::string line;
    std::size_t fields = 0;
    while (std::getline(in, line))
      fields += line.find(" :: ") != std::string::npos ? 1 : 0;
    benchmark::DoNotOptimize(fields);
  }
}

BENCHMARK(BM_EnglishGermanGrammar)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_EnglishGermanWordByWord)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_GermanEnglishGrammar)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_GermanEnglishWordByWord)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ServiceEnglishGerman)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.5)
    ->Repetitions(3);
BENCHMARK(BM_IndexBuild)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(2);
BENCHMARK(BM_ReadAndSplitLines)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(2);

}  // namespace

int main(int argc, char** argv) {
  using parlumo::bench::RatioReporter;
  return parlumo::bench::RunWithRatios(argc, argv, RatioReporter::Time::Real,
                                       {{"BM_EnglishGermanGrammar", "BM_EnglishGermanWordByWord"},
                                        {"BM_GermanEnglishGrammar", "BM_GermanEnglishWordByWord"},
                                        {"BM_IndexBuild", "BM_ReadAndSplitLines"}});
}
