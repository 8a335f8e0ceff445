// The object structure of a world while it is read: object records, the entries that
// stand for objects and meshes (given in place or referenced by ID), and the world.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scene/definition_scope.h"
#include "scene/include_records.h"
#include "scene/records.h"

namespace tessaro {

struct Transform {
    double forward[3] = {0, 0, 1};
    double up[3] = {0, 1, 0};
    double position[3] = {0, 0, 0};
    double scale = 1;
};

// What a pending object or mesh waits for: a definition of this kind and ID; None for
// nothing a definition can supply.
enum class ReferenceKind : std::uint8_t {
    none,
    object,
    mesh,
    material,
    lineStyle,
    pointStyle,
    position,
    normal,
    texCoord,
    texture,
};

struct MissingReference {
    ReferenceKind kind = ReferenceKind::none;
    std::uint32_t id = 0;
};

// A mesh given in place or named by "meshref". Resolved once it has a handle and no
// pending mesh; a mesh whose references did not resolve waits here with its scope.
struct MeshEntry {
    std::int32_t referencedId = kNone;
    std::int32_t handle = kNone;
    std::unique_ptr<DrawableMesh> pendingMesh;
    ScopeRef pendingScope;
    bool needsNormals = false;
    std::uint32_t id = kNoId;
    std::uint64_t primitives = 0;  // faces, lines and points: what one draw of it costs
    MissingReference missing;      // the first reference of the pending mesh not resolved

    bool resolved() const { return handle != kNone && !pendingMesh; }
};

struct ObjectRecord;

// An object defined in place or named by "objectref". Resolved once it has a handle
// and no pending definition.
struct DefinitionEntry {
    std::int32_t referencedId = kNone;
    std::uint32_t kindData = 0;
    std::int32_t handle = kNone;
    std::unique_ptr<ObjectRecord> pendingDefinition;
    ScopeRef pendingScope;
    std::uint32_t id = kNoId;
    bool registered = false;      // defined with an ID: the builder retries it on its own
    std::uint64_t instances = 0;  // objects and meshes a frame draws for it, once resolved

    bool resolved() const { return handle != kNone && !pendingDefinition; }
};

// An object: what the consumer's addObject receives once everything it refers to has
// a handle. The entries in `children` and `mesh` belong to the loader and are only
// valid during that call; `childHandles` and `meshHandle` carry the result.
struct ObjectRecord {
    bool completing = false;  // guard: a reference cycle never completes
    std::int32_t id = kNone;
    std::int32_t pathId = kNone;
    bool hasName = false;
    std::string name;
    Transform transform;
    MeshEntry* mesh = nullptr;
    std::uint32_t subObjectCount = 0;
    std::vector<DefinitionEntry*> children;
    PoolVector<std::int32_t> dataHandles;
    PoolVector<std::int32_t> extGeomHandles;
    // Set for an object that an "include" or "includestatic" names: what it names,
    // where, and how large the included content is.
    std::optional<IncludeReference> include;

    std::vector<std::int32_t> childHandles;
    std::int32_t meshHandle = kNone;
    std::uint64_t instances = 0;  // itself, its mesh and its children's, counted once complete
};

// The world under construction: its name, top-level objects and mesh.
struct WorldRecord {
    bool hasName = false;
    std::string name;
    std::vector<DefinitionEntry*> children;
    std::uint32_t topLevelCount = 0;
    MeshEntry* mesh = nullptr;
    PoolVector<std::int32_t> dataHandles;

    std::vector<std::int32_t> childHandles;  // filled when the world is handed over
    std::int32_t meshHandle = kNone;
};

}  // namespace tessaro
