// The process-wide table of live record arenas, crossed at every size where it grows or shrinks:
// arenas held at once, released, and the table used again afterwards, from one thread and from
// builders and releasers on four.
#include "value/flat_arena.h"

#include "volume_counts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace kiv::arena_registry_test {
namespace {

using testing_volume::volumeCount;

void* newArena(std::size_t tag) {
    void* start = allocateFlatArena(sizeof tag);
    std::memcpy(start, &tag, sizeof tag);
    return start;
}

// Releases every arena once (each must be found, its bytes intact) and a second time (none may
// be found).
void releaseAll(const std::vector<void*>& arenas, const std::vector<std::size_t>& tags) {
    for (std::size_t i = 0; i < arenas.size(); ++i) {
        std::size_t tag = 0;
        std::memcpy(&tag, arenas[i], sizeof tag);
        ASSERT_EQ(tag, tags[i]);
        ASSERT_TRUE(releaseFlatArena(arenas[i])) << "arena " << i << " of " << arenas.size();
    }
}

class ArenaRegistryTest : public ::testing::TestWithParam<std::size_t> {};

// Held arenas released in an order that is neither the order of adding nor its reverse, then the
// table used again: a table that kept chains from an earlier size finds stale arenas here.
TEST_P(ArenaRegistryTest, EveryHeldArenaIsFoundOnceAndTheTableServesAgain) {
    const std::size_t held = GetParam();
    for (int round = 0; round < 3; ++round) {
        std::vector<void*> arenas;
        std::vector<std::size_t> tags;
        for (std::size_t i = 0; i < held; ++i) {
            arenas.push_back(newArena(i));
            tags.push_back(i);
        }
        for (std::size_t i = 0; i + 1 < arenas.size(); i += 2) {
            std::swap(arenas[i], arenas[arenas.size() - 1 - i / 2]);
            std::swap(tags[i], tags[tags.size() - 1 - i / 2]);
        }
        releaseAll(arenas, tags);
        for (void* released : arenas) {
            // Freed memory is not read: the registry looks only at addresses it holds.
            EXPECT_FALSE(releaseFlatArena(released));
        }
        std::vector<void*> after = {newArena(1), newArena(2), newArena(3)};
        releaseAll(after, {1, 2, 3});
    }
}

const std::size_t kHeldCounts[] = {0, 1, 63, 64, 65, 127, 128, 129, 255, 256, 257, 10'000, 100'000};

INSTANTIATE_TEST_SUITE_P(HeldAtOnce, ArenaRegistryTest, ::testing::ValuesIn(kHeldCounts));

// Two builders hand arenas to two releasers through a queue, so that the table grows and shrinks
// while it is searched.
TEST(ArenaRegistryThreadsTest, BuildersAndReleasersOnFourThreads) {
    const std::size_t perBuilder = volumeCount(20'000, 500'000);
    std::mutex mutex;
    std::condition_variable ready;
    std::vector<void*> queue;
    std::size_t buildersLeft = 2;
    std::size_t released = 0;
    bool allFound = true;

    auto build = [&](std::size_t first) {
        for (std::size_t i = 0; i < perBuilder; ++i) {
            void* arena = newArena(first + i);
            std::lock_guard lock(mutex);
            queue.push_back(arena);
            ready.notify_one();
        }
        std::lock_guard lock(mutex);
        --buildersLeft;
        ready.notify_all();
    };
    auto release = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            ready.wait(lock, [&] { return !queue.empty() || buildersLeft == 0; });
            if (queue.empty()) {
                return;
            }
            // Taken from the middle as often as from the end, so that old and new arenas go.
            const std::size_t at = (released % 2) ? queue.size() / 2 : queue.size() - 1;
            void* arena = queue[at];
            queue[at] = queue.back();
            queue.pop_back();
            ++released;
            lock.unlock();
            const bool found = releaseFlatArena(arena);
            lock.lock();
            allFound = allFound && found;
        }
    };
    std::vector<std::thread> threads;
    threads.emplace_back(build, 0);
    threads.emplace_back(build, perBuilder);
    threads.emplace_back(release);
    threads.emplace_back(release);
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_TRUE(allFound);
    EXPECT_EQ(released, 2 * perBuilder);
    std::vector<void*> after = {newArena(7)};
    releaseAll(after, {7});
}

} // namespace
} // namespace kiv::arena_registry_test
