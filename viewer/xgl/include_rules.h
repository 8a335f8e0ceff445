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

class LoadModel;
struct LoadEvent;

// State that these rules keep while a document is read; one per load.
struct IncludeState {
    IncludeReference include;  // the include being read (includes do not nest)
    std::unique_ptr<TextureImageRecord> externalImage;
    std::unique_ptr<ExtGeomRecord> extGeom;
    std::optional<ExtGeomElement> element;  // the "extgeomelem" open in the block
    bool elementHasData = false;
    bool elementHasExtents = false;
};

// Called by the parser core for the contexts these rules own: `enter` when a container
// started, `leafStart` and `leafEnd` around a leaf or marker, `text` with an open leaf's
// text just before its end, `leave` when the container's own element ends.
class IncludeRules {
  public:
    static void enter(LoadModel& model, const LoadEvent& event);
    static void leafStart(LoadModel& model, const LoadEvent& event);
    static void text(LoadModel& model, const LoadEvent& event);
    static void leafEnd(LoadModel& model, const LoadEvent& event);
    static void leave(LoadModel& model, const LoadEvent& event);
};

}  // namespace tessaro
