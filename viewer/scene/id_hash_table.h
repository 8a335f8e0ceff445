// IdHashTable: the definition table of one scope level, from an XGL ID to an entry.
//
// Open addressing over a power-of-two slot array: home slot and odd probe step from
// idProbe (id_probe.h, seeded per process, so crafted IDs cannot share a probe
// sequence), masked to slots - 1; odd so that every slot is visited.
// A search passes deleted slots (remembering the first for an insertion) and stops at
// an empty one. Before an insertion, when 2 * (used + deleted) exceeds the slot count,
// the table is rebuilt with 8 slots doubled until they reach 2 * used. The slot array
// is allocated on the first insertion.
//
// An owning table deletes its entries when they are replaced, removed or the table is
// destroyed. Nothing throws; an allocation failure makes `insert` return false.
#pragma once

#include <cstdint>
#include <memory>
#include <new>

#include "scene/id_probe.h"

namespace tessaro {

template <typename Entry, bool Owning>
class IdHashTable {
  public:
    static constexpr std::uint32_t kInitialSlots = 8;

    IdHashTable() = default;
    IdHashTable(const IdHashTable&) = delete;
    IdHashTable& operator=(const IdHashTable&) = delete;
    ~IdHashTable() { clear(); }

    // Files entry under id; an entry already filed under id is replaced (and deleted
    // by an owning table). False when memory is short (an owning table then deletes
    // the new entry, so it never leaks).
    bool insert(std::uint32_t id, Entry* entry) {
        const bool crowded = 2u * (std::uint64_t{m_used} + m_deleted) > m_slotCount;
        if ((m_slotCount == 0 || crowded) && !rebuild()) {
            if constexpr (Owning) delete entry;
            return false;
        }
        const Found f = search(id);
        Slot& slot = m_slots[f.hit ? f.at : f.insertAt];
        if (f.hit) {
            if constexpr (Owning) delete slot.entry;
        } else {
            if (slot.state == kDeleted) --m_deleted;
            ++m_used;
        }
        slot = {id, kLive, entry};
        return true;
    }

    Entry* find(std::uint32_t id) const {
        if (m_used == 0) return nullptr;
        const Found f = search(id);
        return f.hit ? m_slots[f.at].entry : nullptr;
    }

    // Removes the entry filed under id; true when there was one.
    bool remove(std::uint32_t id) {
        if (m_used == 0) return false;
        const Found f = search(id);
        if (!f.hit) return false;
        if constexpr (Owning) delete m_slots[f.at].entry;
        m_slots[f.at] = {0, kDeleted, nullptr};
        --m_used;
        ++m_deleted;
        return true;
    }

    void clear() {
        if constexpr (Owning) {
            for (std::uint32_t i = 0; i < m_slotCount; ++i) {
                if (m_slots[i].state == kLive) delete m_slots[i].entry;
            }
        }
        m_slots.reset();
        m_slotCount = 0;
        m_used = 0;
        m_deleted = 0;
    }

    std::uint32_t count() const { return m_used; }
    std::uint32_t slotCount() const { return m_slotCount == 0 ? kInitialSlots : m_slotCount; }

  private:
    enum State : std::uint8_t { kEmpty, kLive, kDeleted };
    struct Slot {
        std::uint32_t id = 0;
        State state = kEmpty;
        Entry* entry = nullptr;
    };
    struct Found {
        bool hit;
        std::uint32_t at;        // the live slot when hit
        std::uint32_t insertAt;  // first deleted slot passed, else the empty slot ending the search
    };

    Found search(std::uint32_t id) const {
        const std::uint32_t mask = m_slotCount - 1;
        const IdProbe where = idProbe(id);
        const std::uint32_t step = where.step;
        std::uint32_t at = where.home & mask;
        bool sawDeleted = false;
        std::uint32_t firstDeleted = 0;
        for (;; at = (at + step) & mask) {
            const Slot& s = m_slots[at];
            if (s.state == kEmpty) return {false, 0, sawDeleted ? firstDeleted : at};
            if (s.state == kLive && s.id == id) return {true, at, 0};
            if (s.state == kDeleted && !sawDeleted) {
                sawDeleted = true;
                firstDeleted = at;
            }
        }
    }

    bool rebuild() {
        std::uint64_t slots = kInitialSlots;
        while (slots < 2ull * m_used)
            slots *= 2;
        std::unique_ptr<Slot[]> fresh(new (std::nothrow) Slot[slots]);
        if (!fresh) return false;
        std::unique_ptr<Slot[]> old = std::move(m_slots);
        const std::uint32_t oldCount = m_slotCount;
        m_slots = std::move(fresh);
        m_slotCount = static_cast<std::uint32_t>(slots);
        m_deleted = 0;
        for (std::uint32_t i = 0; i < oldCount; ++i) {
            if (old[i].state == kLive) m_slots[search(old[i].id).insertAt] = old[i];
        }
        return true;
    }

    std::unique_ptr<Slot[]> m_slots;
    std::uint32_t m_slotCount = 0;
    std::uint32_t m_used = 0;
    std::uint32_t m_deleted = 0;
};

}  // namespace tessaro
