// Duplicating the selection in place, and copy and paste through the clipboard's byte form.
#include "scene/fragment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "scene/scene_delta.h"
#include "tests/support/scene_samples.h"

namespace mw {
namespace {

CMaterial AwkwardMaterial(std::int32_t id, const std::string& name, float k) {
  CMaterial m(id);
  m.name = name;
  m.color[0] = 0.137f * k;
  m.color[1] = 0.731f;
  m.color[2] = 0.059f + k;
  m.color[3] = 0.613f;
  m.diffuse = 0.917f;
  m.ambient = 0.333f * k;
  m.emissive = 0.0123f;
  m.specular = 0.771f;
  m.power = 37.5f;
  m.texture = "tex\\\x96\xD8.bmp";  // a folder and a CP932 name
  m.alphaPlane = "alpha.bmp";
  m.bump = "bump.bmp";
  m.UpdateMaterialColors();
  return m;
}

// The carried fields, and the colours worked out from them.
void ExpectSameMaterial(const CMaterial& a, const CMaterial& b) {
  test::ExpectSameMaterialFields(a, b);
  EXPECT_EQ(std::memcmp(a.diffuseRGBA, b.diffuseRGBA, sizeof(float) * 16), 0);
}

// Model 0 (editable): a quad with UVs, a triangle, a five-cornered face and a line, all selected,
// plus a face with one corner unselected; model 1 locked with everything selected; model 2 with
// nothing selected. Materials 3 "wood", 5 "metal", 9 unused; one face names material 42, which
// does not exist.
CMeshwright SourceScene() {
  CMeshwright s;
  s.ResetScene();
  s.models.clear();
  CModel& a = s.models.emplace_back();
  a.name = "A";
  const float xs[] = {1.5f, 101.25f, 99.0f, -3.7f, 12.34567f, 77.7f, 88.8f, -517.3f, 1e-7f, 3e7f};
  for (int i = 0; i < 10; ++i) a.vertices.emplace_back(xs[i], 0.37f * static_cast<float>(i), -xs[9 - i]);
  CFace quad;
  quad.indices = {0, 1, 2, 3};
  quad.uvs = {CUV(0.1f, 0.2f), CUV(0.3f, 0.4f), CUV(0.55f, 0.66f), CUV(0.77f, 0.88f)};
  quad.material = 3;
  CFace tri;
  tri.indices = {2, 4, 5};
  tri.material = 5;
  CFace penta;
  penta.indices = {5, 6, 7, 8, 9};
  penta.uvs = {CUV(1, 0), CUV(0, 1), CUV(0.5f, 0.5f), CUV(0.25f, 0.125f), CUV(0.9f, 0.1f)};
  penta.material = 42;
  CFace line;
  line.indices = {9, 0};
  line.material = CMeshwright::kNoMaterial;
  CFace partial;
  partial.indices = {0, 1, 9, 3};
  partial.material = 3;
  a.faces = {quad, tri, partial, penta, line};
  for (CVertex& v : a.vertices) v.selected = 1;
  a.vertices.push_back(CVertex(5, 5, 5));  // unselected, used by the partial face below
  a.faces[2].indices[2] = 10;
  CModel& b = s.models.emplace_back();
  b.name = "B";
  b.vertices = {CVertex(0, 0, 0), CVertex(1, 0, 0), CVertex(0, 1, 0)};
  b.faces.emplace_back().indices = {0, 1, 2};
  for (CVertex& v : b.vertices) v.selected = 1;
  b.state = kStateLocked;
  CModel& c = s.models.emplace_back();
  c.vertices = {CVertex(0, 0, 0), CVertex(2, 0, 0), CVertex(0, 2, 0)};
  c.faces.emplace_back().indices = {0, 1, 2};
  s.materials = {AwkwardMaterial(3, "wood", 1.0f), AwkwardMaterial(9, "unused", 2.0f),
                 AwkwardMaterial(5, "metal", 3.0f)};
  s.nextMaterialId = 10;
  for (CModel& m : s.models) {
    m.RebuildFaceRefs();
    m.UpdateFaceSelection();
  }
  s.ComputeNormals();
  return s;
}

SceneFragment RoundTrip(const SceneFragment& f) {
  const std::vector<std::uint8_t> bytes = EncodeFragment(f);
  SceneFragment back;
  const ArchiveResult r = DecodeFragment(bytes.data(), bytes.size(), back);
  EXPECT_TRUE(r.ok()) << r.detail;
  return back;
}

TEST(Fragment, ExtractTakesFullySelectedFacesOfEditableModelsWithTheMaterialsTheyName) {
  const CMeshwright s = SourceScene();
  const SceneFragment f = ExtractSelection(s);
  // The quad, the triangle, the pentagon and the line; not the partial face, nothing locked.
  ASSERT_EQ(f.model.faces.size(), 4u);
  EXPECT_EQ(f.model.vertices.size(), 10u);
  ASSERT_EQ(f.materials.size(), 2u);
  EXPECT_EQ(f.materials[0].name, "wood");  // the scene's order
  EXPECT_EQ(f.materials[1].name, "metal");
  EXPECT_TRUE(HasSelectedFaces(s));
  CMeshwright none = s;
  none.SetAllSelected(0);
  EXPECT_FALSE(HasSelectedFaces(none));
  EXPECT_TRUE(ExtractSelection(none).Empty());
}

TEST(Fragment, CopyThenPasteKeepsEveryFieldOfVerticesFacesAndMaterials) {
  const CMeshwright source = SourceScene();
  const SceneFragment f = RoundTrip(ExtractSelection(source));

  CMeshwright target;
  target.ResetScene();
  target.smoothing = 1;
  target.models[0].vertices = {CVertex(7, 8, 9)};
  target.models[0].vertices[0].selected = 1;
  // Same name as a copied material but other fields: faces take the target's own.
  target.materials = {AwkwardMaterial(0, "metal", 9.0f)};
  target.nextMaterialId = 7;
  ASSERT_TRUE(PasteFragment(target, f));

  const CModel& m = target.models[0];
  const CModel& a = source.models[0];
  ASSERT_EQ(m.vertices.size(), 11u);
  EXPECT_EQ(m.vertices[0].selected, 0) << "the old selection is dropped";
  // Vertices in the order the copied faces first use them, every one selected.
  const std::int32_t order[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  for (int k = 0; k < 10; ++k) {
    const CVertex& v = m.vertices[static_cast<std::size_t>(k + 1)];
    EXPECT_EQ(std::memcmp(&v.position, &a.vertices[static_cast<std::size_t>(order[k])].position, 12), 0) << k;
    EXPECT_EQ(v.selected, 1) << k;
  }
  ASSERT_EQ(m.faces.size(), 4u);
  const CFace* copied[] = {&a.faces[0], &a.faces[1], &a.faces[3], &a.faces[4]};
  for (std::size_t i = 0; i < 4; ++i) {
    const CFace& got = m.faces[i];
    ASSERT_EQ(got.indices.size(), copied[i]->indices.size()) << i;
    for (std::size_t k = 0; k < got.indices.size(); ++k) EXPECT_EQ(got.indices[k], copied[i]->indices[k] + 1) << i;
    EXPECT_EQ(got.uvs.size(), copied[i]->uvs.size()) << i;
    for (std::size_t k = 0; k < got.uvs.size(); ++k) EXPECT_EQ(got.uvs[k], copied[i]->uvs[k]) << i;
    EXPECT_EQ(got.allSelected, 1) << i;
  }
  // wood added with a fresh identifier; metal matched by name; 42 named nothing in the source.
  ASSERT_EQ(target.materials.size(), 2u);
  EXPECT_EQ(target.materials[1].id, 7);
  EXPECT_EQ(target.nextMaterialId, 8);
  ExpectSameMaterial(target.materials[1], source.materials[0]);
  ExpectSameMaterial(target.materials[0], AwkwardMaterial(0, "metal", 9.0f));
  EXPECT_EQ(m.faces[0].material, 7);
  EXPECT_EQ(m.faces[1].material, 0);
  EXPECT_EQ(m.faces[2].material, CMeshwright::kNoMaterial);
  EXPECT_EQ(m.faces[3].material, CMeshwright::kNoMaterial);
  // Derived data is what the program computes for the new model.
  EXPECT_TRUE(FaceRefsCurrent(m));
  EXPECT_TRUE(FaceNormalsCurrent(m));
  EXPECT_TRUE(VertexNormalsCurrent(m));
  EXPECT_EQ(m.faces[1].normal, a.faces[1].normal);
}

TEST(Fragment, PastingTwiceReusesTheMaterialsAddedByTheFirstPaste) {
  const SceneFragment f = RoundTrip(ExtractSelection(SourceScene()));
  CMeshwright target;
  target.ResetScene();
  ASSERT_TRUE(PasteFragment(target, f));
  ASSERT_TRUE(PasteFragment(target, f));
  EXPECT_EQ(target.materials.size(), 2u);
  EXPECT_EQ(target.models[0].faces.size(), 8u);
  EXPECT_EQ(target.models[0].faces[4].material, target.models[0].faces[0].material);
  // Only the second paste is selected.
  EXPECT_EQ(target.models[0].vertices[0].selected, 0);
  EXPECT_EQ(target.models[0].vertices[10].selected, 1);
}

TEST(Fragment, PasteRefusesLockedHiddenOrMissingTargetsAndEmptyFragments) {
  const SceneFragment f = ExtractSelection(SourceScene());
  CMeshwright target;
  target.ResetScene();
  for (std::int32_t state : {kStateLocked, kStateHidden}) {
    target.models[0].state = state;
    EXPECT_FALSE(PasteFragment(target, f));
  }
  target.models[0].state = kStateNormal;
  target.currentModel = 1;
  EXPECT_FALSE(PasteFragment(target, f));
  target.currentModel = 0;
  EXPECT_FALSE(PasteFragment(target, SceneFragment{}));
  EXPECT_TRUE(target.models[0].vertices.empty());
  EXPECT_TRUE(target.materials.empty());
  EXPECT_EQ(target.nextMaterialId, 0);
}

TEST(Fragment, DuplicateCopiesWithinEachModelMovedAndSelectsOnlyTheCopies) {
  CMeshwright s = SourceScene();
  // A face under construction on a pending vertex keeps naming it after the model grows.
  CModel& a = s.models[0];
  a.pendingVertices = {CVertex(1, 1, 1)};
  a.pendingFace.indices = {0, 11};
  const CMeshwright before = s;
  const float step = GridStepUnits(37.0f);
  EXPECT_EQ(DuplicateSelection(s, CVector(step, step, step)), 4u);
  const CModel& m = s.models[0];
  ASSERT_EQ(m.vertices.size(), 21u);
  ASSERT_EQ(m.faces.size(), 9u);
  for (std::size_t i = 0; i < 11; ++i) {
    EXPECT_EQ(m.vertices[i].position, before.models[0].vertices[i].position);
    EXPECT_EQ(m.vertices[i].selected, 0) << i;
  }
  for (std::size_t k = 0; k < 10; ++k) {
    const CVector& p = before.models[0].vertices[k].position;
    const CVector& q = m.vertices[11 + k].position;
    EXPECT_EQ(q.x, static_cast<float>(p.x + step)) << k;
    EXPECT_EQ(q.y, static_cast<float>(p.y + step)) << k;
    EXPECT_EQ(q.z, static_cast<float>(p.z + step)) << k;
    EXPECT_EQ(m.vertices[11 + k].selected, 1);
  }
  EXPECT_EQ(m.faces[5].indices, (IndexList{11, 12, 13, 14}));
  EXPECT_EQ(m.faces[5].uvs, before.models[0].faces[0].uvs);
  EXPECT_EQ(m.faces[7].material, 42) << "the same document: identifiers stay";
  EXPECT_EQ(m.pendingFace.indices, (IndexList{0, 21}));
  EXPECT_TRUE(FaceRefsCurrent(m));
  EXPECT_TRUE(FaceNormalsCurrent(m));
  // The locked model is left alone but loses its selection; nothing else was selected.
  EXPECT_EQ(s.models[1].faces.size(), 1u);
  EXPECT_EQ(s.models[1].vertices[0].selected, 0);
  EXPECT_EQ(s.models[2].faces.size(), 1u);
  EXPECT_EQ(s.materials.size(), 3u);
  // Nothing selected: nothing happens.
  CMeshwright none = before;
  none.SetAllSelected(0);
  EXPECT_EQ(DuplicateSelection(none, CVector(1, 1, 1)), 0u);
  EXPECT_EQ(none.models[0].faces.size(), 5u);
}

TEST(Fragment, DuplicateAndPasteUndoToTheBytesTheyStartedFrom) {
  for (EditKind kind : {EditKind::kDuplicate, EditKind::kPaste}) {
    SCOPED_TRACE(static_cast<int>(kind));
    CMeshwright s = SourceScene();
    const SceneFragment f = RoundTrip(ExtractSelection(s));
    std::vector<std::uint8_t> before, after, now;
    WriteScene(s, before);
    const CMeshwright start = s;
    SceneDelta d = SceneDelta::Capture(kind, s);
    if (kind == EditKind::kDuplicate) DuplicateSelection(s, CVector(50, 50, 50));
    else {
      s.materials.erase(s.materials.begin());  // so the paste adds one
      d = SceneDelta::Capture(kind, s);
      before.clear();
      WriteScene(s, before);
      ASSERT_TRUE(PasteFragment(s, f));
    }
    d.Finish(s);
    ASSERT_FALSE(d.Empty());
    WriteScene(s, after);
    const CMeshwright edited = s;
    d.Undo(s);
    WriteScene(s, now);
    EXPECT_EQ(now, before);
    for (std::size_t j = 0; j < s.models.size(); ++j)
      for (std::size_t i = 0; i < s.models[j].vertices.size(); ++i)
        EXPECT_EQ(s.models[j].vertices[i].selected, start.models[j].vertices[i].selected);
    d.Redo(s);
    now.clear();
    WriteScene(s, now);
    EXPECT_EQ(now, after);
    for (std::size_t j = 0; j < s.models.size(); ++j)
      for (std::size_t i = 0; i < s.models[j].vertices.size(); ++i)
        EXPECT_EQ(s.models[j].vertices[i].selected, edited.models[j].vertices[i].selected);
  }
}

TEST(Fragment, GridStepIsTheSpacingOfTheDrawnGridInModelUnits) {
  EXPECT_EQ(GridStepUnits(100.0f), 50.0f);
  EXPECT_EQ(GridPixels(37.9f), 37);
  EXPECT_EQ(GridStepUnits(37.9f), static_cast<float>(18.0 / 37.9f * 100.0));
  EXPECT_EQ(GridStepUnits(1.5f), static_cast<float>(1.0 / 1.5f * 100.0));  // half a pixel: the whole grid
  EXPECT_EQ(GridStepUnits(0.0f), 50.0f);
  EXPECT_EQ(GridStepUnits(std::nanf("")), 50.0f);
  EXPECT_EQ(GridStepUnits(INFINITY), 50.0f);
  EXPECT_EQ(GridPixels(3e9f), 100000000);
}

// ---- Hostile payloads ----

std::vector<std::uint8_t> Payload() { return EncodeFragment(ExtractSelection(SourceScene())); }

void ExpectRefused(const std::vector<std::uint8_t>& bytes, const char* why) {
  SCOPED_TRACE(why);
  SceneFragment f;
  f.model.name = "untouched";
  const ArchiveResult r = DecodeFragment(bytes.data(), bytes.size(), f);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(f.model.name, "untouched");
  EXPECT_TRUE(f.materials.empty());
}

TEST(FragmentPayload, EveryPrefixOfAValidPayloadIsRefused) {
  const std::vector<std::uint8_t> bytes = Payload();
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    SceneFragment f;
    EXPECT_FALSE(DecodeFragment(prefix.data(), prefix.size(), f).ok()) << n;
  }
}

TEST(FragmentPayload, ForeignHeadersVersionsAndDamagedStreamsAreRefused) {
  std::vector<std::uint8_t> bytes = Payload();
  auto changed = [&bytes](std::size_t at, std::uint8_t value) {
    std::vector<std::uint8_t> b = bytes;
    b[at] = value;
    return b;
  };
  ExpectRefused(changed(0, 'X'), "another header");
  ExpectRefused(changed(6, 2), "a later version");
  // The stream: model count, material count; then the model's name and counts.
  auto putI32 = [](std::vector<std::uint8_t> b, std::size_t at, std::int32_t v) {
    std::memcpy(b.data() + at, &v, 4);
    return b;
  };
  ExpectRefused(putI32(bytes, 8, 2), "two models");
  ExpectRefused(putI32(bytes, 8, 0), "no model");
  ExpectRefused(putI32(bytes, 8, 0x7FFFFFFF), "a model count larger than the payload");
  ExpectRefused(putI32(bytes, 12, 0x7FFFFFFF), "a material count larger than the payload");
  // Model name "Fragment" (1 + 8 bytes), reservedInt, secondName "<NULL>" (1 + 6): then the counts.
  const std::size_t vertexCount = 8 + 20 + 9 + 4 + 7;
  std::int32_t v;
  std::memcpy(&v, bytes.data() + vertexCount, 4);
  ASSERT_EQ(v, 10);
  ExpectRefused(putI32(bytes, vertexCount, 0x7FFFFFFF), "a vertex count larger than the payload");
  ExpectRefused(putI32(bytes, vertexCount + 4, -1), "a negative face count");
  // The first face's first corner: past the vertices (faces follow the 10 vertex records).
  std::size_t face = vertexCount + 12;
  for (int i = 0; i < 10; ++i) {
    std::int32_t refs;
    std::memcpy(&refs, bytes.data() + face + 12, 4);
    face += 16 + 4 * static_cast<std::size_t>(refs);
  }
  std::int32_t corners;
  std::memcpy(&corners, bytes.data() + face + 16, 4);
  ASSERT_EQ(corners, 4);
  ExpectRefused(putI32(bytes, face + 20, 10), "a corner naming no vertex");
  ExpectRefused(putI32(bytes, face + 20, -1), "a negative corner");
  ExpectRefused(putI32(bytes, face + 16, 0x40000000), "a corner count larger than the payload");
}

TEST(FragmentPayload, PayloadsOverTheLimitAreRefusedUnread) {
  // The size is checked before a byte is read, so a short buffer stands in for a huge one.
  const std::vector<std::uint8_t> bytes = Payload();
  SceneFragment f;
  EXPECT_FALSE(DecodeFragment(bytes.data(), kMaxFragmentBytes + 1, f).ok());
  EXPECT_TRUE(f.Empty());
}

}  // namespace
}  // namespace mw
