#include "xgl/geometry_rules.h"

#include "scene/normals.h"
#include "xgl/appearance_rules.h"
#include "xgl/load_model.h"

namespace tessaro {

namespace {

using PC = ParseContext;

std::int32_t count(const PoolVector<std::int32_t>& tags, TagId tag) {
    return static_cast<std::int32_t>(tags.countOf(static_cast<std::int32_t>(tag)));
}

std::int32_t count(const PoolVector<std::int32_t>& tags, TagId a, TagId b) {
    return count(tags, a) + count(tags, b);
}

// Raises `message` unless `ok`; true when the rule held.
bool require(LoadModel& model, bool ok, Message message) {
    if (!ok) model.raise(message);
    return ok;
}

}  // namespace

namespace {

// ---- objects ----

void enterObject(LoadModel& model, AttributeList attributes) {
    if (!model.enterScope()) return;
    ObjectAttributes read;
    if (!readObjectAttributes(model, attributes, read)) return;
    auto node = std::make_unique<ObjectRecord>();
    node->id = read.id;
    node->pathId = read.pathId;
    model.objectFrames.back().node = std::move(node);
}

void objectName(LoadModel& model, const char* text) {
    ObjectRecord* node = model.openObject();
    if (node == nullptr || !require(model, !node->hasName, Message::objectNameTwice)) return;
    node->hasName = true;
    node->name = text;
}

void objectMeshRef(LoadModel& model, const char* text) {
    ObjectRecord* node = model.openObject();
    std::int32_t id = 0;
    if (node == nullptr || !readInt(model, text, id)) return;
    MeshEntry* ref = model.builder.referenceMesh(static_cast<std::uint32_t>(id), model.scope);
    if (!require(model, node->mesh == nullptr, Message::objectAtMostOneMesh) ||
        !require(model, node->subObjectCount == 0, Message::objectWithMeshAndChildren)) {
        return;
    }
    node->mesh = ref;
}

void objectRef(LoadModel& model, const char* text) {
    ObjectRecord* node = model.openObject();
    std::int32_t id = 0;
    if (node == nullptr || !readInt(model, text, id)) return;
    if (!require(model, node->mesh == nullptr, Message::objectWithMeshAndChildren)) return;
    node->children.push_back(
        model.builder.referenceObject(static_cast<std::uint32_t>(id), model.scope));
    ++node->subObjectCount;
}

// An object without ID becomes a sub-object of its parent, or a top-level object.
void attachInstance(LoadModel& model, DefinitionEntry* entry) {
    if (model.objectFrames.size() >= 2) {
        ObjectRecord* parent = model.objectFrames[model.objectFrames.size() - 2].node.get();
        if (parent == nullptr) return;
        parent->children.push_back(entry);
        ++parent->subObjectCount;
        return;
    }
    WorldRecord* world = model.world.get();
    if (world == nullptr ||
        !require(model, world->mesh == nullptr, Message::worldWithMeshAndChildren)) {
        return;
    }
    world->children.push_back(entry);
    ++world->topLevelCount;
}

void leaveObject(LoadModel& model) {
    ObjectFrame& frame = model.objectFrames.back();
    ObjectRecord* node = frame.node.get();
    if (node == nullptr) return;
    if (!require(model, node->mesh == nullptr || node->subObjectCount == 0,
                 Message::objectWithMeshAndChildren) ||
        !require(model, count(frame.childTags, TagId::transform) <= 1,
                 Message::objectAtMostOneTransform) ||
        !require(model, model.claimSiblingPathId(node->pathId), Message::siblingPathIdTwice)) {
        return;
    }
    DefinitionScope* own = model.scope;
    DefinitionScope* enclosing = own != nullptr ? own->parent() : nullptr;
    if (node->id != kNone) {
        const auto id = static_cast<std::uint32_t>(node->id);
        model.builder.registerObject(std::move(frame.node), enclosing, id);
    } else {
        attachInstance(model, model.builder.objectInstance(std::move(frame.node), own));
    }
    model.leaveScope();
}

// ---- meshes ----

MeshHandOver& handOver(LoadModel& model) {
    auto& handOver = model.geometryState.handOver;
    if (!handOver) {
        // A mesh whose normals cannot be generated for want of memory is still handed
        // over as it stands, but the load ends there.
        auto normals = [&model](DrawableMesh& mesh) {
            if (generateNormals(mesh)) return true;
            model.reportError(kNotEnoughMemory);
            return false;
        };
        handOver = std::make_unique<MeshHandOver>(model.consumer, normals, resolveTextureUses);
    }
    return *handOver;
}

void enterMesh(LoadModel& model, AttributeList attributes) {
    if (!model.enterScope()) return;
    const std::int32_t id = readIdAttribute(model, attributes);
    if (model.isStopped()) return;
    model.mesh.start(id);
}

// A mesh without ID belongs to the object or the world that holds it.
void attachMesh(LoadModel& model, ParseContext holder, MeshEntry* entry) {
    if (holder == PC::object) {
        ObjectRecord* node = model.openObject();
        if (node == nullptr ||
            !require(model, node->mesh == nullptr, Message::objectAtMostOneMesh) ||
            !require(model, node->subObjectCount == 0, Message::objectWithMeshAndChildren)) {
            return;
        }
        node->mesh = entry;
        return;
    }
    WorldRecord* world = model.world.get();
    if (world == nullptr ||
        !require(model, world->topLevelCount == 0, Message::worldWithMeshAndChildren) ||
        !require(model, world->mesh == nullptr, Message::worldAtMostOneMesh)) {
        return;
    }
    world->mesh = entry;
}

void leaveMesh(LoadModel& model, const LoadEvent& event) {
    MeshBuild& mesh = model.mesh;
    DefinitionScope* own = model.scope;
    MeshEntry* entry = handOver(model).handOver(mesh, own, model.builder);
    const std::int32_t id = mesh.meshId;
    mesh.finish();
    // A table that could not be read was reported already; else memory ran out.
    if (entry == nullptr) model.reportError(kNotEnoughMemory);
    if (entry == nullptr || model.isStopped()) return;
    DefinitionScope* enclosing = own != nullptr ? own->parent() : nullptr;
    if (id != kNone) {
        const bool filed =
            model.builder.defineMesh(entry, enclosing, static_cast<std::uint32_t>(id));
        if (!filed && enclosing != nullptr) model.reportError(kNotEnoughMemory);
    } else {
        attachMesh(model, event.parent, entry);
    }
    model.leaveScope();
}

void startPatch(LoadModel& model, AttributeList attributes) {
    MeshBuild& mesh = model.mesh;
    if (!require(model, mesh.currentPatch == kNone, Message::patchInPatch)) return;
    std::int32_t id = readPatchIdAttribute(model, attributes);
    if (model.isStopped()) return;
    if (id == kNone) id = static_cast<std::int32_t>(mesh.largestPatchId + 1);
    if (id == 0) id = 9999;  // zero is kept free for "no patch"
    if (!require(model, id > 0, Message::patchIdNotPositive)) return;
    if (static_cast<std::uint32_t>(id) > mesh.largestPatchId) {
        mesh.largestPatchId = static_cast<std::uint32_t>(id);
    }
    mesh.openPatch(static_cast<std::uint32_t>(id));
}

// ---- definitions: "p", "n" and "tc" with an "id" ----

Message missingIdMessage(ParseContext context, TagId tag) {
    if (tag == TagId::p) return Message::positionWithoutIdInMesh;
    if (tag == TagId::n) return Message::normalWithoutIdInMesh;
    if (context == PC::mesh) return Message::texCoordWithoutIdInMesh;
    return context == PC::object ? Message::texCoordWithoutIdInObject
                                 : Message::texCoordWithoutIdInWorld;
}

void startDefinition(LoadModel& model, const LoadEvent& event) {
    model.geometryState.leafId = readIdAttribute(model, event.attributes);
    if (model.isStopped() || model.geometryState.leafId != kNone) return;
    if (event.context == PC::vertex) return;  // an inline value needs no ID
    model.raise(missingIdMessage(event.context, event.tag));
}

void defineValue(LoadModel& model, TagId tag, const char* text) {
    const auto id = static_cast<std::uint32_t>(model.geometryState.leafId);
    DefinitionScope* scope = model.scope;
    if (scope == nullptr || model.geometryState.leafId == kNone) return;
    bool kept = true;
    if (tag == TagId::p) {
        double v[3];
        if (readVector3(model, text, v)) kept = scope->definePosition(id, v[0], v[1], v[2]);
    } else if (tag == TagId::n) {
        float v[3];
        if (readFloat3(model, text, v) && normalizeDirection(model, v)) {
            kept = scope->defineNormal(id, v[0], v[1], v[2]);
        }
    } else {
        float v[2];
        if (readFloat2(model, text, v)) kept = scope->defineTexCoord(id, v[0], v[1]);
    }
    // A definition that could not be kept would later read as a missing one.
    if (!kept) model.reportError(kNotEnoughMemory);
    model.builder.noteDefinition(tag == TagId::p   ? ReferenceKind::position
                                 : tag == TagId::n ? ReferenceKind::normal
                                                   : ReferenceKind::texCoord,
                                 id);
}

// ---- faces, lines and points ----

// Applies `set` to the open face, line or point that `context` builds.
template <typename Set>
void onOpenPrimitive(LoadModel& model, ParseContext context, Set set) {
    MeshBuild& mesh = model.mesh;
    if (context == PC::face) {
        if (FaceRecord* f = mesh.openFace()) set(*f);
    } else if (context == PC::line) {
        if (LineRecord* l = mesh.openLine()) set(*l);
    } else if (PointRecord* p = mesh.openPoint()) {
        set(*p);
    }
}

void smoothingGroup(LoadModel& model, std::uint32_t group) {
    if (!require(model, group <= 31, Message::smoothingGroupOutOfRange)) return;
    if (FaceRecord* f = model.mesh.openFace()) f->smoothingGroups |= smoothingGroupBit(group);
}

void primitiveText(LoadModel& model, const LoadEvent& event) {
    std::uint32_t value = 0;
    if (!readUnsigned(model, event.text, value)) return;
    MeshBuild& mesh = model.mesh;
    switch (event.tag) {
        case TagId::matref:
            onOpenPrimitive(model, event.context,
                            [&](auto& r) { r.material = mesh.materialRun(value); });
            break;
        case TagId::linestyleref:
            if (LineRecord* line = mesh.openLine()) line->lineStyle = mesh.lineStyleRun(value);
            break;
        case TagId::pointstyleref:
            if (PointRecord* pt = mesh.openPoint()) pt->pointStyle = mesh.pointStyleRun(value);
            break;
        case TagId::s:
            smoothingGroup(model, value);
            break;
        case TagId::textureref:
            onOpenPrimitive(model, event.context, [&](auto& r) {
                r.texture = mesh.textureRun(value, AppearanceRules::textureReference(model, value));
            });
            break;
        default:
            break;
    }
}

void leaveFace(LoadModel& model) {
    const auto& tags = model.childTagsOf(PC::face);
    if (!require(model, count(tags, TagId::fv1) == 1, Message::faceNeedsOneFv1) ||
        !require(model, count(tags, TagId::fv2) == 1, Message::faceNeedsOneFv2) ||
        !require(model, count(tags, TagId::fv3) == 1, Message::faceNeedsOneFv3) ||
        !require(model, count(tags, TagId::mat, TagId::matref) == 1,
                 Message::faceNeedsOneMaterial) ||
        !require(model, count(tags, TagId::texture, TagId::textureref) <= 1,
                 Message::faceAtMostOneTexture)) {
        return;
    }
    model.mesh.commitFace();
}

void leaveLine(LoadModel& model) {
    const auto& tags = model.childTagsOf(PC::line);
    const std::int32_t styles = count(tags, TagId::linestyle, TagId::linestyleref);
    if (!require(model, count(tags, TagId::lv1) == 1, Message::lineNeedsOneLv1) ||
        !require(model, count(tags, TagId::lv2) == 1, Message::lineNeedsOneLv2) ||
        !require(model, count(tags, TagId::mat, TagId::matref) == 1,
                 Message::lineNeedsOneMaterial) ||
        !require(model, styles <= 1, Message::lineNeedsOneLineStyle) ||
        !require(model, count(tags, TagId::texture, TagId::textureref) <= 1,
                 Message::lineAtMostOneTexture)) {
        return;
    }
    MeshBuild& mesh = model.mesh;
    if (styles == 0) {
        const std::int32_t style = mesh.addLineStyle(LineStyleRecord{});
        if (LineRecord* line = mesh.openLine()) line->lineStyle = style;
    }
    mesh.commitLine();
}

void leavePoint(LoadModel& model) {
    const auto& tags = model.childTagsOf(PC::point);
    const std::int32_t styles = count(tags, TagId::pointstyle, TagId::pointstyleref);
    if (!require(model, count(tags, TagId::pv1) == 1, Message::pointNeedsOnePv1) ||
        !require(model, count(tags, TagId::mat, TagId::matref) == 1,
                 Message::pointNeedsOneMaterial) ||
        !require(model, styles <= 1, Message::pointNeedsOnePointStyle) ||
        !require(model, count(tags, TagId::texture, TagId::textureref) <= 1,
                 Message::pointAtMostOneTexture)) {
        return;
    }
    MeshBuild& mesh = model.mesh;
    if (styles == 0) {
        const std::int32_t style = mesh.addPointStyle(PointStyleRecord{});
        if (PointRecord* point = mesh.openPoint()) point->pointStyle = style;
    }
    mesh.commitPoint();
}

// ---- vertices ----

void enterVertex(LoadModel& model, const LoadEvent& event) {
    GeometryState& state = model.geometryState;
    state.vertexOwner = event.parent;
    const TagId tag = event.tag;
    state.vertexNumber = (tag == TagId::fv2 || tag == TagId::lv2) ? 1 : tag == TagId::fv3 ? 2 : 0;
}

// The slot of the open face, line or point that this vertex fills.
Vertex* vertexSlot(LoadModel& model) {
    const GeometryState& state = model.geometryState;
    MeshBuild& mesh = model.mesh;
    if (state.vertexOwner == PC::face) {
        FaceRecord* f = mesh.openFace();
        return f != nullptr ? &f->vertex[state.vertexNumber % 3] : nullptr;
    }
    if (state.vertexOwner == PC::line) {
        LineRecord* l = mesh.openLine();
        return l != nullptr ? &l->vertex[state.vertexNumber % 2] : nullptr;
    }
    PointRecord* p = mesh.openPoint();
    return p != nullptr ? &p->vertex[0] : nullptr;
}

std::int32_t addReference(LoadModel& model, TagId tag, std::uint32_t id) {
    MeshBuild& mesh = model.mesh;
    if (tag == TagId::p || tag == TagId::pref) return mesh.addPositionReference(id);
    if (tag == TagId::n || tag == TagId::nref) return mesh.addNormalReference(id);
    return mesh.addTexCoordReference(id);
}

std::int32_t addInline(LoadModel& model, TagId tag, const char* text) {
    MeshBuild& mesh = model.mesh;
    if (tag == TagId::p) {
        double v[3];
        return readVector3(model, text, v) ? mesh.addPosition(v[0], v[1], v[2]) : kNone;
    }
    if (tag == TagId::n) {
        float v[3];
        if (!readFloat3(model, text, v) || !normalizeDirection(model, v)) return kNone;
        return mesh.addNormal(v[0], v[1], v[2]);
    }
    float v[2];
    return readFloat2(model, text, v) ? mesh.addTexCoord(v[0], v[1]) : kNone;
}

void storeInSlot(LoadModel& model, TagId tag, std::int32_t index) {
    if (model.isStopped()) return;
    Vertex* slot = vertexSlot(model);
    if (slot == nullptr) return;
    if (tag == TagId::p || tag == TagId::pref) slot->position = index;
    if (tag == TagId::n || tag == TagId::nref) slot->normal = index;
    if (tag == TagId::tc || tag == TagId::tcref) slot->texCoord = index;
}

// An inline value with an "id" is defined in the mesh's scope and also fills the
// slot, through a reference to that definition.
void vertexValue(LoadModel& model, TagId tag, const char* text) {
    const std::int32_t id = model.geometryState.leafId;
    if (id != kNone) defineValue(model, tag, text);
    if (model.isStopped()) return;
    const std::int32_t index = id != kNone
                                   ? addReference(model, tag, static_cast<std::uint32_t>(id))
                                   : addInline(model, tag, text);
    storeInSlot(model, tag, index);
}

void vertexReference(LoadModel& model, TagId tag, const char* text) {
    std::uint32_t id = 0;
    if (!readUnsigned(model, text, id)) return;
    storeInSlot(model, tag, addReference(model, tag, id));
}

void leaveVertex(LoadModel& model) {
    const auto& tags = model.childTagsOf(PC::vertex);
    const std::int32_t normals = count(tags, TagId::n, TagId::nref);
    if (!require(model, count(tags, TagId::p, TagId::pref) == 1, Message::vertexNeedsOnePosition) ||
        !require(model, normals <= 1, Message::vertexAtMostOneNormal)) {
        return;
    }
    if (normals == 0) model.mesh.needsNormals = true;
    require(model, count(tags, TagId::tc, TagId::tcref) <= 1, Message::vertexAtMostOneTexCoord);
}
}  // namespace

// ---- event dispatch ----

void GeometryRules::enter(LoadModel& model, const LoadEvent& event) {
    switch (event.context) {
        case PC::object:
            enterObject(model, event.attributes);
            break;
        case PC::mesh:
            enterMesh(model, event.attributes);
            break;
        case PC::vertex:
            enterVertex(model, event);
            break;
        default:
            break;  // faces, lines and points start with a blank open record
    }
}

void GeometryRules::leafStart(LoadModel& model, const LoadEvent& event) {
    switch (event.tag) {
        case TagId::p:
        case TagId::n:
        case TagId::tc:
            startDefinition(model, event);
            break;
        case TagId::patch:
            startPatch(model, event.attributes);
            break;
        case TagId::surface:
            model.mesh.surface = true;
            break;
        default:
            break;
    }
}

void GeometryRules::text(LoadModel& model, const LoadEvent& event) {
    switch (event.tag) {
        case TagId::name:
            objectName(model, event.text);
            break;
        case TagId::meshref:
            objectMeshRef(model, event.text);
            break;
        case TagId::objectref:
            objectRef(model, event.text);
            break;
        case TagId::p:
        case TagId::n:
        case TagId::tc:
            if (event.context == PC::vertex) {
                vertexValue(model, event.tag, event.text);
            } else {
                defineValue(model, event.tag, event.text);
            }
            break;
        case TagId::pref:
        case TagId::nref:
        case TagId::tcref:
            vertexReference(model, event.tag, event.text);
            break;
        case TagId::matref:
        case TagId::textureref:
        case TagId::linestyleref:
        case TagId::pointstyleref:
        case TagId::s:
            primitiveText(model, event);
            break;
        default:
            break;
    }
}

void GeometryRules::leafEnd(LoadModel& model, const LoadEvent& event) {
    if (event.tag == TagId::patch) model.mesh.closePatch();
    if (event.tag == TagId::name && event.context == PC::object) {
        ObjectRecord* node = model.openObject();
        if (node != nullptr) node->hasName = true;  // an empty name is the empty string
    }
}

void GeometryRules::leave(LoadModel& model, const LoadEvent& event) {
    switch (event.context) {
        case PC::object:
            leaveObject(model);
            break;
        case PC::mesh:
            leaveMesh(model, event);
            break;
        case PC::face:
            leaveFace(model);
            break;
        case PC::line:
            leaveLine(model);
            break;
        case PC::point:
            leavePoint(model);
            break;
        case PC::vertex:
            leaveVertex(model);
            break;
        default:
            break;
    }
}

bool GeometryRules::handOverPending(LoadModel& model, MeshEntry& entry) {
    return handOver(model).handOverPending(entry);
}

}  // namespace tessaro
