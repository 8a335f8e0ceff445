// Plotwick: its command-line splitting, and its window driven with QTest on the
// off-screen platform: caption, background, the delayed open, the message for a file
// it cannot show, sheets, zoom and pan.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWheelEvent>
#include <fstream>

#include "command_args.h"
#include "dwf/w2d_writer.h"
#include "plotwick_window.h"
#include "render_command.h"
#include "sample_streams.h"

namespace plotwick {
namespace {

using Args = std::vector<std::string>;

struct SplitCase {
    const char* line;
    int maximum;
    Args expected;
};

TEST(GetCommandArgs, SplitsAtBlanksGroupsQuotesAndStopsAtTheMaximum) {
    const std::vector<SplitCase> cases = {
        {"Part1.dwf", 10, {"", "Part1.dwf"}},
        {"\"My Part.dwf\"", 10, {"", "My Part.dwf"}},  // the original gave "My" and "Part.dwf"
        {"", 10, {""}},
        {" \t a\tb  ", 10, {"", "a", "b"}},
        {"x\"y z\"w next", 10, {"", "xy zw", "next"}},
        {"a1 a2 a3 a4 a5 a6 a7 a8 a9 a10 a11",
         10,
         {"", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "a10"}},
        {"a b c", 2, {"", "a", "b"}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(GetCommandArgs(c.line, c.maximum), c.expected) << c.line;
    }
}

TEST(GetCommandArgs, WindowsCommandLineLosesOnlyItsProgramName) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"\"C:\\Program Files\\RunPlotwick.exe\"  \"My Part.dwf\" x", "\"My Part.dwf\" x"},
        {"RunPlotwick.exe\tPart1.dwf", "Part1.dwf"},
        {"RunPlotwick.exe", ""},
        {"\"C:\\unterminated quote", ""},
        {"", ""},
    };
    for (const auto& [line, arguments] : cases)
        EXPECT_EQ(withoutProgramName(line), arguments) << line;
}

TEST(GetCommandArgs, ArgumentsFromTheShellComeBackWhole) {
    const Args split = {"/tmp/My Part.dwf", "second", ""};
    EXPECT_EQ(GetCommandArgs(commandLineOf(split)), (Args{"", "/tmp/My Part.dwf", "second", ""}));
}

std::string twoSheetPackage() {
    const std::string path = test::scratchPath("My Part.dwf");
    const std::array<double, 16> transform = {0.01, 0, 0, 0, 0, 0.01, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const std::vector<PackageSheet> sheets = {
        {"One", Paper{false, 10, 10}, transform, test::everyOpcodeStream()},
        {"Two", Paper{false, 10, 5}, transform, test::everyOpcodeStream()}};
    std::string error;
    if (!writeDwfPackage(path, sheets, error)) ADD_FAILURE() << error;
    return path;
}

QColor centreOf(QWidget& widget) {
    const QImage image = widget.grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

TEST(PlotwickWindow, EmptyWithoutAnArgumentOnItsBackground) {
    PlotwickWindow window;
    window.show();
    window.start("");
    QTest::qWait(2 * kOpenDelayMs);
    EXPECT_EQ(window.windowTitle(), "Form1");
    EXPECT_TRUE(window.view().sourcePath().isEmpty());
    EXPECT_EQ(window.view().geometry(), window.rect());
    EXPECT_EQ(centreOf(window), QColor(237, 237, 214));
}

TEST(PlotwickWindow, ComponentFillsTheWindowWhenResized) {
    PlotwickWindow window;
    window.show();
    window.resize(900, 300);
    QTest::qWait(10);
    EXPECT_EQ(window.view().geometry(), QRect(0, 0, 900, 300));
}

TEST(PlotwickWindow, QuotedFileNameOpensAfterTheWait) {
    const std::string path = twoSheetPackage();
    PlotwickWindow window;
    window.show();
    QElapsedTimer clock;
    clock.start();
    window.start("\"" + path + "\" ignored");
    EXPECT_TRUE(window.view().sourcePath().isEmpty()) << "not before the wait";
    QTRY_VERIFY_WITH_TIMEOUT(!window.view().sourcePath().isEmpty(), 2000);
    EXPECT_GE(clock.elapsed(), kOpenDelayMs);
    EXPECT_EQ(window.view().sourcePath().toStdString(), path);
    EXPECT_EQ(window.view().sheetCount(), 2);
    EXPECT_TRUE(window.view().messageText().isEmpty()) << window.view().messageText().toStdString();
}

TEST(PlotwickWindow, FileItCannotShowIsReportedInside) {
    const std::string path = test::scratchPath("notes.dwf");
    { std::ofstream(path) << "plain text"; }
    PlotwickWindow window;
    window.show();
    window.view().setSourcePath(QString::fromStdString(path));
    EXPECT_TRUE(window.view().messageText().startsWith("Not a DWF file"));
    const QImage image = window.grab().toImage();
    int messagePixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            messagePixels += c.red() > 100 && c.green() < 80 && c.blue() < 80;
        }
    }
    EXPECT_GT(messagePixels, 20) << "the message is drawn in the window";
}

TEST(PlotwickWindow, PageKeysSwitchSheetsWithinTheFile) {
    PlotwickWindow window;
    window.show();
    window.view().setSourcePath(QString::fromStdString(twoSheetPackage()));
    QTest::keyClick(&window.view(), Qt::Key_PageDown);
    EXPECT_EQ(window.view().sheetIndex(), 1);
    QTest::keyClick(&window.view(), Qt::Key_PageDown);
    EXPECT_EQ(window.view().sheetIndex(), 1) << "no sheet after the last";
    QTest::keyClick(&window.view(), Qt::Key_PageUp);
    EXPECT_EQ(window.view().sheetIndex(), 0);
}

TEST(PlotwickWindow, WheelZoomsAboutTheCursorAndDragPans) {
    PlotwickWindow window;
    window.show();
    DwfView& view = window.view();
    view.setSourcePath(QString::fromStdString(twoSheetPackage()));
    const QPointF centre = QRectF(view.rect()).center();
    QWheelEvent wheel(centre, view.mapToGlobal(centre), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &wheel);
    EXPECT_DOUBLE_EQ(view.adjustment().zoom, 1.25);
    EXPECT_EQ(view.adjustment().pan, (DeviceOffset{0, 0})) << "the point under the cursor stays";
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(100, 100));
    QMouseEvent move(QEvent::MouseMove, QPointF(130, 80), view.mapToGlobal(QPointF(130, 80)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(130, 80));
    EXPECT_EQ(view.adjustment().pan, (DeviceOffset{30, -20}));
    QTest::keyClick(&view, Qt::Key_PageDown);
    EXPECT_EQ(view.adjustment(), ViewAdjustment{}) << "the next sheet is shown fitted";
}

TEST(RenderCommand, DrawsTheChosenSheetAtTheChosenSizeAndReportsFailures) {
    const std::string package = twoSheetPackage();
    const std::string png = test::scratchPath("sheet2.png");
    EXPECT_EQ(runRenderCommand({package, "-o", png, "--sheet", "2", "--size", "400x300"}), 0);
    const QImage image(QString::fromStdString(png));
    ASSERT_EQ(image.size(), QSize(400, 300));
    // Sheet 2's paper is 10 x 5 inches: 400 x 200 pixels, with background above and below;
    // the upper half of the drawing lies beyond the paper and is clipped.
    EXPECT_EQ(image.pixelColor(200, 20), QColor(237, 237, 214));
    EXPECT_EQ(image.pixelColor(200, 245), QColor(255, 255, 255));
    EXPECT_EQ(image.pixelColor(200, 150), QColor(255, 255, 0)) << "the yellow square";

    EXPECT_EQ(runRenderCommand({package, "-o", png, "--sheet", "3"}), 1) << "no sheet 3";
    EXPECT_EQ(runRenderCommand({"/nonexistent.dwf", "-o", png}), 1);
    EXPECT_EQ(runRenderCommand({package, "--size", "0x5", "-o", png}), 2);
    EXPECT_EQ(runRenderCommand({package}), 2) << "no output named";
}

}  // namespace
}  // namespace plotwick

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
