// The stand-in host's own operations, as the export commands use them.
#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

#include <zlib.h>

#include <cmath>

#include "addin_fixture.h"
#include "app/scene_view.h"
#include "host/host_services.h"
#include "save_copy.h"

namespace exportal::testing {
namespace {

using StandInHostTest = AddInTest;

double angleBetween(const double a[3], const double b[3]) {
    const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    return std::acos(std::clamp(dot, -1.0, 1.0));
}

TEST_F(StandInHostTest, ViewBitmapIsABmpOfTheModel) {
    auto host = startHost(11);
    openAndWait(*host, document("Gear.ipt"));
    CadView* view = host->activeView();
    ASSERT_NE(view, nullptr);
    const QString file = folder.filePath("Gear.bmp");
    std::int32_t width = 300, height = 0;
    ASSERT_TRUE(view->saveBitmap(file.toStdString(), width, height));
    const QImage viewSize = host->view()->grabFramebuffer();
    EXPECT_EQ(height, std::lround(300.0 * viewSize.height() / viewSize.width()));

    QFile raw(file);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_EQ(raw.read(2), "BM");
    const QImage bitmap(file, "BMP");
    ASSERT_EQ(bitmap.width(), 300);
    ASSERT_EQ(bitmap.height(), height);
    // The corner shows the world's background; the model covers much of the middle.
    const QRgb background = bitmap.pixel(0, 0);
    int model = 0;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            model += bitmap.pixel(x, y) != background;
    EXPECT_GT(model, bitmap.width() * bitmap.height() / 20);

    std::int32_t ownWidth = 0, ownHeight = 0;
    ASSERT_TRUE(view->saveBitmap(file.toStdString(), ownWidth, ownHeight));
    EXPECT_EQ(ownWidth, viewSize.width());
    EXPECT_EQ(ownHeight, viewSize.height());
    std::int32_t hugeWidth = 100000, hugeHeight = 0;
    EXPECT_FALSE(view->saveBitmap(file.toStdString(), hugeWidth, hugeHeight));
}

// One unit of input turns the view by 0.16432 rad; the opposite drag turns it back.
TEST_F(StandInHostTest, CameraMouseInputTurnsTheViewByTheUnitAngle) {
    auto host = startHost(11);
    openAndWait(*host, document("Gear.ipt"));
    CadCamera& camera = host->activeView()->camera();
    const tessaro::Camera before = tessaro::currentCamera();
    const Point2d origin = host->createPoint2d(0, 0);
    ASSERT_TRUE(camera.mouseInput(origin, host->createPoint2d(1, 0), 0, kRotateViewOperation));
    EXPECT_EQ(tessaro::currentCamera().forward[0], before.forward[0]);  // not yet applied
    camera.apply();
    const tessaro::Camera turned = tessaro::currentCamera();
    EXPECT_NEAR(angleBetween(before.forward, turned.forward), 0.16432, 1e-5);
    EXPECT_NEAR(angleBetween(before.up, turned.up), 0.0, 1e-9);  // about the up axis

    ASSERT_TRUE(camera.mouseInput(origin, host->createPoint2d(0, 0.5), 0, kRotateViewOperation));
    camera.apply();
    EXPECT_NEAR(angleBetween(turned.up, tessaro::currentCamera().up), 0.08216, 1e-5);
    ASSERT_TRUE(camera.mouseInput(origin, host->createPoint2d(0, -0.5), 0, kRotateViewOperation));
    camera.apply();
    ASSERT_TRUE(camera.mouseInput(origin, host->createPoint2d(-1, 0), 0, kRotateViewOperation));
    camera.apply();
    EXPECT_NEAR(angleBetween(before.forward, tessaro::currentCamera().forward), 0.0, 1e-6);
    EXPECT_FALSE(camera.mouseInput(origin, host->createPoint2d(1, 0), 0, 30210));
}

TEST_F(StandInHostTest, SaveCopyAsZglWritesTheDocumentCompressed) {
    auto host = startHost(11);
    const QString path = document("Gear.ipt");
    openAndWait(*host, path);
    const QString copy = folder.filePath("Gear.zgl");
    ASSERT_TRUE(saveCopyAs(*host, copy.toStdString()));
    QFile packed(copy), original(path);
    ASSERT_TRUE(packed.open(QIODevice::ReadOnly));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray expected = original.readAll();
    const QByteArray bytes = packed.readAll();
    std::vector<Bytef> inflated(expected.size() + 16);
    uLongf size = inflated.size();
    ASSERT_EQ(uncompress(inflated.data(), &size, reinterpret_cast<const Bytef*>(bytes.data()),
                         bytes.size()),
              Z_OK);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(inflated.data()), size), expected);

    // The command alone has no name to save to.
    EXPECT_FALSE(host->startCommand(kSaveCopyCommand));
    EXPECT_FALSE(saveCopyAs(*host, folder.filePath("Gear.stl").toStdString()));
}

struct TimingRecorder final : SaveEventSink {
    void onSaveDocument(CadDocument* document, std::int32_t timing) override {
        timings.push_back(timing);
        sizes.push_back(
            document ? QFileInfo(QString::fromStdString(document->fullFileName())).size() : -1);
    }
    std::vector<std::int32_t> timings;
    std::vector<qint64> sizes;
};

// Ctrl+S writes the document back and tells the subscribers before and after.
TEST_F(StandInHostTest, CtrlSSavesTheDocumentBetweenTheTwoNotifications) {
    auto host = startHost(11);
    const QString path = document("Gear.ipt");
    openAndWait(*host, path);
    const qint64 size = QFileInfo(path).size();
    TimingRecorder recorder;
    host->subscribe(&recorder);
    ASSERT_TRUE(QFile::resize(path, 0));
    host->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(host.get()));
    QTest::keyClick(host->view(), Qt::Key_S, Qt::ControlModifier);
    host->unsubscribe(&recorder);
    EXPECT_EQ(recorder.timings, (std::vector<std::int32_t>{kBeforeSave, kAfterSave}));
    EXPECT_EQ(recorder.sizes, (std::vector<qint64>{0, size}));
}

TEST_F(StandInHostTest, LengthExpressionsInCentimetres) {
    const struct {
        const char* text;
        bool valid;
        double centimetres;
    } cases[] = {
        {"32", true, 81.28}, {"2 in", true, 5.08},   {"1.5ft", true, 45.72}, {"10 mm", true, 1.0},
        {"3cm", true, 3.0},  {" 2 M ", true, 200.0}, {"", false, 0},         {"two in", false, 0},
        {"3 yd", false, 0},  {"3 in 4", false, 0},
    };
    HostWindow host(11);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        double centimetres = -1;
        EXPECT_EQ(host.evaluateLength(c.text, "in", centimetres), c.valid);
        if (c.valid) {
            EXPECT_NEAR(centimetres, c.centimetres, 1e-9);
        }
    }
}

TEST_F(StandInHostTest, AddInsListTheDwfTranslatorAndThisAddIn) {
    auto host = startHost(11);
    CadTranslator* translator = nullptr;
    for (int i = 1; i <= host->addInCount(); ++i) {
        const AddInEntry entry = host->addIn(i);
        if (entry.type == kTranslatorAddInType &&
            entry.classId == "{0AC6FD95-2F4D-42CE-8BE0-8AEA580399E4}") {
            translator = entry.translator;
        }
    }
    ASSERT_NE(translator, nullptr);
    ASSERT_EQ(host->addInCount(), 2);
    EXPECT_EQ(host->addIn(2).type, kApplicationAddInType);
    EXPECT_EQ(host->addIn(2).translator, nullptr);
    EXPECT_TRUE(host->ready());
}

// A drawing has one sheet per top-level object; the Sheet menu shows one at a time.
TEST_F(StandInHostTest, ADrawingShowsTheSheetChosenInTheSheetMenu) {
    auto host = startHost(11);
    openAndWait(*host, document("Gear.ipt"));
    EXPECT_EQ(host->activeDocument()->sheetCount(), 0);
    EXPECT_FALSE(host->sheetMenu()->isEnabled());

    openAndWait(*host, drawing("Plan.idw"));
    CadDocument* plan = host->activeDocument();
    ASSERT_EQ(plan->sheetCount(), 3);
    EXPECT_EQ(plan->sheetName(2), "Sheet:2");
    EXPECT_EQ(plan->activeSheetName(), "Sheet:1");
    const QList<QAction*> entries = host->sheetMenu()->actions();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[2]->text(), "Sheet:3");
    EXPECT_TRUE(entries[0]->isChecked());

    // Each sheet fills the view with its own object's colour.
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    for (int sheet = 3; sheet >= 1; --sheet) {
        entries[sheet - 1]->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return host->view()->hasPicture(); }, 10000));
        EXPECT_EQ(plan->activeSheetName(), "Sheet:" + std::to_string(sheet));
        const QString file = folder.filePath("sheet.bmp");
        std::int32_t width = 120, height = 0;
        ASSERT_TRUE(host->activeView()->saveBitmap(file.toStdString(), width, height));
        const QImage bitmap(file, "BMP");
        int own = 0, others = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const QRgb pixel = bitmap.pixel(x, y);
                own += pixel == colours[sheet - 1];
                others += pixel != colours[sheet - 1] && pixel != qRgb(255, 255, 255);
            }
        }
        EXPECT_GT(own, width * height / 30) << sheet;
        EXPECT_LT(others, own / 10) << sheet;
    }
    EXPECT_FALSE(host->activateSheet(4));
}

TEST_F(StandInHostTest, DocumentTypesFollowTheExtension) {
    EXPECT_EQ(documentTypeOf("/m/a.ipt"), DocumentType::part);
    EXPECT_EQ(documentTypeOf("/m/a.IAM"), DocumentType::assembly);
    EXPECT_EQ(documentTypeOf("/m/a.idw"), DocumentType::drawing);
    EXPECT_EQ(documentTypeOf("/m/a.ipn"), DocumentType::presentation);
    EXPECT_EQ(documentTypeOf("/m/a.xgl"), DocumentType::unknown);
}

TEST_F(StandInHostTest, AnInvalidWorldShowsTheNumberedMessageAndNoView) {
    auto host = startHost(11);
    const QString path = folder.filePath("Broken.ipt");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<world><lighting><ambient>1 1 1</ambient></lighting><p/></world>");
    file.close();
    ASSERT_TRUE(host->openDocument(path));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !hostMessages.isEmpty(); }, 10000));
    EXPECT_EQ(hostMessages, QStringList{"61: Tag Inappropriate in current context"});
    EXPECT_EQ(host->activeView(), nullptr);
    EXPECT_EQ(host->activeDocumentType(), DocumentType::part);
}

// A picture for a person to look at: the host with a model and its Add-Ins menu open.
TEST_F(StandInHostTest, Screenshot) {
    auto host = startHost(11);
    openAndWait(*host, document("Gear.ipt"));
    CadCamera& camera = host->activeView()->camera();
    ASSERT_TRUE(camera.mouseInput({0, 0}, {2, 3}, 0, kRotateViewOperation));
    camera.apply();
    host->setStatusText("Ready");
    host->menuBar()->setActiveAction(host->addInsMenu()->menuAction());
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->addInsMenu()->isVisible(); }, 5000));
    QTest::qWait(300);
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    const QRect frame = host->frameGeometry().united(host->addInsMenu()->geometry());
    QDir().mkpath(EXPORTAL_SCREENSHOT_OUT);
    ASSERT_TRUE(screen.copy(frame).save(EXPORTAL_SCREENSHOT_OUT "/exportal_host.png"));
    host->addInsMenu()->close();
}

}  // namespace
}  // namespace exportal::testing
