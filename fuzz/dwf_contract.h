// What both DWF fuzzers require of the reader besides the sanitizers: a stream is
// either complete without a message or stopped with one; Gouraud operations carry one
// colour per point; a contour set's sizes add up to its points; a document has sheets
// or a message, never both nor neither.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "dwf/dwf_document.h"

namespace plotwick::fuzz {

[[noreturn]] inline void fail(const char* what, const std::string& message) {
    std::fprintf(stderr, "DWF reader contract broken: %s (message: \"%s\")\n", what,
                 message.c_str());
    std::abort();
}

inline void checkOp(const DrawOp& op, const std::string& message) {
    const bool gouraud = op.kind == OpKind::gouraudTriangles || op.kind == OpKind::gouraudPolyline;
    if (gouraud && op.vertexColours.size() != op.points.size()) fail("colours per point", message);
    if (op.kind == OpKind::contourSet) {
        std::size_t total = 0;
        for (std::uint32_t size : op.contours)
            total += size;
        if (total != op.points.size()) fail("contour sizes and points disagree", message);
    }
}

inline void checkGraphics(const W2dGraphics& graphics) {
    if (graphics.complete == !graphics.message.empty()) {
        fail("completion disagrees with the message", graphics.message);
    }
    for (const DrawOp& op : graphics.ops)
        checkOp(op, graphics.message);
}

inline void checkDocument(const DwfDocument& document) {
    if (document.sheets.empty() == document.message.empty()) {
        fail("sheets and message disagree", document.message);
    }
    for (const Sheet& sheet : document.sheets)
        checkGraphics(sheet.graphics);
}

}  // namespace plotwick::fuzz
