// The JPEG encoder as the add-in calls it: a core properties record that describes the
// source pixels and the destination memory area, and four calls (init, write, free,
// error text). Behind it is libjpeg-turbo's TurboJPEG API; the record and the calls keep
// the contract the add-in relies on: a zero result for success, the encoded size written
// back into the record, and a description for every result code.
#pragma once

#include <cstdint>

namespace exportal {

// Pixel orders of the source.
inline constexpr std::int32_t kColorBgr = 1;
inline constexpr std::int32_t kColorRgb = 2;

// Writes the whole image into the memory area of the record.
inline constexpr std::int32_t kWriteWholeImageToBuffer = 9;

// Result codes.
inline constexpr std::int32_t kJpegOk = 0;
inline constexpr std::int32_t kJpegNotInitialised = -1;
inline constexpr std::int32_t kJpegInvalidPointer = -2;
inline constexpr std::int32_t kJpegBadSize = -3;
inline constexpr std::int32_t kJpegUnsupportedMode = -4;
inline constexpr std::int32_t kJpegBufferTooSmall = -5;
inline constexpr std::int32_t kJpegEncoderFailed = -6;
inline constexpr std::int32_t kJpegUnsupportedLayout = -7;

struct JpegCoreProperties {
    // Source: width and height in pixels; a negative height means the rows are stored
    // bottom-up, as in a bitmap section.
    std::int32_t DIBWidth = 0;
    std::int32_t DIBHeight = 0;
    const std::uint8_t* DIBBytes = nullptr;
    // Bytes after each row's pixels up to the next row.
    std::int32_t DIBPadBytes = 0;
    std::int32_t DIBChannels = 0;
    std::int32_t DIBColor = 0;
    // Destination: the picture's size, quality 1 to 100, and the caller's memory area;
    // JPGSizeBytes is the area's size before a write and the encoded size after it.
    std::int32_t JPGWidth = 0;
    std::int32_t JPGHeight = 0;
    std::int32_t jquality = 0;
    std::uint8_t* JPGBytes = nullptr;
    std::int32_t JPGSizeBytes = 0;
    // The encoder, set by ijlInit.
    void* encoder = nullptr;
};

// Sets the defaults (3 channels, blue-green-red, quality 75) and opens the encoder.
std::int32_t ijlInit(JpegCoreProperties* properties);
std::int32_t ijlWrite(JpegCoreProperties* properties, std::int32_t mode);
std::int32_t ijlFree(JpegCoreProperties* properties);
const char* ijlErrorStr(std::int32_t code);

}  // namespace exportal
