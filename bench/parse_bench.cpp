// Parse throughput of the parser core next to expat with empty handlers (the floor
// of any expat-based reader), on the same generated document, in the same run.
#include <expat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "xgl/scene_load_context.h"
#include "xgl_generator.h"

namespace {

class MemoryStream : public tessaro::InputStream {
  public:
    explicit MemoryStream(const std::string& text) : m_text(text) {}
    bool read(bool& more, std::uint32_t& length, const std::uint8_t*& data,
              tessaro::StreamErrorSink*) override {
        const std::size_t n =
            std::min<std::size_t>(tessaro::kStreamBlockSize, m_text.size() - m_pos);
        data = reinterpret_cast<const std::uint8_t*>(m_text.data() + m_pos);
        length = static_cast<std::uint32_t>(n);
        m_pos += n;
        more = m_pos < m_text.size();
        return true;
    }
    bool lastWriteTime(std::int64_t&) override { return false; }

  private:
    const std::string& m_text;
    std::size_t m_pos = 0;
};

void XMLCALL emptyStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL emptyEnd(void*, const XML_Char*) {}
void XMLCALL emptyText(void*, const XML_Char*, int) {}

bool expatFloor(const std::string& text) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetElementHandler(parser, emptyStart, emptyEnd);
    XML_SetCharacterDataHandler(parser, emptyText);
    bool ok = true;
    for (std::size_t pos = 0; ok && pos < text.size(); pos += tessaro::kStreamBlockSize) {
        const std::size_t n = std::min<std::size_t>(tessaro::kStreamBlockSize, text.size() - pos);
        const bool last = pos + n >= text.size();
        ok = XML_Parse(parser, text.data() + pos, static_cast<int>(n), last) != XML_STATUS_ERROR;
    }
    XML_ParserFree(parser);
    return ok;
}

bool parserCore(const std::string& text) {
    tessaro::ValidatingConsumer consumer;
    tessaro::SceneLoadContext context(consumer);
    MemoryStream stream(text);
    return context.parse(stream, nullptr).loaded();
}

template <typename Run>
double medianSeconds(const std::string& text, Run run, int repeats, bool* ok) {
    std::vector<double> seconds;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        *ok = run(text) && *ok;
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    xglgen::Options options;
    options.targetBytes = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100) << 20;
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string text = xglgen::generateString(options);
    const double mb = text.size() / 1048576.0;

    bool ok = true;
    const double floor = medianSeconds(text, expatFloor, repeats, &ok);
    const double core = medianSeconds(text, parserCore, repeats, &ok);
    std::printf("document: %.1f MB generated XGL, median of %d runs\n", mb, repeats);
    std::printf("%-28s %10s %10s %8s\n", "reader", "seconds", "MB/s", "ratio");
    std::printf("%-28s %10.3f %10.1f %8.2f\n", "expat, empty handlers", floor, mb / floor, 1.0);
    std::printf("%-28s %10.3f %10.1f %8.2f\n", "parser core", core, mb / core, floor / core);
    if (!ok) std::puts("warning: a run reported an error");
    return ok ? 0 : 1;
}
