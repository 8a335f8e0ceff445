// Draws a document without a window: the picture the viewer shows after loading
// it (fitted camera, default orientation), for tessaro-cli and the picture tests.
#pragma once

#include <string>

#include "render/png.h"

namespace tessaro {

struct HeadlessResult {
    bool drawn = false;   // a picture was made
    std::string message;  // the load's message, or why nothing could be drawn
};

// Loads `fileName` on an off-screen surface of width x height and reads the picture.
HeadlessResult renderDocument(const std::string& fileName, int width, int height,
                              RgbImage& picture);

}  // namespace tessaro
