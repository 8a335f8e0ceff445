#include "xgl/geometry_rules.h"

#include "scene/normals.h"
#include "xgl/appearance_rules.h"
#include "xgl/scene_load_context.h"

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
bool require(SceneLoadContext& load, bool ok, Message message) {
    if (!ok) load.raise(message);
    return ok;
}

}  // namespace

// The rules need the load context's internals; this class is their friend.
class GeometryAccess {
  public:
    // ---- objects ----

    static void enterObject(SceneLoadContext& load, AttributeList attributes) {
        if (!load.enterScope()) return;
        ObjectAttributes read;
        if (!readObjectAttributes(load, attributes, read)) return;
        auto node = std::make_unique<ObjectRecord>();
        node->id = read.id;
        node->pathId = read.pathId;
        load.m_objectFrames.back().node = std::move(node);
    }

    static ObjectRecord* openObject(SceneLoadContext& load) {
        return load.m_objectFrames.empty() ? nullptr : load.m_objectFrames.back().node.get();
    }

    static void objectName(SceneLoadContext& load, const char* text) {
        ObjectRecord* node = openObject(load);
        if (node == nullptr || !require(load, !node->hasName, Message::objectNameTwice)) return;
        node->hasName = true;
        node->name = text;
    }

    static void objectMeshRef(SceneLoadContext& load, const char* text) {
        ObjectRecord* node = openObject(load);
        std::int32_t id = 0;
        if (node == nullptr || !readInt(load, text, id)) return;
        MeshEntry* ref = load.m_builder.referenceMesh(static_cast<std::uint32_t>(id), load.m_scope);
        if (!require(load, node->mesh == nullptr, Message::objectAtMostOneMesh) ||
            !require(load, node->subObjectCount == 0, Message::objectWithMeshAndChildren)) {
            return;
        }
        node->mesh = ref;
    }

    static void objectRef(SceneLoadContext& load, const char* text) {
        ObjectRecord* node = openObject(load);
        std::int32_t id = 0;
        if (node == nullptr || !readInt(load, text, id)) return;
        if (!require(load, node->mesh == nullptr, Message::objectWithMeshAndChildren)) return;
        node->children.push_back(
            load.m_builder.referenceObject(static_cast<std::uint32_t>(id), load.m_scope));
        ++node->subObjectCount;
    }

    static void leaveObject(SceneLoadContext& load) {
        ObjectFrame& frame = load.m_objectFrames.back();
        ObjectRecord* node = frame.node.get();
        if (node == nullptr) return;
        if (!require(load, node->mesh == nullptr || node->subObjectCount == 0,
                     Message::objectWithMeshAndChildren) ||
            !require(load, count(frame.childTags, TagId::transform) <= 1,
                     Message::objectAtMostOneTransform) ||
            !require(load, load.claimSiblingPathId(node->pathId), Message::siblingPathIdTwice)) {
            return;
        }
        DefinitionScope* own = load.m_scope;
        DefinitionScope* enclosing = own != nullptr ? own->parent() : nullptr;
        if (node->id != kNone) {
            const auto id = static_cast<std::uint32_t>(node->id);
            load.m_builder.registerObject(std::move(frame.node), enclosing, id);
        } else {
            attachInstance(load, load.m_builder.objectInstance(std::move(frame.node), own));
        }
        load.leaveScope();
    }

    // An object without ID becomes a sub-object of its parent, or a top-level object.
    static void attachInstance(SceneLoadContext& load, DefinitionEntry* entry) {
        if (load.m_objectFrames.size() >= 2) {
            ObjectRecord* parent = load.m_objectFrames[load.m_objectFrames.size() - 2].node.get();
            if (parent == nullptr) return;
            parent->children.push_back(entry);
            ++parent->subObjectCount;
            return;
        }
        WorldRecord* world = load.m_world.get();
        if (world == nullptr ||
            !require(load, world->mesh == nullptr, Message::worldWithMeshAndChildren)) {
            return;
        }
        world->children.push_back(entry);
        ++world->topLevelCount;
    }

    // ---- meshes ----

    static MeshHandOver& handOver(SceneLoadContext& load) {
        auto& handOver = load.m_geometryState.handOver;
        if (!handOver) {
            handOver = std::make_unique<MeshHandOver>(load.m_consumer, nullptr, resolveTextureUses);
        }
        return *handOver;
    }

    static void enterMesh(SceneLoadContext& load, AttributeList attributes) {
        if (!load.enterScope()) return;
        const std::int32_t id = readIdAttribute(load, attributes);
        if (load.isStopped()) return;
        load.m_mesh.start(id);
    }

    static void leaveMesh(SceneLoadContext& load) {
        MeshBuild& mesh = load.m_mesh;
        DefinitionScope* own = load.m_scope;
        MeshEntry* entry = handOver(load).handOver(mesh, own, load.m_builder);
        const std::int32_t id = mesh.meshId;
        mesh.finish();
        // A table that could not be read was reported already; else memory ran out.
        if (entry == nullptr) load.reportError(kNotEnoughMemory);
        if (entry == nullptr || load.isStopped()) return;
        DefinitionScope* enclosing = own != nullptr ? own->parent() : nullptr;
        if (id != kNone) {
            const bool filed =
                load.m_builder.defineMesh(entry, enclosing, static_cast<std::uint32_t>(id));
            if (!filed && enclosing != nullptr) load.reportError(kNotEnoughMemory);
        } else {
            attachMesh(load, entry);
        }
        load.leaveScope();
    }

    static void attachMesh(SceneLoadContext& load, MeshEntry* entry) {
        if (load.parentContext() == PC::object) {
            ObjectRecord* node = openObject(load);
            if (node == nullptr ||
                !require(load, node->mesh == nullptr, Message::objectAtMostOneMesh) ||
                !require(load, node->subObjectCount == 0, Message::objectWithMeshAndChildren)) {
                return;
            }
            node->mesh = entry;
            return;
        }
        WorldRecord* world = load.m_world.get();
        if (world == nullptr ||
            !require(load, world->topLevelCount == 0, Message::worldWithMeshAndChildren) ||
            !require(load, world->mesh == nullptr, Message::worldAtMostOneMesh)) {
            return;
        }
        world->mesh = entry;
    }

    static void startPatch(SceneLoadContext& load, AttributeList attributes) {
        MeshBuild& mesh = load.m_mesh;
        if (!require(load, mesh.currentPatch == kNone, Message::patchInPatch)) return;
        std::int32_t id = readPatchIdAttribute(load, attributes);
        if (load.isStopped()) return;
        if (id == kNone) id = static_cast<std::int32_t>(mesh.largestPatchId + 1);
        if (id == 0) id = 9999;  // zero is kept free for "no patch"
        if (!require(load, id > 0, Message::patchIdNotPositive)) return;
        if (static_cast<std::uint32_t>(id) > mesh.largestPatchId) {
            mesh.largestPatchId = static_cast<std::uint32_t>(id);
        }
        mesh.openPatch(static_cast<std::uint32_t>(id));
    }

    // ---- definitions: "p", "n" and "tc" with an "id" ----

    static void startDefinition(SceneLoadContext& load, TagId tag, AttributeList attributes) {
        load.m_geometryState.leafId = readIdAttribute(load, attributes);
        if (load.isStopped() || load.m_geometryState.leafId != kNone) return;
        if (load.m_context == PC::vertex) return;  // an inline value needs no ID
        load.raise(missingIdMessage(load.m_context, tag));
    }

    static Message missingIdMessage(ParseContext context, TagId tag) {
        if (tag == TagId::p) return Message::positionWithoutIdInMesh;
        if (tag == TagId::n) return Message::normalWithoutIdInMesh;
        if (context == PC::mesh) return Message::texCoordWithoutIdInMesh;
        return context == PC::object ? Message::texCoordWithoutIdInObject
                                     : Message::texCoordWithoutIdInWorld;
    }

    static void defineValue(SceneLoadContext& load, TagId tag, const char* text) {
        const auto id = static_cast<std::uint32_t>(load.m_geometryState.leafId);
        DefinitionScope* scope = load.m_scope;
        if (scope == nullptr || load.m_geometryState.leafId == kNone) return;
        bool kept = true;
        if (tag == TagId::p) {
            double v[3];
            if (readVector3(load, text, v)) kept = scope->definePosition(id, v[0], v[1], v[2]);
        } else if (tag == TagId::n) {
            float v[3];
            if (readFloat3(load, text, v) && normalizeDirection(load, v)) {
                kept = scope->defineNormal(id, v[0], v[1], v[2]);
            }
        } else {
            float v[2];
            if (readFloat2(load, text, v)) kept = scope->defineTexCoord(id, v[0], v[1]);
        }
        // A definition that could not be kept would later read as a missing one.
        if (!kept) load.reportError(kNotEnoughMemory);
        load.m_builder.noteDefinition(tag == TagId::p   ? ReferenceKind::position
                                      : tag == TagId::n ? ReferenceKind::normal
                                                        : ReferenceKind::texCoord,
                                      id);
    }

    // ---- faces, lines and points ----

    static void primitiveText(SceneLoadContext& load, TagId leaf, const char* text) {
        std::uint32_t value = 0;
        if (!readUnsigned(load, text, value)) return;
        MeshBuild& mesh = load.m_mesh;
        switch (leaf) {
            case TagId::matref:
                onOpenPrimitive(load, [&](auto& r) { r.material = mesh.materialRun(value); });
                break;
            case TagId::linestyleref:
                if (LineRecord* line = mesh.openLine()) line->lineStyle = mesh.lineStyleRun(value);
                break;
            case TagId::pointstyleref:
                if (PointRecord* pt = mesh.openPoint()) pt->pointStyle = mesh.pointStyleRun(value);
                break;
            case TagId::s:
                smoothingGroup(load, value);
                break;
            case TagId::textureref:
                onOpenPrimitive(load, [&](auto& r) {
                    r.texture =
                        mesh.textureRun(value, AppearanceRules::textureReference(load, value));
                });
                break;
            default:
                break;
        }
    }

    // Applies `set` to the open face, line or point that the current context builds.
    template <typename Set>
    static void onOpenPrimitive(SceneLoadContext& load, Set set) {
        MeshBuild& mesh = load.m_mesh;
        if (load.m_context == PC::face) {
            if (FaceRecord* f = mesh.openFace()) set(*f);
        } else if (load.m_context == PC::line) {
            if (LineRecord* l = mesh.openLine()) set(*l);
        } else if (PointRecord* p = mesh.openPoint()) {
            set(*p);
        }
    }

    static void smoothingGroup(SceneLoadContext& load, std::uint32_t group) {
        if (!require(load, group <= 31, Message::smoothingGroupOutOfRange)) return;
        if (FaceRecord* f = load.m_mesh.openFace()) f->smoothingGroups |= smoothingGroupBit(group);
    }

    static void leaveFace(SceneLoadContext& load) {
        const auto& tags = load.childTagsOf(PC::face);
        if (!require(load, count(tags, TagId::fv1) == 1, Message::faceNeedsOneFv1) ||
            !require(load, count(tags, TagId::fv2) == 1, Message::faceNeedsOneFv2) ||
            !require(load, count(tags, TagId::fv3) == 1, Message::faceNeedsOneFv3) ||
            !require(load, count(tags, TagId::mat, TagId::matref) == 1,
                     Message::faceNeedsOneMaterial) ||
            !require(load, count(tags, TagId::texture, TagId::textureref) <= 1,
                     Message::faceAtMostOneTexture)) {
            return;
        }
        load.m_mesh.commitFace();
    }

    static void leaveLine(SceneLoadContext& load) {
        const auto& tags = load.childTagsOf(PC::line);
        const std::int32_t styles = count(tags, TagId::linestyle, TagId::linestyleref);
        if (!require(load, count(tags, TagId::lv1) == 1, Message::lineNeedsOneLv1) ||
            !require(load, count(tags, TagId::lv2) == 1, Message::lineNeedsOneLv2) ||
            !require(load, count(tags, TagId::mat, TagId::matref) == 1,
                     Message::lineNeedsOneMaterial) ||
            !require(load, styles <= 1, Message::lineNeedsOneLineStyle) ||
            !require(load, count(tags, TagId::texture, TagId::textureref) <= 1,
                     Message::lineAtMostOneTexture)) {
            return;
        }
        MeshBuild& mesh = load.m_mesh;
        if (styles == 0) {
            const std::int32_t style = mesh.addLineStyle(LineStyleRecord{});
            if (LineRecord* line = mesh.openLine()) line->lineStyle = style;
        }
        mesh.commitLine();
    }

    static void leavePoint(SceneLoadContext& load) {
        const auto& tags = load.childTagsOf(PC::point);
        const std::int32_t styles = count(tags, TagId::pointstyle, TagId::pointstyleref);
        if (!require(load, count(tags, TagId::pv1) == 1, Message::pointNeedsOnePv1) ||
            !require(load, count(tags, TagId::mat, TagId::matref) == 1,
                     Message::pointNeedsOneMaterial) ||
            !require(load, styles <= 1, Message::pointNeedsOnePointStyle) ||
            !require(load, count(tags, TagId::texture, TagId::textureref) <= 1,
                     Message::pointAtMostOneTexture)) {
            return;
        }
        MeshBuild& mesh = load.m_mesh;
        if (styles == 0) {
            const std::int32_t style = mesh.addPointStyle(PointStyleRecord{});
            if (PointRecord* point = mesh.openPoint()) point->pointStyle = style;
        }
        mesh.commitPoint();
    }

    // ---- vertices ----

    static void enterVertex(SceneLoadContext& load, TagId tag) {
        GeometryState& state = load.m_geometryState;
        state.vertexOwner = load.parentContext();
        state.vertexNumber = (tag == TagId::fv2 || tag == TagId::lv2) ? 1
                             : tag == TagId::fv3                      ? 2
                                                                      : 0;
    }

    // The slot of the open face, line or point that this vertex fills.
    static Vertex* vertexSlot(SceneLoadContext& load) {
        const GeometryState& state = load.m_geometryState;
        MeshBuild& mesh = load.m_mesh;
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

    // An inline value with an "id" is defined in the mesh's scope and also fills the
    // slot, through a reference to that definition.
    static void vertexValue(SceneLoadContext& load, TagId tag, const char* text) {
        const std::int32_t id = load.m_geometryState.leafId;
        if (id != kNone) defineValue(load, tag, text);
        if (load.isStopped()) return;
        const std::int32_t index = id != kNone
                                       ? addReference(load, tag, static_cast<std::uint32_t>(id))
                                       : addInline(load, tag, text);
        storeInSlot(load, tag, index);
    }

    static std::int32_t addInline(SceneLoadContext& load, TagId tag, const char* text) {
        MeshBuild& mesh = load.m_mesh;
        if (tag == TagId::p) {
            double v[3];
            return readVector3(load, text, v) ? mesh.addPosition(v[0], v[1], v[2]) : kNone;
        }
        if (tag == TagId::n) {
            float v[3];
            if (!readFloat3(load, text, v) || !normalizeDirection(load, v)) return kNone;
            return mesh.addNormal(v[0], v[1], v[2]);
        }
        float v[2];
        return readFloat2(load, text, v) ? mesh.addTexCoord(v[0], v[1]) : kNone;
    }

    static std::int32_t addReference(SceneLoadContext& load, TagId tag, std::uint32_t id) {
        MeshBuild& mesh = load.m_mesh;
        if (tag == TagId::p || tag == TagId::pref) return mesh.addPositionReference(id);
        if (tag == TagId::n || tag == TagId::nref) return mesh.addNormalReference(id);
        return mesh.addTexCoordReference(id);
    }

    static void vertexReference(SceneLoadContext& load, TagId tag, const char* text) {
        std::uint32_t id = 0;
        if (!readUnsigned(load, text, id)) return;
        storeInSlot(load, tag, addReference(load, tag, id));
    }

    static void storeInSlot(SceneLoadContext& load, TagId tag, std::int32_t index) {
        if (load.isStopped()) return;
        Vertex* slot = vertexSlot(load);
        if (slot == nullptr) return;
        if (tag == TagId::p || tag == TagId::pref) slot->position = index;
        if (tag == TagId::n || tag == TagId::nref) slot->normal = index;
        if (tag == TagId::tc || tag == TagId::tcref) slot->texCoord = index;
    }

    static void leaveVertex(SceneLoadContext& load) {
        const auto& tags = load.childTagsOf(PC::vertex);
        const std::int32_t normals = count(tags, TagId::n, TagId::nref);
        if (!require(load, count(tags, TagId::p, TagId::pref) == 1,
                     Message::vertexNeedsOnePosition) ||
            !require(load, normals <= 1, Message::vertexAtMostOneNormal)) {
            return;
        }
        if (normals == 0) load.m_mesh.needsNormals = true;
        require(load, count(tags, TagId::tc, TagId::tcref) <= 1, Message::vertexAtMostOneTexCoord);
    }
};

// ---- event dispatch ----

void GeometryRules::enter(SceneLoadContext& load, TagId tag, AttributeList attributes) {
    switch (load.m_context) {
        case PC::object:
            GeometryAccess::enterObject(load, attributes);
            break;
        case PC::mesh:
            GeometryAccess::enterMesh(load, attributes);
            break;
        case PC::vertex:
            GeometryAccess::enterVertex(load, tag);
            break;
        default:
            break;  // faces, lines and points start with a blank open record
    }
}

void GeometryRules::leafStart(SceneLoadContext& load, TagId tag, AttributeList attributes) {
    switch (tag) {
        case TagId::p:
        case TagId::n:
        case TagId::tc:
            GeometryAccess::startDefinition(load, tag, attributes);
            break;
        case TagId::patch:
            GeometryAccess::startPatch(load, attributes);
            break;
        case TagId::surface:
            load.m_mesh.surface = true;
            break;
        default:
            break;
    }
}

void GeometryRules::text(SceneLoadContext& load, TagId leaf, const char* text) {
    switch (leaf) {
        case TagId::name:
            GeometryAccess::objectName(load, text);
            break;
        case TagId::meshref:
            GeometryAccess::objectMeshRef(load, text);
            break;
        case TagId::objectref:
            GeometryAccess::objectRef(load, text);
            break;
        case TagId::p:
        case TagId::n:
        case TagId::tc:
            if (load.m_context == PC::vertex) {
                GeometryAccess::vertexValue(load, leaf, text);
            } else {
                GeometryAccess::defineValue(load, leaf, text);
            }
            break;
        case TagId::pref:
        case TagId::nref:
        case TagId::tcref:
            GeometryAccess::vertexReference(load, leaf, text);
            break;
        case TagId::matref:
        case TagId::textureref:
        case TagId::linestyleref:
        case TagId::pointstyleref:
        case TagId::s:
            GeometryAccess::primitiveText(load, leaf, text);
            break;
        default:
            break;
    }
}

void GeometryRules::leafEnd(SceneLoadContext& load, TagId tag) {
    if (tag == TagId::patch) load.m_mesh.closePatch();
    if (tag == TagId::name && load.m_context == PC::object) {
        ObjectRecord* node = GeometryAccess::openObject(load);
        if (node != nullptr) node->hasName = true;  // an empty name is the empty string
    }
}

void GeometryRules::leave(SceneLoadContext& load, TagId) {
    switch (load.m_context) {
        case PC::object:
            GeometryAccess::leaveObject(load);
            break;
        case PC::mesh:
            GeometryAccess::leaveMesh(load);
            break;
        case PC::face:
            GeometryAccess::leaveFace(load);
            break;
        case PC::line:
            GeometryAccess::leaveLine(load);
            break;
        case PC::point:
            GeometryAccess::leavePoint(load);
            break;
        case PC::vertex:
            GeometryAccess::leaveVertex(load);
            break;
        default:
            break;
    }
}

bool GeometryRules::handOverPending(SceneLoadContext& load, MeshEntry& entry) {
    return GeometryAccess::handOver(load).handOverPending(entry);
}

}  // namespace tessaro
