#include "xgl/appearance_rules.h"

#include "xgl/scene_load_context.h"

namespace tessaro {

// The element rules of this group are added here; until then these elements are
// only checked for their nesting by the parser core.

void AppearanceRules::enter(SceneLoadContext&, TagId, AttributeList) {}
void AppearanceRules::leafStart(SceneLoadContext&, TagId, AttributeList) {}
void AppearanceRules::text(SceneLoadContext&, TagId, const char*) {}
void AppearanceRules::leafEnd(SceneLoadContext&, TagId) {}
void AppearanceRules::leave(SceneLoadContext&, TagId) {}

}  // namespace tessaro
