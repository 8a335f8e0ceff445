// World, lighting, background and data elements, and the reference check at the end of
// the world: what these elements do to the scene model.
#pragma once

#include <cstdint>
#include <memory>

#include "scene/world_records.h"
#include "xgl/parse_contexts.h"
#include "xgl/tags.h"
#include "xgl/values.h"

namespace tessaro {

class SceneLoadContext;

// State that these rules keep while a document is read; one per SceneLoadContext.
struct WorldState {
    std::unique_ptr<LightingRecord> lighting;      // the open "lighting"
    std::unique_ptr<BackgroundRecord> background;  // the open "background"
    std::unique_ptr<DataRecord> data;              // the open "data"
    std::int32_t currentLight = -1;  // index of the light that its leaves fill; -1 none
    bool lightOpen = false;          // the current light has not ended yet
};

// Called by the parser core for the contexts these rules own. `enter` runs after the
// container's context was entered (the parent is SceneLoadContext::parentContext()),
// `leave` before it is left; leaf and marker events run in the leaf's context.
// "data" is handled here whichever element holds it.
class WorldRules {
  public:
    static void enter(SceneLoadContext& load, TagId tag, AttributeList attributes);
    static void leafStart(SceneLoadContext& load, TagId tag, AttributeList attributes);
    static void text(SceneLoadContext& load, TagId leaf, const char* text);
    static void leafEnd(SceneLoadContext& load, TagId tag);
    static void leave(SceneLoadContext& load, TagId tag);

    // The sphere map of the lighting being read; null outside "lighting".
    static SphereMapRecord* openSphereMap(SceneLoadContext& load);

    // The check at the end of the world: binds what the builder can bind, then every
    // top-level object reference and the world's mesh must have a target. False after
    // reporting "32: ... : <index>" (the last unresolved reference) or worldMeshUnresolved.
    static bool resolveWorld(SceneLoadContext& load);

  private:
    struct Access;  // the rules themselves, with the load context's internals
};

}  // namespace tessaro
