// Where the ID tables (IdIndex, IdHashTable) start looking for an ID and how far they
// step. Both come from the ID mixed with a seed chosen once per process, so that IDs
// chosen to share a fixed hash's slots (say, all multiples of 2^16) do not share them
// here: such a document would otherwise make every insertion probe every earlier ID.
// Tables still grow by their fixed rules; only where an ID lands changes from run to
// run, and nothing reads a table in slot order.
#pragma once

#include <cstdint>

namespace tessaro {

struct IdProbe {
    std::uint32_t home;
    std::uint32_t step;  // odd, so a power-of-two table is walked through every slot
};

std::uint64_t idProbeSeed();

// A 64-bit finaliser (every input bit moves about half the output bits).
inline std::uint64_t mixIdBits(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

inline IdProbe idProbe(std::uint32_t id) {
    static const std::uint64_t seed = idProbeSeed();
    const std::uint64_t mixed = mixIdBits(id ^ seed);
    return {static_cast<std::uint32_t>(mixed), static_cast<std::uint32_t>(mixed >> 32) | 1u};
}

}  // namespace tessaro
