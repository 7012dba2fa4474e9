#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <set>

#include "tests/support/test_support.h"

namespace mw {
namespace {

using test::ReadBytes;
using test::TempDir;

TEST(AtomicFileWriter, CommitReplacesTheTargetWhole) {
  TempDir dir;
  const auto target = dir / "a.bin";
  test::WriteBytes(target, {1, 2, 3});
  {
    AtomicFileWriter w(target.string());
    ASSERT_TRUE(w.ok());
    ASSERT_TRUE(w.Write("xy", 2));
    ASSERT_TRUE(w.Commit());
  }
  EXPECT_EQ(ReadBytes(target), (std::vector<std::uint8_t>{'x', 'y'}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

TEST(AtomicFileWriter, WithoutCommitTheOldFileStaysAndNoTemporaryRemains) {
  TempDir dir;
  const auto target = dir / "a.bin";
  test::WriteBytes(target, {1, 2, 3});
  {
    AtomicFileWriter w(target.string());
    ASSERT_TRUE(w.Write("partial", 7));
  }
  EXPECT_EQ(ReadBytes(target), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

TEST(AtomicFileWriter, MissingFolderFailsWithAReason) {
  TempDir dir;
  AtomicFileWriter w((dir / "no/such/folder/a.bin").string());
  EXPECT_FALSE(w.ok());
  EXPECT_FALSE(w.error().empty());
  EXPECT_FALSE(w.Write("x", 1));
  EXPECT_FALSE(w.Commit());
}

TEST(AtomicFileWriter, FullDeviceIsReportedAtCommit) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  // Renaming over /dev/full is refused for non-root users and would replace the device node for
  // root, so write through the stream to a file we then cannot flush: use a pipe-like target.
  TempDir dir;
  AtomicFileWriter w((dir / "a.bin").string());
  ASSERT_TRUE(w.ok());
  // Force an error on the stream as a failing device would.
  std::FILE* f = w.file();
  ASSERT_NE(f, nullptr);
  std::FILE* full = std::freopen("/dev/full", "wb", f);
  ASSERT_NE(full, nullptr);
  std::vector<char> big(1 << 16, 'x');
  w.Write(big.data(), big.size());
  EXPECT_FALSE(w.Commit());
  EXPECT_FALSE(std::filesystem::exists(dir / "a.bin"));
}

// Names in the folder, sorted.
std::set<std::string> Listing(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

bool Save(const std::filesystem::path& target, const std::string& text) {
  AtomicFileWriter w(target.string());
  return w.Write(text.data(), text.size()) && w.Commit();
}

std::string Text(const std::filesystem::path& p) {
  const auto b = ReadBytes(p);
  return std::string(b.begin(), b.end());
}

mode_t ModeOf(const std::filesystem::path& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(AtomicFileWriter, SymbolicLinksStayAndTheFileTheyLeadToIsReplaced) {
  TempDir dir;
  std::filesystem::create_directory(dir / "real");
  test::WriteBytes(dir / "real/doc.mwr", {1});
  // A relative link to a relative link, across folders.
  std::filesystem::create_symlink("real/doc.mwr", dir / "inner");
  std::filesystem::create_directory(dir / "work");
  std::filesystem::create_symlink("../inner", dir / "work/doc.mwr");
  ASSERT_TRUE(Save(dir / "work/doc.mwr", "new"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "work/doc.mwr"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "inner"));
  EXPECT_EQ(std::filesystem::read_symlink(dir / "work/doc.mwr"), "../inner");
  EXPECT_EQ(Text(dir / "real/doc.mwr"), "new");
  // The temporary went beside the real file and is gone; nothing was left in the link's folder.
  EXPECT_EQ(Listing(dir / "real"), (std::set<std::string>{"doc.mwr"}));
  EXPECT_EQ(Listing(dir / "work"), (std::set<std::string>{"doc.mwr"}));
  // A link to a file that does not exist yet creates that file.
  std::filesystem::create_symlink(dir / "real/later.mwr", dir / "dangling");
  ASSERT_TRUE(Save(dir / "dangling", "x"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling"));
  EXPECT_EQ(Text(dir / "real/later.mwr"), "x");
  // A loop of links is an error, not a hang.
  std::filesystem::create_symlink("loop2", dir / "loop1");
  std::filesystem::create_symlink("loop1", dir / "loop2");
  AtomicFileWriter w((dir / "loop1").string());
  EXPECT_FALSE(w.ok());
  EXPECT_EQ(w.errorNumber(), ELOOP);
}

TEST(AtomicFileWriter, TheOldFilesModeIsKeptAndANewFileGetsTheUmasksMode) {
  TempDir dir;
  for (mode_t mode : {0640, 0604, 0755, 0600}) {
    const auto target = dir / "m.mwr";
    test::WriteBytes(target, {1});
    ASSERT_EQ(chmod(target.c_str(), mode), 0);
    ASSERT_TRUE(Save(target, "data"));
    EXPECT_EQ(ModeOf(target), mode) << std::oct << mode;
  }
  const mode_t mask = umask(027);
  ASSERT_TRUE(Save(dir / "new.mwr", "data"));
  umask(mask);
  EXPECT_EQ(ModeOf(dir / "new.mwr"), 0640u);
}

TEST(AtomicFileWriter, AWriteProtectedFileIsNotReplaced) {
  TempDir dir;
  const auto target = dir / "ro.mwr";
  test::WriteBytes(target, {7, 7});
  ASSERT_EQ(chmod(target.c_str(), 0444), 0);
  AtomicFileWriter w(target.string());
  EXPECT_FALSE(w.ok());
  EXPECT_EQ(w.errorKind(), AtomicFileError::kReadOnly);
  EXPECT_EQ(w.errorNumber(), EACCES);
  EXPECT_NE(w.error().find("ro.mwr"), std::string::npos);
  EXPECT_NE(w.error().find(std::strerror(EACCES)), std::string::npos);
  EXPECT_FALSE(w.Write("x", 1));
  EXPECT_FALSE(w.Commit());
  EXPECT_EQ(ReadBytes(target), (std::vector<std::uint8_t>{7, 7}));
  EXPECT_EQ(ModeOf(target), 0444u);
  EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"ro.mwr"}));
}

TEST(AtomicFileWriter, ANameAsLongAsTheFileSystemAllowsSaves) {
  TempDir dir;
  for (std::size_t length : {253u, 255u}) {
    const auto target = dir / (std::string(length - 4, 'n') + ".mqo");
    ASSERT_TRUE(Save(target, "long")) << length;
    EXPECT_EQ(Text(target), "long");
  }
}

TEST(AtomicFileWriter, TemporariesOfKilledSavesGoAtTheNextSaveButLiveOnesAndLookalikesStay) {
  TempDir dir;
  // A save killed between writing and committing leaves its temporary behind.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    AtomicFileWriter w((dir / "big.mwr").string());
    w.Write("half", 4);
    std::fflush(w.file());
    kill(getpid(), SIGKILL);
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  auto names = Listing(dir.path());
  ASSERT_EQ(names.size(), 1u);
  const std::string stale = *names.begin();
  EXPECT_EQ(stale.rfind(AtomicFileWriter::kTemporaryPrefix, 0), 0u) << stale;
  EXPECT_LE(stale.size(), 10u);
  // A user's files that only look similar are not touched.
  test::WriteBytes(dir / ".mw~notes", {1});
  test::WriteBytes(dir / ".mw~abc12345", {1});
  test::WriteBytes(dir / ".mwabc123", {1});
  // A save in progress in another writer keeps its temporary while a second save goes through.
  AtomicFileWriter live((dir / "other.mwr").string());
  ASSERT_TRUE(live.ok());
  ASSERT_TRUE(Save(dir / "small.mwr", "s"));
  names = Listing(dir.path());
  EXPECT_FALSE(names.count(stale));
  EXPECT_TRUE(names.count(".mw~notes") && names.count(".mw~abc12345") && names.count(".mwabc123"));
  EXPECT_EQ(names.size(), 5u);  // the three lookalikes, small.mwr and the live temporary
  ASSERT_TRUE(live.Write("o", 1));
  ASSERT_TRUE(live.Commit());
  EXPECT_EQ(Text(dir / "other.mwr"), "o");
}

TEST(AtomicFileWriter, ARenameThatCannotReplaceTheTargetSaysSoAndLeavesIt) {
  TempDir dir;
  const auto target = dir / "a.mwr";
  AtomicFileWriter w(target.string());
  ASSERT_TRUE(w.ok());
  ASSERT_TRUE(w.Write("x", 1));
  // The target becomes something a file cannot be renamed over while the save is under way.
  std::filesystem::create_directory(target);
  test::WriteBytes(target / "keep", {1});
  EXPECT_FALSE(w.Commit());
  EXPECT_EQ(w.errorKind(), AtomicFileError::kReplace);
  EXPECT_NE(w.errorNumber(), 0);
  EXPECT_NE(w.error().find("cannot be replaced"), std::string::npos) << w.error();
  EXPECT_TRUE(std::filesystem::exists(target / "keep"));
  EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"a.mwr"}));
  // Saving onto a folder fails at once, as a plain write would.
  AtomicFileWriter again(target.string());
  EXPECT_FALSE(again.ok());
  EXPECT_EQ(again.errorKind(), AtomicFileError::kCreate);
  EXPECT_EQ(again.errorNumber(), EISDIR);
}

// The folder is moved away while the save runs: the save fails, and its temporary does not stay
// behind in the folder's new place.
TEST(AtomicFileWriter, AFolderMovedMidSaveKeepsNoTemporary) {
  TempDir dir;
  std::filesystem::create_directory(dir / "before");
  const auto target = dir / "before" / "a.mwr";
  test::WriteBytes(target, {1, 2});
  for (const bool commit : {true, false}) {
    {
      AtomicFileWriter w(target.string());
      ASSERT_TRUE(w.ok());
      ASSERT_TRUE(w.Write("new", 3));
      std::filesystem::rename(dir / "before", dir / "after");
      if (commit) {
        EXPECT_FALSE(w.Commit());
      }
    }
    EXPECT_EQ(Listing(dir / "after"), (std::set<std::string>{"a.mwr"})) << (commit ? "failed commit" : "no commit");
    EXPECT_EQ(ReadBytes(dir / "after" / "a.mwr"), (std::vector<std::uint8_t>{1, 2}));
    std::filesystem::rename(dir / "after", dir / "before");
  }
}

}  // namespace
}  // namespace mw
