// Translation quality on real text: English <-> German by the dictionary engine, and
// English -> Spanish by Apertium for comparison, each scored with corpus chrF against
// the human translations of held-out documents of the parallel manuals (made by
// service/german/build-senses.py; the sense table never saw these documents). The
// scores are printed; a drop below the floor fails. PARLUMO_QUALITY_SETS names another
// folder of sets (a tuning set) to score instead.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iomanip>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ChrF.h"
#include "DictionaryEngine.h"
#include "Engines.h"
#include "GermanMorphology.h"

namespace parlumo::service {
namespace {

// Floors a little under the scores this build reaches on the held-out sets.
constexpr double kEnglishToGermanFloor = 49.9;
constexpr double kGermanToEnglishFloor = 50.9;

// Pairs "English TAB other language", one a line.
std::vector<std::pair<std::string, std::string>> ReadSet(const std::string& name) {
  const char* folder = std::getenv("PARLUMO_QUALITY_SETS");
  const std::string path =
      std::string(folder != nullptr ? folder : PARLUMO_TEST_DATA_DIR "/german") + "/" + name;
  std::ifstream in(path);
  std::vector<std::pair<std::string, std::string>> pairs;
  std::string line;
  while (std::getline(in, line)) {
    const auto tab = line.find('\t');
    if (tab != std::string::npos) pairs.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  return pairs;
}

// Translates the sources with the engine of the pair and scores them against the
// targets; prints the score and the first few translations, and writes every one
// beside its source and reference to tests/artifacts/quality-<name>.txt for reading.
double Score(Translator& translator, const std::vector<std::string>& sources,
             const std::vector<std::string>& targets, std::string_view pair,
             std::string_view name) {
  const auto translated = translator.Translate(sources);
  EXPECT_TRUE(translated) << pair;
  if (!translated) return 0;
  std::filesystem::create_directories(PARLUMO_QUALITY_ARTIFACTS);
  std::ofstream listing(std::string(PARLUMO_QUALITY_ARTIFACTS) + "/quality-" + std::string(name) +
                        ".txt");
  for (std::size_t i = 0; i < sources.size(); ++i) {
    listing << "source:      " << sources[i] << "\ntranslation: " << translated->at(i)
            << "\nreference:   " << targets[i] << "\n\n";
  }
  std::vector<std::string_view> hypotheses(translated->begin(), translated->end());
  std::vector<std::string_view> references(targets.begin(), targets.end());
  const double score = CorpusChrF(hypotheses, references);
  std::cout << pair << ": chrF " << std::fixed << std::setprecision(1) << score << " over "
            << sources.size() << " sentences\n";
  for (std::size_t i = 0; i < 3 && i < sources.size(); ++i)
    std::cout << "  " << sources[i] << "\n  -> " << translated->at(i) << "\n";
  return score;
}

TEST(GermanQualityTest, RealTextScoresAtLeastTheFloorBesideApertium) {
  if (!std::filesystem::exists("/usr/share/trans/de-en") ||
      !std::filesystem::exists(GermanMorphology::kAffixFile)) {
    GTEST_SKIP() << "trans-de-en and hunspell-de-de are not installed (scripts/install-deps)";
  }
  const auto german = ReadSet("heldout.en-de.tsv");
  const auto spanish = ReadSet("heldout.en-es.tsv");
  ASSERT_GE(german.size(), 300u);
  ASSERT_GE(spanish.size(), 300u);

  EngineOptions options;
  options.processesPerEngine = 1;
  EngineSet engines(options);
  std::vector<std::string> english, deutsch;
  for (const auto& [en, de] : german) {
    english.push_back(en);
    deutsch.push_back(de);
  }
  Translator* toGerman = engines.Find("en|de");
  Translator* toEnglish = engines.Find("de|en");
  ASSERT_NE(toGerman, nullptr);
  ASSERT_NE(toEnglish, nullptr);
  const double enDe = Score(*toGerman, english, deutsch, "en|de", "en-de");
  const double deEn = Score(*toEnglish, deutsch, english, "de|en", "de-en");

  if (Translator* toSpanish = engines.Find("en|es")) {
    std::vector<std::string> sources, targets;
    for (const auto& [en, es] : spanish) {
      sources.push_back(en);
      targets.push_back(es);
    }
    Score(*toSpanish, sources, targets, "en|es (Apertium, for comparison)", "en-es");
  } else {
    std::cout << "en|es: Apertium's pair is not installed\n";
  }
  // A change that makes real text worse fails here.
  EXPECT_GE(enDe, kEnglishToGermanFloor);
  EXPECT_GE(deEn, kGermanToEnglishFloor);

  // The same engine without the learnt senses: the table must pay its way.
  auto plain = Dictionary::LoadFile("/usr/share/trans/de-en", nullptr, nullptr);
  ASSERT_TRUE(plain);
  auto morphology = GermanMorphology::LoadFiles(std::string(GermanMorphology::kAffixFile),
                                                std::string(GermanMorphology::kWordFile));
  ASSERT_TRUE(morphology);
  plain->SetMorphology(std::make_shared<const GermanMorphology>(std::move(*morphology)));
  std::promise<std::shared_ptr<const Dictionary>> loaded;
  loaded.set_value(std::make_shared<const Dictionary>(std::move(*plain)));
  const auto dictionary = loaded.get_future().share();
  DictionaryTranslator plainToGerman(dictionary, Dictionary::Direction::EnglishToGerman);
  DictionaryTranslator plainToEnglish(dictionary, Dictionary::Direction::GermanToEnglish);
  EXPECT_GT(enDe, Score(plainToGerman, english, deutsch, "en|de without learnt senses",
                        "en-de-without-senses"));
  EXPECT_GT(deEn, Score(plainToEnglish, deutsch, english, "de|en without learnt senses",
                        "de-en-without-senses"));
}

}  // namespace
}  // namespace parlumo::service
