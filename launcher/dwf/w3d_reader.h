// Reads a 3D graphics stream (.w3d) into its segment tree: segments with their
// attributes, includes and geometry. A stream has no length fields, so an opcode that
// cannot be read ends it; what was read before is kept and `message` names the opcode.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "dwf/w3d_curves.h"
#include "dwf/w3d_model.h"
#include "dwf/w3d_shell.h"

namespace plotwick::internal {

struct W3dSegment {
    std::string path;  // empty for anonymous segments
    std::vector<std::size_t> children;
    std::vector<std::string> includes;
    std::vector<std::string> styles;
    std::vector<std::size_t> meshes;
    std::optional<std::array<float, 3>> faceColour;
    std::optional<bool> facesVisible;
    std::optional<W3dMatrix> matrix;
    // Per curve class (edges, lines, markers): colour, visibility, and the one mesh that
    // gathers the segment's curves of that class (attributes hold for the whole segment).
    std::array<std::optional<std::array<float, 3>>, kW3dCurveClassCount> curveColours;
    std::array<std::optional<bool>, kW3dCurveClassCount> curvesVisible;
    std::array<std::optional<std::size_t>, kW3dCurveClassCount> curveMeshes;
};

struct W3dStream {
    unsigned version = 0;
    std::vector<W3dSegment> segments;  // the implicit root first
    std::unordered_map<std::string, std::size_t> byPath;
    std::vector<W3dMesh> meshes;
    std::optional<W3dCamera> camera;
    std::size_t shellCount = 0;
    std::string message;  // why reading stopped early; empty when the stream is whole
};

// The geometry budget is the stream's own, or one that the streams of a package share
// so that many small models cannot multiply its floor.
W3dStream readW3d(std::span<const std::uint8_t> bytes);
W3dStream readW3d(std::span<const std::uint8_t> bytes, W3dGeometryBudget& geometry);

}  // namespace plotwick::internal
