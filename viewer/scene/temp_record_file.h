// TempRecordFile: an array of fixed-size raw records kept in a private temporary file.
//
// The file is made in $TMPDIR (else /tmp; on Windows the user's temporary folder) from a
// name prefix of up to three characters; it is private (unlinked at once, or opened
// unshared and delete-on-close on Windows) and vanishes when it is closed or when the
// process ends, however it ends. Record i occupies the bytes from
// i * record size (computed in 64 bits) for one record; there is no header.
//
// Errors: every operation reports failure by its result (false, or 0 for runs). An index
// outside [0, count) or a closed file is refused without touching the file. A failed
// system call, a short read (end of file) or a short write is an I/O failure: the first
// one since `create` is also kept as a cause text ("Cannot write to a temporary file in
// /tmp: No space left on device") for the loader to report; see `failureCause`.
// Nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaro {

class TempRecordFile {
  public:
    TempRecordFile() = default;
    ~TempRecordFile();
    TempRecordFile(const TempRecordFile&) = delete;
    TempRecordFile& operator=(const TempRecordFile&) = delete;
    TempRecordFile(TempRecordFile&& other) noexcept;
    TempRecordFile& operator=(TempRecordFile&& other) noexcept;

    // Opens a new, empty file for records of recordSize bytes (closing any file held
    // before). Only the first three characters of prefix are used.
    bool create(std::uint32_t recordSize, std::string_view prefix);
    // Closes (and so deletes) the file; true when nothing was open.
    bool close();

    bool isOpen() const { return m_file != -1; }
    std::int32_t count() const { return m_count; }
    std::uint32_t recordSize() const { return m_recordSize; }

    // Makes the array hold n records and returns n minus the old count. Shrinking never
    // truncates the file. Growing extends it (by a reserve of 1/32 from 64 records on)
    // and guarantees that the new records read as zeros, also where a shrink left old
    // bytes behind. A failure to extend is not reported here: the next write extends the
    // file itself, and a read of a record that is not there fails as a short read.
    std::int32_t setCount(std::int32_t n);

    bool writeRecord(const void* record, std::int32_t index);
    bool readRecord(void* record, std::int32_t index) const;
    // Writes n records from first on, growing the count to first + n when needed;
    // n on success, 0 on failure.
    std::int32_t writeRun(const void* records, std::int32_t first, std::int32_t n);
    // Reads up to n records from first on, stopping at the count; the number read,
    // 0 on failure or when first is not below the count.
    std::int32_t readRun(void* records, std::int32_t first, std::int32_t n) const;

    bool failed() const { return !m_failureCause.empty(); }
    // Cause of the first I/O failure since `create`, empty when there was none.
    const std::string& failureCause() const { return m_failureCause; }
    // The folder the file was (or would have been) created in.
    const std::string& directory() const { return m_directory; }

  private:
    std::uint64_t offsetOf(std::int32_t index) const {
        return static_cast<std::uint64_t>(index) * m_recordSize;
    }
    bool holds(std::int32_t index) const { return isOpen() && index >= 0 && index < m_count; }
    void growFile(std::int32_t n);
    bool zeroBytes(std::uint64_t from, std::uint64_t to);
    bool writeBytes(const void* data, std::uint64_t size, std::uint64_t offset);
    bool readBytes(void* data, std::uint64_t size, std::uint64_t offset) const;
    void recordFailure(const char* action, const char* reason) const;

    std::intptr_t m_file = -1;  // a file descriptor, or a handle on Windows
    std::uint32_t m_recordSize = 0;
    std::int32_t m_count = 0;
    std::uint64_t m_length = 0;
    // End of the bytes ever written; the file reads as zeros beyond it.
    std::uint64_t m_written = 0;
    std::string m_directory;
    // Failures are found inside const reads, so the cause is kept like a cache.
    mutable std::string m_failureCause;
};

}  // namespace tessaro
