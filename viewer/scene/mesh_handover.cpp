#include "scene/mesh_handover.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "scene/id_index.h"

namespace tessaro {

namespace {

// The load-level table without its open last record.
template <typename Record>
std::uint32_t usedCount(const SpillArray<Record>& table) {
    return table.size() == 0 ? 0 : table.size() - 1;
}

template <typename Record>
bool copyRange(SpillArray<Record>& table, std::uint32_t first, std::uint32_t n,
               RecordBlock<Record>& block) {
    return block.allocate(n) && (n == 0 || table.copyOut(first, n, block.data.get()));
}

template <typename Record>
bool copyList(const PoolVector<Record>& list, RecordBlock<Record>& block) {
    if (!block.allocate(list.count())) return false;
    if (list.count() != 0)
        std::memcpy(block.data.get(), list.data(), sizeof(Record) * list.count());
    return true;
}

bool copyPointers(const PoolVector<TextureUse*>& list, PoolVector<TextureUse*>& out) {
    return out.appendRange(list.data(), list.count());
}

bool copyPatches(const std::vector<PatchRecord>& patches, std::vector<PatchRecord>& out) {
    out.resize(patches.size());
    for (std::size_t i = 0; i < patches.size(); ++i) {
        out[i].patchId = patches[i].patchId;
        out[i].count = patches[i].count;
        if (!out[i].values.appendRange(patches[i].values.data(), patches[i].values.count())) {
            return false;
        }
    }
    return true;
}

// Gives a chunk its own table holding only the records its vertices use, in order
// of first use, and rewrites the vertex indices to that table.
template <typename Record>
class Compactor {
  public:
    // Sized once for the most records the chunk's faces can use, so that neither the
    // index nor the records are copied while they grow. A closed surface uses about one
    // record per two faces; the index grows by doubling beyond one per face.
    Compactor(SpillArray<Record>& table, std::uint32_t faces) : m_table(table) {
        m_index.reserve(std::min(usedCount(table), faces));
        m_records.reserve(std::min<std::size_t>(usedCount(table), 3 * std::size_t{faces}));
    }

    // The chunk-local index of mesh-wide record `global`; kNone stays kNone.
    bool remap(std::int32_t& index) {
        if (index == kNone) return true;
        if (index < 0 || static_cast<std::uint32_t>(index) >= usedCount(m_table)) {
            index = kNone;
            return true;
        }
        const std::uint32_t local = m_index.insert(static_cast<std::uint32_t>(index));
        if (local == IdIndex::kNotFound) return false;
        if (local == m_records.size()) {
            const Record* record = m_table.peek(static_cast<std::uint32_t>(index));
            if (record == nullptr) return false;
            m_records.push_back(*record);
        }
        index = static_cast<std::int32_t>(local);
        return true;
    }

    bool finish(RecordBlock<Record>& block) {
        if (!block.allocate(static_cast<std::uint32_t>(m_records.size()))) return false;
        if (!m_records.empty()) {
            std::memcpy(block.data.get(), m_records.data(), sizeof(Record) * m_records.size());
        }
        return true;
    }

  private:
    SpillArray<Record>& m_table;
    IdIndex m_index;
    std::vector<Record> m_records;
};

}  // namespace

MeshHandOver::MeshHandOver(SceneConsumer& consumer, NormalGenerator normals,
                           TextureResolver textures)
    : m_consumer(consumer), m_normals(std::move(normals)), m_textures(std::move(textures)) {}

// ---- whole meshes ----

std::unique_ptr<DrawableMesh> MeshHandOver::buildWhole(MeshBuild& mesh) {
    auto d = std::make_unique<DrawableMesh>();
    d->surface = mesh.surface ? 1 : 0;
    const bool copied = copyRange(mesh.m_faces, 0, usedCount(mesh.m_faces), d->faces) &&
                        copyRange(mesh.m_lines, 0, usedCount(mesh.m_lines), d->lines) &&
                        copyRange(mesh.m_points, 0, usedCount(mesh.m_points), d->points) &&
                        copyList(mesh.m_materials, d->materials) &&
                        copyList(mesh.m_lineStyles, d->lineStyles) &&
                        copyList(mesh.m_pointStyles, d->pointStyles) &&
                        copyPointers(mesh.m_textures, d->textureRefs) &&
                        copyRange(mesh.m_positions, 0, usedCount(mesh.m_positions), d->positions) &&
                        copyRange(mesh.m_normals, 0, usedCount(mesh.m_normals), d->normals) &&
                        copyRange(mesh.m_texCoords, 0, usedCount(mesh.m_texCoords), d->texCoords);
    if (!copied) return nullptr;
    d->patches = std::move(mesh.m_patches);
    mesh.m_patches.clear();
    return d;
}

// ---- chunks ----

namespace {

struct ChunkTables {
    Compactor<PositionRecord>* positions;
    Compactor<NormalRecord>* normals;
    Compactor<TexCoordRecord>* texCoords;

    bool remap(Vertex& v) const {
        return (positions == nullptr || positions->remap(v.position)) &&
               (normals == nullptr || normals->remap(v.normal)) &&
               (texCoords == nullptr || texCoords->remap(v.texCoord));
    }
    template <typename Record>
    bool remapAll(RecordBlock<Record>& primitives) const {
        for (Record& r : primitives) {
            for (Vertex& v : r.vertex) {
                if (!remap(v)) return false;
            }
        }
        return true;
    }
};

// A table larger than half the chunk's faces is compacted; a small one is copied whole.
template <typename Record>
bool compacts(const SpillArray<Record>& table, std::uint32_t faces) {
    return usedCount(table) > faces / 2;
}

template <typename Record>
bool finishTable(SpillArray<Record>& table, Compactor<Record>* compactor,
                 RecordBlock<Record>& block) {
    if (compactor != nullptr) return compactor->finish(block);
    return copyRange(table, 0, usedCount(table), block);
}

}  // namespace

std::unique_ptr<DrawableMesh> MeshHandOver::buildChunk(MeshBuild& mesh, const MeshChunk& chunk) {
    auto d = std::make_unique<DrawableMesh>();
    const PrimitiveRange& f = chunk.of(PrimitiveKind::faces);
    const PrimitiveRange& l = chunk.of(PrimitiveKind::lines);
    const PrimitiveRange& p = chunk.of(PrimitiveKind::points);
    if (!copyRange(mesh.m_faces, f.first, f.count, d->faces) ||
        !copyRange(mesh.m_lines, l.first, l.count, d->lines) ||
        !copyRange(mesh.m_points, p.first, p.count, d->points)) {
        return nullptr;
    }

    Compactor<PositionRecord> positions(mesh.m_positions, f.count);
    Compactor<NormalRecord> normals(mesh.m_normals, f.count);
    Compactor<TexCoordRecord> texCoords(mesh.m_texCoords, f.count);
    const ChunkTables tables{compacts(mesh.m_positions, f.count) ? &positions : nullptr,
                             compacts(mesh.m_normals, f.count) ? &normals : nullptr,
                             compacts(mesh.m_texCoords, f.count) ? &texCoords : nullptr};
    // Faces first, then lines, then points: local indices follow that order.
    if (!tables.remapAll(d->faces) || !tables.remapAll(d->lines) || !tables.remapAll(d->points) ||
        !finishTable(mesh.m_positions, tables.positions, d->positions) ||
        !finishTable(mesh.m_normals, tables.normals, d->normals) ||
        !finishTable(mesh.m_texCoords, tables.texCoords, d->texCoords)) {
        return nullptr;
    }

    d->surface = mesh.surface ? 1 : 0;
    const bool listsCopied = copyList(mesh.m_materials, d->materials) &&
                             (l.count == 0 || copyList(mesh.m_lineStyles, d->lineStyles)) &&
                             (p.count == 0 || copyList(mesh.m_pointStyles, d->pointStyles)) &&
                             copyPointers(mesh.m_textures, d->textureRefs) &&
                             copyPatches(mesh.m_patches, d->patches);
    if (!listsCopied) return nullptr;
    return d;
}

// ---- resolution and hand-over ----

namespace {

template <typename Record, typename Find>
bool resolveAppearance(RecordBlock<Record>& list, ReferenceKind kind, MissingReference& missing,
                       Find find) {
    for (Record& r : list) {
        if (r.id == kNone) continue;
        const Record* definition = find(static_cast<std::uint32_t>(r.id));
        if (definition == nullptr) {
            missing = {kind, static_cast<std::uint32_t>(r.id)};
            return false;
        }
        r = *definition;
        r.id = kNone;
    }
    return true;
}

template <typename Record, typename Find>
bool resolveGeometry(RecordBlock<Record>& table, ReferenceKind kind, MissingReference& missing,
                     Find find) {
    for (Record& r : table) {
        if (r.id == kNoId) continue;
        const Record* definition = find(r.id);
        if (definition == nullptr) {
            missing = {kind, r.id};
            return false;
        }
        r = *definition;
        r.id = kNoId;
    }
    return true;
}

// The first texture use still standing for a reference, once the resolver failed.
MissingReference missingTexture(const PoolVector<TextureUse*>& uses) {
    for (const TextureUse* use : uses) {
        if (use != nullptr && use->isReference())
            return {ReferenceKind::texture, static_cast<std::uint32_t>(use->textureId)};
    }
    return {};
}

}  // namespace

bool MeshHandOver::resolve(DrawableMesh& d, DefinitionScope* scope,
                           MissingReference* missing) const {
    MissingReference unused;
    MissingReference& m = missing != nullptr ? *missing : unused;
    m = {};
    if (scope == nullptr) return false;
    using K = ReferenceKind;
    const bool resolved =
        resolveAppearance(d.materials, K::material, m,
                          [&](std::uint32_t id) { return scope->findMaterial(id); }) &&
        resolveAppearance(d.lineStyles, K::lineStyle, m,
                          [&](std::uint32_t id) { return scope->findLineStyle(id); }) &&
        resolveAppearance(d.pointStyles, K::pointStyle, m,
                          [&](std::uint32_t id) { return scope->findPointStyle(id); }) &&
        resolveGeometry(d.positions, K::position, m,
                        [&](std::uint32_t id) { return scope->findPosition(id); }) &&
        resolveGeometry(d.normals, K::normal, m,
                        [&](std::uint32_t id) { return scope->findNormal(id); }) &&
        resolveGeometry(d.texCoords, K::texCoord, m,
                        [&](std::uint32_t id) { return scope->findTexCoord(id); });
    if (!resolved) return false;
    if (m_textures && !m_textures(d.textureRefs, scope, m_consumer)) {
        m = missingTexture(d.textureRefs);
        return false;
    }
    return true;
}

// Leaves `drawable` in place when its references do not resolve; otherwise hands it
// over (the consumer owns it whatever it answers) and returns the handle.
std::int32_t MeshHandOver::resolveAndAdd(std::unique_ptr<DrawableMesh>& drawable,
                                         DefinitionScope* scope, bool needsNormals,
                                         MissingReference* missing) {
    if (!resolve(*drawable, scope, missing)) return kNone;
    if (needsNormals && m_normals) m_normals(*drawable);
    return m_consumer.addMesh(std::move(drawable));
}

MeshEntry* MeshHandOver::handOver(MeshBuild& mesh, DefinitionScope* scope, SceneBuilder& builder) {
    if (mesh.spilled()) return handOverChunks(mesh, scope, builder);
    std::unique_ptr<DrawableMesh> drawable = buildWhole(mesh);
    if (!drawable) return nullptr;
    MeshEntry* entry = builder.newMeshEntry();
    entry->needsNormals = mesh.needsNormals;
    entry->primitives = std::uint64_t{mesh.faceCount()} + mesh.lineCount() + mesh.pointCount();
    const std::int32_t handle =
        resolveAndAdd(drawable, scope, entry->needsNormals, &entry->missing);
    if (drawable) {
        entry->pendingMesh = std::move(drawable);
        entry->pendingScope = ScopeRef::share(scope);
    } else {
        entry->handle = handle;
    }
    return entry;
}

bool MeshHandOver::handOverPending(MeshEntry& entry) {
    if (!entry.pendingMesh) return entry.resolved();
    const std::int32_t handle = resolveAndAdd(entry.pendingMesh, entry.pendingScope.get(),
                                              entry.needsNormals, &entry.missing);
    if (entry.pendingMesh) return false;
    entry.handle = handle;
    entry.pendingScope.reset();
    return true;
}

// Chunks never wait: one that does not resolve is dropped, and the handles of the
// others become one group.
MeshEntry* MeshHandOver::handOverChunks(MeshBuild& mesh, DefinitionScope* scope,
                                        SceneBuilder& builder) {
    const ChunkPlan plan = planChunks(mesh.faceCount(), mesh.lineCount(), mesh.pointCount());
    std::vector<std::int32_t> handles;
    for (std::uint32_t i = 0; i < plan.total; ++i) {
        std::unique_ptr<DrawableMesh> drawable = buildChunk(mesh, chunkAt(plan, i));
        if (!drawable) return nullptr;
        const std::int32_t handle = resolveAndAdd(drawable, scope, mesh.needsNormals);
        if (!drawable && handle >= 0) handles.push_back(handle);
    }
    MeshEntry* entry = builder.newMeshEntry();
    entry->needsNormals = mesh.needsNormals;
    entry->primitives = std::uint64_t{mesh.faceCount()} + mesh.lineCount() + mesh.pointCount();
    entry->handle =
        m_consumer.addMeshGroup(static_cast<std::uint32_t>(handles.size()), handles.data());
    return entry;
}

}  // namespace tessaro
