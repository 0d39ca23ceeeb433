#include "host/counting_allocator.h"

#include "platform/heap_block.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace kiv {

namespace {

using Counter = std::atomic<std::uint64_t>;

// Constant-initialised, so they count from the module's very first allocation, static
// initialisers included.
struct Counters {
    Counter peakLiveBytes{0};
    Counter liveAllocationsAtPeak{0};
    Counter bytesAllocated{0};
    Counter allocationCount{0};
    Counter bytesFreed{0};
    Counter freeCount{0};
};

constinit Counters counters;

std::uint64_t difference(std::uint64_t added, std::uint64_t removed) noexcept {
    return added > removed ? added - removed : 0;
}

void updatePeak() noexcept {
    // Freed figures first: whatever was freed by now was allocated before, so the allocated
    // figures read afterwards are never the smaller ones.
    const std::uint64_t frees = counters.freeCount.load();
    const std::uint64_t freed = counters.bytesFreed.load();
    const std::uint64_t allocations = counters.allocationCount.load();
    const std::uint64_t allocated = counters.bytesAllocated.load();
    const std::uint64_t current = difference(allocated, freed);
    std::uint64_t peak = counters.peakLiveBytes.load();
    while (current > peak) {
        if (counters.peakLiveBytes.compare_exchange_weak(peak, current)) {
            counters.liveAllocationsAtPeak.store(difference(allocations, frees));
            return;
        }
    }
}

void countAllocation(void* block) noexcept {
    counters.bytesAllocated.fetch_add(platform::heapBlockSize(block));
    counters.allocationCount.fetch_add(1);
    updatePeak();
}

void countFree(void* block) noexcept {
    counters.bytesFreed.fetch_add(platform::heapBlockSize(block));
    counters.freeCount.fetch_add(1);
}

} // namespace

void* countingAllocate(std::size_t size) noexcept {
    void* block = std::malloc(size ? size : 1);
    if (block) {
        countAllocation(block);
    }
    return block;
}

void countingFree(void* block) noexcept {
    if (!block) {
        return;
    }
    countFree(block);
    std::free(block);
}

MemoryStatistics readMemoryStatistics() noexcept {
    MemoryStatistics statistics{};
    statistics.freeCount = counters.freeCount.load();
    statistics.bytesFreed = counters.bytesFreed.load();
    statistics.allocationCount = counters.allocationCount.load();
    statistics.bytesAllocated = counters.bytesAllocated.load();
    statistics.peakLiveBytes = counters.peakLiveBytes.load();
    statistics.liveAllocationsAtPeak = counters.liveAllocationsAtPeak.load();
    statistics.reserved = 0;
    return statistics;
}

} // namespace kiv
