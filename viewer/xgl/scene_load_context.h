// The parser core of one load: the XML events, the context stack and the leaf text. It maps
// names to tags, decides with the tables of parse_contexts.h which child is allowed
// where (61 otherwise, unknown names skipped), joins leaf text, raises the needs-data
// messages and hands every event, as a LoadEvent, to the rule group that owns the
// context, which fills the LoadModel. One context reads one document through one call
// of parse().
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "scene/pool_vector.h"
#include "scene/scene_consumer.h"
#include "xgl/input_stream.h"
#include "xgl/load_model.h"
#include "xgl/load_result.h"
#include "xgl/messages.h"
#include "xgl/parse_contexts.h"
#include "xgl/tags.h"
#include "xgl/xml_events.h"

namespace tessaro {

class SceneLoadContext final : public ErrorReporter, public XmlEventHandler {
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
    // Memory ran out below a callback: the parse stops with kNotEnoughMemory.
    void outOfMemory() noexcept override;

    // Parser state and the model it fills, for tests.
    ParseContext context() const { return m_context; }
    std::uint32_t contextDepth() const { return m_contextStack.count(); }
    std::uint32_t skipDepth() const { return m_skipDepth; }
    const PoolVector<char>& textBuffer() const { return m_textBuffer; }
    const LoadModel& model() const { return m_model; }
    LoadModel& model() { return m_model; }

    // The XML parser's events.
    void startElement(const char* name, const char** attributes) override;
    void endElement(const char* name) override;
    void characterData(const char* text, int length) override;

  private:
    void resetParserState();
    LoadResult result() const noexcept;
    bool feedBlocks(InputStream& stream, XmlEventParser& parser);
    void reportSyntaxError(const XmlEventParser& parser);

    void startInContext(TagId tag, const char** attributes);
    void startChild(TagId tag, ChildRule rule, const char** attributes);
    void enterContext(ParseContext next, TagId tag);
    void leaveContext();
    void endInContext(TagId tag);
    void endChild(TagId tag, ChildKind kind);
    void dispatchText();
    void recordChildTag(TagId tag);
    bool collectsText() const;

    // The context a container was entered from (document at the bottom).
    ParseContext parentContext() const;
    std::int32_t& leafKind() { return m_leafKind[contextSlot(m_context)]; }

    // Hand each event to the rules that own the context it happens in.
    void ruleEnter(TagId tag, const char** attributes);
    void ruleLeafStart(TagId tag, const char** attributes);
    void ruleText(TagId leaf, const char* text);
    void ruleLeafEnd(TagId tag);
    void ruleLeave(TagId tag);
    LoadEvent eventAt(TagId tag) const;

    SceneConsumer& m_consumer;
    StreamErrorSink* m_sink = nullptr;
    XmlEventParser* m_parser = nullptr;    // during parse(), for the line of a message
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
    bool m_stopped = false;

    LoadModel m_model;  // what the element rules fill
};

// Opens the document `fileName` with the stream chain its extension selects; null,
// with `result` saying why (status cannotOpen), when the name is not .xgl/.zgl or
// the file cannot be opened.
std::unique_ptr<InputStream> openDocument(const char* fileName, LoadResult& result);

// Opens the document once and parses it, reporting to `consumer`. A document that
// cannot be opened reports nothing to the consumer.
LoadResult loadDocument(const char* fileName, SceneConsumer& consumer);

}  // namespace tessaro
