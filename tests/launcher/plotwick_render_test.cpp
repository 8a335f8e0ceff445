// `plotwick --render` run as a program: a sheet written by hand from the format notes
// (border, a title in its box, a label turned 90 degrees, a hatched square, an embedded
// PNG) checked by where its ink lies, and the 3D-only sample packages, which show the
// picture they carry of themselves.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QProcess>

#include <filesystem>
#include <fstream>

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

std::vector<std::uint8_t> twoByTwoPng() {
    QImage image(2, 2, QImage::Format_RGB32);
    image.setPixelColor(0, 0, Qt::red);
    image.setPixelColor(1, 0, Qt::red);
    image.setPixelColor(0, 1, Qt::green);
    image.setPixelColor(1, 1, Qt::green);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return {bytes.begin(), bytes.end()};
}

// Complex text 0x18 at the current point: the string, empty scoring lists, the box's
// corners each relative to the one before, and the reserved list of 6.00 streams.
B& complexText(B& b, const std::u16string& text, const LogicalPoint (&box)[4]) {
    b.u8(0x18).p32(0, 0).utf16(text).u8(1).u8(1);
    LogicalPoint at{0, 0};
    for (const LogicalPoint& corner : box) {
        b.p32(static_cast<std::int32_t>(corner.x - at.x),
              static_cast<std::int32_t>(corner.y - at.y));
        at = corner;
    }
    return b.u8(1);
}

// Logical 0..10000 on both axes, drawn at 800 x 800: 0.08 pixel per unit.
std::vector<std::uint8_t> handMadeSheet() {
    B b;
    b.s("(W2D V06.00)(View 0,0 10000,10000)");
    b.u8(0x03).u8(0).u8(0).u8(0).u8(255).u8(0x17).i32(60);
    b.u8('O').p32(200, 200).u8('p').u8(5).p32(0, 0).p32(9600, 0).p32(0, 9600).p32(-9600, 0).p32(
        0, -9600);
    b.u8(0x17).i32(0).u8(0x06).u16(0x0020).i32(600);
    // The title: insertion point on the baseline, the box from the descent line up.
    b.u8('O').p32(1000, 8150);
    complexText(b, u"PLAN VIEW", {{0, -150}, {4000, -150}, {4000, 450}, {0, 450}});
    // A label turned 90 degrees: its baseline runs up the sheet.
    b.u8('O').p32(8600, 2000);
    complexText(b, u"NORTH", {{150, 0}, {150, 3000}, {-450, 3000}, {-450, 0}});
    b.u8(0x03).u8(0).u8(0).u8(255).u8(255).s("(FillPattern 'Slant Right')F");
    b.u8('O').p32(1000, 1000).u8('p').u8(4).p32(0, 0).p32(3000, 0).p32(0, 3000).p32(-3000, 0);
    b.s("f(FillPattern Solid)");
    const std::vector<std::uint8_t> png = twoByTwoPng();
    b.u8('O').p32(0, 0);
    b.add(test::extended(0x000C, B().u16(2)
                                     .u16(2)
                                     .p32(4500, 1000)
                                     .p32(3000, 3000)
                                     .i32(1)
                                     .i32(static_cast<std::int32_t>(png.size()))
                                     .add(png)));
    b.s("(EndOfDWF)");
    return b;
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

TEST(PlotwickRender, HandMadeSheetDrawsTextBorderHatchAndImage) {
    const std::string sheet = test::scratchPath("hand-made.w2d");
    const std::vector<std::uint8_t> bytes = handMadeSheet();
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

TEST(PlotwickRender, ThreeDimensionalPackageShowsItsOwnPicture) {
    const std::filesystem::path samples = PLOTWICK_DWF_SAMPLES;
    if (!std::filesystem::exists(samples)) GTEST_SKIP() << "no sample packages at " << samples;
    int rendered = 0;
    for (const auto& entry : std::filesystem::directory_iterator(samples)) {
        if (entry.path().extension() != ".dwf") continue;
        SCOPED_TRACE(entry.path().string());
        const std::string png = test::scratchPath(entry.path().stem().string() + ".png");
        const RenderRun run = render(entry.path().string(), png, "400x300");
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.output.contains("3D model, which is not drawn"))
            << run.output.toStdString();
        // The models are decoded, though not drawn yet, and the line says what they hold.
        EXPECT_TRUE(run.output.contains(" instances, ")) << run.output.toStdString();
        EXPECT_FALSE(run.output.contains("stops at")) << run.output.toStdString();
        const QImage image(QString::fromStdString(png));
        ASSERT_EQ(image.size(), QSize(400, 300));
        EXPECT_NE(image.pixelColor(200, 150), QColor(237, 237, 214)) << "a picture in the middle";
        ++rendered;
    }
    EXPECT_GT(rendered, 0);
}

// In the window the picture fills the view, with the line saying the model is not drawn.
TEST(PlotwickRender, WindowShowsTheSamplesPictureWithTheLine) {
    const std::filesystem::path sample =
        std::filesystem::path(PLOTWICK_DWF_SAMPLES) / "arbor-press-3d.dwf";
    if (!std::filesystem::exists(sample)) GTEST_SKIP() << "no sample package " << sample;
    PlotwickWindow window;
    window.resize(600, 400);
    window.show();
    window.view().setSourcePath(QString::fromStdString(sample.string()));
    EXPECT_EQ(window.view().messageText().toStdString(),
              std::string(kModelNotDrawn) +
                  ". Decoded the model (29 shells, 42 instances, 22840 triangles).");
    const QImage image = window.grab().toImage();
    int blue = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            blue += c.blue() > c.red() + 60;
        }
    }
    EXPECT_GT(blue, 2000) << "the press is painted blue in its picture";
}

}  // namespace
}  // namespace plotwick
