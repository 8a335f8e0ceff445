#include "shell/navigation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tessaro {
namespace {

// Default orientation and a square box; the centre's z is off zero so that a pan shows it
// resets it.
Camera boxOf(double width, double depth, double centreX = 0, double centreY = 0) {
    return Camera{{0, 0, 1}, {0, 1, 0}, {centreX, centreY, 3}, {width, width, depth}};
}

// Presses the left (or middle) button at the first point and moves through the others.
NavigationStep drag(NavigationMode mode, const Camera& camera, std::vector<ClientPoint> path,
                    int clientHeight = 400, bool middle = false) {
    NavigationState state;
    state.mode = mode;
    NavigationStep step =
        middle ? middleDown(state, camera, path[0]) : leftDown(state, camera, path[0]);
    for (size_t i = 1; i < path.size(); ++i)
        step = mouseMove(step.state, step.camera, path[i], clientHeight);
    return step;
}

double dot(const double a[3], const double b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// The front of the model follows the pointer: forward leans towards the drag on screen
// (client y grows downwards, camera y upwards).
TEST(Navigation, RotationTurnsByPixelsOutsideTheDeadZone) {
    const struct {
        int dx, dy;
        double angle;  // 0: no turn
    } cases[] = {{2, 2, 0},      {-2, 2, 0},     {0, -2, 0},
                 {3, 0, 0.045},  {-3, 0, 0.045}, {0, 3, 0.045},
                 {0, -3, 0.045}, {3, 4, 0.075},  {2, 3, 0.015 * std::sqrt(13.0)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.dx << "," << c.dy);
        const NavigationStep step =
            drag(NavigationMode::examine, boxOf(2, 2), {{100, 100}, {100 + c.dx, 100 + c.dy}});
        EXPECT_EQ(step.redraw, c.angle > 0);
        EXPECT_EQ(step.state.moved, c.angle > 0);
        const double length = std::hypot(c.dx, c.dy);
        const double s = std::sin(c.angle);
        const double turned[3] = {s * c.dx / length, -s * c.dy / length, std::cos(c.angle)};
        const double unturned[3] = {0, 0, 1};
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(step.camera.forward[i], c.angle > 0 ? turned[i] : unturned[i], 1e-12);
    }
}

TEST(Navigation, RotationStepsRunFromTheLastPointAndCompose) {
    const NavigationStep out = drag(NavigationMode::examine, boxOf(2, 2), {{0, 0}, {3, 0}, {4, 0}});
    EXPECT_NEAR(std::acos(out.camera.forward[2]), 0.06, 1e-12);  // one pixel after leaving the zone
    EXPECT_FALSE(mouseMove(out.state, out.camera, {4, 0}, 400).redraw);
    const NavigationStep back =
        drag(NavigationMode::examine, boxOf(2, 2), {{0, 0}, {5, 4}, {0, 0}});
    EXPECT_NEAR(back.camera.forward[2], 1, 1e-12);
    EXPECT_NEAR(back.camera.up[1], 1, 1e-12);
}

TEST(Navigation, RotationKeepsAnOrthonormalFrameOverManySteps) {
    std::vector<ClientPoint> path{{0, 0}};
    for (int i = 1; i <= 20000; ++i)
        path.push_back({int(300 * std::cos(i * 0.37)), int(200 * std::sin(i * 0.11))});
    const Camera camera = drag(NavigationMode::examine, boxOf(2, 2), path).camera;
    EXPECT_NEAR(dot(camera.forward, camera.forward), 1, 1e-9);
    EXPECT_NEAR(dot(camera.up, camera.up), 1, 1e-9);
    EXPECT_NEAR(dot(camera.forward, camera.up), 0, 1e-9);
}

// A still rotation ends the move: a held middle button does not pan either.
TEST(Navigation, AnIdleRotationStepSkipsTheMiddleButtonPan) {
    NavigationStep step = drag(NavigationMode::examine, boxOf(2, 2), {{50, 50}});
    step = middleDown(step.state, step.camera, {50, 50});
    const NavigationStep moved = mouseMove(step.state, step.camera, {52, 51}, 400);
    EXPECT_FALSE(moved.redraw);
    EXPECT_EQ(moved.camera.centre[0], 0);
}

// Each case first moves elsewhere: the width depends on the press only, never compounds.
TEST(Navigation, DragZoomScalesThePressWidthWithinTheDepthLimits) {
    const struct {
        int dy;  // client height 400, width 2 and depth 10 at the press
        double width;
    } cases[] = {{0, 2},       {100, 1},      {-200, 4},    {200, 0.005},
                 {390, 0.005}, {-19800, 200}, {-60000, 500}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dy);
        const Camera camera =
            drag(NavigationMode::zoom, boxOf(2, 10), {{0, 200}, {0, 130}, {5, 200 + c.dy}}).camera;
        EXPECT_DOUBLE_EQ(camera.size[0], c.width);
        EXPECT_DOUBLE_EQ(camera.size[1], c.width);
        EXPECT_EQ(camera.size[2], 10);
        EXPECT_EQ(camera.centre[0], 0);
    }
}

TEST(Navigation, WheelNotchesScaleByTheirFactorWithinTheLimits) {
    const struct {
        int delta;
        double width;
    } cases[] = {{120, 2.72}, {-120, 1.28}, {240, 3.44}, {-400, 0.005}, {90000, 500}};
    for (const auto& c : cases) {
        const NavigationStep step = wheel(NavigationState{}, boxOf(2, 10), c.delta);
        EXPECT_DOUBLE_EQ(step.camera.size[0], c.width) << c.delta;
        EXPECT_DOUBLE_EQ(step.state.pressWidth, c.width) << c.delta;
    }
}

// The wheel scales what the drag zoom left and becomes the width the drag continues from.
TEST(Navigation, AWheelStepDuringADragZoomRebasesIt) {
    NavigationStep step = drag(NavigationMode::zoom, boxOf(2, 10), {{0, 200}, {0, 100}});
    step = wheel(step.state, step.camera, 120);
    EXPECT_DOUBLE_EQ(step.camera.size[0], 3 * 1.36);
    step = mouseMove(step.state, step.camera, {0, 100}, 400);
    EXPECT_DOUBLE_EQ(step.camera.size[0], 1.5 * 3 * 1.36);
}

// The middle button pans whatever the tool.
TEST(Navigation, PanFollowsThePointerOneBoxHeightPerClientHeight) {
    const struct {
        NavigationMode mode;
        bool middle;
        int dx, dy;
        double x, y;  // box 8 wide, client 400 high, centre (1, -2) at the press
    } cases[] = {{NavigationMode::pan, false, 400, 0, -7, -2},
                 {NavigationMode::pan, false, 0, 400, 1, 6},
                 {NavigationMode::pan, false, 100, -200, -1, -6},
                 {NavigationMode::examine, true, 100, -200, -1, -6},
                 {NavigationMode::zoom, true, -50, 50, 2, -1},
                 {NavigationMode::none, true, -50, 50, 2, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << int(c.mode) << " " << c.dx << "," << c.dy);
        const NavigationStep step =
            drag(c.mode, boxOf(8, 10, 1, -2), {{10, 10}, {10 + c.dx, 10 + c.dy}}, 400, c.middle);
        EXPECT_TRUE(step.redraw);
        EXPECT_DOUBLE_EQ(step.camera.centre[0], c.x);
        EXPECT_DOUBLE_EQ(step.camera.centre[1], c.y);
        EXPECT_EQ(step.camera.centre[2], 0);
        EXPECT_EQ(step.camera.size[0], 8);
    }
}

// Beyond 100 depths a coordinate stops at the limit on its own side, on both axes.
TEST(Navigation, PanLimitsKeepTheSignAndUseTheDepthOnBothAxes) {
    const struct {
        int dx, dy;
        double x, y;  // one pixel is one unit: box 8, client 8 high, depth 1
    } cases[] = {{-150, 0, 100, 0},  {150, 0, -100, 0},     {0, 150, 0, 100},
                 {0, -150, 0, -100}, {-100, 100, 100, 100}, {99, -99, -99, -99}};
    for (const auto& c : cases) {
        const Camera camera =
            drag(NavigationMode::pan, boxOf(8, 1), {{0, 0}, {c.dx, c.dy}}, 8).camera;
        EXPECT_EQ(camera.centre[0], c.x) << c.dx << "," << c.dy;
        EXPECT_EQ(camera.centre[1], c.y) << c.dx << "," << c.dy;
    }
}

TEST(Navigation, WithoutAToolOrAClientHeightADragDoesNothing) {
    EXPECT_FALSE(drag(NavigationMode::none, boxOf(2, 2), {{0, 0}, {40, 40}}).redraw);
    for (NavigationMode mode : {NavigationMode::zoom, NavigationMode::pan}) {
        const NavigationStep step = drag(mode, boxOf(2, 2), {{0, 0}, {0, 0}}, 0);
        EXPECT_FALSE(step.redraw);
        EXPECT_EQ(step.camera.size[0], 2);
        EXPECT_EQ(step.camera.centre[1], 0);
    }
}

TEST(Navigation, ReleasingEitherButtonReleasesTheMouseWhileTheOtherIsHeld) {
    NavigationStep step = drag(NavigationMode::examine, boxOf(2, 2), {{0, 0}});
    EXPECT_EQ(step.capture, MouseCapture::take);
    step = middleDown(step.state, step.camera, {0, 0});
    step = leftUp(step.state, step.camera);
    EXPECT_EQ(step.capture, MouseCapture::release);
    step = mouseMove(step.state, step.camera, {0, 200}, 400);
    EXPECT_DOUBLE_EQ(step.camera.centre[1], 1);  // the middle button still pans
    EXPECT_EQ(middleUp(step.state, step.camera).capture, MouseCapture::release);
}

TEST(Navigation, DefaultViewRestoresTheFittedCamera) {
    const Camera fitted{{0, 0, 1}, {0, 1, 0}, {0, 0, 0}, {6, 6, 6}};
    NavigationStep step = drag(NavigationMode::examine, fitted, {{0, 0}, {30, 17}});
    step = drag(NavigationMode::zoom, step.camera, {{0, 0}, {0, -90}});
    step = drag(NavigationMode::pan, step.camera, {{0, 0}, {25, 70}});
    step = wheel(step.state, step.camera, -240);
    ASSERT_NE(step.camera.forward[2], 1);
    const Camera restored = defaultView(step.camera);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(restored.forward[i], fitted.forward[i]) << i;
        EXPECT_EQ(restored.up[i], fitted.up[i]) << i;
        EXPECT_EQ(restored.centre[i], fitted.centre[i]) << i;
        EXPECT_EQ(restored.size[i], fitted.size[i]) << i;
    }
}

// A scripted turn obeys the dead zone and turns by the drag's length, whatever the
// size of the picture; the box is left alone.
TEST(Navigation, ExamineTurnIsOneDragFromTheMiddle) {
    const struct {
        int dx, dy, width, height;
        double angle;
    } cases[] = {{2, -2, 800, 600, 0},
                 {30, 0, 800, 600, 0.45},
                 {0, -40, 96, 72, 0.6},
                 {-30, 40, 800, 600, 0.75}};
    for (const auto& c : cases) {
        const Camera before = boxOf(2, 2);
        const Camera after = examineTurn(before, c.dx, c.dy, c.width, c.height);
        EXPECT_NEAR(std::acos(std::min(1.0, dot(before.forward, after.forward))), c.angle, 1e-9)
            << c.dx << "," << c.dy;
        EXPECT_NEAR(dot(after.forward, after.up), 0, 1e-12);
        EXPECT_EQ(after.size[0], before.size[0]);
    }
}

}  // namespace
}  // namespace tessaro
