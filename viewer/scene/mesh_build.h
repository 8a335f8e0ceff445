// MeshBuild: the mesh being read. Its geometry gathers in load-level spill tables
// (positions, normals, texture coordinates, faces, lines, points); faces, lines and
// points fill the open last record of their table, which grows by one when the
// element ends and passes its checks. Material, style and texture lists keep runs:
// consecutive primitives that name the same ID share one entry.
//
// Storage failures reach the StorageErrorSink; the accessors then return null or
// kNone, and nothing that was not read is handed out.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/chunk_plan.h"
#include "scene/pool_vector.h"
#include "scene/records.h"
#include "scene/spill_array.h"

namespace tessaro {

struct TextureUse;

class MeshBuild {
  public:
    static constexpr std::uint32_t kVertexSpillLimit = 300000;
    static constexpr std::uint32_t kPrimitiveSpillLimit = 100000;

    void setErrorSink(StorageErrorSink* sink) { m_sink = sink; }

    // Starts a mesh: fresh tables, each holding one open record, one open list entry.
    bool start(std::int32_t meshId);
    // Empties the tables after the mesh was handed over.
    void finish();
    bool active() const { return m_active; }

    // The open (last) record of each primitive table; null when storage failed.
    FaceRecord* openFace();
    LineRecord* openLine();
    PointRecord* openPoint();
    // Ends the open record: applies the texture invariant, stores the current patch and
    // opens the next record. False when storage failed.
    bool commitFace();
    bool commitLine();
    bool commitPoint();

    // A value given inline in a vertex, appended to its table; its index, or kNone.
    std::int32_t addPosition(double x, double y, double z);
    std::int32_t addNormal(float x, float y, float z);
    std::int32_t addTexCoord(float u, float v);
    // A reference by ID ("pref", "nref", "tcref"): a record that the hand-over replaces
    // with the definition of that ID.
    std::int32_t addPositionReference(std::uint32_t id);
    std::int32_t addNormalReference(std::uint32_t id);
    std::int32_t addTexCoordReference(std::uint32_t id);

    // Runs: the index of the previous run when it names the same ID, else a new run.
    std::int32_t materialRun(std::uint32_t id);
    std::int32_t lineStyleRun(std::uint32_t id);
    std::int32_t pointStyleRun(std::uint32_t id);
    std::int32_t textureRun(std::uint32_t id, TextureUse* texture);
    // Inline values always make a new entry (and end any run).
    std::int32_t addMaterial(const MaterialRecord& material);
    std::int32_t addLineStyle(const LineStyleRecord& style);
    std::int32_t addPointStyle(const PointStyleRecord& style);
    std::int32_t addTexture(TextureUse* texture);

    // Opens a patch with this identifier; its index becomes the current patch.
    std::int32_t openPatch(std::uint32_t patchId);
    void closePatch() { currentPatch = kNone; }
    PatchRecord* patchAt(std::int32_t index);

    // Counts without the open record or entry.
    std::uint32_t faceCount() const { return m_faces.size() - (m_active ? 1 : 0); }
    std::uint32_t lineCount() const { return m_lines.size() - (m_active ? 1 : 0); }
    std::uint32_t pointCount() const { return m_points.size() - (m_active ? 1 : 0); }
    bool spilled() const { return m_faces.onDisk() || m_lines.onDisk() || m_points.onDisk(); }

    std::int32_t meshId = kNone;
    std::int32_t currentPatch = kNone;
    std::uint32_t largestPatchId = 0;
    bool needsNormals = false;
    bool surface = false;

  private:
    friend class MeshHandOver;

    template <typename Record>
    bool startTable(SpillArray<Record>& table, std::uint32_t limit, const char* prefix);
    template <typename Record>
    bool commit(SpillArray<Record>& table, std::uint32_t vertices);
    template <typename Record>
    std::int32_t appendRecord(SpillArray<Record>& table, const Record& record);
    template <typename Record>
    static std::int32_t run(PoolVector<Record>& list, std::uint32_t id);
    template <typename Record>
    static std::int32_t add(PoolVector<Record>& list, const Record& record);

    StorageErrorSink* m_sink = nullptr;
    bool m_active = false;
    SpillArray<PositionRecord> m_positions;
    SpillArray<NormalRecord> m_normals;
    SpillArray<TexCoordRecord> m_texCoords;
    SpillArray<FaceRecord> m_faces;
    SpillArray<LineRecord> m_lines;
    SpillArray<PointRecord> m_points;
    PoolVector<MaterialRecord> m_materials;
    PoolVector<LineStyleRecord> m_lineStyles;
    PoolVector<PointStyleRecord> m_pointStyles;
    PoolVector<TextureUse*> m_textures;
    std::vector<std::uint32_t> m_textureIds;  // the ID each texture entry was named by
    std::vector<PatchRecord> m_patches;
};

}  // namespace tessaro
