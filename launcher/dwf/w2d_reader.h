// Decodes a 2D graphics stream (a bare .w2d, a package's stream or a single-stream
// DWF, each beginning with its 12-byte header) into a display list.
//
// Never throws and never reads outside `data`. Decoding stops at (EndOfDWF), at the
// end of the data, or at the first opcode it cannot read or skip; in the last two
// cases `message` says why (naming the opcode and its byte offset) and the operations
// read before that point are kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "dwf/display_list.h"

namespace plotwick {

// Parentheses of extended ASCII opcodes nest at most this deep; real files use a few
// levels, and a bound keeps a hostile file from driving the skipper arbitrarily deep.
inline constexpr int kMaxNesting = 64;

W2dGraphics readW2d(std::span<const std::uint8_t> data);

}  // namespace plotwick
