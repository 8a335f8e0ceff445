#include "dwf/ccitt_group4.h"

namespace plotwick::internal {

bool decodeGroup4(std::span<const std::uint8_t>, int, int, std::vector<std::uint8_t>&,
                  std::string& problem) {
    problem = "CCITT-coded images are not decoded in this build";
    return false;
}

}  // namespace plotwick::internal
