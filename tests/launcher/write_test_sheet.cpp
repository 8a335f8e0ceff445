// Writes the hand-made sheet for the tests that run outside the test programs (wine):
// its texts and hatch sit in a compressed block (0x0011: zlib with the format's preset
// dictionary), followed by a cross-hatched and a checkered square and a text turned,
// widened and slanted by its font.
// Usage: write_test_sheet OUT.w2d
#include <zlib.h>

#include <cstdio>
#include <fstream>

#include "dwf/w2d_dictionary.h"
#include "hand_made_sheet.h"

namespace {

using plotwick::test::B;
using plotwick::test::Bytes;

Bytes deflatedWithDictionary(const Bytes& opcodes) {
    z_stream z{};
    deflateInit(&z, Z_BEST_COMPRESSION);
    const auto dictionary = plotwick::internal::w2dZlibDictionary();
    deflateSetDictionary(&z, dictionary.data(), static_cast<uInt>(dictionary.size()));
    Bytes out(deflateBound(&z, static_cast<uLong>(opcodes.size())) + 64);
    z.next_in = const_cast<Bytef*>(opcodes.data());
    z.avail_in = static_cast<uInt>(opcodes.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const bool finished = deflate(&z, Z_FINISH) == Z_STREAM_END;
    out.resize(z.total_out);
    deflateEnd(&z);
    return finished ? out : Bytes{};
}

// '{', a length of 0 (a compressed block cannot be skipped), the opcode, the zlib
// stream, '}'.
Bytes compressed(const Bytes& opcodes) {
    B more;
    more.add(opcodes);
    more.u8(0x03).u8(200).u8(0).u8(0).u8(255).s("(FillPattern Crosshatch)F");
    more.u8('O').p32(1000, 4500).u8('p').u8(4).p32(0, 0).p32(2000, 0).p32(0, 2000).p32(-2000, 0);
    more.u8(0x03).u8(0).u8(128).u8(0).u8(255).s("(FillPattern Checkerboard)");
    more.u8('O').p32(4500, 4500).u8('p').u8(4).p32(0, 0).p32(2000, 0).p32(0, 2000).p32(-2000, 0);
    more.s("f(FillPattern Solid)");
    // A text placed by the font alone: 500 units high, turned 30 degrees, half as wide
    // again, slanted 15 degrees (angles in 1/65536 of a turn, width in 1/1024).
    more.u8(0x03).u8(0).u8(0).u8(0).u8(255);
    more.u8(0x06).u16(0x0020 | 0x0040 | 0x0080 | 0x0200).i32(500).u16(5461).u16(1536).u16(2731);
    more.u8('O').p32(6000, 7000).u8('x').p32(0, 0).utf16(u"Slanted");
    return B().s("{").i32(0).u16(0x0011).add(deflatedWithDictionary(more)).s("}");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_test_sheet OUT.w2d\n");
        return 2;
    }
    const Bytes sheet = plotwick::test::handMadeSheet(compressed);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(sheet.data()),
              static_cast<std::streamsize>(sheet.size()));
    return out.good() ? 0 : 1;
}
