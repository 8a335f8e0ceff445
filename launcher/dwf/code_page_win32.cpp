#include <windows.h>

#include <string>

#include "dwf/code_page.h"

namespace plotwick::internal {

std::u16string fromCodePage(const std::u16string& bytes, int codePage) {
    const std::string in(bytes.begin(), bytes.end());
    if (in.empty() || !IsValidCodePage(static_cast<UINT>(codePage))) return bytes;
    const int length = static_cast<int>(in.size());
    const int units =
        MultiByteToWideChar(static_cast<UINT>(codePage), 0, in.data(), length, nullptr, 0);
    if (units <= 0) return bytes;
    std::u16string text(static_cast<std::size_t>(units), u'\0');
    MultiByteToWideChar(static_cast<UINT>(codePage), 0, in.data(), length,
                        reinterpret_cast<wchar_t*>(text.data()), units);
    return text;
}

}  // namespace plotwick::internal
