// The 2D graphics stream decoder behind readW2d: the reader state of the format (current
// point, colour, font, patterns, macros...), the opcode walk, and the budgets that keep a
// small hostile stream from asking for a large amount of memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "dwf/byte_cursor.h"
#include "dwf/code_page.h"
#include "dwf/display_list.h"
#include "dwf/w2d_reader.h"
#include "dwf/w2d_text.h"

namespace plotwick::internal {

struct FontState {
    std::string name;
    std::int32_t height = 0;
    std::uint16_t rotation = 0;  // 1/65536 turn
    std::uint16_t widthScale = 1024;
    std::uint16_t spacing = 1024;
    std::uint16_t oblique = 0;
    std::int32_t flags = 0;
    std::uint8_t style = 0;  // 1 bold, 2 italic, 4 underlined
};

struct DrawState {
    Rgba colour;  // opaque white until a file sets one
    bool fill = false;
    bool visible = true;
    std::int64_t lineWeight = 0;
    int layer = -1;
    int clip = -1;
    LineCap cap = LineCap::butt;
    LineJoin join = LineJoin::miter;
    FillPattern fillPattern = FillPattern::solid;
    std::uint16_t linePattern = 1;
    int dashes = -1;
    FontState font;
    int horizontalAlign = 0;
    int verticalAlign = 1;
    int codePage = kDefaultCodePage;  // of 8-bit strings
    LogicalPoint current;
    std::int64_t macroIndex = 0;  // or, before 6.01, the marker symbol
    std::int64_t macroSize = 0;   // or the marker size
};

enum class RasterKind { bitonal, group3x, indexed, mapped, rgb, rgba, jpeg, png, group4, group4x };

struct Macro {
    std::int64_t scaleUnits = 0;
    OpList ops;
};

class W2dDecoder {
  public:
    W2dDecoder(std::span<const std::uint8_t> data, const W2dLimits& limits);
    W2dGraphics run();

  private:
    // framing (w2d_reader.cpp)
    void reserveOps();
    bool step();
    bool skipSpace();
    bool fail(std::string message);
    std::string atByte(std::size_t offset) const;
    std::span<const std::uint8_t> data() const;
    bool readChildren(int depth);

    // single-byte opcodes (w2d_reader.cpp)
    bool singleByte(std::uint8_t op, std::size_t at);
    bool drawingOpcode(std::uint8_t op, std::size_t at, bool& known);
    bool stateOpcode(std::uint8_t op, std::size_t at, bool& known);
    DrawOp newOp(OpKind kind) const;
    bool emit(DrawOp op);
    bool affordable(std::size_t bytes);
    bool overBudget();
    template <typename Coord>
    void skipPoints(std::size_t count, std::size_t trailingBytes);
    template <typename Coord>
    bool relativePoint(LogicalPoint& point);
    template <typename Coord>
    bool line();
    bool countFits(std::uint64_t count, std::size_t bytesEach, std::uint8_t op, std::size_t at);
    template <typename Coord>
    bool points(std::uint8_t code, std::size_t at, OpKind kind);
    template <typename Coord, typename Radius>
    bool circle();
    bool arc();
    bool ellipse();
    template <typename Coord>
    bool gouraud(std::uint8_t code, std::size_t at, OpKind kind);
    template <typename Coord>
    bool contourSet(std::uint8_t code, std::size_t at);
    template <typename Coord>
    bool readContours(std::uint8_t code, std::size_t at, DrawOp& op, bool keep);
    bool bezier(std::size_t at);
    bool multiLine(std::size_t at);
    template <typename Coord>
    bool markers(std::uint8_t code, std::size_t at);
    bool asciiMarkers(std::size_t at);
    bool placeMarkers(const std::vector<LogicalPoint>& places);
    bool payForClipChange(int& current, int clip);
    void makeRoomFor(std::size_t more);
    void placeTextBox(DrawOp& op, const LogicalPoint& place, double scale);
    bool rgba(Rgba& colour);
    Rgba indexed(std::int64_t index) const;
    bool asciiShape(std::uint8_t code, std::size_t at, OpKind kind);
    bool asciiCircle();
    bool asciiEllipse();
    bool origin();

    // text and fonts (w2d_text_ops.cpp)
    bool font(std::size_t at);
    bool oldFont();
    bool basicText();
    bool complexText();
    bool oldBasicText();
    bool oldComplexText();
    bool scoringList();
    bool countedUtf16(std::u16string& text);
    bool emitText(const LogicalPoint& position, std::u16string text, const LogicalPoint* bounds);
    // Reads a string to be drawn: 8-bit forms are taken in the stream's code page.
    bool readDrawnString(ByteCursor& in, std::u16string& text);

    // extended ASCII opcodes (w2d_ascii_ops.cpp)
    bool extendedAscii(std::size_t at, int depth);
    bool applyAscii(const std::string& name, ByteCursor& body, std::size_t at);
    bool applyTokens(const std::string& name, const std::vector<BodyToken>& tokens);
    void applyColourTokens(const std::string& name, const std::vector<double>& numbers);
    bool asciiText(ByteCursor& body);
    void asciiFont(const std::vector<BodyToken>& tokens);
    void plotInfo(const std::vector<BodyToken>& tokens, const std::vector<double>& numbers);
    void lineStyle(const std::vector<BodyToken>& tokens);
    bool asciiGouraud(const std::vector<double>& numbers, OpKind kind);
    bool asciiArc(const std::vector<double>& numbers, bool ellipse);
    bool asciiImage(ByteCursor& body, bool group4png, std::size_t at);
    bool viewport(std::size_t at, int depth);
    bool macroDefinition(std::size_t at, int depth);
    bool overpost(std::size_t at, int depth);
    bool expectClose(std::size_t at);
    bool contourFromAscii(const std::vector<double>& numbers);

    // extended binary opcodes (w2d_binary_ops.cpp)
    bool extendedBinary(std::size_t at);
    bool binaryBlock(std::uint16_t opcode, std::size_t at, std::size_t end);
    bool colourMap(std::size_t end);
    bool binaryImage(std::uint16_t opcode, std::size_t at, std::size_t end);
    bool keepImage(RasterKind kind, int columns, int rows, std::span<const std::uint8_t> pixels,
                   const std::vector<Rgba>& localMap, const LogicalPoint& min,
                   const LogicalPoint& max);
    bool inflateRegion(std::size_t at);

    std::span<const std::uint8_t> m_raw;
    std::vector<std::uint8_t> m_inflated;  // a compressed region's bytes while read
    bool m_inInflated = false;
    std::size_t m_resume = 0;  // raw offset after the region's closing brace
    std::size_t m_regionAt = 0;
    std::size_t m_inflatedTotal = 0;
    ByteCursor m_in;
    W2dLimits m_limits;
    std::size_t m_cost = 0;
    std::size_t m_placedLimit = 0;  // copies of macro operations that markers may place
    std::size_t m_placed = 0;
    int m_revision = 600;
    W2dGraphics m_out;
    DrawState m_state;
    std::vector<Rgba> m_palette;
    std::map<std::int64_t, Macro> m_macros;
    OpList* m_sink = nullptr;  // a macro being defined, else the display list
    std::map<std::u16string, LogicalBox> m_namedViews;
};

// A relative point: the delta is added to the current point, which moves there.
template <typename Coord>
inline bool W2dDecoder::relativePoint(LogicalPoint& point) {
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

// Pixel data of an embedded image into what the painter draws: PNG and JPEG as they
// are, the raw kinds as RGBA rows. False with `problem` set when the data does not fit
// the size or the kind cannot be decoded here.
bool decodeRaster(RasterKind kind, int columns, int rows, std::span<const std::uint8_t> pixels,
                  const std::vector<Rgba>& localMap, const std::vector<Rgba>& palette,
                  RasterImage& image, std::string& problem);

std::string opcodeName(std::uint8_t op);
bool isStreamSpace(std::uint8_t c);
// What an operation costs in memory, for the display list's budget.
std::size_t costOf(const DrawOp& op);

}  // namespace plotwick::internal
