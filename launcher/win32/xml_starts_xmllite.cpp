// The package reader's XML parser on Windows: the system's XmlLite, loaded at run time
// because mingw-w64 ships no import library for it.
#include <shlwapi.h>
#include <windows.h>
#include <xmllite.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "dwf/xml_starts.h"

namespace plotwick::internal {
namespace {

using CreateReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using ComPtr = std::unique_ptr<T, ComRelease>;

std::string utf8Of(const WCHAR* text, UINT length) {
    if (length == 0) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), size, nullptr,
                        nullptr);
    return utf8;
}

CreateReader readerFactory() {
    static const HMODULE library = LoadLibraryA("xmllite.dll");
    if (library == nullptr) return nullptr;
    return reinterpret_cast<CreateReader>(
        reinterpret_cast<void*>(GetProcAddress(library, "CreateXmlReader")));
}

ComPtr<IXmlReader> readerOver(std::string_view xml, std::string& error) {
    const CreateReader create = readerFactory();
    IXmlReader* reader = nullptr;
    if (create == nullptr ||
        FAILED(create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader), nullptr))) {
        error = "the system's XML reader (xmllite.dll) is not available";
        return nullptr;
    }
    ComPtr<IXmlReader> owned(reader);
    ComPtr<IStream> stream(SHCreateMemStream(reinterpret_cast<const BYTE*>(xml.data()),
                                             static_cast<UINT>(xml.size())));
    // No document type processing: a package has none, and it cannot blow up entities.
    if (!stream ||
        FAILED(owned->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
        FAILED(owned->SetInput(stream.get()))) {
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

bool readXmlStarts(std::string_view xml, const XmlStartHandler& handler, std::string& error) {
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
}

}  // namespace plotwick::internal
