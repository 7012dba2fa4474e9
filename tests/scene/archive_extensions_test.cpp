// The block after the last material of a .mwr document: hidden elements kept, unknown and damaged
// sections skipped by their length with a warning, and nothing written when nothing needs it.
#include "scene/archive_extensions.h"

#include <gtest/gtest.h>

#include <cstring>

#include "scene/archive.h"
#include "tests/support/scene_samples.h"

namespace mw {
namespace {

CMeshwright TwoModels() {
  CMeshwright s;
  s.ResetScene();
  test::FillGrid(s.models[0], 3);
  s.AddModel();
  test::FillGrid(s.models[1], 2);
  s.AddMaterial();
  s.ComputeNormals();
  return s;
}

std::vector<std::uint8_t> Bytes(const CMeshwright& s) {
  std::vector<std::uint8_t> out;
  WriteScene(s, out);
  return out;
}

void Put(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

TEST(ArchiveExtensions, HiddenElementsComeBackAndNothingIsWrittenWithoutThem) {
  CMeshwright s = TwoModels();
  const std::vector<std::uint8_t> plain = Bytes(s);
  CMeshwright fresh;
  fresh.ResetScene();
  EXPECT_EQ(Bytes(fresh).size(), 89u);  // a new document carries no block
  s.models[1].vertices[2].hidden = 1;
  s.models[1].faces[0].hidden = 1;
  s.models[0].faces[3].hidden = 1;
  const std::vector<std::uint8_t> kept = Bytes(s);
  ASSERT_GT(kept.size(), plain.size());
  EXPECT_TRUE(std::equal(plain.begin(), plain.end(), kept.begin()));  // the fixed layout is untouched
  CMeshwright back;
  const ArchiveResult r = ReadScene(back, kept.data(), kept.size());
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(r.warnings.empty());
  EXPECT_TRUE(back.models[1].vertices[2].hidden);
  EXPECT_TRUE(back.models[1].faces[0].hidden);
  EXPECT_TRUE(back.models[0].faces[3].hidden);
  EXPECT_FALSE(back.models[0].faces[2].hidden);
  EXPECT_EQ(Bytes(back), kept);
}

TEST(ArchiveExtensions, UnknownAndDamagedSectionsAreSkippedWithAWarning) {
  CMeshwright s = TwoModels();
  const std::vector<std::uint8_t> plain = Bytes(s);
  // A hidden section of the right shape: vertex 1 of model 0 and face 0 of model 1.
  const auto hidden = [](std::uint32_t models, std::uint32_t face) {
    std::vector<std::uint8_t> p;
    Put(p, models);
    Put(p, 1), Put(p, 1), Put(p, 0);  // model 0: vertex 1, no face
    Put(p, 0), Put(p, 1), Put(p, face);  // model 1: no vertex, one face
    return p;
  };
  const auto block = [&](std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> sections,
                         std::size_t cut = 0) {
    std::vector<std::uint8_t> f = plain;
    Put(f, kExtensionTag);
    Put(f, kExtensionVersion);
    for (auto& [tag, payload] : sections) {
      Put(f, tag);
      Put(f, static_cast<std::uint32_t>(payload.size()));
      f.insert(f.end(), payload.begin(), payload.end());
    }
    f.resize(f.size() - cut);
    return f;
  };
  struct Case {
    const char* what;
    std::vector<std::uint8_t> file;
    std::size_t warnings;
    bool hiddenRead;
  };
  const Case cases[] = {
      {"an unknown section before a known one", block({{0x5A5A5A5Au, {1, 2, 3}}, {kHiddenSectionTag, hidden(2, 0)}}), 1,
       true},
      {"a face number one past the last", block({{kHiddenSectionTag, hidden(2, 1)}}), 1, false},
      {"a model count that does not match", block({{kHiddenSectionTag, hidden(3, 0)}}), 1, false},
      {"a section cut short", block({{kHiddenSectionTag, hidden(2, 0)}}, 2), 1, false},
      {"a section header cut short", block({{kHiddenSectionTag, hidden(2, 0)}}, 30), 1, false},
      {"bytes without the block's tag", [&] {
         std::vector<std::uint8_t> f = plain;
         f.insert(f.end(), {1, 2, 3, 4, 5, 6, 7, 8, 9});
         return f;
       }(),
       0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CMeshwright back;
    const ArchiveResult r = ReadScene(back, c.file.data(), c.file.size());
    ASSERT_TRUE(r.ok()) << r.detail;
    EXPECT_EQ(r.warnings.size(), c.warnings);
    ASSERT_EQ(back.models.size(), 2u);
    EXPECT_EQ(back.models[0].vertices[1].hidden != 0, c.hiddenRead);
    EXPECT_EQ(back.models[1].faces[0].hidden != 0, c.hiddenRead);
    EXPECT_FALSE(back.models[0].vertices[0].hidden);  // a damaged section changes nothing
  }
  // Every prefix of a document with a block reads or fails cleanly, never past its end.
  const std::vector<std::uint8_t> full = block({{kHiddenSectionTag, hidden(2, 0)}});
  for (std::size_t n = plain.size() - 3; n <= full.size(); ++n) {
    CMeshwright back;
    const ArchiveResult r = ReadScene(back, full.data(), n);
    EXPECT_EQ(r.ok(), n >= plain.size()) << n;
  }
}

}  // namespace
}  // namespace mw
