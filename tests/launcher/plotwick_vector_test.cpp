// `plotwick --render` into SVG and PDF, run as a program on a package of two sheets
// whose streams are written by hand: a landscape Letter sheet (border, title, turned
// label, text turned, widened and slanted by its font, hatches, a checkerboard, PNG) and a portrait
// A4 sheet of every opcode. The pages must have the papers' sizes and keep their texts as text;
// rasterised by outside readers they must look like the PNG that --render draws of the same sheet.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include <array>
#include <string>
#include <vector>

#include "dwf/w2d_writer.h"
#include "hand_made_sheet.h"
#include "sample_streams.h"

namespace plotwick {
namespace {

// Sheet 1: logical 0..10000 square, 0.00085 inch a unit, centred on 11 x 8.5 inches.
// Sheet 2: logical 0..1000 square, 0.2 mm a unit, on 210 x 297 mm.
const std::string& twoSheetPackage() {
    static const std::string path = [] {
        const std::string file = test::scratchPath("two-sheets.dwf");
        const PackageSheet sheets[] = {
            {"Plan",
             Paper{false, 11, 8.5},
             {0.00085, 0, 0, 0, 0, 0.00085, 0, 0, 0, 0, 1, 0, 1.25, 0, 0, 1},
             test::handMadeSheet(test::withExtras)},
            {"Opcodes",
             Paper{true, 210, 297},
             {0.2, 0, 0, 0, 0, 0.2, 0, 0, 0, 0, 1, 0, 5, 48.5, 0, 1},
             test::everyOpcodeStream()}};
        std::string error;
        if (!writeDwfPackage(file, sheets, error)) ADD_FAILURE() << error;
        return file;
    }();
    return path;
}

int runPlotwick(const QStringList& arguments, QString* output = nullptr) {
    QProcess process;
    process.start(PLOTWICK_EXE, QStringList{"--render"} + arguments);
    process.waitForFinished(60000);
    if (output != nullptr) *output = QString::fromUtf8(process.readAllStandardOutput());
    return process.exitCode();
}

QString outPath(const char* name) {
    QDir().mkpath(PLOTWICK_PICTURE_OUT);
    return QString(PLOTWICK_PICTURE_OUT) + "/" + name;
}

QString pdfText(const QString& pdf) {
    QFile file(pdf);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

// Page sizes in points from the page objects' media boxes, in file order (Qt writes the
// pages in order and their dictionaries uncompressed).
std::vector<QSizeF> mediaBoxes(const QString& pdf) {
    static const QRegularExpression box(R"(/MediaBox \[0 0 ([0-9.]+) ([0-9.]+)\])");
    std::vector<QSizeF> sizes;
    for (const auto& match : box.globalMatch(pdfText(pdf)))
        sizes.emplace_back(match.captured(1).toDouble(), match.captured(2).toDouble());
    return sizes;
}

TEST(PlotwickVector, PdfHasOnePageOfItsPaperPerSheet) {
    const QString pdf = outPath("two-sheets.pdf");
    ASSERT_EQ(runPlotwick({QString::fromStdString(twoSheetPackage()), "-o", pdf, "--all-sheets"}),
              0);
    const std::vector<QSizeF> pages = mediaBoxes(pdf);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_NEAR(pages[0].width(), 11 * 72, 0.5);
    EXPECT_NEAR(pages[0].height(), 8.5 * 72, 0.5);
    EXPECT_NEAR(pages[1].width(), 210 / 25.4 * 72, 0.5);
    EXPECT_NEAR(pages[1].height(), 297 / 25.4 * 72, 0.5);

    const QString second = outPath("second-sheet.pdf");
    ASSERT_EQ(
        runPlotwick({QString::fromStdString(twoSheetPackage()), "-o", second, "--sheet", "2"}), 0);
    ASSERT_EQ(mediaBoxes(second).size(), 1u);
    EXPECT_NEAR(mediaBoxes(second)[0].width(), 210 / 25.4 * 72, 0.5);
}

// A bare stream has no descriptor; its (PlotInfo ...) gives the page its paper.
TEST(PlotwickVector, StreamsOwnPlotInfoGivesThePaper) {
    const std::string text =
        "(W2D V06.00)(View 0,0 10000,10000)(PlotInfo show 0 in 11 8.5 1.25 0 9.75 8.5 "
        "((0.00085 0 0)(0 0.00085 0)(0 0 1)))L 0,0 10000,10000 (EndOfDWF)";
    const std::string w2d = test::scratchPath("plotted.w2d");
    QFile file(QString::fromStdString(w2d));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), qint64(text.size()));
    file.close();
    const QString pdf = outPath("plotted.pdf");
    ASSERT_EQ(runPlotwick({QString::fromStdString(w2d), "-o", pdf}), 0);
    ASSERT_EQ(mediaBoxes(pdf).size(), 1u);
    EXPECT_NEAR(mediaBoxes(pdf)[0].width(), 11 * 72, 0.5);
    EXPECT_NEAR(mediaBoxes(pdf)[0].height(), 8.5 * 72, 0.5);
}

struct SvgFacts {
    QString width, height;
    QStringList texts;
    bool wellFormed = false;
};

SvgFacts readSvg(const QString& path) {
    QFile file(path);
    SvgFacts facts;
    if (!file.open(QIODevice::ReadOnly)) return facts;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == u"svg") {
            facts.width = xml.attributes().value("width").toString();
            facts.height = xml.attributes().value("height").toString();
        } else if (xml.name() == u"text") {
            facts.texts << xml.readElementText();
        }
    }
    facts.wellFormed = !xml.hasError();
    return facts;
}

TEST(PlotwickVector, SvgHasThePapersSizeAndItsLabelsAsText) {
    const QString svg = outPath("plan.svg");
    ASSERT_EQ(runPlotwick({QString::fromStdString(twoSheetPackage()), "-o", svg}), 0);
    const SvgFacts facts = readSvg(svg);
    EXPECT_TRUE(facts.wellFormed);
    // 11 x 8.5 inches at 96 units an inch, written in millimetres.
    EXPECT_EQ(facts.width, "279.4mm");
    EXPECT_EQ(facts.height, "215.9mm");
    EXPECT_TRUE(facts.texts.contains("PLAN VIEW")) << facts.texts.join('|').toStdString();
    EXPECT_TRUE(facts.texts.contains("NORTH"));
}

// A note 0.3 mm high (about a pixel at 96 dpi, where the window would draw a bar or
// nothing) is still text on a vector page: a reader zooms in on it and finds it.
TEST(PlotwickVector, TinyTextStaysText) {
    test::B b;
    b.s("(W2D V06.00)(View 0,0 100000,100000)");
    b.u8(0x03).u8(0).u8(0).u8(0).u8(255).u8(0x06).u16(0x0020).i32(100);
    b.u8('O').p32(50000, 50000).u8('x').p32(0, 0).utf16(u"NOTE 7");
    b.s("(EndOfDWF)");
    const std::string w2d = test::scratchPath("tiny.w2d");
    QFile file(QString::fromStdString(w2d));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(b.bytes.data()), qint64(b.bytes.size()));
    file.close();
    const QString svg = outPath("tiny.svg"), pdf = outPath("tiny.pdf");
    ASSERT_EQ(runPlotwick({QString::fromStdString(w2d), "-o", svg}), 0);
    ASSERT_EQ(runPlotwick({QString::fromStdString(w2d), "-o", pdf}), 0);
    EXPECT_TRUE(readSvg(svg).texts.contains("NOTE 7"));
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext is not installed: the PDF's text is not read";
    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(60000));
    EXPECT_TRUE(text.readAllStandardOutput().contains("NOTE 7"));
}

// What each kind of picture takes, and the status of what cannot be done.
TEST(PlotwickVector, OptionsAreCheckedForTheKindOfPicture) {
    const QString input = QString::fromStdString(twoSheetPackage());
    struct Case {
        QStringList arguments;
        int status;
    };
    const Case cases[] = {
        {{"-o", outPath("all.svg"), "--all-sheets"}, 2},       // an SVG holds one sheet
        {{"-o", outPath("all.png"), "--all-sheets"}, 2},       // so does a PNG
        {{"-o", outPath("sized.pdf"), "--size", "10x10"}, 2},  // pages take the paper's size
        {{"-o", outPath("both.pdf"), "--sheet", "1", "--all-sheets"}, 2},
        {{"-o", "/no/such/folder/out.pdf"}, 2},
        {{"-o", "/no/such/folder/out.svg"}, 2},
        {{"-o", outPath("third.pdf"), "--sheet", "3"}, 1},
        {{"-o", outPath("UPPER.PDF"), "--sheet", "2"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        EXPECT_EQ(runPlotwick(QStringList{input} + c.arguments), c.status);
    }
    EXPECT_EQ(mediaBoxes(outPath("UPPER.PDF")).size(), 1u) << "a PDF whatever the case";
}

// A sheet whose stream stops early: the pages are still written, with exit 1.
TEST(PlotwickVector, StreamThatStopsEarlyIsWrittenWithStatusOne) {
    std::vector<std::uint8_t> bytes = test::handMadeSheet();
    bytes.resize(bytes.size() - 12);  // into the image's length
    const std::string w2d = test::scratchPath("cut.w2d");
    QFile file(QString::fromStdString(w2d));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    file.close();
    const QString pdf = outPath("cut.pdf");
    QString output;
    EXPECT_EQ(runPlotwick({QString::fromStdString(w2d), "-o", pdf, "--all-sheets"}, &output), 1);
    EXPECT_FALSE(output.isEmpty());
    ASSERT_EQ(mediaBoxes(pdf).size(), 1u);
    // Without paper the page has the view extent's shape (square), 297 mm a side.
    EXPECT_NEAR(mediaBoxes(pdf)[0].width(), 297 / 25.4 * 72, 0.5);
    EXPECT_NEAR(mediaBoxes(pdf)[0].height(), 297 / 25.4 * 72, 0.5);
}

// The share of 4 x 4 blocks whose mean colour differs by more than 40 in a channel:
// blocks absorb what readers may draw differently without being wrong (anti-aliased
// edges, a hatch line half a pixel over, glyph hinting), while a missing or misplaced
// line, text, fill or image changes whole blocks.
double differingBlocks(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    constexpr int kBlock = 4;
    int differing = 0, blocks = 0;
    for (int top = 0; top + kBlock <= x.height(); top += kBlock) {
        for (int left = 0; left + kBlock <= x.width(); left += kBlock) {
            std::array<int, 3> sum{};
            for (int row = top; row < top + kBlock; ++row) {
                for (int column = left; column < left + kBlock; ++column) {
                    const QRgb p = x.pixel(column, row), q = y.pixel(column, row);
                    sum[0] += qRed(p) - qRed(q);
                    sum[1] += qGreen(p) - qGreen(q);
                    sum[2] += qBlue(p) - qBlue(q);
                }
            }
            ++blocks;
            differing += std::abs(sum[0]) > 40 * kBlock * kBlock ||
                         std::abs(sum[1]) > 40 * kBlock * kBlock ||
                         std::abs(sum[2]) > 40 * kBlock * kBlock;
        }
    }
    return double(differing) / blocks;
}

bool runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitCode() == 0;
}

QImage pngOf(int sheet, const QSize& size) {
    const QString png = outPath(sheet == 1 ? "plan-as-png.png" : "opcodes-as-png.png");
    const QString sizeText = QString("%1x%2").arg(size.width()).arg(size.height());
    if (runPlotwick({QString::fromStdString(twoSheetPackage()), "-o", png, "--sheet",
                     QString::number(sheet), "--size", sizeText}) != 0) {
        return {};
    }
    return QImage(png);
}

QImage pdfPageRasterised(const QString& pdf, int page, const QSize& size, const char* name) {
    const QString stem = outPath(name);
    if (!runTool("pdftoppm", {"-png", "-singlefile", "-f", QString::number(page), "-l",
                              QString::number(page), "-scale-to-x", QString::number(size.width()),
                              "-scale-to-y", QString::number(size.height()), pdf, stem})) {
        return {};
    }
    return QImage(stem + ".png");
}

QString missingTool() {
    for (const char* tool : {"rsvg-convert", "pdftoppm", "pdftotext"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) return tool;
    }
    return {};
}

// Letter landscape and A4 portrait at 96 dots an inch.
const QSize kLetter(1056, 816);
const QSize kA4(794, 1123);
// Measured: 0.0 % and 0.06 % of blocks differ for the SVGs, 0.4 % and 0.5 % for the
// PDF pages, along glyph edges (readers hint and anti-alias glyphs their own way) and
// where the PDF reader leaves hairline seams between triangles of one fill. The
// title's box alone is about 2 % of the Letter page, the hatched square 7 %, and the
// part of sheet 2's red strip that its viewport hides about 4 %.
constexpr double kLooksAlike = 0.008;

TEST(PlotwickVector, OutsideReadersDrawThePagesAsThePngShowsThem) {
    if (const QString tool = missingTool(); !tool.isEmpty())
        GTEST_SKIP() << tool.toStdString() << " is not installed (scripts/setup.sh installs it)";
    const QString package = QString::fromStdString(twoSheetPackage());
    const QString pdf = outPath("compared.pdf");
    ASSERT_EQ(runPlotwick({package, "-o", pdf, "--all-sheets"}), 0);

    const QImage plan = pngOf(1, kLetter), opcodes = pngOf(2, kA4);
    ASSERT_EQ(plan.size(), kLetter);
    ASSERT_EQ(opcodes.size(), kA4);
    // The measure notices a page that lost what the PNG shows.
    QImage blank(kLetter, QImage::Format_RGB32);
    blank.fill(Qt::white);
    EXPECT_GT(differingBlocks(plan, blank), 10 * kLooksAlike);

    const auto svgRasterised = [&](int sheet, const QSize& size, const char* name) {
        const QString svgOut = outPath(name), out = svgOut + ".png";
        const bool drawn =
            runPlotwick({package, "-o", svgOut, "--sheet", QString::number(sheet)}) == 0 &&
            runTool("rsvg-convert",
                    {"-w", QString::number(size.width()), "-h", QString::number(size.height()),
                     "-b", "white", "-o", out, svgOut});
        return drawn ? QImage(out) : QImage();
    };
    EXPECT_LT(differingBlocks(plan, svgRasterised(1, kLetter, "plan-compared.svg")), kLooksAlike)
        << "SVG of sheet 1 by rsvg-convert";
    // Its viewport clip is cut into the shapes, which Qt's SVG generator cannot clip.
    EXPECT_LT(differingBlocks(opcodes, svgRasterised(2, kA4, "opcodes-compared.svg")), kLooksAlike)
        << "SVG of sheet 2 by rsvg-convert";
    EXPECT_LT(differingBlocks(plan, pdfPageRasterised(pdf, 1, kLetter, "plan-from-pdf")),
              kLooksAlike)
        << "PDF page 1 by pdftoppm";
    EXPECT_LT(differingBlocks(opcodes, pdfPageRasterised(pdf, 2, kA4, "opcodes-from-pdf")),
              kLooksAlike)
        << "PDF page 2 by pdftoppm";

    // The texts are text objects a PDF reader can extract.
    QProcess text;
    text.start("pdftotext", {"-f", "1", "-l", "1", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString words = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(words.contains("PLAN VIEW")) << words.toStdString();
    EXPECT_TRUE(words.contains("NORTH"));
}

}  // namespace
}  // namespace plotwick
