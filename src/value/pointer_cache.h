// A small cache keyed by address. Flat record sets repeat their member names (every object of an
// array has the same ones) and a set written in one arena points at one copy of each, so a
// conversion that remembers what it made of the last few addresses handles a repeated name once
// rather than once per member. Each address falls into a set of four slots kept in the order of
// their last use; a key that meets four others in its set replaces the one used longest ago. The
// whole address is mixed and the sets have four ways, so that the twenty-odd names of an object,
// packed a few bytes apart in one arena, seldom evict one another. Slots are not
// cleared up front (a count per set says how many hold a key), so that a conversion of a few
// values pays next to nothing for the cache.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kiv {

template <class Mapped> class PointerCache {
  public:
    PointerCache() noexcept {}
    PointerCache(const PointerCache&) = delete;
    PointerCache& operator=(const PointerCache&) = delete;

    // What was stored under `key`, or null.
    Mapped* find(const void* key) noexcept {
        const std::size_t set = setOf(key);
        Slot* ways = &slots_[set * kWays];
        const std::size_t filled = filled_[set];
        if (filled != 0 && ways[0].key == key) [[likely]] {
            return &ways[0].mapped;
        }
        for (std::size_t way = 1; way < filled; ++way) {
            if (ways[way].key == key) {
                // The slot found becomes the one used last.
                const Slot found = ways[way];
                std::move_backward(ways, ways + way, ways + way + 1);
                ways[0] = found;
                return &ways[0].mapped;
            }
        }
        return nullptr;
    }

    // Stores `mapped` under `key`, which the cache does not hold, and returns what it displaced
    // from the set, if anything.
    std::optional<Mapped> store(const void* key, Mapped mapped) noexcept {
        const std::size_t set = setOf(key);
        Slot* ways = &slots_[set * kWays];
        std::optional<Mapped> displaced;
        if (filled_[set] == kWays) {
            displaced = ways[kWays - 1].mapped;
        } else {
            ++filled_[set];
        }
        std::move_backward(ways, ways + filled_[set] - 1, ways + filled_[set]);
        ways[0] = {key, mapped};
        return displaced;
    }

    template <class F> void forEach(F&& f) const {
        for (std::size_t set = 0; set < kSets; ++set) {
            for (std::size_t way = 0; way < filled_[set]; ++way) {
                f(slots_[set * kWays + way].mapped);
            }
        }
    }

  private:
    static constexpr std::size_t kSets = 64;
    static constexpr std::size_t kWays = 4;

    struct Slot {
        const void* key;
        Mapped mapped;
    };

    // The address is mixed in full: names packed in an arena differ in their low bits alone.
    static std::size_t setOf(const void* key) noexcept {
        std::uint64_t bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key));
        bits *= 0xFF51AFD7ED558CCDull;
        bits ^= bits >> 32;
        return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> 58);
    }

    Slot slots_[kSets * kWays];
    std::uint8_t filled_[kSets] = {}; // the first slots of each set hold a key, the one used last first
};

} // namespace kiv
