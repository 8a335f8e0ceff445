// "Compiled DWF": what the host's translator or save-a-copy receives, the dialog's keys,
// the script the real NSIS compiler builds from, and the packaged executable under wine
// on a machine without the DWF viewer control and on one with it.
#include <QCheckBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QOpenGLContext>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

#include "builder_fixture.h"
#include "dwf/dwf_document.h"
#include "dwf_package.h"
#include "frm_to_dwf.h"
#include "model_gl/model_camera.h"
#include "plotwick_window.h"

namespace exportal::testing {
namespace {

// The twenty-three lines as written, CR LF between them and none after the last.
const char kDwfScript[] =
    "Name \"DWF Viewer\"\r\n"
    "OutFile \"#EXE_FILENAME\"\r\n"
    "!define DWF_FILE \"#DWF_FILENAME\"\r\n"
    "!define DWF_PATH \"#DWF_PATH_ONLY\"\r\n"
    "!define APP_PATH \"#DWF_APP_PATH\"\r\n"
    "InstallDir $TEMP\\Plotwick\r\n"
    "SilentInstall silent\r\n"
    "Section \"\"\r\n"
    "SetOutPath $INSTDIR\r\n"
    "ReadRegStr $0 HKCR \"AdView.AdViewer\" \"\"\r\n"
    "StrCmp $0 \"Autodesk Dwf Viewer Control\" HasAD\r\n"
    "MessageBox MB_YESNO \"Autodesk DWF Viewer Must be Installed to view this type of file, Do "
    "you want to Install it?\" IDYES DoInst IDNO NoInst\r\n"
    "DoInst:\r\n"
    "messagebox MB_OK \"Try running this program again after Installing the DWF Viewer\"\r\n"
    "ExecShell \"open\" \"https://www.autodesk.com/viewers\" SW_SHOWNORMAL\r\n"
    "GoTo NoInst\r\n"
    "HasAD:\r\n"
    "File \"${APP_PATH}\\RunPlotwick.exe\"\r\n"
    "File \"${DWF_PATH}\\${DWF_FILE}\"\r\n"
    "ExecWait '\"$INSTDIR\\RunPlotwick.exe\" \"${DWF_FILE}\"'\r\n"
    "Delete \"$INSTDIR\\*.*\"\r\n"
    "NoInst:\r\n"
    "SectionEnd";

constexpr std::int32_t kFileBrowseContext = 13059;

class DwfBuilderTest : public BuilderTest {
  protected:
    void SetUp() override {
        BuilderTest::SetUp();
        writeFile(addin + "/RunPlotwick.exe", "MZ a launcher stand-in");
        storeDwf({{"PlotwickWhenDone", "0"}});
    }
    void storeDwf(const std::vector<std::pair<std::string, std::string>>& values) {
        for (const auto& [key, value] : values)
            ASSERT_TRUE(writeSetting(kDwfCompilerApplication, key, value));
    }
    frmToDWF* pressCompileDwf(HostWindow& host) {
        return dynamic_cast<frmToDWF*>(pressCommand(host, kCompiledDwfCommand));
    }
    // A compiler that succeeds at once: these tests look at what came before it.
    void quickCompiler() {
        writeFile(addin + "/MAKENSIS.EXE", "#!/bin/sh\nexit 0\n");
        QFile(addin + "/MAKENSIS.EXE").setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
};

TEST_F(DwfBuilderTest, TranslatorReceivesTheOptionsOfTheTableInOrder) {
    quickCompiler();
    const NameValueMap common = {{"Launch_Viewer", std::int16_t{0}},
                                 {"Publish_Component_Props", std::int16_t{1}},
                                 {"Publish_Mass_Props", std::int16_t{1}}};
    struct Case {
        const char* name;
        bool drawing;
        const char* publish3D;
        NameValueMap tail;
    } cases[] = {
        {"part, 3D clear", false, "0", {{"Publish_3D_Models", std::int16_t{2}}}},
        {"part, 3D checked", false, "1", {{"Publish_3D_Models", true}}},
        {"drawing",
         true,
         "0",
         {{"Publish_3D_Models", std::int16_t{2}}, {"Publish_All_Sheets", true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        storeDwf({{"DWFPublish3D", c.publish3D}});
        std::unique_ptr<HostWindow> host;
        QString stem = folder.filePath("m/Gear.");
        if (c.drawing) {
            host = startHost(11);
            openAndWait(*host, drawing("m/Plan.idw"));
            stem = folder.filePath("m/Plan.");
        } else {
            host = hostWithGear();
        }
        QFile::remove(stem + "DWF");  // kept by the case before, it would be kept again
        frmToDWF* dialog = pressCompileDwf(*host);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(messages, QStringList{});
        ASSERT_EQ(host->dwfPublications().size(), 1u);
        const DwfPublication& received = host->dwfPublications().back();
        EXPECT_TRUE(received.throughTranslator);
        EXPECT_EQ(received.fileName, (stem + "DWF").toStdString());
        EXPECT_EQ(received.context.type, kFileBrowseContext);
        NameValueMap expected = common;
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(received.options, expected);
        EXPECT_GE(received.sheets, 1);
        EXPECT_EQ(received.models, std::string(c.publish3D) == "1" ? 1 : 0);
        EXPECT_TRUE(QFile::exists(stem + "DWF"));
        EXPECT_TRUE(QFile::exists(stem + "exe"));
        EXPECT_EQ(dialog->lblStatus->text(), "Finished");
    }
}

// The host is left silent on purpose: the add-in switches it off before the copy.
TEST_F(DwfBuilderTest, OlderHostSavesACopyWithSilentOperationOff) {
    quickCompiler();
    auto host = startHost(10);
    gear = document("m/Gear.ipt");
    openAndWait(*host, gear);
    host->setSilentOperation(true);
    pressCompileDwf(*host);
    EXPECT_EQ(messages, QStringList{});
    ASSERT_EQ(host->dwfPublications().size(), 1u);
    const DwfPublication& received = host->dwfPublications().back();
    EXPECT_FALSE(received.throughTranslator);
    EXPECT_FALSE(received.silent);
    EXPECT_TRUE(received.options.empty());
    EXPECT_EQ(received.fileName, folder.filePath("m/Gear.DWF").toStdString());
    EXPECT_TRUE(QFile::exists(folder.filePath("m/Gear.exe")));
}

// Without a copy nothing is compiled, so an earlier DWF of that name is never packed.
TEST_F(DwfBuilderTest, UnsavedDocumentOrFailedCopyStopsBeforeCompiling) {
    quickCompiler();
    auto unsaved = startHost(11);
    pressCompileDwf(*unsaved);
    EXPECT_EQ(messages, QStringList{"You must first save your file before you can Export to DWF"});
    unsaved.reset();
    for (int version : {10, 11}) {
        SCOPED_TRACE(version);
        auto host = startHost(version);
        openAndWait(*host, document("m/Gear.ipt"));
        hostMessages.clear();
        {
            const FileSizeLimit fullDisk(2048);
            pressCompileDwf(*host);
        }
        EXPECT_EQ(hostMessages.size(), 1);
        EXPECT_EQ(messages, QStringList{});
        EXPECT_FALSE(QFile::exists(addin + "/DWFScript.nsi"));
        EXPECT_FALSE(QFile::exists(folder.filePath("m/Gear.exe")));
    }
}

// A DWF of the document's name that is already there stays as it is, also after
// "Delete DWF"; the package gets a fresh copy made elsewhere.
TEST_F(DwfBuilderTest, ADwfAlreadyThereIsKeptAndAFreshCopyIsPublished) {
    quickCompiler();
    storeDwf({{"DWFDelDWF", "1"}});
    auto host = hostWithGear();
    const QString own = folder.filePath("m/Gear.DWF");
    writeFile(own, "the user's own DWF");
    pressCompileDwf(*host);
    EXPECT_EQ(messages, QStringList{});
    ASSERT_EQ(host->dwfPublications().size(), 1u);
    const QString published = QString::fromStdString(host->dwfPublications()[0].fileName);
    EXPECT_NE(published, own);
    EXPECT_TRUE(published.endsWith("/Gear.DWF")) << published.toStdString();
    EXPECT_FALSE(QFile::exists(published));  // its folder went with it
    EXPECT_EQ(contentOf(own), "the user's own DWF");
    EXPECT_TRUE(QFile::exists(folder.filePath("m/Gear.exe")));
}

// The stand-in host without add-ins: what the add-in sees where the DWF translator is
// not installed.
class HostWithoutAddIns final : public CadHost {
  public:
    explicit HostWithoutAddIns(HostWindow& host) : m_host(host) {}
    CadDocument* activeDocument() override { return m_host.activeDocument(); }
    DocumentType activeDocumentType() override { return m_host.activeDocumentType(); }
    CadView* activeView() override { return m_host.activeView(); }
    Point2d createPoint2d(double x, double y) override { return {x, y}; }
    void setStatusText(const std::string& text) override { m_host.setStatusText(text); }
    void setSilentOperation(bool silent) override { m_host.setSilentOperation(silent); }
    bool silentOperation() const override { return m_host.silentOperation(); }
    QWidget* mainWindow() override { return m_host.mainWindow(); }
    void postPrivateEvent(int type, const std::string& data) override {
        m_host.postPrivateEvent(type, data);
    }
    bool startCommand(int id) override { return m_host.startCommand(id); }
    int softwareVersionMajor() const override { return 11; }
    int addInCount() const override { return 0; }
    AddInEntry addIn(int) const override { return {}; }
    TranslationContext createTranslationContext() override { return {}; }
    NameValueMap createNameValueMap() override { return {}; }
    DataMedium createDataMedium() override { return {}; }
    bool evaluateLength(const std::string&, const std::string&, double&) const override {
        return false;
    }
    bool ready() const override { return true; }
    void subscribe(SaveEventSink*) override {}
    void unsubscribe(SaveEventSink*) override {}
    std::unique_ptr<CadCommand> createCommand(const std::string&, int, bool) override {
        return nullptr;
    }

  private:
    HostWindow& m_host;
};

TEST_F(DwfBuilderTest, MissingTranslatorIsReportedAndNothingIsCompiled) {
    quickCompiler();
    auto host = hostWithGear();
    openDialog(*host, kCompiledDwfCommand);
    HostWithoutAddIns withoutAddIns(*host);
    setHostApplication(&withoutAddIns);
    pressCompileDwf(*host);
    setHostApplication(host.get());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("The host has no DWF translator"))
        << messages[0].toStdString();
    EXPECT_TRUE(host->dwfPublications().empty());
    EXPECT_FALSE(QFile::exists(folder.filePath("m/Gear.exe")));
}

TEST_F(DwfBuilderTest, DialogLoadsTheDefaultsAndStoresEachBoxOnItsKey) {
    // A template file beside the add-in is never read, and never warned about.
    writeFile(addin + "/Plotwick.nsi", "Name \"Mine\"");
    auto host = startHost(11);
    ASSERT_TRUE(writeSetting(kDwfCompilerApplication, "PlotwickWhenDone", "1"));
    auto* dialog = dynamic_cast<frmToDWF*>(openDialog(*host, kCompiledDwfCommand));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(messages, QStringList{});
    EXPECT_EQ(dialog->templateText(), dwf::DefaultScriptTemplate());
    EXPECT_EQ(dialog->windowTitle(), "Compiled DWF");
    EXPECT_EQ(dialog->cmdCompile->text(), "Compile DWF");
    EXPECT_EQ(dialog->chkDelete->text(), "Delete DWF");
    EXPECT_EQ(dialog->chkDelete->toolTip(), "Removes intermediate XGL file after compiling");
    EXPECT_EQ(dialog->chkPublish3D->text(), "Publish 3D Models with IDW's");
    EXPECT_EQ(dialog->txtAltDir->text(), addin);
    EXPECT_FALSE(dialog->txtAltDir->isEnabled());
    const struct {
        QCheckBox* box;
        const char* key;
        bool byDefault;
    } boxes[] = {{dialog->chkAlternate, "DWFUseAltDir", false},
                 {dialog->chkViewWhenDone, "PlotwickWhenDone", true},
                 {dialog->chkShowScript, "DWFShowScript", false},
                 {dialog->chkDelete, "DWFDelDWF", false},
                 {dialog->chkPublish3D, "DWFPublish3D", false}};
    for (const auto& b : boxes) {
        SCOPED_TRACE(b.key);
        EXPECT_EQ(b.box->isChecked(), b.byDefault);
        b.box->click();
        EXPECT_EQ(readSetting(kDwfCompilerApplication, b.key), b.byDefault ? "0" : "1");
        EXPECT_EQ(readSetting(kXglCompilerApplication, b.key), std::string());
    }
    EXPECT_TRUE(dialog->txtAltDir->isEnabled());
    setFolderPicker([](QWidget*, const QString&) { return QString("/chosen"); });
    dialog->cmdBrowse->click();
    EXPECT_EQ(readSetting(kDwfCompilerApplication, "DWFAltDir"), "/chosen");
    EXPECT_EQ(readSetting(kXglCompilerApplication, "XGLAltDir"), addin.toStdString());
    // A fresh load reads what the clicks stored.
    dialog->cmdDone->click();
    openDialog(*host, kCompiledDwfCommand);
    EXPECT_TRUE(dialog->chkPublish3D->isChecked());
    EXPECT_FALSE(dialog->chkViewWhenDone->isChecked());
    EXPECT_EQ(dialog->txtAltDir->text(), "/chosen");
}

// The house's materials as they come out lit: the roof's red (0.70, 0.16, 0.12) keeps
// red at least three times its green and blue; the walls' cream (0.93, 0.87, 0.72) keeps
// its channels close, falling from red to blue.
bool roofRed(QRgb c) {
    return qRed(c) > 60 && qRed(c) > 3 * qGreen(c) && qRed(c) > 3 * qBlue(c);
}
bool wallCream(QRgb c) {
    return qRed(c) > 90 && qGreen(c) >= 0.85 * qRed(c) && qGreen(c) <= qRed(c) &&
           qBlue(c) >= 0.6 * qRed(c) && qBlue(c) < qGreen(c) - 4;
}

struct HouseInk {
    long roof = 0, walls = 0;
    double roofY = 0, wallsY = 0;  // mean rows, as fractions of the height
};

HouseInk houseInk(const QImage& image) {
    HouseInk ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (roofRed(c)) ++ink.roof, ink.roofY += y;
            if (wallCream(c)) ++ink.walls, ink.wallsY += y;
        }
    }
    if (ink.roof) ink.roofY /= ink.roof * double(image.height());
    if (ink.walls) ink.wallsY /= ink.walls * double(image.height());
    return ink;
}

// Pixels of two pictures of one size that differ by more than `tolerance` in a channel.
long pixelsApart(const QImage& a, const QImage& b, int tolerance) {
    long count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            count += std::abs(qRed(p) - qRed(q)) > tolerance ||
                     std::abs(qGreen(p) - qGreen(q)) > tolerance ||
                     std::abs(qBlue(p) - qBlue(q)) > tolerance;
        }
    }
    return count;
}

void keepForALook(const QImage& image, const QString& name) {
    QDir().mkpath(EXPORTAL_SCREENSHOT_OUT);
    image.save(EXPORTAL_SCREENSHOT_OUT "/" + name);
}

// `plotwick --render` of the DWF's page 2 (its model) at `size`, through `png`; a
// null image when it failed.
QImage renderedModel(const QString& dwf, QSize size, const QString& png) {
    QProcess render;
    render.start(EXPORTAL_PLOTWICK,
                 {"--render", dwf, "-o", png, "--size",
                  QString("%1x%2").arg(size.width()).arg(size.height()), "--sheet", "2"});
    if (!render.waitForFinished(60000) || render.exitCode() != 0) return {};
    return QImage(png);
}

// Where Plotwick's camera puts a world point on a width x height picture, in pixels
// from the top left: the arithmetic OpenGL does with the view matrix and the volume.
QPointF onScreen(const plotwick::ModelCamera& camera, const plotwick::W3dBox& box,
                 const plotwick::Vector3& point, int width, int height) {
    const auto m = plotwick::viewMatrix(camera);
    const double x = m[0] * point[0] + m[4] * point[1] + m[8] * point[2] + m[12];
    const double y = m[1] * point[0] + m[5] * point[1] + m[9] * point[2] + m[13];
    const plotwick::ViewVolume v = plotwick::viewVolume(camera, box, width, height);
    return {(x - v.left) / (v.right - v.left) * width, (v.top - y) / (v.top - v.bottom) * height};
}

// The chimney's brick (0.50, 0.25, 0.20): red about twice its green, unlike the roof.
bool chimneyBrick(QRgb c) {
    return qRed(c) > 40 && qRed(c) > 1.5 * qGreen(c) && qRed(c) < 3 * qGreen(c) &&
           qRed(c) > 1.5 * qBlue(c);
}

// With "Publish 3D Models" checked, "Compiled DWF" of a part leaves a copy whose second
// page is the part's model: `plotwick --render` draws the house there in its materials'
// colours, roof above walls, and Plotwick's window pages to it, turns it with a left
// drag and brings the published view back with Home.
TEST_F(DwfBuilderTest, ThePublishedModelOpensInPlotwickAndTurns) {
    quickCompiler();
    storeDwf({{"DWFPublish3D", "1"}, {"DWFDelDWF", "0"}});
    auto host = hostWithGear({}, "house.xgl");
    frmToDWF* dialog = pressCompileDwf(*host);
    ASSERT_EQ(messages, QStringList{});
    ASSERT_EQ(dialog->lblStatus->text(), "Finished");
    const QString dwf = folder.filePath("m/Gear.DWF");
    ASSERT_TRUE(QFile::exists(dwf));
    QDir().mkpath(EXPORTAL_SCREENSHOT_OUT);
    QFile::remove(EXPORTAL_SCREENSHOT_OUT "/published-house.dwf");
    QFile::copy(dwf, EXPORTAL_SCREENSHOT_OUT "/published-house.dwf");

    const QImage rendered = renderedModel(dwf, {400, 300}, folder.filePath("model.png"));
    ASSERT_EQ(rendered.size(), QSize(400, 300));
    keepForALook(rendered, "published-house-model.png");
    const HouseInk ink = houseInk(rendered);
    std::printf("--render: roof %ld px at %.2f, walls %ld px at %.2f\n", ink.roof, ink.roofY,
                ink.walls, ink.wallsY);
    EXPECT_GT(ink.roof, 2000) << "the roof's red";
    EXPECT_GT(ink.walls, 2000) << "the walls' cream";
    EXPECT_LT(ink.roofY, ink.wallsY) << "the roof sits on the walls";
    // The chimney stands on the right half of the roof (x 0.9 to 1.4, z -0.9 to -0.4,
    // up to 4.3): a mirrored model would show it where x is negative.
    const plotwick::DwfDocument document = plotwick::readDwfFile(dwf.toStdString());
    ASSERT_EQ(document.models.size(), 1u);
    const plotwick::W3dModel& model = document.models[0];
    ASSERT_TRUE(model.fitBox);
    const plotwick::ModelCamera camera = plotwick::publishedCamera(model);
    const QPoint chimney = onScreen(camera, *model.fitBox, {1.15, 4.1, -0.65}, 400, 300).toPoint();
    const QPoint mirrored =
        onScreen(camera, *model.fitBox, {-1.15, 4.1, -0.65}, 400, 300).toPoint();
    std::printf("chimney at %d,%d: %08x; mirrored at %d,%d: %08x\n", chimney.x(), chimney.y(),
                rendered.pixel(chimney), mirrored.x(), mirrored.y(), rendered.pixel(mirrored));
    EXPECT_TRUE(chimneyBrick(rendered.pixel(chimney))) << "the chimney where it stands";
    EXPECT_FALSE(chimneyBrick(rendered.pixel(mirrored))) << "no chimney in the mirror's place";

    // Plotwick runs in a process of its own, where no window system's OpenGL context is
    // current on the thread that draws the model; the host's view here had one.
    host.reset();
    if (QOpenGLContext* current = QOpenGLContext::currentContext()) current->doneCurrent();
    plotwick::PlotwickWindow window;
    window.resize(500, 400);
    window.show();
    plotwick::DwfView& view = window.view();
    view.setSourcePath(dwf);
    ASSERT_EQ(view.messageText().toStdString(), "");
    ASSERT_EQ(view.pageCount(), 2);
    const QImage sheet = view.grab().toImage();
    QTest::keyClick(&view, Qt::Key_PageDown);
    EXPECT_EQ(view.sheetIndex(), 1);
    const QImage published = view.grab().toImage();
    keepForALook(sheet, "published-house-window-sheet.png");
    keepForALook(published, "published-house-window-model.png");
    const HouseInk shown = houseInk(published);
    EXPECT_GT(shown.roof, 2000);
    EXPECT_GT(shown.walls, 2000);
    EXPECT_GT(pixelsApart(sheet, published, 0), 10000) << "the model page is not the sheet";
    const QImage sameSize = renderedModel(dwf, view.size(), folder.filePath("window-size.png"));
    ASSERT_EQ(sameSize.size(), published.size());
    EXPECT_LT(pixelsApart(sameSize, published, 8), published.width() * published.height() / 200)
        << "the window shows what --render draws";

    const QPoint centre = view.rect().center(), aside = centre + QPoint(view.width() / 2, 0);
    QTest::mousePress(&view, Qt::LeftButton, {}, centre);
    QTest::mouseMove(&view, aside);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, aside);
    const QImage turned = view.grab().toImage();
    keepForALook(turned, "published-house-window-turned.png");
    EXPECT_GT(pixelsApart(turned, published, 0), shown.walls / 2) << "a quarter turn";
    EXPECT_GT(houseInk(turned).roof, 500) << "still the house";

    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_EQ(view.grab().toImage(), published) << "Home returns to the published view";
}

class PackagedDwf : public DwfBuilderTest {
  protected:
    void SetUp() override {
        DwfBuilderTest::SetUp();
        if (QStandardPaths::findExecutable("makensis").isEmpty())
            GTEST_SKIP() << "makensis (Debian's nsis package) is not installed";
    }
    QString script(const QString& exe) const {
        QString text = kDwfScript;
        text.replace("#EXE_FILENAME", exe);
        text.replace("#DWF_PATH_ONLY", folder.filePath("m") + "/");
        text.replace("#DWF_FILENAME", "Gear.DWF");
        text.replace("#DWF_APP_PATH", addin);
        return text;
    }
};

TEST_F(PackagedDwf, CompiledDwfBuildsTheExecutableFromTheTwentyThreeLines) {
    auto host = hostWithGear();
    storeDwf({{"DWFDelDWF", "1"}});
    frmToDWF* dialog = pressCompileDwf(*host);
    EXPECT_EQ(messages, QStringList{});
    EXPECT_EQ(dialog->lblStatus->text(), "Finished");
    const QString exe = folder.filePath("m/Gear.exe");
    EXPECT_EQ(peMachine(contentOf(exe)), kAmd64);
    EXPECT_EQ(QString::fromLatin1(contentOf(addin + "/DWFScript.nsi")), script(exe));
    EXPECT_FALSE(QFile::exists(folder.filePath("m/Gear.DWF")));  // "Delete DWF"
    EXPECT_EQ(leftovers(), QStringList{});
    QDir().mkpath(EXPORTAL_SCREENSHOT_OUT);
    dialog->grab().save(EXPORTAL_SCREENSHOT_OUT "/frmToDWF.png");

    // Without the launcher to pack, the message names it and the DWF stays.
    QFile::remove(exe);
    QFile::remove(addin + "/RunPlotwick.exe");
    storeDwf({{"DWFDelDWF", "1"}});
    pressCompileDwf(*host);
    EXPECT_EQ(messages, QStringList{"Failed to compile the DWF to EXE\rThe program to pack is "
                                    "missing: " +
                                    addin + "/RunPlotwick.exe"});
    EXPECT_FALSE(QFile::exists(exe));
    EXPECT_TRUE(QFile::exists(folder.filePath("m/Gear.DWF")));
}

// Runs the packaged executable under wine, where no DWF viewer control is registered.
class PackagedDwfUnderWine : public PackagedDwf {
  protected:
    void SetUp() override {
        PackagedDwf::SetUp();
        if (IsSkipped()) return;
        if (const QString reason = wineSkipReason(); !reason.isEmpty())
            GTEST_SKIP() << reason.toStdString();
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            GTEST_SKIP() << "xdotool is not installed: nobody could answer the question";
        record = folder.filePath("record.txt");
        prepareWine(record);
    }
    void TearDown() override {
        stopWine();
        PackagedDwf::TearDown();
    }
    QString record;
};

TEST_F(PackagedDwfUnderWine, WithoutTheViewerControlAsksAndUnpacksNothing) {
    QElapsedTimer clock;
    clock.start();
    QFile program(EXPORTAL_RECORDING_VIEWER);
    ASSERT_TRUE(program.open(QIODevice::ReadOnly));
    writeFile(addin + "/RunPlotwick.exe", program.readAll());
    auto host = hostWithGear();
    pressCompileDwf(*host);
    ASSERT_EQ(messages, QStringList{});
    const QString exe = folder.filePath("m/Gear.exe");
    ASSERT_TRUE(QFile::exists(exe));

    QProcess query;
    query.start(wineLoader(), {"reg", "query", "HKCR\\AdView.AdViewer"});
    ASSERT_TRUE(query.waitForFinished(120000));
    EXPECT_NE(query.exitCode(), 0) << "this wine prefix has the viewer control";

    QProcess packaged;
    packaged.start(wineLoader(), {exe});
    ASSERT_TRUE(packaged.waitForStarted());
    const QString prompt = waitForWindowTitled("DWF Viewer", 120000);
    if (prompt.isEmpty()) packaged.kill();
    ASSERT_FALSE(prompt.isEmpty());
    QProcess name;
    name.start("xdotool", {"getwindowname", prompt});
    name.waitForFinished(5000);
    std::printf("The question \"%s\" appeared after %.1f s\n",
                name.readAllStandardOutput().trimmed().constData(), clock.elapsed() / 1000.0);
    // "No" by its accelerator: the installer ends without opening anything.
    QProcess::execute("xdotool", {"windowfocus", "--sync", prompt});
    QProcess::execute("xdotool", {"key", "--window", prompt, "n"});
    const bool ended = packaged.waitForFinished(30000);
    if (!ended) packaged.kill();
    EXPECT_TRUE(ended) << "the question was not answered";
    EXPECT_EQ(packaged.exitCode(), 0);
    EXPECT_EQ(unpackedFiles("Plotwick"), QStringList{});
    EXPECT_FALSE(QFile::exists(record)) << "RunPlotwick.exe ran";
    std::printf("The wine test took %.1f s\n", clock.elapsed() / 1000.0);
}

// Registers the DWF viewer control in the prefix, as a machine that has it does, for
// the life of the object.
class RegisteredViewerControl {
  public:
    RegisteredViewerControl() {
        m_added = QProcess::execute(wineLoader(), {"reg", "add", kKey, "/ve", "/d",
                                                   "Autodesk Dwf Viewer Control", "/f"}) == 0;
    }
    RegisteredViewerControl(const RegisteredViewerControl&) = delete;
    RegisteredViewerControl& operator=(const RegisteredViewerControl&) = delete;
    ~RegisteredViewerControl() { QProcess::execute(wineLoader(), {"reg", "delete", kKey, "/f"}); }
    bool added() const { return m_added; }

  private:
    static constexpr const char* kKey = "HKCR\\AdView.AdViewer";
    bool m_added = false;
};

// The house's roof as the launcher draws the DWF copy.
constexpr QRgb kHouseRoof = qRgb(181, 55, 45);

// Runs xdotool with `arguments`, on the window `window` stands for in them.
void xdotool(QStringList arguments, const QString& window) {
    arguments.replaceInStrings("WINDOW", window);
    QProcess::execute("xdotool", arguments);
}

// The window's picture once `shows` holds for it and a second look finds it unchanged
// (the launcher has drawn everything); a null image after 30 s.
template <class Condition>
QImage settledPicture(const QString& window, Condition shows) {
    QImage shot;
    const bool settled = QTest::qWaitFor(
        [&] {
            shot = grabXWindow(window);
            return shows(shot) && grabXWindow(window) == shot;
        },
        30000);
    return settled ? shot : QImage();
}

// With the control registered, the package unpacks the Windows launcher of the cross
// build, which shows the DWF: its sheet, and with "Publish 3D Models" checked the model
// after it, which a left drag turns and Home restores. Once the launcher closes, the
// package deletes what it unpacked.
TEST_F(PackagedDwfUnderWine, WithTheViewerControlTheLauncherShowsTheDwf) {
    const QString launcher = EXPORTAL_WINDOWS_BUILD "/launcher/win32/RunPlotwick.exe";
    if (!QFile::exists(launcher))
        GTEST_SKIP() << launcher.toStdString() << " is missing (scripts/cross_build.sh makes it)";
    writeFile(addin + "/RunPlotwick.exe", contentOf(launcher));
    storeDwf({{"DWFPublish3D", "1"}});
    auto host = hostWithGear({}, "house.xgl");
    pressCompileDwf(*host);
    ASSERT_EQ(messages, QStringList{});
    const RegisteredViewerControl control;
    ASSERT_TRUE(control.added());

    QElapsedTimer clock;
    clock.start();
    QProcess packaged;
    packaged.start(wineLoader(), {folder.filePath("m/Gear.exe")});
    ASSERT_TRUE(packaged.waitForStarted());
    const QString window = waitForWindowTitled("^Form1$", 120000);
    if (window.isEmpty()) packaged.kill();
    ASSERT_FALSE(window.isEmpty());
    std::printf("The launcher's window appeared after %.1f s\n", clock.elapsed() / 1000.0);
    QTest::qWait(2000);  // the first drawing
    const QImage shot = grabXWindow(window);
    QDir().mkpath(EXPORTAL_SCREENSHOT_OUT);
    shot.save(EXPORTAL_SCREENSHOT_OUT "/packaged-plotwick.png");
    const double roof = pixelsNear(shot, kHouseRoof, 6) / (double(shot.width()) * shot.height());
    std::printf("Screenshot %dx%d: roof %.3f of the window\n", shot.width(), shot.height(), roof);
    EXPECT_GT(roof, 0.005);
    EXPECT_EQ(unpackedFiles("Plotwick").size(), 2)
        << unpackedFiles("Plotwick").join(", ").toStdString();

    const int x = shot.width() / 2, y = shot.height() / 2;
    const auto at = [](int value) { return QString::number(value); };
    xdotool({"windowfocus", "--sync", "WINDOW", "mousemove", "--window", "WINDOW", at(x), at(y),
             "key", "Next"},
            window);
    const QImage model = settledPicture(window, [](const QImage& picture) {
        const HouseInk ink = houseInk(picture);
        return ink.roof > 2000 && ink.walls > 2000 && pixelsNear(picture, kHouseRoof, 6) == 0;
    });
    ASSERT_FALSE(model.isNull()) << "Page Down showed no shaded house";
    model.save(EXPORTAL_SCREENSHOT_OUT "/packaged-plotwick-model.png");
    const HouseInk ink = houseInk(model);
    std::printf("Model page: roof %ld px at %.2f, walls %ld px at %.2f\n", ink.roof, ink.roofY,
                ink.walls, ink.wallsY);
    EXPECT_LT(ink.roofY, ink.wallsY) << "the roof sits on the walls";
    // Both launchers draw with Mesa: the Linux one's picture of the same copy at the
    // window's size is the same to within a few levels.
    const QImage expected =
        renderedModel(folder.filePath("m/Gear.DWF"), model.size(), folder.filePath("linux.png"));
    ASSERT_EQ(expected.size(), model.size());
    EXPECT_LT(pixelsApart(expected, model, 8), model.width() * model.height() / 200);

    xdotool({"mousedown", "1", "mousemove", "--window", "WINDOW", at(x + 40), at(y + 20),
             "mousemove", "--window", "WINDOW", at(x + 80), at(y + 40), "mouseup", "1"},
            window);
    const QImage turned = settledPicture(window, [&](const QImage& picture) {
        return pixelsApart(picture, model, 0) > ink.walls / 2;
    });
    ASSERT_FALSE(turned.isNull()) << "a left drag did not turn the model";
    turned.save(EXPORTAL_SCREENSHOT_OUT "/packaged-plotwick-turned.png");
    EXPECT_GT(houseInk(turned).roof, 500) << "still the house";
    xdotool({"key", "Home"}, window);
    EXPECT_FALSE(
        settledPicture(window, [&](const QImage& picture) { return picture == model; }).isNull())
        << "Home did not bring back the published view";

    closeWindowsProgram("RunPlotwick.exe");
    const bool ended = packaged.waitForFinished(60000);
    if (!ended) packaged.kill();
    EXPECT_TRUE(ended);
    EXPECT_EQ(packaged.exitCode(), 0);
    EXPECT_EQ(unpackedFiles("Plotwick"), QStringList{});
}

}  // namespace
}  // namespace exportal::testing
