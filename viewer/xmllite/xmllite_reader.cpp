#include "xmllite/xmllite_reader.h"

namespace tessaro {
namespace {

using CreateReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

CreateReader readerFactory() {
    static const HMODULE library = LoadLibraryA("xmllite.dll");
    if (library == nullptr) return nullptr;
    return reinterpret_cast<CreateReader>(
        reinterpret_cast<void*>(GetProcAddress(library, "CreateXmlReader")));
}

}  // namespace

ComPtr<IXmlReader> createXmlLiteReader() {
    const CreateReader create = readerFactory();
    IXmlReader* reader = nullptr;
    if (create == nullptr ||
        FAILED(create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader), nullptr)))
        return nullptr;
    ComPtr<IXmlReader> owned(reader);
    if (FAILED(owned->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)))
        return nullptr;
    return owned;
}

void appendUtf8(const WCHAR* text, UINT length, std::string& out) {
    if (length == 0) return;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data() + at, size, nullptr,
                        nullptr);
}

}  // namespace tessaro
