// What a 2D graphics stream draws, decoded into plain operations that a painter can
// replay: every operation carries the drawing state it was read under, so that a sheet
// can be drawn from any operation onwards and layers can be told apart.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
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
    text,        // detail: index into W2dGraphics::texts
    image,       // points: lower-left and upper-right corner; detail: W2dGraphics::images
};

enum class LineCap : std::uint8_t { butt, square, round, diamond };
enum class LineJoin : std::uint8_t { miter, bevel, round, diamond };

// The predefined fill patterns; their bitmaps are the renderer's choice.
enum class FillPattern : std::uint8_t {
    solid,
    checkerboard,
    crosshatch,
    diamonds,
    horizontalBars,
    slantLeft,
    slantRight,
    squareDots,
    verticalBars,
    userDefined,
};

// How a text is placed: by the font state alone, or, when the stream gave one, by its
// box (lower left, lower right, upper right, upper left along the baseline).
struct TextStyle {
    std::string fontName;
    double rotationTurns = 0;  // counter-clockwise
    double widthScale = 1;
    double spacing = 1;
    double obliqueTurns = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int horizontalAlign = 0;  // 0 left, 1 centre, 2 right
    int verticalAlign = 1;    // 0 descent, 1 baseline, 2 half, 3 cap, 4 ascent
    bool hasBounds = false;
    std::array<LogicalPoint, 4> bounds{};
    bool operator==(const TextStyle&) const = default;
};

// An image embedded in the stream: PNG and JPEG keep their file bytes (the painter
// decodes them), the raw kinds are decoded into RGBA rows, top row first.
struct RasterImage {
    enum class Encoding : std::uint8_t { rgba, png, jpeg } encoding = Encoding::rgba;
    int columns = 0;
    int rows = 0;
    std::vector<std::uint8_t> bytes;
};

// A user dash pattern: on and off lengths in device pixels.
using DashLengths = std::vector<double>;

void* allocateLargeBlock(std::size_t bytes);
void freeLargeBlock(void* block, std::size_t bytes);

// The points of a decoded sheet live in a few large blocks instead of one heap block per
// operation: a million small allocations cost more than reading the stream. The arena
// belongs to the sheet's W2dGraphics and frees everything at once.
class PointArena {
  public:
    PointArena() = default;
    PointArena(const PointArena&) = delete;
    PointArena& operator=(const PointArena&) = delete;
    ~PointArena();
    void* allocate(std::size_t bytes);

  private:
    std::vector<std::pair<void*, std::size_t>> m_blocks;
    char* m_next = nullptr;
    std::size_t m_left = 0;
};

// Allocates from an arena when it has one, else from the heap. Memory given back to an
// arena stays until the arena goes.
template <typename T>
struct ArenaAllocator {
    using value_type = T;
    using propagate_on_container_copy_assignment = std::true_type;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;
    PointArena* arena = nullptr;

    ArenaAllocator() = default;
    explicit ArenaAllocator(PointArena* owner) : arena(owner) {}
    template <typename U>
    ArenaAllocator(const ArenaAllocator<U>& other) : arena(other.arena) {}
    T* allocate(std::size_t count) {
        if (arena == nullptr) return static_cast<T*>(::operator new(count * sizeof(T)));
        return static_cast<T*>(arena->allocate(count * sizeof(T)));
    }
    void deallocate(T* block, std::size_t) {
        if (arena == nullptr) ::operator delete(block);
    }
    template <typename U>
    bool operator==(const ArenaAllocator<U>& other) const {
        return arena == other.arena;
    }
};

using PointList = std::vector<LogicalPoint, ArenaAllocator<LogicalPoint>>;

inline bool operator==(const PointList& a, const std::vector<LogicalPoint>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

struct DrawOp {
    OpKind kind = OpKind::line;
    PointList points;                     // vertices; the centre of a circle, arc or ellipse
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
    int detail = -1;  // text style or image index, by kind
    LineCap cap = LineCap::butt;
    LineJoin join = LineJoin::miter;
    FillPattern fillPattern = FillPattern::solid;
    std::uint16_t linePattern = 1;  // the predefined pattern number; 1 is solid
    int dashes = -1;                // index into W2dGraphics::dashes, overriding linePattern
};

// Storage for long lists of operations. A sheet of a million operations takes a few
// hundred MB; on Linux such blocks are asked for in huge pages, because faulting them
// in 4 KiB at a time costs more than decoding the stream that fills them.
template <typename T>
struct LargeBlockAllocator {
    using value_type = T;
    LargeBlockAllocator() = default;
    template <typename U>
    LargeBlockAllocator(const LargeBlockAllocator<U>&) {}
    T* allocate(std::size_t count) {
        return static_cast<T*>(allocateLargeBlock(count * sizeof(T)));
    }
    void deallocate(T* block, std::size_t count) { freeLargeBlock(block, count * sizeof(T)); }
    template <typename U>
    bool operator==(const LargeBlockAllocator<U>&) const {
        return true;
    }
};

using OpList = std::vector<DrawOp, LargeBlockAllocator<DrawOp>>;

// A viewport's clip: one or more contours, inside by the even-odd rule.
struct Clip {
    std::vector<std::vector<LogicalPoint>> contours;
};

// Where a plot put the drawing, from (PlotInfo ...): its paper, and the map from
// logical to paper units (row-major, row vectors, translation in elements 12 and 13).
struct PlotPlacement {
    bool millimetres = false;  // else inches
    double width = 0;
    double height = 0;
    std::array<double, 16> logicalToPaper{};
};

struct W2dGraphics {
    OpList ops;
    std::vector<Clip> clips;
    std::map<int, std::string> layerNames;
    std::vector<TextStyle> texts;
    std::vector<RasterImage> images;
    std::vector<DashLengths> dashes;
    std::optional<LogicalBox> view;               // the extent to show, from (View ...)
    std::optional<std::array<double, 16>> units;  // application to logical units
    std::optional<PlotPlacement> plot;            // a shown (PlotInfo ...)
    bool complete = false;                        // (EndOfDWF) was reached
    std::size_t memoryBytes = 0;                  // what the display list takes, about
    std::shared_ptr<PointArena> pointArena;       // holds the operations' points
    std::string message;  // why decoding stopped early; empty when it did not
};

// The 256-entry palette that a colour index selects from until a file changes it:
// streams from revision 38 on use the newer map, older ones the CAD colour-index map.
const std::array<Rgba, 256>& defaultPalette(int revision = 600);

// Smallest box around every point of every operation (radii included), if any.
std::optional<LogicalBox> boundsOf(const W2dGraphics& graphics);

}  // namespace plotwick
