// The package reader's XML parser on Windows: the system's XmlLite over the package
// part held in memory.
#include <shlwapi.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "dwf/xml_starts.h"
#include "xmllite/xmllite_reader.h"

namespace plotwick::internal {
namespace {

using tessaro::ComPtr;

std::string utf8Of(const WCHAR* text, UINT length) {
    std::string utf8;
    tessaro::appendUtf8(text, length, utf8);
    return utf8;
}

ComPtr<IXmlReader> readerOver(std::string_view xml, std::string& error) {
    ComPtr<IXmlReader> owned = tessaro::createXmlLiteReader();
    if (!owned) {
        error = "the system's XML reader (xmllite.dll) is not available";
        return nullptr;
    }
    ComPtr<IStream> stream(SHCreateMemStream(reinterpret_cast<const BYTE*>(xml.data()),
                                             static_cast<UINT>(xml.size())));
    if (!stream || FAILED(owned->SetInput(stream.get()))) {
        error = "out of memory";
        return nullptr;
    }
    return owned;
}

void reportElement(IXmlReader& reader, const XmlStartHandler& handler) {
    const WCHAR* text = nullptr;
    UINT length = 0;
    reader.GetLocalName(&text, &length);
    const std::string name = utf8Of(text, length);
    XmlAttributes attributes;
    for (HRESULT at = reader.MoveToFirstAttribute(); at == S_OK;
         at = reader.MoveToNextAttribute()) {
        reader.GetLocalName(&text, &length);
        std::string key = utf8Of(text, length);
        reader.GetValue(&text, &length);
        attributes[std::move(key)] = utf8Of(text, length);
    }
    reader.MoveToElement();
    handler(name, attributes);
}

// The wording of the Linux build's parser where the cause is the same: the text ended
// before the document did (or held no element at all).
std::string errorText(HRESULT status) {
    constexpr HRESULT kInputEnded = static_cast<HRESULT>(0xC00CEE01);
    if (SUCCEEDED(status) || status == kInputEnded) return "no element found";
    char code[16];
    std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(status));
    return std::string("not well-formed (XmlLite error 0x") + code + ")";
}

}  // namespace

// The reader never throws, as with expat: memory running out while names and
// attributes are copied, or in the handler, ends the parse with a message.
bool readXmlStarts(std::string_view xml, const XmlStartHandler& handler, std::string& error) try {
    if (xml.size() > INT32_MAX) {
        error = "document too large";
        return false;
    }
    const ComPtr<IXmlReader> reader = readerOver(xml, error);
    if (!reader) return false;
    XmlNodeType type = XmlNodeType_None;
    HRESULT status = S_OK;
    bool sawElement = false;
    while ((status = reader->Read(&type)) == S_OK) {
        if (type != XmlNodeType_Element) continue;
        sawElement = true;
        reportElement(*reader, handler);
    }
    if (SUCCEEDED(status) && sawElement) return true;
    UINT line = 0;
    reader->GetLineNumber(&line);
    error = errorText(status) + " at line " + std::to_string(std::max(line, 1u));
    return false;
} catch (...) {
    error = "out of memory";
    return false;
}

}  // namespace plotwick::internal
