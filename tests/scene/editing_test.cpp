#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scene/meshwright.h"
#include "scene/texture_service.h"

namespace mw {
namespace {

CMeshwright NewDocument() {
  CMeshwright s;
  s.ResetScene();
  return s;
}

// Clicks in the Top pane, centre (0, 0), at zoom 100: pixel (x, y) is model (x, -cursor.y, y).
void ClickTop(CMeshwright& s, int x, int y) { s.AddFacePoint(kPlaneTop, x, y, 0, 0); }

TEST(FaceBuilding, FourClicksMakeAQuadrilateral) {
  CMeshwright s = NewDocument();
  ClickTop(s, 0, 0);
  ClickTop(s, 100, 0);
  ClickTop(s, 100, 100);
  EXPECT_EQ(s.models[0].faces.size(), 0u);
  EXPECT_EQ(s.models[0].pendingVertices.size(), 3u);
  ClickTop(s, 0, 100);
  const CModel& m = s.models[0];
  ASSERT_EQ(m.faces.size(), 1u);
  EXPECT_EQ(m.faces[0].indices, (IndexList{0, 1, 2, 3}));
  EXPECT_TRUE(m.faces[0].uvs.empty());
  EXPECT_EQ(m.vertices.size(), 4u);
  EXPECT_EQ(m.vertices[2].position, CVector(100, 0, 100));
  EXPECT_EQ(m.pendingFace.CornerCount(), 0u);
  EXPECT_TRUE(m.pendingVertices.empty());
  EXPECT_EQ(m.vertices[0].faceRefs, (FaceRefList{0}));
}

TEST(FaceBuilding, SnapsToCommittedVerticesStrictlyWithinFiveUnits) {
  CMeshwright s = NewDocument();
  s.models[0].vertices.emplace_back(0.0f, 0.0f, 0.0f);
  s.models[0].AddPendingPoint(4.9f, 0.0f, -4.9f, 100.0f, 0);
  EXPECT_EQ(s.models[0].pendingFace.indices, (IndexList{0}));
  s.models[0].AddPendingPoint(5.0f, 0.0f, 0.0f, 100.0f, 0);
  EXPECT_EQ(s.models[0].pendingFace.indices, (IndexList{0, 1}));
  // Pending vertices are not snapped to: the same place again makes another new vertex.
  s.models[0].AddPendingPoint(5.0f, 0.0f, 0.0f, 100.0f, 0);
  EXPECT_EQ(s.models[0].pendingFace.indices, (IndexList{0, 1, 2}));
}

TEST(FaceBuilding, ZoomConvertsClicksAndCursorSuppliesTheHiddenAxis) {
  CMeshwright s = NewDocument();
  s.zoom = 200.0f;
  s.cursor = Cursor3{6, 8, 10};
  s.AddFacePoint(kPlaneTop, 110, 70, 100, 50);   // (10, -8, 20) px -> (5, -4, 10)
  s.AddFacePoint(kPlaneFace, 110, 70, 100, 50);  // (10, -20, 10) px -> (5, -10, 5)
  s.AddFacePoint(kPlaneLeft, 110, 70, 100, 50);  // (6, -20, -10) px -> (3, -10, -5)
  s.CommitFace();
  const CModel& m = s.models[0];
  ASSERT_EQ(m.vertices.size(), 3u);
  EXPECT_EQ(m.vertices[0].position, CVector(5, -4, 10));
  EXPECT_EQ(m.vertices[1].position, CVector(5, -10, 5));
  EXPECT_EQ(m.vertices[2].position, CVector(3, -10, -5));
}

TEST(FaceBuilding, EnterCommitsTrianglesAndOneCornerFaces) {
  CMeshwright s = NewDocument();
  ClickTop(s, 0, 0);
  ClickTop(s, 100, 0);
  ClickTop(s, 100, 100);
  s.CommitFace();
  ASSERT_EQ(s.models[0].faces.size(), 1u);
  EXPECT_EQ(s.models[0].faces[0].CornerCount(), 3u);
  ClickTop(s, 500, 500);
  s.CommitFace();
  ASSERT_EQ(s.models[0].faces.size(), 2u);
  EXPECT_EQ(s.models[0].faces[1].indices, (IndexList{3}));
  s.CommitFace();  // nothing pending: nothing happens
  EXPECT_EQ(s.models[0].faces.size(), 2u);
}

TEST(FaceBuilding, LockedModelsAndInvalidCurrentModelAddNothing) {
  CMeshwright s = NewDocument();
  s.models[0].state = kStateLocked;
  ClickTop(s, 0, 0);
  EXPECT_EQ(s.models[0].pendingFace.CornerCount(), 0u);
  s.models[0].state = kStateNormal;
  s.currentModel = 1;
  ClickTop(s, 0, 0);
  s.currentModel = -1;
  ClickTop(s, 0, 0);
  s.CommitFace();
  EXPECT_EQ(s.models[0].pendingFace.CornerCount(), 0u);
  s.currentModel = 0;
  s.AddFacePoint(static_cast<Plane>(3), 0, 0, 0, 0);
  EXPECT_EQ(s.models[0].pendingFace.CornerCount(), 0u);
}

TEST(FaceBuilding, WithoutACurrentMaterialFacesGetNoMaterialThatALaterAddCouldName) {
  CMeshwright s = NewDocument();
  ClickTop(s, 0, 0);
  s.CommitFace();
  ClickTop(s, 0, 0);
  ClickTop(s, 10, 10);
  ClickTop(s, 20, 20);
  ClickTop(s, 30, 30);
  ASSERT_EQ(s.models[0].faces.size(), 2u);
  EXPECT_EQ(s.models[0].faces[0].material, CMeshwright::kNoMaterial);
  EXPECT_EQ(s.models[0].faces[1].material, CMeshwright::kNoMaterial);
  for (int i = 0; i < 3; ++i) s.AddMaterial();
  for (const CMaterial& m : s.materials) EXPECT_NE(m.id, CMeshwright::kNoMaterial);
}

TEST(FaceBuilding, APendingCornerLeftDanglingByADeletionIsDropped) {
  CMeshwright s = NewDocument();
  s.models[0].vertices.emplace_back(0.0f, 0.0f, 0.0f);  // unused: deleting the selection removes it
  ClickTop(s, 0, 0);                                    // snaps to vertex 0
  s.DeleteSelection();
  ASSERT_TRUE(s.models[0].vertices.empty());
  s.CommitFace();
  EXPECT_TRUE(s.models[0].faces.empty());
  EXPECT_EQ(s.models[0].pendingFace.CornerCount(), 0u);
}

// Starts a face in the current model: a corner on the committed vertex at (x, 0, z), then one on a
// new pending vertex at (50, 0, 50).
void StartFace(CMeshwright& s, int x, int z) {
  ClickTop(s, x, z);
  ClickTop(s, 50, 50);
}

TEST(FaceBuilding, APendingFaceKeepsItsVerticesThroughMergesIntoItsModel) {
  for (bool up : {true, false}) {
    CMeshwright s = NewDocument();
    s.AddModel();
    const std::size_t target = up ? 0 : 1, source = up ? 1 : 0;
    s.models[target].vertices = {CVertex(-100, 0, -100), CVertex(100, 0, 100)};
    s.models[source].vertices = {CVertex(7, 7, 7), CVertex(8, 8, 8), CVertex(9, 9, 9)};
    s.currentModel = static_cast<std::int32_t>(target);
    StartFace(s, 100, 100);  // snaps to committed vertex 1, then pending vertex 2
    ASSERT_EQ(s.models[target].pendingFace.indices, (IndexList{1, 2}));
    s.currentModel = static_cast<std::int32_t>(source);
    if (up) s.MergeCurrentModelUp();
    else s.MergeCurrentModelDown();
    ASSERT_EQ(s.models.size(), 1u);
    s.currentModel = 0;
    s.CommitFace();
    const CModel& m = s.models[0];
    ASSERT_EQ(m.vertices.size(), 6u) << up;
    ASSERT_EQ(m.faces.size(), 1u) << up;
    EXPECT_EQ(m.faces[0].indices, (IndexList{1, 5})) << up;
    EXPECT_EQ(m.vertices[5].position, CVector(50, 0, 50)) << up;
    EXPECT_EQ(m.vertices[2].position, CVector(7, 7, 7)) << up;
    EXPECT_EQ(m.vertices[5].faceRefs, (FaceRefList{0})) << up;
  }
}

TEST(FaceBuilding, APendingFaceFollowsTheRenumberingOfADeletion) {
  CMeshwright s = NewDocument();
  CModel& m = s.models[0];
  // 0 and 4 are stray (deleting the selection removes them), 1-2-3 a kept triangle.
  m.vertices = {CVertex(-200, 0, 0), CVertex(0, 0, 0), CVertex(100, 0, 0), CVertex(0, 0, 100), CVertex(200, 0, 200)};
  CFace tri;
  tri.indices = {1, 2, 3};
  m.faces = {tri};
  ClickTop(s, 100, 0);   // vertex 2
  ClickTop(s, -200, 0);  // vertex 0: removed by the deletion, so its corner goes
  ClickTop(s, 50, 50);   // pending vertex, index 5
  ASSERT_EQ(m.pendingFace.indices, (IndexList{2, 0, 5}));
  s.DeleteSelection();
  ASSERT_EQ(m.vertices.size(), 3u);
  EXPECT_EQ(m.pendingFace.indices, (IndexList{1, 3}));
  s.CommitFace();
  ASSERT_EQ(m.faces.size(), 2u);
  EXPECT_EQ(m.faces[1].indices, (IndexList{1, 3}));
  EXPECT_EQ(m.vertices[1].position, CVector(100, 0, 0));
  EXPECT_EQ(m.vertices[3].position, CVector(50, 0, 50));
  EXPECT_EQ(m.faces[0].indices, (IndexList{0, 1, 2}));
}

TEST(FaceBuilding, ALockedModelsPendingFaceIsLeftAsItIsByADeletion) {
  CMeshwright s = NewDocument();
  CModel& m = s.models[0];
  m.vertices = {CVertex(-200, 0, 0)};
  ClickTop(s, 50, 50);
  m.state = kStateLocked;
  s.DeleteSelection();  // a locked model loses nothing, so nothing is renumbered
  EXPECT_EQ(m.vertices.size(), 1u);
  EXPECT_EQ(m.pendingFace.indices, (IndexList{1}));
}

CModel Strip() {
  // Two quads sharing an edge: 0-1-4-3 and 1-2-5-4, plus a stray vertex 6.
  CModel m;
  for (int i = 0; i < 6; ++i) m.vertices.emplace_back(static_cast<float>(i % 3), 0.0f, static_cast<float>(i / 3));
  m.vertices.emplace_back(9.0f, 9.0f, 9.0f);
  CFace a, b;
  a.indices = {0, 1, 4, 3};
  b.indices = {1, 2, 5, 4};
  a.material = 10;
  b.material = 11;
  m.faces = {a, b};
  m.RebuildFaceRefs();
  return m;
}

TEST(DeleteSelection, RemovesFullySelectedFacesThenUnusedVerticesRenumbering) {
  CMeshwright s = NewDocument();
  s.models[0] = Strip();
  for (int i : {0, 1, 3, 4}) s.models[0].vertices[static_cast<std::size_t>(i)].selected = 1;
  s.models[0].UpdateFaceSelection();
  s.DeleteSelection();
  const CModel& m = s.models[0];
  ASSERT_EQ(m.faces.size(), 1u);
  EXPECT_EQ(m.faces[0].material, 11);
  ASSERT_EQ(m.vertices.size(), 4u);  // 0, 3 and the stray 6 are gone
  // The remaining face still names the same positions.
  const CVector want[4] = {CVector(1, 0, 0), CVector(2, 0, 0), CVector(2, 0, 1), CVector(1, 0, 1)};
  for (std::size_t k = 0; k < 4; ++k)
    EXPECT_EQ(m.vertices[static_cast<std::size_t>(m.faces[0].indices[k])].position, want[k]);
  EXPECT_EQ(m.vertices[0].faceRefs, (FaceRefList{0}));
  EXPECT_EQ(m.vertices[0].selected, 1);
}

TEST(DeleteSelection, EverythingSelectedEmptiesTheModelNothingSelectedDropsStrays) {
  CMeshwright s = NewDocument();
  s.models[0] = Strip();
  s.DeleteSelection();
  EXPECT_EQ(s.models[0].faces.size(), 2u);
  EXPECT_EQ(s.models[0].vertices.size(), 6u);
  s.SetAllSelected(1);
  s.DeleteSelection();
  EXPECT_TRUE(s.models[0].faces.empty());
  EXPECT_TRUE(s.models[0].vertices.empty());
}

TEST(DeleteSelection, LockedModelsKeepEverything) {
  CMeshwright s = NewDocument();
  s.models[0] = Strip();
  s.SetAllSelected(1);
  s.models[0].state = kStateLocked;
  s.DeleteSelection();
  EXPECT_EQ(s.models[0].faces.size(), 2u);
  EXPECT_EQ(s.models[0].vertices.size(), 7u);
}

TEST(DeleteSelection, MatchesTheOneAtATimeRenumberingOnDamagedIndices) {
  // Corners outside the list cannot come from files we read, but the operation must stay inside
  // its lists and renumber them as removing vertices one by one from the back would.
  CModel m = Strip();
  m.faces[1].indices = {1, 2, 5, 40};
  m.vertices.emplace_back(8.0f, 8.0f, 8.0f);  // unused, above the stray: 40 drops by two
  m.faces.push_back(CFace());
  m.faces.back().indices = {-2};
  m.DeleteSelectedFaces();
  EXPECT_EQ(m.vertices.size(), 6u);  // the two unused vertices went
  EXPECT_EQ(m.faces[1].indices, (IndexList{1, 2, 5, 38}));
  EXPECT_EQ(m.faces[2].indices, (IndexList{-2}));
}

TEST(Materials, AssignCurrentMaterialSetsIdAndDefaultUVs) {
  CMeshwright s = NewDocument();
  CModel& m = s.models[0];
  for (int i = 0; i < 4; ++i) m.vertices.emplace_back(static_cast<float>(i), 0.0f, 0.0f);
  CFace tri, quad, textured;
  tri.indices = {0, 1, 2};
  quad.indices = {0, 1, 2, 3};
  textured.indices = {0, 1, 2};
  textured.uvs = {CUV(0.5f, 0.5f), CUV(0.5f, 0.5f), CUV(0.5f, 0.5f)};
  m.faces = {tri, quad, textured};
  s.AddMaterial();
  s.AddMaterial();
  s.currentMaterial = 1;
  s.SetAllSelected(1);
  s.AssignCurrentMaterial();
  for (const CFace& f : s.models[0].faces) EXPECT_EQ(f.material, 1);
  EXPECT_EQ(s.models[0].faces[0].uvs, (UVList{CUV(0, 0), CUV(0, 1), CUV(1, 1)}));
  EXPECT_EQ(s.models[0].faces[1].uvs, (UVList{CUV(0, 0), CUV(0, 1), CUV(1, 1), CUV(1, 0)}));
  EXPECT_EQ(s.models[0].faces[2].uvs[0], CUV(0.5f, 0.5f));
}

TEST(Materials, OnlyFacesWithEveryCornerSelectedOnEditableModels) {
  CMeshwright s = NewDocument();
  s.models[0] = Strip();
  s.models.push_back(Strip());
  s.models[1].state = kStateHidden;
  s.AddMaterial();
  s.SetAllSelected(1);
  s.models[0].vertices[2].selected = 0;
  s.currentMaterial = 0;
  s.AssignCurrentMaterial();
  EXPECT_EQ(s.models[0].faces[0].material, 0);
  EXPECT_EQ(s.models[0].faces[1].material, 11);
  EXPECT_EQ(s.models[1].faces[0].material, 10);
  s.currentMaterial = 5;
  s.AssignCurrentMaterial();  // out of range: nothing
  EXPECT_EQ(s.models[0].faces[1].material, 11);
}

TEST(Materials, IdentifiersAreNeverReused) {
  CMeshwright s = NewDocument();
  s.AddMaterial();
  s.AddMaterial();
  EXPECT_EQ(s.materials[0].id, 0);
  EXPECT_EQ(s.materials[1].id, 1);
  s.currentMaterial = 0;
  s.DeleteCurrentMaterial();
  ASSERT_EQ(s.materials.size(), 1u);
  EXPECT_EQ(s.materials[0].id, 1);
  EXPECT_EQ(s.CurrentMaterialId(), 1);
  ClickTop(s, 0, 0);
  s.CommitFace();
  EXPECT_EQ(s.models[0].faces[0].material, 1);
  s.AddMaterial();
  EXPECT_EQ(s.materials[1].id, 2);
  s.currentMaterial = -1;
  s.DeleteCurrentMaterial();
  EXPECT_EQ(s.materials.size(), 2u);
}

TEST(Materials, DeletingAMaterialReleasesItsTexture) {
  struct Recorder : TextureService {
    std::vector<int> released;
    void Load(CMaterial&) override {}
    void Release(CMaterial& m) override { released.push_back(m.id); }
  } rec;
  TextureService* old = SetTextureService(&rec);
  CMeshwright s = NewDocument();
  s.AddMaterial();
  s.AddMaterial();
  s.currentMaterial = 1;
  s.DeleteCurrentMaterial();
  SetTextureService(old);
  EXPECT_EQ(rec.released, std::vector<int>{1});
}

TEST(ModelList, AddDeleteRename) {
  CMeshwright s = NewDocument();
  s.AddModel();
  ASSERT_EQ(s.models.size(), 2u);
  EXPECT_EQ(s.models[1].name, "Model");
  s.currentModel = 1;
  s.RenameCurrentModel("Box");
  EXPECT_EQ(s.models[1].name, "Box");
  s.currentModel = 0;
  s.DeleteCurrentModel();
  ASSERT_EQ(s.models.size(), 1u);
  EXPECT_EQ(s.models[0].name, "Box");
  s.currentModel = 1;
  s.DeleteCurrentModel();
  s.RenameCurrentModel("x");
  EXPECT_EQ(s.models.size(), 1u);
  EXPECT_EQ(s.models[0].name, "Box");
}

TEST(ModelList, MovingKeepsPendingFacesAtTheirPositions) {
  CMeshwright s = NewDocument();
  s.AddModel();
  s.models[0].name = "A";
  s.models[1].name = "B";
  s.models[1].pendingFace.AddIndex(0);
  s.currentModel = 0;
  s.MoveCurrentModelUp();  // at the top: nothing
  EXPECT_EQ(s.models[0].name, "A");
  s.currentModel = 1;
  s.MoveCurrentModelDown();  // at the bottom: nothing
  EXPECT_EQ(s.models[1].name, "B");
  s.MoveCurrentModelUp();
  EXPECT_EQ(s.models[0].name, "B");
  EXPECT_EQ(s.models[1].name, "A");
  EXPECT_EQ(s.models[0].pendingFace.CornerCount(), 0u);
  EXPECT_EQ(s.models[1].pendingFace.CornerCount(), 1u);
  s.currentModel = 0;
  s.MoveCurrentModelDown();
  EXPECT_EQ(s.models[0].name, "A");
}

TEST(ModelList, MergeAppendsFacesWithOffsetIndicesAndRebuildsReferences) {
  CMeshwright s = NewDocument();
  CModel& a = s.models[0];
  for (int i = 0; i < 4; ++i) a.vertices.emplace_back(static_cast<float>(i), 0.0f, 0.0f);
  CFace f0, f1;
  f0.indices = {0, 1, 2};
  f1.indices = {1, 2, 3};
  a.faces = {f0, f1};
  a.RebuildFaceRefs();
  s.AddModel();
  CModel& b = s.models[1];
  for (int i = 0; i < 3; ++i) b.vertices.emplace_back(static_cast<float>(i), 1.0f, 0.0f);
  b.vertices[0].selected = 1;
  CFace g;
  g.indices = {0, 1, 2};
  g.material = 7;
  b.faces = {g};
  b.RebuildFaceRefs();
  s.models[0].state = kStateLocked;  // merging ignores states
  s.currentModel = 1;
  s.MergeCurrentModelUp();
  ASSERT_EQ(s.models.size(), 1u);
  const CModel& m = s.models[0];
  EXPECT_EQ(m.vertices.size(), 7u);
  ASSERT_EQ(m.faces.size(), 3u);
  EXPECT_EQ(m.faces[2].indices, (IndexList{4, 5, 6}));
  EXPECT_EQ(m.faces[2].material, 7);
  EXPECT_EQ(m.vertices[4].faceRefs, (FaceRefList{2}));
  EXPECT_EQ(m.vertices[4].selected, 1);
  EXPECT_EQ(m.vertices[1].faceRefs, (FaceRefList{0, 1}));
  EXPECT_EQ(m.state, kStateLocked);
}

TEST(ModelList, MergeDownAndBounds) {
  CMeshwright s = NewDocument();
  s.AddModel();
  s.models[0].vertices.emplace_back(1.0f, 1.0f, 1.0f);
  s.models[1].name = "Target";
  s.currentModel = 1;
  s.MergeCurrentModelDown();  // last: nothing
  s.currentModel = 0;
  s.MergeCurrentModelUp();  // first: nothing
  EXPECT_EQ(s.models.size(), 2u);
  s.MergeCurrentModelDown();
  ASSERT_EQ(s.models.size(), 1u);
  EXPECT_EQ(s.models[0].name, "Target");
  EXPECT_EQ(s.models[0].vertices.size(), 1u);
}
// ---- faces of more than four corners (they come from files; every operation keeps them) ----

// A hexagon (vertices 0-5) beside a heptagon (new vertices 6-10) that shares vertices 5 and 0
// with it, and a quadrilateral (11-14) after them, in the XZ plane (the Top pane).
CModel Polygons() {
  CModel m;
  auto ring = [&m](int corners, float cx, float radius, std::vector<std::int32_t> reuse) {
    CFace f;
    for (int k = 0; k < corners; ++k) {
      if (static_cast<std::size_t>(k) < reuse.size() && reuse[static_cast<std::size_t>(k)] >= 0) {
        f.AddIndex(reuse[static_cast<std::size_t>(k)]);
        continue;
      }
      const double t = 2 * M_PI * k / corners;
      f.AddIndex(static_cast<std::int32_t>(m.vertices.size()));
      m.vertices.emplace_back(static_cast<float>(cx + radius * std::cos(t)), 0.0f,
                              static_cast<float>(radius * std::sin(t)));
    }
    m.faces.push_back(f);
  };
  ring(6, 0, 37.5f, {});
  ring(7, 80, 23.3f, {5, -1, -1, -1, -1, -1, 0});
  ring(4, 200, 10, {});
  m.faces[0].material = 3;
  m.faces[1].material = 4;
  m.RebuildFaceRefs();
  return m;
}

TEST(ManyCorners, SelectingEveryCornerSelectsTheFaceAndTransformsMoveThemAll) {
  CMeshwright s = NewDocument();
  s.models[0] = Polygons();
  // A rectangle round the hexagon only (Top pane, centre (0, 0), zoom 100): its shared vertices
  // 0 and 5 come along, but the heptagon's own corners stay out.
  s.SelectInRect(-40, -40, 40, 40, kPlaneTop, 1, 0, 0);
  const CModel& m = s.models[0];
  EXPECT_EQ(m.faces[0].allSelected, 1);
  EXPECT_EQ(m.faces[1].allSelected, 0);
  const CModel before = m;
  s.MoveSelected(7, 0, -3);
  for (std::size_t i = 0; i < 6; ++i)
    EXPECT_EQ(m.vertices[i].position.x, static_cast<float>(before.vertices[i].position.x + 7.0)) << i;
  for (std::size_t i = 6; i < m.vertices.size(); ++i)
    EXPECT_EQ(m.vertices[i].position, before.vertices[i].position) << i;
  EXPECT_EQ(m.faces[1].indices, before.faces[1].indices);
}

TEST(ManyCorners, DeletionTakesWholeFacesOnlyAndRenumbersTheRest) {
  CMeshwright s = NewDocument();
  s.models[0] = Polygons();
  // One corner of the hexagon selected: no face is complete, nothing goes.
  s.models[0].vertices[2].selected = 1;
  s.models[0].UpdateFaceSelection();
  s.DeleteSelection();
  ASSERT_EQ(s.models[0].faces.size(), 3u);
  EXPECT_EQ(s.models[0].vertices.size(), 15u);
  EXPECT_EQ(s.models[0].faces[0].indices, (IndexList{0, 1, 2, 3, 4, 5}));
  // Every corner of the hexagon: it goes, with the four vertices only it used; the heptagon keeps
  // the two it shared, and every corner after them moves down by four.
  std::vector<CVector> heptagon, quad;
  for (std::int32_t i : s.models[0].faces[1].indices)
    heptagon.push_back(s.models[0].vertices[static_cast<std::size_t>(i)].position);
  for (std::int32_t i : s.models[0].faces[2].indices)
    quad.push_back(s.models[0].vertices[static_cast<std::size_t>(i)].position);
  for (std::size_t i = 0; i < 6; ++i) s.models[0].vertices[i].selected = 1;
  s.models[0].UpdateFaceSelection();
  s.DeleteSelection();
  const CModel& m = s.models[0];
  ASSERT_EQ(m.faces.size(), 2u);
  EXPECT_EQ(m.vertices.size(), 11u);
  EXPECT_EQ(m.faces[0].indices, (IndexList{1, 2, 3, 4, 5, 6, 0}));
  EXPECT_EQ(m.faces[0].material, 4);
  EXPECT_EQ(m.faces[1].indices, (IndexList{7, 8, 9, 10}));
  for (std::size_t k = 0; k < 7; ++k)
    EXPECT_EQ(m.vertices[static_cast<std::size_t>(m.faces[0].indices[k])].position, heptagon[k]) << k;
  for (std::size_t k = 0; k < 4; ++k)
    EXPECT_EQ(m.vertices[static_cast<std::size_t>(m.faces[1].indices[k])].position, quad[k]) << k;
  EXPECT_EQ(m.vertices[0].faceRefs, (FaceRefList{0}));
}

TEST(ManyCorners, MergingOffsetsEveryCornerAndKeepsEveryField) {
  CMeshwright s = NewDocument();
  s.models[0].vertices = {CVertex(1, 1, 1), CVertex(2, 2, 2)};
  s.AddModel();
  s.models[1] = Polygons();
  CFace& hexagon = s.models[1].faces[0];
  hexagon.uvs = {CUV(0.1f, 0.2f), CUV(0.3f, 0.4f), CUV(0.5f, 0.6f), CUV(0.7f, 0.8f), CUV(0.9f, 1.0f), CUV(1.1f, 1.2f)};
  hexagon.normal = CVector(0.25f, -1e-7f, 3.5e6f);
  hexagon.allSelected = 1;
  const CModel source = s.models[1];
  s.currentModel = 1;
  s.MergeCurrentModelUp();
  ASSERT_EQ(s.models.size(), 1u);
  const CModel& m = s.models[0];
  ASSERT_EQ(m.faces.size(), 3u);
  for (std::size_t f = 0; f < 3; ++f) {
    ASSERT_EQ(m.faces[f].indices.size(), source.faces[f].indices.size());
    for (std::size_t k = 0; k < source.faces[f].indices.size(); ++k)
      EXPECT_EQ(m.faces[f].indices[k], source.faces[f].indices[k] + 2);
    EXPECT_EQ(m.faces[f].uvs, source.faces[f].uvs);
    EXPECT_EQ(m.faces[f].material, source.faces[f].material);
    EXPECT_EQ(m.faces[f].normal, source.faces[f].normal);
    EXPECT_EQ(m.faces[f].allSelected, source.faces[f].allSelected);
  }
  // Vertex 2 + 5 is a corner of both polygons.
  EXPECT_EQ(m.vertices[7].faceRefs, (FaceRefList{0, 1}));
}

// The default coordinates of a face of n corners as the rule in editing.cpp states it:
// 4i/n of the way round the unit square's edge, from (0,0) up to (0,1), across to (1,1), down to
// (1,0) and back. Expected values written out by hand, in float from exact fractions.
TEST(ManyCorners, DefaultTextureCoordinatesSpreadTheCornersRoundTheUnitSquare) {
  auto F = [](double v) { return static_cast<float>(v); };
  const std::vector<UVList> want = {
      {CUV(0, 0), CUV(0, F(4.0 / 5)), CUV(F(3.0 / 5), 1), CUV(1, F(3.0 / 5)), CUV(F(4.0 / 5), 0)},
      {CUV(0, 0), CUV(0, F(2.0 / 3)), CUV(F(1.0 / 3), 1), CUV(1, 1), CUV(1, F(1.0 / 3)), CUV(F(2.0 / 3), 0)},
      {CUV(0, 0), CUV(0, F(4.0 / 7)), CUV(F(1.0 / 7), 1), CUV(F(5.0 / 7), 1), CUV(1, F(5.0 / 7)), CUV(1, F(1.0 / 7)),
       CUV(F(4.0 / 7), 0)},
  };
  CMeshwright s = NewDocument();
  CModel& m = s.models[0];
  for (int i = 0; i < 8; ++i) m.vertices.emplace_back(static_cast<float>(i), 0.0f, 0.0f);
  for (int n : {5, 6, 7, 3, 4}) {
    CFace f;
    for (int i = 0; i < n; ++i) f.AddIndex(i);
    m.faces.push_back(f);
  }
  s.AddMaterial();
  s.currentMaterial = 0;
  s.SetAllSelected(1);
  s.AssignCurrentMaterial();
  for (std::size_t f = 0; f < 3; ++f) EXPECT_EQ(m.faces[f].uvs, want[f]) << m.faces[f].CornerCount() << " corners";
  // Three and four corners keep the table.
  EXPECT_EQ(m.faces[3].uvs, (UVList{CUV(0, 0), CUV(0, 1), CUV(1, 1)}));
  EXPECT_EQ(m.faces[4].uvs, (UVList{CUV(0, 0), CUV(0, 1), CUV(1, 1), CUV(1, 0)}));
}

TEST(ManyCorners, DefaultTextureCoordinatesOfALargeFaceStayOnTheSquareInOrder) {
  CMeshwright s = NewDocument();
  CModel& m = s.models[0];
  m.vertices.emplace_back(0.0f, 0.0f, 0.0f);
  CFace f;
  for (int i = 0; i < 1001; ++i) f.AddIndex(0);
  f.material = 9;
  m.faces = {f};
  s.ApplyDefaultUVs(9);
  const UVList& uvs = m.faces[0].uvs;
  ASSERT_EQ(uvs.size(), 1001u);
  double travelled = -1;
  for (const CUV& uv : uvs) {
    ASSERT_TRUE(uv.u >= 0 && uv.u <= 1 && uv.v >= 0 && uv.v <= 1);
    ASSERT_TRUE(uv.u == 0 || uv.u == 1 || uv.v == 0 || uv.v == 1) << uv.u << " " << uv.v;
    // Distance along the edge from (0,0) in the table's direction.
    const double along = uv.u == 0 && uv.v < 1 ? uv.v : uv.v == 1 ? 1 + uv.u : uv.u == 1 ? 3 - uv.v : 4 - uv.u;
    EXPECT_GT(along, travelled);
    travelled = along;
  }
  EXPECT_LT(travelled, 4);
}

}  // namespace
}  // namespace mw
