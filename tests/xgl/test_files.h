// Small helpers for tests that need files on disk.
#pragma once

#include <zlib.h>

#include "xgl/input_stream.h"

#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace tessaro::testing {

// A private folder that is removed with its files when the test ends.
class TempDir {
  public:
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tessaro-test-XXXXXX";
        m_path = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// One zlib stream of `text`, as a ZGL file holds it.
inline std::string deflateText(const std::string& text, int level = Z_BEST_COMPRESSION) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()), level);
    out.resize(size);
    return out;
}

// The text of a document whose root holds `body`.
inline std::string inWorld(const std::string& body) {
    return "<world>" + body + "</world>";
}

// A world that passes the world's own rules, holding `body`.
inline std::string validWorld(const std::string& body) {
    return inWorld(
        "<lighting><ambient>0 0 0</ambient></lighting>"
        "<background><backcolor>0 0 0</backcolor></background>" +
        body);
}

// Hands out a document it does not own as one block, the last; making one allocates
// nothing.
class ViewStream : public InputStream {
  public:
    explicit ViewStream(std::string_view text) : m_text(text) {}
    bool read(bool& more, std::uint32_t& length, const std::uint8_t*& data,
              StreamErrorSink*) override {
        data = reinterpret_cast<const std::uint8_t*>(m_text.data());
        length = static_cast<std::uint32_t>(m_text.size());
        more = false;
        return true;
    }
    bool lastWriteTime(std::int64_t&) override { return false; }

  private:
    std::string_view m_text;
};

struct OwnedText {
    std::string text;
};

// The same for a document it keeps.
class TextStream : private OwnedText, public ViewStream {
  public:
    explicit TextStream(std::string text)
        : OwnedText{std::move(text)}, ViewStream(OwnedText::text) {}
};

}  // namespace tessaro::testing
