// Objects, meshes, faces, vertices, lines and points: what these elements do to the
// scene model.
#pragma once

#include <cstdint>
#include <memory>

#include "scene/mesh_handover.h"
#include "xgl/parse_contexts.h"
#include "xgl/tags.h"
#include "xgl/values.h"

namespace tessaro {

class SceneLoadContext;

// State that these rules keep while a document is read; one per SceneLoadContext.
struct GeometryState {
    std::int32_t leafId = -1;        // the "id" of the open definition leaf
    std::uint32_t vertexNumber = 0;  // which vertex slot the open vertex fills
    ParseContext vertexOwner = ParseContext::face;
    std::unique_ptr<MeshHandOver> handOver;
};

// Called by the parser core for the contexts these rules own. `enter` runs after the
// container's context was entered (the parent is SceneLoadContext::parentContext()),
// `leave` before it is left; leaf and marker events run in the leaf's context.
class GeometryRules {
  public:
    static void enter(SceneLoadContext& load, TagId tag, AttributeList attributes);
    static void leafStart(SceneLoadContext& load, TagId tag, AttributeList attributes);
    static void text(SceneLoadContext& load, TagId leaf, const char* text);
    static void leafEnd(SceneLoadContext& load, TagId tag);
    static void leave(SceneLoadContext& load, TagId tag);

    // Resolves a mesh that waited for its references and hands it over.
    static bool handOverPending(SceneLoadContext& load, MeshEntry& entry);
};

}  // namespace tessaro
