// Reads entries of a ZIP archive held in memory (minizip over memory callbacks), so
// that a package's leading 12-byte header needs no special handling: minizip finds the
// central directory from the end and offsets count from the start of the data.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace plotwick::internal {

class ZipReader {
  public:
    explicit ZipReader(std::span<const std::uint8_t> data);
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    bool isOpen() const { return m_zip != nullptr; }
    // The entry whose name matches `name`, comparing / and \ as one and ignoring case;
    // nothing when it is missing, damaged or larger than `limit`.
    std::optional<std::vector<std::uint8_t>> read(const std::string& name, std::size_t limit) const;

    struct Source {
        std::span<const std::uint8_t> data;
        std::uint64_t position = 0;
    };

  private:
    Source m_source;
    void* m_zip = nullptr;
};

}  // namespace plotwick::internal
