#include "scene/spill_array.h"

#include <algorithm>
#include <climits>
#include <new>
#include <utility>

namespace tessaro {
namespace {

// Record indices in a temporary file are signed 32-bit.
constexpr const char* kTooManyRecords = "Too many records for a temporary file";

}  // namespace

void SpillArrayBase::resetState(std::uint32_t spillLimit, std::string_view prefix) {
    m_file.close();
    m_onDisk = false;
    // A table back in memory holds no blocks, so only spilled tables cost their bound.
    m_blocks.reset();
    m_spillLimit = spillLimit;
    const std::size_t length = prefix.size() < 3 ? prefix.size() : 3;
    std::memcpy(m_prefix, prefix.data(), length);
    m_prefix[length] = '\0';
    m_failed = false;
    m_failureCause.clear();
}

bool SpillArrayBase::moveToDisk(const void* records, std::uint32_t count) {
    if (count > INT32_MAX) return fail(kTooManyRecords);
    m_blocks.reset(new (std::nothrow) CacheBlock[kCacheBlocks]);
    if (!m_blocks) return failMemory(count);
    m_recent = 0;
    if (!m_file.create(m_recordSize, m_prefix)) return failFile();
    m_onDisk = true;
    const auto n = static_cast<std::int32_t>(count);
    if (n != 0 && m_file.writeRun(records, 0, n) != n) return failFile();
    return true;
}

bool SpillArrayBase::diskSetCount(std::uint32_t n) {
    if (m_failed) return false;
    if (n > INT32_MAX) return fail(kTooManyRecords);
    const std::uint32_t old = diskCount();
    m_file.setCount(static_cast<std::int32_t>(n));
    if (n <= old) {
        // Records that no longer exist are never written back, and a block that keeps
        // some of them holds zeros in their place: cached bytes beyond the count are
        // always zero (a block read from the file is zero-filled past the count too), so
        // growing needs no work here and new records read as zero.
        dropBlocksFrom(n);
        zeroCached(n, old);
        return true;
    }
    return !m_file.failed() || failFile();
}

void* SpillArrayBase::diskAt(std::uint32_t index) {
    CacheBlock* block = blockFor(index);
    if (block == nullptr) return nullptr;
    block->dirty = true;
    return recordIn(*block, index);
}

const void* SpillArrayBase::diskPeek(std::uint32_t index) {
    CacheBlock* block = blockFor(index);
    return block == nullptr ? nullptr : recordIn(*block, index);
}

bool SpillArrayBase::diskStore(std::uint32_t index, const void* record) {
    CacheBlock* block = blockFor(index);
    if (block == nullptr) return false;
    std::memcpy(recordIn(*block, index), record, m_recordSize);
    block->dirty = true;
    return true;
}

bool SpillArrayBase::diskCopyOut(std::uint32_t first, std::uint32_t n, void* records) {
    if (m_failed || std::uint64_t{first} + n > diskCount()) return false;
    if (n == 0) return true;
    if (!writeBackRange(first, n)) return false;
    const auto wanted = static_cast<std::int32_t>(n);
    if (m_file.readRun(records, static_cast<std::int32_t>(first), wanted) != wanted) {
        return failFile();
    }
    return true;
}

bool SpillArrayBase::failMemory(std::uint64_t records) {
    return fail("Not enough memory for a table of " + std::to_string(records) + " records");
}

SpillArrayBase::CacheBlock* SpillArrayBase::blockFor(std::uint32_t index) {
    if (m_failed || index >= diskCount()) return nullptr;
    const std::int64_t wanted = index >> kBlockShift;
    if (m_blocks[m_recent].block == wanted) return &m_blocks[m_recent];
    for (int i = 0; i < kCacheBlocks; ++i) {
        if (m_blocks[i].block == wanted) {
            m_recent = i;
            m_blocks[i].lastUse = ++m_useClock;
            return &m_blocks[i];
        }
    }
    return loadBlock(wanted);
}

SpillArrayBase::CacheBlock* SpillArrayBase::loadBlock(std::int64_t wanted) {
    CacheBlock& block = victim();
    if (!writeBack(block)) return nullptr;
    block.block = -1;
    if (!block.bytes) {
        block.bytes.reset(new (std::nothrow) unsigned char[kBlockRecords * m_recordSize]);
        if (!block.bytes) {
            fail("Not enough memory for a block of a temporary file's records");
            return nullptr;
        }
    }
    const auto first = static_cast<std::int32_t>(wanted << kBlockShift);
    const std::int32_t n = std::min<std::int32_t>(kBlockRecords, m_file.count() - first);
    // Until the read succeeds the block holds nothing, so a failed read leaves no stale
    // records behind under the new index.
    if (m_file.readRun(block.bytes.get(), first, n) != n) {
        failFile();
        return nullptr;
    }
    std::memset(block.bytes.get() + std::size_t(n) * m_recordSize, 0,
                std::size_t(kBlockRecords - n) * m_recordSize);
    block.block = wanted;
    block.dirty = false;
    block.lastUse = ++m_useClock;
    m_recent = static_cast<int>(&block - m_blocks.get());
    return &block;
}

SpillArrayBase::CacheBlock& SpillArrayBase::victim() {
    CacheBlock* oldest = &m_blocks[0];
    for (CacheBlock& block : cachedBlocks()) {
        if (block.block < 0) return block;
        if (block.lastUse < oldest->lastUse) oldest = &block;
    }
    return *oldest;
}

bool SpillArrayBase::writeBack(CacheBlock& block) {
    if (block.block < 0 || !block.dirty) return true;
    // Only records inside the count reach the file; the rest of the block is zeros.
    const auto first = static_cast<std::int32_t>(block.block << kBlockShift);
    const std::int32_t n = std::min<std::int32_t>(kBlockRecords, m_file.count() - first);
    if (n > 0 && m_file.writeRun(block.bytes.get(), first, n) != n) return failFile();
    block.dirty = false;
    return true;
}

bool SpillArrayBase::writeBackRange(std::uint32_t first, std::uint32_t n) {
    const std::int64_t from = first >> kBlockShift;
    const std::int64_t to = (std::uint64_t{first} + n - 1) >> kBlockShift;
    for (CacheBlock& block : cachedBlocks()) {
        if (block.block >= from && block.block <= to && !writeBack(block)) return false;
    }
    return true;
}

void SpillArrayBase::zeroCached(std::uint32_t from, std::uint32_t to) {
    for (CacheBlock& block : cachedBlocks()) {
        if (block.block < 0) continue;
        const std::uint64_t start = std::uint64_t(block.block) << kBlockShift;
        const std::uint64_t begin = std::max<std::uint64_t>(start, from);
        const std::uint64_t end = std::min<std::uint64_t>(start + kBlockRecords, to);
        if (begin < end) {
            std::memset(block.bytes.get() + (begin - start) * m_recordSize, 0,
                        (end - begin) * m_recordSize);
        }
    }
}

void SpillArrayBase::dropBlocksFrom(std::uint32_t index) {
    for (CacheBlock& block : cachedBlocks()) {
        if (block.block >= 0 && (std::uint64_t(block.block) << kBlockShift) >= index) {
            block.block = -1;
            block.dirty = false;
        }
    }
}

void SpillArrayBase::emptyCache() {
    for (CacheBlock& block : cachedBlocks()) {
        block.block = -1;
        block.dirty = false;
    }
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
