#include "scene/stand_in.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "scene/polygon_triangles.h"

namespace mw {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;
// Groups of more triangles than this are thinned by cells first, to this many times the target.
constexpr std::size_t kSloppyAbove = 300000;
constexpr std::size_t kSloppyMargin = 3;

bool Counts(const CModel& m) { return m.state != kStateHidden; }

// A corner of a textured group: its vertex with its texture coordinates, compared bit for bit
// (two coordinates that compare equal but differ in bits, 0 and -0, are simply two vertices).
struct CornerKey {
  std::uint32_t vertex;
  CUV uv;
  bool operator==(const CornerKey& o) const {
    return vertex == o.vertex && std::memcmp(&uv, &o.uv, sizeof uv) == 0;
  }
};
struct CornerKeyHash {
  std::size_t operator()(const CornerKey& k) const {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &k.uv, sizeof bits);
    return static_cast<std::size_t>((bits ^ (static_cast<std::uint64_t>(k.vertex) * 0x9E3779B97F4A7C15ull)) *
                                    0xBF58476D1CE4E5B9ull >> 17);
  }
};

}  // namespace

std::size_t VisibleFaceCount(const CMeshwright& scene) {
  std::size_t n = 0;
  for (const CModel& m : scene.models) {
    if (!Counts(m)) continue;
    for (const CFace& f : m.faces) n += f.hidden ? 0 : 1;
  }
  return n;
}

StandInSource TakeStandInSource(const CMeshwright& scene) {
  StandInSource source;
  std::unordered_map<std::int32_t, std::size_t> materialAt;
  for (std::size_t i = 0; i < scene.materials.size(); ++i) materialAt.emplace(scene.materials[i].id, i);
  PolygonTriangleCache polygons;
  for (std::size_t mi = 0; mi < scene.models.size(); ++mi) {
    const CModel& model = scene.models[mi];
    if (!Counts(model)) continue;
    StandInSource::Model out;
    out.index = mi;
    out.positions.reserve(model.vertices.size());
    for (const CVertex& v : model.vertices) out.positions.push_back(v.position);
    // Groups in the order of the material list, as the frame draws them.
    std::vector<std::size_t> groupOf(scene.materials.size(), kNone);
    const std::size_t vertexCount = model.vertices.size();
    for (std::size_t fi = 0; fi < model.faces.size(); ++fi) {
      const CFace& f = model.faces[fi];
      const std::size_t n = f.indices.size();
      if (f.hidden || n < 3) continue;
      const auto found = materialAt.find(f.material);
      if (found == materialAt.end()) continue;
      bool valid = true;
      for (std::int32_t i : f.indices) valid = valid && i >= 0 && static_cast<std::size_t>(i) < vertexCount;
      if (!valid) continue;
      std::size_t& g = groupOf[found->second];
      if (g == kNone) {
        g = out.groups.size();
        StandInSource::Group group;
        group.material = f.material;
        group.textured = !scene.materials[found->second].texture.empty();
        out.groups.push_back(std::move(group));
      }
      StandInSource::Group& group = out.groups[g];
      auto corner = [&](std::size_t k) {
        group.corners.push_back(static_cast<std::uint32_t>(f.indices[k]));
        if (group.textured) group.uvs.push_back(f.uvs.size() > k ? f.uvs[k] : CUV());
      };
      if (n <= 4) {
        for (std::size_t t = 0; t + 2 < n; ++t) {
          corner(0), corner(t + 1), corner(t + 2);
        }
        source.triangles += n - 2;
      } else {
        const std::span<const std::uint32_t> split = polygons.Triangles(model, fi);
        for (std::uint32_t k : split) corner(k);
        source.triangles += split.size() / 3;
      }
    }
    // Groups in material order, whatever order their first faces came in.
    std::vector<StandInSource::Group> ordered;
    ordered.reserve(out.groups.size());
    for (std::size_t g : groupOf)
      if (g != kNone) ordered.push_back(std::move(out.groups[g]));
    out.groups = std::move(ordered);
    source.models.push_back(std::move(out));
  }
  return source;
}

StandIn BuildStandIn(const StandInSource& source, const StandInLimits& limits, const std::atomic<bool>* cancel) {
  StandIn result;
  const double ratio = source.triangles == 0 ? 1.0
                                             : std::min(1.0, static_cast<double>(limits.targetTriangles) /
                                                                 static_cast<double>(source.triangles));
  std::size_t modelCount = 0;
  for (const StandInSource::Model& m : source.models) modelCount = std::max(modelCount, m.index + 1);
  result.models.resize(modelCount);
  // Per source vertex, the last stand-in vertex made from it; per stand-in vertex, the one made
  // before it from the same source vertex (they differ in texture coordinates).
  std::vector<std::uint32_t> lastOf, before;
  std::vector<std::uint32_t> local;  // per source vertex: its number in the group being simplified
  std::vector<std::uint32_t> sourceOf;
  std::vector<float> positions;
  std::vector<std::uint32_t> indices, kept, coarse, used;
  std::vector<float> usedPositions;
  for (const StandInSource::Model& sm : source.models) {
    CModel& model = result.models[sm.index];
    const std::size_t vertexCount = sm.positions.size();
    lastOf.assign(vertexCount, kNone);
    local.assign(vertexCount, kNone);
    before.clear();
    std::vector<CUV> vertexUV;
    std::vector<std::uint8_t> vertexHasUV;
    // Which way the surface faces at each source vertex, to know a triangle the cells turned over.
    std::vector<CVector> facing(vertexCount);
    for (const StandInSource::Group& g : sm.groups) {
      for (std::size_t c = 0; c + 2 < g.corners.size(); c += 3) {
        const CVector& p0 = sm.positions[g.corners[c]];
        const CVector n = Cross(p0 - sm.positions[g.corners[c + 1]], p0 - sm.positions[g.corners[c + 2]]);
        for (std::size_t k = 0; k < 3; ++k) facing[g.corners[c + k]] += n;
      }
    }
    for (const StandInSource::Group& g : sm.groups) {
      if (cancel && cancel->load(std::memory_order_relaxed)) return StandIn();
      const std::size_t triangles = g.corners.size() / 3;
      // The group's own vertices, so that the library's work follows the group's size. Corners
      // that differ in texture coordinates are different vertices: the library keeps the seams
      // between them where they are.
      positions.clear();
      indices.clear();
      sourceOf.clear();
      std::vector<CUV> uvOf;
      std::unordered_map<CornerKey, std::uint32_t, CornerKeyHash> textured;
      if (g.textured) textured.reserve(g.corners.size() / 4);
      for (std::size_t c = 0; c < g.corners.size(); ++c) {
        const std::uint32_t vi = g.corners[c];
        std::uint32_t at = kNone;
        if (g.textured) {
          const auto [it, added] =
              textured.try_emplace(CornerKey{vi, g.uvs[c]}, static_cast<std::uint32_t>(sourceOf.size()));
          at = it->second;
          if (!added) {
            indices.push_back(at);
            continue;
          }
          uvOf.push_back(g.uvs[c]);
        } else {
          at = local[vi];
          if (at != kNone) {
            indices.push_back(at);
            continue;
          }
          at = local[vi] = static_cast<std::uint32_t>(sourceOf.size());
        }
        sourceOf.push_back(vi);
        const CVector& p = sm.positions[vi];
        positions.insert(positions.end(), {p.x, p.y, p.z});
        indices.push_back(at);
      }
      for (std::uint32_t vi : sourceOf) local[vi] = kNone;
      const auto target = static_cast<std::size_t>(std::llround(static_cast<double>(triangles) * ratio)) * 3;
      bool gathered = false;  // vertices were gathered by cells, which may fold triangles over
      if (ratio < 1.0 && !indices.empty()) {
        const std::uint32_t* from = indices.data();
        std::size_t count = indices.size();
        // Collapsing edges one by one costs some two seconds per million faces: a large group is
        // first thinned by gathering its vertices into cells (about a tenth of that), to a few
        // times the target, and only the rest is collapsed with care.
        if (count > kSloppyAbove * 3 && count > kSloppyMargin * target) {
          coarse.resize(count);
          coarse.resize(meshopt_simplifySloppy(coarse.data(), from, count, positions.data(), sourceOf.size(),
                                               3 * sizeof(float), kSloppyMargin * target, 1.0f, nullptr));
          if (coarse.size() >= target) from = coarse.data(), count = coarse.size(), gathered = true;
        }
        // The library's set-up goes over every vertex it is given: give it only those in use.
        const float* at = positions.data();
        std::size_t vertices = sourceOf.size();
        if (from == coarse.data()) {
          used.clear();
          usedPositions.clear();
          for (std::uint32_t& i : coarse) {
            if (local[i] == kNone) {
              local[i] = static_cast<std::uint32_t>(used.size());
              used.push_back(i);
              usedPositions.insert(usedPositions.end(), positions.begin() + 3 * i, positions.begin() + 3 * i + 3);
            }
            i = local[i];
          }
          for (std::uint32_t i : used) local[i] = kNone;
          at = usedPositions.data();
          vertices = used.size();
        }
        kept.resize(count);
        const std::size_t n = meshopt_simplify(kept.data(), from, count, at, vertices, 3 * sizeof(float), target,
                                               limits.relativeError, meshopt_SimplifyLockBorder, nullptr);
        kept.resize(n);
        if (from == coarse.data())
          for (std::uint32_t& i : kept) i = used[i];
        // Texture coordinates that differ at nearly every corner (a picture tiled face by face)
        // make every edge a seam the library will not move: then the vertices are gathered by
        // place alone, each keeping the coordinates of one corner.
        if (g.textured && n > 2 * std::max<std::size_t>(target, 3) && n > 3 * 1000) {
          gathered = true;
          kept.resize(indices.size());
          kept.resize(meshopt_simplifySloppy(kept.data(), indices.data(), indices.size(), positions.data(),
                                             sourceOf.size(), 3 * sizeof(float), target, limits.relativeError,
                                             nullptr));
        }
      } else {
        kept = indices;
      }
      // The group's surviving vertices join the model's, shared with other groups where they
      // are the same source vertex with the same coordinates (or, untextured, none).
      for (std::size_t c = 0; c < kept.size(); c += 3) {
        // Collapses along a kept outline can leave triangles of three points in a line: they
        // draw nothing, and a vertex only they use would have no normal to light it by.
        const CVector& p0 = sm.positions[sourceOf[kept[c]]];
        const CVector normal = Cross(p0 - sm.positions[sourceOf[kept[c + 1]]], p0 - sm.positions[sourceOf[kept[c + 2]]]);
        if (normal.x == 0.0f && normal.y == 0.0f && normal.z == 0.0f) continue;
        // Gathering vertices by cells can fold a triangle over its neighbours: facing away from
        // the surface it would be lit from behind and speckle the picture dark.
        CVector around = facing[sourceOf[kept[c]]];
        around += facing[sourceOf[kept[c + 1]]];
        around += facing[sourceOf[kept[c + 2]]];
        if (gathered && static_cast<double>(normal.x) * around.x + static_cast<double>(normal.y) * around.y +
                static_cast<double>(normal.z) * around.z <
            0.0)
          continue;
        CFace f;
        f.material = g.material;
        f.normal = normal;
        for (std::size_t k = 0; k < 3; ++k) {
          const std::uint32_t li = kept[c + k];
          const std::uint32_t vi = sourceOf[li];
          const bool hasUV = g.textured;
          const CUV uv = hasUV ? uvOf[li] : CUV();
          std::uint32_t at = lastOf[vi];
          for (; at != kNone; at = before[at])
            if (vertexHasUV[at] == (hasUV ? 1 : 0) && (!hasUV || vertexUV[at] == uv)) break;
          if (at == kNone) {
            at = static_cast<std::uint32_t>(model.vertices.size());
            model.vertices.emplace_back(sm.positions[vi].x, sm.positions[vi].y, sm.positions[vi].z);
            before.push_back(lastOf[vi]);
            lastOf[vi] = at;
            vertexUV.push_back(uv);
            vertexHasUV.push_back(hasUV ? 1 : 0);
          }
          f.indices.push_back(static_cast<std::int32_t>(at));
          if (hasUV) f.uvs.push_back(uv);
        }
        model.faces.push_back(std::move(f));
        ++result.triangles;
      }
    }
    // Normals as ComputeNormals makes them: each face's from its first three corners, each
    // vertex's the running float sum of its faces'.
    for (const CFace& f : model.faces)
      for (std::int32_t i : f.indices) model.vertices[static_cast<std::size_t>(i)].normal += f.normal;
  }
  return result;
}

}  // namespace mw
