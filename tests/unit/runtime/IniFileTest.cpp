#include "runtime/IniFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "support/FileEvents.h"
#include "support/TempFolder.h"

namespace parlumo {
namespace {

namespace fs = std::filesystem;

// A fresh folder per test, removed afterwards.
class IniFileTest : public ::testing::Test {
 protected:
  fs::path Path(const std::string& name = "parlumo.ini") const { return dir_ / name; }

  static void Put(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
  }
  static std::string Get(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  size_t EntriesInDir() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }

  test::TempFolder temp_{"parlumo-ini"};
  const fs::path& dir_ = temp_.Path();
};

struct ReadCase {
  const char* file;
  const char* section;
  const char* key;
  const char* expected;  // nullptr: the default
};

TEST(IniDocumentTest, LookupRules) {
  const ReadCase cases[] = {
      {"[General]\nStartupType=2\n", "General", "StartupType", "2"},
      {"[general]\nstartuptype=2\n", "GENERAL", "StartupType", "2"},
      {"[ General ]\n  StartupType  =  2  \n", "General", "StartupType", "2"},
      {"[General]\r\nStartupType=2\r\n", "General", "StartupType", "2"},
      {"[Proxy]\nServer=\"  spaced  \"\n", "Proxy", "Server", "  spaced  "},
      {"[Proxy]\nServer=\"half\n", "Proxy", "Server", "\"half"},
      {"[Proxy]\nServer=a=b\n", "Proxy", "Server", "a=b"},
      {"[Proxy]\nServer=\n", "Proxy", "Server", ""},
      {"[Proxy]\nServer=x\n", "Proxy", "Port", nullptr},
      {"[Proxy]\nServer=x\n", "General", "Server", nullptr},
      {"Server=x\n[Proxy]\n", "Proxy", "Server", nullptr},
      {"[A]\nk=1\n[B]\nk=2\n", "B", "k", "2"},
      {"[A]\nk=1\n[B]\n", "B", "k", nullptr},
      {"[A]\nk=1\nk=2\n", "A", "k", "1"},
      {"[A]\nk=1\n[a]\nk=2\nj=3\n", "A", "j", nullptr},
      {"[A]\n;k=1\n#k=2\nk=3\n", "A", "k", "3"},
      {"\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "1"},
      {"[A]\nk=Gr\xC3\xBC\xC3\x9F"
       "e\n",
       "A", "k",
       "Gr\xC3\xBC\xC3\x9F"
       "e"},
      {"[A]\nno equals sign\nk=1", "A", "k", "1"},
      {"", "A", "k", nullptr},
      // a file cut after a carriage return: the stray "\r" is no part of the value
      {"[A]\nk=x\r", "A", "k", "x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const auto value = TIniDocument(c.file).Get(c.section, c.key);
    if (c.expected == nullptr) {
      EXPECT_FALSE(value.has_value());
    } else {
      ASSERT_TRUE(value.has_value());
      EXPECT_EQ(*value, c.expected);
    }
  }
}

struct WriteCase {
  const char* before;
  const char* section;
  const char* key;
  const char* value;
  const char* after;
};

TEST(IniDocumentTest, SetChangesOnlyItsLine) {
  const WriteCase cases[] = {
      // replaced in place, comments and unknown keys kept
      {"; mine\n[General]\nUnknown=7\nStartupType=3 ; x\n\n[Proxy]\nServer=a\n", "general",
       "StartupType", "1", "; mine\n[General]\nUnknown=7\nStartupType=1\n\n[Proxy]\nServer=a\n"},
      // added after the section's last non-blank line, before the blank separator
      {"[General]\nA=1\n\n[Proxy]\n", "General", "B", "2", "[General]\nA=1\nB=2\n\n[Proxy]\n"},
      // new section at the end, set apart by a blank line
      {"[General]\nA=1\n", "Proxy", "Server", "p", "[General]\nA=1\n\n[Proxy]\nServer=p\n"},
      // a last line without a line ending gets one
      {"[General]\nA=1", "General", "B", "2", "[General]\nA=1\nB=2\n"},
      // Windows line endings stay Windows line endings
      {"[General]\r\nA=1\r\n", "General", "B", "2", "[General]\r\nA=1\r\nB=2\r\n"},
      // empty file
      {"", "General", "A", "1", "[General]\nA=1\n"},
      // only the first of two equal sections is used
      {"[A]\nx=1\n[a]\nk=2\n", "A", "k", "3", "[A]\nx=1\nk=3\n[a]\nk=2\n"},
      // values that reading would change are quoted
      {"[A]\n", "A", "k", " pad ", "[A]\nk=\" pad \"\n"},
      {"[A]\n", "A", "k", "\"q\"", "[A]\nk=\"\"q\"\"\n"},
      {"[A]\n", "A", "k", "", "[A]\nk=\n"},
      // after a comment that ends the section, before the blank lines after it
      {"[A]\nk=1\n; note\n\n\n[B]\n", "A", "j", "2", "[A]\nk=1\n; note\nj=2\n\n\n[B]\n"},
      {"[A]\n\n; c\n  \n", "A", "k", "v", "[A]\n\n; c\nk=v\n  \n"},
      {"[A]\n; c", "A", "k", "v", "[A]\n; c\nk=v\n"},
      // a new section after a last line that is blank gets no second blank line
      {"; c\n\n", "A", "k", "v", "; c\n\n[A]\nk=v\n"},
      {"\xEF\xBB\xBF", "A", "k", "v", "\xEF\xBB\xBF\n\n[A]\nk=v\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.before) + " <- " + c.key);
    TIniDocument document(c.before);
    document.Set(c.section, c.key, c.value);
    EXPECT_EQ(document.Text(), c.after);
    EXPECT_EQ(document.Get(c.section, c.key).value_or("<missing>"), c.value);
  }
}

// Several writes may be made on one document before it is stored: the file must
// end as it did when every write read the file anew, whatever the file holds.
TEST(IniDocumentTest, SetsOnOneDocumentGiveWhatSetsOnTheFileReadAnewGive) {
  const char* const files[] = {
      "",
      "; comment\n\n[General]\nUnknown=7\n\n\n; last\n[Proxy]\nServer=a\n",
      "[General]\r\nA=1\r\n\r\n[Proxy]\r\n",
      "[General]\nA=1",
      // cut after a carriage return
      "[General]\nA=x\r",
      "[Proxy]\nServer=x\r",
      "[Proxy]\n; c",
      "\xEF\xBB\xBF",
      "\xEF\xBB\xBF[Languages]\n",
      "[general]\nk=1\n[General]\nk=2\n\n",
      "junk\r\n\r\n",
  };
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } writes[] = {
      {"General", "A", "2"},      {"Proxy", "Server", " spaced "}, {"General", "New", "n"},
      {"Languages", "Pair", "3"}, {"General", "a", "4"},           {"Proxy", "Port", ""},
      {"Languages", "Pair", "5"},
  };
  for (const char* file : files) {
    SCOPED_TRACE(file);
    TIniDocument together(file);
    std::string oneByOne = file;
    for (const auto& w : writes) {
      together.Set(w.section, w.key, w.value);
      TIniDocument reread(oneByOne);
      reread.Set(w.section, w.key, w.value);
      oneByOne = reread.Text();
      ASSERT_EQ(together.Text(), oneByOne) << "after " << w.section << "/" << w.key;
    }
  }
}

TEST(IniDocumentTest, RefusesWhatWouldCorruptTheFile) {
  const char* const before = "[A]\nk=1\n";
  const struct {
    const char* section;
    const char* key;
    std::string value;
  } cases[] = {
      {"A", "k", "1\n[Proxy]\nServer=evil"},
      {"A", "k", "a\rb"},
      {"A", "k", std::string("a\0b", 3)},
      {"A", "k=j", "1"},
      {"A]", "k", "1"},
      {"", "k", "1"},
      {"A", "", "1"},
      {"A", "[k", "1"},
      {"A\nB", "k", "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    TIniDocument document(before);
    EXPECT_THROW(document.Set(c.section, c.key, c.value), std::invalid_argument);
    EXPECT_EQ(document.Text(), before);
  }
}

// A value may hold any bytes but line breaks and NUL: CanHoldValue says which,
// Set stores exactly those (Get gives them back as they were) and refuses the rest.
TEST(IniDocumentTest, ValuesTheFileCanHold) {
  const struct {
    std::string value;
    bool holdable;
  } cases[] = {
      {"", true},
      {"a=b", true},
      {"[B]", true},
      {" spaced ", true},
      {"\"quoted\"", true},
      {"; not a comment", true},
      {"a\tb", true},
      {"\xff\xfe", true},
      {"a\nb", false},
      {"a\r\nb", false},
      {"a\rb", false},
      {"\n", false},
      {std::string("a\0b", 3), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.value));
    EXPECT_EQ(TIniDocument::CanHoldValue(c.value), c.holdable);
    TIniDocument document("[A]\nk=1\n");
    if (c.holdable) {
      document.Set("A", "k", c.value);
      EXPECT_EQ(document.Get("A", "k"), c.value);
    } else {
      EXPECT_THROW(document.Set("A", "k", c.value), std::invalid_argument);
    }
  }
}

TEST(IniIntegerTest, ParsesOnlyWholeIntegers) {
  const struct {
    const char* text;
    std::optional<int> expected;
  } cases[] = {
      {"0", 0},
      {"42", 42},
      {" 42 ", 42},
      {"-1", -1},
      {"+7", 7},
      {"32833", 32833},
      {"$1F", 31},
      {"0x8041", 0x8041},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"2147483648", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"12abc", std::nullopt},
      {"1 2", std::nullopt},
      {"yes", std::nullopt},
      {"1.5", std::nullopt},
      {"--1", std::nullopt},
      {"0x", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseIniInteger(c.text), c.expected);
  }
}

TEST_F(IniFileTest, MissingFileGivesDefaultsAndIsNotCreatedByReading) {
  TIniFile ini(Path());
  EXPECT_EQ(ini.ReadString("Proxy", "Server", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadInteger("General", "StartupType", 3), 3);
  EXPECT_TRUE(ini.ReadBool("QuickTranslate", "ShowBalloonHint", true));
  EXPECT_FALSE(fs::exists(Path()));
}

TEST_F(IniFileTest, TypedReadsAndWrites) {
  Put(Path(), "[L]\nBad=abc\nBool0=0\nBool5=5\nBoolNeg=-1\nBoolText=true\nEmpty=\n");
  TIniFile ini(Path());
  EXPECT_EQ(ini.ReadInteger("L", "Bad", 9), 9);
  EXPECT_EQ(ini.ReadInteger("L", "Empty", 9), 9);
  EXPECT_EQ(ini.ReadString("L", "Empty", "d"), "");
  EXPECT_FALSE(ini.ReadBool("L", "Bool0", true));
  EXPECT_TRUE(ini.ReadBool("L", "Bool5", false));
  EXPECT_TRUE(ini.ReadBool("L", "BoolNeg", false));
  EXPECT_TRUE(ini.ReadBool("L", "BoolText", true));
  EXPECT_FALSE(ini.ReadBool("L", "BoolText", false));

  ini.WriteBool("Q", "On", true);
  ini.WriteBool("Q", "Off", false);
  ini.WriteInteger("Q", "Neg", -5);
  ini.WriteString("Q", "Path", "/home/u/\xC3\xBC bersetzt.txt ");
  EXPECT_EQ(ini.ReadString("Q", "On", ""), "1");
  EXPECT_EQ(ini.ReadString("Q", "Off", ""), "0");
  EXPECT_EQ(ini.ReadInteger("Q", "Neg", 0), -5);
  EXPECT_EQ(ini.ReadString("Q", "Path", ""), "/home/u/\xC3\xBC bersetzt.txt ");
  // Every write reaches the disk at once: a second object sees it.
  EXPECT_EQ(TIniFile(Path()).ReadInteger("Q", "Neg", 0), -5);
}

TEST_F(IniFileTest, FirstWriteCreatesFileAndFolderForTheUserOnly) {
  const fs::path p = dir_ / "config" / "parlumo" / "parlumo.ini";
  TIniFile ini(p);
  ini.WriteString("Proxy", "Password", "hJ2Y");
  EXPECT_EQ(Get(p), "[Proxy]\nPassword=hJ2Y\n");
  struct stat st {};
  ASSERT_EQ(::stat(p.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(IniFileTest, WriteKeepsModeAndLeavesNoTemporaryFile) {
  Put(Path(), "[A]\nk=1\n");
  ASSERT_EQ(::chmod(Path().c_str(), 0640), 0);
  TIniFile ini(Path());
  ini.WriteInteger("A", "k", 2);
  struct stat st {};
  ASSERT_EQ(::stat(Path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(EntriesInDir(), 1u);
  EXPECT_EQ(Get(Path()), "[A]\nk=2\n");
}

TEST_F(IniFileTest, WritesThroughASymbolicLink) {
  const fs::path real = Path("real.ini");
  Put(real, "[A]\nk=1\n");
  fs::create_symlink(real, Path());
  TIniFile(Path()).WriteInteger("A", "k", 2);
  EXPECT_TRUE(fs::is_symlink(Path()));
  EXPECT_EQ(Get(real), "[A]\nk=2\n");
}

TEST_F(IniFileTest, FailedWriteRaisesTheUsersTextAndChangesNothing) {
  // The folder cannot be created: a file stands where it should be.
  Put(Path("blocker"), "x");
  TIniFile blocked(Path("blocker") / "parlumo.ini");
  try {
    blocked.WriteString("A", "k", "v");
    FAIL() << "no exception";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(std::string(e.what()), "In " + (Path("blocker") / "parlumo.ini").string() +
                                         " kann nicht geschrieben werden");
    EXPECT_FALSE(e.Reason().empty());
  }
  EXPECT_EQ(Get(Path("blocker")), "x");

  // A value that would inject lines is refused with the same text; the file stays.
  Put(Path(), "[A]\nk=1\n");
  TIniFile ini(Path());
  EXPECT_THROW(ini.WriteString("A", "k", "2\n[B]\nx=1"), EIniFileException);
  EXPECT_EQ(Get(Path()), "[A]\nk=1\n");
  EXPECT_EQ(EntriesInDir(), 2u);
}

TEST_F(IniFileTest, ReadSessionReadsTheFileOnceForAllItsReads) {
  Put(Path(), "[General]\nStartupType=2\nName=old\n[Quick]\nOn=1\n");
  TIniFile ini(Path());
  test::FileEvents file(Path());
  {
    const TIniFile::ReadSession session(ini);
    EXPECT_EQ(file.Take(), (test::FileEvents::Counts{0, 0})) << "read at the first read";
    EXPECT_EQ(ini.ReadInteger("General", "StartupType", 3), 2);
    EXPECT_EQ(ini.ReadString("General", "Name", ""), "old");
    EXPECT_TRUE(ini.ReadBool("Quick", "On", false));
    EXPECT_EQ(ini.ReadString("Quick", "Missing", "dflt"), "dflt");
    {
      const TIniFile::ReadSession inner(ini);
      EXPECT_EQ(ini.ReadInteger("General", "StartupType", 3), 2);
    }
    EXPECT_EQ(ini.ReadString("General", "Name", ""), "old");
    EXPECT_EQ(file.Take(), (test::FileEvents::Counts{1, 0}));

    // A write reads the file as it is on disk and changes it at once; the
    // session's reads see it.
    TIniFile(Path()).WriteString("General", "Name", "other copy");
    ini.WriteInteger("Quick", "On", 0);
    EXPECT_EQ(file.Take(), (test::FileEvents::Counts{2, 2}));
    EXPECT_FALSE(ini.ReadBool("Quick", "On", true));
    EXPECT_EQ(ini.ReadString("General", "Name", ""), "other copy");
    EXPECT_EQ(file.Take(), (test::FileEvents::Counts{0, 0}));

    Put(Path(), "[General]\nName=changed meanwhile\n");
    EXPECT_EQ(ini.ReadString("General", "Name", ""), "other copy") << "the session's reading";
  }
  // After the session every read looks at the file again.
  EXPECT_EQ(ini.ReadString("General", "Name", ""), "changed meanwhile");
  Put(Path(), "[General]\nName=again\n");
  EXPECT_EQ(ini.ReadString("General", "Name", ""), "again");
}

TEST_F(IniFileTest, BatchWritesEverythingInOneReadAndOneWrite) {
  const std::string before =
      "; kept\r\n[General]\r\nUnknown=7\r\nStartupType=3\r\n\r\n[Proxy]\r\nServer=a\r\n";
  Put(Path(), before);
  Put(Path("one-by-one.ini"), before);
  TIniFile ini(Path());
  TIniFile oneByOne(Path("one-by-one.ini"));
  test::FileEvents file(Path());

  TIniFile::Batch batch(ini);
  batch.WriteInteger("General", "StartupType", 1);
  batch.WriteString("Proxy", "Server", "proxy.example");
  batch.WriteBool("Quick", "On", true);
  batch.WriteInteger("Languages", "FileTranslate", 4);
  batch.WriteInteger("Languages", "FileTranslate", 5);
  batch.WriteString("General", "Path", " spaced ");
  EXPECT_EQ(file.Take(), (test::FileEvents::Counts{0, 0}));
  EXPECT_EQ(Get(Path()), before) << "nothing before Commit";
  file.Take();
  batch.Commit();
  EXPECT_EQ(file.Take(), (test::FileEvents::Counts{1, 1}));

  oneByOne.WriteInteger("General", "StartupType", 1);
  oneByOne.WriteString("Proxy", "Server", "proxy.example");
  oneByOne.WriteBool("Quick", "On", true);
  oneByOne.WriteInteger("Languages", "FileTranslate", 4);
  oneByOne.WriteInteger("Languages", "FileTranslate", 5);
  oneByOne.WriteString("General", "Path", " spaced ");
  EXPECT_EQ(Get(Path()), Get(Path("one-by-one.ini")));
  EXPECT_EQ(ini.ReadInteger("Languages", "FileTranslate", 0), 5);
}

TEST_F(IniFileTest, BatchKeepsWhatAnotherCopyWroteBeforeItsCommit) {
  Put(Path(), "[General]\nStartupType=3\n");
  TIniFile ini(Path());
  TIniFile::Batch batch(ini);
  batch.WriteInteger("General", "StartupType", 1);
  TIniFile(Path()).WriteInteger("Languages", "TextTranslationLanguage", 7);
  batch.Commit();
  EXPECT_EQ(Get(Path()), "[General]\nStartupType=1\n\n[Languages]\nTextTranslationLanguage=7\n");
}

TEST_F(IniFileTest, BatchThatCannotBeMadeChangesNothing) {
  const std::string before = "[A]\nk=1\n";
  Put(Path(), before);
  TIniFile ini(Path());
  test::FileEvents file(Path());
  {
    TIniFile::Batch batch(ini);
    batch.WriteInteger("A", "k", 2);
    batch.WriteString("A", "j", "2\n[B]\nx=1");
    batch.WriteInteger("A", "i", 3);
    EXPECT_THROW(batch.Commit(), EIniFileException);
  }
  {
    TIniFile::Batch batch(ini);
    batch.WriteInteger("A", "k", 2);
    // no Commit: an exception left the save
  }
  EXPECT_EQ(Get(Path()), before);
  EXPECT_EQ(EntriesInDir(), 1u);
  EXPECT_EQ(file.Take().replacements, 0);

  TIniFile missing(Path("missing.ini"));
  TIniFile::Batch nothing(missing);
  nothing.Commit();
  EXPECT_FALSE(fs::exists(Path("missing.ini"))) << "an empty batch creates no file";
}

TEST_F(IniFileTest, UnreadableFileGivesDefaultsButIsNeverOverwritten) {
  // A folder in place of the file cannot be read; replacing it would lose data.
  fs::create_directory(Path());
  Put(Path() / "keep", "data");
  TIniFile ini(Path());
  EXPECT_EQ(ini.ReadInteger("A", "k", 7), 7);
  EXPECT_THROW(ini.WriteInteger("A", "k", 1), EIniFileException);
  EXPECT_EQ(Get(Path() / "keep"), "data");
}

}  // namespace
}  // namespace parlumo
