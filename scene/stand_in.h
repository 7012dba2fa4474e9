// A simplified copy of the visible models, drawn in the perspective pane while the camera moves.
//
// Taking the source (TakeStandInSource) reads the scene and must happen where the scene may be
// read: on the interface thread. Building (BuildStandIn) touches only the source, so it runs on
// any thread; it never fails, it only gives fewer or no triangles. The copy keeps what a moving
// picture needs: the faces' materials (each material's faces are simplified on their own, with
// the edges they share with other materials and the open edges of the surface kept exactly, so
// no gap opens between them and the outline stays), texture coordinates where the material has
// a texture, and vertex normals made again from the fewer triangles. Lines (faces of two
// corners), hidden faces and hidden models are left out.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/meshwright.h"

namespace mw {

// Faces the perspective pane would draw: those of models not hidden, less hidden faces.
std::size_t VisibleFaceCount(const CMeshwright& scene);

// The triangles of the visible models, grouped by material: what a stand-in is made from.
struct StandInSource {
  struct Group {
    std::int32_t material = 0;         // material identifier
    bool textured = false;             // texture coordinates are kept (one per corner)
    std::vector<std::uint32_t> corners;  // vertex indices, three per triangle, wound as drawn
    std::vector<CUV> uvs;              // with `textured`: one per corner
  };
  struct Model {
    std::size_t index = 0;             // in the scene's list
    std::vector<CVector> positions;
    std::vector<Group> groups;
  };
  std::vector<Model> models;
  std::size_t triangles = 0;
};
StandInSource TakeStandInSource(const CMeshwright& scene);

// How far the simplification may go: about `targetTriangles` in all, shared out among the
// groups by their size, each group stopping earlier where going further would move its surface
// by more than `relativeError` of the group's extent.
struct StandInLimits {
  std::size_t targetTriangles = 150000;
  float relativeError = 0.004f;
};

// One model per model of the scene (in the scene's order; a model left out is empty), faces of
// three corners, vertex normals summed from the faces as CModel::ComputeNormals sums them.
struct StandIn {
  std::vector<CModel> models;
  std::size_t triangles = 0;
};
// Returns an empty stand-in when `cancel` turns true part way (checked between groups).
StandIn BuildStandIn(const StandInSource& source, const StandInLimits& limits,
                     const std::atomic<bool>* cancel = nullptr);

}  // namespace mw
