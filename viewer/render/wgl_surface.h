// The Windows side of the surface seam: an OpenGL context through WGL.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "render/surface.h"

namespace tessaro {

// A double-buffered RGBA surface with a depth buffer for `window`. OpenGL draws into a
// hidden window of the same pixel format, and each finished frame is copied to
// `window` by GDI; when the chosen format needs a palette, the 3-3-2 palette is
// realised for both. Null (with the reason in `error`) when no OpenGL context can be had.
std::unique_ptr<RenderSurface> createWindowSurface(HWND window, std::string* error);

}  // namespace tessaro
