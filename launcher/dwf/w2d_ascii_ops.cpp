// Extended ASCII opcodes "(Name operands...)": most are found whole by matching their
// parentheses and then read from their operands; macros, overpost groups and viewports
// hold other opcodes (binary ones too) and are read opcode by opcode.
#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string_view>

#include "dwf/w2d_decoder.h"

namespace plotwick::internal {
namespace {

using Tokens = std::vector<BodyToken>;

constexpr double kTurnUnits = 65536.0;
constexpr std::size_t kMaxTokenizedBytes = std::size_t{1} << 20;

// Opcodes whose operands are read; every other known one only holds metadata.
constexpr std::array<std::string_view, 25> kApplied = {"CodePage",
                                                       "Color",
                                                       "LineWeight",
                                                       "Layer",
                                                       "View",
                                                       "NamedView",
                                                       "Units",
                                                       "Contour",
                                                       "Font",
                                                       "LineStyle",
                                                       "LinePattern",
                                                       "DashPattern",
                                                       "FillPattern",
                                                       "UserFillPattern",
                                                       "UserHatchPattern",
                                                       "ColorMap",
                                                       "Circle",
                                                       "Ellipse",
                                                       "Gouraud",
                                                       "GourLine",
                                                       "TextHAlign",
                                                       "TextVAlign",
                                                       "Text",
                                                       "Image",
                                                       "PlotInfo"};

// Names whose operands hold strings (binary ones count characters).
constexpr std::array<std::string_view, 26> kWithStrings = {
    "Author",      "Copyright",     "Created",   "Modified", "SourceCreated", "SourceModified",
    "Creator",     "Description",   "Keywords",  "Subject",  "Title",         "SourceFilename",
    "Embed",       "FontExtension", "Node",      "URL",      "AttributeURL",  "PlotInfo",
    "GroupBegin",  "Layer",         "NamedView", "View",     "Text",          "Font",
    "FillPattern", "LinePattern"};

template <std::size_t N>
bool isOneOf(const std::string& name, const std::array<std::string_view, N>& names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string lower(const std::u16string& text) {
    std::string out;
    for (char16_t c : text)
        out.push_back(static_cast<char>(std::tolower(c < 0x80 ? static_cast<int>(c) : '?')));
    return out;
}

// "Slant Left", 'Slant_Left' and slant_left name the same pattern.
std::string normalised(const std::u16string& text) {
    std::string out = lower(text);
    std::replace(out.begin(), out.end(), '_', ' ');
    return out;
}

std::uint8_t byteOf(double value) {
    return static_cast<std::uint8_t>(!(value >= 0) ? 0 : value > 255 ? 255 : value);
}

Rgba colourOf(const double* n) {
    return {byteOf(n[0]), byteOf(n[1]), byteOf(n[2]), byteOf(n[3])};
}

// Each "(Word values...)" group of a token list, with its values.
struct Group {
    std::string word;
    std::vector<const BodyToken*> values;
};

std::vector<Group> groupsOf(const Tokens& tokens) {
    std::vector<Group> groups;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i].kind != BodyToken::Kind::open || tokens[i + 1].kind != BodyToken::Kind::word)
            continue;
        Group group{lower(tokens[i + 1].text), {}};
        for (std::size_t j = i + 2; j < tokens.size(); ++j) {
            const auto kind = tokens[j].kind;
            if (kind == BodyToken::Kind::open || kind == BodyToken::Kind::close) break;
            group.values.push_back(&tokens[j]);
        }
        groups.push_back(std::move(group));
    }
    return groups;
}

double firstNumber(const Group& group, double fallback) {
    for (const BodyToken* token : group.values) {
        if (token->kind == BodyToken::Kind::number) return token->number;
    }
    return fallback;
}

std::string firstWord(const Group& group) {
    return group.values.empty() ? std::string() : normalised(group.values[0]->text);
}

LineCap capOf(const std::string& word) {
    if (word == "square") return LineCap::square;
    if (word == "round") return LineCap::round;
    if (word == "diamond") return LineCap::diamond;
    return LineCap::butt;
}

LineJoin joinOf(const std::string& word) {
    if (word == "bevel") return LineJoin::bevel;
    if (word == "round") return LineJoin::round;
    if (word == "diamond") return LineJoin::diamond;
    return LineJoin::miter;
}

// The predefined line patterns by name, numbered from 1; unknown names are solid.
std::uint16_t linePatternOf(const std::string& name) {
    static const char* const kNames[] = {"solid",
                                         "dashed",
                                         "dotted",
                                         "dash dot",
                                         "short dash",
                                         "medium dash",
                                         "long dash",
                                         "short dash x2",
                                         "medium dash x2",
                                         "long dash x2",
                                         "medium long dash",
                                         "medium dash short dash short dash",
                                         "long dash short dash",
                                         "long dash dot dot",
                                         "long dash dot",
                                         "medium dash dot short dash dot",
                                         "sparse dot",
                                         "iso dash",
                                         "iso dash space",
                                         "iso long dash dot",
                                         "iso long dash double dot",
                                         "iso long dash triple dot",
                                         "iso dot",
                                         "iso long dash short dash",
                                         "iso long dash double short dash",
                                         "iso dash dot",
                                         "iso double dash dot",
                                         "iso dash double dot",
                                         "iso double dash double dot",
                                         "iso dash triple dot",
                                         "iso double dash triple dot",
                                         "decorated tracks",
                                         "decorated wide tracks",
                                         "decorated circle fence",
                                         "decorated square fence"};
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        if (name == kNames[i]) return static_cast<std::uint16_t>(i + 1);
    }
    static const std::pair<const char*, std::uint16_t> kAliases[] = {
        {"----", 1},    {"- -", 2},      {"....", 3},  {"-.-.", 4},    {"- - ", 5},
        {"...", 8},     {"-- --", 10},   {"-...", 12}, {"-..-..", 14}, {"-..", 15},
        {"center", 16}, {"phantom", 17}, {"__ __", 18}};
    for (const auto& [alias, id] : kAliases) {
        if (name == alias) return id;
    }
    return 1;
}

FillPattern fillPatternOf(const std::string& name) {
    static const std::pair<const char*, FillPattern> kNames[] = {
        {"checkerboard", FillPattern::checkerboard},
        {"crosshatch", FillPattern::crosshatch},
        {"diamonds", FillPattern::diamonds},
        {"horizontal bars", FillPattern::horizontalBars},
        {"slant left", FillPattern::slantLeft},
        {"slant right", FillPattern::slantRight},
        {"square dots", FillPattern::squareDots},
        {"vertical bars", FillPattern::verticalBars},
        {"user defined", FillPattern::userDefined}};
    for (const auto& [known, pattern] : kNames) {
        if (name == known) return pattern;
    }
    return FillPattern::solid;
}

RasterKind rasterKindOf(const std::string& name, bool& known) {
    static const std::pair<const char*, RasterKind> kNames[] = {
        {"bitonal", RasterKind::bitonal}, {"group 3x", RasterKind::group3x},
        {"indexed", RasterKind::indexed}, {"mapped", RasterKind::mapped},
        {"rgb", RasterKind::rgb},         {"rgba", RasterKind::rgba},
        {"jpeg", RasterKind::jpeg},       {"png", RasterKind::png},
        {"group4", RasterKind::group4},   {"group 4x", RasterKind::group4x}};
    for (const auto& [word, kind] : kNames) {
        if (name == word) {
            known = true;
            return kind;
        }
    }
    known = false;
    return RasterKind::rgb;
}

}  // namespace

bool W2dDecoder::extendedAscii(std::size_t at, int depth) {
    const std::string name = readName(m_in);
    if (name == "Macro") return macroDefinition(at, depth);
    if (name == "Overpost") return overpost(at, depth);
    if (name == "Viewport") return viewport(at, depth);
    const bool known = isOneOf(name, kApplied) || isOneOf(name, kWithStrings) ||
                       name.starts_with("Comment") || name == "Group4PNGImage";
    std::size_t close = 0;
    std::string error;
    if (!findClosingParenthesis(data(), at, close, error,
                                known ? SkipMode::strings : SkipMode::bytes)) {
        return fail(error);
    }
    ByteCursor body(data().first(close), m_in.offset());
    m_in.seek(close + 1);
    if (name == "EndOfDWF") {
        m_out.complete = true;
        return true;
    }
    return applyAscii(name, body, at);
}

// Operands that do not read as expected are passed over: the opcode's extent is known.
// False only when a budget ends the sheet.
bool W2dDecoder::applyAscii(const std::string& name, ByteCursor& body, std::size_t at) {
    if (name == "Text") return asciiText(body);
    if (name == "Image") return asciiImage(body, false, at);
    if (name == "Group4PNGImage") return asciiImage(body, true, at);
    if (!isOneOf(name, kApplied)) return true;
    // Each token takes some 50 bytes however short it is in the stream: a bound on the
    // operands keeps that proportional to what real files hold.
    if (body.remaining() > kMaxTokenizedBytes) {
        return fail("The extended opcode (" + name + atByte(at) + " has " +
                    std::to_string(body.remaining()) +
                    " bytes of operands, more than a drawing holds; the sheet stops there");
    }
    Tokens tokens;
    if (!tokenize(body, tokens)) return true;
    return applyTokens(name, tokens);
}

bool W2dDecoder::applyTokens(const std::string& name, const Tokens& tokens) {
    const std::vector<double> numbers = numbersOf(tokens);
    const std::u16string* label = firstString(tokens);
    std::u16string word;
    for (const BodyToken& token : tokens) {
        if (token.kind == BodyToken::Kind::word || token.kind == BodyToken::Kind::string) {
            word = token.text;
            break;
        }
    }
    if (name == "LineWeight" && !numbers.empty()) {
        m_state.lineWeight = toLogical(numbers[0]);
    } else if (name == "Layer" && !numbers.empty()) {
        m_state.layer = toInt(numbers[0]);
        // Quoted or a plain word: (Layer 1 YELLOW) in real files.
        if (!word.empty()) m_out.layerNames[m_state.layer] = toUtf8(word);
    } else if ((name == "View" || name == "NamedView") && numbers.size() >= 4) {
        const LogicalBox box{{toLogical(numbers[0]), toLogical(numbers[1])},
                             {toLogical(numbers[2]), toLogical(numbers[3])}};
        if (name == "View") m_out.view = box;
        if (name == "NamedView" && label != nullptr) m_namedViews[*label] = box;
    } else if (name == "View" && label != nullptr && m_namedViews.contains(*label)) {
        m_out.view = m_namedViews[*label];
    } else if (name == "Units" && numbers.size() >= 16) {
        std::array<double, 16> matrix{};
        std::copy(numbers.begin(), numbers.begin() + 16, matrix.begin());
        m_out.units = matrix;
    } else if (name == "PlotInfo") {
        plotInfo(tokens, numbers);
    } else if (name == "Contour") {
        return contourFromAscii(numbers);
    } else if (name == "Font") {
        asciiFont(tokens);
    } else if (name == "LineStyle") {
        lineStyle(tokens);
    } else if (name == "LinePattern") {
        m_state.linePattern = linePatternOf(normalised(word));
        m_state.dashes = -1;
    } else if (name == "DashPattern" && !numbers.empty()) {
        m_state.dashes = -1;
        if (numbers[0] < 0 || numbers.size() < 3) return true;
        DashLengths lengths(numbers.begin() + 1, numbers.end());
        for (double& length : lengths)
            length = std::clamp(length, 0.0, 1.0e4);  // pixels
        m_state.dashes = static_cast<int>(m_out.dashes.size());
        m_out.dashes.push_back(std::move(lengths));
    } else if (name == "CodePage" && !numbers.empty()) {
        m_state.codePage = toInt(numbers[0]);
    } else if (name == "FillPattern") {
        m_state.fillPattern = fillPatternOf(normalised(word));
    } else if (name == "UserFillPattern" || name == "UserHatchPattern") {
        m_state.fillPattern = FillPattern::userDefined;
    } else if (name == "TextHAlign") {
        const std::string align = normalised(word);
        m_state.horizontalAlign = align == "center" ? 1 : align == "right" ? 2 : 0;
    } else if (name == "TextVAlign") {
        const std::string align = normalised(word);
        static const char* const kAligns[] = {"descentline", "baseline", "halfline", "capline",
                                              "ascentline"};
        m_state.verticalAlign = 1;
        for (int i = 0; i < 5; ++i) {
            if (align == kAligns[i]) m_state.verticalAlign = i;
        }
    } else if (name == "Gouraud" || name == "GourLine") {
        return asciiGouraud(numbers,
                            name == "Gouraud" ? OpKind::gouraudTriangles : OpKind::gouraudPolyline);
    } else if (name == "Circle" || name == "Ellipse") {
        return asciiArc(numbers, name == "Ellipse");
    } else {
        applyColourTokens(name, numbers);
    }
    return true;
}

void W2dDecoder::applyColourTokens(const std::string& name, const std::vector<double>& numbers) {
    if (name == "Color" && numbers.size() >= 4) {
        m_state.colour = colourOf(numbers.data());
    } else if (name == "Color" && numbers.size() == 1) {
        m_state.colour = indexed(toLogical(numbers[0]));
    } else if (name == "ColorMap" && !numbers.empty() && numbers[0] >= 1 && numbers[0] <= 65535 &&
               (numbers.size() - 1) / 4 >= numbers[0]) {
        m_palette.resize(static_cast<std::size_t>(numbers[0]));
        for (std::size_t i = 0; i < m_palette.size(); ++i)
            m_palette[i] = colourOf(&numbers[1 + 4 * i]);
    }
}

// show|hide, a rotation (a number, a word or nothing, by revision), in|mm, the paper's
// width and height, the plot area's left, bottom, right and top, and the 3 x 3 logical
// to paper matrix: the last 15 numbers whatever the revision. A paper point is the
// logical point times the matrix plus the plot area's lower left corner.
void W2dDecoder::plotInfo(const Tokens& tokens, const std::vector<double>& numbers) {
    bool shown = false, millimetres = false;
    for (const BodyToken& token : tokens) {
        if (token.kind != BodyToken::Kind::word && token.kind != BodyToken::Kind::string) continue;
        const std::string word = lower(token.text);
        shown = shown || word == "show";
        millimetres = millimetres || word == "mm";
    }
    if (!shown || numbers.size() < 15) return;
    const double* n = numbers.data() + (numbers.size() - 15);
    const bool finite = std::all_of(n, n + 15, [](double v) { return std::isfinite(v); });
    if (!finite || !(n[0] > 0) || !(n[1] > 0)) return;
    m_out.plot = PlotPlacement{millimetres,
                               n[0],
                               n[1],
                               {n[6], n[7], 0, 0, n[9], n[10], 0, 0, 0, 0, 1, 0, n[2], n[3], 0, 1}};
}

void W2dDecoder::asciiFont(const Tokens& tokens) {
    FontState& f = m_state.font;
    for (const Group& group : groupsOf(tokens)) {
        const double value = firstNumber(group, -1);
        auto u16 = [&](std::uint16_t& field) {
            if (value >= 0) field = static_cast<std::uint16_t>(std::min(value, 65535.0));
        };
        if (group.word == "name" && !group.values.empty()) {
            f.name = toUtf8(group.values[0]->text);
        } else if (group.word == "height" && value >= 0) {
            f.height = toInt(value);
        } else if (group.word == "rotation") {
            u16(f.rotation);
        } else if (group.word == "widthscale") {
            u16(f.widthScale);
        } else if (group.word == "spacing") {
            u16(f.spacing);
        } else if (group.word == "oblique") {
            u16(f.oblique);
        } else if (group.word == "flags" && value >= 0) {
            f.flags = toInt(value);
        } else if (group.word == "style") {
            f.style = 0;
            for (const BodyToken* token : group.values) {
                const std::string style = lower(token->text);
                if (style == "bold") f.style |= 1;
                if (style == "italic") f.style |= 2;
                if (style == "underlined") f.style |= 4;
            }
        }
    }
}

void W2dDecoder::lineStyle(const Tokens& tokens) {
    for (const Group& group : groupsOf(tokens)) {
        if (group.word == "linejoin") m_state.join = joinOf(firstWord(group));
        // The format has separate caps for the two ends; one cap serves both here.
        if (group.word == "linestartcap" || group.word == "lineendcap") {
            m_state.cap = capOf(firstWord(group));
        }
    }
}

bool W2dDecoder::asciiGouraud(const std::vector<double>& numbers, OpKind kind) {
    constexpr std::size_t kPerVertex = 6;  // x, y, r, g, b, a
    if (numbers.empty() || !(numbers[0] >= 1) ||
        !(numbers[0] <= static_cast<double>((numbers.size() - 1) / kPerVertex))) {
        return true;
    }
    DrawOp op = newOp(kind);
    const auto count = static_cast<std::size_t>(numbers[0]);
    for (std::size_t i = 0; i < count; ++i) {
        const double* v = &numbers[1 + kPerVertex * i];
        op.points.push_back({toLogical(v[0]), toLogical(v[1])});
        op.vertexColours.push_back(colourOf(v + 2));
    }
    return emit(std::move(op));
}

// (Circle x,y r [start,end]) and (Ellipse x,y major,minor [start,end [tilt]]): the start
// is kept to 16 bits and the end to 17, as the format's library does.
bool W2dDecoder::asciiArc(const std::vector<double>& numbers, bool ellipse) {
    const std::size_t radii = ellipse ? 2 : 1;
    if (numbers.size() < 2 + radii) return true;
    for (double n : numbers) {
        if (!(n >= 0)) return true;  // negative (or NaN) values are an error
    }
    DrawOp op = newOp(ellipse ? OpKind::ellipse : OpKind::arc);
    op.points = {{toLogical(numbers[0]), toLogical(numbers[1])}};
    op.radius = std::min(numbers[2], 4.0e12);
    op.minorRadius = ellipse ? std::min(numbers[3], 4.0e12) : op.radius;
    const std::size_t angles = 2 + radii;
    if (numbers.size() >= angles + 2) {
        const auto start = static_cast<std::uint32_t>(toLogical(numbers[angles])) & 0xffff;
        auto end = static_cast<std::uint32_t>(toLogical(numbers[angles + 1])) & 0x1ffff;
        if (end <= start) end += 65536;
        op.startTurns = start / kTurnUnits;
        op.endTurns = end / kTurnUnits;
    }
    if (ellipse && numbers.size() >= angles + 3) {
        op.tiltTurns =
            (static_cast<std::uint32_t>(toLogical(numbers[angles + 2])) & 0xffff) / kTurnUnits;
    }
    return emit(std::move(op));
}

// (Text x,y string [(Bounds p0 p1 p2 p3)] [other options]).
bool W2dDecoder::asciiText(ByteCursor& body) {
    LogicalPoint position;
    std::u16string text;
    if (!readAsciiPoint(body, position) || !readDrawnString(body, text)) return true;
    LogicalPoint box[4];
    bool hasBox = false;
    while (!body.atEnd()) {
        if (body.peek() != '(') {
            body.skip(1);
            continue;
        }
        const std::size_t open = body.offset();
        std::size_t close = 0;
        std::string error;
        if (!findClosingParenthesis(data().first(body.remaining() + open), open, close, error))
            break;
        body.skip(1);
        if (readName(body) == "Bounds") {
            hasBox = true;
            for (LogicalPoint& corner : box)
                hasBox = hasBox && readAsciiPoint(body, corner);
        }
        body.seek(close + 1);
    }
    return emitText(position, std::move(text), hasBox ? box : nullptr);
}

// (Image 'kind' id columns,rows min max [(ColorMap ...)] (size hex...)) and the older
// (Group4PNGImage ...) of the same shape.
bool W2dDecoder::asciiImage(ByteCursor& body, bool group4png, std::size_t at) {
    std::u16string kindName;
    std::int64_t id = 0, columns = 0, rows = 0;
    LogicalPoint min, max;
    if (!readString(body, kindName) || !readAsciiInteger(body, id) ||
        !readAsciiInteger(body, columns) || !readAsciiInteger(body, rows) ||
        !readAsciiPoint(body, min) || !readAsciiPoint(body, max)) {
        return true;
    }
    bool known = false;
    const RasterKind kind = rasterKindOf(normalised(kindName), known);
    if (!known || columns <= 0 || rows <= 0 || columns > 65535 || rows > 65535) return true;
    std::vector<Rgba> localMap;
    if (group4png && kind == RasterKind::group4x) {
        std::int64_t mapSize = 0;
        if (!readAsciiInteger(body, mapSize)) return true;
    }
    while (!body.atEnd() && isStreamSpace(body.peek()))
        body.skip(1);
    ByteCursor probe = body;
    probe.skip(1);
    if (readName(probe) == "ColorMap") {
        Tokens tokens;
        std::size_t close = 0;
        std::string error;
        if (!findClosingParenthesis(data().first(body.remaining() + body.offset()), body.offset(),
                                    close, error)) {
            return true;
        }
        ByteCursor map(data().first(close), probe.offset());
        const std::vector<double> numbers =
            tokenize(map, tokens) ? numbersOf(tokens) : std::vector<double>{};
        for (std::size_t i = 1; i + 3 < numbers.size(); i += 4)
            localMap.push_back(colourOf(&numbers[i]));
        body.seek(close + 1);
    }
    std::vector<std::uint8_t> pixels;
    if (!m_state.visible || !readHexData(body, pixels)) return true;
    (void)at;
    return keepImage(kind, static_cast<int>(columns), static_cast<int>(rows), pixels, localMap, min,
                     max);
}

bool W2dDecoder::expectClose(std::size_t at) {
    if (!skipSpace()) return false;
    if (m_in.peek() == ')') return m_in.skip(1);
    return fail("The extended opcode at byte " + std::to_string(at) +
                " does not end where its operands do; the sheet stops there");
}

// (Viewport) clears the clip; (Viewport name contour [options]) sets it. The contour is
// any contour opcode, a binary one (relative coordinates) too; before revision 42 it
// is a count and points.
bool W2dDecoder::viewport(std::size_t at, int depth) {
    if (!skipSpace()) return false;
    if (m_in.peek() == ')') {
        m_in.skip(1);
        m_state.clip = -1;
        return true;
    }
    // The name is optional in what writers emit: the shape may follow at once.
    std::u16string name;
    const std::uint8_t next = m_in.peek();
    if (next != '(' && next != 'k' && next != 0x0B && !readString(m_in, name)) return false;
    if (!skipSpace()) return false;
    DrawOp shape;
    const std::size_t contourAt = m_in.offset();
    const std::uint8_t first = m_in.peek();
    if (m_revision < 42) {
        std::vector<double> numbers{1};
        std::int64_t count = 0;
        if (!readAsciiInteger(m_in, count) || count < 0 ||
            static_cast<std::uint64_t>(count) > m_in.remaining() / 3) {
            return false;
        }
        numbers.push_back(static_cast<double>(count));
        for (std::int64_t i = 0; i < count; ++i) {
            LogicalPoint point;
            if (!readAsciiPoint(m_in, point)) return false;
            numbers.push_back(static_cast<double>(point.x));
            numbers.push_back(static_cast<double>(point.y));
        }
        std::vector<std::vector<LogicalPoint>> contours;
        if (!contoursOf(numbers, contours)) return false;
        for (const auto& contour : contours) {
            shape.contours.push_back(static_cast<std::uint32_t>(contour.size()));
            shape.points.insert(shape.points.end(), contour.begin(), contour.end());
        }
    } else if (first == 'k' || first == 0x0B) {
        m_in.skip(1);
        const bool ok = first == 'k' ? readContours<std::int32_t>(first, contourAt, shape, true)
                                     : readContours<std::int16_t>(first, contourAt, shape, true);
        if (!ok) return false;
    } else if (first == '(') {
        std::size_t close = 0;
        std::string error;
        if (!findClosingParenthesis(data(), contourAt, close, error)) return fail(error);
        ByteCursor body(data().first(close), contourAt + 1);
        Tokens tokens;
        std::vector<std::vector<LogicalPoint>> contours;
        m_in.seek(close + 1);
        if (readName(body) == "Contour" && tokenize(body, tokens) &&
            contoursOf(numbersOf(tokens), contours)) {
            for (const auto& contour : contours) {
                shape.contours.push_back(static_cast<std::uint32_t>(contour.size()));
                shape.points.insert(shape.points.end(), contour.begin(), contour.end());
            }
        }
    }
    // Options such as (Units ...) follow; they do not change the clip.
    for (;;) {
        if (!skipSpace()) return false;
        if (m_in.peek() == ')') break;
        if (m_in.peek() != '(') return expectClose(at);
        std::size_t close = 0;
        std::string error;
        if (!findClosingParenthesis(data(), m_in.offset(), close, error)) return fail(error);
        m_in.seek(close + 1);
    }
    m_in.skip(1);
    (void)depth;
    if (shape.contours.empty()) {
        m_state.clip = -1;
        return true;
    }
    Clip clip;
    std::size_t first_ = 0;
    for (std::uint32_t size : shape.contours) {
        clip.contours.emplace_back(
            shape.points.begin() + static_cast<std::ptrdiff_t>(first_),
            shape.points.begin() + static_cast<std::ptrdiff_t>(first_ + size));
        first_ += size;
    }
    m_cost += costOf(shape);
    m_state.clip = static_cast<int>(m_out.clips.size());
    m_out.clips.push_back(std::move(clip));
    return true;
}

// (Macro index scale-units (children)) stores the children as macro `index`, read with
// fill off; their relative operands still move the current point.
bool W2dDecoder::macroDefinition(std::size_t at, int depth) {
    std::int64_t index = 0, scaleUnits = 0;
    if (!readAsciiInteger(m_in, index) || !readAsciiInteger(m_in, scaleUnits) || !skipSpace())
        return false;
    if (m_in.peek() != '(') return expectClose(at);
    m_in.skip(1);
    Macro macro;
    macro.scaleUnits = scaleUnits;
    OpList* outer = m_sink;
    const bool fill = m_state.fill;
    m_sink = &macro.ops;
    m_state.fill = false;
    const bool ok = readChildren(depth + 1);
    m_sink = outer;
    m_state.fill = fill;
    if (!ok) return false;
    m_macros[index] = std::move(macro);
    return expectClose(at);
}

// (Overpost mode render-entities add-extents (children)): a group of labels, drawn.
bool W2dDecoder::overpost(std::size_t at, int depth) {
    std::u16string word;
    for (int i = 0; i < 3; ++i) {
        if (!readString(m_in, word)) return false;
    }
    if (!skipSpace()) return false;
    if (m_in.peek() != '(') return expectClose(at);
    m_in.skip(1);
    return readChildren(depth + 1) && expectClose(at);
}

bool W2dDecoder::contourFromAscii(const std::vector<double>& numbers) {
    std::vector<std::vector<LogicalPoint>> contours;
    if (!contoursOf(numbers, contours) || !m_state.visible) return true;
    std::size_t points = 0;
    for (const auto& contour : contours)
        points += contour.size();
    if (!affordable(sizeof(DrawOp) + points * sizeof(LogicalPoint))) return false;
    DrawOp op = newOp(OpKind::contourSet);
    for (const auto& contour : contours) {
        op.contours.push_back(static_cast<std::uint32_t>(contour.size()));
        op.points.insert(op.points.end(), contour.begin(), contour.end());
    }
    return emit(std::move(op));
}

}  // namespace plotwick::internal
