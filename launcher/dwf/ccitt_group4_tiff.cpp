// libtiff decodes Group 4 data only inside a TIFF file, so the data is given a minimal
// one in memory: a header and one directory that names the size, the compression and
// a single strip holding the data.
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "dwf/ccitt_group4.h"

namespace plotwick::internal {
namespace {

constexpr std::uint16_t kShort = 3, kLong = 4;

struct Entry {
    std::uint16_t tag, type;
    std::uint32_t value;
};

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, std::uint16_t(v));
    put16(out, std::uint16_t(v >> 16));
}

std::vector<std::uint8_t> tiffAround(std::span<const std::uint8_t> data, int columns, int rows) {
    const Entry entries[] = {
        {TIFFTAG_IMAGEWIDTH, kLong, std::uint32_t(columns)},
        {TIFFTAG_IMAGELENGTH, kLong, std::uint32_t(rows)},
        {TIFFTAG_BITSPERSAMPLE, kShort, 1},
        {TIFFTAG_COMPRESSION, kShort, COMPRESSION_CCITTFAX4},
        {TIFFTAG_PHOTOMETRIC, kShort, PHOTOMETRIC_MINISWHITE},
        {TIFFTAG_STRIPOFFSETS, kLong, 0},  // set below, once the header's size is known
        {TIFFTAG_ROWSPERSTRIP, kLong, std::uint32_t(rows)},
        {TIFFTAG_STRIPBYTECOUNTS, kLong, std::uint32_t(data.size())},
    };
    constexpr std::uint32_t kEntries = std::size(entries);
    constexpr std::uint32_t kDataAt = 8 + 2 + 12 * kEntries + 4;
    std::vector<std::uint8_t> file{'I', 'I', 42, 0};
    put32(file, 8);
    put16(file, kEntries);
    for (const Entry& e : entries) {
        put16(file, e.tag);
        put16(file, e.type);
        put32(file, 1);
        const std::uint32_t value = e.tag == TIFFTAG_STRIPOFFSETS ? kDataAt : e.value;
        if (e.type == kShort) {
            put16(file, std::uint16_t(value));
            put16(file, 0);
        } else {
            put32(file, value);
        }
    }
    put32(file, 0);  // no further directory
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

// libtiff reads through these; the whole file is in memory.
struct MemoryFile {
    std::vector<std::uint8_t> bytes;
    toff_t at = 0;
};

tmsize_t readBytes(thandle_t handle, void* buffer, tmsize_t size) {
    auto& file = *static_cast<MemoryFile*>(handle);
    const toff_t left = file.bytes.size() - std::min<toff_t>(file.at, file.bytes.size());
    const tmsize_t n = static_cast<tmsize_t>(std::min<toff_t>(left, toff_t(size)));
    if (n > 0) std::memcpy(buffer, file.bytes.data() + file.at, std::size_t(n));
    file.at += toff_t(n);
    return n;
}

tmsize_t writeNothing(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t seekTo(thandle_t handle, toff_t offset, int whence) {
    auto& file = *static_cast<MemoryFile*>(handle);
    const toff_t base = whence == SEEK_CUR ? file.at : whence == SEEK_END ? file.bytes.size() : 0;
    file.at = base + offset;
    return file.at;
}

int closeNothing(thandle_t) {
    return 0;
}

toff_t sizeOf(thandle_t handle) {
    return static_cast<MemoryFile*>(handle)->bytes.size();
}

// libtiff would print its complaints; the first one becomes the problem instead.
int keepFirstError(TIFF*, void* user, const char*, const char* format, va_list arguments) {
    auto& problem = *static_cast<std::string*>(user);
    if (problem.empty()) {
        char text[256];
        std::vsnprintf(text, sizeof text, format, arguments);
        problem = text;
    }
    return 1;
}

int ignoreWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

}  // namespace

bool decodeGroup4(std::span<const std::uint8_t> data, int columns, int rows,
                  std::vector<std::uint8_t>& bits, std::string& problem) {
    MemoryFile file{tiffAround(data, columns, rows)};
    std::string error;
    std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)> options(TIFFOpenOptionsAlloc(),
                                                                             &TIFFOpenOptionsFree);
    if (!options) {
        problem = "out of memory";
        return false;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), keepFirstError, &error);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), ignoreWarning, nullptr);
    std::unique_ptr<TIFF, decltype(&TIFFClose)> tiff(
        TIFFClientOpenExt("group4", "rm", &file, readBytes, writeNothing, seekTo, closeNothing,
                          sizeOf, nullptr, nullptr, options.get()),
        &TIFFClose);
    const std::size_t rowBytes = (std::size_t(columns) + 7) / 8;
    const std::size_t size = rowBytes * std::size_t(rows);
    if (tiff) {
        bits.assign(size, 0);
        if (TIFFReadEncodedStrip(tiff.get(), 0, bits.data(), tmsize_t(size)) == tmsize_t(size) &&
            error.empty()) {
            return true;
        }
    }
    problem = "the CCITT Group 4 image cannot be decoded" + (error.empty() ? "" : ": " + error);
    bits.clear();
    return false;
}

}  // namespace plotwick::internal
