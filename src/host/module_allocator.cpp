// The module's replacements of the global allocation functions. Compiled only into plugin
// modules, never into a host or a test executable: the module's version script keeps these
// definitions local, so the module's own code (the C++ runtime linked into it included) uses
// them, and the host's allocations are never counted nor served by them.
#include "host/counting_allocator.h"

#include <cstddef>
#include <new>

#ifdef __GLIBCXX__
namespace __gnu_cxx {
// The runtime's own hook for leak checkers: frees the exception emergency pool.
void __freeres() noexcept;
} // namespace __gnu_cxx
#endif

namespace {

void* allocateOrThrow(std::size_t size) {
    for (;;) {
        if (void* block = kiv::countingAllocate(size)) {
            return block;
        }
        std::new_handler handler = std::get_new_handler();
        if (!handler) {
            throw std::bad_alloc();
        }
        handler();
    }
}

void* allocateOrNull(std::size_t size) noexcept {
    try {
        return allocateOrThrow(size);
    } catch (...) {
        return nullptr;
    }
}

#ifdef __GLIBCXX__
// The C++ runtime linked into the module keeps an emergency pool for exceptions thrown while the
// heap is exhausted, taken from the heap when the module is mapped and never given back by the
// runtime itself. Giving it back when the module is unmapped keeps a host that loads and unloads
// plugins from leaking it each time.
struct EmergencyPoolRelease {
    ~EmergencyPoolRelease() { __gnu_cxx::__freeres(); }
};
const EmergencyPoolRelease emergencyPoolRelease;
#endif

} // namespace

void* operator new(std::size_t size) {
    return allocateOrThrow(size);
}
void* operator new[](std::size_t size) {
    return allocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size);
}
void operator delete(void* block) noexcept {
    kiv::countingFree(block);
}
void operator delete[](void* block) noexcept {
    kiv::countingFree(block);
}
void operator delete(void* block, std::size_t) noexcept {
    kiv::countingFree(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    kiv::countingFree(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    kiv::countingFree(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    kiv::countingFree(block);
}
