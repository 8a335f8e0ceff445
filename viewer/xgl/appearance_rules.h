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

class SceneLoadContext;
class SceneConsumer;

// State that these rules keep while a document is read; one per SceneLoadContext.
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

// Called by the parser core for the contexts these rules own. `enter` runs after the
// container's context was entered (the parent is SceneLoadContext::parentContext()),
// `leave` before it is left; leaf and marker events run in the leaf's context.
class AppearanceRules {
  public:
    static void enter(SceneLoadContext& load, TagId tag, AttributeList attributes);
    static void leafStart(SceneLoadContext& load, TagId tag, AttributeList attributes);
    static void text(SceneLoadContext& load, TagId leaf, const char* text);
    static void leafEnd(SceneLoadContext& load, TagId tag);
    static void leave(SceneLoadContext& load, TagId tag);

    // The record that stands for "textureref" id in a mesh's texture list until the
    // hand-over binds it; owned by the load, one per ID.
    static TextureUse* textureReference(SceneLoadContext& load, std::uint32_t id);

    // Hands a finished image to the consumer and gives its handle to its owner: the open
    // texture, the lighting's sphere map, or (in world, object or mesh) a definition
    // filed under the image's ID.
    static void finishImage(SceneLoadContext& load, ParseContext owner,
                            std::unique_ptr<TextureImageRecord> image);

    // Read access for tests.
    static const AppearanceState& state(const SceneLoadContext& load);

    // The fields of a face, line or point that an inline element fills.
    enum class PrimitiveField { material, texture, lineStyle, pointStyle };

  private:
    static void startImage(SceneLoadContext& load, TagId tag, AttributeList attributes);
    static void readImagePixels(SceneLoadContext& load, TagId leaf, const char* text);
    static void setTextureMode(SceneLoadContext& load, TagId tag);
    static void readTextureValue(SceneLoadContext& load, TagId leaf, const char* text);

    static void endMaterial(SceneLoadContext& load);
    static void endLineStyle(SceneLoadContext& load);
    static void endPointStyle(SceneLoadContext& load);
    static void endTexture(SceneLoadContext& load);
    static void endTcTransform(SceneLoadContext& load);
    static void endTransform(SceneLoadContext& load);

    static TextureUse* keepTexture(SceneLoadContext& load);
    static void defineImage(SceneLoadContext& load, std::unique_ptr<TextureImageRecord> image);
    // Files a definition through define(scope) and retries what waited for it.
    template <typename Define>
    static void define(SceneLoadContext& load, ReferenceKind kind, std::int32_t id, Define define);
    // Stores the index that add() returns in the open face, line or point the element
    // stands in; nothing when it stands elsewhere.
    template <typename Add>
    static void attach(SceneLoadContext& load, PrimitiveField field, Add add);
    static std::int32_t* openField(SceneLoadContext& load, PrimitiveField field);
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
