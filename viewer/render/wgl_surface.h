// The Windows side of the surface seam: an OpenGL context on a window's device
// context through WGL.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "render/surface.h"

namespace tessaro {

// A double-buffered RGBA surface with a depth buffer on the window's device context;
// when the chosen pixel format needs a palette, the 3-3-2 palette is realised on it.
// Null (with the reason in `error`) when the window gets no OpenGL context.
std::unique_ptr<RenderSurface> createWindowSurface(HWND window, std::string* error);

}  // namespace tessaro
