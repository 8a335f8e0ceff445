// Records of the world's background, lighting and data elements, as the consumer
// receives them. Filled by the world element rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaro {

// The fixed-function pipeline that draws the scene has eight lights.
inline constexpr std::uint32_t kMaxDirectionalLights = 8;

struct BackgroundRecord {
    float colour[3] = {0, 0, 0};  // red, green, blue in 0..1
};

struct DirectionalLight {
    float diffuse[3] = {1, 1, 1};
    float specular[3] = {0.2f, 0.2f, 0.2f};
    float direction[3] = {8, -14, -20};  // unit length once a "direction" was read
};

// The lighting's "spheremap". Filled by the appearance rules (through
// WorldRules::openSphereMap), which may add what else they need to keep.
struct SphereMapRecord {
    bool given = false;
    std::int32_t image = -1;  // handle of the sphere map's image; -1 for none
    double radius = 0;
    double center[3] = {0, 0, 0};
};

struct LightingRecord {
    float ambient[3] = {0, 0, 0};
    std::uint32_t lightCount = 0;  // lights[0 .. lightCount - 1] are in use
    DirectionalLight lights[kMaxDirectionalLights];
    SphereMapRecord sphereMap;
};

struct DataString {
    std::string name;
    std::string value;  // the element's text, unchanged
};

struct DataBinary {
    std::string name;
    std::vector<std::uint8_t> bytes;  // decoded from the element's hexadecimal text
};

// A "data" element: its "org" attribute and its named strings and binary blocks,
// each list in document order.
struct DataRecord {
    std::string org;
    std::vector<DataString> strings;
    std::vector<DataBinary> binaries;
};

}  // namespace tessaro
