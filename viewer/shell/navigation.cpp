#include "shell/navigation.h"

#include <algorithm>
#include <cmath>

namespace tessaro {
namespace {

struct Vector3 {
    double x, y, z;
};

double dot(const Vector3& a, const Vector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vector3 scaled(const Vector3& v, double factor) {
    return {v.x * factor, v.y * factor, v.z * factor};
}

// The turn works in a frame whose x axis points the other way; the same mirror maps
// the result back.
Vector3 mirrored(const double v[3]) {
    return {-v[0], v[1], v[2]};
}

void storeMirrored(const Vector3& v, double out[3]) {
    out[0] = -v.x;
    out[1] = v.y;
    out[2] = v.z;
}

// A turn by angle (cos c, sin s) about the screen-plane axis perpendicular to the
// unit drag direction (ax, ay).
struct Turn {
    double ax, ay, c, s;
};

// Into the frame of the drag direction, turn there, and back.
Vector3 turned(const Vector3& v, const Turn& t) {
    const double p = v.y * t.ay - v.x * t.ax;
    const double q = v.x * t.ay + v.y * t.ax;
    const double pTurned = p * t.c - v.z * t.s;
    const double z = p * t.s + v.z * t.c;
    return {q * t.ay - pTurned * t.ax, pTurned * t.ay + q * t.ax, z};
}

// Divides by the squared length rather than the length: for the near-unit vectors
// a turn produces, this keeps the length within rounding of one all the same.
Vector3 renormalised(const Vector3& v) {
    return scaled(v, 1.0 / dot(v, v));
}

void rotate(Camera& camera, ClientPoint from, ClientPoint to) {
    const double a = (double(from.x) - to.x) * kRotationPerPixel;
    const double b = (double(to.y) - from.y) * kRotationPerPixel;
    const double theta = std::sqrt(a * a + b * b);
    const Turn turn{a / theta, b / theta, std::cos(theta), std::sin(theta)};
    const Vector3 forward = renormalised(turned(mirrored(camera.forward), turn));
    Vector3 up = turned(mirrored(camera.up), turn);
    const double along = dot(forward, up);
    up = renormalised(
        {up.x - along * forward.x, up.y - along * forward.y, up.z - along * forward.z});
    storeMirrored(forward, camera.forward);
    storeMirrored(up, camera.up);
}

// Nothing turns until the pointer leaves the dead zone around the press, and a move
// back onto the last step's point is no step.
bool rotationIdle(const NavigationState& state, ClientPoint point) {
    const bool inDeadZone = !state.moved &&
                            std::abs(double(point.x) - state.press.x) < kRotationDeadZone &&
                            std::abs(double(point.y) - state.press.y) < kRotationDeadZone;
    const bool atLast = point.x == state.last.x && point.y == state.last.y;
    return inDeadZone || atLast;
}

double limitedWidth(double width, double depth) {
    return std::min(std::max(width, kMinWidthInDepths * depth), kMaxWidthInDepths * depth);
}

// Zoom keeps the box square around its current centre.
void setWidth(Camera& camera, double width) {
    camera.size[0] = width;
    camera.size[1] = width;
}

// Out of range, a coordinate stops at the limit on its own side.
double limitedCentre(double coordinate, double depth) {
    const double limit = kPanLimitInDepths * depth;
    return std::abs(coordinate) > limit ? std::copysign(limit, coordinate) : coordinate;
}

// One box height per client height, so the model follows the pointer; the x travel
// is scaled by the height too, which keeps the pan isotropic in a wide window.
void panFromPress(Camera& camera, const NavigationState& state, ClientPoint point,
                  int clientHeight) {
    const double across = -(double(point.x) - state.press.x) / clientHeight;
    const double down = (double(point.y) - state.press.y) / clientHeight;
    const double depth = camera.size[2];
    camera.centre[0] = limitedCentre(state.pressCentre[0] + across * camera.size[0], depth);
    camera.centre[1] = limitedCentre(state.pressCentre[1] + down * camera.size[1], depth);
    camera.centre[2] = 0;
}

// Half the client height downwards shrinks the box to nothing (then the limit),
// half upwards doubles it.
void zoomFromPress(Camera& camera, const NavigationState& state, ClientPoint point,
                   int clientHeight) {
    const double factor = 1.0 - 2.0 * (double(point.y) - state.press.y) / clientHeight;
    setWidth(camera, limitedWidth(factor * state.pressWidth, camera.size[2]));
}

NavigationStep unchanged(const NavigationState& state, const Camera& camera) {
    NavigationStep step;
    step.state = state;
    step.camera = camera;
    return step;
}

NavigationStep pressed(const NavigationState& state, const Camera& camera, ClientPoint point) {
    NavigationStep step = unchanged(state, camera);
    step.state.press = point;
    step.state.last = point;
    step.state.moved = false;
    step.state.pressWidth = camera.size[0];
    step.state.pressCentre[0] = camera.centre[0];
    step.state.pressCentre[1] = camera.centre[1];
    step.capture = MouseCapture::take;
    return step;
}

// The left button's part of a move; false when a rotation did nothing, which ends
// the whole move (a held middle button does not pan either).
bool leftDrag(const NavigationState& state, NavigationStep& step, ClientPoint point,
              int clientHeight) {
    switch (state.mode) {
        case NavigationMode::examine:
            if (rotationIdle(state, point)) return false;
            rotate(step.camera, state.last, point);
            step.state.last = point;
            step.state.moved = true;
            step.redraw = true;
            break;
        case NavigationMode::zoom:
            if (clientHeight < 1) break;
            zoomFromPress(step.camera, state, point, clientHeight);
            step.redraw = true;
            break;
        case NavigationMode::pan:
            if (clientHeight < 1) break;
            panFromPress(step.camera, state, point, clientHeight);
            step.redraw = true;
            break;
        default:
            break;
    }
    return true;
}

}  // namespace

CursorShape cursorFor(NavigationMode mode) {
    switch (mode) {
        case NavigationMode::examine:
            return {kExamineCursor, 15, 15};
        case NavigationMode::zoom:
            return {kZoomCursor, 13, 14};
        case NavigationMode::pan:
            return {kPanCursor, 15, 15};
        default:
            return {0, 0, 0};
    }
}

NavigationStep leftDown(const NavigationState& state, const Camera& camera, ClientPoint point) {
    NavigationStep step = pressed(state, camera, point);
    step.state.leftDown = true;
    return step;
}

NavigationStep middleDown(const NavigationState& state, const Camera& camera, ClientPoint point) {
    NavigationStep step = pressed(state, camera, point);
    step.state.middleDown = true;
    return step;
}

NavigationStep leftUp(const NavigationState& state, const Camera& camera) {
    NavigationStep step = unchanged(state, camera);
    step.state.leftDown = false;
    step.capture = MouseCapture::release;
    return step;
}

NavigationStep middleUp(const NavigationState& state, const Camera& camera) {
    NavigationStep step = unchanged(state, camera);
    step.state.middleDown = false;
    step.capture = MouseCapture::release;
    return step;
}

NavigationStep mouseMove(const NavigationState& state, const Camera& camera, ClientPoint point,
                         int clientHeight) {
    NavigationStep step = unchanged(state, camera);
    if (state.leftDown && !leftDrag(state, step, point, clientHeight)) return step;
    if (state.middleDown && clientHeight >= 1) {
        panFromPress(step.camera, state, point, clientHeight);
        step.redraw = true;
    }
    return step;
}

NavigationStep wheel(const NavigationState& state, const Camera& camera, int delta) {
    NavigationStep step = unchanged(state, camera);
    const double factor = delta * kWheelFactorPerUnit + 1.0;
    const double width = limitedWidth(factor * camera.size[0], camera.size[2]);
    setWidth(step.camera, width);
    step.state.pressWidth = width;
    step.redraw = true;
    return step;
}

Camera defaultView(const Camera& camera) {
    const double depth = camera.size[2];
    return Camera{{0, 0, 1}, {0, 1, 0}, {0, 0, 0}, {depth, depth, depth}};
}

Camera examineTurn(const Camera& camera, int dx, int dy, int width, int height) {
    NavigationState state;
    state.mode = NavigationMode::examine;
    const ClientPoint from{width / 2, height / 2};
    const NavigationStep down = leftDown(state, camera, from);
    const NavigationStep moved =
        mouseMove(down.state, down.camera, {from.x + dx, from.y + dy}, height);
    return moved.camera;
}

}  // namespace tessaro
