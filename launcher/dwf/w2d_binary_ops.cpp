// Extended binary opcodes "{ int32 length, uint16 number, data, }": colour maps, images,
// text alignment, patterns, and the zlib-compressed regions whose inflated bytes carry
// on the opcode stream.
#include <zlib.h>

#include <algorithm>
#include <cstdio>

#include "dwf/ccitt_group4.h"
#include "dwf/w2d_decoder.h"
#include "dwf/w2d_dictionary.h"

namespace plotwick::internal {
namespace {

constexpr std::size_t kInflateChunk = 64 * 1024;

std::string binaryName(std::uint16_t opcode) {
    char name[64];
    std::snprintf(name, sizeof name, "extended binary opcode 0x%04X", opcode);
    return name;
}

bool rasterKindOf(std::uint16_t opcode, RasterKind& kind) {
    switch (opcode) {
        case 0x0002:
            kind = RasterKind::bitonal;
            return true;
        case 0x0003:
            kind = RasterKind::group3x;
            return true;
        case 0x0004:
            kind = RasterKind::indexed;
            return true;
        case 0x0005:
            kind = RasterKind::mapped;
            return true;
        case 0x0006:
            kind = RasterKind::rgb;
            return true;
        case 0x0007:
            kind = RasterKind::rgba;
            return true;
        case 0x0008:
            kind = RasterKind::jpeg;
            return true;
        case 0x0009:
            kind = RasterKind::group4;
            return true;
        case 0x000C:
            kind = RasterKind::png;
            return true;
        case 0x000D:
            kind = RasterKind::group4x;
            return true;
        default:
            return false;
    }
}

bool hasLocalMap(RasterKind kind) {
    return kind == RasterKind::bitonal || kind == RasterKind::group3x ||
           kind == RasterKind::mapped || kind == RasterKind::group4x;
}

Rgba entry(const std::vector<Rgba>& map, std::size_t index) {
    return index < map.size() ? map[index] : Rgba{0, 0, 0, 0};
}

// 64 MB of pixels once drawn.
constexpr std::size_t kLargestCodedImagePixels = std::size_t(16) << 20;

// Group 4 codes one bit a pixel: decoded, it is drawn as a bitonal image, with the
// local map where the kind has one and otherwise black on nothing.
bool decodeGroup4Raster(RasterKind kind, int columns, int rows,
                        std::span<const std::uint8_t> pixels, const std::vector<Rgba>& localMap,
                        const std::vector<Rgba>& palette, RasterImage& image,
                        std::string& problem) {
    // A few bytes of code can stand for a whole page of blank rows: the pixels are
    // bounded before anything is allocated for them.
    if (std::size_t(columns) * std::size_t(rows) > kLargestCodedImagePixels) {
        problem = "the CCITT Group 4 image is too large to decode";
        return false;
    }
    std::vector<std::uint8_t> bits;
    if (!internal::decodeGroup4(pixels, columns, rows, bits, problem)) return false;
    const std::vector<Rgba> blackOnNothing{{0, 0, 0, 0}, {0, 0, 0, 255}};
    return decodeRaster(RasterKind::bitonal, columns, rows, bits,
                        kind == RasterKind::group4x ? localMap : blackOnNothing, palette, image,
                        problem);
}

}  // namespace

bool decodeRaster(RasterKind kind, int columns, int rows, std::span<const std::uint8_t> pixels,
                  const std::vector<Rgba>& localMap, const std::vector<Rgba>& palette,
                  RasterImage& image, std::string& problem) {
    image.columns = columns;
    image.rows = rows;
    if (kind == RasterKind::group4 || kind == RasterKind::group4x)
        return decodeGroup4Raster(kind, columns, rows, pixels, localMap, palette, image, problem);
    if (kind == RasterKind::png || kind == RasterKind::jpeg) {
        image.encoding =
            kind == RasterKind::png ? RasterImage::Encoding::png : RasterImage::Encoding::jpeg;
        image.bytes.assign(pixels.begin(), pixels.end());
        return true;
    }
    const std::size_t count = std::size_t(columns) * std::size_t(rows);
    std::size_t needed = 0;
    switch (kind) {
        case RasterKind::bitonal:
            needed = std::size_t(rows) * ((columns + 7) / 8);
            break;
        case RasterKind::indexed:
        case RasterKind::mapped:
            needed = count;
            break;
        case RasterKind::rgb:
            needed = 3 * count;
            break;
        case RasterKind::rgba:
            needed = 4 * count;
            break;
        default:
            problem = "CCITT-coded images are not decoded";
            return false;
    }
    if (pixels.size() < needed) {
        problem = "the image holds fewer bytes than its size needs";
        return false;
    }
    image.encoding = RasterImage::Encoding::rgba;
    // Written in place: a page of a scanned drawing holds millions of pixels.
    image.bytes.resize(4 * count);
    std::uint8_t* out = image.bytes.data();
    const std::size_t rowBytes = (std::size_t(columns) + 7) / 8;
    for (std::size_t i = 0; i < count; ++i, out += 4) {
        Rgba colour;
        switch (kind) {
            case RasterKind::bitonal: {
                const std::size_t row = i / std::size_t(columns), column = i % std::size_t(columns);
                const std::uint8_t byte = pixels[row * rowBytes + column / 8];
                colour = entry(localMap, (byte >> (7 - column % 8)) & 1);
                break;
            }
            case RasterKind::indexed:
                colour = entry(palette, pixels[i]);
                break;
            case RasterKind::mapped:
                colour = entry(localMap, pixels[i]);
                break;
            case RasterKind::rgb:
                colour = {pixels[3 * i], pixels[3 * i + 1], pixels[3 * i + 2], 255};
                break;
            default:
                colour = {pixels[4 * i], pixels[4 * i + 1], pixels[4 * i + 2], pixels[4 * i + 3]};
        }
        out[0] = colour.r, out[1] = colour.g, out[2] = colour.b, out[3] = colour.a;
    }
    return true;
}

bool W2dDecoder::extendedBinary(std::size_t at) {
    std::int32_t length = 0;
    std::uint16_t opcode = 0;
    if (!m_in.read(length)) return false;
    const std::size_t afterLength = m_in.offset();
    const bool hasOpcode = m_in.read(opcode);
    if (hasOpcode && opcode == 0x0011) return inflateRegion(at);
    // The LZ regions of old streams, like zlib ones, say length 0.
    if (hasOpcode && length == 0 && (opcode == 0x0010 || opcode == 0x0123)) {
        return fail("The stream is compressed with the old LZ scheme (" + binaryName(opcode) +
                    atByte(at) + ", written before version 00.39), which is not supported");
    }
    if (length == 0) {
        return fail(binaryName(opcode) + atByte(at) +
                    " has length 0 and cannot be skipped; the sheet stops there");
    }
    if (length < 0 || static_cast<std::size_t>(length) > data().size() - afterLength) {
        return fail(binaryName(opcode) + atByte(at) + ": its length of " + std::to_string(length) +
                    " bytes runs past the end of the stream");
    }
    const std::size_t end = afterLength + static_cast<std::size_t>(length);
    // A block whose contents do not read as expected is still passed over by its length.
    if (length >= 3 && !binaryBlock(opcode, at, end) && !m_out.message.empty()) return false;
    return m_in.seek(end);
}

bool W2dDecoder::binaryBlock(std::uint16_t opcode, std::size_t at, std::size_t end) {
    std::uint8_t value = 0;
    switch (opcode) {
        case 0x0001:
            return colourMap(end);
        case 0x0173:
            if (!m_in.read(value)) return false;
            m_state.horizontalAlign = value <= 2 ? value : 0;
            return true;
        case 0x0175:
            if (!m_in.read(value)) return false;
            m_state.verticalAlign = value <= 4 ? value : 1;
            return true;
        case 0x017E:
        case 0x0180:
            m_state.fillPattern = FillPattern::userDefined;
            return true;
        default: {
            RasterKind kind{};
            if (rasterKindOf(opcode, kind)) return binaryImage(opcode, at, end);
            return true;  // known or not, passed over by its length
        }
    }
}

bool W2dDecoder::colourMap(std::size_t end) {
    std::uint8_t size = 0;
    if (!m_in.read(size)) return false;
    const std::size_t count = size == 0 ? 256 : size;
    if (end < m_in.offset() || (end - m_in.offset()) / 4 < count) return false;
    std::vector<Rgba> map(count);
    for (Rgba& colour : map)
        rgba(colour);
    m_palette = std::move(map);
    return true;
}

// Columns, rows, the two corners (relative, each moving the current point), an
// identifier, a local colour map for the mapped kinds, then counted data.
bool W2dDecoder::binaryImage(std::uint16_t opcode, std::size_t at, std::size_t end) {
    RasterKind kind{};
    rasterKindOf(opcode, kind);
    std::uint16_t columns = 0, rows = 0;
    std::int32_t identifier = 0;
    LogicalPoint min, max;
    if (!m_in.read(columns) || !m_in.read(rows) || !relativePoint<std::int32_t>(min) ||
        !relativePoint<std::int32_t>(max) || !m_in.read(identifier)) {
        return false;
    }
    std::vector<Rgba> localMap;
    if (hasLocalMap(kind)) {
        std::uint8_t size = 0;
        if (!m_in.read(size)) return false;
        localMap.resize(size == 0 ? 256 : size);
        for (Rgba& colour : localMap) {
            if (!rgba(colour)) return false;
        }
    }
    std::int32_t size = 0;
    if (!m_in.read(size) || size < 0) return false;
    // Some writers put one more int32 before the size (the format's description shows it
    // for PNG and Group 4).
    if (static_cast<std::size_t>(size) + 1 != end - std::min(end, m_in.offset())) {
        if (!m_in.read(size) || size < 0) return false;
    }
    if (m_in.offset() > end || static_cast<std::size_t>(size) > end - m_in.offset()) return false;
    const std::span<const std::uint8_t> pixels = data().subspan(m_in.offset(), std::size_t(size));
    (void)at;
    return keepImage(kind, columns, rows, pixels, localMap, min, max);
}

// An image is decoded only to be kept: an invisible one is passed over, and one that
// would outgrow the display list's budget stops the sheet before its pixels are
// allocated (a few bytes of code or of compressed zeros declare GBs of them).
bool W2dDecoder::keepImage(RasterKind kind, int columns, int rows,
                           std::span<const std::uint8_t> pixels, const std::vector<Rgba>& localMap,
                           const LogicalPoint& min, const LogicalPoint& max) {
    if (!m_state.visible || columns <= 0 || rows <= 0) return true;
    const bool encoded = kind == RasterKind::png || kind == RasterKind::jpeg;
    const std::size_t kept = encoded ? pixels.size() : 4 * std::size_t(columns) * std::size_t(rows);
    if (!affordable(sizeof(DrawOp) + 2 * sizeof(LogicalPoint) + kept)) return false;
    RasterImage image;
    std::string problem;
    if (!decodeRaster(kind, columns, rows, pixels, localMap, m_palette, image, problem))
        return true;
    DrawOp op = newOp(OpKind::image);
    op.points = {min, max};
    op.detail = static_cast<int>(m_out.images.size());
    m_cost += image.bytes.size();
    if (!emit(std::move(op))) return false;
    m_out.images.push_back(std::move(image));
    return true;
}

// "{", int32 0, uint16 0x0011, a zlib stream with the format's preset dictionary, "}".
// The inflated bytes are read as opcodes before the raw bytes after the brace.
bool W2dDecoder::inflateRegion(std::size_t at) {
    const std::string where = binaryName(0x0011) + atByte(at);
    if (m_inInflated) return fail("A compressed block inside another one" + atByte(at));
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return fail("zlib cannot start for " + where);
    const std::span<const std::uint8_t> input = m_raw.subspan(m_in.offset());
    z.next_in = const_cast<Bytef*>(input.data());
    z.avail_in = static_cast<uInt>(std::min<std::size_t>(input.size(), UINT32_MAX));
    std::vector<std::uint8_t> out;
    int status = Z_OK;
    while (status == Z_OK) {
        if (m_inflatedTotal + out.size() >= m_limits.inflatedBytes) {
            inflateEnd(&z);
            return fail("The compressed block" + atByte(at) + " inflates past " +
                        std::to_string(m_limits.inflatedBytes >> 20) +
                        " MB; the sheet stops there");
        }
        const std::size_t before = out.size();
        out.resize(before + kInflateChunk);
        z.next_out = out.data() + before;
        z.avail_out = kInflateChunk;
        status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_NEED_DICT) {
            const auto dictionary = w2dZlibDictionary();
            status = z.adler == kW2dDictionaryId
                         ? inflateSetDictionary(&z, dictionary.data(),
                                                static_cast<uInt>(dictionary.size()))
                         : Z_DATA_ERROR;
        }
        out.resize(before + kInflateChunk - z.avail_out);
        if (status == Z_BUF_ERROR && z.avail_in > 0) status = Z_OK;
    }
    // Not total_in: zlib leaves the header bytes out of it when it asks for the dictionary.
    const auto consumed = static_cast<std::size_t>(z.next_in - input.data());
    const std::string reason = z.msg != nullptr ? z.msg : "data ends early";
    inflateEnd(&z);
    if (status != Z_STREAM_END) {
        return fail("The compressed block" + atByte(at) + " is damaged (zlib: " + reason +
                    " near byte " + std::to_string(m_in.offset() + consumed) +
                    "); the sheet stops there");
    }
    m_in.skip(consumed);
    std::uint8_t close = 0;
    if (!m_in.read(close) || close != '}') {
        return fail("The compressed block" + atByte(at) +
                    " is not closed by '}' after its zlib data; the sheet stops there");
    }
    m_inflatedTotal += out.size();
    m_resume = m_in.offset();
    m_regionAt = at;
    m_inflated = std::move(out);
    m_inInflated = true;
    m_in = ByteCursor(m_inflated);
    return true;
}

}  // namespace plotwick::internal
