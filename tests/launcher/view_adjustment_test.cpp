// The zoom and pan arithmetic both display components share: a wheel turn keeps the
// page point under the cursor where it was, within the zoom limits; a drag moves the
// page with the mouse. (Where the fitted page lands is checked by the painters' tests.)
#include <gtest/gtest.h>

#include <cmath>

#include "dwf/view_adjustment.h"

namespace plotwick {
namespace {

// A 10 x 10 page with its corner at the origin, fitted into a 200 x 100 target: 10
// pixels per unit, centred.
const PageBox kPage{0, 0, 10, 10};
const DeviceBox kTarget{0, 0, 200, 100};

DeviceOffset onPage(const PageToDevice& fit, const DeviceOffset& device) {
    return {(device.x - fit.dx) / fit.scale, (fit.dy - device.y) / fit.scale};
}

struct WheelCase {
    const char* what;
    ViewAdjustment before;
    double wheelDelta;
    DeviceOffset cursor;  // from the target's centre
    double zoom;
    DeviceOffset pan;
};

TEST(ViewAdjustment, WheelZoomsAboutTheCursorWithinTheLimits) {
    const WheelCase cases[] = {
        {"one notch in at the centre", {}, 120, {0, 0}, 1.25, {0, 0}},
        {"one notch in off the centre", {}, 120, {100, -40}, 1.25, {-25, 10}},
        {"one notch out undoes it", {1.25, {-25, 10}}, -120, {100, -40}, 1, {0, 0}},
        {"two notches about a panned page", {2, {10, 20}}, 240, {0, 0}, 3.125, {15.625, 31.25}},
        {"half a notch from a fine wheel", {}, 60, {0, 0}, std::sqrt(1.25), {0, 0}},
        {"no turn changes nothing", {3, {7, -7}}, 0, {50, 50}, 3, {7, -7}},
        {"stops at the largest zoom", {9000, {0, 0}}, 120, {90, 0}, 10000, {-10, 0}},
        {"stops at the smallest zoom", {0.05, {4, 4}}, -360, {80, 30}, 0.05, {4, 4}},
        {"a huge turn is held at the limit", {}, 120 * 1000, {0, 0}, 10000, {0, 0}},
    };
    for (const WheelCase& c : cases) {
        const ViewAdjustment after = zoomedAbout(c.before, c.wheelDelta, c.cursor);
        EXPECT_NEAR(after.zoom, c.zoom, 1e-9) << c.what;
        EXPECT_NEAR(after.pan.x, c.pan.x, 1e-9) << c.what;
        EXPECT_NEAR(after.pan.y, c.pan.y, 1e-9) << c.what;
        // Whatever the numbers, the page point under the cursor has not moved.
        const DeviceOffset cursor{100 + c.cursor.x, 50 + c.cursor.y};
        const DeviceOffset was = onPage(fitPage(kPage, kTarget, c.before), cursor);
        const DeviceOffset is = onPage(fitPage(kPage, kTarget, after), cursor);
        EXPECT_NEAR(is.x, was.x, 1e-9) << c.what;
        EXPECT_NEAR(is.y, was.y, 1e-9) << c.what;
    }
}

TEST(ViewAdjustment, DragsAddUpAndKeepTheZoom) {
    ViewAdjustment adjustment{2.5, {1, 2}};
    adjustment = pannedBy(adjustment, {30, -20});
    adjustment = pannedBy(adjustment, {-5, 0.5});
    EXPECT_EQ(adjustment, (ViewAdjustment{2.5, {26, -17.5}}));
}

}  // namespace
}  // namespace plotwick
