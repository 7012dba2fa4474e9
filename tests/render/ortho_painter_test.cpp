// The orthographic panes painted into images, checked pixel by pixel.
#include "render/ortho_painter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "scene/subdivision.h"

namespace mw {
namespace {

const QRgb kWhite = qRgb(255, 255, 255);

QImage Paint(const CMeshwright& scene, Plane plane, int w = 200, int h = 100, OrthoOverlay overlay = OrthoOverlay(),
             PanOffsets pan = PanOffsets()) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  DrawOrthoPane(image, scene, plane, pan, overlay);
  return image;
}

QImage PaintVerticesOnly(const CMeshwright& scene, Plane plane, int w = 200, int h = 100) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  DrawVertices(image, scene, plane, PaneCentre(plane, w, h, PanOffsets()), scene.zoom);
  return image;
}

CMeshwright Scene() {
  CMeshwright s;
  s.ResetScene();
  return s;
}

TEST(OrthoGrid, LinesAtOneHundredAndFiftyPixelsForZoom100) {
  CMeshwright s = Scene();
  QImage image(400, 300, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter p(&image);
    DrawGrid(p, image.rect(), QPoint(200, 150), 100.0f);
  }
  const QRgb grid = qRgb(192, 192, 192);
  // Axes are solid: every pixel along them.
  for (int x = 0; x < 400; x += 7) EXPECT_EQ(image.pixel(x, 150), grid) << x;
  // Dotted lines: some pixels of each, none between them.
  auto dotted = [&](int y) {
    int hits = 0;
    for (int x = 0; x < 400; ++x) hits += image.pixel(x, y) == grid;
    return hits;
  };
  for (int y : {50, 100, 200, 250}) EXPECT_GT(dotted(y), 100) << y;
  EXPECT_LE(dotted(75), 5);  // only where the vertical lines cross
  int column = 0;
  for (int y = 0; y < 300; ++y) column += image.pixel(300, y) == grid;
  EXPECT_GT(column, 100);
}

TEST(OrthoGrid, ZoomOnePutsTheLinesAtOneAndZeroPixels) {
  QImage image(100, 100, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter p(&image);
    DrawGrid(p, image.rect(), QPoint(50, 50), 1.0f);
  }
  int row49 = 0, row48 = 0;
  for (int x = 0; x < 100; ++x) {
    row49 += image.pixel(x, 49) != qRgb(255, 255, 255);
    row48 += image.pixel(x, 48) != qRgb(255, 255, 255);
  }
  EXPECT_GT(row49, 20);
  EXPECT_LE(row48, 3);  // only where vertical lines cross
}

TEST(OrthoProjection, TheExampleVertexInEachPane) {
  CMeshwright s = Scene();
  const QPoint c0 = PaneCentre(kPlaneTop, 200, 100, PanOffsets());
  EXPECT_EQ(Project(kPlaneTop, CVector(10, 20, 30), c0, 100.0f), QPoint(110, 80));
  EXPECT_EQ(Project(kPlaneFace, CVector(10, 20, 30), PaneCentre(kPlaneFace, 200, 100, PanOffsets()), 100.0f),
            QPoint(110, 30));
  EXPECT_EQ(Project(kPlaneLeft, CVector(10, 20, 30), PaneCentre(kPlaneLeft, 200, 100, PanOffsets()), 100.0f),
            QPoint(70, 30));
  // Truncation toward zero, sign after truncation.
  EXPECT_EQ(Project(kPlaneTop, CVector(-1.5f, 0, 1.5f), QPoint(0, 0), 100.0f), QPoint(-1, 1));
  EXPECT_EQ(Project(kPlaneFace, CVector(0, 1.5f, 0), QPoint(0, 0), 100.0f), QPoint(0, -1));
  EXPECT_EQ(Project(kPlaneTop, CVector(3, 0, 0), QPoint(0, 0), 50.0f), QPoint(1, 0));
  // Pans move the centre: Left runs -Z to the right.
  PanOffsets pan{5, 6, 7};
  EXPECT_EQ(PaneCentre(kPlaneTop, 200, 100, pan), QPoint(105, 57));
  EXPECT_EQ(PaneCentre(kPlaneFace, 200, 100, pan), QPoint(105, 56));
  EXPECT_EQ(PaneCentre(kPlaneLeft, 200, 100, pan), QPoint(93, 56));
  // Absurd coordinates do not overflow.
  const QPoint far =
      Project(kPlaneTop, CVector(1e30f, std::numeric_limits<float>::quiet_NaN(), 0), QPoint(0, 0), 100.0f);
  EXPECT_GT(far.x(), 1000000);
}

TEST(OrthoVertices, SelectionReachesAVertexExactlyWhereItIsDrawn) {
  // Values on and just beside pixel edges at awkward zooms, negatives truncating toward zero: the
  // rectangle one pixel around the drawn square's centre selects the vertex, one beside it not.
  for (float zoom : {37.0f, 100.0f, 123.4567f}) {
    for (int k : {-29, -3, -1, 0, 1, 5, 29}) {
      const float edge = static_cast<float>(k * 100.0 / zoom);
      for (float value : {edge, std::nextafter(edge, -1e9f), std::nextafter(edge, 1e9f), edge * 0.5f}) {
        for (Plane plane : {kPlaneTop, kPlaneFace, kPlaneLeft}) {
          CMeshwright s = Scene();
          s.zoom = zoom;
          s.models[0].vertices = {CVertex(value, -value, value * 0.75f)};
          const QImage image = PaintVerticesOnly(s, plane);
          int left = 1000, top = 1000;
          for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
              if (image.pixel(x, y) != kWhite) {
                left = std::min(left, x);
                top = std::min(top, y);
              }
          const QPoint drawn(left + 1, top + 1);
          const QPoint c = PaneCentre(plane, 200, 100, PanOffsets());
          auto selects = [&](int l, int t, int r, int b) {
            s.SetAllSelected(0);
            s.SelectInRect(l, t, r, b, plane, 1, c.x(), c.y());
            return s.models[0].vertices[0].selected == 1;
          };
          const int x = drawn.x(), y = drawn.y();
          SCOPED_TRACE(testing::Message() << zoom << " " << value << " plane " << plane);
          EXPECT_TRUE(selects(x - 1, y - 1, x + 1, y + 1));
          EXPECT_FALSE(selects(x, y - 1, x + 2, y + 1));
          EXPECT_FALSE(selects(x - 2, y - 1, x, y + 1));
          EXPECT_FALSE(selects(x - 1, y, x + 1, y + 2));
          EXPECT_FALSE(selects(x - 1, y - 2, x + 1, y));
        }
      }
    }
  }
}

TEST(OrthoVertices, ThreeByThreeSquaresWithRedOnTop) {
  CMeshwright s = Scene();
  s.models[0].vertices = {CVertex(10, 20, 30), CVertex(10, 20, 30)};
  s.models[0].vertices[0].selected = 1;  // selected first in the list, drawn last
  const QImage image = PaintVerticesOnly(s, kPlaneTop);
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = -1; dy <= 1; ++dy) EXPECT_EQ(image.pixel(110 + dx, 80 + dy), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(112, 80), kWhite);
  EXPECT_EQ(image.pixel(108, 80), kWhite);
}

TEST(OrthoEdges, FacesDrawTheirEdgesAndSelectedOnesInRed) {
  CMeshwright s = Scene();
  CModel& m = s.models[0];
  m.vertices = {CVertex(-50, 0, -20), CVertex(50, 0, -20), CVertex(50, 0, 20), CVertex(-50, 0, 20), CVertex(0, 0, 40)};
  CFace quad;
  quad.indices = {0, 1, 2, 3};
  m.faces = {quad};
  QImage image = Paint(s, kPlaneTop);
  EXPECT_EQ(image.pixel(100, 30), qRgb(0, 0, 0));  // top edge, z = -20
  EXPECT_EQ(image.pixel(70, 70), qRgb(0, 0, 0));   // bottom edge, z = +20
  m.vertices[0].selected = m.vertices[1].selected = m.vertices[2].selected = m.vertices[3].selected = 1;
  m.UpdateFaceSelection();
  image = Paint(s, kPlaneTop);
  EXPECT_EQ(image.pixel(70, 30), qRgb(255, 0, 0));
}

// Midpoints of every edge of a face in a pane (the corners are placed so each midpoint is a
// whole pixel on the line: edges run along the axes or at 45 degrees).
std::vector<QPoint> EdgeMidpoints(const CModel& m, const CFace& f, Plane plane, QPoint centre) {
  std::vector<QPoint> out;
  const std::size_t n = f.indices.size();
  for (std::size_t k = 0; k < n; ++k) {
    const QPoint a = Project(plane, m.vertices[static_cast<std::size_t>(f.indices[k])].position, centre, 100.0f);
    const QPoint b =
        Project(plane, m.vertices[static_cast<std::size_t>(f.indices[(k + 1) % n])].position, centre, 100.0f);
    out.push_back((a + b) / 2);
  }
  return out;
}

TEST(OrthoEdges, FacesOfFiveAndMoreCornersDrawEveryEdge) {
  CMeshwright s = Scene();
  CModel& m = s.models[0];
  // A concave hexagon in the Top pane (notch at corner 0) and a pentagon (a house) in the Face
  // pane, each flat in the other pane's view.
  m.vertices = {CVertex(0, 0, 10),    CVertex(20, 0, 30),    CVertex(60, 0, 30),  CVertex(60, 0, -30),
                CVertex(-20, 0, -30), CVertex(-20, 0, 30),   CVertex(0, 40, 50),  CVertex(30, 10, 50),
                CVertex(30, -30, 50), CVertex(-30, -30, 50), CVertex(-30, 10, 50)};
  CFace hexagon, pentagon;
  hexagon.indices = {0, 1, 2, 3, 4, 5};
  pentagon.indices = {6, 7, 8, 9, 10};
  m.faces = {hexagon, pentagon};
  const QPoint top = PaneCentre(kPlaneTop, 200, 100, PanOffsets());
  const QPoint face = PaneCentre(kPlaneFace, 200, 100, PanOffsets());
  QImage image = Paint(s, kPlaneTop);
  for (QPoint p : EdgeMidpoints(m, hexagon, kPlaneTop, top))
    EXPECT_EQ(image.pixel(p), qRgb(0, 0, 0)) << p.x() << "," << p.y();
  EXPECT_EQ(image.pixel(top + QPoint(3, 25)), kWhite) << "inside the notch, between its two edges";
  EXPECT_EQ(image.pixel(top + QPoint(25, -7)), kWhite) << "inside the face: edges only";
  image = Paint(s, kPlaneFace);
  for (QPoint p : EdgeMidpoints(m, pentagon, kPlaneFace, face))
    EXPECT_EQ(image.pixel(p), qRgb(0, 0, 0)) << p.x() << "," << p.y();

  // Selected: the same edges in red.
  for (CVertex& v : m.vertices) v.selected = 1;
  m.UpdateFaceSelection();
  image = Paint(s, kPlaneTop);
  for (QPoint p : EdgeMidpoints(m, hexagon, kPlaneTop, top))
    EXPECT_EQ(image.pixel(p), qRgb(255, 0, 0)) << p.x() << "," << p.y();

  // One corner naming no vertex: the face draws nothing at all, its vertices still show.
  for (CVertex& v : m.vertices) v.selected = 0;
  m.UpdateFaceSelection();
  m.faces[0].indices[3] = 11;
  image = Paint(s, kPlaneTop);
  EXPECT_EQ(image.pixel(top + QPoint(10, 20)), kWhite) << "the edge from corner 0 to 1";
  EXPECT_EQ(image.pixel(top + QPoint(40, 30)), kWhite) << "the edge from corner 1 to 2";
  EXPECT_EQ(image.pixel(top + QPoint(20, 30)), qRgb(0, 0, 0)) << "the marker of vertex 1";
}

TEST(OrthoEdges, EdgesVanishWhileAButtonIsHeld) {
  CMeshwright s = Scene();
  CModel& m = s.models[0];
  m.vertices = {CVertex(-50, 0, 0), CVertex(50, 0, 0)};
  CFace line;
  line.indices = {0, 1};
  m.faces = {line};
  OrthoOverlay held;
  held.edgesVisible = false;
  EXPECT_EQ(Paint(s, kPlaneTop, 200, 100, OrthoOverlay()).pixel(80, 50), qRgb(0, 0, 0));
  EXPECT_NE(Paint(s, kPlaneTop, 200, 100, held).pixel(80, 50), qRgb(0, 0, 0));
}

TEST(OrthoPane, HiddenModelsDrawNothingAnywhere) {
  CMeshwright s = Scene();
  CModel& m = s.models[0];
  m.vertices = {CVertex(-50, 10, -20), CVertex(50, 10, -20), CVertex(50, 10, 20)};
  CFace tri;
  tri.indices = {0, 1, 2};
  m.faces = {tri};
  m.state = kStateHidden;
  CMeshwright empty = Scene();
  for (Plane plane : {kPlaneTop, kPlaneFace, kPlaneLeft}) EXPECT_EQ(Paint(s, plane), Paint(empty, plane)) << plane;
}

TEST(OrthoPane, SelectionRectangleAndFaceCreationOverlays) {
  CMeshwright s = Scene();
  OrthoOverlay rubber;
  rubber.selecting = true;
  rubber.dragStart = QPoint(20, 20);
  rubber.dragCurrent = QPoint(60, 40);
  QImage image = Paint(s, kPlaneTop, 200, 100, rubber);
  EXPECT_EQ(image.pixel(40, 20), qRgb(0, 255, 0));
  EXPECT_EQ(image.pixel(20, 30), qRgb(0, 255, 0));
  s.editMode = kModeMove;
  EXPECT_NE(Paint(s, kPlaneTop, 200, 100, rubber).pixel(40, 20), qRgb(0, 255, 0));

  s.editMode = kModeCreateFace;
  s.cursor = Cursor3{30, 0, -10};
  s.models[0].vertices = {CVertex(0, 0, 0)};
  s.models[0].pendingFace.indices = {0, 1};
  s.models[0].pendingVertices = {CVertex(40, 0, 0)};
  image = Paint(s, kPlaneTop);
  EXPECT_EQ(image.pixel(130, 5), qRgb(0, 0, 255));   // the cursor's vertical line at cx + 30
  EXPECT_EQ(image.pixel(5, 40), qRgb(0, 0, 255));    // its horizontal line at cy - 10
  EXPECT_EQ(image.pixel(120, 50), qRgb(0, 0, 255));  // the pending edge from (0,0) to the new vertex
  EXPECT_EQ(image.pixel(140, 50), qRgb(0, 0, 255));  // the pending vertex's marker
}

TEST(OrthoEdges, LinesLeaveOutTheirLastPixelAndFarLinesAreClipped) {
  CMeshwright s = Scene();
  CModel& m = s.models[0];
  m.vertices = {CVertex(-30, 0, 10), CVertex(30, 0, 10), CVertex(-1e7f, 0, 20), CVertex(1e7f, 0, 20)};
  CFace a, b;
  a.indices = {0, 1};
  b.indices = {2, 3};
  m.faces = {a, b};
  QImage image(200, 100, QImage::Format_RGB32);
  image.fill(Qt::white);
  DrawFaceEdges(image, s, kPlaneTop, QPoint(100, 50), s.zoom);
  EXPECT_EQ(image.pixel(70, 60), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(129, 60), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(130, 60), kWhite);  // the end point itself
  for (int x = 0; x < 200; x += 13) EXPECT_EQ(image.pixel(x, 70), qRgb(0, 0, 0)) << x;
}

TEST(OrthoPane, LabelsAreDrawnInGrey) {
  CMeshwright s = Scene();
  const QImage image = Paint(s, kPlaneFace);
  int grey = 0;
  for (int y = 0; y < 14; ++y)
    for (int x = 0; x < 40; ++x) grey += image.pixel(x, y) == qRgb(128, 128, 128);
  EXPECT_GT(grey, 5) << "the label \"Face\" in the top left corner";
}

}  // namespace
}  // namespace mw

namespace mw {
namespace {

// The refined surface's wire: grey where only the surface has edges, under the cage's black, and
// left out with the edges while a button is held.
TEST(OrthoRefinedWire, GreyUnderTheCageAndGoneWithTheEdges) {
  CMeshwright s = Scene();
  ASSERT_TRUE(s.AddBox(CVector(-40, -40, -40), CVector(40, 40, 40)));
  s.models[0].subdivisionScheme = kSubdivisionCatmullClark;
  s.models[0].subdivisionLevel = 2;
  SurfaceCache cache;
  const std::vector<const CModel*> surfaces = {cache.Surface(s.models[0], 0)};
  ASSERT_NE(surfaces[0], nullptr);
  const auto count = [](const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
    return n;
  };
  const QRgb grey = kRefinedWireColour, black = qRgb(0, 0, 0);
  OrthoOverlay wire;
  wire.refinedWire = &surfaces;
  for (Plane plane : {kPlaneTop, kPlaneFace, kPlaneLeft}) {
    // The labels' lettering has a few pixels of the wire's grey of its own.
    const QImage cage = Paint(s, plane, 200, 200), both = Paint(s, plane, 200, 200, wire);
    const int lettering = count(cage, grey);
    EXPECT_LT(lettering, 10) << plane;
    // Inside the cage's square the surface's lines cross it (level 2: three across each way).
    EXPECT_GT(count(both, grey) - lettering, 200) << plane;
    EXPECT_EQ(count(both, black), count(cage, black)) << plane;
    wire.edgesVisible = false;
    EXPECT_EQ(count(Paint(s, plane, 200, 200, wire), grey), lettering) << plane;
    wire.edgesVisible = true;
  }
}

}  // namespace
}  // namespace mw
