// The settings store and the in-memory image settings.
#include <QDir>
#include <QFile>

#include "addin_fixture.h"
#include "addin_folder.h"
#include "settings_store.h"

namespace exportal::testing {
namespace {

using SettingsTest = AddInTest;

void writeFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(SettingsTest, NothingStoredReadsTheDefaultsWithDwfAsAutoSaveType) {
    ImageSettings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.AutoSaveType, kAutoSaveDwf);
    EXPECT_EQ(settings.PixelWidth, 2048);
    EXPECT_EQ(settings.StoredQuality, 100);
    EXPECT_EQ(settings.AutoSave, 0);
    EXPECT_EQ(settings.JPEGTargetDir, addInFolder());
    EXPECT_EQ(settings.CurrentQuality, 0);
    EXPECT_EQ(readSetting(kXglCompilerApplication, "TessaroWhenDone"), "1");
    EXPECT_EQ(readSetting(kDwfCompilerApplication, "DWFAltDir"), addInFolder());
    EXPECT_EQ(readSetting(kExportalApplication, "BitmapType"), "BMP");
}

TEST_F(SettingsTest, FileSectionAndKeysAreFoundWhateverTheirLetterCase) {
    writeFile(folder.filePath("config/exportal.INI"),
              "[other]\nPixelWidth=1\n[SETTINGS]\npixelwidth=640\nautosavetype=False\n");
    ImageSettings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.PixelWidth, 640);
    EXPECT_EQ(settings.AutoSaveType, kAutoSaveJpeg);

    // Writing goes to the same file and replaces the key where it stands.
    ASSERT_TRUE(writeSetting("EXPORTAL", "PIXELWIDTH", "800"));
    EXPECT_EQ(readFile(folder.filePath("config/exportal.INI")),
              "[other]\nPixelWidth=1\n[SETTINGS]\nPIXELWIDTH=800\nautosavetype=False\n");
}

TEST_F(SettingsTest, NewKeysJoinTheirSectionAndOtherApplicationsKeepTheirOwnFile) {
    ASSERT_TRUE(writeSetting(kExportalApplication, "DoIPT", "1"));
    ASSERT_TRUE(writeSetting(kDwfCompilerApplication, "DWFPublish3D", "1"));
    ASSERT_TRUE(writeSetting(kExportalApplication, "DoIAM", "1"));
    EXPECT_EQ(readFile(folder.filePath("config/Exportal.ini")), "[Settings]\nDoIPT=1\nDoIAM=1\n");
    EXPECT_EQ(readSetting(kDwfCompilerApplication, "DWFPublish3D"), "1");
    EXPECT_EQ(readSetting(kExportalApplication, "DWFPublish3D"), "");
}

// A numeric key whose text does not convert, or does not fit its item, takes its default.
TEST_F(SettingsTest, NumericKeysThatDoNotConvertTakeTheirDefault) {
    storeSettings({{"PixelWidth", "wide"},
                   {"DoIAM", "yes"},
                   {"AutoNumStyle", "70000"},
                   {"JPEGQuality", ""},
                   {"AutoSaveType", "maybe"},
                   {"AutoSheet", " 2 "}});
    ImageSettings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.PixelWidth, 2048);
    EXPECT_EQ(settings.DoIAM, 0);
    EXPECT_EQ(settings.AutoNumStyle, 0);
    EXPECT_EQ(settings.StoredQuality, 100);
    EXPECT_EQ(settings.AutoSaveType, kAutoSaveDwf);
    EXPECT_EQ(settings.AutoSheet, 2);
}

TEST_F(SettingsTest, AnUnreadableSettingsFileReadsAsDefaults) {
    QDir().mkpath(folder.filePath("config/Exportal.ini"));  // a folder, not a file
    ImageSettings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.PixelWidth, 2048);
    EXPECT_FALSE(writeSetting(kExportalApplication, "PixelWidth", "640"));
}

TEST_F(SettingsTest, TheJpegDialogStoresItsFiveKeys) {
    StoreJpegDialogSettings({"1024", true, true, "/images", "80"});
    ImageSettings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.PixelWidth, 1024);
    EXPECT_EQ(settings.AutoNumber, 1);
    EXPECT_EQ(settings.AlternatePath, 1);
    EXPECT_EQ(settings.JPEGTargetDir, "/images");
    EXPECT_EQ(settings.StoredQuality, 80);
}

// A value is one line of the file, whatever it holds: it reads back as written and
// adds no key; names that could not be found again are refused.
TEST_F(SettingsTest, AnyValueReadsBackAsWrittenAndAddsNoKey) {
    const std::string values[] = {
        "/d\nRunCompiler=1\nCompilerPath=/bin/sh",
        "/d\r\n[Settings]\r\nRunCompiler=1",
        "ends with a break\n",
        "C:\\Parts\\new\\",  // backslashes, also before "n" and at the end
        "literal \\n and \\r and \\\\",
        "lone\rreturn",
        "=[x]= ; # $",
        "",
    };
    for (const std::string& value : values) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(writeSetting(kExportalApplication, "SterioTargetDir", value));
        EXPECT_EQ(readSetting(kExportalApplication, "SterioTargetDir"), value);
        EXPECT_EQ(readSetting(kExportalApplication, "RunCompiler"), "0");
        EXPECT_EQ(readSetting(kExportalApplication, "CompilerPath"), "");
        EXPECT_EQ(readFile(folder.filePath("config/Exportal.ini")).count('\n'), 2);
    }
    // A file written by hand with a backslash before another letter keeps it.
    writeFile(folder.filePath("config/Exportal.ini"), "[Settings]\nSterioTargetDir=C:\\M\\x\n");
    EXPECT_EQ(readSetting(kExportalApplication, "SterioTargetDir"), "C:\\M\\x");
    for (const char* name : {"Bad\nKey", "Key=1", "[Key]"})
        EXPECT_FALSE(writeSetting(kExportalApplication, name, "1")) << name;
    EXPECT_FALSE(saveSetting(kExportalApplication, "Settings]\n[Other", "Key", "1"));
}

}  // namespace
}  // namespace exportal::testing
