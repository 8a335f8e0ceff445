// Bounds-checked little-endian reading from a byte range: every read either succeeds
// completely or fails without moving, so no caller can read outside the range.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <type_traits>

namespace plotwick::internal {

class ByteCursor {
  public:
    explicit ByteCursor(std::span<const std::uint8_t> data, std::size_t offset = 0)
        : m_data(data), m_offset(offset) {}

    std::size_t offset() const { return m_offset; }
    std::size_t remaining() const { return m_data.size() - m_offset; }
    bool atEnd() const { return m_offset >= m_data.size(); }
    std::uint8_t peek() const { return m_data[m_offset]; }  // only when !atEnd()

    bool skip(std::size_t count) {
        if (count > remaining()) return false;
        m_offset += count;
        return true;
    }
    bool seek(std::size_t offset) {
        if (offset > m_data.size()) return false;
        m_offset = offset;
        return true;
    }

    // The next `count` bytes as a range of their own.
    bool take(std::size_t count, std::span<const std::uint8_t>& bytes) {
        if (count > remaining()) return false;
        bytes = m_data.subspan(m_offset, count);
        m_offset += count;
        return true;
    }

    template <typename T>
    bool read(T& value) {
        if (sizeof(T) > remaining()) return false;
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, m_data.data() + m_offset, sizeof(T));
        // The format is little-endian on every platform.
        std::uint64_t raw = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            raw |= std::uint64_t{bytes[i]} << (8 * i);
        using Unsigned = std::make_unsigned_t<T>;
        value = static_cast<T>(static_cast<Unsigned>(raw));
        m_offset += sizeof(T);
        return true;
    }

    // An IEEE single, little-endian like every number of the format.
    bool read(float& value) {
        std::uint32_t bits = 0;
        if (!read(bits)) return false;
        std::memcpy(&value, &bits, sizeof value);
        return true;
    }

    // A point count: one byte, or 0 followed by a uint16 for 256 and more.
    bool readCount(std::uint32_t& count) {
        const std::size_t start = m_offset;
        std::uint8_t small = 0;
        if (!read(small)) return false;
        if (small != 0) {
            count = small;
            return true;
        }
        std::uint16_t large = 0;
        if (!read(large)) {
            m_offset = start;
            return false;
        }
        count = 256u + large;
        return true;
    }

  private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_offset;
};

}  // namespace plotwick::internal
