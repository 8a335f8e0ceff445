// IdIndex: open-addressing hash from 32-bit XGL IDs to record indices.
//
// IDs are numbered in order of first insertion; that number is the index of the ID's
// record in the SpillArray paired with the index. Inserting an ID again returns its old
// number, so a redefinition overwrites the first record.
//
// Hashing: home slot and odd probe step from idProbe (id_probe.h, seeded per process),
// both masked to the slot count. Sizes are fixed (other code sizes tables by them):
// before an insertion the table grows when 8 * count >= 7 * slots:
// keys to max(28, 2 * count), slots to max(32, 2 * slots). The first insertion allocates
// 28 keys and 32 slots.
//
// Errors: an allocation failure makes `insert` return kNotFound and leaves the index as it
// was. Nothing throws.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

namespace tessaro {

class IdIndex {
  public:
    static constexpr std::uint32_t kNotFound = 0xFFFFFFFFu;
    static constexpr std::uint32_t kMinKeyCapacity = 28;
    static constexpr std::uint32_t kMinSlotCount = 32;

    IdIndex() = default;
    IdIndex(const IdIndex&) = delete;
    IdIndex& operator=(const IdIndex&) = delete;
    // A moved-from index is empty.
    IdIndex(IdIndex&& other) noexcept { swap(other); }
    IdIndex& operator=(IdIndex&& other) noexcept {
        IdIndex taken(std::move(other));
        swap(taken);
        return *this;
    }

    // The record index of id: its old number, or the old count when id is new.
    std::uint32_t insert(std::uint32_t id);
    // The record index of id, or kNotFound.
    std::uint32_t find(std::uint32_t id) const;

    // Sizes an empty index for `keys` IDs: the minimum sizes doubled together until the
    // key capacity holds them. False when the index is not empty or memory is short.
    bool reserve(std::uint32_t keys);

    std::uint32_t count() const { return m_count; }
    std::uint32_t keyCapacity() const { return m_keyCapacity; }
    std::uint32_t slotCount() const { return m_slotCount; }

    void swap(IdIndex& other) noexcept {
        std::swap(m_keys, other.m_keys);
        std::swap(m_count, other.m_count);
        std::swap(m_slots, other.m_slots);
        std::swap(m_slotCount, other.m_slotCount);
        std::swap(m_keyCapacity, other.m_keyCapacity);
    }

  private:
    std::uint32_t probe(std::uint32_t id) const;
    bool makeRoom();
    bool rebuild(std::uint64_t keyCapacity, std::uint64_t slotCount);

    // IDs in order of first insertion.
    std::unique_ptr<std::uint32_t[]> m_keys;
    std::uint32_t m_count = 0;
    // Each slot holds 1 + the key's position, or 0 when empty, so every 32-bit value can
    // be an ID.
    std::unique_ptr<std::uint32_t[]> m_slots;
    std::uint32_t m_slotCount = 0;
    std::uint32_t m_keyCapacity = 0;
};

}  // namespace tessaro
