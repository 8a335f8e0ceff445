#include "sample_streams.h"

#include <minizip/zip.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string_view>

namespace plotwick::test {
namespace {

using Points = std::vector<LogicalPoint>;

LogicalPoint offset(LogicalPoint point, int dx, int dy) {
    return {point.x + dx, point.y + dy};
}

std::string pointText(LogicalPoint point) {
    return std::to_string(point.x) + "," + std::to_string(point.y);
}

// A square strip around a cell's centre: four points, two triangles.
Points squareStrip(LogicalPoint centre, int half) {
    return {offset(centre, -half, -half), offset(centre, half, -half), offset(centre, -half, half),
            offset(centre, half, half)};
}

void relativePoints(W2dWriter& w, std::uint8_t opcode, const Points& points, bool sixteenBit) {
    w.byte(opcode);
    w.count(static_cast<std::uint32_t>(points.size()));
    for (const LogicalPoint& point : points)
        sixteenBit ? w.relative16(point) : w.relative32(point);
}

void gouraud(W2dWriter& w, std::uint8_t opcode, const Points& points,
             const std::vector<Rgba>& colours, bool sixteenBit) {
    w.byte(opcode);
    w.count(static_cast<std::uint32_t>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) {
        sixteenBit ? w.relative16(points[i]) : w.relative32(points[i]);
        for (std::uint8_t channel : {colours[i].r, colours[i].g, colours[i].b, colours[i].a}) {
            w.byte(channel);
        }
    }
}

void preamble(W2dWriter& w) {
    // A counted UTF-16 string whose characters include ')': a skipper that took the
    // count for bytes, or looked for parentheses inside it, would go wrong here.
    w.ascii("(Creator {");
    w.int32(3);
    for (char16_t c : std::u16string_view(u"a)b"))
        w.uint16(c);
    w.ascii("})\n(Units 'm' ((1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1)))");
    w.ascii("(PlotInfo show 0 in 10 10 0 0 10 10 ((1 0 0 0 1 0 0 0 1)))\n");
    w.view({{0, 0}, {1000, 1000}});
    // An extended binary opcode the reader does not know, skipped by its length.
    w.byte('{');
    w.int32(2 + 3 + 1);
    w.uint16(0x0123);
    w.ascii("abc}");
    w.ascii("(Layer 3 'Walls')");
}

void linesRow(W2dWriter& w) {
    w.ascii("(Color 255,0,0,255)(LineWeight 40)L 20,100 180,100 ");
    w.colour({0, 255, 0, 255});
    w.byte(0x17);
    w.int32(40);
    w.line(offset(cellCentre(1, 0), -80, 0), offset(cellCentre(1, 0), 80, 0));
    w.colour({0, 0, 255, 255});
    w.byte(0x0C);
    w.relative16(offset(cellCentre(2, 0), -80, 0));
    w.relative16(offset(cellCentre(2, 0), 80, 0));
    w.ascii("c");
    w.byte(249);                                   // red from the palette
    w.ascii("P 3 620,40 620,160 760,160 C 252 ");  // then blue from the palette
    relativePoints(w, 0x10, {offset(cellCentre(4, 0), -80, 0), offset(cellCentre(4, 0), 80, 0)},
                   true);
}

Points pentagram(LogicalPoint centre, double radius) {
    Points points;
    for (int k = 0; k < 5; ++k) {
        const double angle = std::numbers::pi / 2 + k * 4 * std::numbers::pi / 5;
        points.push_back({centre.x + std::lround(radius * std::cos(angle)),
                          centre.y + std::lround(radius * std::sin(angle))});
    }
    return points;
}

void fillsRow(W2dWriter& w) {
    w.colour({255, 0, 255, 255});
    w.fill(true);
    w.polyline(pentagram(cellCentre(0, 1), 90));
    w.fill(false);
    w.ascii("(Color 0,255,255,255)T 4");
    for (const LogicalPoint& point : squareStrip(cellCentre(1, 1), 70))
        w.ascii(" " + pointText(point));
    w.colour({255, 255, 0, 255});
    w.triangles(squareStrip(cellCentre(2, 1), 70));
    w.ascii("c");
    w.byte(250);  // green from the palette
    relativePoints(w, 0x14, squareStrip(cellCentre(3, 1), 70), true);
    w.ascii("(Color 255,0,0,255)F R " + pointText(cellCentre(4, 1)) + " 80 f");
}

void circle(W2dWriter& w, std::uint8_t opcode, LogicalPoint centre, std::uint32_t radius) {
    w.byte(opcode);
    if (opcode == 0x12) {
        w.relative16(centre);
        w.uint16(static_cast<std::uint16_t>(radius));
    } else {
        w.relative32(centre);
        w.uint32(radius);
    }
}

void curvesRow(W2dWriter& w) {
    w.colour({0, 0, 255, 255});
    w.byte(0x17);
    w.int32(20);
    circle(w, 'r', cellCentre(0, 2), 80);
    w.colour({0, 255, 0, 255});
    w.fill(true);
    circle(w, 0x12, cellCentre(1, 2), 80);
    w.fill(false);
    w.colour({255, 0, 0, 255});
    circle(w, 0x92, cellCentre(2, 2), 80);
    w.uint16(0);
    w.uint16(16384);  // a quarter turn, counter-clockwise from east
    w.colour({0, 0, 255, 255});
    w.fill(true);
    circle(w, 'e', cellCentre(3, 2), 90);
    for (std::uint32_t value : {30u})
        w.uint32(value);  // minor axis
    for (std::uint16_t value : {0, 0, 0})
        w.uint16(value);  // whole, untilted
    w.fill(false);
    w.colour({0, 0, 0, 255});
    w.byte(0x06);
    w.uint16(0x0021);  // name and height
    w.ascii("'Sans'");
    w.int32(60);
    w.byte('x');
    w.relative32(offset(cellCentre(4, 2), -80, -30));
    w.ascii("'Hi'");
}

void gouraudRow(W2dWriter& w) {
    const LogicalPoint a = cellCentre(0, 3);
    gouraud(w, 'g', {offset(a, -80, -80), offset(a, 80, -80), offset(a, 0, 80)},
            {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}}, false);
    const Rgba orange{255, 128, 0, 255};
    gouraud(w, 0x07, squareStrip(cellCentre(1, 3), 70), {orange, orange, orange, orange}, true);
    w.byte(0x17);
    w.int32(40);
    const LogicalPoint c = cellCentre(2, 3);
    gouraud(w, 'q', {offset(c, -80, 0), offset(c, 80, 0)}, {{255, 0, 0, 255}, {0, 0, 255, 255}},
            false);
    const LogicalPoint d = cellCentre(3, 3);
    gouraud(w, 0x11, {offset(d, -80, 0), offset(d, 80, 0)}, {{0, 128, 0, 255}, {0, 128, 0, 255}},
            true);
    // A square with a square hole.
    const LogicalPoint e = cellCentre(4, 3);
    w.colour({255, 0, 0, 255});
    w.byte('k');
    w.count(2);
    w.count(4);
    w.count(4);
    for (int half : {80, 40}) {
        for (const LogicalPoint& point : {offset(e, -half, -half), offset(e, half, -half),
                                          offset(e, half, half), offset(e, -half, half)}) {
            w.relative32(point);
        }
    }
}

void lastRow(W2dWriter& w) {
    const LogicalPoint a = cellCentre(0, 4);
    w.colour({0, 0, 255, 255});
    w.byte(0x0B);
    w.count(1);
    w.count(3);
    for (const LogicalPoint& point : {offset(a, -80, -80), offset(a, 80, -80), offset(a, 0, 80)}) {
        w.relative16(point);
    }
    w.ascii("(Color 0,128,0,255)(Contour 1 4 220,820 380,820 380,980 220,980)");
    // Drawn while invisible: must not appear.
    w.colour({0, 0, 0, 255});
    w.ascii("v");
    w.triangles(squareStrip(cellCentre(2, 4), 95));
    w.ascii("V");
    w.colour({0, 255, 0, 255});
    w.triangles(squareStrip(cellCentre(2, 4), 30));
    // A strip over two cells, clipped to the middle of the first.
    w.ascii("(Viewport 'clip' (Contour 1 4 640,840 760,840 760,960 640,960))");
    w.colour({255, 0, 0, 255});
    w.triangles(Points{{600, 800}, {1000, 800}, {600, 1000}, {1000, 1000}});
    w.ascii("(Viewport)");
    // A polygon of 300 points: the count takes its long form.
    w.byte(0xAC);
    w.count(7);
    w.moveTo({0, 0});
    Points round;
    for (int i = 0; i < 300; ++i) {
        const double angle = 2 * std::numbers::pi * i / 300;
        round.push_back(
            {900 + std::lround(60 * std::cos(angle)), 900 + std::lround(60 * std::sin(angle))});
    }
    w.colour({128, 0, 128, 255});
    w.fill(true);
    w.polyline(round);
    w.fill(false);
}

}  // namespace

std::vector<std::uint8_t> everyOpcodeStream(const char* header) {
    W2dWriter w(header);
    preamble(w);
    linesRow(w);
    fillsRow(w);
    curvesRow(w);
    gouraudRow(w);
    lastRow(w);
    w.end();
    return w.bytes();
}

std::vector<std::uint8_t> packageWithEntries(
    const std::vector<std::pair<std::string, std::string>>& entries) {
    const std::string path = scratchPath("entries.dwf");
    { std::ofstream(path, std::ios::binary) << "(DWF V06.00)"; }
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATEAFTER);
    for (const auto& [name, content] : entries) {
        zip_fileinfo info{};
        zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                            Z_DEFAULT_COMPRESSION);
        zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
    return readFile(path);
}

std::string manifestFor(const std::string& sectionType, const std::string& streamHref) {
    return "<dwf:Manifest xmlns:dwf=\"DWF-Manifest:6.0\" version=\"6.0\" objectId=\"x\">"
           "<dwf:Sections><dwf:Section type=\"" +
           sectionType +
           "\" name=\"s\" title=\"Sheet 1\">"
           "<dwf:Toc><dwf:Resource dwf:role=\"2d streaming graphics\" dwf:href=\"" +
           streamHref + "\"/></dwf:Toc></dwf:Section></dwf:Sections></dwf:Manifest>";
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string scratchPath(const std::string& name) {
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/plotwick-test-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        return pattern;
    }();
    return folder + "/" + name;
}

}  // namespace plotwick::test
