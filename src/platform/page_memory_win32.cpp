#include "platform/page_memory.h"

#include <windows.h>

namespace kiv::platform {

void* reservePages(std::size_t bytes) noexcept {
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void releasePages(void* pages, std::size_t) noexcept {
    if (pages) {
        VirtualFree(pages, 0, MEM_RELEASE);
    }
}

} // namespace kiv::platform
