#include "scene/primitives.h"

#include "scene/default_material.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <unordered_map>
#include <utility>
#include <vector>

#include "scene/default_material.h"
#include "scene/meshwright.h"

namespace mw {
namespace {

constexpr double kPi = std::numbers::pi;

struct Corner {
  std::int32_t index;
  double u, v;
};

// The shape as it is built: positions in double about the origin with the shape's axis along +y,
// faces counter-clockwise seen from their lit side (the usual way round, which is easier to get
// right); ToModel turns both into the program's terms.
class Builder {
 public:
  std::int32_t Add(double x, double y, double z) {
    positions_.push_back({x, y, z});
    return static_cast<std::int32_t>(positions_.size() - 1);
  }
  void Face(std::initializer_list<Corner> corners) {
    starts_.push_back(corners_.size());
    corners_.insert(corners_.end(), corners.begin(), corners.end());
  }
  void Face(const std::vector<Corner>& corners) {
    starts_.push_back(corners_.size());
    corners_.insert(corners_.end(), corners.begin(), corners.end());
  }
  std::array<double, 3>& Position(std::int32_t i) { return positions_[static_cast<std::size_t>(i)]; }
  void Scale(double factor) {
    for (auto& p : positions_)
      for (double& c : p) c *= factor;
  }

  // Turns +y to `axis` by a cyclic exchange of the coordinates (a rotation, so the winding keeps
  // its sense), moves the shape to `centre`, and reverses each face's corners (texture
  // coordinates with them): the program lights the side from which the corners run clockwise.
  CModel ToModel(int axis, const CVector& centre, std::int32_t material, const char* name) const {
    CModel m;
    m.name = name;
    const int shift = (axis - 1 + 3) % 3;  // y -> axis
    m.vertices.reserve(positions_.size());
    for (const auto& p : positions_) {
      double out[3];
      for (int i = 0; i < 3; ++i) out[(i + shift) % 3] = p[static_cast<std::size_t>(i)];
      m.vertices.emplace_back(static_cast<float>(out[0] + centre.x), static_cast<float>(out[1] + centre.y),
                              static_cast<float>(out[2] + centre.z));
    }
    m.faces.reserve(starts_.size());
    for (std::size_t i = 0; i < starts_.size(); ++i) {
      const std::size_t first = starts_[i], end = i + 1 < starts_.size() ? starts_[i + 1] : corners_.size();
      CFace f;
      f.material = material;
      f.indices.reserve(end - first);
      f.uvs.reserve(end - first);
      for (std::size_t c = end; c-- > first;) {
        f.indices.push_back(corners_[c].index);
        f.uvs.push_back(CUV(static_cast<float>(corners_[c].u), static_cast<float>(corners_[c].v)));
      }
      m.faces.push_back(std::move(f));
    }
    m.RebuildFaceRefs();
    return m;
  }

 private:
  std::vector<std::array<double, 3>> positions_;
  // Faces one after another, each from its start in corners_: one block for a million faces.
  std::vector<Corner> corners_;
  std::vector<std::size_t> starts_;
};

// i / n as a texture coordinate: exactly 0 and 1 at the ends.
double Frac(int i, int n) { return static_cast<double>(i) / static_cast<double>(n); }

// A point at angle `phi` round +y: phi 0 is +z and the angle grows toward +x, counter-clockwise
// seen from +y, so a texture runs left to right seen from outside.
double RoundX(double r, double phi) { return r * std::sin(phi); }
double RoundZ(double r, double phi) { return r * std::cos(phi); }
double Angle(int j, int n) { return 2.0 * kPi * Frac(j, n); }

// Grid in the x-z plane, lit from +y; u along x, v along z, as the Top pane shows them.
void BuildGrid(Builder& b, double width, double depth, int nx, int nz) {
  for (int k = 0; k <= nz; ++k)
    for (int i = 0; i <= nx; ++i) b.Add(width * (Frac(i, nx) - 0.5), 0.0, depth * (Frac(k, nz) - 0.5));
  auto at = [nx](int i, int k) { return static_cast<std::int32_t>(k * (nx + 1) + i); };
  for (int k = 0; k < nz; ++k)
    for (int i = 0; i < nx; ++i)
      b.Face({{at(i, k), Frac(i, nx), Frac(k, nz)},
              {at(i, k + 1), Frac(i, nx), Frac(k + 1, nz)},
              {at(i + 1, k + 1), Frac(i + 1, nx), Frac(k + 1, nz)},
              {at(i + 1, k), Frac(i + 1, nx), Frac(k, nz)}});
}

// The surface points of an n[0] x n[1] x n[2] lattice, each side a grid of its own texture square.
void BuildBox(Builder& b, const std::array<double, 3>& size, const std::array<int, 3>& n) {
  std::unordered_map<std::int64_t, std::int32_t> shared;
  auto point = [&](const std::array<int, 3>& l) {
    const std::int64_t key = (static_cast<std::int64_t>(l[0]) * (n[1] + 1) + l[1]) * (n[2] + 1) + l[2];
    auto [it, added] = shared.try_emplace(key, 0);
    if (added) {
      double p[3];
      for (int a = 0; a < 3; ++a)
        p[a] = size[static_cast<std::size_t>(a)] *
               (Frac(l[static_cast<std::size_t>(a)], n[static_cast<std::size_t>(a)]) - 0.5);
      it->second = b.Add(p[0], p[1], p[2]);
    }
    return it->second;
  };
  for (int a = 0; a < 3; ++a) {
    // The side's own axes p and q: e_p x e_q = e_a, so s-then-t corner order faces +a.
    const int p = (a + 1) % 3, q = (a + 2) % 3;
    const int np = n[static_cast<std::size_t>(p)], nq = n[static_cast<std::size_t>(q)];
    for (int side = 0; side < 2; ++side) {
      for (int t = 0; t < nq; ++t) {
        for (int s = 0; s < np; ++s) {
          std::vector<Corner> quad;
          const int ss[4] = {s, s + 1, s + 1, s}, tt[4] = {t, t, t + 1, t + 1};
          for (int c = 0; c < 4; ++c) {
            std::array<int, 3> l{};
            l[static_cast<std::size_t>(a)] = side ? n[static_cast<std::size_t>(a)] : 0;
            l[static_cast<std::size_t>(p)] = ss[c];
            l[static_cast<std::size_t>(q)] = tt[c];
            // Seen from outside u runs with s on the positive side and against it on the negative.
            const double u = side ? Frac(ss[c], np) : 1.0 - Frac(ss[c], np);
            quad.push_back({point(l), u, 1.0 - Frac(tt[c], nq)});
          }
          if (!side) std::reverse(quad.begin(), quad.end());
          b.Face(quad);
        }
      }
    }
  }
}

void BuildSphere(Builder& b, double r, int segments, int rings) {
  const std::int32_t top = b.Add(0.0, r, 0.0);
  for (int i = 1; i < rings; ++i) {
    const double theta = kPi * Frac(i, rings), y = r * std::cos(theta), rr = r * std::sin(theta);
    for (int j = 0; j < segments; ++j) b.Add(RoundX(rr, Angle(j, segments)), y, RoundZ(rr, Angle(j, segments)));
  }
  const std::int32_t bottom = b.Add(0.0, -r, 0.0);
  auto at = [segments](int i, int j) { return static_cast<std::int32_t>(1 + (i - 1) * segments + j % segments); };
  for (int j = 0; j < segments; ++j) {
    const double u0 = Frac(j, segments), u1 = Frac(j + 1, segments), um = (j + 0.5) / segments;
    b.Face({{at(1, j), u0, Frac(1, rings)}, {at(1, j + 1), u1, Frac(1, rings)}, {top, um, 0.0}});
    for (int i = 1; i + 1 < rings; ++i)
      b.Face({{at(i + 1, j), u0, Frac(i + 1, rings)},
              {at(i + 1, j + 1), u1, Frac(i + 1, rings)},
              {at(i, j + 1), u1, Frac(i, rings)},
              {at(i, j), u0, Frac(i, rings)}});
    b.Face({{bottom, um, 1.0},
            {at(rings - 1, j + 1), u1, Frac(rings - 1, rings)},
            {at(rings - 1, j), u0, Frac(rings - 1, rings)}});
  }
}

// An icosahedron with a vertex at each pole, its faces split in four `levels` times and pushed out
// to the sphere. Textures are laid on the icosahedron's net: five columns of four triangles, each
// shifted half a triangle from the last, 5.5 triangles wide, scaled evenly into the unit square.
void BuildIcosphere(Builder& b, double r, int levels) {
  const double ringY = 1.0 / std::sqrt(5.0), ringR = 2.0 / std::sqrt(5.0);
  const std::int32_t north = b.Add(0.0, 1.0, 0.0);
  std::int32_t upper[5], lower[5];
  for (int i = 0; i < 5; ++i) upper[i] = b.Add(RoundX(ringR, Angle(i, 5)), ringY, RoundZ(ringR, Angle(i, 5)));
  for (int i = 0; i < 5; ++i) {
    const double phi = 2.0 * kPi * (i + 0.5) / 5.0;
    lower[i] = b.Add(RoundX(ringR, phi), -ringY, RoundZ(ringR, phi));
  }
  const std::int32_t south = b.Add(0.0, -1.0, 0.0);
  const double h = std::sqrt(3.0) / 2.0, scale = 1.0 / 5.5;
  using Tri = std::array<Corner, 3>;
  std::vector<Tri> tris;
  auto net = [scale](std::int32_t index, double x, double y) { return Corner{index, x * scale, y * scale}; };
  for (int i = 0; i < 5; ++i) {
    const int k = (i + 1) % 5;
    tris.push_back({net(north, i + 0.5, 0), net(upper[i], i, h), net(upper[k], i + 1, h)});
    tris.push_back({net(upper[i], i, h), net(lower[i], i + 0.5, 2 * h), net(upper[k], i + 1, h)});
    tris.push_back({net(upper[k], i + 1, h), net(lower[i], i + 0.5, 2 * h), net(lower[k], i + 1.5, 2 * h)});
    tris.push_back({net(lower[i], i + 0.5, 2 * h), net(south, i + 1, 3 * h), net(lower[k], i + 1.5, 2 * h)});
  }
  for (int level = 0; level < levels; ++level) {
    std::unordered_map<std::uint64_t, std::int32_t> middles;
    middles.reserve(tris.size() * 2);
    auto middle = [&](const Corner& a, const Corner& c) {
      const auto [lo, hi] = std::minmax(a.index, c.index);
      const std::uint64_t key = (static_cast<std::uint64_t>(lo) << 32) | static_cast<std::uint32_t>(hi);
      auto [it, added] = middles.try_emplace(key, 0);
      if (added) {
        const auto pa = b.Position(a.index), pc = b.Position(c.index);
        double m[3] = {pa[0] + pc[0], pa[1] + pc[1], pa[2] + pc[2]};
        const double len = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
        it->second = b.Add(m[0] / len, m[1] / len, m[2] / len);
      }
      return Corner{it->second, (a.u + c.u) / 2.0, (a.v + c.v) / 2.0};
    };
    std::vector<Tri> finer;
    finer.reserve(tris.size() * 4);
    for (const Tri& t : tris) {
      const Corner ab = middle(t[0], t[1]), bc = middle(t[1], t[2]), ca = middle(t[2], t[0]);
      finer.push_back({t[0], ab, ca});
      finer.push_back({ab, t[1], bc});
      finer.push_back({ca, bc, t[2]});
      finer.push_back({ab, bc, ca});
    }
    tris = std::move(finer);
  }
  // Built on the unit sphere so the midpoints are pushed out exactly; sized at the end.
  b.Scale(r);
  for (const Tri& t : tris) b.Face({t[0], t[1], t[2]});
}

// A cylinder whose radius runs from `top` at +height/2 to `bottom` at -height/2; a top radius of 0
// makes the top row a single point (a cone). Sides on the upper half of the texture, each cap a
// circle of its own in the lower half.
void BuildTube(Builder& b, double bottom, double top, double height, int sides, int rows, CapFill caps) {
  const bool point = top == 0.0;
  std::vector<std::int32_t> rowStart;
  for (int i = 0; i <= rows; ++i) {
    const double y = height * (0.5 - Frac(i, rows)), r = top + (bottom - top) * Frac(i, rows);
    rowStart.push_back(static_cast<std::int32_t>(b.Add(RoundX(r, 0.0), y, RoundZ(r, 0.0))));
    if (i == 0 && point) continue;
    for (int j = 1; j < sides; ++j) b.Add(RoundX(r, Angle(j, sides)), y, RoundZ(r, Angle(j, sides)));
  }
  auto at = [&](int i, int j) {
    return i == 0 && point ? rowStart[0] : rowStart[static_cast<std::size_t>(i)] + j % sides;
  };
  for (int i = 0; i < rows; ++i) {
    const double v0 = 0.5 * Frac(i, rows), v1 = 0.5 * Frac(i + 1, rows);
    for (int j = 0; j < sides; ++j) {
      const double u0 = Frac(j, sides), u1 = Frac(j + 1, sides);
      if (i == 0 && point) b.Face({{at(1, j), u0, v1}, {at(1, j + 1), u1, v1}, {at(0, j), (j + 0.5) / sides, 0.0}});
      else b.Face({{at(i + 1, j), u0, v1}, {at(i + 1, j + 1), u1, v1}, {at(i, j + 1), u1, v0}, {at(i, j), u0, v0}});
    }
  }
  if (caps == CapFill::kNone) return;
  // Seen from outside each cap shows its texture circle unmirrored.
  auto cap = [&](int row, double cu, double sign, double y) {
    auto uv = [&](int j) {
      return std::pair<double, double>{cu + 0.25 * std::sin(Angle(j, sides)),
                                       0.75 + sign * 0.25 * std::cos(Angle(j, sides))};
    };
    // Counter-clockwise seen from +y is growing j; the bottom cap is seen from -y.
    std::vector<int> order;
    for (int j = 0; j < sides; ++j) order.push_back(sign > 0 ? j : sides - j);
    if (caps == CapFill::kNgon) {
      std::vector<Corner> ring;
      for (int j : order) ring.push_back({at(row, j), uv(j).first, uv(j).second});
      b.Face(ring);
      return;
    }
    const std::int32_t centre = b.Add(0.0, y, 0.0);
    for (int k = 0; k < sides; ++k) {
      const int j = order[static_cast<std::size_t>(k)], next = order[static_cast<std::size_t>((k + 1) % sides)];
      b.Face({{centre, cu, 0.75},
              {at(row, j), uv(j).first, uv(j).second},
              {at(row, next), uv(next).first, uv(next).second}});
    }
  };
  if (!point) cap(0, 0.25, 1.0, height / 2);
  cap(rows, 0.75, -1.0, -height / 2);
}

void BuildTorus(Builder& b, double major, double minor, int segments, int minorSegments) {
  // psi starts on top of the tube and turns outward, so v runs down the outside.
  for (int j = 0; j < segments; ++j) {
    const double phi = Angle(j, segments);
    for (int k = 0; k < minorSegments; ++k) {
      const double psi = kPi / 2 - Angle(k, minorSegments), rr = major + minor * std::cos(psi);
      b.Add(RoundX(rr, phi), minor * std::sin(psi), RoundZ(rr, phi));
    }
  }
  auto at = [&](int j, int k) { return static_cast<std::int32_t>((j % segments) * minorSegments + k % minorSegments); };
  for (int j = 0; j < segments; ++j)
    for (int k = 0; k < minorSegments; ++k) {
      const double u0 = Frac(j, segments), u1 = Frac(j + 1, segments);
      const double v0 = Frac(k, minorSegments), v1 = Frac(k + 1, minorSegments);
      b.Face({{at(j, k + 1), u0, v1}, {at(j + 1, k + 1), u1, v1}, {at(j + 1, k), u1, v0}, {at(j, k), u0, v0}});
    }
}

void BuildDisk(Builder& b, double r, int sides, int rings) {
  const std::int32_t centre = b.Add(0.0, 0.0, 0.0);
  for (int k = 1; k <= rings; ++k)
    for (int j = 0; j < sides; ++j) {
      const double rr = r * Frac(k, rings);
      b.Add(RoundX(rr, Angle(j, sides)), 0.0, RoundZ(rr, Angle(j, sides)));
    }
  auto at = [&](int k, int j) { return static_cast<std::int32_t>(1 + (k - 1) * sides + j % sides); };
  // The texture square is laid over the disk as the Top pane shows it.
  auto corner = [&](int k, int j) {
    const double f = 0.5 * Frac(k, rings);
    return Corner{at(k, j), 0.5 + f * std::sin(Angle(j, sides)), 0.5 + f * std::cos(Angle(j, sides))};
  };
  for (int j = 0; j < sides; ++j) {
    b.Face({{centre, 0.5, 0.5}, corner(1, j), corner(1, j + 1)});
    for (int k = 1; k < rings; ++k) b.Face({corner(k, j), corner(k + 1, j), corner(k + 1, j + 1), corner(k, j + 1)});
  }
}

// ---- Checking and reading settings ----

bool WholeIn(int value, int lo, int hi) { return value >= lo && value <= hi; }
bool Positive(double value) { return std::isfinite(value) && value > 0.0; }

struct Key {
  const char* name;
  unsigned kinds;  // bit per PrimitiveKind
  double PrimitiveParams::*real = nullptr;
  int PrimitiveParams::*whole = nullptr;
};

constexpr unsigned Bit(PrimitiveKind k) { return 1u << static_cast<unsigned>(k); }
constexpr unsigned kFlat = Bit(PrimitiveKind::kPlane) | Bit(PrimitiveKind::kGrid);
constexpr unsigned kTubes = Bit(PrimitiveKind::kCylinder) | Bit(PrimitiveKind::kCone);
constexpr unsigned kOriented = kFlat | kTubes | Bit(PrimitiveKind::kSphere) | Bit(PrimitiveKind::kIcosphere) |
                               Bit(PrimitiveKind::kTorus) | Bit(PrimitiveKind::kDisk);
constexpr unsigned kRound = Bit(PrimitiveKind::kSphere) | Bit(PrimitiveKind::kIcosphere) | kTubes |
                            Bit(PrimitiveKind::kTorus) | Bit(PrimitiveKind::kDisk);

const Key kKeys[] = {
    {"width", kFlat | Bit(PrimitiveKind::kBox), &PrimitiveParams::width},
    {"height", Bit(PrimitiveKind::kBox) | kTubes, &PrimitiveParams::height},
    {"depth", kFlat | Bit(PrimitiveKind::kBox), &PrimitiveParams::depth},
    {"radius", kRound, &PrimitiveParams::radius},
    {"topradius", Bit(PrimitiveKind::kCone), &PrimitiveParams::topRadius},
    {"minorradius", Bit(PrimitiveKind::kTorus), &PrimitiveParams::minorRadius},
    {"segments", Bit(PrimitiveKind::kSphere) | Bit(PrimitiveKind::kTorus), nullptr, &PrimitiveParams::segments},
    {"rings", Bit(PrimitiveKind::kSphere) | Bit(PrimitiveKind::kDisk), nullptr, &PrimitiveParams::rings},
    {"sides", kTubes | Bit(PrimitiveKind::kDisk), nullptr, &PrimitiveParams::sides},
    {"heightsegments", kTubes, nullptr, &PrimitiveParams::heightSegments},
    {"minorsegments", Bit(PrimitiveKind::kTorus), nullptr, &PrimitiveParams::minorSegments},
    {"xsegments", Bit(PrimitiveKind::kGrid) | Bit(PrimitiveKind::kBox), nullptr, &PrimitiveParams::xSegments},
    {"ysegments", Bit(PrimitiveKind::kGrid) | Bit(PrimitiveKind::kBox), nullptr, &PrimitiveParams::ySegments},
    {"zsegments", Bit(PrimitiveKind::kBox), nullptr, &PrimitiveParams::zSegments},
    {"subdivisions", Bit(PrimitiveKind::kIcosphere), nullptr, &PrimitiveParams::subdivisions},
};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

}  // namespace

const char* PrimitiveKeyword(PrimitiveKind kind) {
  static constexpr const char* kNames[kPrimitiveKindCount] = {"plane",    "grid", "box",   "sphere", "icosphere",
                                                              "cylinder", "cone", "torus", "disk"};
  const auto i = static_cast<std::size_t>(kind);
  return i < std::size(kNames) ? kNames[i] : "shape";
}

std::string CheckPrimitive(const PrimitiveParams& s) {
  const unsigned bit = Bit(s.kind);
  if (static_cast<int>(s.kind) >= kPrimitiveKindCount) return "unknown shape";
  if ((bit & kOriented) && !WholeIn(s.axis, 0, 2)) return "axis must be x, y or z";
  for (const Key& k : kKeys) {
    if (!(k.kinds & bit)) continue;
    const std::string name = k.name;
    if (k.real) {
      const double v = s.*k.real;
      if (name == "topradius" ? !(std::isfinite(v) && v >= 0.0) : !Positive(v))
        return name + (name == "topradius" ? " must be a number from 0 up" : " must be a number above 0");
      if (name == "minorradius" && !(v < s.radius)) return "minorradius must be below radius";
      continue;
    }
    int lo = 1, hi = kMaxSegments;
    if (name == "subdivisions") lo = 0, hi = kMaxSubdivisions;
    else if (name == "segments" || name == "sides" || name == "minorsegments") lo = kMinAround;
    else if (name == "rings" && s.kind == PrimitiveKind::kSphere) lo = kMinSphereRings;
    if (!WholeIn(s.*k.whole, lo, hi))
      return name + " must be a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
  }
  return {};
}

bool ParsePrimitive(std::string_view text, PrimitiveParams& params, CVector& centre, std::string& error) {
  params = PrimitiveParams();
  centre = CVector();
  const std::size_t colon = text.find(':');
  const std::string shape = Lower(text.substr(0, colon));
  int kind = 0;
  while (kind < kPrimitiveKindCount && shape != PrimitiveKeyword(static_cast<PrimitiveKind>(kind))) ++kind;
  if (kind == kPrimitiveKindCount) {
    error = "unknown shape " + Quoted(shape) + " (plane, grid, box, sphere, icosphere, cylinder, cone, torus, disk)";
    return false;
  }
  params.kind = static_cast<PrimitiveKind>(kind);
  const unsigned bit = Bit(params.kind);
  std::string_view rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
  while (colon != std::string_view::npos) {
    const std::size_t comma = rest.find(',');
    const std::string_view item = rest.substr(0, comma);
    const std::size_t eq = item.find('=');
    if (eq == std::string_view::npos) {
      error = "expected key=value, got " + Quoted(item);
      return false;
    }
    const std::string key = Lower(item.substr(0, eq)), value(item.substr(eq + 1));
    const std::string lowered = Lower(value);
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    const bool isNumber = !value.empty() && *end == '\0' && std::isfinite(number);
    bool known = true;
    if (key == "axis" && (bit & kOriented)) {
      if (lowered != "x" && lowered != "y" && lowered != "z") {
        error = "axis must be x, y or z, got " + Quoted(value);
        return false;
      }
      params.axis = lowered[0] - 'x';
    } else if (key == "caps" && (bit & kTubes)) {
      if (lowered == "ngon") params.caps = CapFill::kNgon;
      else if (lowered == "fan") params.caps = CapFill::kFan;
      else if (lowered == "none") params.caps = CapFill::kNone;
      else {
        error = "caps must be ngon, fan or none, got " + Quoted(value);
        return false;
      }
    } else if (key == "x" || key == "y" || key == "z") {
      if (!isNumber) {
        error = key + " must be a number, got " + Quoted(value);
        return false;
      }
      Component(centre, key[0] - 'x') = static_cast<float>(number);
    } else if (key == "size" && (bit & (kFlat | Bit(PrimitiveKind::kBox)))) {
      if (!isNumber) {
        error = "size must be a number, got " + Quoted(value);
        return false;
      }
      params.width = params.height = params.depth = number;
    } else {
      const Key* k = std::find_if(std::begin(kKeys), std::end(kKeys), [&](const Key& c) { return key == c.name; });
      known = k != std::end(kKeys) && (k->kinds & bit);
      if (known && k->real) {
        if (!isNumber) {
          error = key + " must be a number, got " + Quoted(value);
          return false;
        }
        params.*k->real = number;
      } else if (known) {
        // Whole numbers only: "2.5" or "1e3" is refused rather than silently cut.
        const long whole = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || whole < -1000000 || whole > 1000000) {
          error = key + " must be a whole number, got " + Quoted(value);
          return false;
        }
        params.*k->whole = static_cast<int>(whole);
      }
    }
    if (!known) {
      error = Quoted(key) + " is not a setting of " + PrimitiveKeyword(params.kind);
      return false;
    }
    if (comma == std::string_view::npos) break;
    rest = rest.substr(comma + 1);
  }
  error = CheckPrimitive(params);
  return error.empty();
}

CModel BuildPrimitive(const PrimitiveParams& s, const CVector& centre, std::int32_t material) {
  if (!CheckPrimitive(s).empty()) return CModel();
  Builder b;
  int axis = s.axis;
  switch (s.kind) {
    case PrimitiveKind::kPlane: BuildGrid(b, s.width, s.depth, 1, 1); break;
    case PrimitiveKind::kGrid: BuildGrid(b, s.width, s.depth, s.xSegments, s.ySegments); break;
    case PrimitiveKind::kBox:
      axis = 1;
      BuildBox(b, {s.width, s.height, s.depth}, {s.xSegments, s.ySegments, s.zSegments});
      break;
    case PrimitiveKind::kSphere: BuildSphere(b, s.radius, s.segments, s.rings); break;
    case PrimitiveKind::kIcosphere: BuildIcosphere(b, s.radius, s.subdivisions); break;
    case PrimitiveKind::kCylinder: BuildTube(b, s.radius, s.radius, s.height, s.sides, s.heightSegments, s.caps); break;
    case PrimitiveKind::kCone: BuildTube(b, s.radius, s.topRadius, s.height, s.sides, s.heightSegments, s.caps); break;
    case PrimitiveKind::kTorus: BuildTorus(b, s.radius, s.minorRadius, s.segments, s.minorSegments); break;
    case PrimitiveKind::kDisk: BuildDisk(b, s.radius, s.sides, s.rings); break;
  }
  return b.ToModel(axis, centre, material, PrimitiveKeyword(s.kind));
}

std::int32_t PrimitiveMaterial(CMeshwright& scene) {
  // A document without materials gets one, or the shape would not be drawn in the perspective pane.
  EnsureDefaultMaterial(scene);
  return scene.CurrentMaterialId();
}

bool AddPrimitive(CMeshwright& scene, const PrimitiveParams& params, const CVector& centre, bool newModel) {
  if (!CheckPrimitive(params).empty()) return false;
  if (!newModel &&
      !(scene.HasCurrentModel() && scene.models[static_cast<std::size_t>(scene.currentModel)].IsEditable()))
    return false;
  CModel piece = BuildPrimitive(params, centre, PrimitiveMaterial(scene));
  for (CModel& m : scene.models) {
    for (CVertex& v : m.vertices) v.selected = 0;
    for (CFace& f : m.faces) f.allSelected = 0;
  }
  for (CVertex& v : piece.vertices) v.selected = 1;
  for (CFace& f : piece.faces) f.allSelected = 1;
  CModel* target = nullptr;
  if (newModel) {
    scene.models.push_back(std::move(piece));
    target = &scene.models.back();
  } else {
    target = &scene.models[static_cast<std::size_t>(scene.currentModel)];
    AppendModel(*target, piece);
  }
  target->ComputeNormals(scene.smoothing);
  return true;
}

CVector CursorPoint(const CMeshwright& scene) {
  // The cursor's y offset counts downward, as every pane shows y.
  const Cursor3& c = scene.cursor;
  return CVector(UnitsFromPixels(c.x, scene.zoom), UnitsFromPixels(-static_cast<double>(c.y), scene.zoom),
                 UnitsFromPixels(c.z, scene.zoom));
}

CVector ViewCentrePoint(const PanOffsets& pan, float zoom) {
  // The scroll moves the model under a fixed pane centre: the point shown there is its opposite
  // (y again counted downward).
  return CVector(UnitsFromPixels(-static_cast<double>(pan.panX), zoom), UnitsFromPixels(pan.panY, zoom),
                 UnitsFromPixels(-static_cast<double>(pan.panZ), zoom));
}

double FittingPrimitiveSize(float zoom, int panePixels) {
  if (!(std::isfinite(zoom) && zoom >= 1.0f) || panePixels <= 0) return 100.0;
  const double want = panePixels * 0.5 * 100.0 / zoom;
  double power = std::pow(10.0, std::floor(std::log10(want)));
  if (power * 10.0 <= want * (1.0 + 1e-12)) power *= 10.0;  // log10 may fall just short of a whole power
  for (double step : {5.0, 2.0, 1.0})
    if (step * power <= want * (1.0 + 1e-12)) return step * power;
  return power;
}

}  // namespace mw
