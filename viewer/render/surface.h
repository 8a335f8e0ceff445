// The surface seam: what the renderer needs from a window or an off-screen
// buffer. The renderer itself never sees the window system.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessaro {

class RenderSurface {
  public:
    virtual ~RenderSurface() = default;
    // Makes the surface's OpenGL context current on this thread.
    virtual bool makeCurrent() = 0;
    // Shows the frame just drawn (a no-op for an off-screen surface).
    virtual void swapBuffers() = 0;
    // A window whose frames are shown only from its own paint handler asks for a paint
    // here and answers true: the redraw then waits for that paint, so camera changes
    // between two frames cost one drawing. False (the default) draws at once.
    virtual bool scheduleFrame() { return false; }
    virtual int width() const = 0;
    virtual int height() const = 0;
    // True for a surface with a colour index format, which needs the 3-3-2 palette.
    virtual bool indexed() const { return false; }
};

// An off-screen surface: an EGL context with the compatibility profile on Mesa's
// surfaceless platform, drawing into a framebuffer object of RGBA8 + DEPTH24.
// Null (with the reason in `error`) when no such context can be had.
std::unique_ptr<RenderSurface> createHeadlessSurface(int width, int height, std::string* error);

// The current framebuffer as opaque RGB bytes, rows from top to bottom.
std::vector<std::uint8_t> readPixelsRgb(int width, int height);

}  // namespace tessaro
