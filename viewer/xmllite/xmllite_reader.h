// The system's XmlLite for the Windows programs' XML readers: one place that loads
// xmllite.dll (at run time, because mingw-w64 ships no import library for it) and
// makes readers, and the UTF-16 to UTF-8 conversion both readers hand on.
#pragma once

#include <windows.h>
#include <xmllite.h>

#include <memory>
#include <string>

namespace tessaro {

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using ComPtr = std::unique_ptr<T, ComRelease>;

// A new reader with document types refused (no format read with it has one, and
// entities could blow up); null when the system has no xmllite.dll or memory ran out.
ComPtr<IXmlReader> createXmlLiteReader();

// Appends the UTF-8 form of `length` UTF-16 units to `out`.
void appendUtf8(const WCHAR* text, UINT length, std::string& out);

}  // namespace tessaro
