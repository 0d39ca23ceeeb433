// The plugin's own allocation functions. Every block the module takes from the heap goes through
// them (the module's operator new and delete lead here), so that the host can ask how much memory
// the plugin holds. The counters are process-wide 64-bit atomics, updated from any thread.
#pragma once

#include "kiv/plugin_abi.h"

#include <cstddef>
#include <cstdint>

namespace kiv {

// A block of at least `size` bytes, or null when the heap has none. Counts the block's real size
// and one allocation, then moves the peak.
void* countingAllocate(std::size_t size) noexcept;

// Counts the block's size and one free, then gives it back. A null pointer does nothing.
void countingFree(void* block) noexcept;

// The six counters, each read atomically: the freed counters before the allocated ones, so that
// even while other threads allocate, the figures read never show more freed than allocated.
MemoryStatistics readMemoryStatistics() noexcept;

} // namespace kiv
