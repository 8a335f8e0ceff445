#include "convert/binary_store.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace tessaro {

namespace {

constexpr std::uint32_t kWord = 4;
// Runs of the record file count records in 32 bits; this keeps each run far below.
constexpr std::uint64_t kLargestRun = std::uint64_t{1} << 28;
constexpr std::uint64_t kCopyBlock = std::uint64_t{4} << 20;

std::int32_t wordIndex(std::uint64_t offset) {
    return static_cast<std::int32_t>(offset / kWord);
}

}  // namespace

bool BinaryStore::open() {
    m_size = 0;
    return m_file.create(kWord, "Exb");
}

bool BinaryStore::append(const void* data, std::uint64_t size, std::uint64_t& offset) {
    offset = m_size;
    const std::uint64_t whole = size / kWord * kWord;
    if (m_size + size + kWord > std::uint64_t{INT32_MAX} * kWord) return false;
    const auto* bytes = static_cast<const char*>(data);
    for (std::uint64_t done = 0; done < whole;) {
        const std::uint64_t run = std::min(whole - done, kLargestRun);
        const auto words = static_cast<std::int32_t>(run / kWord);
        if (m_file.writeRun(bytes + done, wordIndex(m_size + done), words) != words) return false;
        done += run;
    }
    if (whole != size) {
        char tail[kWord] = {};
        std::memcpy(tail, bytes + whole, size - whole);
        if (m_file.writeRun(tail, wordIndex(m_size + whole), 1) != 1) return false;
    }
    m_size += (size + kWord - 1) / kWord * kWord;
    return true;
}

bool BinaryStore::read(std::uint64_t offset, std::uint64_t size, void* out) const {
    if (offset % kWord != 0 || offset + size > m_size) return false;
    auto* bytes = static_cast<char*>(out);
    const std::uint64_t whole = size / kWord * kWord;
    for (std::uint64_t done = 0; done < whole;) {
        const std::uint64_t run = std::min(whole - done, kLargestRun);
        const auto words = static_cast<std::int32_t>(run / kWord);
        if (m_file.readRun(bytes + done, wordIndex(offset + done), words) != words) return false;
        done += run;
    }
    if (whole != size) {
        char tail[kWord];
        if (m_file.readRun(tail, wordIndex(offset + whole), 1) != 1) return false;
        std::memcpy(bytes + whole, tail, size - whole);
    }
    return true;
}

bool BinaryStore::copyTo(std::FILE* out) const {
    std::vector<char> block(static_cast<std::size_t>(std::min(kCopyBlock, m_size)));
    for (std::uint64_t done = 0; done < m_size;) {
        const std::uint64_t run = std::min(m_size - done, kCopyBlock);
        if (!read(done, run, block.data())) return false;
        if (std::fwrite(block.data(), 1, run, out) != run) return false;
        done += run;
    }
    return true;
}

std::string BinaryStore::failure() const {
    return m_file.failureCause();
}

}  // namespace tessaro
