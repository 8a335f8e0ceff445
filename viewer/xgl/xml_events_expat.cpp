// The event seam over expat.
#include <expat.h>

#include <new>

#include "xgl/xml_events.h"

namespace tessaro {
namespace {

// An exception must not unwind through expat's C frames: running out of memory
// anywhere below an event is handed to the handler instead.
template <typename Event>
void guarded(void* user, Event event) noexcept {
    auto& handler = *static_cast<XmlEventHandler*>(user);
    try {
        event(handler);
    } catch (const std::bad_alloc&) {
        handler.outOfMemory();
    }
}

void XMLCALL onStart(void* user, const XML_Char* name, const XML_Char** attributes) {
    guarded(user, [&](XmlEventHandler& handler) { handler.startElement(name, attributes); });
}

void XMLCALL onEnd(void* user, const XML_Char* name) {
    guarded(user, [&](XmlEventHandler& handler) { handler.endElement(name); });
}

void XMLCALL onText(void* user, const XML_Char* text, int length) {
    guarded(user, [&](XmlEventHandler& handler) { handler.characterData(text, length); });
}

class ExpatEventParser final : public XmlEventParser {
  public:
    explicit ExpatEventParser(XML_Parser parser) : m_parser(parser) {}
    ~ExpatEventParser() override { XML_ParserFree(m_parser); }
    ExpatEventParser(const ExpatEventParser&) = delete;
    ExpatEventParser& operator=(const ExpatEventParser&) = delete;

    bool feed(const char* data, std::uint32_t length, bool last) override {
        return XML_Parse(m_parser, data, static_cast<int>(length), last ? 1 : 0) !=
               XML_STATUS_ERROR;
    }
    int currentLine() const override {
        return static_cast<int>(XML_GetCurrentLineNumber(m_parser));
    }
    const char* errorText() const override { return XML_ErrorString(XML_GetErrorCode(m_parser)); }

  private:
    XML_Parser m_parser;
};

}  // namespace

std::unique_ptr<XmlEventParser> createXmlEventParser(XmlEventHandler& handler) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (parser == nullptr) return nullptr;
    auto* events = new (std::nothrow) ExpatEventParser(parser);
    if (events == nullptr) {
        XML_ParserFree(parser);
        return nullptr;
    }
    XML_SetUserData(parser, &handler);
    XML_SetElementHandler(parser, onStart, onEnd);
    XML_SetCharacterDataHandler(parser, onText);
    return std::unique_ptr<XmlEventParser>(events);
}

}  // namespace tessaro
