// A rubber-band selection followed through a drag.
//
// Every pointer motion of a select drag selects (or deselects) the vertices inside the rectangle
// from the press point to the pointer, and a vertex stays selected when the rectangle shrinks
// away from it again. Done over all vertices, every motion costs the whole scene. DragSelection
// gives the same flags by visiting only the vertices in the part of the rectangle that is new
// since the previous motion, found through the vertices' pixels sorted by column and by row (worked
// out at the drag's first motion), and by recomputing only the faces of the vertices whose flag
// changed.
//
// It relies on the scene changing only through it between two calls. It notices a different plane,
// centre, zoom or value, models added, removed, resized or locked; for anything else the owner calls
// Forget(). After either, the next Extend selects over the whole scene again, as the first does.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/meshwright.h"

namespace mw {

class DragSelection {
 public:
  // The effect of scene.SelectInRect(left, top, right, bottom, plane, value, cx, cy) on a scene
  // that saw the previous call; true when a vertex's flag changed (or the whole scene was gone
  // over, which counts as a change).
  bool Extend(CMeshwright& scene, int left, int top, int right, int bottom, Plane plane, std::uint8_t value, int cx,
              int cy);
  // The scene was changed by something else, or the drag ended: start over at the next call. The
  // sorted pixels and face lists (some 40 bytes a vertex) are let go.
  void Forget();

 private:
  struct ModelIndex {
    const void* vertices = nullptr;
    const void* faces = nullptr;
    std::size_t vertexCount = 0, faceCount = 0;
    bool editable = false;
    bool indexed = false;       // its vertices take part (editable, or deselecting)
    std::uint32_t first = 0;    // its first vertex in the flat numbering
    std::vector<std::uint32_t> faceStart;  // faces of vertex v: faceList[faceStart[v] .. faceStart[v + 1])
    std::vector<std::uint32_t> faceList;
  };

  bool Matches(const CMeshwright& scene, Plane plane, std::uint8_t value, int cx, int cy) const;
  bool SelectAll(CMeshwright& scene, int left, int top, int right, int bottom, Plane plane, std::uint8_t value, int cx,
                 int cy);
  void Build(const CMeshwright& scene, Plane plane, std::uint8_t value, int cx, int cy);
  // Sets the value on every vertex of `sorted` whose key lies in [lo, hi] and whose other
  // coordinate lies in [otherLo, otherHi]; returns how many changed.
  std::size_t Visit(CMeshwright& scene, const std::vector<std::uint64_t>& sorted, bool byColumn, std::int64_t lo,
                    std::int64_t hi, std::int64_t otherLo, std::int64_t otherHi);
  void Set(CMeshwright& scene, std::uint32_t flat, std::size_t& changed);

  bool valid_ = false;
  Plane plane_ = kPlaneTop;
  std::uint8_t value_ = 0;
  int cx_ = 0, cy_ = 0;
  float zoom_ = 0.0f;
  int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;  // the rectangle gone over so far, normalised
  std::vector<ModelIndex> models_;
  std::vector<std::int32_t> px_, py_;               // per flat vertex; meaningful for those sorted
  std::vector<std::uint64_t> byColumn_, byRow_;     // (key biased to unsigned) << 32 | flat vertex
};

}  // namespace mw
