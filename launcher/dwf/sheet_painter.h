// Draws a decoded sheet with QPainter into any paint device: the sheet's paper (or,
// without one, its view extent or the extent of what it draws) is fitted into a target
// rectangle with its aspect kept, shown as white paper, then zoomed and panned.
// On a vector device (PDF, SVG) texts stay texts at any size.
#pragma once

#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QRectF>
#include <QTransform>

#include "dwf/dwf_document.h"
#include "dwf/view_adjustment.h"

namespace plotwick {

void drawSheet(QPainter& painter, const Sheet& sheet, const QRectF& target,
               const ViewAdjustment& adjustment = {});

// The page a sheet is printed on: its paper, or, without one, a page of the shape of
// its view extent (or of what it draws) whose longer side is an A4 sheet's 297 mm.
// A paper of more than 200 inches a side (more than PDF readers take) is scaled down.
QPageSize pageSizeOf(const Sheet& sheet);
// A page of the given shape (any units) whose longer side is `longSideMillimetres`.
QPageSize pageSizeOfShape(double width, double height, double longSideMillimetres = 297);

// A package's own preview picture, fitted into the target with its aspect kept.
void drawPicture(QPainter& painter, const QImage& picture, const QRectF& target);

}  // namespace plotwick
