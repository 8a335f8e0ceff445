#include "jpeg_library.h"

#include <turbojpeg.h>

#include <cstdlib>
#include <cstring>

namespace exportal {

namespace {

int pixelFormat(const JpegCoreProperties& p) {
    if (p.DIBChannels == 3) return p.DIBColor == kColorRgb ? TJPF_RGB : TJPF_BGR;
    if (p.DIBChannels == 4) return p.DIBColor == kColorRgb ? TJPF_RGBX : TJPF_BGRX;
    return -1;
}

std::int32_t checkRecord(const JpegCoreProperties& p) {
    if (p.encoder == nullptr) return kJpegNotInitialised;
    if (p.DIBBytes == nullptr || p.JPGBytes == nullptr) return kJpegInvalidPointer;
    const std::int64_t height = p.DIBHeight < 0 ? -std::int64_t{p.DIBHeight} : p.DIBHeight;
    if (p.DIBWidth < 1 || height < 1 || p.DIBPadBytes < 0 || p.JPGSizeBytes < 1 ||
        p.JPGWidth != p.DIBWidth || p.JPGHeight != height) {
        return kJpegBadSize;
    }
    if (pixelFormat(p) < 0) return kJpegUnsupportedLayout;
    return kJpegOk;
}

}  // namespace

std::int32_t ijlInit(JpegCoreProperties* properties) {
    if (properties == nullptr) return kJpegInvalidPointer;
    *properties = JpegCoreProperties{};
    properties->DIBChannels = 3;
    properties->DIBColor = kColorBgr;
    properties->jquality = 75;
    properties->encoder = tjInitCompress();
    return properties->encoder != nullptr ? kJpegOk : kJpegEncoderFailed;
}

std::int32_t ijlWrite(JpegCoreProperties* properties, std::int32_t mode) {
    if (properties == nullptr) return kJpegInvalidPointer;
    if (mode != kWriteWholeImageToBuffer) return kJpegUnsupportedMode;
    JpegCoreProperties& p = *properties;
    if (const std::int32_t check = checkRecord(p); check != kJpegOk) return check;
    const int format = pixelFormat(p);
    const int pitch = p.DIBWidth * tjPixelSize[format] + p.DIBPadBytes;
    const int height = p.DIBHeight < 0 ? -p.DIBHeight : p.DIBHeight;
    const int flags = p.DIBHeight < 0 ? TJFLAG_BOTTOMUP : 0;
    const int quality = p.jquality < 1 ? 1 : p.jquality > 100 ? 100 : p.jquality;
    // TurboJPEG's no-reallocation mode trusts the area to hold its worst case, which the
    // caller's area need not; so it encodes into its own buffer and the result is copied.
    unsigned char* encoded = nullptr;
    unsigned long size = 0;
    const int failed = tjCompress2(p.encoder, p.DIBBytes, p.DIBWidth, pitch, height, format,
                                   &encoded, &size, TJSAMP_420, quality, flags);
    const bool fits = failed == 0 && size <= static_cast<unsigned long>(p.JPGSizeBytes);
    if (fits) std::memcpy(p.JPGBytes, encoded, size);
    tjFree(encoded);
    if (failed != 0) return kJpegEncoderFailed;
    if (!fits) return kJpegBufferTooSmall;
    p.JPGSizeBytes = static_cast<std::int32_t>(size);
    return kJpegOk;
}

std::int32_t ijlFree(JpegCoreProperties* properties) {
    if (properties == nullptr) return kJpegInvalidPointer;
    if (properties->encoder != nullptr) tjDestroy(properties->encoder);
    properties->encoder = nullptr;
    return kJpegOk;
}

const char* ijlErrorStr(std::int32_t code) {
    switch (code) {
        case kJpegOk:
            return "No error";
        case kJpegNotInitialised:
            return "The JPEG library was not initialised";
        case kJpegInvalidPointer:
            return "Invalid pointer in the image record";
        case kJpegBadSize:
            return "Invalid image size in the image record";
        case kJpegUnsupportedMode:
            return "Unsupported write mode";
        case kJpegBufferTooSmall:
            return "The output buffer is too small for the image";
        case kJpegEncoderFailed:
            return "The JPEG encoder failed";
        case kJpegUnsupportedLayout:
            return "Unsupported pixel layout";
        default:
            return "Unknown error";
    }
}

}  // namespace exportal
