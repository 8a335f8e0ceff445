#include "dwf/w3d_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace plotwick {
namespace {

// Every field written here reads the same in all versions from 6.50 on; 11.70 is the
// newest version whose layouts the reader has been checked against.
constexpr std::string_view kHeader = ";; HSF V11.70 \n";

constexpr std::uint8_t kFileInfo = 'I';
constexpr std::uint8_t kOpenSegment = '(';
constexpr std::uint8_t kCloseSegment = ')';
constexpr std::uint8_t kInclude = '<';
constexpr std::uint8_t kModellingMatrix = '%';
constexpr std::uint8_t kColourRgb = '~';
constexpr std::uint8_t kShell = 'S';
constexpr std::uint8_t kCamera = '>';
constexpr std::uint8_t kTermination = 0x00;

constexpr std::uint8_t kFacesClass = 0x01;
// A new shell (not a refinement of a tagged one): raw points, no scheme byte, an
// explicit face list, no attribute list.
constexpr std::uint8_t kShellFirstPass = 0x10;
constexpr std::uint8_t kFullDetail = 0;
constexpr std::uint8_t kFaceListScheme = 1;

constexpr std::uint64_t kLargestCount = std::numeric_limits<std::int32_t>::max();

std::uint8_t colourByte(float channel) {
    if (!(channel > 0)) return 0;  // NaN too
    return static_cast<std::uint8_t>(std::lround(std::min(channel, 1.0f) * 255));
}

// The narrowest sample that holds every number of the list (point numbers and the
// count 3): unsigned 8 or 16 bits, else 32.
unsigned faceSampleBits(std::size_t pointCount) {
    const std::size_t largest = std::max<std::size_t>(pointCount, 4) - 1;
    if (largest <= 0xFF) return 8;
    if (largest <= 0xFFFF) return 16;
    return 32;
}

}  // namespace

W3dWriter::W3dWriter() {
    m_bytes.assign(kHeader.begin(), kHeader.end());
    byte(kFileInfo);
    uint32(0);
}

bool W3dWriter::openSegment(std::string_view name) {
    if (name.size() > 0xFF) return false;
    byte(kOpenSegment);
    text8(name);
    return true;
}

void W3dWriter::closeSegment() {
    byte(kCloseSegment);
}

bool W3dWriter::include(std::string_view path) {
    // A length of 0 would announce a path with a condition.
    if (path.empty() || path.size() > 0xFF) return false;
    byte(kInclude);
    text8(path);
    return true;
}

void W3dWriter::matrix(const W3dMatrix& matrix) {
    byte(kModellingMatrix);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column)
            float32(static_cast<float>(matrix[row * 4 + column]));
    }
}

void W3dWriter::faceColour(const std::array<float, 3>& rgb) {
    byte(kColourRgb);
    byte(kFacesClass);
    for (float channel : rgb)
        byte(colourByte(channel));
}

void W3dWriter::camera(const W3dCamera& camera) {
    byte(kCamera);
    byte(camera.perspective ? 1 : 0);
    for (const auto* vector : {&camera.position, &camera.target, &camera.up}) {
        for (double value : *vector)
            float32(static_cast<float>(value));
    }
    float32(static_cast<float>(camera.fieldWidth));
    float32(static_cast<float>(camera.fieldHeight));
}

bool W3dWriter::shell(std::span<const float> points, std::span<const std::uint32_t> triangles) {
    const std::size_t pointCount = points.size() / 3;
    const unsigned bits = faceSampleBits(pointCount);
    const std::uint64_t faceBytes = 1 + std::uint64_t{triangles.size()} / 3 * 4 * (bits / 8);
    if (points.size() % 3 != 0 || triangles.size() % 3 != 0 || pointCount > kLargestCount ||
        faceBytes > kLargestCount)
        return false;
    if (std::any_of(triangles.begin(), triangles.end(),
                    [&](std::uint32_t v) { return v >= pointCount; }))
        return false;
    m_bytes.reserve(m_bytes.size() + 16 + points.size() * 4 + faceBytes);
    byte(kShell);
    byte(kShellFirstPass);
    byte(kFullDetail);
    uint32(static_cast<std::uint32_t>(pointCount));
    for (float value : points)
        float32(value);
    byte(kFaceListScheme);
    uint32(static_cast<std::uint32_t>(faceBytes));
    byte(static_cast<std::uint8_t>(bits));
    const auto sample = [&](std::uint32_t value) {
        if (bits == 8) {
            byte(static_cast<std::uint8_t>(value));
        } else if (bits == 16) {
            uint16(static_cast<std::uint16_t>(value));
        } else {
            uint32(value);
        }
    };
    for (std::size_t i = 0; i < triangles.size(); i += 3) {
        sample(3);
        sample(triangles[i]);
        sample(triangles[i + 1]);
        sample(triangles[i + 2]);
    }
    return true;
}

void W3dWriter::end() {
    byte(kTermination);
}

void W3dWriter::byte(std::uint8_t value) {
    m_bytes.push_back(value);
}

void W3dWriter::uint16(std::uint16_t value) {
    byte(static_cast<std::uint8_t>(value));
    byte(static_cast<std::uint8_t>(value >> 8));
}

void W3dWriter::uint32(std::uint32_t value) {
    uint16(static_cast<std::uint16_t>(value));
    uint16(static_cast<std::uint16_t>(value >> 16));
}

void W3dWriter::float32(float value) {
    uint32(std::bit_cast<std::uint32_t>(value));
}

void W3dWriter::text8(std::string_view text) {
    byte(static_cast<std::uint8_t>(text.size()));
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
}

W3dMatrix asWritten(const W3dMatrix& matrix) {
    W3dMatrix written = kW3dIdentity;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column)
            written[row * 4 + column] = static_cast<float>(matrix[row * 4 + column]);
    }
    return written;
}

std::optional<W3dBox> boxOfPoints(std::span<const float> points) {
    if (points.size() < 3) return std::nullopt;
    W3dBox box{points[0], points[1], points[2], points[0], points[1], points[2]};
    for (std::size_t i = 3; i + 2 < points.size(); i += 3) {
        for (int k = 0; k < 3; ++k) {
            box[k] = std::min<double>(box[k], points[i + k]);
            box[k + 3] = std::max<double>(box[k + 3], points[i + k]);
        }
    }
    return box;
}

}  // namespace plotwick
