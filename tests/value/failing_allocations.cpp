// Replaces the global operator new and delete of the test binary: new fails on demand, and both
// sit on malloc and free so that the sanitizers still see every block.
#include "failing_allocations.h"

#include <cstdlib>
#include <new>

namespace {

thread_local bool failing = false;

void* allocate(std::size_t size) {
    if (failing) {
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size ? size : 1)) {
        return block;
    }
    throw std::bad_alloc();
}

} // namespace

namespace kiv::test {

FailingAllocations::FailingAllocations() noexcept {
    failing = true;
}

FailingAllocations::~FailingAllocations() {
    failing = false;
}

} // namespace kiv::test

void* operator new(std::size_t size) {
    return allocate(size);
}

void* operator new[](std::size_t size) {
    return allocate(size);
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete[](void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}

// The forms that report failure with a null pointer fail the same way.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return failing ? nullptr : std::malloc(size ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return failing ? nullptr : std::malloc(size ? size : 1);
}
