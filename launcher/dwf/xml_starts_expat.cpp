#include <expat.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "dwf/xml_starts.h"

namespace plotwick::internal {
namespace {

std::string localName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon != nullptr ? colon + 1 : name;
}

void onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    XmlAttributes map;
    for (int i = 0; attributes[i] != nullptr; i += 2) {
        map[localName(attributes[i])] = attributes[i + 1];
    }
    (*static_cast<const XmlStartHandler*>(data))(localName(name), map);
}

}  // namespace

bool readXmlStarts(std::string_view xml, const XmlStartHandler& handler, std::string& error) {
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate(nullptr),
                                                                        &XML_ParserFree);
    if (!parser) {
        error = "out of memory";
        return false;
    }
    XML_SetUserData(parser.get(), const_cast<XmlStartHandler*>(&handler));
    XML_SetStartElementHandler(parser.get(), onStart);
    if (xml.size() > static_cast<std::size_t>(INT32_MAX) ||
        XML_Parse(parser.get(), xml.data(), static_cast<int>(xml.size()), XML_TRUE) !=
            XML_STATUS_OK) {
        error = std::string(XML_ErrorString(XML_GetErrorCode(parser.get()))) + " at line " +
                std::to_string(XML_GetCurrentLineNumber(parser.get()));
        return false;
    }
    return true;
}

}  // namespace plotwick::internal
