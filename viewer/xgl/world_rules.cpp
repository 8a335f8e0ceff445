#include "xgl/world_rules.h"

#include "xgl/scene_load_context.h"

namespace tessaro {

// The element rules of this group are added here; until then these elements are
// only checked for their nesting by the parser core.

void WorldRules::enter(SceneLoadContext&, TagId, AttributeList) {}
void WorldRules::leafStart(SceneLoadContext&, TagId, AttributeList) {}
void WorldRules::text(SceneLoadContext&, TagId, const char*) {}
void WorldRules::leafEnd(SceneLoadContext&, TagId) {}
void WorldRules::leave(SceneLoadContext&, TagId) {}

}  // namespace tessaro
