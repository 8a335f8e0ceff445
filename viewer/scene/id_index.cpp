#include "scene/id_index.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "scene/id_probe.h"

namespace tessaro {
namespace {

// The largest power of two a 32-bit slot count can hold.
constexpr std::uint64_t kMaxSlotCount = std::uint64_t{1} << 31;

}  // namespace

std::uint32_t IdIndex::insert(std::uint32_t id) {
    if (!makeRoom()) return kNotFound;
    const std::uint32_t slot = probe(id);
    if (m_slots[slot] != 0) return m_slots[slot] - 1;
    m_keys[m_count] = id;
    m_slots[slot] = m_count + 1;
    return m_count++;
}

std::uint32_t IdIndex::find(std::uint32_t id) const {
    if (m_count == 0) return kNotFound;
    const std::uint32_t entry = m_slots[probe(id)];
    return entry != 0 ? entry - 1 : kNotFound;
}

bool IdIndex::reserve(std::uint32_t keys) {
    if (m_count != 0) return false;
    std::uint64_t keyCapacity = kMinKeyCapacity;
    std::uint64_t slotCount = kMinSlotCount;
    while (keyCapacity < keys) {
        keyCapacity *= 2;
        slotCount *= 2;
    }
    return rebuild(keyCapacity, slotCount);
}

// The slot that holds id, or the empty slot that ends its probe sequence. The load
// factor stays below 7/8, so an empty slot always exists.
std::uint32_t IdIndex::probe(std::uint32_t id) const {
    const std::uint32_t mask = m_slotCount - 1;
    const IdProbe where = idProbe(id);
    const std::uint32_t step = where.step & mask;
    std::uint32_t slot = where.home & mask;
    while (m_slots[slot] != 0 && m_keys[m_slots[slot] - 1] != id)
        slot = (slot + step) & mask;
    return slot;
}

bool IdIndex::makeRoom() {
    if (m_keyCapacity == 0) return rebuild(kMinKeyCapacity, kMinSlotCount);
    const bool crowded = 8 * std::uint64_t{m_count} >= 7 * std::uint64_t{m_slotCount};
    if (!crowded && m_count < m_keyCapacity) return true;
    return rebuild(std::max<std::uint64_t>(kMinKeyCapacity, 2 * std::uint64_t{m_count}),
                   std::max<std::uint64_t>(kMinSlotCount, 2 * std::uint64_t{m_slotCount}));
}

bool IdIndex::rebuild(std::uint64_t keyCapacity, std::uint64_t slotCount) {
    if (slotCount > kMaxSlotCount || keyCapacity > slotCount) return false;
    std::unique_ptr<std::uint32_t[]> keys(new (std::nothrow) std::uint32_t[keyCapacity]);
    std::unique_ptr<std::uint32_t[]> slots(new (std::nothrow) std::uint32_t[slotCount]());
    if (!keys || !slots) return false;
    if (m_count != 0) std::memcpy(keys.get(), m_keys.get(), m_count * sizeof(std::uint32_t));
    m_keys = std::move(keys);
    m_slots = std::move(slots);
    m_keyCapacity = static_cast<std::uint32_t>(keyCapacity);
    m_slotCount = static_cast<std::uint32_t>(slotCount);
    for (std::uint32_t entry = 0; entry < m_count; ++entry)
        m_slots[probe(m_keys[entry])] = entry + 1;
    return true;
}

}  // namespace tessaro
