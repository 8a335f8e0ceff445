// The stand-in host's DWF copies, read back with Plotwick's reader and painter and
// compared with the host's own picture of the view.
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "addin_fixture.h"
#include "dwf/dwf_document.h"
#include "dwf/sheet_painter.h"
#include "dwf/w2d_reader.h"
#include "host/host_dwf.h"
#include "save_copy.h"

namespace exportal::testing {
namespace {

using HostDwfTest = AddInTest;

constexpr std::int32_t kFileBrowseContext = 13059;

CadTranslator* dwfTranslator(HostWindow& host) {
    for (int i = 1; i <= host.addInCount(); ++i) {
        const AddInEntry entry = host.addIn(i);
        if (entry.type == kTranslatorAddInType && entry.classId == kDwfTranslatorClassId)
            return entry.translator;
    }
    return nullptr;
}

// Publishes the active document the way the "Compiled DWF" command does.
bool publish(HostWindow& host, const std::string& fileName, const NameValueMap& written) {
    CadTranslator* translator = dwfTranslator(host);
    if (translator == nullptr || host.activeDocument() == nullptr) return false;
    TranslationContext context = host.createTranslationContext();
    context.type = kFileBrowseContext;
    NameValueMap options = host.createNameValueMap();
    DataMedium medium = host.createDataMedium();
    medium.fileName = fileName;
    if (translator->hasSaveCopyAsOptions(*host.activeDocument(), context, options))
        options.insert(options.end(), written.begin(), written.end());
    return translator->saveCopyAs(*host.activeDocument(), context, options, medium);
}

const NameValueMap kPartOptions = {{"Launch_Viewer", std::int16_t{0}},
                                   {"Publish_Component_Props", std::int16_t{1}},
                                   {"Publish_Mass_Props", std::int16_t{1}},
                                   {"Publish_3D_Models", std::int16_t{2}}};

QImage plotwickPicture(const plotwick::Sheet& sheet, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    plotwick::drawSheet(painter, sheet, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

struct Likeness {
    double coverageOverlap;  // model pixels of both over model pixels of either
    double meanDifference;   // per channel, 0..255, over the model pixels of both
};

// Model pixels are those that differ from the corner, which shows the background.
Likeness compare(const QImage& view, const QImage& copy) {
    const QRgb viewBackground = view.pixel(0, 0), copyBackground = copy.pixel(0, 0);
    long both = 0, either = 0;
    double difference = 0;
    for (int y = 0; y < view.height(); ++y) {
        for (int x = 0; x < view.width(); ++x) {
            const QRgb a = view.pixel(x, y), b = copy.pixel(x, y);
            const bool inView = a != viewBackground, inCopy = b != copyBackground;
            either += inView || inCopy;
            if (!(inView && inCopy)) continue;
            ++both;
            difference += (std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                           std::abs(qBlue(a) - qBlue(b))) /
                          3.0;
        }
    }
    return {either ? double(both) / either : 0, both ? difference / both : 255};
}

void keepForALook(const QImage& image, const QString& name) {
    QDir().mkpath(EXPORTAL_SCREENSHOT_OUT);
    image.save(EXPORTAL_SCREENSHOT_OUT "/" + name);
}

// A sample world under a CAD document's name.
QString sampleDocument(const QTemporaryDir& folder, const char* sample, const char* name) {
    const QString path = folder.filePath(name);
    QFile::remove(path);
    EXPECT_TRUE(QFile::copy(QStringLiteral(EXPORTAL_SAMPLES "/") + sample, path));
    return path;
}

// The copy draws the model where the view drew it, in nearly the view's colours (the
// house's textured ground included), on the view's background; its paper has the
// view's aspect. Lines keep one pixel, hence the looser bound for the house's fences.
TEST_F(HostDwfTest, TranslatorCopyShowsInPlotwickAsTheViewShowedIt) {
    const struct {
        const char* sample;
        const char* document;
        double overlap;
        double difference;
    } cases[] = {{"grid.xgl", "Gear.ipt", 0.98, 1.5}, {"house.xgl", "House.iam", 0.98, 4.0}};
    auto host = startHost(11);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sample);
        openAndWait(*host, sampleDocument(folder, c.sample, c.document));
        CadCamera& camera = host->activeView()->camera();
        ASSERT_TRUE(camera.mouseInput({0, 0}, {2, 3}, 0, kRotateViewOperation));
        camera.apply();
        const QString bitmap = folder.filePath("view.bmp");
        std::int32_t width = 0, height = 0;
        ASSERT_TRUE(host->activeView()->saveBitmap(bitmap.toStdString(), width, height));
        const QString stem = QFileInfo(c.document).completeBaseName();
        const QString dwf = folder.filePath(stem + ".DWF");
        ASSERT_TRUE(publish(*host, dwf.toStdString(), kPartOptions));

        const plotwick::DwfDocument document = plotwick::readDwfFile(dwf.toStdString());
        ASSERT_EQ(document.sheets.size(), 1u) << document.message;
        const plotwick::Sheet& sheet = document.sheets[0];
        EXPECT_EQ(sheet.title, stem.toStdString());
        EXPECT_TRUE(sheet.graphics.complete) << sheet.graphics.message;
        ASSERT_TRUE(sheet.paper);
        EXPECT_NEAR(sheet.paper->width / sheet.paper->height, double(width) / height, 1e-3);
        EXPECT_DOUBLE_EQ(std::max(sheet.paper->width, sheet.paper->height), 11.0);

        const QImage view(bitmap, "BMP");
        const QString after = folder.filePath("after.bmp");
        ASSERT_TRUE(host->activeView()->saveBitmap(after.toStdString(), width, height));
        EXPECT_EQ(QImage(after, "BMP"), view);  // the copy left the view as it was
        const QImage copy = plotwickPicture(sheet, view.size());
        keepForALook(view, "dwf_" + stem + "_view.png");
        keepForALook(copy, "dwf_" + stem + "_plotwick.png");
        QFile::remove(EXPORTAL_SCREENSHOT_OUT "/" + stem + ".dwf");
        QFile::copy(dwf, EXPORTAL_SCREENSHOT_OUT "/" + stem + ".dwf");
        EXPECT_EQ(copy.pixel(0, 0), view.pixel(0, 0));  // the view's background
        const Likeness likeness = compare(view, copy);
        EXPECT_GT(likeness.coverageOverlap, c.overlap);
        EXPECT_LT(likeness.meanDifference, c.difference);
    }
}

int pixelsOf(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == colour;
    return count;
}

// With "Publish_All_Sheets" a drawing gets every sheet, the active one as the user
// turned it, and the view is left as it was. A version-10 host's copy comes through
// save-a-copy without options (the active sheet only), and the host notes that it
// was not silent. The host keeps the options as they came.
TEST_F(HostDwfTest, DrawingSheetsAndWhatTheHostReceived) {
    auto host = startHost(10);
    openAndWait(*host, drawing("Plan.idw"));
    ASSERT_TRUE(host->activateSheet(2));
    CadCamera& camera = host->activeView()->camera();
    ASSERT_TRUE(camera.mouseInput({0, 0}, {1, 1}, 0, kRotateViewOperation));
    camera.apply();
    QTest::qWait(100);  // the window settles after the sheet change
    const QString before = folder.filePath("before.bmp"), after = folder.filePath("after.bmp");
    std::int32_t width = 0, height = 0;
    ASSERT_TRUE(host->activeView()->saveBitmap(before.toStdString(), width, height));
    NameValueMap drawingOptions = kPartOptions;
    drawingOptions.emplace_back("Publish_All_Sheets", true);
    const QString all = folder.filePath("Plan.DWF"), one = folder.filePath("Copy.dwf");
    ASSERT_TRUE(publish(*host, all.toStdString(), drawingOptions));
    ASSERT_TRUE(host->activeView()->saveBitmap(after.toStdString(), width, height));
    EXPECT_EQ(QImage(after, "BMP"), QImage(before, "BMP"));
    EXPECT_EQ(host->activeDocument()->activeSheetName(), "Sheet:2");
    host->setSilentOperation(false);
    ASSERT_TRUE(saveCopyAs(*host, one.toStdString()));

    QFile::remove(EXPORTAL_SCREENSHOT_OUT "/Plan.dwf");
    QFile::copy(all, EXPORTAL_SCREENSHOT_OUT "/Plan.dwf");
    const plotwick::DwfDocument sheets = plotwick::readDwfFile(all.toStdString());
    const plotwick::DwfDocument active = plotwick::readDwfFile(one.toStdString());
    ASSERT_EQ(sheets.sheets.size(), 3u) << sheets.message;
    ASSERT_EQ(active.sheets.size(), 1u) << active.message;
    EXPECT_EQ(active.sheets[0].title, "Sheet:2");
    const QSize size(width, height);
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sheets.sheets[i].title, "Sheet:" + std::to_string(i + 1));
        EXPECT_GT(pixelsOf(plotwickPicture(sheets.sheets[i], size), colours[i]),
                  width * height / 30)
            << i;
    }
    const QImage turned = plotwickPicture(active.sheets[0], size);
    EXPECT_EQ(plotwickPicture(sheets.sheets[1], size), turned);
    EXPECT_GT(compare(QImage(before, "BMP"), turned).coverageOverlap, 0.98);

    const std::vector<DwfPublication>& received = host->dwfPublications();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_TRUE(received[0].throughTranslator);
    EXPECT_EQ(received[0].context.type, kFileBrowseContext);
    EXPECT_EQ(received[0].options, drawingOptions);
    EXPECT_EQ(received[0].sheets, 3);
    EXPECT_FALSE(received[1].throughTranslator);
    EXPECT_FALSE(received[1].silent);
    EXPECT_TRUE(received[1].options.empty());
    EXPECT_EQ(received[1].fileName, one.toStdString());
    EXPECT_TRUE(hostMessages.isEmpty()) << hostMessages.join("\n").toStdString();
}

// A part whose mesh is shared by two objects and drawn once more inside a moved parent,
// in two materials, with a line (which a model leaves out); its placements are whole
// turns and scales, so its figures are known by hand.
const char kBracket[] =
    R"(<WORLD><BACKGROUND><BACKCOLOR>1,1,1</BACKCOLOR></BACKGROUND><LIGHTING><AMBIENT>1,1,1</AMBIENT></LIGHTING>
<MAT ID="1"><AMB>0.2,0.2,0.2</AMB><DIFF>1,0,0</DIFF></MAT>
<MAT ID="2"><AMB>0.2,0.2,0.2</AMB><DIFF>0,0.4,1</DIFF></MAT>
<MESH ID="7">
<F><MATREF>1</MATREF><FV1><P>0,0,0</P></FV1><FV2><P>1,0,0</P></FV2><FV3><P>1,1,0</P></FV3></F>
<F><MATREF>1</MATREF><FV1><P>0,0,0</P></FV1><FV2><P>1,1,0</P></FV2><FV3><P>0,1,0</P></FV3></F>
<F><MATREF>2</MATREF><FV1><P>0,0,0</P></FV1><FV2><P>0,0,1</P></FV2><FV3><P>0,1,0</P></FV3></F>
<L><MATREF>2</MATREF><LV1><P>0,0,0</P></LV1><LV2><P>9,9,9</P></LV2></L>
</MESH>
<OBJECT><TRANSFORM><FORWARD>0,0,1</FORWARD><UP>0,1,0</UP><POSITION>-1,0,0</POSITION></TRANSFORM><MESHREF>7</MESHREF></OBJECT>
<OBJECT><TRANSFORM><FORWARD>1,0,0</FORWARD><UP>0,1,0</UP><POSITION>3,0,0</POSITION><SCALE>2</SCALE></TRANSFORM><MESHREF>7</MESHREF></OBJECT>
<OBJECT><TRANSFORM><FORWARD>0,0,1</FORWARD><UP>0,1,0</UP><POSITION>0,0,5</POSITION></TRANSFORM>
<OBJECT><MESHREF>7</MESHREF></OBJECT></OBJECT>
</WORLD>
)";

using Rgb = std::array<float, 3>;

std::map<Rgb, std::size_t> trianglesByColour(const plotwick::W3dModel& model) {
    std::map<Rgb, std::size_t> count;
    for (const plotwick::W3dTriangleSet& set : model.sets)
        count[set.colour.value_or(Rgb{-1, -1, -1})] += model.meshes[set.mesh].triangles.size() / 3;
    return count;
}

NameValueMap withModels(NameValueMap options) {
    for (auto& [name, value] : options) {
        if (name == "Publish_3D_Models") value = true;
    }
    return options;
}

// With "Publish_3D_Models" true the copy holds the part's meshes as a 3D model beside
// its sheet: every use of the shared mesh, in the materials' colours, within the box
// its placements give; the mesh itself is written once. With the 2 the add-in writes
// for "no" there is only the sheet.
TEST_F(HostDwfTest, Publish3DModelsPutsThePartsMeshesBesideItsSheet) {
    const QString part = folder.filePath("Bracket.ipt");
    QFile file(part);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(kBracket) > 0);
    file.close();
    auto host = startHost(11);
    openAndWait(*host, part);
    const QString modelled = folder.filePath("Bracket.DWF"), flat = folder.filePath("Flat.dwf");
    ASSERT_TRUE(publish(*host, modelled.toStdString(), withModels(kPartOptions)));
    ASSERT_TRUE(publish(*host, flat.toStdString(), kPartOptions));

    const plotwick::DwfDocument document = plotwick::readDwfFile(modelled.toStdString());
    ASSERT_EQ(document.sheets.size(), 1u) << document.message;
    ASSERT_EQ(document.models.size(), 1u);
    const plotwick::W3dModel& model = document.models[0];
    EXPECT_EQ(model.title, "Bracket");
    EXPECT_EQ(model.message, "");
    EXPECT_EQ(model.triangleCount, 9u);
    EXPECT_EQ(model.sets.size(), 6u) << "two materials in three places";
    EXPECT_EQ(model.meshes.size(), 2u) << "the shared mesh is written once";
    const std::map<Rgb, std::size_t> expected = {{Rgb{1, 0, 0}, 6}, {Rgb{0, 102 / 255.0f, 1}, 3}};
    EXPECT_EQ(trianglesByColour(model), expected);
    // Left: x - 1. Right: (x, y, z) goes to (3 + 2z, 2y, -2x). Nested: z + 5.
    const plotwick::W3dBox box{-1, 0, -2, 5, 2, 6};
    EXPECT_EQ(model.extents, box);
    EXPECT_EQ(model.fitBox, box) << "the reader's own box agrees with the extents";

    const plotwick::DwfDocument sheetOnly = plotwick::readDwfFile(flat.toStdString());
    EXPECT_EQ(sheetOnly.sheets.size(), 1u);
    EXPECT_TRUE(sheetOnly.models.empty());
    const std::vector<DwfPublication>& received = host->dwfPublications();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].models, 1);
    EXPECT_EQ(received[1].models, 0);
    EXPECT_TRUE(hostMessages.isEmpty()) << hostMessages.join("\n").toStdString();
}

// The model beside the sheet carries the view's camera: Plotwick draws it where the
// turned view drew it (in its own light; lines, points and textures are not in a model).
TEST_F(HostDwfTest, ThePublishedModelIsSeenAsTheViewShowedIt) {
    auto host = startHost(11);
    for (const auto& [sample, document] :
         {std::pair{"grid.xgl", "Gear.ipt"}, std::pair{"house.xgl", "House.iam"}}) {
        SCOPED_TRACE(sample);
        openAndWait(*host, sampleDocument(folder, sample, document));
        CadCamera& camera = host->activeView()->camera();
        ASSERT_TRUE(camera.mouseInput({0, 0}, {5, 2}, 0, kRotateViewOperation));
        camera.apply();
        const QString bitmap = folder.filePath("view.bmp");
        std::int32_t width = 0, height = 0;
        ASSERT_TRUE(host->activeView()->saveBitmap(bitmap.toStdString(), width, height));
        const QString dwf = folder.filePath("Seen.dwf"), png = folder.filePath("model.png");
        ASSERT_TRUE(publish(*host, dwf.toStdString(), withModels(kPartOptions)));
        QProcess render;
        render.start(EXPORTAL_PLOTWICK, {"--render", dwf, "-o", png, "--sheet", "2", "--size",
                                         QString("%1x%2").arg(width).arg(height)});
        ASSERT_TRUE(render.waitForFinished(60000));
        ASSERT_EQ(render.exitCode(), 0) << render.readAllStandardOutput().toStdString();
        const QImage view(bitmap, "BMP"), model(png);
        keepForALook(model, QString("dwf_model_%1.png").arg(document));
        EXPECT_GT(compare(view, model).coverageOverlap, 0.9);
    }
}

// The samples' models hold every face the viewer's document information counts, and
// the reader's own box of what it decodes agrees with the extents written.
TEST_F(HostDwfTest, SampleModelsHoldEveryFaceOfTheirWorld) {
    const struct {
        const char* sample;
        const char* document;
        std::size_t faces;  // as `tessaro-cli info` counts them
    } cases[] = {{"grid.xgl", "Gear.ipt", 98}, {"house.xgl", "House.iam", 86}};
    auto host = startHost(11);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sample);
        openAndWait(*host, sampleDocument(folder, c.sample, c.document));
        const QString copy = folder.filePath(QString(c.document) + ".dwf");
        ASSERT_TRUE(publish(*host, copy.toStdString(), withModels(kPartOptions)));
        const plotwick::DwfDocument document = plotwick::readDwfFile(copy.toStdString());
        ASSERT_EQ(document.models.size(), 1u);
        const plotwick::W3dModel& model = document.models[0];
        EXPECT_EQ(model.message, "");
        EXPECT_EQ(model.triangleCount, c.faces);
        ASSERT_TRUE(model.extents.has_value());
        EXPECT_EQ(model.fitBox, model.extents);
    }
}

// A drawing's sheets are each a world of their own: every sheet written brings its
// model, titled as the sheet.
TEST_F(HostDwfTest, ADrawingPublishesTheModelOfEachSheetItWrites) {
    auto host = startHost(11);
    openAndWait(*host, drawing("Plan.idw"));
    ASSERT_TRUE(host->activateSheet(2));
    NameValueMap allSheets = withModels(kPartOptions);
    allSheets.emplace_back("Publish_All_Sheets", true);
    const QString all = folder.filePath("Plan.DWF"), one = folder.filePath("One.dwf");
    ASSERT_TRUE(publish(*host, all.toStdString(), allSheets));
    ASSERT_TRUE(publish(*host, one.toStdString(), withModels(kPartOptions)));
    const struct {
        QString file;
        std::vector<std::string> titles;
        std::vector<Rgb> colours;
        std::vector<std::size_t> triangles;
    } cases[] = {
        {all, {"Sheet:1", "Sheet:2", "Sheet:3"}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {1, 2, 2}},
        {one, {"Sheet:2"}, {{0, 1, 0}}, {2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        const plotwick::DwfDocument document = plotwick::readDwfFile(c.file.toStdString());
        EXPECT_EQ(document.sheets.size(), c.titles.size());
        ASSERT_EQ(document.models.size(), c.titles.size());
        for (std::size_t i = 0; i < c.titles.size(); ++i) {
            EXPECT_EQ(document.models[i].title, c.titles[i]);
            EXPECT_EQ(trianglesByColour(document.models[i]),
                      (std::map<Rgb, std::size_t>{{c.colours[i], c.triangles[i]}}));
        }
    }
}

// "Launch_Viewer" as 1 starts Plotwick on the finished copy; the 0 of the table does not.
TEST_F(HostDwfTest, LaunchViewerStartsPlotwickOnTheCopy) {
    const QString bin = folder.filePath("bin"), shown = folder.filePath("shown.txt");
    ASSERT_TRUE(QDir().mkpath(bin));
    QFile script(bin + "/plotwick");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nprintf '%s' \"$1\" > '" + shown.toUtf8() + ".new'\n" + "mv '" +
                 shown.toUtf8() + ".new' '" + shown.toUtf8() + "'\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    struct PathFirst {
        explicit PathFirst(const QString& folder) { qputenv("PATH", folder.toUtf8() + ":" + path); }
        ~PathFirst() { qputenv("PATH", path); }
        const QByteArray path = qgetenv("PATH");
    } pathFirst(bin);
    auto host = startHost(11);
    openAndWait(*host, document("Gear.ipt"));
    ASSERT_TRUE(publish(*host, folder.filePath("Quiet.dwf").toStdString(), kPartOptions));
    QTest::qWait(500);
    EXPECT_FALSE(QFile::exists(shown));
    const QString copy = folder.filePath("Shown.dwf");
    ASSERT_TRUE(publish(*host, copy.toStdString(), {{"Launch_Viewer", std::int16_t{1}}}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(shown); }, 5000));
    QFile argument(shown);
    ASSERT_TRUE(argument.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(argument.readAll()), copy);
}

// A copy that cannot be made says so, returns false and leaves what was there; no
// file that the copy did not make is touched, and none of its own is left behind.
TEST_F(HostDwfTest, FailedCopiesAreReportedAndLeaveNoFile) {
    auto host = startHost(11);
    EXPECT_FALSE(saveCopyAs(*host, folder.filePath("Nothing.dwf").toStdString()));
    openAndWait(*host, document("Gear.ipt"));
    const struct {
        const char* name;
        QString fileName;
        rlim_t fileSizeLimit = RLIM_INFINITY;
    } cases[] = {
        {"no name", QString()},
        {"missing folder", folder.filePath("no/such/folder/Gear.dwf")},
        {"a folder in the way", folder.filePath("Taken.dwf")},
        {"an earlier copy stays when the disk fills", folder.filePath("Earlier.dwf"), 1024},
    };
    ASSERT_TRUE(QDir(folder.path()).mkdir("Taken.dwf"));
    QFile earlier(folder.filePath("Earlier.dwf"));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
    earlier.close();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hostMessages.clear();
        {
            const FileSizeLimit limit(c.fileSizeLimit);
            EXPECT_FALSE(publish(*host, c.fileName.toStdString(), kPartOptions));
        }
        EXPECT_EQ(hostMessages.size(), 1);
        EXPECT_EQ(host->dwfPublications().back().sheets, 0);
    }
    EXPECT_TRUE(QFileInfo(folder.filePath("Taken.dwf")).isDir());
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), "earlier");
    const QStringList partial = {"*.dwf.*"};
    EXPECT_EQ(QDir(folder.path()).entryList(partial, QDir::Files), QStringList{});

    // A name the copy might have used for its own partial file is the user's.
    QFile mine(folder.filePath("Earlier.dwf.part"));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly) && mine.write("mine") == 4);
    mine.close();
    EXPECT_TRUE(publish(*host, folder.filePath("Earlier.dwf").toStdString(), kPartOptions));
    EXPECT_EQ(QDir(folder.path()).entryList(partial, QDir::Files), QStringList{"Earlier.dwf.part"});
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), "mine");
    EXPECT_EQ(QFileInfo(earlier).permissions() & QFile::ReadOther, QFile::ReadOther);

    HostDocument stranger(folder.filePath("Other.ipt").toStdString(), {});
    DataMedium medium{folder.filePath("Other.dwf").toStdString()};
    EXPECT_FALSE(dwfTranslator(*host)->saveCopyAs(stranger, {}, {}, medium));
    EXPECT_FALSE(QFile::exists(folder.filePath("Other.dwf")));
}

// Faces are cut into small triangles that cover them exactly, in colours between their
// corners' colours; everything far is written before the line, the line before the near.
TEST(HostDwfSheet, FacesBecomeSmallTrianglesWrittenBackToFront) {
    const plotwick::Rgba red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255};
    SheetPicture sheet{"Sheet", {}, {}};
    sheet.picture.width = 100;
    sheet.picture.height = 50;
    sheet.picture.primitives = {
        {{{10, 10, 0.2, red}, {90, 10, 0.2, red}, {50, 40, 0.2, red}}},
        {{{10, 10, 0.8, green}, {90, 10, 0.8, blue}, {90, 40, 0.8, green}, {10, 40, 0.8, blue}}},
        {{{0, 0, 0.5, {9, 9, 9, 255}}, {100, 50, 0.5, {9, 9, 9, 255}}}}};
    const plotwick::W2dGraphics graphics = plotwick::readW2d(sheetOf(sheet).stream);
    ASSERT_TRUE(graphics.complete) << graphics.message;
    const double pixel = double(graphics.view->max.x) / 100;
    std::string order;  // after the background: f far, l line, n near
    double area[2] = {0, 0};
    for (std::size_t i = 1; i < graphics.ops.size(); ++i) {
        const plotwick::DrawOp& op = graphics.ops[i];
        const bool near = op.colour == red;
        order += op.kind == plotwick::OpKind::line ? 'l' : near ? 'n' : 'f';
        if (op.kind != plotwick::OpKind::polytriangle) continue;
        const auto& p = op.points;
        area[near] += std::abs(double((p[1].x - p[0].x) * (p[2].y - p[0].y) -
                                      (p[1].y - p[0].y) * (p[2].x - p[0].x))) /
                      (2 * pixel * pixel);
        if (!near) {
            EXPECT_NEAR(op.colour.g + op.colour.b, 255, 2);
        }
    }
    EXPECT_GT(order.size(), 20u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));  // 'f' < 'l' < 'n'
    EXPECT_NEAR(area[0], 80 * 30, 1);
    EXPECT_NEAR(area[1], 80 * 30 / 2, 1);
    EXPECT_DOUBLE_EQ(paperFor(300, 600).width, 5.5);
    EXPECT_DOUBLE_EQ(paperFor(300, 600).height, 11.0);
}

}  // namespace
}  // namespace exportal::testing
