#include "scene/temp_record_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "scene/native_file.h"

namespace tessaro {
namespace {

// Kept below the kernel's per-call limit (0x7ffff000) so large runs loop instead of
// relying on a partial transfer.
constexpr std::uint64_t kMaxTransfer = std::uint64_t{1} << 30;
// Growth reserve of one thirty-second, from this many records on.
constexpr std::int32_t kReserveFrom = 64;
constexpr std::size_t kZeroBlock = 64 * 1024;

}  // namespace

TempRecordFile::~TempRecordFile() {
    close();
}

TempRecordFile::TempRecordFile(TempRecordFile&& other) noexcept
    : m_file(std::exchange(other.m_file, internal::kNoFile)),
      m_recordSize(std::exchange(other.m_recordSize, 0)),
      m_count(std::exchange(other.m_count, 0)),
      m_length(std::exchange(other.m_length, 0)),
      m_written(std::exchange(other.m_written, 0)),
      m_directory(std::move(other.m_directory)),
      m_failureCause(std::move(other.m_failureCause)) {}

TempRecordFile& TempRecordFile::operator=(TempRecordFile&& other) noexcept {
    if (this != &other) {
        close();
        m_file = std::exchange(other.m_file, internal::kNoFile);
        m_recordSize = std::exchange(other.m_recordSize, 0);
        m_count = std::exchange(other.m_count, 0);
        m_length = std::exchange(other.m_length, 0);
        m_written = std::exchange(other.m_written, 0);
        m_directory = std::move(other.m_directory);
        m_failureCause = std::move(other.m_failureCause);
    }
    return *this;
}

bool TempRecordFile::create(std::uint32_t recordSize, std::string_view prefix) {
    close();
    m_failureCause.clear();
    m_directory = internal::temporaryDirectory();
    if (recordSize == 0) {
        recordFailure("create", std::strerror(EINVAL));
        return false;
    }
    std::string reason;
    const internal::NativeFile file =
        internal::createPrivateFile(m_directory, prefix.substr(0, 3), reason);
    if (file == internal::kNoFile) {
        recordFailure("create", reason.c_str());
        return false;
    }
    m_file = file;
    m_recordSize = recordSize;
    m_count = 0;
    m_length = 0;
    m_written = 0;
    return true;
}

bool TempRecordFile::close() {
    bool closed = true;
    if (isOpen()) closed = internal::closeFile(m_file);
    m_file = internal::kNoFile;
    m_recordSize = 0;
    m_count = 0;
    m_length = 0;
    m_written = 0;
    return closed;
}

std::int32_t TempRecordFile::setCount(std::int32_t n) {
    if (!isOpen() || n < 0) return 0;
    const std::int32_t old = m_count;
    m_count = n;
    if (n <= old) return n - old;
    // Records between the old count and the end of what was ever written are left over
    // from a shrink; they must not reappear as the content of the new records. Bytes past
    // that end were never written and read as zeros, so appending costs no write here.
    const std::uint64_t staleEnd = std::min(offsetOf(n), m_written);
    if (offsetOf(old) < staleEnd) zeroBytes(offsetOf(old), staleEnd);
    if (offsetOf(n) > m_length) growFile(n);
    return n - old;
}

void TempRecordFile::growFile(std::int32_t n) {
    const std::uint64_t records =
        n < kReserveFrom ? std::uint64_t(n) : std::uint64_t(n) + std::uint64_t(n) / 32;
    const std::uint64_t length = records * m_recordSize;
    // A failure is left to the next write (which extends the file) or read (short read).
    if (internal::setFileLength(m_file, length)) m_length = length;
}

bool TempRecordFile::zeroBytes(std::uint64_t from, std::uint64_t to) {
    static const char zeros[kZeroBlock] = {};
    while (from < to) {
        const std::uint64_t size = std::min<std::uint64_t>(to - from, kZeroBlock);
        if (!writeBytes(zeros, size, from)) return false;
        from += size;
    }
    return true;
}

bool TempRecordFile::writeRecord(const void* record, std::int32_t index) {
    if (!holds(index)) return false;
    return writeBytes(record, m_recordSize, offsetOf(index));
}

bool TempRecordFile::readRecord(void* record, std::int32_t index) const {
    if (!holds(index)) return false;
    return readBytes(record, m_recordSize, offsetOf(index));
}

std::int32_t TempRecordFile::writeRun(const void* records, std::int32_t first, std::int32_t n) {
    if (!isOpen() || first < 0 || n <= 0) return 0;
    const std::int64_t end = std::int64_t{first} + n;
    if (end > INT32_MAX) return 0;
    if (end > m_count) setCount(static_cast<std::int32_t>(end));
    return writeBytes(records, std::uint64_t(n) * m_recordSize, offsetOf(first)) ? n : 0;
}

std::int32_t TempRecordFile::readRun(void* records, std::int32_t first, std::int32_t n) const {
    if (!holds(first) || n <= 0) return 0;
    const std::int32_t available = m_count - first;
    const std::int32_t wanted = n < available ? n : available;
    return readBytes(records, std::uint64_t(wanted) * m_recordSize, offsetOf(first)) ? wanted : 0;
}

bool TempRecordFile::writeBytes(const void* data, std::uint64_t size, std::uint64_t offset) {
    const char* bytes = static_cast<const char*>(data);
    std::uint64_t done = 0;
    std::string failure;
    while (done < size && failure.empty()) {
        const std::size_t piece = std::min(size - done, kMaxTransfer);
        const std::int64_t written =
            internal::writeAt(m_file, bytes + done, piece, offset + done, failure);
        if (written > 0) {
            done += std::uint64_t(written);
        } else if (written == 0) {
            failure = "nothing was written";
        }
    }
    // Also after a partial write, so that a later growth never truncates written bytes.
    if (done != 0) {
        m_length = std::max(m_length, offset + done);
        m_written = std::max(m_written, offset + done);
    }
    if (!failure.empty()) recordFailure("write to", failure.c_str());
    return failure.empty();
}

bool TempRecordFile::readBytes(void* data, std::uint64_t size, std::uint64_t offset) const {
    char* bytes = static_cast<char*>(data);
    std::uint64_t done = 0;
    std::string failure;
    while (done < size && failure.empty()) {
        const std::size_t piece = std::min(size - done, kMaxTransfer);
        const std::int64_t got =
            internal::readAt(m_file, bytes + done, piece, offset + done, failure);
        if (got > 0) {
            done += std::uint64_t(got);
        } else if (got == 0) {
            // A record inside the count that is not in the file was never stored.
            failure = "unexpected end of file";
        }
    }
    if (!failure.empty()) recordFailure("read from", failure.c_str());
    return failure.empty();
}

void TempRecordFile::recordFailure(const char* action, const char* reason) const {
    if (!m_failureCause.empty()) return;
    m_failureCause =
        std::string("Cannot ") + action + " a temporary file in " + m_directory + ": " + reason;
}

}  // namespace tessaro
