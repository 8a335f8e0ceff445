#include "xgl/world_rules.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "xgl/scene_load_context.h"

namespace tessaro {

namespace {

using PC = ParseContext;

std::uint32_t count(const PoolVector<std::int32_t>& tags, TagId tag) {
    return tags.countOf(static_cast<std::int32_t>(tag));
}

// Raises `message` unless `ok`; true when the rule held.
bool require(ErrorReporter& reporter, bool ok, Message message) {
    if (!ok) reporter.raise(message);
    return ok;
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Attribute names match without regard to case; `wanted` is lower case.
bool isAttribute(const char* name, std::string_view wanted) {
    std::size_t i = 0;
    for (; name[i] != '\0'; ++i) {
        if (i == wanted.size() || lowerAscii(name[i]) != wanted[i]) return false;
    }
    return i == wanted.size();
}

// The value of an element that takes exactly one kind of attribute: `missing` when it
// has none at all, `foreign` for an attribute of any other name. A later attribute of
// the same name wins. Null after a message.
const char* readSoleAttribute(ErrorReporter& reporter, AttributeList attributes,
                              std::string_view wanted, Message missing, Message foreign) {
    if (attributes == nullptr || attributes[0] == nullptr) {
        reporter.raise(missing);
        return nullptr;
    }
    const char* value = nullptr;
    for (AttributeList a = attributes; a[0] != nullptr; a += 2) {
        if (!require(reporter, isAttribute(a[0], wanted), foreign)) return nullptr;
        value = a[1];
    }
    return value;
}

// Three colour components, each between 0 and 1; `rangeMessage` otherwise.
bool readUnitColour(ErrorReporter& reporter, const char* text, float (&out)[3],
                    Message rangeMessage) {
    float colour[3];
    if (!readFloat3(reporter, text, colour)) return false;
    const bool inRange = std::all_of(std::begin(colour), std::end(colour), inUnitRange);
    if (!require(reporter, inRange, rangeMessage)) return false;
    std::copy(std::begin(colour), std::end(colour), out);
    return true;
}

bool hasTopLevelObjects(const WorldRecord& world) {
    return world.topLevelCount > 0 || !world.children.empty();
}

}  // namespace

struct WorldRules::Access {
    // ---- world ----

    static void enterWorld(SceneLoadContext& load) {
        if (!load.enterScope()) return;
        load.m_world = std::make_unique<WorldRecord>();
    }

    static void worldName(SceneLoadContext& load, WorldRecord& world, const char* text) {
        if (!require(load, !world.hasName, Message::objectNameTwice)) return;
        world.hasName = true;
        world.name = text;
    }

    static void objectRef(SceneLoadContext& load, WorldRecord& world, const char* text) {
        std::int32_t id = 0;
        if (!readInt(load, text, id)) return;
        // A world with a mesh holds no objects, whichever of the two comes first.
        if (!require(load, world.mesh == nullptr, Message::worldWithMeshAndChildren)) return;
        const auto target = static_cast<std::uint32_t>(id);
        world.children.push_back(load.m_builder.referenceObject(target, load.m_scope));
        ++world.topLevelCount;
    }

    static void meshRef(SceneLoadContext& load, WorldRecord& world, const char* text) {
        std::int32_t id = 0;
        if (!readInt(load, text, id)) return;
        if (!require(load, world.mesh == nullptr, Message::worldAtMostOneMesh) ||
            !require(load, !hasTopLevelObjects(world), Message::worldWithMeshAndChildren)) {
            return;
        }
        world.mesh = load.m_builder.referenceMesh(static_cast<std::uint32_t>(id), load.m_scope);
    }

    static void worldText(SceneLoadContext& load, TagId leaf, const char* text) {
        WorldRecord* world = load.m_world.get();
        if (world == nullptr) return;
        if (leaf == TagId::name) worldName(load, *world, text);
        if (leaf == TagId::objectref) objectRef(load, *world, text);
        if (leaf == TagId::meshref) meshRef(load, *world, text);
    }

    // An empty "name" still names the world, with the empty string.
    static void worldNameEnd(SceneLoadContext& load) {
        WorldRecord* world = load.m_world.get();
        if (world == nullptr || world->hasName) return;
        world->hasName = true;
        world->name.clear();
    }

    static void leaveWorld(SceneLoadContext& load) {
        const auto& tags = load.childTagsOf(PC::world);
        if (!require(load, count(tags, TagId::lighting) == 1, Message::worldNeedsLighting) ||
            !require(load, count(tags, TagId::background) == 1, Message::worldNeedsBackground) ||
            !resolveWorld(load)) {
            return;
        }
        load.m_consumer.worldDone(std::move(load.m_world));
        load.m_world.reset();
        load.leaveScope();
    }

    // The last unresolved top-level reference, counted from the first, or the mesh.
    static bool reportUnresolved(SceneLoadContext& load, const WorldRecord& world) {
        for (std::size_t i = world.children.size(); i-- > 0;) {
            if (world.children[i]->resolved()) continue;
            std::snprintf(load.m_errorText, sizeof load.m_errorText, "%s : %u",
                          messageText(Message::objectUnresolved), static_cast<unsigned>(i));
            load.reportError(load.m_errorText);
            return false;
        }
        return require(load, world.mesh == nullptr || world.mesh->resolved(),
                       Message::worldMeshUnresolved);
    }

    // ---- background ----

    static void leaveBackground(SceneLoadContext& load) {
        const auto& tags = load.childTagsOf(PC::background);
        if (!require(load, count(tags, TagId::backcolor) == 1,
                     Message::backgroundNeedsOneBackColor))
            return;
        auto& background = load.m_worldState.background;
        load.m_consumer.setBackground(std::move(background));
        background.reset();
    }

    // ---- lighting ----

    static void enterLighting(SceneLoadContext& load) {
        WorldState& state = load.m_worldState;
        state.lighting = std::make_unique<LightingRecord>();
        state.currentLight = -1;
        state.lightOpen = false;
    }

    static void startLight(SceneLoadContext& load) {
        WorldState& state = load.m_worldState;
        LightingRecord& lighting = *state.lighting;
        if (!require(load, lighting.lightCount < kMaxDirectionalLights,
                     Message::moreThanEightLights)) {
            return;
        }
        state.currentLight = static_cast<std::int32_t>(lighting.lightCount);
        lighting.lights[lighting.lightCount] = DirectionalLight{};
        state.lightOpen = true;
    }

    // A light nested in another ends both with one count, so there are never more than
    // the eight lights the record holds.
    static void endLight(SceneLoadContext& load) {
        const auto& tags = load.m_lightChildTags;
        const std::uint32_t diffuse = count(tags, TagId::diffuse);
        const std::uint32_t specular = count(tags, TagId::specular);
        if (!require(load, count(tags, TagId::direction) == 1, Message::lightNeedsOneDirection) ||
            !require(load, diffuse <= 1, Message::lightAtMostOneDiffuse) ||
            !require(load, specular <= 1, Message::lightAtMostOneSpecular) ||
            !require(load, diffuse + specular > 0, Message::lightNeedsDiffuseOrSpecular)) {
            return;
        }
        WorldState& state = load.m_worldState;
        if (state.lightOpen) ++state.lighting->lightCount;
        state.lightOpen = false;
    }

    // Light leaves before the first "directionallight" are checked but fill nothing.
    static DirectionalLight* currentLight(SceneLoadContext& load) {
        const WorldState& state = load.m_worldState;
        if (state.currentLight < 0) return nullptr;
        return &state.lighting->lights[state.currentLight];
    }

    static void lightingText(SceneLoadContext& load, TagId leaf, const char* text) {
        LightingRecord& lighting = *load.m_worldState.lighting;
        DirectionalLight unused;
        DirectionalLight* light = currentLight(load);
        DirectionalLight& target = light != nullptr ? *light : unused;
        if (leaf == TagId::ambient)
            readUnitColour(load, text, lighting.ambient, Message::lightAmbientOutOfRange);
        if (leaf == TagId::diffuse)
            readUnitColour(load, text, target.diffuse, Message::lightDiffuseOutOfRange);
        if (leaf == TagId::specular)
            readUnitColour(load, text, target.specular, Message::lightSpecularOutOfRange);
        if (leaf == TagId::direction) readDirection(load, text, target.direction);
    }

    static void readDirection(SceneLoadContext& load, const char* text, float (&out)[3]) {
        float direction[3];
        if (!readFloat3(load, text, direction) || !normalizeDirection(load, direction)) return;
        std::copy(std::begin(direction), std::end(direction), out);
    }

    static void leaveLighting(SceneLoadContext& load) {
        const auto& tags = load.childTagsOf(PC::lighting);
        const std::uint32_t ambient = count(tags, TagId::ambient);
        const std::uint32_t lights = count(tags, TagId::directionallight);
        if (!require(load, ambient <= 1 && ambient + lights > 0,
                     Message::lightingNeedsAmbientOrLight))
            return;
        auto& lighting = load.m_worldState.lighting;
        load.m_consumer.setLighting(std::move(lighting));
        lighting.reset();
        load.m_worldState.currentLight = -1;
    }

    // ---- data ----

    static void enterData(SceneLoadContext& load, AttributeList attributes) {
        const char* org = readSoleAttribute(load, attributes, "org", Message::dataOrgMissing,
                                            Message::dataAttributeUnknown);
        if (org == nullptr) return;
        load.m_worldState.data = std::make_unique<DataRecord>();
        load.m_worldState.data->org = org;
    }

    static void startDataItem(SceneLoadContext& load, TagId tag, AttributeList attributes) {
        DataRecord* data = load.m_worldState.data.get();
        if (data == nullptr) return;
        if (tag == TagId::str) {
            const char* name =
                readSoleAttribute(load, attributes, "name", Message::stringNameMissing,
                                  Message::stringAttributeUnknown);
            if (name != nullptr) data->strings.push_back({name, {}});
        } else if (tag == TagId::bin) {
            const char* name = readSoleAttribute(load, attributes, "name", Message::binNameMissing,
                                                 Message::binAttributeUnknown);
            if (name != nullptr) data->binaries.push_back({name, {}});
        }
    }

    static void dataText(SceneLoadContext& load, TagId leaf, const char* text) {
        DataRecord* data = load.m_worldState.data.get();
        if (data == nullptr) return;
        if (leaf == TagId::str && !data->strings.empty()) data->strings.back().value = text;
        if (leaf == TagId::bin && !data->binaries.empty()) {
            const std::string_view hex(text);
            std::vector<std::uint8_t>& bytes = data->binaries.back().bytes;
            bytes.resize(hex.size() / 2);
            readHexBytes(load, hex, bytes.data());
        }
    }

    static void leaveData(SceneLoadContext& load) {
        const auto& tags = load.childTagsOf(PC::data);
        if (!require(load, count(tags, TagId::str) + count(tags, TagId::bin) > 0,
                     Message::dataNeedsBinOrString)) {
            return;
        }
        auto& data = load.m_worldState.data;
        const std::int32_t handle = load.m_consumer.addData(std::move(data));
        data.reset();
        PoolVector<std::int32_t>* owner = dataOwner(load);
        if (owner != nullptr && owner->append(handle) == PoolVector<std::int32_t>::kFailed) {
            load.reportError("0: Not enough memory to keep a data element");
        }
    }

    // The open patch of the mesh being read, else the innermost object or include,
    // else the world. Null when that object's node was not made.
    static PoolVector<std::int32_t>* dataOwner(SceneLoadContext& load) {
        MeshBuild& mesh = load.m_mesh;
        PatchRecord* patch = mesh.active() ? mesh.patchAt(mesh.currentPatch) : nullptr;
        if (patch != nullptr) return &patch->values;
        if (!load.m_objectFrames.empty()) {
            ObjectRecord* node = load.m_objectFrames.back().node.get();
            return node != nullptr ? &node->dataHandles : nullptr;
        }
        return load.m_world != nullptr ? &load.m_world->dataHandles : nullptr;
    }
};

// ---- event dispatch ----

void WorldRules::enter(SceneLoadContext& load, TagId, AttributeList attributes) {
    switch (load.m_context) {
        case PC::world:
            Access::enterWorld(load);
            break;
        case PC::lighting:
            Access::enterLighting(load);
            break;
        case PC::background:
            load.m_worldState.background = std::make_unique<BackgroundRecord>();
            break;
        case PC::data:
            Access::enterData(load, attributes);
            break;
        default:
            break;
    }
}

void WorldRules::leafStart(SceneLoadContext& load, TagId tag, AttributeList attributes) {
    if (load.m_context == PC::data) Access::startDataItem(load, tag, attributes);
    if (tag == TagId::directionallight) Access::startLight(load);
}

void WorldRules::text(SceneLoadContext& load, TagId leaf, const char* text) {
    switch (load.m_context) {
        case PC::world:
            Access::worldText(load, leaf, text);
            break;
        case PC::lighting:
            Access::lightingText(load, leaf, text);
            break;
        case PC::background:
            if (BackgroundRecord* background = load.m_worldState.background.get()) {
                readUnitColour(load, text, background->colour, Message::backColorOutOfRange);
            }
            break;
        case PC::data:
            Access::dataText(load, leaf, text);
            break;
        default:
            break;
    }
}

void WorldRules::leafEnd(SceneLoadContext& load, TagId tag) {
    if (load.m_context == PC::world && tag == TagId::name) Access::worldNameEnd(load);
    if (load.m_context == PC::lighting && tag == TagId::directionallight) Access::endLight(load);
}

void WorldRules::leave(SceneLoadContext& load, TagId) {
    switch (load.m_context) {
        case PC::world:
            Access::leaveWorld(load);
            break;
        case PC::lighting:
            Access::leaveLighting(load);
            break;
        case PC::background:
            Access::leaveBackground(load);
            break;
        case PC::data:
            Access::leaveData(load);
            break;
        default:
            break;
    }
}

SphereMapRecord* WorldRules::openSphereMap(SceneLoadContext& load) {
    LightingRecord* lighting = load.m_worldState.lighting.get();
    return lighting != nullptr ? &lighting->sphereMap : nullptr;
}

bool WorldRules::resolveWorld(SceneLoadContext& load) {
    WorldRecord* world = load.m_world.get();
    if (world == nullptr) return false;
    if (load.m_builder.completeWorld(*world)) return true;
    Access::reportUnresolved(load, *world);
    return false;
}

}  // namespace tessaro
