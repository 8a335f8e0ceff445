// The decoded 3D models of a DWF package: meshes, and the flat list of sets that draws
// them (each a mesh with its net matrix, face colour and line colour).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plotwick {

// Axis-aligned box: min x y z, then max x y z.
using W3dBox = std::array<double, 6>;

struct W3dMesh {
    std::vector<float> points;             // x y z per vertex
    std::vector<float> normals;            // x y z per vertex, or empty
    std::vector<float> texCoords;          // 3 per vertex, or empty
    std::vector<std::uint32_t> triangles;  // three vertex numbers each
    // Curves drawn as thin lines (lines, polylines, arcs, edges): two vertex numbers per
    // segment, into `points`; and markers, one vertex number each.
    std::vector<std::uint32_t> lines;
    std::vector<std::uint32_t> markers;
    bool fromShell = false;  // else tessellated by the reader (cylinder, sphere)
};

struct W3dCamera {
    bool perspective = false;
    std::array<double, 3> position{};
    std::array<double, 3> target{};
    std::array<double, 3> up{};
    double fieldWidth = 0;
    double fieldHeight = 0;
};

// Row vectors: a point maps as [x y z 1] * matrix, translation in elements 12..14.
using W3dMatrix = std::array<double, 16>;
inline constexpr W3dMatrix kW3dIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

struct W3dTriangleSet {
    std::size_t mesh = 0;  // index into W3dModel::meshes
    W3dMatrix matrix = kW3dIdentity;
    std::optional<std::array<float, 3>> colour;      // none: drawn in the default colour
    std::optional<std::array<float, 3>> lineColour;  // for lines and markers; none: black
};

// A package's extents as its writer states them: the union of each drawn shell's own
// box with its eight corners moved by the matrix that draws it. The reader applies the
// same rule to what it decodes, so a writer's box comes back the same.
class W3dExtents {
  public:
    void add(const W3dBox& local, const W3dMatrix& matrix);
    const std::optional<W3dBox>& box() const { return m_box; }

  private:
    std::optional<W3dBox> m_box;
};

struct W3dModel {
    std::string title;
    std::vector<W3dMesh> meshes;
    std::vector<W3dTriangleSet> sets;
    std::optional<W3dCamera> camera;
    std::optional<W3dBox> extents;  // as the package's descriptor gives them
    // The writer's rule for its extents: each mesh's own box, its corners moved by the
    // set's matrix. Compared with `extents`, this checks the decoded placement.
    std::optional<W3dBox> conservativeBox;
    // The box to fit the view to: the descriptor's extents when they agree with the
    // decoded placement, else the decoded box (extents may be missing or stale).
    std::optional<W3dBox> fitBox;
    std::size_t shellCount = 0;     // shell opcodes decoded
    std::size_t instanceCount = 0;  // sets that draw triangles
    std::size_t triangleCount = 0;  // triangles drawn, over all sets
    std::size_t lineCount = 0;      // line segments drawn, over all sets
    std::size_t markerCount = 0;    // markers drawn, over all sets
    std::size_t colourCount = 0;    // distinct face colours drawn
    std::string message;            // why the stream stopped early; empty when whole
};

}  // namespace plotwick
