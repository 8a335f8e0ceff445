// Chunk plan of a mesh whose face, line or point table spilled to disk: how its
// primitives are cut into drawable meshes of bounded size.
//
// Per kind with n primitives: no chunk when n is 0; one chunk when n < 99999 (such a kind
// "rides along" whole in the first chunk of the first kind that is cut); otherwise
// k = max(2, (n + 87500) / 100000) chunks of n / k primitives, the last one taking the
// remainder. The chunks are numbered faces first, then lines, then points, counting only
// kinds that are cut. When no kind is cut the plan is one chunk holding every kind whole.
#pragma once

#include <cstdint>

namespace tessaro {

enum class PrimitiveKind : std::uint8_t { faces, lines, points };

inline constexpr int kPrimitiveKinds = 3;

struct KindChunks {
    std::uint32_t primitives = 0;
    // 0 (none), 1 (rides along whole) or 2 and more (cut).
    std::uint32_t chunks = 0;
    // Primitives per chunk when cut; the last chunk takes the remainder.
    std::uint32_t chunkSize = 0;
};

struct ChunkPlan {
    static constexpr std::uint32_t kChunkSize = 100000;
    // One eighth short of a whole chunk still rounds up to one more chunk.
    static constexpr std::uint32_t kSlack = (7 * kChunkSize) / 8;

    // Indexed by PrimitiveKind.
    KindChunks kinds[kPrimitiveKinds];
    // The number of drawable meshes the mesh becomes.
    std::uint32_t total = 0;

    const KindChunks& of(PrimitiveKind kind) const { return kinds[static_cast<int>(kind)]; }
};

struct PrimitiveRange {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
};

// One drawable mesh of the plan: the kind it cuts, its number within that kind and the
// primitives it holds of each kind (whole ranges for kinds that ride along, empty ranges
// for kinds it does not hold).
struct MeshChunk {
    PrimitiveKind kind = PrimitiveKind::faces;
    std::uint32_t localIndex = 0;
    PrimitiveRange ranges[kPrimitiveKinds];

    const PrimitiveRange& of(PrimitiveKind k) const { return ranges[static_cast<int>(k)]; }
};

// Takes primitive counts, i.e. each table's count less its open last record.
ChunkPlan planChunks(std::uint32_t faces, std::uint32_t lines, std::uint32_t points);

// Chunk number `index` (below plan.total) of the plan; an empty chunk otherwise.
MeshChunk chunkAt(const ChunkPlan& plan, std::uint32_t index);

}  // namespace tessaro
