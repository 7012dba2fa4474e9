// Reference pictures: a drawing shown behind the model in an orthographic pane, to model over.
//
// Each orthographic pane has at most one. The picture is placed in the pane's own plane
// coordinates (u to the right, v downward, in model units; scene/ortho_plane.h), so it stays
// with the model when the pane scrolls or zooms. Kept in the .mwr extension block; the file is
// named relative to the document's folder where it lies there or below it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/ortho_plane.h"

namespace mw {

struct ReferencePicture {
  Plane plane = kPlaneFace;
  std::string path;          // UTF-8; relative to the document's folder, or absolute
  float centreU = 0.0f;      // where the picture's centre lies, in model units
  float centreV = 0.0f;
  float unitsPerPixel = 1.0f;  // model units one picture pixel covers (> 0)
  float opacity = 0.5f;        // 0 (not seen) .. 1 (opaque)
  bool visible = true;
};

// The pane's picture in `pictures`, or null.
const ReferencePicture* ReferenceFor(const std::vector<ReferencePicture>& pictures, Plane plane);
// Puts `picture` in place of the one of its plane (or adds it).
void SetReference(std::vector<ReferencePicture>& pictures, const ReferencePicture& picture);
void RemoveReference(std::vector<ReferencePicture>& pictures, Plane plane);

// The scale that makes the distance between two points of a picture (in picture pixels) measure
// `length` model units; 0 when the points coincide or the length is not a positive finite number.
float ScaleFromTwoPoints(double x0, double y0, double x1, double y1, double length);

// Rescales `picture` so that two points on it (model units of its plane, where they lie now) come
// out `length` apart, the first staying where it is. False, the picture unchanged, when the points
// coincide or the result would not be a valid picture (ValidReference).
bool ScaleReferenceByTwoPoints(ReferencePicture& picture, double u0, double v0, double u1, double v1, double length);

// Whether the numbers are ones a picture may have (finite, a scale above 0, an opacity in 0..1,
// a plane of the three). The reader refuses a section with any other.
bool ValidReference(const ReferencePicture& picture);

}  // namespace mw
