// `plotwick --render` run as a program: a sheet written by hand from the format notes
// (border, a title in its box, a label turned 90 degrees, a hatched square, an embedded
// PNG) checked by where its ink lies.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QProcess>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "hand_made_sheet.h"
#include "plotwick_window.h"
#include "sample_streams.h"

namespace plotwick {
namespace {

using test::B;

struct RenderRun {
    int exitCode = -1;
    QString output;
};

RenderRun render(const std::string& input, const std::string& png, const char* size = "800x800") {
    QProcess process;
    process.start(PLOTWICK_EXE, {"--render", QString::fromStdString(input), "-o",
                                 QString::fromStdString(png), "--size", size});
    process.waitForFinished(30000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput())};
}

struct MeasuredRun {
    int exitCode = -1;
    long peakKilobytes = 0;
    double seconds = 0;
};

// `plotwick --render` as a child of this test alone, so that its own peak memory can be
// read back when it ends.
MeasuredRun renderMeasured(const std::string& input, const std::string& png, const char* size) {
    std::string args[] = {PLOTWICK_EXE, "--render", input, "-o", png, "--size", size};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, PLOTWICK_EXE, nullptr, nullptr, argv.data(), environ) != 0) return {};
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return {};
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss, elapsed.count()};
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// The painter fuzzer's inputs start with a byte of its own; bit 0 set means the rest is
// a whole file as plotwick opens it.
std::vector<std::uint8_t> fileOfPainterInput(const std::string& name) {
    std::ifstream in(std::string(PLOTWICK_PAINTER_CORPUS) + "/" + name, std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    if (bytes.empty() || (bytes[0] & 1) == 0) return {};
    return {bytes.begin() + 1, bytes.end()};
}

QPoint device(int x, int y) {
    return {x * 8 / 100, 800 - y * 8 / 100};
}

bool isInk(const QColor& c) {
    return c.red() < 100 && c.green() < 100 && c.blue() < 100;
}

// The smallest rectangle around the dark pixels inside `area`.
QRect inkIn(const QImage& image, const QRect& area) {
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (isInk(image.pixelColor(x, y))) ink |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}

// A scanned drawing's CCITT Group 4 image: these 54 bytes are libtiff's coding of the
// 37 x 21 pattern below (a border, a diagonal and a block), laid into the image opcodes
// as the format's table lays them out. Each pixel is drawn as a 10 x 10 square.
const char* const kScannedPattern[] = {
    "#####################################", "##..................................#",
    "#.#.................................#", "#..#................................#",
    "#...#...............................#", "#....#..............#############...#",
    "#.....#.............#############...#", "#......#............#############...#",
    "#.......#...........#############...#", "#........#..........#############...#",
    "#.........#.........#############...#", "#..........#........#############...#",
    "#...........#.......................#", "#............#......................#",
    "#.............#.....................#", "#..............#....................#",
    "#...............#...................#", "#................#..................#",
    "#.................#.................#", "#..................#................#",
    "#####################################",
};
const std::vector<std::uint8_t> kGroup4Code = {
    0x26, 0xa1, 0xab, 0x38, 0x9e, 0x88, 0xeb, 0xd9, 0x43, 0x7d, 0x94, 0x35, 0xd9, 0x5a,
    0x10, 0x48, 0xec, 0xa0, 0xfe, 0xca, 0x23, 0xec, 0xa4, 0x7d, 0x94, 0x7f, 0xb2, 0xa9,
    0xf6, 0x54, 0xfe, 0xca, 0x09, 0xd9, 0x40, 0xfb, 0x28, 0xbf, 0x65, 0x08, 0xec, 0xa1,
    0x9d, 0x94, 0x9f, 0xb2, 0xab, 0xec, 0xaa, 0xb1, 0x18, 0x00, 0x80, 0x08};

TEST(PlotwickRender, Group4ImagesDrawTheirPixels) {
    const struct {
        const char* name;
        std::uint16_t opcode;
        std::vector<std::uint8_t> code;
        QColor ink, paper;  // an invalid paper: the sheet's white shows through
    } cases[] = {
        {"group 4", 0x0009, kGroup4Code, Qt::black, QColor()},
        {"group 4X mapped", 0x000D, kGroup4Code, Qt::red, Qt::yellow},
        {"cut short", 0x0009, {kGroup4Code.begin(), kGroup4Code.begin() + 20}, QColor(), QColor()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        B body;
        body.u16(37).u16(21).p32(0, 0).p32(3700, 2100).i32(1);
        if (c.opcode == 0x000D)
            body.u8(2).u8(255).u8(255).u8(0).u8(255).u8(255).u8(0).u8(0).u8(255);
        body.i32(static_cast<std::int32_t>(c.code.size())).add(c.code);
        B b;
        b.s("(W2D V06.00)(View 0,0 3700,2100)").u8('O').p32(0, 0);
        b.add(test::extended(c.opcode, body)).s("(EndOfDWF)");
        const std::string sheet = test::scratchPath("group4.w2d");
        std::ofstream(sheet, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.bytes.data()),
                   static_cast<std::streamsize>(b.bytes.size()));
        const std::string png = test::scratchPath("group4.png");
        const RenderRun run = render(sheet, png, "370x210");
        ASSERT_EQ(run.exitCode, 0) << run.output.toStdString();
        const QImage image(QString::fromStdString(png));
        ASSERT_EQ(image.size(), QSize(370, 210));
        int wrong = 0;
        for (int row = 0; row < 21; ++row) {
            for (int column = 0; column < 37; ++column) {
                const bool ink = kScannedPattern[row][column] == '#';
                QColor expected = ink ? c.ink : c.paper;
                if (!expected.isValid()) expected = Qt::white;
                const QColor shown = image.pixelColor(column * 10 + 5, row * 10 + 5);
                wrong += std::abs(shown.red() - expected.red()) > 40 ||
                         std::abs(shown.green() - expected.green()) > 40 ||
                         std::abs(shown.blue() - expected.blue()) > 40;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(PlotwickRender, HandMadeSheetDrawsTextBorderHatchAndImage) {
    const std::string sheet = test::scratchPath("hand-made.w2d");
    const std::vector<std::uint8_t> bytes = test::handMadeSheet();
    std::ofstream(sheet, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    QDir().mkpath(PLOTWICK_PICTURE_OUT);
    const std::string png = std::string(PLOTWICK_PICTURE_OUT) + "/hand-made-sheet.png";
    const RenderRun run = render(sheet, png);
    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString();
    const QImage image(QString::fromStdString(png));
    ASSERT_EQ(image.size(), QSize(800, 800));

    EXPECT_TRUE(isInk(image.pixelColor(device(200, 5000)))) << "left border";
    EXPECT_TRUE(isInk(image.pixelColor(device(9800, 5000)))) << "right border";

    // The title fills its box's width (within what glyph sides leave) and its height.
    const QRect title = inkIn(image, QRect(device(900, 8800), device(5100, 7900)));
    EXPECT_GE(title.width(), 290) << "box is 320 pixels wide";
    EXPECT_LE(title.width(), 322);
    EXPECT_GE(title.height(), 25);
    EXPECT_LE(title.height(), 50) << "box is 48 pixels high";
    EXPECT_GE(title.top(), device(0, 8600).y() - 1);

    // The turned label stands upright on the sheet: tall and narrow.
    const QRect label = inkIn(image, QRect(device(8000, 5200), device(8900, 1800)));
    EXPECT_GE(label.height(), 200) << "3000 units long: 240 pixels";
    EXPECT_LE(label.width(), 48);

    // The hatch leaves paper between its lines.
    int blue = 0, white = 0;
    for (int y = device(0, 3800).y(); y < device(0, 1200).y(); ++y) {
        for (int x = device(1200, 0).x(); x < device(3800, 0).x(); ++x) {
            const QColor c = image.pixelColor(x, y);
            blue += c.blue() > 200 && c.red() < 100;
            white += c == QColor(Qt::white);
        }
    }
    EXPECT_GT(blue, 2000);
    EXPECT_GT(white, 2000);

    // The image's top row is at the top of its rectangle.
    EXPECT_EQ(image.pixelColor(device(6000, 3600)), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(device(6000, 1400)), QColor(Qt::green));
}

// Texts whose glyphs are huge on the device: the fuzzer's stream, whose text of
// characters no installed font has is slanted into a sliver thousands of pixels long
// (Qt's glyph cache asked for 1 GiB for it); its variant whose 256 glyphs, millions of
// pixels long, all cross the picture (their outlines took seconds to fill); and a
// squashed, turned text whose every glyph is hundreds of pixels across; and streams of
// 3 and 4 KB whose markers placed a macro's texts 222,515 and 258,472 times, to the
// display list's budget (each was shaped twice, each copy kept a style the budget did
// not count; now the markers stop at a count linear in the stream). Each is drawn in
// well under a second, within a small part of 256 MB, and its picture is written.
TEST(PlotwickRender, TextHeavyFindingsAreDrawnInBoundedMemory) {
    const struct {
        const char* name;
        std::vector<std::uint8_t> file;
        int exitCode;
    } cases[] = {
        {"fuzz-finding.dwf", fileOfPainterInput("text-missing-glyph-huge-on-device"), 1},
        {"fuzz-outlines.dwf", fileOfPainterInput("text-outlines-huge-sheared"), 1},
        {"squashed-text.w2d", test::squashedTurnedText(), 0},
        {"markers.dwf", fileOfPainterInput("text-placed-at-a-quarter-million-markers"), 1},
        {"markers-to-budget.dwf", fileOfPainterInput("text-placed-by-markers-to-the-budget"), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.file.empty());
        const std::string input = test::scratchPath(c.name);
        writeFile(input, c.file);
        const std::string png = input + ".png";
        std::filesystem::remove(png);
        const MeasuredRun run = renderMeasured(input, png, "96x72");
        std::printf("%s: %ld kB at most, %.2f s\n", c.name, run.peakKilobytes, run.seconds);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_LT(run.peakKilobytes, 256 * 1024);
        EXPECT_LT(run.seconds, 3);
        EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(96, 72));
    }
}

// The first bytes of a JPEG that declares 4000 x 4000 pixels: its decoder fills in
// what is missing, at the full cost of 16 M pixels.
std::vector<std::uint8_t> jpegCutShort() {
    QImage picture(4000, 4000, QImage::Format_RGB32);
    picture.fill(QColor(40, 90, 140));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPG", 0);
    const QByteArray head = buffer.data().left(900);
    return {head.begin(), head.end()};
}

std::vector<std::uint8_t> jpegOpcode(const std::vector<std::uint8_t>& jpeg) {
    B body;
    body.u16(4000).u16(4000).p32(0, 0).p32(1000, 1000).i32(1);
    body.i32(static_cast<std::int32_t>(jpeg.size())).add(jpeg);
    return test::extended(0x0008, body);
}

// A macro holding the image placed 200 times took 17 s to draw, each copy decoded
// again; 300 different such images would take 15 s. Each image is now decoded once per
// paint, and decoding altogether stays within an allowance that grows with the
// images' bytes.
TEST(PlotwickRender, ImagesDeclaringManyPixelsAreDecodedWithinAnAllowance) {
    const std::vector<std::uint8_t> jpeg = jpegCutShort();
    B placed;
    placed.s("(W2D V06.01)(Macro 1 0 (").add(jpegOpcode(jpeg)).s("))G 1 ");
    placed.u8(0x8D).u8(200);
    for (int i = 0; i < 200; ++i)
        placed.p16(0, 0);
    B distinct;
    distinct.s("(W2D V06.01)(View 0,0 1000,1000)");
    for (int i = 0; i < 300; ++i) {
        std::vector<std::uint8_t> own = jpeg;
        own.back() = static_cast<std::uint8_t>(i);
        distinct.add(jpegOpcode(own));
    }
    const struct {
        const char* name;
        B stream;
    } cases[] = {{"placed-image.w2d", placed}, {"distinct-images.w2d", distinct}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        B stream = c.stream;
        const std::string input = test::scratchPath(c.name);
        writeFile(input, stream.s("(EndOfDWF)").bytes);
        const std::string png = input + ".png";
        std::filesystem::remove(png);
        const MeasuredRun run = renderMeasured(input, png, "200x200");
        std::printf("%s: %ld kB at most, %.2f s\n", c.name, run.peakKilobytes, run.seconds);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_LT(run.peakKilobytes, 256 * 1024);
        EXPECT_LT(run.seconds, 3);
        const QImage picture(QString::fromStdString(png));
        EXPECT_NE(picture.pixelColor(100, 100), QColor(Qt::white)) << "the image is drawn";
    }
}

// A viewport whose clip is the closed ring of `points`, in 16-bit relative coordinates
// from `current`, then a line through the middle of the 20000-unit view under it.
void clippedLine(B& stream, LogicalPoint& current, const std::vector<LogicalPoint>& points) {
    const auto step = [&](std::int64_t x, std::int64_t y) {
        stream.p16(static_cast<std::int16_t>(x - current.x),
                   static_cast<std::int16_t>(y - current.y));
        current = {x, y};
    };
    stream.s("(Viewport 'v' ")
        .u8(0x0B)
        .u8(1)
        .u8(0)
        .u16(static_cast<std::uint16_t>(points.size() - 256));
    for (const LogicalPoint& point : points)
        step(point.x, point.y);
    stream.s(")").u8(0x0C);
    step(1000, 10000);
    step(19000, 10000);
}

// Setting a clip of 20,000 points that zig-zag over the picture took Qt 7 s each time;
// a convex clip of as many points is quick, and what it clips is drawn.
TEST(PlotwickRender, ClipsAreSetWithinAnAllowanceOfRasterRows) {
    std::vector<LogicalPoint> zigzag, round;
    for (int i = 0; i < 20000; ++i) {
        zigzag.push_back({i, i % 2 ? 20000 : 0});
        const double turn = 2 * 3.141592653589793 * i / 20000;
        round.push_back({std::lround(10000 + 9000 * std::cos(turn)),
                         std::lround(10000 + 9000 * std::sin(turn))});
    }
    const struct {
        const char* name;
        std::vector<LogicalPoint> clip;
        int clips;
    } cases[] = {{"zigzag-clips.w2d", zigzag, 5}, {"round-clip.w2d", round, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        B stream;
        stream.s("(W2D V06.00)(View 0,0 20000,20000)(Color 0,0,0,255)(LineWeight 400)");
        LogicalPoint current;
        for (int i = 0; i < c.clips; ++i)
            clippedLine(stream, current, c.clip);
        const std::string input = test::scratchPath(c.name);
        writeFile(input, stream.s("(EndOfDWF)").bytes);
        const std::string png = input + ".png";
        const MeasuredRun run = renderMeasured(input, png, "200x200");
        std::printf("%s: %ld kB at most, %.2f s\n", c.name, run.peakKilobytes, run.seconds);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_LT(run.seconds, 3);
        const QImage picture(QString::fromStdString(png));
        ASSERT_EQ(picture.size(), QSize(200, 200));
        if (c.clip == round) {
            EXPECT_TRUE(isInk(picture.pixelColor(100, 100))) << "what the clip leaves is drawn";
        }
    }
}

}  // namespace
}  // namespace plotwick
