// Boxes from a dragged rectangle, and snapping to the grid.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "scene/meshwright.h"
#include "scene/snap.h"

namespace mw {
namespace {

CMeshwright NewDocument() {
  CMeshwright s;
  s.ResetScene();
  return s;
}

double Dot(const CVector& a, double x, double y, double z) { return a.x * x + a.y * y + a.z * z; }

// 8 vertices and 6 quads, each quad flat and facing away from the middle: its corners run
// clockwise seen from outside, so the stored normal points in and the perspective pane, which
// lights the negated normal, shows the outside.
void ExpectClosedOutwardBox(CMeshwright& s, std::size_t firstVertex, std::size_t firstFace) {
  CModel& m = s.models[static_cast<std::size_t>(s.currentModel)];
  ASSERT_EQ(m.vertices.size(), firstVertex + 8);
  ASSERT_EQ(m.faces.size(), firstFace + 6);
  m.ComputeNormals(1);
  double mid[3] = {0, 0, 0};
  for (std::size_t i = firstVertex; i < m.vertices.size(); ++i)
    for (int a = 0; a < 3; ++a) mid[a] += Component(m.vertices[i].position, a) / 8.0;
  std::set<std::int32_t> used;
  for (std::size_t f = firstFace; f < m.faces.size(); ++f) {
    const CFace& face = m.faces[f];
    ASSERT_EQ(face.indices.size(), 4u);
    ASSERT_EQ(face.uvs.size(), 4u);
    EXPECT_EQ(face.uvs[0].u, 0.0f);
    EXPECT_EQ(face.uvs[1].v, 1.0f);
    EXPECT_EQ(face.uvs[2].u, 1.0f);
    EXPECT_EQ(face.uvs[3].v, 0.0f);
    EXPECT_EQ(face.material, s.CurrentMaterialId());
    double c[3] = {0, 0, 0};
    for (std::int32_t i : face.indices) {
      ASSERT_GE(i, static_cast<std::int32_t>(firstVertex));
      used.insert(i);
      for (int a = 0; a < 3; ++a) c[a] += Component(m.vertices[static_cast<std::size_t>(i)].position, a) / 4.0;
    }
    const double out[3] = {c[0] - mid[0], c[1] - mid[1], c[2] - mid[2]};
    // Both triangles of the quad turn the same way, so the quad is not twisted.
    const CVector& p0 = m.vertices[static_cast<std::size_t>(face.indices[0])].position;
    const CVector& p2 = m.vertices[static_cast<std::size_t>(face.indices[2])].position;
    const CVector& p3 = m.vertices[static_cast<std::size_t>(face.indices[3])].position;
    const CVector second = Cross(p0 - p2, p0 - p3);
    EXPECT_LT(Dot(face.normal, out[0], out[1], out[2]), 0.0) << "face " << f;
    EXPECT_LT(Dot(second, out[0], out[1], out[2]), 0.0) << "face " << f;
  }
  EXPECT_EQ(used.size(), 8u);
}

TEST(Box, ADragInEachPlaneMakesAClosedOutwardBoxOfTheDraggedSize) {
  for (int plane = kPlaneTop; plane <= kPlaneLeft; ++plane) {
    SCOPED_TRACE(plane);
    CMeshwright s = NewDocument();
    s.zoom = 37.0f;
    s.cursor = Cursor3{11, -29, 47};  // pixels; y counts down
    s.AddMaterial();
    s.AddMaterial();
    s.currentMaterial = 1;
    // Something already in the model, and a face being built whose pending corner must keep
    // pointing at its pending vertex.
    s.models[0].vertices = {CVertex(1, 2, 3)};
    s.AddFacePoint(static_cast<Plane>(plane), 500, 500, 0, 0);
    ASSERT_EQ(s.models[0].pendingFace.indices[0], 1);

    // 74 by 111 pixels at zoom 37 are 200 by 300 units; the third side is the shorter, 200.
    CVector lo, hi;
    ASSERT_TRUE(s.BoxFromDrag(static_cast<Plane>(plane), 174, 211, 100, 100, 100, 100, 0.0, lo, hi));
    ASSERT_TRUE(s.AddBox(lo, hi));
    ExpectClosedOutwardBox(s, 1, 0);
    EXPECT_EQ(s.models[0].pendingFace.indices[0], 9);

    const PlaneAxes a = AxesOf(plane);
    EXPECT_NEAR(Component(hi, a.u.axis) - Component(lo, a.u.axis), 200.0, 1e-3);
    EXPECT_NEAR(Component(hi, a.v.axis) - Component(lo, a.v.axis), 300.0, 1e-3);
    EXPECT_NEAR(Component(hi, a.hidden) - Component(lo, a.hidden), 200.0, 1e-3);
    // The rectangle lies where it was dragged, the depth is centred on the cursor's.
    const double cursorDepth = HiddenOffset(plane, s.cursor) * 100.0 / 37.0;
    EXPECT_NEAR((Component(hi, a.hidden) + Component(lo, a.hidden)) / 2, cursorDepth, 1e-3);
    const double u0 = a.u.flipped ? -Component(hi, a.u.axis) : Component(lo, a.u.axis);
    EXPECT_NEAR(u0, 0.0, 1e-3);
    // Its 8 corners are the combinations of the two extremes.
    for (std::size_t i = 1; i < 9; ++i) {
      const CVector& p = s.models[0].vertices[i].position;
      for (int ax = 0; ax < 3; ++ax)
        EXPECT_TRUE(Component(p, ax) == Component(lo, ax) || Component(p, ax) == Component(hi, ax));
    }
  }
}

TEST(Box, NoAreaNoBoxAndNothingForALockedOrMissingModel) {
  CMeshwright s = NewDocument();
  CVector lo, hi;
  EXPECT_FALSE(s.BoxFromDrag(kPlaneFace, 10, 10, 10, 90, 0, 0, 0.0, lo, hi));   // a line
  EXPECT_FALSE(s.BoxFromDrag(kPlaneFace, 10, 10, 12, 90, 0, 0, 50.0, lo, hi));  // a line once snapped
  EXPECT_FALSE(s.BoxFromDrag(static_cast<Plane>(3), 0, 0, 50, 50, 0, 0, 0.0, lo, hi));
  ASSERT_TRUE(s.BoxFromDrag(kPlaneFace, 10, 10, 60, 90, 0, 0, 0.0, lo, hi));
  s.models[0].state = kStateLocked;
  EXPECT_FALSE(s.AddBox(lo, hi));
  s.models[0].state = kStateHidden;
  EXPECT_FALSE(s.AddBox(lo, hi));
  s.currentModel = 5;
  EXPECT_FALSE(s.AddBox(lo, hi));
  EXPECT_TRUE(s.models[0].vertices.empty());
  EXPECT_TRUE(s.models[0].faces.empty());
}

TEST(Box, SnappedCornersLieOnTheGrid) {
  CMeshwright s = NewDocument();
  s.zoom = 137.0f;
  CVector lo, hi;
  ASSERT_TRUE(s.BoxFromDrag(kPlaneTop, 3, 7, 191, 143, 0, 0, 0.37, lo, hi));
  // Each corner on its own: 3 px = 2.19 units -> 6 steps, 191 px = 139.4 -> 377, 7 px = 5.11 -> 14,
  // 143 px = 104.4 -> 282.
  EXPECT_EQ(lo.x, static_cast<float>(6 * 0.37));
  EXPECT_EQ(hi.x, static_cast<float>(377 * 0.37));
  EXPECT_EQ(lo.z, static_cast<float>(14 * 0.37));
  EXPECT_EQ(hi.z, static_cast<float>(282 * 0.37));
}

TEST(Snap, StepFollowsTheZoomAsOneTwoOrFiveTimesAPowerOfTen) {
  EXPECT_EQ(GridStepAt(100.0f), 50.0);
  EXPECT_EQ(GridStepAt(1000.0f), 5.0);
  EXPECT_EQ(GridStepAt(37.0f), 100.0);            // 135 units: 100 is nearer than 200 by ratio
  EXPECT_EQ(GridStepAt(13.0f), 500.0);            // 385 units
  EXPECT_NEAR(GridStepAt(3.0e6f), 0.002, 1e-12);  // 0.00167 units
  EXPECT_EQ(GridStepAt(0.0f), 50.0);
  EXPECT_EQ(GridStepAt(NAN), 50.0);
  GridSnap snap;
  EXPECT_EQ(snap.StepAt(100.0f), 0.0);  // off
  snap.enabled = true;
  EXPECT_EQ(snap.StepAt(1000.0f), 5.0);
  snap.step = 0.37;
  EXPECT_EQ(snap.StepAt(1000.0f), 0.37);
  snap.step = -1.0;
  EXPECT_EQ(snap.StepAt(1000.0f), 5.0);
}

TEST(Snap, RoundsToTheNearestMultipleAndLeavesWhatItCannotSnap) {
  EXPECT_EQ(SnapToStep(1.0, 0.37), 3 * 0.37);
  EXPECT_EQ(SnapToStep(-0.185, 0.37), -0.37);  // halves away from zero
  EXPECT_EQ(SnapToStep(-0.18, 0.37), 0.0);
  EXPECT_EQ(SnapToStep(1234567.0, 1e-3), std::round(1234567.0 / 1e-3) * 1e-3);
  EXPECT_EQ(SnapToStep(2.5, 0.0), 2.5);
  EXPECT_EQ(SnapToStep(2.5, -1.0), 2.5);
  EXPECT_EQ(SnapToStep(2.5, NAN), 2.5);
  EXPECT_TRUE(std::isinf(SnapToStep(INFINITY, 1.0)));
  EXPECT_EQ(SnapToGrid(CVector(1.0f, -1.0f, 0.2f), 0.37),
            CVector(static_cast<float>(3 * 0.37), static_cast<float>(-3 * 0.37), 0.37f));
}

TEST(Snap, FaceBuildingClicksPutNewCornersOnTheGrid) {
  CMeshwright s = NewDocument();
  s.zoom = 137.0f;
  s.cursor = Cursor3{0, 0, 5};  // the depth, 5 pixels = 3.65 units, snaps too
  s.AddFacePoint(kPlaneFace, 100, 50, 0, 0, 0.37);
  const CModel& m = s.models[0];
  ASSERT_EQ(m.pendingVertices.size(), 1u);
  // 100 px = 72.99 units -> 197 steps; -50 px = -36.50 units -> -99 steps; 3.65 -> 10 steps.
  EXPECT_EQ(m.pendingVertices[0].position,
            CVector(static_cast<float>(197 * 0.37), static_cast<float>(-99 * 0.37), static_cast<float>(10 * 0.37)));
  // A click a little off the same grid point reuses the corner's vertex once committed.
  s.AddFacePoint(kPlaneFace, 200, 50, 0, 0, 0.37);
  s.CommitFace();
  s.AddFacePoint(kPlaneFace, 101, 51, 0, 0, 0.37);
  EXPECT_EQ(s.models[0].pendingFace.indices[0], 0);
  // Without a step the click is taken as it is.
  s.DropFace();
  s.AddFacePoint(kPlaneFace, 100, 50, 0, 0);
  EXPECT_EQ(s.models[0].pendingFace.indices[0], 0);  // within 5 units of the corner
  s.AddFacePoint(kPlaneFace, 150, 50, 0, 0);
  EXPECT_EQ(s.models[0].pendingVertices.back().position.x, UnitsFromPixels(150, 137.0f));
}

TEST(FaceBuilding, DropForgetsTheFaceUnderConstructionOnly) {
  CMeshwright s = NewDocument();
  s.models[0].vertices = {CVertex(0, 0, 0)};
  s.AddFacePoint(kPlaneTop, 0, 0, 0, 0);   // the existing vertex
  s.AddFacePoint(kPlaneTop, 50, 0, 0, 0);  // a new one
  ASSERT_EQ(s.models[0].pendingFace.indices.size(), 2u);
  s.DropFace();
  EXPECT_TRUE(s.models[0].pendingFace.indices.empty());
  EXPECT_TRUE(s.models[0].pendingVertices.empty());
  EXPECT_EQ(s.models[0].vertices.size(), 1u);
  EXPECT_TRUE(s.models[0].faces.empty());
  s.currentModel = 3;
  s.DropFace();  // no current model: nothing
}

TEST(Snap, SelectedPositionsGoBackExactlyAndTranslateAddsModelUnits) {
  CMeshwright s = NewDocument();
  s.models[0].vertices = {CVertex(0.1f, 0.2f, 0.3f), CVertex(7, 8, 9), CVertex(-1, -2, -3)};
  s.models[0].vertices[0].selected = s.models[0].vertices[2].selected = 1;
  CModel locked;
  locked.state = kStateLocked;
  locked.vertices = {CVertex(5, 5, 5)};
  locked.vertices[0].selected = 1;
  s.models.push_back(locked);
  const std::vector<CVector> from = s.SelectedPositions();
  ASSERT_EQ(from.size(), 2u);
  s.TranslateSelected(0.37 * 243, 0.0, -0.37 * 3);
  EXPECT_EQ(s.models[0].vertices[0].position.x, static_cast<float>(0.1f + 0.37 * 243));
  EXPECT_EQ(s.models[0].vertices[2].position.z, static_cast<float>(-3.0 + -0.37 * 3));
  EXPECT_EQ(s.models[0].vertices[1].position, CVector(7, 8, 9));
  EXPECT_EQ(s.models[1].vertices[0].position, CVector(5, 5, 5));
  s.RestoreSelectedPositions(from);
  EXPECT_EQ(s.models[0].vertices[0].position, CVector(0.1f, 0.2f, 0.3f));
  EXPECT_EQ(s.models[0].vertices[2].position, CVector(-1, -2, -3));
}

}  // namespace
}  // namespace mw
