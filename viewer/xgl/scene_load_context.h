// The state of one load: the XML-driven parser with its context state machine,
// and (with the element rules) the scene model it fills. One context reads one
// document through one call of parse().
//
// How element rules are called. The core maps names to tags, decides with the
// tables of parse_contexts.h which child is allowed where (61 otherwise, unknown
// names skipped), joins leaf text, raises the needs-data messages and hands every
// event to the rule group that owns the context, through its static functions:
//  - enter(load, tag, attrs): a container started and its context was entered
//    (m_context is the new one, parentContext() the one it was entered from);
//  - leafStart(load, tag, attrs): a leaf or marker ("patch", "directionallight",
//    "extgeomelem") started in the current context;
//  - text(load, leaf, text): the open leaf's joined, NUL-terminated text, just
//    before its end, when it has any;
//  - leafEnd(load, tag): a leaf or marker ended (a missing text was already
//    reported by the core);
//  - leave(load, tag): the container's own element ends; the core pops the
//    context afterwards unless the parse stopped.
// Each context's row in parse_contexts.cpp names its group. The leaves "texturergb" and
// "texturergba" go to AppearanceRules in every context, "tc" in the world to
// GeometryRules. The rule classes are friends and use the members below directly:
// childTagsOf(context) (for object and include, the current frame's list),
// m_lightChildTags, m_scope with enterScope()/leaveScope(), m_builder, m_world,
// m_objectFrames (pushed and popped by the core; the rules create `node`),
// m_mesh, m_consumer, m_errorText, and raise()/reportError().
#pragma once

#include <array>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "scene/definition_scope.h"
#include "scene/mesh_build.h"
#include "scene/pool_vector.h"
#include "scene/scene_builder.h"
#include "scene/scene_consumer.h"
#include "xgl/appearance_rules.h"
#include "xgl/geometry_rules.h"
#include "xgl/include_rules.h"
#include "xgl/input_stream.h"
#include "xgl/load_result.h"
#include "xgl/messages.h"
#include "xgl/parse_contexts.h"
#include "xgl/tags.h"
#include "xgl/world_rules.h"

struct XML_ParserStruct;  // expat

namespace tessaro {

// What the parser keeps for each open object or included object.
struct ObjectFrame {
    PoolVector<std::int32_t> childTags;
    std::unique_ptr<ObjectRecord> node;
    std::unordered_set<std::int32_t> childPathIds;  // of the objects and includes inside it
};

class SceneLoadContext final : public ErrorReporter, public StorageErrorSink {
  public:
    explicit SceneLoadContext(SceneConsumer& consumer);
    ~SceneLoadContext();
    SceneLoadContext(const SceneLoadContext&) = delete;
    SceneLoadContext& operator=(const SceneLoadContext&) = delete;

    // Reads the whole stream: loaded, or invalid with the first message, which has
    // then already reached the consumer's showError.
    LoadResult parse(InputStream& stream, StreamErrorSink* sink);

    // Passes the first text of a parse to the consumer and stops the parse.
    void reportError(const char* text) override;
    bool isStopped() const override { return m_stopped; }
    // A temporary file failed: the parse stops with "0: " and the cause.
    void storageFailed(const std::string& cause) override;
    // Memory ran out below a callback: the parse stops with kNotEnoughMemory.
    void outOfMemory() noexcept;

    // Parser state, for the element rules and for tests.
    ParseContext context() const { return m_context; }
    std::uint32_t contextDepth() const { return m_contextStack.count(); }
    std::uint32_t skipDepth() const { return m_skipDepth; }
    const PoolVector<char>& textBuffer() const { return m_textBuffer; }
    // The context a container was entered from (document at the bottom).
    ParseContext parentContext() const;
    // The innermost definition scope; null outside the world.
    DefinitionScope* scope() const { return m_scope; }

    // Raw expat callbacks forward here.
    void startElement(const char* name, const char** attributes);
    void endElement(const char* name);
    void characterData(const char* text, int length);

  private:
    void resetParserState();
    LoadResult result() const noexcept;
    bool feedBlocks(InputStream& stream, XML_ParserStruct* parser);
    void reportSyntaxError(XML_ParserStruct* parser);

    void startInContext(TagId tag, const char** attributes);
    void startChild(TagId tag, ChildRule rule, const char** attributes);
    void enterContext(ParseContext next, TagId tag);
    void leaveContext();
    void endInContext(TagId tag);
    void endChild(TagId tag, ChildKind kind);
    void dispatchText();
    void recordChildTag(TagId tag);
    bool collectsText() const;

    PoolVector<std::int32_t>& childTagsOf(ParseContext context);
    std::int32_t& leafKind() { return m_leafKind[contextSlot(m_context)]; }

    // Hand each event to the rules that own the context it happens in.
    void ruleEnter(TagId tag, const char** attributes);
    void ruleLeafStart(TagId tag, const char** attributes);
    void ruleText(TagId leaf, const char* text);
    void ruleLeafEnd(TagId tag);
    void ruleLeave(TagId tag);

    // Records the path ID of the object or include that is ending with its parent
    // (the frame below it, or the world); false when a sibling already has it.
    bool claimSiblingPathId(std::int32_t pathId);

    // Scope levels: a child of the current scope becomes current / the current one is left.
    bool enterScope();
    void leaveScope();
    void releaseScopes();

    friend class WorldRules;
    friend class GeometryRules;
    friend class GeometryAccess;
    friend class AppearanceRules;
    friend class IncludeRules;

    SceneConsumer& m_consumer;
    StreamErrorSink* m_sink = nullptr;
    XML_ParserStruct* m_parser = nullptr;  // during parse(), for the line of a message
    const char* m_firstMessage = nullptr;  // stays valid until parse() returns
    int m_firstMessageLine = 0;

    ParseContext m_context = ParseContext::document;
    PoolVector<std::int32_t> m_contextStack;
    std::uint32_t m_skipDepth = 0;
    bool m_textFresh = true;
    TagId m_lastStartTag = TagId::invalid;
    bool m_endClosesLastStart = false;  // no element started or ended since that start
    PoolVector<char> m_textBuffer;
    bool m_needsData = false;
    std::array<std::int32_t, kContextSlots> m_leafKind{};
    std::array<PoolVector<std::int32_t>, kContextSlots> m_childTags;
    PoolVector<std::int32_t> m_lightChildTags;
    std::vector<ObjectFrame> m_objectFrames;
    bool m_stopped = false;
    char m_errorText[1000] = {};

    // The scene model that the element rules fill.
    SceneBuilder m_builder;
    DefinitionScope* m_scope = nullptr;  // holds one counted reference
    std::unique_ptr<WorldRecord> m_world;
    std::unordered_set<std::int32_t> m_worldChildPathIds;
    MeshBuild m_mesh;  // the mesh being read
    WorldState m_worldState;
    GeometryState m_geometryState;
    AppearanceState m_appearanceState;
    IncludeState m_includeState;
};

// Opens the document `fileName` with the stream chain its extension selects; null,
// with `result` saying why (status cannotOpen), when the name is not .xgl/.zgl or
// the file cannot be opened.
std::unique_ptr<InputStream> openDocument(const char* fileName, LoadResult& result);

// Opens the document once and parses it, reporting to `consumer`. A document that
// cannot be opened reports nothing to the consumer.
LoadResult loadDocument(const char* fileName, SceneConsumer& consumer);

}  // namespace tessaro
