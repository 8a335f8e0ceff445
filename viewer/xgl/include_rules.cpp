#include "xgl/include_rules.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "xgl/appearance_rules.h"
#include "xgl/scene_load_context.h"

namespace tessaro {

namespace {

using PC = ParseContext;

// Attribute names are compared without regard to ASCII letter case.
bool sameName(const char* name, const char* wanted) {
    for (; *name != '\0' && *wanted != '\0'; ++name, ++wanted) {
        const char lower = (*name >= 'A' && *name <= 'Z') ? static_cast<char>(*name + 32) : *name;
        if (lower != *wanted) return false;
    }
    return *name == *wanted;
}

bool hasAttributes(AttributeList attributes) {
    return attributes != nullptr && attributes[0] != nullptr;
}

// Six numbers, min x, y, z then max x, y, z; a max below its min is refused.
void readExtents(ErrorReporter& reporter, const char* text, double (&extents)[6]) {
    double values[6];
    if (!readVector6(reporter, text, values)) return;
    for (int axis = 0; axis < 3; ++axis) {
        if (values[axis + 3] < values[axis]) {
            reporter.raise(Message::extentsInverted);
            return;
        }
    }
    std::copy(std::begin(values), std::end(values), extents);
}

// Only the first occurrence counts; a second one is refused when the element ends.
void keepFirst(std::string& kept, const char* text) {
    if (kept.empty()) kept = text;
}

// Binary data may be broken into lines with blanks and line feeds (not tabs).
bool readElementData(ErrorReporter& reporter, const char* text, std::vector<std::uint8_t>& out) {
    std::string digits(text);
    digits.erase(
        std::remove_if(digits.begin(), digits.end(), [](char c) { return c == ' ' || c == '\n'; }),
        digits.end());
    if (digits.size() % 2 != 0) {
        reporter.raise(Message::extGeomElemDataLengthInvalid);
        return false;
    }
    std::vector<std::uint8_t> bytes(digits.size() / 2);
    if (!decodeHex(reporter, digits.data(), digits.size(), bytes.data())) return false;
    out = std::move(bytes);
    return true;
}

}  // namespace

// ---- events ----

void IncludeRules::enter(SceneLoadContext& load, TagId tag, AttributeList attributes) {
    switch (load.context()) {
        case PC::include:
            startInclude(load, tag, attributes);
            break;
        case PC::textureBufferRef:
            startExternalImage(load, attributes);
            break;
        case PC::extGeom:
            startExtGeom(load, attributes);
            break;
        default:
            break;
    }
}

void IncludeRules::leafStart(SceneLoadContext& load, TagId tag, AttributeList attributes) {
    if (load.context() == PC::extGeom && tag == TagId::extgeomelem) {
        startExtGeomElement(load, attributes);
    }
}

void IncludeRules::text(SceneLoadContext& load, TagId leaf, const char* text) {
    switch (load.context()) {
        case PC::include:
            readIncludeValue(load, leaf, text);
            break;
        case PC::textureBufferRef:
            if (TextureImageRecord* image = load.m_includeState.externalImage.get()) {
                if (leaf == TagId::ref) keepFirst(image->reference, text);
                if (leaf == TagId::reftype) keepFirst(image->referenceType, text);
            }
            break;
        case PC::extGeom:
            readExtGeomValue(load, leaf, text);
            break;
        default:
            break;
    }
}

void IncludeRules::leafEnd(SceneLoadContext& load, TagId tag) {
    if (load.context() == PC::extGeom && tag == TagId::extgeomelem) endExtGeomElement(load);
}

void IncludeRules::leave(SceneLoadContext& load, TagId /*tag*/) {
    switch (load.context()) {
        case PC::include:
            endInclude(load);
            break;
        case PC::textureBufferRef:
            endExternalImage(load);
            break;
        case PC::extGeom:
            endExtGeom(load);
            break;
        default:
            break;
    }
}

const IncludeState& IncludeRules::state(const SceneLoadContext& load) {
    return load.m_includeState;
}

// ---- included objects ----

void IncludeRules::startInclude(SceneLoadContext& load, TagId tag, AttributeList attributes) {
    if (!load.enterScope()) return;
    const std::int32_t pathId = readPathIdAttribute(load, attributes);
    if (load.isStopped()) return;
    IncludeReference& include = load.m_includeState.include;
    include = IncludeReference{};
    include.pathId = pathId;
    include.isStatic = tag == TagId::includestatic;
    auto node = std::make_unique<ObjectRecord>();
    node->pathId = pathId;
    node->included = true;
    node->includeStatic = include.isStatic;
    load.m_objectFrames.back().node = std::move(node);
}

void IncludeRules::readIncludeValue(SceneLoadContext& load, TagId leaf, const char* text) {
    IncludeReference& include = load.m_includeState.include;
    switch (leaf) {
        case TagId::ref:
            keepFirst(include.reference, text);
            break;
        case TagId::reftype:
            keepFirst(include.referenceType, text);
            break;
        case TagId::extents:
            readExtents(load, text, include.extents);
            break;
        default:
            break;
    }
}

void IncludeRules::endInclude(SceneLoadContext& load) {
    const PoolVector<std::int32_t>& tags = load.childTagsOf(PC::include);
    const auto n = [&tags](TagId tag) { return countOf(tags, tag); };
    if (!passesCounts(load, {{n(TagId::extents), 1, 1, Message::includeNeedsOneExtents},
                             {n(TagId::ref), 1, 1, Message::includeNeedsOneRef},
                             {n(TagId::reftype), 1, 1, Message::includeNeedsOneRefType},
                             {n(TagId::transform), 0, 1, Message::includeAtMostOneTransform}})) {
        return;
    }
    IncludeState& s = load.m_includeState;
    if (!load.claimSiblingPathId(s.include.pathId)) {
        load.raise(Message::siblingPathIdTwice);
        return;
    }
    attachInclude(load);
    if (load.isStopped()) return;
    s.includes.push_back(s.include);
    load.leaveScope();
}

// The included object becomes an instance under its parent, as an object without "id".
void IncludeRules::attachInclude(SceneLoadContext& load) {
    std::unique_ptr<ObjectRecord>& node = load.m_objectFrames.back().node;
    if (!node) return;
    if (load.parentContext() == PC::world) {
        WorldRecord* world = load.m_world.get();
        if (world == nullptr) return;
        if (world->mesh != nullptr) {
            load.raise(Message::worldWithMeshAndChildren);
            return;
        }
        world->children.push_back(load.m_builder.objectInstance(std::move(node), load.m_scope));
        ++world->topLevelCount;
        return;
    }
    const std::size_t frames = load.m_objectFrames.size();
    ObjectRecord* parent = frames >= 2 ? load.m_objectFrames[frames - 2].node.get() : nullptr;
    if (parent == nullptr) return;
    if (parent->mesh != nullptr) {
        load.raise(Message::objectWithMeshAndChildren);
        return;
    }
    parent->children.push_back(load.m_builder.objectInstance(std::move(node), load.m_scope));
    ++parent->subObjectCount;
}

// ---- external texture buffers ----

void IncludeRules::startExternalImage(SceneLoadContext& load, AttributeList attributes) {
    const ParseContext owner = load.parentContext();
    std::int32_t id = kNone;
    if (owner != PC::sphereMap) {
        id = readIdAttribute(load, attributes);
        if (load.isStopped()) return;
        // In the world the image is named by its ID; inside a texture it is that texture's own.
        const bool refused = owner == PC::world ? id == kNone : id != kNone;
        if (refused) {
            load.raise(Message::imageWithoutIdInWorld);
            return;
        }
    }
    auto image = std::make_unique<TextureImageRecord>();
    image->id = id;
    image->included = true;
    load.m_includeState.externalImage = std::move(image);
}

void IncludeRules::endExternalImage(SceneLoadContext& load) {
    std::unique_ptr<TextureImageRecord>& image = load.m_includeState.externalImage;
    if (!image) return;
    if (image->reference.empty()) {
        load.raise(Message::textureRefNeedsRef);
        return;
    }
    if (image->referenceType.empty()) {
        load.raise(Message::textureRefNeedsType);
        return;
    }
    AppearanceRules::finishImage(load, load.parentContext(), std::move(image));
}

// ---- external geometry ----

void IncludeRules::startExtGeom(SceneLoadContext& load, AttributeList attributes) {
    if (!hasAttributes(attributes)) {
        load.raise(Message::extGeomOrgMissing);
        return;
    }
    auto block = std::make_unique<ExtGeomRecord>();
    for (AttributeList a = attributes; a[0] != nullptr; a += 2) {
        if (!sameName(a[0], "org")) {
            load.raise(Message::extGeomAttributeUnknown);
            return;
        }
        block->org = a[1];
    }
    IncludeState& s = load.m_includeState;
    s.extGeom = std::move(block);
    s.element.reset();
}

void IncludeRules::startExtGeomElement(SceneLoadContext& load, AttributeList attributes) {
    if (!hasAttributes(attributes)) {
        load.raise(Message::extGeomElemTypeMissing);
        return;
    }
    IncludeState& s = load.m_includeState;
    for (AttributeList a = attributes; a[0] != nullptr; a += 2) {
        if (!sameName(a[0], "type")) {
            load.raise(Message::extGeomElemAttributeUnknown);
            return;
        }
        s.element.emplace();
        s.element->type = a[1];
        s.elementHasData = false;
        s.elementHasExtents = false;
    }
}

void IncludeRules::readExtGeomValue(SceneLoadContext& load, TagId leaf, const char* text) {
    IncludeState& s = load.m_includeState;
    if (!s.element) {
        // Data, extents and priority describe an element; outside one they have no owner.
        load.raise(Message::tagInappropriate);
        return;
    }
    ExtGeomElement& element = *s.element;
    if (leaf == TagId::extgeomelemdata) {
        if (s.elementHasData) {
            load.raise(Message::extGeomElemDataTwice);
        } else {
            s.elementHasData = readElementData(load, text, element.data);
        }
    } else if (leaf == TagId::extgeomelemextents) {
        if (s.elementHasExtents) {
            load.raise(Message::extGeomElemExtentsTwice);
        } else {
            s.elementHasExtents = readVector6(load, text, element.extents);
        }
    } else if (leaf == TagId::extgeomelempriority) {
        float priority = 0;
        if (element.priority != -1.0f) {
            load.raise(Message::extGeomElemPriorityTwice);
        } else if (readFloat(load, text, priority)) {
            if (priority < 0 || priority > 1) {
                load.raise(Message::extGeomElemPriorityOutOfRange);
            } else {
                element.priority = priority;
            }
        }
    }
}

void IncludeRules::endExtGeomElement(SceneLoadContext& load) {
    IncludeState& s = load.m_includeState;
    if (!s.element || !s.elementHasData || !s.elementHasExtents) {
        load.raise(Message::extGeomElemEmpty);
        return;
    }
    if (s.element->priority == -1.0f) s.element->priority = 1.0f;
    if (s.extGeom) s.extGeom->elements.push_back(std::move(*s.element));
    s.element.reset();
}

// The block goes to the consumer; its handle belongs to the innermost open object
// (for a block in a mesh, the object that holds the mesh).
void IncludeRules::endExtGeom(SceneLoadContext& load) {
    std::unique_ptr<ExtGeomRecord>& block = load.m_includeState.extGeom;
    if (!block) return;
    if (block->elements.empty()) {
        load.raise(Message::extGeomWithoutElements);
        return;
    }
    const std::int32_t handle = load.m_consumer.addExtGeom(std::move(block));
    block.reset();
    if (load.m_objectFrames.empty() || !load.m_objectFrames.back().node) return;
    PoolVector<std::int32_t>& handles = load.m_objectFrames.back().node->extGeomHandles;
    if (handles.append(handle) == PoolVector<std::int32_t>::kFailed)
        load.reportError(kNotEnoughMemory);
}

}  // namespace tessaro
