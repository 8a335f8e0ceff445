// The scene model that one load fills, apart from the parser that reads the document.
//
// The parser core owns the XML events, the context stack and the leaf text; it hands each
// event, with where it happened, to the rule group that owns the context. The rule
// groups read and change only this model: the builder, the definition scopes, the
// world, the mesh being read, the open objects and each group's element state.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "scene/definition_scope.h"
#include "scene/mesh_build.h"
#include "scene/pool_vector.h"
#include "scene/scene_builder.h"
#include "scene/scene_consumer.h"
#include "scene/work_budget.h"
#include "xgl/appearance_rules.h"
#include "xgl/geometry_rules.h"
#include "xgl/include_rules.h"
#include "xgl/messages.h"
#include "xgl/parse_contexts.h"
#include "xgl/tags.h"
#include "xgl/values.h"
#include "xgl/world_rules.h"

namespace tessaro {

// One parser event as the rules see it. `context` is where it happens: the container's
// own context for enter and leave, the leaf's context for leaf starts, text and leaf
// ends; `parent` is the context that `context` was entered from.
struct LoadEvent {
    ParseContext context = ParseContext::document;
    ParseContext parent = ParseContext::document;
    TagId tag = TagId::invalid;          // for text: the open leaf
    AttributeList attributes = nullptr;  // starts only
    const char* text = nullptr;          // text only: joined and NUL-terminated
};

// What the model keeps for each open object or included object.
struct ObjectFrame {
    PoolVector<std::int32_t> childTags;
    std::unique_ptr<ObjectRecord> node;
    std::unordered_set<std::int32_t> childPathIds;  // of the objects and includes inside it
};

// Messages go to `reporter` (the parser core, which keeps the first and stops the
// parse); a failed temporary file becomes "0: " and its cause, a spent work budget
// its own message.
class LoadModel final : public ErrorReporter, public StorageErrorSink, public WorkLimitSink {
  public:
    LoadModel(SceneConsumer& consumer, ErrorReporter& reporter);
    ~LoadModel();
    LoadModel(const LoadModel&) = delete;
    LoadModel& operator=(const LoadModel&) = delete;

    void reportError(const char* text) override { m_reporter.reportError(text); }
    bool isStopped() const override { return m_reporter.isStopped(); }
    void storageFailed(const std::string& cause) override;
    void workLimitReached(const char* message) override { reportError(message); }
    // The parser read `bytes` more of the document: the work budgets grow with it.
    void inputRead(std::uint64_t bytes);

    // Scope levels: a child of the current scope becomes current / the current one is left.
    bool enterScope();
    void leaveScope();

    // The tags of a container's children so far; for object and include, the open frame's.
    PoolVector<std::int32_t>& childTagsOf(ParseContext context);

    // Records the path ID of the object or include that is ending with its parent
    // (the frame below it, or the world); false when a sibling already has it.
    bool claimSiblingPathId(std::int32_t pathId);

    // The node of the innermost open object or include; null outside them or when
    // it was not made.
    ObjectRecord* openObject() const;

    // Levels of definition scopes walked by lookups, and objects and meshes the world
    // draws per frame; both grow with the input (see the constants in load_model.cpp).
    WorkBudget lookupBudget;
    WorkBudget instanceBudget;
    SceneConsumer& consumer;
    SceneBuilder builder;
    DefinitionScope* scope = nullptr;  // the innermost; holds one counted reference
    std::unique_ptr<WorldRecord> world;
    std::unordered_set<std::int32_t> worldChildPathIds;
    MeshBuild mesh;                           // the mesh being read
    std::vector<ObjectFrame> objectFrames;    // pushed and popped by the parser core
    PoolVector<std::int32_t> lightChildTags;  // of the open "directionallight"
    std::array<PoolVector<std::int32_t>, kContextSlots> childTags;
    WorldState worldState;
    GeometryState geometryState;
    AppearanceState appearanceState;
    IncludeState includeState;
    char errorText[1000] = {};  // a composed message; valid until the next one

  private:
    ErrorReporter& m_reporter;
};

}  // namespace tessaro
