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

std::vector<std::uint8_t> everyOpcodeStream(const char* header = "(W2D V06.00)");

// A ZIP archive after the package header, with exactly the given entries.
std::vector<std::uint8_t> packageWithEntries(
    const std::vector<std::pair<std::string, std::string>>& entries);

std::string manifestFor(const std::string& sectionType, const std::string& streamHref);

std::vector<std::uint8_t> readFile(const std::string& path);
std::string scratchPath(const std::string& name);

}  // namespace plotwick::test
