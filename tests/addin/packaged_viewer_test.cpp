// The packaged viewer built by the real NSIS compiler, the VRML copy read by VTK, and
// the packaged executable run under wine, with a recording stand-in for Tessaro and with
// the real Tessaro.exe of the Windows build.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

#include "builder_fixture.h"
#include "xgl/document_info.h"

namespace exportal::testing {
namespace {

// The fourteen lines as written, CR LF between them and none after the last.
const char kTemplate[] =
    "Name \"Tessaro\"\r\n"
    "OutFile \"#EXE_FILENAME\"\r\n"
    "!define XGL_FILE \"#XGL_FILENAME\"\r\n"
    "!define XGL_FILE_ONLY \"#XGL_FILE_ONLY\"\r\n"
    "!define XGL_APP_PATH \"#XGL_APP_PATH\"\r\n"
    "InstallDir $TEMP\\Tessaro\r\n"
    "SilentInstall silent\r\n"
    "Section \"\"\r\n"
    "SetOutPath $INSTDIR\r\n"
    "File \"${XGL_APP_PATH}\\Tessaro.exe\"\r\n"
    "File \"${XGL_FILE}\"\r\n"
    "ExecWait '\"$INSTDIR\\Tessaro.exe\" \"${XGL_FILE_ONLY}\"'\r\n"
    "Delete \"$INSTDIR\\*.*\"\r\n"
    "SectionEnd";

std::string withValues(const QString& exe, const QString& zgl, const QString& addin) {
    QString script = kTemplate;
    script.replace("#EXE_FILENAME", exe);
    script.replace("#XGL_FILENAME", zgl);
    script.replace("#XGL_FILE_ONLY", "Gear.zgl");
    script.replace("#XGL_APP_PATH", addin);
    return script.toStdString();
}

std::string counts(const tessaro::DocumentInfo& info) {
    return std::to_string(info.meshes) + " meshes " + std::to_string(info.objects) + " objects " +
           std::to_string(info.faces) + " faces " + std::to_string(info.lines) + " lines " +
           std::to_string(info.points) + " points " + std::to_string(info.materials) + " materials";
}

class PackagedViewer : public BuilderTest {
  protected:
    void SetUp() override {
        BuilderTest::SetUp();
        if (QStandardPaths::findExecutable("makensis").isEmpty())
            GTEST_SKIP() << "makensis (Debian's nsis package) is not installed";
    }
    // The document's own counts, read from a copy named as XGL.
    tessaro::DocumentInfo documentCounts() {
        const QString copy = folder.filePath("document.xgl");
        QFile::remove(copy);
        EXPECT_TRUE(QFile::copy(gear, copy));
        return tessaro::describeDocument(copy.toStdString().c_str());
    }
    void packViewer(const QByteArray& viewer) { writeFile(addin + "/Tessaro.exe", viewer); }
};

TEST_F(PackagedViewer, CompiledXglPacksTheZglBesideTheDocumentOrInTheAlternateFolder) {
    auto host = hostWithGear();
    const QString m = folder.filePath("m");
    const QString dist = folder.filePath("dist");
    QDir().mkpath(dist);
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> settings;
        QString exe;
        QStringList messages;
    } cases[] = {
        {"alternate",
         {{"XGLUseAltDir", "1"}, {"XGLAltDir", dist.toStdString()}},
         dist + "/Gear.exe",
         {}},
        {"beside", {{"XGLUseAltDir", "0"}}, m + "/Gear.exe", {}},
        {"alternate folder empty",
         {{"XGLUseAltDir", "1"}, {"XGLAltDir", ""}},
         m + "/Gear.exe",
         {"Alternate directory value missing or incorrect"}},
    };
    storeXgl({{"TessaroWhenDone", "0"}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(m + "/Gear.exe");
        QFile::remove(dist + "/Gear.exe");
        QFile::remove(m + "/Gear.zgl");  // kept by the case before, it would be kept again
        storeXgl(c.settings);
        CompilerDialog* dialog = pressCommand(*host, kCompiledXglCommand);
        EXPECT_EQ(messages, c.messages);
        EXPECT_EQ(dialog->lblStatus->text(), "Finished");
        EXPECT_EQ(peMachine(contentOf(c.exe)), kAmd64);
        EXPECT_EQ(QFile::exists(m + "/Gear.exe"), c.exe.startsWith(m));
        EXPECT_EQ(contentOf(addin + "/XGLScript.nsi").toStdString(),
                  withValues(c.exe, m + "/Gear.zgl", addin));
        const tessaro::DocumentInfo zgl = tessaro::describeDocument((m + "/Gear.zgl").toUtf8());
        EXPECT_TRUE(zgl.load.loaded()) << zgl.load.message;
        EXPECT_EQ(counts(zgl), counts(documentCounts()));
        QDir().mkpath(EXPORTAL_SCREENSHOT_OUT);
        ASSERT_TRUE(dialog->grab().save(EXPORTAL_SCREENSHOT_OUT "/frmToXGL.png"));
        dialog->cmdDone->click();
    }
}

TEST_F(PackagedViewer, TemplateWithoutPlaceholdersCompilesAsWritten) {
    const QByteArray own = "Name \"Fixed\"\r\nOutFile \"fixed.exe\"\r\nSection \"\"\r\nSectionEnd";
    writeFile(addin + "/Tessaro.nsi", own);
    auto host = hostWithGear();
    storeXgl({{"TessaroWhenDone", "0"}});
    pressCommand(*host, kCompiledXglCommand);
    EXPECT_EQ(messages, QStringList{});
    EXPECT_EQ(contentOf(addin + "/XGLScript.nsi"), own);
    EXPECT_EQ(peMachine(contentOf(folder.filePath("m/Gear.exe"))), kAmd64);
}

// A viewer missing from the add-in's folder is named by the compiler's message.
TEST_F(PackagedViewer, MissingViewerFailsNamingIt) {
    QFile::remove(addin + "/Tessaro.exe");
    auto host = hostWithGear();
    storeXgl({{"TessaroWhenDone", "0"}, {"XGLDelXGL", "1"}});
    pressCommand(*host, kCompiledXglCommand);
    EXPECT_EQ(messages, QStringList{"Failed to compile the XGL to EXE\rThe program to pack is "
                                    "missing: " +
                                    addin + "/Tessaro.exe"});
    EXPECT_FALSE(QFile::exists(folder.filePath("m/Gear.exe")));
    EXPECT_TRUE(QFile::exists(folder.filePath("m/Gear.zgl")));
    EXPECT_EQ(leftovers(), QStringList{});
}

// VTK's importer leaves out rotations, so the worlds are placed by translation only.
TEST_F(BuilderTest, SaveVrmlWritesACopyThatVtkReadsWithTheDocumentsCounts) {
    const QString python = QFile::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    struct Case {
        const char* sample;
        QByteArray position;
        QByteArray expectedText;  // VTK does not read textures: the file is looked at
    } cases[] = {
        {"grid.xgl", "5,-2,3.5", "Background { skyColor"},
        {"house.xgl", {}, "texture DEF T1 PixelTexture { image 8 8 4 0x4C9A3AFF 0x3A7D2CFF"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sample);
        auto host = hostWithGear(c.position, c.sample);
        CompilerDialog* dialog = pressCommand(*host, kVrmlCommand);
        EXPECT_EQ(dialog->windowTitle(), "Save VRML");
        EXPECT_EQ(messages, QStringList{});
        EXPECT_EQ(hostMessages, QStringList{});
        const QString wrl = folder.filePath("m/Gear.wrl");
        ASSERT_TRUE(contentOf(wrl).startsWith("#VRML V2.0 utf8\n"));
        EXPECT_TRUE(contentOf(wrl).contains(c.expectedText));
        // Kept for a person to look at in a VRML viewer.
        QDir().mkpath(EXPORTAL_SCREENSHOT_OUT);
        QFile::remove(EXPORTAL_SCREENSHOT_OUT "/" + QString(c.sample) + ".wrl");
        QFile::copy(wrl, EXPORTAL_SCREENSHOT_OUT "/" + QString(c.sample) + ".wrl");
        EXPECT_FALSE(QFile::exists(folder.filePath("m/Gear.exe")));

        QProcess reader;
        reader.start(python, {EXPORTAL_VRML_READER, wrl});
        ASSERT_TRUE(reader.waitForFinished(60000));
        const QByteArray output = reader.readAllStandardOutput();
        if (reader.exitCode() == 3) GTEST_SKIP() << output.trimmed().toStdString();
        ASSERT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
        const QJsonObject read = QJsonDocument::fromJson(output).object();

        const QString copy = folder.filePath("document.xgl");
        QFile::remove(copy);
        ASSERT_TRUE(QFile::copy(gear, copy));
        const tessaro::DocumentInfo document = tessaro::describeDocument(copy.toUtf8());
        ASSERT_GT(document.faces, 0u);
        EXPECT_EQ(read["faces"].toInteger(), static_cast<qint64>(document.faces));
        EXPECT_EQ(read["lines"].toInteger(), static_cast<qint64>(document.lines));
        EXPECT_EQ(read["points"].toInteger(), static_cast<qint64>(document.points));
        ASSERT_TRUE(document.bbox.has_value());
        const QJsonArray bounds = read["bounds"].toArray();
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_NEAR(bounds[2 * axis].toDouble(), document.bbox->min[axis], 1e-4);
            EXPECT_NEAR(bounds[2 * axis + 1].toDouble(), document.bbox->max[axis], 1e-4);
        }
    }
}

// VTK leaves rotations out, so the Transform's rotation is read here: the axis and
// angle that turn the object's frame (right, up, forward) into the world's.
TEST_F(BuilderTest, SaveVrmlTurnsObjectsByTheirFrame) {
    struct Case {
        QByteArray forward, up;
        double axis[3], angle;
    } cases[] = {
        {"0,0,1", "0,1,0", {0, 0, 1}, 0},
        {"1,0,0", "0,1,0", {0, 1, 0}, M_PI / 2},
        {"0,0,-1", "0,1,0", {0, 1, 0}, M_PI},  // half a turn: the axis comes from the diagonal
        {"0,-1,0", "0,0,1", {1, 0, 0}, M_PI / 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.forward.toStdString() + " " + c.up.toStdString());
        const QString path = folder.filePath("m/Turned.ipt");
        QByteArray world = contentOf(EXPORTAL_SAMPLES "/grid.xgl");
        world.replace("<FORWARD>0,0,1</FORWARD><UP>0,1,0</UP>",
                      "<FORWARD>" + c.forward + "</FORWARD><UP>" + c.up + "</UP>");
        writeFile(path, world);
        auto host = startHost();
        ASSERT_TRUE(host->openDocument(path));
        pressCommand(*host, kVrmlCommand);
        const QString wrl = contentOf(folder.filePath("m/Turned.wrl"));
        const qsizetype at = wrl.indexOf("rotation ");
        ASSERT_GE(at, 0);
        const QStringList numbers = wrl.mid(at + 9, wrl.indexOf('\n', at) - at - 9).split(' ');
        ASSERT_EQ(numbers.size(), 4);
        // An axis and its opposite with the opposite angle are the same turn.
        const double sign = numbers[0].toDouble() * c.axis[0] + numbers[1].toDouble() * c.axis[1] +
                                        numbers[2].toDouble() * c.axis[2] <
                                    0
                                ? -1
                                : 1;
        EXPECT_NEAR(sign * numbers[3].toDouble(), c.angle, 1e-9);
        if (c.angle == 0) continue;
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(sign * numbers[i].toDouble(), c.axis[i], 1e-9);
    }
}

// A world the viewer refuses gives no copy; the host says why, with the viewer's message.
TEST_F(BuilderTest, SaveVrmlOfAnInvalidWorldWritesNothing) {
    const QString path = folder.filePath("m/Broken.ipt");
    writeFile(path, "<WORLD><MESH><F><FV><PREF>7</PREF></FV></F></MESH></WORLD>");
    auto host = startHost();
    ASSERT_TRUE(host->openDocument(path));
    hostMessages.clear();
    pressCommand(*host, kVrmlCommand);
    EXPECT_FALSE(QFile::exists(folder.filePath("m/Broken.wrl")));
    ASSERT_EQ(hostMessages.size(), 1);
    EXPECT_TRUE(hostMessages[0].front().isDigit()) << hostMessages[0].toStdString();
}

// Runs the packaged executable under wine the way "View When Done" starts it.
class PackagedViewerUnderWine : public PackagedViewer {
  protected:
    void SetUp() override {
        PackagedViewer::SetUp();
        if (IsSkipped()) return;
        if (const QString reason = wineSkipReason(); !reason.isEmpty())
            GTEST_SKIP() << reason.toStdString();
        record = folder.filePath("record.txt");
        prepareWine(record);
    }
    void TearDown() override {
        stopWine();
        PackagedViewer::TearDown();
    }
    QString record;
};

TEST_F(PackagedViewerUnderWine, UnpacksStartsTheViewerInTempWaitsAndDeletes) {
    QFile viewer(EXPORTAL_RECORDING_VIEWER);
    ASSERT_TRUE(viewer.open(QIODevice::ReadOnly));
    packViewer(viewer.readAll());
    auto host = hostWithGear();
    storeXgl({{"TessaroWhenDone", "1"}});
    QElapsedTimer clock;
    clock.start();
    pressCommand(*host, kCompiledXglCommand);
    EXPECT_EQ(messages, QStringList{});
    const qint64 zglSize = QFileInfo(folder.filePath("m/Gear.zgl")).size();
    // The record is Windows text: lines end with CR LF.
    const auto recorded = [&] { return QString(contentOf(record)).remove('\r'); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorded().contains("ended\n"); }, 300000));
    const QStringList lines = recorded().split('\n');
    std::printf("The recording viewer wrote after %.1f s: %s\n", clock.elapsed() / 1000.0,
                lines.join(" | ").toStdString().c_str());
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[0], "arguments=1");
    EXPECT_EQ(lines[1], "argument=Gear.zgl");
    EXPECT_TRUE(lines[2].endsWith("\\Temp\\Tessaro", Qt::CaseInsensitive))
        << lines[2].toStdString();
    EXPECT_EQ(lines[3], "size=" + QString::number(zglSize));
    // Only once the viewer ended are the unpacked files deleted.
    QString unpacked = lines[2].mid(lines[2].indexOf(':') + 1).replace('\\', '/');
    unpacked = QString(EXPORTAL_WINE_PREFIX) + "/drive_c" + unpacked;
    EXPECT_TRUE(QTest::qWaitFor([&] { return QDir(unpacked).isEmpty(); }, 60000))
        << QDir(unpacked).entryList().join(", ").toStdString();
    EXPECT_TRUE(QDir(unpacked).exists()) << unpacked.toStdString();
}

// A name with the script's quotes and comment characters in it is unpacked under that
// name and reaches the viewer whole: the escapes the script holds are undone where the
// package runs.
TEST_F(PackagedViewerUnderWine, AnOddNameIsUnpackedAndPassedToTheViewerWhole) {
    QFile viewer(EXPORTAL_RECORDING_VIEWER);
    ASSERT_TRUE(viewer.open(QIODevice::ReadOnly));
    packViewer(viewer.readAll());
    const QString stem = "Ge'a`r; #1 & x";
    const QString directory = folder.filePath("m/d'a`y; q");
    ASSERT_TRUE(QDir().mkpath(directory));
    const QString part = directory + "/" + stem + ".ipt";
    ASSERT_TRUE(QFile::copy(EXPORTAL_SAMPLES "/grid.xgl", part));
    storeXgl({{"TessaroWhenDone", "1"}});
    auto host = startHost();
    openAndWait(*host, part);
    pressCommand(*host, kCompiledXglCommand);
    EXPECT_EQ(messages, QStringList{});
    const qint64 zglSize = QFileInfo(directory + "/" + stem + ".zgl").size();
    const auto recorded = [&] { return QString(contentOf(record)).remove('\r'); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorded().contains("ended\n"); }, 300000));
    const QStringList lines = recorded().split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[0], "arguments=1");
    EXPECT_EQ(lines[1], "argument=" + stem + ".zgl");
    EXPECT_EQ(lines[3], "size=" + QString::number(zglSize));
}

// The house's sky and roof, as the viewer draws them.
constexpr QRgb kHouseBackground = qRgb(184, 214, 245);
constexpr QRgb kHouseRoof = qRgb(181, 55, 45);

// The Windows viewer from the cross build, packed by "Compiled XGL" and started by
// "View When Done": it shows the house, and once it closes the package deletes what it
// unpacked.
TEST_F(PackagedViewerUnderWine, RealViewerShowsTheModelAndItsFilesGoWhenItCloses) {
    const QString viewer = EXPORTAL_WINDOWS_BUILD "/viewer/win32/Tessaro.exe";
    if (!QFile::exists(viewer))
        GTEST_SKIP() << viewer.toStdString() << " is missing (scripts/cross_build.sh makes it)";
    if (QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "xdotool is not installed: the viewer's window cannot be found";
    packViewer(contentOf(viewer));
    auto host = hostWithGear({}, "house.xgl");
    storeXgl({{"TessaroWhenDone", "1"}});
    QElapsedTimer clock;
    clock.start();
    pressCommand(*host, kCompiledXglCommand);
    ASSERT_EQ(messages, QStringList{});

    const QString window = waitForWindowTitled("Gear.zgl - Tessaro", 300000);
    ASSERT_FALSE(window.isEmpty());
    std::printf("The viewer's window appeared after %.1f s\n", clock.elapsed() / 1000.0);
    QTest::qWait(2000);  // the first frame
    const QImage shot = grabXWindow(window);
    QDir().mkpath(EXPORTAL_SCREENSHOT_OUT);
    shot.save(EXPORTAL_SCREENSHOT_OUT "/packaged-tessaro.png");
    const double pixels = double(shot.width()) * shot.height();
    const double sky = pixelsNear(shot, kHouseBackground, 2) / pixels;
    const double roof = pixelsNear(shot, kHouseRoof, 6) / pixels;
    std::printf("Screenshot %dx%d: sky %.3f, roof %.3f of the window\n", shot.width(),
                shot.height(), sky, roof);
    // The view fills most of the window; the house stands in its middle.
    EXPECT_GT(sky, 0.5);
    EXPECT_LT(sky, 0.95);
    EXPECT_GT(roof, 0.005);
    EXPECT_EQ(unpackedFiles("Tessaro").size(), 2)
        << unpackedFiles("Tessaro").join(", ").toStdString();

    closeWindowsProgram("Tessaro.exe");
    EXPECT_TRUE(QTest::qWaitFor([&] { return unpackedFiles("Tessaro").isEmpty(); }, 60000))
        << unpackedFiles("Tessaro").join(", ").toStdString();
}

}  // namespace
}  // namespace exportal::testing
