// The drawing half: the sample with every opcode, drawn into an image, checked pixel by
// pixel at places where each cell's shape must (or must not) have painted; and a
// package fitted to its paper through the descriptor's transform.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <fstream>

#include "dwf/dwf_document.h"
#include "dwf/sheet_painter.h"
#include "dwf/w2d_reader.h"
#include "dwf/w2d_writer.h"
#include "sample_streams.h"

namespace plotwick {
namespace {

const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255);

QImage draw(const Sheet& sheet, QSize size, const char* savedAs) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(237, 237, 214));
    QPainter painter(&image);
    drawSheet(painter, sheet, QRectF(image.rect()));
    painter.end();
    // Kept for a person to look at.
    QDir().mkpath(PLOTWICK_PICTURE_OUT);
    image.save(QString(PLOTWICK_PICTURE_OUT) + "/" + savedAs);
    return image;
}

struct Probe {
    const char* what;
    int x, y;  // logical
    QColor expected;
    int tolerance = 3;
};

bool near(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// The sample's 0..1000 view fills a 500 x 500 image: half a pixel per unit, y up.
QPoint onSample(int x, int y) {
    return {x / 2, 500 - y / 2};
}

const std::vector<Probe>& sampleProbes() {
    static const std::vector<Probe> probes = {
        {"ASCII line L", 100, 100, kRed},
        {"32-bit line l with weight 0x17", 300, 100, kGreen},
        {"16-bit line 0x0C, colour 0x03", 500, 100, kBlue},
        {"ASCII polyline P, palette c 249, first edge", 620, 100, kRed},
        {"ASCII polyline P, second edge", 690, 160, kRed},
        {"ASCII polyline P is not filled", 700, 60, kWhite},
        {"16-bit polyline 0x10, palette C 252", 900, 100, kBlue},
        {"polygon p with fill F: a star point", 100, 370, QColor(255, 0, 255)},
        {"polygon p: even-odd leaves the centre empty", 100, 300, kWhite},
        {"ASCII polytriangle T, (Color)", 300, 300, QColor(0, 255, 255)},
        {"32-bit polytriangle t", 500, 300, QColor(255, 255, 0)},
        {"16-bit polytriangle 0x14, palette c 250", 700, 300, kGreen},
        {"ASCII circle R filled", 900, 300, kRed},
        {"32-bit circle r, rim", 180, 500, kBlue},
        {"32-bit circle r unfilled, centre", 100, 500, kWhite},
        {"16-bit circle 0x12 filled", 300, 500, kGreen},
        {"arc 0x92 at 45 degrees", 557, 557, kRed},
        {"arc 0x92 starts at east", 579, 505, kRed},
        {"arc 0x92 does not reach 225 degrees", 443, 443, kWhite},
        {"ellipse e along its major axis", 770, 500, kBlue},
        {"ellipse e is narrow across", 700, 560, kWhite},
        {"Gouraud 16-bit 0x07", 300, 700, QColor(255, 128, 0)},
        {"Gouraud 16-bit line 0x11", 700, 700, QColor(0, 128, 0)},
        {"contour set k, ring", 840, 700, kRed},
        {"contour set k, hole", 900, 700, kWhite},
        {"16-bit contour set 0x0B", 100, 860, kBlue},
        {"ASCII (Contour)", 300, 900, QColor(0, 128, 0)},
        {"drawn after V", 500, 900, kGreen},
        {"not drawn while v", 420, 820, kWhite},
        {"inside the viewport clip", 700, 900, kRed},
        {"outside the viewport clip", 620, 820, kWhite},
        {"clip reaches past its cell", 980, 980, kWhite},
        {"300-point polygon after O and 0xAC", 900, 900, QColor(128, 0, 128)},
    };
    return probes;
}

// Through a bare .w2d file, as a user would open it.
Sheet sampleSheet() {
    const std::string path = test::scratchPath("every-opcode.w2d");
    const std::vector<std::uint8_t> bytes = test::everyOpcodeStream();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    DwfDocument document = readDwfFile(path);
    if (document.sheets.size() != 1) ADD_FAILURE() << document.message;
    return document.sheets.empty() ? Sheet{} : std::move(document.sheets[0]);
}

TEST(SheetPainter, EveryOpcodeDrawsWhatItSays) {
    const QImage image = draw(sampleSheet(), {500, 500}, "every-opcode.png");
    for (const Probe& probe : sampleProbes()) {
        const QColor seen = image.pixelColor(onSample(probe.x, probe.y));
        EXPECT_TRUE(near(seen, probe.expected, probe.tolerance))
            << probe.what << ": " << seen.name().toStdString() << " instead of "
            << probe.expected.name().toStdString();
    }
}

// Each corner of the Gouraud triangle takes its vertex's colour; the middle mixes them.
TEST(SheetPainter, GouraudShadingBlendsTheVertexColours) {
    const QImage image = draw(sampleSheet(), {500, 500}, "every-opcode.png");
    const QColor nearRed = image.pixelColor(onSample(35, 628));
    const QColor nearGreen = image.pixelColor(onSample(165, 628));
    const QColor nearBlue = image.pixelColor(onSample(100, 765));
    const QColor middle = image.pixelColor(onSample(100, 673));
    EXPECT_GT(nearRed.red(), 200);
    EXPECT_GT(nearGreen.green(), 200);
    EXPECT_GT(nearBlue.blue(), 200);
    EXPECT_TRUE(middle.red() > 40 && middle.green() > 40 && middle.blue() > 40)
        << middle.name().toStdString();
    const QColor lineStart = image.pixelColor(onSample(430, 700));
    const QColor lineEnd = image.pixelColor(onSample(570, 700));
    EXPECT_GT(lineStart.red(), lineStart.blue());
    EXPECT_GT(lineEnd.blue(), lineEnd.red());
}

TEST(SheetPainter, TextIsDrawnAtItsPosition) {
    const QImage image = draw(sampleSheet(), {500, 500}, "every-opcode.png");
    int dark = 0;
    for (int x = 410; x < 480; ++x) {
        for (int y = 220; y < 270; ++y)
            dark += image.pixelColor(x, y).lightness() < 100;
    }
    EXPECT_GT(dark, 30) << "\"Hi\" at 30 pixels high";
}

// A package's sheet is placed on its paper by the descriptor's transform; the paper
// keeps its aspect and the rest of the target shows the background.
TEST(SheetPainter, PackageSheetIsFittedToItsPaper) {
    const std::string path = test::scratchPath("paper.dwf");
    const std::vector<PackageSheet> sheets = {
        {"Plan",
         Paper{false, 11, 8.5},
         {0.008, 0, 0, 0, 0, 0.008, 0, 0, 0, 0, 1, 0, 1.5, 0.25, 0, 1},
         test::everyOpcodeStream()}};
    std::string error;
    ASSERT_TRUE(writeDwfPackage(path, sheets, error)) << error;
    const DwfDocument document = readDwfFile(path);
    ASSERT_EQ(document.sheets.size(), 1u) << document.message;
    // 11 x 8.5 inches at 100 pixels per inch, centred in a wider target.
    const QImage image = draw(document.sheets[0], {1300, 850}, "package-on-paper.png");
    auto onPaper = [](double x, double y) {
        return QPoint(100 + static_cast<int>(100 * (1.5 + 0.008 * x)),
                      850 - static_cast<int>(100 * (0.25 + 0.008 * y)));
    };
    EXPECT_EQ(image.pixelColor(50, 400), QColor(237, 237, 214)) << "beside the paper";
    EXPECT_EQ(image.pixelColor(105, 5), kWhite) << "paper corner";
    EXPECT_EQ(image.pixelColor(onPaper(300, 300)), QColor(0, 255, 255));
    EXPECT_EQ(image.pixelColor(onPaper(900, 300)), kRed);
    EXPECT_EQ(image.pixelColor(onPaper(100, 300)), kWhite);
}

Sheet sheetOf(const std::vector<std::uint8_t>& bytes) {
    Sheet sheet;
    sheet.graphics = readW2d(bytes);
    EXPECT_TRUE(sheet.graphics.complete) << sheet.graphics.message;
    return sheet;
}

// A Gouraud strip of 8 bytes per triangle, every triangle as large as the view: the
// painter's work per triangle is bounded by the device, not by the triangle's size.
TEST(SheetPainter, GouraudWorkIsBoundedPerTriangle) {
    test::B b;
    b.s("(W2D V06.00)(View 0,0 1000,1000)").u8(0x07).u8(0).u16(400 - 256);
    const std::int16_t steps[3][2] = {{30000, 0}, {-30000, 30000}, {0, -30000}};
    for (int i = 0; i < 400; ++i) {
        b.p16(steps[i % 3][0], steps[i % 3][1]).u8(static_cast<std::uint8_t>(i)).u8(0).u8(255);
        b.u8(255);
    }
    const Sheet sheet = sheetOf(b.s("(EndOfDWF)"));
    ASSERT_LT(b.bytes.size(), 4000u);
    QElapsedTimer clock;
    clock.start();
    draw(sheet, {800, 600}, "gouraud-strip.png");
    EXPECT_LT(clock.elapsed(), 5000) << "398 full-view triangles";
}

// Line patterns leave gaps (a user pattern of dash, gap, dot, gap keeps its dot), a
// hatch leaves paper between its lines, a thick line is thick.
TEST(SheetPainter, LinePatternsAndHatchesLeaveGaps) {
    test::B b;
    b.s("(W2D V06.00)(View 0,0 1000,1000)(Color 0,0,200,255)(LinePattern Dashed)L 100,900 900,900 "
        "(DashPattern 1 20,5,5,5)L 100,800 900,800 (DashPattern -1)(LinePattern Solid)"
        "L 100,700 900,700 (FillPattern Crosshatch)F(Contour 1 4 100,100 900,100 900,500 "
        "100,500)f(LineWeight 20)L 100,600 900,600 ");
    const QImage image = draw(sheetOf(b.s("(EndOfDWF)")), {500, 500}, "patterns.png");
    auto runsAlong = [&](int y) {
        int ink = 0, runs = 0;
        bool inside = false;
        for (int x = onSample(120, 0).x(); x < onSample(880, 0).x(); ++x) {
            const QColor c = image.pixelColor(x, onSample(0, y).y());
            const bool dark = c.blue() > 150 && c.red() < 100;
            ink += dark;
            runs += dark && !inside;
            inside = dark;
        }
        return std::pair{ink, runs};
    };
    const auto [dashedInk, dashes] = runsAlong(900);
    EXPECT_GT(dashes, 10) << "dashed";
    EXPECT_LT(dashedInk, 330);
    const auto [userInk, userRuns] = runsAlong(800);
    EXPECT_GT(userRuns, 20) << "dashes and dots";
    const auto [solidInk, solidRuns] = runsAlong(700);
    EXPECT_EQ(solidRuns, 1);
    EXPECT_GT(solidInk, 370);
    int paper = 0;
    for (int x = 60; x < 440; ++x)
        paper += image.pixelColor(x, onSample(0, 300).y()) == kWhite;
    EXPECT_GT(paper, 100) << "between the hatch lines";
    int thick = 0;
    for (int y = onSample(0, 640).y(); y < onSample(0, 560).y(); ++y)
        thick += image.pixelColor(250, y).blue() > 150;
    EXPECT_GE(thick, 9) << "20 units: 10 pixels";
}

// Values at the edge of every range must draw (or be left out) without undefined
// conversions, quickly: huge text, radii, weights, dashes and tiny views.
TEST(SheetPainter, ExtremeValuesDrawWithoutTrouble) {
    test::B b;
    b.s("(W2D V06.00)(View 0,0 1,1)(LineWeight 4000000000000)(DashPattern 1 1e300,0)")
        .s("L 0,0 2147483647,2147483647 R 0,0 2147483647 ")
        .u8(0x06)
        .u16(0x0020 | 0x0080 | 0x0200)
        .i32(2147483647)
        .u16(0)
        .u16(65535)
        .s("(Text 0,0 'huge')(Ellipse 5,5 2147483647,1 0,131071 65535)")
        .u8('x')
        .p32(-2147483647, 2147483647)
        .s("'far'");
    const Sheet sheet = sheetOf(b.s("(EndOfDWF)"));
    QElapsedTimer clock;
    clock.start();
    draw(sheet, {200, 200}, "extreme-values.png");
    EXPECT_LT(clock.elapsed(), 5000);
}

}  // namespace
}  // namespace plotwick

int main(int argc, char** argv) {
    // Text needs fonts, which need a platform; no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
