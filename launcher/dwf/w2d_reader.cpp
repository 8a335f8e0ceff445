#include "dwf/w2d_reader.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "dwf/byte_cursor.h"
#include "dwf/w2d_text.h"

namespace plotwick {
namespace {

using internal::BodyToken;
using internal::ByteCursor;

constexpr std::size_t kHeaderSize = 12;
// Angles and tilts in 1/65536 of a turn.
constexpr double kTurnUnits = 65536.0;
// A ASCII point needs at least "0,0 ": bounds a count before memory is reserved.
constexpr std::size_t kMinAsciiPointBytes = 3;

std::string opcodeName(std::uint8_t op) {
    char text[32];
    if (op >= 0x21 && op < 0x7f) {
        std::snprintf(text, sizeof text, "opcode 0x%02X ('%c')", op, op);
    } else {
        std::snprintf(text, sizeof text, "opcode 0x%02X", op);
    }
    return text;
}

std::string atByte(std::size_t offset) {
    return " at byte " + std::to_string(offset);
}

bool isSpace(std::uint8_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool validHeader(std::span<const std::uint8_t> data) {
    if (data.size() < kHeaderSize || data[kHeaderSize - 1] != ')') return false;
    const std::string_view start(reinterpret_cast<const char*>(data.data()), 6);
    return start == "(W2D V" || start == "(DWF V";
}

// The drawing state that single-byte opcodes change and operations capture.
struct DrawState {
    Rgba colour;  // opaque white until a file sets one
    bool fill = false;
    bool visible = true;
    std::int64_t lineWeight = 0;
    int layer = -1;
    int clip = -1;
    double textHeight = 0;
    LogicalPoint current;
};

class StreamDecoder {
  public:
    explicit StreamDecoder(std::span<const std::uint8_t> data) : m_data(data), m_in(data) {}

    W2dGraphics run() {
        if (!validHeader(m_data)) {
            m_out.message =
                "Not a 2D graphics stream: it does not begin with (W2D V..) or (DWF V..)";
            return std::move(m_out);
        }
        m_in.seek(kHeaderSize);
        while (!m_out.complete && m_out.message.empty())
            step();
        return std::move(m_out);
    }

  private:
    void step() {
        while (!m_in.atEnd() && isSpace(m_in.peek()))
            m_in.skip(1);
        if (m_in.atEnd()) {
            m_out.message = "The stream ends" + atByte(m_in.offset()) + " before (EndOfDWF)";
            return;
        }
        const std::size_t at = m_in.offset();
        std::uint8_t op = 0;
        m_in.read(op);
        bool ok = false;
        if (op == '(') {
            ok = extendedAscii(at);
        } else if (op == '{') {
            ok = extendedBinary(at);
        } else {
            ok = singleByte(op, at);
        }
        if (!ok && m_out.message.empty()) {
            m_out.message = "The stream ends inside " + opcodeName(op) + atByte(at);
        }
    }

    bool fail(std::string message) {
        m_out.message = std::move(message);
        return false;
    }

    // --- single-byte opcodes -------------------------------------------------------

    bool singleByte(std::uint8_t op, std::size_t at) {
        switch (op) {
            case 'l':
                return line<std::int32_t>();
            case 0x0C:
                return line<std::int16_t>();
            case 'p':
                return points<std::int32_t>(op, at, polylineKind());
            case 0x10:
                return points<std::int16_t>(op, at, polylineKind());
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
            case 'x':
                return text();
            case 0x06:
                return font(at);
            case 0x03:
                return rgba(m_state.colour);
            case 'c':
                return paletteIndex();
            case 0x17:
                return lineWeight();
            case 0xAC:
                return layerNumber();
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
            case 'L':
                return asciiShape(op, at, OpKind::line);
            case 'P':
                return asciiShape(op, at, polylineKind());
            case 'T':
                return asciiShape(op, at, OpKind::polytriangle);
            case 'R':
                return asciiCircle();
            case 'C':
                return asciiPaletteIndex();
            default:
                return fail(opcodeName(op) + atByte(at) +
                            " is not known and cannot be skipped; the sheet stops there");
        }
    }

    OpKind polylineKind() const { return m_state.fill ? OpKind::polygon : OpKind::polyline; }

    DrawOp newOp(OpKind kind) const {
        DrawOp op;
        op.kind = kind;
        op.colour = m_state.colour;
        op.fill = m_state.fill;
        op.lineWeight = m_state.lineWeight;
        op.layer = m_state.layer;
        op.clip = m_state.clip;
        op.textHeight = m_state.textHeight;
        return op;
    }

    void emit(DrawOp op) {
        if (m_state.visible) m_out.ops.push_back(std::move(op));
    }

    template <typename Coord>
    bool relativePoint(LogicalPoint& point) {
        Coord dx = 0;
        Coord dy = 0;
        const std::size_t start = m_in.offset();
        if (!m_in.read(dx) || !m_in.read(dy)) {
            m_in.seek(start);
            return false;
        }
        m_state.current.x += dx;
        m_state.current.y += dy;
        point = m_state.current;
        return true;
    }

    template <typename Coord>
    bool line() {
        DrawOp op = newOp(OpKind::line);
        op.points.resize(2);
        if (!relativePoint<Coord>(op.points[0]) || !relativePoint<Coord>(op.points[1])) {
            return false;
        }
        emit(std::move(op));
        return true;
    }

    // A count whose points (of `bytesEach`) do not fit in the rest of the stream.
    bool countFits(std::uint32_t count, std::size_t bytesEach, std::uint8_t op, std::size_t at) {
        if (std::size_t{count} * bytesEach <= m_in.remaining()) return true;
        return fail(opcodeName(op) + atByte(at) + ": its count of " + std::to_string(count) +
                    " points runs past the end of the stream");
    }

    template <typename Coord>
    bool points(std::uint8_t code, std::size_t at, OpKind kind) {
        std::uint32_t count = 0;
        if (!m_in.readCount(count) || !countFits(count, 2 * sizeof(Coord), code, at)) return false;
        DrawOp op = newOp(kind);
        op.points.resize(count);
        for (LogicalPoint& point : op.points)
            relativePoint<Coord>(point);
        emit(std::move(op));
        return true;
    }

    template <typename Coord, typename Radius>
    bool circle() {
        DrawOp op = newOp(OpKind::circle);
        op.points.resize(1);
        Radius radius = 0;
        if (m_in.remaining() < 2 * sizeof(Coord) + sizeof(Radius)) return false;
        relativePoint<Coord>(op.points[0]);
        m_in.read(radius);
        op.radius = radius;
        emit(std::move(op));
        return true;
    }

    bool arc() {
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
        setSweep(op, start, end);
        emit(std::move(op));
        return true;
    }

    bool ellipse() {
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
        setSweep(op, start, end);
        emit(std::move(op));
        return true;
    }

    // Equal start and end angles draw the whole curve.
    static void setSweep(DrawOp& op, std::uint16_t start, std::uint16_t end) {
        op.startTurns = start / kTurnUnits;
        op.endTurns = end / kTurnUnits;
        if (op.endTurns <= op.startTurns) op.endTurns += 1.0;
    }

    template <typename Coord>
    bool gouraud(std::uint8_t code, std::size_t at, OpKind kind) {
        std::uint32_t count = 0;
        if (!m_in.readCount(count) || !countFits(count, 2 * sizeof(Coord) + 4, code, at)) {
            return false;
        }
        DrawOp op = newOp(kind);
        op.points.resize(count);
        op.vertexColours.resize(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            relativePoint<Coord>(op.points[i]);
            rgba(op.vertexColours[i]);
        }
        emit(std::move(op));
        return true;
    }

    template <typename Coord>
    bool contourSet(std::uint8_t code, std::size_t at) {
        std::uint32_t contourCount = 0;
        if (!m_in.readCount(contourCount) || !countFits(contourCount, 1, code, at)) return false;
        DrawOp op = newOp(OpKind::contourSet);
        std::size_t total = 0;
        for (std::uint32_t i = 0; i < contourCount; ++i) {
            std::uint32_t size = 0;
            if (!m_in.readCount(size)) return false;
            op.contours.push_back(size);
            total += size;
        }
        if (total > m_in.remaining() / (2 * sizeof(Coord))) {
            return countFits(static_cast<std::uint32_t>(std::min<std::size_t>(total, UINT32_MAX)),
                             2 * sizeof(Coord), code, at);
        }
        op.points.resize(total);
        for (LogicalPoint& point : op.points)
            relativePoint<Coord>(point);
        emit(std::move(op));
        return true;
    }

    bool text() {
        DrawOp op = newOp(OpKind::text);
        op.points.resize(1);
        const std::size_t start = m_in.offset();
        const LogicalPoint before = m_state.current;
        if (!relativePoint<std::int32_t>(op.points[0]) || !internal::readString(m_in, op.text)) {
            m_in.seek(start);
            m_state.current = before;
            return false;
        }
        emit(std::move(op));
        return true;
    }

    // A font definition: a field mask, then the fields it names in bit order. Only the
    // height matters for drawing; the rest is read past.
    bool font(std::size_t at) {
        std::uint16_t mask = 0;
        if (!m_in.read(mask)) return false;
        constexpr std::uint16_t kKnownFields = 0x07ff;
        if ((mask & ~kKnownFields) != 0) {
            return fail(opcodeName(0x06) + atByte(at) +
                        " has unknown fields and cannot be skipped");
        }
        std::u16string name;
        if ((mask & 0x0001) && !internal::readString(m_in, name)) return false;
        // charset, pitch, family, style: one byte each
        for (std::uint16_t bit : {0x0002, 0x0004, 0x0008, 0x0010}) {
            if ((mask & bit) && !m_in.skip(1)) return false;
        }
        std::int32_t height = 0;
        if ((mask & 0x0020) && !m_in.read(height)) return false;
        if (mask & 0x0020) m_state.textHeight = height;
        // rotation, width scale, spacing, oblique: two bytes each; flags: four
        for (std::uint16_t bit : {0x0040, 0x0080, 0x0100, 0x0200}) {
            if ((mask & bit) && !m_in.skip(2)) return false;
        }
        return !(mask & 0x0400) || m_in.skip(4);
    }

    bool rgba(Rgba& colour) {
        if (m_in.remaining() < 4) return false;
        m_in.read(colour.r);
        m_in.read(colour.g);
        m_in.read(colour.b);
        m_in.read(colour.a);
        return true;
    }

    bool paletteIndex() {
        std::uint8_t index = 0;
        if (!m_in.read(index)) return false;
        m_state.colour = defaultPalette()[index];
        return true;
    }

    bool lineWeight() {
        std::int32_t weight = 0;
        if (!m_in.read(weight)) return false;
        m_state.lineWeight = weight;
        return true;
    }

    bool layerNumber() {
        std::uint32_t number = 0;
        if (!m_in.readCount(number)) return false;
        m_state.layer = static_cast<int>(number);
        return true;
    }

    bool origin() {
        std::int32_t x = 0;
        std::int32_t y = 0;
        if (m_in.remaining() < 8) return false;
        m_in.read(x);
        m_in.read(y);
        m_state.current = {x, y};
        return true;
    }

    // --- single-byte opcodes with ASCII operands -----------------------------------

    bool asciiShape(std::uint8_t code, std::size_t at, OpKind kind) {
        std::int64_t count = 2;
        if (code != 'L' && !internal::readAsciiInteger(m_in, count)) return false;
        if (count < 0 ||
            static_cast<std::uint64_t>(count) > m_in.remaining() / kMinAsciiPointBytes) {
            return fail(opcodeName(code) + atByte(at) + ": its count of " + std::to_string(count) +
                        " points runs past the end of the stream");
        }
        DrawOp op = newOp(kind);
        op.points.resize(static_cast<std::size_t>(count));
        for (LogicalPoint& point : op.points) {
            if (!internal::readAsciiPoint(m_in, point)) return false;
        }
        emit(std::move(op));
        return true;
    }

    bool asciiCircle() {
        DrawOp op = newOp(OpKind::circle);
        op.points.resize(1);
        std::int64_t radius = 0;
        if (!internal::readAsciiPoint(m_in, op.points[0]) ||
            !internal::readAsciiInteger(m_in, radius)) {
            return false;
        }
        op.radius = static_cast<double>(radius);
        emit(std::move(op));
        return true;
    }

    bool asciiPaletteIndex() {
        std::int64_t index = 0;
        if (!internal::readAsciiInteger(m_in, index)) return false;
        m_state.colour = defaultPalette()[static_cast<std::uint8_t>(index)];
        return true;
    }

    // --- extended opcodes ----------------------------------------------------------

    bool extendedAscii(std::size_t at) {
        std::size_t close = 0;
        std::string error;
        if (!internal::findClosingParenthesis(m_data, at, close, error)) return fail(error);
        ByteCursor body(m_data.first(close), at + 1);
        const std::string name = internal::readName(body);
        m_in.seek(close + 1);
        if (name == "EndOfDWF") {
            m_out.complete = true;
            return true;
        }
        // Others (Creator, PlotInfo, fonts, images...) are only skipped: their extent
        // is known without reading their operands.
        if (!isApplied(name)) return true;
        // An operand list that does not read as expected is skipped the same way.
        std::vector<BodyToken> tokens;
        if (internal::tokenize(body, tokens)) applyAscii(name, tokens);
        return true;
    }

    static bool isApplied(const std::string& name) {
        for (const char* known :
             {"Color", "LineWeight", "Layer", "View", "Units", "Contour", "Viewport"}) {
            if (name == known) return true;
        }
        return false;
    }

    void applyAscii(const std::string& name, const std::vector<BodyToken>& tokens) {
        const std::vector<double> numbers = internal::numbersOf(tokens);
        if (name == "Color" && numbers.size() >= 4) {
            m_state.colour = {byteOf(numbers[0]), byteOf(numbers[1]), byteOf(numbers[2]),
                              byteOf(numbers[3])};
        } else if (name == "LineWeight" && !numbers.empty()) {
            m_state.lineWeight = internal::toLogical(numbers[0]);
        } else if (name == "Layer" && !numbers.empty()) {
            m_state.layer = internal::toInt(numbers[0]);
            if (const std::u16string* label = internal::firstString(tokens)) {
                m_out.layerNames[m_state.layer] = internal::toUtf8(*label);
            }
        } else if (name == "View" && numbers.size() >= 4) {
            m_out.view =
                LogicalBox{{internal::toLogical(numbers[0]), internal::toLogical(numbers[1])},
                           {internal::toLogical(numbers[2]), internal::toLogical(numbers[3])}};
        } else if (name == "Units" && numbers.size() >= 16) {
            std::array<double, 16> matrix{};
            for (int i = 0; i < 16; ++i)
                matrix[i] = numbers[i];
            m_out.units = matrix;
        } else if (name == "Contour") {
            contourFromAscii(numbers);
        } else if (name == "Viewport") {
            viewport(tokens);
        }
    }

    static std::uint8_t byteOf(double value) {
        return static_cast<std::uint8_t>(!(value >= 0) ? 0
                                         : value > 255 ? 255
                                                       : value);  // NaN is 0
    }

    void contourFromAscii(const std::vector<double>& numbers) {
        std::vector<std::vector<LogicalPoint>> contours;
        if (!internal::contoursOf(numbers, contours)) return;
        DrawOp op = newOp(OpKind::contourSet);
        for (const auto& contour : contours) {
            op.contours.push_back(static_cast<std::uint32_t>(contour.size()));
            op.points.insert(op.points.end(), contour.begin(), contour.end());
        }
        emit(std::move(op));
    }

    // A viewport with a contour clips what follows; one without clears the clip.
    void viewport(const std::vector<BodyToken>& tokens) {
        Clip clip;
        const std::vector<double> numbers = internal::numbersAfterWord(tokens, "Contour");
        if (!internal::contoursOf(numbers, clip.contours)) {
            m_state.clip = -1;
            return;
        }
        m_state.clip = static_cast<int>(m_out.clips.size());
        m_out.clips.push_back(std::move(clip));
    }

    bool extendedBinary(std::size_t at) {
        std::int32_t length = 0;
        std::uint16_t opcode = 0;
        if (!m_in.read(length)) return false;
        const std::size_t afterLength = m_in.offset();
        const bool hasOpcode = m_in.read(opcode);
        char name[64];
        std::snprintf(name, sizeof name, "extended binary opcode 0x%04X", opcode);
        if (hasOpcode && opcode == 0x0011) {
            return fail("The stream is compressed (" + std::string(name) + atByte(at) +
                        ", zlib with a preset dictionary); compressed streams are not supported");
        }
        if (hasOpcode && opcode == 0x0010) {
            return fail("The stream is compressed (" + std::string(name) + atByte(at) +
                        ", LZ compression); compressed streams are not supported");
        }
        if (length == 0) {
            return fail(std::string(name) + atByte(at) +
                        " has length 0 and cannot be skipped; the sheet stops there");
        }
        if (length < 0 || static_cast<std::size_t>(length) > m_data.size() - afterLength) {
            return fail(std::string(name) + atByte(at) + ": its length of " +
                        std::to_string(length) + " bytes runs past the end of the stream");
        }
        return m_in.seek(afterLength + static_cast<std::size_t>(length));
    }

    std::span<const std::uint8_t> m_data;
    ByteCursor m_in;
    W2dGraphics m_out;
    DrawState m_state;
};

}  // namespace

W2dGraphics readW2d(std::span<const std::uint8_t> data) {
    return StreamDecoder(data).run();
}

}  // namespace plotwick
