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

class LoadModel;
struct LoadEvent;

// State that these rules keep while a document is read; one per load.
struct WorldState {
    std::unique_ptr<LightingRecord> lighting;      // the open "lighting"
    std::unique_ptr<BackgroundRecord> background;  // the open "background"
    std::unique_ptr<DataRecord> data;              // the open "data"
    std::int32_t currentLight = -1;  // index of the light that its leaves fill; -1 none
    bool lightOpen = false;          // the current light has not ended yet
};

// Called by the parser core for the contexts these rules own: `enter` when a container
// started, `leafStart` and `leafEnd` around a leaf or marker, `text` with an open leaf's
// text just before its end, `leave` when the container's own element ends.
// "data" is handled here whichever element holds it.
class WorldRules {
  public:
    static void enter(LoadModel& model, const LoadEvent& event);
    static void leafStart(LoadModel& model, const LoadEvent& event);
    static void text(LoadModel& model, const LoadEvent& event);
    static void leafEnd(LoadModel& model, const LoadEvent& event);
    static void leave(LoadModel& model, const LoadEvent& event);

    // The sphere map of the lighting being read; null outside "lighting".
    static SphereMapRecord* openSphereMap(LoadModel& model);

    // The check at the end of the world: binds what the builder can bind, then every
    // top-level object reference and the world's mesh must have a target. False after
    // reporting "32: ... : <index>" (the last unresolved reference) or worldMeshUnresolved.
    static bool resolveWorld(LoadModel& model);
};

}  // namespace tessaro
