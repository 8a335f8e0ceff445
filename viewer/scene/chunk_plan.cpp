#include "scene/chunk_plan.h"

#include <algorithm>

namespace tessaro {
namespace {

KindChunks cutKind(std::uint32_t n) {
    if (n == 0) return {};
    if (n < ChunkPlan::kChunkSize - 1) return {n, 1, n};
    const std::uint64_t k =
        std::max<std::uint64_t>(2, (std::uint64_t{n} + ChunkPlan::kSlack) / ChunkPlan::kChunkSize);
    const auto chunks = static_cast<std::uint32_t>(k);
    return {n, chunks, n / chunks};
}

PrimitiveRange slice(const KindChunks& kind, std::uint32_t local) {
    const std::uint32_t first = local * kind.chunkSize;
    const bool last = local + 1 == kind.chunks;
    return {first, last ? kind.primitives - first : kind.chunkSize};
}

// Kinds with exactly one chunk go whole into the chunk that carries them.
void addRiders(const ChunkPlan& plan, MeshChunk& chunk) {
    for (int k = 0; k < kPrimitiveKinds; ++k) {
        if (plan.kinds[k].chunks == 1) chunk.ranges[k] = {0, plan.kinds[k].primitives};
    }
}

}  // namespace

ChunkPlan planChunks(std::uint32_t faces, std::uint32_t lines, std::uint32_t points) {
    ChunkPlan plan;
    const std::uint32_t counts[kPrimitiveKinds] = {faces, lines, points};
    for (int k = 0; k < kPrimitiveKinds; ++k) {
        plan.kinds[k] = cutKind(counts[k]);
        plan.total += plan.kinds[k].chunks;
    }
    // A kind with one chunk has no chunk of its own: it rides along.
    for (const KindChunks& kind : plan.kinds) {
        if (kind.chunks == 1 && plan.total > 1) --plan.total;
    }
    return plan;
}

MeshChunk chunkAt(const ChunkPlan& plan, std::uint32_t index) {
    MeshChunk chunk;
    if (index >= plan.total) return chunk;
    std::uint32_t rest = index;
    bool firstCutKind = true;
    for (int k = 0; k < kPrimitiveKinds; ++k) {
        const KindChunks& kind = plan.kinds[k];
        if (kind.chunks < 2) continue;
        if (rest < kind.chunks) {
            chunk.kind = static_cast<PrimitiveKind>(k);
            chunk.localIndex = rest;
            chunk.ranges[k] = slice(kind, rest);
            if (firstCutKind && rest == 0) addRiders(plan, chunk);
            return chunk;
        }
        rest -= kind.chunks;
        firstCutKind = false;
    }
    // No kind is cut: the one chunk is the whole mesh.
    addRiders(plan, chunk);
    for (int k = kPrimitiveKinds - 1; k >= 0; --k) {
        if (plan.kinds[k].chunks == 1) chunk.kind = static_cast<PrimitiveKind>(k);
    }
    return chunk;
}

}  // namespace tessaro
