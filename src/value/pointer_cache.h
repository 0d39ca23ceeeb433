// A small cache keyed by address. Flat record sets repeat their member names (every object of an
// array has the same ones) and a set written in one arena points at one copy of each, so a
// conversion that remembers what it made of the last few addresses handles a repeated name once
// rather than once per member. Each address falls into a set of two slots, the one used last
// first; a key that meets two others in its set replaces the one used longer ago. Two ways keep
// the twenty-odd names of a typical object from evicting one another on every member, which a
// slot per address did. The slots are not cleared up front (a mask says which hold a key), so
// that a conversion of a few values pays nothing for the cache.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

namespace kiv {

template <class Mapped> class PointerCache {
  public:
    PointerCache() noexcept {}
    PointerCache(const PointerCache&) = delete;
    PointerCache& operator=(const PointerCache&) = delete;

    // What was stored under `key`, or null.
    Mapped* find(const void* key) noexcept {
        Slot* set = setOf(key);
        if (isFilled(set, 0) && set[0].key == key) {
            return &set[0].mapped;
        }
        if (isFilled(set, 1) && set[1].key == key) {
            std::swap(set[0], set[1]); // both are filled: the one found becomes the one used last
            return &set[0].mapped;
        }
        return nullptr;
    }

    // Stores `mapped` under `key`, which the cache does not hold, and returns what it displaced
    // from the set, if anything.
    std::optional<Mapped> store(const void* key, Mapped mapped) noexcept {
        Slot* set = setOf(key);
        std::optional<Mapped> displaced;
        if (isFilled(set, 1)) {
            displaced = set[1].mapped;
        }
        if (isFilled(set, 0)) {
            set[1] = set[0];
            fill(set, 1);
        }
        set[0] = {key, mapped};
        fill(set, 0);
        return displaced;
    }

    template <class F> void forEach(F&& f) const {
        for (std::size_t word = 0; word < kMaskWords; ++word) {
            for (std::uint64_t bits = filled_[word]; bits != 0; bits &= bits - 1) {
                f(slots_[word * 64 + static_cast<std::size_t>(std::countr_zero(bits))].mapped);
            }
        }
    }

  private:
    static constexpr std::size_t kSets = 64;
    static constexpr std::size_t kSlots = 2 * kSets;
    static constexpr std::size_t kMaskWords = kSlots / 64; // one bit for each slot

    struct Slot {
        const void* key;
        Mapped mapped;
    };

    Slot* setOf(const void* key) noexcept {
        const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key));
        return &slots_[2 * ((address * 0x9E3779B97F4A7C15ull) >> 58)];
    }
    bool isFilled(const Slot* set, std::size_t way) const noexcept {
        const std::size_t slot = static_cast<std::size_t>(set - slots_) + way;
        return (filled_[slot / 64] >> slot % 64 & 1) != 0;
    }
    void fill(const Slot* set, std::size_t way) noexcept {
        const std::size_t slot = static_cast<std::size_t>(set - slots_) + way;
        filled_[slot / 64] |= std::uint64_t{1} << slot % 64;
    }

    Slot slots_[kSlots];
    std::uint64_t filled_[kMaskWords] = {};
};

} // namespace kiv
