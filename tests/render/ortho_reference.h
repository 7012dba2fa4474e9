// The orthographic pane's drawing as it was before it was made faster (see ortho_reference.cpp).
#pragma once

#include <QPoint>
#include <QRect>

#include "render/ortho_painter.h"

namespace mw::reference {

QPoint OldPaneCentre(Plane plane, int width, int height, const PanOffsets& pan);
QPoint OldProject(Plane plane, const CVector& p, QPoint centre, float zoom);
void DrawOrthoPane(QImage& image, const CMeshwright& scene, Plane plane, const PanOffsets& pan,
                   const OrthoOverlay& overlay);
void DrawGrid(QPainter& painter, const QRect& rect, QPoint centre, float zoom);
void DrawFaceEdges(QImage& image, const CMeshwright& scene, Plane plane, QPoint centre);
void DrawVertices(QImage& image, const CMeshwright& scene, Plane plane, QPoint centre);
void DrawSelectionRectangle(QPainter& painter, QPoint from, QPoint to);
void DrawFaceCreation(QPainter& painter, const CMeshwright& scene, Plane plane, QPoint centre, const QRect& rect);

}  // namespace mw::reference
