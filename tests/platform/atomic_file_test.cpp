#include "platform/atomic_file.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace mw
