// MeshHandOver: turns the mesh being read into self-contained DrawableMesh records
// and hands them to the consumer.
//
// A mesh whose face, line and point tables stayed in memory becomes one drawable
// mesh; one whose tables spilled to disk is cut into chunks by the chunk plan, each
// with compacted position, normal and texture-coordinate tables. Before a drawable
// mesh is handed over, records that stand for references by ID are replaced by the
// definitions the scope chain holds, and missing normals are generated. A whole mesh
// whose references do not resolve yet waits in its MeshEntry; a chunk never waits.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "scene/chunk_plan.h"
#include "scene/definition_scope.h"
#include "scene/mesh_build.h"
#include "scene/scene_builder.h"
#include "scene/scene_consumer.h"

namespace tessaro {

class MeshHandOver {
  public:
    // Fills in the normals of face vertices that have none; false when memory is short.
    using NormalGenerator = std::function<bool(DrawableMesh&)>;
    // Resolves the texture-use records of a mesh's texture list against the scope
    // chain and registers the ones without a handle; false when one cannot be found.
    using TextureResolver =
        std::function<bool(PoolVector<TextureUse*>&, DefinitionScope*, SceneConsumer&)>;

    MeshHandOver(SceneConsumer& consumer, NormalGenerator normals, TextureResolver textures);

    // Builds the mesh being read and hands it over: the entry that stands for it,
    // owned by `builder` (its handle is kNone while it waits for references), or null
    // when its tables could not be read.
    MeshEntry* handOver(MeshBuild& mesh, DefinitionScope* scope, SceneBuilder& builder);

    // Resolves a waiting whole mesh and hands it over; true when the entry got its handle.
    bool handOverPending(MeshEntry& entry);

    // The building steps, for tests and benchmarks.
    static std::unique_ptr<DrawableMesh> buildWhole(MeshBuild& mesh);
    static std::unique_ptr<DrawableMesh> buildChunk(MeshBuild& mesh, const MeshChunk& chunk);
    // Replaces reference records by their definitions; false at the first one missing,
    // which `missing` then names.
    bool resolve(DrawableMesh& drawable, DefinitionScope* scope,
                 MissingReference* missing = nullptr) const;

  private:
    std::int32_t resolveAndAdd(std::unique_ptr<DrawableMesh>& drawable, DefinitionScope* scope,
                               bool needsNormals, MissingReference* missing = nullptr);
    MeshEntry* handOverChunks(MeshBuild& mesh, DefinitionScope* scope, SceneBuilder& builder);

    SceneConsumer& m_consumer;
    NormalGenerator m_normals;
    TextureResolver m_textures;
};

}  // namespace tessaro
