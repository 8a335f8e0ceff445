#include "xgl/include_rules.h"

#include "xgl/scene_load_context.h"

namespace tessaro {

// The element rules of this group are added here; until then these elements are
// only checked for their nesting by the parser core.

void IncludeRules::enter(SceneLoadContext&, TagId, AttributeList) {}
void IncludeRules::leafStart(SceneLoadContext&, TagId, AttributeList) {}
void IncludeRules::text(SceneLoadContext&, TagId, const char*) {}
void IncludeRules::leafEnd(SceneLoadContext&, TagId) {}
void IncludeRules::leave(SceneLoadContext&, TagId) {}

}  // namespace tessaro
