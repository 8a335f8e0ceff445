// The images one paint of a sheet decodes, for either painter. Marker copies draw the
// same image again and again, and a few hundred bytes of JPEG can declare 16 M pixels:
// so each image is decoded at most once while it stays kept, and all the decoding of a
// paint stays within an allowance of pixels that grows with the images' stored bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dwf/display_list.h"

namespace plotwick {

// What a paint may decode: enough for any image a sheet really holds, and beyond that
// in proportion to what the images' bytes can honestly carry.
constexpr std::uint64_t kImagePixelsPerPaint = 64ull << 20;
constexpr std::uint64_t kImagePixelsPerStoredByte = 256;
// Decoded images kept at once (pixels); more are dropped and decoded again if drawn again.
constexpr std::uint64_t kKeptImagePixels = 16ull << 20;

inline std::uint64_t imageAllowanceOf(const std::vector<RasterImage>& images) {
    std::uint64_t stored = 0;
    for (const RasterImage& image : images)
        stored += image.bytes.size();
    return kImagePixelsPerPaint + kImagePixelsPerStoredByte * stored;
}

// `Codec` decodes a raster into the painter's own picture type:
//   static std::uint64_t declaredPixels(const RasterImage&);  // its header's; 0: unknown
//   static Decoded decode(const RasterImage&);                 // empty when undecodable
//   static std::uint64_t pixelsOf(const Decoded&);             // 0 for an empty one
template <typename Codec>
class ImageBook {
  public:
    using Decoded = decltype(Codec::decode(std::declval<const RasterImage&>()));

    explicit ImageBook(const std::vector<RasterImage>& images)
        : m_images(images), m_allowance(imageAllowanceOf(images)) {}

    // The image `detail` names decoded, or null: no such image, not decodable, or past
    // the paint's allowance (then it is left out of this paint). It stays valid until
    // the next call.
    const Decoded* find(int detail) {
        if (detail < 0 || static_cast<std::size_t>(detail) >= m_images.size()) return nullptr;
        if (const auto kept = m_kept.find(detail); kept != m_kept.end())
            return Codec::pixelsOf(kept->second) > 0 ? &kept->second : nullptr;
        const RasterImage& raster = m_images[static_cast<std::size_t>(detail)];
        const std::uint64_t declared = Codec::declaredPixels(raster);
        Decoded image{};
        if (spend(declared)) {
            image = Codec::decode(raster);
            const std::uint64_t pixels = Codec::pixelsOf(image);
            if (pixels > declared && !spend(pixels - declared)) image = Decoded{};
        }
        // A refusal is kept too, so that its copies do not ask again.
        const std::uint64_t pixels = Codec::pixelsOf(image);
        if (m_keptPixels + pixels > kKeptImagePixels) {
            m_kept.clear();
            m_keptPixels = 0;
        }
        m_keptPixels += pixels;
        const Decoded& placed = m_kept.emplace(detail, std::move(image)).first->second;
        return pixels > 0 ? &placed : nullptr;
    }

  private:
    // Once spent, nothing more is decoded: an image whose size is known only after
    // decoding it must not be decoded again and again.
    bool spend(std::uint64_t pixels) {
        if (m_allowance == 0 || pixels > m_allowance) {
            m_allowance = 0;
            return false;
        }
        m_allowance -= pixels;
        return true;
    }

    const std::vector<RasterImage>& m_images;
    std::uint64_t m_allowance;
    std::unordered_map<int, Decoded> m_kept;
    std::uint64_t m_keptPixels = 0;
};

}  // namespace plotwick
