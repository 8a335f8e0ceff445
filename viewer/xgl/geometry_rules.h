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

class LoadModel;
struct LoadEvent;

// State that these rules keep while a document is read; one per load.
struct GeometryState {
    std::int32_t leafId = -1;        // the "id" of the open definition leaf
    std::uint32_t vertexNumber = 0;  // which vertex slot the open vertex fills
    ParseContext vertexOwner = ParseContext::face;
    std::unique_ptr<MeshHandOver> handOver;
};

// Called by the parser core for the contexts these rules own: `enter` when a container
// started, `leafStart` and `leafEnd` around a leaf or marker, `text` with an open leaf's
// text just before its end, `leave` when the container's own element ends.
class GeometryRules {
  public:
    static void enter(LoadModel& model, const LoadEvent& event);
    static void leafStart(LoadModel& model, const LoadEvent& event);
    static void text(LoadModel& model, const LoadEvent& event);
    static void leafEnd(LoadModel& model, const LoadEvent& event);
    static void leave(LoadModel& model, const LoadEvent& event);

    // Resolves a mesh that waited for its references and hands it over.
    static bool handOverPending(LoadModel& model, MeshEntry& entry);
};

}  // namespace tessaro
