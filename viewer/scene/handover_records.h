// The records that a load hands to its SceneConsumer. Each becomes the consumer's
// property. Their fields are added together with the element rules that fill them.
#pragma once

#include "scene/records.h"
#include "scene/scene_model.h"

namespace tessaro {

struct DataRecord {};
struct TextureRecord {};
struct TextureImageRecord {};
struct BackgroundRecord {};
struct LightingRecord {};
struct ExtGeomRecord {};

}  // namespace tessaro
