// World, lighting, background and data elements, and the reference check at the end of the world:
// what these elements do to the scene model.
#pragma once

#include "xgl/parse_contexts.h"
#include "xgl/tags.h"
#include "xgl/values.h"

namespace tessaro {

class SceneLoadContext;

// State that these rules keep while a document is read; one per SceneLoadContext.
struct WorldState {};

// Called by the parser core for the contexts these rules own. `enter` runs after the
// container's context was entered (the parent is SceneLoadContext::parentContext()),
// `leave` before it is left; leaf and marker events run in the leaf's context.
class WorldRules {
  public:
    static void enter(SceneLoadContext& load, TagId tag, AttributeList attributes);
    static void leafStart(SceneLoadContext& load, TagId tag, AttributeList attributes);
    static void text(SceneLoadContext& load, TagId leaf, const char* text);
    static void leafEnd(SceneLoadContext& load, TagId tag);
    static void leave(SceneLoadContext& load, TagId tag);
};

}  // namespace tessaro
