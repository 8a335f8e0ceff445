// How far the user has zoomed and panned a sheet away from its fitted place, and where
// that puts the page on the device. Both launchers' display components change and apply
// it with this same arithmetic, so it is plain numbers without a window system.
#pragma once

namespace plotwick {

struct DeviceOffset {
    double x = 0;
    double y = 0;
    bool operator==(const DeviceOffset&) const = default;
};

struct ViewAdjustment {
    double zoom = 1.0;  // 1 fits the page into the target
    DeviceOffset pan;   // device pixels, from the target's centre
    bool operator==(const ViewAdjustment&) const = default;
};

// One wheel notch zooms by a quarter; the limits keep the page findable.
inline constexpr double kZoomPerNotch = 1.25;
inline constexpr double kMinimumZoom = 0.05;
inline constexpr double kMaximumZoom = 10000;
inline constexpr double kWheelDeltaPerNotch = 120;  // as both window systems report it

// Zooms by a wheel turn (positive zooms in) so that the page point under the cursor,
// given from the target's centre, stays under it.
ViewAdjustment zoomedAbout(const ViewAdjustment& adjustment, double wheelDelta,
                           const DeviceOffset& cursorFromCentre);
// Moves the page with a drag of the mouse by `drag` device pixels.
ViewAdjustment pannedBy(const ViewAdjustment& adjustment, const DeviceOffset& drag);

struct PageBox {
    double left = 0, bottom = 0, width = 1, height = 1;  // page units, y up
};
struct DeviceBox {
    double left = 0, top = 0, width = 1, height = 1;  // device pixels, y down
};
// device x = scale * page x + dx; device y = -scale * page y + dy.
struct PageToDevice {
    double scale = 1, dx = 0, dy = 0;
};

// Fits the page into the target with its aspect kept and centred, then adjusts it.
PageToDevice fitPage(const PageBox& page, const DeviceBox& target,
                     const ViewAdjustment& adjustment);

}  // namespace plotwick
