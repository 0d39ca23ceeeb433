// Blocks of the C runtime's heap: the size the heap really gave a block, which can be larger than
// the size asked for.
#pragma once

#include <cstddef>

namespace kiv::platform {

// The usable size of a block obtained from malloc, calloc or realloc; 0 for a null pointer.
std::size_t heapBlockSize(void* block) noexcept;

} // namespace kiv::platform
