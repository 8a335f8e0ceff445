// The curve opcodes of the 3D stream on operands laid out by hand from the format's
// rules: what each draws (segments, markers, end points, extent), that the operands are
// used up exactly, that the work is bounded, and that a stream's curves take their
// class's colour and visibility when the scene is evaluated.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "dwf/w3d_curves.h"
#include "dwf/w3d_reader.h"
#include "dwf/w3d_scene.h"

namespace plotwick::internal {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Operands {
    Bytes bytes;
    Operands& u8(unsigned value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
        return *this;
    }
    Operands& i32(std::int64_t value) {
        for (int i = 0; i < 4; ++i)
            u8(static_cast<std::uint32_t>(value) >> (8 * i) & 0xFF);
        return *this;
    }
    Operands& f32(double value) {
        const float single = static_cast<float>(value);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &single, 4);
        return i32(bits);
    }
    Operands& point(double x, double y, double z) { return f32(x).f32(y).f32(z); }
};

constexpr double kHalfRoot2 = 0.70710678118654752;

struct CurveRow {
    const char* name;
    std::uint8_t op;
    unsigned version;
    Bytes operands;
    std::size_t segments;
    std::size_t markers;
    W3dPoint first = {};
    W3dPoint last = {};
    W3dBox box = {};
    double radius = 0;  // when not 0, every point lies this far from the origin
};

// Operands from floats, after an optional i32 count or u8 prefix.
Bytes floats(std::initializer_list<double> values, Operands prefix = {}) {
    for (double value : values)
        prefix.f32(value);
    return prefix.bytes;
}

std::vector<CurveRow> curveRows() {
    // A circle of radius 2 about (1, 1, 0) in the z = 0 plane, given by three points.
    const Bytes half = floats({3, 1, 0, 1, 3, 0, -1, 1, 0});
    const Bytes flagged = floats({1, 1, 0}, Operands{half}.u8(1));
    const double r2 = std::sqrt(2), c = std::cos(std::numbers::pi / 32),
                 s = std::sin(std::numbers::pi / 32);
    const W3dPoint beforeStart{1 + 2 * c, 1 - 2 * s, 0};  // the last of 64 points round
    // A cubic arch (0,0) (1,2) (3,2) (4,0) with knots 0 0 0 0 1 1 1 1, from 1/4 to 3/4.
    const Bytes arch =
        floats({0, 0, 0, 1, 2, 0, 3, 2, 0, 4, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0.25, 0.75},
               Operands().u8(0x0E).u8(3).i32(4));
    // (1,0) (1,1) (0,1) with weights 1, 1/sqrt 2, 1 and knots 0 0 0 1 1 1.
    const Bytes quarter = floats({1, 0, 0, 1, 1, 0, 0, 1, 0, 1, kHalfRoot2, 1, 0, 0, 0, 1, 1, 1},
                                 Operands().u8(3).u8(2).i32(3));
    // clang-format off
    return {
        {"line", 'l', 1000, floats({0, 0, 0, 1, 2, 3}), 1, 0, {0, 0, 0}, {1, 2, 3}, {0, 0, 0, 1, 2, 3}},
        {"polyline", 'L', 1000, floats({0, 0, 0, 1, 0, 0, 1, 1, 1}, Operands().i32(3)), 2, 0,
         {0, 0, 0}, {1, 1, 1}, {0, 0, 0, 1, 1, 1}},
        {"polyline with a negative count: separate segments", 'L', 1000,
         floats({0, 0, 0, 1, 0, 0, 5, 5, 5, 6, 5, 5}, Operands().i32(-4)), 2, 0,
         {0, 0, 0}, {6, 5, 5}, {0, 0, 0, 6, 5, 5}},
        {"polygon outline closes itself", 'G', 1000,
         floats({0, 0, 0, 2, 0, 0, 2, 1, 0, 0, 1, 0}, Operands().i32(4)), 4, 0,
         {0, 0, 0}, {0, 1, 0}, {0, 0, 0, 2, 1, 0}},
        {"circle through three points", 'C', 1000, half, kSegmentsPerTurn, 0,
         {3, 1, 0}, beforeStart, {-1, -1, 0, 3, 3, 0}},
        {"circle with the flag byte and a centre", 'C', 1215, flagged, kSegmentsPerTurn, 0,
         {3, 1, 0}, beforeStart, {-1, -1, 0, 3, 3, 0}},
        {"circle with the flag byte only", 'C', 1215, Operands{half}.u8(0).bytes, kSegmentsPerTurn, 0,
         {3, 1, 0}, beforeStart, {-1, -1, 0, 3, 3, 0}},
        {"arc from start through middle to end", 'c', 1000, half, 32, 0,
         {3, 1, 0}, {-1, 1, 0}, {-1, 1, 0, 3, 3, 0}},
        {"arc the long way round, as its middle says", 'c', 1000,
         floats({3, 1, 0, 1, -1, 0, 1, 3, 0}), 48, 0, {3, 1, 0}, {1, 3, 0}, {-1, -1, 0, 3, 3, 0}},
        {"chord: the arc closed by a line", '\\', 1000, half, 33, 0,
         {3, 1, 0}, {-1, 1, 0}, {-1, 1, 0, 3, 3, 0}},
        {"wedge: the arc closed through the centre", 'w', 1000,
         floats({3, 1, 0, 1 + r2, 1 + r2, 0, 1, 3, 0}), 18, 0, {3, 1, 0}, {1, 1, 0}, {1, 1, 0, 3, 3, 0}},
        {"ellipse", 'E', 1000, floats({0, 0, 0, 2, 0, 0, 0, 1, 0}), kSegmentsPerTurn, 0,
         {2, 0, 0}, {2 * c, -s, 0}, {-2, -1, 0, 2, 1, 0}},
        {"elliptical arc wrapping past a whole turn", 'e', 1000,
         floats({0, 0, 0, 2, 0, 0, 0, 1, 0, 0.75, 0}), 16, 0, {0, -1, 0}, {2, 0, 0}, {0, -1, 0, 2, 0, 0}},
        {"NURBS of degree 1 without knots: its control polygon", 'N', 1000,
         floats({0, 0, 0, 1, 0, 0, 1, 1, 0}, Operands().u8(0).u8(1).i32(3)), 2, 0,
         {0, 0, 0}, {1, 1, 0}, {0, 0, 0, 1, 1, 0}},
        {"rational NURBS: a weighted quarter circle", 'N', 1000, quarter, kSegmentsPerSpan, 0,
         {1, 0, 0}, {0, 1, 0}, {0, 0, 0, 1, 1, 0}, 1},
        {"NURBS from a quarter to three quarters of its range", 'N', 1000, arch, kSegmentsPerSpan, 0,
         {0.90625, 1.125, 0}, {3.09375, 1.125, 0}, {0.90625, 1.125, 0, 3.09375, 1.5, 0}},
        {"NURBS with falling knots: read, not drawn", 'N', 1000,
         floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0}, Operands().u8(2).u8(1).i32(2)), 0, 0},
        {"marker", 'X', 1000, floats({0, 12, 0}), 0, 1, {0, 12, 0}, {0, 12, 0}, {0, 12, 0, 0, 12, 0}},
    };
    // clang-format on
}

W3dBox boxOf(const W3dMesh& mesh) {
    W3dBox box{1e30, 1e30, 1e30, -1e30, -1e30, -1e30};
    for (std::size_t i = 0; i < mesh.points.size(); i += 3) {
        for (int k = 0; k < 3; ++k) {
            box[k] = std::min<double>(box[k], mesh.points[i + k]);
            box[k + 3] = std::max<double>(box[k + 3], mesh.points[i + k]);
        }
    }
    return box;
}

void expectNear(const float* point, const W3dPoint& expected, const char* which) {
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(point[k], expected[k], 1e-5) << which << " point, axis " << k;
}

TEST(W3dCurves, EachOpcodeDrawsItsSegmentsAndUsesUpItsOperands) {
    for (const CurveRow& row : curveRows()) {
        SCOPED_TRACE(row.name);
        ByteCursor cursor(row.operands);
        W3dCurveBudget budget;
        W3dCurve curve;
        std::string error;
        ASSERT_TRUE(readCurve(row.op, cursor, row.version, budget, curve, error)) << error;
        EXPECT_TRUE(cursor.atEnd()) << "operands left: " << cursor.remaining();
        W3dMesh mesh;
        appendCurve(curve, mesh);
        EXPECT_EQ(mesh.lines.size(), 2 * row.segments);
        EXPECT_EQ(mesh.markers.size(), row.markers);
        const std::size_t vertices = mesh.points.size() / 3;
        for (std::uint32_t vertex : mesh.lines)
            ASSERT_LT(vertex, vertices);
        if (row.segments + row.markers == 0) continue;
        const std::uint32_t first = row.markers ? mesh.markers.front() : mesh.lines.front();
        const std::uint32_t last =
            row.markers ? mesh.markers.back() : mesh.lines[2 * row.segments - 1];
        expectNear(&mesh.points[3 * first], row.first, "first");
        // A closed outline's last segment returns to the first point; its last point
        // is where that segment starts.
        const bool closed = curve.join == W3dCurve::Join::closed;
        expectNear(&mesh.points[3 * (closed ? mesh.lines[2 * row.segments - 2] : last)], row.last,
                   "last");
        const W3dBox box = boxOf(mesh);
        for (int k = 0; k < 6; ++k)
            EXPECT_NEAR(box[k], row.box[k], 1e-5) << "box side " << k;
        for (std::size_t i = 0; row.radius > 0 && i < mesh.points.size(); i += 3)
            EXPECT_NEAR(std::hypot(mesh.points[i], mesh.points[i + 1], mesh.points[i + 2]),
                        row.radius, 1e-5);
        EXPECT_EQ(budget.points, W3dCurveBudget{}.points - curve.points.size());
    }
}

TEST(W3dCurves, OperandsCutShortOrCountsPastTheBytesFailWithoutReadingOn) {
    for (const CurveRow& row : curveRows()) {
        SCOPED_TRACE(row.name);
        for (std::size_t size = 0; size < row.operands.size(); ++size) {
            const Bytes cut(row.operands.begin(), row.operands.begin() + size);
            ByteCursor cursor(cut);
            W3dCurveBudget budget;
            W3dCurve curve;
            std::string error;
            EXPECT_FALSE(readCurve(row.op, cursor, row.version, budget, curve, error)) << size;
        }
    }
    const std::vector<std::pair<std::uint8_t, Bytes>> hostile = {
        {'L', Operands().i32(0x7FFFFFFF).point(0, 0, 0).bytes},
        {'G', Operands().i32(-0x7FFFFFFF - 1).point(0, 0, 0).bytes},
        {'N', Operands().u8(0).u8(3).i32(-1).bytes},
        {'N', Operands().u8(3).u8(200).i32(0x10000000).point(0, 0, 0).bytes},
    };
    for (const auto& [op, bytes] : hostile) {
        ByteCursor cursor(bytes);
        W3dCurveBudget budget;
        W3dCurve curve;
        std::string error;
        EXPECT_FALSE(readCurve(op, cursor, 1000, budget, curve, error)) << op;
        EXPECT_TRUE(curve.points.capacity() < 1000) << "nothing allocated for the claimed count";
    }
}

TEST(W3dCurves, WorkPerCurveAndPerStreamIsBounded) {
    // 300 control points of degree 3: 297 knot spans share the curve's segments.
    W3dNurbs long_;
    long_.degree = 3;
    for (int i = 0; i < 300; ++i)
        long_.controls.push_back({double(i), double(i % 2), 0});
    W3dCurveBudget budget;
    std::vector<W3dPoint> points;
    std::string error;
    ASSERT_TRUE(tessellateNurbs(long_, budget, points, error)) << error;
    EXPECT_GT(points.size(), 297u);
    EXPECT_LE(points.size(), kMaxSegmentsPerCurve + 1);
    EXPECT_NEAR(points.back()[0], 299, 1e-9) << "clamped knots end at the last control point";

    // A high degree costs its square in steps; a stream's budget runs out, not the machine.
    W3dNurbs steep;
    steep.degree = 200;
    for (int i = 0; i <= 200; ++i)
        steep.controls.push_back({double(i), double(i % 2), 0});
    W3dCurveBudget small{1000, 100000};
    EXPECT_FALSE(tessellateNurbs(steep, small, points, error));
    EXPECT_NE(error.find("more work"), std::string::npos) << error;

    const Bytes circle = Operands().point(1, 0, 0).point(0, 1, 0).point(-1, 0, 0).bytes;
    W3dCurveBudget few{100, 1000};
    std::size_t circles = 0;
    for (;; ++circles) {
        ByteCursor cursor(circle);
        W3dCurve curve;
        if (!readCurve('C', cursor, 1000, few, curve, error)) break;
    }
    EXPECT_EQ(circles, 100u / kSegmentsPerTurn);
    EXPECT_NE(error.find("more points"), std::string::npos) << error;
}

Bytes rgb(std::uint8_t mask, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return {'~', mask, r, g, b};
}

// Segment 1 colours its edges blue and its lines red and draws a line, a triangle
// outline and a marker; its child turns lines off and, after its geometry, colours
// markers green (an attribute holds for the whole segment); a second child holds a
// curve that cannot be drawn.
Bytes curveStream() {
    Operands body;
    body.bytes = {';', ';', ' ', 'H', 'S', 'F', ' ', 'V', '1', '0', '.', '0', '0', ' ', '\n'};
    body.u8('(').u8(1).u8('1');
    for (const Bytes& colour : {rgb(0x02, 0, 0, 255), rgb(0x04, 255, 0, 0)})
        body.bytes.insert(body.bytes.end(), colour.begin(), colour.end());
    body.u8('l').point(0, 0, 0).point(4, 0, 0);
    body.u8('G').i32(3).point(0, 0, 0).point(1, 0, 0).point(0, -2, 0);
    body.u8('X').point(0, 0, 5);
    body.u8('(').u8(1).u8('2').u8('V').u8(0x04).u8(0x00);
    body.u8('l').point(0, 0, 0).point(0, 9, 0);
    body.u8('X').point(-1, 0, 0);
    const Bytes green = rgb(0x08, 0, 255, 0);
    body.bytes.insert(body.bytes.end(), green.begin(), green.end());
    body.u8(')');
    // A segment whose only curve has falling knots draws nothing, not an empty set.
    body.u8('(').u8(1).u8('3').u8('N').u8(2).u8(1).i32(2).point(0, 0, 0).point(7, 0, 0);
    body.f32(1).f32(1).f32(0).f32(0).u8(')');
    body.u8(')').u8(0);
    return body.bytes;
}

TEST(W3dCurves, CurvesTakeTheirClasssColourAndVisibility) {
    W3dStream stream = readW3d(curveStream());
    ASSERT_EQ(stream.message, "");
    const W3dModel model = evaluateW3d(std::move(stream));
    using Colour = std::optional<std::array<float, 3>>;
    const Colour red = std::array<float, 3>{1, 0, 0}, green = std::array<float, 3>{0, 1, 0},
                 blue = std::array<float, 3>{0, 0, 1};
    std::vector<std::pair<std::size_t, Colour>> drawn;  // (segments or markers, colour)
    for (const W3dTriangleSet& set : model.sets) {
        const W3dMesh& mesh = model.meshes[set.mesh];
        EXPECT_FALSE(set.colour.has_value());
        drawn.emplace_back(mesh.lines.size() / 2 + 100 * mesh.markers.size(), set.lineColour);
    }
    // Edges blue, lines red, markers in the line colour; the child: its lines hidden,
    // its marker green.
    const std::vector<std::pair<std::size_t, Colour>> expected = {
        {3, blue}, {1, red}, {100, red}, {100, green}};
    EXPECT_EQ(drawn, expected);
    EXPECT_EQ(model.lineCount, 4u);
    EXPECT_EQ(model.markerCount, 2u);
    EXPECT_EQ(model.instanceCount, 0u);
    EXPECT_EQ(model.triangleCount, 0u);
    ASSERT_TRUE(model.conservativeBox.has_value());
    EXPECT_EQ(*model.conservativeBox, (W3dBox{-1, -2, 0, 4, 0, 5}))
        << "the hidden line up to y = 9 is not in the box";
}

}  // namespace
}  // namespace plotwick::internal
