// Whole pages of memory straight from the operating system, for allocators that manage
// their own blocks (the value block pools).
#pragma once

#include <cstddef>

namespace kiv::platform {

// Reserves and commits `bytes` (a multiple of the system page size) of read-write memory,
// aligned to at least 4096 bytes. Returns null when the system refuses.
void* reservePages(std::size_t bytes) noexcept;

// Gives back a region obtained from reservePages, with the same size.
void releasePages(void* pages, std::size_t bytes) noexcept;

} // namespace kiv::platform
