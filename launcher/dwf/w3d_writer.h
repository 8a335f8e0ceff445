// Writes 3D graphics streams (.w3d) in their plainest forms: segments, includes,
// modelling matrices, face colours as three bytes, and shells whose points are raw
// floats and whose faces are an explicit list. No part of the stream is compressed:
// the package's ZIP entry deflates it as a whole.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "dwf/w3d_model.h"

namespace plotwick {

class W3dWriter {
  public:
    // Starts the stream with its header comment and file information.
    W3dWriter();

    // Names (and include paths) are at most 255 bytes; a longer one writes nothing.
    // A name starting with '?' or '/' is absolute: a library segment, drawn only
    // through includes. An empty name opens a new anonymous child.
    bool openSegment(std::string_view name);
    void closeSegment();
    bool include(std::string_view path);
    // The open segment's modelling matrix (row vectors), in single precision.
    void matrix(const W3dMatrix& matrix);
    // The open segment's face colour, each channel 0..1 stored as a byte.
    void faceColour(const std::array<float, 3>& rgb);
    // A shell: x y z per point and three point numbers per triangle. False, writing
    // nothing, when a number names no point or a count does not fit the format.
    bool shell(std::span<const float> points, std::span<const std::uint32_t> triangles);
    // The camera the stream is to be seen through: an orthographic or perspective
    // projection, position, target, up and the field seen at the target.
    void camera(const W3dCamera& camera);
    // Ends the stream; nothing should be written after it.
    void end();

    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

  private:
    void byte(std::uint8_t value);
    void uint16(std::uint16_t value);
    void uint32(std::uint32_t value);
    void float32(float value);
    void text8(std::string_view text);

    std::vector<std::uint8_t> m_bytes;
};

// The matrix as a reader gets it back from the stream.
W3dMatrix asWritten(const W3dMatrix& matrix);

// The box of x y z points; nothing for no points.
std::optional<W3dBox> boxOfPoints(std::span<const float> points);

}  // namespace plotwick
