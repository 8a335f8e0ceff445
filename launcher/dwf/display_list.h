// What a 2D graphics stream draws, decoded into plain operations that a painter can
// replay: every operation carries the drawing state it was read under, so that a sheet
// can be drawn from any operation onwards and layers can be told apart.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace plotwick {

// Logical coordinates are 31-bit values; relative opcodes add up deltas, which may
// leave that range in a broken file, so they are kept in 64 bits.
struct LogicalPoint {
    std::int64_t x = 0;
    std::int64_t y = 0;
    bool operator==(const LogicalPoint&) const = default;
};

struct LogicalBox {
    LogicalPoint min;
    LogicalPoint max;
};

struct Rgba {
    std::uint8_t r = 255;
    std::uint8_t g = 255;
    std::uint8_t b = 255;
    std::uint8_t a = 255;
    bool operator==(const Rgba&) const = default;
};

enum class OpKind {
    line,
    polyline,
    polygon,       // a closed polyline drawn while fill was on: even-odd rule
    polytriangle,  // a triangle strip, always filled
    circle,
    arc,
    ellipse,
    gouraudTriangles,
    gouraudPolyline,
    contourSet,  // several closed contours filled together with the even-odd rule
    text,
};

struct DrawOp {
    OpKind kind = OpKind::line;
    std::vector<LogicalPoint> points;     // vertices; the centre of a circle, arc or ellipse
    std::vector<Rgba> vertexColours;      // one per point for the Gouraud kinds
    std::vector<std::uint32_t> contours;  // point counts of a contour set
    Rgba colour;
    bool fill = false;
    std::int64_t lineWeight = 0;  // logical units; 0 is one device pixel
    int layer = -1;               // layer number, -1 when none was set
    int clip = -1;                // index into W2dGraphics::clips, -1 when unclipped
    double radius = 0;            // circle and arc radius, ellipse major axis
    double minorRadius = 0;       // ellipse minor axis
    double startTurns = 0;        // arc start and end, counter-clockwise, in turns
    double endTurns = 1;
    double tiltTurns = 0;   // ellipse rotation
    double textHeight = 0;  // logical units; 0 when no font set one
    std::u16string text;
};

// A viewport's clip: one or more contours, inside by the even-odd rule.
struct Clip {
    std::vector<std::vector<LogicalPoint>> contours;
};

struct W2dGraphics {
    std::vector<DrawOp> ops;
    std::vector<Clip> clips;
    std::map<int, std::string> layerNames;
    std::optional<LogicalBox> view;               // the extent to show, from (View ...)
    std::optional<std::array<double, 16>> units;  // application to logical units
    bool complete = false;                        // (EndOfDWF) was reached
    std::string message;  // why decoding stopped early; empty when it did not
};

// The 256-entry palette that a colour index selects from until a file changes it.
const std::array<Rgba, 256>& defaultPalette();

// Smallest box around every point of every operation (radii included), if any.
std::optional<LogicalBox> boundsOf(const W2dGraphics& graphics);

}  // namespace plotwick
