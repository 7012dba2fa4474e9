#include "scene/reference_picture.h"

#include <algorithm>
#include <cmath>

namespace mw {

const ReferencePicture* ReferenceFor(const std::vector<ReferencePicture>& pictures, Plane plane) {
  for (const ReferencePicture& p : pictures)
    if (p.plane == plane) return &p;
  return nullptr;
}

void SetReference(std::vector<ReferencePicture>& pictures, const ReferencePicture& picture) {
  for (ReferencePicture& p : pictures)
    if (p.plane == picture.plane) {
      p = picture;
      return;
    }
  pictures.push_back(picture);
}

void RemoveReference(std::vector<ReferencePicture>& pictures, Plane plane) {
  std::erase_if(pictures, [plane](const ReferencePicture& p) { return p.plane == plane; });
}

float ScaleFromTwoPoints(double x0, double y0, double x1, double y1, double length) {
  const double d = std::hypot(x1 - x0, y1 - y0);
  if (!(d > 0.0) || !std::isfinite(d) || !(length > 0.0) || !std::isfinite(length)) return 0.0f;
  const double s = length / d;
  return std::isfinite(static_cast<float>(s)) ? static_cast<float>(s) : 0.0f;
}

bool ScaleReferenceByTwoPoints(ReferencePicture& picture, double u0, double v0, double u1, double v1,
                               double length) {
  const double s = picture.unitsPerPixel;
  const float scale = ScaleFromTwoPoints(u0 / s, v0 / s, u1 / s, v1 / s, length);
  if (!(scale > 0.0f)) return false;
  const double factor = scale / s;
  ReferencePicture scaled = picture;
  scaled.unitsPerPixel = scale;
  scaled.centreU = static_cast<float>(u0 + (picture.centreU - u0) * factor);
  scaled.centreV = static_cast<float>(v0 + (picture.centreV - v0) * factor);
  if (!ValidReference(scaled)) return false;
  picture = scaled;
  return true;
}

bool ValidReference(const ReferencePicture& p) {
  return IsPlane(p.plane) && std::isfinite(p.centreU) && std::isfinite(p.centreV) && std::isfinite(p.unitsPerPixel) &&
         p.unitsPerPixel > 0.0f && p.opacity >= 0.0f && p.opacity <= 1.0f && !p.path.empty();
}

}  // namespace mw
