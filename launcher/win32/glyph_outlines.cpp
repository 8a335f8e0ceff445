#include "win32/glyph_outlines.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace plotwick {
namespace {

// Curves are flattened on the device to within this many pixels of the true curve.
constexpr double kFlatnessPixels = 0.25;
// A curve larger than the picture is cut to it anyway: its pieces need not follow it
// closely where it cannot be seen.
constexpr double kMostPiecesPerCurve = 32;

double valueOf(const FIXED& fixed) {
    return fixed.value + fixed.fract / 65536.0;
}

OutlinePoint deviceOf(const Affine& toDevice, double x, double y) {
    OutlinePoint device;
    toDevice.map(x, y, device.x, device.y);
    return device;
}

// The pieces a curve is flattened into, from its largest second derivative over 8:
// a piece strays at most that much over the square of the pieces from the curve.
int piecesFor(double bend) {
    const double pieces = std::ceil(std::sqrt(bend / kFlatnessPixels));
    return pieces >= 1 ? static_cast<int>(std::min(pieces, kMostPiecesPerCurve)) : 1;
}

double bendOf(const OutlinePoint& a, const OutlinePoint& b, const OutlinePoint& c) {
    return std::hypot(a.x - 2 * b.x + c.x, a.y - 2 * b.y + c.y);
}

// The side of the area's edge that is kept: points whose x (or y) is at most (or at
// least) the limit.
struct Side {
    bool onX;
    double limit;
    bool keepBelow;

    double of(const OutlinePoint& p) const { return onX ? p.x : p.y; }
    bool keeps(const OutlinePoint& p) const { return keepBelow ? of(p) <= limit : of(p) >= limit; }
    OutlinePoint crossing(const OutlinePoint& from, const OutlinePoint& to) const {
        const double t = (limit - of(from)) / (of(to) - of(from));
        OutlinePoint at{from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t};
        (onX ? at.x : at.y) = limit;
        return at;
    }
};

std::vector<OutlinePoint> keepSide(const std::vector<OutlinePoint>& contour, const Side& side) {
    std::vector<OutlinePoint> kept;
    for (std::size_t i = 0; i < contour.size(); ++i) {
        const OutlinePoint& from = contour[i == 0 ? contour.size() - 1 : i - 1];
        const OutlinePoint& to = contour[i];
        if (side.keeps(to) != side.keeps(from)) kept.push_back(side.crossing(from, to));
        if (side.keeps(to)) kept.push_back(to);
    }
    return kept;
}

bool isFinite(const std::vector<OutlinePoint>& contour) {
    return std::all_of(contour.begin(), contour.end(), [](const OutlinePoint& p) {
        return std::isfinite(p.x) && std::isfinite(p.y);
    });
}

}  // namespace

std::vector<OutlinePoint> cutContour(std::vector<OutlinePoint> contour, const OutlineArea& area) {
    const Side sides[] = {{true, area.left, false},
                          {true, area.right, true},
                          {false, area.top, false},
                          {false, area.bottom, true}};
    for (const Side& side : sides) {
        if (contour.empty()) break;
        contour = keepSide(contour, side);
    }
    return contour;
}

bool GlyphOutlines::reaches(const Affine& glyphToDevice, double left, double top, double right,
                            double bottom) const {
    const OutlinePoint corners[] = {
        deviceOf(glyphToDevice, left, top), deviceOf(glyphToDevice, right, top),
        deviceOf(glyphToDevice, right, bottom), deviceOf(glyphToDevice, left, bottom)};
    OutlineArea box{corners[0].x, corners[0].y, corners[0].x, corners[0].y};
    for (const OutlinePoint& corner : corners) {
        box.left = std::min(box.left, corner.x);
        box.right = std::max(box.right, corner.x);
        box.top = std::min(box.top, corner.y);
        box.bottom = std::max(box.bottom, corner.y);
    }
    return box.right >= m_area.left && box.left <= m_area.right && box.bottom >= m_area.top &&
           box.top <= m_area.bottom;
}

bool GlyphOutlines::charge(std::size_t points) {
    if (points > m_budget) {
        m_budget = 0;
        return false;
    }
    m_budget -= points;
    return true;
}

bool GlyphOutlines::addBox(const Affine& glyphToDevice, double left, double top, double right,
                           double bottom) {
    if (!charge(4)) return false;
    std::vector<OutlinePoint> contour = {
        deviceOf(glyphToDevice, left, top), deviceOf(glyphToDevice, right, top),
        deviceOf(glyphToDevice, right, bottom), deviceOf(glyphToDevice, left, bottom)};
    close(contour);
    return true;
}

// Follows one curve record from the contour's last point: its points on the device,
// flattened.
bool GlyphOutlines::follow(WORD type, const std::vector<OutlinePoint>& given,
                           std::vector<OutlinePoint>& contour) {
    const std::size_t count = given.size();
    if (type == TT_PRIM_QSPLINE && count >= 2) {
        // A B-spline: between two control points lies the midpoint the curve runs through.
        for (std::size_t i = 0; i + 1 < count; ++i) {
            const OutlinePoint from = contour.back(), control = given[i];
            const OutlinePoint to = i + 2 < count ? OutlinePoint{(given[i].x + given[i + 1].x) / 2,
                                                                 (given[i].y + given[i + 1].y) / 2}
                                                  : given[i + 1];
            const int pieces = piecesFor(bendOf(from, control, to) / 4);
            if (!charge(static_cast<std::size_t>(pieces))) return false;
            for (int piece = 1; piece <= pieces; ++piece) {
                const double t = double(piece) / pieces, u = 1 - t;
                contour.push_back({u * u * from.x + 2 * u * t * control.x + t * t * to.x,
                                   u * u * from.y + 2 * u * t * control.y + t * t * to.y});
            }
        }
        return true;
    }
    if (type == TT_PRIM_CSPLINE) {
        for (std::size_t i = 0; i + 2 < count; i += 3) {
            const OutlinePoint a = contour.back(), b = given[i], c = given[i + 1], d = given[i + 2];
            const int pieces = piecesFor(3 * std::max(bendOf(a, b, c), bendOf(b, c, d)) / 4);
            if (!charge(static_cast<std::size_t>(pieces))) return false;
            for (int piece = 1; piece <= pieces; ++piece) {
                const double t = double(piece) / pieces, u = 1 - t;
                const double wa = u * u * u, wb = 3 * u * u * t, wc = 3 * u * t * t, wd = t * t * t;
                contour.push_back({wa * a.x + wb * b.x + wc * c.x + wd * d.x,
                                   wa * a.y + wb * b.y + wc * c.y + wd * d.y});
            }
        }
        return true;
    }
    if (!charge(count)) return false;
    contour.insert(contour.end(), given.begin(), given.end());  // lines
    return true;
}

bool GlyphOutlines::addNative(std::span<const BYTE> records, const Affine& glyphToDevice) {
    auto pointAt = [&](std::size_t at) {
        POINTFX point;
        std::memcpy(&point, records.data() + at, sizeof point);
        return deviceOf(glyphToDevice, valueOf(point.x), valueOf(point.y));
    };
    std::vector<OutlinePoint> contour, given;
    std::size_t at = 0;
    while (at + sizeof(TTPOLYGONHEADER) <= records.size()) {
        TTPOLYGONHEADER polygon;
        std::memcpy(&polygon, records.data() + at, sizeof polygon);
        if (polygon.cb < sizeof polygon || polygon.cb > records.size() - at) break;
        const std::size_t end = at + polygon.cb;
        if (!charge(1)) return false;
        contour.assign(1, pointAt(at + offsetof(TTPOLYGONHEADER, pfxStart)));
        constexpr std::size_t kCurveHead = offsetof(TTPOLYCURVE, apfx);
        for (std::size_t curve = at + sizeof polygon; curve + kCurveHead <= end;) {
            TTPOLYCURVE head;
            std::memcpy(&head, records.data() + curve, kCurveHead);
            const std::size_t first = curve + kCurveHead;
            if (head.cpfx * sizeof(POINTFX) > end - first) break;
            given.clear();
            for (std::size_t i = 0; i < head.cpfx; ++i)
                given.push_back(pointAt(first + i * sizeof(POINTFX)));
            if (!follow(head.wType, given, contour)) return false;
            curve = first + head.cpfx * sizeof(POINTFX);
        }
        close(contour);
        at = end;
    }
    return true;
}

void GlyphOutlines::close(std::vector<OutlinePoint>& contour) {
    if (!isFinite(contour)) return;
    const std::vector<OutlinePoint> cut = cutContour(std::move(contour), m_area);
    if (cut.size() < 3 || !isFinite(cut)) return;  // a far point's crossing may be lost
    for (const OutlinePoint& p : cut)
        m_points.push_back({std::lround(p.x), std::lround(p.y)});
    m_counts.push_back(static_cast<INT>(cut.size()));
}

}  // namespace plotwick
