// SpillArray<T>: a table of fixed-size records that lives in memory (a PoolVector) until
// its count reaches the spill limit, and from then on in a TempRecordFile read through a
// small cache of record blocks. It moves one way only, memory to disk; `reset` brings it
// back.
//
// On disk, records move between the file and memory a block of kBlockRecords records at a
// time, so appending or reading in index order costs one system call per block, not per
// record. At most kCacheBlocks blocks are held (the least recently used one goes back to
// the file first), so a spilled table keeps at most kCacheBlocks * kBlockRecords records
// in memory (1 MiB at the largest record size) whatever the document's size. `at(i)`
// marks i's block as written; a dirty block goes back to the file when it is evicted or
// when `copyOut` reads its records from the file. A pointer from `at` or `peek` stays
// valid until the next call on the same array.
//
// Errors: a table whose temporary file cannot be created, written or read enters a
// failed state that lasts until `reset`. `setCount`, `store` and `copyOut` then return
// false and `at`/`peek` return nullptr, so a record that was not read (or whose earlier
// write-back was lost) is never handed out. The cause ("Cannot create a temporary file in
// /tmp: No space left on device") is kept for `failureCause` and passed once to the
// optional StorageErrorSink; the loader reports it as "0: " followed by the cause. An
// index at or above the count is refused (nullptr or false) without entering that state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "scene/pool_vector.h"
#include "scene/temp_record_file.h"

namespace tessaro {

// Receives the cause of a table's failure, once per failure.
class StorageErrorSink {
  public:
    virtual void storageFailed(const std::string& cause) = 0;

  protected:
    ~StorageErrorSink() = default;
};

// The part of SpillArray that does not depend on the record type: the temporary file,
// the block cache, the spill limit, the prefix and the failure state.
class SpillArrayBase {
  public:
    static constexpr std::uint32_t kDefaultSpillLimit = 65536;
    static constexpr std::size_t kMaxRecordSize = 64;
    // A power of two, so a record's block is a shift: 24 to 128 KiB a block.
    static constexpr std::uint32_t kBlockShift = 11;
    static constexpr std::uint32_t kBlockRecords = 1u << kBlockShift;
    // Enough for the loader's access patterns: appending or reading one table in order,
    // and faces reaching back to the positions of a few rows of a grid.
    static constexpr int kCacheBlocks = 8;

    bool onDisk() const { return m_onDisk; }
    std::uint32_t spillLimit() const { return m_spillLimit; }
    const char* prefix() const { return m_prefix; }

    bool failed() const { return m_failed; }
    const std::string& failureCause() const { return m_failureCause; }
    // The sink is kept across `reset`; nullptr disconnects it.
    void setErrorSink(StorageErrorSink* sink) { m_sink = sink; }

  protected:
    explicit SpillArrayBase(std::uint32_t recordSize) : m_recordSize(recordSize) {}
    ~SpillArrayBase() = default;
    SpillArrayBase(SpillArrayBase&&) noexcept = default;
    SpillArrayBase& operator=(SpillArrayBase&&) noexcept = default;

    void resetState(std::uint32_t spillLimit, std::string_view prefix);
    std::uint32_t diskCount() const { return static_cast<std::uint32_t>(m_file.count()); }
    // Creates the file and writes the in-memory records to it in one run.
    bool moveToDisk(const void* records, std::uint32_t count);
    bool diskSetCount(std::uint32_t n);
    void* diskAt(std::uint32_t index);
    const void* diskPeek(std::uint32_t index);
    bool diskStore(std::uint32_t index, const void* record);
    bool diskCopyOut(std::uint32_t first, std::uint32_t n, void* records);
    bool failMemory(std::uint64_t records);

  private:
    struct CacheBlock {
        std::unique_ptr<unsigned char[]> bytes;  // kBlockRecords records
        std::int64_t block = -1;                 // the block held; -1 when empty
        std::uint64_t lastUse = 0;
        bool dirty = false;
    };

    // The block that holds `index`, loaded when needed; nullptr after a failure.
    CacheBlock* blockFor(std::uint32_t index);
    CacheBlock* loadBlock(std::int64_t block);
    CacheBlock& victim();
    unsigned char* recordIn(CacheBlock& block, std::uint32_t index) const {
        return block.bytes.get() + std::size_t{index & (kBlockRecords - 1)} * m_recordSize;
    }
    std::span<CacheBlock> cachedBlocks() {
        return {m_blocks.get(), m_blocks ? std::size_t{kCacheBlocks} : 0};
    }
    bool writeBack(CacheBlock& block);
    bool writeBackRange(std::uint32_t first, std::uint32_t n);
    // Zeroes the cached bytes of records [from, to), which lie beyond the count.
    void zeroCached(std::uint32_t from, std::uint32_t to);
    void dropBlocksFrom(std::uint32_t index);
    void emptyCache();
    bool failFile();
    bool fail(std::string cause);

    // Allocated when the table spills, so that the many tables that never do (one set
    // per definition scope) stay small.
    std::unique_ptr<CacheBlock[]> m_blocks;
    int m_recent = 0;  // the block checked first: most accesses stay in one block
    std::uint64_t m_useClock = 0;
    std::uint32_t m_spillLimit = kDefaultSpillLimit;
    TempRecordFile m_file;
    bool m_onDisk = false;
    char m_prefix[4] = {'b', 'g', 'a', '\0'};
    bool m_failed = false;
    std::uint32_t m_recordSize;
    std::string m_failureCause;
    StorageErrorSink* m_sink = nullptr;
};

template <typename T>
class SpillArray : public SpillArrayBase {
    static_assert(std::is_trivially_copyable_v<T>, "records are copied to and from files raw");
    static_assert(sizeof(T) <= kMaxRecordSize, "cache blocks hold records of up to 64 bytes");
    static_assert(alignof(T) <= alignof(std::max_align_t), "cache blocks come from new[]");

  public:
    // Empty, in memory, spill limit 65536, prefix "bga".
    SpillArray() : SpillArrayBase(sizeof(T)) { m_memory.setAutoShrink(false); }

    // Empties the array (closing its file), clears a failure and sets limit and prefix
    // (only the first three characters are used).
    void reset(std::uint32_t spillLimit, std::string_view prefix) {
        if (onDisk()) {
            m_memory = PoolVector<T>();
            m_memory.setAutoShrink(false);
        } else {
            m_memory.clear();
        }
        resetState(spillLimit, prefix);
    }

    // Makes the array hold n records; reaching the spill limit moves it to disk. New
    // records have unspecified contents in memory and are zero on disk.
    bool setCount(std::uint32_t n) {
        if (failed()) return false;
        if (onDisk()) return diskSetCount(n);
        if (n >= spillLimit()) return spill(n);
        return m_memory.setCount(n) || failMemory(n);
    }

    std::uint32_t size() const { return onDisk() ? diskCount() : m_memory.count(); }

    // Record i for reading and writing, valid until the next call on this array.
    T* at(std::uint32_t index) {
        if (onDisk()) return static_cast<T*>(diskAt(index));
        return (index < m_memory.count() && !failed()) ? &m_memory[index] : nullptr;
    }

    // Record i for reading only: on disk the cache is not marked dirty, so reading a
    // spilled table record by record costs no write-backs.
    const T* peek(std::uint32_t index) {
        if (onDisk()) return static_cast<const T*>(diskPeek(index));
        return (index < m_memory.count() && !failed()) ? &m_memory[index] : nullptr;
    }

    // Replaces record i without reading the old one from the file.
    bool store(std::uint32_t index, const T& record) {
        if (onDisk()) return diskStore(index, &record);
        if (index >= m_memory.count() || failed()) return false;
        std::memcpy(&m_memory[index], &record, sizeof(T));
        return true;
    }

    // Copies records [first, first + n) to `records`; on disk one run read after the
    // cached blocks of that range went back to the file.
    bool copyOut(std::uint32_t first, std::uint32_t n, T* records) {
        if (onDisk()) return diskCopyOut(first, n, records);
        if (failed() || std::uint64_t{first} + n > m_memory.count()) return false;
        if (n != 0) std::memcpy(records, &m_memory[first], std::size_t{n} * sizeof(T));
        return true;
    }

  private:
    bool spill(std::uint32_t n) {
        if (!moveToDisk(m_memory.data(), m_memory.count())) return false;
        m_memory = PoolVector<T>();
        m_memory.setAutoShrink(false);
        return diskSetCount(n);
    }

    PoolVector<T> m_memory;
};

}  // namespace tessaro
