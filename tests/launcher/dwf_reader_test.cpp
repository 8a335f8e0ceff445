// The reading half: what the sample with every opcode decodes into, packages written
// by hand, and broken input, which must give one clear message, keep what was read
// before the fault and never read outside the data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dwf/dwf_document.h"
#include "dwf/w2d_reader.h"
#include "dwf/w2d_writer.h"
#include "sample_streams.h"

namespace plotwick {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

Bytes stream(const std::string& body) {
    return bytesOf("(W2D V06.00)" + body + "(EndOfDWF)");
}

std::vector<OpKind> kindsOf(const W2dGraphics& graphics) {
    std::vector<OpKind> kinds;
    for (const DrawOp& op : graphics.ops)
        kinds.push_back(op.kind);
    return kinds;
}

TEST(W2dReader, DecodesEveryOpcodeOfTheSampleInOrder) {
    const W2dGraphics graphics = readW2d(test::everyOpcodeStream());
    ASSERT_TRUE(graphics.complete) << graphics.message;
    EXPECT_EQ(graphics.message, "");
    using K = OpKind;
    // The invisible square is missing between the contour and the small square.
    const std::vector<OpKind> expected = {K::line,
                                          K::line,
                                          K::line,
                                          K::polyline,
                                          K::polyline,
                                          K::polygon,
                                          K::polytriangle,
                                          K::polytriangle,
                                          K::polytriangle,
                                          K::circle,
                                          K::circle,
                                          K::circle,
                                          K::arc,
                                          K::ellipse,
                                          K::text,
                                          K::gouraudTriangles,
                                          K::gouraudTriangles,
                                          K::gouraudPolyline,
                                          K::gouraudPolyline,
                                          K::contourSet,
                                          K::contourSet,
                                          K::contourSet,
                                          K::polytriangle,
                                          K::polytriangle,
                                          K::polygon};
    EXPECT_EQ(kindsOf(graphics), expected);
    ASSERT_TRUE(graphics.view.has_value());
    EXPECT_EQ(graphics.view->max, (LogicalPoint{1000, 1000}));
    EXPECT_TRUE(graphics.units.has_value());
}

TEST(W2dReader, RelativeOpcodesMoveTheCurrentPointAndKeepTheDrawingState) {
    const W2dGraphics graphics = readW2d(test::everyOpcodeStream());
    ASSERT_EQ(graphics.ops.size(), 25u);
    const DrawOp& line16 = graphics.ops[2];
    EXPECT_EQ(line16.points, (std::vector<LogicalPoint>{{420, 100}, {580, 100}}));
    EXPECT_EQ(line16.colour, (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(line16.lineWeight, 40);
    EXPECT_EQ(line16.layer, 3);
    EXPECT_EQ(graphics.layerNames.at(3), "Walls");
    // The default map of streams from revision 38 on.
    EXPECT_EQ(graphics.ops[3].colour, (Rgba{255, 0, 0, 255})) << "palette index 249";
    EXPECT_EQ(graphics.ops[4].colour, (Rgba{0, 0, 255, 255})) << "palette index 252";
    const DrawOp& arc = graphics.ops[12];
    EXPECT_EQ(arc.points[0], test::cellCentre(2, 2));
    EXPECT_DOUBLE_EQ(arc.endTurns - arc.startTurns, 0.25);
    const DrawOp& text = graphics.ops[14];
    EXPECT_EQ(text.text, u"Hi");
    EXPECT_EQ(text.textHeight, 60);
    const DrawOp& round = graphics.ops.back();
    ASSERT_EQ(round.points.size(), 300u) << "long count form";
    EXPECT_EQ(round.points[0], (LogicalPoint{960, 900})) << "relative to the origin set by O";
    EXPECT_EQ(round.layer, 7);
    EXPECT_EQ(graphics.ops[22].clip, -1);
    EXPECT_EQ(graphics.ops[23].clip, 0);
    EXPECT_EQ(round.clip, -1) << "a bare (Viewport) clears the clip";
    ASSERT_EQ(graphics.clips.size(), 1u);
    EXPECT_EQ(graphics.clips[0].contours[0].size(), 4u);
}

// Each row: a stream body, the words its message must hold, and how many operations
// must survive (those before the fault).
struct BadStream {
    const char* name;
    Bytes bytes;
    std::vector<std::string> words;
    std::size_t opsKept;
};

Bytes withBinary(const std::string& before, std::initializer_list<std::uint8_t> binary,
                 const std::string& after = "") {
    Bytes bytes = bytesOf("(W2D V06.00)" + before);
    bytes.insert(bytes.end(), binary);
    const Bytes tail = bytesOf(after);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

std::vector<BadStream> badStreams() {
    const std::string line = "L 1,1 5,5";
    return {
        {"not a stream", bytesOf("hello world, not a drawing"), {"Not a 2D graphics stream"}, 0},
        {"point count past the end",
         withBinary(line, {'p', 200, 1, 0, 0, 0}),
         {"0x70", "200", "past the end"},
         1},
        {"long count past the end",
         withBinary(line, {'t', 0, 0xff, 0xff}),
         {"65791", "past the end"},
         1},
        {"contour total past the end", withBinary(line, {'k', 1, 50, 0}), {"past the end"}, 1},
        {"ASCII count past the end", stream(line + " P 99999999 1,1"), {"0x50", "past the end"}, 1},
        {"extended length past the end",
         withBinary(line, {'{', 0x40, 0, 0, 0, 0x23, 0x01}),
         {"0x0123", "length of 64", "past the end"},
         1},
        {"negative extended length",
         withBinary(line, {'{', 0xff, 0xff, 0xff, 0xff, 0x23, 0x01}),
         {"past the end"},
         1},
        {"extended length 0",
         withBinary(line, {'{', 0, 0, 0, 0, 0x44, 0x00}, "L 1,1 2,2"),
         {"0x0044", "at byte 21", "cannot be skipped"},
         1},
        {"damaged compressed block",
         withBinary(line, {'{', 0, 0, 0, 0, 0x11, 0x00, 1, 2, 3, 4, 5, '}'}),
         {"compressed block at byte 21", "damaged", "zlib"},
         1},
        {"old compression",
         withBinary(line, {'{', 0, 0, 0, 0, 0x10, 0x00, '}'}),
         {"old LZ scheme", "0x0010", "not supported"},
         1},
        {"unknown opcode",
         withBinary(line, {0xEE}, "L 1,1 2,2"),
         {"0xEE", "at byte 21", "cannot be skipped"},
         1},
        {"complex text", withBinary(line, {0x18, 1, 2, 3}), {"0x18", "at byte 21"}, 1},
        {"string count past the end",
         withBinary(line + "(Creator {", {0xff, 0, 0, 0, 'a', 0}),
         {"string at byte 30", "past the end"},
         1},
        {"unclosed parenthesis",
         stream(line + "(Layer 1 'x'"),
         {"ends inside the extended opcode at byte 21"},
         1},
        {"nesting too deep",
         stream(line + std::string(100, '(') + std::string(100, ')')),
         {"deeper than 64", "at byte 85"},
         1},
        {"no end", bytesOf("(W2D V06.00)" + line + "\n"), {"ends at byte 22 before (EndOfDWF)"}, 1},
    };
}

TEST(W2dReader, BadStreamsGiveOneClearMessageAndKeepWhatCameBefore) {
    for (const BadStream& row : badStreams()) {
        SCOPED_TRACE(row.name);
        const W2dGraphics graphics = readW2d(row.bytes);
        EXPECT_FALSE(graphics.complete);
        for (const std::string& word : row.words) {
            EXPECT_NE(graphics.message.find(word), std::string::npos)
                << "\"" << graphics.message << "\" lacks \"" << word << "\"";
        }
        EXPECT_EQ(graphics.ops.size(), row.opsKept);
    }
}

// Found by the fuzzer: numbers beyond any integer range in ASCII operands.
TEST(W2dReader, OutOfRangeAsciiNumbersAreClamped) {
    const W2dGraphics graphics = readW2d(stream(
        "(LineWeight 1e300)(Layer -1e400 'x')(Color -1e400,1e400,-5,300)(View 1e99,0 -1e99,5)"
        "(Contour 1e300 1 2,3)(Contour 1 1e300 0,0)(Viewport (Contour 1 -1e300 0,0))"
        "L 1,1 5,5"));
    ASSERT_TRUE(graphics.complete) << graphics.message;
    ASSERT_EQ(graphics.ops.size(), 1u) << "the broken contours are not drawn";
    const DrawOp& line = graphics.ops[0];
    EXPECT_GT(line.lineWeight, std::int64_t{1} << 31);
    EXPECT_EQ(line.layer, INT32_MIN);
    EXPECT_EQ(line.colour, (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(line.clip, -1);
    ASSERT_TRUE(graphics.view.has_value());
    EXPECT_LT(graphics.view->max.x, 0);
}

TEST(W2dReader, NestingWithinTheBoundIsSkipped) {
    const std::string deep = std::string(kMaxNesting, '(') + std::string(kMaxNesting, ')');
    const W2dGraphics graphics = readW2d(stream(deep + "L 1,1 5,5"));
    EXPECT_TRUE(graphics.complete) << graphics.message;
    EXPECT_EQ(graphics.ops.size(), 1u);
}

// Cut at every length, the sample must stop cleanly with the operations before the
// cut: the same ones, in the same order, as in the whole stream.
TEST(W2dReader, TruncatedAtEveryLengthKeepsThePrefixOfTheOperations) {
    const Bytes whole = test::everyOpcodeStream();
    const W2dGraphics full = readW2d(whole);
    std::size_t previous = 0;
    for (std::size_t length = 0; length < whole.size(); ++length) {
        // A copy of exactly `length` bytes lets the sanitizers see any read past it.
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        const W2dGraphics part = readW2d(cut);
        ASSERT_FALSE(part.complete) << length;
        ASSERT_FALSE(part.message.empty()) << length;
        ASSERT_LE(part.ops.size(), full.ops.size()) << length;
        ASSERT_GE(part.ops.size(), previous) << length;
        for (std::size_t i = 0; i < part.ops.size(); ++i) {
            ASSERT_EQ(part.ops[i].points, full.ops[i].points) << length << " op " << i;
        }
        previous = part.ops.size();
    }
    EXPECT_EQ(previous, full.ops.size()) << "only (EndOfDWF) was missing at the end";
}

TEST(W2dReader, SingleStreamDwfReadsAsOneSheet) {
    const DwfDocument document = readDwf(test::everyOpcodeStream("(DWF V00.55)"));
    ASSERT_EQ(document.sheets.size(), 1u) << document.message;
    EXPECT_TRUE(document.sheets[0].graphics.complete);
    EXPECT_EQ(document.sheets[0].graphics.ops.size(), 25u);
}

// A stream's (PlotInfo ...) gives it paper when no descriptor does: the rotation field
// is a number from revision 41 on, a word up to 31 (and at 40), absent in between. The
// line drawn from (1,1) to (5,5) lies on the paper in every placement used; a view of
// 1000 units at an inch a unit does not.
TEST(W2dReader, PlotInfoGivesAStreamItsPaper) {
    struct Row {
        const char* stream;
        bool placed = false;
        bool millimetres = false;
        double width = 0, height = 0, scale = 0, left = 0, bottom = 0;
    };
    const Row rows[] = {
        {"(W2D V06.00)(PlotInfo show 90 in 11 8.5 0.5 0.25 10.5 8.25 "
         "((0.001 0 0)(0 0.001 0)(0 0 1)))",
         true, false, 11, 8.5, 0.001, 0.5, 0.25},
        {"(DWF V00.35)(PlotInfo show mm 297 210 10 5 287 205 ((0.1 0 0)(0 0.1 0)(0 0 1)))", true,
         true, 297, 210, 0.1, 10, 5},
        {"(DWF V00.30)(PlotInfo show flipped in 8.5 11 0 0 8.5 11 ((0 0.002 0)(0.002 0 0)(0 0 1)))",
         true, false, 8.5, 11, 0, 0, 0},
        {"(W2D V06.00)(PlotInfo hide 0 in 11 8.5 0 0 11 8.5 ((0.001 0 0)(0 0.001 0)(0 0 1)))",
         false},
        {"(W2D V06.00)(PlotInfo show 0 in 0 8.5 0 0 11 8.5 ((0.001 0 0)(0 0.001 0)(0 0 1)))",
         false},
        {"(W2D V06.00)(PlotInfo show 0 in 11 8.5)", false},
        // A placement that puts the drawing far off its paper is not the drawing's.
        {"(W2D V06.00)(View 0,0 1000,1000)(PlotInfo show 0 in 10 10 0 0 10 10 "
         "((1 0 0)(0 1 0)(0 0 1)))",
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stream);
        const std::string text = std::string(row.stream) + "L 1,1 5,5 (EndOfDWF)";
        const DwfDocument document = readDwf(std::vector<std::uint8_t>(text.begin(), text.end()));
        ASSERT_EQ(document.sheets.size(), 1u);
        const Sheet& sheet = document.sheets[0];
        EXPECT_TRUE(sheet.graphics.message.empty()) << sheet.graphics.message;
        ASSERT_EQ(sheet.paper.has_value(), row.placed);
        if (!row.placed) continue;
        EXPECT_EQ(sheet.paper->millimetres, row.millimetres);
        EXPECT_EQ(sheet.paper->width, row.width);
        EXPECT_EQ(sheet.paper->height, row.height);
        EXPECT_EQ(sheet.transform[0], row.scale);
        EXPECT_EQ(sheet.transform[5], row.scale);
        EXPECT_EQ(sheet.transform[12], row.left);
        EXPECT_EQ(sheet.transform[13], row.bottom);
    }
}

PackageSheet sampleSheet(const std::string& title, double offsetInches) {
    return {title,
            Paper{false, 11, 8.5},
            {0.008, 0, 0, 0, 0, 0.008, 0, 0, 0, 0, 1, 0, offsetInches, 0.25, 0, 1},
            test::everyOpcodeStream()};
}

TEST(DwfPackage, WrittenPackageReadsBackWithPaperTransformAndEverySheet) {
    const std::string path = test::scratchPath("two sheets.dwf");
    const std::vector<PackageSheet> sheets = {sampleSheet("Plan", 1.5),
                                              sampleSheet("Elevation", 2)};
    std::string error;
    ASSERT_TRUE(writeDwfPackage(path, sheets, error)) << error;
    const Bytes bytes = test::readFile(path);
    ASSERT_GT(bytes.size(), 14u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 14), "(DWF V06.00)PK");

    const DwfDocument document = readDwfFile(path);
    ASSERT_EQ(document.sheets.size(), 2u) << document.message;
    EXPECT_EQ(document.sheets[1].title, "Elevation");
    ASSERT_TRUE(document.sheets[0].paper.has_value());
    EXPECT_DOUBLE_EQ(document.sheets[0].paper->width, 11);
    EXPECT_DOUBLE_EQ(document.sheets[1].transform[12], 2);
    EXPECT_DOUBLE_EQ(document.sheets[1].transform[0], 0.008);
    EXPECT_EQ(document.sheets[1].graphics.ops.size(), 25u) << document.sheets[1].graphics.message;
}

struct BadFile {
    const char* name;
    Bytes bytes;
    std::string message;  // of the document, or of its first sheet
};

std::vector<BadFile> badFiles() {
    const std::string w2d(reinterpret_cast<const char*>(stream("L 1,1 5,5").data()),
                          stream("L 1,1 5,5").size());
    return {
        {"empty", {}, "The file is empty"},
        {"not a DWF", bytesOf("PK\3\4 some zip"), "Not a DWF file"},
        {"broken ZIP", bytesOf("(DWF V06.00)PK\3\4 and nothing else"),
         "ZIP archive cannot be read"},
        {"no manifest", test::packageWithEntries({{"sheet.w2d", w2d}}), "holds no manifest.xml"},
        {"manifest not XML", test::packageWithEntries({{"manifest.xml", "<dwf:Manifest"}}),
         "manifest.xml cannot be read"},
        {"missing stream",
         test::packageWithEntries(
             {{"manifest.xml", test::manifestFor("com.autodesk.dwf.ePlot", "s\\gone.w2d")}}),
         "The manifest names the stream s\\gone.w2d, which the package does not hold"},
        {"3D only",
         test::packageWithEntries(
             {{"manifest.xml", test::manifestFor("com.autodesk.dwf.eModel", "s\\model.w3d")}}),
         "3D models hold nothing to draw"},
    };
}

TEST(DwfPackage, BadFilesGiveOneClearMessage) {
    for (const BadFile& row : badFiles()) {
        SCOPED_TRACE(row.name);
        const DwfDocument document = readDwf(row.bytes);
        const std::string& message =
            document.sheets.empty() ? document.message : document.sheets[0].graphics.message;
        EXPECT_NE(message.find(row.message), std::string::npos) << message;
    }
}

TEST(DwfPackage, PrefixedAttributesAndSlashesInNamesAreTolerated) {
    const std::string w2d(reinterpret_cast<const char*>(stream("L 1,1 5,5").data()),
                          stream("L 1,1 5,5").size());
    // Typical of 6.01 files: an empty first entry, prefixed attributes, and an entry
    // name whose separator differs from the manifest's.
    const DwfDocument document = readDwf(test::packageWithEntries(
        {{"s.TYPEINFO", ""},
         {"manifest.xml", test::manifestFor("com.autodesk.dwf.ePlot", "S\\Sheet.w2d")},
         {"s/sheet.w2d", w2d}}));
    ASSERT_EQ(document.sheets.size(), 1u) << document.message;
    EXPECT_EQ(document.sheets[0].graphics.ops.size(), 1u) << document.sheets[0].graphics.message;
    EXPECT_FALSE(document.sheets[0].paper.has_value());
}

TEST(DwfPackage, MissingFileNamesItsPath) {
    const DwfDocument document = readDwfFile("/nonexistent/My Part.dwf");
    EXPECT_NE(document.message.find("Cannot open /nonexistent/My Part.dwf"), std::string::npos);
}

}  // namespace
}  // namespace plotwick
