// The camera of a 3D model page: the published one (or an isometric view of the model's
// box), turned, zoomed and panned by the user. Pure arithmetic, no OpenGL, so the same
// steps hold in every window and in the off-screen picture.
#pragma once

#include <array>

#include "dwf/w3d_model.h"

namespace plotwick {

using Vector3 = std::array<double, 3>;

struct ModelCamera {
    Vector3 position{0, 0, 1};
    Vector3 target{0, 0, 0};
    Vector3 up{0, 1, 0};
    // The extent seen at the target: a square of the smaller one is always in view,
    // widened to the window's shape.
    double fieldWidth = 2;
    double fieldHeight = 2;
    bool perspective = false;
};

// The camera the package was published with; without one (or with a degenerate one), an
// isometric view that fits the model's box.
ModelCamera publishedCamera(const W3dModel& model);

// A drag of (dx, dy) window fractions turns the model about the target: across the whole
// width is half a turn about the screen's up axis, down the whole height half a turn
// about its right axis.
ModelCamera turned(const ModelCamera& camera, double dx, double dy);
// factor > 1 brings the model closer.
ModelCamera zoomed(const ModelCamera& camera, double factor);
// Moves the model with the pointer: (dx, dy) pixels in a width x height window.
ModelCamera panned(const ModelCamera& camera, double dx, double dy, int width, int height);

struct ViewVolume {
    double left, right, bottom, top, zNear, zFar;
    bool perspective;
};

// The projection for a width x height window: the square of the field's smaller side
// widened to the window's shape, depth limits around `box`.
ViewVolume viewVolume(const ModelCamera& camera, const W3dBox& box, int width, int height);

// The model-view matrix (column-major, as OpenGL takes it) with the right-handed screen
// basis: forward = target - position, right = forward x up, screen up = right x forward.
std::array<double, 16> viewMatrix(const ModelCamera& camera);

}  // namespace plotwick
