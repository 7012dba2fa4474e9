// Building faces, deleting the selection, materials of faces, and the model and material lists.
#include <algorithm>
#include <cmath>
#include <utility>

#include "scene/meshwright.h"
#include "scene/snap.h"
#include "scene/uv_ops.h"

namespace mw {
namespace {

CUV DefaultUV(std::size_t i, std::size_t n) { return DefaultCornerUV(i, n); }
constexpr double kSnap = 5.0;

bool CornersAllSelected(const CModel& m, const CFace& f) {
  for (std::int32_t i : f.indices)
    if (!m.HasVertex(i) || !m.vertices[static_cast<std::size_t>(i)].selected) return false;
  return true;
}

}  // namespace

// ---- model level ----

void CModel::AddPendingPoint(float px, float py, float pz, float zoom, std::int32_t materialId) {
  AddPendingCorner(CVector(UnitsFromPixels(px, zoom), UnitsFromPixels(py, zoom), UnitsFromPixels(pz, zoom)),
                   materialId);
}

void CModel::AddPendingCorner(const CVector& position, std::int32_t materialId) {
  if (!IsEditable()) return;
  const float x = position.x, y = position.y, z = position.z;
  std::int64_t found = -1;
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    const CVector& v = vertices[i].position;
    if (x - kSnap < v.x && v.x < x + kSnap && y - kSnap < v.y && v.y < y + kSnap && z - kSnap < v.z &&
        v.z < z + kSnap) {
      found = static_cast<std::int64_t>(i);
      break;
    }
  }
  if (found >= 0) {
    pendingFace.AddIndex(static_cast<std::int32_t>(found));
  } else {
    pendingFace.AddIndex(static_cast<std::int32_t>(vertices.size() + pendingVertices.size()));
    pendingVertices.emplace_back(x, y, z);
  }
  if (pendingFace.CornerCount() == 4) CommitPendingFace(materialId);
}

void CModel::CommitPendingFace(std::int32_t materialId) {
  if (!IsEditable() || pendingFace.CornerCount() == 0) return;
  // A corner can point past the vertices if the face was started on another model's vertices
  // (moving a model up or down leaves the face at its list position). Such a face would index
  // outside the list: drop it.
  const std::size_t limit = vertices.size() + pendingVertices.size();
  const bool valid = std::all_of(pendingFace.indices.begin(), pendingFace.indices.end(),
                                 [limit](std::int32_t i) { return i >= 0 && static_cast<std::size_t>(i) < limit; });
  if (valid) {
    pendingFace.material = materialId;
    CFace face;
    face.material = materialId;
    face.indices = pendingFace.indices;
    face.normal = pendingFace.normal;
    faces.push_back(std::move(face));
    vertices.insert(vertices.end(), pendingVertices.begin(), pendingVertices.end());
  }
  pendingFace = CFace();
  pendingVertices.clear();
  RebuildFaceRefs();
}

void CModel::DeleteSelectedFaces() {
  if (!IsEditable()) return;
  faces.erase(std::remove_if(faces.begin(), faces.end(), [](const CFace& f) { return f.allSelected != 0; }),
              faces.end());

  for (CVertex& v : vertices) v.inUse = 0;
  for (const CFace& f : faces)
    for (std::int32_t i : f.indices)
      if (HasVertex(i)) vertices[static_cast<std::size_t>(i)].inUse = 1;

  // Old index -> new index, then compact; the same renumbering as taking the unused vertices out
  // one at a time from the back, in one pass each.
  const std::size_t n = vertices.size();
  std::vector<std::int32_t> newIndex(n);
  std::int32_t kept = 0;
  for (std::size_t i = 0; i < n; ++i) newIndex[i] = vertices[i].inUse ? kept++ : -1;
  const auto removed = static_cast<std::int32_t>(n) - kept;
  if (removed == 0) return;
  std::size_t out = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!vertices[i].inUse) continue;
    if (out != i) vertices[out] = std::move(vertices[i]);
    ++out;
  }
  vertices.resize(out);
  for (CFace& f : faces) {
    for (std::int32_t& i : f.indices) {
      if (i >= 0 && static_cast<std::size_t>(i) < n) i = newIndex[static_cast<std::size_t>(i)];
      else if (i >= 0) i -= removed;  // past the end: every removed vertex lay below it
    }
  }
  // The face under construction follows the renumbering: a corner on a removed vertex goes, and
  // corners on pending vertices keep naming them, now that fewer committed vertices precede them.
  IndexList corners;
  for (std::int32_t i : pendingFace.indices) {
    if (i >= 0 && static_cast<std::size_t>(i) < n) {
      if (newIndex[static_cast<std::size_t>(i)] >= 0) corners.push_back(newIndex[static_cast<std::size_t>(i)]);
    } else {
      corners.push_back(i >= 0 ? i - removed : i);
    }
  }
  pendingFace.indices = std::move(corners);
  // Sharp edges and vertices follow their vertices; those on removed vertices go. Renumbering
  // keeps the order of the vertices, so a sorted list stays sorted for vertices, and edge keys are
  // sorted again.
  std::vector<EdgeCrease> keptCreases;
  for (const EdgeCrease& c : creases) {
    const auto a = static_cast<std::size_t>(c.edge >> 32), b = static_cast<std::size_t>(c.edge & 0xFFFFFFFFu);
    if (a < n && b < n && newIndex[a] >= 0 && newIndex[b] >= 0)
      keptCreases.push_back({EdgeKey(newIndex[a], newIndex[b]), c.sharpness});
  }
  std::sort(keptCreases.begin(), keptCreases.end(),
            [](const EdgeCrease& x, const EdgeCrease& y) { return x.edge < y.edge; });
  creases = std::move(keptCreases);
  std::vector<VertexCorner> keptVertices;
  for (const VertexCorner& c : sharpVertices)
    if (c.vertex >= 0 && static_cast<std::size_t>(c.vertex) < n && newIndex[static_cast<std::size_t>(c.vertex)] >= 0)
      keptVertices.push_back({newIndex[static_cast<std::size_t>(c.vertex)], c.sharpness});
  sharpVertices = std::move(keptVertices);
  RemapSeams(*this, newIndex);
}

void CModel::AssignMaterialToSelected(std::int32_t materialId) {
  if (!IsEditable()) return;
  for (CFace& f : faces)
    if (CornersAllSelected(*this, f)) f.material = materialId;
}

void AppendModel(CModel& target, const CModel& source) {
  const auto base = static_cast<std::int32_t>(target.vertices.size());
  target.faces.reserve(target.faces.size() + source.faces.size());
  for (const CFace& f : source.faces) {
    target.faces.push_back(f);
    target.faces.back().OffsetIndices(base);
  }
  target.vertices.insert(target.vertices.end(), source.vertices.begin(), source.vertices.end());
  target.RebuildFaceRefs();
  // The target's face under construction keeps naming its pending vertices, which now come after
  // the source's.
  const auto added = static_cast<std::int32_t>(source.vertices.size());
  for (std::int32_t& i : target.pendingFace.indices)
    if (i >= base) i += added;
}

// ---- scene level ----

std::int32_t CMeshwright::CurrentMaterialId() const {
  return HasCurrentMaterial() ? materials[static_cast<std::size_t>(currentMaterial)].id : kNoMaterial;
}

void CMeshwright::AddFacePoint(Plane plane, int px, int py, int cx, int cy, double gridStep) {
  if (!HasCurrentModel() || !IsPlane(plane)) return;
  // The cursor supplies the coordinate the pane does not show.
  const ModelPixels p = FromPane(plane, px, py, cx, cy, HiddenOffset(plane, cursor));
  CModel& m = models[static_cast<std::size_t>(currentModel)];
  if (!(gridStep > 0.0)) {
    m.AddPendingPoint(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z), zoom,
                      CurrentMaterialId());
    return;
  }
  const CVector corner(UnitsFromPixels(static_cast<float>(p.x), zoom), UnitsFromPixels(static_cast<float>(p.y), zoom),
                       UnitsFromPixels(static_cast<float>(p.z), zoom));
  m.AddPendingCorner(SnapToGrid(corner, gridStep), CurrentMaterialId());
}

void CMeshwright::DropFace() {
  if (!HasCurrentModel()) return;
  CModel& m = models[static_cast<std::size_t>(currentModel)];
  m.pendingFace = CFace();
  m.pendingVertices.clear();
}

bool CMeshwright::BoxFromDrag(Plane plane, int x0, int y0, int x1, int y1, int cx, int cy, double gridStep,
                              CVector& min, CVector& max) const {
  if (!IsPlane(plane)) return false;
  const double hidden = HiddenOffset(plane, cursor);
  const ModelPixels a = FromPane(plane, x0, y0, cx, cy, hidden), b = FromPane(plane, x1, y1, cx, cy, hidden);
  CVector p(UnitsFromPixels(a.x, zoom), UnitsFromPixels(a.y, zoom), UnitsFromPixels(a.z, zoom));
  CVector q(UnitsFromPixels(b.x, zoom), UnitsFromPixels(b.y, zoom), UnitsFromPixels(b.z, zoom));
  if (gridStep > 0.0) {
    p = SnapToGrid(p, gridStep);
    q = SnapToGrid(q, gridStep);
  }
  const PlaneAxes axes = AxesOf(plane);
  const double du = std::fabs(static_cast<double>(Component(p, axes.u.axis)) - Component(q, axes.u.axis));
  const double dv = std::fabs(static_cast<double>(Component(p, axes.v.axis)) - Component(q, axes.v.axis));
  if (!(du > 0.0 && dv > 0.0) || !std::isfinite(du) || !std::isfinite(dv)) return false;
  // The depth: the shorter side, centred on the cursor (both corners carry its depth).
  const double depth = Component(p, axes.hidden), half = std::min(du, dv) / 2.0;
  Component(p, axes.hidden) = static_cast<float>(depth - half);
  Component(q, axes.hidden) = static_cast<float>(depth + half);
  min = CVector(std::min(p.x, q.x), std::min(p.y, q.y), std::min(p.z, q.z));
  max = CVector(std::max(p.x, q.x), std::max(p.y, q.y), std::max(p.z, q.z));
  return true;
}

bool CMeshwright::AddBox(const CVector& min, const CVector& max) {
  if (!HasCurrentModel()) return false;
  CModel& m = models[static_cast<std::size_t>(currentModel)];
  if (!m.IsEditable()) return false;
  const float x[2] = {min.x, max.x}, y[2] = {min.y, max.y}, z[2] = {min.z, max.z};
  // Corners: bit 0 picks x, bit 1 y, bit 2 z.
  const auto base = static_cast<std::int32_t>(m.vertices.size());
  for (int i = 0; i < 8; ++i) m.vertices.emplace_back(x[i & 1], y[(i >> 1) & 1], z[(i >> 2) & 1]);
  // Each side's corners run clockwise seen from outside, so the stored face normal (from the
  // first three corners) points inwards and the perspective pane lights the outside.
  static constexpr std::int32_t kSides[6][4] = {
      {0, 1, 3, 2},  // -z
      {4, 6, 7, 5},  // +z
      {0, 4, 5, 1},  // -y
      {2, 3, 7, 6},  // +y
      {0, 2, 6, 4},  // -x
      {1, 5, 7, 3},  // +x
  };
  const std::int32_t material = CurrentMaterialId();
  // Any face being built keeps naming its pending vertices, which now come after the box's.
  for (std::int32_t& i : m.pendingFace.indices)
    if (i >= base) i += 8;
  for (const auto& side : kSides) {
    CFace f;
    f.material = material;
    for (int k = 0; k < 4; ++k) {
      f.indices.push_back(base + side[k]);
      f.uvs.push_back(DefaultUV(static_cast<std::size_t>(k), 4));
    }
    m.faces.push_back(std::move(f));
  }
  m.RebuildFaceRefs();
  return true;
}

void CMeshwright::CommitFace() {
  if (!HasCurrentModel()) return;
  models[static_cast<std::size_t>(currentModel)].CommitPendingFace(CurrentMaterialId());
}

void CMeshwright::DeleteSelection() {
  for (CModel& m : models) {
    m.DeleteSelectedFaces();
    m.RebuildFaceRefs();
  }
}

void CMeshwright::AssignCurrentMaterial() {
  if (!HasCurrentMaterial()) return;
  const std::int32_t id = materials[static_cast<std::size_t>(currentMaterial)].id;
  for (CModel& m : models) m.AssignMaterialToSelected(id);
  ApplyDefaultUVs(id);
}

void CMeshwright::ApplyDefaultUVs(std::int32_t materialId) {
  for (CModel& m : models) {
    for (CFace& f : m.faces) {
      if (f.material != materialId || !f.uvs.empty()) continue;
      const std::size_t n = f.indices.size();
      f.uvs.reserve(n);
      for (std::size_t i = 0; i < n; ++i) f.uvs.push_back(DefaultUV(i, n));
    }
  }
}

void CMeshwright::AddModel() { models.emplace_back(); }

void CMeshwright::DeleteCurrentModel() {
  if (!HasCurrentModel()) return;
  models.erase(models.begin() + currentModel);
}

void CMeshwright::MoveCurrentModelUp() {
  if (currentModel < 1 || static_cast<std::size_t>(currentModel) >= models.size()) return;
  // By assignment, so each list position keeps its face under construction.
  const auto i = static_cast<std::size_t>(currentModel);
  CModel temp = models[i];
  models[i] = models[i - 1];
  models[i - 1] = temp;
}

void CMeshwright::MoveCurrentModelDown() {
  if (currentModel < 0 || static_cast<std::size_t>(currentModel) + 1 >= models.size()) return;
  const auto i = static_cast<std::size_t>(currentModel);
  CModel temp = models[i];
  models[i] = models[i + 1];
  models[i + 1] = temp;
}

void CMeshwright::MergeCurrentModelUp() {
  if (currentModel < 1 || static_cast<std::size_t>(currentModel) >= models.size()) return;
  const auto i = static_cast<std::size_t>(currentModel);
  AppendModel(models[i - 1], models[i]);
  models.erase(models.begin() + static_cast<std::ptrdiff_t>(i));
}

void CMeshwright::MergeCurrentModelDown() {
  if (currentModel < 0 || static_cast<std::size_t>(currentModel) + 1 >= models.size()) return;
  const auto i = static_cast<std::size_t>(currentModel);
  AppendModel(models[i + 1], models[i]);
  models.erase(models.begin() + static_cast<std::ptrdiff_t>(i));
}

void CMeshwright::RenameCurrentModel(const std::string& name) {
  if (!HasCurrentModel()) return;
  models[static_cast<std::size_t>(currentModel)].name = name;
}

void CMeshwright::AddMaterial() {
  materials.emplace_back(nextMaterialId);
  // Wraps instead of overflowing when a file set the counter to the very top.
  nextMaterialId = static_cast<std::int32_t>(static_cast<std::uint32_t>(nextMaterialId) + 1u);
}

void CMeshwright::DeleteCurrentMaterial() {
  if (!HasCurrentMaterial()) return;
  const auto i = static_cast<std::size_t>(currentMaterial);
  // The material's texture dies with it; release it while we still know its GL object.
  materials[i].ReleaseTexture();
  materials.erase(materials.begin() + static_cast<std::ptrdiff_t>(i));
}

}  // namespace mw
