#include "xgl/include_rules.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "xgl/appearance_rules.h"
#include "xgl/load_model.h"

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

// ---- included objects ----

void startInclude(LoadModel& model, TagId tag, AttributeList attributes) {
    if (!model.enterScope()) return;
    const std::int32_t pathId = readPathIdAttribute(model, attributes);
    if (model.isStopped()) return;
    IncludeReference& include = model.includeState.include;
    include = IncludeReference{};
    include.pathId = pathId;
    include.isStatic = tag == TagId::includestatic;
    auto node = std::make_unique<ObjectRecord>();
    node->pathId = pathId;
    model.objectFrames.back().node = std::move(node);
}

void readIncludeValue(LoadModel& model, TagId leaf, const char* text) {
    IncludeReference& include = model.includeState.include;
    switch (leaf) {
        case TagId::ref:
            keepFirst(include.reference, text);
            break;
        case TagId::reftype:
            keepFirst(include.referenceType, text);
            break;
        case TagId::extents:
            readExtents(model, text, include.extents);
            break;
        default:
            break;
    }
}

// The included object becomes an instance under its parent, as an object without "id".
void attachInclude(LoadModel& model, ParseContext holder) {
    std::unique_ptr<ObjectRecord>& node = model.objectFrames.back().node;
    if (!node) return;
    if (holder == PC::world) {
        WorldRecord* world = model.world.get();
        if (world == nullptr) return;
        if (world->mesh != nullptr) {
            model.raise(Message::worldWithMeshAndChildren);
            return;
        }
        world->children.push_back(model.builder.objectInstance(std::move(node), model.scope));
        ++world->topLevelCount;
        return;
    }
    const std::size_t frames = model.objectFrames.size();
    ObjectRecord* parent = frames >= 2 ? model.objectFrames[frames - 2].node.get() : nullptr;
    if (parent == nullptr) return;
    if (parent->mesh != nullptr) {
        model.raise(Message::objectWithMeshAndChildren);
        return;
    }
    parent->children.push_back(model.builder.objectInstance(std::move(node), model.scope));
    ++parent->subObjectCount;
}

void endInclude(LoadModel& model, ParseContext holder) {
    const PoolVector<std::int32_t>& tags = model.childTagsOf(PC::include);
    const auto n = [&tags](TagId tag) { return countOf(tags, tag); };
    if (!passesCounts(model, {{n(TagId::extents), 1, 1, Message::includeNeedsOneExtents},
                              {n(TagId::ref), 1, 1, Message::includeNeedsOneRef},
                              {n(TagId::reftype), 1, 1, Message::includeNeedsOneRefType},
                              {n(TagId::transform), 0, 1, Message::includeAtMostOneTransform}})) {
        return;
    }
    IncludeState& s = model.includeState;
    if (!model.claimSiblingPathId(s.include.pathId)) {
        model.raise(Message::siblingPathIdTwice);
        return;
    }
    if (ObjectRecord* node = model.objectFrames.back().node.get()) node->include = s.include;
    attachInclude(model, holder);
    if (model.isStopped()) return;
    model.leaveScope();
}

// ---- external texture buffers ----

void startExternalImage(LoadModel& model, ParseContext owner, AttributeList attributes) {
    std::int32_t id = kNone;
    if (owner != PC::sphereMap) {
        id = readIdAttribute(model, attributes);
        if (model.isStopped()) return;
        // In the world the image is named by its ID; inside a texture it is that texture's own.
        const bool refused = owner == PC::world ? id == kNone : id != kNone;
        if (refused) {
            model.raise(Message::imageWithoutIdInWorld);
            return;
        }
    }
    auto image = std::make_unique<TextureImageRecord>();
    image->id = id;
    image->included = true;
    model.includeState.externalImage = std::move(image);
}

void endExternalImage(LoadModel& model, ParseContext owner) {
    std::unique_ptr<TextureImageRecord>& image = model.includeState.externalImage;
    if (!image) return;
    if (image->reference.empty()) {
        model.raise(Message::textureRefNeedsRef);
        return;
    }
    if (image->referenceType.empty()) {
        model.raise(Message::textureRefNeedsType);
        return;
    }
    AppearanceRules::finishImage(model, owner, std::move(image));
}

// ---- external geometry ----

void startExtGeom(LoadModel& model, AttributeList attributes) {
    if (!hasAttributes(attributes)) {
        model.raise(Message::extGeomOrgMissing);
        return;
    }
    auto block = std::make_unique<ExtGeomRecord>();
    for (AttributeList a = attributes; a[0] != nullptr; a += 2) {
        if (!sameName(a[0], "org")) {
            model.raise(Message::extGeomAttributeUnknown);
            return;
        }
        block->org = a[1];
    }
    IncludeState& s = model.includeState;
    s.extGeom = std::move(block);
    s.element.reset();
}

void startExtGeomElement(LoadModel& model, AttributeList attributes) {
    if (!hasAttributes(attributes)) {
        model.raise(Message::extGeomElemTypeMissing);
        return;
    }
    IncludeState& s = model.includeState;
    for (AttributeList a = attributes; a[0] != nullptr; a += 2) {
        if (!sameName(a[0], "type")) {
            model.raise(Message::extGeomElemAttributeUnknown);
            return;
        }
        s.element.emplace();
        s.element->type = a[1];
        s.elementHasData = false;
        s.elementHasExtents = false;
    }
}

void readExtGeomValue(LoadModel& model, TagId leaf, const char* text) {
    IncludeState& s = model.includeState;
    if (!s.element) {
        // Data, extents and priority describe an element; outside one they have no owner.
        model.raise(Message::tagInappropriate);
        return;
    }
    ExtGeomElement& element = *s.element;
    if (leaf == TagId::extgeomelemdata) {
        if (s.elementHasData) {
            model.raise(Message::extGeomElemDataTwice);
        } else {
            s.elementHasData = readElementData(model, text, element.data);
        }
    } else if (leaf == TagId::extgeomelemextents) {
        if (s.elementHasExtents) {
            model.raise(Message::extGeomElemExtentsTwice);
        } else {
            s.elementHasExtents = readVector6(model, text, element.extents);
        }
    } else if (leaf == TagId::extgeomelempriority) {
        float priority = 0;
        if (element.priority != -1.0f) {
            model.raise(Message::extGeomElemPriorityTwice);
        } else if (readFloat(model, text, priority)) {
            if (priority < 0 || priority > 1) {
                model.raise(Message::extGeomElemPriorityOutOfRange);
            } else {
                element.priority = priority;
            }
        }
    }
}

void endExtGeomElement(LoadModel& model) {
    IncludeState& s = model.includeState;
    if (!s.element || !s.elementHasData || !s.elementHasExtents) {
        model.raise(Message::extGeomElemEmpty);
        return;
    }
    if (s.element->priority == -1.0f) s.element->priority = 1.0f;
    if (s.extGeom) s.extGeom->elements.push_back(std::move(*s.element));
    s.element.reset();
}

// The block goes to the consumer; its handle belongs to the innermost open object
// (for a block in a mesh, the object that holds the mesh).
void endExtGeom(LoadModel& model) {
    std::unique_ptr<ExtGeomRecord>& block = model.includeState.extGeom;
    if (!block) return;
    if (block->elements.empty()) {
        model.raise(Message::extGeomWithoutElements);
        return;
    }
    const std::int32_t handle = model.consumer.addExtGeom(std::move(block));
    block.reset();
    if (model.objectFrames.empty() || !model.objectFrames.back().node) return;
    PoolVector<std::int32_t>& handles = model.objectFrames.back().node->extGeomHandles;
    if (handles.append(handle) == PoolVector<std::int32_t>::kFailed)
        model.reportError(kNotEnoughMemory);
}

}  // namespace

// ---- events ----

void IncludeRules::enter(LoadModel& model, const LoadEvent& event) {
    switch (event.context) {
        case PC::include:
            startInclude(model, event.tag, event.attributes);
            break;
        case PC::textureBufferRef:
            startExternalImage(model, event.parent, event.attributes);
            break;
        case PC::extGeom:
            startExtGeom(model, event.attributes);
            break;
        default:
            break;
    }
}

void IncludeRules::leafStart(LoadModel& model, const LoadEvent& event) {
    if (event.context == PC::extGeom && event.tag == TagId::extgeomelem) {
        startExtGeomElement(model, event.attributes);
    }
}

void IncludeRules::text(LoadModel& model, const LoadEvent& event) {
    switch (event.context) {
        case PC::include:
            readIncludeValue(model, event.tag, event.text);
            break;
        case PC::textureBufferRef:
            if (TextureImageRecord* image = model.includeState.externalImage.get()) {
                if (event.tag == TagId::ref) keepFirst(image->reference, event.text);
                if (event.tag == TagId::reftype) keepFirst(image->referenceType, event.text);
            }
            break;
        case PC::extGeom:
            readExtGeomValue(model, event.tag, event.text);
            break;
        default:
            break;
    }
}

void IncludeRules::leafEnd(LoadModel& model, const LoadEvent& event) {
    if (event.context == PC::extGeom && event.tag == TagId::extgeomelem) endExtGeomElement(model);
}

void IncludeRules::leave(LoadModel& model, const LoadEvent& event) {
    switch (event.context) {
        case PC::include:
            endInclude(model, event.parent);
            break;
        case PC::textureBufferRef:
            endExternalImage(model, event.parent);
            break;
        case PC::extGeom:
            endExtGeom(model);
            break;
        default:
            break;
    }
}

}  // namespace tessaro
