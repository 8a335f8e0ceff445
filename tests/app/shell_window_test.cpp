#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "app/load_progress.h"
#include "app/shell_dialogs.h"
#include "app/viewer_app.h"
#include "render/renderer.h"
#include "shell/navigation.h"
#include "shell/shell_texts.h"
#include "shell_fixture.h"
#include "xgl/input_stream.h"

namespace tessaro::testing {
namespace {

void leftDrag(QWidget* target, QPoint from, QPoint to) {
    sendMouse(target, QEvent::MouseButtonPress, Qt::LeftButton, from);
    sendMouse(target, QEvent::MouseMove, Qt::LeftButton, to);
    sendMouse(target, QEvent::MouseButtonRelease, Qt::LeftButton, to);
}

using ShellStart = ShellWindow;

TEST_F(ShellStart, WithoutArgumentShowsAnEmptyViewWithExamineChecked) {
    CMainFrame& frame = start();
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Tessaro"));
    EXPECT_TRUE(command(kExamineCommand)->isChecked());
    EXPECT_FALSE(command(kPanCommand)->isChecked());
    EXPECT_FALSE(command(kZoomCommand)->isChecked());
    EXPECT_FALSE(command(kDefaultViewCommand)->isChecked());
    EXPECT_FALSE(command(kCloseCommand)->isEnabled());
    EXPECT_EQ(frame.view()->mode(), NavigationMode::examine);
    EXPECT_EQ(nonWhitePixels(picture()), 0);
    EXPECT_TRUE(m_sink.messages.empty());
}

TEST_F(ShellStart, OpensTheFirstArgumentAndIgnoresTheRest) {
    const QString broken = writeDocument("second.xgl", kBrokenWorld);
    CMainFrame& frame = start({QStringLiteral("tessaro"), samplePath(), broken});
    const QString title = samplePath() + QStringLiteral(" - Tessaro");
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.windowTitle() == title; }, 5000))
        << frame.windowTitle().toStdString();
    EXPECT_TRUE(frame.loaded());
    EXPECT_TRUE(command(kCloseCommand)->isEnabled());
    EXPECT_GT(nonWhitePixels(picture()), 1000);
    EXPECT_TRUE(m_sink.messages.empty()) << m_sink.messages.front();
}

TEST_F(ShellStart, ResolvesABareNameAgainstTheWorkingFolder) {
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QStringLiteral(TESSARO_SAMPLES)));
    CMainFrame& frame = start({QStringLiteral("tessaro"), QStringLiteral("grid.xgl")});
    const bool titled = QTest::qWaitFor(
        [&] { return frame.windowTitle() == QStringLiteral("grid.xgl - Tessaro"); }, 5000);
    QDir::setCurrent(saved);
    EXPECT_TRUE(titled);
    EXPECT_GT(nonWhitePixels(picture()), 1000);
}

TEST_F(ShellWindow, DocumentWithAnErrorShowsOneMessageAndStaysWhite) {
    CMainFrame& frame = start();
    const QString broken = writeDocument("broken.xgl", kBrokenWorld);
    frame.openFile(broken);
    ASSERT_EQ(m_sink.messages.size(), 1u);
    EXPECT_EQ(m_sink.messages.front(), kBrokenMessage);
    EXPECT_EQ(nonWhitePixels(picture()), 0);
}

struct FailureCase {
    const char* name;
    // Makes the file in the folder and returns its path.
    std::function<QString(ShellWindow&, const QString& folder)> make;
    // The message, with NAME standing for the path.
    const char* message;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class FailedLoads : public ShellWindow, public ::testing::WithParamInterface<FailureCase> {
  public:
    QString write(const char* name, const char* content) { return writeDocument(name, content); }
};

const FailureCase kFailures[] = {
    {"missing", [](ShellWindow&, const QString& folder) { return folder + "/nosuch.zgl"; },
     "Cannot open NAME: No such file or directory"},
    {"valid_document_named_txt",
     [](ShellWindow& test, const QString&) {
         return static_cast<FailedLoads&>(test).write("scene.txt",
                                                      "<WORLD><BACKGROUND><BACKCOLOR>0 0 1"
                                                      "</BACKCOLOR></BACKGROUND></WORLD>");
     },
     "Cannot open NAME: not an XGL or ZGL document"},
    {"folder",
     [](ShellWindow&, const QString& folder) {
         QDir(folder).mkdir(QStringLiteral("models.xgl"));
         return folder + "/models.xgl";
     },
     "Cannot open NAME: Is a directory"},
    {"document_with_an_error",
     [](ShellWindow& test, const QString&) {
         return static_cast<FailedLoads&>(test).write("broken.xgl", kBrokenWorld);
     },
     kBrokenMessage},
};

// A load that fails says why, once, and is not reported as an open document, even
// after a document that was drawn.
TEST_P(FailedLoads, ShowTheirMessageAndLeaveNoDocument) {
    CMainFrame& frame = start();
    frame.openFile(samplePath());
    ASSERT_TRUE(frame.loaded());
    const QString path = GetParam().make(*this, m_folder.path());
    frame.openFile(path);
    ASSERT_EQ(m_sink.messages.size(), 1u);
    EXPECT_EQ(QString::fromStdString(m_sink.messages.front()),
              QString::fromUtf8(GetParam().message).replace(QStringLiteral("NAME"), path));
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Tessaro"));
    EXPECT_FALSE(frame.loaded());
    EXPECT_FALSE(command(kCloseCommand)->isEnabled());
    EXPECT_EQ(nonWhitePixels(picture()), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, FailedLoads, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellStart, MissingFileOnTheCommandLineIsNotTitled) {
    CMainFrame& frame = start({QStringLiteral("tessaro"), m_folder.filePath("nosuch.zgl")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_sink.messages.empty(); }, 5000));
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Tessaro"));
    EXPECT_FALSE(command(kCloseCommand)->isEnabled());
}

TEST_F(ShellWindow, ErrorAfterAPictureWhitensIt) {
    CMainFrame& frame = start();
    frame.openFile(samplePath());
    ASSERT_GT(nonWhitePixels(picture()), 1000);
    frame.openFile(writeDocument("broken.xgl", kBrokenWorld));
    EXPECT_EQ(nonWhitePixels(picture()), 0);
}

TEST_F(ShellWindow, CloseClearsThePictureAndDisablesClose) {
    CMainFrame& frame = start();
    frame.openFile(samplePath());
    ASSERT_GT(nonWhitePixels(picture()), 1000);
    const Camera camera = currentCamera();
    command(kCloseCommand)->trigger();
    EXPECT_EQ(nonWhitePixels(picture()), 0);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Tessaro"));
    EXPECT_FALSE(frame.loaded());
    EXPECT_FALSE(command(kCloseCommand)->isEnabled());
    EXPECT_TRUE(sameCamera(camera, currentCamera()));
}

struct ToolCase {
    const char* name;
    std::vector<int> commands;
    NavigationMode mode;
};

void PrintTo(const ToolCase& c, std::ostream* os) {
    *os << c.name;
}

class ToolToggles : public ShellWindow, public ::testing::WithParamInterface<ToolCase> {};

TEST_P(ToolToggles, ChoosingTheActiveToolAgainLeavesNone) {
    CMainFrame& frame = start();
    for (const int id : GetParam().commands)
        command(id)->trigger();
    const NavigationMode mode = GetParam().mode;
    EXPECT_EQ(frame.mode(), mode);
    EXPECT_EQ(frame.view()->mode(), mode);
    EXPECT_EQ(command(kExamineCommand)->isChecked(), mode == NavigationMode::examine);
    EXPECT_EQ(command(kPanCommand)->isChecked(), mode == NavigationMode::pan);
    EXPECT_EQ(command(kZoomCommand)->isChecked(), mode == NavigationMode::zoom);
    EXPECT_FALSE(command(kDefaultViewCommand)->isChecked());
    // A tool shows its own cursor; no tool leaves the pointer as it is.
    EXPECT_EQ(frame.view()->testAttribute(Qt::WA_SetCursor), mode != NavigationMode::none);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ToolToggles,
    ::testing::Values(
        ToolCase{"ExamineAgain", {kExamineCommand}, NavigationMode::none},
        ToolCase{"ExamineTwiceMore", {kExamineCommand, kExamineCommand}, NavigationMode::examine},
        ToolCase{"Pan", {kPanCommand}, NavigationMode::pan},
        ToolCase{"PanAgain", {kPanCommand, kPanCommand}, NavigationMode::none},
        ToolCase{"ZoomThenExamine", {kZoomCommand, kExamineCommand}, NavigationMode::examine},
        ToolCase{"DefaultViewKeepsTool", {kPanCommand, kDefaultViewCommand}, NavigationMode::pan},
        ToolCase{"Zoom", {kZoomCommand}, NavigationMode::zoom}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellWindow, LeftDragWithExamineTurnsTheCameraAndDefaultViewRestoresIt) {
    CMainFrame& frame = start();
    frame.openFile(samplePath());
    const Camera loaded = currentCamera();
    const QImage before = picture();
    leftDrag(frame.view(), {200, 150}, {240, 170});
    EXPECT_FALSE(sameCamera(loaded, currentCamera()));
    EXPECT_NE(picture(), before);
    command(kDefaultViewCommand)->trigger();
    EXPECT_TRUE(sameCamera(loaded, currentCamera()));
    EXPECT_EQ(picture(), before);
}

TEST_F(ShellWindow, LeftDragWithoutToolDoesNothing) {
    CMainFrame& frame = start();
    frame.openFile(samplePath());
    command(kExamineCommand)->trigger();
    const Camera loaded = currentCamera();
    leftDrag(frame.view(), {200, 150}, {240, 170});
    EXPECT_TRUE(sameCamera(loaded, currentCamera()));
}

TEST_F(ShellWindow, WheelNotchAwayZoomsOut) {
    CMainFrame& frame = start();
    frame.openFile(samplePath());
    const Camera loaded = currentCamera();
    const QPointF at(100, 100);
    QWheelEvent event(at, frame.view()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(frame.view(), &event);
    EXPECT_NEAR(currentCamera().size[0], loaded.size[0] * 1.36, 1e-9 * loaded.size[0]);
}

TEST_F(ShellWindow, RefreshTimerRestoresCheckMarks) {
    start();
    command(kExamineCommand)->setChecked(false);
    command(kCloseCommand)->setEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([this] { return command(kExamineCommand)->isChecked(); }, 500));
    EXPECT_FALSE(command(kCloseCommand)->isEnabled());
}

TEST_F(ShellWindow, ViewCommandsHideAndShowTheBars) {
    CMainFrame& frame = start();
    EXPECT_TRUE(command(kToolBarCommand)->isChecked());
    command(kToolBarCommand)->trigger();
    EXPECT_TRUE(frame.toolBar()->isHidden());
    EXPECT_FALSE(command(kToolBarCommand)->isChecked());
    command(kStatusBarCommand)->trigger();
    EXPECT_TRUE(frame.statusBar()->isHidden());
    EXPECT_FALSE(command(kStatusBarCommand)->isChecked());
    command(kToolBarCommand)->trigger();
    EXPECT_FALSE(frame.toolBar()->isHidden());
    EXPECT_TRUE(command(kToolBarCommand)->isChecked());
}

TEST_F(ShellWindow, ToolbarHasFourButtonsWithTipsAndDocksAnywhere) {
    CMainFrame& frame = start();
    QToolBar* bar = frame.toolBar();
    EXPECT_TRUE(bar->isMovable());
    EXPECT_EQ(bar->allowedAreas(), Qt::AllToolBarAreas);
    const QList<QAction*> buttons = bar->actions();
    ASSERT_EQ(buttons.size(), 4);
    const char* tips[4] = {"Rotate World", "Pan World", "Zoom In", "Default View"};
    const char* prompts[4] = {"Rotates the world", "Pans the world",
                              "Zooms into the center of the world",
                              "Shows the default view of the world"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(buttons[i], command(kToolbarCommands[i]));
        EXPECT_EQ(buttons[i]->toolTip(), QString::fromUtf8(tips[i]));
        EXPECT_EQ(buttons[i]->statusTip(), QString::fromUtf8(prompts[i]));
        EXPECT_FALSE(buttons[i]->icon().isNull());
    }
}

TEST_F(ShellWindow, StatusBarShowsReadyAndItsIndicators) {
    CMainFrame& frame = start();
    EXPECT_EQ(frame.statusBar()->currentMessage(), QStringLiteral("Ready"));
    frame.statusBar()->showMessage(QStringLiteral("Pans the world"));
    frame.statusBar()->clearMessage();
    EXPECT_EQ(frame.statusBar()->currentMessage(), QStringLiteral("Ready"));
    QStringList indicators;
    for (const QLabel* label : frame.statusBar()->findChildren<QLabel*>()) {
        if (label->objectName().startsWith(QStringLiteral("indicator"))) {
            indicators.append(label->text());
        }
    }
    EXPECT_EQ(indicators, (QStringList{"CAP", "NUM", "SCRL"}));
}

TEST_F(ShellWindow, MenusHoldTheirCommandsInOrder) {
    CMainFrame& frame = start();
    QStringList seen;
    for (QAction* menu : frame.menuBar()->actions()) {
        seen.append(menu->text() + QStringLiteral(":"));
        for (QAction* item : menu->menu()->actions())
            seen.append(item->isSeparator() ? QStringLiteral("-") : item->text());
    }
    EXPECT_EQ(seen, (QStringList{"&File:", "&Open", "&Close", "-", "E&xit", "&View:", "&Toolbar",
                                 "&Status Bar", "-", "&Headlight", "&Tools:", "Examine", "Pan",
                                 "Zoom In", "Default View", "&Help:", "&About Tessaro..."}));
    const std::pair<int, const char*> keys[] = {{kOpenCommand, "Ctrl+O"},
                                                {kCloseCommand, "Ctrl+W"},
                                                {kExitCommand, "Ctrl+Q"},
                                                {kDefaultViewCommand, "Home"}};
    for (const auto& [id, key] : keys)
        EXPECT_EQ(command(id)->shortcut(), QKeySequence(QString::fromUtf8(key))) << key;
}

TEST_F(ShellWindow, CtrlOShowsTheOpenDialog) {
    CMainFrame& frame = start();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    bool openDialog = false;
    whenModalShows([&](QWidget* modal) {
        openDialog = dynamic_cast<OpenSceneDialog*>(modal) != nullptr;
        static_cast<QDialog*>(modal)->reject();
    });
    QTest::keyClick(&frame, Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(openDialog);
}

TEST_F(ShellWindow, HeadlightLightsAnAmbientOnlyDocument) {
    CMainFrame& frame = start();
    // Green under white ambient light only: one flat colour.
    frame.openFile(writeDocument(
        "dim.xgl",
        "<WORLD><BACKGROUND><BACKCOLOR>1 1 1</BACKCOLOR></BACKGROUND><LIGHTING><AMBIENT>0.2 0.2 0.2"
        "</AMBIENT></LIGHTING><MESH><MAT ID=\"1\">"
        "<AMB>0.2 0.2 0.2</AMB><DIFF>0.1 0.8 0.1</DIFF></MAT><F><MATREF>1</MATREF><FV1><P>0 0 0"
        "</P></FV1><FV2><P>1 0 0</P></FV2><FV3><P>1 1 0</P></FV3></F><F><MATREF>1</MATREF><FV1>"
        "<P>0 0 0</P></FV1><FV2><P>1 1 0</P></FV2><FV3><P>0 1 0</P></FV3></F></MESH></WORLD>"));
    ASSERT_TRUE(frame.loaded()) << m_sink.messages.front();
    const QImage dim = picture();
    command(kHeadlightCommand)->trigger();
    const QImage lit = picture();
    command(kHeadlightCommand)->trigger();
    EXPECT_FALSE(viewState().headlight());
    EXPECT_EQ(picture(), dim);
    ASSERT_NE(lit, dim);
    // The lit face is brighter green than the dim one at the middle of the view.
    const QPoint middle(dim.width() / 2, dim.height() / 2);
    EXPECT_GT(lit.pixelColor(middle).green(), dim.pixelColor(middle).green() + 50);
}

TEST_F(ShellWindow, DroppedSceneFileOpensLikeOpen) {
    CMainFrame& frame = start();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(samplePath())});
    const QPoint at(50, 50);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &drop);
    EXPECT_EQ(frame.windowTitle(), samplePath() + QStringLiteral(" - Tessaro"));
    EXPECT_GT(nonWhitePixels(picture()), 1000);
}

TEST_F(ShellWindow, OtherDroppedFilesAreRefused) {
    CMainFrame& frame = start();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(writeDocument("notes.txt", "text"))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(&frame, &enter);
    EXPECT_FALSE(enter.isAccepted());
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Tessaro"));
}

// Reads a file of `size` bytes through the file stream, as a load does.
void readThrough(const QString& path, int size) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(size, 'x'));
    file.close();
    FileInputStream stream;
    ASSERT_TRUE(stream.open(QFile::encodeName(path).constData(), nullptr));
    bool more = true;
    while (more) {
        std::uint32_t length = 0;
        const std::uint8_t* data = nullptr;
        ASSERT_TRUE(stream.read(more, length, data, nullptr));
    }
}

TEST_F(ShellWindow, LongLoadShowsItsProgressAndQuickOneDoesNot) {
    CMainFrame& frame = start();
    const struct {
        int delayMs;
        bool shows;
    } cases[] = {{0, true}, {kProgressDelayMs, false}};
    for (const auto& c : cases) {
        QStringList seen;
        const QMetaObject::Connection watch =
            QObject::connect(frame.statusBar(), &QStatusBar::messageChanged,
                             [&seen](const QString& message) { seen.append(message); });
        int resumed = 0;
        {
            const LoadProgress progress(
                frame.statusBar(), QStringLiteral("big.xgl"), [&resumed] { ++resumed; }, c.delayMs);
            readThrough(m_folder.filePath(QStringLiteral("big.xgl")), 5 * 65536 + 100);
        }
        QObject::disconnect(watch);
        if (!c.shows) {
            EXPECT_TRUE(seen.isEmpty()) << seen.join(QLatin1Char('|')).toStdString();
            continue;
        }
        ASSERT_GE(seen.size(), 3);
        EXPECT_EQ(seen.first(),
                  QStringLiteral("Loading big.xgl: %1 %").arg(65536 * 100 / (5 * 65536 + 100)));
        EXPECT_TRUE(seen.contains(QStringLiteral("Loading big.xgl: 100 %")));
        EXPECT_EQ(frame.statusBar()->currentMessage(), QStringLiteral("Ready"));
        EXPECT_EQ(resumed, 6);
    }
}

// Each start reads the settings of a folder of its own.
class ShellPlacement : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_settings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    }
    void TearDown() override { viewState().setHeadlight(false); }

    std::unique_ptr<CMainFrame> restart() {
        auto frame = startViewer({QStringLiteral("tessaro")});
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        return frame;
    }

    QTemporaryDir m_settings;
};

TEST_F(ShellPlacement, FirstStartIsLargeAndCentredAndARestartKeepsWhatWasLeft) {
    std::unique_ptr<CMainFrame> frame = restart();
    EXPECT_GE(frame->width(), 800);
    EXPECT_GE(frame->height(), 600);
    const QPoint screenMiddle = frame->screen()->availableGeometry().center();
    EXPECT_LE((frame->geometry().center() - screenMiddle).manhattanLength(), 4);
    EXPECT_FALSE(frame->action(kHeadlightCommand)->isChecked());

    frame->resize(900, 700);
    frame->action(kHeadlightCommand)->trigger();
    frame->close();
    frame.reset();
    viewState().setHeadlight(false);

    frame = restart();
    EXPECT_EQ(frame->size(), QSize(900, 700));
    EXPECT_TRUE(viewState().headlight());
    EXPECT_TRUE(frame->action(kHeadlightCommand)->isChecked());
}

TEST(ShellSettings, LiveUnderTheWizardOrganisation) {
    QSettings settings;
    EXPECT_EQ(settings.organizationName(),
              QStringLiteral("Local AppWizard-Generated Applications"));
    EXPECT_EQ(settings.applicationName(), QStringLiteral("Tessaro"));
}

TEST_F(ShellWindow, ScreenshotOfTheMainWindow) {
    CMainFrame& frame = start();
    frame.resize(640, 480);
    frame.openFile(samplePath());
    QTest::qWait(100);
    const QPixmap shot = frame.grab();
    QDir().mkpath(QStringLiteral(TESSARO_SCREENSHOT_OUT));
    ASSERT_TRUE(shot.save(QStringLiteral(TESSARO_SCREENSHOT_OUT "/main_window.png")));
    // The view's corner shows the document's background (0.9, 0.9, 1), opaque.
    const QColor corner = shot.toImage().pixelColor(frame.view()->mapTo(&frame, QPoint(4, 4)));
    EXPECT_NEAR(corner.red(), 230, 1);
    EXPECT_NEAR(corner.green(), 230, 1);
    EXPECT_EQ(corner.blue(), 255);
}

}  // namespace
}  // namespace tessaro::testing
