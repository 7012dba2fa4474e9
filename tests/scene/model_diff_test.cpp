// Undo steps of the edits that change a model's topology keep what the edit removed and added,
// not the model: one table of verbs over random scenes whose records have every field set to
// something awkward (stale normals and references, flag bytes above 1, creases, counterparts,
// faces naming no vertex), each undone and redone to records equal field for field, with the
// step's size bounded by what changed; and the size a delete of half a grid keeps.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <sstream>

#include "scene/edge_index.h"
#include "scene/grow_ops.h"
#include "scene/mesh_cut.h"
#include "scene/mesh_reduce.h"
#include "scene/mesh_tools.h"
#include "scene/model_diff.h"
#include "scene/scene_delta.h"

namespace mw {
namespace {

// Every field the undo history restores, written out: two scenes are the same for it when these
// strings are. Normals and positions by their bits.
std::string Fields(const CMeshwright& s) {
  std::ostringstream o;
  auto bits = [&o](const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) o << int(b[i]) << ',';
  };
  for (const CModel& m : s.models) {
    o << "model " << m.name << '|' << m.reservedInt << '|' << m.secondName << '|' << m.mirrorAxis << '|';
    bits(&m.facet, 4);
    o << m.state << '|' << m.subdivisionScheme << '|' << m.subdivisionLevel << '|' << m.symmetryAxis << "\nedges ";
    for (std::uint64_t e : m.selectedEdges) o << e << ' ';
    o << "\ncreases ";
    for (const EdgeCrease& c : m.creases) o << c.edge << ':' << c.sharpness << ' ';
    o << "\nsharp ";
    for (const VertexCorner& c : m.sharpVertices) o << c.vertex << ':' << c.sharpness << ' ';
    o << "\ncounterparts ";
    for (std::int32_t c : m.counterparts) o << c << ' ';
    o << "\nseams ";
    for (std::uint64_t e : m.seamEdges) o << e << ' ';
    o << '\n';
    for (const CVertex& v : m.vertices) {
      o << "v ";
      bits(&v.position, 12);
      bits(&v.normal, 12);
      o << int(v.selected) << ' ' << int(v.hidden) << " refs";
      for (std::int32_t r : v.faceRefs) o << ' ' << r;
      o << '\n';
    }
    for (const CFace& f : m.faces) {
      o << "f " << f.material << ' ' << int(f.allSelected) << ' ' << int(f.selected) << ' ' << int(f.hidden) << " :";
      for (std::int32_t i : f.indices) o << ' ' << i;
      o << " uv ";
      for (const CUV& uv : f.uvs) bits(&uv, 8);
      bits(&f.normal, 12);
      o << '\n';
    }
  }
  return o.str();
}

// A wavy grid (so welds and folds have something to do) with awkward records around it.
CModel AwkwardModel(std::mt19937& rng, int w, int h) {
  std::uniform_real_distribution<float> jitter(-0.3f, 0.3f), coin(0, 1);
  CModel m;
  m.name = "m" + std::to_string(rng() % 100);
  m.reservedInt = 7, m.secondName = "second", m.mirrorAxis = 3, m.facet = 45.5f;
  m.subdivisionScheme = kSubdivisionCatmullClark, m.subdivisionLevel = 3;
  for (int y = 0; y <= h; ++y)
    for (int x = 0; x <= w; ++x) {
      m.vertices.emplace_back(x * 10.0f + jitter(rng), y * 10.0f + jitter(rng), jitter(rng) * 5);
      m.vertices.back().selected = coin(rng) < 0.4f ? (coin(rng) < 0.1f ? 3 : 1) : 0;
      m.vertices.back().hidden = coin(rng) < 0.03f ? 1 : 0;
    }
  const auto at = [w](int x, int y) { return static_cast<std::int32_t>(y * (w + 1) + x); };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      CFace f;
      f.material = static_cast<std::int32_t>(rng() % 3) - 1;
      if (coin(rng) < 0.25f) {
        f.indices = {at(x, y), at(x, y + 1), at(x + 1, y + 1)};
      } else {
        f.indices = {at(x, y), at(x, y + 1), at(x + 1, y + 1), at(x + 1, y)};
      }
      if (coin(rng) < 0.7f)
        for (std::size_t k = 0; k < f.indices.size(); ++k) f.AddUV(CUV(0.1f * (x + k), 0.1f * y));
      f.hidden = coin(rng) < 0.05f ? 1 : 0;
      m.faces.push_back(f);
    }
  m.RebuildFaceRefs();
  m.UpdateFaceSelection();
  for (int k = 0; k < 4; ++k) {
    const auto a = static_cast<std::int32_t>(rng() % m.vertices.size()), b = a + 1;
    m.creases.push_back({(std::uint64_t(a) << 32) | std::uint32_t(b), 2.5f});
    m.sharpVertices.push_back({a, 1.5f});
  }
  std::sort(m.creases.begin(), m.creases.end(), [](auto& p, auto& q) { return p.edge < q.edge; });
  m.creases.erase(std::unique(m.creases.begin(), m.creases.end(), [](auto& p, auto& q) { return p.edge == q.edge; }),
                  m.creases.end());
  std::sort(m.sharpVertices.begin(), m.sharpVertices.end(), [](auto& p, auto& q) { return p.vertex < q.vertex; });
  m.sharpVertices.erase(
      std::unique(m.sharpVertices.begin(), m.sharpVertices.end(), [](auto& p, auto& q) { return p.vertex == q.vertex; }),
      m.sharpVertices.end());
  return m;
}

CMeshwright AwkwardScene(std::mt19937& rng) {
  CMeshwright s;
  s.ResetScene();
  s.models.clear();
  s.smoothing = static_cast<std::int32_t>(rng() % 2);
  for (int k = 0; k < 3; ++k) s.models.push_back(AwkwardModel(rng, 2 + static_cast<int>(rng() % 7), 2 + static_cast<int>(rng() % 7)));
  for (int k = 0; k < 3; ++k) s.AddMaterial();
  s.ComputeNormals();
  std::uniform_real_distribution<float> coin(0, 1);
  CModel& m = s.models[static_cast<std::size_t>(rng() % 3)];
  // What a damaged or foreign file may leave: a stale normal, references out of order, flag
  // bytes above 1, a line, a face naming a vertex that is not there.
  if (coin(rng) < 0.5f) m.faces[0].normal = CVector(1.5f, -0.0f, 2.0f);
  if (coin(rng) < 0.5f) m.vertices[1].normal = CVector(7, 7, 7);
  if (coin(rng) < 0.3f)
    for (CVertex& v : m.vertices)
      if (v.faceRefs.size() > 1) std::reverse(v.faceRefs.begin(), v.faceRefs.end());
  if (coin(rng) < 0.3f) m.faces[1].hidden = 2;
  if (coin(rng) < 0.3f) {
    CFace line;
    line.indices = {0, 1};
    line.normal = CVector(0, 3, 0);
    m.faces.push_back(line);
  }
  if (coin(rng) < 0.2f) {
    CFace broken;
    broken.indices = {0, 1, static_cast<std::int32_t>(m.vertices.size()) + 5};
    broken.normal = CVector(0, 0, 9);
    m.faces.push_back(broken);
  }
  if (coin(rng) < 0.3f) {
    m.symmetryAxis = 1;
    for (std::size_t i = 0; i < m.vertices.size(); ++i) m.counterparts.push_back(static_cast<std::int32_t>(i % 5) - 1);
  }
  s.models[2].selectedEdges = {(std::uint64_t(0) << 32) | 1u};
  if (coin(rng) < 0.5f) s.models[2].seamEdges = {(std::uint64_t(0) << 32) | 1u, (std::uint64_t(1) << 32) | 2u};
  s.currentModel = static_cast<std::int32_t>(rng() % 3);
  s.currentMaterial = 1;
  return s;
}

struct Verb {
  const char* name;
  EditKind kind;
  std::function<void(CMeshwright&)> run;
};

const std::vector<Verb>& Verbs() {
  static const std::vector<Verb> verbs = {
      {"delete", EditKind::kDelete, [](CMeshwright& s) { s.DeleteSelection(); }},
      {"weld", EditKind::kWeld, [](CMeshwright& s) { WeldSelected(s, 12.0); }},
      {"flip", EditKind::kFlip, [](CMeshwright& s) { FlipSelectedFaces(s); }},
      {"material", EditKind::kAssignMaterial, [](CMeshwright& s) { s.AssignCurrentMaterial(); }},
      {"dissolve", EditKind::kDissolve, [](CMeshwright& s) { DissolveSelected(s, DissolveWhat::kVertices); }},
      {"delete faces", EditKind::kDeleteElements, [](CMeshwright& s) { DeleteSelectedElements(s, DeleteWhat{}); }},
      {"collapse", EditKind::kCollapse,
       [](CMeshwright& s) { CollapseSelected(s, CollapseAt::kCentre, CollapseGroups{}); }},
      {"triangulate", EditKind::kTriangulate, [](CMeshwright& s) { TriangulateSelected(s); }},
      {"tris to quads", EditKind::kTrisToQuads, [](CMeshwright& s) {
         TriangulateSelected(s);  // so that there are pairs to join
         TrisToQuadsSelected(s, 40.0);
       }},
      {"subdivide", EditKind::kSubdivide, [](CMeshwright& s) { SubdivideSelected(s, 2, Neighbours::kPolygons); }},
      {"extrude", EditKind::kExtrude, [](CMeshwright& s) { ExtrudeSelected(s, ExtrudeParams{}); }},
      {"inset", EditKind::kInset, [](CMeshwright& s) { InsetSelected(s, InsetParams{}); }},
      {"merge up", EditKind::kModelMergeUp, [](CMeshwright& s) { s.MergeCurrentModelUp(); }},
      {"merge down", EditKind::kModelMergeDown, [](CMeshwright& s) { s.MergeCurrentModelDown(); }},
  };
  return verbs;
}

// Elements from the first one that differs in any field to the end, before and after: every
// element the edit removed, added, changed or renumbered lies there.
std::size_t Suffix(const std::vector<CModel>& a, const std::vector<CModel>& b) {
  std::size_t n = 0;
  for (std::size_t k = 0; k < std::max(a.size(), b.size()); ++k) {
    if (k >= a.size() || k >= b.size()) {
      const CModel& m = k < a.size() ? a[k] : b[k];
      n += m.vertices.size() + m.faces.size();
      continue;
    }
    const CModel &x = a[k], &y = b[k];
    std::size_t v = 0, f = 0;
    auto same = [](const CVector& p, const CVector& q) { return std::memcmp(&p, &q, sizeof p) == 0; };
    while (v < x.vertices.size() && v < y.vertices.size() && same(x.vertices[v].position, y.vertices[v].position) &&
           same(x.vertices[v].normal, y.vertices[v].normal) && x.vertices[v].selected == y.vertices[v].selected &&
           x.vertices[v].hidden == y.vertices[v].hidden)
      ++v;
    while (f < x.faces.size() && f < y.faces.size() && x.faces[f].indices == y.faces[f].indices &&
           x.faces[f].uvs == y.faces[f].uvs && x.faces[f].material == y.faces[f].material &&
           same(x.faces[f].normal, y.faces[f].normal) && x.faces[f].allSelected == y.faces[f].allSelected &&
           x.faces[f].selected == y.faces[f].selected && x.faces[f].hidden == y.faces[f].hidden)
      ++f;
    n += x.vertices.size() + y.vertices.size() - 2 * v + x.faces.size() + y.faces.size() - 2 * f;
  }
  return n;
}

TEST(TopologyUndo, EveryVerbUndoesAndRedoesEveryFieldAndKeepsAStepAsLargeAsItsChange) {
  for (const Verb& verb : Verbs()) {
    std::size_t acted = 0;
    for (std::uint32_t seed = 1; seed <= 150; ++seed) {
      std::mt19937 rng(seed);
      CMeshwright s = AwkwardScene(rng);
      const std::string what = std::string(verb.name) + " seed " + std::to_string(seed);
      const std::string before = Fields(s);
      const std::vector<CModel> models = s.models;
      // Odd seeds keep the records whole, as a live preview does.
      const bool whole = seed % 2 == 1;
      SceneDelta d = SceneDelta::Capture(verb.kind, s);
      if (whole) d.KeepWholeRecords();
      verb.run(s);
      d.Finish(s);
      const std::string after = Fields(s);
      if (after == before) continue;
      ++acted;
      ASSERT_FALSE(d.Empty()) << what;
      // Whole records ran to thousands of bytes per model; the changed part is what counts.
      if (!whole) {
        EXPECT_LE(d.Bytes(), 2048 + 80 * Suffix(models, s.models)) << what;
      }
      d.Undo(s);
      ASSERT_EQ(Fields(s), before) << what;
      d.Redo(s);
      ASSERT_EQ(Fields(s), after) << what;
      d.Undo(s);
      ASSERT_EQ(Fields(s), before) << what << " (second undo)";
    }
    EXPECT_GT(acted, 40u) << verb.name << " acted too rarely for the check to mean anything";
  }
}

// A grid of side x side quads with texture coordinates and current normals, the left half
// selected: the delete removes half the vertices with their faces.
TEST(TopologyUndo, DeletingHalfAGridKeepsUnderFortyBytesPerRemovedVertexAndMergingKeepsNoGeometry) {
  const int side = 201;
  CMeshwright s;
  s.ResetScene();
  s.smoothing = 1;
  CModel& m = s.models[0];
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x) m.vertices.emplace_back(static_cast<float>(x), 0.0f, static_cast<float>(z));
  for (int z = 0; z + 1 < side; ++z)
    for (int x = 0; x + 1 < side; ++x) {
      CFace f;
      const int i = z * side + x;
      f.indices = {i, i + side, i + side + 1, i + 1};
      f.uvs = {CUV(0, 0), CUV(0, 1), CUV(1, 1), CUV(1, 0)};
      m.faces.push_back(f);
    }
  m.RebuildFaceRefs();
  for (CVertex& v : m.vertices) v.selected = v.position.x < side / 2 ? 1 : 0;
  m.UpdateFaceSelection();
  s.ComputeNormals();
  const std::size_t vertices = m.vertices.size();
  const std::string before = Fields(s);
  SceneDelta d = SceneDelta::Capture(EditKind::kDelete, s);
  s.DeleteSelection();
  d.Finish(s);
  const std::size_t removed = vertices - s.models[0].vertices.size();
  ASSERT_GT(removed, vertices / 3);
  EXPECT_LE(d.Bytes(), 40 * removed);
  d.Undo(s);
  EXPECT_EQ(Fields(s), before);

  // The same grid twice, the second merged up into the first.
  s.models.push_back(s.models[0]);
  s.currentModel = 1;
  SceneDelta merge = SceneDelta::Capture(EditKind::kModelMergeUp, s);
  const std::string apart = Fields(s);
  s.MergeCurrentModelUp();
  merge.Finish(s);
  EXPECT_LT(merge.Bytes(), 4096u);
  merge.Undo(s);
  EXPECT_EQ(Fields(s), apart);
}

}  // namespace
}  // namespace mw
