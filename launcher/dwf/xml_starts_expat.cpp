#include <expat.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "dwf/xml_starts.h"

namespace plotwick::internal {
namespace {

struct ParseState {
    const XmlStartHandler* handler;
    XML_Parser parser;
    bool outOfMemory = false;
    bool declaresType = false;
};

std::string localName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon != nullptr ? colon + 1 : name;
}

// Called from inside expat: nothing may unwind through its frames, so an exception
// (memory ran out building the attributes or in the handler) stops the parse instead.
void onStart(void* data, const XML_Char* name, const XML_Char** attributes) noexcept {
    auto& state = *static_cast<ParseState*>(data);
    try {
        XmlAttributes map;
        for (int i = 0; attributes[i] != nullptr; i += 2) {
            map[localName(attributes[i])] = attributes[i + 1];
        }
        (*state.handler)(localName(name), map);
    } catch (...) {
        state.outOfMemory = true;
        XML_StopParser(state.parser, XML_FALSE);
    }
}

// Package XML never declares a document type; one that does could define entities that
// expand a few bytes into millions of elements, so the parse stops before any is read.
void onDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) noexcept {
    auto& state = *static_cast<ParseState*>(data);
    state.declaresType = true;
    XML_StopParser(state.parser, XML_FALSE);
}

}  // namespace

bool readXmlStarts(std::string_view xml, const XmlStartHandler& handler, std::string& error) {
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate(nullptr),
                                                                        &XML_ParserFree);
    if (!parser) {
        error = "out of memory";
        return false;
    }
    ParseState state{&handler, parser.get()};
    XML_SetUserData(parser.get(), &state);
    XML_SetStartElementHandler(parser.get(), onStart);
    XML_SetStartDoctypeDeclHandler(parser.get(), onDoctype);
    const bool parsed = xml.size() <= static_cast<std::size_t>(INT32_MAX) &&
                        XML_Parse(parser.get(), xml.data(), static_cast<int>(xml.size()),
                                  XML_TRUE) == XML_STATUS_OK;
    if (state.declaresType) {
        error = "a document type declaration (which package XML does not have) at line " +
                std::to_string(XML_GetCurrentLineNumber(parser.get()));
        return false;
    }
    if (state.outOfMemory) {
        error = "out of memory at line " + std::to_string(XML_GetCurrentLineNumber(parser.get()));
        return false;
    }
    if (!parsed) {
        error = std::string(XML_ErrorString(XML_GetErrorCode(parser.get()))) + " at line " +
                std::to_string(XML_GetCurrentLineNumber(parser.get()));
        return false;
    }
    return true;
}

}  // namespace plotwick::internal
