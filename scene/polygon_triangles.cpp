#include "scene/polygon_triangles.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace mw {
namespace {

struct Point2 {
  double x, y;
};

// Twice the signed area of (a, b, c): positive when they turn counter-clockwise.
double Orient(const Point2& a, const Point2& b, const Point2& c) {
  return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// r inside or on the counter-clockwise triangle (a, b, c).
bool InTriangle(const Point2& a, const Point2& b, const Point2& c, const Point2& r) {
  return Orient(a, b, r) >= 0 && Orient(b, c, r) >= 0 && Orient(c, a, r) >= 0;
}

void NewellNormal(std::span<const CVector> corners, double n[3]) {
  n[0] = n[1] = n[2] = 0.0;
  const std::size_t count = corners.size();
  for (std::size_t i = 0; i < count; ++i) {
    const CVector& a = corners[i];
    const CVector& b = corners[i + 1 == count ? 0 : i + 1];
    n[0] += (static_cast<double>(a.y) - b.y) * (static_cast<double>(a.z) + b.z);
    n[1] += (static_cast<double>(a.z) - b.z) * (static_cast<double>(a.x) + b.x);
    n[2] += (static_cast<double>(a.x) - b.x) * (static_cast<double>(a.y) + b.y);
  }
}

// Triangles (first, a, b) round the remaining ring, starting at `first`.
void Fan(std::uint32_t first, std::size_t remaining, const std::vector<std::uint32_t>& next,
         std::vector<std::uint32_t>& out) {
  std::uint32_t a = next[first];
  for (std::size_t k = 0; k + 2 < remaining; ++k) {
    const std::uint32_t b = next[a];
    out.insert(out.end(), {first, a, b});
    a = b;
  }
}

// Point-in-triangle tests one face may spend before the rest of it is fanned: about ten
// milliseconds. Real faces need far fewer (a convex face none at all, an outline of a thousand
// corners with half of them reflex about half a million); a hostile face of a million corners
// would otherwise hold up the frame for hours.
constexpr std::size_t kTestBudget = std::size_t{1} << 22;

constexpr std::size_t kKeepCorners = 1 << 16;

struct Workspace {
  std::vector<std::uint32_t> next, prev, reflexList;
  std::vector<Point2> pts;
  std::vector<std::uint8_t> reflex, removed;
};

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
  h = (h ^ v) * 0xFF51AFD7ED558CCDull;
  return h ^ (h >> 33);
}

}  // namespace

CVector PolygonNormal(std::span<const CVector> corners) {
  double n[3];
  NewellNormal(corners, n);
  return CVector(static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2]));
}

void TriangulatePolygon(std::span<const CVector> corners, std::vector<std::uint32_t>& out) {
  const std::size_t n = corners.size();
  if (n < 3 || n > std::numeric_limits<std::uint32_t>::max()) return;
  out.reserve(out.size() + 3 * (n - 2));
  // Kept between calls: a document's first frame splits every face, mostly small ones, and the
  // allocations would cost as much as the splitting.
  thread_local Workspace ws;
  if (n <= kKeepCorners && ws.next.capacity() > kKeepCorners) ws = Workspace();  // after a huge face
  std::vector<std::uint32_t>& next = ws.next;
  std::vector<std::uint32_t>& prev = ws.prev;
  next.resize(n);
  prev.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    next[i] = static_cast<std::uint32_t>(i + 1 == n ? 0 : i + 1);
    prev[i] = static_cast<std::uint32_t>(i == 0 ? n - 1 : i - 1);
  }
  if (n == 3) {
    Fan(0, n, next, out);
    return;
  }

  // Drop the axis along which the face extends least; the other two keep its shape best.
  double normal[3];
  NewellNormal(corners, normal);
  int axis = 0;
  for (int k = 1; k < 3; ++k)
    if (std::fabs(normal[k]) > std::fabs(normal[axis])) axis = k;
  std::vector<Point2>& pts = ws.pts;
  pts.resize(n);
  double area2 = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const CVector& c = corners[i];
    pts[i] = axis == 0 ? Point2{c.y, c.z} : axis == 1 ? Point2{c.z, c.x} : Point2{c.x, c.y};
  }
  for (std::size_t i = 0; i < n; ++i) {
    const Point2& a = pts[i];
    const Point2& b = pts[next[i]];
    area2 += a.x * b.y - b.x * a.y;
  }
  if (!(area2 != 0.0) || !std::isfinite(area2)) {
    Fan(0, n, next, out);  // no area to cover, or coordinates that make every test meaningless
    return;
  }
  // Mirroring a clockwise outline makes it counter-clockwise; corner numbers and hence the
  // winding of the triangles stay those of the face.
  if (area2 < 0)
    for (Point2& p : pts) p.y = -p.y;

  // Corners that do not turn left (reflex, collinear, repeated) are the only ones that can lie
  // inside a candidate ear of a simple polygon, so only they are tested.
  std::vector<std::uint8_t>& reflex = ws.reflex;
  std::vector<std::uint8_t>& removed = ws.removed;
  std::vector<std::uint32_t>& reflexList = ws.reflexList;
  reflex.assign(n, 0);
  removed.assign(n, 0);
  reflexList.clear();
  auto classify = [&](std::uint32_t i) {
    const bool r = Orient(pts[prev[i]], pts[i], pts[next[i]]) <= 0;
    if (r && !reflex[i]) reflexList.push_back(i);
    reflex[i] = r;
  };
  for (std::uint32_t i = 0; i < n; ++i) classify(i);

  std::size_t remaining = n, sinceEar = 0, budget = kTestBudget;
  std::uint32_t cur = 0;
  while (remaining > 3) {
    const std::uint32_t p = prev[cur], q = next[cur];
    const double turn = Orient(pts[p], pts[cur], pts[q]);
    // A corner on the line through its neighbours encloses nothing: taking it off leaves the
    // outline's area as it was.
    bool ear = turn == 0.0;
    if (turn > 0.0) {
      ear = true;
      for (std::uint32_t r : reflexList) {
        if (budget == 0) break;
        --budget;
        // A corner elsewhere at the same place as one of the ear's still blocks it: the outline
        // passes through there again, perhaps into the ear.
        if (removed[r] || !reflex[r] || r == p || r == cur || r == q) continue;
        if (InTriangle(pts[p], pts[cur], pts[q], pts[r])) {
          ear = false;
          break;
        }
      }
      if (budget == 0) ear = false;
    }
    if (ear) {
      out.insert(out.end(), {p, cur, q});
      removed[cur] = 1;
      next[p] = q;
      prev[q] = p;
      --remaining;
      classify(p);
      classify(q);
      if (reflexList.size() > 2 * remaining + 16) {
        std::erase_if(reflexList, [&](std::uint32_t r) { return removed[r] || !reflex[r]; });
      }
      cur = q;
      sinceEar = 0;
      continue;
    }
    cur = q;
    // Once round the ring without an ear (a face crossing itself, or rounding) or out of time.
    if (++sinceEar >= remaining || budget == 0) {
      Fan(cur, remaining, next, out);
      return;
    }
  }
  out.insert(out.end(), {prev[cur], cur, next[cur]});
}

std::span<const std::uint32_t> PolygonTriangleCache::Triangles(const CModel& model, std::size_t face) {
  if (face >= model.faces.size()) return {};
  const CFace& f = model.faces[face];
  const std::size_t n = f.indices.size();
  if (n < 3) return {};
  std::uint64_t key = Mix(0x6A09E667F3BCC909ull, n);
  for (std::int32_t i : f.indices) {
    if (!model.HasVertex(i)) return {};
    const CVector& p = model.vertices[static_cast<std::size_t>(i)].position;
    std::uint32_t x, y, z;
    std::memcpy(&x, &p.x, 4);
    std::memcpy(&y, &p.y, 4);
    std::memcpy(&z, &p.z, 4);
    key = Mix(key, (static_cast<std::uint64_t>(static_cast<std::uint32_t>(i)) << 32) | x);
    key = Mix(key, (static_cast<std::uint64_t>(y) << 32) | z);
  }
  if (slotOf_.size() < model.faces.size()) slotOf_.resize(model.faces.size(), 0);
  std::uint32_t s = slotOf_[face];
  const std::size_t count = 3 * (n - 2);
  if (s != 0 && slots_[s - 1].corners == n && slots_[s - 1].key == key)
    return {triangles_.data() + slots_[s - 1].first, count};

  corners_.clear();
  for (std::int32_t i : f.indices) corners_.push_back(model.vertices[static_cast<std::size_t>(i)].position);
  scratch_.clear();
  TriangulatePolygon(corners_, scratch_);
  ++computed_;
  if (s == 0) {
    slots_.emplace_back();
    s = static_cast<std::uint32_t>(slots_.size());
    slotOf_[face] = s;
  }
  Slot& slot = slots_[s - 1];
  if (slot.corners != n) {
    if (slot.corners >= 3) unused_ += 3 * (static_cast<std::size_t>(slot.corners) - 2);
    slot.first = triangles_.size();
    slot.corners = static_cast<std::uint32_t>(n);
    triangles_.insert(triangles_.end(), scratch_.begin(), scratch_.end());
  } else {
    std::copy(scratch_.begin(), scratch_.end(), triangles_.begin() + static_cast<std::ptrdiff_t>(slot.first));
  }
  slot.key = key;

  // Faces that changed their corner count leave their old triangles behind; once those are the
  // larger part, pack the live ones together.
  if (unused_ > 4096 && unused_ > triangles_.size() / 2) {
    std::vector<std::uint32_t> packed;
    packed.reserve(triangles_.size() - unused_);
    for (Slot& other : slots_) {
      if (other.corners < 3) continue;
      const std::size_t first = packed.size();
      const auto begin = triangles_.begin() + static_cast<std::ptrdiff_t>(other.first);
      packed.insert(packed.end(), begin, begin + 3 * (static_cast<std::ptrdiff_t>(other.corners) - 2));
      other.first = first;
    }
    triangles_ = std::move(packed);
    unused_ = 0;
  }
  return {triangles_.data() + slot.first, count};
}

void PolygonTriangleCache::Clear() {
  slotOf_ = {};
  slots_ = {};
  triangles_ = {};
  unused_ = 0;
  computed_ = 0;
}

}  // namespace mw
