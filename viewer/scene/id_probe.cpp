#include "scene/id_probe.h"

#include <chrono>

namespace tessaro {

// The clock and where the program was loaded (address randomisation) differ from run
// to run; neither call can fail or throw, unlike a random device.
std::uint64_t idProbeSeed() {
    static const char anchor = 0;
    const auto now =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const auto where = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&anchor));
    return mixIdBits(now ^ mixIdBits(where));
}

}  // namespace tessaro
