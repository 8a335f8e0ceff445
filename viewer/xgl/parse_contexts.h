// The parser's contexts and, for each, which child elements it accepts.
#pragma once

#include <cstdint>
#include <optional>

#include "xgl/messages.h"
#include "xgl/tags.h"

namespace tessaro {

// Codes 11 and 19 are never entered.
enum class ParseContext : std::int32_t {
    document = -1,
    world = 0,
    skip = 1,
    object = 2,
    transform = 3,
    mesh = 4,
    material = 5,
    lighting = 6,
    background = 7,
    data = 8,
    face = 9,
    texture = 10,
    vertex = 12,
    include = 13,
    line = 14,
    point = 15,
    lineStyle = 16,
    pointStyle = 17,
    extGeom = 18,
    textureBufferRef = 20,
    sphereMap = 21,
    tcTransform = 22,
};

inline constexpr int kContextSlots = 23;  // world .. tcTransform, indexed by value

enum class ChildKind : std::uint8_t {
    notAllowed,  // raises tagInappropriate
    skip,        // an unrecognised name: ignored with all its content
    container,   // opens the context `enters`
    textLeaf,    // leaf whose text is read when it ends; it must carry text
    leaf,        // leaf that needs no text (its text is still read when present)
    marker,      // structural child without a context of its own (patch, light, ext. element)
};

struct ChildRule {
    ChildKind kind;
    ParseContext enters;  // for containers
};

// What a start tag of `tag` does in `context`.
ChildRule childRule(ParseContext context, TagId tag);

// The element-rule group that handles a context's events.
enum class RuleGroup : std::uint8_t { none, world, geometry, appearance, include };

struct ContextProperties {
    RuleGroup rules = RuleGroup::none;
    // Raised when the container ends while its last leaf had no text, if any.
    std::optional<Message> needsData;
    // Whether it records its children's tags for its count rules.
    bool countsChildren = false;
};

// What the parser does in `context` besides its child rules; all from one table row.
ContextProperties contextProperties(ParseContext context);

// Index of a container context into per-context tables (world = 0 .. tcTransform = 22).
inline int contextSlot(ParseContext context) {
    return static_cast<int>(context);
}

}  // namespace tessaro
