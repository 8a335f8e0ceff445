// Linked into a copy of the parser tests to collect the documents they parse: every
// block handed to expat is kept per parser, and when the parser is freed the whole
// document is written to $TESSARO_TAP_DIR, named by a hash of its bytes, as a plain
// fuzz input (mode byte 0 followed by the document). Documents of more than
// TESSARO_TAP_MAX_BYTES (default 20000) bytes are left out. The linker's --wrap
// option routes the library's calls here.
#include <expat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

extern "C" {
enum XML_Status __real_XML_Parse(XML_Parser parser, const char* s, int len, int isFinal);
void __real_XML_ParserFree(XML_Parser parser);
}

namespace {

std::map<XML_Parser, std::string>& documents() {
    static std::map<XML_Parser, std::string> byParser;
    return byParser;
}

std::uint64_t fnv1a(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

void save(const std::string& document) {
    const char* folder = std::getenv("TESSARO_TAP_DIR");
    const char* limitText = std::getenv("TESSARO_TAP_MAX_BYTES");
    const std::size_t limit = limitText ? std::strtoul(limitText, nullptr, 10) : 20000;
    if (folder == nullptr || document.empty() || document.size() > limit) return;
    char name[32];
    std::snprintf(name, sizeof name, "/test-%016llx",
                  static_cast<unsigned long long>(fnv1a(document)));
    std::FILE* file = std::fopen((std::string(folder) + name).c_str(), "wb");
    if (file == nullptr) return;
    std::fputc(0, file);
    std::fwrite(document.data(), 1, document.size(), file);
    std::fclose(file);
}

}  // namespace

extern "C" enum XML_Status __wrap_XML_Parse(XML_Parser parser, const char* s, int len,
                                            int isFinal) {
    if (s != nullptr && len > 0) documents()[parser].append(s, static_cast<std::size_t>(len));
    return __real_XML_Parse(parser, s, len, isFinal);
}

extern "C" void __wrap_XML_ParserFree(XML_Parser parser) {
    auto found = documents().find(parser);
    if (found != documents().end()) {
        save(found->second);
        documents().erase(found);
    }
    __real_XML_ParserFree(parser);
}
