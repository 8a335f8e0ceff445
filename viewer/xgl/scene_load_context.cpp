#include "xgl/scene_load_context.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace tessaro {

namespace {

constexpr std::int32_t kNoLeaf = -1;

// A load that ran out of memory before it could parse; the consumer is told as
// it would be of any other first message.
LoadResult notEnoughMemory(SceneConsumer& consumer) noexcept {
    LoadResult result;
    result.status = LoadStatus::invalid;
    try {
        consumer.showError(kNotEnoughMemory);
        result.message = kNotEnoughMemory;
    } catch (const std::bad_alloc&) {
    }
    return result;
}

}  // namespace

SceneLoadContext::SceneLoadContext(SceneConsumer& consumer)
    : m_consumer(consumer), m_model(consumer, *this) {
    m_leafKind.fill(kNoLeaf);
}

SceneLoadContext::~SceneLoadContext() = default;

// ---- parse and error path ----

LoadResult SceneLoadContext::parse(InputStream& stream, StreamErrorSink* sink) {
    m_sink = sink;
    m_stopped = false;
    m_firstMessage = nullptr;
    m_firstMessageLine = 0;
    const std::unique_ptr<XmlEventParser> parser = createXmlEventParser(*this);
    if (parser) {
        m_parser = parser.get();
        resetParserState();
        try {
            feedBlocks(stream, *parser);  // the streams allocate between events
        } catch (const std::bad_alloc&) {
            outOfMemory();
        }
        m_parser = nullptr;
    } else {
        reportError(kNotEnoughMemory);
    }
    m_stopped = true;
    return result();
}

// Built once the parse has returned, so that no callback allocates for it. Without
// memory for the message's copy, the result is invalid without its text; the
// consumer was shown it all the same.
LoadResult SceneLoadContext::result() const noexcept {
    LoadResult result;
    if (m_firstMessage != nullptr) {
        result.status = LoadStatus::invalid;
        result.line = m_firstMessageLine;
        try {
            result.message = m_firstMessage;
        } catch (const std::bad_alloc&) {
        }
    }
    return result;
}

void SceneLoadContext::outOfMemory() noexcept {
    try {
        reportError(kNotEnoughMemory);
    } catch (const std::bad_alloc&) {
        // The consumer could not keep the text; the load is stopped all the same.
    }
}

void SceneLoadContext::resetParserState() {
    m_textFresh = true;
    m_endClosesLastStart = false;
    m_context = ParseContext::document;
    m_contextStack.clear();
    m_skipDepth = 0;
    m_needsData = false;
    m_leafKind.fill(kNoLeaf);
    m_model.objectFrames.clear();
}

// Feeds the stream to the XML parser block by block. After a validation message the
// rest is still read and syntax-checked, but the events are ignored.
bool SceneLoadContext::feedBlocks(InputStream& stream, XmlEventParser& parser) {
    bool more = true;
    while (more) {
        std::uint32_t length = 0;
        const std::uint8_t* data = nullptr;
        if (!stream.read(more, length, data, m_sink)) {
            reportError(kErrorReadingFile);
            return false;
        }
        const auto* bytes = reinterpret_cast<const char*>(data);
        m_model.inputRead(length);
        if (!parser.feed(bytes, length, !more)) {
            reportSyntaxError(parser);
            return false;
        }
    }
    return true;
}

// Composed in the model's message buffer, which every composed message shares.
void SceneLoadContext::reportSyntaxError(const XmlEventParser& parser) {
    char* text = m_model.errorText;
    std::snprintf(text, sizeof m_model.errorText, kSyntaxErrorFormat,
                  messageText(Message::parseError), parser.errorText(), parser.currentLine());
    reportError(text);
}

// The load is stopped before the consumer sees the text, so that a consumer that
// runs out of memory keeping it cannot make a second message.
void SceneLoadContext::reportError(const char* text) {
    if (m_stopped) return;
    m_stopped = true;
    m_firstMessage = text;
    if (m_parser != nullptr) m_firstMessageLine = m_parser->currentLine();
    m_consumer.showError(text);
}

ParseContext SceneLoadContext::parentContext() const {
    return m_contextStack.empty() ? ParseContext::document
                                  : static_cast<ParseContext>(m_contextStack.top());
}

// ---- element starts ----

void SceneLoadContext::startElement(const char* name, const char** attributes) {
    const TagId tag = lookupTag(name);
    m_lastStartTag = tag;
    m_endClosesLastStart = true;
    if (tag == TagId::invalid) raise(Message::tagNameTooLong);
    m_textFresh = true;  // text that stood in the parent before this tag is dropped
    if (m_stopped) return;
    startInContext(tag, attributes);
}

void SceneLoadContext::startInContext(TagId tag, const char** attributes) {
    if (m_context == ParseContext::skip) {
        ++m_skipDepth;
        return;
    }
    const ChildRule rule = childRule(m_context, tag);
    if (contextProperties(m_context).countsChildren) recordChildTag(tag);
    switch (rule.kind) {
        case ChildKind::notAllowed:
            raise(Message::tagInappropriate);
            return;
        case ChildKind::skip:
            enterContext(ParseContext::skip, tag);
            m_skipDepth = 1;
            return;
        default:
            startChild(tag, rule, attributes);
    }
}

void SceneLoadContext::startChild(TagId tag, ChildRule rule, const char** attributes) {
    switch (rule.kind) {
        case ChildKind::container:
            enterContext(rule.enters, tag);
            break;
        case ChildKind::textLeaf:
            leafKind() = static_cast<std::int32_t>(tag);
            m_needsData = true;
            break;
        case ChildKind::leaf:
            leafKind() = static_cast<std::int32_t>(tag);
            break;
        case ChildKind::marker:
            if (tag == TagId::directionallight) m_model.lightChildTags.clear();
            break;
        default:
            break;
    }
    if (rule.kind == ChildKind::container) {
        ruleEnter(tag, attributes);
    } else {
        ruleLeafStart(tag, attributes);
    }
}

void SceneLoadContext::enterContext(ParseContext next, TagId /*tag*/) {
    m_contextStack.append(static_cast<std::int32_t>(m_context));
    m_context = next;
    if (next == ParseContext::skip) return;
    if (next == ParseContext::object || next == ParseContext::include) {
        m_model.objectFrames.emplace_back();
    } else {
        m_model.childTagsOf(next).clear();
    }
    leafKind() = kNoLeaf;
}

void SceneLoadContext::leaveContext() {
    if (m_context == ParseContext::object || m_context == ParseContext::include) {
        m_model.objectFrames.pop_back();
    }
    m_context = static_cast<ParseContext>(m_contextStack.pop());
}

void SceneLoadContext::recordChildTag(TagId tag) {
    const bool lightChild =
        m_context == ParseContext::lighting &&
        (tag == TagId::direction || tag == TagId::diffuse || tag == TagId::specular);
    PoolVector<std::int32_t>& list =
        lightChild ? m_model.lightChildTags : m_model.childTagsOf(m_context);
    list.append(static_cast<std::int32_t>(tag));
}

// ---- text ----

// Only the text of an open leaf can be read, so text elsewhere is not kept: memory
// follows the longest leaf text, not the size of the document.
bool SceneLoadContext::collectsText() const {
    if (m_context == ParseContext::document || m_context == ParseContext::skip) return false;
    return m_leafKind[contextSlot(m_context)] != kNoLeaf;
}

void SceneLoadContext::characterData(const char* text, int length) {
    if (m_stopped) return;
    const bool fresh = m_textFresh;
    m_textFresh = false;
    if (!collectsText()) return;
    const std::uint32_t keep = fresh ? 0 : m_textBuffer.count() - 1;  // drop the old NUL
    if (!m_textBuffer.setCount(std::uint64_t{keep} + static_cast<std::uint32_t>(length) + 1)) {
        reportError("0: Element text too large to hold in memory");
        return;
    }
    std::memcpy(m_textBuffer.data() + keep, text, static_cast<std::size_t>(length));
    m_textBuffer[keep + static_cast<std::uint32_t>(length)] = '\0';
}

void SceneLoadContext::dispatchText() {
    m_needsData = false;
    if (!collectsText() || m_textBuffer.empty()) return;
    ruleText(static_cast<TagId>(leafKind()), m_textBuffer.data());
}

// ---- element ends ----

void SceneLoadContext::endElement(const char* name) {
    // An end that follows its own start (every leaf) closes the element that start
    // opened, as the XML parser accepts only well-formed documents; its name need not be
    // looked up a second time.
    const TagId tag = m_endClosesLastStart ? m_lastStartTag : lookupTag(name);
    m_endClosesLastStart = false;
    if (!m_textFresh && !m_stopped) dispatchText();
    m_textFresh = true;
    if (m_stopped) return;
    endInContext(tag);
}

void SceneLoadContext::endInContext(TagId tag) {
    if (m_context == ParseContext::skip) {
        if (--m_skipDepth == 0) leaveContext();
        return;
    }
    if (m_context == ParseContext::document) return;
    if (m_needsData) {
        if (const std::optional<Message> message = contextProperties(m_context).needsData) {
            raise(*message);
            return;
        }
        // A "data" block has no such message: its empty strings are valid, and the
        // flag must not leak into the enclosing element's check.
        m_needsData = false;
    }
    const ChildKind kind = childRule(m_context, tag).kind;
    if (kind == ChildKind::textLeaf || kind == ChildKind::leaf || kind == ChildKind::marker) {
        endChild(tag, kind);
        return;
    }
    ruleLeave(tag);
    if (!m_stopped) leaveContext();
}

void SceneLoadContext::endChild(TagId tag, ChildKind kind) {
    ruleLeafEnd(tag);
    if (kind != ChildKind::marker) leafKind() = kNoLeaf;
}

// ---- element rules ----
// The parser core above owns nesting, child lists, leaf text and the needs-data
// checks; each group of rules adds what its elements do to the scene model.

namespace {

RuleGroup ruleGroupOf(ParseContext context) {
    return contextProperties(context).rules;
}

// Images and world-level texture coordinates are leaves of several contexts; their
// rules stay with the elements they define.
RuleGroup leafGroupOf(ParseContext context, TagId tag) {
    if (tag == TagId::texturergb || tag == TagId::texturergba) return RuleGroup::appearance;
    if (tag == TagId::tc && context == ParseContext::world) return RuleGroup::geometry;
    return ruleGroupOf(context);
}

// Calls the same static operation of the given group.
template <typename Call>
void dispatchTo(RuleGroup group, Call call) {
    switch (group) {
        case RuleGroup::world:
            call(WorldRules{});
            break;
        case RuleGroup::geometry:
            call(GeometryRules{});
            break;
        case RuleGroup::appearance:
            call(AppearanceRules{});
            break;
        case RuleGroup::include:
            call(IncludeRules{});
            break;
        case RuleGroup::none:
            break;
    }
}

}  // namespace

LoadEvent SceneLoadContext::eventAt(TagId tag) const {
    LoadEvent event;
    event.context = m_context;
    event.parent = parentContext();
    event.tag = tag;
    return event;
}

void SceneLoadContext::ruleEnter(TagId tag, const char** attributes) {
    LoadEvent event = eventAt(tag);
    event.attributes = attributes;
    dispatchTo(ruleGroupOf(m_context), [&](auto rules) { rules.enter(m_model, event); });
}

void SceneLoadContext::ruleLeafStart(TagId tag, const char** attributes) {
    LoadEvent event = eventAt(tag);
    event.attributes = attributes;
    dispatchTo(leafGroupOf(m_context, tag), [&](auto rules) { rules.leafStart(m_model, event); });
}

void SceneLoadContext::ruleText(TagId leaf, const char* text) {
    LoadEvent event = eventAt(leaf);
    event.text = text;
    dispatchTo(leafGroupOf(m_context, leaf), [&](auto rules) { rules.text(m_model, event); });
}

void SceneLoadContext::ruleLeafEnd(TagId tag) {
    const LoadEvent event = eventAt(tag);
    dispatchTo(leafGroupOf(m_context, tag), [&](auto rules) { rules.leafEnd(m_model, event); });
}

void SceneLoadContext::ruleLeave(TagId tag) {
    const LoadEvent event = eventAt(tag);
    dispatchTo(ruleGroupOf(m_context), [&](auto rules) { rules.leave(m_model, event); });
}

// ---- loading a named document ----

std::unique_ptr<InputStream> openDocument(const char* fileName, LoadResult& result) {
    result = LoadResult{};
    if (!hasDocumentExtension(fileName)) {
        result.status = LoadStatus::cannotOpen;
        result.message = "not an XGL document (expected .xgl or .zgl)";
        return nullptr;
    }
    std::unique_ptr<InputStream> stream = openDocumentStream(fileName, nullptr);
    if (!stream) {
        result.status = LoadStatus::cannotOpen;
        result.systemError = errno;
        result.message = std::string("cannot open: ") + std::strerror(result.systemError);
    }
    return stream;
}

LoadResult loadDocument(const char* fileName, SceneConsumer& consumer) {
    try {
        LoadResult result;
        std::unique_ptr<InputStream> stream = openDocument(fileName, result);
        if (!stream) return result;
        SceneLoadContext context(consumer);
        return context.parse(*stream, nullptr);
    } catch (const std::bad_alloc&) {
        return notEnoughMemory(consumer);
    }
}

}  // namespace tessaro
