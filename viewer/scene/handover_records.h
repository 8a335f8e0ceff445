// The records that a load hands to its SceneConsumer. Each becomes the consumer's
// property.
#pragma once

#include "scene/appearance_records.h"
#include "scene/include_records.h"
#include "scene/records.h"
#include "scene/scene_model.h"
#include "scene/world_records.h"
