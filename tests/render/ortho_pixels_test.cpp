// The orthographic panes' faster drawing (each vertex projected once, short lines unclipped, whole
// squares written directly) against the drawing it replaced, pixel for pixel; and the panes drawn
// at a device pixel ratio of 1.5.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "render/ortho_painter.h"
#include "tests/support/gui_test.h"
#include "tests/render/ortho_reference.h"

namespace mw {
namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGrid = qRgb(192, 192, 192);

// Models of every kind the panes meet: a normal, a locked and a hidden one; faces of one to six
// corners, some naming no vertex; vertices far outside the pane, on its border, NaN and infinite;
// selection flags, some faces' flags left disagreeing with their corners (as a file may give them).
CMeshwright RandomScene(unsigned seed) {
  std::mt19937 rng(seed);
  auto uniform = [&rng](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  CMeshwright s;
  s.ResetScene();
  s.models.resize(3);
  s.models[1].state = kStateLocked;
  s.models[2].state = kStateHidden;
  for (CModel& m : s.models) {
    const int vertices = 40 + pick(80);
    for (int i = 0; i < vertices; ++i) {
      CVector p(static_cast<float>(uniform(-130, 130)), static_cast<float>(uniform(-90, 90)),
                static_cast<float>(uniform(-130, 130)));
      switch (pick(14)) {
        case 0: p.x = static_cast<float>(uniform(-3e7, 3e7)); break;
        case 1: p.z = std::numeric_limits<float>::quiet_NaN(); break;
        case 2: p.y = -std::numeric_limits<float>::infinity(); break;
        case 3: p.x = 100.0f; break;  // the border of a pane 200 wide at zoom 100
        case 4: p.z = -50.0f; break;
        default: break;
      }
      CVertex v(p.x, p.y, p.z);
      v.selected = pick(3) == 0;
      m.vertices.push_back(v);
    }
    const int faces = 60 + pick(60);
    for (int i = 0; i < faces; ++i) {
      CFace f;
      const int corners = 1 + pick(6);
      for (int k = 0; k < corners; ++k) f.indices.push_back(pick(25) == 0 ? vertices + pick(4) - 1 : pick(vertices));
      if (pick(30) == 0) f.indices[0] = -1;
      m.faces.push_back(f);
    }
    m.UpdateFaceSelection();
    for (CFace& f : m.faces)
      if (pick(12) == 0) f.allSelected = !f.allSelected;
  }
  s.currentModel = 0;
  CModel& m = s.models[0];
  m.pendingVertices = {CVertex(12, -7, 33), CVertex(-45, 20, 5)};
  m.pendingFace.indices = {3, static_cast<std::int32_t>(m.vertices.size()), static_cast<std::int32_t>(m.vertices.size() + 1)};
  s.cursor = Cursor3{17, -23, 41};
  return s;
}

// A dense grid such as the benchmarks draw: shared edges, lines of zero and one pixel.
CMeshwright GridScene(int side) {
  CMeshwright s;
  s.ResetScene();
  CModel& m = s.models[0];
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x) m.vertices.emplace_back(static_cast<float>(x - side / 2), 0.5f * static_cast<float>((x * 7 + z * 3) % 5), static_cast<float>(z - side / 2));
  for (int z = 0; z + 1 < side; ++z)
    for (int x = 0; x + 1 < side; ++x) {
      CFace f;
      const int i = z * side + x;
      f.indices = {i, i + side, i + side + 1, i + 1};
      m.faces.push_back(f);
    }
  for (std::size_t i = 0; i < m.vertices.size(); i += 3) m.vertices[i].selected = 1;
  m.UpdateFaceSelection();
  return s;
}

QImage Reference(const CMeshwright& s, Plane plane, QSize size, const PanOffsets& pan, const OrthoOverlay& overlay) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  reference::DrawOrthoPane(image, s, plane, pan, overlay);
  return image;
}

QImage Drawn(const CMeshwright& s, Plane plane, QSize size, const PanOffsets& pan, const OrthoOverlay& overlay,
             OrthoProjection* projection) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  DrawOrthoPane(image, s, plane, pan, overlay, projection);
  return image;
}

using test::DifferingPixels;

// Every plane, awkward zooms, pans, odd pane sizes, with and without edges, rubber band and face
// creation: the new drawing with and without the shared projection gives the old pixels.
void ExpectSameAsBefore(CMeshwright& s, const std::string& what) {
  OrthoProjection projection;  // reused across paints, as a pane reuses its own
  const OrthoOverlay plain;
  OrthoOverlay dragging;
  dragging.edgesVisible = false;
  dragging.selecting = true;
  dragging.dragStart = QPoint(31, 77);
  dragging.dragCurrent = QPoint(-12, 8);
  int painted = 0;
  for (float zoom : {1.0f, 37.0f, 100.0f, 251.3f})
    for (Plane plane : {kPlaneTop, kPlaneFace, kPlaneLeft})
      for (QSize size : {QSize(200, 100), QSize(173, 91)})
        for (PanOffsets pan : {PanOffsets{0, 0, 0}, PanOffsets{13, -7, 22}})
          for (std::int32_t mode : {kModeSelect, kModeCreateFace})
            for (const OrthoOverlay* overlay : {&plain, static_cast<const OrthoOverlay*>(&dragging)}) {
              s.zoom = zoom;
              s.editMode = mode;
              SCOPED_TRACE(what + " zoom " + std::to_string(zoom) + " plane " + std::to_string(plane) + " size " +
                           std::to_string(size.width()) + " pan " + std::to_string(pan.panX) + " mode " +
                           std::to_string(mode) + (overlay == &plain ? " edges" : " dragging"));
              const QImage before = Reference(s, plane, size, pan, *overlay);
              ASSERT_EQ(DifferingPixels(before, Drawn(s, plane, size, pan, *overlay, &projection)), 0);
              ASSERT_EQ(DifferingPixels(before, Drawn(s, plane, size, pan, *overlay, nullptr)), 0);
              ++painted;
            }
  EXPECT_EQ(painted, 4 * 3 * 2 * 2 * 2 * 2);
}

TEST(OrthoPixels, RandomScenesDrawExactlyAsBefore) {
  for (unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
    CMeshwright s = RandomScene(seed);
    ExpectSameAsBefore(s, "seed " + std::to_string(seed));
  }
}

TEST(OrthoPixels, DenseGridDrawsExactlyAsBefore) {
  CMeshwright s = GridScene(61);
  ExpectSameAsBefore(s, "grid");
  // Something of it must be on screen for the comparison to mean anything.
  s.zoom = 700.0f;
  const QImage image = Drawn(s, kPlaneTop, QSize(200, 100), PanOffsets(), OrthoOverlay(), nullptr);
  int black = 0, red = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      black += image.pixel(x, y) == kBlack;
      red += image.pixel(x, y) == kRed;
    }
  EXPECT_GT(black, 2000);
  EXPECT_GT(red, 1000);
}

TEST(OrthoPixels, ProjectionFollowsTheSceneFromPaintToPaint) {
  // One projection kept across paints of a scene that changes between them: models added,
  // removed, hidden, vertices moved.
  CMeshwright s = RandomScene(9);
  OrthoProjection projection;
  const PanOffsets pan{5, 0, -3};
  auto same = [&](const char* step) {
    SCOPED_TRACE(step);
    EXPECT_EQ(DifferingPixels(Reference(s, kPlaneFace, QSize(200, 100), pan, OrthoOverlay()),
                              Drawn(s, kPlaneFace, QSize(200, 100), pan, OrthoOverlay(), &projection)),
              0);
  };
  same("first");
  s.models[0].vertices[0].position = CVector(-3.7f, 11.2f, 8.9f);
  same("a vertex moved");
  s.models.erase(s.models.begin());
  same("a model removed");
  s.models[1].state = kStateNormal;
  same("a hidden model shown");
  s.models.push_back(RandomScene(10).models[0]);
  same("a model added");
  s.models[0].vertices.resize(5);
  same("vertices removed (faces now name missing ones)");
}

// ---- A device pixel ratio of 1.5 ----

QImage DrawnAt(const CMeshwright& s, Plane plane, QSize paneSize, qreal ratio, const OrthoOverlay& overlay = OrthoOverlay()) {
  QImage image(static_cast<int>(std::ceil(paneSize.width() * ratio)), static_cast<int>(std::ceil(paneSize.height() * ratio)),
               QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::white);
  OrthoProjection projection;
  DrawOrthoPane(image, s, plane, PanOffsets(), overlay, &projection);
  return image;
}

TEST(OrthoRatio, ModelLengthsScaleAndLinesStayOneDevicePixelWide) {
  CMeshwright s;
  s.ResetScene();
  CModel& m = s.models[0];
  m.vertices = {CVertex(10, 20, 30), CVertex(-60, 0, -20), CVertex(60, 0, -20)};
  CFace line;
  line.indices = {1, 2};
  m.faces = {line};
  s.zoom = 100.0f;
  const QImage image = DrawnAt(s, kPlaneTop, QSize(200, 100), 1.5);
  ASSERT_EQ(image.size(), QSize(300, 150));
  EXPECT_EQ(image.devicePixelRatio(), 1.5) << "the ratio is given back as it came";
  // The pane centre (100, 50) is (150, 75) in device pixels; (10, 30) model units are 15 and 45.
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) EXPECT_EQ(image.pixel(165 + dx, 120 + dy), kBlack) << dx << "," << dy;
  EXPECT_NE(image.pixel(167, 120), kBlack) << "the marker stays 3 device pixels wide";
  // The edge from x = -60 to 60 at z = -20: device row 75 - 30 = 45, from 60 to 239, one pixel high.
  for (int x = 62; x < 238; x += 11) {
    EXPECT_EQ(image.pixel(x, 45), kBlack) << x;
    EXPECT_NE(image.pixel(x, 44), kBlack) << x;
    EXPECT_NE(image.pixel(x, 46), kBlack) << x;
  }
  // The axes through the centre, one device pixel wide.
  // Left and right of the edge, clear of the labels "-X" and "+X".
  for (int x : {33, 41, 49, 55, 245, 251, 259}) {
    EXPECT_EQ(image.pixel(x, 75), kGrid) << x;
    EXPECT_EQ(image.pixel(x, 74), qRgb(255, 255, 255)) << x;
    EXPECT_EQ(image.pixel(x, 76), qRgb(255, 255, 255)) << x;
  }
}

TEST(OrthoRatio, GridKeepsItsSpacingInModelUnits) {
  CMeshwright s;
  s.ResetScene();
  s.models.clear();
  s.zoom = 37.0f;  // 100 units are 37 pane pixels, 55 device pixels (trunc 55.5); 50 units 27
  const QImage image = DrawnAt(s, kPlaneFace, QSize(400, 300), 1.5);
  ASSERT_EQ(image.size(), QSize(600, 450));
  auto gridPixelsInRow = [&](int y) {
    int n = 0;
    for (int x = 0; x < 600; ++x) n += image.pixel(x, y) == kGrid;
    return n;
  };
  const int cy = 225;
  for (int y : {cy - 55, cy + 55, cy - 27, cy + 27}) EXPECT_GT(gridPixelsInRow(y), 150) << y;
  for (int y : {cy - 54, cy + 56, cy - 40, cy + 40}) EXPECT_LT(gridPixelsInRow(y), 10) << y;
}

// The labels keep their size on screen: 1.5 times as many device pixels high as at ratio 1.
TEST(OrthoRatio, LabelsKeepTheirSizeOnScreen) {
  CMeshwright s;
  s.ResetScene();
  auto labelHeight = [&](qreal ratio) {
    const QImage image = DrawnAt(s, kPlaneTop, QSize(200, 100), ratio);
    int top = -1, bottom = -1;
    const int limit = static_cast<int>(20 * ratio);
    for (int y = 0; y < limit; ++y)
      for (int x = 0; x < static_cast<int>(30 * ratio); ++x)
        if (image.pixel(x, y) != qRgb(255, 255, 255) && image.pixel(x, y) != kGrid) {
          if (top < 0) top = y;
          bottom = y;
        }
    return top < 0 ? 0 : bottom - top + 1;
  };
  const int one = labelHeight(1.0), oneAndHalf = labelHeight(1.5);
  ASSERT_GT(one, 4) << "\"Top\" is drawn";
  EXPECT_GE(oneAndHalf, one * 5 / 4);
  EXPECT_LE(oneAndHalf, one * 7 / 4 + 1);
}

TEST(OrthoRatio, RubberBandAndCursorAreScaledWithThePane) {
  CMeshwright s;
  s.ResetScene();
  s.editMode = kModeSelect;
  OrthoOverlay band;
  band.selecting = true;
  band.edgesVisible = false;
  band.dragStart = QPoint(20, 20);
  band.dragCurrent = QPoint(61, 41);
  QImage image = DrawnAt(s, kPlaneTop, QSize(200, 100), 1.5, band);
  const QRgb green = qRgb(0, 255, 0);
  EXPECT_EQ(image.pixel(60, 30), green);  // the left side at x = 30, from y = 30 to 62 (61.5 rounded)
  EXPECT_EQ(image.pixel(30, 45), green);
  EXPECT_EQ(image.pixel(92, 45), green);  // the right side at 91.5 rounded
  EXPECT_NE(image.pixel(31, 45), green);

  s.editMode = kModeCreateFace;
  s.cursor = Cursor3{30, 0, -10};
  image = DrawnAt(s, kPlaneTop, QSize(200, 100), 1.5);
  const QRgb blue = qRgb(0, 0, 255);
  EXPECT_EQ(image.pixel(195, 5), blue);  // the vertical line at 150 + 45
  EXPECT_NE(image.pixel(196, 5), blue);
  EXPECT_EQ(image.pixel(5, 60), blue);   // the horizontal line at 75 - 15
}

}  // namespace
}  // namespace mw
