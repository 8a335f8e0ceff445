#include <GL/gl.h>

#include <cstddef>

#include "render/surface.h"

namespace tessaro {

std::vector<std::uint8_t> readPixelsRgb(int width, int height) {
    if (width <= 0 || height <= 0) return {};
    const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    std::vector<std::uint8_t> rgba(w * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    // OpenGL's rows run bottom to top; alpha is dropped, so the picture is opaque.
    std::vector<std::uint8_t> rgb(w * h * 3);
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* from = &rgba[(h - 1 - y) * w * 4];
        std::uint8_t* to = &rgb[y * w * 3];
        for (std::size_t x = 0; x < w; ++x) {
            to[3 * x] = from[4 * x];
            to[3 * x + 1] = from[4 * x + 1];
            to[3 * x + 2] = from[4 * x + 2];
        }
    }
    return rgb;
}

}  // namespace tessaro
