#include "scene/element_selection.h"

#include <algorithm>
#include <vector>

namespace mw {
namespace {

bool InRange(const CModel& m, std::int32_t i) { return m.HasVertex(i); }

// Calls fn(a, b) for every side of f that makes an edge (as EdgeIndex counts them).
template <typename Fn>
void ForEachSide(const CModel& m, const CFace& f, Fn&& fn) {
  const std::size_t n = f.indices.size();
  if (n < 2) return;
  const std::size_t sides = n == 2 ? 1 : n;
  for (std::size_t k = 0; k < sides; ++k) {
    const std::int32_t a = f.indices[k], b = f.indices[(k + 1) % n];
    if (InRange(m, a) && InRange(m, b) && a != b) fn(a, b);
  }
}

void SortKeys(std::vector<std::uint64_t>& keys) {
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
}

// The faces of m in sight that `touched` says are reached, as flags.
template <typename Pred>
std::vector<std::uint8_t> FacesWhere(const CModel& m, Pred&& touched) {
  std::vector<std::uint8_t> out(m.faces.size(), 0);
  for (std::size_t f = 0; f < m.faces.size(); ++f)
    if (!m.faces[f].hidden && touched(m.faces[f])) out[f] = 1;
  return out;
}

bool AnyCornerSelected(const CModel& m, const CFace& f) {
  for (std::int32_t i : f.indices)
    if (InRange(m, i) && m.vertices[static_cast<std::size_t>(i)].selected) return true;
  return false;
}

// Makes the selection of m in `mode` exactly the faces flagged in `faces` (their corners, their
// edges, or themselves), leaving the rest unselected.
void SelectFacesAs(CModel& m, SelectMode mode, const std::vector<std::uint8_t>& faces) {
  for (CVertex& v : m.vertices) v.selected = 0;
  m.selectedEdges.clear();
  for (std::size_t f = 0; f < m.faces.size(); ++f) {
    CFace& face = m.faces[f];
    face.selected = mode == kSelectFaces && faces[f];
    if (!faces[f]) continue;
    if (mode == kSelectEdges) ForEachSide(m, face, [&m](std::int32_t a, std::int32_t b) { m.selectedEdges.push_back(EdgeKey(a, b)); });
    for (std::int32_t i : face.indices)
      if (InRange(m, i)) m.vertices[static_cast<std::size_t>(i)].selected = 1;
  }
  SortKeys(m.selectedEdges);
  SelectVerticesOfElements(m, mode);
}

}  // namespace

bool EdgeVisible(const CModel& m, const EdgeIndex& ix, std::int32_t e) {
  for (const std::int32_t* f = ix.FacesBegin(e); f != ix.FacesEnd(e); ++f)
    if (!m.faces[static_cast<std::size_t>(*f)].hidden) return true;
  return false;
}

bool EdgeSelected(const CModel& m, std::int32_t a, std::int32_t b) {
  return std::binary_search(m.selectedEdges.begin(), m.selectedEdges.end(), EdgeKey(a, b));
}

void MarkEdge(CModel& m, std::int32_t a, std::int32_t b, bool selected) {
  const std::uint64_t key = EdgeKey(a, b);
  const auto it = std::lower_bound(m.selectedEdges.begin(), m.selectedEdges.end(), key);
  const bool present = it != m.selectedEdges.end() && *it == key;
  if (selected && !present) m.selectedEdges.insert(it, key);
  if (!selected && present) m.selectedEdges.erase(it);
}

void SelectVerticesOfElements(CModel& m, SelectMode mode) {
  if (mode == kSelectVertices) return;
  for (CVertex& v : m.vertices) v.selected = 0;
  if (mode == kSelectEdges) {
    for (const std::uint64_t key : m.selectedEdges) {
      const auto a = static_cast<std::int32_t>(key >> 32), b = static_cast<std::int32_t>(key & 0xffffffffu);
      if (InRange(m, a) && InRange(m, b)) {
        m.vertices[static_cast<std::size_t>(a)].selected = 1;
        m.vertices[static_cast<std::size_t>(b)].selected = 1;
      }
    }
  } else {
    for (const CFace& f : m.faces) {
      if (!f.selected) continue;
      for (std::int32_t i : f.indices)
        if (InRange(m, i)) m.vertices[static_cast<std::size_t>(i)].selected = 1;
    }
  }
  m.UpdateFaceSelection();
}

void SelectElementsOfVertices(CModel& m, SelectMode mode, const EdgeIndex& ix) {
  m.UpdateFaceSelection();
  m.selectedEdges.clear();
  for (CFace& f : m.faces) f.selected = mode == kSelectFaces && f.allSelected;
  if (mode == kSelectEdges) {
    for (std::int32_t e = 0; e < static_cast<std::int32_t>(ix.EdgeCount()); ++e)
      if (m.vertices[static_cast<std::size_t>(ix.Lower(e))].selected &&
          m.vertices[static_cast<std::size_t>(ix.Upper(e))].selected && EdgeVisible(m, ix, e))
        m.selectedEdges.push_back(ix.KeyOf(e));  // the index numbers edges in key order
  }
  SelectVerticesOfElements(m, mode);
}

void SyncElementsFromVertices(CMeshwright& scene) {
  const SelectMode mode = SelectModeOf(scene);
  if (mode == kSelectVertices) return;
  for (CModel& m : scene.models) {
    if (mode == kSelectFaces) {
      // No edge index needed: the faces follow their corners.
      m.UpdateFaceSelection();
      for (CFace& f : m.faces) f.selected = f.allSelected;
      SelectVerticesOfElements(m, mode);
    } else {
      SelectElementsOfVertices(m, mode, *scene.edgeIndexes.Get(m));
    }
  }
}

void SetSelectMode(CMeshwright& scene, SelectMode mode) {
  const SelectMode from = SelectModeOf(scene);
  scene.selectMode = mode;
  if (from == mode) return;
  for (CModel& m : scene.models) {
    if (from == kSelectFaces && mode == kSelectEdges) {
      // The edges of the selected faces, not every edge between their corners.
      std::vector<std::uint8_t> faces(m.faces.size());
      for (std::size_t f = 0; f < m.faces.size(); ++f) faces[f] = m.faces[f].selected;
      SelectFacesAs(m, mode, faces);
    } else if (from == kSelectEdges && mode == kSelectFaces) {
      for (CFace& f : m.faces) {
        bool all = !f.hidden && f.indices.size() >= 2;
        ForEachSide(m, f, [&](std::int32_t a, std::int32_t b) { all = all && EdgeSelected(m, a, b); });
        f.selected = all;
      }
      m.selectedEdges.clear();
      SelectVerticesOfElements(m, mode);
    } else if (mode == kSelectVertices) {
      // The vertices are already those of the elements.
      m.selectedEdges.clear();
      for (CFace& f : m.faces) f.selected = 0;
      m.UpdateFaceSelection();
    } else {
      SelectElementsOfVertices(m, mode, *scene.edgeIndexes.Get(m));
    }
  }
}

void InvertElements(CMeshwright& scene) {
  const SelectMode mode = SelectModeOf(scene);
  for (CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    if (mode == kSelectVertices) {
      for (CVertex& v : m.vertices) v.selected = v.selected || v.hidden ? 0 : 1;
      m.UpdateFaceSelection();
    } else if (mode == kSelectFaces) {
      for (CFace& f : m.faces) f.selected = f.selected || f.hidden ? 0 : 1;
      SelectVerticesOfElements(m, mode);
    } else {
      const EdgeIndex& ix = *scene.edgeIndexes.Get(m);
      std::vector<std::uint64_t> inverted;
      for (std::int32_t e = 0; e < static_cast<std::int32_t>(ix.EdgeCount()); ++e)
        if (EdgeVisible(m, ix, e) && !EdgeSelected(m, ix.Lower(e), ix.Upper(e))) inverted.push_back(ix.KeyOf(e));
      m.selectedEdges.swap(inverted);
      SelectVerticesOfElements(m, mode);
    }
  }
}

void GrowSelection(CMeshwright& scene) {
  const SelectMode mode = SelectModeOf(scene);
  for (CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    std::vector<std::uint8_t> faces = FacesWhere(m, [&m](const CFace& f) { return AnyCornerSelected(m, f); });
    // What was selected stays so, whether or not a face in sight reaches it.
    std::vector<std::uint8_t> loose(m.vertices.size());
    for (std::size_t v = 0; v < m.vertices.size(); ++v) loose[v] = m.vertices[v].selected;
    std::vector<std::uint64_t> edges = m.selectedEdges;
    SelectFacesAs(m, mode, faces);
    if (mode == kSelectVertices) {
      for (std::size_t v = 0; v < m.vertices.size(); ++v) m.vertices[v].selected |= loose[v];
      m.UpdateFaceSelection();
    } else if (mode == kSelectEdges) {
      m.selectedEdges.insert(m.selectedEdges.end(), edges.begin(), edges.end());
      SortKeys(m.selectedEdges);
      SelectVerticesOfElements(m, mode);
    }
  }
}

void ShrinkSelection(CMeshwright& scene) {
  const SelectMode mode = SelectModeOf(scene);
  for (CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    // The selected vertices on the selection's rim: at a face in sight not wholly selected, or on
    // the border of what is in sight (so a selection reaching the border shrinks from it too).
    std::vector<std::uint8_t> rim(m.vertices.size(), 0);
    const EdgeIndex& ix = *scene.edgeIndexes.Get(m);
    for (std::int32_t e = 0; e < static_cast<std::int32_t>(ix.EdgeCount()); ++e) {
      std::size_t inSight = 0;
      for (const std::int32_t* f = ix.FacesBegin(e); f != ix.FacesEnd(e); ++f)
        inSight += !m.faces[static_cast<std::size_t>(*f)].hidden;
      if (inSight == 1) rim[static_cast<std::size_t>(ix.Lower(e))] = rim[static_cast<std::size_t>(ix.Upper(e))] = 1;
    }
    for (const CFace& f : m.faces) {
      if (f.hidden) continue;
      const bool whole = mode == kSelectFaces ? f.selected != 0 : f.allSelected != 0;
      if (whole) continue;
      for (std::int32_t i : f.indices)
        if (InRange(m, i)) rim[static_cast<std::size_t>(i)] = 1;
    }
    const auto onRim = [&](std::int32_t i) { return InRange(m, i) && rim[static_cast<std::size_t>(i)]; };
    if (mode == kSelectVertices) {
      for (std::size_t v = 0; v < m.vertices.size(); ++v)
        if (rim[v]) m.vertices[v].selected = 0;
      m.UpdateFaceSelection();
    } else if (mode == kSelectFaces) {
      for (CFace& f : m.faces)
        if (f.selected && std::any_of(f.indices.begin(), f.indices.end(), onRim)) f.selected = 0;
      SelectVerticesOfElements(m, mode);
    } else {
      std::erase_if(m.selectedEdges, [&](std::uint64_t key) {
        return onRim(static_cast<std::int32_t>(key >> 32)) || onRim(static_cast<std::int32_t>(key & 0xffffffffu));
      });
      SelectVerticesOfElements(m, mode);
    }
  }
}

void SelectByMaterial(CMeshwright& scene, std::int32_t materialId) {
  const SelectMode mode = SelectModeOf(scene);
  for (CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    for (CFace& f : m.faces) {
      if (f.hidden || f.material != materialId) continue;
      if (mode == kSelectFaces) f.selected = 1;
      if (mode == kSelectEdges) ForEachSide(m, f, [&m](std::int32_t a, std::int32_t b) { m.selectedEdges.push_back(EdgeKey(a, b)); });
      for (std::int32_t i : f.indices)
        if (InRange(m, i)) m.vertices[static_cast<std::size_t>(i)].selected = 1;
    }
    SortKeys(m.selectedEdges);
    if (mode == kSelectVertices) m.UpdateFaceSelection();
    else SelectVerticesOfElements(m, mode);
  }
}

bool HideSelection(CMeshwright& scene, bool unselected) {
  const SelectMode mode = SelectModeOf(scene);
  bool any = false;
  for (CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    std::vector<std::uint8_t> touched = FacesWhere(m, [&](const CFace& f) {
      if (mode == kSelectFaces) return f.selected != 0;
      if (mode == kSelectVertices) return AnyCornerSelected(m, f);
      bool edge = false;
      ForEachSide(m, f, [&](std::int32_t a, std::int32_t b) { edge = edge || EdgeSelected(m, a, b); });
      return edge;
    });
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
      CFace& face = m.faces[f];
      if (face.hidden || (touched[f] != 0) == unselected) continue;
      face.hidden = 1;
      any = true;
    }
    // A vertex goes with its faces; one no face uses goes when it is picked (or, hiding the rest,
    // when it is not).
    std::vector<std::uint8_t> inSight(m.vertices.size(), 0), used(m.vertices.size(), 0);
    for (const CFace& f : m.faces)
      for (std::int32_t i : f.indices)
        if (InRange(m, i)) {
          used[static_cast<std::size_t>(i)] = 1;
          if (!f.hidden) inSight[static_cast<std::size_t>(i)] = 1;
        }
    for (std::size_t v = 0; v < m.vertices.size(); ++v) {
      CVertex& vx = m.vertices[v];
      if (vx.hidden) continue;
      const bool picked = mode == kSelectVertices && vx.selected;
      const bool hide = used[v] ? !inSight[v] || (picked && !unselected) : picked != unselected;
      if (!hide) continue;
      vx.hidden = 1;
      any = true;
    }
    for (CVertex& v : m.vertices)
      if (v.hidden) v.selected = 0;
    for (CFace& f : m.faces)
      if (f.hidden) f.selected = 0;
    std::erase_if(m.selectedEdges, [&m](std::uint64_t key) {
      const auto a = static_cast<std::int32_t>(key >> 32), b = static_cast<std::int32_t>(key & 0xffffffffu);
      return !InRange(m, a) || !InRange(m, b) || m.vertices[static_cast<std::size_t>(a)].hidden ||
             m.vertices[static_cast<std::size_t>(b)].hidden;
    });
    if (mode == kSelectVertices) m.UpdateFaceSelection();
    else if (mode == kSelectEdges) SelectElementsOfVertices(m, mode, *scene.edgeIndexes.Get(m));
    else SelectVerticesOfElements(m, mode);
  }
  return any;
}

bool HasHidden(const CModel& m) {
  return std::any_of(m.vertices.begin(), m.vertices.end(), [](const CVertex& v) { return v.hidden != 0; }) ||
         std::any_of(m.faces.begin(), m.faces.end(), [](const CFace& f) { return f.hidden != 0; });
}

bool RevealAll(CMeshwright& scene) {
  const SelectMode mode = SelectModeOf(scene);
  bool any = false;
  for (CModel& m : scene.models) {
    if (!m.IsEditable() || !HasHidden(m)) continue;
    any = true;
    for (CVertex& v : m.vertices)
      if (v.hidden) {
        v.hidden = 0;
        v.selected = 1;
      }
    for (CFace& f : m.faces)
      if (f.hidden) {
        f.hidden = 0;
        if (mode == kSelectFaces) f.selected = 1;
        if (mode == kSelectEdges) ForEachSide(m, f, [&m](std::int32_t a, std::int32_t b) { m.selectedEdges.push_back(EdgeKey(a, b)); });
      }
    SortKeys(m.selectedEdges);
    if (mode == kSelectVertices) m.UpdateFaceSelection();
    else SelectVerticesOfElements(m, mode);
  }
  return any;
}

ElementCounts CountElements(const CModel& m, const EdgeIndex& ix, SelectMode mode) {
  ElementCounts c;
  c.vertices = m.vertices.size();
  c.edges = ix.EdgeCount();
  c.faces = m.faces.size();
  for (const CVertex& v : m.vertices) c.selectedVertices += v.selected != 0;
  for (const CFace& f : m.faces) c.selectedFaces += (mode == kSelectFaces ? f.selected : f.allSelected) != 0;
  if (mode == kSelectEdges) {
    c.selectedEdges = m.selectedEdges.size();
  } else {
    for (std::int32_t e = 0; e < static_cast<std::int32_t>(ix.EdgeCount()); ++e)
      c.selectedEdges += m.vertices[static_cast<std::size_t>(ix.Lower(e))].selected &&
                         m.vertices[static_cast<std::size_t>(ix.Upper(e))].selected;
  }
  return c;
}

}  // namespace mw
