#include "scene/subdivision.h"

#include <opensubdiv/far/error.h>
#include <opensubdiv/far/primvarRefiner.h>
#include <opensubdiv/far/topologyDescriptor.h>
#include <opensubdiv/far/topologyRefinerFactory.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "scene/edge_index.h"
#include "scene/element_selection.h"

namespace mw {
namespace {

namespace Far = OpenSubdiv::Far;
namespace Sdc = OpenSubdiv::Sdc;

// The library reports what it finds odd in the cage (an edge named by a crease that is not there,
// a non-manifold corner) on stdout; here such things are expected of hand-made models and
// handled by its own rules, so nothing is printed.
void QuietError(Far::ErrorType, const char*) {}
void QuietWarning(const char*) {}
void SilenceLibrary() {
  static const bool once = [] {
    Far::SetErrorCallback(QuietError);
    Far::SetWarningCallback(QuietWarning);
    return true;
  }();
  (void)once;
}

struct Point3 {
  float x, y, z;
  void Clear() { x = y = z = 0.0f; }
  void AddWithWeight(const Point3& p, float w) {
    x += w * p.x;
    y += w * p.y;
    z += w * p.z;
  }
};
struct Point2 {
  float u, v;
  void Clear() { u = v = 0.0f; }
  void AddWithWeight(const Point2& p, float w) {
    u += w * p.u;
    v += w * p.v;
  }
};
struct FaceTag {
  std::int32_t base;
  void Clear() { base = 0; }
  void AddWithWeight(const FaceTag& f, float) { base = f.base; }
};

std::int32_t ClampLevel(std::int32_t level) { return std::clamp(level, kSubdivisionMinLevel, kSubdivisionMaxLevel); }

bool Refinable(const CModel& m, const CFace& f) {
  const std::size_t n = f.indices.size();
  if (n < 3 || f.hidden) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (!m.HasVertex(f.indices[i])) return false;
    for (std::size_t j = 0; j < i; ++j)
      if (f.indices[j] == f.indices[i]) return false;
  }
  return true;
}

std::uint32_t Bits(float f) {
  std::uint32_t b;
  std::memcpy(&b, &f, 4);
  return b;
}

}  // namespace

std::uint64_t SubdivisionTopologyKey(const CModel& model) {
  std::uint64_t h = TopologyKey(model);
  const auto mix = [&h](std::uint64_t w) {
    h ^= w;
    h *= 0x100000001b3ull;
    h ^= h >> 29;
  };
  mix(static_cast<std::uint32_t>(model.subdivisionScheme));
  mix(static_cast<std::uint32_t>(ClampLevel(model.subdivisionLevel)));
  for (const CFace& f : model.faces) {
    mix(static_cast<std::uint64_t>(f.hidden) << 32 | static_cast<std::uint32_t>(f.material));
    for (const CUV& uv : f.uvs) mix(static_cast<std::uint64_t>(Bits(uv.u)) << 32 | Bits(uv.v));
  }
  for (const EdgeCrease& c : model.creases) mix(c.edge ^ static_cast<std::uint64_t>(Bits(c.sharpness)) << 7);
  for (const VertexCorner& c : model.sharpVertices)
    mix(static_cast<std::uint64_t>(static_cast<std::uint32_t>(c.vertex)) << 32 | Bits(c.sharpness));
  return h;
}

struct Subdivider::Impl {
  std::unique_ptr<Far::TopologyRefiner> refiner;
  int level = 0;
  bool hasUVs = false;
  mutable std::vector<Point3> scratch;  // every level's positions, base level first
};

Subdivider::Subdivider() : impl_(std::make_unique<Impl>()) {}
Subdivider::~Subdivider() = default;
Subdivider::Subdivider(Subdivider&&) noexcept = default;
Subdivider& Subdivider::operator=(Subdivider&&) noexcept = default;
bool Subdivider::Built() const { return impl_->refiner != nullptr; }

bool Subdivider::Build(const CModel& model, CModel& out, std::int32_t levelOverride) {
  SilenceLibrary();
  const std::int32_t level = ClampLevel(levelOverride > 0 ? levelOverride : model.subdivisionLevel);
  const std::uint64_t key = SubdivisionTopologyKey(model) ^ (static_cast<std::uint64_t>(level) << 59);
  if (impl_->refiner && key == key_) return true;
  impl_->refiner.reset();
  key_ = key;
  out.faces.clear();
  out.vertices.clear();
  const bool loop = model.subdivisionScheme == kSubdivisionLoop;
  if (model.subdivisionScheme != kSubdivisionCatmullClark && !loop) return false;

  // The cage as OpenSubdiv takes it: counts, corners, the base face of each, and the texture
  // coordinates as values shared by corners of one vertex with one coordinate.
  std::vector<int> counts, corners, baseOf;
  std::vector<CUV> cornerUVs;
  bool anyUVs = false;
  for (std::size_t fi = 0; fi < model.faces.size(); ++fi) {
    const CFace& f = model.faces[fi];
    if (!Refinable(model, f)) continue;
    const bool uvs = f.uvs.size() == f.indices.size();
    anyUVs = anyUVs || uvs;
    const auto put = [&](std::size_t k) {
      corners.push_back(f.indices[k]);
      cornerUVs.push_back(uvs ? f.uvs[k] : CUV());
    };
    if (loop && f.indices.size() > 3) {
      for (std::size_t k = 1; k + 1 < f.indices.size(); ++k) {
        counts.push_back(3), baseOf.push_back(static_cast<int>(fi));
        put(0), put(k), put(k + 1);
      }
    } else {
      counts.push_back(static_cast<int>(f.indices.size())), baseOf.push_back(static_cast<int>(fi));
      for (std::size_t k = 0; k < f.indices.size(); ++k) put(k);
    }
  }
  if (counts.empty()) return false;

  std::vector<int> uvIndex(corners.size());
  std::vector<CUV> uvValues;
  if (anyUVs) {
    std::vector<std::uint32_t> order(corners.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    const auto less = [&](std::uint32_t a, std::uint32_t b) {
      if (corners[a] != corners[b]) return corners[a] < corners[b];
      if (cornerUVs[a].u != cornerUVs[b].u) return cornerUVs[a].u < cornerUVs[b].u;
      return cornerUVs[a].v < cornerUVs[b].v;
    };
    std::sort(order.begin(), order.end(), less);
    for (std::size_t i = 0; i < order.size(); ++i) {
      if (i == 0 || less(order[i - 1], order[i])) uvValues.push_back(cornerUVs[order[i]]);
      uvIndex[order[i]] = static_cast<int>(uvValues.size() - 1);
    }
  }

  std::vector<int> creasePairs;
  std::vector<float> creaseWeights;
  for (const EdgeCrease& c : model.creases) {
    const auto a = static_cast<std::int32_t>(c.edge >> 32), b = static_cast<std::int32_t>(c.edge & 0xFFFFFFFFu);
    if (!model.HasVertex(a) || !model.HasVertex(b) || a == b || !(c.sharpness > 0.0f)) continue;
    creasePairs.push_back(a), creasePairs.push_back(b);
    creaseWeights.push_back(std::min(c.sharpness, kMaxSharpness));
  }
  std::vector<int> cornerVertices;
  std::vector<float> cornerWeights;
  for (const VertexCorner& c : model.sharpVertices) {
    if (!model.HasVertex(c.vertex) || !(c.sharpness > 0.0f)) continue;
    cornerVertices.push_back(c.vertex);
    cornerWeights.push_back(std::min(c.sharpness, kMaxSharpness));
  }

  Far::TopologyDescriptor desc;
  desc.numVertices = static_cast<int>(model.vertices.size());
  desc.numFaces = static_cast<int>(counts.size());
  desc.numVertsPerFace = counts.data();
  desc.vertIndicesPerFace = corners.data();
  desc.numCreases = static_cast<int>(creaseWeights.size());
  desc.creaseVertexIndexPairs = creasePairs.data();
  desc.creaseWeights = creaseWeights.data();
  desc.numCorners = static_cast<int>(cornerWeights.size());
  desc.cornerVertexIndices = cornerVertices.data();
  desc.cornerWeights = cornerWeights.data();
  Far::TopologyDescriptor::FVarChannel channel;
  if (anyUVs) {
    channel.numValues = static_cast<int>(uvValues.size());
    channel.valueIndices = uvIndex.data();
    desc.numFVarChannels = 1;
    desc.fvarChannels = &channel;
  }
  Sdc::Options options;
  options.SetVtxBoundaryInterpolation(Sdc::Options::VTX_BOUNDARY_EDGE_AND_CORNER);
  options.SetFVarLinearInterpolation(Sdc::Options::FVAR_LINEAR_CORNERS_ONLY);
  using Factory = Far::TopologyRefinerFactory<Far::TopologyDescriptor>;
  std::unique_ptr<Far::TopologyRefiner> refiner(Factory::Create(
      desc, Factory::Options(loop ? Sdc::SCHEME_LOOP : Sdc::SCHEME_CATMARK, options)));
  if (!refiner) return false;
  Far::TopologyRefiner::UniformOptions uniform(level);
  uniform.fullTopologyInLastLevel = true;
  refiner->RefineUniform(uniform);

  // The base face of every refined face, carried down level by level.
  std::vector<FaceTag> tags(static_cast<std::size_t>(refiner->GetNumFacesTotal()));
  for (std::size_t i = 0; i < baseOf.size(); ++i) tags[i].base = baseOf[i];
  const Far::PrimvarRefiner primvar(*refiner);
  FaceTag* src = tags.data();
  for (int l = 1; l <= level; ++l) {
    FaceTag* dst = src + refiner->GetLevel(l - 1).GetNumFaces();
    primvar.InterpolateFaceUniform(l, src, dst);
    src = dst;
  }

  const Far::TopologyLevel& last = refiner->GetLevel(level);
  std::vector<Point2> uvLimit;
  if (anyUVs) {
    std::vector<Point2> uvAll(static_cast<std::size_t>(refiner->GetNumFVarValuesTotal(0)));
    for (std::size_t i = 0; i < uvValues.size(); ++i) uvAll[i] = {uvValues[i].u, uvValues[i].v};
    Point2* s = uvAll.data();
    for (int l = 1; l <= level; ++l) {
      Point2* d = s + refiner->GetLevel(l - 1).GetNumFVarValues(0);
      primvar.InterpolateFaceVarying(l, s, d);
      s = d;
    }
    uvLimit.resize(static_cast<std::size_t>(last.GetNumFVarValues(0)));
    primvar.LimitFaceVarying(s, uvLimit);
  }

  out.vertices.resize(static_cast<std::size_t>(last.GetNumVertices()));
  out.faces.resize(static_cast<std::size_t>(last.GetNumFaces()));
  for (int f = 0; f < last.GetNumFaces(); ++f) {
    CFace& face = out.faces[static_cast<std::size_t>(f)];
    const CFace& base = model.faces[static_cast<std::size_t>(src[f].base)];
    face.material = base.material;
    const auto fv = last.GetFaceVertices(f);
    for (int k = 0; k < fv.size(); ++k) face.indices.push_back(fv[k]);
    if (anyUVs && base.uvs.size() == base.indices.size()) {
      const auto values = last.GetFaceFVarValues(f, 0);
      for (int k = 0; k < values.size(); ++k) {
        const Point2& p = uvLimit[static_cast<std::size_t>(values[k])];
        face.uvs.push_back(CUV(p.u, p.v));
      }
    }
  }
  // No face references: drawing reads the limit normals, and a bake builds its own.
  impl_->level = level;
  impl_->hasUVs = anyUVs;
  impl_->refiner = std::move(refiner);
  return true;
}

void Subdivider::Evaluate(const CModel& model, CModel& out, bool limit) const {
  if (!impl_->refiner) return;
  const Far::TopologyRefiner& refiner = *impl_->refiner;
  const int level = impl_->level;
  std::vector<Point3>& all = impl_->scratch;
  all.resize(static_cast<std::size_t>(refiner.GetNumVerticesTotal()));
  const std::size_t baseCount = std::min(model.vertices.size(), static_cast<std::size_t>(refiner.GetLevel(0).GetNumVertices()));
  for (std::size_t i = 0; i < baseCount; ++i) {
    const CVector& p = model.vertices[i].position;
    all[i] = {p.x, p.y, p.z};
  }
  const Far::PrimvarRefiner primvar(refiner);
  Point3* src = all.data();
  for (int l = 1; l <= level; ++l) {
    Point3* dst = src + refiner.GetLevel(l - 1).GetNumVertices();
    primvar.Interpolate(l, src, dst);
    src = dst;
  }
  const std::size_t n = static_cast<std::size_t>(refiner.GetLevel(level).GetNumVertices());
  out.vertices.resize(n);
  if (!limit) {
    for (std::size_t i = 0; i < n; ++i) out.vertices[i].position = CVector(src[i].x, src[i].y, src[i].z);
    out.ComputeNormals(1);
    return;
  }
  std::vector<Point3> pos(n), du(n), dv(n);
  primvar.Limit(src, pos, du, dv);
  out.vertices.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    CVertex& v = out.vertices[i];
    v.position = CVector(pos[i].x, pos[i].y, pos[i].z);
    // du x dv turns as the corners do, the way CModel::ComputeNormals's (b - a) x (c - a) turns, so
    // the surface's normals point to the side the cage's own do.
    const CVector a(du[i].x, du[i].y, du[i].z), b(dv[i].x, dv[i].y, dv[i].z);
    CVector nrm = Cross(a, b);
    const double len = std::sqrt(double(nrm.x) * nrm.x + double(nrm.y) * nrm.y + double(nrm.z) * nrm.z);
    if (len > 0.0) nrm = CVector(float(nrm.x / len), float(nrm.y / len), float(nrm.z / len));
    v.normal = nrm;
  }
  // Face normals for flat shading, by the model's own rule; the vertex normals stay the limit's.
  out.ComputeNormals(0);
}

namespace {
std::uint64_t PositionKey(const CModel& model) {
  std::uint64_t h = 0xcbf29ce484222325ull ^ model.vertices.size();
  for (const CVertex& v : model.vertices) {
    h ^= static_cast<std::uint64_t>(Bits(v.position.x)) << 32 | Bits(v.position.y);
    h *= 0x100000001b3ull;
    h ^= Bits(v.position.z);
    h *= 0x100000001b3ull;
    h ^= h >> 29;
  }
  return h;
}
}  // namespace

const CModel* SurfaceCache::Surface(const CModel& model, std::size_t slot, bool mayHaveChanged) {
  if (model.subdivisionScheme == kSubdivisionNone) {
    if (slot < entries_.size()) entries_[slot].reset();
    return nullptr;
  }
  if (entries_.size() <= slot) entries_.resize(slot + 1);
  if (!entries_[slot]) entries_[slot] = std::make_unique<Entry>();
  Entry& e = *entries_[slot];
  if (e.built && !mayHaveChanged) {
    const CModel& kept = e.lastDraft ? e.draft : e.surface;
    drewDraft_ = drewDraft_ || e.lastDraft;
    return kept.faces.empty() ? nullptr : &kept;
  }
  const std::uint64_t before = e.subdivider.Key();
  const bool had = e.subdivider.Built();
  const bool ok = e.subdivider.Build(model, e.surface);
  const bool rebuilt = !had || e.subdivider.Key() != before || !e.built;
  if (rebuilt) ++builds_, e.fullCurrent = false;
  e.built = true;
  e.lastDraft = false;
  if (!ok) return nullptr;
  const std::uint64_t positions = PositionKey(model);
  const bool moved = positions != e.positionKey;
  e.positionKey = positions;
  const std::int32_t level = std::clamp(model.subdivisionLevel, kSubdivisionMinLevel, kSubdivisionMaxLevel);
  if (moved && !rebuilt && level > kSubdivisionMinLevel) {
    e.fullCurrent = false;
    if (e.draftSubdivider.Build(model, e.draft, level - 1)) {
      e.draftSubdivider.Evaluate(model, e.draft);
      ++evaluations_;
      e.draft.state = model.state;
      e.lastDraft = drewDraft_ = true;
      return &e.draft;
    }
  }
  if (moved || !e.fullCurrent) {
    e.subdivider.Evaluate(model, e.surface);
    e.fullCurrent = true;
    ++evaluations_;
  }
  e.surface.state = model.state;
  return &e.surface;
}

void SurfaceCache::Truncate(std::size_t count) {
  if (entries_.size() > count) entries_.resize(count);
}

CModel SubdividedCopy(const CModel& model) {
  Subdivider s;
  CModel out;
  if (!s.Build(model, out)) return model;
  s.Evaluate(model, out);
  CModel baked = model;
  baked.vertices = std::move(out.vertices);
  baked.faces = std::move(out.faces);
  baked.selectedEdges.clear();
  baked.creases.clear();
  baked.sharpVertices.clear();
  baked.seamEdges.clear();
  baked.subdivisionScheme = kSubdivisionNone;
  for (CVertex& v : baked.vertices) v.selected = 0, v.hidden = 0;
  baked.RebuildFaceRefs();
  baked.ComputeNormals(1);
  return baked;
}

float EdgeSharpness(const CModel& model, std::int32_t a, std::int32_t b) {
  const std::uint64_t key = EdgeKey(a, b);
  const auto it = std::lower_bound(model.creases.begin(), model.creases.end(), key,
                                   [](const EdgeCrease& c, std::uint64_t k) { return c.edge < k; });
  return it != model.creases.end() && it->edge == key ? it->sharpness : 0.0f;
}

void SetEdgeSharpness(CModel& model, std::int32_t a, std::int32_t b, float sharpness) {
  const std::uint64_t key = EdgeKey(a, b);
  const auto it = std::lower_bound(model.creases.begin(), model.creases.end(), key,
                                   [](const EdgeCrease& c, std::uint64_t k) { return c.edge < k; });
  const bool present = it != model.creases.end() && it->edge == key;
  sharpness = std::isfinite(sharpness) ? std::clamp(sharpness, 0.0f, kMaxSharpness) : 0.0f;
  if (sharpness > 0.0f) {
    if (present) it->sharpness = sharpness;
    else model.creases.insert(it, EdgeCrease{key, sharpness});
  } else if (present) {
    model.creases.erase(it);
  }
}

void SetVertexSharpness(CModel& model, std::int32_t v, float sharpness) {
  const auto it = std::lower_bound(model.sharpVertices.begin(), model.sharpVertices.end(), v,
                                   [](const VertexCorner& c, std::int32_t k) { return c.vertex < k; });
  const bool present = it != model.sharpVertices.end() && it->vertex == v;
  sharpness = std::isfinite(sharpness) ? std::clamp(sharpness, 0.0f, kMaxSharpness) : 0.0f;
  if (sharpness > 0.0f) {
    if (present) it->sharpness = sharpness;
    else model.sharpVertices.insert(it, VertexCorner{v, sharpness});
  } else if (present) {
    model.sharpVertices.erase(it);
  }
}

std::size_t CreaseSelected(CMeshwright& scene, float sharpness, bool vertices) {
  std::size_t set = 0;
  for (CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    if (vertices) {
      for (std::size_t v = 0; v < m.vertices.size(); ++v)
        if (m.vertices[v].selected && !m.vertices[v].hidden) SetVertexSharpness(m, static_cast<std::int32_t>(v), sharpness), ++set;
      continue;
    }
    std::vector<std::uint64_t> keys;
    if (scene.selectMode == kSelectEdges) {
      keys = m.selectedEdges;
    } else {
      const std::shared_ptr<const EdgeIndex> ix = scene.edgeIndexes.Get(m);
      for (std::size_t e = 0; e < ix->EdgeCount(); ++e) {
        const auto ei = static_cast<std::int32_t>(e);
        if (m.vertices[static_cast<std::size_t>(ix->Lower(ei))].selected &&
            m.vertices[static_cast<std::size_t>(ix->Upper(ei))].selected)
          keys.push_back(ix->KeyOf(ei));
      }
    }
    for (const std::uint64_t k : keys) {
      const auto a = static_cast<std::int32_t>(k >> 32), b = static_cast<std::int32_t>(k & 0xFFFFFFFFu);
      if (!m.HasVertex(a) || !m.HasVertex(b)) continue;
      SetEdgeSharpness(m, a, b, sharpness);
      ++set;
    }
  }
  return set;
}

void PruneCreases(CModel& model) {
  std::erase_if(model.creases, [&model](const EdgeCrease& c) {
    return !model.HasVertex(static_cast<std::int32_t>(c.edge >> 32)) ||
           !model.HasVertex(static_cast<std::int32_t>(c.edge & 0xFFFFFFFFu));
  });
  std::erase_if(model.sharpVertices, [&model](const VertexCorner& c) { return !model.HasVertex(c.vertex); });
}

}  // namespace mw
