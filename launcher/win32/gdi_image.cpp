#include "win32/gdi_image.h"

#include <wincodec.h>

#include <algorithm>

#include "win32/gdi_objects.h"

namespace plotwick {
namespace {

// Larger images are not decoded: 256 MB of pixels.
constexpr std::uint64_t kLargestImagePixels = 64ull << 20;

// Holds a COM interface and releases it.
template <typename Interface>
class ComRef {
  public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (m_pointer != nullptr) m_pointer->Release();
    }
    Interface** out() { return &m_pointer; }
    Interface* operator->() const { return m_pointer; }
    Interface* get() const { return m_pointer; }

  private:
    Interface* m_pointer = nullptr;
};

// COM for the decoder's time on this thread; a thread that has it already keeps it.
class ComScope {
  public:
    ComScope() : m_started(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (m_started) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    bool m_started;
};

bool decodeFile(const std::vector<std::uint8_t>& bytes, DecodedImage& image) {
    if (bytes.empty() || bytes.size() > 0xffffffffu) return false;
    const ComScope com;
    ComRef<IWICImagingFactory> factory;
    ComRef<IWICStream> stream;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    ComRef<IWICFormatConverter> converter;
    UINT width = 0, height = 0;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out()))) ||
        FAILED(factory->CreateStream(stream.out())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()),
                                            static_cast<DWORD>(bytes.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr,
                                                WICDecodeMetadataCacheOnDemand, decoder.out())) ||
        FAILED(decoder->GetFrame(0, frame.out())) ||
        FAILED(factory->CreateFormatConverter(converter.out())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA,
                                     WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->GetSize(&width, &height))) {
        return false;
    }
    if (width == 0 || height == 0 || std::uint64_t{width} * height > kLargestImagePixels)
        return false;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.pixels.resize(std::size_t{width} * height);
    if (FAILED(converter->CopyPixels(nullptr, width * 4, width * height * 4,
                                     reinterpret_cast<BYTE*>(image.pixels.data())))) {
        return false;
    }
    image.opaque = std::all_of(image.pixels.begin(), image.pixels.end(),
                               [](std::uint32_t pixel) { return pixel >> 24 == 0xff; });
    return true;
}

// RGBA rows as the reader decoded them, premultiplied into BGRA.
bool fromRgba(const RasterImage& raster, DecodedImage& image) {
    const std::size_t count = std::size_t(raster.columns) * std::size_t(raster.rows);
    if (raster.columns <= 0 || raster.rows <= 0 || raster.bytes.size() < count * 4) return false;
    image.width = raster.columns;
    image.height = raster.rows;
    image.pixels.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = &raster.bytes[i * 4];
        const auto times = [&](std::uint8_t c) { return std::uint32_t((c * p[3] + 127) / 255); };
        image.pixels[i] =
            std::uint32_t{p[3]} << 24 | times(p[0]) << 16 | times(p[1]) << 8 | times(p[2]);
        image.opaque = image.opaque && p[3] == 0xff;
    }
    return true;
}

BITMAPINFO infoOf(const DecodedImage& image) {
    BITMAPINFO info{};
    info.bmiHeader = {
        sizeof(BITMAPINFOHEADER), image.width, -image.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return info;
}

}  // namespace

DecodedImage decodeImage(const RasterImage& raster) {
    DecodedImage image;
    const bool decoded = raster.encoding == RasterImage::Encoding::rgba
                             ? fromRgba(raster, image)
                             : decodeFile(raster.bytes, image);
    return decoded ? image : DecodedImage{};
}

void drawImage(HDC dc, const DecodedImage& image, const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (image.pixels.empty() || width == 0 || height == 0) return;
    const BITMAPINFO info = infoOf(image);
    const bool enlarged = std::abs(width) >= image.width && std::abs(height) >= image.height;
    const int oldMode = SetStretchBltMode(dc, enlarged ? COLORONCOLOR : HALFTONE);
    POINT oldOrigin{};
    SetBrushOrgEx(dc, 0, 0, &oldOrigin);  // as HALFTONE asks
    if (image.opaque) {
        StretchDIBits(dc, area.left, area.top, width, height, 0, 0, image.width, image.height,
                      image.pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    } else {
        // AlphaBlend takes premultiplied pixels from a memory device context.
        const MemoryDc source(CreateCompatibleDC(dc));
        void* bits = nullptr;
        const GdiObject bitmap(
            CreateDIBSection(source.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (source && bitmap && bits != nullptr) {
            std::copy(image.pixels.begin(), image.pixels.end(), static_cast<std::uint32_t*>(bits));
            const Selection selected(source.get(), bitmap.get());
            const BLENDFUNCTION over{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
            AlphaBlend(dc, area.left, area.top, width, height, source.get(), 0, 0, image.width,
                       image.height, over);
        }
    }
    SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
    SetStretchBltMode(dc, oldMode);
}

}  // namespace plotwick
