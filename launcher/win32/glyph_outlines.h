// Text as filled glyph outlines for GDI: GetGlyphOutlineW's outlines flattened on the
// device and cut to the visible area, so that no glyph is ever drawn as a picture of
// its own size on the device, however large or distorted it is there.
#pragma once

#include <windows.h>

#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

namespace plotwick {

// A 2D affine map with row vectors, as the sheet's transform is written.
struct Affine {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;

    void map(double x, double y, double& outX, double& outY) const {
        outX = x * m11 + y * m21 + dx;
        outY = x * m12 + y * m22 + dy;
    }
    // This map followed by `next`.
    Affine then(const Affine& next) const {
        return {m11 * next.m11 + m12 * next.m21,         m11 * next.m12 + m12 * next.m22,
                m21 * next.m11 + m22 * next.m21,         m21 * next.m12 + m22 * next.m22,
                dx * next.m11 + dy * next.m21 + next.dx, dx * next.m12 + dy * next.m22 + next.dy};
    }
    double scale() const { return std::sqrt(std::abs(m11 * m22 - m12 * m21)); }
    bool isFinite() const {
        return std::isfinite(m11) && std::isfinite(m12) && std::isfinite(m21) &&
               std::isfinite(m22) && std::isfinite(dx) && std::isfinite(dy);
    }
};

struct OutlinePoint {
    double x = 0, y = 0;
};

// A rectangle on the device, as doubles: outlines are cut before they are rounded.
struct OutlineArea {
    double left = 0, top = 0, right = 0, bottom = 0;
};

// Cuts a closed contour to the area (Sutherland-Hodgman, side by side). Inside the area
// every point keeps its winding number, so contours cut one by one fill as before.
std::vector<OutlinePoint> cutContour(std::vector<OutlinePoint> contour, const OutlineArea& area);

// Closed device contours of a text's glyphs, cut to an area, to be filled by the winding
// rule. The points a text may take, read and kept, are bounded, so that a short stream
// cannot ask for unbounded work.
class GlyphOutlines {
  public:
    GlyphOutlines(const OutlineArea& area, std::size_t mostPoints)
        : m_area(area), m_budget(mostPoints) {}

    // Whether any of the box (glyph space: x right, y up) may reach the area.
    bool reaches(const Affine& glyphToDevice, double left, double top, double right,
                 double bottom) const;
    // Adds the contours of GetGlyphOutlineW's GGO_NATIVE records (lines, quadratic and
    // cubic splines; glyph space). False once the budget is spent.
    bool addNative(std::span<const BYTE> records, const Affine& glyphToDevice);
    // Adds the box (glyph space) as one contour. False once the budget is spent.
    bool addBox(const Affine& glyphToDevice, double left, double top, double right, double bottom);
    // Takes `points` from the budget for work that adds none. False once it is spent.
    bool charge(std::size_t points);

    // The contours rounded to device pixels, with their point counts, for PolyPolygon.
    const std::vector<POINT>& points() const { return m_points; }
    const std::vector<INT>& counts() const { return m_counts; }

  private:
    bool follow(WORD type, const std::vector<OutlinePoint>& given,
                std::vector<OutlinePoint>& contour);
    void close(std::vector<OutlinePoint>& contour);

    OutlineArea m_area;
    std::size_t m_budget;
    std::vector<POINT> m_points;
    std::vector<INT> m_counts;
};

}  // namespace plotwick
