// Materials, line and point styles, textures, images, texture-coordinate transforms, sphere maps
// and object transforms: what these elements do to the scene model.
//
// A material, style or texture with an "id" is filed in the current scope (and the pending
// objects are retried); one inside a face, line or point is attached to that primitive through
// the mesh's lists; one that carries an "id" there is both. Images go to the consumer's
// addTextureImage as soon as they end; textures wait for the mesh hand-over
// (resolveTextureUses), which registers them with addTexture.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <unordered_map>
#include <vector>

#include "scene/handover_records.h"
#include "xgl/parse_contexts.h"
#include "xgl/tags.h"
#include "xgl/values.h"

namespace tessaro {

class LoadModel;
struct LoadEvent;
class SceneConsumer;

// State that these rules keep while a document is read; one per load.
struct AppearanceState {
    // The element being read (materials, styles and textures do not nest).
    MaterialRecord material;
    LineStyleRecord lineStyle;
    PointStyleRecord pointStyle;
    std::int32_t textureId = kNone;
    std::unique_ptr<TextureRecord> texture;
    std::unique_ptr<TextureImageRecord> image;
    Transform transform;  // the last transform read, checked and normalised at its end

    // Owned for the whole load: mesh lists, waiting meshes and scopes only point here.
    std::vector<std::unique_ptr<TextureUse>> textures;
    std::unordered_map<std::uint32_t, std::unique_ptr<TextureUse>> textureReferences;
    std::vector<std::unique_ptr<TextureImageRecord>> imageDefinitions;
};

// Called by the parser core for the contexts these rules own: `enter` when a container
// started, `leafStart` and `leafEnd` around a leaf or marker, `text` with an open leaf's
// text just before its end, `leave` when the container's own element ends.
class AppearanceRules {
  public:
    static void enter(LoadModel& model, const LoadEvent& event);
    static void leafStart(LoadModel& model, const LoadEvent& event);
    static void text(LoadModel& model, const LoadEvent& event);
    static void leafEnd(LoadModel& model, const LoadEvent& event);
    static void leave(LoadModel& model, const LoadEvent& event);

    // The record that stands for "textureref" id in a mesh's texture list until the
    // hand-over binds it; owned by the load, one per ID.
    static TextureUse* textureReference(LoadModel& model, std::uint32_t id);

    // Hands a finished image to the consumer and gives its handle to its owner: the open
    // texture, the lighting's sphere map, or (in world, object or mesh) a definition
    // filed under the image's ID.
    static void finishImage(LoadModel& model, ParseContext owner,
                            std::unique_ptr<TextureImageRecord> image);
};

// How often a container's child may occur, and the message when it does not.
struct CountRule {
    std::uint32_t count;
    std::uint32_t atLeast;
    std::uint32_t atMost;
    Message message;
};

// Raises the message of the first broken rule, in the order given; false then.
bool passesCounts(ErrorReporter& reporter, std::initializer_list<CountRule> rules);

// How many of a container's children so far carry `tag`.
inline std::uint32_t countOf(const PoolVector<std::int32_t>& childTags, TagId tag) {
    return childTags.countOf(static_cast<std::int32_t>(tag));
}

// The texture step of a mesh hand-over (see TextureUse): binds the references of a
// drawable mesh's texture list in the scope chain and registers the textures that
// have no handle yet. False at the first reference no scope defines.
bool resolveTextureUses(PoolVector<TextureUse*>& textures, DefinitionScope* scope,
                        SceneConsumer& consumer);

}  // namespace tessaro
