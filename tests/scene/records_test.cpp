#include <gtest/gtest.h>

#include "scene/meshwright.h"
#include "scene/texture_service.h"

namespace mw {
class DibStream {  // stand-in: the scene only holds the pointer
 public:
  int pixels = 42;
};

namespace {

TEST(Scene, NewDocumentDefaults) {
  CMeshwright s;
  EXPECT_TRUE(s.models.empty());
  EXPECT_EQ(s.zoom, 0.0f);
  s.currentModel = 5;
  s.currentMaterial = 7;
  s.reservedWord = 3;
  s.ResetScene();
  ASSERT_EQ(s.models.size(), 1u);
  const CModel& m = s.models[0];
  EXPECT_EQ(m.name, "Model");
  EXPECT_EQ(m.secondName, "<NULL>");
  EXPECT_EQ(m.state, 1);
  EXPECT_TRUE(m.vertices.empty());
  EXPECT_TRUE(m.faces.empty());
  EXPECT_TRUE(s.materials.empty());
  EXPECT_EQ(s.zoom, 100.0f);
  EXPECT_EQ(s.smoothing, 1);
  EXPECT_EQ(s.nextMaterialId, 0);
  EXPECT_EQ(s.backgroundColor, 0x5A411Eu);
  EXPECT_EQ(s.fieldOfView, 10.0f);
  EXPECT_EQ(s.editMode, 0);
  EXPECT_EQ(s.camera.rotation, CVector(20, 10, 0));
  EXPECT_EQ(s.camera.translation, CVector(0, 0, -2000));
  EXPECT_EQ(s.camera.scale, CVector(1, 1, 1));
  // ResetScene leaves the list cursors and the reserved word alone.
  EXPECT_EQ(s.currentModel, 5);
  EXPECT_EQ(s.currentMaterial, 7);
  EXPECT_EQ(s.reservedWord, 3);
}

TEST(Scene, ZoomNeverFallsBelowOne) {
  CMeshwright s;
  s.ResetScene();
  s.AddZoom(-200.0f);
  EXPECT_EQ(s.zoom, 1.0f);
  s.AddZoom(0.5f);
  EXPECT_EQ(s.zoom, 1.5f);
  s.AddZoom(-0.75f);
  EXPECT_EQ(s.zoom, 1.0f);
}

TEST(Scene, CycleModelStateWrapsFromHiddenToNormal) {
  CMeshwright s;
  s.ResetScene();
  EXPECT_EQ(s.CycleModelState(0), 2);
  EXPECT_EQ(s.CycleModelState(0), 3);
  EXPECT_EQ(s.CycleModelState(0), 1);
  EXPECT_EQ(s.CycleModelState(1), 0);
  EXPECT_EQ(s.CycleModelState(-1), 0);
  EXPECT_EQ(s.models[0].state, 1);
}

TEST(Records, VertexAssignmentLeavesTheScratchMark) {
  CVertex a(1, 2, 3);
  a.selected = 1;
  a.inUse = 1;
  a.hidden = 1;
  a.faceRefs.push_back(4);
  CVertex b;
  b.inUse = 0;
  b = a;
  EXPECT_EQ(b.position, CVector(1, 2, 3));
  EXPECT_EQ(b.selected, 1);
  EXPECT_EQ(b.faceRefs.size(), 1u);
  EXPECT_EQ(b.inUse, 0);
  EXPECT_EQ(b.hidden, 1);
  EXPECT_EQ(CVertex(a).hidden, 1);
  EXPECT_EQ(CVertex(std::move(b)).hidden, 1);
}

TEST(Records, ModelAssignmentKeepsTheTargetsPendingFace) {
  CModel a;
  a.name = "A";
  a.mirrorAxis = 3;
  a.state = 2;
  a.selectedEdges = {EdgeKey(1, 2)};
  a.pendingFace.AddIndex(7);
  a.pendingVertices.emplace_back(1, 1, 1);
  CModel b;
  b.pendingFace.AddIndex(1);
  b.pendingFace.AddIndex(2);
  b = a;
  EXPECT_EQ(b.name, "A");
  EXPECT_EQ(b.mirrorAxis, 3);
  EXPECT_EQ(b.state, 2);
  EXPECT_EQ(b.selectedEdges, a.selectedEdges);
  EXPECT_EQ(b.pendingVertices.size(), 1u);
  EXPECT_EQ(b.pendingFace.CornerCount(), 2u);
  CModel c(a);  // copy construction starts from a default pending face
  EXPECT_EQ(c.pendingFace.CornerCount(), 0u);
  EXPECT_EQ(c.pendingVertices.size(), 1u);
}

TEST(Records, MaterialDefaultsAndDerivedColours) {
  CMaterial m(4);
  EXPECT_EQ(m.id, 4);
  EXPECT_EQ(m.name, "NoMaterial");
  EXPECT_FLOAT_EQ(m.diffuseRGBA[0], 0.8f);
  EXPECT_FLOAT_EQ(m.ambientRGBA[1], 0.8f * 0.25f);
  EXPECT_EQ(m.specularRGBA[0], 0.0f);
  EXPECT_EQ(m.emissionRGBA[2], 0.0f);
  EXPECT_EQ(m.diffuseRGBA[3], 1.0f);
  EXPECT_EQ(m.textureComponents, 3);
  EXPECT_EQ(m.texturePixelFormat, 0x80E0u);
  m.color[0] = 1.0f;
  m.color[3] = 0.5f;
  m.diffuse = 0.5f;
  m.specular = 0.7f;
  m.emissive = 2.0f;
  m.UpdateMaterialColors();
  EXPECT_EQ(m.diffuseRGBA[0], 0.5f);
  EXPECT_EQ(m.specularRGBA[1], 0.7f);
  EXPECT_EQ(m.specularRGBA[3], 0.5f);
  EXPECT_EQ(m.emissionRGBA[0], 2.0f);
}

TEST(Records, CopiedMaterialsShareTheImageAndOutliveEachOther) {
  CMaterial original(0);
  original.textureImage = std::make_shared<DibStream>();
  original.textureObject = 9;
  {
    CMaterial copy = original;
    EXPECT_EQ(copy.textureImage, original.textureImage);
    EXPECT_EQ(copy.textureObject, 9u);
  }
  ASSERT_TRUE(original.textureImage);
  EXPECT_EQ(original.textureImage->pixels, 42);
  // Releasing through one material cannot free what another copy still uses.
  CMaterial copy = original;
  original.textureImage.reset();
  ASSERT_TRUE(copy.textureImage);
  EXPECT_EQ(copy.textureImage->pixels, 42);
}

class RecordingTextures : public TextureService {
 public:
  std::vector<std::pair<char, int>> calls;
  void Load(CMaterial& m) override { calls.emplace_back('L', m.id); }
  void Release(CMaterial& m) override { calls.emplace_back('R', m.id); }
};

TEST(Scene, TextureEntryPointsVisitMaterialsInOrder) {
  RecordingTextures rec;
  TextureService* old = SetTextureService(&rec);
  CMeshwright s;
  s.ResetScene();
  s.materials.emplace_back(3);
  s.materials.emplace_back(1);
  s.LoadTextures();
  s.ReleaseTextures();
  SetTextureService(old);
  EXPECT_EQ(rec.calls, (std::vector<std::pair<char, int>>{{'L', 3}, {'L', 1}, {'R', 3}, {'R', 1}}));
}

CModel Triangle() {
  CModel m;
  m.vertices = {CVertex(0, 0, 0), CVertex(10, 0, 0), CVertex(0, 10, 0)};
  CFace f;
  f.indices = {0, 1, 2};
  m.faces.push_back(f);
  m.RebuildFaceRefs();
  return m;
}

TEST(Normals, FaceNormalIsTheUnnormalisedCrossOfTheFirstEdges) {
  CModel m = Triangle();
  m.ComputeNormals(1);
  // e1 = p0 - p1 = (-10, 0, 0), e2 = p0 - p2 = (0, -10, 0), e1 x e2 = (0, 0, 100)
  EXPECT_EQ(m.faces[0].normal, CVector(0, 0, 100));
  EXPECT_EQ(m.vertices[1].normal, CVector(0, 0, 100));
}

TEST(Normals, FacesOfMoreThanFourCornersFollowTheirWholeOutline) {
  // Corner 1 is reflex: the first three corners alone turn clockwise, the face counter-clockwise.
  CModel m;
  m.vertices = {CVertex(0, 0, 0), CVertex(5, 5, 0), CVertex(10, 0, 0), CVertex(10, 10, 0), CVertex(0, 10, 0)};
  CFace f;
  f.indices = {0, 1, 2, 3, 4};
  m.faces = {f, f};
  m.faces[1].indices[4] = 5;  // names no vertex: keeps the normal it had
  m.faces[1].normal = CVector(1, 2, 3);
  m.RebuildFaceRefs();
  m.ComputeNormals(1);
  EXPECT_EQ(m.faces[0].normal, CVector(0, 0, 150));  // twice the area, 100 less the notch's 25
  EXPECT_EQ(m.faces[1].normal, CVector(1, 2, 3));
  EXPECT_EQ(m.vertices[1].normal, CVector(1, 2, 153));
}

TEST(Normals, WithoutSmoothingVertexNormalsStay) {
  CModel m = Triangle();
  m.vertices[0].normal = CVector(7, 7, 7);
  m.ComputeNormals(0);
  EXPECT_EQ(m.vertices[0].normal, CVector(7, 7, 7));
}

TEST(Normals, TwoCornerFacesKeepTheirNormalAndStillFeedVertices) {
  CModel m;
  m.vertices = {CVertex(0, 0, 0), CVertex(1, 0, 0)};
  CFace line;
  line.indices = {0, 1};
  line.normal = CVector(1, 2, 3);
  m.faces = {line, line};
  m.RebuildFaceRefs();
  m.ComputeNormals(1);
  EXPECT_EQ(m.faces[0].normal, CVector(1, 2, 3));
  EXPECT_EQ(m.vertices[0].normal, CVector(2, 4, 6));
}

TEST(Normals, AVertexUsedTwiceByOneFaceCountsTwice) {
  CModel m;
  m.vertices = {CVertex(0, 0, 0), CVertex(10, 0, 0), CVertex(0, 10, 0)};
  CFace f;
  f.indices = {0, 1, 2, 0};
  m.faces.push_back(f);
  m.RebuildFaceRefs();
  EXPECT_EQ(m.vertices[0].faceRefs.size(), 2u);
  m.ComputeNormals(1);
  EXPECT_EQ(m.vertices[0].normal, CVector(0, 0, 200));
}

TEST(Records, FaceSelectionFollowsCorners) {
  CModel m = Triangle();
  CFace empty;
  m.faces.push_back(empty);
  m.vertices[0].selected = m.vertices[1].selected = 1;
  m.UpdateFaceSelection();
  EXPECT_EQ(m.faces[0].allSelected, 0);
  EXPECT_EQ(m.faces[1].allSelected, 1);  // no corners counts as all selected
  m.vertices[2].selected = 1;
  m.UpdateFaceSelection();
  EXPECT_EQ(m.faces[0].allSelected, 1);
}

TEST(Records, RebuildFaceRefsListsFacesInOrder) {
  CModel m = Triangle();
  CFace g;
  g.indices = {2, 1, 0};
  m.faces.push_back(g);
  m.RebuildFaceRefs();
  EXPECT_EQ(m.vertices[0].faceRefs, (FaceRefList{0, 1}));
  EXPECT_EQ(m.vertices[2].faceRefs, (FaceRefList{0, 1}));
}

TEST(Records, CrossProductAndOffset) {
  EXPECT_EQ(Cross(CVector(1, 0, 0), CVector(0, 1, 0)), CVector(0, 0, 1));
  CFace f;
  f.indices = {0, 1, 2};
  f.OffsetIndices(4);
  EXPECT_EQ(f.indices, (IndexList{4, 5, 6}));
}

}  // namespace
}  // namespace mw
