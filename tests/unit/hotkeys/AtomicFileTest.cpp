// Replacing a file atomically: content, permissions, links, and failures that
// leave the old file and no temporary file behind.
#include "hotkeys/AtomicFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace parlumo {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

mode_t Mode(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// The names in a folder.
std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class AtomicFileTest : public ::testing::Test {
 protected:
  AtomicFileTest() : previousMask_(::umask(022)) {}
  ~AtomicFileTest() override { ::umask(previousMask_); }

  test::TempFolder folder{"parlumo-atomic"};

 private:
  mode_t previousMask_;
};

TEST_F(AtomicFileTest, NewFileHasTheBytesAndTheUmaskMode) {
  const fs::path file = folder.Path() / "out.txt";
  const std::string bytes("Grüße\r\n\0zwei\r\n", 16);
  EXPECT_FALSE(WriteFileAtomically(file, bytes));
  EXPECT_EQ(ReadFile(file), bytes);
  EXPECT_EQ(Mode(file), 0644u);
  EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"out.txt"});
}

TEST_F(AtomicFileTest, ExistingFileIsReplacedAndKeepsItsMode) {
  const fs::path file = folder.Path() / "out.txt";
  WriteFile(file, "a much longer old content than the new one");
  ::chmod(file.c_str(), 0640);
  EXPECT_FALSE(WriteFileAtomically(file, "new"));
  EXPECT_EQ(ReadFile(file), "new");
  EXPECT_EQ(Mode(file), 0640u);
  // Empty content empties the file.
  EXPECT_FALSE(WriteFileAtomically(file, ""));
  EXPECT_EQ(ReadFile(file), "");
  EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"out.txt"});
}

TEST_F(AtomicFileTest, SymbolicLinksAreFollowed) {
  const fs::path sub = folder.Path() / "sub";
  fs::create_directory(sub);
  const fs::path target = sub / "real.txt";
  WriteFile(target, "old");
  ::chmod(target.c_str(), 0600);
  // A relative link, and a link to that link from another folder.
  const fs::path link = sub / "link.txt";
  fs::create_symlink("real.txt", link);
  const fs::path outer = folder.Path() / "outer.txt";
  fs::create_symlink(link, outer);

  EXPECT_FALSE(WriteFileAtomically(outer, "through two links"));
  EXPECT_TRUE(fs::is_symlink(outer));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(target), "through two links");
  EXPECT_EQ(Mode(target), 0600u);

  // A link to nothing: the file it names is created.
  const fs::path dangling = folder.Path() / "dangling.txt";
  fs::create_symlink("created.txt", dangling);
  EXPECT_FALSE(WriteFileAtomically(dangling, "made"));
  EXPECT_TRUE(fs::is_symlink(dangling));
  EXPECT_EQ(ReadFile(folder.Path() / "created.txt"), "made");

  // A loop of links is an error.
  const fs::path loopA = folder.Path() / "a";
  const fs::path loopB = folder.Path() / "b";
  fs::create_symlink("b", loopA);
  fs::create_symlink("a", loopB);
  EXPECT_EQ(WriteFileAtomically(loopA, "x"), std::errc::too_many_symbolic_link_levels);
}

TEST_F(AtomicFileTest, FailuresLeaveEverythingAsItWas) {
  const fs::path sub = folder.Path() / "a folder";
  fs::create_directory(sub);
  WriteFile(sub / "keep.txt", "kept");
  const struct {
    const char* name;
    fs::path path;
    std::errc error;
  } cases[] = {
      {"a folder", sub, std::errc::is_a_directory},
      {"a missing folder", folder.Path() / "missing" / "out.txt",
       std::errc::no_such_file_or_directory},
      {"an empty name", "", std::errc::no_such_file_or_directory},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WriteFileAtomically(c.path, "x"), c.error);
  }
  EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"a folder"});
  EXPECT_EQ(Names(sub), std::vector<std::string>{"keep.txt"});
}

TEST_F(AtomicFileTest, WriteProtectionIsKept) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes anything";
  const fs::path file = folder.Path() / "protected.txt";
  WriteFile(file, "old");
  ::chmod(file.c_str(), 0444);
  EXPECT_EQ(WriteFileAtomically(file, "new"), std::errc::permission_denied);
  EXPECT_EQ(ReadFile(file), "old");

  const fs::path closed = folder.Path() / "closed";
  fs::create_directory(closed);
  ::chmod(closed.c_str(), 0555);
  EXPECT_EQ(WriteFileAtomically(closed / "new.txt", "new"), std::errc::permission_denied);
  EXPECT_TRUE(Names(closed).empty());
  ::chmod(closed.c_str(), 0755);
}

// A write that fails half-way (here: the file size limit) leaves the old file
// whole: the new bytes never reach its name.
TEST_F(AtomicFileTest, FailedWriteKeepsTheOldFile) {
  const fs::path file = folder.Path() / "out.txt";
  const std::string old = "the old content, which must survive";
  WriteFile(file, old);

  struct rlimit previous {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
  struct sigaction ignore {
  }, previousAction{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previousAction), 0);
  struct rlimit small = previous;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::error_code error = WriteFileAtomically(file, std::string(5000, 'x'));
  ::setrlimit(RLIMIT_FSIZE, &previous);
  ::sigaction(SIGXFSZ, &previousAction, nullptr);

  EXPECT_EQ(error, std::errc::file_too_large);
  EXPECT_EQ(ReadFile(file), old);
  EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"out.txt"});
}

TEST_F(AtomicFileTest, FileExistsIsFalseForFolders) {
  const fs::path file = folder.Path() / "file";
  WriteFile(file, "x");
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FileExists(folder.Path()));
  EXPECT_FALSE(FileExists(folder.Path() / "none"));
  EXPECT_FALSE(FileExists(""));
}

}  // namespace
}  // namespace parlumo
