// View navigation: how the mouse turns, zooms and pans the camera. Every operation is
// a pure function of the navigation state, the camera and one input; it returns the
// new state and camera and says what the window must do (repaint, take or release
// the mouse). Nothing here knows a window, Qt or OpenGL, so the view calls these
// functions with what its events carry and stores the camera in the renderer.
#pragma once

#include <cstdint>

namespace tessaro {

// The active tool; the numbers are the ones the main window stores and passes on.
enum class NavigationMode : std::int32_t { none = 0, examine = 1, zoom = 5, pan = 6 };

// The Tools command that resets the camera.
inline constexpr int kDefaultViewCommand = 32780;

// Cursor resources of the tools.
inline constexpr int kPanCursor = 132;
inline constexpr int kExamineCursor = 134;
inline constexpr int kZoomCursor = 135;

struct CursorShape {
    int resource;  // 0: no cursor of the view's own, the pointer keeps its shape
    int hotX, hotY;
};
CursorShape cursorFor(NavigationMode mode);

// Rotation per pixel of pointer travel, in radians.
inline constexpr double kRotationPerPixel = 0.015;
// A press followed by a move of fewer pixels than this on both axes does not rotate.
inline constexpr int kRotationDeadZone = 3;
// Box width change per wheel unit (120 units to a notch).
inline constexpr double kWheelFactorPerUnit = 0.003;
// Zoom keeps the box width within these multiples of the box depth.
inline constexpr double kMinWidthInDepths = 0.0005;
inline constexpr double kMaxWidthInDepths = 50.0;
// Pan keeps each coordinate of the box centre within this multiple of the box depth.
inline constexpr double kPanLimitInDepths = 100.0;

// The camera as navigation sees it: an orientation that turns the model in front of
// the viewer and the orthographic view box (width, height, depth) that selects what
// is visible, in the coordinates after the rotation.
struct Camera {
    double forward[3] = {0, 0, 1};
    double up[3] = {0, 1, 0};
    double centre[3] = {0, 0, 0};
    double size[3] = {2, 2, 2};
};

// A point in client coordinates of the view, y growing downwards. Points and the
// client height are in one unit, the one the window system gives pointer positions in
// (device-independent pixels under Qt), so a step does not depend on the screen's
// scale: a turn is per unit of pointer travel, a pan follows the pointer.
struct ClientPoint {
    std::int32_t x = 0, y = 0;
};

// What a view remembers between mouse events.
struct NavigationState {
    NavigationMode mode = NavigationMode::none;
    ClientPoint press;  // where the last button went down
    ClientPoint last;   // the last rotation step (the press point until one happened)
    bool leftDown = false;
    bool middleDown = false;
    bool moved = false;              // a rotation step happened since the press
    double pressWidth = 0;           // box width at the press and after each wheel step
    double pressCentre[2] = {0, 0};  // box centre x, y at the press
};

enum class MouseCapture { keep, take, release };

struct NavigationStep {
    NavigationState state;
    Camera camera;
    bool redraw = false;  // the camera was set: store it and repaint
    MouseCapture capture = MouseCapture::keep;
};

NavigationStep leftDown(const NavigationState& state, const Camera& camera, ClientPoint point);
NavigationStep middleDown(const NavigationState& state, const Camera& camera, ClientPoint point);
// Releasing either button releases the mouse, even while the other is held.
NavigationStep leftUp(const NavigationState& state, const Camera& camera);
NavigationStep middleUp(const NavigationState& state, const Camera& camera);

// The left button acts by tool (Examine rotates, Zoom zooms from the press, Pan pans
// from the press); then a held middle button pans whatever the tool. A client height
// below one pixel gives no zoom or pan step.
NavigationStep mouseMove(const NavigationState& state, const Camera& camera, ClientPoint point,
                         int clientHeight);

// delta in wheel units, 120 to a notch, positive away from the user (zooms out).
NavigationStep wheel(const NavigationState& state, const Camera& camera, int delta);

// The camera a load produced: box centred on the origin with the current depth on
// every side, default orientation. The depth is the one the fit gave, since no
// navigation changes it.
Camera defaultView(const Camera& camera);

// The camera after a left drag with the Examine tool from the middle of a view of
// width x height pixels by (dx, dy) pixels, as one mouse move.
Camera examineTurn(const Camera& camera, int dx, int dy, int width, int height);

}  // namespace tessaro
