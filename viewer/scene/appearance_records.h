// Records of textures and their images, as the consumer receives them, and the
// texture-use records that faces, lines and points refer to. Filled by the
// appearance element rules.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "scene/definition_scope.h"
#include "scene/records.h"

namespace tessaro {

// Texture functions and wrap modes as the renderer reads them.
inline constexpr std::int32_t kTextureReplace = 0;
inline constexpr std::int32_t kTextureModulate = 1;
inline constexpr std::int32_t kTextureDecal = 2;
inline constexpr std::int32_t kWrapRepeat = 0;
inline constexpr std::int32_t kWrapClamp = 1;

// An image: pixels given in the document ("texturergb", "texturergba") or content
// kept outside it ("includetexturebuffer": included, a reference and its type, no
// pixels, sizes 0). addTextureImage receives it whole. A definition filed in a scope
// under its ID is a copy without pixels that carries the handle addTextureImage
// returned, so that textures naming the ID find the texture object.
struct TextureImageRecord {
    std::int32_t id = kNone;
    std::int32_t handle = kNone;  // what addTextureImage returned for this image
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool rgb = false;  // given without alpha; every pixel then has alpha 255
    // width x height pixels of 4 bytes (red, green, blue, alpha), row after row.
    std::unique_ptr<std::uint8_t[]> pixels;
    bool included = false;
    std::string reference;
    std::string referenceType;
};

// How a texture is applied, as addTexture receives it.
struct TextureRecord {
    std::int32_t function = kTextureReplace;
    std::int32_t wrap = kWrapRepeat;
    std::int32_t hasBorderColor = 0;  // 1 once a border colour was given
    float borderColor[4] = {0, 0, 0, 0};
    // ss, st, ts, tt, cs, ct. The renderer maps s' = ss s + st t + cs and
    // t' = tt s + ts t + ct, so ss = ts = 1 leaves the coordinates as they are: the
    // value of a texture without "tctransform".
    double coordTransform[6] = {1, 0, 1, 0, 0, 0};
    std::int32_t imageId = kNone;      // the image a "texturergbref" (or its kin) named
    std::int32_t imageHandle = kNone;  // its texture object (addTextureImage); kNone: none
};

// What an entry of a mesh's texture-reference list points to. Two kinds:
//  - a reference ("textureref"): textureId is the ID it names, nothing else is set;
//    one record stands for every reference to that ID;
//  - a texture (given inline, or defined with an ID and filed in the scope):
//    textureId is kNone and `pending` holds its record until it is registered.
// The mesh hand-over resolves the list of each drawable mesh against the mesh's
// scope chain: an entry with a textureId is replaced by the texture filed under that
// ID (none found: the resolution fails and a whole mesh waits); then every texture
// whose record is still pending gets its image handle (an image ID not found when the
// texture ended is looked up in `imageScope`; still not found means no image) and is
// registered with addTexture, which takes the record; the returned handle is kept and
// `pending` cleared. A texture is registered once, however many meshes and chunks use
// it. The records are owned by the load; lists only point to them.
struct TextureUse {
    std::int32_t textureId = kNone;
    std::int32_t handle = kNone;  // what addTexture returned; kNone until registered
    std::unique_ptr<TextureRecord> pending;
    ScopeRef imageScope;  // held only while the image ID waits for its definition

    bool isReference() const { return textureId != kNone; }
    bool registered() const { return !isReference() && !pending; }
};

}  // namespace tessaro
