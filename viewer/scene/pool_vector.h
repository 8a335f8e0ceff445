// PoolVector: the growable array of plain, memory-copyable elements used by the
// scene model, the parser's stacks and the spill tables.
//
// Its capacity rules are part of the contract (other code relies on them):
//  - growing: twice the old capacity, at least 16, doubled until it holds n;
//  - setCount/append with auto-shrink: a capacity above 2*n falls to the smallest
//    power of two from 16 up that holds n;
//  - pop with auto-shrink: a capacity above 2*count falls to count (16 at most);
//  - clear with auto-shrink: any capacity other than 0 and 16 becomes 16.
// Every change of capacity allocates a new block and copies the live elements.
// A failed allocation (or a count beyond 32 bits) leaves the array unchanged and
// is reported by the return value; nothing throws.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>

namespace tessaro {

template <typename T>
class PoolVector {
    static_assert(std::is_trivially_copyable_v<T>, "PoolVector moves elements with memcpy");

  public:
    static constexpr std::uint32_t kFailed = 0xFFFFFFFFu;
    static constexpr std::uint32_t kMinCapacity = 16;

    PoolVector() = default;
    PoolVector(const PoolVector&) = delete;
    PoolVector& operator=(const PoolVector&) = delete;
    PoolVector(PoolVector&& other) noexcept { swap(other); }
    PoolVector& operator=(PoolVector&& other) noexcept {
        PoolVector tmp(std::move(other));
        swap(tmp);
        return *this;
    }

    // Index of the new element (the old count), or kFailed when it could not grow.
    std::uint32_t append(const T& value) {
        const std::uint32_t index = m_count;
        if (!setCount(std::uint64_t{m_count} + 1)) return kFailed;
        std::memcpy(&m_data.get()[index], &value, sizeof(T));
        return index;
    }

    // Appends count elements in one step; false when the array could not grow.
    bool appendRange(const T* values, std::uint32_t n) {
        const std::uint32_t at = m_count;
        if (!setCount(std::uint64_t{m_count} + n)) return false;
        if (n != 0) std::memcpy(&m_data.get()[at], values, sizeof(T) * n);
        return true;
    }

    // The array holds n elements afterwards; new elements are not initialised.
    bool setCount(std::uint64_t n) {
        if (n > kMaxCount) return false;
        const auto wanted = static_cast<std::uint32_t>(n);
        if (m_capacity < wanted) {
            if (!reallocate(grownCapacity(wanted))) return false;
        } else if (m_autoShrink && std::uint64_t{m_capacity} > 2 * n) {
            if (!reallocate(fittingPowerOfTwo(wanted))) return false;
        }
        m_count = wanted;
        return true;
    }

    T pop() {
        T last = m_data.get()[m_count - 1];
        --m_count;
        if (m_autoShrink && std::uint64_t{m_capacity} > 2ull * m_count) {
            // Shrinking is best effort: a failed allocation keeps the larger block.
            reallocate(m_count <= kMinCapacity ? kMinCapacity : m_count);
        }
        return last;
    }

    T& top() { return m_data.get()[m_count - 1]; }
    const T& top() const { return m_data.get()[m_count - 1]; }

    void clear() {
        m_count = 0;
        if (m_autoShrink && m_capacity != 0 && m_capacity != kMinCapacity) {
            reallocate(kMinCapacity);
        }
    }

    std::uint32_t countOf(const T& value) const {
        std::uint32_t n = 0;
        for (std::uint32_t i = 0; i < m_count; ++i) {
            if (std::memcmp(&m_data.get()[i], &value, sizeof(T)) == 0) ++n;
        }
        return n;
    }

    void setAutoShrink(bool on) { m_autoShrink = on; }
    bool autoShrink() const { return m_autoShrink; }

    std::uint32_t count() const { return m_count; }
    std::uint32_t capacity() const { return m_capacity; }
    bool empty() const { return m_count == 0; }
    T* data() { return m_data.get(); }
    const T* data() const { return m_data.get(); }
    T& operator[](std::uint32_t i) { return m_data.get()[i]; }
    const T& operator[](std::uint32_t i) const { return m_data.get()[i]; }
    T* begin() { return m_data.get(); }
    T* end() { return m_data.get() + m_count; }
    const T* begin() const { return m_data.get(); }
    const T* end() const { return m_data.get() + m_count; }

    void swap(PoolVector& other) noexcept {
        std::swap(m_capacity, other.m_capacity);
        std::swap(m_count, other.m_count);
        std::swap(m_data, other.m_data);
        std::swap(m_autoShrink, other.m_autoShrink);
    }

  private:
    // Capacities are doubled in 32 bits, so the largest count is the largest power of two.
    static constexpr std::uint32_t kMaxCount = 0x80000000u;

    struct FreeBlock {
        void operator()(T* p) const { std::free(p); }
    };

    std::uint32_t grownCapacity(std::uint32_t n) const {
        std::uint64_t capacity = std::uint64_t{m_capacity} * 2;
        if (capacity < kMinCapacity) capacity = kMinCapacity;
        while (capacity < n)
            capacity *= 2;
        return static_cast<std::uint32_t>(capacity);
    }

    static std::uint32_t fittingPowerOfTwo(std::uint32_t n) {
        std::uint64_t capacity = kMinCapacity;
        while (capacity < n)
            capacity *= 2;
        return static_cast<std::uint32_t>(capacity);
    }

    bool reallocate(std::uint32_t capacity) {
        if (capacity == m_capacity) return true;
        std::unique_ptr<T, FreeBlock> block;
        if (capacity != 0) {
            block.reset(static_cast<T*>(std::malloc(std::size_t{capacity} * sizeof(T))));
            if (!block) return false;
            const std::uint32_t kept = m_count < capacity ? m_count : capacity;
            if (kept != 0) std::memcpy(block.get(), m_data.get(), std::size_t{kept} * sizeof(T));
        }
        m_data = std::move(block);
        m_capacity = capacity;
        return true;
    }

    std::uint32_t m_capacity = 0;
    std::uint32_t m_count = 0;
    std::unique_ptr<T, FreeBlock> m_data;
    bool m_autoShrink = true;
};

}  // namespace tessaro
