// CCITT Group 4 (T.6) image data, as scanned drawings carry it, decoded into rows of
// one bit a pixel. The build chooses how: libtiff's fax decoder where the library is
// present; elsewhere (the Windows build) such images are reported as not decoded.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace plotwick::internal {

// Decodes `columns` x `rows` pixels into `bits`: rows top to bottom, each padded to a
// whole byte, most significant bit first, 1 where the code says black. False, with
// `problem`, when the data is damaged or ends before the last row, or when this build
// cannot decode such data.
bool decodeGroup4(std::span<const std::uint8_t> data, int columns, int rows,
                  std::vector<std::uint8_t>& bits, std::string& problem);

}  // namespace plotwick::internal
