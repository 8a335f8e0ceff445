#include "dwf/w2d_reader.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "dwf/w2d_decoder.h"

namespace plotwick {
namespace internal {
namespace {

constexpr std::size_t kHeaderSize = 12;
// Angles and tilts in 1/65536 of a turn.
constexpr double kTurnUnits = 65536.0;
// An ASCII point needs at least "0,0 ": bounds a count before memory is reserved.
constexpr std::size_t kMinAsciiPointBytes = 3;
// Markers place copies of a macro's operations: at most this many in any stream, plus
// this many per byte of it, so that instancing costs no more than linear in the stream
// (a few KB of markers placed a quarter of a million texts).
constexpr std::size_t kPlacedFloor = std::size_t{1} << 16;
constexpr std::size_t kPlacedPerByte = 16;
// A cubic curve of the Bezier opcode `b` is drawn as this many segments.
constexpr int kBezierSegments = 8;

bool validHeader(std::span<const std::uint8_t> data) {
    if (data.size() < kHeaderSize || data[kHeaderSize - 1] != ')') return false;
    const std::string_view start(reinterpret_cast<const char*>(data.data()), 6);
    return start == "(W2D V" || start == "(DWF V";
}

// "MM.mm" of the header as MM * 100 + mm; the version rules of the format use it.
int revisionOf(std::span<const std::uint8_t> data) {
    int digits[4] = {};
    const std::size_t at[4] = {6, 7, 9, 10};
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t c = data[at[i]];
        if (c < '0' || c > '9') return 600;
        digits[i] = c - '0';
    }
    return (digits[0] * 10 + digits[1]) * 100 + digits[2] * 10 + digits[3];
}

}  // namespace

std::string opcodeName(std::uint8_t op) {
    char text[32];
    if (op >= 0x21 && op < 0x7f) {
        std::snprintf(text, sizeof text, "opcode 0x%02X ('%c')", op, op);
    } else {
        std::snprintf(text, sizeof text, "opcode 0x%02X", op);
    }
    return text;
}

bool isStreamSpace(std::uint8_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0;
}

std::size_t costOf(const DrawOp& op) {
    return sizeof(DrawOp) + op.points.size() * sizeof(LogicalPoint) +
           op.vertexColours.size() * sizeof(Rgba) + op.contours.size() * 4 + op.text.size() * 2;
}

W2dDecoder::W2dDecoder(std::span<const std::uint8_t> data, const W2dLimits& limits)
    : m_raw(data),
      m_in(data),
      m_limits(limits),
      m_placedLimit(kPlacedFloor +
                    std::min(data.size(), SIZE_MAX / (2 * kPlacedPerByte)) * kPlacedPerByte) {}

W2dGraphics W2dDecoder::run() {
    if (!validHeader(m_raw)) {
        m_out.message = "Not a 2D graphics stream: it does not begin with (W2D V..) or (DWF V..)";
        return std::move(m_out);
    }
    m_revision = revisionOf(m_raw);
    const auto& palette = defaultPalette(m_revision);
    m_palette.assign(palette.begin(), palette.end());
    m_in.seek(kHeaderSize);
    m_out.pointArena = std::make_shared<PointArena>();
    reserveOps();
    while (!m_out.complete && m_out.message.empty() && step()) {
    }
    m_out.memoryBytes = m_cost;
    return std::move(m_out);
}

// Room for the operations a stream of this size usually holds, so that the list is not
// moved as it grows; the pages are only touched as operations arrive. Bounded by the
// budget, so that a large claim is never reserved.
void W2dDecoder::reserveOps() {
    constexpr std::size_t kBytesPerOp = 10;
#ifdef __linux__
    constexpr std::size_t kMostReserved = std::size_t{4} << 20;  // untouched pages cost nothing
#else
    constexpr std::size_t kMostReserved = std::size_t{256} << 10;  // committed when reserved
#endif
    m_out.ops.reserve(std::min({m_raw.size() / kBytesPerOp,
                                m_limits.displayListBytes / sizeof(DrawOp) / 2, kMostReserved}));
}

std::span<const std::uint8_t> W2dDecoder::data() const {
    if (m_inInflated) return m_inflated;
    return m_raw;
}

std::string W2dDecoder::atByte(std::size_t offset) const {
    std::string text = " at byte " + std::to_string(offset);
    if (m_inInflated) {
        text +=
            " of the data inflated from the compressed block at byte " + std::to_string(m_regionAt);
    }
    return text;
}

bool W2dDecoder::fail(std::string message) {
    if (m_out.message.empty()) m_out.message = std::move(message);
    return false;
}

// Skips white space, leaving a compressed region when its bytes run out. False at the
// end of the stream.
bool W2dDecoder::skipSpace() {
    for (;;) {
        while (!m_in.atEnd() && isStreamSpace(m_in.peek()))
            m_in.skip(1);
        if (!m_in.atEnd()) return true;
        if (!m_inInflated) return false;
        m_inInflated = false;
        m_inflated.clear();
        m_inflated.shrink_to_fit();
        m_in = ByteCursor(m_raw, m_resume);
    }
}

bool W2dDecoder::step() {
    if (!skipSpace()) {
        return fail("The stream ends" + atByte(m_in.offset()) + " before (EndOfDWF)");
    }
    const std::size_t at = m_in.offset();
    std::uint8_t op = 0;
    m_in.read(op);
    bool ok = false;
    if (op == '(') {
        ok = extendedAscii(at, 0);
    } else if (op == '{') {
        ok = extendedBinary(at);
    } else {
        ok = singleByte(op, at);
    }
    if (!ok) fail("The stream ends inside " + opcodeName(op) + atByte(at));
    return ok;
}

// The child opcodes of a macro, an overpost group or a viewport, up to the closing
// parenthesis of their group.
bool W2dDecoder::readChildren(int depth) {
    if (depth > kMaxNesting) {
        return fail("Opcodes nest deeper than " + std::to_string(kMaxNesting) + " levels" +
                    atByte(m_in.offset()) + "; the sheet stops there");
    }
    for (;;) {
        if (!skipSpace()) return false;
        const std::size_t at = m_in.offset();
        std::uint8_t op = m_in.peek();
        if (op == ')') return m_in.skip(1);
        m_in.skip(1);
        bool ok = false;
        if (op == '(') {
            ok = extendedAscii(at, depth + 1);
        } else if (op == '{') {
            ok = extendedBinary(at);
        } else {
            ok = singleByte(op, at);
        }
        if (!ok) return fail("The stream ends inside " + opcodeName(op) + atByte(at));
        if (m_out.complete) {
            m_out.complete = false;  // a stream is whole or stopped with a message, not both
            return fail("(EndOfDWF)" + atByte(at) + " inside a group of opcodes");
        }
    }
}

// --- single-byte opcodes -------------------------------------------------------------

bool W2dDecoder::singleByte(std::uint8_t op, std::size_t at) {
    bool known = true;
    const bool ok = drawingOpcode(op, at, known);
    if (known) return ok;
    known = true;
    const bool changed = stateOpcode(op, at, known);
    if (known) return changed;
    if (op == 0x02 || op == 'B' || op == 'w') {
        return fail(opcodeName(op) + atByte(at) +
                    " (a Bezier or textured opcode) has no known layout; the sheet stops there");
    }
    return fail(opcodeName(op) + atByte(at) +
                " is not known and cannot be skipped; the sheet stops there");
}

bool W2dDecoder::drawingOpcode(std::uint8_t op, std::size_t at, bool& known) {
    const OpKind polyline = m_state.fill ? OpKind::polygon : OpKind::polyline;
    switch (op) {
        case 'l':
            return line<std::int32_t>();
        case 0x0C:
            return line<std::int16_t>();
        case 'p':
            return points<std::int32_t>(op, at, polyline);
        case 0x10:
            return points<std::int16_t>(op, at, polyline);
        case 't':
            return points<std::int32_t>(op, at, OpKind::polytriangle);
        case 0x14:
            return points<std::int16_t>(op, at, OpKind::polytriangle);
        case 'r':
            return circle<std::int32_t, std::uint32_t>();
        case 0x12:
            return circle<std::int16_t, std::uint16_t>();
        case 0x92:
            return arc();
        case 'e':
            return ellipse();
        case 'g':
            return gouraud<std::int32_t>(op, at, OpKind::gouraudTriangles);
        case 0x07:
            return gouraud<std::int16_t>(op, at, OpKind::gouraudTriangles);
        case 'q':
            return gouraud<std::int32_t>(op, at, OpKind::gouraudPolyline);
        case 0x11:
            return gouraud<std::int16_t>(op, at, OpKind::gouraudPolyline);
        case 'k':
            return contourSet<std::int32_t>(op, at);
        case 0x0B:
            return contourSet<std::int16_t>(op, at);
        case 'b':
            return bezier(at);
        case 0x8C:
            return multiLine(at);
        case 'm':
            return markers<std::int32_t>(op, at);
        case 0x8D:
            return markers<std::int16_t>(op, at);
        case 'M':
            return asciiMarkers(at);
        case 'x':
            return m_revision < 32 ? oldBasicText() : basicText();
        case 0x18:
            return m_revision < 32 ? oldComplexText() : complexText();
        case 'L':
            return asciiShape(op, at, OpKind::line);
        case 'P':
            return asciiShape(op, at, polyline);
        case 'T':
            return asciiShape(op, at, OpKind::polytriangle);
        case 'R':
            return asciiCircle();
        case 'E':
            return asciiEllipse();
        default:
            known = false;
            return false;
    }
}

bool W2dDecoder::stateOpcode(std::uint8_t op, std::size_t at, bool& known) {
    std::int64_t number = 0;
    std::uint32_t count = 0;
    switch (op) {
        case 0x06:
            return m_revision < 31 ? oldFont() : font(at);
        case 0x03:
            return rgba(m_state.colour);
        case 'c': {
            std::uint8_t index = 0;
            if (!m_in.read(index)) return false;
            m_state.colour = indexed(index);
            return true;
        }
        case 'C':
            if (!readAsciiInteger(m_in, number)) return false;
            m_state.colour = indexed(number);
            return true;
        case 0x17: {
            std::int32_t weight = 0;
            if (!m_in.read(weight)) return false;
            m_state.lineWeight = weight;
            return true;
        }
        case 0xAC:
            if (!m_in.readCount(count)) return false;
            m_state.layer = static_cast<int>(count);
            return true;
        case 0xCC:
            if (!m_in.readCount(count)) return false;
            m_state.linePattern =
                static_cast<std::uint16_t>(std::min<std::uint32_t>(count, 0xffff));
            m_state.dashes = -1;
            return true;
        case 'O':
            return origin();
        case 'F':
            m_state.fill = true;
            return true;
        case 'f':
            m_state.fill = false;
            return true;
        case 'V':
            m_state.visible = true;
            return true;
        case 'v':
            m_state.visible = false;
            return true;
        case 0x0E:
            return true;  // object node + 1: nodes are not drawn
        case 'N':
            return m_in.skip(4);
        case 'n':
            return m_in.skip(2);
        case 0x87:
            return m_in.skip(2);  // marker glyph: a uint16 in the format's description
        case 'G':
            return readAsciiInteger(m_in, m_state.macroIndex);
        case 'S':
            return readAsciiInteger(m_in, m_state.macroSize);
        case 's': {
            std::int32_t size = 0;
            if (!m_in.read(size)) return false;
            m_state.macroSize = size;
            return true;
        }
        default:
            known = false;
            return false;
    }
}

DrawOp W2dDecoder::newOp(OpKind kind) const {
    DrawOp op;
    // The arena keeps what is given back to it, so the points of an operation that will
    // not be kept come from the heap.
    PointArena* arena = m_state.visible ? m_out.pointArena.get() : nullptr;
    op.points = PointList(ArenaAllocator<LogicalPoint>(arena));
    op.kind = kind;
    op.colour = m_state.colour;
    op.fill = m_state.fill;
    op.lineWeight = m_state.lineWeight;
    op.layer = m_state.layer;
    op.clip = m_state.clip;
    op.textHeight = m_state.font.height;
    op.cap = m_state.cap;
    op.join = m_state.join;
    op.fillPattern = m_state.fillPattern;
    op.linePattern = m_state.linePattern;
    op.dashes = m_state.dashes;
    return op;
}

// Invisible operations are read (they move the current point) but not kept.
bool W2dDecoder::emit(DrawOp op) {
    if (!m_state.visible) return true;
    m_cost += costOf(op);
    if (m_cost > m_limits.displayListBytes) return overBudget();
    OpList& sink = m_sink != nullptr ? *m_sink : m_out.ops;
    sink.push_back(std::move(op));
    return true;
}

// Whether `bytes` more fit in the display list's budget; asked before they are allocated,
// since a few bytes of stream can declare hundreds of MB.
bool W2dDecoder::affordable(std::size_t bytes) {
    if (bytes <= m_limits.displayListBytes - std::min(m_cost, m_limits.displayListBytes)) {
        return true;
    }
    return overBudget();
}

bool W2dDecoder::overBudget() {
    return fail("The drawing needs more than " + std::to_string(m_limits.displayListBytes >> 20) +
                " MB for its display list, more than a stream of this size can hold; "
                "the sheet stops" +
                atByte(m_in.offset()));
}

// The points of an operation that is not kept: they only move the current point.
template <typename Coord>
void W2dDecoder::skipPoints(std::size_t count, std::size_t trailingBytes) {
    LogicalPoint point;
    for (std::size_t i = 0; i < count; ++i) {
        relativePoint<Coord>(point);
        m_in.skip(trailingBytes);
    }
}

template <typename Coord>
bool W2dDecoder::line() {
    DrawOp op = newOp(OpKind::line);
    op.points.resize(2);
    if (m_in.remaining() < 4 * sizeof(Coord)) return false;
    relativePoint<Coord>(op.points[0]);
    relativePoint<Coord>(op.points[1]);
    return emit(std::move(op));
}

// A count whose items (of `bytesEach`) do not fit in the rest of the stream.
bool W2dDecoder::countFits(std::uint64_t count, std::size_t bytesEach, std::uint8_t op,
                           std::size_t at) {
    if (count <= m_in.remaining() / bytesEach) return true;
    return fail(opcodeName(op) + atByte(at) + ": its count of " + std::to_string(count) +
                " points runs past the end of the stream");
}

template <typename Coord>
bool W2dDecoder::points(std::uint8_t code, std::size_t at, OpKind kind) {
    std::uint32_t count = 0;
    if (!m_in.readCount(count) || !countFits(count, 2 * sizeof(Coord), code, at)) return false;
    if (!m_state.visible) {
        skipPoints<Coord>(count, 0);
        return true;
    }
    if (!affordable(sizeof(DrawOp) + count * sizeof(LogicalPoint))) return false;
    DrawOp op = newOp(kind);
    op.points.resize(count);
    for (LogicalPoint& point : op.points)
        relativePoint<Coord>(point);
    return emit(std::move(op));
}

template <typename Coord, typename Radius>
bool W2dDecoder::circle() {
    if (m_in.remaining() < 2 * sizeof(Coord) + sizeof(Radius)) return false;
    DrawOp op = newOp(OpKind::circle);
    op.points.resize(1);
    Radius radius = 0;
    relativePoint<Coord>(op.points[0]);
    m_in.read(radius);
    op.radius = radius;
    return emit(std::move(op));
}

namespace {

// Equal start and end angles draw the whole curve.
void setSweep(DrawOp& op, std::uint16_t start, std::uint16_t end, int revision) {
    std::uint32_t last = end;
    if (revision <= 30 && start != end) last += 1;  // old writers stored an inclusive end
    op.startTurns = start / kTurnUnits;
    op.endTurns = last / kTurnUnits;
    if (op.endTurns <= op.startTurns) op.endTurns += 1.0;
}

}  // namespace

bool W2dDecoder::arc() {
    constexpr std::size_t kSize = 8 + 4 + 2 + 2;
    if (m_in.remaining() < kSize) return false;
    DrawOp op = newOp(OpKind::arc);
    op.points.resize(1);
    relativePoint<std::int32_t>(op.points[0]);
    std::uint32_t radius = 0;
    std::uint16_t start = 0;
    std::uint16_t end = 0;
    m_in.read(radius);
    m_in.read(start);
    m_in.read(end);
    op.radius = radius;
    setSweep(op, start, end, m_revision);
    return emit(std::move(op));
}

bool W2dDecoder::ellipse() {
    constexpr std::size_t kSize = 8 + 4 + 4 + 2 + 2 + 2;
    if (m_in.remaining() < kSize) return false;
    DrawOp op = newOp(OpKind::ellipse);
    op.points.resize(1);
    relativePoint<std::int32_t>(op.points[0]);
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint16_t start = 0;
    std::uint16_t end = 0;
    std::uint16_t tilt = 0;
    m_in.read(major);
    m_in.read(minor);
    m_in.read(start);
    m_in.read(end);
    m_in.read(tilt);
    op.radius = major;
    op.minorRadius = minor;
    op.tiltTurns = tilt / kTurnUnits;
    setSweep(op, start, end, m_revision);
    return emit(std::move(op));
}

template <typename Coord>
bool W2dDecoder::gouraud(std::uint8_t code, std::size_t at, OpKind kind) {
    std::uint32_t count = 0;
    if (!m_in.readCount(count) || !countFits(count, 2 * sizeof(Coord) + 4, code, at)) {
        return false;
    }
    if (!m_state.visible) {
        skipPoints<Coord>(count, 4);
        return true;
    }
    if (!affordable(sizeof(DrawOp) + count * (sizeof(LogicalPoint) + sizeof(Rgba)))) return false;
    DrawOp op = newOp(kind);
    op.points.resize(count);
    op.vertexColours.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        relativePoint<Coord>(op.points[i]);
        rgba(op.vertexColours[i]);
    }
    return emit(std::move(op));
}

template <typename Coord>
bool W2dDecoder::contourSet(std::uint8_t code, std::size_t at) {
    DrawOp op = newOp(OpKind::contourSet);
    return readContours<Coord>(code, at, op, m_state.visible) && emit(std::move(op));
}

// The contours' points are read into `op` when it is kept, else only passed over.
template <typename Coord>
bool W2dDecoder::readContours(std::uint8_t code, std::size_t at, DrawOp& op, bool keep) {
    std::uint32_t contourCount = 0;
    if (!m_in.readCount(contourCount) || !countFits(contourCount, 1, code, at)) return false;
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < contourCount; ++i) {
        std::uint32_t size = 0;
        if (!m_in.readCount(size)) return false;
        op.contours.push_back(size);
        total += size;
    }
    if (!countFits(total, 2 * sizeof(Coord), code, at)) return false;
    if (!keep) {
        skipPoints<Coord>(static_cast<std::size_t>(total), 0);
        return true;
    }
    if (!affordable(costOf(op) + total * sizeof(LogicalPoint))) return false;
    op.points.resize(static_cast<std::size_t>(total));
    for (LogicalPoint& point : op.points)
        relativePoint<Coord>(point);
    return true;
}

// A viewport's clip may be a binary contour set too.
template bool W2dDecoder::readContours<std::int16_t>(std::uint8_t, std::size_t, DrawOp&, bool);
template bool W2dDecoder::readContours<std::int32_t>(std::uint8_t, std::size_t, DrawOp&, bool);

// Described by the format but not written by known writers: count, start, then three
// points per curve.
bool W2dDecoder::bezier(std::size_t at) {
    std::uint32_t curves = 0;
    if (!m_in.readCount(curves) || !countFits(std::uint64_t{curves} * 3 + 1, 8, 'b', at)) {
        return false;
    }
    if (!m_state.visible) {
        skipPoints<std::int32_t>(std::size_t{curves} * 3 + 1, 0);
        return true;
    }
    const std::size_t drawn = std::size_t{curves} * kBezierSegments + 1;
    if (!affordable(sizeof(DrawOp) + drawn * sizeof(LogicalPoint))) return false;
    DrawOp op = newOp(OpKind::polyline);
    op.points.reserve(drawn);
    LogicalPoint start;
    relativePoint<std::int32_t>(start);
    op.points.push_back(start);
    for (std::uint32_t i = 0; i < curves; ++i) {
        LogicalPoint c[3];
        for (LogicalPoint& point : c)
            relativePoint<std::int32_t>(point);
        for (int s = 1; s <= kBezierSegments; ++s) {
            const double t = static_cast<double>(s) / kBezierSegments, u = 1 - t;
            auto blend = [&](std::int64_t LogicalPoint::*axis) {
                return static_cast<std::int64_t>(u * u * u * static_cast<double>(start.*axis) +
                                                 3 * u * u * t * static_cast<double>(c[0].*axis) +
                                                 3 * u * t * t * static_cast<double>(c[1].*axis) +
                                                 t * t * t * static_cast<double>(c[2].*axis));
            };
            op.points.push_back({blend(&LogicalPoint::x), blend(&LogicalPoint::y)});
        }
        start = c[2];
    }
    return emit(std::move(op));
}

// Described by the format, not met in files: a byte count, then that many segments of
// two 16-bit relative points.
bool W2dDecoder::multiLine(std::size_t at) {
    std::uint8_t count = 0;
    if (!m_in.read(count) || !countFits(count, 8, 0x8C, at)) return false;
    for (int i = 0; i < count; ++i) {
        DrawOp op = newOp(OpKind::line);
        op.points.resize(2);
        relativePoint<std::int16_t>(op.points[0]);
        relativePoint<std::int16_t>(op.points[1]);
        if (!emit(std::move(op))) return false;
    }
    return true;
}

template <typename Coord>
bool W2dDecoder::markers(std::uint8_t code, std::size_t at) {
    std::uint32_t count = 0;
    if (!m_in.readCount(count) || !countFits(count, 2 * sizeof(Coord), code, at)) return false;
    std::vector<LogicalPoint> places(count);
    for (LogicalPoint& point : places)
        relativePoint<Coord>(point);
    return placeMarkers(places);
}

bool W2dDecoder::asciiMarkers(std::size_t at) {
    std::int64_t count = 0;
    if (!readAsciiInteger(m_in, count)) return false;
    if (count < 0 || !countFits(static_cast<std::uint64_t>(count), kMinAsciiPointBytes, 'M', at)) {
        return false;
    }
    std::vector<LogicalPoint> places(static_cast<std::size_t>(count));
    for (LogicalPoint& point : places) {
        if (!readAsciiPoint(m_in, point)) return false;
    }
    return placeMarkers(places);
}

namespace {

LogicalPoint placedPoint(const LogicalPoint& point, const LogicalPoint& place, double scale) {
    return LogicalPoint{place.x + toLogical(static_cast<double>(point.x) * scale),
                        place.y + toLogical(static_cast<double>(point.y) * scale)};
}

}  // namespace

// From 6.01 the selected macro is drawn at each place, scaled by the macro size over
// the macro's own scale units; before, a marker is a dot of the marker size.
bool W2dDecoder::placeMarkers(const std::vector<LogicalPoint>& places) {
    if (!m_state.visible) return true;  // no copy would be kept
    const auto macro = m_macros.find(m_state.macroIndex);
    if (m_revision < 601 || macro == m_macros.end()) {
        for (const LogicalPoint& place : places) {
            DrawOp op = newOp(OpKind::circle);
            op.fill = true;
            op.points = {place};
            op.radius = static_cast<double>(std::max<std::int64_t>(m_state.macroSize, 0)) / 2;
            if (!emit(std::move(op))) return false;
        }
        return true;
    }
    const double scale =
        macro->second.scaleUnits > 0 && m_state.macroSize > 0
            ? static_cast<double>(m_state.macroSize) / static_cast<double>(macro->second.scaleUnits)
            : 1.0;
    const std::size_t copies = places.size() * macro->second.ops.size();
    if (copies > m_placedLimit - m_placed) {
        return fail("Markers place more than " + std::to_string(m_placedLimit) +
                    " copies of macro operations, more than a stream of this size can hold; "
                    "the sheet stops" +
                    atByte(m_in.offset()));
    }
    m_placed += copies;
    makeRoomFor(copies);
    const OpList& sink = m_sink != nullptr ? *m_sink : m_out.ops;
    int clip = sink.empty() ? -1 : sink.back().clip;
    for (const LogicalPoint& place : places) {
        for (const DrawOp& shared : macro->second.ops) {
            if (!payForClipChange(clip, shared.clip)) return false;
            DrawOp op = shared;
            for (LogicalPoint& point : op.points)
                point = placedPoint(point, place, scale);
            op.radius *= scale;
            op.minorRadius *= scale;
            op.textHeight *= scale;
            if (op.kind == OpKind::text) placeTextBox(op, place, scale);
            if (!emit(std::move(op))) return false;
        }
    }
    return true;
}

// The painter sets the clip again whenever it changes from one operation to the next,
// going over every point of it: a copy that changes it pays for each of those points as
// for an operation, since a macro can switch between two large clips at every place.
bool W2dDecoder::payForClipChange(int& current, int clip) {
    const int previous = std::exchange(current, clip);
    if (clip == previous || clip < 0) return true;
    std::size_t points = 0;
    for (const auto& contour : m_out.clips[static_cast<std::size_t>(clip)].contours)
        points += contour.size();
    m_cost += points * sizeof(DrawOp);
    return m_cost <= m_limits.displayListBytes || overBudget();
}

// Room for `more` operations as far as the budget allows, at least doubling, so that
// the many copies a marker opcode places do not move the list again and again.
void W2dDecoder::makeRoomFor(std::size_t more) {
    OpList& sink = m_sink != nullptr ? *m_sink : m_out.ops;
    const std::size_t affordable =
        (m_limits.displayListBytes - std::min(m_cost, m_limits.displayListBytes)) / sizeof(DrawOp);
    const std::size_t wanted = sink.size() + std::min(more, affordable);
    if (wanted > sink.capacity()) sink.reserve(std::max(wanted, 2 * sink.capacity()));
}

// A placed text with a box needs the box moved, so a style of its own, which the
// display list's budget pays for; a text without one shares its macro's style.
void W2dDecoder::placeTextBox(DrawOp& op, const LogicalPoint& place, double scale) {
    if (op.detail < 0 || !m_state.visible) return;
    const TextStyle& shared = m_out.texts[static_cast<std::size_t>(op.detail)];
    if (!shared.hasBounds) return;
    TextStyle style = shared;
    for (LogicalPoint& corner : style.bounds)
        corner = placedPoint(corner, place, scale);
    m_cost += sizeof(TextStyle) + style.fontName.size();
    op.detail = static_cast<int>(m_out.texts.size());
    m_out.texts.push_back(std::move(style));
}

bool W2dDecoder::rgba(Rgba& colour) {
    if (m_in.remaining() < 4) return false;
    m_in.read(colour.r);
    m_in.read(colour.g);
    m_in.read(colour.b);
    m_in.read(colour.a);
    if (m_revision < 33) std::swap(colour.r, colour.b);  // old streams wrote B,G,R,A
    return true;
}

// An index past the map is transparent black, as the format's library has it.
Rgba W2dDecoder::indexed(std::int64_t index) const {
    if (index < 0 || static_cast<std::uint64_t>(index) >= m_palette.size()) return {0, 0, 0, 0};
    return m_palette[static_cast<std::size_t>(index)];
}

bool W2dDecoder::origin() {
    std::int32_t x = 0;
    std::int32_t y = 0;
    if (m_in.remaining() < 8) return false;
    m_in.read(x);
    m_in.read(y);
    m_state.current = {x, y};
    return true;
}

// --- single-byte opcodes with ASCII operands -----------------------------------------

bool W2dDecoder::asciiShape(std::uint8_t code, std::size_t at, OpKind kind) {
    std::int64_t count = 2;
    if (code != 'L' && !readAsciiInteger(m_in, count)) return false;
    if (count < 0 || static_cast<std::uint64_t>(count) > m_in.remaining() / kMinAsciiPointBytes) {
        return fail(opcodeName(code) + atByte(at) + ": its count of " + std::to_string(count) +
                    " points runs past the end of the stream");
    }
    if (!m_state.visible) {
        LogicalPoint point;
        for (std::int64_t i = 0; i < count; ++i) {
            if (!readAsciiPoint(m_in, point)) return false;
        }
        return true;
    }
    const auto points = static_cast<std::size_t>(count);
    if (!affordable(sizeof(DrawOp) + points * sizeof(LogicalPoint))) return false;
    DrawOp op = newOp(kind);
    op.points.resize(points);
    for (LogicalPoint& point : op.points) {
        if (!readAsciiPoint(m_in, point)) return false;
    }
    return emit(std::move(op));
}

bool W2dDecoder::asciiCircle() {
    DrawOp op = newOp(OpKind::circle);
    op.points.resize(1);
    std::int64_t radius = 0;
    if (!readAsciiPoint(m_in, op.points[0]) || !readAsciiInteger(m_in, radius)) return false;
    op.radius = static_cast<double>(radius);
    return emit(std::move(op));
}

bool W2dDecoder::asciiEllipse() {
    DrawOp op = newOp(OpKind::ellipse);
    op.points.resize(1);
    std::int64_t major = 0;
    std::int64_t minor = 0;
    if (!readAsciiPoint(m_in, op.points[0]) || !readAsciiInteger(m_in, major) ||
        !readAsciiInteger(m_in, minor)) {
        return false;
    }
    op.radius = static_cast<double>(major);
    op.minorRadius = static_cast<double>(minor);
    return emit(std::move(op));
}

}  // namespace internal

W2dLimits limitsFor(std::size_t streamBytes) {
    constexpr std::size_t kFloor = std::size_t{64} << 20;
    constexpr std::size_t kPerInputByte = 64;
    W2dLimits limits;
    limits.displayListBytes =
        kFloor + std::min(streamBytes, SIZE_MAX / (2 * kPerInputByte)) * kPerInputByte;
    return limits;
}

W2dGraphics readW2d(std::span<const std::uint8_t> data) {
    return readW2d(data, limitsFor(data.size()));
}

W2dGraphics readW2d(std::span<const std::uint8_t> data, const W2dLimits& limits) {
    return internal::W2dDecoder(data, limits).run();
}

}  // namespace plotwick
