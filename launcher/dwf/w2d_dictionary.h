// The preset dictionary that zlib-compressed regions of a 2D graphics stream use.
#pragma once

#include <cstdint>
#include <span>

namespace plotwick::internal {

inline constexpr std::uint32_t kW2dDictionaryId = 0x5CBC15B9;

std::span<const std::uint8_t> w2dZlibDictionary();

}  // namespace plotwick::internal
