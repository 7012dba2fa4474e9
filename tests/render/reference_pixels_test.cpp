// Reference pictures painted behind an orthographic pane: blended at their opacity over the
// background, placed and scaled in model units (so they follow zoom and the pane's pixel ratio),
// and the grid left out where the pane says so.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "render/ortho_painter.h"

namespace mw {
namespace {

QImage Paint(const CMeshwright& scene, Plane plane, const QImage* picture, double ratio = 1.0, bool grid = true) {
  QImage image(static_cast<int>(200 * ratio), static_cast<int>(160 * ratio), QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::white);
  OrthoOverlay overlay;
  overlay.reference = picture;
  overlay.grid = grid;
  DrawOrthoPane(image, scene, plane, PanOffsets(), overlay);
  return image;
}

QImage Solid(QColor colour, int w = 40, int h = 20) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

CMeshwright WithPicture(Plane plane, float opacity, float centreU = 0.0f, float scale = 1.0f) {
  CMeshwright s;
  s.ResetScene();
  ReferencePicture p;
  p.plane = plane;
  p.path = "a.png";
  p.opacity = opacity;
  p.centreU = centreU;
  p.unitsPerPixel = scale;
  s.referencePictures.push_back(p);
  return s;
}

TEST(ReferencePixels, ThePictureBlendsOverTheBackgroundAtItsOpacity) {
  const QColor colours[] = {QColor(200, 40, 0), QColor(0, 0, 0), QColor(10, 250, 128)};
  for (float opacity : {0.0f, 0.25f, 0.5f, 0.75f, 1.0f}) {
    for (const QColor& c : colours) {
      for (double ratio : {1.0, 2.0}) {
        const QImage picture = Solid(c);
        const QImage shown = Paint(WithPicture(kPlaneFace, opacity), kPlaneFace, &picture, ratio);
        // Pane centre (100, 80); the picture spans 40 x 20 model units there: x 80..119, y 70..89.
        const QRgb got = shown.pixel(static_cast<int>(110 * ratio), static_cast<int>(75 * ratio));
        auto want = [opacity](int v) { return v * opacity + 255.0 * (1.0 - opacity); };
        EXPECT_NEAR(qRed(got), want(c.red()), 1.0) << opacity << " " << ratio;
        EXPECT_NEAR(qGreen(got), want(c.green()), 1.0) << opacity << " " << ratio;
        EXPECT_NEAR(qBlue(got), want(c.blue()), 1.0) << opacity << " " << ratio;
      }
    }
  }
}

TEST(ReferencePixels, ThePictureCoversItsModelUnitsAtEveryRatioAndZoom) {
  const QImage picture = Solid(QColor(0, 0, 0), 40, 40);
  for (double ratio : {1.0, 1.5, 2.0}) {
    for (float zoom : {100.0f, 200.0f}) {
      // Centred 10 units right of the origin, half a unit a picture pixel: 20 x 20 units, clear
      // of the axis names at every zoom here.
      CMeshwright s = WithPicture(kPlaneTop, 1.0f, 10.0f, 0.5f);
      s.zoom = zoom;
      const QImage shown = Paint(s, kPlaneTop, &picture, ratio, false);
      const double k = zoom / 100.0 * ratio;
      const double cx = 100 * ratio, cy = 80 * ratio;
      const double left = cx + (10 - 10) * k, right = cx + (10 + 10) * k, top = cy - 10 * k, bottom = cy + 10 * k;
      int inside = 0, misplaced = 0;
      for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
          const bool in = x >= left && x < right && y >= top && y < bottom;
          const bool black = shown.pixel(x, y) == qRgb(0, 0, 0);
          inside += in;
          misplaced += in != black;
        }
      EXPECT_GT(inside, 0);
      EXPECT_EQ(misplaced, 0) << "ratio " << ratio << " zoom " << zoom;
    }
  }
}

TEST(ReferencePixels, APaneDrawsOnlyItsOwnPictureAndASwitchedOffOneNotAtAll) {
  const QImage picture = Solid(QColor(0, 0, 0));
  const QImage blank = Paint(WithPicture(kPlaneFace, 1.0f), kPlaneTop, nullptr);
  // The Face picture is not the Top pane's.
  EXPECT_EQ(Paint(WithPicture(kPlaneFace, 1.0f), kPlaneTop, &picture), blank);
  CMeshwright off = WithPicture(kPlaneTop, 1.0f);
  off.referencePictures[0].visible = false;
  EXPECT_EQ(Paint(off, kPlaneTop, &picture), blank);
  // Without its grid the pane's axis lines are gone too.
  const QImage noGrid = Paint(WithPicture(kPlaneFace, 1.0f), kPlaneTop, nullptr, 1.0, false);
  EXPECT_EQ(blank.pixel(100, 140), qRgb(192, 192, 192));
  EXPECT_EQ(noGrid.pixel(100, 140), qRgb(255, 255, 255));
}

}  // namespace
}  // namespace mw
