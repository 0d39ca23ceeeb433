// The member names a reader met, remembered by where they stood: a seed that tells the structure's
// place in the document apart (the names of the members that lead to it) and the member's
// position in it. Documents repeat their shapes, every object of an array holding the same names
// in the same order, so most names are found here with one comparison instead of a hash and a
// search of the pool; and a container is given room at once for as many children as the last one
// in its place held.
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
        const Set& set = names_[setOf(seed, position)];
        for (PooledString* record : set.ways) {
            if (record && record->holds(text)) {
                return record;
            }
        }
        return nullptr;
    }
    // Remembers `record` first in its set; the one there before becomes the second.
    void remember(std::uint32_t seed, std::uint32_t position, PooledString* record) noexcept {
        Set& set = names_[setOf(seed, position)];
        set.ways[1] = set.ways[0];
        set.ways[0] = record;
    }
    // The member count of the last structure with `seed`, at most `limit`; 0 when none is known.
    std::uint32_t membersOf(std::uint32_t seed, std::uint32_t limit) const noexcept {
        const std::uint32_t count = memberCounts_[seed >> (32 - kCountBits)];
        return count < limit ? count : limit;
    }
    void noteMembers(std::uint32_t seed, std::uint32_t count) noexcept {
        memberCounts_[seed >> (32 - kCountBits)] = count;
    }

    void forgetAll() noexcept {
        for (Set& set : names_) {
            set = Set{};
        }
    }

  private:
    // Two ways to a set, so that the names of the few structures a document repeats seldom push
    // one another out.
    struct Set {
        PooledString* ways[2] = {};
    };
    static constexpr unsigned kSetBits = 7;
    static constexpr unsigned kCountBits = 6;
    static std::size_t setOf(std::uint32_t seed, std::uint32_t position) noexcept {
        return ((seed ^ position * 0x85EBCA6Bu) * 0x9E3779B1u) >> (32 - kSetBits);
    }

    Set names_[std::size_t{1} << kSetBits];
    std::uint32_t memberCounts_[std::size_t{1} << kCountBits] = {};
};

} // namespace kiv
