#include <iconv.h>

#include <cerrno>
#include <string>

#include "dwf/code_page.h"

namespace plotwick::internal {
namespace {

struct Converter {
    explicit Converter(int codePage)
        : handle(iconv_open("UTF-16LE", ("CP" + std::to_string(codePage)).c_str())) {}
    ~Converter() {
        if (known()) iconv_close(handle);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool known() const { return handle != reinterpret_cast<iconv_t>(-1); }
    iconv_t handle;
};

}  // namespace

std::u16string fromCodePage(const std::u16string& bytes, int codePage) {
    std::string in(bytes.begin(), bytes.end());
    Converter converter(codePage);
    if (!converter.known()) return bytes;
    std::u16string text;
    char* from = in.data();
    std::size_t left = in.size();
    // UTF-16 never takes more units than the input has bytes, plus the replacements.
    std::u16string out(in.size() + 1, u'\0');
    while (left > 0) {
        char* to = reinterpret_cast<char*>(out.data());
        std::size_t room = out.size() * 2;
        const std::size_t result = iconv(converter.handle, &from, &left, &to, &room);
        text.append(out.data(), (out.size() * 2 - room) / 2);
        if (result != std::size_t(-1)) break;
        if (errno == E2BIG) continue;
        // A byte the code page cannot start or finish a character with.
        text.push_back(u'\uFFFD');
        ++from;
        --left;
        iconv(converter.handle, nullptr, nullptr, nullptr, nullptr);
    }
    return text;
}

}  // namespace plotwick::internal
