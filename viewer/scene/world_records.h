// Records of the world's background, lighting and data elements, as the consumer
// receives them. Filled by the world element rules.
#pragma once

namespace tessaro {

struct DataRecord {};
struct BackgroundRecord {};
struct LightingRecord {};

}  // namespace tessaro
