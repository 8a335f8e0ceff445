// Feeds arbitrary bytes through the whole read path: a stream (plain or inflating,
// in memory or from a real file), the parser with its element rules, the scene model
// and the mesh hand-over, into a consumer that keeps nothing.
//
// Input layout: the first byte selects how the rest is read, the rest is the file.
//   bit 0     the rest is a zlib stream (a ZGL file), read through InflateInputStream
//   bit 1     the rest is written to a temporary file and opened with loadDocument
//   bits 2-5  for in-memory reads, the block size the source hands out: 0 is the
//             file stream's 64 KiB, k > 0 is 2^(k-1) bytes, so that block edges fall
//             inside names, texts and zlib codes
//
// Besides the sanitizers, the target checks the contract of a load: the parse is clean
// exactly when no message was shown, at most one message reaches the consumer, and
// that message is "Error Reading File\n" or begins with its number and a colon.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "scene/scene_consumer.h"
#include "xgl/input_stream.h"
#include "xgl/messages.h"
#include "xgl/scene_load_context.h"

namespace {

using tessaro::InputStream;
using tessaro::StreamErrorSink;

constexpr std::uint8_t kInflate = 1;
constexpr std::uint8_t kThroughFile = 2;

// Hands out a byte range in blocks of a fixed size.
class MemoryStream final : public InputStream {
  public:
    MemoryStream(const std::uint8_t* data, std::size_t size, std::size_t block)
        : m_data(data), m_size(size), m_block(block) {}

    bool read(bool& more, std::uint32_t& length, const std::uint8_t*& data,
              StreamErrorSink*) override {
        const std::size_t n = std::min(m_block, m_size - m_offset);
        data = m_data + m_offset;
        length = static_cast<std::uint32_t>(n);
        m_offset += n;
        more = m_offset < m_size;
        return true;
    }
    bool lastWriteTime(std::int64_t&) override { return false; }

  private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_block;
    std::size_t m_offset = 0;
};

// Keeps nothing, like the validating consumer, and counts the messages it is shown.
struct CountingConsumer final : tessaro::ValidatingConsumer {
    void showError(const char* text) override {
        ++messages;
        ValidatingConsumer::showError(text);
    }
    int messages = 0;
};

[[noreturn]] void fail(const char* what, const std::string& message) {
    std::fprintf(stderr, "read path contract broken: %s (message: \"%s\")\n", what,
                 message.c_str());
    std::abort();
}

bool wellFormedMessage(const std::string& text) {
    if (text == tessaro::kErrorReadingFile) return true;
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) {
        ++digits;
    }
    return digits > 0 && digits < text.size() && text[digits] == ':';
}

void checkContract(bool clean, const CountingConsumer& consumer) {
    if (consumer.messages > 1) fail("more than one message", consumer.firstError());
    if (clean == consumer.hasError())
        fail("result disagrees with the messages", consumer.firstError());
    if (consumer.hasError() && !wellFormedMessage(consumer.firstError())) {
        fail("message without its number", consumer.firstError());
    }
}

std::size_t blockSize(std::uint8_t mode) {
    const unsigned k = (mode >> 2) & 0x0f;
    return k == 0 ? tessaro::kStreamBlockSize : std::size_t{1} << (k - 1);
}

const std::string& scratchFolder() {
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/read-path-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        return pattern;
    }();
    return folder;
}

void loadFromFile(const std::uint8_t* data, std::size_t size, bool inflate) {
    const std::string name = scratchFolder() + (inflate ? "/input.zgl" : "/input.xgl");
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
    CountingConsumer consumer;
    const tessaro::LoadResult result = tessaro::loadDocument(name.c_str(), consumer);
    if (result.status == tessaro::LoadStatus::cannotOpen) fail("the file was not opened", "");
    checkContract(result.loaded(), consumer);
    unlink(name.c_str());
}

void loadFromMemory(const std::uint8_t* data, std::size_t size, bool inflate, std::size_t block) {
    std::unique_ptr<InputStream> stream = std::make_unique<MemoryStream>(data, size, block);
    if (inflate) stream = std::make_unique<tessaro::InflateInputStream>(std::move(stream));
    CountingConsumer consumer;
    tessaro::SceneLoadContext context(consumer);
    checkContract(context.parse(*stream, nullptr).loaded(), consumer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    const bool inflate = (mode & kInflate) != 0;
    if ((mode & kThroughFile) != 0) {
        loadFromFile(data + 1, size - 1, inflate);
    } else {
        loadFromMemory(data + 1, size - 1, inflate, blockSize(mode));
    }
    return 0;
}
