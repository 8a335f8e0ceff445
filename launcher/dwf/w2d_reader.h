// Decodes a 2D graphics stream (a bare .w2d, a package's stream or a single-stream
// DWF, each beginning with its 12-byte header) into a display list. Compressed
// regions (zlib with the format's preset dictionary) are inflated as they are met.
//
// Never throws and never reads outside `data`. Decoding stops at (EndOfDWF), at the
// end of the data, at the first opcode it cannot read or skip, or when the display
// list or the inflated data outgrow their budgets; in all but the first case `message`
// says why (naming the opcode and its byte offset) and the operations read before that
// point are kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "dwf/display_list.h"

namespace plotwick {

// Parentheses of extended ASCII opcodes nest at most this deep; real files use a few
// levels, and a bound keeps a hostile file from driving the skipper arbitrarily deep.
inline constexpr int kMaxNesting = 64;

// Inflated bytes of one stream at most; real streams are a few MB.
inline constexpr std::size_t kMaxInflatedBytes = std::size_t{64} << 20;

struct W2dLimits {
    std::size_t displayListBytes = 0;  // memory the decoded operations may take
    std::size_t inflatedBytes = kMaxInflatedBytes;
};

// The budget for a stream of `streamBytes`: a fixed floor for small drawings plus a
// multiple of the input, so that the memory asked for stays proportional to it.
W2dLimits limitsFor(std::size_t streamBytes);

W2dGraphics readW2d(std::span<const std::uint8_t> data);
W2dGraphics readW2d(std::span<const std::uint8_t> data, const W2dLimits& limits);

}  // namespace plotwick
