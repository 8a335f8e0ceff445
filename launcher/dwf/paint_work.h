// What one paint of a sheet may spend, for either painter, where a few bytes of stream
// can ask for far more work than drawing them is worth: decoding images, and setting
// the clips of viewports.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dwf/display_list.h"

namespace plotwick {

// Marker copies draw the same image again and again, and a few hundred bytes of JPEG can
// declare 16 M pixels: so each image is decoded at most once while it stays kept, and
// all the decoding of a paint stays within an allowance of pixels that grows with the
// images' stored bytes.
//
// What a paint may decode: enough for any image a sheet really holds, and beyond that
// in proportion to what the images' bytes can honestly carry.
constexpr std::uint64_t kImagePixelsPerPaint = 64ull << 20;
constexpr std::uint64_t kImagePixelsPerStoredByte = 256;
// Decoded images kept at once (pixels); more are dropped and decoded again if drawn again.
constexpr std::uint64_t kKeptImagePixels = 16ull << 20;

// The pixels the image opcode gives (columns x rows); what a raw raster holds.
inline std::uint64_t opcodePixelsOf(const RasterImage& raster) {
    return std::uint64_t(std::max(raster.columns, 0)) * std::uint64_t(std::max(raster.rows, 0));
}

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

// Setting a clip costs a rasterizer about the device rows each of its edges crosses:
// twice the height it spans for a convex clip of any number of points, but 12 M rows
// (7 s in Qt) for a zig-zag of 20,000 points over the picture. A paint sets clips for
// at most kClipRowsPerPaint rows; an operation whose clip is past that is left out.
constexpr std::uint64_t kClipRowsPerPaint = 4ull << 20;

// Device y of a logical point: y' = perX x + perY y + offset, on a device `height` high.
struct DeviceRows {
    double perX = 0;
    double perY = 1;
    double offset = 0;
    double height = 0;
};

inline std::uint64_t clipRowsOf(const Clip& clip, const DeviceRows& device) {
    const auto rowOf = [&](const LogicalPoint& point) {
        const double y = device.perX * static_cast<double>(point.x) +
                         device.perY * static_cast<double>(point.y) + device.offset;
        return std::isfinite(y) ? std::clamp(y, 0.0, device.height) : 0.0;
    };
    std::uint64_t rows = 0;
    for (const auto& contour : clip.contours) {
        for (std::size_t i = 0; i < contour.size(); ++i) {
            const double from = rowOf(contour[i]);
            const double to = rowOf(contour[(i + 1) % contour.size()]);
            rows += static_cast<std::uint64_t>(std::abs(to - from)) + 1;
        }
    }
    return rows;
}

class ClipWork {
  public:
    ClipWork(const std::vector<Clip>& clips, const DeviceRows& device)
        : m_clips(clips), m_device(device), m_rows(clips.size(), kNotCounted) {}

    // Whether setting `clip` is within the paint's allowance, which it then pays for;
    // no clip (-1) is free.
    bool affords(int clip) {
        if (clip < 0 || static_cast<std::size_t>(clip) >= m_clips.size()) return true;
        std::uint64_t& rows = m_rows[static_cast<std::size_t>(clip)];
        if (rows == kNotCounted)
            rows = clipRowsOf(m_clips[static_cast<std::size_t>(clip)], m_device);
        if (rows > m_left) return false;
        m_left -= rows;
        return true;
    }

  private:
    static constexpr std::uint64_t kNotCounted = ~std::uint64_t{0};
    const std::vector<Clip>& m_clips;
    DeviceRows m_device;
    std::vector<std::uint64_t> m_rows;
    std::uint64_t m_left = kClipRowsPerPaint;
};

}  // namespace plotwick
