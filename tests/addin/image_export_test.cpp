// The image export as the host and the JPEG dialog run it: names, kinds, the files
// left behind, and what a late or failed step leaves.
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "addin_dialog.h"
#include "addin_fixture.h"
#include "addin_state.h"
#include "frm_settings.h"
#include "frm_to_jpeg.h"

namespace exportal::testing {
namespace {

class ImageExportTest : public AddInTest {
  protected:
    void SetUp() override {
        AddInTest::SetUp();
        setImageExport(nullptr);
    }
    bool exists(const QString& name) const { return QFile::exists(folder.filePath(name)); }
    static QByteArray readAll(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    std::string path(const QString& name) const { return folder.filePath(name).toStdString(); }
};

// Pixels that differ from the top left corner, the background.
int modelPixels(const QImage& picture) {
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            count += picture.pixel(x, y) != picture.pixel(0, 0);
    return count;
}

TEST_F(ImageExportTest, SaveJpegWithNoOptionsWritesAJpegOfTheModelBesideThePart) {
    auto host = startHost();
    const QString part = document("Bracket.ipt");
    openAndWait(*host, part);
    host->addInServer()->executeCommand(kJpegCommand);
    auto* dialog = dynamic_cast<frmToJpeg*>(dialogInSlot(kJpegCommand));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->txtWidth->text(), "2048");
    EXPECT_EQ(dialog->txtQuality->text(), "100");
    dialog->txtWidth->setText("400");
    dialog->cmdSave->click();
    EXPECT_EQ(dialog->lblStatus->text(), "Done");
    const QImage picture(folder.filePath("Bracket.jpg"), "JPG");
    ASSERT_EQ(picture.width(), 400);
    const QImage view = host->view()->grabFramebuffer();
    EXPECT_NEAR(picture.height(), 400.0 * view.height() / view.width(), 1);
    EXPECT_GT(modelPixels(picture), picture.width() * picture.height() / 20);
    EXPECT_FALSE(exists("Bracket.bmp"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

TEST_F(ImageExportTest, AutoNumberingTakesTheNextFreeNumberAndNeverOverwrites) {
    storeSettings({{"AutoNumber", "1"}, {"AutoNumStyle", "2"}, {"AutoSaveType", "False"}});
    auto host = startHost();
    const QString part = document("Bracket.ipt");
    openAndWait(*host, part);
    ExportViewImage(part.toStdString(), 160);
    ExportViewImage(part.toStdString(), 160);
    EXPECT_TRUE(exists("Bracket_001.jpg"));
    EXPECT_TRUE(exists("Bracket_002.jpg"));
    for (int number = 3; number <= 999; ++number) {
        QFile taken(folder.filePath(QString("Bracket_%1.jpg").arg(number, 3, 10, QChar('0'))));
        ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    }
    ExportViewImage(part.toStdString(), 160);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("are taken; nothing was written"))
        << messages[0].toStdString();
    EXPECT_EQ(QFileInfo(folder.filePath("Bracket_999.jpg")).size(), 0);
    EXPECT_EQ(QDir(folder.path()).entryList({"*.bmp"}, QDir::Files).size(), 0);
}

TEST_F(ImageExportTest, ADrawingOnItsThirdSheetGetsTheSheetNumber) {
    storeSettings({{"AutoSheet", "1"}, {"AutoSaveType", "False"}});
    auto host = startHost();
    const QString plan = drawing("Plan.idw");
    openAndWait(*host, plan);
    ASSERT_TRUE(host->activateSheet(3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->view()->hasPicture(); }, 10000));
    ExportViewImage(plan.toStdString(), 200);
    const QImage picture(folder.filePath("Plan-s03.jpg"), "JPG");
    ASSERT_FALSE(picture.isNull());
    // The third sheet is the blue strip.
    const QRgb middle = picture.pixel(picture.width() / 2, picture.height() / 2);
    EXPECT_GT(qBlue(middle), 200);
    EXPECT_LT(qRed(middle), 60);
}

TEST_F(ImageExportTest, TheAlternateDirectoryWithOrWithoutASeparatorGivesOneFile) {
    storeSettings({{"AlternatePath", "1"}, {"AutoSaveType", "False"}});
    auto host = startHost();
    const QString part = document("Bracket.ipt");
    openAndWait(*host, part);
    ASSERT_TRUE(QDir(folder.path()).mkdir("out"));
    const QString out = folder.filePath("out/Bracket.jpg");
    auto* settings = static_cast<frmSettings*>(loadedDialog(kSettingsCommand));
    for (const QString& target : {folder.filePath("out"), folder.filePath("out") + "/"}) {
        settings->txtTargetDir->setText(target);
        ExportViewImage(part.toStdString(), 120);
        ASSERT_TRUE(QFile::exists(out)) << target.toStdString();
        ASSERT_TRUE(QFile::remove(out));
    }
    EXPECT_TRUE(messages.isEmpty());
    settings->txtTargetDir->clear();
    ExportViewImage(part.toStdString(), 120);
    EXPECT_EQ(messages, QStringList{"Alternate directory value missing or incorrect"});
    EXPECT_TRUE(exists("Bracket.jpg"));
}

TEST_F(ImageExportTest, SavingWithAutoSaveAndJpegWritesTheJpegAndNoBitmap) {
    storeSettings(
        {{"AutoSave", "1"}, {"AutoSaveType", "False"}, {"DoIPT", "1"}, {"PixelWidth", "320"}});
    auto host = startHost();
    openAndWait(*host, document("Bracket.ipt"));
    ASSERT_TRUE(host->saveDocument());
    EXPECT_EQ(QImage(folder.filePath("Bracket.jpg"), "JPG").width(), 320);
    EXPECT_FALSE(exists("Bracket.bmp"));
}

// The DWF copy is the automatic export's; "Save JPEG" with DWF as that type still
// writes a JPEG, never a bare bitmap.
TEST_F(ImageExportTest, DwfIsPublishedSilentlyOnlyByTheAutomaticExport) {
    storeSettings({{"AutoSave", "1"}, {"AutoSaveType", "True"}, {"DoIPT", "1"}});
    auto host = startHost();
    const QString part = document("Bracket.ipt");
    openAndWait(*host, part);
    ASSERT_TRUE(host->saveDocument());
    EXPECT_FALSE(host->silentOperation());
    EXPECT_FALSE(exists("Bracket.bmp"));
    EXPECT_FALSE(exists("Bracket.jpg"));
    EXPECT_TRUE(exists("Bracket.dwf")) << hostMessages.join('|').toStdString();
    ASSERT_EQ(host->dwfPublications().size(), 1u);
    EXPECT_TRUE(host->dwfPublications()[0].silent);

    imageSettings().AutoSave = 0;
    ExportViewImage(part.toStdString(), 120);
    EXPECT_TRUE(exists("Bracket.jpg"));
    EXPECT_FALSE(exists("Bracket.bmp"));
}

TEST_F(ImageExportTest, TheBitmapIsAwaitedBrieflyWhileTheHostRuns) {
    auto host = startHost();
    QImage late(64, 48, QImage::Format_RGB32);
    late.fill(Qt::darkCyan);
    QTimer::singleShot(300, [&] { late.save(folder.filePath("late.bmp"), "BMP"); });
    EXPECT_TRUE(convertBitmapFile(path("late") + ".bmp", path("late") + ".jpg"));
    EXPECT_EQ(QImage(folder.filePath("late.jpg")).size(), QSize(64, 48));
    EXPECT_FALSE(exists("late.bmp"));

    QElapsedTimer waited;
    waited.start();
    EXPECT_FALSE(convertBitmapFile(path("never") + ".bmp", path("never") + ".jpg"));
    EXPECT_LT(waited.elapsed(), 10000);
    EXPECT_EQ(messages, QStringList{"The view bitmap " + folder.filePath("never.bmp") +
                                    " did not arrive; no JPEG was written."});
    EXPECT_FALSE(exists("never.jpg"));
}

TEST_F(ImageExportTest, AJpegThatCannotBeWrittenStillDeletesTheBitmap) {
    auto host = startHost();
    QImage picture(32, 32, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(folder.filePath("view.bmp"), "BMP"));
    ASSERT_TRUE(QDir(folder.path()).mkdir("view.jpg"));  // in the file's way
    EXPECT_FALSE(convertBitmapFile(path("view") + ".bmp", path("view") + ".jpg"));
    EXPECT_FALSE(exists("view.bmp"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("cannot be written"));
}

// The bitmap is only a step to the JPEG: a file of that name beside the document (the
// user's own, or the document itself) is neither overwritten nor deleted, and the
// private bitmap goes too.
TEST_F(ImageExportTest, ABitmapOfTheDocumentsNameSurvivesTheJpegExport) {
    const QString temporary = folder.filePath("tmp");
    ASSERT_TRUE(QDir().mkpath(temporary));
    const QByteArray tmpdir = qgetenv("TMPDIR");
    qputenv("TMPDIR", temporary.toUtf8());
    const struct {
        const char* name;
        QString document;
        bool ownBitmap;
    } cases[] = {{"the user's bitmap beside the part", "Bracket.ipt", true},
                 {"the document is the bitmap", "Bracket.bmp", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(folder.filePath("Bracket.jpg"));
        const QString part = document(c.document);
        if (c.ownBitmap) {
            QFile own(folder.filePath("Bracket.bmp"));
            ASSERT_TRUE(own.open(QIODevice::WriteOnly));
            own.write("the user's own bitmap");
        }
        const QByteArray before = readAll(folder.filePath("Bracket.bmp"));
        auto host = startHost();
        openAndWait(*host, part);
        host->addInServer()->executeCommand(kJpegCommand);
        auto* dialog = dynamic_cast<frmToJpeg*>(dialogInSlot(kJpegCommand));
        ASSERT_NE(dialog, nullptr);
        dialog->txtWidth->setText("200");
        dialog->cmdSave->click();
        EXPECT_EQ(QImage(folder.filePath("Bracket.jpg"), "JPG").width(), 200);
        EXPECT_EQ(readAll(folder.filePath("Bracket.bmp")), before);
        EXPECT_EQ(QDir(temporary).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{});
        EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    }
    if (tmpdir.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", tmpdir);
}

TEST_F(ImageExportTest, AJpegDocumentIsNotReplacedByItsOwnExport) {
    const QString part = document("Bracket.jpg");
    const QByteArray before = readAll(part);
    auto host = startHost();
    openAndWait(*host, part);
    ExportViewImage(part.toStdString(), 200);
    EXPECT_EQ(readAll(part), before);
    EXPECT_EQ(messages, QStringList{part + " is the document itself; it is not replaced."});
}

TEST_F(ImageExportTest, AnUnsavedDocumentIsReportedAndNothingIsWritten) {
    auto host = startHost();
    ExportViewImage("", 200);
    EXPECT_EQ(messages, QStringList{"You must save your file before outputting to JPEG"});
    host->addInServer()->executeCommand(kJpegCommand);
    auto* dialog = dynamic_cast<frmToJpeg*>(dialogInSlot(kJpegCommand));
    ASSERT_NE(dialog, nullptr);
    dialog->cmdSave->click();
    EXPECT_EQ(dialog->lblStatus->text(), "DOCUMENT NOT SAVED, please save first");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 0);
}

}  // namespace
}  // namespace exportal::testing
