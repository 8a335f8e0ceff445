// Reads back what the renderer draws: the current OpenGL context redraws the scene in
// feedback mode, which hands every primitive back projected, clipped and lit instead
// of drawing it, so a copy of the view shows exactly the triangles the view shows.
#pragma once

#include <string>

#include "host/host_dwf.h"

namespace exportal {

// Captures the scene as the renderer would draw it into a viewport of width x height
// (the camera's projection must already be set for that size): its primitives, and
// its picture with depths when an off-screen target can be made. False with `error`
// set when the scene is too large to read back.
bool captureShadedPicture(int width, int height, ShadedPicture& picture, std::string& error);

}  // namespace exportal
