#include "dwf/zip_reader.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace plotwick::internal {
namespace {

using Source = ZipReader::Source;

voidpf openSource(voidpf opaque, const void*, int) {
    return opaque;
}

uLong readSource(voidpf, voidpf stream, void* buffer, uLong size) {
    auto* source = static_cast<Source*>(stream);
    const std::uint64_t available =
        source->position < source->data.size() ? source->data.size() - source->position : 0;
    const uLong count = static_cast<uLong>(std::min<std::uint64_t>(size, available));
    if (count != 0) std::memcpy(buffer, source->data.data() + source->position, count);
    source->position += count;
    return count;
}

uLong writeSource(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T tellSource(voidpf, voidpf stream) {
    return static_cast<Source*>(stream)->position;
}

long seekSource(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* source = static_cast<Source*>(stream);
    std::uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = source->position;
    if (origin == ZLIB_FILEFUNC_SEEK_END) base = source->data.size();
    if (offset > source->data.size() || base + offset > source->data.size()) return -1;
    source->position = base + offset;
    return 0;
}

int closeSource(voidpf, voidpf) {
    return 0;
}
int errorSource(voidpf, voidpf) {
    return 0;
}

std::string normalised(std::string name) {
    for (char& c : name) {
        c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

// Reads the current entry; nothing when it is damaged or grows past `limit`.
std::optional<std::vector<std::uint8_t>> readCurrent(unzFile zip, std::size_t limit) {
    if (unzOpenCurrentFile(zip) != UNZ_OK) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t block[65536];
    int count = 0;
    while ((count = unzReadCurrentFile(zip, block, sizeof block)) > 0) {
        if (bytes.size() + static_cast<std::size_t>(count) > limit) break;
        bytes.insert(bytes.end(), block, block + count);
    }
    // The CRC check happens on close; a short or corrupt entry is refused.
    const bool clean = unzCloseCurrentFile(zip) == UNZ_OK && count == 0;
    if (!clean) return std::nullopt;
    return bytes;
}

}  // namespace

ZipReader::ZipReader(std::span<const std::uint8_t> data) : m_source{data, 0} {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = openSource;
    functions.zread_file = readSource;
    functions.zwrite_file = writeSource;
    functions.ztell64_file = tellSource;
    functions.zseek64_file = seekSource;
    functions.zclose_file = closeSource;
    functions.zerror_file = errorSource;
    functions.opaque = &m_source;
    m_zip = unzOpen2_64("", &functions);
}

ZipReader::~ZipReader() {
    if (m_zip != nullptr) unzClose(m_zip);
}

std::optional<std::vector<std::uint8_t>> ZipReader::read(const std::string& name,
                                                         std::size_t limit) const {
    if (m_zip == nullptr) return std::nullopt;
    const std::string wanted = normalised(name);
    for (int status = unzGoToFirstFile(m_zip); status == UNZ_OK; status = unzGoToNextFile(m_zip)) {
        char entry[1024] = {};
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(m_zip, &info, entry, sizeof entry - 1, nullptr, 0, nullptr,
                                    0) != UNZ_OK) {
            return std::nullopt;
        }
        if (normalised(entry) == wanted) return readCurrent(m_zip, limit);
    }
    return std::nullopt;
}

}  // namespace plotwick::internal
