// The scene-level forms of the verbs of scene/grow_ops.h: what each editable model has selected,
// handed to the model-level verb, and the model tidied after it.
#include <algorithm>
#include <cmath>
#include <vector>

#include "scene/element_selection.h"
#include "scene/grow_ops.h"
#include "scene/grow_ops_support.h"

namespace mw {

namespace {

struct Picked {
  std::vector<std::int32_t> faces, edges, vertices;
};

Picked PickedOf(const CModel& m, const EdgeIndex& ix, SelectMode mode) {
  Picked p;
  for (std::size_t f = 0; f < m.faces.size(); ++f) {
    const CFace& face = m.faces[f];
    if (face.hidden || face.indices.size() < 3) continue;
    const bool on = mode == kSelectFaces ? face.selected != 0
                                         : std::all_of(face.indices.begin(), face.indices.end(), [&m](std::int32_t i) {
                                             return m.HasVertex(i) && m.vertices[static_cast<std::size_t>(i)].selected;
                                           });
    if (on && mode != kSelectEdges) p.faces.push_back(static_cast<std::int32_t>(f));
  }
  for (std::size_t e = 0; e < ix.EdgeCount(); ++e) {
    const auto edge = static_cast<std::int32_t>(e);
    if (!EdgeVisible(m, ix, edge)) continue;
    const std::int32_t a = ix.Lower(edge), b = ix.Upper(edge);
    const bool on = mode == kSelectEdges ? EdgeSelected(m, a, b)
                                         : m.vertices[static_cast<std::size_t>(a)].selected &&
                                               m.vertices[static_cast<std::size_t>(b)].selected;
    if (on) p.edges.push_back(edge);
  }
  for (std::size_t v = 0; v < m.vertices.size(); ++v)
    if (m.vertices[v].selected && !m.vertices[v].hidden) p.vertices.push_back(static_cast<std::int32_t>(v));
  return p;
}

// Runs `verb` on every editable model with a selected vertex, then leaves the model as the
// scene's own edits do; returns how many models it changed.
template <typename Verb>
std::size_t ForEachModel(CMeshwright& scene, Verb&& verb) {
  std::size_t changed = 0;
  const SelectMode mode = SelectModeOf(scene);
  for (CModel& m : scene.models) {
    if (!m.IsEditable() ||
        std::none_of(m.vertices.begin(), m.vertices.end(), [](const CVertex& v) { return v.selected; }))
      continue;
    const std::shared_ptr<const EdgeIndex> ix = scene.edgeIndexes.Get(m);
    if (!verb(m, *ix, PickedOf(m, *ix, mode))) continue;
    ++changed;
    grow::Finish(m, scene.smoothing);
    if (mode != kSelectVertices) SelectElementsOfVertices(m, mode, *scene.edgeIndexes.Get(m));
  }
  return changed;
}

}  // namespace

bool HasSelectedVertices(const CMeshwright& scene) {
  return std::any_of(scene.models.begin(), scene.models.end(), [](const CModel& m) {
    return m.IsEditable() &&
           std::any_of(m.vertices.begin(), m.vertices.end(), [](const CVertex& v) { return v.selected; });
  });
}

std::size_t ExtrudeSelected(CMeshwright& scene, const ExtrudeParams& p) {
  return ForEachModel(scene, [&p](CModel& m, const EdgeIndex& ix, const Picked& s) {
    if (!s.faces.empty())
      return ExtrudeFaces(m, ix, s.faces, p.individual ? ExtrudeKind::kIndividual : ExtrudeKind::kRegion, p.distance);
    if (!s.edges.empty()) return ExtrudeEdges(m, ix, s.edges, p.offset);
    return ExtrudeVertices(m, s.vertices, p.offset);
  });
}

std::size_t InsetSelected(CMeshwright& scene, const InsetParams& p) {
  return ForEachModel(scene, [&p](CModel& m, const EdgeIndex& ix, const Picked& s) {
    return InsetFaces(m, ix, s.faces, p.individual, p.thickness, p.depth);
  });
}

std::size_t SolidifySelected(CMeshwright& scene, double thickness) {
  return ForEachModel(scene, [thickness](CModel& m, const EdgeIndex& ix, const Picked& s) {
    return SolidifyFaces(m, ix, s.faces, thickness);
  });
}

std::size_t BevelSelected(CMeshwright& scene, const BevelParams& p) {
  return ForEachModel(scene, [&p](CModel& m, const EdgeIndex& ix, const Picked& s) {
    if (!s.edges.empty()) return BevelEdges(m, ix, s.edges, p);
    return BevelVertices(m, ix, s.vertices, p);
  });
}

std::size_t BridgeSelected(CMeshwright& scene) {
  return ForEachModel(scene,
                      [](CModel& m, const EdgeIndex& ix, const Picked& s) { return BridgeEdgeLoops(m, ix, s.edges); });
}

std::size_t FillSelected(CMeshwright& scene, bool quads) {
  const std::int32_t material = scene.HasCurrentMaterial() ? scene.CurrentMaterialId() : 0;
  return ForEachModel(scene, [quads, material](CModel& m, const EdgeIndex& ix, const Picked& s) {
    if (FillBorders(m, ix, s.edges, quads)) return true;
    return FaceFromVertices(m, ix, s.vertices, material);
  });
}

std::size_t SpinSelected(CMeshwright& scene, const SpinParams& p) {
  return ForEachModel(scene, [&p](CModel& m, const EdgeIndex& ix, const Picked& s) {
    if (!s.faces.empty()) return SpinFaces(m, ix, s.faces, p.plane, p.centre, p.degrees, p.steps);
    return SpinEdges(m, ix, s.edges, p.plane, p.centre, p.degrees, p.steps);
  });
}

std::optional<ExtrudeAxis> SelectedExtrudeAxis(const CMeshwright& scene) {
  std::optional<ExtrudeAxis> axis;
  grow::D3 sum;
  const SelectMode mode = SelectModeOf(scene);
  for (const CModel& m : scene.models) {
    if (!m.IsEditable() || std::none_of(m.vertices.begin(), m.vertices.end(), [](const CVertex& v) { return v.selected; }))
      continue;
    if (!axis) axis = ExtrudeAxis{};
    const Picked p = PickedOf(m, *scene.edgeIndexes.Get(m), mode);
    for (std::int32_t f : p.faces) sum = sum + grow::Unit(grow::D3(grow::LitNormal(m, m.faces[static_cast<std::size_t>(f)])));
    if (!p.faces.empty()) axis->faces = true;
  }
  if (axis && axis->faces) axis->normal = grow::ToVec(grow::Unit(sum));
  return axis;
}

double PointerDistanceAlong(Plane plane, const CVector& normal, int dx, int dy, float zoom) {
  // Pixels per model unit along the normal, as the pane draws it (before drawing rounds to pixels).
  const double pixelsPerUnit = static_cast<double>(zoom) / 100.0;
  const ViewPoint n = ToView(plane, normal);
  const double ux = n.u * pixelsPerUnit, uy = n.v * pixelsPerUnit, along2 = ux * ux + uy * uy;
  const double normal2 = static_cast<double>(normal.x) * normal.x + static_cast<double>(normal.y) * normal.y +
                         static_cast<double>(normal.z) * normal.z;
  // Below a tenth of the normal's full length on screen the direction is too short to follow.
  if (!(along2 > 0.01 * normal2 * pixelsPerUnit * pixelsPerUnit)) return UnitsFromPixels(-dy, zoom);
  return (dx * ux + dy * uy) / along2;
}

}  // namespace mw
