// cDIBSection: the add-in's image buffer in the layout of a device-independent bitmap:
// rows stored bottom-up, pixels blue-green-red (24 bits) or blue-green-red-unused (32),
// every row padded to a multiple of 4 bytes. The view bitmap that the host writes is
// read into it and handed to the JPEG writer as it is.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace exportal {

class cDIBSection {
  public:
    static constexpr std::int32_t kHeaderSize = 40;

    cDIBSection() = default;
    ~cDIBSection() { CleanUp(); }
    cDIBSection(const cDIBSection&) = delete;
    cDIBSection& operator=(const cDIBSection&) = delete;

    // An empty (zeroed) buffer; 24 bits per pixel for 3 channels, 32 otherwise. A width
    // or height below 1, or a size that cannot be held, is refused.
    bool Create(std::int32_t lWidth, std::int32_t lHeight, std::int32_t lChannels);
    // Fills the header and allocates the pixels; Create is CleanUp followed by this.
    bool CreateDIB(std::int32_t lWidth, std::int32_t lHeight, std::int32_t lChannels);
    // Reads any BMP file (any bit depth Qt's image reader takes) and keeps it at 24 bits
    // per pixel. False, with the buffer empty, when it cannot be read.
    bool Load(const std::string& Name);
    void CleanUp();

    std::int32_t BytesPerScanLine() const;
    std::int32_t dib_width() const { return m_width; }
    std::int32_t dib_height() const { return m_height; }
    std::int32_t dib_channels() const { return m_bitsPerPixel / 8; }
    // The pixels, bottom row first; null when empty.
    std::uint8_t* DIBSectionBitsPtr() { return m_bits.get(); }
    const std::uint8_t* DIBSectionBitsPtr() const { return m_bits.get(); }
    // The header's image size: BytesPerScanLine x height.
    std::uint64_t imageSize() const { return m_imageSize; }

  private:
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::int32_t m_bitsPerPixel = 0;
    std::uint64_t m_imageSize = 0;
    std::unique_ptr<std::uint8_t[]> m_bits;
};

}  // namespace exportal
