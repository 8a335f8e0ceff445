#include "xmllite/xmllite_reader.h"

#include <string>

namespace tessaro {
namespace {

using CreateReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// Only the system's own copy: a bare name would also be looked for in the program's
// and the current folder, where anyone who can put a file there would be loaded.
HMODULE loadSystemXmlLite() {
    HMODULE library = LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library != nullptr) return library;
    // Windows without the safe search flags: the full path of the system folder.
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    return LoadLibraryW((std::wstring(folder, length) + L"\\xmllite.dll").c_str());
}

CreateReader readerFactory() {
    static const HMODULE library = loadSystemXmlLite();
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
