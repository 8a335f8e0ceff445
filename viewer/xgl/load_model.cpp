#include "xgl/load_model.h"

#include <cstdio>

namespace tessaro {

LoadModel::LoadModel(SceneConsumer& sceneConsumer, ErrorReporter& reporter)
    : consumer(sceneConsumer), builder(sceneConsumer), m_reporter(reporter) {
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

void LoadModel::storageFailed(const std::string& cause) {
    std::snprintf(errorText, sizeof errorText, kStorageErrorFormat, cause.c_str());
    reportError(errorText);
}

bool LoadModel::enterScope() {
    DefinitionScope* next =
        scope == nullptr ? DefinitionScope::createWorld(this) : DefinitionScope::createChild(scope);
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
