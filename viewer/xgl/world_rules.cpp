#include "xgl/world_rules.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "xgl/load_model.h"

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

namespace {

// ---- world ----

void enterWorld(LoadModel& model) {
    if (!model.enterScope()) return;
    model.world = std::make_unique<WorldRecord>();
}

void worldName(LoadModel& model, WorldRecord& world, const char* text) {
    if (!require(model, !world.hasName, Message::objectNameTwice)) return;
    world.hasName = true;
    world.name = text;
}

void objectRef(LoadModel& model, WorldRecord& world, const char* text) {
    std::int32_t id = 0;
    if (!readInt(model, text, id)) return;
    // A world with a mesh holds no objects, whichever of the two comes first.
    if (!require(model, world.mesh == nullptr, Message::worldWithMeshAndChildren)) return;
    const auto target = static_cast<std::uint32_t>(id);
    world.children.push_back(model.builder.referenceObject(target, model.scope));
    ++world.topLevelCount;
}

void meshRef(LoadModel& model, WorldRecord& world, const char* text) {
    std::int32_t id = 0;
    if (!readInt(model, text, id)) return;
    if (!require(model, world.mesh == nullptr, Message::worldAtMostOneMesh) ||
        !require(model, !hasTopLevelObjects(world), Message::worldWithMeshAndChildren)) {
        return;
    }
    world.mesh = model.builder.referenceMesh(static_cast<std::uint32_t>(id), model.scope);
}

void worldText(LoadModel& model, TagId leaf, const char* text) {
    WorldRecord* world = model.world.get();
    if (world == nullptr) return;
    if (leaf == TagId::name) worldName(model, *world, text);
    if (leaf == TagId::objectref) objectRef(model, *world, text);
    if (leaf == TagId::meshref) meshRef(model, *world, text);
}

// An empty "name" still names the world, with the empty string.
void worldNameEnd(LoadModel& model) {
    WorldRecord* world = model.world.get();
    if (world == nullptr || world->hasName) return;
    world->hasName = true;
    world->name.clear();
}

void leaveWorld(LoadModel& model) {
    const auto& tags = model.childTagsOf(PC::world);
    if (!require(model, count(tags, TagId::lighting) == 1, Message::worldNeedsLighting) ||
        !require(model, count(tags, TagId::background) == 1, Message::worldNeedsBackground) ||
        !WorldRules::resolveWorld(model)) {
        return;
    }
    model.consumer.worldDone(std::move(model.world));
    model.world.reset();
    model.leaveScope();
}

// The last unresolved top-level reference, counted from the first, or the mesh.
bool reportUnresolved(LoadModel& model, const WorldRecord& world) {
    for (std::size_t i = world.children.size(); i-- > 0;) {
        if (world.children[i]->resolved()) continue;
        std::snprintf(model.errorText, sizeof model.errorText, "%s : %u",
                      messageText(Message::objectUnresolved), static_cast<unsigned>(i));
        model.reportError(model.errorText);
        return false;
    }
    return require(model, world.mesh == nullptr || world.mesh->resolved(),
                   Message::worldMeshUnresolved);
}

// ---- background ----

void leaveBackground(LoadModel& model) {
    const auto& tags = model.childTagsOf(PC::background);
    if (!require(model, count(tags, TagId::backcolor) == 1, Message::backgroundNeedsOneBackColor))
        return;
    auto& background = model.worldState.background;
    model.consumer.setBackground(std::move(background));
    background.reset();
}

// ---- lighting ----

void enterLighting(LoadModel& model) {
    WorldState& state = model.worldState;
    state.lighting = std::make_unique<LightingRecord>();
    state.currentLight = -1;
    state.lightOpen = false;
}

void startLight(LoadModel& model) {
    WorldState& state = model.worldState;
    LightingRecord& lighting = *state.lighting;
    if (!require(model, lighting.lightCount < kMaxDirectionalLights,
                 Message::moreThanEightLights)) {
        return;
    }
    state.currentLight = static_cast<std::int32_t>(lighting.lightCount);
    lighting.lights[lighting.lightCount] = DirectionalLight{};
    state.lightOpen = true;
}

// A light nested in another ends both with one count, so there are never more than
// the eight lights the record holds.
void endLight(LoadModel& model) {
    const auto& tags = model.lightChildTags;
    const std::uint32_t diffuse = count(tags, TagId::diffuse);
    const std::uint32_t specular = count(tags, TagId::specular);
    if (!require(model, count(tags, TagId::direction) == 1, Message::lightNeedsOneDirection) ||
        !require(model, diffuse <= 1, Message::lightAtMostOneDiffuse) ||
        !require(model, specular <= 1, Message::lightAtMostOneSpecular) ||
        !require(model, diffuse + specular > 0, Message::lightNeedsDiffuseOrSpecular)) {
        return;
    }
    WorldState& state = model.worldState;
    if (state.lightOpen) ++state.lighting->lightCount;
    state.lightOpen = false;
}

// Light leaves before the first "directionallight" are checked but fill nothing.
DirectionalLight* currentLight(LoadModel& model) {
    const WorldState& state = model.worldState;
    if (state.currentLight < 0) return nullptr;
    return &state.lighting->lights[state.currentLight];
}

void readDirection(LoadModel& model, const char* text, float (&out)[3]) {
    float direction[3];
    if (!readFloat3(model, text, direction) || !normalizeDirection(model, direction)) return;
    std::copy(std::begin(direction), std::end(direction), out);
}

void lightingText(LoadModel& model, TagId leaf, const char* text) {
    LightingRecord& lighting = *model.worldState.lighting;
    DirectionalLight unused;
    DirectionalLight* light = currentLight(model);
    DirectionalLight& target = light != nullptr ? *light : unused;
    if (leaf == TagId::ambient)
        readUnitColour(model, text, lighting.ambient, Message::lightAmbientOutOfRange);
    if (leaf == TagId::diffuse)
        readUnitColour(model, text, target.diffuse, Message::lightDiffuseOutOfRange);
    if (leaf == TagId::specular)
        readUnitColour(model, text, target.specular, Message::lightSpecularOutOfRange);
    if (leaf == TagId::direction) readDirection(model, text, target.direction);
}

void leaveLighting(LoadModel& model) {
    const auto& tags = model.childTagsOf(PC::lighting);
    const std::uint32_t ambient = count(tags, TagId::ambient);
    const std::uint32_t lights = count(tags, TagId::directionallight);
    if (!require(model, ambient <= 1 && ambient + lights > 0, Message::lightingNeedsAmbientOrLight))
        return;
    auto& lighting = model.worldState.lighting;
    model.consumer.setLighting(std::move(lighting));
    lighting.reset();
    model.worldState.currentLight = -1;
}

// ---- data ----

void enterData(LoadModel& model, AttributeList attributes) {
    const char* org = readSoleAttribute(model, attributes, "org", Message::dataOrgMissing,
                                        Message::dataAttributeUnknown);
    if (org == nullptr) return;
    model.worldState.data = std::make_unique<DataRecord>();
    model.worldState.data->org = org;
}

void startDataItem(LoadModel& model, TagId tag, AttributeList attributes) {
    DataRecord* data = model.worldState.data.get();
    if (data == nullptr) return;
    if (tag == TagId::str) {
        const char* name = readSoleAttribute(model, attributes, "name", Message::stringNameMissing,
                                             Message::stringAttributeUnknown);
        if (name != nullptr) data->strings.push_back({name, {}});
    } else if (tag == TagId::bin) {
        const char* name = readSoleAttribute(model, attributes, "name", Message::binNameMissing,
                                             Message::binAttributeUnknown);
        if (name != nullptr) data->binaries.push_back({name, {}});
    }
}

void dataText(LoadModel& model, TagId leaf, const char* text) {
    DataRecord* data = model.worldState.data.get();
    if (data == nullptr) return;
    if (leaf == TagId::str && !data->strings.empty()) data->strings.back().value = text;
    if (leaf == TagId::bin && !data->binaries.empty()) {
        const std::string_view hex(text);
        std::vector<std::uint8_t>& bytes = data->binaries.back().bytes;
        bytes.resize(hex.size() / 2);
        readHexBytes(model, hex, bytes.data());
    }
}

// The open patch of the mesh being read, else the innermost object or include,
// else the world. Null when that object's node was not made.
PoolVector<std::int32_t>* dataOwner(LoadModel& model) {
    MeshBuild& mesh = model.mesh;
    PatchRecord* patch = mesh.active() ? mesh.patchAt(mesh.currentPatch) : nullptr;
    if (patch != nullptr) return &patch->values;
    if (!model.objectFrames.empty()) {
        ObjectRecord* node = model.objectFrames.back().node.get();
        return node != nullptr ? &node->dataHandles : nullptr;
    }
    return model.world != nullptr ? &model.world->dataHandles : nullptr;
}

void leaveData(LoadModel& model) {
    const auto& tags = model.childTagsOf(PC::data);
    if (!require(model, count(tags, TagId::str) + count(tags, TagId::bin) > 0,
                 Message::dataNeedsBinOrString)) {
        return;
    }
    auto& data = model.worldState.data;
    const std::int32_t handle = model.consumer.addData(std::move(data));
    data.reset();
    PoolVector<std::int32_t>* owner = dataOwner(model);
    if (owner != nullptr && owner->append(handle) == PoolVector<std::int32_t>::kFailed) {
        model.reportError("0: Not enough memory to keep a data element");
    }
}

}  // namespace

// ---- event dispatch ----

void WorldRules::enter(LoadModel& model, const LoadEvent& event) {
    switch (event.context) {
        case PC::world:
            enterWorld(model);
            break;
        case PC::lighting:
            enterLighting(model);
            break;
        case PC::background:
            model.worldState.background = std::make_unique<BackgroundRecord>();
            break;
        case PC::data:
            enterData(model, event.attributes);
            break;
        default:
            break;
    }
}

void WorldRules::leafStart(LoadModel& model, const LoadEvent& event) {
    if (event.context == PC::data) startDataItem(model, event.tag, event.attributes);
    if (event.tag == TagId::directionallight) startLight(model);
}

void WorldRules::text(LoadModel& model, const LoadEvent& event) {
    switch (event.context) {
        case PC::world:
            worldText(model, event.tag, event.text);
            break;
        case PC::lighting:
            lightingText(model, event.tag, event.text);
            break;
        case PC::background:
            if (BackgroundRecord* background = model.worldState.background.get()) {
                readUnitColour(model, event.text, background->colour, Message::backColorOutOfRange);
            }
            break;
        case PC::data:
            dataText(model, event.tag, event.text);
            break;
        default:
            break;
    }
}

void WorldRules::leafEnd(LoadModel& model, const LoadEvent& event) {
    if (event.context == PC::world && event.tag == TagId::name) worldNameEnd(model);
    if (event.context == PC::lighting && event.tag == TagId::directionallight) endLight(model);
}

void WorldRules::leave(LoadModel& model, const LoadEvent& event) {
    switch (event.context) {
        case PC::world:
            leaveWorld(model);
            break;
        case PC::lighting:
            leaveLighting(model);
            break;
        case PC::background:
            leaveBackground(model);
            break;
        case PC::data:
            leaveData(model);
            break;
        default:
            break;
    }
}

SphereMapRecord* WorldRules::openSphereMap(LoadModel& model) {
    LightingRecord* lighting = model.worldState.lighting.get();
    return lighting != nullptr ? &lighting->sphereMap : nullptr;
}

bool WorldRules::resolveWorld(LoadModel& model) {
    WorldRecord* world = model.world.get();
    if (world == nullptr) return false;
    if (model.builder.completeWorld(*world)) return true;
    reportUnresolved(model, *world);
    return false;
}

}  // namespace tessaro
