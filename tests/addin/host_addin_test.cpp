// The add-in as a host drives it: activation, commands, dialogs and the automatic
// export on save.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>
#include <QWheelEvent>

#include "addin_dialog.h"
#include "addin_fixture.h"
#include "app/scene_view.h"
#include "frm_settings.h"

namespace exportal::testing {
namespace {

using HostAddInTest = AddInTest;

QStringList texts(const QList<QAction*>& actions) {
    QStringList result;
    for (const QAction* action : actions)
        result << action->text();
    return result;
}

const QStringList kCommandTexts = {"Settings",     "JPEG",          "Compiled XGL",
                                   "Compiled DWF", "Stereo Bitmap", "VRML"};

TEST_F(HostAddInTest, ActivationCreatesTheSixCommandsInOrder) {
    auto host = startHost(11);
    EXPECT_EQ(texts(host->addInsMenu()->actions()), kCommandTexts);
    EXPECT_EQ(texts(host->addInsToolBar()->actions()), kCommandTexts);
    EXPECT_EQ(host->addInServer()->automation(), nullptr);
    host->addInServer()->deactivate();
    EXPECT_TRUE(host->addInsMenu()->actions().isEmpty());
}

TEST_F(HostAddInTest, AVersionFiveHostGetsNoCommandsAndNoAutomaticExport) {
    storeSettings({{"AutoSave", "1"}, {"DoIPT", "1"}});
    auto host = startHost(5);
    EXPECT_TRUE(host->addInsMenu()->actions().isEmpty());
    openAndWait(*host, document("Gear.ipt"));
    ASSERT_TRUE(host->saveDocument());
    EXPECT_TRUE(exports.empty());
    EXPECT_EQ(host->addInServer()->automation(), nullptr);
}

// The host tells the add-in before (4097) and after (4098) writing; only 4098 exports.
TEST_F(HostAddInTest, SavingExportsOnlyTheTypesSwitchedOnAndOnlyAfterWriting) {
    storeSettings({{"AutoSave", "1"}, {"DoIPT", "0"}, {"DoIAM", "1"}, {"PixelWidth", "640"}});
    auto host = startHost(11);
    openAndWait(*host, document("Gear.ipt"));
    ASSERT_TRUE(host->saveDocument());
    EXPECT_TRUE(exports.empty());

    const QString assembly = document("Engine.iam");
    openAndWait(*host, assembly);
    auto* sink = dynamic_cast<SaveEventSink*>(host->addInServer());
    ASSERT_NE(sink, nullptr);
    sink->onSaveDocument(host->activeDocument(), 4099);
    EXPECT_TRUE(exports.empty());
    ASSERT_TRUE(host->saveDocument());
    ASSERT_EQ(exports.size(), 1u);
    EXPECT_EQ(exports[0].fileName, assembly.toStdString());
    EXPECT_EQ(exports[0].width, 640);
    EXPECT_EQ(host->statusText(), "Saving " + assembly + " to Image");
}

// "Auto Fit" returns the zoomed view to the box the load fitted before exporting.
TEST_F(HostAddInTest, AutoFitFitsTheViewBeforeTheExport) {
    storeSettings({{"AutoSave", "1"}, {"DoIPT", "1"}, {"AutoFit", "1"}});
    auto host = startHost(11);
    openAndWait(*host, document("Gear.ipt"));
    const tessaro::Camera fitted = tessaro::currentCamera();
    QWheelEvent zoom(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, 360), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(host->view(), &zoom);
    ASSERT_NE(tessaro::currentCamera().size[0], fitted.size[0]);
    double widthAtExport = 0;
    setImageExport([&](const std::string&, std::int32_t) {
        widthAtExport = tessaro::currentCamera().size[0];
    });
    ASSERT_TRUE(host->saveDocument());
    EXPECT_EQ(widthAtExport, fitted.size[0]);
}

TEST_F(HostAddInTest, NoExportWhileAutoSaveIsOff) {
    storeSettings({{"AutoSave", "0"}, {"DoIAM", "1"}});
    auto host = startHost(11);
    openAndWait(*host, document("Engine.iam"));
    ASSERT_TRUE(host->saveDocument());
    EXPECT_TRUE(exports.empty());
}

TEST_F(HostAddInTest, ACommandShowsOneDialogThatReloadsAfterDone) {
    storeSettings({{"PixelWidth", "640"}});
    auto host = startHost(11);
    host->addInsMenu()->actions()[0]->trigger();
    auto* dialog = dynamic_cast<frmSettings*>(dialogInSlot(1));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->parentWidget(), host.get());
    EXPECT_FALSE(dialog->isModal());

    // Choosing again shows the same instance as it stands.
    dialog->Text1->setText("700");
    host->addInsMenu()->actions()[0]->trigger();
    EXPECT_EQ(dialogInSlot(1), dialog);
    EXPECT_EQ(dialog->Text1->text(), "700");

    // After "Done" the next choice loads it again from the store.
    dialog->cmdDone->click();
    EXPECT_FALSE(dialog->isVisible());
    storeSettings({{"PixelWidth", "900"}});
    host->addInsMenu()->actions()[0]->trigger();
    EXPECT_EQ(dialogInSlot(1), dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->Text1->text(), "900");
}

TEST_F(HostAddInTest, CurrentQualityIsZeroUntilAnImageDialogLoads) {
    storeSettings({{"JPEGQuality", "70"}});
    auto host = startHost(11);
    EXPECT_EQ(imageSettings().CurrentQuality, 0);
    EXPECT_EQ(imageSettings().StoredQuality, 70);
    host->addInServer()->executeCommand(1);
    EXPECT_EQ(imageSettings().CurrentQuality, 70);
}

TEST_F(HostAddInTest, DwfChosenInTheDialogSelectsDwfForTheNextAutomaticExport) {
    storeSettings({{"AutoSaveType", "False"}});
    auto host = startHost(11);
    EXPECT_EQ(imageSettings().AutoSaveType, kAutoSaveJpeg);
    host->addInServer()->executeCommand(1);
    auto* dialog = dynamic_cast<frmSettings*>(dialogInSlot(1));
    ASSERT_NE(dialog, nullptr);
    dialog->optDWF->click();
    dialog->cmdDone->click();
    EXPECT_EQ(imageSettings().AutoSaveType, kAutoSaveDwf);
}

TEST_F(HostAddInTest, ALibraryThatIsNoAddInIsReportedOnceAndTheHostGoesOn) {
    HostWindow host(11);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    EXPECT_FALSE(host.loadAddInLibrary(folder.filePath("missing.so").toStdString()));
    EXPECT_FALSE(host.loadAddInLibrary(EXPORTAL_NOT_AN_ADDIN));
    ASSERT_EQ(hostMessages.size(), 2);
    EXPECT_TRUE(hostMessages[0].contains("missing.so"));
    EXPECT_TRUE(hostMessages[1].contains("exportalCreateAddIn"));
    EXPECT_EQ(host.addInServer(), nullptr);
    openAndWait(host, document("Gear.ipt"));
    EXPECT_TRUE(host.saveDocument());
}

}  // namespace
}  // namespace exportal::testing
