#include "scene/definition_scope.h"

#include <new>

namespace tessaro {

// ---- ScopeRef ----

ScopeRef::ScopeRef(const ScopeRef& other) : m_scope(other.m_scope) {
    if (m_scope != nullptr) m_scope->addRef();
}

ScopeRef& ScopeRef::operator=(const ScopeRef& other) {
    if (this != &other) *this = share(other.m_scope);
    return *this;
}

ScopeRef& ScopeRef::operator=(ScopeRef&& other) noexcept {
    if (this != &other) {
        reset();
        m_scope = other.m_scope;
        other.m_scope = nullptr;
    }
    return *this;
}

ScopeRef ScopeRef::adopt(DefinitionScope* scope) {
    ScopeRef ref;
    ref.m_scope = scope;
    return ref;
}

ScopeRef ScopeRef::share(DefinitionScope* scope) {
    if (scope != nullptr) scope->addRef();
    return adopt(scope);
}

void ScopeRef::reset() {
    if (m_scope != nullptr) m_scope->release();
    m_scope = nullptr;
}

// ---- creation and release ----

DefinitionScope::DefinitionScope(DefinitionScope* parent, StorageErrorSink* sink,
                                 WorkBudget* lookups)
    : m_parent(parent), m_sink(sink), m_lookups(lookups) {
    m_positions.records.reset(kGeometrySpillLimit, "Cvt");
    m_normals.records.reset(kGeometrySpillLimit, "Cnl");
    m_texCoords.records.reset(kGeometrySpillLimit, "Ctc");
    m_positions.records.setErrorSink(sink);
    m_normals.records.setErrorSink(sink);
    m_texCoords.records.setErrorSink(sink);
}

DefinitionScope* DefinitionScope::createWorld(StorageErrorSink* sink, WorkBudget* lookups) {
    return new (std::nothrow) DefinitionScope(nullptr, sink, lookups);
}

DefinitionScope* DefinitionScope::createChild(DefinitionScope* parent) {
    // A child reports storage failures and spends lookups where its parent does.
    auto* scope = parent != nullptr ? new (std::nothrow)
                                          DefinitionScope(parent, parent->m_sink, parent->m_lookups)
                                    : new (std::nothrow) DefinitionScope(nullptr, nullptr, nullptr);
    if (scope != nullptr && parent != nullptr) parent->addRef();
    return scope;
}

// Iterative, so that releasing the innermost of a very deep chain cannot exhaust the stack.
void DefinitionScope::release() {
    DefinitionScope* scope = this;
    while (scope != nullptr && --scope->m_refCount == 0) {
        DefinitionScope* parent = scope->m_parent;
        delete scope;
        scope = parent;
    }
}

DefinitionScope* DefinitionScope::releaseAndGetParent() {
    DefinitionScope* parent = m_parent;
    release();
    return parent;
}

// ---- geometry definitions ----

template <typename Record>
bool DefinitionScope::GeometryTable<Record>::define(std::uint32_t id, const Record& record) {
    const std::uint32_t at = index.insert(id);
    if (at == IdIndex::kNotFound) return false;
    if (at >= records.size() && !records.setCount(at + 1)) return false;
    return records.store(at, record);
}

template <typename Record>
const Record* DefinitionScope::GeometryTable<Record>::find(std::uint32_t id) {
    const std::uint32_t at = index.find(id);
    return at == IdIndex::kNotFound ? nullptr : records.peek(at);
}

bool DefinitionScope::definePosition(std::uint32_t id, double x, double y, double z) {
    return m_positions.define(id, PositionRecord{x, y, z, id, 0});
}

bool DefinitionScope::defineNormal(std::uint32_t id, float x, float y, float z) {
    return m_normals.define(id, NormalRecord{id, x, y, z});
}

bool DefinitionScope::defineTexCoord(std::uint32_t id, float u, float v) {
    return m_texCoords.define(id, TexCoordRecord{id, u, v});
}

// Walks outward to the first scope whose table answers, and pays for the levels walked.
template <typename Scope, typename Table>
auto DefinitionScope::findOutward(Scope* scope, Table DefinitionScope::*table, std::uint32_t id)
    -> decltype((scope->*table).find(id)) {
    WorkBudget* budget = scope->m_lookups;
    if (budget != nullptr && budget->exhausted()) return nullptr;
    std::uint64_t levels = 0;
    decltype((scope->*table).find(id)) found = nullptr;
    for (; scope != nullptr && found == nullptr; scope = scope->m_parent) {
        found = (scope->*table).find(id);
        ++levels;
    }
    if (budget != nullptr && !budget->spend(levels)) return nullptr;
    return found;
}

const PositionRecord* DefinitionScope::findPosition(std::uint32_t id) {
    return findOutward(this, &DefinitionScope::m_positions, id);
}

const NormalRecord* DefinitionScope::findNormal(std::uint32_t id) {
    return findOutward(this, &DefinitionScope::m_normals, id);
}

const TexCoordRecord* DefinitionScope::findTexCoord(std::uint32_t id) {
    return findOutward(this, &DefinitionScope::m_texCoords, id);
}

// ---- definition tables ----

bool DefinitionScope::defineObject(std::uint32_t id, DefinitionEntry* entry) {
    return m_objects.insert(id, entry);
}

bool DefinitionScope::defineMesh(std::uint32_t id, MeshEntry* entry) {
    return m_meshes.insert(id, entry);
}

bool DefinitionScope::defineTexture(std::uint32_t id, TextureUse* texture) {
    return m_textures.insert(id, texture);
}

bool DefinitionScope::defineTextureImage(std::uint32_t id, TextureImageRecord* image) {
    return m_textureImages.insert(id, image);
}

namespace {

// Files a copy of `record`; false when there is no memory for the copy or its slot
// (a copy that could not be made must not be filed as a null definition).
template <typename Record>
bool insertCopy(IdHashTable<Record, true>& table, std::uint32_t id, const Record& record) {
    auto* copy = new (std::nothrow) Record(record);
    return copy != nullptr && table.insert(id, copy);
}

}  // namespace

bool DefinitionScope::defineMaterial(std::uint32_t id, const MaterialRecord& material) {
    return insertCopy(m_materials, id, material);
}

bool DefinitionScope::defineLineStyle(std::uint32_t id, const LineStyleRecord& style) {
    return insertCopy(m_lineStyles, id, style);
}

bool DefinitionScope::definePointStyle(std::uint32_t id, const PointStyleRecord& style) {
    return insertCopy(m_pointStyles, id, style);
}

DefinitionEntry* DefinitionScope::findObject(std::uint32_t id) const {
    return findOutward(this, &DefinitionScope::m_objects, id);
}

MeshEntry* DefinitionScope::findMesh(std::uint32_t id) const {
    return findOutward(this, &DefinitionScope::m_meshes, id);
}

TextureUse* DefinitionScope::findTexture(std::uint32_t id) const {
    return findOutward(this, &DefinitionScope::m_textures, id);
}

TextureImageRecord* DefinitionScope::findTextureImage(std::uint32_t id) const {
    return findOutward(this, &DefinitionScope::m_textureImages, id);
}

const MaterialRecord* DefinitionScope::findMaterial(std::uint32_t id) const {
    return findOutward(this, &DefinitionScope::m_materials, id);
}

const LineStyleRecord* DefinitionScope::findLineStyle(std::uint32_t id) const {
    return findOutward(this, &DefinitionScope::m_lineStyles, id);
}

const PointStyleRecord* DefinitionScope::findPointStyle(std::uint32_t id) const {
    return findOutward(this, &DefinitionScope::m_pointStyles, id);
}

}  // namespace tessaro
