#include "scene/model_diff.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "scene/polygon_triangles.h"
#include "scene/scene_delta.h"

namespace mw {

namespace {

// ---- packing ----

class Writer {
 public:
  explicit Writer(std::vector<std::uint8_t>& out) : out_(out) {}
  void Byte(std::uint8_t b) { out_.push_back(b); }
  void Varint(std::uint64_t v) {
    while (v >= 0x80) {
      out_.push_back(static_cast<std::uint8_t>(v | 0x80));
      v >>= 7;
    }
    out_.push_back(static_cast<std::uint8_t>(v));
  }
  void Signed(std::int64_t v) { Varint((static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63)); }
  void Raw(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    out_.insert(out_.end(), b, b + n);
  }

 private:
  std::vector<std::uint8_t>& out_;
};

// Reads what Writer wrote here; the bytes never come from outside the program.
class Reader {
 public:
  explicit Reader(const std::vector<std::uint8_t>& in) : p_(in.data()) {}
  std::uint8_t Byte() { return *p_++; }
  std::uint64_t Varint() {
    std::uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
      const std::uint8_t b = *p_++;
      v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
  }
  std::int64_t Signed() {
    const std::uint64_t v = Varint();
    return static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1);
  }
  void Raw(void* out, std::size_t n) {
    std::memcpy(out, p_, n);
    p_ += n;
  }

 private:
  const std::uint8_t* p_;
};

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  return h * 0xFF51AFD7ED558CCDull;
}

std::uint64_t BitsOf(const CVector& v) {
  std::uint32_t b[3];
  std::memcpy(b, &v, sizeof b);
  return (std::uint64_t{b[0]} << 32 | b[1]) ^ (std::uint64_t{b[2]} * 0xC2B2AE3D27D4EB4Full);
}

std::uint64_t BitsOf(const CUV& uv) {
  std::uint64_t b;
  static_assert(sizeof(CUV) == sizeof b);
  std::memcpy(&b, &uv, sizeof b);
  return b;
}

bool SameBits(const CVector& a, const CVector& b) { return std::memcmp(&a, &b, sizeof(CVector)) == 0; }

// Texture coordinates repeat across faces (a grid's four corners, an atlas's islands): each
// distinct pair is stored once and named by its number.
class UvNumbers {
 public:
  std::uint32_t Of(std::uint64_t key, std::vector<std::uint64_t>& palette) {
    if ((palette.size() + 1) * 2 > slots_.size()) Grow(palette);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = Mix(0, key) & mask;; i = (i + 1) & mask) {
      const std::uint32_t at = slots_[i];
      if (at == kFree) {
        slots_[i] = static_cast<std::uint32_t>(palette.size());
        palette.push_back(key);
        return slots_[i];
      }
      if (palette[at] == key) return at;
    }
  }

 private:
  static constexpr std::uint32_t kFree = UINT32_MAX;
  void Grow(const std::vector<std::uint64_t>& palette) {
    slots_.assign(std::max<std::size_t>(64, slots_.size() * 2), kFree);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t k = 0; k < palette.size(); ++k) {
      std::size_t i = Mix(0, palette[k]) & mask;
      while (slots_[i] != kFree) i = (i + 1) & mask;
      slots_[i] = static_cast<std::uint32_t>(k);
    }
  }
  std::vector<std::uint32_t> slots_;
};

// Whether CModel::ComputeNormals sets this face's normal in a model of `vertexCount` vertices.
bool NormalRecomputed(const CFace& f, std::size_t vertexCount) {
  const std::size_t n = f.indices.size();
  if (n <= 2) return false;
  const std::size_t checked = n > 4 ? n : 3;
  for (std::size_t k = 0; k < checked; ++k)
    if (f.indices[k] < 0 || static_cast<std::size_t>(f.indices[k]) >= vertexCount) return false;
  return true;
}

// Flag bytes beyond 0 and 1 (a file may say anything) are kept as they are.
constexpr std::uint8_t kFlagA = 1, kFlagB = 2, kFlagC = 4, kRawFlags = 8, kNormal = 16, kUVsPerCorner = 32,
                       kUVsOther = 64;

}  // namespace

struct ModelDiff::Side {
  std::size_t vertexCount = 0, faceCount = 0;
  // Elements only this state has, in their order.
  std::vector<std::uint8_t> vertices, faces;
  std::vector<std::uint64_t> uvs;  // the faces' texture coordinates by number
  bool faceNormalsRecomputed = true, vertexNormalsRecomputed = true, refsRebuilt = true;
  std::vector<FaceRefList> refs;  // every vertex's, when not rebuilt

  void Describe(const CModel& m) {
    vertexCount = m.vertices.size();
    faceCount = m.faces.size();
    faceNormalsRecomputed = FaceNormalsCurrent(m);
    vertexNormalsRecomputed = VertexNormalsCurrent(m);
    refsRebuilt = FaceRefsCurrent(m);
    if (!refsRebuilt) {
      refs.reserve(m.vertices.size());
      for (const CVertex& v : m.vertices) refs.push_back(v.faceRefs);
    }
  }

  void PutVertex(Writer& w, const CVertex& v) const {
    w.Raw(&v.position, sizeof(CVector));
    const bool raw = v.selected > 1 || v.hidden > 1;
    w.Byte(static_cast<std::uint8_t>((v.selected ? kFlagA : 0) | (v.hidden ? kFlagB : 0) | (raw ? kRawFlags : 0)));
    if (raw) w.Byte(v.selected), w.Byte(v.hidden);
    if (!vertexNormalsRecomputed) w.Raw(&v.normal, sizeof(CVector));
  }
  void GetVertex(Reader& r, CVertex& v) const {
    r.Raw(&v.position, sizeof(CVector));
    const std::uint8_t flags = r.Byte();
    v.selected = flags & kFlagA ? 1 : 0;
    v.hidden = flags & kFlagB ? 1 : 0;
    if (flags & kRawFlags) v.selected = r.Byte(), v.hidden = r.Byte();
    v.inUse = 0;
    v.normal = CVector();
    if (!vertexNormalsRecomputed) r.Raw(&v.normal, sizeof(CVector));
  }

  // Material and corners as differences from the face before: neighbouring faces share both.
  struct FaceContext {
    std::int64_t material = 0, index = 0;
  };
  void PutFace(Writer& w, const CFace& f, FaceContext& c, UvNumbers& numbers) {
    const std::size_t n = f.indices.size(), nUV = f.uvs.size();
    const bool raw = f.allSelected > 1 || f.selected > 1 || f.hidden > 1;
    const bool normal = !faceNormalsRecomputed || !NormalRecomputed(f, vertexCount);
    std::uint8_t flags = static_cast<std::uint8_t>((f.allSelected ? kFlagA : 0) | (f.selected ? kFlagB : 0) |
                                                   (f.hidden ? kFlagC : 0) | (raw ? kRawFlags : 0) |
                                                   (normal ? kNormal : 0));
    if (nUV > 0) flags |= nUV == n ? kUVsPerCorner : kUVsOther;
    w.Signed(f.material - c.material);
    c.material = f.material;
    w.Varint(n);
    w.Byte(flags);
    if (raw) w.Byte(f.allSelected), w.Byte(f.selected), w.Byte(f.hidden);
    for (std::int32_t i : f.indices) {
      w.Signed(i - c.index);
      c.index = i;
    }
    if (flags & kUVsOther) w.Varint(nUV);
    for (const CUV& uv : f.uvs) w.Varint(numbers.Of(BitsOf(uv), uvs));
    if (normal) w.Raw(&f.normal, sizeof(CVector));
  }
  void GetFace(Reader& r, CFace& f, FaceContext& c) const {
    c.material += r.Signed();
    f.material = static_cast<std::int32_t>(c.material);
    const auto n = static_cast<std::size_t>(r.Varint());
    const std::uint8_t flags = r.Byte();
    f.allSelected = flags & kFlagA ? 1 : 0;
    f.selected = flags & kFlagB ? 1 : 0;
    f.hidden = flags & kFlagC ? 1 : 0;
    if (flags & kRawFlags) f.allSelected = r.Byte(), f.selected = r.Byte(), f.hidden = r.Byte();
    f.indices.clear();
    f.indices.reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
      c.index += r.Signed();
      f.indices.push_back(static_cast<std::int32_t>(c.index));
    }
    std::size_t nUV = flags & kUVsPerCorner ? n : 0;
    if (flags & kUVsOther) nUV = static_cast<std::size_t>(r.Varint());
    f.uvs.clear();
    f.uvs.reserve(nUV);
    for (std::size_t k = 0; k < nUV; ++k) {
      const std::uint64_t bits = uvs[static_cast<std::size_t>(r.Varint())];
      float uv[2];
      std::memcpy(uv, &bits, sizeof uv);
      f.uvs.push_back(CUV(uv[0], uv[1]));
    }
    f.normal = CVector();
    if (flags & kNormal) r.Raw(&f.normal, sizeof(CVector));
  }

  std::size_t Bytes() const {
    std::size_t n = sizeof(*this) + vertices.capacity() + faces.capacity() + uvs.capacity() * sizeof(std::uint64_t);
    n += refs.capacity() * sizeof(FaceRefList);
    for (const FaceRefList& r : refs)
      if (r.capacity() > FaceRefList::kInline) n += r.capacity() * sizeof(std::int32_t);
    return n;
  }
};

namespace {

// Matches the elements of two lists in order, by value: equal neighbours are taken pairwise; at
// a difference, the new element is looked up among the old ones not yet passed (a table by hash,
// built at the first difference), and the old ones skipped to reach it count as removed; a new
// element found nowhere counts as added. Returns (shared, removed, added) triples.
// When the new list is the old one with elements taken out (a delete), each difference is passed
// by stepping over old elements in order, every one of them removed: linear, in memory order.
// Gives up (empty) as soon as more would be skipped than the lists' difference allows.
template <class Eq>
std::vector<std::uint32_t> AlignRemovalsOnly(std::size_t oldCount, std::size_t newCount, Eq eq) {
  if (newCount > oldCount) return {};
  std::size_t budget = oldCount - newCount;
  std::vector<std::uint32_t> runs;
  std::uint32_t shared = 0, removed = 0;
  std::size_t i = 0;
  for (std::size_t j = 0; j < newCount; ++j, ++i) {
    while (!eq(i, j)) {
      if (budget == 0) return {};
      --budget, ++removed, ++i;
    }
    if (removed) {
      runs.insert(runs.end(), {shared, removed, 0});
      shared = removed = 0;
    }
    ++shared;
  }
  runs.insert(runs.end(), {shared, static_cast<std::uint32_t>(removed + oldCount - i), 0});
  return runs;
}

template <class Eq, class OldHash, class NewHash>
std::vector<std::uint32_t> Align(std::size_t oldCount, std::size_t newCount, Eq eq, OldHash oldHash, NewHash newHash) {
  if (std::vector<std::uint32_t> runs = AlignRemovalsOnly(oldCount, newCount, eq); !runs.empty()) return runs;
  struct Slot {
    std::uint64_t hash = 0;
    std::int32_t head = -1;
    bool used = false;
  };
  std::vector<Slot> slots;
  std::vector<std::int32_t> next;
  std::size_t mask = 0;
  auto build = [&]() {
    slots.assign(std::bit_ceil(std::max<std::size_t>(16, oldCount * 2)), Slot{});
    mask = slots.size() - 1;
    next.assign(oldCount, -1);
    for (std::size_t k = oldCount; k-- > 0;) {
      std::uint64_t h;
      if (!oldHash(k, h)) continue;
      std::size_t i = h & mask;
      while (slots[i].used && slots[i].hash != h) i = (i + 1) & mask;
      slots[i].used = true;
      slots[i].hash = h;
      next[k] = slots[i].head;
      slots[i].head = static_cast<std::int32_t>(k);
    }
  };
  // The first old element at `from` or later equal to new element j, or -1.
  auto find = [&](std::size_t from, std::size_t j) -> std::int64_t {
    const std::uint64_t h = newHash(j);
    std::size_t i = h & mask;
    while (slots[i].used && slots[i].hash != h) i = (i + 1) & mask;
    if (!slots[i].used) return -1;
    // Every later look-up starts at `from` or after: the chain's passed entries can go.
    std::int32_t& head = slots[i].head;
    while (head >= 0 && static_cast<std::size_t>(head) < from) head = next[static_cast<std::size_t>(head)];
    for (std::int32_t k = head; k >= 0; k = next[static_cast<std::size_t>(k)])
      if (eq(static_cast<std::size_t>(k), j)) return k;
    return -1;
  };

  std::vector<std::uint32_t> runs;
  std::uint32_t shared = 0, removed = 0, added = 0;
  auto close = [&]() {
    runs.insert(runs.end(), {shared, removed, added});
    shared = removed = added = 0;
  };
  std::size_t i = 0, j = 0;
  while (j < newCount) {
    if (i < oldCount && eq(i, j)) {
      if (removed || added) close();
      ++shared, ++i, ++j;
      continue;
    }
    std::int64_t k = -1;
    if (i < oldCount) {
      if (slots.empty()) build();
      k = find(i, j);
    }
    if (k >= 0) {
      removed += static_cast<std::uint32_t>(static_cast<std::size_t>(k) - i);
      i = static_cast<std::size_t>(k);
    } else {
      ++added, ++j;
    }
  }
  removed += static_cast<std::uint32_t>(oldCount - i);
  if (shared || removed || added || runs.empty()) close();
  return runs;
}

bool SameRefs(const CModel& a, const CModel& b) {
  for (std::size_t i = 0; i < a.vertices.size(); ++i) {
    const FaceRefList &x = a.vertices[i].faceRefs, &y = b.vertices[i].faceRefs;
    if (x.size() != y.size() || !std::equal(x.begin(), x.end(), y.begin())) return false;
  }
  return true;
}

bool SameFields(const CModel& a, const CModel& b) {
  return a.name == b.name && a.reservedInt == b.reservedInt && a.secondName == b.secondName &&
         a.mirrorAxis == b.mirrorAxis && std::memcmp(&a.facet, &b.facet, sizeof(float)) == 0 && a.state == b.state &&
         a.selectedEdges == b.selectedEdges && a.subdivisionScheme == b.subdivisionScheme &&
         a.subdivisionLevel == b.subdivisionLevel && a.creases == b.creases && a.sharpVertices == b.sharpVertices &&
         a.symmetryAxis == b.symmetryAxis && a.counterparts == b.counterparts && a.seamEdges == b.seamEdges;
}

std::size_t FieldBytes(const CModel& m) {
  return sizeof(CModel) + m.name.capacity() + m.secondName.capacity() +
         m.selectedEdges.capacity() * sizeof(std::uint64_t) + m.creases.capacity() * sizeof(EdgeCrease) +
         m.sharpVertices.capacity() * sizeof(VertexCorner) + m.counterparts.capacity() * sizeof(std::int32_t) +
         m.seamEdges.capacity() * sizeof(std::uint64_t);
}

}  // namespace

void SwapModelFields(CModel& a, CModel& b) {
  using std::swap;
  swap(a.name, b.name);
  swap(a.reservedInt, b.reservedInt);
  swap(a.secondName, b.secondName);
  swap(a.mirrorAxis, b.mirrorAxis);
  swap(a.facet, b.facet);
  swap(a.state, b.state);
  swap(a.selectedEdges, b.selectedEdges);
  swap(a.subdivisionScheme, b.subdivisionScheme);
  swap(a.subdivisionLevel, b.subdivisionLevel);
  swap(a.creases, b.creases);
  swap(a.sharpVertices, b.sharpVertices);
  swap(a.symmetryAxis, b.symmetryAxis);
  swap(a.counterparts, b.counterparts);
  swap(a.seamEdges, b.seamEdges);
}

ModelDiff::ModelDiff() = default;
ModelDiff::ModelDiff(ModelDiff&&) noexcept = default;
ModelDiff& ModelDiff::operator=(ModelDiff&&) noexcept = default;
ModelDiff::~ModelDiff() = default;

ModelDiff ModelDiff::Between(CModel&& before, const CModel& after) {
  ModelDiff d;
  d.before_ = std::make_unique<Side>();
  d.after_ = std::make_unique<Side>();
  Side &b = *d.before_, &a = *d.after_;
  const std::vector<CVertex>&ov = before.vertices, &nv = after.vertices;
  const std::vector<CFace>&of = before.faces, &nf = after.faces;

  auto vertexEq = [&](std::size_t i, std::size_t j) {
    const CVertex &x = ov[i], &y = nv[j];
    return SameBits(x.position, y.position) && SameBits(x.normal, y.normal) && x.selected == y.selected &&
           x.hidden == y.hidden;
  };
  auto vertexHash = [](const CVertex& v) {
    return Mix(Mix(BitsOf(v.position), BitsOf(v.normal)), std::uint64_t{v.selected} << 8 | v.hidden);
  };
  d.vertexRuns_ = Align(
      ov.size(), nv.size(), vertexEq,
      [&](std::size_t k, std::uint64_t& h) {
        h = vertexHash(ov[k]);
        return true;
      },
      [&](std::size_t j) { return vertexHash(nv[j]); });

  // Old vertex -> new, for the shared ones.
  std::vector<std::int32_t> renumber(ov.size(), -1);
  {
    std::size_t i = 0, j = 0;
    for (std::size_t r = 0; r < d.vertexRuns_.size(); r += 3) {
      for (std::uint32_t k = 0; k < d.vertexRuns_[r]; ++k) renumber[i++] = static_cast<std::int32_t>(j++);
      i += d.vertexRuns_[r + 1];
      j += d.vertexRuns_[r + 2];
    }
  }
  auto mapped = [&](std::int32_t index) {
    return index >= 0 && static_cast<std::size_t>(index) < renumber.size() ? renumber[static_cast<std::size_t>(index)]
                                                                           : -1;
  };
  auto faceEq = [&](std::size_t i, std::size_t j) {
    const CFace &x = of[i], &y = nf[j];
    if (x.material != y.material || x.indices.size() != y.indices.size() || x.uvs.size() != y.uvs.size() ||
        x.allSelected != y.allSelected || x.selected != y.selected || x.hidden != y.hidden ||
        !SameBits(x.normal, y.normal))
      return false;
    for (std::size_t k = 0; k < x.indices.size(); ++k) {
      const std::int32_t to = mapped(x.indices[k]);
      if (to < 0 || to != y.indices[k]) return false;
    }
    return x.uvs.empty() || std::memcmp(x.uvs.data(), y.uvs.data(), x.uvs.size() * sizeof(CUV)) == 0;
  };
  auto faceHash = [](const CFace& f, auto&& index) {
    std::uint64_t h = Mix(Mix(static_cast<std::uint32_t>(f.material), BitsOf(f.normal)),
                          std::uint64_t{f.allSelected} | std::uint64_t{f.selected} << 8 | std::uint64_t{f.hidden} << 16);
    for (std::int32_t i : f.indices) h = Mix(h, static_cast<std::uint32_t>(index(i)));
    for (const CUV& uv : f.uvs) h = Mix(h, BitsOf(uv));
    return Mix(h, f.indices.size() << 32 | f.uvs.size());
  };
  d.faceRuns_ = Align(
      of.size(), nf.size(), faceEq,
      [&](std::size_t k, std::uint64_t& h) {
        for (std::int32_t i : of[k].indices)
          if (mapped(i) < 0) return false;
        h = faceHash(of[k], mapped);
        return true;
      },
      [&](std::size_t j) { return faceHash(nf[j], [](std::int32_t i) { return i; }); });
  renumber = {};

  b.Describe(before);
  a.Describe(after);
  // Each side's own elements, packed.
  auto pack = [](Side& side, const std::vector<std::uint32_t>& vRuns, const std::vector<std::uint32_t>& fRuns,
                 const std::vector<CVertex>& vs, const std::vector<CFace>& fs, std::size_t own) {
    Writer vw(side.vertices), fw(side.faces);
    std::size_t at = 0;
    for (std::size_t r = 0; r < vRuns.size(); r += 3) {
      at += vRuns[r];
      for (std::uint32_t k = 0; k < vRuns[r + own]; ++k) side.PutVertex(vw, vs[at++]);
    }
    Side::FaceContext context;
    UvNumbers numbers;
    at = 0;
    for (std::size_t r = 0; r < fRuns.size(); r += 3) {
      at += fRuns[r];
      for (std::uint32_t k = 0; k < fRuns[r + own]; ++k) side.PutFace(fw, fs[at++], context, numbers);
    }
    side.vertices.shrink_to_fit();
    side.faces.shrink_to_fit();
    side.uvs.shrink_to_fit();
  };
  pack(b, d.vertexRuns_, d.faceRuns_, ov, of, 1);
  pack(a, d.vertexRuns_, d.faceRuns_, nv, nf, 2);

  const bool elements = !(d.vertexRuns_.size() == 3 && d.vertexRuns_[1] == 0 && d.vertexRuns_[2] == 0 &&
                          d.faceRuns_.size() == 3 && d.faceRuns_[1] == 0 && d.faceRuns_[2] == 0);
  const bool fields = !SameFields(before, after);
  d.changed_ = elements || fields || !SameRefs(before, after);
  if (fields) {
    d.fields_ = std::make_unique<CModel>();
    SwapModelFields(*d.fields_, before);
  }
  before.vertices = {};
  before.faces = {};
  if (!d.changed_) d.before_->refs = {}, d.after_->refs = {};
  return d;
}

void ModelDiff::Apply(CModel& m, const Side& target, bool toBefore) {
  const std::size_t own = toBefore ? 1 : 2, other = toBefore ? 2 : 1;
  // Vertices: the shared ones move over in order, the target's own are unpacked between them.
  std::vector<CVertex> vertices;
  vertices.reserve(target.vertexCount);
  std::vector<std::int32_t> renumber(m.vertices.size(), -1);
  // Shared elements come with the normals they had (they were matched with them); those of the
  // unpacked ones are recomputed where they were not stored.
  std::vector<std::uint32_t> unpackedVertices, unpackedFaces;
  {
    Reader r(target.vertices);
    std::size_t at = 0;
    for (std::size_t k = 0; k < vertexRuns_.size(); k += 3) {
      for (std::uint32_t n = 0; n < vertexRuns_[k]; ++n, ++at) {
        renumber[at] = static_cast<std::int32_t>(vertices.size());
        vertices.push_back(std::move(m.vertices[at]));
      }
      for (std::uint32_t n = 0; n < vertexRuns_[k + own]; ++n) {
        if (target.vertexNormalsRecomputed) unpackedVertices.push_back(static_cast<std::uint32_t>(vertices.size()));
        target.GetVertex(r, vertices.emplace_back());
      }
      at += vertexRuns_[k + other];
    }
  }
  std::vector<CFace> faces;
  faces.reserve(target.faceCount);
  {
    Reader r(target.faces);
    Side::FaceContext context;
    std::size_t at = 0;
    for (std::size_t k = 0; k < faceRuns_.size(); k += 3) {
      for (std::uint32_t n = 0; n < faceRuns_[k]; ++n, ++at) {
        CFace& f = faces.emplace_back(std::move(m.faces[at]));
        // Shared faces name shared vertices only (that is how they were matched).
        for (std::int32_t& i : f.indices) i = renumber[static_cast<std::size_t>(i)];
      }
      for (std::uint32_t n = 0; n < faceRuns_[k + own]; ++n) {
        if (target.faceNormalsRecomputed) unpackedFaces.push_back(static_cast<std::uint32_t>(faces.size()));
        target.GetFace(r, faces.emplace_back(), context);
      }
      at += faceRuns_[k + other];
    }
  }
  m.vertices = std::move(vertices);
  m.faces = std::move(faces);
  if (target.refsRebuilt) {
    m.RebuildFaceRefs();
  } else {
    for (std::size_t i = 0; i < m.vertices.size() && i < target.refs.size(); ++i) m.vertices[i].faceRefs = target.refs[i];
  }
  // As CModel::ComputeNormals computes them, whatever the scene's smoothing is now.
  std::vector<CVector> outline;
  for (std::uint32_t i : unpackedFaces) {
    CFace& f = m.faces[i];
    if (!NormalRecomputed(f, m.vertices.size())) continue;
    if (f.indices.size() > 4) {
      outline.clear();
      for (std::int32_t c : f.indices) outline.push_back(m.vertices[static_cast<std::size_t>(c)].position);
      f.normal = PolygonNormal(outline);
      continue;
    }
    const CVector& p0 = m.vertices[static_cast<std::size_t>(f.indices[0])].position;
    f.normal = Cross(p0 - m.vertices[static_cast<std::size_t>(f.indices[1])].position,
                     p0 - m.vertices[static_cast<std::size_t>(f.indices[2])].position);
  }
  const std::size_t faceCount = m.faces.size();
  for (std::uint32_t i : unpackedVertices) {
    CVertex& v = m.vertices[i];
    CVector sum;
    for (std::int32_t ref : v.faceRefs)
      if (ref >= 0 && static_cast<std::size_t>(ref) < faceCount) sum += m.faces[static_cast<std::size_t>(ref)].normal;
    v.normal = sum;
  }
  if (fields_) SwapModelFields(m, *fields_);
}

void ModelDiff::Undo(CModel& m) {
  if (changed_) Apply(m, *before_, true);
}

void ModelDiff::Redo(CModel& m) {
  if (changed_) Apply(m, *after_, false);
}

std::size_t ModelDiff::Bytes() const {
  std::size_t n = sizeof(*this) + (vertexRuns_.capacity() + faceRuns_.capacity()) * sizeof(std::uint32_t);
  if (before_) n += before_->Bytes();
  if (after_) n += after_->Bytes();
  if (fields_) n += FieldBytes(*fields_);
  return n;
}

std::size_t ModelDiff::StoredElements() const {
  std::size_t n = 0;
  for (std::size_t k = 0; k < vertexRuns_.size(); k += 3) n += vertexRuns_[k + 1] + vertexRuns_[k + 2];
  for (std::size_t k = 0; k < faceRuns_.size(); k += 3) n += faceRuns_[k + 1] + faceRuns_[k + 2];
  return n;
}

}  // namespace mw
