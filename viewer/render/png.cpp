#include "render/png.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace tessaro {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

void putBigEndian(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

std::uint32_t getBigEndian(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

void putChunk(std::string& out, const char* type, const std::string& data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    putBigEndian(out, static_cast<std::uint32_t>(
                          crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

// Each row starts with filter type 0 (none).
std::string filteredRows(const RgbImage& image) {
    const std::size_t stride = static_cast<std::size_t>(image.width) * 3;
    std::string raw;
    raw.reserve((stride + 1) * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        raw += '\0';
        raw.append(reinterpret_cast<const char*>(image.pixels.data()) + y * stride, stride);
    }
    return raw;
}

std::uint8_t paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
    return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// Undoes the five PNG row filters in place; false for an unknown filter.
bool unfilter(std::vector<std::uint8_t>& raw, int width, int height,
              std::vector<std::uint8_t>& out) {
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    out.assign(stride * static_cast<std::size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t filter = raw[y * (stride + 1)];
        const std::uint8_t* in = &raw[y * (stride + 1) + 1];
        std::uint8_t* row = &out[y * stride];
        const std::uint8_t* up = y > 0 ? &out[(y - 1) * stride] : nullptr;
        for (std::size_t x = 0; x < stride; ++x) {
            const int a = x >= 3 ? row[x - 3] : 0, b = up ? up[x] : 0,
                      c = (up && x >= 3) ? up[x - 3] : 0;
            int predictor = 0;
            switch (filter) {
                case 0:
                    predictor = 0;
                    break;
                case 1:
                    predictor = a;
                    break;
                case 2:
                    predictor = b;
                    break;
                case 3:
                    predictor = (a + b) / 2;
                    break;
                case 4:
                    predictor = paeth(a, b, c);
                    break;
                default:
                    return false;
            }
            row[x] = static_cast<std::uint8_t>(in[x] + predictor);
        }
    }
    return true;
}

}  // namespace

bool writePng(const std::string& path, const RgbImage& image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * 3) {
        return false;
    }
    std::string header;
    putBigEndian(header, static_cast<std::uint32_t>(image.width));
    putBigEndian(header, static_cast<std::uint32_t>(image.height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no interlace

    const std::string raw = filteredRows(image);
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                  reinterpret_cast<const Bytef*>(raw.data()), raw.size(), 6) != Z_OK) {
        return false;
    }
    packed.resize(size);

    std::string file(reinterpret_cast<const char*>(kSignature), 8);
    putChunk(file, "IHDR", header);
    putChunk(file, "IDAT", packed);
    putChunk(file, "IEND", "");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

bool readPng(const std::string& path, RgbImage& image) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
    if (file.size() < 8 + 25 || std::memcmp(file.data(), kSignature, 8) != 0) return false;
    std::string idat;
    int width = 0, height = 0;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::uint32_t length = getBigEndian(&file[at]);
        if (length > file.size() - at - 12) return false;
        const std::string type(reinterpret_cast<const char*>(&file[at + 4]), 4);
        const std::uint8_t* data = &file[at + 8];
        if (type == "IHDR") {
            if (length < 13 || data[8] != 8 || data[9] != 2 || data[12] != 0) return false;
            width = static_cast<int>(getBigEndian(data));
            height = static_cast<int>(getBigEndian(data + 4));
        } else if (type == "IDAT") {
            idat.append(reinterpret_cast<const char*>(data), length);
        }
        at += 12 + length;
    }
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return false;
    std::vector<std::uint8_t> raw((static_cast<std::size_t>(width) * 3 + 1) * height);
    uLongf size = raw.size();
    if (uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(idat.data()), idat.size()) !=
            Z_OK ||
        size != raw.size()) {
        return false;
    }
    image.width = width;
    image.height = height;
    return unfilter(raw, width, height, image.pixels);
}

}  // namespace tessaro
