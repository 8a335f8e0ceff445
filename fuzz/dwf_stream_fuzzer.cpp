// Feeds arbitrary bytes to the DWF reader: as a 2D graphics stream behind a valid
// header (so that the fuzzer spends its time on opcodes), or as a whole file of any
// kind, package included.
//
// Input layout: the first byte selects how the rest is read.
//   bit 0   the rest is a whole file, read with readDwf
//   else    the rest follows "(W2D V06.00)" and is read with readW2d
//
// Besides the sanitizers, the target checks the reader's contract (dwf_contract.h).
#include <cstdint>
#include <string_view>
#include <vector>

#include "dwf/dwf_document.h"
#include "dwf/w2d_reader.h"
#include "dwf_contract.h"

namespace {

constexpr std::uint8_t kWholeFile = 1;
constexpr std::string_view kHeader = "(W2D V06.00)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    if ((mode & kWholeFile) != 0) {
        plotwick::fuzz::checkDocument(plotwick::readDwf({data + 1, size - 1}));
        return 0;
    }
    std::vector<std::uint8_t> stream(kHeader.begin(), kHeader.end());
    stream.insert(stream.end(), data + 1, data + size);
    plotwick::fuzz::checkGraphics(plotwick::readW2d(stream));
    return 0;
}
