// Records of content kept outside the document: included objects and external
// geometry, as the consumer receives them. Filled by the rules of included objects
// and external geometry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/records.h"

namespace tessaro {

// What an "include" or "includestatic" names; the object itself is an ObjectRecord
// that carries this record.
struct IncludeReference {
    std::int32_t pathId = kNone;
    bool isStatic = false;
    std::string reference;
    std::string referenceType;
    double extents[6] = {0, 0, 0, 0, 0, 0};  // min x, y, z, then max x, y, z
};

// One typed block of external geometry.
struct ExtGeomElement {
    std::string type;
    std::vector<std::uint8_t> data;
    double extents[6] = {0, 0, 0, 0, 0, 0};  // min x, y, z, then max x, y, z
    // -1 until given; a finished element holds 0 to 1 (1 when the document gave none).
    float priority = -1.0f;
};

// An "extgeom" block: its "org" and at least one element.
struct ExtGeomRecord {
    std::string org;
    std::vector<ExtGeomElement> elements;
};

}  // namespace tessaro
