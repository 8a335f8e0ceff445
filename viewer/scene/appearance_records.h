// Records of textures and their images, as the consumer receives them, and the
// texture-use records that faces, lines and points refer to. Filled by the
// appearance element rules.
#pragma once

namespace tessaro {

struct TextureRecord {};
struct TextureImageRecord {};
struct TextureUse {};

}  // namespace tessaro
