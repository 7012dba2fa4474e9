// One vertex of a model.
#pragma once

#include <cstdint>
#include <utility>

#include "scene/small_vector.h"
#include "scene/vector.h"

namespace mw {

using FaceRefList = SmallVector<std::int32_t, 4>;

class CVertex {
 public:
  CVector position;
  CVector normal;        // sum of the normals of the faces using this vertex (not normalised)
  FaceRefList faceRefs;  // indices of the faces using this vertex, one entry per corner
  std::uint8_t selected = 0;
  std::uint8_t inUse = 0;  // scratch mark of the deletion pass; never copied or archived
  std::uint8_t hidden = 0;  // put out of sight: neither drawn, picked nor selected

  CVertex() {}  // provided for the same reason as CFace's: no zeroing of the record before its fields
  CVertex(float x, float y, float z) : position(x, y, z) {}
  CVertex(const CVertex& o)
      : position(o.position), normal(o.normal), faceRefs(o.faceRefs), selected(o.selected), hidden(o.hidden) {}
  CVertex(CVertex&& o) noexcept
      : position(o.position), normal(o.normal), faceRefs(std::move(o.faceRefs)), selected(o.selected), hidden(o.hidden) {}
  CVertex& operator=(const CVertex& o) {
    position = o.position;
    normal = o.normal;
    faceRefs = o.faceRefs;
    selected = o.selected;
    hidden = o.hidden;
    return *this;
  }
  CVertex& operator=(CVertex&& o) noexcept {
    position = o.position;
    normal = o.normal;
    faceRefs = std::move(o.faceRefs);
    selected = o.selected;
    hidden = o.hidden;
    return *this;
  }

  float X() const { return position.x; }
  float Y() const { return position.y; }
  float Z() const { return position.z; }
  void SetX(float v) { position.x = v; }
  void SetY(float v) { position.y = v; }
  void SetZ(float v) { position.z = v; }
  bool IsSelected() const { return selected != 0; }
  void SetSelected(std::uint8_t v) { selected = v; }

  void MoveIfSelected(const CVector& delta) {
    if (selected) position += delta;
  }
};

}  // namespace mw
