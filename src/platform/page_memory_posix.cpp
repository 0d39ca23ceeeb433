#include "platform/page_memory.h"

#include <sys/mman.h>

namespace kiv::platform {

void* reservePages(std::size_t bytes) noexcept {
    void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return pages == MAP_FAILED ? nullptr : pages;
}

void releasePages(void* pages, std::size_t bytes) noexcept {
    if (pages) {
        munmap(pages, bytes);
    }
}

} // namespace kiv::platform
