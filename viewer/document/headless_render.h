// Draws a document without a window: the picture the viewer shows after loading
// it (fitted camera, default orientation), for tessaro-cli and the picture tests.
#pragma once

#include <functional>
#include <string>

#include "render/png.h"
#include "xgl/load_result.h"

namespace tessaro {

// Loads `fileName` on an off-screen surface of width x height and reads the picture:
// the document's, or a white one when the file cannot be opened. An invalid document
// (its message in the result) or a missing surface (status cannotDraw) leaves
// `picture` as it was. `afterLoad` runs between a successful load and the reading, to
// move the camera.
LoadResult renderDocument(const std::string& fileName, int width, int height, RgbImage& picture,
                          const std::function<void()>& afterLoad = {});

}  // namespace tessaro
