// Minimal PNG files of 8-bit RGB pixels: written for pictures and baselines, read
// back to compare them. Only what this program writes is read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaro {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width * height * 3 bytes, rows top to bottom
};

bool writePng(const std::string& path, const RgbImage& image);
// False for a file that is not an 8-bit RGB, non-interlaced PNG.
bool readPng(const std::string& path, RgbImage& image);

}  // namespace tessaro
