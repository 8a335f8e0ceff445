// Streams and packages written by hand for the DWF tests: one sample that uses every
// opcode the reader knows, one shape per cell of a 5 x 5 grid, so that a picture of it
// can be checked cell by cell; and small helpers for broken files.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dwf/w2d_writer.h"

namespace plotwick::test {

// The sample's logical extent is 0..1000 on both axes; cell (column, row) spans
// 200 units, row 0 at the bottom.
inline constexpr int kCell = 200;
inline LogicalPoint cellCentre(int column, int row) {
    return {kCell * column + kCell / 2, kCell * row + kCell / 2};
}

// Little-endian pieces of a stream, appended in order.
struct B {
    std::vector<std::uint8_t> bytes;
    B& s(const std::string& text) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    B& u8(std::uint8_t v) {
        bytes.push_back(v);
        return *this;
    }
    B& u16(std::uint16_t v) { return u8(v & 0xff).u8(v >> 8); }
    B& i16(std::int16_t v) { return u16(static_cast<std::uint16_t>(v)); }
    B& u32(std::uint32_t v) { return u16(v & 0xffff).u16(static_cast<std::uint16_t>(v >> 16)); }
    B& i32(std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        return u16(u & 0xffff).u16(static_cast<std::uint16_t>(u >> 16));
    }
    B& p32(std::int32_t x, std::int32_t y) { return i32(x).i32(y); }
    B& p16(std::int16_t x, std::int16_t y) { return i16(x).i16(y); }
    B& rgba() { return u8(10).u8(20).u8(30).u8(255); }
    // The binary string form: int32 character count, UTF-16LE, '}'.
    B& utf16(const std::u16string& text) {
        s("{").i32(static_cast<std::int32_t>(text.size()));
        for (char16_t c : text)
            u16(c);
        return s("}");
    }
    B& add(const std::vector<std::uint8_t>& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
    operator std::vector<std::uint8_t>() const { return bytes; }
};

// "{" int32 length, uint16 number, data, "}": the length counts number, data and brace.
inline std::vector<std::uint8_t> extended(std::uint16_t number,
                                          const std::vector<std::uint8_t>& data) {
    return B().s("{").i32(static_cast<std::int32_t>(data.size() + 3)).u16(number).add(data).s("}");
}

std::vector<std::uint8_t> everyOpcodeStream(const char* header = "(W2D V06.00)");

// A ZIP archive after the package header, with exactly the given entries.
std::vector<std::uint8_t> packageWithEntries(
    const std::vector<std::pair<std::string, std::string>>& entries);

std::string manifestFor(const std::string& sectionType, const std::string& streamHref);

std::vector<std::uint8_t> readFile(const std::string& path);
std::string scratchPath(const std::string& name);

}  // namespace plotwick::test
