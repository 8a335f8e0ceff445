#include "xgl/load_model.h"

#include <cstdio>

namespace tessaro {
namespace {

// A reference costs at least about 14 bytes ("<pref>1</pref>") and documents that
// people make nest a few dozen levels, so 16 levels per byte is far above any of
// them, while a deep chain walked once per reference stops within about a second.
constexpr std::uint64_t kLookupLevelsBase = std::uint64_t{1} << 24;
constexpr std::uint64_t kLookupLevelsPerByte = 16;
// Counted in objects and primitives drawn per frame. An "objectref" costs about 24
// bytes and a face about 100; a grid of 100,000 instances of a part of 40 faces made
// with two levels of references takes about 19 KB, and 4 million primitives draw in
// about a second without a graphics card, so this admits it. Beyond that a frame
// would take minutes to draw.
constexpr std::uint64_t kInstancesBase = std::uint64_t{1} << 22;
constexpr std::uint64_t kInstancesPerByte = 64;

}  // namespace

LoadModel::LoadModel(SceneConsumer& sceneConsumer, ErrorReporter& reporter)
    : lookupBudget(kLookupLevelsBase, kLookupLevelsPerByte, kLookupLimitReached),
      instanceBudget(kInstancesBase, kInstancesPerByte, kInstanceLimitReached),
      consumer(sceneConsumer),
      builder(sceneConsumer),
      m_reporter(reporter) {
    lookupBudget.setSink(this);
    instanceBudget.setSink(this);
    builder.setInstanceBudget(&instanceBudget);
    mesh.setErrorSink(this);
    builder.setMeshHandOver(
        [this](MeshEntry& entry) { return GeometryRules::handOverPending(*this, entry); });
}

// Frames and pending entries hold scopes; they go before the scope chain itself.
LoadModel::~LoadModel() {
    objectFrames.clear();
    world.reset();
    while (scope != nullptr)
        leaveScope();
}

void LoadModel::inputRead(std::uint64_t bytes) {
    lookupBudget.inputRead(bytes);
    instanceBudget.inputRead(bytes);
}

void LoadModel::storageFailed(const std::string& cause) {
    std::snprintf(errorText, sizeof errorText, kStorageErrorFormat, cause.c_str());
    reportError(errorText);
}

bool LoadModel::enterScope() {
    DefinitionScope* next = scope == nullptr ? DefinitionScope::createWorld(this, &lookupBudget)
                                             : DefinitionScope::createChild(scope);
    if (next == nullptr) {
        reportError("0: Not enough memory for a definition scope");
        return false;
    }
    scope = next;
    return true;
}

void LoadModel::leaveScope() {
    if (scope != nullptr) scope = scope->releaseAndGetParent();
}

PoolVector<std::int32_t>& LoadModel::childTagsOf(ParseContext context) {
    if (context == ParseContext::object || context == ParseContext::include) {
        return objectFrames.back().childTags;
    }
    return childTags[contextSlot(context)];
}

bool LoadModel::claimSiblingPathId(std::int32_t pathId) {
    if (pathId == kNone) return true;
    auto& siblings = objectFrames.size() >= 2 ? objectFrames[objectFrames.size() - 2].childPathIds
                                              : worldChildPathIds;
    return siblings.insert(pathId).second;
}

ObjectRecord* LoadModel::openObject() const {
    return objectFrames.empty() ? nullptr : objectFrames.back().node.get();
}

}  // namespace tessaro
