#include "scene/scene_delta.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "scene/model_diff.h"
#include "scene/polygon_triangles.h"
#include "scene/symmetry.h"
#include "scene/uv_edit.h"

namespace mw {

namespace {

bool SameBits(const CVector& a, const CVector& b) { return std::memcmp(&a, &b, sizeof(CVector)) == 0; }

std::size_t ModelBytes(const CModel& m) {
  std::size_t n = sizeof(CModel) + m.name.capacity() + m.secondName.capacity();
  n += m.vertices.capacity() * sizeof(CVertex) + m.faces.capacity() * sizeof(CFace);
  for (const CVertex& v : m.vertices)
    if (v.faceRefs.size() > 4) n += v.faceRefs.size() * sizeof(std::int32_t);
  return n;
}

bool CornersAllSelected(const CModel& m, const CFace& f) {
  for (std::int32_t i : f.indices)
    if (!m.HasVertex(i) || !m.vertices[static_cast<std::size_t>(i)].selected) return false;
  return true;
}

bool HasFaceWithoutUVs(const CModel& m, std::int32_t materialId) {
  return std::any_of(m.faces.begin(), m.faces.end(),
                     [materialId](const CFace& f) { return f.material == materialId && f.uvs.empty(); });
}

// What deleting the selection can change in `m`: its faces and vertices when it is editable and
// has a selected face or a vertex no face uses, and its face references when they are not current.
bool DeleteMayChange(const CModel& m) {
  if (!FaceRefsCurrent(m)) return true;
  if (!m.IsEditable()) return false;
  if (std::any_of(m.faces.begin(), m.faces.end(), [](const CFace& f) { return f.allSelected != 0; })) return true;
  return std::any_of(m.vertices.begin(), m.vertices.end(), [](const CVertex& v) { return v.faceRefs.empty(); });
}

// What the weld or the flip may change in `m`: an editable model with two selected vertices
// (weld) or a fully selected face of two corners or more (flip).
bool ToolMayChange(EditKind kind, const CModel& m) {
  if (!m.IsEditable()) return false;
  if (kind == EditKind::kFlip)
    return std::any_of(m.faces.begin(), m.faces.end(),
                       [&m](const CFace& f) { return f.indices.size() >= 2 && CornersAllSelected(m, f); });
  return std::count_if(m.vertices.begin(), m.vertices.end(), [](const CVertex& v) { return v.selected != 0; }) >= 2;
}

// The corner lists of the faces, in order; positions moved by a weld come with a change of these.
bool SameFaces(const CModel& a, const CModel& b) {
  if (a.faces.size() != b.faces.size()) return false;
  for (std::size_t i = 0; i < a.faces.size(); ++i)
    if (!(a.faces[i].indices == b.faces[i].indices) || !(a.faces[i].uvs == b.faces[i].uvs)) return false;
  return true;
}

}  // namespace

struct SceneDelta::Part {
  virtual ~Part() = default;
  virtual void Finish(const CMeshwright&) {}
  virtual bool Empty() const = 0;
  virtual void Undo(CMeshwright& scene) = 0;
  virtual void Redo(CMeshwright& scene) = 0;
  virtual std::size_t Bytes() const = 0;
  virtual void KeepWhole() {}
};

namespace {

using Part = SceneDelta::Part;

// Positions of the selected vertices of the editable models, in list order: the vertices every
// transform moves. The set is the same before and after the edit, so exchanging in the same order
// restores either side.
struct PositionPart : Part {
  std::vector<CVector> positions;
  bool changed = true;

  template <typename Models, typename Fn>
  static void ForEach(Models& models, Fn&& fn) {
    for (auto& m : models) {
      if (!m.IsEditable()) continue;
      if (m.symmetryAxis) {  // the counterparts move with the selection
        const std::vector<std::uint8_t> moved = VerticesMovedWithSymmetry(m);
        for (std::size_t i = 0; i < moved.size(); ++i)
          if (moved[i]) fn(m.vertices[i].position);
        continue;
      }
      for (auto& v : m.vertices)
        if (v.selected) fn(v.position);
    }
  }
  explicit PositionPart(const CMeshwright& scene) {
    std::size_t n = 0;
    ForEach(scene.models, [&n](const CVector&) { ++n; });
    positions.reserve(n);
    ForEach(scene.models, [this](const CVector& p) { positions.push_back(p); });
  }
  void Finish(const CMeshwright& scene) override {
    std::size_t k = 0;
    changed = false;
    ForEach(scene.models, [&](const CVector& p) {
      if (k >= positions.size() || !SameBits(p, positions[k])) changed = true;
      ++k;
    });
    if (k != positions.size()) changed = true;
    if (!changed) positions = {};
  }
  bool Empty() const override { return !changed; }
  void Swap(CMeshwright& scene) {
    std::size_t k = 0;
    ForEach(scene.models, [&](CVector& p) {
      if (k < positions.size()) std::swap(p, positions[k]);
      ++k;
    });
  }
  void Undo(CMeshwright& scene) override { Swap(scene); }
  void Redo(CMeshwright& scene) override { Swap(scene); }
  std::size_t Bytes() const override { return sizeof(*this) + positions.capacity() * sizeof(CVector); }
};

// Vertex, edge and face selection and hiding of every model, and the selection mode. The flags of a
// vertex or face are packed in one byte: selected 1, hidden 2 (vertices); allSelected 1,
// selected 2, hidden 4 (faces).
struct SelectionPart : Part {
  std::vector<std::vector<std::uint8_t>> vertices, faces;
  std::vector<std::vector<std::uint64_t>> edges;
  std::int32_t mode = 0;
  bool changed = true;

  static std::uint8_t Pack(const CVertex& v) { return static_cast<std::uint8_t>((v.selected ? 1 : 0) | (v.hidden ? 2 : 0)); }
  static std::uint8_t Pack(const CFace& f) {
    return static_cast<std::uint8_t>((f.allSelected ? 1 : 0) | (f.selected ? 2 : 0) | (f.hidden ? 4 : 0));
  }
  static void Unpack(CVertex& v, std::uint8_t b) { v.selected = b & 1, v.hidden = (b >> 1) & 1; }
  static void Unpack(CFace& f, std::uint8_t b) { f.allSelected = b & 1, f.selected = (b >> 1) & 1, f.hidden = (b >> 2) & 1; }

  explicit SelectionPart(const CMeshwright& scene) : mode(scene.selectMode) {
    for (const CModel& m : scene.models) {
      std::vector<std::uint8_t>& v = vertices.emplace_back(m.vertices.size());
      for (std::size_t i = 0; i < m.vertices.size(); ++i) v[i] = Pack(m.vertices[i]);
      std::vector<std::uint8_t>& f = faces.emplace_back(m.faces.size());
      for (std::size_t i = 0; i < m.faces.size(); ++i) f[i] = Pack(m.faces[i]);
      edges.push_back(m.selectedEdges);
    }
  }
  void Finish(const CMeshwright& scene) override {
    changed = scene.models.size() != vertices.size() || scene.selectMode != mode;
    for (std::size_t j = 0; !changed && j < scene.models.size(); ++j) {
      const CModel& m = scene.models[j];
      if (m.vertices.size() != vertices[j].size() || m.faces.size() != faces[j].size()) changed = true;
      for (std::size_t i = 0; !changed && i < m.vertices.size(); ++i) changed = Pack(m.vertices[i]) != vertices[j][i];
      for (std::size_t i = 0; !changed && i < m.faces.size(); ++i) changed = Pack(m.faces[i]) != faces[j][i];
      changed = changed || m.selectedEdges != edges[j];
    }
    if (!changed) vertices = faces = {}, edges = {};
  }
  bool Empty() const override { return !changed; }
  void Swap(CMeshwright& scene) {
    std::swap(scene.selectMode, mode);
    for (std::size_t j = 0; j < scene.models.size() && j < vertices.size(); ++j) {
      CModel& m = scene.models[j];
      for (std::size_t i = 0; i < m.vertices.size() && i < vertices[j].size(); ++i) {
        const std::uint8_t kept = vertices[j][i];
        vertices[j][i] = Pack(m.vertices[i]);
        Unpack(m.vertices[i], kept);
      }
      for (std::size_t i = 0; i < m.faces.size() && i < faces[j].size(); ++i) {
        const std::uint8_t kept = faces[j][i];
        faces[j][i] = Pack(m.faces[i]);
        Unpack(m.faces[i], kept);
      }
      m.selectedEdges.swap(edges[j]);
    }
  }
  void Undo(CMeshwright& scene) override { Swap(scene); }
  void Redo(CMeshwright& scene) override { Swap(scene); }
  std::size_t Bytes() const override {
    std::size_t n = sizeof(*this);
    for (const auto& v : vertices) n += v.capacity() + sizeof(v);
    for (const auto& f : faces) n += f.capacity() + sizeof(f);
    for (const auto& e : edges) n += e.capacity() * sizeof(std::uint64_t) + sizeof(e);
    return n;
  }
};

struct CameraPart : Part {
  CAnimation camera;
  bool changed = true;
  explicit CameraPart(const CMeshwright& scene) : camera(scene.camera) {}
  void Finish(const CMeshwright& scene) override {
    const CAnimation& c = scene.camera;
    changed = !SameBits(c.translation, camera.translation) || !SameBits(c.rotation, camera.rotation) ||
              !SameBits(c.scale, camera.scale) || c.frame != camera.frame;
  }
  bool Empty() const override { return !changed; }
  void Undo(CMeshwright& scene) override { std::swap(scene.camera, camera); }
  void Redo(CMeshwright& scene) override { std::swap(scene.camera, camera); }
  std::size_t Bytes() const override { return sizeof(*this); }
};

// Committing a face adds one face and the new vertices at the ends of one model's lists and
// rebuilds its face references.
struct FacePart : Part {
  std::size_t model;
  std::size_t oldVertices, oldFaces;
  bool refsCurrent;
  std::vector<FaceRefList> oldRefs;  // only when they were not current
  std::vector<CVertex> addedVertices;
  std::vector<CFace> addedFaces;
  bool changed = true;

  FacePart(const CMeshwright& scene, std::size_t m) : model(m) {
    const CModel& md = scene.models[m];
    oldVertices = md.vertices.size();
    oldFaces = md.faces.size();
    refsCurrent = FaceRefsCurrent(md);
    if (!refsCurrent)
      for (const CVertex& v : md.vertices) oldRefs.push_back(v.faceRefs);
  }
  void Finish(const CMeshwright& scene) override {
    const CModel& md = scene.models[model];
    changed = md.vertices.size() != oldVertices || md.faces.size() != oldFaces;
    for (std::size_t i = 0; !changed && i < oldRefs.size(); ++i) {
      const FaceRefList& now = md.vertices[i].faceRefs;
      changed = now.size() != oldRefs[i].size() || !std::equal(now.begin(), now.end(), oldRefs[i].begin());
    }
    if (!changed) oldRefs = {};
  }
  bool Empty() const override { return !changed; }
  void Undo(CMeshwright& scene) override {
    CModel& md = scene.models[model];
    addedVertices.assign(std::make_move_iterator(md.vertices.begin() + static_cast<std::ptrdiff_t>(oldVertices)),
                         std::make_move_iterator(md.vertices.end()));
    addedFaces.assign(std::make_move_iterator(md.faces.begin() + static_cast<std::ptrdiff_t>(oldFaces)),
                      std::make_move_iterator(md.faces.end()));
    md.vertices.resize(oldVertices);
    md.faces.resize(oldFaces);
    if (refsCurrent) {
      md.RebuildFaceRefs();
    } else {
      for (std::size_t i = 0; i < oldRefs.size() && i < md.vertices.size(); ++i) md.vertices[i].faceRefs = oldRefs[i];
    }
  }
  void Redo(CMeshwright& scene) override {
    CModel& md = scene.models[model];
    md.vertices.insert(md.vertices.end(), std::make_move_iterator(addedVertices.begin()),
                       std::make_move_iterator(addedVertices.end()));
    md.faces.insert(md.faces.end(), std::make_move_iterator(addedFaces.begin()),
                    std::make_move_iterator(addedFaces.end()));
    addedVertices.clear();
    addedFaces.clear();
    md.RebuildFaceRefs();
  }
  std::size_t Bytes() const override {
    return sizeof(*this) + oldRefs.capacity() * sizeof(FaceRefList) + addedVertices.capacity() * sizeof(CVertex) +
           addedFaces.capacity() * sizeof(CFace);
  }
};

// Model records an edit changes in place (deleting the selection, assigning a material, the mesh
// tools, the modelling verbs): copied before the edit, then, once it is done, kept only as their
// difference from what the edit left (scene/model_diff.h).
struct RecordsPart : Part {
  std::vector<std::pair<std::size_t, CModel>> records;
  std::vector<std::pair<std::size_t, ModelDiff>> diffs;
  // Forget the records whose model the edit left as it was (the mesh tools change the vertex or
  // face lists of every model they touch, or leave it alone; the seam commands only the seams).
  bool keepChangedOnly = false;
  bool whole = false;  // the records are given back as they are, not as their difference
  void KeepWhole() override { whole = true; }
  void Finish(const CMeshwright& scene) override {
    if (keepChangedOnly) {
      std::erase_if(records, [&scene](const auto& r) {
        const CModel& now = scene.models[r.first];
        return now.vertices.size() == r.second.vertices.size() && SameFaces(now, r.second) &&
               now.seamEdges == r.second.seamEdges;
      });
    }
    if (whole) return;
    for (auto& [slot, record] : records) diffs.emplace_back(slot, ModelDiff::Between(std::move(record), scene.models[slot]));
    records.clear();
    records.shrink_to_fit();
  }
  bool Empty() const override { return records.empty() && diffs.empty(); }
  void Undo(CMeshwright& scene) override {
    for (auto& [slot, record] : records) SwapModelRecord(scene.models[slot], record);
    for (auto& [slot, diff] : diffs) diff.Undo(scene.models[slot]);
  }
  void Redo(CMeshwright& scene) override {
    for (auto& [slot, record] : records) SwapModelRecord(scene.models[slot], record);
    for (auto& [slot, diff] : diffs) diff.Redo(scene.models[slot]);
  }
  std::size_t Bytes() const override {
    std::size_t n = sizeof(*this);
    for (const auto& r : records) n += ModelBytes(r.second);
    for (const auto& d : diffs) n += d.second.Bytes();
    return n;
  }
};

// Merging a model into its neighbour appends the one's vertices and faces to the other's (the
// faces renumbered by the other's vertex count) and takes the one out of the list: the step keeps
// where the two met and the merged-away model's other fields, not its geometry. Each list
// position keeps its face under construction, as ListPart's exchange leaves it.
struct MergePart : Part {
  std::size_t first;     // the upper of the two list positions; the merged model ends up here
  bool sourceFirst;      // the merged-away model was the upper one (a merge down)
  std::size_t targetVertices, targetFaces, sourceVertices, sourceFaces, sizeBefore;
  bool targetRefs, sourceRefs;  // face references were what rebuilding gives
  std::vector<FaceRefList> targetRefList, sourceRefList;
  CModel sourceFields;  // the merged-away model's fields but its vertices and faces
  bool changed = false;

  MergePart(const CMeshwright& scene, std::size_t target, std::size_t source)
      : first(std::min(target, source)), sourceFirst(source < target), sizeBefore(scene.models.size()) {
    const CModel &t = scene.models[target], &s = scene.models[source];
    targetVertices = t.vertices.size(), targetFaces = t.faces.size();
    sourceVertices = s.vertices.size(), sourceFaces = s.faces.size();
    targetRefs = FaceRefsCurrent(t), sourceRefs = FaceRefsCurrent(s);
    if (!targetRefs)
      for (const CVertex& v : t.vertices) targetRefList.push_back(v.faceRefs);
    if (!sourceRefs)
      for (const CVertex& v : s.vertices) sourceRefList.push_back(v.faceRefs);
    CModel copy;
    copy.name = s.name, copy.reservedInt = s.reservedInt, copy.secondName = s.secondName;
    copy.mirrorAxis = s.mirrorAxis, copy.facet = s.facet, copy.state = s.state;
    copy.selectedEdges = s.selectedEdges, copy.subdivisionScheme = s.subdivisionScheme;
    copy.subdivisionLevel = s.subdivisionLevel, copy.creases = s.creases, copy.sharpVertices = s.sharpVertices;
    copy.symmetryAxis = s.symmetryAxis, copy.counterparts = s.counterparts, copy.seamEdges = s.seamEdges;
    SwapModelFields(sourceFields, copy);
    sourceFields.pendingVertices = s.pendingVertices;
  }
  void Finish(const CMeshwright& scene) override {
    changed = scene.models.size() + 1 == sizeBefore && first < scene.models.size() &&
              scene.models[first].vertices.size() == targetVertices + sourceVertices &&
              scene.models[first].faces.size() == targetFaces + sourceFaces;
    // The merge rebuilt the merged model's references; should it ever not have, redo rebuilds them anyway.
  }
  bool Empty() const override { return !changed; }
  static void Restore(CModel& m, bool rebuilt, const std::vector<FaceRefList>& refs) {
    if (rebuilt) {
      m.RebuildFaceRefs();
      return;
    }
    for (std::size_t i = 0; i < m.vertices.size() && i < refs.size(); ++i) m.vertices[i].faceRefs = refs[i];
  }
  void Undo(CMeshwright& scene) override {
    if (!changed) return;
    CModel& merged = scene.models[first];
    CModel source;
    SwapModelFields(source, sourceFields);
    const auto v0 = static_cast<std::ptrdiff_t>(targetVertices), f0 = static_cast<std::ptrdiff_t>(targetFaces);
    source.vertices.assign(std::make_move_iterator(merged.vertices.begin() + v0), std::make_move_iterator(merged.vertices.end()));
    source.faces.assign(std::make_move_iterator(merged.faces.begin() + f0), std::make_move_iterator(merged.faces.end()));
    merged.vertices.resize(targetVertices);
    merged.faces.resize(targetFaces);
    for (CFace& f : source.faces) f.OffsetIndices(-static_cast<std::int32_t>(targetVertices));
    Restore(merged, targetRefs, targetRefList);
    Restore(source, sourceRefs, sourceRefList);
    // The merged record stays at `first` and the target is the record there unless the merged-away
    // model came first.
    // The copy of the record ListPart would insert carries its pending vertices along.
    source.pendingVertices = sourceFirst ? merged.pendingVertices : sourceFields.pendingVertices;
    if (sourceFirst) SwapModelRecord(merged, source);
    scene.models.insert(scene.models.begin() + static_cast<std::ptrdiff_t>(first + 1), std::move(source));
  }
  void Redo(CMeshwright& scene) override {
    if (!changed) return;
    CModel& upper = scene.models[first];
    CModel& lower = scene.models[first + 1];
    CModel& target = sourceFirst ? lower : upper;
    CModel& source = sourceFirst ? upper : lower;
    const auto base = static_cast<std::int32_t>(target.vertices.size());
    target.faces.reserve(target.faces.size() + source.faces.size());
    for (CFace& f : source.faces) {
      target.faces.push_back(std::move(f));
      target.faces.back().OffsetIndices(base);
    }
    target.vertices.insert(target.vertices.end(), std::make_move_iterator(source.vertices.begin()),
                           std::make_move_iterator(source.vertices.end()));
    target.RebuildFaceRefs();
    source.vertices = {};
    source.faces = {};
    SwapModelFields(sourceFields, source);
    if (sourceFirst) SwapModelRecord(upper, lower);
    scene.models.erase(scene.models.begin() + static_cast<std::ptrdiff_t>(first + 1));
  }
  std::size_t Bytes() const override {
    std::size_t n = sizeof(*this) + sourceFields.name.capacity() + sourceFields.secondName.capacity() +
                    sourceFields.selectedEdges.capacity() * sizeof(std::uint64_t) +
                    sourceFields.creases.capacity() * sizeof(EdgeCrease) +
                    sourceFields.sharpVertices.capacity() * sizeof(VertexCorner) +
                    sourceFields.counterparts.capacity() * sizeof(std::int32_t) +
                    sourceFields.seamEdges.capacity() * sizeof(std::uint64_t);
    n += (targetRefList.capacity() + sourceRefList.capacity()) * sizeof(FaceRefList);
    return n;
  }
};

// The name and display state of one model.
struct ModelFieldsPart : Part {
  std::size_t model;
  std::string name;
  std::int32_t state;
  std::int32_t symmetryAxis;
  std::vector<std::int32_t> counterparts;
  bool changed = true;
  ModelFieldsPart(const CMeshwright& scene, std::size_t m)
      : model(m),
        name(scene.models[m].name),
        state(scene.models[m].state),
        symmetryAxis(scene.models[m].symmetryAxis),
        counterparts(scene.models[m].counterparts) {}
  void Finish(const CMeshwright& scene) override {
    const CModel& now = scene.models[model];
    changed = now.name != name || now.state != state || now.symmetryAxis != symmetryAxis;
  }
  bool Empty() const override { return !changed; }
  void Swap(CMeshwright& scene) {
    std::swap(scene.models[model].name, name);
    std::swap(scene.models[model].state, state);
    std::swap(scene.models[model].symmetryAxis, symmetryAxis);
    std::swap(scene.models[model].counterparts, counterparts);
  }
  void Undo(CMeshwright& scene) override { Swap(scene); }
  void Redo(CMeshwright& scene) override { Swap(scene); }
  std::size_t Bytes() const override { return sizeof(*this) + name.capacity(); }
};

// A stretch of the model list replaced by another: [first, first + records.size()) on one side,
// `inScene` records starting at `first` on the other. Adding, deleting, moving and merging models
// and importing are all such splices. Where both sides have a record the records are exchanged
// in place (so each list position keeps its face under construction, as moving a model does).
struct ListPart : Part {
  std::size_t first;
  std::vector<CModel> records;
  std::size_t inScene = 0;
  std::size_t sizeBefore;

  ListPart(const CMeshwright& scene, std::size_t from, std::size_t count)
      : first(from),
        records(scene.models.begin() + static_cast<std::ptrdiff_t>(from),
                scene.models.begin() + static_cast<std::ptrdiff_t>(from + count)),
        sizeBefore(scene.models.size()) {}
  void Finish(const CMeshwright& scene) override { inScene = scene.models.size() + records.size() - sizeBefore; }
  bool Empty() const override { return records.empty() && inScene == 0; }
  void Swap(CMeshwright& scene) {
    std::vector<CModel>& models = scene.models;
    const std::size_t kept = records.size();
    const std::size_t common = std::min(kept, inScene);
    for (std::size_t k = 0; k < common; ++k) SwapModelRecord(models[first + k], records[k]);
    const auto at = models.begin() + static_cast<std::ptrdiff_t>(first + common);
    if (kept > common) {
      models.insert(at, std::make_move_iterator(records.begin() + static_cast<std::ptrdiff_t>(common)),
                    std::make_move_iterator(records.end()));
      records.resize(common);
    } else if (inScene > common) {
      const auto end = at + static_cast<std::ptrdiff_t>(inScene - common);
      records.insert(records.end(), std::make_move_iterator(at), std::make_move_iterator(end));
      models.erase(models.begin() + static_cast<std::ptrdiff_t>(first + common),
                   models.begin() + static_cast<std::ptrdiff_t>(first + inScene));
    }
    inScene = kept;
  }
  void Undo(CMeshwright& scene) override { Swap(scene); }
  void Redo(CMeshwright& scene) override { Swap(scene); }
  std::size_t Bytes() const override {
    std::size_t n = sizeof(*this);
    for (const CModel& m : records) n += ModelBytes(m);
    return n;
  }
};

// The material list and the identifier counter. Textures are loaded by whoever holds the
// material in the scene: the side going out lets go of its textures, the side coming in loads
// its own (copies share the GL name, which the release deletes).
struct MaterialsPart : Part {
  std::vector<CMaterial> materials;
  std::int32_t nextMaterialId;
  bool changed = true;
  // An import only adds materials (and counts them): it changed the list when the count moved.
  bool onlyAdds = false;
  // The edit may also pick the current material.
  bool keepsCurrent = false;
  std::int32_t currentMaterial;
  explicit MaterialsPart(const CMeshwright& scene)
      : materials(scene.materials), nextMaterialId(scene.nextMaterialId), currentMaterial(scene.currentMaterial) {
    for (CMaterial& m : materials) {
      m.textureObject = 0;
      m.textureImage.reset();
    }
  }
  void Finish(const CMeshwright& scene) override {
    if (onlyAdds) changed = scene.materials.size() != materials.size() || scene.nextMaterialId != nextMaterialId;
  }
  bool Empty() const override { return !changed; }
  void Swap(CMeshwright& scene) {
    for (CMaterial& m : scene.materials) m.ReleaseTexture();
    std::swap(scene.materials, materials);
    std::swap(scene.nextMaterialId, nextMaterialId);
    if (keepsCurrent) std::swap(scene.currentMaterial, currentMaterial);
    for (CMaterial& m : scene.materials) {
      m.textureObject = 0;
      m.textureImage.reset();
      m.textureFailed = false;
      m.LoadTexture();
    }
    for (CMaterial& m : materials) {
      m.textureObject = 0;
      m.textureImage.reset();
    }
  }
  // A list the edit did not change stays as it is: exchanging it would reload every texture (and
  // tell once more about each one that is missing) for nothing.
  void Undo(CMeshwright& scene) override {
    if (changed) Swap(scene);
  }
  void Redo(CMeshwright& scene) override {
    if (changed) Swap(scene);
  }
  std::size_t Bytes() const override { return sizeof(*this) + materials.capacity() * sizeof(CMaterial); }
};

// The texture coordinates of the faces the UV window shows, face by face in list order: the only
// thing its edits change. Which faces those are does not change within such an edit.
struct UVPart : Part {
  std::vector<std::pair<std::size_t, std::size_t>> faces;  // model, face
  std::vector<UVList> uvs;
  bool changed = true;

  explicit UVPart(const CMeshwright& scene) {
    for (std::size_t mi = 0; mi < scene.models.size(); ++mi) {
      const CModel& m = scene.models[mi];
      if (!m.IsEditable()) continue;
      for (std::size_t fi = 0; fi < m.faces.size(); ++fi)
        if (ShowsUVs(m, m.faces[fi])) faces.emplace_back(mi, fi), uvs.push_back(m.faces[fi].uvs);
    }
  }
  void Finish(const CMeshwright& scene) override {
    // Keep only the faces whose coordinates changed (by their bits: -0 is not 0 to a saved file).
    std::size_t kept = 0;
    for (std::size_t i = 0; i < faces.size(); ++i) {
      const UVList& now = scene.models[faces[i].first].faces[faces[i].second].uvs;
      const bool same = now.size() == uvs[i].size() &&
                        std::memcmp(now.data(), uvs[i].data(), now.size() * sizeof(CUV)) == 0;
      if (same) continue;
      faces[kept] = faces[i];
      uvs[kept] = std::move(uvs[i]);
      ++kept;
    }
    faces.resize(kept);
    uvs.resize(kept);
    changed = kept > 0;
  }
  bool Empty() const override { return !changed; }
  void Swap(CMeshwright& scene) {
    for (std::size_t i = 0; i < faces.size(); ++i) {
      if (faces[i].first >= scene.models.size()) continue;
      CModel& m = scene.models[faces[i].first];
      if (faces[i].second < m.faces.size()) std::swap(m.faces[faces[i].second].uvs, uvs[i]);
    }
  }
  void Undo(CMeshwright& scene) override { Swap(scene); }
  void Redo(CMeshwright& scene) override { Swap(scene); }
  std::size_t Bytes() const override {
    return sizeof(*this) + faces.capacity() * sizeof(faces[0]) + uvs.capacity() * sizeof(UVList);
  }
};

}  // namespace

void SwapModelRecord(CModel& a, CModel& b) {
  // Every field but the geometry is swapped in one place, so a field added to the model is
  // carried by whole records and by the small steps alike.
  SwapModelFields(a, b);
  std::swap(a.vertices, b.vertices);
  std::swap(a.faces, b.faces);
}

// The same rules as CModel::ComputeNormals, face by face; the property test of the undo history
// compares the two over faces of every corner count.
bool FaceNormalsCurrent(const CModel& m) {
  const std::size_t vertexCount = m.vertices.size();
  std::vector<CVector> outline;
  for (const CFace& f : m.faces) {
    if (f.indices.size() <= 2) continue;
    if (f.indices.size() > 4) {
      outline.clear();
      for (std::int32_t i : f.indices)
        if (m.HasVertex(i)) outline.push_back(m.vertices[static_cast<std::size_t>(i)].position);
      if (outline.size() == f.indices.size() && !SameBits(PolygonNormal(outline), f.normal)) return false;
      continue;
    }
    const std::int32_t i0 = f.indices[0], i1 = f.indices[1], i2 = f.indices[2];
    if (i0 < 0 || i1 < 0 || i2 < 0 || static_cast<std::size_t>(i0) >= vertexCount ||
        static_cast<std::size_t>(i1) >= vertexCount || static_cast<std::size_t>(i2) >= vertexCount)
      continue;
    const CVector& p0 = m.vertices[static_cast<std::size_t>(i0)].position;
    const CVector n = Cross(p0 - m.vertices[static_cast<std::size_t>(i1)].position,
                            p0 - m.vertices[static_cast<std::size_t>(i2)].position);
    if (!SameBits(n, f.normal)) return false;
  }
  return true;
}

bool VertexNormalsCurrent(const CModel& m) {
  const std::size_t faceCount = m.faces.size();
  for (const CVertex& v : m.vertices) {
    CVector sum;
    for (std::int32_t ref : v.faceRefs) {
      if (ref < 0 || static_cast<std::size_t>(ref) >= faceCount) continue;
      sum += m.faces[static_cast<std::size_t>(ref)].normal;
    }
    if (!SameBits(sum, v.normal)) return false;
  }
  return true;
}

bool FaceRefsCurrent(const CModel& m) {
  const std::size_t vertexCount = m.vertices.size();
  std::vector<std::uint32_t> next(vertexCount, 0);
  for (std::size_t i = 0; i < m.faces.size(); ++i) {
    for (std::int32_t index : m.faces[i].indices) {
      if (index < 0 || static_cast<std::size_t>(index) >= vertexCount) continue;
      const auto v = static_cast<std::size_t>(index);
      const FaceRefList& refs = m.vertices[v].faceRefs;
      if (next[v] >= refs.size() || refs[next[v]] != static_cast<std::int32_t>(i)) return false;
      ++next[v];
    }
  }
  for (std::size_t v = 0; v < vertexCount; ++v)
    if (next[v] != m.vertices[v].faceRefs.size()) return false;
  return true;
}

SceneDelta::SceneDelta() = default;
SceneDelta::SceneDelta(SceneDelta&&) noexcept = default;
SceneDelta& SceneDelta::operator=(SceneDelta&&) noexcept = default;
SceneDelta::~SceneDelta() = default;

namespace {

// Whole records of the editable models with something selected, as the verbs on the selection
// change them.
std::unique_ptr<SceneDelta::Part> SelectedEditableRecords(const CMeshwright& scene, std::size_t count,
                                                          bool keepChangedOnly) {
  auto p = std::make_unique<RecordsPart>();
  p->keepChangedOnly = keepChangedOnly;
  for (std::size_t i = 0; i < count; ++i) {
    const CModel& m = scene.models[i];
    if (m.IsEditable() && std::any_of(m.vertices.begin(), m.vertices.end(), [](const CVertex& v) { return v.selected != 0; }))
      p->records.emplace_back(i, m);
  }
  return p;
}

}  // namespace

SceneDelta SceneDelta::Capture(EditKind kind, const CMeshwright& scene) {
  SceneDelta d;
  d.kind_ = kind;
  auto& parts = d.parts_;
  const bool hasModel = scene.HasCurrentModel();
  const auto current = static_cast<std::size_t>(scene.currentModel);
  const std::size_t count = scene.models.size();
  switch (kind) {
    case EditKind::kMove:
    case EditKind::kRotate:
    case EditKind::kSize:
    case EditKind::kStretch:
    case EditKind::kNumericMove:
    case EditKind::kNumericRotate:
    case EditKind::kNumericSize:
    case EditKind::kNumericStretch: parts.push_back(std::make_unique<PositionPart>(scene)); break;
    case EditKind::kSelect:
    case EditKind::kDeselect:
    case EditKind::kSelectAll:
    case EditKind::kDeselectAll:
    case EditKind::kInvertSelection:
    case EditKind::kSelectConnected:
    case EditKind::kModelSelect:
    case EditKind::kModelDeselect:
    case EditKind::kSelectMode:
    case EditKind::kPick:
    case EditKind::kGrowShrink:
    case EditKind::kSelectLoop:
    case EditKind::kSelectMaterial:
    case EditKind::kHide:
    case EditKind::kReveal: parts.push_back(std::make_unique<SelectionPart>(scene)); break;
    case EditKind::kCamera: parts.push_back(std::make_unique<CameraPart>(scene)); break;
    case EditKind::kFaceBuild:
    case EditKind::kCreateBox:
    case EditKind::kCommitFace:
      if (hasModel) parts.push_back(std::make_unique<FacePart>(scene, current));
      // Building in a document without materials gives it one (scene/default_material.h), made
      // current: both belong to this step.
      if (hasModel && scene.materials.empty()) {
        auto materials = std::make_unique<MaterialsPart>(scene);
        materials->onlyAdds = materials->keepsCurrent = true;
        parts.push_back(std::move(materials));
      }
      break;
    case EditKind::kOtherDrag: break;
    case EditKind::kDelete:
    case EditKind::kCut: {
      auto p = std::make_unique<RecordsPart>();
      for (std::size_t i = 0; i < count; ++i)
        if (DeleteMayChange(scene.models[i])) p->records.emplace_back(i, scene.models[i]);
      parts.push_back(std::move(p));
      break;
    }
    case EditKind::kWeld:
    case EditKind::kFlip: {
      // The editable models the tool can change, whole; those it left alone are dropped at the end.
      auto p = std::make_unique<RecordsPart>();
      p->keepChangedOnly = true;
      for (std::size_t i = 0; i < count; ++i)
        if (ToolMayChange(kind, scene.models[i])) p->records.emplace_back(i, scene.models[i]);
      parts.push_back(std::move(p));
      break;
    }
    case EditKind::kAssignMaterial:
    case EditKind::kMaterialEdit: {
      if (kind == EditKind::kMaterialEdit) parts.push_back(std::make_unique<MaterialsPart>(scene));
      if (kind == EditKind::kAssignMaterial && !scene.HasCurrentMaterial()) break;
      const std::int32_t id = scene.CurrentMaterialId();
      auto p = std::make_unique<RecordsPart>();
      for (std::size_t i = 0; i < count; ++i) {
        const CModel& m = scene.models[i];
        bool may = HasFaceWithoutUVs(m, id);
        if (!scene.HasCurrentMaterial())  // the edited material is not known: any face without UVs
          may = std::any_of(m.faces.begin(), m.faces.end(), [](const CFace& f) { return f.uvs.empty(); });
        if (!may && kind == EditKind::kAssignMaterial && m.IsEditable())
          may = std::any_of(m.faces.begin(), m.faces.end(), [&m](const CFace& f) { return CornersAllSelected(m, f); });
        if (may) p->records.emplace_back(i, m);
      }
      parts.push_back(std::move(p));
      break;
    }
    case EditKind::kModelState:
    case EditKind::kModelRename:
      if (hasModel) parts.push_back(std::make_unique<ModelFieldsPart>(scene, current));
      break;
    case EditKind::kModelAdd: parts.push_back(std::make_unique<ListPart>(scene, count, 0)); break;
    case EditKind::kModelDelete:
      if (hasModel) parts.push_back(std::make_unique<ListPart>(scene, current, 1));
      break;
    case EditKind::kModelUp:
      if (scene.currentModel >= 1 && current < count)
        parts.push_back(std::make_unique<ListPart>(scene, current - 1, 2));
      break;
    case EditKind::kModelDown:
      if (scene.currentModel >= 0 && current + 1 < count)
        parts.push_back(std::make_unique<ListPart>(scene, current, 2));
      break;
    case EditKind::kModelMergeUp:
      if (scene.currentModel >= 1 && current < count) parts.push_back(std::make_unique<MergePart>(scene, current - 1, current));
      break;
    case EditKind::kModelMergeDown:
      if (scene.currentModel >= 0 && current + 1 < count)
        parts.push_back(std::make_unique<MergePart>(scene, current + 1, current));
      break;
    case EditKind::kMaterialAdd: parts.push_back(std::make_unique<MaterialsPart>(scene)); break;
    case EditKind::kMaterialDelete:
      if (scene.HasCurrentMaterial()) parts.push_back(std::make_unique<MaterialsPart>(scene));
      break;
    case EditKind::kDuplicate: {
      // Every selection may go; the models with a fully selected face grow.
      parts.push_back(std::make_unique<SelectionPart>(scene));
      auto p = std::make_unique<RecordsPart>();
      for (std::size_t i = 0; i < count; ++i) {
        const CModel& m = scene.models[i];
        if (m.IsEditable() && std::any_of(m.faces.begin(), m.faces.end(),
                                          [&m](const CFace& f) { return CornersAllSelected(m, f); }))
          p->records.emplace_back(i, m);
      }
      parts.push_back(std::move(p));
      break;
    }
    case EditKind::kPaste: {
      parts.push_back(std::make_unique<SelectionPart>(scene));
      auto p = std::make_unique<RecordsPart>();
      if (hasModel && scene.models[current].IsEditable()) p->records.emplace_back(current, scene.models[current]);
      parts.push_back(std::move(p));
      auto materials = std::make_unique<MaterialsPart>(scene);
      materials->onlyAdds = true;
      parts.push_back(std::move(materials));
      break;
    }
    case EditKind::kAddPrimitive: {
      // Into the current model or onto the end of the list, every other selection cleared, and
      // perhaps a material made for it.
      parts.push_back(std::make_unique<SelectionPart>(scene));
      auto p = std::make_unique<RecordsPart>();
      if (hasModel && scene.models[current].IsEditable()) p->records.emplace_back(current, scene.models[current]);
      p->keepChangedOnly = true;
      parts.push_back(std::move(p));
      parts.push_back(std::make_unique<ListPart>(scene, count, 0));
      auto materials = std::make_unique<MaterialsPart>(scene);
      materials->onlyAdds = true;
      materials->keepsCurrent = true;  // the material a document without any is given
      parts.push_back(std::move(materials));
      break;
    }
    case EditKind::kSubdivision:
    case EditKind::kApplySubdivision: {
      auto p = std::make_unique<RecordsPart>();
      if (hasModel) p->records.emplace_back(current, scene.models[current]);
      parts.push_back(std::move(p));
      break;
    }
    case EditKind::kCrease:
    case EditKind::kSmooth:
      // Creases and positions both live in the model record.
      parts.push_back(SelectedEditableRecords(scene, count, false));
      break;
    case EditKind::kExtrude:
    case EditKind::kInset:
    case EditKind::kBevel:
    case EditKind::kBridge:
    case EditKind::kFill:
    case EditKind::kSpin:
    case EditKind::kSolidify:
      // Those the verb left alone are dropped when it ends.
      parts.push_back(SelectedEditableRecords(scene, count, true));
      break;
    case EditKind::kLoopCut:
    case EditKind::kConnect:
    case EditKind::kSubdivide:
    case EditKind::kKnife:
    case EditKind::kDissolve:
    case EditKind::kDeleteElements:
    case EditKind::kCollapse:
    case EditKind::kTriangulate:
    case EditKind::kTrisToQuads:
    case EditKind::kSeparate:
    case EditKind::kMirrorCopy: {
      // Each verb rebuilds the models it changes and leaves the others as they were.
      auto p = std::make_unique<RecordsPart>();
      p->keepChangedOnly = true;
      for (std::size_t i = 0; i < count; ++i)
        if (scene.models[i].IsEditable()) p->records.emplace_back(i, scene.models[i]);
      parts.push_back(std::move(p));
      if (kind == EditKind::kSeparate) parts.push_back(std::make_unique<ListPart>(scene, count, 0));
      break;
    }
    case EditKind::kUVProject:
    case EditKind::kUVReset:
    case EditKind::kUVUnwrap:
    case EditKind::kUVPack:
    case EditKind::kSeam:
      // UVs and seams live in the model record; models the command left alone are dropped.
      parts.push_back(SelectedEditableRecords(scene, count, true));
      break;
    case EditKind::kSymmetry:
      // The setting and its counterparts, kept with the model's name and state.
      if (hasModel) parts.push_back(std::make_unique<ModelFieldsPart>(scene, current));
      break;
    case EditKind::kScript: {
      // Whole model records: their selection and hidden flags come back with them.
      parts.push_back(std::make_unique<ListPart>(scene, 0, count));
      auto materials = std::make_unique<MaterialsPart>(scene);
      materials->keepsCurrent = true;
      parts.push_back(std::move(materials));
      parts.push_back(std::make_unique<CameraPart>(scene));
      break;
    }
    case EditKind::kImport: {
      parts.push_back(std::make_unique<ListPart>(scene, count, 0));
      auto materials = std::make_unique<MaterialsPart>(scene);
      materials->onlyAdds = true;
      parts.push_back(std::move(materials));
      break;
    }
    case EditKind::kUVEdit: parts.push_back(std::make_unique<UVPart>(scene)); break;
  }
  if (RecomputesNormals(kind)) {
    d.normals_ = true;
    for (std::size_t i = 0; i < count; ++i) {
      const CModel& m = scene.models[i];
      const bool facesCurrent = FaceNormalsCurrent(m);
      if (facesCurrent && (!scene.smoothing || VertexNormalsCurrent(m))) continue;
      StaleNormals s{i, {}, {}};
      s.faceNormals.reserve(m.faces.size());
      for (const CFace& f : m.faces) s.faceNormals.push_back(f.normal);
      s.vertexNormals.reserve(m.vertices.size());
      for (const CVertex& v : m.vertices) s.vertexNormals.push_back(v.normal);
      d.staleNormals_.push_back(std::move(s));
    }
  }
  return d;
}

void SceneDelta::KeepWholeRecords() {
  for (auto& p : parts_) p->KeepWhole();
}

void SceneDelta::Finish(const CMeshwright& scene) {
  for (auto& p : parts_) p->Finish(scene);
}

bool SceneDelta::Empty() const {
  if (!staleNormals_.empty()) return false;
  return std::all_of(parts_.begin(), parts_.end(), [](const auto& p) { return p->Empty(); });
}

void SceneDelta::Undo(CMeshwright& scene) {
  for (auto it = parts_.rbegin(); it != parts_.rend(); ++it) (*it)->Undo(scene);
  if (!normals_) return;
  scene.ComputeNormals();
  for (const StaleNormals& s : staleNormals_) {
    if (s.model >= scene.models.size()) continue;
    CModel& m = scene.models[s.model];
    for (std::size_t i = 0; i < m.faces.size() && i < s.faceNormals.size(); ++i) m.faces[i].normal = s.faceNormals[i];
    for (std::size_t i = 0; i < m.vertices.size() && i < s.vertexNormals.size(); ++i)
      m.vertices[i].normal = s.vertexNormals[i];
  }
}

void SceneDelta::Redo(CMeshwright& scene) {
  for (auto& p : parts_) p->Redo(scene);
  if (normals_) scene.ComputeNormals();
}

std::size_t SceneDelta::Bytes() const {
  std::size_t n = sizeof(*this);
  for (const auto& p : parts_) n += p->Bytes();
  for (const StaleNormals& s : staleNormals_)
    n += (s.faceNormals.capacity() + s.vertexNormals.capacity()) * sizeof(CVector);
  return n;
}

}  // namespace mw
