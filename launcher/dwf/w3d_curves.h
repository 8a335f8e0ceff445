// The curve opcodes of a 3D stream (lines, polylines, polygons, circles and their arcs,
// chords and wedges, ellipses and elliptical arcs, NURBS curves, markers), read into the
// points and segments a model draws. Pieces are exposed so that each rule can be tested
// on bytes laid out by hand.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dwf/byte_cursor.h"
#include "dwf/w3d_model.h"

namespace plotwick::internal {

using W3dPoint = std::array<double, 3>;

// Which colour and visibility a curve follows. Closed outlines (polygon, circle, chord,
// wedge, ellipse) are the edges of a face; open curves are lines; markers are points.
enum class W3dCurveClass : std::uint8_t { edges, lines, markers };
inline constexpr std::size_t kW3dCurveClassCount = 3;

inline constexpr std::size_t indexOf(W3dCurveClass curveClass) {
    return static_cast<std::size_t>(curveClass);
}
// The geometry-class bit of the colour and visibility masks: 0x02, 0x04, 0x08.
inline constexpr std::uint32_t maskOf(W3dCurveClass curveClass) {
    return 0x02u << indexOf(curveClass);
}

// The class of a curve opcode; none for any other opcode.
std::optional<W3dCurveClass> curveClassOf(std::uint8_t op);

// One curve: its points joined in order (a closed one back to its first), joined in
// pairs (disjoint segments), or not joined (markers).
struct W3dCurve {
    enum class Join : std::uint8_t { open, closed, pairs, none };
    Join join = Join::open;
    std::vector<W3dPoint> points;
};

// Shared by all curves of a stream so that a small stream cannot ask for unbounded work:
// the points the curves may add, and the steps NURBS evaluation may take.
struct W3dCurveBudget {
    std::size_t points = std::size_t{1} << 22;
    std::size_t steps = std::size_t{1} << 27;
};

inline constexpr int kSegmentsPerTurn = 64;                // circles and ellipses; arcs their share
inline constexpr std::size_t kSegmentsPerSpan = 16;        // NURBS knot spans at most
inline constexpr std::size_t kMaxSegmentsPerCurve = 1024;  // unless its own data is longer

// Points of the circle through start, middle and end: from start through middle to end,
// or for a whole circle around and back to start (the last point is not repeated).
// Three points in a line give that line. `centre` gets the circle's centre.
std::vector<W3dPoint> circularArc(const W3dPoint& start, const W3dPoint& middle,
                                  const W3dPoint& end, bool whole, W3dPoint* centre = nullptr);

// Points of centre + cos t (major - centre) + sin t (minor - centre), t going from start
// to end, both fractions of a turn; an end below the start wraps round once.
std::vector<W3dPoint> ellipticalArc(const W3dPoint& centre, const W3dPoint& major,
                                    const W3dPoint& minor, double start, double end);

struct W3dNurbs {
    unsigned degree = 0;
    std::vector<W3dPoint> controls;
    std::vector<double> weights;  // one per control point, or empty for all 1
    std::vector<double> knots;    // control points + degree + 1, or empty for clamped uniform
    double start = 0;             // fractions of the knots' valid range
    double end = 1;
};

// De Boor's algorithm at a few points per knot span, as many as an arc turning as far as
// the span's control polygon would take. Knots that do not make a curve give no points;
// false only when the budget is used up.
bool tessellateNurbs(const W3dNurbs& curve, W3dCurveBudget& budget, std::vector<W3dPoint>& points,
                     std::string& error);

// Reads a curve opcode's operands (after the opcode byte) and tessellates the curve,
// taking its points from the budget.
bool readCurve(std::uint8_t op, ByteCursor& cursor, unsigned version, W3dCurveBudget& budget,
               W3dCurve& curve, std::string& error);

// Adds the curve's points and its segments or markers to `mesh`. A curve with a point
// that is not finite is left out, so that it cannot spoil the model's box.
void appendCurve(const W3dCurve& curve, W3dMesh& mesh);

}  // namespace plotwick::internal
