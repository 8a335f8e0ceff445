// Every opcode of the 2D stream's opcode table, its bytes laid out by hand from the
// table (not from our writer): each must be read (drawn or passed over by its known
// length) so that the primitive after it still arrives. Then the worked examples of the
// format notes: the complex text with its box and a compressed block.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "../peak_growth.h"
#include "dwf/dwf_document.h"
#include "dwf/w2d_dictionary.h"
#include "dwf/w2d_reader.h"
#include "sample_streams.h"

namespace plotwick {
namespace {

using Bytes = std::vector<std::uint8_t>;
using K = OpKind;
using test::B;
using test::extended;

// An image block: columns, rows, the two corners, an identifier, a local map when the
// kind has one, then counted data.
Bytes image(std::uint16_t number, int mapSize, const Bytes& data) {
    B body;
    body.u16(2).u16(1).p32(100, 100).p32(50, 50).i32(7);
    if (mapSize > 0) {
        body.u8(static_cast<std::uint8_t>(mapSize));
        for (int i = 0; i < mapSize; ++i)
            body.rgba();
    }
    body.i32(static_cast<std::int32_t>(data.size())).add(data);
    return extended(number, body);
}

struct Row {
    const char* opcode;
    Bytes bytes;
    std::vector<OpKind> drawn;
    const char* header = "(W2D V06.00)";
};

const Bytes kPng = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
const Bytes kJpeg = {0xff, 0xd8, 0xff, 0xe0, 0, 0x10, 'J', 'F', 'I', 'F'};

std::vector<Row> singleByteRows() {
    return {
        {"0x03 colour", B().u8(0x03).rgba(), {}},
        {"0x06 font, every field",
         B().u8(0x06)
             .u16(0x07ff)
             .s("'Arial'")
             .u8(0)
             .u8(2)
             .u8(0x20)
             .u8(3)
             .i32(200)
             .u16(16384)
             .u16(1024)
             .u16(1024)
             .u16(0)
             .i32(0x2000),
         {}},
        {"0x07 Gouraud triangle",
         B().u8(0x07).u8(3).p16(0, 0).rgba().p16(10, 0).rgba().p16(0, 10).rgba(),
         {K::gouraudTriangles}},
        {"0x0B contour set",
         B().u8(0x0B).u8(1).u8(3).p16(0, 0).p16(10, 0).p16(0, 10),
         {K::contourSet}},
        {"0x0C line", B().u8(0x0C).p16(1, 1).p16(5, 5), {K::line}},
        {"0x0E node + 1", B().u8(0x0E), {}},
        {"0x10 polyline", B().u8(0x10).u8(2).p16(1, 1).p16(5, 5), {K::polyline}},
        {"0x11 Gouraud polyline",
         B().u8(0x11).u8(2).p16(1, 1).rgba().p16(5, 5).rgba(),
         {K::gouraudPolyline}},
        {"0x12 circle", B().u8(0x12).p16(50, 50).u16(10), {K::circle}},
        {"0x14 polytriangle", B().u8(0x14).u8(3).p16(0, 0).p16(9, 0).p16(0, 9), {K::polytriangle}},
        {"0x17 line weight", B().u8(0x17).i32(12), {}},
        {"0x18 complex text",
         B().u8(0x18)
             .p32(10, 10)
             .utf16(u"A)(B")
             .u8(1)
             .u8(1)
             .p32(0, -2)
             .p32(40, 0)
             .p32(0, 12)
             .p32(-40, 0)
             .u8(1),
         {K::text}},
        {"0x18 complex text with scoring lists",
         B().u8(0x18)
             .p32(10, 10)
             .s("'AB'")
             .u8(2)
             .u8(1)
             .u8(3)
             .u8(1)
             .u8(2)
             .p32(0, 0)
             .p32(4, 0)
             .p32(0, 2)
             .p32(-4, 0)
             .u8(1),
         {K::text}},
        {"C colour index", B().s("C 5 "), {}},
        {"E ellipse", B().s("E 10,10 5,3 "), {K::ellipse}},
        {"F fill on, f off", B().s("Ff"), {}},
        {"G macro index", B().s("G 1 "), {}},
        {"M markers (no macro defined)", B().s("M 2 1,1 2,2 "), {K::circle, K::circle}},
        {"N node", B().u8('N').i32(5), {}},
        {"O origin", B().u8('O').p32(100, 100), {}},
        {"P polyline", B().s("P 2 1,1 5,5 "), {K::polyline}},
        {"R circle", B().s("R 5,5 3 "), {K::circle}},
        {"S macro size", B().s("S 10 "), {}},
        {"T polytriangle", B().s("T 3 0,0 5,0 0,5 "), {K::polytriangle}},
        {"V visibility on", B().s("V"), {}},
        {"b Bezier (the described layout)",
         B().u8('b').u8(1).p32(0, 0).p32(5, 10).p32(10, 0).p32(5, -10),
         {K::polyline}},
        {"c colour index", B().u8('c').u8(7), {}},
        {"e ellipse", B().u8('e').p32(5, 5).u32(9).u32(4).u16(0).u16(16384).u16(100), {K::ellipse}},
        {"g Gouraud triangle",
         B().u8('g').u8(3).p32(0, 0).rgba().p32(10, 0).rgba().p32(0, 10).rgba(),
         {K::gouraudTriangles}},
        {"k contour set",
         B().u8('k').u8(2).u8(3).u8(3).p32(0, 0).p32(9, 0).p32(0, 9).p32(1, 1).p32(2, 0).p32(0, 2),
         {K::contourSet}},
        {"l line", B().u8('l').p32(1, 1).p32(5, 5), {K::line}},
        {"m markers", B().u8('m').u8(1).p32(3, 3), {K::circle}},
        {"n node delta", B().u8('n').i16(-2), {}},
        {"p polyline", B().u8('p').u8(2).p32(1, 1).p32(5, 5), {K::polyline}},
        {"q Gouraud polyline",
         B().u8('q').u8(2).p32(1, 1).rgba().p32(5, 5).rgba(),
         {K::gouraudPolyline}},
        {"r circle", B().u8('r').p32(5, 5).u32(3), {K::circle}},
        {"s macro size", B().u8('s').i32(40), {}},
        {"t polytriangle", B().u8('t').u8(3).p32(0, 0).p32(9, 0).p32(0, 9), {K::polytriangle}},
        {"v visibility off hides what follows",
         B().u8('v').u8('l').p32(1, 1).p32(2, 2).u8('V'),
         {}},
        {"x basic text", B().u8('x').p32(3, 3).s("'Hi there'"), {K::text}},
        {"0x87 marker glyph", B().u8(0x87).u16(3), {}},
        {"0x8C multi-line",
         B().u8(0x8C).u8(2).p16(0, 0).p16(5, 5).p16(1, 0).p16(0, 1),
         {K::line, K::line}},
        {"0x8D markers", B().u8(0x8D).u8(2).p16(3, 3).p16(1, 1), {K::circle, K::circle}},
        {"0x92 arc", B().u8(0x92).p32(5, 5).u32(3).u16(0).u16(16384), {K::arc}},
        {"0xAC layer", B().u8(0xAC).u8(4), {}},
        {"0xCC line pattern", B().u8(0xCC).u8(3), {}},
        {"0x18 old layout (revision 31)",
         B().u8(0x18).i16(0).i32(20).p32(4, 4).u8(2).u16('O').u16('K'),
         {K::text},
         "(DWF V00.31)"},
        {"x old layout (revision 31)",
         B().u8('x')
             .i16(1024)
             .i16(1024)
             .i32(0)
             .i16(0)
             .u8(1)
             .u8(1)
             .i16(0)
             .i32(20)
             .p32(4, 4)
             .i32(0)
             .i32(20)
             .i32(0)
             .i32(0)
             .i32(0)
             .i32(0)
             .i32(0)
             .i32(40)
             .u8(1)
             .u16('A'),
         {K::text},
         "(DWF V00.31)"},
        {"0x06 old layout (revision 30)",
         B().u8(0x06).u8(2).s("Ar").u8(1).i32(0).i32(0),
         {},
         "(DWF V00.30)"},
    };
}

// A binary string whose characters include ')' sits in every metadata opcode that
// AutoCAD writes it into.
std::vector<Row> asciiRows() {
    const Bytes paren = B().utf16(u"x)y");
    return {
        {"(Alignment", B().s("(Alignment Center   )"), {}},
        {"(AttributeURL", B().s("(AttributeURL <1> (0 'a' 'b'))"), {}},
        {"(Author", B().s("(Author ").add(paren).s(")"), {}},
        {"(Background", B().s("(Background 0)"), {}},
        {"(BlockMeaning", B().s("(BlockMeaning Seal     )"), {}},
        {"(BlockRef", B().s("(BlockRef 1 2 (3 4))"), {}},
        {"(CodePage", B().s("(CodePage 1252)"), {}},
        {"(Color rgba", B().s("(Color 1,2,3,255)"), {}},
        {"(Color index", B().s("(Color 7)"), {}},
        {"(ColorMap", B().s("(ColorMap 2 1,2,3,255 4,5,6,255)"), {}},
        {"(Comments", B().s("(Comments 'a (b')"), {}},
        {"(Contour", B().s("(Contour 1 3 0,0 9,0 0,9)"), {K::contourSet}},
        {"(ContrastColor", B().s("(ContrastColor 1,2,3,4)"), {}},
        {"(Copyright", B().s("(Copyright 'c')"), {}},
        {"(Created", B().s("(Created 12345 'then' '{GUID}')"), {}},
        {"(Modified", B().s("(Modified 12345 'then' 'g')"), {}},
        {"(SourceCreated", B().s("(SourceCreated 1 'a' 'b')"), {}},
        {"(SourceModified", B().s("(SourceModified 1 'a' 'b')"), {}},
        {"(Creator", B().s("(Creator ").add(paren).s(")"), {}},
        {"(DashPattern", B().s("(DashPattern 1 4,2,1,2)"), {}},
        {"(Delineate", B().s("(Delineate)"), {}},
        {"(Description", B().s("(Description 'd')"), {}},
        {"(Keywords", B().s("(Keywords k)"), {}},
        {"(Subject", B().s("(Subject 's')"), {}},
        {"(Title", B().s("(Title ").add(paren).s(")"), {}},
        {"(SourceFilename", B().s("(SourceFilename ").add(paren).s(")"), {}},
        {"(Directory", B().s("(Directory 1 (2))"), {}},
        {"(DrawingInfo", B().s("(DrawingInfo (Author 'a') (Title 't'))"), {}},
        {"(Ellipse", B().s("(Ellipse 10,10 5,3 0,16384 100)"), {K::ellipse}},
        {"(Circle", B().s("(Circle 10,10 5 0,32768)"), {K::arc}},
        {"(Embed", B().s("(Embed 'image/vnd.dwg;' ").add(paren).s(" 'f.dwg' 'u')"), {}},
        {"(Embedded_Font", B().s("(Embedded_Font 1 2 0 2 ab 2 cd (2 0A0B))"), {}},
        {"(Encryption", B().s("(Encryption None     )"), {}},
        {"(FillPattern", B().s("(FillPattern 'Slant Left' (FillPatternScale 2.0))"), {}},
        {"(Font", B().s("(Font (Name 'Arial') (Height 20) (Rotation 16384) (Style bold))"), {}},
        {"(FontExtension", B().s("(FontExtension ").add(paren).s(" 'Arial')"), {}},
        {"(Gouraud",
         B().s("(Gouraud 3 0,0 255,0,0,255 9,0 0,255,0,255 0,9 0,0,255,255)"),
         {K::gouraudTriangles}},
        {"(GourLine", B().s("(GourLine 2 0,0 255,0,0,255 9,0 0,255,0,255)"), {K::gouraudPolyline}},
        {"(Group4PNGImage",
         B().s("(Group4PNGImage PNG 3 2,1 0,0 40,20 (8 89504E470D0A1A0A))"),
         {K::image}},
        {"(GroupBegin", B().s("(GroupBegin 'a/b')"), {}},
        {"(GroupEnd", B().s("(GroupEnd)"), {}},
        {"(Guid", B().s("(Guid 1 2 3 0102030405060708)"), {}},
        {"(GuidList", B().s("(GuidList 1 (Guid 1 2 3 0102030405060708))"), {}},
        {"(Image RGB", B().s("(Image RGB 4 2,1 0,0 40,20 (6 FF0000 00FF00))"), {K::image}},
        {"(Image JPEG", B().s("(Image 'JPEG' 4 2,1 0,0 40,20 (4 FFD8FFE0))"), {K::image}},
        {"(InkedArea", B().s("(InkedArea 0,0 1,0 1,1 0,1)"), {}},
        {"(Layer", B().s("(Layer 1 YELLOW)"), {}},
        {"(LinePattern", B().s("(LinePattern Dash_Dot)"), {}},
        {"(LinesOverwrite", B().s("(LinesOverwrite merge)"), {}},
        {"(LineStyle",
         B().s("(LineStyle (LineJoin round) (LineStartCap square) (MiterAngle 10) (Other 1))"),
         {}},
        {"(LineWeight", B().s("(LineWeight 5)"), {}},
        {"(NamedView", B().s("(NamedView 0,0 100,100 'Plan')"), {}},
        {"(Node", B().s("(Node 3 'n')"), {}},
        {"(Orientation", B().s("(Orientation Always   )"), {}},
        {"(Overpost with binary text inside",
         B().s("(Overpost All True False (").u8('x').p32(1, 1).add(paren).s("))"),
         {K::text}},
        {"(PenPattern", B().s("(PenPattern 1 50 0)"), {}},
        {"(PenPat_Options", B().s("(PenPat_Options 0 0 0 0)"), {}},
        {"(PlotInfo",
         B().s("(PlotInfo show 0 in 11 8.5 0.2 0.2 10.8 8.3 ((1 0 0)(0 1 0)(0 0 1)))"),
         {}},
        {"(PlotOptimized", B().s("(PlotOptimized 1)"), {}},
        {"(Projection", B().s("(Projection normal)"), {}},
        {"(Psswd", B().s("(Psswd '0123456789abcdef0123456789abcdef')"), {}},
        {"(SignData", B().s("(SignData 0 2 ab)"), {}},
        {"(Text with bounds",
         B().s("(Text 10,10 'Label' (CharPos (1 2)) (Bounds 10,8 50,8 50,20 10,20))"),
         {K::text}},
        {"(TextBackground", B().s("(TextBackground Solid 2)"), {}},
        {"(TextHAlign", B().s("(TextHAlign Center)"), {}},
        {"(TextVAlign", B().s("(TextVAlign Capline)"), {}},
        {"(Time", B().s("(Time 1 2)"), {}},
        {"(TrustedFontList", B().s("(TrustedFontList Arial Courier)"), {}},
        {"(Units", B().s("(Units 'mm' ((1 0 0 0)(0 1 0 0)(0 0 1 0)(0 0 0 1)))"), {}},
        {"(URL", B().s("(URL (0 '?doctype=eplot' ''))(URL 0)(URL)"), {}},
        {"(UserData", B().s("(UserData 'd' 2 (2 0A0B))"), {}},
        {"(UserFillPattern", B().s("(UserFillPattern 3 8,8 (8 FF00FF00FF00FF00))"), {}},
        {"(UserHatchPattern", B().s("(UserHatchPattern 2 10,10 1 (0 0 45 5))"), {}},
        {"(View", B().s("(View 0,0 1000,1000)"), {}},
        {"(View by name", B().s("(NamedView 0,0 9,9 'A')(View 'A')"), {}},
        {"(Viewport with a binary contour holding parenthesis bytes",
         B().s("(Viewport 'v' ")
             .u8('k')
             .u8(1)
             .u8(3)
             .p32(0x28, 0x29)
             .p32(0x29, 0)
             .p32(0, 0x28)
             .s(" (Units 'm' ((1 0 0 0)(0 1 0 0)(0 0 1 0)(0 0 0 1))))(Viewport)"),
         {}},
        {"(Viewport old form (revision 41)",
         B().s("(Viewport 'v' 3 0,0 9,0 0,9)(Viewport)"),
         {},
         "(DWF V00.41)"},
        {"(Glyph (Bezier (Texture", B().s("(Glyph 1 0,0 5 (l))(Bezier 1 2)(Texture 'a')"), {}},
        {"unknown name holding counted binary bytes",
         B().s("(Whatever {").i32(3).s(")((").s(" 'it''s' \\) x)"),
         {}},
    };
}

std::vector<Row> macroRows() {
    // The children are binary opcodes whose bytes include parentheses.
    const Bytes macro = B().s("(Macro 2 100 (").u8('l').p32(0x28, 0x29).p32(0x29, 0x28).s("))");
    return {
        {"(Macro, then G selects and m draws it (6.01)",
         B().add(macro).s("G 2 S 200 ").u8('m').u8(2).p32(1000, 1000).p32(500, 0),
         {K::line, K::line},
         "(W2D V06.01)"},
        {"before 6.01 the same bytes are markers",
         B().s("G 2 s").add(B().i32(20)).u8('m').u8(1).p32(10, 10),
         {K::circle}},
    };
}

std::vector<Row> binaryRows() {
    return {
        {"0x0001 colour map", extended(0x0001, B().u8(2).rgba().rgba()), {}},
        {"0x0002 bitonal image", image(0x0002, 2, {0x80}), {K::image}},
        {"0x0003 group 3X image (not decoded)", image(0x0003, 2, {1, 2, 3}), {}},
        {"0x0004 indexed image", image(0x0004, 0, {1, 2}), {K::image}},
        {"0x0005 mapped image", image(0x0005, 3, {0, 2}), {K::image}},
        {"0x0006 RGB image", image(0x0006, 0, {1, 2, 3, 4, 5, 6}), {K::image}},
        {"0x0007 RGBA image", image(0x0007, 0, {1, 2, 3, 4, 5, 6, 7, 8}), {K::image}},
        {"0x0008 JPEG image", image(0x0008, 0, kJpeg), {K::image}},
        {"0x0009 group 4 image, damaged code: not drawn", image(0x0009, 0, {1, 2}), {}},
        {"0x000C PNG image", image(0x000C, 0, kPng), {K::image}},
        {"0x000C PNG image with the described extra int32",
         extended(0x000C, B().u16(2)
                              .u16(1)
                              .p32(0, 0)
                              .p32(9, 9)
                              .i32(1)
                              .i32(0)
                              .i32(static_cast<std::int32_t>(kPng.size()))
                              .add(kPng)),
         {K::image}},
        {"0x000D group 4X image, damaged code: not drawn", image(0x000D, 2, {1}), {}},
        {"0x0020 a library constant", extended(0x0020, {1, 2}), {}},
        {"0x013E embedded font",
         extended(0x013E, B().u32(1).u8(0).u8(0).i32(1).s("a").i32(1).s("b").i32(2).u8(0).u8(0)),
         {}},
        {"0x0142 block meaning", extended(0x0142, B().u16(1)), {}},
        {"0x0143 encryption", extended(0x0143, B().u16(0)), {}},
        {"0x0145 orientation", extended(0x0145, B().u16(0)), {}},
        {"0x0147 alignment", extended(0x0147, B().u16(0)), {}},
        {"0x014A GUID", extended(0x014A, B().u32(1).u16(2).u16(3).s("12345678")), {}},
        {"0x014B password", extended(0x014B, B().s("0123456789abcdef0123456789abcdef")), {}},
        {"0x014D file time", extended(0x014D, B().u32(1).u32(2)), {}},
        {"0x014F block reference", extended(0x014F, Bytes(40, 0x7d)), {}},
        {"0x015E block reference", extended(0x015E, Bytes(12, 0x29)), {}},
        {"0x0160 directory", extended(0x0160, B().i32(0).u32(0)), {}},
        {"0x0162 user data", extended(0x0162, B().s("d ").i32(1).u8(9)), {}},
        {"0x0164 pen pattern", extended(0x0164, B().i32(1).u32(50).s("0")), {}},
        {"0x0166 sign data", extended(0x0166, B().s("0").i32(1).u8(1)), {}},
        {"0x0168 GUID list", extended(0x0168, B().i32(0)), {}},
        {"0x0171 binary macro (not readable: passed over)", extended(0x0171, {1, 2, 3}), {}},
        {"0x0173 text H-align", extended(0x0173, {1}), {}},
        {"0x0175 text V-align", extended(0x0175, {3}), {}},
        {"0x0177 text background", extended(0x0177, B().u8(2).i32(3)), {}},
        {"0x0179 binary overpost (passed over)", extended(0x0179, {'(', '('}), {}},
        {"0x017C delineate", extended(0x017C, {}), {}},
        {"0x017E user fill pattern",
         extended(0x017E, B().i16(1).u16(8).u16(1).u32(0x10000).u32(1).u8(0xAA)),
         {}},
        {"0x0180 user hatch pattern", extended(0x0180, B().i16(1)), {}},
        {"0x0182 contrast colour", extended(0x0182, B().rgba()), {}},
        {"0x7777 unknown number", extended(0x7777, {'{', ')', '}'}), {}},
    };
}

std::vector<OpKind> kindsOf(const W2dGraphics& graphics) {
    std::vector<OpKind> kinds;
    for (const DrawOp& op : graphics.ops)
        kinds.push_back(op.kind);
    return kinds;
}

void checkRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.opcode);
        // The current point is reset by O so that the marker line lands where expected.
        Bytes bytes = B().s(row.header).add(row.bytes).s(" L 7,7 9,9(EndOfDWF)");
        const W2dGraphics graphics = readW2d(bytes);
        EXPECT_TRUE(graphics.complete) << graphics.message;
        EXPECT_EQ(graphics.message, "");
        std::vector<OpKind> expected = row.drawn;
        expected.push_back(K::line);
        EXPECT_EQ(kindsOf(graphics), expected);
        if (graphics.ops.empty()) continue;
        EXPECT_EQ(graphics.ops.back().points, (std::vector<LogicalPoint>{{7, 7}, {9, 9}}));
    }
}

TEST(W2dOpcodeTable, EverySingleByteOpcodeIsReadAndTheNextPrimitiveArrives) {
    checkRows(singleByteRows());
}

TEST(W2dOpcodeTable, EveryExtendedAsciiOpcodeIsReadAndTheNextPrimitiveArrives) {
    checkRows(asciiRows());
    checkRows(macroRows());
}

TEST(W2dOpcodeTable, EveryExtendedBinaryOpcodeIsReadAndTheNextPrimitiveArrives) {
    checkRows(binaryRows());
}

// Bezier 0x02 and 'B' and textured triangles 'w' have no layout anywhere: the sheet
// stops there with a message, keeping what came before.
TEST(W2dOpcodeTable, OpcodesWithoutALayoutStopTheSheet) {
    for (std::uint8_t op : {std::uint8_t{0x02}, std::uint8_t{'B'}, std::uint8_t{'w'}}) {
        const W2dGraphics graphics =
            readW2d(Bytes(B().s("(W2D V06.00)L 1,1 2,2 ").u8(op).s("L 7,7 9,9(EndOfDWF)")));
        EXPECT_NE(graphics.message.find("no known layout"), std::string::npos) << int(op);
        EXPECT_EQ(graphics.ops.size(), 1u) << int(op);
    }
}

TEST(W2dOpcodeTable, OperandsReachTheDisplayList) {
    const Bytes bytes =
        B().s("(W2D V06.01)(LineStyle (LineJoin round) (LineStartCap square))(LinePattern "
              "Dash_Dot)(FillPattern 'Slant Left')")
            .u8(0x06)
            .u16(0x0020 | 0x0040 | 0x0080 | 0x0200)
            .i32(120)
            .u16(16384)
            .u16(512)
            .u16(2048)
            .u8('x')
            .p32(0, 0)
            .s("'T' ")
            .s("(Macro 4 10 (L 0,0 10,0))G 4 S 20 M 1 100,100 ")
            .add(image(0x0006, 0, {1, 2, 3, 4, 5, 6}))
            .s("(DashPattern 7 3,1)L 0,0 1,1(EndOfDWF)");
    const W2dGraphics graphics = readW2d(bytes);
    ASSERT_EQ(graphics.ops.size(), 4u) << graphics.message;
    const DrawOp& placed = graphics.ops[1];
    EXPECT_EQ(placed.cap, LineCap::square);
    EXPECT_EQ(placed.join, LineJoin::round);
    EXPECT_EQ(placed.linePattern, 4);
    EXPECT_EQ(placed.points, (std::vector<LogicalPoint>{{100, 100}, {120, 100}}))
        << "macro of scale units 10 drawn at size 20";
    const DrawOp& text = graphics.ops[0];
    ASSERT_EQ(text.kind, K::text);
    EXPECT_EQ(text.textHeight, 120);
    const TextStyle& style = graphics.texts.at(static_cast<std::size_t>(text.detail));
    EXPECT_DOUBLE_EQ(style.rotationTurns, 0.25);
    EXPECT_DOUBLE_EQ(style.widthScale, 0.5);
    EXPECT_DOUBLE_EQ(style.obliqueTurns, 2048 / 65536.0);
    EXPECT_EQ(text.fillPattern, FillPattern::slantLeft);
    const DrawOp& picture = graphics.ops[2];
    ASSERT_EQ(picture.kind, K::image);
    const RasterImage& raster = graphics.images.at(static_cast<std::size_t>(picture.detail));
    EXPECT_EQ(raster.bytes, (Bytes{1, 2, 3, 255, 4, 5, 6, 255}));
    EXPECT_EQ(picture.points[1].x - picture.points[0].x, 50) << "max corner relative to min";
    const DrawOp& dashed = graphics.ops[3];
    ASSERT_GE(dashed.dashes, 0);
    EXPECT_EQ(graphics.dashes.at(static_cast<std::size_t>(dashed.dashes)), (DashLengths{3, 1}));
}

// The example of the format notes: position (-7286, 534), then bounds deltas (0,-29),
// (7008,0), (0,203), (-7008,0): a box 7008 wide and 203 high, not rotated; each corner
// moves the current point, so a line after it starts at the upper-left corner.
TEST(W2dWorkedExamples, ComplexTextWithItsBounds) {
    const Bytes bytes = B().s("(W2D V06.00)")
                            .u8('O')
                            .p32(10000, 1000)
                            .u8(0x18)
                            .p32(-7286, 534)
                            .utf16(u"TITLE SHEET")
                            .u8(1)
                            .u8(1)
                            .p32(0, -29)
                            .p32(7008, 0)
                            .p32(0, 203)
                            .p32(-7008, 0)
                            .u8(1)
                            .u8('l')
                            .p32(0, 0)
                            .p32(10, 0)
                            .s("(EndOfDWF)");
    const W2dGraphics graphics = readW2d(bytes);
    ASSERT_TRUE(graphics.complete) << graphics.message;
    ASSERT_EQ(graphics.ops.size(), 2u);
    const DrawOp& text = graphics.ops[0];
    EXPECT_EQ(text.text, u"TITLE SHEET");
    EXPECT_EQ(text.points[0], (LogicalPoint{2714, 1534}));
    const TextStyle& style = graphics.texts.at(static_cast<std::size_t>(text.detail));
    ASSERT_TRUE(style.hasBounds);
    const std::array<LogicalPoint, 4> box = {
        LogicalPoint{2714, 1505}, {9722, 1505}, {9722, 1708}, {2714, 1708}};
    EXPECT_EQ(style.bounds, box);
    EXPECT_EQ(graphics.ops[1].points[0], (LogicalPoint{2714, 1708}));
}

// 8-bit strings are text in the code page the stream names (1252 until it names one);
// hex and counted strings are UTF-16 whatever it says. Read as a bare stream file is.
TEST(W2dWorkedExamples, EightBitTextIsInTheStreamsCodePage) {
    const struct {
        const char* name;
        Bytes stream;
        std::u16string text;
    } cases[] = {
        {"western by default", B().s("(Text 5,5 '\x80 \x93x\x94')"), u"\u20AC \u201Cx\u201D"},
        {"Cyrillic", B().s("(CodePage 1251)(Text 5,5 '\xC4\xE0')"), u"\u0414\u0430"},
        {"Japanese, binary text opcode", B().s("(CodePage 932)x").p32(5, 5).s("'\x90\x7D\x96\xCA'"),
         u"\u56F3\u9762"},
        {"Japanese cut inside a character", B().s("(CodePage 932)(Text 5,5 'a\x90')"), u"a\uFFFD"},
        {"hex strings are UTF-16", B().s("(CodePage 1251)(Text 5,5 \"00C4\")"), u"\u00C4"},
        {"unknown code page", B().s("(CodePage 77)(Text 5,5 '\xC4')"), u"\u00C4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes bytes = B().s("(W2D V06.00)").add(c.stream).s("(EndOfDWF)");
        const DwfDocument document = readDwf(bytes);
        ASSERT_EQ(document.sheets.size(), 1u) << document.message;
        const W2dGraphics& graphics = document.sheets[0].graphics;
        ASSERT_TRUE(graphics.complete) << graphics.message;
        ASSERT_EQ(graphics.ops.size(), 1u);
        EXPECT_EQ(graphics.ops[0].text, c.text);
    }
}

TEST(W2dWorkedExamples, TheDictionaryIsTheFormatsOwn) {
    const auto dictionary = internal::w2dZlibDictionary();
    EXPECT_EQ(dictionary.size(), 11476u);
    EXPECT_EQ(
        adler32(adler32(0, nullptr, 0), dictionary.data(), static_cast<uInt>(dictionary.size())),
        0x5CBC15B9u);
    const std::string start = "(DashPattern (LineStyle (Copyright (Keywords (Viewport (CodePage {";
    EXPECT_EQ(std::memcmp(dictionary.data(), start.data(), start.size()), 0);
}

// zlib data with the preset dictionary, as an old writer made it (level 7, window 15,
// memLevel 9).
Bytes deflated(const std::string& opcodes) {
    z_stream z{};
    deflateInit2(&z, 7, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY);
    const auto dictionary = internal::w2dZlibDictionary();
    deflateSetDictionary(&z, dictionary.data(), static_cast<uInt>(dictionary.size()));
    Bytes out(deflateBound(&z, static_cast<uLong>(opcodes.size())) + 64);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(opcodes.data()));
    z.avail_in = static_cast<uInt>(opcodes.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

Bytes compressedStream(const Bytes& zlib) {
    return B().s("(DWF V00.42)").s("{").i32(0).u16(0x0011).add(zlib).s("}\r\n(EndOfDWF)\r\n");
}

// As in the checked AutoCAD 2000i file: the whole body is one region, then '}' CR LF
// (EndOfDWF). The inflated opcodes are read as if they had never been compressed; the
// text and the binary line straddle zlib's output blocks somewhere in 200 kB.
TEST(W2dWorkedExamples, CompressedBlockDrawsAsTheOpcodesItHolds) {
    std::string opcodes = "(Layer 1 YELLOW)";
    for (int i = 0; i < 10000; ++i)
        opcodes += "L " + std::to_string(i) + ",0 " + std::to_string(i) + ",9 ";
    opcodes += "(Text 5,5 'compressed')";
    const Bytes zlib = deflated(opcodes);
    ASSERT_GE(zlib.size(), 6u);
    EXPECT_EQ(zlib[1] & 0x20, 0x20) << "FDICT set in the zlib header";
    EXPECT_EQ((Bytes{zlib[2], zlib[3], zlib[4], zlib[5]}), (Bytes{0x5C, 0xBC, 0x15, 0xB9}));

    const DwfDocument document = readDwf(compressedStream(zlib));
    ASSERT_EQ(document.sheets.size(), 1u) << document.message;
    const W2dGraphics& graphics = document.sheets[0].graphics;
    EXPECT_TRUE(graphics.complete) << graphics.message;
    ASSERT_EQ(graphics.ops.size(), 10001u);
    EXPECT_EQ(graphics.ops[9999].points[1], (LogicalPoint{9999, 9}));
    EXPECT_EQ(graphics.ops.back().text, u"compressed");
    EXPECT_EQ(graphics.layerNames.at(1), "YELLOW");
}

TEST(W2dWorkedExamples, DamagedOrOversizedCompressedBlocksStopWithTheirOffset) {
    Bytes corrupt = deflated("L 1,1 2,2 L 3,3 4,4 ");
    corrupt[8] ^= 0x55;
    const W2dGraphics damaged = readW2d(compressedStream(corrupt));
    EXPECT_NE(damaged.message.find("compressed block at byte 12"), std::string::npos)
        << damaged.message;
    EXPECT_NE(damaged.message.find("damaged"), std::string::npos) << damaged.message;

    const Bytes bomb = deflated(std::string(std::size_t{4} << 20, ' '));
    W2dLimits limits = limitsFor(bomb.size());
    limits.inflatedBytes = std::size_t{1} << 20;
    const W2dGraphics stopped = readW2d(compressedStream(bomb), limits);
    EXPECT_NE(stopped.message.find("inflates past 1 MB"), std::string::npos) << stopped.message;

    Bytes unclosed = compressedStream(deflated("L 1,1 2,2 "));
    unclosed[unclosed.size() - 15] = ' ';  // the brace after the zlib data
    const W2dGraphics open = readW2d(unclosed);
    EXPECT_NE(open.message.find("not closed by '}'"), std::string::npos) << open.message;
}

TEST(W2dBudgets, OversizedAsciiOperandsStopTheSheetWithAMessage) {
    std::string contour = "(W2D V06.00)L 1,1 2,2 (Contour 1 300000";
    for (int i = 0; i < 300000; ++i)
        contour += " 1,2";
    const Bytes bytes = B().s(contour + ")(EndOfDWF)");
    const W2dGraphics graphics = readW2d(bytes);
    EXPECT_NE(graphics.message.find("(Contour at byte 22 has"), std::string::npos)
        << graphics.message;
    EXPECT_EQ(graphics.ops.size(), 1u);
}

// Markers multiply a macro's texts: each placed copy of a boxed text keeps a style of
// its own (its box moved), which the display list's budget must pay for; a text without
// a box keeps sharing its macro's style. A few hundred bytes here place 20,000 texts.
TEST(W2dBudgets, TextsPlacedByMarkersArePaidFor) {
    for (const bool boxed : {false, true}) {
        const std::string box = boxed ? " (Bounds 0,0 10,0 10,5 0,5)" : "";
        B stream;
        stream.s("(W2D V06.01)(Macro 3 10 ((Text 0,0 'tag'" + box + ")))G 3 S 20 ")
            .u8('m')
            .u8(0)
            .u16(20000 - 256);
        for (int i = 0; i < 20000; ++i)
            stream.p32(1, 0);  // each place one unit right of the last
        const W2dGraphics graphics = readW2d(stream.s("(EndOfDWF)").bytes);
        ASSERT_EQ(graphics.ops.size(), 20000u) << graphics.message;
        EXPECT_EQ(graphics.texts.size(), boxed ? 20001u : 1u);
        const std::size_t kept =
            graphics.ops.size() * sizeof(DrawOp) + graphics.texts.size() * sizeof(TextStyle);
        EXPECT_GE(graphics.memoryBytes, kept) << "boxed " << boxed;
        if (boxed) {
            const TextStyle& last = graphics.texts.back();
            EXPECT_EQ(last.bounds[1].x - last.bounds[0].x, 20) << "a box of 10 units at size 20";
        }
    }
}

// Instancing costs no more than linear in the stream: a macro of 200 lines placed at
// 1,000 16-bit markers (4 KB of places) would make 200,000 copies, more than the
// stream's few KB may place, and stops the sheet there; at 300 places it is drawn whole.
TEST(W2dBudgets, MarkersPlaceCopiesLinearInTheStream) {
    for (const int places : {300, 1000}) {
        std::string macro = "(Macro 5 10 (";
        for (int i = 0; i < 200; ++i)
            macro += "L 0,0 1,1 ";
        B stream;
        stream.s("(W2D V06.01)L 0,0 9,9 " + macro + "))G 5 ").u8(0x8D).u8(0).u16(places - 256);
        for (int i = 0; i < places; ++i)
            stream.p16(3, 0);
        const W2dGraphics graphics = readW2d(stream.s("L 0,0 2,2 (EndOfDWF)").bytes);
        SCOPED_TRACE(places);
        if (places == 300) {
            EXPECT_TRUE(graphics.complete) << graphics.message;
            EXPECT_EQ(graphics.ops.size(), 2u + 300 * 200);
        } else {
            EXPECT_NE(graphics.message.find("Markers place more than"), std::string::npos)
                << graphics.message;
            EXPECT_EQ(graphics.ops.size(), 1u) << "what came before the markers is kept";
        }
    }
}

// A small file cannot ask for a display list out of proportion to its size: many
// sheets of highly compressible streams share one budget. (Each entry is read once,
// so each sheet names a stream of its own.)
TEST(W2dBudgets, ManySheetsOfCompressibleStreamsShareTheDocumentsBudget) {
    std::string stream = "(W2D V06.00)";
    for (int i = 0; i < 100000; ++i) {
        std::string line = "l" + std::string(16, '\0');
        line[1] = static_cast<char>(i % 251);  // keeps the entry within deflate's ratio
        stream += line;
    }
    stream += "(EndOfDWF)";
    std::string sections;
    std::vector<std::pair<std::string, std::string>> entries;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "s" + std::to_string(i) + ".w2d";
        sections += "<dwf:Section type=\"com.autodesk.dwf.ePlot\" name=\"s" + std::to_string(i) +
                    "\" title=\"S\"><dwf:Toc><dwf:Resource role=\"2d streaming graphics\" "
                    "href=\"" +
                    name + "\"/></dwf:Toc></dwf:Section>";
        entries.emplace_back(name, stream);
    }
    const std::string manifest =
        "<dwf:Manifest xmlns:dwf=\"DWF-Manifest:6.0\" version=\"6.0\" objectId=\"x\">"
        "<dwf:Sections>" +
        sections + "</dwf:Sections></dwf:Manifest>";
    entries.insert(entries.begin(), {"manifest.xml", manifest});
    const Bytes file = test::packageWithEntries(entries);
    ASSERT_LT(file.size(), 1000000u);
    const DwfDocument document = readDwf(file);
    ASSERT_EQ(document.sheets.size(), 40u) << document.message;
    std::size_t total = 0;
    for (const Sheet& sheet : document.sheets)
        total += sheet.graphics.memoryBytes;
    EXPECT_LE(total, limitsFor(file.size()).displayListBytes + (std::size_t{1} << 20));
    EXPECT_NE(document.sheets.back().graphics.message.find("for its display list"),
              std::string::npos)
        << document.sheets.back().graphics.message;
    EXPECT_TRUE(document.sheets.front().graphics.complete) << "the first sheet fits";
}

// Streams of a few KB that declare far more work than they carry. Each is read as
// Plotwick reads a file; it must end quickly, in little memory (the 32 MB the polylines
// inflate to, and the sanitizers' share, are within it), drawn whole or stopped by the
// display list's budget, and keep no image that no operation draws.
namespace hostile {

// A Group 4 image of 65535 x 256 pixels whose 32 bytes of code stand for all of them.
Bytes group4Image() {
    return extended(
        0x0009, B().u16(65535).u16(256).p32(0, 0).p32(9, 9).i32(1).i32(32).add(Bytes(32, 0xFF)));
}

Bytes invisibleGroup4Images() {
    B stream;
    stream.s("(W2D V06.00)v");
    for (int i = 0; i < 200; ++i)
        stream.add(group4Image());
    return stream.s("(EndOfDWF)");
}

// One bitonal image of 65535 x 2048 zero bytes (16 MB) in a compressed block: 512 MB as
// RGBA.
Bytes bitonalImageInACompressedBlock() {
    constexpr int kRows = 2048;
    const Bytes pixels(std::size_t{kRows} * 8192, 0);
    const Bytes image = extended(0x0002, B().u16(65535)
                                             .u16(kRows)
                                             .p32(0, 0)
                                             .p32(9, 9)
                                             .i32(1)
                                             .u8(2)
                                             .rgba()
                                             .rgba()
                                             .i32(static_cast<std::int32_t>(pixels.size()))
                                             .add(pixels));
    return compressedStream(deflated(std::string(image.begin(), image.end())));
}

// 32 MB of invisible 16-bit polylines of 65791 points each, compressed.
Bytes invisiblePolylines() {
    const Bytes polyline = B().u8(0x10).u8(0).u16(65535).add(Bytes(65791 * 4, 0));
    std::string opcodes = "v";
    while (opcodes.size() < (std::size_t{32} << 20))
        opcodes.append(polyline.begin(), polyline.end());
    return compressedStream(deflated(opcodes));
}

// A viewport of `points` points, one contour.
B& viewport(B& stream, char name, int points) {
    stream.s(std::string("(Viewport '") + name + "' ")
        .u8(0x0B)
        .u8(1)
        .u8(0)
        .u16(static_cast<std::uint16_t>(points - 256));
    for (int i = 0; i < points; ++i)
        stream.p16(1, i % 2 ? 400 : -400);
    return stream.s(")");
}

// A macro under a clip of 4,000 points, placed 200 times: drawn whole, since the clip
// is set once. When the macro switches to a second clip and back, each copy makes the
// painter set a large clip again, which the budget pays for.
Bytes markersUnderClips(bool switching) {
    B stream;
    stream.s("(W2D V06.01)(Macro 1 0 (");
    viewport(stream, 'a', 4000).u8(0x0C).p16(1, 1).p16(5, 5);
    if (switching) viewport(stream, 'b', 4000).u8(0x0C).p16(1, 1).p16(5, 5);
    stream.s("))G 1 ").u8(0x8D).u8(200);
    for (int i = 0; i < 200; ++i)
        stream.p16(3, 0);
    return stream.s("(EndOfDWF)");
}

struct Case {
    const char* name;
    Bytes (*stream)();
    const char* message;  // empty: read whole
};

const Case kCases[] = {
    {"InvisibleGroup4Images", invisibleGroup4Images, ""},
    {"BitonalImageInACompressedBlock", bitonalImageInACompressedBlock, "for its display list"},
    {"InvisiblePolylines", invisiblePolylines, ""},
    {"MarkersUnderOneClip", [] { return markersUnderClips(false); }, ""},
    {"MarkersSwitchingClips", [] { return markersUnderClips(true); }, "for its display list"},
};

class W2dHostileStreams : public ::testing::TestWithParam<Case> {};

TEST_P(W2dHostileStreams, EndQuicklyInLittleMemory) {
    const Case& c = GetParam();
    const Bytes bytes = c.stream();
    const test_support::PeakGrowth memory;
    const auto start = std::chrono::steady_clock::now();
    const DwfDocument document = readDwf(bytes);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

    ASSERT_EQ(document.sheets.size(), 1u) << document.message;
    const W2dGraphics& graphics = document.sheets[0].graphics;
    if (*c.message == '\0') {
        EXPECT_TRUE(graphics.complete) << graphics.message;
    } else {
        EXPECT_NE(graphics.message.find(c.message), std::string::npos) << graphics.message;
    }
    const auto drawn = std::count_if(graphics.ops.begin(), graphics.ops.end(),
                                     [](const DrawOp& op) { return op.kind == OpKind::image; });
    EXPECT_EQ(graphics.images.size(), static_cast<std::size_t>(drawn));
    EXPECT_LT(took.count(), 5.0);
    EXPECT_LT(memory.bytes(), std::uint64_t{160} << 20) << (memory.bytes() >> 20) << " MB";
}

INSTANTIATE_TEST_SUITE_P(Streams, W2dHostileStreams, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace hostile

}  // namespace
}  // namespace plotwick
