// A small direct-mapped cache keyed by address. Flat record sets repeat their member names
// (every object of an array has the same ones) and a set written in one arena points at one copy
// of each, so a conversion that remembers what it made of the last few addresses handles a
// repeated name once rather than once per member. A slot holds the last key that fell into it;
// a key that meets another in its slot replaces it. The slots are not cleared up front (a mask
// says which hold a key), so that a conversion of a few values pays nothing for the cache.
#pragma once

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
        const std::size_t slot = slotOf(key);
        return isFilled(slot) && slots_[slot].key == key ? &slots_[slot].mapped : nullptr;
    }

    // Stores `mapped` under `key` and returns what it displaced from the slot, if anything.
    std::optional<Mapped> store(const void* key, Mapped mapped) noexcept {
        const std::size_t slot = slotOf(key);
        std::optional<Mapped> displaced;
        if (isFilled(slot)) {
            displaced = slots_[slot].mapped;
        }
        slots_[slot] = {key, mapped};
        filled_ |= std::uint64_t{1} << slot;
        return displaced;
    }

    template <class F> void forEach(F&& f) const {
        for (std::size_t slot = 0; slot < kSlots; ++slot) {
            if (isFilled(slot)) {
                f(slots_[slot].mapped);
            }
        }
    }

  private:
    static constexpr std::size_t kSlots = 64; // one bit each in the mask

    static std::size_t slotOf(const void* key) noexcept {
        const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key));
        return (address * 0x9E3779B97F4A7C15ull) >> 58;
    }
    bool isFilled(std::size_t slot) const noexcept { return (filled_ >> slot & 1) != 0; }

    struct Slot {
        const void* key;
        Mapped mapped;
    };
    Slot slots_[kSlots];
    std::uint64_t filled_ = 0;
};

} // namespace kiv
