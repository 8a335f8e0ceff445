// Writes 2D graphics streams and DWF 6 packages (of 2D sheets and 3D models). The typed calls cover
// what a shaded view needs (view extent, colour, fill, triangles, edges); the raw calls let a
// caller write any other opcode byte by byte.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dwf/display_list.h"
#include "dwf/dwf_document.h"

namespace plotwick {

class W2dWriter {
  public:
    // Starts the stream with its header, "(W2D V06.00)" unless another is given.
    explicit W2dWriter(std::string_view header = "(W2D V06.00)");

    void view(const LogicalBox& extent);
    void colour(const Rgba& colour);  // a writer always sets one: the default is white
    void fill(bool on);
    void moveTo(const LogicalPoint& point);  // sets the current point absolutely
    void line(const LogicalPoint& from, const LogicalPoint& to);
    // Both write nothing for no points (a count of 0 cannot be written).
    void polyline(std::span<const LogicalPoint> points);  // a polygon while fill is on
    void triangles(std::span<const LogicalPoint> strip);  // a strip; three points for one
    // Ends the stream; nothing should be written after it.
    void end();

    // Raw pieces, little-endian.
    void ascii(std::string_view text);
    void byte(std::uint8_t value);
    void int16(std::int16_t value);
    void uint16(std::uint16_t value);
    void int32(std::int32_t value);
    void uint32(std::uint32_t value);
    void count(std::uint32_t value);  // a point count: one byte, or 0 + uint16 above 255
    // A vertex of a relative opcode: writes the delta from the current point, which
    // moves there.
    void relative32(const LogicalPoint& point);
    void relative16(const LogicalPoint& point);

    const LogicalPoint& current() const { return m_current; }
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

  private:
    std::vector<std::uint8_t> m_bytes;
    LogicalPoint m_current;
};

struct PackageSheet {
    std::string title;
    Paper paper;
    std::array<double, 16> transform;  // logical units to paper units
    std::vector<std::uint8_t> stream;  // a finished W2dWriter's bytes
};

struct PackageModel {
    std::string title;
    std::vector<std::uint8_t> stream;  // a finished W3dWriter's bytes
    std::optional<W3dBox> extents;     // as W3dExtents gives them; none for an empty model
};

// Writes a DWF 6 package with one ePlot section per sheet, then one eModel section per
// model. False with `error` set when the file cannot be written.
bool writeDwfPackage(const std::string& path, std::span<const PackageSheet> sheets,
                     std::span<const PackageModel> models, std::string& error);
bool writeDwfPackage(const std::string& path, std::span<const PackageSheet> sheets,
                     std::string& error);

}  // namespace plotwick
