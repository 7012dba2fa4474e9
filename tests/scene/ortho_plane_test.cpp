// The plane maths shared by drawing, selection, face building and scrolling.
#include "scene/ortho_plane.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace mw {
namespace {

constexpr Plane kPlanes[] = {kPlaneTop, kPlaneFace, kPlaneLeft};
constexpr float kZooms[] = {1.0f, 37.0f, 100.0f, 123.4567f, 333.3f};

TEST(OrthoPlane, ModelToPixelsToUnitsRoundTripsTowardZero) {
  const CVector points[] = {CVector(12.5f, -7.25f, 3.0f), CVector(-1.0f / 3.0f, 1e4f, -0.999f),
                            CVector(-271.828f, 0.37f, 99.99f)};
  for (Plane plane : kPlanes) {
    const PlaneAxes a = AxesOf(plane);
    for (float zoom : kZooms) {
      for (const CVector& p : points) {
        const PanePoint onPane = ToPane(plane, p, zoom, 100, 50);
        const ModelPixels back = FromPane(plane, static_cast<int>(onPane.x), static_cast<int>(onPane.y), 100, 50, 42.0);
        for (const ScreenAxis s : {a.u, a.v}) {
          const double units = UnitsFromPixels(back[s.axis], zoom);
          const double original = Component(p, s.axis);
          // Truncation toward zero loses less than one pixel, never crosses zero.
          EXPECT_LE(std::fabs(units), std::fabs(original) * (1 + 1e-6)) << plane << " " << zoom << " " << original;
          EXPECT_LT(std::fabs(original - units), 100.0 / zoom + 1e-3) << plane << " " << zoom << " " << original;
          EXPECT_FALSE(units * original < 0) << plane << " " << zoom << " " << original;
        }
        EXPECT_EQ(back[a.hidden], 42.0) << plane;
      }
    }
  }
}

TEST(OrthoPlane, ScreenDirectionsOfEachPlane) {
  // (10, 20, 30) at zoom 100: Top (10, 30), Face (10, -20), Left (-30, -20) pixels from the centre.
  const CVector p(10, 20, 30);
  EXPECT_EQ(ToPane(kPlaneTop, p, 100.0f, 0, 0).x, 10);
  EXPECT_EQ(ToPane(kPlaneTop, p, 100.0f, 0, 0).y, 30);
  EXPECT_EQ(ToPane(kPlaneFace, p, 100.0f, 0, 0).y, -20);
  EXPECT_EQ(ToPane(kPlaneLeft, p, 100.0f, 0, 0).x, -30);
  EXPECT_EQ(ToPane(kPlaneLeft, p, 100.0f, 0, 0).y, -20);
  // A click back in each plane gives those axes, and the hidden one from the caller.
  const ModelPixels left = FromPane(kPlaneLeft, 70, 30, 100, 50, 10.0);
  EXPECT_EQ(left.x, 10.0);
  EXPECT_EQ(left.y, 20.0);
  EXPECT_EQ(left.z, 30.0);
  // A zero stays +0: a flipped axis subtracts rather than negates.
  EXPECT_FALSE(std::signbit(FromPane(kPlaneFace, 5, 50, 0, 50, 0.0).y));
  EXPECT_EQ(PlaneHiding(0), kPlaneLeft);
  EXPECT_EQ(PlaneHiding(1), kPlaneTop);
  EXPECT_EQ(PlaneHiding(2), kPlaneFace);
}

TEST(OrthoPlane, PixelTruncationRules) {
  // Units to pixels: toward zero, negatives too, at an awkward zoom.
  EXPECT_EQ(PixelsFromUnits(-1.5, 100.0f), -1.0);
  EXPECT_EQ(PixelsFromUnits(1.5, 100.0f), 1.0);
  EXPECT_EQ(PixelsFromUnits(-3.0, 37.0f), -1.0);  // -1.11
  EXPECT_EQ(PixelsFromUnits(-2.0, 37.0f), 0.0);   // -0.74
  EXPECT_EQ(PixelsFromUnits(100.0 / 37.0 * 5.0, 37.0f), 4.0) << "just under 5 by rounding";
  EXPECT_TRUE(std::isnan(PixelsFromUnits(std::numeric_limits<double>::quiet_NaN(), 100.0f)));
  EXPECT_EQ(PixelsFromUnits(1e30, 1.0f), 1e28);
  // The drawable form agrees inside its limits and clamps outside.
  for (double u : {-3.0, -2.0, 0.37, 271.828, -99999.9})
    EXPECT_EQ(DrawablePixels(u, 37.0f), static_cast<int>(PixelsFromUnits(u, 37.0f))) << u;
  EXPECT_EQ(DrawablePixels(1e30, 100.0f), 100000000);
  EXPECT_EQ(DrawablePixels(-std::numeric_limits<double>::infinity(), 100.0f), -100000000);
  EXPECT_EQ(DrawablePixels(std::numeric_limits<double>::quiet_NaN(), 100.0f), 0);
  // Pixels to whole units: toward zero, saturating, NaN (zoom 0 and 0 pixels) to 0.
  EXPECT_EQ(WholeUnitsFromPixels(500, 300.0f), 166.0);
  EXPECT_EQ(WholeUnitsFromPixels(-500, 300.0f), -166.0);
  EXPECT_EQ(WholeUnitsFromPixels(7, 0.0f), 2147483647.0);
  EXPECT_EQ(WholeUnitsFromPixels(-7, 0.0f), -2147483648.0);
  EXPECT_EQ(WholeUnitsFromPixels(0, 0.0f), 0.0);
  // Pixels to units unrounded, in float.
  EXPECT_EQ(UnitsFromPixels(10, 37.0f), static_cast<float>(10.0 / 37.0 * 100.0));
}

TEST(OrthoPlane, CursorAndPansMoveWhatThePaneShows) {
  for (Plane plane : kPlanes) {
    // A right click sets the cursor: its cross is then drawn through the clicked pixel.
    Cursor3 cursor{1, 2, 3};
    SetShown(plane, cursor, 130, 40, 100, 50);
    const PanePixel cross = ShiftedBy(plane, 100, 50, cursor);
    EXPECT_EQ(cross.x, 130) << plane;
    EXPECT_EQ(cross.y, 40) << plane;
    EXPECT_EQ(cursor[AxesOf(plane).hidden], (Cursor3{1, 2, 3})[AxesOf(plane).hidden]) << plane;
    // A drag moves the picture with the mouse.
    PanOffsets pan{5, 6, 7};
    const PanePixel before = ShiftedBy(plane, 100, 50, pan);
    ShiftShown(plane, pan, 4, -3);
    const PanePixel after = ShiftedBy(plane, 100, 50, pan);
    EXPECT_EQ(after.x - before.x, 4) << plane;
    EXPECT_EQ(after.y - before.y, -3) << plane;
  }
}

TEST(OrthoPlane, APointBuiltInOnePaneLiesOnTheCursorCrossOfTheOthers) {
  // A click in Left takes x from the cursor, a click in Top takes y: both points then lie on the
  // cursor cross that Face shows.
  Cursor3 cursor;
  SetShown(kPlaneTop, cursor, 130, 40, 100, 50);   // x 30, z -10
  SetShown(kPlaneFace, cursor, 120, 63, 100, 50);  // x 20, y -13 (down): y 13 up
  const ModelPixels face = FromPane(kPlaneLeft, 77, 81, 100, 50, HiddenOffset(kPlaneLeft, cursor));
  const CVector p(static_cast<float>(face.x), static_cast<float>(face.y), static_cast<float>(face.z));
  EXPECT_EQ(ToPanePixel(kPlaneFace, p, 100.0f, 100, 50).x, ShiftedBy(kPlaneFace, 100, 50, cursor).x);
  const ModelPixels top = FromPane(kPlaneTop, 140, 90, 100, 50, HiddenOffset(kPlaneTop, cursor));
  const CVector q(static_cast<float>(top.x), static_cast<float>(top.y), static_cast<float>(top.z));
  EXPECT_EQ(ToPanePixel(kPlaneFace, q, 100.0f, 100, 50).y, ShiftedBy(kPlaneFace, 100, 50, cursor).y);
}

}  // namespace
}  // namespace mw
