#include "app/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "app/commands.h"

namespace mw {
namespace {

QPixmap Canvas(int w, int h) {
  QPixmap p(w, h);
  p.fill(Qt::transparent);
  return p;
}

void Page(QPainter& p) {
  p.setPen(Qt::black);
  p.setBrush(Qt::white);
  const QPoint outline[5] = {{3, 1}, {9, 1}, {12, 4}, {12, 13}, {3, 13}};
  p.drawPolygon(outline, 5);
  p.drawLine(9, 1, 9, 4);
  p.drawLine(9, 4, 12, 4);
}

void Arrow(QPainter& p, QPoint from, QPoint to) {
  p.drawLine(from, to);
  const QPointF d =
      QPointF(to - from) / std::max(1.0, std::hypot(double(to.x() - from.x()), double(to.y() - from.y())));
  const QPointF n(-d.y(), d.x());
  const QPointF tip(to);
  p.drawLine(tip, tip - 3 * d + 2 * n);
  p.drawLine(tip, tip - 3 * d - 2 * n);
}

}  // namespace

QIcon ToolbarIcon(int command) {
  QPixmap pm = Canvas(16, 15);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, false);
  const QColor blue(0, 0, 160), red(200, 0, 0), green(0, 128, 0);
  switch (command) {
    case kCmdNew: Page(p); break;
    case kCmdOpen:  // an open folder
      p.setPen(Qt::black);
      p.setBrush(QColor(230, 200, 80));
      p.drawRect(1, 4, 12, 9);
      p.drawLine(1, 4, 4, 2);
      p.drawLine(4, 2, 7, 4);
      p.setBrush(QColor(250, 230, 130));
      {
        const QPoint lid[4] = {{3, 7}, {15, 7}, {13, 13}, {1, 13}};
        p.drawPolygon(lid, 4);
      }
      break;
    case kCmdSave:  // a diskette
      p.setPen(Qt::black);
      p.setBrush(blue);
      p.drawRect(1, 1, 13, 12);
      p.setBrush(Qt::white);
      p.drawRect(4, 1, 7, 5);
      p.fillRect(4, 9, 7, 4, QColor(200, 200, 200));
      break;
    case kCmdCut:  // scissors
      p.setPen(QPen(Qt::black, 1));
      p.drawLine(4, 1, 10, 9);
      p.drawLine(11, 1, 5, 9);
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(2, 9, 4, 4);
      p.drawEllipse(9, 9, 4, 4);
      break;
    case kCmdCopy:  // two pages
      p.setPen(Qt::black);
      p.setBrush(Qt::white);
      p.drawRect(1, 1, 8, 9);
      p.drawRect(6, 4, 8, 9);
      break;
    case kCmdPaste:  // a clipboard with a page
      p.setPen(Qt::black);
      p.setBrush(QColor(170, 120, 60));
      p.drawRect(1, 2, 9, 11);
      p.setBrush(Qt::white);
      p.drawRect(6, 5, 8, 9);
      p.fillRect(4, 1, 4, 2, Qt::black);
      break;
    case kCmdSelectAll:  // every point marked
    case kCmdDeselectAll:
      p.setPen(Qt::NoPen);
      for (int y = 2; y <= 11; y += 4)
        for (int x = 2; x <= 11; x += 4) p.fillRect(x, y, 3, 3, command == kCmdSelectAll ? red : Qt::black);
      if (command == kCmdDeselectAll) {
        p.setPen(QPen(QColor(120, 120, 120), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(0, 0, 15, 14);
      }
      break;
    case kCmdModeSelect:  // a rubber band around points
      p.setPen(QPen(green, 1, Qt::DashLine));
      p.setBrush(Qt::NoBrush);
      p.drawRect(1, 1, 13, 12);
      p.fillRect(4, 4, 3, 3, red);
      p.fillRect(9, 8, 3, 3, red);
      break;
    case kCmdModeMove:  // a four-way cross
      p.setPen(Qt::black);
      Arrow(p, {8, 7}, {8, 1});
      Arrow(p, {8, 7}, {8, 13});
      Arrow(p, {8, 7}, {2, 7});
      Arrow(p, {8, 7}, {14, 7});
      break;
    case kCmdModeRotate:  // a turning arrow
      p.setPen(Qt::black);
      p.setBrush(Qt::NoBrush);
      p.drawArc(2, 2, 11, 11, 30 * 16, 280 * 16);
      Arrow(p, {10, 3}, {13, 5});
      break;
    case kCmdModeSize:  // a small box in a large one
      p.setPen(Qt::black);
      p.setBrush(Qt::NoBrush);
      p.drawRect(1, 1, 13, 12);
      p.setBrush(QColor(120, 160, 220));
      p.drawRect(5, 5, 5, 4);
      Arrow(p, {10, 9}, {13, 12});
      break;
    case kCmdModeStretch:  // a box pulled wider
      p.setPen(Qt::black);
      p.setBrush(QColor(120, 160, 220));
      p.drawRect(4, 4, 7, 6);
      Arrow(p, {11, 7}, {15, 7});
      Arrow(p, {4, 7}, {0, 7});
      break;
    case kCmdNumericInput: {  // digits
      QFont f = p.font();
      f.setPixelSize(9);
      f.setBold(true);
      p.setFont(f);
      p.setPen(Qt::black);
      p.drawText(QRect(0, 0, 16, 15), Qt::AlignCenter, QStringLiteral("12"));
      p.drawLine(1, 13, 14, 13);
      break;
    }
    case kCmdModeCreateFace:  // a triangle built from corners
      p.setPen(blue);
      p.setBrush(QColor(190, 210, 255));
      {
        const QPoint tri[3] = {{2, 12}, {8, 2}, {14, 12}};
        p.drawPolygon(tri, 3);
      }
      for (QPoint c : {QPoint(2, 12), QPoint(8, 2), QPoint(14, 12)}) p.fillRect(c.x() - 1, c.y() - 1, 3, 3, blue);
      break;
    case kCmdModeCreateBox:  // a box drawn as its front and back squares
      p.setPen(blue);
      p.setBrush(QColor(190, 210, 255));
      p.drawRect(1, 5, 8, 8);
      p.setBrush(Qt::NoBrush);
      p.drawRect(6, 1, 8, 8);
      for (QPoint d : {QPoint(1, 5), QPoint(9, 5), QPoint(9, 13), QPoint(1, 13)}) p.drawLine(d, d + QPoint(5, -4));
      break;
    case kCmdSnapToGrid:  // a point held on a dotted grid
      p.setPen(QPen(QColor(128, 128, 128), 1, Qt::DotLine));
      for (int i = 2; i <= 14; i += 4) {
        p.drawLine(i, 1, i, 13);
        p.drawLine(1, i - 1, 14, i - 1);
      }
      p.fillRect(9, 4, 3, 3, red);
      break;
    case kCmdFrameAll:        // corner marks round a shape
    case kCmdFrameSelection:  // and round a selected point
      p.setPen(Qt::black);
      for (QPoint c : {QPoint(1, 1), QPoint(14, 1), QPoint(1, 13), QPoint(14, 13)}) {
        const int sx = c.x() < 8 ? 1 : -1, sy = c.y() < 7 ? 1 : -1;
        p.drawLine(c, c + QPoint(3 * sx, 0));
        p.drawLine(c, c + QPoint(0, 3 * sy));
      }
      if (command == kCmdFrameAll) {
        p.setBrush(QColor(120, 160, 220));
        p.drawRect(4, 4, 7, 5);
      } else {
        p.fillRect(6, 5, 4, 4, red);
      }
      break;
    case kCmdAssignMaterial:  // a paint bucket over a face
      p.setPen(Qt::black);
      p.setBrush(QColor(220, 80, 60));
      {
        const QPoint face[4] = {{1, 13}, {6, 8}, {14, 8}, {9, 13}};
        p.drawPolygon(face, 4);
      }
      p.setBrush(QColor(90, 90, 90));
      p.drawRect(5, 1, 5, 5);
      p.fillRect(10, 3, 2, 3, QColor(220, 80, 60));
      break;
    case kCmdUndo:    // an arrow turning back to the left
    case kCmdRedo: {  // and to the right
      p.setRenderHint(QPainter::Antialiasing, true);
      p.setPen(QPen(blue, 1.6));
      p.setBrush(Qt::NoBrush);
      QPainterPath turn;
      turn.moveTo(3, 7);
      turn.cubicTo(5, 1, 13, 2, 12, 9);
      turn.lineTo(10, 12);
      if (command == kCmdRedo) p.setTransform(QTransform(-1, 0, 0, 1, 16, 0));
      p.drawPath(turn);
      p.setBrush(blue);
      p.setPen(Qt::NoPen);
      const QPointF head[3] = {{0.5, 5}, {6, 5}, {3, 10}};
      p.drawPolygon(head, 3);
      break;
    }
    case kCmdAbout: {  // a question mark
      p.setRenderHint(QPainter::Antialiasing, true);
      p.setPen(Qt::NoPen);
      p.setBrush(blue);
      p.drawEllipse(1, 0, 14, 14);
      QFont f = p.font();
      f.setPixelSize(11);
      f.setBold(true);
      p.setFont(f);
      p.setPen(Qt::white);
      p.drawText(QRect(1, 0, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
      break;
    }
    case kCmdWeld:  // two points drawn together into one
      p.setPen(Qt::black);
      Arrow(p, {1, 7}, {6, 7});
      Arrow(p, {14, 7}, {9, 7});
      p.fillRect(6, 6, 4, 3, red);
      p.fillRect(1, 2, 2, 2, Qt::black);
      p.fillRect(13, 11, 2, 2, Qt::black);
      break;
    case kCmdFlipFaces: {  // a face, half front half back, with a turning arrow
      const QPoint front[3] = {{1, 13}, {8, 13}, {8, 3}};
      const QPoint back[3] = {{8, 13}, {15, 13}, {8, 3}};
      p.setPen(Qt::black);
      p.setBrush(QColor(230, 170, 80));
      p.drawPolygon(front, 3);
      p.setBrush(QColor(120, 120, 120));
      p.drawPolygon(back, 3);
      p.setPen(blue);
      p.setBrush(Qt::NoBrush);
      p.drawArc(3, 0, 10, 6, 0, 180 * 16);
      Arrow(p, {12, 2}, {13, 4});
      break;
    }
    case kCmdPrimitive:  // a sphere drawn as wire, its equator and a meridian
      p.setPen(blue);
      p.setBrush(QColor(200, 220, 255));
      p.drawEllipse(1, 0, 13, 13);
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(1, 4, 13, 5);
      p.drawEllipse(5, 0, 5, 13);
      break;
    case kCmdSelectVertices:  // a quad outline, its corners red
    case kCmdSelectEdges:     // its top side red
    case kCmdSelectFaces: {   // the whole face tinted
      const QPoint quad[4] = {{2, 12}, {4, 3}, {13, 3}, {13, 12}};
      p.setPen(Qt::black);
      p.setBrush(command == kCmdSelectFaces ? QColor(240, 150, 140) : QColor(Qt::white));
      p.drawPolygon(quad, 4);
      if (command == kCmdSelectVertices)
        for (QPoint c : quad) p.fillRect(c.x() - 1, c.y() - 1, 3, 3, red);
      if (command == kCmdSelectEdges) {
        p.setPen(QPen(red, 2));
        p.drawLine(quad[1], quad[2]);
      }
      break;
    }
    case kCmdExtrude: {  // a slab with a block rising from its top, an arrow upward
      p.setPen(Qt::black);
      p.setBrush(QColor(200, 200, 200));
      p.drawRect(1, 10, 13, 3);
      p.setBrush(QColor(240, 150, 140));
      p.drawRect(4, 5, 7, 5);
      Arrow(p, {7, 4}, {7, 0});
      break;
    }
    case kCmdInset: {  // a face with a smaller face inside it
      p.setPen(Qt::black);
      p.setBrush(QColor(200, 200, 200));
      p.drawRect(1, 1, 13, 12);
      p.setBrush(QColor(240, 150, 140));
      p.drawRect(4, 4, 7, 6);
      break;
    }
    case kCmdBevel: {  // a block with one corner cut off, the cut tinted
      p.setPen(Qt::black);
      p.setBrush(QColor(200, 200, 200));
      const QPoint block[5] = {{1, 13}, {1, 1}, {9, 1}, {14, 6}, {14, 13}};
      p.drawPolygon(block, 5);
      p.setPen(QPen(red, 2));
      p.drawLine(9, 1, 14, 6);
      break;
    }
    default: break;
  }
  return QIcon(pm);
}

QPixmap StatePicture(int state) {
  QPixmap pm = Canvas(19, 19);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(1, 1, 17, 17, Qt::white);
  p.setPen(Qt::black);
  p.setBrush(Qt::NoBrush);
  p.drawRect(1, 1, 16, 16);
  if (state == 1) {  // an eye: open, drawn
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath eye;
    eye.moveTo(3.5, 9.5);
    eye.quadTo(9.5, 3, 15.5, 9.5);
    eye.quadTo(9.5, 16, 3.5, 9.5);
    p.drawPath(eye);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(9.5, 9.5), 2.2, 2.2);
  } else if (state == 2) {  // a key: locked
    p.setBrush(QColor(200, 160, 40));
    p.drawEllipse(3, 6, 6, 6);
    p.fillRect(9, 8, 7, 2, QColor(200, 160, 40));
    p.fillRect(12, 10, 2, 3, QColor(200, 160, 40));
    p.fillRect(14, 10, 2, 2, QColor(200, 160, 40));
    p.setBrush(Qt::white);
    p.drawEllipse(5, 8, 2, 2);
  }
  return pm;
}

QImage ProgramIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  // Drawn on a 32-unit square, whatever the size.
  p.scale(size / 32.0, size / 32.0);
  p.setPen(QPen(QColor(20, 40, 80), 1.5));
  p.setBrush(QColor(90, 150, 220));
  const QPointF front[4] = {{6, 12}, {20, 12}, {20, 27}, {6, 27}};
  const QPointF top[4] = {{6, 12}, {13, 5}, {27, 5}, {20, 12}};
  const QPointF side[4] = {{20, 12}, {27, 5}, {27, 20}, {20, 27}};
  p.drawPolygon(front, 4);
  p.setBrush(QColor(150, 200, 250));
  p.drawPolygon(top, 4);
  p.setBrush(QColor(50, 100, 170));
  p.drawPolygon(side, 4);
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : kProgramIconSizes) icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
  return icon;
}

}  // namespace mw
