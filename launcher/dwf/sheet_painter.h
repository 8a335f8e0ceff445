// Draws a decoded sheet with QPainter into any paint device: the sheet's paper (or,
// without one, its view extent or the extent of what it draws) is fitted into a target
// rectangle with its aspect kept, shown as white paper, then zoomed and panned.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QTransform>

#include "dwf/dwf_document.h"
#include "dwf/view_adjustment.h"

namespace plotwick {

void drawSheet(QPainter& painter, const Sheet& sheet, const QRectF& target,
               const ViewAdjustment& adjustment = {});

// A package's own preview picture, fitted into the target with its aspect kept.
void drawPicture(QPainter& painter, const QImage& picture, const QRectF& target);

}  // namespace plotwick
