// frmSettings: its handlers change the in-memory settings at once, "Done" stores them,
// and the two number fields refuse what they must.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "addin_fixture.h"
#include "frm_settings.h"

namespace exportal::testing {
namespace {

class SettingsDialogTest : public AddInTest {
  protected:
    void SetUp() override {
        AddInTest::SetUp();
        dialog = std::make_unique<frmSettings>();
    }
    void load() {
        dialog->showModeless();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    std::unique_ptr<frmSettings> dialog;
};

TEST_F(SettingsDialogTest, LoadFillsTheControlsAndTheCurrentQuality) {
    storeSettings({{"DoIAM", "1"},
                   {"AutoSaveType", "False"},
                   {"JPEGQuality", "60"},
                   {"PixelWidth", "640"},
                   {"AutoNumStyle", "2"}});
    ASSERT_EQ(imageSettings().CurrentQuality, 0);
    load();
    EXPECT_EQ(dialog->windowTitle(), "Export Options");
    EXPECT_TRUE(dialog->chkExport[1]->isChecked());
    EXPECT_FALSE(dialog->chkExport[0]->isChecked());
    EXPECT_TRUE(dialog->optJPEG->isChecked());
    EXPECT_EQ(dialog->Text1->text(), "640");
    EXPECT_EQ(dialog->txtQuality->text(), "60");
    EXPECT_EQ(dialog->lstNumStyle->item(2)->checkState(), Qt::Checked);
    EXPECT_EQ(imageSettings().CurrentQuality, 60);
}

struct FieldCase {
    const char* text;
    bool accepted;
    const char* message;  // empty when none
};

TEST_F(SettingsDialogTest, WidthFieldAcceptsFrom120AndRefusesTheRest) {
    const FieldCase cases[] = {
        {"120", true, ""},
        {"4000", true, ""},
        {"119", false, "You must enter a value Greater than 120"},
        {"wide", false, "You must enter a value between 320 and 4096"},
        {"99999999999", false, "You must enter a value between 320 and 4096"},
    };
    load();
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.text);
        imageSettings().PixelWidth = 2048;
        messages.clear();
        dialog->Text1->setText(c.text);
        EXPECT_EQ(dialog->leaveWidthField(), c.accepted);
        EXPECT_EQ(imageSettings().PixelWidth, c.accepted ? QString(c.text).toInt() : 2048);
        EXPECT_EQ(messages, c.accepted ? QStringList() : QStringList{c.message});
    }
}

TEST_F(SettingsDialogTest, QualityFieldAcceptsTenToHundred) {
    const FieldCase cases[] = {
        {"100", true, ""},
        {"10", true, ""},
        {"101", false, "Value must be between 10 and 100"},
        {"9", false, "Value must be between 10 and 100"},
        {"good", false, "Invalid entry for JPEG Quality\rEnter a number between 10 and 100"},
    };
    load();
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.text);
        imageSettings().CurrentQuality = 50;
        messages.clear();
        dialog->txtQuality->setText(c.text);
        EXPECT_EQ(dialog->leaveQualityField(), c.accepted);
        EXPECT_EQ(imageSettings().CurrentQuality, c.accepted ? QString(c.text).toInt() : 50);
        EXPECT_EQ(messages, c.accepted ? QStringList() : QStringList{c.message});
    }
}

TEST_F(SettingsDialogTest, LeavingARefusedWidthKeepsTheFocusInTheField) {
    load();
    dialog->Text1->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->Text1->hasFocus(); }));
    dialog->Text1->setText("50");
    dialog->txtQuality->setFocus();
    EXPECT_EQ(messages, QStringList{"You must enter a value Greater than 120"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->Text1->hasFocus(); }));
}

// Two refused fields do not hand the focus and their messages back and forth.
TEST_F(SettingsDialogTest, TwoRefusedFieldsShowOneMessageEach) {
    load();
    dialog->txtQuality->setText("500");
    dialog->Text1->setText("50");
    dialog->Text1->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->Text1->hasFocus(); }));
    dialog->txtQuality->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->Text1->hasFocus(); }));
    QTest::qWait(100);
    EXPECT_EQ(messages, QStringList{"You must enter a value Greater than 120"});
    EXPECT_TRUE(dialog->Text1->hasFocus());
}

TEST_F(SettingsDialogTest, ChoosingDwfAndDoneChangesTheTypeAtOnceAndStoresIt) {
    storeSettings({{"AutoSaveType", "False"}});
    load();
    ASSERT_EQ(imageSettings().AutoSaveType, kAutoSaveJpeg);
    dialog->optDWF->click();
    dialog->chkExport[0]->click();
    EXPECT_EQ(imageSettings().DoIPT, 1);
    QTest::mouseClick(dialog->cmdDone, Qt::LeftButton);
    EXPECT_EQ(imageSettings().AutoSaveType, kAutoSaveDwf);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(readSetting(kExportalApplication, "AutoSaveType"), "True");
    EXPECT_EQ(readSetting(kExportalApplication, "DoIPT"), "1");
}

// A folder name may hold line breaks; stored, it stays one value and sets no other key.
TEST_F(SettingsDialogTest, ATargetDirectoryWithLineBreaksStoresNoOtherKey) {
    load();
    const QString folderName = "/out\nAutoSave=1\r\nAutoSaveType=False\nPixelWidth=120";
    dialog->txtTargetDir->setText(folderName);
    ASSERT_EQ(dialog->txtTargetDir->text(), folderName);
    QTest::mouseClick(dialog->cmdDone, Qt::LeftButton);
    ImageSettings stored;
    LoadSettings(stored);
    EXPECT_EQ(stored.JPEGTargetDir, folderName.toStdString());
    EXPECT_EQ(stored.AutoSave, 0);
    EXPECT_EQ(stored.AutoSaveType, kAutoSaveDwf);
    EXPECT_EQ(stored.PixelWidth, 2048);
}

TEST_F(SettingsDialogTest, TheFirstSheetStyleStoresPositionZero) {
    storeSettings({{"AutoSheet", "2"}});
    load();
    dialog->chkExport[4]->click();
    ASSERT_TRUE(dialog->lstSheetStyle->isVisible());
    dialog->lstSheetStyle->item(0)->setCheckState(Qt::Checked);
    EXPECT_EQ(imageSettings().AutoSheet, 0);
    EXPECT_FALSE(dialog->lstSheetStyle->isVisible());
    EXPECT_EQ(dialog->lstSheetStyle->item(2)->checkState(), Qt::Unchecked);
    EXPECT_EQ(dialog->lblStatus->text(), "Auto Sheet Number Style set to *..s00*.jpg");
    dialog->cmdDone->click();
    EXPECT_EQ(readSetting(kExportalApplication, "AutoSheet"), "0");
    EXPECT_EQ(readSetting(kExportalApplication, "DoAllSheets"), "1");
}

TEST_F(SettingsDialogTest, NumberStyleAndBrowseUpdateTheSettings) {
    setFolderPicker([](QWidget*, const QString& title) {
        return title == "Select JPEG Target Directory" ? QString("/pictures") : QString();
    });
    load();
    dialog->chkAutoNumber->click();
    ASSERT_TRUE(dialog->lstNumStyle->isVisible());
    dialog->lstNumStyle->item(3)->setCheckState(Qt::Checked);
    EXPECT_EQ(imageSettings().AutoNumber, 1);
    EXPECT_EQ(imageSettings().AutoNumStyle, 3);
    EXPECT_EQ(dialog->lblStatus->text(), "AutoNumber Style set to *.#000.jpg");
    dialog->cmdBrowse->click();
    EXPECT_EQ(dialog->txtTargetDir->text(), "/pictures");
    EXPECT_EQ(imageSettings().JPEGTargetDir, "/pictures");
    EXPECT_TRUE(dialog->chkAlternate->isChecked());
    EXPECT_EQ(imageSettings().AlternatePath, 1);
}

// Text the fields refused is not stored over a readable number.
TEST_F(SettingsDialogTest, DoneStoresTheValueInMemoryForARefusedNumberField) {
    load();
    dialog->txtQuality->setText("good");
    dialog->Text1->setText("80");
    dialog->cmdDone->click();
    EXPECT_EQ(readSetting(kExportalApplication, "JPEGQuality"), "100");
    EXPECT_EQ(readSetting(kExportalApplication, "PixelWidth"), "2048");
}

TEST_F(SettingsDialogTest, Screenshot) {
    load();
    QDir().mkpath(EXPORTAL_SCREENSHOT_OUT);
    ASSERT_TRUE(dialog->grab().save(EXPORTAL_SCREENSHOT_OUT "/frmSettings.png"));
}

}  // namespace
}  // namespace exportal::testing
