// The shell opcode of a 3D stream, with the edgebreaker scheme that compresses its
// connectivity and its vertex normals. Pieces are exposed so that each decoding step
// can be tested on bytes laid out by hand.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "dwf/byte_cursor.h"
#include "dwf/w3d_model.h"

namespace plotwick::internal {

// Bits taken most significant first from 32-bit little-endian words.
class W3dBitReader {
  public:
    explicit W3dBitReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    bool get(unsigned count, std::uint32_t& value);
    // A cascade code: each width's all-ones value escapes to the next width.
    bool cascade(std::span<const unsigned> widths, std::int64_t& value);
    std::size_t bitsRead() const { return m_bit; }

  private:
    bool bit(std::uint32_t& value);
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_bit = 0;
};

// Shared by the shapes of a stream, or of every stream of a package, so that a small
// file cannot ask for unbounded geometry: the vertices its meshes may hold, and the
// triangle, line and marker indices.
struct W3dGeometryBudget {
    std::size_t vertices = 0;
    std::size_t indices = 0;
    // Takes both counts, or nothing when either is more than is left.
    bool take(std::uint64_t vertexCount, std::uint64_t indexCount);
};

// A floor that ordinary models stay well within, plus a multiple of the file's bytes.
W3dGeometryBudget geometryBudgetFor(std::size_t fileBytes);

inline constexpr const char* kGeometrySpent =
    "its shapes ask for more vertices or triangles than a file of this size may hold";

inline constexpr std::array<unsigned, 9> kSmallCascade{2, 6, 10, 14, 18, 22, 26, 31, 32};
inline constexpr std::array<unsigned, 3> kLargeCascade{16, 31, 32};

struct W3dMTable {
    std::vector<std::uint32_t> dummies;  // opcode vertex numbers, ascending
    std::vector<std::pair<std::uint32_t, std::uint32_t>> patches;  // opcode old, final new
    std::array<float, 6> pointBox{};
    std::array<std::uint32_t, 3> pointBits{11, 11, 11};
    std::array<std::uint32_t, 3> normalBits{11, 11, 11};
};
// The table must be used up exactly; anything else means the data is misread.
bool readMTable(std::span<const std::uint8_t> bytes, W3dMTable& table, std::string& error);

enum class EdgebreakerOp : std::uint8_t { C = 0, L = 1, E = 2, R = 3, S = 4 };

inline constexpr std::int32_t kNoTwin = -1;
struct W3dConnectivity {
    std::vector<std::uint32_t> starts;  // start vertex of half-edge h; triangle t is 3t..3t+2
    std::vector<std::int32_t> twins;    // twin half-edge or kNoTwin
    std::uint32_t vertexCount = 0;      // in opcode numbering, dummies included
};
// `budget` bounds the boundary walks of S ops, which malformed data could make long.
bool decodeConnectivity(std::span<const std::uint8_t> ops, W3dConnectivity& result,
                        std::size_t& budget, std::string& error);

// Renumbers the opcode vertices into final ones (dummies and patch-olds removed) and
// drops the triangles that touch a dummy. Returns the final vertex count.
inline constexpr std::uint32_t kDummyVertex = 0xFFFFFFFFu;
bool applyDummiesAndPatches(const W3dMTable& table, W3dConnectivity& connectivity,
                            std::uint32_t& finalCount, std::string& error);

// Values per final vertex from absolute values and predicted differences, walking the
// half-edge table. `absolute` and `differences` hold three numbers per vertex.
bool predictVertexValues(const W3dConnectivity& connectivity, std::uint32_t finalCount,
                         std::span<const std::int64_t> absolute,
                         std::span<const std::int64_t> differences,
                         std::vector<std::int64_t>& values, std::string& error);

// Reads the operands of a shell opcode (after the opcode byte). `mesh` gets the
// full-resolution geometry; `hasGeometry` is false for bounding-only and null shells.
// Vertices and indices are taken from `budget` before they are allocated.
bool readShell(ByteCursor& cursor, unsigned version, W3dGeometryBudget& budget, W3dMesh& mesh,
               bool& hasGeometry, std::string& error);

// Reads the operands of a mesh opcode: a grid of points, two triangles per cell, taken
// from `budget` as a shell's are.
bool readMesh(ByteCursor& cursor, unsigned version, W3dGeometryBudget& budget, W3dMesh& mesh,
              std::string& error);

}  // namespace plotwick::internal
