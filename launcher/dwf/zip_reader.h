// Reads entries of a ZIP archive held in memory, with zlib's inflate, so that the same
// reader serves every platform (Windows has no packaged minizip). The archive is found
// from its end, so a package's leading 12-byte header needs no special handling; offsets
// count from the start of the data, and an archive that sits after other bytes whose
// offsets count from its own start is found as well.
//
// Stored and deflated entries are read; encrypted entries, ZIP64 archives and other
// methods are refused. Never throws.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace plotwick::internal {

class ZipReader {
  public:
    // The reader keeps a view of `data`, which must outlive it.
    explicit ZipReader(std::span<const std::uint8_t> data);

    // False when no central directory was found or it is damaged.
    bool isOpen() const { return m_open; }
    // The entry whose name matches `name`, comparing / and \ as one and ignoring case;
    // nothing when it is missing, damaged (CRC or size mismatch) or larger than `limit`.
    std::optional<std::vector<std::uint8_t>> read(const std::string& name, std::size_t limit) const;

    struct Entry {
        std::string name;  // normalised: / separators, lower case
        std::uint16_t flags = 0;
        std::uint16_t method = 0;
        std::uint32_t crc = 0;
        std::uint32_t compressedSize = 0;
        std::uint32_t size = 0;
        std::uint64_t headerOffset = 0;  // from the start of the data
    };

  private:
    bool readDirectory();
    std::optional<std::vector<std::uint8_t>> extract(const Entry& entry, std::size_t limit) const;

    std::span<const std::uint8_t> m_data;
    std::vector<Entry> m_entries;
    bool m_open = false;
};

}  // namespace plotwick::internal
