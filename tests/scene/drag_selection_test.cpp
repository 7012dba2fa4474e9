// A select drag followed incrementally against the whole-scene selection at every motion.
#include "scene/drag_selection.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>

namespace mw {
namespace {

// Three models (normal, locked, hidden) of scattered vertices, some far away, NaN or infinite,
// faces of one to five corners, some naming no vertex, some naming a vertex twice; a few
// vertices selected to begin with.
CMeshwright Scattered(unsigned seed) {
  std::mt19937 rng(seed);
  auto uniform = [&rng](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  CMeshwright s;
  s.ResetScene();
  s.zoom = 37.0f;
  s.models.resize(3);
  s.models[1].state = kStateLocked;
  s.models[2].state = kStateHidden;
  for (CModel& m : s.models) {
    const int n = 300 + pick(300);
    for (int i = 0; i < n; ++i) {
      CVector p(static_cast<float>(uniform(-400, 400)), static_cast<float>(uniform(-300, 300)),
                static_cast<float>(uniform(-400, 400)));
      switch (pick(20)) {
        case 0: p.x = 1e12f; break;
        case 1: p.z = -std::numeric_limits<float>::infinity(); break;
        case 2: p.y = std::numeric_limits<float>::quiet_NaN(); break;
        default: break;
      }
      CVertex v(p.x, p.y, p.z);
      v.selected = pick(10) == 0;
      m.vertices.push_back(v);
    }
    for (int i = 0; i < 2 * n; ++i) {
      CFace f;
      const int corners = 1 + pick(5);
      for (int k = 0; k < corners; ++k) f.indices.push_back(pick(40) == 0 ? n + pick(3) : pick(n));
      if (pick(15) == 0) f.indices.push_back(f.indices[0]);
      m.faces.push_back(f);
    }
    m.UpdateFaceSelection();
  }
  return s;
}

void ExpectSameSelection(const CMeshwright& expected, const CMeshwright& actual, const std::string& where) {
  ASSERT_EQ(expected.models.size(), actual.models.size()) << where;
  for (std::size_t i = 0; i < expected.models.size(); ++i) {
    const CModel& a = expected.models[i];
    const CModel& b = actual.models[i];
    for (std::size_t v = 0; v < a.vertices.size(); ++v)
      ASSERT_EQ(a.vertices[v].selected, b.vertices[v].selected) << where << " model " << i << " vertex " << v;
    for (std::size_t f = 0; f < a.faces.size(); ++f)
      ASSERT_EQ(a.faces[f].allSelected, b.faces[f].allSelected) << where << " model " << i << " face " << f;
  }
}


// A wandering pointer: small and large steps, back across the press point, out of the pane to
// negative coordinates and beyond it, standing still.
struct Drag {
  int startX, startY;
  std::vector<std::pair<int, int>> points;
};

Drag WanderingDrag(unsigned seed) {
  std::mt19937 rng(seed);
  auto step = [&rng](int n) { return std::uniform_int_distribution<int>(-n, n)(rng); };
  Drag d;
  d.startX = 150 + step(100);
  d.startY = 100 + step(80);
  int x = d.startX, y = d.startY;
  for (int i = 0; i < 120; ++i) {
    const int size = i % 17 == 0 ? 200 : (i % 5 == 0 ? 0 : 9);
    x += step(size);
    y += step(size);
    d.points.emplace_back(x, y);
  }
  return d;
}

// Runs the drag on two copies of the scene: the whole-scene selection at every motion, as the
// pane always did, and the incremental one; every flag must agree after every motion.
void ExpectSameAsWholeScene(const CMeshwright& scene, Plane plane, std::uint8_t value, unsigned seed) {
  CMeshwright whole = scene, incremental = scene;
  DragSelection drag;
  const Drag d = WanderingDrag(seed);
  const int cx = 160, cy = 110;
  int lastX = d.startX, lastY = d.startY;
  int changes = 0;
  for (std::size_t i = 0; i < d.points.size(); ++i) {
    whole.SelectInRect(d.startX, d.startY, lastX, lastY, plane, value, cx, cy);
    changes += drag.Extend(incremental, d.startX, d.startY, lastX, lastY, plane, value, cx, cy);
    ExpectSameSelection(whole, incremental, "seed " + std::to_string(seed) + " motion " + std::to_string(i));
    if (::testing::Test::HasFatalFailure()) return;
    lastX = d.points[i].first;
    lastY = d.points[i].second;
  }
  EXPECT_GT(changes, 1) << "the drag reached some vertices";
}

TEST(DragSelection, SelectingMatchesTheWholeSceneAtEveryMotion) {
  for (unsigned seed = 1; seed <= 6; ++seed)
    for (Plane plane : {kPlaneTop, kPlaneFace, kPlaneLeft}) {
      SCOPED_TRACE(plane);
      ExpectSameAsWholeScene(Scattered(seed), plane, 1, seed * 7 + static_cast<unsigned>(plane));
    }
}

TEST(DragSelection, DeselectingReachesLockedAndHiddenModelsToo) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    CMeshwright s = Scattered(seed + 20);
    for (CModel& m : s.models) {
      for (CVertex& v : m.vertices) v.selected = 1;
      m.UpdateFaceSelection();
    }
    ExpectSameAsWholeScene(s, kPlaneFace, 0, seed);
  }
}

TEST(DragSelection, StartsOverWhenTheSceneOrTheViewChanges) {
  CMeshwright whole = Scattered(3), incremental = whole;
  DragSelection drag;
  auto both = [&](int x0, int y0, int x1, int y1, int cx, int cy, const char* step) {
    whole.SelectInRect(x0, y0, x1, y1, kPlaneTop, 1, cx, cy);
    drag.Extend(incremental, x0, y0, x1, y1, kPlaneTop, 1, cx, cy);
    ExpectSameSelection(whole, incremental, step);
  };
  both(100, 100, 140, 130, 160, 110, "first");
  // The zoom changes (both buttons held): the pixels are not the ones sorted.
  whole.zoom = incremental.zoom = 61.0f;
  both(100, 100, 150, 140, 160, 110, "zoomed");
  // The pane scrolls: another centre.
  both(100, 100, 155, 145, 147, 93, "scrolled");
  // A model is locked and another added.
  whole.models[0].state = incremental.models[0].state = kStateLocked;
  whole.models.push_back(Scattered(4).models[0]);
  incremental.models.push_back(Scattered(4).models[0]);
  both(100, 100, 170, 160, 147, 93, "locked and added");
  // Everything is deselected behind its back (a menu command during the drag): told to forget,
  // it selects the whole rectangle again as the whole-scene selection does.
  for (CMeshwright* s : {&whole, &incremental})
    for (CModel& m : s->models) {
      for (CVertex& v : m.vertices) v.selected = 0;
      m.UpdateFaceSelection();
    }
  drag.Forget();
  both(100, 100, 171, 161, 147, 93, "after forgetting");
}

TEST(DragSelection, ReportsWhetherAnyFlagChanged) {
  CMeshwright s;
  s.ResetScene();
  s.zoom = 100.0f;
  s.models[0].vertices = {CVertex(10, 0, 10), CVertex(40, 0, 10)};
  DragSelection drag;
  // Centre (100, 50): the vertices are at (110, 60) and (140, 60).
  EXPECT_TRUE(drag.Extend(s, 100, 50, 100, 50, kPlaneTop, 1, 100, 50)) << "the first call goes over everything";
  EXPECT_FALSE(drag.Extend(s, 100, 50, 105, 55, kPlaneTop, 1, 100, 50));
  EXPECT_TRUE(drag.Extend(s, 100, 50, 111, 61, kPlaneTop, 1, 100, 50));
  EXPECT_EQ(s.models[0].vertices[0].selected, 1);
  EXPECT_FALSE(drag.Extend(s, 100, 50, 111, 61, kPlaneTop, 1, 100, 50)) << "the same rectangle again";
  EXPECT_FALSE(drag.Extend(s, 100, 50, 140, 70, kPlaneTop, 1, 100, 50)) << "140 is on the edge, not inside";
  EXPECT_TRUE(drag.Extend(s, 100, 50, 141, 70, kPlaneTop, 1, 100, 50));
  EXPECT_FALSE(drag.Extend(s, 100, 50, 100, 50, kPlaneTop, 1, 100, 50)) << "shrinking keeps what was selected";
  EXPECT_EQ(s.models[0].vertices[1].selected, 1);
  EXPECT_FALSE(drag.Extend(s, 0, 0, 500, 500, static_cast<Plane>(3), 1, 100, 50)) << "no such plane";
}

}  // namespace
}  // namespace mw
