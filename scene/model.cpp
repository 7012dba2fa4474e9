#include "scene/model.h"

#include "scene/polygon_triangles.h"

namespace mw {

CModel& CModel::operator=(const CModel& o) {
  if (this == &o) return *this;
  name = o.name;
  reservedInt = o.reservedInt;
  secondName = o.secondName;
  vertices = o.vertices;
  faces = o.faces;
  mirrorAxis = o.mirrorAxis;
  facet = o.facet;
  state = o.state;
  selectedEdges = o.selectedEdges;
  subdivisionScheme = o.subdivisionScheme;
  subdivisionLevel = o.subdivisionLevel;
  creases = o.creases;
  sharpVertices = o.sharpVertices;
  symmetryAxis = o.symmetryAxis;
  counterparts = o.counterparts;
  seamEdges = o.seamEdges;
  pendingVertices = o.pendingVertices;
  return *this;
}

void CModel::ComputeNormals(std::int32_t smooth) {
  const std::size_t vertexCount = vertices.size();
  std::vector<CVector> outline;
  for (CFace& f : faces) {
    if (f.indices.size() <= 2) continue;
    if (f.indices.size() > 4) {
      // The first three corners of a concave face may turn against the rest of it; the whole
      // outline gives the side the face really shows.
      outline.clear();
      for (std::int32_t i : f.indices)
        if (HasVertex(i)) outline.push_back(vertices[static_cast<std::size_t>(i)].position);
      if (outline.size() == f.indices.size()) f.normal = PolygonNormal(outline);
      continue;
    }
    const std::int32_t i0 = f.indices[0], i1 = f.indices[1], i2 = f.indices[2];
    if (i0 < 0 || i1 < 0 || i2 < 0 || static_cast<std::size_t>(i0) >= vertexCount ||
        static_cast<std::size_t>(i1) >= vertexCount || static_cast<std::size_t>(i2) >= vertexCount)
      continue;
    const CVector& p0 = vertices[i0].position;
    CVector e1 = p0 - vertices[i1].position;
    CVector e2 = p0 - vertices[i2].position;
    f.normal = Cross(e1, e2);
  }
  if (!smooth) return;
  const std::size_t faceCount = faces.size();
  for (CVertex& v : vertices) {
    // Summing in double and rounding once would differ from the float32 running sum; keep the
    // running sum in float32 steps like the vector's own +=.
    CVector sum;
    for (std::int32_t ref : v.faceRefs) {
      if (ref < 0 || static_cast<std::size_t>(ref) >= faceCount) continue;
      sum += faces[ref].normal;
    }
    v.normal = sum;
  }
}

void CModel::RebuildFaceRefs() {
  for (CVertex& v : vertices) v.faceRefs.clear();
  const std::size_t vertexCount = vertices.size();
  const auto faceCount = static_cast<std::int32_t>(faces.size());
  for (std::int32_t i = 0; i < faceCount; ++i) {
    for (std::int32_t index : faces[i].indices) {
      if (index >= 0 && static_cast<std::size_t>(index) < vertexCount) vertices[index].faceRefs.push_back(i);
    }
  }
}

void CModel::UpdateFaceSelection() {
  const std::size_t vertexCount = vertices.size();
  const CVertex* const v = vertices.data();
  for (CFace& f : faces) {
    // A hidden face is never acted on, even when its corners are selected through its neighbours.
    std::uint8_t all = f.hidden ? 0 : 1;
    const std::int32_t* i = f.indices.data();
    const std::int32_t* const end = i + f.indices.size();
    for (; i != end; ++i) {
      // One unsigned comparison covers both negative and too-large corners.
      const auto index = static_cast<std::size_t>(static_cast<std::uint32_t>(*i));
      if (*i < 0 || index >= vertexCount || !v[index].selected) {
        all = 0;
        break;
      }
    }
    f.allSelected = all;
  }
}

bool CModel::ApplyMirror() {
  if (mirrorAxis >= 1 && mirrorAxis <= 7) {
    for (int axis = 0; axis < 3; ++axis) {
      if (!(mirrorAxis & (1 << axis))) continue;
      const std::size_t v = vertices.size();
      const std::size_t f = faces.size();
      vertices.reserve(2 * v);
      for (std::size_t i = 0; i < v; ++i) {
        CVector p = vertices[i].position;
        if (axis == 0) p.x = -p.x;
        else if (axis == 1) p.y = -p.y;
        else p.z = -p.z;
        vertices.emplace_back(p.x, p.y, p.z);
      }
      faces.reserve(2 * f);
      const auto offset = static_cast<std::int32_t>(v);
      for (std::size_t j = 0; j < f; ++j) {
        CFace copy;
        const CFace& src = faces[j];
        for (std::size_t k = src.indices.size(); k-- > 0;)
          copy.indices.push_back(static_cast<std::int32_t>(static_cast<std::uint32_t>(src.indices[k]) +
                                                           static_cast<std::uint32_t>(offset)));
        for (std::size_t k = src.uvs.size(); k-- > 0;) copy.uvs.push_back(src.uvs[k]);
        copy.material = src.material;
        copy.normal = src.normal;
        faces.push_back(std::move(copy));
      }
    }
  }
  return !faces.empty();
}

}  // namespace mw
