// Draws a decoded sheet with GDI into any device context, like the QPainter drawing
// half of the Linux build: the sheet's paper (or, without one, its view extent or the
// extent of what it draws) is fitted into a target rectangle with its aspect kept and
// shown as white paper, then zoomed and panned. Colours with alpha are blended.
#pragma once

#include <windows.h>

#include "dwf/dwf_document.h"
#include "dwf/view_adjustment.h"

namespace plotwick {

void drawSheet(HDC dc, const Sheet& sheet, const RECT& target,
               const ViewAdjustment& adjustment = {});

}  // namespace plotwick
