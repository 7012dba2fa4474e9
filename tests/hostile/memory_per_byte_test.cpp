// Memory per byte of input: every reader over every shared test file, each read in a child process
// so its peak can be measured alone. What a reader holds beyond what it builds (the decoded
// picture, the scene) must stay within a few bytes per byte of file plus a fixed allowance for
// tables and buffers. The figures are printed for the record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "image/image_readers.h"
#include "io/loader_mqo.h"
#include "tests/hostile/child_budget.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

constexpr std::int64_t kMiB = 1024 * 1024;
// Bytes a reader may hold per byte of file beyond what it builds: the run-length readers keep the
// compressed data in memory once, the text readers a line and its tokens.
constexpr std::int64_t kBytesPerByte = 4;
// Tables, row buffers, the decoders' code pages and, for JPEG, libjpeg's own working set.
constexpr std::int64_t kFixedAllowance = (test::kSanitized ? 32 : 12) * kMiB;

struct Figures {
  int files = 0;
  std::int64_t worstBeyond = 0;  // largest peak minus what was built
  double worstPerByte = 0;       // the same per byte of file, for files of 64 KiB and more
};

bool ReadImage(const std::string& folder, const std::string& path, std::int64_t& held) {
  DibStream image;
  bool ok;
  if (folder == "bmp") ok = image.LoadBmp(path.c_str(), kAllDepths);
  else if (folder == "tga") ok = LoadTga(path.c_str(), image);
  else if (folder == "pnm") ok = LoadPpm(path.c_str(), image);
  else if (folder == "iff") ok = LoadIff(path.c_str(), image);
  else if (folder == "png") ok = LoadPng(path.c_str(), image);
  else ok = LoadJpg(path.c_str(), image);
  held = image.IsEmpty() ? 0 : static_cast<std::int64_t>(image.PixelBytes());
  return ok;
}

bool ReadDocument(const std::string& path, std::int64_t& held) {
  CMeshwright scene;
  scene.ResetScene();
  const bool ok = ImportMetasequoia(scene, path);
  held = static_cast<std::int64_t>(scene.materials.capacity() * sizeof(CMaterial));
  for (const CModel& m : scene.models)
    held += static_cast<std::int64_t>(m.vertices.capacity() * sizeof(CVertex) + m.faces.capacity() * sizeof(CFace));
  return ok;
}

TEST(MemoryPerByte, EveryReaderOverTheSharedTestFiles) {
  MW_REQUIRE_TESTDATA();
  for (const std::string folder : {"bmp", "tga", "pnm", "iff", "png", "jpg", "mqo"}) {
    Figures f;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(test::TestData(folder))) {
      if (!entry.is_regular_file()) continue;
      const std::string path = entry.path().string();
      if (folder == "mqo" && entry.path().extension() != ".mqo") continue;
      const auto size = static_cast<std::int64_t>(entry.file_size());
      const test::ChildCost cost = test::RunInChild(
          [&](std::int64_t& held) {
            return folder == "mqo" ? ReadDocument(path, held) : ReadImage(folder, path, held);
          },
          512 * kMiB, test::kSanitized ? 60.0 : 20.0);
      ASSERT_TRUE(cost.finished) << path << ": " << cost.failure;
      ++f.files;
      const std::int64_t beyond = cost.peak - cost.held;
      f.worstBeyond = std::max(f.worstBeyond, beyond);
      if (size >= 65536)
        f.worstPerByte = std::max(f.worstPerByte, static_cast<double>(beyond) / static_cast<double>(size));
      EXPECT_LE(beyond, kBytesPerByte * size + kFixedAllowance)
          << path << ": " << beyond << " bytes beyond what it built, for " << size << " bytes of file";
    }
    std::printf(
        "  %-4s %3d files: at most %6.2f MiB beyond what was built; %5.2f B per byte of file (files >= 64 KiB)\n",
        folder.c_str(), f.files, static_cast<double>(f.worstBeyond) / kMiB, f.worstPerByte);
  }
}

}  // namespace
}  // namespace mw
