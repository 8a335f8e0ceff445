// Embedded images of a sheet for the GDI painter: decoded (PNG and JPEG by the system's
// Windows Imaging Component, raw rasters as they are) and stretched onto the device.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "dwf/display_list.h"

namespace plotwick {

struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // premultiplied BGRA, top row first
    bool opaque = true;
};

// Nothing (a 0 x 0 image) when the bytes cannot be decoded.
DecodedImage decodeImage(const RasterImage& raster);

// Stretches the image over `area`: enlarged it shows its pixels, reduced it is smoothed;
// pixels with alpha are blended.
void drawImage(HDC dc, const DecodedImage& image, const RECT& area);

}  // namespace plotwick
