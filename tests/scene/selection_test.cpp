#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scene/meshwright.h"

namespace mw {
namespace {

CMeshwright SceneWith(std::initializer_list<CVector> points) {
  CMeshwright s;
  s.ResetScene();
  for (const CVector& p : points) s.models[0].vertices.emplace_back(p.x, p.y, p.z);
  return s;
}

void SelectAll(CMeshwright& s) { s.SetAllSelected(1); }

TEST(SelectInRect, VerticesOnTheEdgeAreLeftAlone) {
  // Top pane, centre (100, 50): (10, 0, 0) is at pixel (110, 50).
  CMeshwright s = SceneWith({CVector(10, 0, 0)});
  s.SelectInRect(110, 0, 200, 100, kPlaneTop, 1, 100, 50);
  EXPECT_EQ(s.models[0].vertices[0].selected, 0);
  s.SelectInRect(0, 0, 110, 100, kPlaneTop, 1, 100, 50);
  EXPECT_EQ(s.models[0].vertices[0].selected, 0);
  s.SelectInRect(109, 49, 111, 51, kPlaneTop, 1, 100, 50);
  EXPECT_EQ(s.models[0].vertices[0].selected, 1);
}

TEST(SelectInRect, BothDragDirectionsSelectTheSame) {
  CMeshwright a = SceneWith({CVector(10, 0, 20), CVector(-30, 0, 5), CVector(50, 0, 50)});
  CMeshwright b = a;
  a.SelectInRect(80, 40, 120, 80, kPlaneTop, 1, 100, 50);
  b.SelectInRect(120, 80, 80, 40, kPlaneTop, 1, 100, 50);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(a.models[0].vertices[i].selected, b.models[0].vertices[i].selected);
  EXPECT_EQ(a.models[0].vertices[0].selected, 1);
  EXPECT_EQ(a.models[0].vertices[1].selected, 0);
}

TEST(SelectInRect, PlanesMapAxesAsThePanesShowThem) {
  // (10, 20, 30) at zoom 100 around (100, 50): Top (110, 80), Face (110, 30), Left (70, 30).
  CMeshwright s = SceneWith({CVector(10, 20, 30)});
  auto hit = [&s](Plane plane, int x, int y) {
    s.SetAllSelected(0);
    s.SelectInRect(x - 1, y - 1, x + 1, y + 1, plane, 1, 100, 50);
    return s.models[0].vertices[0].selected == 1;
  };
  EXPECT_TRUE(hit(kPlaneTop, 110, 80));
  EXPECT_TRUE(hit(kPlaneFace, 110, 30));
  EXPECT_TRUE(hit(kPlaneLeft, 70, 30));
  EXPECT_FALSE(hit(kPlaneLeft, 110, 30));
  EXPECT_FALSE(hit(static_cast<Plane>(3), 110, 80));
}

TEST(SelectInRect, ZoomScalesAndTruncatesTowardZero) {
  // At zoom 50, x = -3 is at -1.5 -> -1 pixel from the centre, x = 3 at +1.
  CMeshwright s = SceneWith({CVector(-3, 0, 0), CVector(3, 0, 0)});
  s.zoom = 50.0f;
  s.SelectInRect(97, 40, 100, 60, kPlaneTop, 1, 100, 50);  // strictly between 97 and 100: 98, 99
  EXPECT_EQ(s.models[0].vertices[0].selected, 1);
  s.SelectInRect(100, 40, 103, 60, kPlaneTop, 1, 100, 50);
  EXPECT_EQ(s.models[0].vertices[1].selected, 1);
}

TEST(SelectInRect, LockedAndHiddenModelsAreOnlyDeselected) {
  CMeshwright s = SceneWith({CVector(0, 0, 0)});
  s.models.push_back(s.models[0]);
  s.models.push_back(s.models[0]);
  s.models[1].state = kStateLocked;
  s.models[2].state = kStateHidden;
  s.SelectInRect(-10, -10, 10, 10, kPlaneTop, 1, 0, 0);
  EXPECT_EQ(s.models[0].vertices[0].selected, 1);
  EXPECT_EQ(s.models[1].vertices[0].selected, 0);
  EXPECT_EQ(s.models[2].vertices[0].selected, 0);
  SelectAll(s);
  s.SelectInRect(-10, -10, 10, 10, kPlaneTop, 0, 0, 0);
  for (const CModel& m : s.models) EXPECT_EQ(m.vertices[0].selected, 0);
}

TEST(SelectInRect, KeepsFaceSelectionCurrentAndIgnoresNonFiniteCoordinates) {
  CMeshwright s = SceneWith({CVector(0, 0, 0), CVector(1, 0, 0), CVector(1e30f, 0, 0),
                             CVector(std::numeric_limits<float>::quiet_NaN(), 0, 0)});
  CFace f;
  f.indices = {0, 1};
  s.models[0].faces.push_back(f);
  s.SelectInRect(-1000, -1000, 1000, 1000, kPlaneTop, 1, 0, 0);
  EXPECT_EQ(s.models[0].faces[0].allSelected, 1);
  EXPECT_EQ(s.models[0].vertices[2].selected, 0);
  EXPECT_EQ(s.models[0].vertices[3].selected, 0);
}

TEST(SetModelSelected, OnlyTheCurrentModelAndOnlyWhenValid) {
  CMeshwright s = SceneWith({CVector(0, 0, 0)});
  s.models.push_back(s.models[0]);
  s.currentModel = 1;
  s.SetModelSelected(1);
  EXPECT_EQ(s.models[0].vertices[0].selected, 0);
  EXPECT_EQ(s.models[1].vertices[0].selected, 1);
  s.currentModel = 2;
  s.SetModelSelected(0);
  s.currentModel = -1;
  s.SetModelSelected(0);
  EXPECT_EQ(s.models[1].vertices[0].selected, 1);
}

TEST(MoveSelected, PixelsBecomeModelUnitsThroughZoom) {
  CMeshwright s = SceneWith({CVector(0, 0, 0), CVector(1, 1, 1)});
  s.models[0].vertices[0].selected = 1;
  s.zoom = 200.0f;
  s.MoveSelected(10, 0, 0);
  EXPECT_EQ(s.models[0].vertices[0].position, CVector(5, 0, 0));
  EXPECT_EQ(s.models[0].vertices[1].position, CVector(1, 1, 1));
}

TEST(Transforms, SkipLockedAndHiddenModels) {
  CMeshwright s = SceneWith({CVector(10, 10, 10)});
  s.models.push_back(s.models[0]);
  s.models[0].state = kStateLocked;
  s.models[1].state = kStateHidden;
  SelectAll(s);
  s.MoveSelected(5, 5, 5);
  s.RotateSelected(kPlaneTop, 90, 0, 0);
  s.SizeSelected(kPlaneTop, 100, 0, 0);
  s.StretchSelected(kPlaneTop, 100, 100, 0, 0);
  s.RotateSelectedAbout(kPlaneTop, 90, CVector());
  s.ScaleSelectedAbout(CVector(), CVector(2, 2, 2));
  for (const CModel& m : s.models) EXPECT_EQ(m.vertices[0].position, CVector(10, 10, 10));
}

TEST(RotateSelected, NinetyDegreesInTopAboutTheOrigin) {
  CMeshwright s = SceneWith({CVector(10, 0, 0)});
  SelectAll(s);
  s.RotateSelected(kPlaneTop, 90, 0, 0);
  const CVector p = s.models[0].vertices[0].position;
  EXPECT_NEAR(p.x, 0.0f, 1e-5);
  EXPECT_EQ(p.y, 0.0f);
  EXPECT_FLOAT_EQ(p.z, -10.0f);
}

TEST(RotateSelected, PivotIsTruncatedToWholeModelUnits) {
  // At zoom 300 a pivot of 500 pixels is 166.67 units, truncated to 166; a vertex there stays put.
  CMeshwright s = SceneWith({CVector(166, 0, 0)});
  s.zoom = 300.0f;
  SelectAll(s);
  s.RotateSelected(kPlaneTop, 37, 500, 0);
  EXPECT_FLOAT_EQ(s.models[0].vertices[0].position.x, 166.0f);
  EXPECT_NEAR(s.models[0].vertices[0].position.z, 0.0f, 1e-4);
}

TEST(RotateSelected, FaceAndLeftTurnTheOtherWay) {
  // A quarter turn in Face about the origin: (10, 0, 0) -> x' = c*10, y' = -s*10.
  CMeshwright s = SceneWith({CVector(10, 0, 0), CVector(0, 0, 10)});
  SelectAll(s);
  s.RotateSelected(kPlaneFace, 90, 0, 0);
  EXPECT_NEAR(s.models[0].vertices[0].position.x, 0.0f, 1e-5);
  EXPECT_FLOAT_EQ(s.models[0].vertices[0].position.y, -10.0f);
  s.RotateSelected(kPlaneLeft, 90, 0, 0);  // (0, 0, 10): y' = s*10, z' = c*10
  EXPECT_FLOAT_EQ(s.models[0].vertices[1].position.y, 10.0f);
  EXPECT_NEAR(s.models[0].vertices[1].position.z, 0.0f, 1e-5);
  s.RotateSelected(static_cast<Plane>(7), 90, 0, 0);
  EXPECT_FLOAT_EQ(s.models[0].vertices[1].position.y, 10.0f);
}

TEST(RotateSelected, AwkwardAnglesRoundTheirCosineAndSineToFloat) {
  // Pivot (7, -3) pixels at zoom 37 is (18, -8) whole units. Expected values worked through with
  // float32 cosine and sine and double sums; unrounded ones differ in the last place.
  struct Case {
    Plane plane;
    float angle;
    CVector expected;
  };
  const Case cases[] = {
      {kPlaneTop, 1, CVector(0x1.962b88p+3f, -7.25f, 0x1.8c1274p+1f)},
      {kPlaneFace, 1, CVector(0x1.878292p+3f, -0x1.c9b548p+2f, 3.0f)},
      {kPlaneLeft, 1, CVector(12.5f, -0x1.b86534p+2f, 0x1.a1a862p+1f)},
      {kPlaneTop, 37, CVector(0x1.43a3b8p+4f, -7.25f, 0x1.06140ap+2f)},
      {kPlaneFace, 37, CVector(0x1.1b8242p+2f, -0x1.bd08ep-1f, 3.0f)},
      {kPlaneLeft, 37, CVector(12.5f, 0x1.0eaf84p+3f, 0x1.fcbcd2p+2f)},
  };
  for (const Case& c : cases) {
    CMeshwright s = SceneWith({CVector(12.5f, -7.25f, 3.0f)});
    s.zoom = 37.0f;
    SelectAll(s);
    s.RotateSelected(c.plane, c.angle, 7, -3);
    EXPECT_EQ(s.models[0].vertices[0].position, c.expected) << c.plane << " " << c.angle;
  }
}

TEST(RotateSelectedAbout, HalfTurnInFaceAboutMinusCentreY) {
  CMeshwright s = SceneWith({CVector(0, 100, 0)});
  SelectAll(s);
  s.RotateSelectedAbout(kPlaneFace, 180, CVector(0, 100, 0));
  const CVector p = s.models[0].vertices[0].position;
  EXPECT_NEAR(p.x, 0.0f, 1e-4);
  EXPECT_FLOAT_EQ(p.y, -300.0f);
  EXPECT_EQ(p.z, 0.0f);
}

TEST(SizeSelected, AmountOfOneZoomDoublesDistancesAndThePerpendicular) {
  CMeshwright s = SceneWith({CVector(10, 7, 20)});
  SelectAll(s);
  s.SizeSelected(kPlaneTop, 100, 5, 0);  // pivot (5, 0) units at zoom 100
  EXPECT_EQ(s.models[0].vertices[0].position, CVector(15, 14, 40));
}

TEST(StretchSelected, LeavesThePerpendicularAxisExactlyAlone) {
  CMeshwright s = SceneWith({CVector(10, 7, 20), CVector(10, std::numeric_limits<float>::infinity(), 20)});
  SelectAll(s);
  s.StretchSelected(kPlaneTop, 100, 0, 0, 0);
  EXPECT_EQ(s.models[0].vertices[0].position, CVector(20, 7, 20));
  EXPECT_TRUE(std::isinf(s.models[0].vertices[1].position.y));
  s.StretchSelected(kPlaneLeft, 0, 100, 0, 0);  // v is -y: y doubles about -pv
  EXPECT_EQ(s.models[0].vertices[0].position, CVector(20, 14, 20));
}

TEST(ScaleSelectedAbout, IsAbsolute) {
  CMeshwright s = SceneWith({CVector(20, 5, 5)});
  SelectAll(s);
  s.ScaleSelectedAbout(CVector(10, 0, 0), CVector(2, 1, 1));
  EXPECT_EQ(s.models[0].vertices[0].position, CVector(30, 5, 5));
  s.ScaleSelectedAbout(CVector(3, 3, 3), CVector(1, 1, 1));
  EXPECT_EQ(s.models[0].vertices[0].position, CVector(30, 5, 5));
}

TEST(Transforms, UnselectedVerticesNeverMove) {
  CMeshwright s = SceneWith({CVector(10, 20, 30)});
  s.MoveSelected(5, 5, 5);
  s.RotateSelected(kPlaneFace, 45, 3, 3);
  s.SizeSelected(kPlaneLeft, 50, 1, 1);
  EXPECT_EQ(s.models[0].vertices[0].position, CVector(10, 20, 30));
}

}  // namespace
}  // namespace mw
