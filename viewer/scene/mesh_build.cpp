#include "scene/mesh_build.h"

#include <type_traits>

namespace tessaro {

namespace {

constexpr Vertex kNoVertex{kNone, kNone, kNone};

FaceRecord blankFace() {
    return {{kNoVertex, kNoVertex, kNoVertex}, kNone, kNone, kNone, 0};
}
LineRecord blankLine() {
    return {{kNoVertex, kNoVertex}, kNone, kNone, kNone, kNone};
}
PointRecord blankPoint() {
    return {{kNoVertex}, kNone, kNone, kNone, kNone};
}

template <typename Record>
Record blank() {
    if constexpr (std::is_same_v<Record, FaceRecord>) return blankFace();
    if constexpr (std::is_same_v<Record, LineRecord>) return blankLine();
    if constexpr (std::is_same_v<Record, PointRecord>) return blankPoint();
    return Record{};
}

// A texture needs a coordinate at every vertex; without a texture no vertex keeps one.
template <typename Record>
void applyTextureInvariant(Record& primitive, std::uint32_t vertices) {
    for (std::uint32_t v = 0; v < vertices; ++v) {
        if (primitive.vertex[v].texCoord == kNone) primitive.texture = kNone;
    }
    if (primitive.texture == kNone) {
        for (std::uint32_t v = 0; v < vertices; ++v)
            primitive.vertex[v].texCoord = kNone;
    }
}

}  // namespace

template <typename Record>
bool MeshBuild::startTable(SpillArray<Record>& table, std::uint32_t limit, const char* prefix) {
    table.reset(limit, prefix);
    table.setErrorSink(m_sink);
    return table.setCount(1) && table.store(0, blank<Record>());
}

bool MeshBuild::start(std::int32_t id) {
    m_materials.clear();
    m_lineStyles.clear();
    m_pointStyles.clear();
    m_textures.clear();
    m_textureIds.clear();
    m_patches.clear();
    meshId = id;
    currentPatch = kNone;
    largestPatchId = 0;
    needsNormals = false;
    surface = false;
    m_active = startTable(m_positions, kVertexSpillLimit, "vts") &&
               startTable(m_normals, kVertexSpillLimit, "nrs") &&
               startTable(m_texCoords, kVertexSpillLimit, "tcs") &&
               startTable(m_faces, kPrimitiveSpillLimit, "fcs") &&
               startTable(m_lines, kPrimitiveSpillLimit, "lns") &&
               startTable(m_points, kPrimitiveSpillLimit, "pts");
    return m_active;
}

void MeshBuild::finish() {
    m_positions.reset(kVertexSpillLimit, "vts");
    m_normals.reset(kVertexSpillLimit, "nrs");
    m_texCoords.reset(kVertexSpillLimit, "tcs");
    m_faces.reset(kPrimitiveSpillLimit, "fcs");
    m_lines.reset(kPrimitiveSpillLimit, "lns");
    m_points.reset(kPrimitiveSpillLimit, "pts");
    m_patches.clear();
    m_active = false;
}

FaceRecord* MeshBuild::openFace() {
    return m_active ? m_faces.at(m_faces.size() - 1) : nullptr;
}
LineRecord* MeshBuild::openLine() {
    return m_active ? m_lines.at(m_lines.size() - 1) : nullptr;
}
PointRecord* MeshBuild::openPoint() {
    return m_active ? m_points.at(m_points.size() - 1) : nullptr;
}

template <typename Record>
bool MeshBuild::commit(SpillArray<Record>& table, std::uint32_t vertices) {
    const std::uint32_t open = table.size() - 1;
    Record* record = table.at(open);
    if (record == nullptr) return false;
    applyTextureInvariant(*record, vertices);
    record->patch = currentPatch;
    return table.setCount(open + 2) && table.store(open + 1, blank<Record>());
}

bool MeshBuild::commitFace() {
    return m_active && commit(m_faces, 3);
}
bool MeshBuild::commitLine() {
    return m_active && commit(m_lines, 2);
}
bool MeshBuild::commitPoint() {
    return m_active && commit(m_points, 1);
}

template <typename Record>
std::int32_t MeshBuild::appendRecord(SpillArray<Record>& table, const Record& record) {
    if (!m_active) return kNone;
    const std::uint32_t open = table.size() - 1;
    if (!table.store(open, record) || !table.setCount(open + 2)) return kNone;
    return static_cast<std::int32_t>(open);
}

std::int32_t MeshBuild::addPosition(double x, double y, double z) {
    return appendRecord(m_positions, PositionRecord{x, y, z, kNoId, 0});
}

std::int32_t MeshBuild::addNormal(float x, float y, float z) {
    return appendRecord(m_normals, NormalRecord{kNoId, x, y, z});
}

std::int32_t MeshBuild::addTexCoord(float u, float v) {
    return appendRecord(m_texCoords, TexCoordRecord{kNoId, u, v});
}

std::int32_t MeshBuild::addPositionReference(std::uint32_t id) {
    return appendRecord(m_positions, PositionRecord{0, 0, 0, id, 0});
}

std::int32_t MeshBuild::addNormalReference(std::uint32_t id) {
    return appendRecord(m_normals, NormalRecord{id, 0, 0, 0});
}

std::int32_t MeshBuild::addTexCoordReference(std::uint32_t id) {
    return appendRecord(m_texCoords, TexCoordRecord{id, 0, 0});
}

template <typename Record>
std::int32_t MeshBuild::run(PoolVector<Record>& list, std::uint32_t id) {
    const auto wanted = static_cast<std::int32_t>(id);
    if (!list.empty() && list.top().id == wanted)
        return static_cast<std::int32_t>(list.count() - 1);
    Record record{};
    record.id = wanted;
    return add(list, record);
}

template <typename Record>
std::int32_t MeshBuild::add(PoolVector<Record>& list, const Record& record) {
    const std::uint32_t index = list.append(record);
    return index == PoolVector<Record>::kFailed ? kNone : static_cast<std::int32_t>(index);
}

std::int32_t MeshBuild::materialRun(std::uint32_t id) {
    return run(m_materials, id);
}
std::int32_t MeshBuild::lineStyleRun(std::uint32_t id) {
    return run(m_lineStyles, id);
}
std::int32_t MeshBuild::pointStyleRun(std::uint32_t id) {
    return run(m_pointStyles, id);
}

std::int32_t MeshBuild::addMaterial(const MaterialRecord& material) {
    MaterialRecord inline_ = material;
    inline_.id = kNone;
    return add(m_materials, inline_);
}

std::int32_t MeshBuild::addLineStyle(const LineStyleRecord& style) {
    LineStyleRecord inline_ = style;
    inline_.id = kNone;
    return add(m_lineStyles, inline_);
}

std::int32_t MeshBuild::addPointStyle(const PointStyleRecord& style) {
    PointStyleRecord inline_ = style;
    inline_.id = kNone;
    return add(m_pointStyles, inline_);
}

std::int32_t MeshBuild::textureRun(std::uint32_t id, TextureUse* texture) {
    if (!m_textureIds.empty() && m_textureIds.back() == id) {
        return static_cast<std::int32_t>(m_textures.count() - 1);
    }
    const std::int32_t index = addTexture(texture);
    if (index != kNone) m_textureIds.back() = id;
    return index;
}

std::int32_t MeshBuild::addTexture(TextureUse* texture) {
    const std::int32_t index = add(m_textures, texture);
    if (index != kNone) m_textureIds.push_back(kNoId);
    return index;
}

std::int32_t MeshBuild::openPatch(std::uint32_t patchId) {
    m_patches.emplace_back();
    m_patches.back().patchId = patchId;
    currentPatch = static_cast<std::int32_t>(m_patches.size() - 1);
    return currentPatch;
}

PatchRecord* MeshBuild::patchAt(std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= m_patches.size()) return nullptr;
    return &m_patches[static_cast<std::size_t>(index)];
}

}  // namespace tessaro
