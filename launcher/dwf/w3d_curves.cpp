#include "dwf/w3d_curves.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace plotwick::internal {
namespace {

constexpr double kTurn = 2 * std::numbers::pi;

W3dPoint minus(const W3dPoint& a, const W3dPoint& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

W3dPoint cross(const W3dPoint& a, const W3dPoint& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double dot(const W3dPoint& a, const W3dPoint& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// centre + cos(angle) first + sin(angle) second
W3dPoint onRound(const W3dPoint& centre, const W3dPoint& first, const W3dPoint& second,
                 double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    return {centre[0] + c * first[0] + s * second[0], centre[1] + c * first[1] + s * second[1],
            centre[2] + c * first[2] + s * second[2]};
}

std::size_t segmentsFor(double sweep) {
    // A quarter turn computed a hair over a quarter still takes a quarter's segments.
    const double share = std::ceil(kSegmentsPerTurn * sweep / kTurn - 1e-3);
    return static_cast<std::size_t>(std::clamp(share, 2.0, double{kSegmentsPerTurn}));
}

std::vector<W3dPoint> sweepRound(const W3dPoint& centre, const W3dPoint& first,
                                 const W3dPoint& second, double from, double sweep, bool whole) {
    const std::size_t segments = whole ? kSegmentsPerTurn : segmentsFor(sweep);
    std::vector<W3dPoint> points;
    for (std::size_t i = 0; i <= segments; ++i) {
        if (whole && i == segments) break;  // the closing segment returns to the first
        points.push_back(onRound(centre, first, second, from + sweep * i / segments));
    }
    return points;
}

bool readPoint(ByteCursor& cursor, W3dPoint& point) {
    for (double& value : point) {
        float single = 0;
        if (!cursor.read(single)) return false;
        value = single;
    }
    return true;
}

bool readPoints(ByteCursor& cursor, std::size_t count, std::vector<W3dPoint>& points) {
    if (count > cursor.remaining() / 12) return false;  // before allocating for them
    points.resize(count);
    for (W3dPoint& point : points) {
        if (!readPoint(cursor, point)) return false;
    }
    return true;
}

bool readDoubles(ByteCursor& cursor, std::size_t count, std::vector<double>& values) {
    if (count > cursor.remaining() / 4) return false;
    values.resize(count);
    for (double& value : values) {
        float single = 0;
        if (!cursor.read(single)) return false;
        value = single;
    }
    return true;
}

bool readDouble(ByteCursor& cursor, double& value) {
    float single = 0;
    if (!cursor.read(single)) return false;
    value = single;
    return true;
}

// Three points on a circle; from version 12.15 a flag byte, and a centre when it says so.
bool readRound(std::uint8_t op, ByteCursor& cursor, unsigned version, W3dCurve& curve) {
    W3dPoint start{}, middle{}, end{}, given{};
    if (!readPoint(cursor, start) || !readPoint(cursor, middle) || !readPoint(cursor, end))
        return false;
    if (version >= 1215) {
        std::uint8_t flags = 0;
        if (!cursor.read(flags)) return false;
        // The three points fix the circle; the written centre is only a convenience.
        if ((flags & 0x01) && !readPoint(cursor, given)) return false;
    }
    W3dPoint centre{};
    curve.points = circularArc(start, middle, end, op == 'C', &centre);
    curve.join = op == 'c' ? W3dCurve::Join::open : W3dCurve::Join::closed;
    if (op == 'w') curve.points.push_back(centre);
    return true;
}

bool readEllipse(std::uint8_t op, ByteCursor& cursor, W3dCurve& curve) {
    W3dPoint centre{}, major{}, minor{};
    double start = 0, end = 1;
    if (!readPoint(cursor, centre) || !readPoint(cursor, major) || !readPoint(cursor, minor))
        return false;
    if (op == 'e' && !(readDouble(cursor, start) && readDouble(cursor, end))) return false;
    curve.points = ellipticalArc(centre, major, minor, start, end);
    if (op == 'E') {
        curve.join = W3dCurve::Join::closed;
        if (!curve.points.empty()) curve.points.pop_back();  // the same as the first
    }
    return true;
}

bool readPolyline(std::uint8_t op, ByteCursor& cursor, W3dCurve& curve) {
    std::int32_t count = 0;
    if (!cursor.read(count)) return false;
    // A negative count: the points pair up into separate segments.
    if (op == 'L' && count < 0) curve.join = W3dCurve::Join::pairs;
    if (op == 'G') curve.join = W3dCurve::Join::closed;
    return readPoints(cursor, static_cast<std::size_t>(std::abs(std::int64_t{count})),
                      curve.points);
}

bool readNurbs(ByteCursor& cursor, W3dCurveBudget& budget, W3dCurve& curve, std::string& error) {
    std::uint8_t options = 0, degree = 0;
    std::int32_t count = 0;
    if (!cursor.read(options) || !cursor.read(degree) || !cursor.read(count) || count < 0)
        return false;
    W3dNurbs nurbs;
    nurbs.degree = degree;
    const std::size_t n = static_cast<std::size_t>(count);
    if (!readPoints(cursor, n, nurbs.controls)) return false;
    if ((options & 0x01) && !readDoubles(cursor, n, nurbs.weights)) return false;
    if ((options & 0x02) && !readDoubles(cursor, n + degree + 1, nurbs.knots)) return false;
    if ((options & 0x04) && !readDouble(cursor, nurbs.start)) return false;
    if ((options & 0x08) && !readDouble(cursor, nurbs.end)) return false;
    return tessellateNurbs(nurbs, budget, curve.points, error);
}

bool knotsMakeACurve(const W3dNurbs& curve, const std::vector<double>& knots) {
    const std::size_t n = curve.controls.size();
    if (curve.degree == 0 || n < curve.degree + 1) return false;
    if (knots.size() != n + curve.degree + 1) return false;
    if (!curve.weights.empty() && curve.weights.size() != n) return false;
    for (std::size_t i = 0; i < knots.size(); ++i) {
        if (!std::isfinite(knots[i]) || (i > 0 && knots[i] < knots[i - 1])) return false;
    }
    return knots[curve.degree] < knots[n];
}

// Ends repeated degree + 1 times, so that the curve starts and ends at its end points.
std::vector<double> clampedUniformKnots(std::size_t controls, unsigned degree) {
    std::vector<double> knots;
    for (std::size_t i = 0; i < controls + degree + 1; ++i) {
        const double inner = static_cast<double>(i) - degree;
        knots.push_back(std::clamp(inner, 0.0, static_cast<double>(controls - degree)));
    }
    return knots;
}

// The point at `u` inside span [knots[span], knots[span + 1]), in homogeneous coordinates.
// `d` is scratch room for degree + 1 homogeneous points.
W3dPoint deBoor(const W3dNurbs& curve, const std::vector<double>& knots, std::size_t span, double u,
                std::vector<std::array<double, 4>>& d) {
    const std::size_t p = curve.degree;
    for (std::size_t j = 0; j <= p; ++j) {
        const std::size_t i = j + span - p;
        const double w = curve.weights.empty() ? 1.0 : curve.weights[i];
        const W3dPoint& c = curve.controls[i];
        d[j] = {c[0] * w, c[1] * w, c[2] * w, w};
    }
    for (std::size_t r = 1; r <= p; ++r) {
        for (std::size_t j = p; j >= r; --j) {
            const double low = knots[j + span - p], high = knots[j + 1 + span - r];
            const double a = (u - low) / (high - low);
            for (int k = 0; k < 4; ++k)
                d[j][k] = (1 - a) * d[j - 1][k] + a * d[j][k];
        }
    }
    return {d[p][0] / d[p][3], d[p][1] / d[p][3], d[p][2] / d[p][3]};
}

// A curve turns no further than its control polygon, so a span takes the segments an
// arc turning as far as the span's control points do would take: a straight span one.
std::size_t segmentsOfSpan(const W3dNurbs& curve, std::size_t span) {
    if (curve.degree == 1) return 1;
    double turn = 0;
    std::optional<W3dPoint> previous;
    for (std::size_t i = span - curve.degree; i < span; ++i) {
        const W3dPoint leg = minus(curve.controls[i + 1], curve.controls[i]);
        if (!(dot(leg, leg) > 0)) continue;
        if (previous) {
            const double cosine =
                dot(*previous, leg) / std::sqrt(dot(*previous, *previous) * dot(leg, leg));
            turn += std::acos(std::clamp(cosine, -1.0, 1.0));
        }
        previous = leg;
    }
    if (!std::isfinite(turn)) return kSegmentsPerSpan;
    const double share = std::ceil(kSegmentsPerTurn * turn / kTurn - 1e-3);
    return static_cast<std::size_t>(std::clamp(share, 1.0, double{kSegmentsPerSpan}));
}

}  // namespace

std::optional<W3dCurveClass> curveClassOf(std::uint8_t op) {
    switch (op) {
        case 'G':
        case 'C':
        case '\\':
        case 'w':
        case 'E':
            return W3dCurveClass::edges;
        case 'l':
        case 'L':
        case 'c':
        case 'e':
        case 'N':
            return W3dCurveClass::lines;
        case 'X':
            return W3dCurveClass::markers;
        default:
            return std::nullopt;
    }
}

std::vector<W3dPoint> circularArc(const W3dPoint& start, const W3dPoint& middle,
                                  const W3dPoint& end, bool whole, W3dPoint* centre) {
    const W3dPoint u = minus(middle, start), v = minus(end, start), w = cross(u, v);
    const double ww = dot(w, w), uu = dot(u, u), vv = dot(v, v);
    if (!(ww > 1e-24 * uu * vv)) {
        // In a line (or repeated): no circle, so the points as they are.
        if (centre) *centre = middle;
        return {start, middle, end};
    }
    // The circumcentre of the triangle, relative to start.
    const W3dPoint a = cross(v, w), b = cross(w, u);
    W3dPoint offset{};
    for (int k = 0; k < 3; ++k)
        offset[k] = (uu * a[k] + vv * b[k]) / (2 * ww);
    const W3dPoint middleOf{start[0] + offset[0], start[1] + offset[1], start[2] + offset[2]};
    if (centre) *centre = middleOf;
    // In the frame of the triangle's normal, start, middle and end run counter-clockwise.
    const W3dPoint first = minus(start, middleOf);
    const double radius = std::sqrt(dot(first, first));
    const double length = std::sqrt(ww);
    const W3dPoint normal{w[0] / length, w[1] / length, w[2] / length};
    const W3dPoint second = cross(normal, first);
    const W3dPoint toEnd = minus(end, middleOf);
    double sweep = std::atan2(dot(toEnd, second) / radius, dot(toEnd, first) / radius);
    if (sweep <= 0) sweep += kTurn;
    if (whole) sweep = kTurn;
    return sweepRound(middleOf, first, second, 0, sweep, whole);
}

std::vector<W3dPoint> ellipticalArc(const W3dPoint& centre, const W3dPoint& major,
                                    const W3dPoint& minor, double start, double end) {
    if (!std::isfinite(start) || !std::isfinite(end)) return {};
    double sweep = end - start;
    if (sweep < 0) sweep += 1;
    sweep = std::clamp(sweep, 0.0, 1.0);
    if (sweep == 0) return {};
    return sweepRound(centre, minus(major, centre), minus(minor, centre), start * kTurn,
                      sweep * kTurn, false);
}

bool tessellateNurbs(const W3dNurbs& curve, W3dCurveBudget& budget, std::vector<W3dPoint>& points,
                     std::string& error) {
    points.clear();
    const std::vector<double> knots = curve.knots.empty()
                                          ? clampedUniformKnots(curve.controls.size(), curve.degree)
                                          : curve.knots;
    if (!knotsMakeACurve(curve, knots)) return true;
    const std::size_t n = curve.controls.size(), p = curve.degree;
    const double low = knots[p], high = knots[n];
    const double from =
        low + std::clamp(std::isfinite(curve.start) ? curve.start : 0.0, 0.0, 1.0) * (high - low);
    const double to =
        low + std::clamp(std::isfinite(curve.end) ? curve.end : 1.0, 0.0, 1.0) * (high - low);
    if (!(from < to)) return true;
    std::vector<std::size_t> spans;
    for (std::size_t span = p; span < n; ++span) {
        if (knots[span] < knots[span + 1] && knots[span + 1] > from && knots[span] < to)
            spans.push_back(span);
    }
    if (spans.empty()) return true;
    std::vector<std::size_t> counts;
    std::size_t segments = 0;
    for (std::size_t span : spans) {
        counts.push_back(segmentsOfSpan(curve, span));
        segments += counts.back();
    }
    if (segments > kMaxSegmentsPerCurve) {
        for (std::size_t& count : counts)
            count = std::max<std::size_t>(1, count * kMaxSegmentsPerCurve / segments);
    }
    std::size_t samples = 1;
    for (std::size_t count : counts)
        samples += count;
    const std::size_t steps = samples * (p + 1) * (p + 1);
    if (steps > budget.steps) {
        error = "its NURBS curves ask for more work than one model may take";
        return false;
    }
    budget.steps -= steps;
    points.reserve(samples);
    std::vector<std::array<double, 4>> scratch(p + 1);
    for (std::size_t k = 0; k < spans.size(); ++k) {
        const std::size_t span = spans[k], count = counts[k];
        const double a = std::max(from, knots[span]), b = std::min(to, knots[span + 1]);
        for (std::size_t i = points.empty() ? 0 : 1; i <= count; ++i)
            points.push_back(deBoor(curve, knots, span, a + (b - a) * i / count, scratch));
    }
    return true;
}

bool readCurve(std::uint8_t op, ByteCursor& cursor, unsigned version, W3dCurveBudget& budget,
               W3dCurve& curve, std::string& error) {
    curve = {};
    bool read = false;
    switch (op) {
        case 'l':
            curve.points.resize(2);
            read = readPoint(cursor, curve.points[0]) && readPoint(cursor, curve.points[1]);
            break;
        case 'L':
        case 'G':
            read = readPolyline(op, cursor, curve);
            break;
        case 'C':
        case 'c':
        case '\\':
        case 'w':
            read = readRound(op, cursor, version, curve);
            break;
        case 'E':
        case 'e':
            read = readEllipse(op, cursor, curve);
            break;
        case 'N':
            read = readNurbs(cursor, budget, curve, error);
            break;
        case 'X':
            curve.join = W3dCurve::Join::none;
            curve.points.resize(1);
            read = readPoint(cursor, curve.points[0]);
            break;
        default:
            break;
    }
    if (!read) return false;
    if (curve.points.size() > budget.points) {
        error = "its curves ask for more points than one model may have";
        return false;
    }
    budget.points -= curve.points.size();
    return true;
}

void appendCurve(const W3dCurve& curve, W3dMesh& mesh) {
    const std::size_t count = curve.points.size();
    const bool joined = curve.join != W3dCurve::Join::none;
    if (count == 0 || (joined && count < 2)) return;
    for (const W3dPoint& point : curve.points) {
        for (double value : point) {
            if (!std::isfinite(static_cast<float>(value))) return;
        }
    }
    const auto first = static_cast<std::uint32_t>(mesh.points.size() / 3);
    for (const W3dPoint& point : curve.points) {
        for (double value : point)
            mesh.points.push_back(static_cast<float>(value));
    }
    const auto last = static_cast<std::uint32_t>(first + count - 1);
    switch (curve.join) {
        case W3dCurve::Join::none:
            for (std::uint32_t v = first; v <= last; ++v)
                mesh.markers.push_back(v);
            return;
        case W3dCurve::Join::pairs:
            for (std::uint32_t v = first; v < last; v += 2)
                mesh.lines.insert(mesh.lines.end(), {v, v + 1});
            return;
        case W3dCurve::Join::open:
        case W3dCurve::Join::closed:
            for (std::uint32_t v = first; v < last; ++v)
                mesh.lines.insert(mesh.lines.end(), {v, v + 1});
            if (curve.join == W3dCurve::Join::closed && count > 2)
                mesh.lines.insert(mesh.lines.end(), {last, first});
            return;
    }
}

}  // namespace plotwick::internal
