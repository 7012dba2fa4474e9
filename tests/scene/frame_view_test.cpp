// Framing: whatever the scene's place and size, every visible vertex ends up inside every pane.
#include "scene/frame_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace mw {
namespace {

// Panes of different sizes, so a mix-up of which pane limits which axis shows.
FrameViewports Sizes() {
  FrameViewports v;
  v.ortho[kPlaneTop] = PaneSize{441, 300};
  v.ortho[kPlaneFace] = PaneSize{441, 257};
  v.ortho[kPlaneLeft] = PaneSize{317, 257};
  v.perspective = PaneSize{317, 300};
  return v;
}

// A cloud of points filling a box of `size` round `centre`, always with its eight corners.
CModel Cloud(CVector centre, CVector size, int count) {
  CModel m;
  std::uint32_t seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed >> 8) / static_cast<double>(1u << 24) - 0.5;
  };
  for (int i = 0; i < count + 8; ++i) {
    const bool corner = i < 8;
    const double fx = corner ? ((i & 1) ? 0.5 : -0.5) : next();
    const double fy = corner ? ((i & 2) ? 0.5 : -0.5) : next();
    const double fz = corner ? ((i & 4) ? 0.5 : -0.5) : next();
    m.vertices.emplace_back(static_cast<float>(centre.x + fx * size.x), static_cast<float>(centre.y + fy * size.y),
                            static_cast<float>(centre.z + fz * size.z));
  }
  return m;
}

CMeshwright SceneWith(const CModel& m) {
  CMeshwright s;
  s.ResetScene();
  s.models = {m};
  s.camera.rotation = CVector(37.0f, -23.0f, 11.0f);
  s.viewportWidth = static_cast<float>(Sizes().perspective.width);
  s.viewportHeight = static_cast<float>(Sizes().perspective.height);
  return s;
}

// Every vertex of the visible models inside every orthographic pane, by the drawing's own maths;
// the widest span shown must also fill a fair part of its pane (a framing that shrank everything
// to a dot would pass the first test).
void ExpectFramed(const CMeshwright& s, const PanOffsets& pan, const FrameViewports& sizes, bool tight) {
  double fill = 0.0;
  for (int plane = kPlaneTop; plane <= kPlaneLeft; ++plane) {
    const PaneSize ps = sizes.ortho[plane];
    const PanePixel c = ShiftedBy(plane, ps.width / 2, ps.height / 2, pan);
    double lo[2] = {HUGE_VAL, HUGE_VAL}, hi[2] = {-HUGE_VAL, -HUGE_VAL};
    for (const CModel& m : s.models) {
      if (m.state == kStateHidden) continue;
      for (const CVertex& v : m.vertices) {
        const PanePoint p = ToPane(plane, v.position, s.zoom, c.x, c.y);
        ASSERT_GE(p.x, 1.0) << "plane " << plane;
        ASSERT_LT(p.x, ps.width - 1.0) << "plane " << plane;
        ASSERT_GE(p.y, 1.0) << "plane " << plane;
        ASSERT_LT(p.y, ps.height - 1.0) << "plane " << plane;
        // What is drawn is where the hit tests look.
        const PanePixel d = ToPanePixel(plane, v.position, s.zoom, c.x, c.y);
        ASSERT_EQ(d.x, static_cast<int>(p.x));
        ASSERT_EQ(d.y, static_cast<int>(p.y));
        lo[0] = std::min(lo[0], p.x), hi[0] = std::max(hi[0], p.x);
        lo[1] = std::min(lo[1], p.y), hi[1] = std::max(hi[1], p.y);
      }
    }
    fill = std::max({fill, (hi[0] - lo[0]) / ps.width, (hi[1] - lo[1]) / ps.height});
  }
  EXPECT_TRUE(AllVisibleInPanes(s, pan, sizes));
  if (tight) {
    EXPECT_GT(fill, 0.8);
  }
}

void ExpectInPerspective(const CMeshwright& s) {
  for (const CModel& m : s.models) {
    if (m.state == kStateHidden) continue;
    for (const CVertex& v : m.vertices) {
      const CVector n = PerspectiveNdc(s, v.position);
      ASSERT_LT(std::fabs(n.x), 1.0f);
      ASSERT_LT(std::fabs(n.y), 1.0f);
      ASSERT_LT(std::fabs(n.z), 1.0f);  // between the near and far planes
    }
  }
}

struct Case {
  CVector centre, size;
  bool tight;  // far enough from the panes' drawing limit to fill them
};

TEST(FrameAll, EveryVertexLandsInsideEveryPaneFarAwayAndAtExtremeScales) {
  const Case cases[] = {
      {CVector(0, 0, 0), CVector(200, 200, 200), true},
      {CVector(1.0e6f, -2.0e6f, 3.7e5f), CVector(37, 1.3f, 910), true},          // far away, flat
      {CVector(-4321.5f, 77.7f, 12345.6f), CVector(1.3f, 2.1f, 0.77f), true},    // small, off-centre
      {CVector(-43.2f, 7.77f, 123.4f), CVector(0.013f, 0.021f, 0.0077f), true},  // tiny, off-centre
      // Tiny and far: filling the panes would put the origin further off than they can draw.
      {CVector(-4321.5f, 77.7f, 12345.6f), CVector(0.013f, 0.021f, 0.0077f), false},
      {CVector(0.25f, -0.5f, 0.125f), CVector(3e-5f, 7e-5f, 1e-5f), true},        // microscopic
      {CVector(5.0e7f, -3.0e7f, 1.0e7f), CVector(1.0e7f, 3.3e6f, 9.1e6f), true},  // huge
      {CVector(1.0e9f, 2.0e9f, -3.0e9f), CVector(10, 10, 10), false},             // beyond what panes can scroll to
      {CVector(-3e37f, 1e37f, 0), CVector(1e37f, 1e37f, 1e37f), true},            // near the float limit
      {CVector(100, 200, 300), CVector(500, 0, 0), true},  // a line along x: the other spans are 0
  };
  const FrameViewports sizes = Sizes();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "centre " << c.centre.x << "," << c.centre.y << "," << c.centre.z << " size "
                                    << c.size.x << "," << c.size.y << "," << c.size.z);
    CMeshwright s = SceneWith(Cloud(c.centre, c.size, 200));
    PanOffsets pan{999, -999, 12345};
    ASSERT_TRUE(FrameScene(s, pan, sizes, false));
    EXPECT_TRUE(std::isfinite(s.zoom) && s.zoom > 0.0f);
    ExpectFramed(s, pan, sizes, c.tight);
    if (c.tight && std::fabs(c.centre.x) < 1e30f) ExpectInPerspective(s);
  }
}

TEST(FrameAll, HiddenModelsAreNotCountedLockedOnesAre) {
  const FrameViewports sizes = Sizes();
  CMeshwright s = SceneWith(Cloud(CVector(500, 600, 700), CVector(40, 50, 60), 20));
  CModel far = Cloud(CVector(-9e5f, 0, 0), CVector(10, 10, 10), 4);
  far.state = kStateHidden;
  s.models.push_back(far);
  PanOffsets pan;
  ASSERT_TRUE(FrameScene(s, pan, sizes, false));
  const float alone = s.zoom;
  ExpectFramed(s, pan, sizes, true);

  s.models[1].state = kStateLocked;
  ASSERT_TRUE(FrameScene(s, pan, sizes, false));
  EXPECT_LT(s.zoom, alone / 1000);
  ExpectFramed(s, pan, sizes, true);

  // Vertices put out of sight (H) count as little as a hidden model's, selected or not, and do not
  // make the panes look as if something lay outside them.
  for (CVertex& v : s.models[1].vertices) {
    v.hidden = 1;
    v.selected = 1;
  }
  ASSERT_TRUE(FrameScene(s, pan, sizes, false));
  EXPECT_EQ(s.zoom, alone);
  EXPECT_TRUE(AllVisibleInPanes(s, pan, sizes));
  EXPECT_TRUE(VisibleBounds(s, true).empty);
}

TEST(FrameSelection, FramesOnlySelectedVerticesOfVisibleModels) {
  const FrameViewports sizes = Sizes();
  CMeshwright s = SceneWith(Cloud(CVector(0, 0, 0), CVector(1000, 1000, 1000), 10));
  for (int i : {0, 7}) s.models[0].vertices[static_cast<std::size_t>(i)].selected = 1;  // opposite corners
  s.models[0].vertices[0].position = CVector(3000, 3010, 3020);
  s.models[0].vertices[7].position = CVector(3001, 3012, 3023);
  CModel hidden = Cloud(CVector(-5e5f, 0, 0), CVector(1, 1, 1), 0);
  hidden.state = kStateHidden;
  for (CVertex& v : hidden.vertices) v.selected = 1;
  s.models.push_back(hidden);

  PanOffsets pan;
  ASSERT_TRUE(FrameScene(s, pan, sizes, true));
  CMeshwright selectedOnly = SceneWith(CModel());
  selectedOnly.models[0].vertices = {s.models[0].vertices[0], s.models[0].vertices[7]};
  selectedOnly.zoom = s.zoom;
  selectedOnly.camera = s.camera;
  ExpectFramed(selectedOnly, pan, sizes, true);
  ExpectInPerspective(selectedOnly);
  EXPECT_FALSE(AllVisibleInPanes(s, pan, sizes));  // the rest of the cloud is out of view
}

TEST(FrameAll, NothingToFrameChangesNothing) {
  CMeshwright s;
  s.ResetScene();
  s.zoom = 250.0f;
  const CAnimation before = s.camera;
  PanOffsets pan{1, 2, 3};
  EXPECT_FALSE(FrameScene(s, pan, Sizes(), false));
  EXPECT_FALSE(FrameScene(s, pan, Sizes(), true));
  s.models[0].vertices = {CVertex(1, 2, 3)};  // nothing selected
  EXPECT_FALSE(FrameScene(s, pan, Sizes(), true));
  s.models[0].vertices[0].position = CVector(NAN, 0, 0);  // nothing drawable
  EXPECT_FALSE(FrameScene(s, pan, Sizes(), false));
  EXPECT_EQ(s.zoom, 250.0f);
  EXPECT_EQ(pan.panX, 1);
  EXPECT_EQ(pan.panY, 2);
  EXPECT_EQ(pan.panZ, 3);
  EXPECT_EQ(s.camera.translation, before.translation);
  EXPECT_EQ(s.camera.rotation, before.rotation);
}

TEST(FrameAll, OneVertexKeepsTheZoomAndLandsOnEveryPaneCentre) {
  CMeshwright s;
  s.ResetScene();
  s.zoom = 137.0f;
  s.models[0].vertices = {CVertex(123.4f, -56.7f, 890.1f), CVertex(INFINITY, 0, 0)};
  PanOffsets pan;
  const FrameViewports sizes = Sizes();
  ASSERT_TRUE(FrameScene(s, pan, sizes, false));
  EXPECT_EQ(s.zoom, 137.0f);
  for (int plane = kPlaneTop; plane <= kPlaneLeft; ++plane) {
    const PaneSize ps = sizes.ortho[plane];
    const PanePixel c = ShiftedBy(plane, ps.width / 2, ps.height / 2, pan);
    const PanePixel p = ToPanePixel(plane, s.models[0].vertices[0].position, s.zoom, c.x, c.y);
    EXPECT_EQ(p.x, ps.width / 2) << plane;
    EXPECT_EQ(p.y, ps.height / 2) << plane;
  }
  const CVector n = PerspectiveNdc(s, s.models[0].vertices[0].position);
  EXPECT_NEAR(n.x, 0.0f, 1e-5f);
  EXPECT_NEAR(n.y, 0.0f, 1e-5f);
}

TEST(FrameAll, ConverterSizesFrameLikeThePanes) {
  CMeshwright s = SceneWith(Cloud(CVector(-7000, 300, 2500), CVector(120, 80, 45), 30));
  s.viewportWidth = 0.0f;  // no perspective pane has been sized
  PanOffsets pan;
  ASSERT_TRUE(FrameScene(s, pan, DefaultViewports(), false));
  ExpectFramed(s, pan, DefaultViewports(), true);
  s.viewportWidth = static_cast<float>(DefaultViewports().perspective.width);
  s.viewportHeight = static_cast<float>(DefaultViewports().perspective.height);
  ExpectInPerspective(s);
}

}  // namespace
}  // namespace mw

namespace mw {
namespace {

// A twentieth of each pane side stays free on both sides of the framed vertices, in every pane and
// on each of its four sides, and the pane that limits the zoom is filled up to that margin (within
// the few pixels of slack the framing keeps besides).
TEST(FrameAll, TheMarginIsFreeOnEverySideOfEveryPane) {
  const FrameViewports sizes = Sizes();
  const Case cases[] = {
      {CVector(0, 0, 0), CVector(200, 200, 200), true},
      {CVector(-4321.5f, 77.7f, 12345.6f), CVector(1.3f, 2.1f, 0.77f), true},
      {CVector(123, -456, 789), CVector(900, 40, 300), true},
      {CVector(-7, 3, 5), CVector(10, 300, 10), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.size.x << "," << c.size.y << "," << c.size.z);
    CMeshwright s = SceneWith(Cloud(c.centre, c.size, 50));
    PanOffsets pan{31, -17, 5};
    ASSERT_TRUE(FrameScene(s, pan, sizes, false));
    double tightest = HUGE_VAL;  // the least free share of a side on a limiting axis
    for (int plane = kPlaneTop; plane <= kPlaneLeft; ++plane) {
      const PaneSize ps = sizes.ortho[plane];
      const PanePixel centre = ShiftedBy(plane, ps.width / 2, ps.height / 2, pan);
      double lo[2] = {HUGE_VAL, HUGE_VAL}, hi[2] = {-HUGE_VAL, -HUGE_VAL};
      for (const CVertex& v : s.models[0].vertices) {
        const PanePoint p = ToPane(plane, v.position, s.zoom, centre.x, centre.y);
        lo[0] = std::min(lo[0], p.x), hi[0] = std::max(hi[0], p.x);
        lo[1] = std::min(lo[1], p.y), hi[1] = std::max(hi[1], p.y);
      }
      const int side[2] = {ps.width, ps.height};
      for (int k = 0; k < 2; ++k) {
        const double margin = 0.05 * side[k];
        EXPECT_GE(lo[k], margin - 1.0) << "plane " << plane << (k ? " top" : " left");
        EXPECT_LE(hi[k], side[k] - margin + 1.0) << "plane " << plane << (k ? " bottom" : " right");
        tightest = std::min(tightest, (side[k] - (hi[k] - lo[k])) / 2.0 - margin);
      }
    }
    EXPECT_LE(tightest, 4.0) << "the limiting pane is filled to its margin";
  }
}

// Opening frames a document that shows whole but as a dot: smaller than a tenth of the shortest
// pane side (257 here), and not at exactly a tenth.
TEST(FrameOnOpen, OutsideThePanesOrSmallerThanATenthOfTheSmallestPane) {
  const FrameViewports sizes = Sizes();
  const PanOffsets pan;
  auto needs = [&](CVector centre, CVector size, float zoom) {
    CMeshwright s = SceneWith(Cloud(centre, size, 0));
    s.zoom = zoom;
    return NeedsFramingOnOpen(s, pan, sizes);
  };
  EXPECT_FALSE(needs(CVector(0, 0, 0), CVector(100, 100, 100), 100.0f));
  EXPECT_TRUE(needs(CVector(0, 0, 0), CVector(0.15f, 0.12f, 0.1f), 100.0f));  // the bunny
  EXPECT_TRUE(needs(CVector(300, 0, 0), CVector(100, 100, 100), 100.0f));     // outside Top and Face
  EXPECT_FALSE(needs(CVector(0, 0, 0), CVector(25.7f, 1, 1), 100.0f));        // exactly a tenth
  EXPECT_TRUE(needs(CVector(0, 0, 0), CVector(25.69f, 1, 1), 100.0f));        // just under
  EXPECT_FALSE(needs(CVector(0, 0, 0), CVector(1, 1, 12.85f), 200.0f));       // a tenth at zoom 200, along z
  EXPECT_TRUE(needs(CVector(0, 0, 0), CVector(1, 1, 12.85f), 199.0f));
  EXPECT_TRUE(needs(CVector(0, 0, 0), CVector(0, 0, 0), 100.0f));  // one point: centred
  // Hidden models are not counted; nothing visible, nothing to frame.
  CMeshwright s = SceneWith(Cloud(CVector(0, 0, 0), CVector(1, 1, 1), 0));
  s.models[0].state = kStateHidden;
  EXPECT_FALSE(NeedsFramingOnOpen(s, pan, sizes));
}

}  // namespace
}  // namespace mw
