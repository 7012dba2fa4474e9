// Laplacian and Taubin smoothing: what moves and what stays, the shrinking Taubin takes back, and
// the sharp edges that follow their vertices when others are deleted.
#include "scene/smoothing.h"

#include <gtest/gtest.h>

#include <cmath>

#include "scene/primitives.h"
#include "scene/subdivision.h"
#include "tests/support/scene_samples.h"

namespace mw {
namespace {

double MeanRadius(const CModel& m) {
  double sum = 0;
  for (const CVertex& v : m.vertices)
    sum += std::sqrt(double(v.position.x) * v.position.x + double(v.position.y) * v.position.y +
                     double(v.position.z) * v.position.z);
  return sum / static_cast<double>(m.vertices.size());
}

TEST(Smoothing, MovesOnlyWhatMayMoveAndStaysWithinTheNeighbours) {
  struct Case {
    SmoothMethod method;
    int iterations;
    double factor;
    bool keepBorders;
  };
  const Case cases[] = {{SmoothMethod::kLaplacian, 1, 0.5, true},  {SmoothMethod::kLaplacian, 10, 1.0, false},
                        {SmoothMethod::kTaubin, 3, 0.5, true},     {SmoothMethod::kTaubin, 100, 0.3, false},
                        {SmoothMethod::kLaplacian, 0, 0.5, false}, {SmoothMethod::kLaplacian, 5, 0.0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.method) << " " << c.iterations << " " << c.factor << " " << c.keepBorders);
    CModel grid;
    test::FillGrid(grid, 5);
    for (CVertex& v : grid.vertices) v.selected = 1;
    grid.vertices[12].position.y = 4.0f;  // the middle one, raised
    grid.vertices[13].selected = 0;
    grid.vertices[7].hidden = 1;
    const CModel before = grid;
    const SmoothOptions o{c.method, c.iterations, c.factor, c.keepBorders};
    const std::size_t moved = SmoothVertices(grid, o, true, 1);
    if (c.iterations == 0 || c.factor == 0.0) {
      EXPECT_EQ(moved, 0u);
      continue;
    }
    EXPECT_GT(moved, 0u);
    EXPECT_LT(grid.vertices[12].position.y, 4.0f);
    EXPECT_EQ(grid.vertices[13].position, before.vertices[13].position);  // not selected
    EXPECT_EQ(grid.vertices[7].position, before.vertices[7].position);    // hidden
    for (int i : {0, 4, 20, 24, 2, 10})  // the border: kept, or pulled inwards only
      if (c.keepBorders) {
        EXPECT_EQ(grid.vertices[i].position, before.vertices[i].position) << i;
      }
    if (c.method == SmoothMethod::kLaplacian) {  // a mean of neighbours never leaves their hull
      for (const CVertex& v : grid.vertices) {
        EXPECT_GE(v.position.y, 0.0f);
        EXPECT_LE(v.position.x, 4.0f);
        EXPECT_GE(v.position.x, 0.0f);
      }
    }
  }
}

TEST(Smoothing, TaubinKeepsTheVolumeLaplacianShrinks) {
  PrimitiveParams p;
  p.kind = PrimitiveKind::kSphere;
  p.radius = 10;
  const CModel sphere = BuildPrimitive(p, CVector(), 0);
  CModel laplace = sphere, taubin = sphere;
  for (CModel* m : {&laplace, &taubin})
    for (CVertex& v : m->vertices) v.selected = 1;
  SmoothVertices(laplace, {SmoothMethod::kLaplacian, 10, 0.5, true}, true, 0);
  SmoothVertices(taubin, {SmoothMethod::kTaubin, 10, 0.5, true}, true, 0);
  const double r0 = MeanRadius(sphere), rl = MeanRadius(laplace), rt = MeanRadius(taubin);
  EXPECT_LT(rl, 0.95 * r0);
  EXPECT_GT(rt, 0.98 * r0);
  EXPECT_LT(std::fabs(rt - r0), std::fabs(rl - r0) / 4);
}

TEST(Smoothing, SceneCommandSkipsLockedAndHiddenModels) {
  CMeshwright s;
  s.ResetScene();
  test::FillGrid(s.models[0], 4);
  s.AddModel();
  test::FillGrid(s.models[1], 4);
  s.AddModel();
  test::FillGrid(s.models[2], 4);
  for (CModel& m : s.models) {
    for (CVertex& v : m.vertices) v.selected = 1;
    m.vertices[5].position.y = 2.0f;
  }
  s.models[1].state = kStateLocked;
  s.models[2].state = kStateHidden;
  EXPECT_GT(SmoothSelected(s, SmoothOptions{}), 0u);
  EXPECT_LT(s.models[0].vertices[5].position.y, 2.0f);
  EXPECT_EQ(s.models[1].vertices[5].position.y, 2.0f);
  EXPECT_EQ(s.models[2].vertices[5].position.y, 2.0f);
}

TEST(Creases, FollowTheirVerticesWhenOthersAreDeleted) {
  CModel grid;
  test::FillGrid(grid, 3);  // vertices 0..8, quads (0 3 4 1) (1 4 5 2) (3 6 7 4) (4 7 8 5)
  SetEdgeSharpness(grid, 4, 5, 2.0f);
  SetEdgeSharpness(grid, 0, 1, 3.0f);  // goes with vertex 0
  SetEdgeSharpness(grid, 7, 8, 4.0f);
  SetVertexSharpness(grid, 8, 5.0f);
  SetVertexSharpness(grid, 0, 6.0f);
  // The first face's corners all selected: it goes, and vertex 0, which no other face uses.
  for (int i : {0, 1, 3, 4}) grid.vertices[i].selected = 1;
  grid.UpdateFaceSelection();
  grid.DeleteSelectedFaces();
  ASSERT_EQ(grid.vertices.size(), 8u);
  EXPECT_EQ(grid.creases, (std::vector<EdgeCrease>{{EdgeKey(3, 4), 2.0f}, {EdgeKey(6, 7), 4.0f}}));
  EXPECT_EQ(grid.sharpVertices, (std::vector<VertexCorner>{{7, 5.0f}}));
  EXPECT_FLOAT_EQ(EdgeSharpness(grid, 4, 3), 2.0f);
}

}  // namespace
}  // namespace mw
