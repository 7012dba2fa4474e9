// What the verbs of scene/grow_ops.h share: double-precision points, the corners of a region of
// faces grouped by the fan they belong to, and small face builders. The points and the face normal
// serve the UV operations (scene/uv_ops.cpp) too.
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "scene/edge_index.h"
#include "scene/model.h"

namespace mw::grow {

struct D3 {
  double x = 0, y = 0, z = 0;
  D3() = default;
  D3(double ax, double ay, double az) : x(ax), y(ay), z(az) {}
  explicit D3(const CVector& v) : x(v.x), y(v.y), z(v.z) {}
  friend D3 operator+(const D3& a, const D3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
  friend D3 operator-(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
  friend D3 operator*(const D3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
  double operator[](int axis) const { return axis == 0 ? x : axis == 1 ? y : z; }
};
inline double Dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline D3 CrossD(const D3& a, const D3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(const D3& a) { return std::sqrt(Dot(a, a)); }
// The unit vector along a, or zero for a zero (or not finite) a.
inline D3 Unit(const D3& a) {
  const double l = Length(a);
  return l > 0 && std::isfinite(l) ? a * (1.0 / l) : D3();
}
inline CVector ToVec(const D3& a) {
  return CVector(static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z));
}
inline D3 Pos(const CModel& m, std::int32_t i) { return D3(m.vertices[static_cast<std::size_t>(i)].position); }

// Newell's normal of the face in double: twice its area, along the side its corners turn about by
// the right hand (the unlit side).
D3 NewellNormal(const CModel& m, const CFace& f);
// The face's normal toward its lit side (where the corners run clockwise), not normalised.
CVector LitNormal(const CModel& m, const CFace& f);
D3 Centroid(const CModel& m, const CFace& f);

void AddFace(CModel& m, std::initializer_list<std::int32_t> corners, const std::vector<CUV>* uvs,
             std::int32_t material);
// Adds the face after dropping repeated neighbouring corners; nothing (false) when fewer than three
// different corners are left or a corner repeats further apart.
bool PushCleanFace(CModel& m, std::vector<std::int32_t>& idx, std::vector<CUV>& uvs, bool withUVs,
                   std::int32_t material);

// The corners of a set of faces, grouped: two corners at one vertex are in one group when their
// faces share an edge at that vertex inside the region (with `individual`, never). A group is a
// fan of the region round one vertex; a vertex where the region touches itself only at a corner
// has two. Sides are on the rim unless exactly two faces of the region have their edge.
struct RegionCorners {
  RegionCorners(const CModel& m, const EdgeIndex& ix, std::span<const std::int32_t> faces, bool individual);

  std::vector<std::uint8_t> inRegion;      // per face of the model
  std::vector<std::int32_t> list;          // the region's faces, each once
  std::vector<std::int32_t> base;          // per face: its first corner's number, or -1
  std::vector<std::int32_t> group;         // per corner
  std::vector<std::uint8_t> boundarySide;  // per corner: the side from it to the next is on the rim
  std::int32_t groups = 0;
  std::vector<std::uint8_t> groupBoundary;  // per group: touches the rim
  std::vector<std::int32_t> groupVertex;    // per group

  std::int32_t Corner(std::int32_t f, std::size_t k) const {
    return base[static_cast<std::size_t>(f)] + static_cast<std::int32_t>(k);
  }
  std::int32_t GroupOf(std::int32_t f, std::size_t k) const { return group[static_cast<std::size_t>(Corner(f, k))]; }
  bool BoundarySide(std::int32_t f, std::size_t k) const {
    return boundarySide[static_cast<std::size_t>(Corner(f, k))] != 0;
  }

 private:
  std::vector<std::int32_t> parent;
  std::int32_t Find(std::int32_t i);
  void Join(std::int32_t a, std::int32_t b);
};

// Per vertex: used by a face outside the region.
std::vector<std::uint8_t> UsedOutside(const CModel& m, const std::vector<std::uint8_t>& inRegion);
// The model's selection made exactly these vertices and (in face mode) faces.
void SelectOnly(CModel& m, const std::vector<std::int32_t>& vertices, const std::vector<std::int32_t>& faces);
// Removes those of `candidates` that no face uses, renumbering the faces' corners and those of the
// face under construction (a corner on a removed vertex goes); returns each old vertex's new
// number, -1 for the removed. Corners naming no vertex are left as they are.
std::vector<std::int32_t> DropUnused(CModel& m, std::span<const std::int32_t> candidates);
// Face references, normals and face selection after a verb.
void Finish(CModel& m, std::int32_t smooth);

}  // namespace mw::grow
