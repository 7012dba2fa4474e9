// The clipboard's OBJ text, read back by the OBJ importer other programs' files go through.
#include "io/fragment_obj.h"

#include <gtest/gtest.h>

#include <fstream>

#include "io/document_io.h"
#include "platform/encoding.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

SceneFragment SampleFragment() {
  SceneFragment f;
  f.model.name = Utf8ToCp932("部品");
  const float c[][3] = {{1.5f, -2.25f, 3.0f}, {101.37f, 0.001f, -7.0f}, {99.0f, 45.5f, 12.125f},
                        {-3.7f, 8.0f, 0.3f},  {1e-7f, 3e6f, -517.3f},  {0.1f, 0.2f, 0.3f}};
  for (const auto& p : c) f.model.vertices.emplace_back(p[0], p[1], p[2]);
  CFace quad;
  quad.indices = {0, 1, 2, 3};
  quad.uvs = {CUV(0.1f, 0.2f), CUV(0.375f, 0.4f), CUV(0.55f, 0.66f), CUV(0.77f, 0.875f)};
  quad.material = 4;
  CFace tri;
  tri.indices = {2, 4, 5};
  tri.material = 8;
  CFace penta;
  penta.indices = {0, 5, 4, 3, 1};
  penta.uvs = {CUV(1, 0), CUV(0, 1), CUV(0.5f, 0.5f), CUV(0.25f, 0.125f), CUV(0.875f, 0.0625f)};
  penta.material = 4;
  CFace line;
  line.indices = {5, 0};
  line.material = 8;
  f.model.faces = {quad, tri, penta, line};
  CMaterial wood(4);
  wood.name = Utf8ToCp932("木目");
  CMaterial metal(8);
  metal.name = "metal";
  f.materials = {wood, metal};
  return f;
}

TEST(FragmentObj, OtherProgramsReadTheSameCornersPositionsAndUVs) {
  const SceneFragment f = SampleFragment();
  const std::string text = FragmentObjText(f);
  EXPECT_NE(text.find("usemtl 木目\n"), std::string::npos);
  EXPECT_NE(text.find("usemtl metal\n"), std::string::npos);
  EXPECT_NE(text.find("o 部品\n"), std::string::npos);
  EXPECT_NE(text.find("l 6 1\n"), std::string::npos) << "a two-corner face is a line";

  test::TempDir dir;
  {
    std::ofstream out(dir / "clip.obj", std::ios::binary);
    out << text;
  }
  CMeshwright back;
  const DocumentResult r = OpenDocumentFile(back, (dir / "clip.obj").string());
  ASSERT_TRUE(r.ok()) << DocumentErrorText(r);
  ASSERT_EQ(back.models.size(), 1u);
  const CModel& m = back.models[0];
  ASSERT_EQ(m.faces.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const CFace& want = f.model.faces[i];
    const CFace& got = m.faces[i];
    ASSERT_EQ(got.indices.size(), want.indices.size());
    for (std::size_t k = 0; k < want.indices.size(); ++k) {
      EXPECT_EQ(m.vertices[static_cast<std::size_t>(got.indices[k])].position,
                f.model.vertices[static_cast<std::size_t>(want.indices[k])].position)
          << k;
      if (want.uvs.empty()) continue;
      ASSERT_EQ(got.uvs.size(), want.uvs.size());
      EXPECT_FLOAT_EQ(got.uvs[k].u, want.uvs[k].u);
      EXPECT_FLOAT_EQ(got.uvs[k].v, want.uvs[k].v);
    }
  }
}

TEST(FragmentObj, AnEmptyFragmentIsACommentAndAName) {
  SceneFragment f;
  EXPECT_EQ(FragmentObjText(f), "# Meshwright\no Model\n");
}

}  // namespace
}  // namespace mw
