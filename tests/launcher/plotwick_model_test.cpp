// 3D model pages: the camera's steps, `plotwick --render` of the sample packages compared
// with the pictures their publishers left in them, and the window turning a model.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QTest>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "dwf/w2d_writer.h"
#include "model_gl/model_camera.h"
#include "model_picture.h"
#include "plotwick_window.h"
#include "sample_streams.h"

namespace plotwick {
namespace {

const std::filesystem::path kSamples = PLOTWICK_DWF_SAMPLES;

// Where the camera puts a world point on a width x height window, in pixels from the
// top left; the same arithmetic OpenGL does with the view matrix and the volume.
QPointF onScreen(const ModelCamera& camera, const Vector3& point, int width, int height) {
    const auto m = viewMatrix(camera);
    const double x = m[0] * point[0] + m[4] * point[1] + m[8] * point[2] + m[12];
    const double y = m[1] * point[0] + m[5] * point[1] + m[9] * point[2] + m[13];
    const ViewVolume v = viewVolume(camera, {-1, -1, -1, 1, 1, 1}, width, height);
    return {(x - v.left) / (v.right - v.left) * width, (v.top - y) / (v.top - v.bottom) * height};
}

TEST(ModelCamera, StepsMoveTheModelWithThePointer) {
    ModelCamera camera;
    camera.position = {0, 0, 10};
    camera.up = {0, 1, 0};
    camera.fieldWidth = 5;
    camera.fieldHeight = 4;  // 400 x 200: 8 x 4 units seen
    const Vector3 point{1, 0.5, 0};
    const QPointF before = onScreen(camera, point, 400, 200);
    EXPECT_NEAR(before.x(), 250, 1e-9);
    EXPECT_NEAR(before.y(), 75, 1e-9);

    // A pan follows the pointer pixel for pixel.
    const QPointF panned = onScreen(plotwick::panned(camera, 30, -20, 400, 200), point, 400, 200);
    EXPECT_NEAR(panned.x(), 280, 1e-9);
    EXPECT_NEAR(panned.y(), 55, 1e-9);
    // Zooming by 2 doubles the point's distance from the centre.
    const QPointF zoomed = onScreen(plotwick::zoomed(camera, 2), point, 400, 200);
    EXPECT_NEAR(zoomed.x(), 300, 1e-9);
    EXPECT_NEAR(zoomed.y(), 50, 1e-9);
    // A drag across the whole width is half a turn: the point right of the target goes
    // to its left; half of that turns the right side towards the viewer.
    const ModelCamera half = turned(camera, 1, 0);
    EXPECT_NEAR(onScreen(half, point, 400, 200).x(), 150, 1e-9);
    const ModelCamera quarter = turned(camera, 0.5, 0);
    EXPECT_NEAR(quarter.position[0], -10, 1e-9) << "the front follows the pointer to the right";
    // A drag down brings the top towards the viewer: the camera rises.
    EXPECT_GT(turned(camera, 0, 0.25).position[1], 5);
}

// The bounding box and centre of the strongly blue pixels: the press's cast body.
struct BlueInk {
    QRectF box;
    QPointF centre;
    int count = 0;
};

BlueInk blueIn(const QImage& image) {
    BlueInk ink;
    QRect box;
    double sx = 0, sy = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.blue() < c.red() + 60 || c.blue() < c.green() + 30) continue;
            box |= QRect(x, y, 1, 1);
            sx += x, sy += y, ++ink.count;
        }
    }
    const double w = image.width(), h = image.height();
    ink.box = QRectF(box.x() / w, box.y() / h, box.width() / w, box.height() / h);
    if (ink.count > 0) ink.centre = {sx / ink.count / w, sy / ink.count / h};
    return ink;
}

int runRender(const std::filesystem::path& input, const std::string& png, int page,
              const char* size) {
    QProcess process;
    process.start(PLOTWICK_EXE,
                  {"--render", QString::fromStdString(input.string()), "-o",
                   QString::fromStdString(png), "--size", size, "--sheet", QString::number(page)});
    process.waitForFinished(60000);
    return process.exitCode();
}

TEST(PlotwickModel, TheArborPressIsDrawnWhereItsThumbnailShowsIt) {
    const auto sample = kSamples / "arbor-press-3d.dwf";
    if (!std::filesystem::exists(sample)) GTEST_SKIP() << "no sample package at " << sample;
    const DwfDocument document = readDwfFile(sample.string());
    const QImage thumbnail =
        QImage::fromData(document.preview.data(), static_cast<int>(document.preview.size()));
    ASSERT_FALSE(thumbnail.isNull()) << "the package's thumbnail";
    const std::string png = test::scratchPath("arbor-press-model.png");
    const QByteArray size =
        QString("%1x%2").arg(thumbnail.width()).arg(thumbnail.height()).toUtf8();
    ASSERT_EQ(runRender(sample, png, 1, size.constData()), 0);
    const QImage drawn(QString::fromStdString(png));
    ASSERT_EQ(drawn.size(), thumbnail.size());

    // The thumbnail was made with a camera a little different from the one published
    // (its body sits further right and shows more of its front), so the checks are
    // about the body's size, shape and which side its mass lies on: a mirrored
    // picture, another view or another scale each fail them.
    const BlueInk expected = blueIn(thumbnail), got = blueIn(drawn);
    ASSERT_GT(expected.count, 1000);
    EXPECT_NEAR(got.count, expected.count, 0.1 * expected.count) << "the body's size";
    const auto aspect = [](const BlueInk& ink) { return ink.box.width() / ink.box.height(); };
    EXPECT_NEAR(aspect(got), aspect(expected), 0.08 * aspect(expected)) << "the body's shape";
    const auto massAt = [](const BlueInk& ink) {
        return QPointF((ink.centre.x() - ink.box.left()) / ink.box.width(),
                       (ink.centre.y() - ink.box.top()) / ink.box.height());
    };
    EXPECT_NEAR(massAt(got).x(), massAt(expected).x(), 0.05) << "the C-frame's back is right";
    EXPECT_NEAR(massAt(got).y(), massAt(expected).y(), 0.06);
    EXPECT_NEAR(got.centre.x(), expected.centre.x(), 0.1) << "placed by the published camera";
    EXPECT_NEAR(got.centre.y(), expected.centre.y(), 0.1);
}

// The second sample's pictures are icons, not views of the models; its spheres are
// coloured as the entity names say, and the cylinder is white.
TEST(PlotwickModel, BothModelsOfThePublishedPackageShowTheirColours) {
    const auto sample = kSamples / "publish-3d.dwf";
    if (!std::filesystem::exists(sample)) GTEST_SKIP() << "no sample package at " << sample;
    for (int page : {1, 2}) {
        SCOPED_TRACE(page);
        const std::string png = test::scratchPath("publish-3d-" + std::to_string(page) + ".png");
        ASSERT_EQ(runRender(sample, png, page, "400x300"), 0);
        const QImage drawn(QString::fromStdString(png));
        int red = 0, green = 0, cyan = 0, yellow = 0, white = 0;
        for (int y = 0; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x) {
                const QColor c = drawn.pixelColor(x, y);
                const bool r = c.red() > 150, g = c.green() > 150, b = c.blue() > 150;
                const bool dr = c.red() < 60, dg = c.green() < 60, db = c.blue() < 60;
                red += r && dg && db;
                green += dr && g && db;
                cyan += dr && g && b;
                yellow += r && g && db;
                white += c.red() > 240 && c.green() > 240 && c.blue() > 240;
            }
        }
        EXPECT_GT(red, 300);
        EXPECT_GT(green, 300);
        EXPECT_GT(cyan, 300);
        EXPECT_GT(yellow, 300);
        EXPECT_GT(white, 100) << "the lit side of the cylinder";
    }
    EXPECT_EQ(runRender(sample, test::scratchPath("publish-3d-3.png"), 3, "400x300"), 1)
        << "two pages only";
}

TEST(PlotwickModel, TheWindowTurnsTheModelAndHomeBringsItBack) {
    const auto sample = kSamples / "arbor-press-3d.dwf";
    if (!std::filesystem::exists(sample)) GTEST_SKIP() << "no sample package at " << sample;
    PlotwickWindow window;
    window.resize(500, 400);
    window.show();
    DwfView& view = window.view();
    view.setSourcePath(QString::fromStdString(sample.string()));
    EXPECT_EQ(view.messageText().toStdString(), "");
    EXPECT_EQ(view.pageCount(), 1);
    const QImage published = view.grab().toImage();
    const BlueInk before = blueIn(published);
    EXPECT_GT(before.count, 5000) << "the press's body is drawn";

    const QPoint centre = view.rect().center();
    QTest::mousePress(&view, Qt::LeftButton, {}, centre);
    QTest::mouseMove(&view, centre + QPoint(view.width() / 2, 0));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, centre + QPoint(view.width() / 2, 0));
    const QImage turned = view.grab().toImage();
    int changed = 0;
    for (int y = 0; y < turned.height(); ++y) {
        for (int x = 0; x < turned.width(); ++x)
            changed += turned.pixel(x, y) != published.pixel(x, y);
    }
    EXPECT_GT(changed, before.count) << "a quarter turn shows the press from its side";

    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_EQ(view.grab().toImage(), published) << "Home returns to the published view";

    QTest::mousePress(&view, Qt::MiddleButton, {}, centre);
    QTest::mouseMove(&view, centre + QPoint(60, 0));
    QTest::mouseRelease(&view, Qt::MiddleButton, {}, centre + QPoint(60, 0));
    EXPECT_NEAR(blueIn(view.grab().toImage()).centre.x() * view.width(),
                before.centre.x() * view.width() + 60, 2)
        << "a middle drag pans with the pointer";
}

// The 3D fuzzer's inputs, each made a stream as the fuzzer makes it and packed as a
// model, are read and drawn as the window draws them: hostile vertex numbers, sizes
// and matrices must neither fault nor stop the drawing of the next model.
TEST(PlotwickModel, TheFuzzersModelsAreEachDrawn) {
    const char* const versions[] = {"10.00", "11.70", "12.15", "15.55"};
    const std::string package = test::scratchPath("fuzz-model.dwf");
    ModelPicture picture;
    int drawn = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PLOTWICK_W3D_CORPUS)) {
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> input{std::istreambuf_iterator<char>(in), {}};
        if (input.empty()) continue;
        const std::string header = std::string(";; HSF V") + versions[input[0] % 4] + " \n";
        PackageModel model{"fuzz", {header.begin(), header.end()}, std::nullopt};
        model.stream.insert(model.stream.end(), input.begin() + 1, input.end());
        std::string error;
        ASSERT_TRUE(writeDwfPackage(package, {}, {&model, 1}, error)) << error;
        const DwfDocument document = readDwfFile(package);
        for (const W3dModel& read : document.models) {
            ASSERT_TRUE(picture.open(read, 64, 48, &error)) << error;
            EXPECT_EQ(picture.draw(publishedCamera(read)).size(), QSize(64, 48));
            ++drawn;
        }
    }
    EXPECT_GT(drawn, 0);
}

}  // namespace
}  // namespace plotwick
