#include "dwf/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <climits>

#include "dwf/byte_cursor.h"

namespace plotwick::internal {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kDirectorySignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kDirectoryRecordSize = 46;
constexpr std::size_t kLocalRecordSize = 30;
constexpr std::size_t kLongestComment = 0xffff;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kEncrypted = 1;

struct EndRecord {
    std::size_t position = 0;
    std::uint16_t entries = 0;
    std::uint32_t directorySize = 0;
    std::uint32_t directoryOffset = 0;
};

std::string normalised(std::string name) {
    for (char& c : name) {
        c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

// The end record is the last 22 bytes unless a comment of up to 64 KiB follows it.
std::optional<EndRecord> findEndRecord(std::span<const std::uint8_t> data) {
    if (data.size() < kEndRecordSize) return std::nullopt;
    const std::size_t last = data.size() - kEndRecordSize;
    const std::size_t first = last > kLongestComment ? last - kLongestComment : 0;
    for (std::size_t at = last + 1; at-- > first;) {
        ByteCursor cursor(data, at);
        std::uint32_t signature = 0;
        std::uint16_t disk = 0, directoryDisk = 0, diskEntries = 0;
        EndRecord record{at};
        if (cursor.read(signature) && signature == kEndSignature && cursor.read(disk) &&
            cursor.read(directoryDisk) && cursor.read(diskEntries) && cursor.read(record.entries) &&
            cursor.read(record.directorySize) && cursor.read(record.directoryOffset)) {
            return record;
        }
    }
    return std::nullopt;
}

std::optional<ZipReader::Entry> readDirectoryRecord(ByteCursor& cursor, std::uint64_t bias) {
    std::uint32_t signature = 0, crc = 0, compressed = 0, size = 0, offset = 0;
    std::uint16_t made = 0, needed = 0, flags = 0, method = 0, time = 0, date = 0;
    std::uint16_t nameLength = 0, extraLength = 0, commentLength = 0, disk = 0, internal = 0;
    std::uint32_t external = 0;
    if (!(cursor.read(signature) && signature == kDirectorySignature && cursor.read(made) &&
          cursor.read(needed) && cursor.read(flags) && cursor.read(method) && cursor.read(time) &&
          cursor.read(date) && cursor.read(crc) && cursor.read(compressed) && cursor.read(size) &&
          cursor.read(nameLength) && cursor.read(extraLength) && cursor.read(commentLength) &&
          cursor.read(disk) && cursor.read(internal) && cursor.read(external) &&
          cursor.read(offset)) ||
        cursor.remaining() < nameLength) {
        return std::nullopt;
    }
    ZipReader::Entry entry{"", flags, method, crc, compressed, size, bias + offset};
    std::string name(nameLength, '\0');
    for (char& c : name) {
        std::uint8_t byte = 0;
        cursor.read(byte);
        c = static_cast<char>(byte);
    }
    entry.name = normalised(std::move(name));
    if (!cursor.skip(std::size_t{extraLength} + commentLength)) return std::nullopt;
    return entry;
}

// Raw deflate data (no zlib header) that must give exactly output.size() bytes: one
// spare byte catches data that inflates to more than the directory says.
bool inflateInto(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& output) {
    const std::size_t size = output.size();
    output.resize(size + 1);
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    const int status = inflate(&stream, Z_FINISH);
    const bool whole = status == Z_STREAM_END && stream.total_out == size;
    inflateEnd(&stream);
    output.resize(size);
    return whole;
}

}  // namespace

ZipReader::ZipReader(std::span<const std::uint8_t> data) : m_data(data) {
    m_open = readDirectory();
    if (!m_open) m_entries.clear();
}

bool ZipReader::readDirectory() {
    const auto end = findEndRecord(m_data);
    if (!end) return false;
    // ZIP64 marks its fields with all ones; such archives are not read.
    if (end->directoryOffset == UINT32_MAX || end->directorySize == UINT32_MAX) return false;
    const std::uint64_t directoryEnd = std::uint64_t{end->directoryOffset} + end->directorySize;
    if (directoryEnd > end->position) return false;
    // Bytes before an archive whose offsets count from its own start.
    const std::uint64_t bias = end->position - directoryEnd;
    ByteCursor cursor(m_data.first(end->position), bias + end->directoryOffset);
    for (std::uint16_t i = 0; i < end->entries; ++i) {
        auto entry = readDirectoryRecord(cursor, bias);
        if (!entry) return false;
        m_byName.emplace(entry->name, m_entries.size());
        m_entries.push_back(std::move(*entry));
    }
    return true;
}

std::optional<std::vector<std::uint8_t>> ZipReader::read(const std::string& name, std::size_t limit,
                                                         Problem* problem) const {
    Problem unused = Problem::none;
    Problem& why = problem != nullptr ? *problem : unused;
    const auto found = m_byName.find(normalised(name));
    why = found == m_byName.end() ? Problem::missing : check(m_entries[found->second], limit);
    if (why != Problem::none) return std::nullopt;
    const Entry& entry = m_entries[found->second];
    m_read.insert(entry.headerOffset);
    m_inflated += entry.size;
    return extract(entry, why);
}

// Everything that can be known before a byte is allocated or inflated.
ZipReader::Problem ZipReader::check(const Entry& entry, std::size_t limit) const {
    if (m_read.count(entry.headerOffset) != 0) return Problem::readBefore;
    if (entry.size > limit) return Problem::tooLarge;
    if (entry.size == UINT32_MAX || (entry.flags & kEncrypted) != 0) return Problem::damaged;
    if (entry.compressedSize > m_data.size()) return Problem::damaged;
    const std::uint64_t most = entry.method == kStored
                                   ? entry.compressedSize
                                   : kMaxInflateRatio * std::uint64_t{entry.compressedSize};
    if (entry.size > most) return Problem::impossible;
    if (m_inflated + entry.size > kMaxInflateRatio * m_data.size()) return Problem::overBudget;
    return Problem::none;
}

std::optional<std::vector<std::uint8_t>> ZipReader::extract(const Entry& entry,
                                                            Problem& problem) const {
    problem = Problem::damaged;
    if (entry.headerOffset > m_data.size()) return std::nullopt;
    ByteCursor local(m_data, static_cast<std::size_t>(entry.headerOffset));
    std::uint32_t signature = 0;
    std::uint16_t nameLength = 0, extraLength = 0;
    if (!local.read(signature) || signature != kLocalSignature || !local.skip(22) ||
        !local.read(nameLength) || !local.read(extraLength) ||
        !local.skip(std::size_t{nameLength} + extraLength) ||
        local.remaining() < entry.compressedSize) {
        return std::nullopt;
    }
    const auto input = m_data.subspan(local.offset(), entry.compressedSize);
    std::vector<std::uint8_t> bytes(entry.size);
    if (entry.method == kStored) {
        if (entry.compressedSize != entry.size) return std::nullopt;
        std::copy(input.begin(), input.end(), bytes.begin());
    } else if (entry.method != kDeflated || !inflateInto(input, bytes)) {
        return std::nullopt;
    }
    // A damaged entry is refused, never handed out.
    if (crc32(0L, bytes.data(), static_cast<uInt>(bytes.size())) != entry.crc) return std::nullopt;
    problem = Problem::none;
    return bytes;
}

}  // namespace plotwick::internal
