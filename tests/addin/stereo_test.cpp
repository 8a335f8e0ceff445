// Stereo pairs through the stand-in host: the dialog's options, the two images, the
// camera's way back and the outside program's command line.
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>

#include <cmath>

#include "addin_dialog.h"
#include "addin_fixture.h"
#include "addin_state.h"
#include "app/scene_view.h"
#include "frm_to_sterio.h"
#include "settings_store.h"

namespace exportal::testing {
namespace {

class StereoTest : public AddInTest {
  protected:
    frmToSterio& openDialog(HostWindow& host) {
        host.addInServer()->executeCommand(kStereoCommand);
        auto* dialog = dynamic_cast<frmToSterio*>(dialogInSlot(kStereoCommand));
        EXPECT_NE(dialog, nullptr);
        return *dialog;
    }
    QImage viewBitmap(HostWindow& host, const QString& name) {
        std::int32_t width = 200, height = 150;
        EXPECT_TRUE(
            host.activeView()->saveBitmap(folder.filePath(name).toStdString(), width, height));
        return QImage(folder.filePath(name), "BMP");
    }
    // A program that writes its arguments, one a line, beside itself.
    QString recorder() {
        const QString path = folder.filePath("stereo.sh");
        QFile script(path);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        return path;
    }
    QStringList files(const QString& pattern) const {
        return QDir(folder.path()).entryList({pattern}, QDir::Files, QDir::Name);
    }
};

TEST_F(StereoTest, DefaultsGiveA480PairOfBitmapsAt27InchesAndStartNothing) {
    storeSettings({{"CompilerPath", recorder().toStdString()}});
    auto host = startHost();
    openAndWait(*host, document("Gear.ipt"));
    frmToSterio& dialog = openDialog(*host);
    EXPECT_EQ(dialog.windowTitle(), "Save Stereo Images");
    EXPECT_TRUE(dialog.optWidth[1]->isChecked());
    EXPECT_EQ(dialog.txtWidth->text(), "512");
    EXPECT_FALSE(dialog.txtWidth->isEnabled());
    EXPECT_EQ(dialog.ViewingDistanceInches(), 27);
    EXPECT_TRUE(dialog.optBMP->isChecked());
    EXPECT_FALSE(dialog.chkRunCompiler->isChecked());
    dialog.cmdSave->click();
    EXPECT_EQ(files("Gear_*"), (QStringList{"Gear_L.bmp", "Gear_R.bmp"}));
    EXPECT_EQ(QImage(folder.filePath("Gear_L.bmp"), "BMP").width(), 480);
    QTest::qWait(500);
    EXPECT_FALSE(QFile::exists(folder.filePath("stereo.sh.args")));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(StereoTest, WidthOptionsGiveTheirPixelWidths) {
    auto host = startHost();
    openAndWait(*host, document("Gear.ipt"));
    frmToSterio& dialog = openDialog(*host);
    const std::int32_t widths[] = {320, 480, 640, 0, 800, 1024, 1280, 2048, 700};
    dialog.txtWidth->setText("700");
    for (int position = 0; position < 9; ++position) {
        dialog.optWidth[position]->click();
        EXPECT_EQ(dialog.StereoPixelWidth(), widths[position]) << position;
        EXPECT_EQ(dialog.txtWidth->isEnabled(), position == 8);
    }
    dialog.optWidth[7]->click();
    dialog.cmdSave->click();
    EXPECT_EQ(QImage(folder.filePath("Gear_R.bmp"), "BMP").width(), 2048);
    // "Screen" leaves both sides to the view.
    dialog.optWidth[3]->click();
    dialog.cmdSave->click();
    EXPECT_EQ(QImage(folder.filePath("Gear_L.bmp"), "BMP").size(),
              host->view()->grabFramebuffer().size());
}

// The pair is taken from two sides, and the view is back where it was.
TEST_F(StereoTest, AJpgPairDiffersAndTheCameraComesBack) {
    storeSettings({{"BitmapType", "JPG"}, {"RunCompiler", "1"}});
    const QString program = recorder();
    storeSettings({{"CompilerPath", program.toStdString()}});
    auto host = startHost();
    openAndWait(*host, document("Gear.ipt"));
    const QImage before = viewBitmap(*host, "before.bmp");
    openDialog(*host).cmdSave->click();
    const QImage after = viewBitmap(*host, "after.bmp");
    EXPECT_EQ(files("Gear_*"), (QStringList{"Gear_L.jpg", "Gear_R.jpg"}));
    const QImage left(folder.filePath("Gear_L.jpg")), right(folder.filePath("Gear_R.jpg"));
    ASSERT_EQ(left.size(), right.size());
    EXPECT_NE(left, right);
    int moved = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x)
            moved += before.pixel(x, y) != after.pixel(x, y);
    EXPECT_LE(moved, before.width() * before.height() / 1000);

    const QString args = folder.filePath("stereo.sh.args");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(args).size() > 0; }, 5000));
    QFile recorded(args);
    ASSERT_TRUE(recorded.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString(recorded.readAll()),
              folder.filePath("Gear_R.jpg") + "\n" + folder.filePath("Gear_L.jpg") + "\n");
}

// A double quote or a blank in a name does not split it: each image is one argument.
TEST_F(StereoTest, TheStereoProgramGetsEachImageAsOneArgument) {
    storeSettings({{"RunCompiler", "1"}, {"CompilerPath", recorder().toStdString()}});
    auto host = startHost();
    openAndWait(*host, document("Ge\"ar \" x.ipt"));
    openDialog(*host).cmdSave->click();
    const QString args = folder.filePath("stereo.sh.args");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(args).size() > 0; }, 5000));
    QFile recorded(args);
    ASSERT_TRUE(recorded.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString(recorded.readAll()), folder.filePath("Ge\"ar \" x_R.bmp") + "\n" +
                                               folder.filePath("Ge\"ar \" x_L.bmp") + "\n");
}

// Bitmaps that only become JPEGs are taken elsewhere: the user's own stay as they were.
TEST_F(StereoTest, AJpgPairLeavesTheUsersBitmapsAsTheyWere) {
    storeSettings({{"BitmapType", "JPG"}});
    for (const char* name : {"Gear_L.bmp", "Gear_R.bmp"}) {
        QFile own(folder.filePath(name));
        ASSERT_TRUE(own.open(QIODevice::WriteOnly));
        own.write(name);
    }
    auto host = startHost();
    openAndWait(*host, document("Gear.ipt"));
    openDialog(*host).cmdSave->click();
    EXPECT_EQ(files("Gear_*"),
              (QStringList{"Gear_L.bmp", "Gear_L.jpg", "Gear_R.bmp", "Gear_R.jpg"}));
    EXPECT_EQ(QImage(folder.filePath("Gear_L.jpg")).width(), 480);
    for (const char* name : {"Gear_L.bmp", "Gear_R.bmp"}) {
        QFile own(folder.filePath(name));
        ASSERT_TRUE(own.open(QIODevice::ReadOnly));
        EXPECT_EQ(own.readAll(), QByteArray(name));
    }
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

// Where the host's camera looks, in world coordinates, and its right and up axes
// there: the rows of the orientation the renderer applies.
struct Gaze {
    double look[3], right[3], up[3];
};

Gaze gazeOf(const tessaro::Camera& camera) {
    const double* f = camera.forward;
    const double* u = camera.up;
    const double s[3] = {u[1] * f[2] - u[2] * f[1], u[2] * f[0] - u[0] * f[2],
                         u[0] * f[1] - u[1] * f[0]};
    return {{-s[2], -u[2], -f[2]}, {s[0], u[0], f[0]}, {s[1], u[1], f[1]}};
}

double dot(const double a[3], const double b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// The pair is taken from either side of the view by the turn its viewing distance
// asks for: half the spread each way, the left image from the left (looking to the
// right), level, and the camera comes back. One unit of turn is 2.5 x 0.06572907
// rad, so each side is 1.25 / D rad whatever the view was turned to before.
TEST_F(StereoTest, EachImageIsTurnedByHalfTheSpreadForItsDistance) {
    auto host = startHost();
    openAndWait(*host, document("Gear.ipt"));
    CadCamera& hostCamera = host->activeView()->camera();
    hostCamera.mouseInput(host->createPoint2d(0, 0), host->createPoint2d(3, -2), 0,
                          kRotateViewOperation);
    hostCamera.apply();
    frmToSterio& dialog = openDialog(*host);

    // The status line changes right after each image is saved, before the next turn.
    std::vector<tessaro::Camera> atSave;
    QObject::connect(host->statusBar(), &QStatusBar::messageChanged, [&](const QString& text) {
        if (text.startsWith("Saving Right Image") || text == "Returning to original position")
            atSave.push_back(tessaro::currentCamera());
    });
    const struct {
        int option;
        const char* userText;
        double inches;
    } distances[] = {{0, "", 27}, {1, "", 52}, {2, "", 158}, {3, "36", 36}, {3, "2 ft", 24}};
    for (const auto& d : distances) {
        dialog.optDistance[d.option]->click();
        dialog.txtDistance->setText(d.userText);
        atSave.clear();
        const Gaze before = gazeOf(tessaro::currentCamera());
        dialog.cmdSave->click();
        ASSERT_EQ(atSave.size(), 2u) << d.inches;
        const Gaze left = gazeOf(atSave[0]), right = gazeOf(atSave[1]);
        const Gaze after = gazeOf(tessaro::currentCamera());
        const double expected = 1.25 / d.inches;
        EXPECT_NEAR(std::acos(std::min(1.0, dot(before.look, left.look))), expected, 1e-6)
            << d.inches;
        EXPECT_NEAR(std::acos(std::min(1.0, dot(before.look, right.look))), expected, 1e-6)
            << d.inches;
        EXPECT_NEAR(dot(left.look, before.right), std::sin(expected), 1e-6) << d.inches;
        EXPECT_NEAR(dot(right.look, before.right), -std::sin(expected), 1e-6) << d.inches;
        EXPECT_NEAR(dot(left.look, before.up), 0, 1e-6) << d.inches;
        EXPECT_NEAR(dot(right.look, before.up), 0, 1e-6) << d.inches;
        EXPECT_NEAR(dot(after.look, before.look), 1, 1e-9) << d.inches;
    }
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

TEST_F(StereoTest, TheUserDistanceIsEvaluatedInWholeInches) {
    auto host = startHost();
    openAndWait(*host, document("Gear.ipt"));
    frmToSterio& dialog = openDialog(*host);
    dialog.optDistance[3]->click();
    EXPECT_TRUE(dialog.txtDistance->isEnabled());
    const struct {
        const char* text;
        double inches;
    } cases[] = {{"36", 36}, {"1 m", 39}, {"2 ft", 24}, {"0.4", 0}, {"far", 0}};
    for (const auto& c : cases) {
        messages.clear();
        dialog.txtDistance->setText(c.text);
        EXPECT_EQ(dialog.ViewingDistanceInches(), c.inches) << c.text;
        EXPECT_EQ(messages.contains("Invalid Viewing Distance"), c.inches == 0) << c.text;
    }
    // No distance, no pair, and nothing waits for the images.
    messages.clear();
    dialog.optJPG->click();
    dialog.cmdSave->click();
    EXPECT_TRUE(files("Gear_*").isEmpty());
    EXPECT_EQ(messages, QStringList{"Invalid Viewing Distance"});
}

TEST_F(StereoTest, ClosingStoresTheOptionsAndAWidthThatIsNoNumberIsReported) {
    auto host = startHost();
    frmToSterio& dialog = openDialog(*host);
    dialog.optWidth[8]->click();
    dialog.txtWidth->setText("");
    EXPECT_EQ(messages, QStringList{"Not a valid Number, needs to be greater than 50"});
    dialog.txtWidth->setText("900");
    dialog.optDistance[2]->click();
    dialog.optJPG->click();
    dialog.chkAlternate->setChecked(true);
    dialog.txtTargetDir->setText("/pairs");
    dialog.cmdDone->click();
    EXPECT_FALSE(dialog.isVisible());
    const std::pair<const char*, const char*> stored[] = {
        {"SterioPixelIndex", "8"}, {"SterioPixelUser", "900"},   {"SterioViewDist", "2"},
        {"BitmapType", "JPG"},     {"AlternateStereoPath", "1"}, {"SterioTargetDir", "/pairs"}};
    for (const auto& [key, value] : stored)
        EXPECT_EQ(readSetting(kExportalApplication, key), value) << key;
}

}  // namespace
}  // namespace exportal::testing
