#include "dib_section.h"

#include <QImage>
#include <QImageReader>
#include <QString>

#include <cstring>
#include <new>

namespace exportal {

namespace {

// Rows of a section are addressed with 32-bit offsets by its users; anything larger
// is refused rather than wrapped.
constexpr std::uint64_t kMaxImageBytes = 0x7fffffffu;

std::uint64_t rowBytes(std::int32_t width, std::int32_t bitsPerPixel) {
    return (std::uint64_t(bitsPerPixel) / 8 * std::uint64_t(width) + 3) / 4 * 4;
}

}  // namespace

bool cDIBSection::Create(std::int32_t lWidth, std::int32_t lHeight, std::int32_t lChannels) {
    CleanUp();
    return CreateDIB(lWidth, lHeight, lChannels);
}

bool cDIBSection::CreateDIB(std::int32_t lWidth, std::int32_t lHeight, std::int32_t lChannels) {
    if (lWidth < 1 || lHeight < 1) return false;
    const std::int32_t bitsPerPixel = lChannels == 3 ? 24 : 32;
    const std::uint64_t size = rowBytes(lWidth, bitsPerPixel) * std::uint64_t(lHeight);
    if (size > kMaxImageBytes) return false;
    std::unique_ptr<std::uint8_t[]> bits(new (std::nothrow) std::uint8_t[size]());
    if (!bits) return false;
    m_bits = std::move(bits);
    m_width = lWidth;
    m_height = lHeight;
    m_bitsPerPixel = bitsPerPixel;
    m_imageSize = size;
    return true;
}

bool cDIBSection::Load(const std::string& Name) {
    CleanUp();
    QImageReader reader(QString::fromStdString(Name), "bmp");
    QImage image = reader.read();
    if (image.isNull()) return false;
    image = image.convertToFormat(QImage::Format_RGB888);
    if (image.isNull() || !CreateDIB(image.width(), image.height(), 3)) return false;
    const std::uint64_t stride = rowBytes(m_width, m_bitsPerPixel);
    for (std::int32_t y = 0; y < m_height; ++y) {
        const std::uint8_t* from = image.constScanLine(y);
        // Bottom-up: the picture's top row is the buffer's last.
        std::uint8_t* to = m_bits.get() + stride * std::uint64_t(m_height - 1 - y);
        for (std::int32_t x = 0; x < m_width; ++x) {
            to[3 * x] = from[3 * x + 2];
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
    }
    return true;
}

void cDIBSection::CleanUp() {
    m_bits.reset();
    m_width = 0;
    m_height = 0;
    m_bitsPerPixel = 0;
    m_imageSize = 0;
}

std::int32_t cDIBSection::BytesPerScanLine() const {
    return static_cast<std::int32_t>(rowBytes(m_width, m_bitsPerPixel));
}

}  // namespace exportal
