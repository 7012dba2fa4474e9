// The edges of one model: every pair of vertices joined by a side of a face, once, with the faces
// that have it. Selection modes, loops and rings and the modelling verbs all walk this one index.
//
// Built from the faces in time linear in the corners (a counting sort of the sides by their lower
// vertex), about 34 bytes an edge for a quadrilateral mesh. Sides whose ends name no vertex
// (damaged input) or the same vertex twice belong to no edge; a face of two corners (a line) has
// one edge, a face of one corner none. Edges are numbered in the order of (lower vertex, upper
// vertex), so an edge is found by a binary search among the edges of its lower vertex.
//
// The index describes the faces as they were when it was built; EdgeIndexCache hands out the index
// of a model's present faces, rebuilding it only when the vertex count or the corners changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "scene/model.h"

namespace mw {

// The key of the edge between vertices a and b, whichever way round.
inline std::uint64_t EdgeKey(std::int32_t a, std::int32_t b) {
  const auto lo = static_cast<std::uint32_t>(a < b ? a : b), hi = static_cast<std::uint32_t>(a < b ? b : a);
  return static_cast<std::uint64_t>(lo) << 32 | hi;
}

// What the index depends on: the vertex count and every face's corners, in order.
std::uint64_t TopologyKey(const CModel& model);

class EdgeIndex {
 public:
  static constexpr std::int32_t kNone = -1;

  EdgeIndex() = default;
  explicit EdgeIndex(const CModel& model) : EdgeIndex(model, TopologyKey(model)) {}
  // With the model's TopologyKey already worked out (the cache has it).
  EdgeIndex(const CModel& model, std::uint64_t key);

  std::size_t EdgeCount() const { return ends_.size(); }
  std::size_t FaceCount() const { return cornerStart_.empty() ? 0 : cornerStart_.size() - 1; }
  std::size_t VertexCount() const { return valence_.size(); }
  std::uint64_t Key() const { return key_; }

  // The two vertices of edge e, the lower first.
  std::int32_t Lower(std::int32_t e) const { return ends_[static_cast<std::size_t>(e)].first; }
  std::int32_t Upper(std::int32_t e) const { return ends_[static_cast<std::size_t>(e)].second; }
  std::uint64_t KeyOf(std::int32_t e) const { return EdgeKey(Lower(e), Upper(e)); }
  // The faces that have edge e as a side (a face with the side twice is listed twice).
  const std::int32_t* FacesBegin(std::int32_t e) const { return faces_.data() + faceStart_[static_cast<std::size_t>(e)]; }
  const std::int32_t* FacesEnd(std::int32_t e) const { return faces_.data() + faceStart_[static_cast<std::size_t>(e) + 1]; }
  std::size_t FaceCountOf(std::int32_t e) const {
    return faceStart_[static_cast<std::size_t>(e) + 1] - faceStart_[static_cast<std::size_t>(e)];
  }
  bool IsBorder(std::int32_t e) const { return FaceCountOf(e) == 1; }
  // The edge of the side from corner k of face f to the next corner, or kNone.
  std::int32_t SideEdge(std::int32_t f, std::size_t k) const {
    return sides_[cornerStart_[static_cast<std::size_t>(f)] + k];
  }
  std::size_t SideCount(std::int32_t f) const {
    return cornerStart_[static_cast<std::size_t>(f) + 1] - cornerStart_[static_cast<std::size_t>(f)];
  }
  // The corner of face f whose side is edge e, or -1.
  int SideOf(std::int32_t f, std::int32_t e) const;
  // The edge between a and b, or kNone.
  std::int32_t Find(std::int32_t a, std::int32_t b) const;
  // How many edges meet at vertex v.
  std::uint32_t Valence(std::int32_t v) const { return valence_[static_cast<std::size_t>(v)]; }
  // Edges whose lower vertex is v: [LowerBegin(v), LowerBegin(v + 1)).
  std::int32_t LowerBegin(std::int32_t v) const { return static_cast<std::int32_t>(lowerStart_[static_cast<std::size_t>(v)]); }

  // Bytes held (the benchmark reports it per edge).
  std::size_t Bytes() const;

 private:
  std::uint64_t key_ = 0;
  std::vector<std::pair<std::int32_t, std::int32_t>> ends_;  // per edge
  std::vector<std::uint32_t> faceStart_;                     // per edge + 1, into faces_
  std::vector<std::int32_t> faces_;                          // per side
  std::vector<std::uint32_t> cornerStart_;                   // per face + 1, into sides_
  std::vector<std::int32_t> sides_;                          // per corner: its side's edge
  std::vector<std::uint32_t> lowerStart_;                    // per vertex + 1, into ends_
  std::vector<std::uint32_t> valence_;                       // per vertex
};

// The index of a model's present faces, kept for the few models worked on lately and rebuilt when
// the model's topology key differs. Copying a cache gives an empty one (it belongs to whoever holds
// it, not to the records).
class EdgeIndexCache {
 public:
  EdgeIndexCache() = default;
  EdgeIndexCache(const EdgeIndexCache&) {}
  EdgeIndexCache& operator=(const EdgeIndexCache&) { return *this; }

  std::shared_ptr<const EdgeIndex> Get(const CModel& model);
  std::size_t Builds() const { return builds_; }

 private:
  static constexpr std::size_t kKept = 4;
  std::vector<std::shared_ptr<const EdgeIndex>> kept_;  // most recently used last
  std::size_t builds_ = 0;
};

}  // namespace mw
