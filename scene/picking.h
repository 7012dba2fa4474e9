// Picking vertices, edges and faces by a click or a band, in an orthographic or the perspective pane.
//
// A pane is described by where it shows model positions (PaneProjection): pixels and a depth that
// grows away from the viewer. What the perspective pane shows is found with a depth raster of the
// pane (DepthRaster), so a band over a million faces costs one pass over them and one over its
// pixels, not one per element.
//
// Only the editable models' vertices, edges and faces in sight take part; every drawn model (locked
// ones too) hides what is behind it.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/element_selection.h"
#include "scene/meshwright.h"

namespace mw {

struct ScreenPoint {
  double x = 0.0, y = 0.0, depth = 0.0;
  bool ok = false;  // false: the pane cannot show the point (behind the camera, outside the depth range, not finite)
};

class PaneProjection {
 public:
  // The orthographic pane of `plane` centred on (cx, cy), at the scene's zoom: pixels as the pane
  // draws them (ToPane), depth along the direction the pane looks.
  static PaneProjection Ortho(const CMeshwright& scene, Plane plane, int cx, int cy);
  // The perspective pane of width x height pixels: the drawing's projection (PerspectiveNdc), depth
  // its normalised depth.
  static PaneProjection Perspective(const CMeshwright& scene, int width, int height);

  ScreenPoint operator()(const CVector& p) const;
  bool IsPerspective() const { return perspective_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  const CMeshwright* scene_ = nullptr;
  bool perspective_ = false;
  Plane plane_ = kPlaneTop;
  int cx_ = 0, cy_ = 0, width_ = 0, height_ = 0;
  double into_[3] = {0.0, 0.0, 0.0};
};

// The nearest depth and the face drawn at every pixel centre (x + 0.5, y + 0.5) of the pane, over
// the faces in sight of every drawn model, each split as a fan from its first corner.
class DepthRaster {
 public:
  DepthRaster(const CMeshwright& scene, const PaneProjection& view);
  // Whether a point at that depth is not behind what the pane draws there; outside the pane, true.
  // The tolerance is the raster's own slope around the pixel, so a point lying on a face passes.
  bool Visible(double x, double y, double depth) const;
  // The face drawn at pixel (x, y): model and face, or model -1.
  std::pair<std::int32_t, std::int32_t> FaceAt(int x, int y) const;
  // Whether face f of model m owns at least one pixel.
  bool FaceShown(std::int32_t m, std::int32_t f) const;

 private:
  int width_, height_;
  std::vector<float> depth_;
  std::vector<std::uint32_t> face_;       // flat face number + 1, 0 for none
  std::vector<std::uint32_t> firstFace_;  // flat number of each model's first face
  std::vector<std::uint8_t> shown_;       // per flat face
};

struct PickHit {
  std::int32_t model = -1;
  std::int32_t vertex = -1;  // vertex mode
  std::int32_t a = -1, b = -1;  // edge mode: its two vertices
  std::int32_t face = -1;    // face mode
  bool Found() const { return model >= 0; }
};

struct PickOptions {
  SelectMode mode = kSelectVertices;
  double radius = 6.0;        // pixels, for vertices and edges
  bool throughBack = false;   // perspective pane: pick what is behind faces too
};

// The element at pixel (px, py): the nearest vertex or edge within the radius, or the face under
// the pointer that is nearest the viewer. Ties go to the nearer in depth, then to the earlier model
// and element. `raster` is needed for the perspective pane unless picking through.
PickHit PickAt(const CMeshwright& scene, const PaneProjection& view, const DepthRaster* raster, double px, double py,
               const PickOptions& options);

enum class PickOp { kReplace, kAdd, kToggle };
// A click's effect: replace clears every selection first (also on a miss), add selects, toggle
// flips the hit. Returns whether the selection changed.
bool ApplyPick(CMeshwright& scene, const PickHit& hit, PickOp op);

// A band from (x0, y0) to (x1, y1): every vertex inside (strictly, as SelectInRect), every edge and
// face with all its corners inside, of the scene's mode, gets `value`; in the perspective pane only
// those in sight unless `throughBack` (vertices and edges by the raster's depth, faces by owning a
// pixel).
void SelectInBand(CMeshwright& scene, const PaneProjection& view, const DepthRaster* raster, double x0, double y0,
                  double x1, double y1, std::uint8_t value, bool throughBack);

}  // namespace mw
