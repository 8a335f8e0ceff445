// Included objects, external texture buffers and external geometry: what these elements do to the
// scene model.
//
// Nothing outside the document is fetched: the elements are checked and their texts, numbers and
// bytes kept. An included object becomes an instance under its parent like an object without
// "id"; an external texture buffer is an image (see AppearanceRules::finishImage); an "extgeom"
// block goes to the consumer's addExtGeom and its handle to the enclosing object.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "scene/handover_records.h"
#include "xgl/parse_contexts.h"
#include "xgl/tags.h"
#include "xgl/values.h"

namespace tessaro {

class SceneLoadContext;

// State that these rules keep while a document is read; one per SceneLoadContext.
struct IncludeState {
    IncludeReference include;                // the include being read (includes do not nest)
    std::vector<IncludeReference> includes;  // every finished include, in document order
    std::unique_ptr<TextureImageRecord> externalImage;
    std::unique_ptr<ExtGeomRecord> extGeom;
    std::optional<ExtGeomElement> element;  // the "extgeomelem" open in the block
    bool elementHasData = false;
    bool elementHasExtents = false;
};

// Called by the parser core for the contexts these rules own. `enter` runs after the
// container's context was entered (the parent is SceneLoadContext::parentContext()),
// `leave` before it is left; leaf and marker events run in the leaf's context.
class IncludeRules {
  public:
    static void enter(SceneLoadContext& load, TagId tag, AttributeList attributes);
    static void leafStart(SceneLoadContext& load, TagId tag, AttributeList attributes);
    static void text(SceneLoadContext& load, TagId leaf, const char* text);
    static void leafEnd(SceneLoadContext& load, TagId tag);
    static void leave(SceneLoadContext& load, TagId tag);

    // Read access for tests.
    static const IncludeState& state(const SceneLoadContext& load);

  private:
    static void startInclude(SceneLoadContext& load, TagId tag, AttributeList attributes);
    static void readIncludeValue(SceneLoadContext& load, TagId leaf, const char* text);
    static void endInclude(SceneLoadContext& load);
    static void attachInclude(SceneLoadContext& load);

    static void startExternalImage(SceneLoadContext& load, AttributeList attributes);
    static void endExternalImage(SceneLoadContext& load);

    static void startExtGeom(SceneLoadContext& load, AttributeList attributes);
    static void startExtGeomElement(SceneLoadContext& load, AttributeList attributes);
    static void readExtGeomValue(SceneLoadContext& load, TagId leaf, const char* text);
    static void endExtGeomElement(SceneLoadContext& load);
    static void endExtGeom(SceneLoadContext& load);
};

}  // namespace tessaro
