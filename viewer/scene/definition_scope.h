// DefinitionScope: what one level of nesting (world, object, mesh) defines under an
// ID. A lookup walks from the innermost scope outward, so an inner definition hides
// an outer one with the same ID.
//
// Scopes are shared by counted references: a child holds one on its parent, and a
// pending definition holds one on the scope it was made in, so a scope outlives its
// element while something still needs it. Hold them through ScopeRef.
//
// Geometry definitions (positions, normals, texture coordinates) live in spill tables
// that move to private temporary files above 150000 records. When such a file cannot
// be created, written or read, the define and find calls fail and the cause goes to
// the StorageErrorSink given at creation.
#pragma once

#include <cstdint>

#include "scene/id_hash_table.h"
#include "scene/id_index.h"
#include "scene/records.h"
#include "scene/spill_array.h"
#include "scene/work_budget.h"

namespace tessaro {

struct DefinitionEntry;
struct MeshEntry;
struct TextureUse;
struct TextureImageRecord;
class DefinitionScope;

// A counted reference to a scope; empty or holding one reference.
class ScopeRef {
  public:
    ScopeRef() = default;
    ~ScopeRef() { reset(); }
    ScopeRef(const ScopeRef& other);
    ScopeRef& operator=(const ScopeRef& other);
    ScopeRef(ScopeRef&& other) noexcept : m_scope(other.m_scope) { other.m_scope = nullptr; }
    ScopeRef& operator=(ScopeRef&& other) noexcept;

    // Takes over a reference the caller already holds (from createWorld/createChild).
    static ScopeRef adopt(DefinitionScope* scope);
    // Takes a new reference.
    static ScopeRef share(DefinitionScope* scope);

    void reset();
    DefinitionScope* get() const { return m_scope; }
    DefinitionScope* operator->() const { return m_scope; }
    explicit operator bool() const { return m_scope != nullptr; }

  private:
    DefinitionScope* m_scope = nullptr;
};

class DefinitionScope {
  public:
    static constexpr std::uint32_t kGeometrySpillLimit = 150000;

    // A world scope (no parent) with reference count 1.
    static DefinitionScope* createWorld(StorageErrorSink* sink = nullptr,
                                        WorkBudget* lookups = nullptr);
    // A child of parent with reference count 1; the parent's count rises by one.
    static DefinitionScope* createChild(DefinitionScope* parent);

    void addRef() { ++m_refCount; }
    // Drops one reference; at zero the scope is deleted and its parent released,
    // outward along the chain as far as counts reach zero.
    void release();
    // Reads the parent, releases this scope and returns the parent (leaving a level).
    DefinitionScope* releaseAndGetParent();

    DefinitionScope* parent() const { return m_parent; }
    std::int32_t refCount() const { return m_refCount; }

    // A second definition with the same ID in one scope replaces the first in place.
    bool definePosition(std::uint32_t id, double x, double y, double z);
    bool defineNormal(std::uint32_t id, float x, float y, float z);
    bool defineTexCoord(std::uint32_t id, float u, float v);
    // The innermost definition of id in this scope or outward; valid until the next
    // call on the scope that defines it. Null when none (or its storage failed).
    const PositionRecord* findPosition(std::uint32_t id);
    const NormalRecord* findNormal(std::uint32_t id);
    const TexCoordRecord* findTexCoord(std::uint32_t id);

    // Definition tables: insert files under an ID in this scope; find walks outward.
    // Material and style records are owned by the scope; the other entries are not.
    bool defineObject(std::uint32_t id, DefinitionEntry* entry);
    bool defineMesh(std::uint32_t id, MeshEntry* entry);
    bool defineTexture(std::uint32_t id, TextureUse* texture);
    bool defineTextureImage(std::uint32_t id, TextureImageRecord* image);
    bool defineMaterial(std::uint32_t id, const MaterialRecord& material);
    bool defineLineStyle(std::uint32_t id, const LineStyleRecord& style);
    bool definePointStyle(std::uint32_t id, const PointStyleRecord& style);
    DefinitionEntry* findObject(std::uint32_t id) const;
    MeshEntry* findMesh(std::uint32_t id) const;
    TextureUse* findTexture(std::uint32_t id) const;
    TextureImageRecord* findTextureImage(std::uint32_t id) const;
    const MaterialRecord* findMaterial(std::uint32_t id) const;
    const LineStyleRecord* findLineStyle(std::uint32_t id) const;
    const PointStyleRecord* findPointStyle(std::uint32_t id) const;

    // The two words every scope starts with; their meaning is the loader's.
    std::uint32_t word[2] = {0, 0};

  private:
    DefinitionScope(DefinitionScope* parent, StorageErrorSink* sink, WorkBudget* lookups);
    ~DefinitionScope() = default;

    template <typename Record>
    struct GeometryTable {
        IdIndex index;
        SpillArray<Record> records;
        bool define(std::uint32_t id, const Record& record);
        const Record* find(std::uint32_t id);
    };

    template <typename Scope, typename Table>
    static auto findOutward(Scope* scope, Table DefinitionScope::*table, std::uint32_t id)
        -> decltype((scope->*table).find(id));

    DefinitionScope* m_parent;
    StorageErrorSink* m_sink;
    WorkBudget* m_lookups;
    std::int32_t m_refCount = 1;
    IdHashTable<DefinitionEntry, false> m_objects;
    IdHashTable<MeshEntry, false> m_meshes;
    IdHashTable<TextureUse, false> m_textures;
    IdHashTable<TextureImageRecord, false> m_textureImages;
    IdHashTable<MaterialRecord, true> m_materials;
    IdHashTable<LineStyleRecord, true> m_lineStyles;
    IdHashTable<PointStyleRecord, true> m_pointStyles;
    GeometryTable<PositionRecord> m_positions;
    GeometryTable<NormalRecord> m_normals;
    GeometryTable<TexCoordRecord> m_texCoords;
};

}  // namespace tessaro
