// Reads entries of a ZIP archive held in memory, with zlib's inflate, so that the same
// reader serves every platform (Windows has no packaged minizip). The archive is found
// from its end, so a package's leading 12-byte header needs no special handling; offsets
// count from the start of the data, and an archive that sits after other bytes whose
// offsets count from its own start is found as well.
//
// Stored and deflated entries are read; encrypted entries, ZIP64 archives and other
// methods are refused. Never throws.
//
// A small archive cannot make it allocate or inflate much: an entry is sized only when
// its declared size fits in its compressed bytes (deflate gives at most 1032 bytes per
// byte) and those lie within the data; each entry is inflated at most once (a second
// read of it, under any of its names, is refused); and all entries together may not
// inflate to more than 1032 times the archive.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace plotwick::internal {

class ZipReader {
  public:
    // The reader keeps a view of `data`, which must outlive it.
    explicit ZipReader(std::span<const std::uint8_t> data);

    // False when no central directory was found or it is damaged.
    bool isOpen() const { return m_open; }
    // Why a read gave nothing.
    enum class Problem : std::uint8_t {
        none,
        missing,     // no entry has the name
        damaged,     // encrypted, unknown method, truncated, CRC or size mismatch
        tooLarge,    // larger than the limit
        impossible,  // declares more bytes than its compressed bytes can hold
        readBefore,  // this entry was read already
        overBudget,  // the archive's entries together would inflate too much
    };

    // The entry whose name matches `name`, comparing / and \ as one and ignoring case;
    // nothing when it is missing, damaged (CRC or size mismatch), larger than `limit`
    // or refused by the bounds above; `problem` (optional) then says which.
    std::optional<std::vector<std::uint8_t>> read(const std::string& name, std::size_t limit,
                                                  Problem* problem = nullptr) const;

    struct Entry {
        std::string name;  // normalised: / separators, lower case
        std::uint16_t flags = 0;
        std::uint16_t method = 0;
        std::uint32_t crc = 0;
        std::uint32_t compressedSize = 0;
        std::uint32_t size = 0;
        std::uint64_t headerOffset = 0;  // from the start of the data
    };

    // The largest output of deflate per input byte (a 258-byte match in two bits).
    static constexpr std::uint64_t kMaxInflateRatio = 1032;

  private:
    bool readDirectory();
    Problem check(const Entry& entry, std::size_t limit) const;
    std::optional<std::vector<std::uint8_t>> extract(const Entry& entry, Problem& problem) const;

    std::span<const std::uint8_t> m_data;
    std::vector<Entry> m_entries;
    std::unordered_map<std::string, std::size_t> m_byName;  // the first entry of each name
    bool m_open = false;
    // What reads have used: entries by header offset (two names may share one), and
    // the bytes inflated so far.
    mutable std::set<std::uint64_t> m_read;
    mutable std::uint64_t m_inflated = 0;
};

}  // namespace plotwick::internal
