// The member names a reader met, remembered by where they stood: a seed that tells the structure's
// place in the document apart (the names of the members that lead to it) and the member's
// position in it. Documents repeat their shapes, every object of an array holding the same names
// in the same order, so most names are found here with one comparison instead of a hash and a
// search of the pool, and a structure's member table is made as large as the last one of its
// place at once.
//
// The cache holds no reference of its own. A remembered record stays alive while a key of the tree
// being built holds it, and a key goes only when a node that already held something is written
// over; the tree builder forgets everything before it hands out such a node.
#pragma once

#include "value/pooled_string.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kiv {

class MemberNameCache {
  public:
    // The seed of a structure placed under `parent` (the seed of the container it lies in), as
    // the member named `key`, or as an element when `key` is null.
    static std::uint32_t seedOf(std::uint32_t parent, const PooledString* key) noexcept {
        const auto keyBits = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(key) >> 4);
        return (parent ^ keyBits) * 0x9E3779B1u + 1;
    }

    // The record remembered for `text` at `position` of a structure with `seed`, or null.
    PooledString* find(std::uint32_t seed, std::uint32_t position, std::string_view text) const noexcept {
        PooledString* record = slots_[slotOf(seed, position)];
        return record && record->holds(text) ? record : nullptr;
    }
    void remember(std::uint32_t seed, std::uint32_t position, PooledString* record) noexcept {
        slots_[slotOf(seed, position)] = record;
    }
    // The member count of the last structure with `seed`, at most `limit`; 0 when none is known.
    std::uint32_t membersOf(std::uint32_t seed, std::uint32_t limit) const noexcept {
        const std::uint32_t count = memberCounts_[slotOf(seed, 0)];
        return count < limit ? count : limit;
    }
    void noteMembers(std::uint32_t seed, std::uint32_t count) noexcept {
        memberCounts_[slotOf(seed, 0)] = count;
    }

    void forgetAll() noexcept {
        for (PooledString*& slot : slots_) {
            slot = nullptr;
        }
    }

  private:
    static constexpr std::size_t kSlots = 64;
    static std::size_t slotOf(std::uint32_t seed, std::uint32_t position) noexcept {
        return ((seed >> 20) + position) & (kSlots - 1);
    }

    PooledString* slots_[kSlots] = {};
    std::uint32_t memberCounts_[kSlots] = {};
};

} // namespace kiv
