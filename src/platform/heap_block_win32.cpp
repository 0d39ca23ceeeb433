#include "platform/heap_block.h"

#include <malloc.h>

namespace kiv::platform {

std::size_t heapBlockSize(void* block) noexcept {
    return block ? _msize(block) : 0;
}

} // namespace kiv::platform
