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

TEST(ArchiveExtensions, StatesMirrorsSubdivisionAndCreasesComeBack) {
  CMeshwright s = TwoModels();
  const std::vector<std::uint8_t> plain = Bytes(s);
  s.models[0].state = kStateLocked;
  s.models[1].state = kStateHidden;
  s.models[1].mirrorAxis = 5;
  s.models[0].subdivisionScheme = kSubdivisionCatmullClark;
  s.models[0].subdivisionLevel = kSubdivisionMaxLevel;
  s.models[1].subdivisionScheme = kSubdivisionLoop;
  s.models[1].subdivisionLevel = kSubdivisionMinLevel;
  s.models[0].creases = {{EdgeKey(0, 1), 0.25f}, {EdgeKey(4, 5), kMaxSharpness}};
  s.models[1].sharpVertices = {{3, 2.5f}};
  const std::vector<std::uint8_t> kept = Bytes(s);
  EXPECT_TRUE(std::equal(plain.begin(), plain.end(), kept.begin()));
  CMeshwright back;
  const ArchiveResult r = ReadScene(back, kept.data(), kept.size());
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(r.warnings.empty());
  for (std::size_t m = 0; m < 2; ++m) {
    SCOPED_TRACE(m);
    EXPECT_EQ(back.models[m].state, s.models[m].state);
    EXPECT_EQ(back.models[m].mirrorAxis, s.models[m].mirrorAxis);
    EXPECT_EQ(back.models[m].subdivisionScheme, s.models[m].subdivisionScheme);
    EXPECT_EQ(back.models[m].subdivisionLevel, s.models[m].subdivisionLevel);
    EXPECT_EQ(back.models[m].creases, s.models[m].creases);
    EXPECT_EQ(back.models[m].sharpVertices, s.models[m].sharpVertices);
  }
  EXPECT_EQ(Bytes(back), kept);
  // Each section alone is written only for what it keeps: one setting back at its default drops it.
  CMeshwright one = TwoModels();
  one.models[1].subdivisionLevel = 3;
  EXPECT_EQ(Bytes(one).size(), plain.size() + 8 + 8 + 4 + 2 * 8);

  // Every prefix of the block opens, with the fixed part as it was, and a section either whole or
  // not at all.
  for (std::size_t n = plain.size(); n <= kept.size(); ++n) {
    CMeshwright cut;
    const ArchiveResult rc = ReadScene(cut, kept.data(), n);
    ASSERT_TRUE(rc.ok()) << n;
    ASSERT_EQ(cut.models.size(), 2u);
    EXPECT_EQ(cut.models[0].vertices.size(), s.models[0].vertices.size());
    EXPECT_LE(rc.warnings.size(), 1u) << n;  // the section cut short, and nothing after it
    const bool subd = cut.models[0].subdivisionScheme != kSubdivisionNone;
    EXPECT_EQ(subd, cut.models[1].subdivisionScheme == kSubdivisionLoop) << n;
    EXPECT_TRUE(cut.models[0].creases.empty() || cut.models[0].creases == s.models[0].creases) << n;
  }
}

TEST(ArchiveExtensions, DamagedStateSubdivisionAndCreaseSectionsChangeNothing) {
  CMeshwright s = TwoModels();
  const std::vector<std::uint8_t> plain = Bytes(s);
  const auto file = [&](std::uint32_t tag, const std::vector<std::uint32_t>& words) {
    std::vector<std::uint8_t> f = plain;
    Put(f, kExtensionTag);
    Put(f, kExtensionVersion);
    Put(f, tag);
    Put(f, static_cast<std::uint32_t>(words.size() * 4));
    for (std::uint32_t w : words) Put(f, w);
    return f;
  };
  const std::uint32_t half = 0x3F000000u, eleven = 0x41300000u, nan = 0x7FC00000u;
  struct Case {
    const char* what;
    std::uint32_t tag;
    std::vector<std::uint32_t> words;
    bool valid;
  };
  const Case cases[] = {
      {"states at their limits", kModelStateSectionTag, {2, 3, 7, 1, 0}, true},
      {"a state of 4", kModelStateSectionTag, {2, 4, 0, 1, 0}, false},
      {"a state of 0", kModelStateSectionTag, {2, 0, 0, 1, 0}, false},
      {"mirror axes of 8", kModelStateSectionTag, {2, 1, 8, 1, 0}, false},
      {"a model too few", kModelStateSectionTag, {1, 2, 0}, false},
      {"levels at their limits", kSubdivisionSectionTag, {2, 2, 4, 1, 1}, true},
      {"level 5", kSubdivisionSectionTag, {2, 1, 5, 0, 2}, false},
      {"level 0", kSubdivisionSectionTag, {2, 1, 0, 0, 2}, false},
      {"scheme 3", kSubdivisionSectionTag, {2, 3, 2, 0, 2}, false},
      {"a word left over", kSubdivisionSectionTag, {2, 1, 2, 0, 2, 0}, false},
      {"creases", kCreaseSectionTag, {2, 1, 8, 0, half, 1, 8, 0x41200000u, 0, 0}, true},
      {"an edge from a vertex to itself", kCreaseSectionTag, {2, 1, 3, 3, half, 0, 0, 0}, false},
      {"an edge to the vertex past the last", kCreaseSectionTag, {2, 1, 0, 9, half, 0, 0, 0}, false},
      {"a sharpness of 11", kCreaseSectionTag, {2, 1, 0, 1, eleven, 0, 0, 0}, false},
      {"a sharpness of 0", kCreaseSectionTag, {2, 1, 0, 1, 0, 0, 0, 0}, false},
      {"a sharpness that is no number", kCreaseSectionTag, {2, 0, 1, 2, nan, 0, 0}, false},
      {"a crease count past the end", kCreaseSectionTag, {2, 1000, 0, 1, half}, false},
      {"seams, one given twice and backwards", kSeamSectionTag, {2, 2, 8, 0, 0, 8, 0}, true},
      {"a seam from a vertex to itself", kSeamSectionTag, {2, 1, 3, 3, 0}, false},
      {"a seam to the vertex past the last", kSeamSectionTag, {2, 1, 0, 9, 0}, false},
      {"a seam count past the end", kSeamSectionTag, {2, 1000, 0, 1}, false},
      {"seams for a model too many", kSeamSectionTag, {3, 0, 0, 0}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<std::uint8_t> f = file(c.tag, c.words);
    CMeshwright back;
    const ArchiveResult r = ReadScene(back, f.data(), f.size());
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.warnings.size(), c.valid ? 0u : 1u);
    const CModel& m = back.models[0];
    const bool changed = m.state != kStateNormal || m.subdivisionScheme != kSubdivisionNone || !m.creases.empty() ||
                         !m.seamEdges.empty();
    EXPECT_EQ(changed, c.valid);
    if (c.valid && c.tag == kCreaseSectionTag) {
      EXPECT_EQ(m.creases, (std::vector<EdgeCrease>{{EdgeKey(0, 8), 0.5f}}));
      EXPECT_EQ(m.sharpVertices, (std::vector<VertexCorner>{{8, 10.0f}}));
    }
    if (c.valid && c.tag == kSeamSectionTag) {
      EXPECT_EQ(m.seamEdges, (std::vector<std::uint64_t>{EdgeKey(0, 8)}));
    }
  }
}

}  // namespace
}  // namespace mw
