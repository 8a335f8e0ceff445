#include "scene/spill_array.h"

#include <climits>
#include <utility>

namespace tessaro {
namespace {

// Record indices in a temporary file are signed 32-bit.
constexpr const char* kTooManyRecords = "Too many records for a temporary file";

}  // namespace

void SpillArrayBase::resetState(std::uint32_t spillLimit, std::string_view prefix) {
    m_file.close();
    m_onDisk = false;
    emptyCache();
    m_spillLimit = spillLimit;
    const std::size_t length = prefix.size() < 3 ? prefix.size() : 3;
    std::memcpy(m_prefix, prefix.data(), length);
    m_prefix[length] = '\0';
    m_failed = false;
    m_failureCause.clear();
}

bool SpillArrayBase::moveToDisk(const void* records, std::uint32_t count) {
    if (count > INT32_MAX) return fail(kTooManyRecords);
    if (!m_file.create(m_recordSize, m_prefix)) return failFile();
    m_onDisk = true;
    emptyCache();
    const auto n = static_cast<std::int32_t>(count);
    if (n != 0 && m_file.writeRun(records, 0, n) != n) return failFile();
    return true;
}

bool SpillArrayBase::diskSetCount(std::uint32_t n) {
    if (m_failed) return false;
    if (n > INT32_MAX) return fail(kTooManyRecords);
    const std::uint32_t old = diskCount();
    if (n <= old) {
        m_file.setCount(static_cast<std::int32_t>(n));
        // A record that no longer exists must not be written back later.
        if (m_cachedIndex >= static_cast<std::int32_t>(n)) emptyCache();
        return true;
    }
    if (!writeBack()) return false;
    m_file.setCount(static_cast<std::int32_t>(n));
    if (m_file.failed()) return failFile();
    // The last new record is the open one the loader fills next; it reaches the file on
    // the next cache switch.
    std::memset(m_cache, 0, m_recordSize);
    m_cachedIndex = static_cast<std::int32_t>(n - 1);
    m_cacheDirty = true;
    return true;
}

void* SpillArrayBase::diskAt(std::uint32_t index) {
    if (m_failed || index >= diskCount()) return nullptr;
    if (static_cast<std::int32_t>(index) != m_cachedIndex && !loadCache(index)) return nullptr;
    // Marked also on a hit: the cache may have been loaded by a read-only peek.
    m_cacheDirty = true;
    return m_cache;
}

const void* SpillArrayBase::diskPeek(std::uint32_t index) {
    if (m_failed || index >= diskCount()) return nullptr;
    if (static_cast<std::int32_t>(index) != m_cachedIndex && !loadCache(index)) return nullptr;
    return m_cache;
}

bool SpillArrayBase::diskStore(std::uint32_t index, const void* record) {
    if (m_failed || index >= diskCount()) return false;
    if (static_cast<std::int32_t>(index) != m_cachedIndex) {
        if (!writeBack()) return false;
        m_cachedIndex = static_cast<std::int32_t>(index);
    }
    std::memcpy(m_cache, record, m_recordSize);
    m_cacheDirty = true;
    return true;
}

bool SpillArrayBase::diskCopyOut(std::uint32_t first, std::uint32_t n, void* records) {
    if (m_failed || std::uint64_t{first} + n > diskCount()) return false;
    if (n == 0) return true;
    if (!writeBack()) return false;
    const auto wanted = static_cast<std::int32_t>(n);
    if (m_file.readRun(records, static_cast<std::int32_t>(first), wanted) != wanted) {
        return failFile();
    }
    return true;
}

bool SpillArrayBase::failMemory(std::uint64_t records) {
    return fail("Not enough memory for a table of " + std::to_string(records) + " records");
}

bool SpillArrayBase::writeBack() {
    if (m_cachedIndex < 0 || !m_cacheDirty) return true;
    if (!m_file.writeRecord(m_cache, m_cachedIndex)) return failFile();
    m_cacheDirty = false;
    return true;
}

bool SpillArrayBase::loadCache(std::uint32_t index) {
    if (!writeBack()) return false;
    // Until the read succeeds the cache holds nothing, so a failed read leaves no stale
    // record behind under the new index.
    emptyCache();
    if (!m_file.readRecord(m_cache, static_cast<std::int32_t>(index))) return failFile();
    m_cachedIndex = static_cast<std::int32_t>(index);
    return true;
}

void SpillArrayBase::emptyCache() {
    m_cachedIndex = -1;
    m_cacheDirty = false;
}

bool SpillArrayBase::failFile() {
    if (m_file.failed()) return fail(m_file.failureCause());
    return fail("Cannot use a temporary file in " + m_file.directory());
}

bool SpillArrayBase::fail(std::string cause) {
    if (m_failed) return false;
    m_failed = true;
    m_failureCause = std::move(cause);
    emptyCache();
    if (m_sink != nullptr) m_sink->storageFailed(m_failureCause);
    return false;
}

}  // namespace tessaro
