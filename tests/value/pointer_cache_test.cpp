#include "value/pointer_cache.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

namespace kiv {
namespace {

// Names packed in an arena, at every spacing from one byte up, are each missed once and then
// found on every later pass, as a flat record set's names are while its objects are read. The
// cache never reads through its keys, so they are addresses of a fixed arena that no run moves.
TEST(PointerCacheTest, PackedNamesAreMissedOnceEach) {
    const auto* arena = reinterpret_cast<const char*>(std::uintptr_t{0x10000});
    for (std::size_t stride = 1; stride <= 40; ++stride) {
        for (std::size_t names : {1u, 16u, 24u}) {
            PointerCache<std::size_t> cache;
            std::size_t misses = 0;
            for (int pass = 0; pass < 20; ++pass) {
                for (std::size_t i = 0; i < names; ++i) {
                    const char* key = arena + i * stride;
                    if (const std::size_t* found = cache.find(key)) {
                        ASSERT_EQ(*found, i);
                    } else {
                        ++misses;
                        ASSERT_FALSE(cache.store(key, i).has_value()) << "nothing is displaced yet";
                    }
                }
            }
            EXPECT_EQ(misses, names) << names << " names " << stride << " bytes apart";
        }
    }
}

// Past its capacity the cache displaces what it held, once each: the displaced values and
// those still held are together every value stored, as a cache that owns references needs.
TEST(PointerCacheTest, EveryStoredValueIsHeldOrDisplacedOnce) {
    const std::vector<char> arena(100'000);
    PointerCache<std::size_t> cache;
    std::multiset<std::size_t> accounted;
    for (std::size_t i = 0; i < arena.size(); i += 7) {
        if (const auto displaced = cache.store(&arena[i], i)) {
            accounted.insert(*displaced);
        }
    }
    std::size_t held = 0;
    cache.forEach([&](std::size_t value) {
        accounted.insert(value);
        ++held;
    });
    EXPECT_LE(held, 256u);
    EXPECT_GT(held, 128u);
    std::set<std::size_t> stored;
    for (std::size_t i = 0; i < arena.size(); i += 7) {
        stored.insert(i);
    }
    EXPECT_EQ(accounted, std::multiset<std::size_t>(stored.begin(), stored.end()));
}

} // namespace
} // namespace kiv
