// Feeds arbitrary bytes to the DWF reader: as a 2D graphics stream behind a valid
// header (so that the fuzzer spends its time on opcodes), or as a whole file of any
// kind, package included.
//
// Input layout: the first byte selects how the rest is read.
//   bit 0   the rest is a whole file, read with readDwf
//   else    the rest follows "(W2D V06.00)" and is read with readW2d
//
// Besides the sanitizers, the target checks the reader's contract: a stream is either
// complete without a message or stopped with one; Gouraud operations carry one colour
// per point; a contour set's sizes add up to its points.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "dwf/dwf_document.h"
#include "dwf/w2d_reader.h"

namespace {

using plotwick::DrawOp;
using plotwick::OpKind;
using plotwick::W2dGraphics;

constexpr std::uint8_t kWholeFile = 1;
constexpr std::string_view kHeader = "(W2D V06.00)";

[[noreturn]] void fail(const char* what, const std::string& message) {
    std::fprintf(stderr, "DWF reader contract broken: %s (message: \"%s\")\n", what,
                 message.c_str());
    std::abort();
}

void checkOp(const DrawOp& op, const std::string& message) {
    const bool gouraud = op.kind == OpKind::gouraudTriangles || op.kind == OpKind::gouraudPolyline;
    if (gouraud && op.vertexColours.size() != op.points.size()) fail("colours per point", message);
    if (op.kind == OpKind::contourSet) {
        std::size_t total = 0;
        for (std::uint32_t size : op.contours)
            total += size;
        if (total != op.points.size()) fail("contour sizes and points disagree", message);
    }
}

void checkGraphics(const W2dGraphics& graphics) {
    if (graphics.complete == !graphics.message.empty()) {
        fail("completion disagrees with the message", graphics.message);
    }
    for (const DrawOp& op : graphics.ops)
        checkOp(op, graphics.message);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    if ((mode & kWholeFile) != 0) {
        const plotwick::DwfDocument document = plotwick::readDwf({data + 1, size - 1});
        if (document.sheets.empty() == document.message.empty()) {
            fail("sheets and message disagree", document.message);
        }
        for (const plotwick::Sheet& sheet : document.sheets)
            checkGraphics(sheet.graphics);
        return 0;
    }
    std::vector<std::uint8_t> stream(kHeader.begin(), kHeader.end());
    stream.insert(stream.end(), data + 1, data + size);
    checkGraphics(plotwick::readW2d(stream));
    return 0;
}
