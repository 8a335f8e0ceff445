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

#include "app/navigation.h"
#include "app/shell_texts.h"
#include "render/renderer.h"
#include "shell_fixture.h"

namespace tessaro::testing {
namespace {

void sendMouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, QPoint at) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

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
    EXPECT_EQ(frame.windowTitle(), broken + QStringLiteral(" - Tessaro"));
    EXPECT_TRUE(command(kCloseCommand)->isEnabled());
}

TEST_F(ShellWindow, ErrorAfterAPictureWhitensIt) {
    CMainFrame& frame = start();
    frame.openFile(samplePath());
    ASSERT_GT(nonWhitePixels(picture()), 1000);
    frame.openFile(writeDocument("broken.xgl", kBrokenWorld));
    EXPECT_EQ(nonWhitePixels(picture()), 0);
}

TEST_F(ShellWindow, UnknownExtensionLoadsNothingButEnablesClose) {
    CMainFrame& frame = start();
    const QString other = writeDocument("scene.xgl.bak", kBrokenWorld);
    frame.openFile(other);
    EXPECT_TRUE(m_sink.messages.empty());
    EXPECT_EQ(frame.windowTitle(), other + QStringLiteral(" - Tessaro"));
    EXPECT_TRUE(command(kCloseCommand)->isEnabled());
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
        ToolCase{"DefaultViewKeepsTool", {kPanCommand, 32780}, NavigationMode::pan},
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
                                 "&Status Bar", "Tools:", "Examine", "Pan", "Zoom In",
                                 "Default View", "&Help:", "&About Tessaro..."}));
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
