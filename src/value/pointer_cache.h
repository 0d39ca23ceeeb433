// A small direct-mapped cache keyed by address. Flat record sets repeat their member names
// (every object of an array has the same ones) and a set written in one arena points at one copy
// of each, so a conversion that remembers what it made of the last few addresses handles a
// repeated name once rather than once per member. A slot holds the last key that fell into it;
// a key that meets another in its slot simply replaces it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kiv {

template <class Mapped, std::size_t Slots = 128> class PointerCache {
    static_assert((Slots & (Slots - 1)) == 0, "the slot count is a power of two");

  public:
    struct Entry {
        const void* key = nullptr;
        Mapped mapped{};
    };

    // The slot of `key`; it holds `key` when its `key` field says so.
    Entry& slotOf(const void* key) noexcept {
        const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key));
        return entries_[(address * 0x9E3779B97F4A7C15ull >> 40) & (Slots - 1)];
    }

    std::span<Entry> entries() noexcept { return entries_; }

  private:
    std::array<Entry, Slots> entries_{};
};

} // namespace kiv
