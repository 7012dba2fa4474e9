// Snapping to the grid: the step, and rounding to it.
//
// The step is in model units. Left at 0 it follows the zoom: the 1, 2 or 5 times a power of ten
// that lies closest to 50 pixels on screen, which at zoom 100 is the 50-unit spacing of the panes'
// dotted lines. Snapping rounds to the nearest multiple of the step in double; a step that is not
// a finite positive number leaves every value as it is.
#pragma once

#include <cmath>

#include "scene/vector.h"

namespace mw {

// Rotation drags turn in whole steps of this many degrees while Shift is held.
inline constexpr double kRotationSnapDegrees = 15.0;

// The step that follows the zoom (see above); a zoom that is not a finite positive number gives 50.
double GridStepAt(float zoom);

// The nearest multiple of `step` (halves away from zero); `value` itself for a step that is not a
// finite positive number, or for a non-finite value.
double SnapToStep(double value, double step);

// Each coordinate snapped to the step, stored as float32.
CVector SnapToGrid(const CVector& p, double step);

// Whether snapping is on and its step, as the user set them (settings and the toolbar).
struct GridSnap {
  bool enabled = false;
  double step = 0.0;  // model units; 0 or less: GridStepAt(zoom)

  // The step in effect at `zoom`, or 0 when snapping is off.
  double StepAt(float zoom) const {
    if (!enabled) return 0.0;
    return step > 0.0 && std::isfinite(step) ? step : GridStepAt(zoom);
  }
};

}  // namespace mw
