// A set of addresses that makes no allocation per entry. A walk down a deep record adds the array
// it enters and removes it on the way back up, millions of times for a record of shared arrays;
// a node-based set allocates and frees once each time. This one keeps its entries in one table,
// at most half full, probed linearly, and removes an entry by moving the later entries of its run
// back (no tombstones), so that entries that come and go leave the table as fast as before.
#pragma once

#include "platform/invariant.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kiv {

class PointerSet {
  public:
    bool contains(const void* key) const noexcept {
        if (slots_.empty()) {
            return false;
        }
        for (std::size_t slot = homeOf(key);; slot = next(slot)) {
            if (slots_[slot] == key) {
                return true;
            }
            if (!slots_[slot]) {
                return false;
            }
        }
    }

    // Adds `key`, which is not null; false when it was in the set already.
    bool insert(const void* key) {
        KIV_ASSERT(key, "a set entry is an address");
        if (2 * (size_ + 1) > slots_.size()) {
            grow();
        }
        std::size_t slot = homeOf(key);
        for (; slots_[slot]; slot = next(slot)) {
            if (slots_[slot] == key) {
                return false;
            }
        }
        slots_[slot] = key;
        ++size_;
        return true;
    }

    // Removes `key`, which is in the set.
    void erase(const void* key) noexcept {
        KIV_ASSERT(contains(key), "only an entry of the set is removed");
        std::size_t hole = homeOf(key);
        while (slots_[hole] != key) {
            hole = next(hole);
        }
        // A later entry of the run moves into the hole unless its home lies cyclically after the
        // hole and up to its own slot, where a lookup from its home still finds it.
        for (std::size_t slot = next(hole); slots_[slot]; slot = next(slot)) {
            const std::size_t home = homeOf(slots_[slot]);
            const bool reachable =
                hole < slot ? (hole < home && home <= slot) : (hole < home || home <= slot);
            if (!reachable) {
                slots_[hole] = slots_[slot];
                hole = slot;
            }
        }
        slots_[hole] = nullptr;
        --size_;
    }

  private:
    static constexpr std::size_t kFirstCapacity = 64;

    // Fibonacci hashing: the top bits of the address times 2^w / phi for a word of w bits.
    std::size_t homeOf(const void* key) const noexcept {
        const auto address = reinterpret_cast<std::uintptr_t>(key);
        if constexpr (sizeof address == 8) {
            return static_cast<std::size_t>((address * 0x9E3779B97F4A7C15ull) >> shift_);
        } else {
            return static_cast<std::size_t>((address * 0x9E3779B9u) >> shift_);
        }
    }
    std::size_t next(std::size_t slot) const noexcept { return (slot + 1) & (slots_.size() - 1); }

    void grow() {
        std::vector<const void*> entries(slots_.empty() ? kFirstCapacity : 2 * slots_.size(), nullptr);
        entries.swap(slots_);
        shift_ = 8 * sizeof(std::uintptr_t);
        for (std::size_t capacity = slots_.size(); capacity > 1; capacity /= 2) {
            --shift_;
        }
        for (const void* key : entries) {
            if (key) {
                std::size_t slot = homeOf(key);
                while (slots_[slot]) {
                    slot = next(slot);
                }
                slots_[slot] = key;
            }
        }
    }

    std::vector<const void*> slots_; // a power of two of them, null where free
    std::size_t size_ = 0;
    unsigned shift_ = 0; // the bits of an address less those of a slot index
};

} // namespace kiv
