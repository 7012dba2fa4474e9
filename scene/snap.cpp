#include "scene/snap.h"

#include <initializer_list>

namespace mw {

double GridStepAt(float zoom) {
  if (!(zoom > 0.0f) || !std::isfinite(zoom)) return 50.0;
  // 50 pixels in model units, then the nearest of 1, 2 and 5 times a power of ten (nearest by
  // ratio, so the step never lies more than a factor of about 1.6 from 50 pixels).
  const double target = 5000.0 / static_cast<double>(zoom);
  const double decade = std::pow(10.0, std::floor(std::log10(target)));
  double best = decade;
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (std::fabs(std::log(m * decade / target)) < std::fabs(std::log(best / target))) best = m * decade;
  return best;
}

double SnapToStep(double value, double step) {
  if (!(step > 0.0) || !std::isfinite(step) || !std::isfinite(value)) return value;
  return std::round(value / step) * step;
}

CVector SnapToGrid(const CVector& p, double step) {
  return CVector(static_cast<float>(SnapToStep(p.x, step)), static_cast<float>(SnapToStep(p.y, step)),
                 static_cast<float>(SnapToStep(p.z, step)));
}

}  // namespace mw
