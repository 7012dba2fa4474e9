// Selecting edges and faces: conversion between the modes, the transforms and commands acting on
// the vertices of what is selected (and undone exactly), steps, hiding, and picking against a
// brute-force reference.
#include "scene/element_selection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "scene/archive.h"
#include "scene/mesh_tools.h"
#include "scene/picking.h"
#include "scene/scene_delta.h"
#include "tests/support/scene_samples.h"

namespace mw {
namespace {

// A scene whose model 0 is a grid of 5 x 5 vertices (vertex z * 5 + x, face z * 4 + x), 100 apart.
CMeshwright GridScene() {
  CMeshwright s;
  s.ResetScene();
  test::FillGrid(s.models[0], 5, 100.0f, 100.0f);
  s.ComputeNormals();
  return s;
}

std::vector<int> SelectedVertices(const CModel& m) {
  std::vector<int> out;
  for (std::size_t i = 0; i < m.vertices.size(); ++i)
    if (m.vertices[i].selected) out.push_back(static_cast<int>(i));
  return out;
}

std::vector<int> SelectedFaces(const CModel& m) {
  std::vector<int> out;
  for (std::size_t i = 0; i < m.faces.size(); ++i)
    if (m.faces[i].selected) out.push_back(static_cast<int>(i));
  return out;
}

void PickFace(CMeshwright& s, int face, PickOp op = PickOp::kAdd) {
  PickHit h;
  h.model = 0;
  h.face = face;
  ApplyPick(s, h, op);
}

TEST(SelectModes, ConversionBothWays) {
  CMeshwright s = GridScene();
  CModel& m = s.models[0];
  SetSelectMode(s, kSelectFaces);
  PickFace(s, 0);
  PickFace(s, 5);  // diagonal neighbours across vertex 6
  EXPECT_EQ(SelectedVertices(m), (std::vector<int>{0, 1, 5, 6, 7, 11, 12}));
  SetSelectMode(s, kSelectEdges);  // the eight sides of the two faces
  EXPECT_EQ(m.selectedEdges.size(), 8u);
  EXPECT_TRUE(EdgeSelected(m, 6, 7));
  EXPECT_FALSE(EdgeSelected(m, 1, 2));
  SetSelectMode(s, kSelectFaces);  // faces all of whose sides are selected
  EXPECT_EQ(SelectedFaces(m), (std::vector<int>{0, 5}));
  SetSelectMode(s, kSelectVertices);
  EXPECT_EQ(SelectedVertices(m), (std::vector<int>{0, 1, 5, 6, 7, 11, 12}));
  EXPECT_TRUE(SelectedFaces(m).empty());
  EXPECT_TRUE(m.selectedEdges.empty());
  // Vertices give the edges and faces whose corners are all selected: also face 1's corners
  // 1, 2?  No: vertex 2 is not selected, so only faces 0 and 5 come back.
  SetSelectMode(s, kSelectFaces);
  EXPECT_EQ(SelectedFaces(m), (std::vector<int>{0, 5}));
  // Edges that make no whole face give no face, and their lone vertices go.
  SetSelectMode(s, kSelectEdges);
  m.selectedEdges.clear();
  MarkEdge(m, 0, 1, true);
  MarkEdge(m, 1, 6, true);
  MarkEdge(m, 6, 5, true);
  SelectVerticesOfElements(m, kSelectEdges);
  EXPECT_EQ(SelectedVertices(m), (std::vector<int>{0, 1, 5, 6}));
  SetSelectMode(s, kSelectFaces);
  EXPECT_TRUE(SelectedFaces(m).empty());
  EXPECT_TRUE(SelectedVertices(m).empty());
  // Vertex to edge: every edge between two selected vertices.
  SetSelectMode(s, kSelectVertices);
  for (int v : {0, 1, 6}) m.vertices[static_cast<std::size_t>(v)].selected = 1;
  SetSelectMode(s, kSelectEdges);
  EXPECT_EQ(m.selectedEdges, (std::vector<std::uint64_t>{EdgeKey(0, 1), EdgeKey(1, 6)}));
  // A band over four faces adds their twelve edges, each once though two faces meet most of them.
  const PaneProjection top = PaneProjection::Ortho(s, kPlaneTop, 0, 0);
  SelectInBand(s, top, nullptr, -10, -10, 210, 210, 1, false);
  EXPECT_EQ(m.selectedEdges.size(), 12u);
  EXPECT_EQ(std::adjacent_find(m.selectedEdges.begin(), m.selectedEdges.end()), m.selectedEdges.end());
}

// Every transform and command of the selection acts on the vertices of the picked faces or edges
// only, and its undo gives back the bytes and the selection.
TEST(SelectModes, TransformsActOnTheVerticesOfPickedElementsAndUndoExactly) {
  struct Edit {
    const char* what;
    EditKind kind;
    std::function<void(CMeshwright&)> change;
  };
  const Edit edits[] = {
      {"move", EditKind::kMove, [](CMeshwright& s) { s.MoveSelected(13.0f, -7.0f, 2.5f); }},
      {"rotate", EditKind::kRotate, [](CMeshwright& s) { s.RotateSelected(kPlaneTop, 33.0f, 20, -10); }},
      {"size", EditKind::kSize, [](CMeshwright& s) { s.SizeSelected(kPlaneFace, 17.0f, 3, 4); }},
      {"stretch", EditKind::kStretch, [](CMeshwright& s) { s.StretchSelected(kPlaneLeft, 9.0f, -4.0f, 7, 3); }},
      {"numeric move", EditKind::kNumericMove, [](CMeshwright& s) { s.TranslateSelected(1.5, 2.5, -3.5); }},
      {"numeric rotate", EditKind::kNumericRotate,
       [](CMeshwright& s) { s.RotateSelectedAbout(kPlaneFace, 45.0f, CVector(10, 20, 30)); }},
      {"numeric size", EditKind::kNumericSize,
       [](CMeshwright& s) { s.ScaleSelectedAbout(CVector(5, 5, 5), CVector(2.0f, 0.5f, -1.0f)); }},
      {"weld", EditKind::kWeld, [](CMeshwright& s) { WeldSelected(s, 150.0); }},
      {"flip", EditKind::kFlip, [](CMeshwright& s) { FlipSelectedFaces(s); }},
      {"delete", EditKind::kDelete, [](CMeshwright& s) { s.DeleteSelection(); }},
  };
  for (SelectMode mode : {kSelectEdges, kSelectFaces}) {
    for (const Edit& e : edits) {
      SCOPED_TRACE(std::string(e.what) + (mode == kSelectEdges ? " (edges)" : " (faces)"));
      CMeshwright s = GridScene();
      SetSelectMode(s, mode);
      CModel& m = s.models[0];
      if (mode == kSelectFaces) {
        PickFace(s, 0);
        PickFace(s, 5);
      } else {
        for (auto [a, b] : {std::pair{0, 1}, {1, 6}, {6, 5}, {5, 0}, {12, 13}}) MarkEdge(m, a, b, true);
        SelectVerticesOfElements(m, mode);
      }
      const std::vector<int> picked = SelectedVertices(m);
      const CMeshwright before = s;
      std::vector<std::uint8_t> bytesBefore, bytesAfter;
      WriteScene(s, bytesBefore);
      SceneDelta d = SceneDelta::Capture(e.kind, s);
      e.change(s);
      s.ComputeNormals();
      d.Finish(s);
      if (e.kind != EditKind::kWeld && e.kind != EditKind::kDelete && e.kind != EditKind::kFlip) {
        ASSERT_EQ(s.models[0].vertices.size(), before.models[0].vertices.size());
        for (std::size_t i = 0; i < m.vertices.size(); ++i) {
          const bool isPicked = std::find(picked.begin(), picked.end(), static_cast<int>(i)) != picked.end();
          EXPECT_EQ(s.models[0].vertices[i].position == before.models[0].vertices[i].position, !isPicked)
              << "vertex " << i;
        }
      }
      if (e.kind == EditKind::kDelete) {  // the picked faces go; in edge mode the ring of four makes face 0
        EXPECT_EQ(s.models[0].faces.size(), mode == kSelectFaces ? 14u : 15u);
      }
      ASSERT_FALSE(d.Empty());
      d.Undo(s);
      WriteScene(s, bytesAfter);
      EXPECT_EQ(bytesAfter, bytesBefore);
      EXPECT_EQ(SelectedVertices(s.models[0]), picked);
      EXPECT_EQ(SelectedFaces(s.models[0]), SelectedFaces(before.models[0]));
      EXPECT_EQ(s.models[0].selectedEdges, before.models[0].selectedEdges);
    }
  }
}

TEST(SelectModes, GrowShrinkMaterialInvert) {
  CMeshwright s = GridScene();
  CModel& m = s.models[0];
  SetSelectMode(s, kSelectFaces);
  PickFace(s, 5);  // the middle of the 4 x 4 faces: (1, 1)
  GrowSelection(s);
  EXPECT_EQ(SelectedFaces(m), (std::vector<int>{0, 1, 2, 4, 5, 6, 8, 9, 10}));
  ShrinkSelection(s);
  EXPECT_EQ(SelectedFaces(m), (std::vector<int>{5}));
  ShrinkSelection(s);
  EXPECT_TRUE(SelectedFaces(m).empty());
  // Vertex mode: one step across faces, then back.
  SetSelectMode(s, kSelectVertices);
  m.vertices[12].selected = 1;
  GrowSelection(s);
  EXPECT_EQ(SelectedVertices(m), (std::vector<int>{6, 7, 8, 11, 12, 13, 16, 17, 18}));
  ShrinkSelection(s);
  EXPECT_EQ(SelectedVertices(m), (std::vector<int>{12}));
  // By material, added to what is selected, hidden faces left out.
  SetSelectMode(s, kSelectFaces);
  m.faces[3].material = 7;
  m.faces[15].material = 7;
  m.faces[15].hidden = 1;
  SelectByMaterial(s, 7);
  EXPECT_EQ(SelectedFaces(m), (std::vector<int>{3}));
  InvertElements(s);
  EXPECT_EQ(SelectedFaces(m).size(), 14u);  // 16 less face 3 less the hidden 15
  EXPECT_FALSE(m.faces[15].selected);
}

TEST(SelectModes, HiddenElementsAreNeitherPickedSelectedNorChanged) {
  CMeshwright s = GridScene();
  CModel& m = s.models[0];
  SetSelectMode(s, kSelectFaces);
  PickFace(s, 0);
  EXPECT_TRUE(HideSelection(s, false));
  EXPECT_TRUE(m.faces[0].hidden);
  EXPECT_TRUE(m.vertices[0].hidden);   // only face 0 used it
  EXPECT_FALSE(m.vertices[1].hidden);  // face 1 still shows it
  EXPECT_TRUE(SelectedVertices(m).empty());
  s.SetAllSelected(1);
  SyncElementsFromVertices(s);
  EXPECT_FALSE(m.faces[0].selected);
  EXPECT_FALSE(m.faces[0].allSelected);
  EXPECT_FALSE(m.vertices[0].selected);
  const CVector kept = m.vertices[0].position;
  s.MoveSelected(10.0f, 10.0f, 10.0f);
  EXPECT_EQ(m.vertices[0].position, kept);
  s.DeleteSelection();  // every face in sight goes; the hidden one stays
  ASSERT_EQ(m.faces.size(), 1u);
  EXPECT_TRUE(m.faces[0].hidden);
  // A click where it lies picks nothing.
  s.SetAllSelected(0);
  SyncElementsFromVertices(s);
  PickOptions o;
  o.mode = kSelectFaces;
  const PaneProjection top = PaneProjection::Ortho(s, kPlaneTop, 0, 0);
  EXPECT_FALSE(PickAt(s, top, nullptr, 5.0, 5.0, o).Found());
  EXPECT_TRUE(RevealAll(s));
  EXPECT_FALSE(HasHidden(m));
  EXPECT_TRUE(m.faces[0].selected);  // what comes back is selected
  EXPECT_TRUE(PickAt(s, top, nullptr, 5.0, 5.0, o).Found());
  // Hiding the rest: everything but the selection.
  CMeshwright t = GridScene();
  SetSelectMode(t, kSelectFaces);
  PickFace(t, 5);
  EXPECT_TRUE(HideSelection(t, true));
  std::size_t shown = 0;
  for (const CFace& f : t.models[0].faces) shown += !f.hidden;
  EXPECT_EQ(shown, 1u);
  EXPECT_FALSE(t.models[0].faces[5].hidden);
}

// ---- Picking against a brute-force reference ----

// Random triangles and quads scattered in front of the default camera, some overlapping.
CMeshwright RandomScene(std::mt19937& rng) {
  CMeshwright s;
  s.ResetScene();
  s.viewportWidth = 320.0f, s.viewportHeight = 240.0f;
  std::uniform_real_distribution<float> pos(-300.0f, 300.0f), size(20.0f, 150.0f);
  CModel& m = s.models[0];
  const int faces = 3 + static_cast<int>(rng() % 12);
  for (int j = 0; j < faces; ++j) {
    const float x = pos(rng), y = pos(rng), z = pos(rng), w = size(rng), h = size(rng);
    const auto base = static_cast<std::int32_t>(m.vertices.size());
    m.vertices.emplace_back(x, y, z);
    m.vertices.emplace_back(x + w, y + pos(rng) / 10, z);
    m.vertices.emplace_back(x + w, y + h, z + pos(rng) / 5);
    CFace f;
    f.indices = {base, base + 1, base + 2};
    if (rng() % 2) {
      m.vertices.emplace_back(x, y + h, z);
      f.indices.push_back(base + 3);
    }
    m.faces.push_back(f);
  }
  s.ComputeNormals();
  return s;
}

// The reference: every element tried, depths worked out afresh from the projection for each, by
// barycentric weights of each fan triangle.
double CoverDepth(const CModel& m, const std::vector<ScreenPoint>& p, const CFace& f, double x, double y) {
  double best = std::numeric_limits<double>::infinity();
  for (std::size_t k = 1; k + 1 < f.indices.size(); ++k) {
    const ScreenPoint &a = p[static_cast<std::size_t>(f.indices[0])], &b = p[static_cast<std::size_t>(f.indices[k])],
                      &c = p[static_cast<std::size_t>(f.indices[k + 1])];
    if (!a.ok || !b.ok || !c.ok) continue;
    const double det = (b.y - c.y) * (a.x - c.x) + (c.x - b.x) * (a.y - c.y);
    if (det == 0.0) continue;
    const double l1 = ((b.y - c.y) * (x - c.x) + (c.x - b.x) * (y - c.y)) / det;
    const double l2 = ((c.y - a.y) * (x - c.x) + (a.x - c.x) * (y - c.y)) / det;
    const double l3 = 1.0 - l1 - l2;
    if (l1 < 0 || l2 < 0 || l3 < 0) continue;
    best = std::min(best, l1 * a.depth + l2 * b.depth + l3 * c.depth);
  }
  (void)m;
  return best;
}

std::vector<ScreenPoint> Projected(const CModel& m, const PaneProjection& view) {
  std::vector<ScreenPoint> p;
  for (const CVertex& v : m.vertices) p.push_back(view(v.position));
  return p;
}

// Whether a face that does not use vertex i lies in front of it where it is drawn.
bool CoveredByReference(const CModel& m, const std::vector<ScreenPoint>& p, std::size_t i) {
  for (const CFace& f : m.faces) {
    if (std::find(f.indices.begin(), f.indices.end(), static_cast<std::int32_t>(i)) != f.indices.end()) continue;
    if (CoverDepth(m, p, f, p[i].x, p[i].y) < p[i].depth) return true;
  }
  return false;
}

PickHit ReferencePick(const CMeshwright& s, const PaneProjection& view, double px, double py, SelectMode mode,
                      bool visibleOnly, double radius) {
  const CModel& m = s.models[0];
  const std::vector<ScreenPoint> p = Projected(m, view);
  PickHit hit;
  double bestD = std::numeric_limits<double>::infinity(), bestZ = bestD;
  if (mode == kSelectFaces) {
    for (std::size_t fi = 0; fi < m.faces.size(); ++fi) {
      const double z = CoverDepth(m, p, m.faces[fi], px, py);
      if (z < bestZ) bestZ = z, hit = PickHit{0, -1, -1, -1, static_cast<std::int32_t>(fi)};
    }
    return hit;
  }
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (!p[i].ok) continue;
    const double d = std::hypot(p[i].x - px, p[i].y - py);
    if (d > radius || d > bestD || (d == bestD && p[i].depth >= bestZ)) continue;
    if (visibleOnly && CoveredByReference(m, p, i)) continue;
    bestD = d, bestZ = p[i].depth;
    hit = PickHit{0, static_cast<std::int32_t>(i), -1, -1, -1};
  }
  return hit;
}

TEST(Picking, ClicksMatchABruteForceReferenceInEveryPane) {
  std::mt19937 rng(2727);
  int compared = 0, hits = 0, hiddenMisses = 0;
  for (int seed = 0; seed < 120; ++seed) {
    CMeshwright s = RandomScene(rng);
    s.zoom = seed % 3 == 0 ? 40.0f : seed % 3 == 1 ? 100.0f : 230.0f;
    s.camera.rotation = CVector(static_cast<float>(rng() % 90) - 45.0f, static_cast<float>(rng() % 360), 0.0f);
    s.camera.translation = CVector(0.0f, 0.0f, -2500.0f - static_cast<float>(rng() % 2000));
    for (int pane = 0; pane < 4; ++pane) {
      const PaneProjection view = pane < 3 ? PaneProjection::Ortho(s, static_cast<Plane>(pane), 160, 120)
                                           : PaneProjection::Perspective(s, 320, 240);
      const DepthRaster raster(s, view);
      for (int click = 0; click < 12; ++click) {
        double px, py;
        // Half the clicks near a vertex, so vertex picking (and its hiding) is exercised.
        const CModel& m = s.models[0];
        if (click % 2) {
          const ScreenPoint v = view(m.vertices[rng() % m.vertices.size()].position);
          px = v.x + static_cast<double>(rng() % 7) - 3.0, py = v.y + static_cast<double>(rng() % 7) - 3.0;
        } else {
          px = static_cast<double>(rng() % 320), py = static_cast<double>(rng() % 240);
        }
        // Off the whole pixels the orthographic panes put corners on: a click exactly on a side is
        // inside by one rounding and outside by another.
        px += 0.37, py += 0.29;
        for (SelectMode mode : {kSelectVertices, kSelectFaces}) {
          SCOPED_TRACE(::testing::Message() << "seed " << seed << " pane " << pane << " mode " << mode << " at " << px
                                            << "," << py);
          PickOptions o;
          o.mode = mode;
          const bool perspective = pane == 3;
          const PickHit got = PickAt(s, view, perspective ? &raster : nullptr, px, py, o);
          const PickHit want = ReferencePick(s, view, px, py, mode, perspective, o.radius);
          if (mode == kSelectVertices && perspective && got.vertex != want.vertex) {
            // The raster decides what is in sight pixel by pixel: a vertex within a pixel of the
            // outline of a face in front of it may go either way.
            ++hiddenMisses;
            continue;
          }
          EXPECT_EQ(got.vertex, want.vertex);
          EXPECT_EQ(got.face, want.face);
          hits += got.Found();
          ++compared;
        }
      }
    }
  }
  EXPECT_GT(hits, compared / 4);  // the scenes are not empty space
  EXPECT_LT(hiddenMisses, compared / 30);
}

TEST(Picking, BandInThePerspectivePaneTakesOnlyWhatIsInSight) {
  CMeshwright s;
  s.ResetScene();
  s.viewportWidth = 200.0f, s.viewportHeight = 200.0f;
  s.zoom = 100.0f;
  s.camera.translation = CVector(0.0f, 0.0f, -3000.0f);
  s.camera.rotation = CVector(0.0f, 0.0f, 0.0f);
  CModel& m = s.models[0];
  // A big square in front and a small one straight behind it, the same way round.
  for (float z : {100.0f, -100.0f}) {  // the camera looks along +z from z = -3000 / zoom: +100 is nearer
    const float h = z > 0 ? 200.0f : 50.0f;
    const auto base = static_cast<std::int32_t>(m.vertices.size());
    m.vertices.emplace_back(-h, -h, z);
    m.vertices.emplace_back(-h, h, z);
    m.vertices.emplace_back(h, h, z);
    m.vertices.emplace_back(h, -h, z);
    CFace f;
    f.indices = {base, base + 1, base + 2, base + 3};
    m.faces.push_back(f);
  }
  s.ComputeNormals();
  const PaneProjection view = PaneProjection::Perspective(s, 200, 200);
  const ScreenPoint nearCorner = view(m.vertices[0].position), farCorner = view(m.vertices[4].position);
  ASSERT_TRUE(nearCorner.ok && farCorner.ok);
  ASSERT_LT(nearCorner.depth, farCorner.depth);
  const DepthRaster raster(s, view);
  for (SelectMode mode : {kSelectVertices, kSelectEdges, kSelectFaces}) {
    for (bool through : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "mode " << mode << " through " << through);
      s.SetAllSelected(0);
      SetSelectMode(s, kSelectVertices);
      SetSelectMode(s, mode);
      SelectInBand(s, view, &raster, 0, 0, 200, 200, 1, through);
      const bool bigShown = true, smallShown = through;
      EXPECT_EQ(m.vertices[0].selected != 0, bigShown);
      EXPECT_EQ(m.vertices[4].selected != 0, smallShown);
      if (mode == kSelectFaces) {
        EXPECT_EQ(m.faces[1].selected != 0, smallShown);
      }
      if (mode == kSelectEdges) {
        EXPECT_EQ(EdgeSelected(m, 4, 5), smallShown);
        // Each edge once, though the band meets the edges of both squares' sides only once each.
        EXPECT_EQ(std::adjacent_find(m.selectedEdges.begin(), m.selectedEdges.end()), m.selectedEdges.end());
        EXPECT_EQ(m.selectedEdges.size(), smallShown ? 8u : 4u);
      }
    }
  }
}

}  // namespace
}  // namespace mw
