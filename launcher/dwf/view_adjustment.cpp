#include "dwf/view_adjustment.h"

#include <algorithm>
#include <cmath>

namespace plotwick {

ViewAdjustment zoomedAbout(const ViewAdjustment& adjustment, double wheelDelta,
                           const DeviceOffset& cursorFromCentre) {
    const double notches = wheelDelta / kWheelDeltaPerNotch;
    const double zoom =
        std::clamp(adjustment.zoom * std::pow(kZoomPerNotch, notches), kMinimumZoom, kMaximumZoom);
    // Everything scales about the target's centre plus the pan; moving the pan keeps
    // the cursor's point fixed.
    const double factor = zoom / adjustment.zoom;
    return {zoom,
            {cursorFromCentre.x - factor * (cursorFromCentre.x - adjustment.pan.x),
             cursorFromCentre.y - factor * (cursorFromCentre.y - adjustment.pan.y)}};
}

ViewAdjustment pannedBy(const ViewAdjustment& adjustment, const DeviceOffset& drag) {
    return {adjustment.zoom, {adjustment.pan.x + drag.x, adjustment.pan.y + drag.y}};
}

PageToDevice fitPage(const PageBox& page, const DeviceBox& target,
                     const ViewAdjustment& adjustment) {
    const double scale =
        std::min(target.width / page.width, target.height / page.height) * adjustment.zoom;
    const double centreX = target.left + target.width / 2 + adjustment.pan.x;
    const double centreY = target.top + target.height / 2 + adjustment.pan.y;
    return {scale, centreX - scale * (page.left + page.width / 2),
            centreY + scale * (page.bottom + page.height / 2)};
}

}  // namespace plotwick
