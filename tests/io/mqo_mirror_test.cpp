// 「鏡面をファイルに残す」: a model with symmetric modelling on goes out as its kept half with a
// connected mirror, and reading the file back (which bakes mirrors) gives the model again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "io/loader_mqo.h"
#include "scene/mesh_cut.h"
#include "scene/symmetry.h"

namespace mw {
namespace {

// A box cut in two at every axis, so each half has its own faces and a seam of shared vertices;
// with `ngons` the end pieces are cut again, giving their neighbours five corners.
CMeshwright SymmetricBox(int axis, bool ngons) {
  CMeshwright s;
  s.ResetScene();
  s.AddBox(CVector(-60, -40, -20), CVector(60, 40, 20));
  CModel& m = s.models[0];
  SubdivideFaces(m, EdgeIndex(m), 2, false, Neighbours::kPolygons, 0);
  if (ngons) {
    for (CVertex& v : m.vertices) v.selected = std::fabs(v.position.x) > 59;
    SubdivideFaces(m, EdgeIndex(m), 2, true, Neighbours::kPolygons, 0);
  }
  SetSymmetry(m, axis);
  s.ComputeNormals();
  return s;
}

using Point = std::tuple<long, long, long>;

std::vector<Point> Points(const CModel& m) {
  std::vector<Point> out;
  for (const CVertex& v : m.vertices)
    out.emplace_back(std::lround(v.position.x * 1000), std::lround(v.position.y * 1000),
                     std::lround(v.position.z * 1000));
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::size_t> Corners(const CModel& m) {
  std::vector<std::size_t> out;
  for (const CFace& f : m.faces) out.push_back(f.indices.size());
  std::sort(out.begin(), out.end());
  return out;
}

CModel ReadBack(const std::string& text) {
  std::FILE* f = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
  CMeshwright t;
  t.ResetScene();
  t.models.clear();
  EXPECT_TRUE(ImportMetasequoia(t, f));
  std::fclose(f);
  EXPECT_EQ(t.models.size(), 1u);
  return t.models.empty() ? CModel{} : t.models[0];
}

TEST(MqoMirror, TheKeptHalfWithAMirrorReadsBackAsTheWholeModel) {
  for (int axis = 1; axis <= 3; ++axis) {
    for (bool ngons : {false, true}) {
      SCOPED_TRACE(testing::Message() << "axis " << axis << (ngons ? ", five-corner faces" : ""));
      const CMeshwright s = SymmetricBox(axis, ngons);
      const CModel& whole = s.models[0];
      MqoWriteOptions keep;
      keep.keepMirror = true;
      MqoWriteInfo info;
      std::string text;
      WriteMetasequoia(
          s,
          [&text](const char* d, std::size_t n) {
            text.append(d, n);
            return true;
          },
          keep, &info);
      EXPECT_EQ(info.version, ngons ? 11 : 10);
      EXPECT_TRUE(info.warnings.empty());
      EXPECT_NE(text.find("\tmirror 2\r\n\tmirror_axis " + std::to_string(1 << (axis - 1)) + "\r\n"),
                std::string::npos);
      const CModel back = ReadBack(text);
      EXPECT_EQ(Points(back), Points(whole));  // the seam welded: no vertex twice
      EXPECT_EQ(Corners(back), Corners(whole));
      // Without the choice: the geometry as it is, no mirror.
      const std::string plain = MetasequoiaText(s);
      EXPECT_EQ(plain.find("mirror"), std::string::npos);
      const CModel asIs = ReadBack(plain);
      EXPECT_EQ(Points(asIs), Points(whole));
      EXPECT_EQ(Corners(asIs), Corners(whole));
    }
  }
}

TEST(MqoMirror, HalvesSnapTheSeamAndReportFacesAcrossThePlane) {
  CMeshwright s;
  s.ResetScene();
  s.AddBox(CVector(-60, -60, -60), CVector(60, 60, 60));  // four faces across x = 0
  CModel& m = s.models[0];
  m.vertices.emplace_back(0.0004f, 5.0f, 5.0f);  // within the tolerance of the plane: kept, put on it
  m.vertices.emplace_back(-30.0f, 5.0f, 5.0f);   // the mirrored side: left to the mirror
  SetSymmetry(m, 1);
  const CModel half = KeptHalf(m);
  ASSERT_EQ(half.vertices.size(), 5u);
  EXPECT_EQ(half.faces.size(), 1u);
  EXPECT_EQ(std::count_if(half.vertices.begin(), half.vertices.end(),
                          [](const CVertex& v) { return v.position.x == 0.0f; }),
            1);
  for (const CFace& f : half.faces)
    for (std::int32_t i : f.indices) EXPECT_TRUE(half.HasVertex(i));
  MqoWriteOptions keep;
  keep.keepMirror = true;
  MqoWriteInfo info;
  WriteMetasequoia(s, [](const char*, std::size_t) { return true; }, keep, &info);
  ASSERT_EQ(info.warnings.size(), 1u);
  EXPECT_NE(info.warnings[0].find("4 個"), std::string::npos);
  // A model without symmetric modelling is written whole even with the choice on.
  m.symmetryAxis = 0;
  WriteMetasequoia(s, [](const char*, std::size_t) { return true; }, keep, &info);
  EXPECT_TRUE(info.warnings.empty());
}

}  // namespace
}  // namespace mw
