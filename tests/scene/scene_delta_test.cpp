// Taking edits back and making them again: random edit sequences on generated scenes must undo to
// the very bytes they started from and redo to the very bytes they ended with.
#include "scene/scene_delta.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>

#include "scene/archive.h"
#include "scene/default_material.h"
#include "scene/fragment.h"
#include "scene/mesh_tools.h"
#include "scene/edge_loops.h"
#include "scene/picking.h"
#include "scene/primitives.h"

namespace mw {
namespace {

std::vector<std::uint8_t> Bytes(const CMeshwright& s) {
  std::vector<std::uint8_t> out;
  WriteScene(s, out);
  return out;
}

bool SameBits(const CVector& a, const CVector& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Everything the archive leaves out but the user sees: selection, vertex normals, face
// references, display state, the counter and the derived material colours.
void ExpectSameScene(const CMeshwright& a, const CMeshwright& b, const std::string& where) {
  SCOPED_TRACE(where);
  ASSERT_EQ(Bytes(a), Bytes(b));
  ASSERT_EQ(a.models.size(), b.models.size());
  for (std::size_t j = 0; j < a.models.size(); ++j) {
    const CModel &x = a.models[j], &y = b.models[j];
    EXPECT_EQ(x.state, y.state);
    EXPECT_EQ(x.mirrorAxis, y.mirrorAxis);
    EXPECT_EQ(x.selectedEdges, y.selectedEdges) << "model " << j;
    for (std::size_t i = 0; i < x.vertices.size(); ++i) {
      EXPECT_EQ(x.vertices[i].selected, y.vertices[i].selected) << "model " << j << " vertex " << i;
      EXPECT_EQ(x.vertices[i].hidden, y.vertices[i].hidden) << "model " << j << " vertex " << i;
      EXPECT_TRUE(SameBits(x.vertices[i].normal, y.vertices[i].normal)) << "model " << j << " vertex " << i;
      EXPECT_EQ(x.vertices[i].faceRefs, y.vertices[i].faceRefs) << "model " << j << " vertex " << i;
    }
    for (std::size_t i = 0; i < x.faces.size(); ++i) {
      EXPECT_EQ(x.faces[i].allSelected, y.faces[i].allSelected);
      EXPECT_EQ(x.faces[i].selected, y.faces[i].selected);
      EXPECT_EQ(x.faces[i].hidden, y.faces[i].hidden);
    }
  }
  EXPECT_EQ(a.selectMode, b.selectMode);
  EXPECT_EQ(a.nextMaterialId, b.nextMaterialId);
  ASSERT_EQ(a.materials.size(), b.materials.size());
  for (std::size_t i = 0; i < a.materials.size(); ++i)
    EXPECT_EQ(std::memcmp(a.materials[i].diffuseRGBA, b.materials[i].diffuseRGBA, sizeof(float) * 16), 0);
}

float Awkward(std::mt19937& rng) {
  std::uniform_real_distribution<float> d(-517.3f, 733.9f);
  return d(rng);
}

CModel RandomModel(std::mt19937& rng, int vertices, int faces) {
  CModel m;
  m.name = "M" + std::to_string(rng() % 1000);
  m.reservedInt = static_cast<std::int32_t>(rng() % 7);
  m.facet = 59.5f + static_cast<float>(rng() % 5);
  for (int i = 0; i < vertices; ++i) {
    m.vertices.emplace_back(Awkward(rng), Awkward(rng), Awkward(rng));
    m.vertices.back().selected = rng() % 3 == 0;
  }
  for (int i = 0; i < faces && vertices > 0; ++i) {
    CFace f;
    const int corners = 2 + static_cast<int>(rng() % 5);  // up to six, as files may have
    for (int c = 0; c < corners; ++c) f.AddIndex(static_cast<std::int32_t>(rng() % static_cast<unsigned>(vertices)));
    f.material = static_cast<std::int32_t>(rng() % 4) - 1;
    if (rng() % 2)
      for (int c = 0; c < corners; ++c) f.AddUV(CUV(0.25f * c, 0.1f));
    m.faces.push_back(f);
  }
  m.RebuildFaceRefs();
  m.UpdateFaceSelection();
  return m;
}

CMeshwright RandomScene(std::mt19937& rng) {
  CMeshwright s;
  s.ResetScene();
  s.smoothing = static_cast<std::int32_t>(rng() % 2);
  s.models.clear();
  const int models = 2 + static_cast<int>(rng() % 3);
  for (int j = 0; j < models; ++j)
    s.models.push_back(RandomModel(rng, 5 + static_cast<int>(rng() % 30), static_cast<int>(rng() % 25)));
  s.models[1].state = kStateLocked;
  for (int i = 0; i < 3; ++i) s.AddMaterial();
  s.ComputeNormals();
  // Some data that is not what recomputing gives, as a damaged or foreign file may leave it.
  if (!s.models[0].faces.empty()) s.models[0].faces[0].normal = CVector(1.5f, -0.0f, 2.0f);
  if (rng() % 2 && s.models.back().vertices.size() > 1) s.models.back().vertices[0].normal = CVector(7, 7, 7);
  if (rng() % 3 == 0) {
    CModel& m = s.models.back();
    for (CVertex& v : m.vertices)
      if (v.faceRefs.size() > 1) std::reverse(v.faceRefs.begin(), v.faceRefs.end());
  }
  s.currentModel = 0;
  s.currentMaterial = 0;
  return s;
}

// One random edit: the kind and the change, as the program's commands make them.
std::pair<EditKind, std::function<void(CMeshwright&)>> RandomEdit(std::mt19937& rng) {
  const auto plane = static_cast<Plane>(rng() % 3);
  const auto r = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const float a = Awkward(rng) / 10.0f, b = Awkward(rng) / 10.0f;
  const int px = r(200) - 100, py = r(200) - 100;
  switch (r(39)) {
    case 0:  // a drag of several motion events
      return {EditKind::kMove, [a, b](CMeshwright& sc) {
                for (int i = 0; i < 5; ++i) sc.MoveSelected(a, b, 1.0f);
                sc.ComputeNormals();
              }};
    case 1:
      return {EditKind::kRotate, [=](CMeshwright& sc) {
                sc.RotateSelected(plane, 37.0f, px, py);
                sc.ComputeNormals();
              }};
    case 2:
      return {EditKind::kSize, [=](CMeshwright& sc) {
                sc.SizeSelected(plane, a, px, py);
                sc.ComputeNormals();
              }};
    case 3:
      return {EditKind::kStretch, [=](CMeshwright& sc) {
                sc.StretchSelected(plane, a, b, px, py);
                sc.ComputeNormals();
              }};
    case 4:
      return {EditKind::kNumericRotate, [=](CMeshwright& sc) {
                sc.RotateSelectedAbout(plane, 1.0f, CVector(a, b, 0.3f));
                sc.ComputeNormals();
              }};
    case 5:
      return {EditKind::kNumericStretch, [=](CMeshwright& sc) {
                sc.ScaleSelectedAbout(CVector(a, 0, b), CVector(1.1f, -0.7f, 3.0f));
                sc.ComputeNormals();
              }};
    case 6:
      return {EditKind::kSelect,
              [=](CMeshwright& sc) { sc.SelectInRect(px - 50, py - 50, px + 60, py + 70, plane, 1, 0, 0); }};
    case 7:
      return {EditKind::kDeselect,
              [=](CMeshwright& sc) { sc.SelectInRect(px - 80, py - 50, px + 60, py + 90, plane, 0, 0, 0); }};
    case 8: return {EditKind::kSelectAll, [](CMeshwright& sc) { sc.SetAllSelected(1); }};
    case 9: return {EditKind::kModelDeselect, [](CMeshwright& sc) { sc.SetModelSelected(0); }};
    case 10:  // clicks of the face mode, some completing a face, then the release's normals
      return {EditKind::kFaceBuild, [=](CMeshwright& sc) {
                sc.AddFacePoint(plane, px, py, 0, 0);
                sc.AddFacePoint(plane, py, px, 3, 0);
                sc.ComputeNormals();
              }};
    case 11: return {EditKind::kCommitFace, [](CMeshwright& sc) { sc.CommitFace(); }};
    case 12: return {EditKind::kDelete, [](CMeshwright& sc) { sc.DeleteSelection(); }};
    case 13: return {EditKind::kAssignMaterial, [](CMeshwright& sc) { sc.AssignCurrentMaterial(); }};
    case 14: return {EditKind::kModelAdd, [](CMeshwright& sc) { sc.AddModel(); }};
    case 15: return {EditKind::kModelDelete, [](CMeshwright& sc) { sc.DeleteCurrentModel(); }};
    case 16: return {EditKind::kModelUp, [](CMeshwright& sc) { sc.MoveCurrentModelUp(); }};
    case 17: return {EditKind::kModelDown, [](CMeshwright& sc) { sc.MoveCurrentModelDown(); }};
    case 18:
      if (r(2)) return {EditKind::kModelMergeUp, [](CMeshwright& sc) { sc.MergeCurrentModelUp(); }};
      return {EditKind::kModelMergeDown, [](CMeshwright& sc) { sc.MergeCurrentModelDown(); }};
    case 19:
      return {r(2) ? EditKind::kModelRename : EditKind::kModelState, [](CMeshwright& sc) {
                if (sc.HasCurrentModel()) {
                  sc.RenameCurrentModel("\x93\xB7");
                  sc.CycleModelState(sc.currentModel);
                }
              }};
    case 20: return {EditKind::kMaterialAdd, [](CMeshwright& sc) { sc.AddMaterial(); }};
    case 21: return {EditKind::kMaterialDelete, [](CMeshwright& sc) { sc.DeleteCurrentMaterial(); }};
    case 22:
      return {EditKind::kMaterialEdit, [a](CMeshwright& sc) {
                if (!sc.HasCurrentMaterial()) return;
                CMaterial& m = sc.materials[static_cast<std::size_t>(sc.currentMaterial)];
                m.name = "edited";
                m.color[1] = a;
                m.texture = "t.bmp";
                m.UpdateMaterialColors();
                sc.ApplyDefaultUVs(m.id);
              }};
    case 23: {  // a small shape, into the current model or a new one
      PrimitiveParams shape;
      shape.kind = static_cast<PrimitiveKind>(r(kPrimitiveKindCount));
      shape.segments = shape.sides = shape.minorSegments = 3 + r(3);
      shape.rings = 2 + r(3);
      shape.subdivisions = r(2);
      const bool newModel = r(2) == 0;
      return {EditKind::kAddPrimitive, [=](CMeshwright& sc) { AddPrimitive(sc, shape, CVector(a, b, 0), newModel); }};
    }
    case 24: return {EditKind::kDuplicate, [a](CMeshwright& sc) { DuplicateSelection(sc, CVector(a, 50.0f, -a)); }};
    case 25:  // a copy of the scene's own selection, materials matched by name or added
      return {EditKind::kPaste, [](CMeshwright& sc) {
                SceneFragment f = ExtractSelection(sc);
                for (CMaterial& m : f.materials) m.name += "'";
                PasteFragment(sc, f);
              }};
    case 26: return {EditKind::kWeld, [a](CMeshwright& sc) { WeldSelected(sc, 250.0 + 2 * std::fabs(a)); }};
    case 27: return {EditKind::kFlip, [](CMeshwright& sc) { FlipSelectedFaces(sc); }};
    case 28: return {EditKind::kInvertSelection, [](CMeshwright& sc) { InvertSelection(sc); }};
    case 29: return {EditKind::kSelectConnected, [](CMeshwright& sc) { SelectConnected(sc); }};
    // Selection by element: the mode, clicks, steps, loops, hiding.
    case 30: return {EditKind::kSelectMode, [m = r(3)](CMeshwright& sc) { SetSelectMode(sc, static_cast<SelectMode>(m)); }};
    case 31:
      return {EditKind::kPick, [=](CMeshwright& sc) {
                const PaneProjection view = PaneProjection::Ortho(sc, plane, 0, 0);
                PickOptions o;
                o.mode = SelectModeOf(sc);
                o.radius = 40.0;
                ApplyPick(sc, PickAt(sc, view, nullptr, px, py, o), static_cast<PickOp>(px & 1 ? 1 : py & 1 ? 2 : 0));
              }};
    case 32:
      return {EditKind::kGrowShrink, [grow = r(2)](CMeshwright& sc) { grow ? GrowSelection(sc) : ShrinkSelection(sc); }};
    case 33:
      return {EditKind::kSelectLoop, [](CMeshwright& sc) {
                for (CModel& m : sc.models) {
                  const auto ix = sc.edgeIndexes.Get(m);
                  if (ix->EdgeCount() == 0 || !m.IsEditable()) continue;
                  for (std::int32_t e : EdgeLoop(m, *ix, 0)) MarkEdge(m, ix->Lower(e), ix->Upper(e), true);
                  SelectVerticesOfElements(m, SelectModeOf(sc));
                }
              }};
    case 34: return {EditKind::kSelectMaterial, [](CMeshwright& sc) { SelectByMaterial(sc, sc.CurrentMaterialId()); }};
    case 35: return {EditKind::kHide, [u = r(2)](CMeshwright& sc) { HideSelection(sc, u != 0); }};
    case 36: return {EditKind::kReveal, [](CMeshwright& sc) { RevealAll(sc); }};
    case 37: return {EditKind::kInvertSelection, [](CMeshwright& sc) { InvertElements(sc); }};
    case 38:  // a script: anything at all, here a bit of everything
      return {EditKind::kScript, [a, b, drop = r(2) == 0](CMeshwright& sc) {
                for (CModel& m : sc.models)
                  for (CVertex& v : m.vertices) v.position.x += a;
                if (!sc.models.empty() && drop) sc.models.erase(sc.models.begin());
                sc.AddModel();
                sc.AddMaterial();
                if (!sc.materials.empty()) sc.materials.front().diffuse = 0.5f;
                sc.camera.rotation = CVector(a, b, 1.0f);
                sc.currentMaterial = 0;
                sc.ComputeNormals();
              }};
    default: {
      const unsigned seed = static_cast<unsigned>(rng());
      return {EditKind::kImport, [seed](CMeshwright& sc) {
                std::mt19937 g(seed);
                sc.models.push_back(RandomModel(g, 9, 6));
                sc.AddMaterial();
                sc.ComputeNormals();
              }};
    }
  }
}

class UndoProperty : public ::testing::TestWithParam<unsigned> {};

TEST_P(UndoProperty, UndoAllGivesTheOriginalBytesAndRedoAllTheEditedOnes) {
  std::mt19937 rng(GetParam());
  CMeshwright s = RandomScene(rng);
  const CMeshwright original = s;
  std::vector<SceneDelta> steps;
  std::vector<CMeshwright> states{s};
  for (int i = 0; i < 40; ++i) {
    // The list positions the user points at move around between edits.
    s.currentModel = static_cast<std::int32_t>(rng() % (s.models.size() + 1)) - (rng() % 8 == 0 ? 1 : 0);
    s.currentMaterial = static_cast<std::int32_t>(rng() % (s.materials.size() + 1));
    const auto [kind, change] = RandomEdit(rng);
    SceneDelta d = SceneDelta::Capture(kind, s);
    change(s);
    d.Finish(s);
    if (d.Empty()) {
      ExpectSameScene(s, states.back(), "an empty step changed the scene, kind " + std::to_string(int(kind)));
      states.back() = s;  // pending faces and current positions may differ; nothing saved does
      continue;
    }
    steps.push_back(std::move(d));
    states.push_back(s);
  }
  // Back and forth in the middle, then all the way.
  for (std::size_t k = steps.size(); k-- > steps.size() / 2;) steps[k].Undo(s);
  ExpectSameScene(s, states[steps.size() / 2], "half undone");
  for (std::size_t k = steps.size() / 2; k < steps.size(); ++k) steps[k].Redo(s);
  ExpectSameScene(s, states.back(), "redone");
  for (std::size_t k = steps.size(); k-- > 0;) {
    steps[k].Undo(s);
    ExpectSameScene(s, states[k], "undo to " + std::to_string(k));
  }
  EXPECT_EQ(Bytes(s), Bytes(original));
  for (std::size_t k = 0; k < steps.size(); ++k) steps[k].Redo(s);
  ExpectSameScene(s, states.back(), "redo all");
}

INSTANTIATE_TEST_SUITE_P(Seeds, UndoProperty, ::testing::Range(1u, 101u));

TEST(SceneDelta, SwapModelRecordExchangesEveryFieldButTheFaceUnderConstruction) {
  CModel a, b;
  a.name = "a";
  a.reservedInt = 1;
  a.secondName = "as";
  a.mirrorAxis = 3;
  a.facet = 12.5f;
  a.vertices = {CVertex(1, 2, 3)};
  a.faces.resize(2);
  a.state = kStateHidden;
  a.selectedEdges = {EdgeKey(0, 1)};
  a.pendingFace.AddIndex(0);
  a.pendingVertices = {CVertex(9, 9, 9)};
  b.name = "b";
  SwapModelRecord(a, b);
  EXPECT_EQ(b.name, "a");
  EXPECT_EQ(b.reservedInt, 1);
  EXPECT_EQ(b.secondName, "as");
  EXPECT_EQ(b.mirrorAxis, 3);
  EXPECT_EQ(b.facet, 12.5f);
  EXPECT_EQ(b.vertices.size(), 1u);
  EXPECT_EQ(b.faces.size(), 2u);
  EXPECT_EQ(b.state, kStateHidden);
  EXPECT_EQ(b.selectedEdges.size(), 1u);
  EXPECT_TRUE(a.selectedEdges.empty());
  EXPECT_EQ(a.name, "b");
  EXPECT_EQ(a.state, kStateNormal);
  EXPECT_TRUE(a.vertices.empty());
  EXPECT_EQ(a.reservedInt, 0);
  EXPECT_EQ(a.secondName, "<NULL>");
  EXPECT_EQ(a.mirrorAxis, 0);
  EXPECT_EQ(a.facet, 0.0f);
  // The slot keeps its face under construction.
  EXPECT_EQ(a.pendingFace.CornerCount(), 1u);
  EXPECT_EQ(a.pendingVertices.size(), 1u);
  EXPECT_EQ(b.pendingFace.CornerCount(), 0u);
}

TEST(SceneDelta, AMoveKeepsTwelveBytesPerMovedVertexAndAClickThatMovesNothingIsNoStep) {
  CMeshwright s;
  s.ResetScene();
  for (int i = 0; i < 1000; ++i) s.models[0].vertices.emplace_back(float(i), 0.1f, -3.7f);
  s.SetAllSelected(1);
  s.models[0].vertices[5].selected = 0;
  s.ComputeNormals();
  SceneDelta d = SceneDelta::Capture(EditKind::kMove, s);
  EXPECT_GE(d.Bytes(), 999 * 12u);
  EXPECT_LT(d.Bytes(), 999 * 12u + 512);
  s.ComputeNormals();
  d.Finish(s);
  EXPECT_TRUE(d.Empty());
  d = SceneDelta::Capture(EditKind::kMove, s);
  s.MoveSelected(1.0f, 0.0f, 0.0f);
  d.Finish(s);
  EXPECT_FALSE(d.Empty());
  d.Undo(s);
  EXPECT_EQ(s.models[0].vertices[7].position, CVector(7.0f, 0.1f, -3.7f));
  EXPECT_EQ(s.models[0].vertices[5].position, CVector(5.0f, 0.1f, -3.7f));
}

TEST(SceneDelta, ListEditsThatChangeNothingAreNoSteps) {
  CMeshwright s;
  s.ResetScene();
  s.ComputeNormals();
  SceneDelta import = SceneDelta::Capture(EditKind::kImport, s);
  s.ComputeNormals();  // an import that could not read anything still recomputes
  import.Finish(s);
  EXPECT_TRUE(import.Empty());
  s.currentModel = 0;  // the only model: nothing above or below it
  for (EditKind k : {EditKind::kModelUp, EditKind::kModelDown, EditKind::kModelMergeUp, EditKind::kModelMergeDown}) {
    SceneDelta d = SceneDelta::Capture(k, s);
    d.Finish(s);
    EXPECT_TRUE(d.Empty()) << int(k);
  }
  s.currentMaterial = -1;
  SceneDelta del = SceneDelta::Capture(EditKind::kMaterialDelete, s);
  del.Finish(s);
  EXPECT_TRUE(del.Empty());
}

// Building in a document without materials: the material added and made current is part of the
// step, so undo takes the list, the counter and the current index back exactly.
TEST(SceneDelta, TheMaterialGivenToABoxBuiltWithoutMaterialsComesAndGoesWithIt) {
  CMeshwright s;
  s.ResetScene();
  s.currentMaterial = -1;
  SceneDelta d = SceneDelta::Capture(EditKind::kCreateBox, s);
  EXPECT_TRUE(EnsureDefaultMaterial(s));
  ASSERT_TRUE(s.AddBox(CVector(0, 0, 0), CVector(10, 20, 30)));
  d.Finish(s);
  ASSERT_FALSE(d.Empty());
  ASSERT_EQ(s.materials.size(), 1u);
  EXPECT_EQ(s.currentMaterial, 0);
  for (const CFace& f : s.models[0].faces) EXPECT_EQ(f.material, s.materials[0].id);
  d.Undo(s);
  EXPECT_TRUE(s.materials.empty());
  EXPECT_EQ(s.nextMaterialId, 0);
  EXPECT_EQ(s.currentMaterial, -1);
  EXPECT_TRUE(s.models[0].faces.empty());
  d.Redo(s);
  EXPECT_EQ(s.materials.size(), 1u);
  EXPECT_EQ(s.currentMaterial, 0);
  EXPECT_EQ(s.nextMaterialId, 1);
  // With a material there, even none current, nothing is added.
  s.currentMaterial = 5;
  EXPECT_FALSE(EnsureDefaultMaterial(s));
  EXPECT_EQ(s.materials.size(), 1u);
  EXPECT_EQ(s.currentMaterial, 5);
}

// A model read with face references out of order (or naming a face twice) keeps them as they
// were when a face committed on it is taken back; redone, they are rebuilt.
TEST(SceneDelta, UndoingACommittedFaceGivesStaleFaceReferencesBackAsTheyWere) {
  CMeshwright s;
  s.ResetScene();
  CModel& m = s.models[0];
  m.vertices = {CVertex(0, 0, 0), CVertex(100, 0, 0), CVertex(100, 0, 100), CVertex(0, 0, 100)};
  CFace a, b;
  a.indices = {0, 1, 2};
  b.indices = {0, 2, 3};
  m.faces = {a, b};
  m.RebuildFaceRefs();
  std::reverse(m.vertices[0].faceRefs.begin(), m.vertices[0].faceRefs.end());
  m.vertices[3].faceRefs.push_back(1);
  ASSERT_FALSE(FaceRefsCurrent(m));
  const CMeshwright before = s;
  // A face on vertices 1 and 2 and a new corner.
  for (int x : {100, 200}) s.AddFacePoint(kPlaneTop, x, 0, 0, 0);
  s.AddFacePoint(kPlaneTop, 200, 100, 0, 0);
  ASSERT_EQ(s.models[0].pendingFace.CornerCount(), 3u);
  SceneDelta d = SceneDelta::Capture(EditKind::kCommitFace, s);
  s.CommitFace();
  d.Finish(s);
  ASSERT_FALSE(d.Empty());
  ASSERT_EQ(s.models[0].faces.size(), 3u);
  for (int round = 0; round < 2; ++round) {
    d.Undo(s);
    ASSERT_EQ(s.models[0].vertices.size(), 4u);
    ASSERT_EQ(s.models[0].faces.size(), 2u);
    for (std::size_t i = 0; i < 4; ++i)
      EXPECT_EQ(s.models[0].vertices[i].faceRefs, before.models[0].vertices[i].faceRefs)
          << "round " << round << " vertex " << i;
    d.Redo(s);
    EXPECT_EQ(s.models[0].faces.size(), 3u);
    EXPECT_TRUE(FaceRefsCurrent(s.models[0]));
  }
}

TEST(SceneDelta, CurrentChecksAgreeWithRecomputing) {
  std::mt19937 rng(7);
  CMeshwright s = RandomScene(rng);
  s.smoothing = 1;
  s.ComputeNormals();
  for (CModel& m : s.models) {
    m.RebuildFaceRefs();
    m.ComputeNormals(1);
    EXPECT_TRUE(FaceNormalsCurrent(m));
    EXPECT_TRUE(VertexNormalsCurrent(m));
    EXPECT_TRUE(FaceRefsCurrent(m));
  }
  CModel& m = s.models[0];
  ASSERT_FALSE(m.faces.empty());
  // A face normal of -0 where +0 is computed differs in its bits only; undo must keep it.
  auto f3 = std::find_if(m.faces.begin(), m.faces.end(), [](const CFace& f) { return f.indices.size() >= 3; });
  ASSERT_NE(f3, m.faces.end());
  f3->normal.x = f3->normal.x == 0.0f ? -0.0f : std::nextafter(f3->normal.x, 1e30f);
  EXPECT_FALSE(FaceNormalsCurrent(m));
  m.vertices[static_cast<std::size_t>(f3->indices[0])].normal.z += 1.0f;
  EXPECT_FALSE(VertexNormalsCurrent(m));
  CModel two;
  two.vertices = {CVertex(0, 0, 0), CVertex(1, 0, 0)};
  CFace f;
  f.indices = {0, 1};
  two.faces = {f, f};
  two.RebuildFaceRefs();
  EXPECT_TRUE(FaceRefsCurrent(two));
  two.vertices[1].faceRefs = {1, 0};
  EXPECT_FALSE(FaceRefsCurrent(two));
  two.vertices[1].faceRefs = {0, 1, 1};
  EXPECT_FALSE(FaceRefsCurrent(two));
}

}  // namespace
}  // namespace mw
