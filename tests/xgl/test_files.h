// Small helpers for tests that need files on disk.
#pragma once

#include <zlib.h>

#include "xgl/input_stream.h"

#ifndef _WIN32
#include <unistd.h>
#endif
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>

namespace tessaro::testing {

// ---- the platform seam: the little the tests need that POSIX and Windows name
// differently ----

#ifdef _WIN32
// The variables the temporary folder is taken from, in the order the system tries them.
inline constexpr std::initializer_list<const char*> kTempFolderVariables = {"TMP", "TEMP"};
inline constexpr const char* kUnusableFolder = "C:\\nonexistent-tessaro-folder";

inline void setEnvironment(const char* name, const char* value) {
    _putenv_s(name, value);
}
inline void unsetEnvironment(const char* name) {
    _putenv_s(name, "");
}

// Windows has no mkdtemp: a random name, taken only if no folder has it yet.
inline std::string makePrivateFolder() {
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path path = base / ("tessaro-test-" + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(path, error)) return path.string();
    }
    return {};
}
#else
inline constexpr std::initializer_list<const char*> kTempFolderVariables = {"TMPDIR"};
inline constexpr const char* kUnusableFolder = "/nonexistent-tessaro-folder";

inline void setEnvironment(const char* name, const char* value) {
    setenv(name, value, 1);
}
inline void unsetEnvironment(const char* name) {
    unsetenv(name);
}

inline std::string makePrivateFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tessaro-test-XXXXXX";
    return mkdtemp(pattern.data()) ? pattern : std::string();
}
#endif

// Cuts a file to `size` bytes, even while it is open for reading.
inline bool truncateFile(const std::string& path, std::uintmax_t size) {
    std::error_code error;
    std::filesystem::resize_file(path, size, error);
    return !error;
}

// A private folder that is removed with its files when the test ends.
class TempDir {
  public:
    TempDir() : m_path(makePrivateFolder()) {}
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
