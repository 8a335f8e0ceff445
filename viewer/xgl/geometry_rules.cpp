#include "xgl/geometry_rules.h"

#include "xgl/scene_load_context.h"

namespace tessaro {

// The element rules of this group are added here; until then these elements are
// only checked for their nesting by the parser core.

void GeometryRules::enter(SceneLoadContext&, TagId, AttributeList) {}
void GeometryRules::leafStart(SceneLoadContext&, TagId, AttributeList) {}
void GeometryRules::text(SceneLoadContext&, TagId, const char*) {}
void GeometryRules::leafEnd(SceneLoadContext&, TagId) {}
void GeometryRules::leave(SceneLoadContext&, TagId) {}

}  // namespace tessaro
