// The address set against a standard set as its model: random additions and removals over a few
// addresses that crowd into the same runs of slots, through several growths of the table.
#include "value/pointer_set.h"

#include <gtest/gtest.h>

#include <random>
#include <unordered_set>
#include <vector>

namespace kiv {
namespace {

TEST(PointerSetTest, AgreesWithAStandardSet) {
    std::vector<char> storage(3000);
    std::mt19937 random(7);
    for (const std::size_t span : {8, 300, 3000}) {
        PointerSet set;
        std::unordered_set<const void*> model;
        for (int step = 0; step < 40000; ++step) {
            const void* key = &storage[random() % span];
            if (model.contains(key) && random() % 2 == 0) {
                set.erase(key);
                model.erase(key);
            } else {
                ASSERT_EQ(set.insert(key), model.insert(key).second) << "span " << span << ", step " << step;
            }
            const void* probe = &storage[random() % span];
            ASSERT_EQ(set.contains(probe), model.contains(probe)) << "span " << span << ", step " << step;
        }
        for (std::size_t i = 0; i < span; ++i) {
            ASSERT_EQ(set.contains(&storage[i]), model.contains(&storage[i])) << "span " << span;
        }
    }
}

} // namespace
} // namespace kiv
