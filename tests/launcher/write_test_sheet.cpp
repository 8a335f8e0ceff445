// Writes the hand-made sheet for the tests that run outside the test programs (wine):
// its texts and hatch, with the extra squares and text, sit in a compressed block
// (0x0011: zlib with the format's preset dictionary).
// With "squashed-text", it writes the squashed, turned text of huge glyphs instead.
// Usage: write_test_sheet OUT.w2d [squashed-text]
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <string_view>

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
    return B()
        .s("{")
        .i32(0)
        .u16(0x0011)
        .add(deflatedWithDictionary(plotwick::test::withExtras(opcodes)))
        .s("}");
}

}  // namespace

int main(int argc, char** argv) {
    const bool squashed = argc == 3 && std::string_view(argv[2]) == "squashed-text";
    if (argc != 2 && !squashed) {
        std::fprintf(stderr, "usage: write_test_sheet OUT.w2d [squashed-text]\n");
        return 2;
    }
    const Bytes sheet =
        squashed ? plotwick::test::squashedTurnedText() : plotwick::test::handMadeSheet(compressed);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(sheet.data()),
              static_cast<std::streamsize>(sheet.size()));
    return out.good() ? 0 : 1;
}
