// The Qt view's navigation as the user meets it: how often a drag draws the scene, and
// that a drag moves the model the same at every screen scale.
#include <QTest>

#include <cmath>

#include "render/renderer.h"
#include "shell/navigation.h"
#include "shell/shell_texts.h"
#include "shell_fixture.h"

namespace tessaro::testing {
namespace {

class ViewNavigation : public ShellWindow {
  protected:
    // A loaded sample with the Examine tool (the start's tool), quiet: every paint the
    // start and the load asked for has happened.
    SceneView* loadedView() {
        CMainFrame& frame = start();
        frame.openFile(samplePath());
        SceneView* view = frame.view();
        EXPECT_TRUE(QTest::qWaitFor([] { return viewState().framesDrawn() > 0; }, 5000));
        settle();
        return view;
    }

    // Lets every queued event and paint run, so that a late extra drawing would count.
    static void settle() {
        QTest::qWait(60);
        QCoreApplication::processEvents();
    }

    // Waits for the paint that follows a step, then for anything after it.
    static std::uint64_t drawingsAfter(std::uint64_t before) {
        // A step that draws nothing is what some cases expect, so a timeout is no failure.
        static_cast<void>(
            QTest::qWaitFor([before] { return viewState().framesDrawn() > before; }, 2000));
        settle();
        return viewState().framesDrawn() - before;
    }
};

TEST_F(ViewNavigation, EachProcessedPointerStepDrawsTheSceneOnce) {
    SceneView* view = loadedView();
    const QPoint press(200, 150);
    sendMouse(view, QEvent::MouseButtonPress, Qt::LeftButton, press);
    EXPECT_EQ(drawingsAfter(viewState().framesDrawn()), 0u) << "a press only stores the press";
    for (int step = 1; step <= 6; ++step) {
        const Camera before = currentCamera();
        const std::uint64_t drawn = viewState().framesDrawn();
        sendMouse(view, QEvent::MouseMove, Qt::LeftButton, press + QPoint(8 * step, 5 * step));
        EXPECT_FALSE(sameCamera(before, currentCamera())) << "step " << step;
        EXPECT_EQ(drawingsAfter(drawn), 1u) << "step " << step;
    }
    // Wheel steps go the same way.
    const std::uint64_t drawn = viewState().framesDrawn();
    const QPointF at(100, 100);
    QWheelEvent notch(at, view->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::LeftButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &notch);
    EXPECT_EQ(drawingsAfter(drawn), 1u);
}

TEST_F(ViewNavigation, PointerStepsBetweenTwoFramesShareOneDrawingAndAllCount) {
    SceneView* view = loadedView();
    const QPoint press(200, 150);
    NavigationState state;
    state.mode = NavigationMode::examine;
    NavigationStep replay = leftDown(state, currentCamera(), {press.x(), press.y()});
    sendMouse(view, QEvent::MouseButtonPress, Qt::LeftButton, press);
    settle();
    const std::uint64_t drawn = viewState().framesDrawn();
    for (int step = 1; step <= 10; ++step) {
        const QPoint to = press + QPoint(4 * step, step);
        sendMouse(view, QEvent::MouseMove, Qt::LeftButton, to);
        replay = mouseMove(replay.state, replay.camera, {to.x(), to.y()}, view->height());
    }
    EXPECT_EQ(drawingsAfter(drawn), 1u);
    // Only the drawing is shared: every step turned the camera.
    EXPECT_TRUE(sameCamera(currentCamera(), replay.camera));
}

// The screen scale this run was started with (QT_SCALE_FACTOR), so that a run meant
// to scale fails when it did not.
double expectedScale() {
    const QByteArray scale = qgetenv("TESSARO_EXPECT_SCALE");
    return scale.isEmpty() ? 1.0 : scale.toDouble();
}

void drag(QWidget* view, QPoint from, QPoint to) {
    sendMouse(view, QEvent::MouseButtonPress, Qt::LeftButton, from);
    sendMouse(view, QEvent::MouseMove, Qt::LeftButton, to);
    sendMouse(view, QEvent::MouseButtonRelease, Qt::LeftButton, to);
}

// Pan moves the model one box height per view height and a drag-zoom up by a quarter
// of the view makes the box 1.5 times as wide, both counted in the pointer's
// device-independent pixels, whatever the screen's scale. Run once as is and once at
// scale 2 (tests/app/CMakeLists.txt).
TEST_F(ViewNavigation, PanAndDragZoomFollowThePointerAtTheScreensScale) {
    SceneView* view = loadedView();
    ASSERT_EQ(view->devicePixelRatioF(), expectedScale());
    const int height = view->height();
    const int travel = height / 4;
    const QPoint middle(view->width() / 2, height / 2);

    command(kPanCommand)->trigger();
    Camera before = currentCamera();
    drag(view, middle, middle + QPoint(travel, travel));
    const double share = static_cast<double>(travel) / height;
    Camera after = currentCamera();
    EXPECT_NEAR(after.centre[0], before.centre[0] - share * before.size[0], 1e-9 * before.size[0]);
    EXPECT_NEAR(after.centre[1], before.centre[1] + share * before.size[1], 1e-9 * before.size[1]);

    command(kZoomCommand)->trigger();
    before = currentCamera();
    drag(view, middle, middle - QPoint(0, travel));
    after = currentCamera();
    EXPECT_NEAR(after.size[0], before.size[0] * (1 + 2 * share), 1e-9 * before.size[0]);
}

}  // namespace
}  // namespace tessaro::testing
