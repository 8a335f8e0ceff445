// Records of external geometry, as the consumer receives them. Filled by the rules
// of included objects and external geometry.
#pragma once

namespace tessaro {

struct ExtGeomRecord {};

}  // namespace tessaro
