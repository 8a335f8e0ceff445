// Embedded images of a sheet for the GDI painter: decoded (PNG and JPEG by the system's
// Windows Imaging Component, raw rasters as they are) and stretched onto the device.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "dwf/display_list.h"
#include "dwf/paint_work.h"

namespace plotwick {

struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // premultiplied BGRA, top row first
    bool opaque = true;
};

// Nothing (a 0 x 0 image) when the bytes cannot be decoded.
DecodedImage decodeImage(const RasterImage& raster);

// For a paint's ImageBook. The size the opcode gives stands for what the decoder would
// find: the book charges the rest, if any, once it is decoded.
struct GdiImageCodec {
    static std::uint64_t declaredPixels(const RasterImage& raster) {
        return opcodePixelsOf(raster);
    }
    static DecodedImage decode(const RasterImage& raster) { return decodeImage(raster); }
    static std::uint64_t pixelsOf(const DecodedImage& image) { return image.pixels.size(); }
};

// Stretches the image over `area`: enlarged it shows its pixels, reduced it is smoothed;
// pixels with alpha are blended.
void drawImage(HDC dc, const DecodedImage& image, const RECT& area);

}  // namespace plotwick
