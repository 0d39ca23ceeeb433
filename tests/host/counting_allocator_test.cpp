#include "host/counting_allocator.h"
#include "platform/heap_block.h"
#include "platform/module_export.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

// Allocation failures are part of what is tested here; the address and thread sanitizers report
// them as null results instead of stopping the process.
extern "C" KIV_MODULE_EXPORT const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}

extern "C" KIV_MODULE_EXPORT const char* __tsan_default_options() {
    return "allocator_may_return_null=1";
}

namespace kiv::test {

namespace {

struct Delta {
    std::int64_t bytesAllocated;
    std::int64_t allocations;
    std::int64_t bytesFreed;
    std::int64_t frees;
};

Delta deltaSince(const MemoryStatistics& before) {
    const MemoryStatistics now = readMemoryStatistics();
    return {static_cast<std::int64_t>(now.bytesAllocated - before.bytesAllocated),
            static_cast<std::int64_t>(now.allocationCount - before.allocationCount),
            static_cast<std::int64_t>(now.bytesFreed - before.bytesFreed),
            static_cast<std::int64_t>(now.freeCount - before.freeCount)};
}

// More than any heap can give, so that the request is refused.
constexpr std::size_t kImpossibleSize = std::numeric_limits<std::size_t>::max() - 4096;

TEST(CountingAllocator, CountsBlocksAtTheSizeTheHeapGave) {
    const MemoryStatistics before = readMemoryStatistics();
    void* block = countingAllocate(10);
    ASSERT_NE(block, nullptr);
    const std::size_t size = platform::heapBlockSize(block);
    EXPECT_GE(size, 10u);
    const Delta allocated = deltaSince(before);
    EXPECT_EQ(allocated.bytesAllocated, static_cast<std::int64_t>(size));
    EXPECT_EQ(allocated.allocations, 1);
    EXPECT_EQ(allocated.frees, 0);

    countingFree(block);
    const Delta freed = deltaSince(before);
    EXPECT_EQ(freed.bytesFreed, static_cast<std::int64_t>(size));
    EXPECT_EQ(freed.frees, 1);
}

TEST(CountingAllocator, FreeingNullCountsNothing) {
    const MemoryStatistics before = readMemoryStatistics();
    countingFree(nullptr);
    EXPECT_EQ(deltaSince(before).frees, 0);
}

TEST(CountingAllocator, PeakKeepsItsHighestValueOnceEverythingIsFreed) {
    const MemoryStatistics before = readMemoryStatistics();
    std::vector<void*> blocks;
    for (int i = 0; i < 16; ++i) {
        blocks.push_back(countingAllocate(1 << 16));
    }
    for (void* block : blocks) {
        countingFree(block);
    }
    const MemoryStatistics after = readMemoryStatistics();
    const auto liveBytes = [](const MemoryStatistics& statistics) {
        return statistics.bytesAllocated - statistics.bytesFreed;
    };
    EXPECT_EQ(liveBytes(after), liveBytes(before));
    EXPECT_GE(after.peakLiveBytes, liveBytes(before) + 16u * (1u << 16));
    EXPECT_GE(after.liveAllocationsAtPeak, 16u);
    EXPECT_EQ(after.reserved, 0u);
}

TEST(CountingAllocator, RefusedAllocationCountsNothing) {
    const MemoryStatistics before = readMemoryStatistics();
    EXPECT_EQ(countingAllocate(kImpossibleSize), nullptr);
    EXPECT_EQ(deltaSince(before).allocations, 0);
}

TEST(CountingAllocator, ReadFiguresNeverShowMoreFreedThanAllocatedWhileOthersAllocate) {
    std::atomic<bool> stop{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t) {
        workers.emplace_back([&stop] {
            while (!stop.load()) {
                countingFree(countingAllocate(48));
            }
        });
    }
    int violations = 0;
    for (int i = 0; i < 20000; ++i) {
        const MemoryStatistics statistics = readMemoryStatistics();
        violations += statistics.bytesFreed > statistics.bytesAllocated;
        violations += statistics.freeCount > statistics.allocationCount;
    }
    stop = true;
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(violations, 0);
}

} // namespace

} // namespace kiv::test
