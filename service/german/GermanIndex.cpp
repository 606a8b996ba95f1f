#include "GermanIndex.h"

#include <malloc.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "runtime/ProcessMemory.h"

namespace parlumo::service {

namespace {

// What the index is built from: the three files, and this program (its build rules
// and the senses compiled into it shape the index as much as the files do).
IndexSources StampsOf(const GermanSources& sources) {
  return {StampOf(sources.dictionary), StampOf(sources.affixes), StampOf(sources.words),
          StampOf("/proc/self/exe")};
}

// The image of a freshly built index: mapped from the cache file once it is written
// there (so that only the pages lookups touch take memory), else the bytes themselves.
std::shared_ptr<const IndexImage> Keep(std::vector<std::byte> bytes, const std::string& cacheFile,
                                       const IndexSources& stamps, std::string& report) {
  if (cacheFile.empty()) {
    report += "; kept in memory (no cache folder)";
  } else if (const auto error = WriteImageFile(cacheFile, bytes)) {
    report += "; kept in memory (" + *error + ")";
  } else if (auto opened = IndexImage::Map(cacheFile, stamps); opened.image) {
    report += "; cached in " + cacheFile;
    return std::move(opened.image);
  } else {
    report +=
        "; kept in memory (the file written is " + std::string(ImageFaultName(*opened.fault)) + ")";
  }
  return IndexImage::FromBytes(std::move(bytes));
}

}  // namespace

std::string DefaultGermanIndexPath() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  // An empty or relative value is to be ignored, as the base directory rules say.
  if (cache != nullptr && cache[0] == '/') return std::string(cache) + "/parlumo/german-index";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.cache/parlumo/german-index";
  return {};
}

GermanEngine OpenGermanEngine(const GermanSources& sources, const std::string& cacheFile,
                              const std::atomic<bool>* cancel) {
  const auto start = std::chrono::steady_clock::now();
  const IndexSources stamps = StampsOf(sources);
  GermanEngine engine;
  std::shared_ptr<const IndexImage> image;
  if (!cacheFile.empty()) {
    auto opened = IndexImage::Map(cacheFile, stamps);
    if (opened.image) {
      image = std::move(opened.image);
      engine.report = "index mapped from " + cacheFile + " (" + MegabytesText(image->Size()) + ")";
    } else if (opened.fault != ImageFault::Missing) {
      engine.report =
          "index in " + cacheFile + " " + std::string(ImageFaultName(*opened.fault)) + "; ";
    }
  }
  if (!image) {
    std::vector<std::byte> bytes;
    {
      IndexWriter writer;
      std::ifstream dictionary(sources.dictionary);
      if (!dictionary ||
          !Dictionary::Build(dictionary, writer, cancel, &Dictionary::DefaultSenses())) {
        engine.report = "dictionary " + sources.dictionary + " unusable";
        return engine;
      }
      std::ifstream words(sources.words);
      if (words) GermanMorphology::BuildWords(words, writer);
      bytes = writer.Finish(stamps);
    }
    // The tables the build filled are gone: give their memory back to the system.
    ::malloc_trim(0);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    engine.report += "index built in " + std::to_string(took.count()) + " ms (" +
                     MegabytesText(bytes.size()) + ")";
    image = Keep(std::move(bytes), cacheFile, stamps, engine.report);
    if (!image) {
      engine.report += "; the index built does not check out";
      return engine;
    }
  }
  auto dictionary = std::make_shared<Dictionary>(image);
  // Without the Hunspell rules the grammar uses the regular endings.
  std::ifstream affixes(sources.affixes);
  if (auto morphology = affixes ? GermanMorphology::WithWords(affixes, image) : std::nullopt) {
    dictionary->SetMorphology(std::make_shared<const GermanMorphology>(std::move(*morphology)));
  }
  engine.dictionary = std::move(dictionary);
  return engine;
}

}  // namespace parlumo::service
