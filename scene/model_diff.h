// Two states of one model record, kept by the undo history as their difference instead of a copy
// of the record: the vertices and faces only one state has, packed, and where they lie among the
// elements both states share (runs of shared, before-only and after-only elements). Shared
// elements are not stored; their renumbering follows from the runs. Deleting half of a large
// model therefore keeps the deleted half, about 30 bytes per vertex with its face, not the model.
//
// Normals and face references that are what recomputing gives are recomputed on the way back
// instead of stored; those that are not (a damaged file, a stale normal) are stored as they were,
// so either state comes back bit for bit. The record's other fields (name, creases, edges,
// counterparts, ...) are kept whole when the edit changed any of them.
//
// Shared elements are found by value, scanning both lists in order: an edit that keeps elements
// in their order (every verb here: deletes, welds, verbs that change faces in place or append)
// costs what it removed and added. An element changed in place counts as removed and added.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "scene/model.h"

namespace mw {

class ModelDiff {
 public:
  ModelDiff();
  ModelDiff(ModelDiff&&) noexcept;
  ModelDiff& operator=(ModelDiff&&) noexcept;
  ~ModelDiff();

  // The difference between `before` (taken, emptied) and `after`.
  static ModelDiff Between(CModel&& before, const CModel& after);

  // True when the two states were the same in every field the record exchange covers
  // (SwapModelRecord's), face references and normals included.
  bool Empty() const { return !changed_; }
  // `m` must be as `after` was / as `before` was; it becomes the other. The face under
  // construction is left alone, as SwapModelRecord leaves it.
  void Undo(CModel& m);
  void Redo(CModel& m);

  std::size_t Bytes() const;
  // Elements stored: vertices and faces only one of the two states has.
  std::size_t StoredElements() const;

  struct Side;

 private:
  void Apply(CModel& m, const Side& target, bool toBefore);

  std::unique_ptr<Side> before_, after_;
  // Triples (shared, before only, after only), for the vertices and for the faces.
  std::vector<std::uint32_t> vertexRuns_, faceRuns_;
  // The other fields of the state not in the scene, when they differ.
  std::unique_ptr<CModel> fields_;
  bool changed_ = false;
};

// Exchanges every field of two records but their vertices, faces and face under construction.
void SwapModelFields(CModel& a, CModel& b);

}  // namespace mw
