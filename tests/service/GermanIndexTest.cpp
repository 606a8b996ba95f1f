// The German engine's index: built once into the cache file and mapped afterwards;
// rebuilt when a source changes or the file is damaged in any way; kept in memory
// where the cache cannot be written. Every engine, however it came to be, translates
// alike (the small dictionary and Hunspell files of tests/data/german-index).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "GermanIndex.h"
#include "IndexImage.h"
#include "support/TempFolder.h"

namespace parlumo::service {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

class GermanIndexTest : public ::testing::Test {
 protected:
  GermanIndexTest() {
    const fs::path data = fs::path(PARLUMO_TEST_DATA_DIR) / "german-index";
    for (const char* name : {"de-en", "de_DE.aff", "de_DE.dic"})
      fs::copy_file(data / name, folder_.Path() / name);
    sources_.dictionary = (folder_.Path() / "de-en").string();
    sources_.affixes = (folder_.Path() / "de_DE.aff").string();
    sources_.words = (folder_.Path() / "de_DE.dic").string();
  }

  GermanEngine Open() { return OpenGermanEngine(sources_, cache_.string(), nullptr); }

  // What every engine over these sources gives: the dictionary, its noun plurals and
  // strong verb forms, and the Hunspell rules ("dunkle", not "dunkele").
  static void ExpectTranslates(const GermanEngine& engine) {
    ASSERT_NE(engine.dictionary, nullptr) << engine.report;
    using D = Dictionary::Direction;
    EXPECT_EQ(engine.dictionary->Translate("the dark house", D::EnglishToGerman),
              "das dunkle Haus");
    EXPECT_EQ(engine.dictionary->Translate("The child sleeps in the garden.", D::EnglishToGerman),
              "Das Kind schläft im Garten.");
    EXPECT_EQ(engine.dictionary->Translate("Die Kinder spielen im Garten.", D::GermanToEnglish),
              "The children play in the garden.");
  }

  test::TempFolder folder_{"parlumo-index"};
  fs::path cache_ = folder_.Path() / "cache" / "parlumo" / "german-index";
  GermanSources sources_;
};

TEST_F(GermanIndexTest, BuiltOnceThenMappedAsItIs) {
  const GermanEngine built = Open();
  EXPECT_THAT(built.report, StartsWith("index built in "));
  EXPECT_THAT(built.report, HasSubstr("; cached in " + cache_.string()));
  ExpectTranslates(built);
  ASSERT_TRUE(fs::exists(cache_));
  EXPECT_EQ(fs::status(cache_.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
  const FileStamp written = StampOf(cache_.string());

  const GermanEngine mapped = Open();
  EXPECT_THAT(mapped.report, StartsWith("index mapped from " + cache_.string()));
  ExpectTranslates(mapped);
  EXPECT_EQ(StampOf(cache_.string()), written) << "the second start rewrote the index";
}

TEST_F(GermanIndexTest, RebuiltWhenASourceChanges) {
  struct Case {
    const char* what;
    std::function<void(const GermanSources&)> change;
  };
  const Case cases[] = {
      {"a word added to the dictionary",
       [](const GermanSources& s) {
         WriteAll(s.dictionary, ReadAll(s.dictionary) + "Katze {f} | Katzen {pl} :: cat | cats\n");
       }},
      {"the affix file touched",
       [](const GermanSources& s) {
         fs::last_write_time(s.affixes, fs::last_write_time(s.affixes) + std::chrono::hours(1));
       }},
      {"the word list replaced by a copy",
       [](const GermanSources& s) {
         const std::string text = ReadAll(s.words);
         fs::remove(s.words);
         WriteAll(s.words, text);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectTranslates(Open());
    c.change(sources_);
    const GermanEngine rebuilt = Open();
    EXPECT_THAT(rebuilt.report, StartsWith("index in " + cache_.string() +
                                           " built from other files; index built in "));
    ExpectTranslates(rebuilt);
    EXPECT_THAT(Open().report, StartsWith("index mapped from "));
  }
  const GermanEngine last = Open();
  EXPECT_EQ(last.dictionary->Lookup("cat", Dictionary::Direction::EnglishToGerman), "Katze");
}

TEST_F(GermanIndexTest, DamagedIndexIsRebuiltNeverTrusted) {
  struct Case {
    const char* what;
    std::function<std::string(std::string)> damage;
    const char* fault;
  };
  const Case cases[] = {
      {"cut in half", [](std::string b) { return b.substr(0, b.size() / 2); }, "truncated"},
      {"empty", [](const std::string&) { return std::string(); }, "truncated"},
      {"a byte one longer", [](std::string b) { return b + '\0'; }, "damaged"},
      {"a byte of the texts flipped",
       [](std::string b) {
         b[b.size() - 9] ^= 0x20;
         return b;
       },
       "damaged"},
      {"a byte of the tables flipped",
       [](std::string b) {
         b[b.size() / 3] ^= 0x01;
         return b;
       },
       "damaged"},
      {"the format version changed",
       [](std::string b) {
         b[8] ^= 0x7F;
         return b;
       },
       "not an index of this version"},
      {"another file in its place", [](const std::string&) { return std::string(4096, 'x'); },
       "not an index of this version"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectTranslates(Open());
    WriteAll(cache_, c.damage(ReadAll(cache_)));
    const GermanEngine rebuilt = Open();
    EXPECT_THAT(rebuilt.report,
                StartsWith("index in " + cache_.string() + " " + c.fault + "; index built in "));
    ExpectTranslates(rebuilt);
    EXPECT_THAT(Open().report, StartsWith("index mapped from "));
  }
}

TEST_F(GermanIndexTest, AnUnwritableCacheStillServes) {
  // A regular file where the cache folder should be: no folder can be made there,
  // whoever runs the test (root writes into a folder without write permission).
  WriteAll(folder_.Path() / "blocked", "a file, not a folder");
  struct Case {
    fs::path cache;
    const char* why;
  };
  const Case cases[] = {
      {folder_.Path() / "blocked" / "parlumo" / "german-index", "; kept in memory (cannot create "},
      {fs::path(), "; kept in memory (no cache folder)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cache.string());
    const GermanEngine engine = OpenGermanEngine(sources_, c.cache.string(), nullptr);
    EXPECT_THAT(engine.report, HasSubstr(c.why));
    ExpectTranslates(engine);
  }
}

TEST_F(GermanIndexTest, AMissingDictionaryGivesNoEngineAndNoFile) {
  sources_.dictionary = (folder_.Path() / "no-such-dictionary").string();
  const GermanEngine engine = Open();
  EXPECT_EQ(engine.dictionary, nullptr);
  EXPECT_THAT(engine.report, HasSubstr("unusable"));
  EXPECT_FALSE(fs::exists(cache_));
}

TEST(IndexImageTest, ReferencesOutsideTheImageReadAsEmpty) {
  IndexWriter writer;
  const TextRef key = writer.Text("key");
  writer.AddTable(IndexTable::StrongInfinitives,
                  std::vector<PairRow>{{.key = key, .value = TextRef{1u << 30, 5}}});
  const auto image = IndexImage::FromBytes(writer.Finish({}));
  ASSERT_NE(image, nullptr);
  const auto row = image->Find<PairRow>(IndexTable::StrongInfinitives, "key");
  ASSERT_TRUE(row);
  EXPECT_EQ(image->Text(row->value), "");
  // A table the image does not hold, and a row type that is not the table's.
  EXPECT_FALSE(image->Find<PairRow>(IndexTable::Nouns, "key"));
  EXPECT_FALSE(image->Find<StrongFormsRow>(IndexTable::StrongInfinitives, "key"));
}

TEST(IndexImageTest, BytesThatDoNotCheckOutAreRefused) {
  IndexWriter writer;
  writer.AddTable(IndexTable::WordFlags, std::vector<PairRow>{{.key = writer.Text("spielen"),
                                                               .value = writer.Text("IX")}});
  const std::vector<std::byte> good = writer.Finish({});
  ASSERT_NE(IndexImage::FromBytes(good), nullptr);
  for (std::size_t at : {std::size_t{0}, std::size_t{20}, good.size() / 2, good.size() - 1}) {
    std::vector<std::byte> bad = good;
    bad[at] ^= std::byte{0x10};
    EXPECT_EQ(IndexImage::FromBytes(bad), nullptr) << "byte " << at;
  }
  EXPECT_EQ(IndexImage::FromBytes({}), nullptr);
}

// The resident size of this process's mappings of a file, in kB (from smaps).
long MappedKilobytes(const std::string& path) {
  std::ifstream smaps("/proc/self/smaps");
  long total = 0;
  bool inFile = false;
  for (std::string line; std::getline(smaps, line);) {
    if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) &&
        line.find('-') != std::string::npos && line.find(' ') != std::string::npos) {
      inFile = line.ends_with(" " + path);
    } else if (inFile && line.starts_with("Rss:")) {
      total += std::stol(line.substr(4));
    }
  }
  return total;
}

TEST_F(GermanIndexTest, ReleasedPagesLeaveMemoryAndComeBackWithTheNextLookup) {
  ASSERT_NE(Open().dictionary, nullptr);
  const GermanEngine engine = Open();
  ASSERT_THAT(engine.report, StartsWith("index mapped from "));
  ExpectTranslates(engine);
  EXPECT_GT(MappedKilobytes(cache_.string()), 0);
  engine.dictionary->ReleasePages();
  EXPECT_EQ(MappedKilobytes(cache_.string()), 0);
  ExpectTranslates(engine);
  EXPECT_GT(MappedKilobytes(cache_.string()), 0);
}

TEST_F(GermanIndexTest, ALookupMapsOnlyThePagesItReads) {
  // Enough words that the index spans megabytes, of which a sentence reads a few pages.
  {
    std::ofstream dictionary(sources_.dictionary, std::ios::app);
    for (int i = 0; i < 40000; ++i)
      dictionary << "Wort" << i << " {n} | Worte" << i << " {pl} :: word" << i << " | words" << i
                 << "\n";
  }
  ASSERT_NE(Open().dictionary, nullptr);
  const auto fileKilobytes = static_cast<long>(fs::file_size(cache_) / 1024);
  ASSERT_GT(fileKilobytes, 4096);
  const GermanEngine engine = Open();
  ASSERT_THAT(engine.report, StartsWith("index mapped from "));
  ExpectTranslates(engine);
  EXPECT_LT(MappedKilobytes(cache_.string()), fileKilobytes / 8) << "of " << fileKilobytes << " kB";
}

}  // namespace
}  // namespace parlumo::service
