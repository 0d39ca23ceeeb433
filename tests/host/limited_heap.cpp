#include "limited_heap.h"

#include "platform/heap_block.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

// The calling thread's limit; plain values, so that the allocation functions can use them before
// anything else of the thread is set up.
thread_local bool limited = false;
thread_local std::ptrdiff_t held = 0; // bytes allocated minus bytes freed since the start
thread_local std::ptrdiff_t capacity = 0;
thread_local std::ptrdiff_t peakHeld = 0;

void* allocate(std::size_t size) {
    if (limited && static_cast<std::ptrdiff_t>(size) > capacity - held) {
        throw std::bad_alloc();
    }
    void* block = std::malloc(size ? size : 1);
    if (!block) {
        throw std::bad_alloc();
    }
    if (limited) {
        held += static_cast<std::ptrdiff_t>(kiv::platform::heapBlockSize(block));
        peakHeld = held > peakHeld ? held : peakHeld;
    }
    return block;
}

void release(void* block) noexcept {
    if (limited && block) {
        held -= static_cast<std::ptrdiff_t>(kiv::platform::heapBlockSize(block));
    }
    std::free(block);
}

} // namespace

namespace kiv::test {

LimitedHeap::LimitedHeap(std::size_t bytes) noexcept {
    held = 0;
    peakHeld = 0;
    const auto most = static_cast<std::size_t>(PTRDIFF_MAX);
    capacity = static_cast<std::ptrdiff_t>(bytes < most ? bytes : most);
    limited = true;
}

LimitedHeap::~LimitedHeap() {
    limited = false;
}

std::size_t LimitedHeap::peak() const noexcept {
    return static_cast<std::size_t>(peakHeld);
}

} // namespace kiv::test

void* operator new(std::size_t size) {
    return allocate(size);
}

void* operator new[](std::size_t size) {
    return allocate(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}

void operator delete(void* block) noexcept {
    release(block);
}

void operator delete[](void* block) noexcept {
    release(block);
}

void operator delete(void* block, std::size_t) noexcept {
    release(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    release(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept {
    release(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept {
    release(block);
}
