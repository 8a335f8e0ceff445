// Normal generation: every face vertex of a drawable mesh that has no normal gets one,
// computed from the faces around its position.
//
// Faces smooth together when their smoothing-group masks share a bit and their face
// normals are less than 45 degrees apart; each contribution is weighted by the angle of
// its face at the vertex. Positions with equal coordinates are welded first, so faces
// that name different position records at the same place are still neighbours.
//
// Errors are return values; nothing throws.
#pragma once

#include <cstdint>
#include <memory>

#include "scene/records.h"

namespace tessaro {

struct Vector3 {
    double x, y, z;
};

// Scales v to unit length. A length of 0, not a number or infinite leaves v at (0, 0, 0)
// and returns false (an infinite length would otherwise turn components into NaN).
bool normalize(Vector3& v);

// Open-addressing set of positions keyed by their coordinates, over a table of position
// records that it does not own. The key is the six 32-bit words of x, y, z (low word
// first), with -0 read as +0 so that coordinates that compare equal hash alike:
//   home slot  = (w0 + 19 w1 + 17 w2 + 13 w3 + 11 w4 + 7 w5) * 15401
//   probe step = 2 (3 w0 + 5 w1 + w2 + 11 w3 + 13 w4 + 17 w5) + 1 (odd: visits every slot)
// both modulo 2^32 and masked to the power-of-two slot count. The table starts at 28 keys
// and 32 slots and doubles both before an entry when 8 * count >= 7 * slots.
class PositionWeldSet {
  public:
    static constexpr std::uint32_t kNotEntered = 0xFFFFFFFFu;
    static constexpr std::uint32_t kMinKeyCapacity = 28;
    static constexpr std::uint32_t kMinSlotCount = 32;

    explicit PositionWeldSet(const PositionRecord* positions) : m_positions(positions) {}

    // Sizes an empty set for `count` positions: the minimum sizes doubled together until
    // the key capacity holds them. False when the set is not empty or memory is short.
    bool reserve(std::uint32_t count);

    // The index of the first entered position equal to positions[index] (x, y and z
    // compare equal), or `index` itself after entering it. kNotEntered when memory is short.
    std::uint32_t enter(std::uint32_t index);

    std::uint32_t count() const { return m_count; }
    std::uint32_t keyCapacity() const { return m_keyCapacity; }
    std::uint32_t slotCount() const { return m_slotCount; }
    // Slots looked at so far, by entries and by rebuilds; tells crowded keys apart.
    std::uint64_t probeCount() const { return m_probes; }

  private:
    bool makeRoom();
    bool rebuild(std::uint64_t keyCapacity, std::uint64_t slotCount);
    std::uint32_t* findSlot(std::uint32_t index, bool* equal);

    const PositionRecord* m_positions;
    // Each slot holds 1 + a position index, or 0 when empty.
    std::unique_ptr<std::uint32_t[]> m_slots;
    std::uint32_t m_slotCount = 0;
    std::uint32_t m_keyCapacity = 0;
    std::uint32_t m_count = 0;
    std::uint64_t m_probes = 0;
};

// canonical[i] = the index of the first position whose x, y and z compare equal to those
// of position i (so -0 equals +0, and a position with a NaN coordinate only itself).
// Keys crafted to collide in the hash make it switch to sorting, with the same result.
// False when memory is short; canonical is then incomplete.
bool weldPositions(const PositionRecord* positions, std::uint32_t count, std::uint32_t* canonical);

// Smoothing a position costs one pass over its corners per distinct (mask, face normal)
// among the corners that need a normal. Above this many corner pairs the corners of that
// position are shaded flat instead, so a crafted fan cannot stall the load.
inline constexpr std::uint64_t kMaxSmoothingPairsPerPosition = std::uint64_t{1} << 26;

// Gives every face vertex whose normal index is -1 a generated normal, appended after the
// mesh's existing normals, and replaces every face's position indices by the welded ones.
// Lines and points are not touched. A face that names a position outside the table is
// left exactly as it is and is no face's neighbour.
// False only when memory is short (or the normal count would not fit a 32-bit index);
// the mesh is then unchanged.
bool generateNormals(DrawableMesh& mesh);

}  // namespace tessaro
