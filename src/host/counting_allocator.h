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

// Resizes a block. A null block allocates; a size of 0 frees the block and returns null. When the
// heap refuses, null comes back, the old block lives on and nothing is counted.
void* countingReallocate(void* block, std::size_t size) noexcept;

// A counted copy of a NUL-terminated text, or null when the text is null or the heap has no room.
char* countingDuplicate(const char* text) noexcept;

// The size the heap really gave a counted block; 0 for null.
std::size_t countingBlockSize(void* block) noexcept;

// The six counters, each read atomically: the freed counters before the allocated ones, so that
// even while other threads allocate, the figures read never show more freed than allocated.
MemoryStatistics readMemoryStatistics() noexcept;

// Bytes allocated minus bytes freed, never below zero.
std::uint64_t liveBytes(const MemoryStatistics& statistics) noexcept;

} // namespace kiv
