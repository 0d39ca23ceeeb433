// Replaces the global operator new and delete of the test binary with ones that sit on malloc and
// free, so that the sanitizers still see every block. While a LimitedHeap lives on a thread, that
// thread's heap holds at most `capacity` bytes more than it held when the instance was made: an
// allocation that does not fit fails with std::bad_alloc, and smaller ones that still fit go on,
// as in a 32-bit process whose address space runs out.
#pragma once

#include <cstddef>

namespace kiv::test {

class LimitedHeap {
  public:
    explicit LimitedHeap(std::size_t capacity) noexcept;
    ~LimitedHeap();
    LimitedHeap(const LimitedHeap&) = delete;
    LimitedHeap& operator=(const LimitedHeap&) = delete;

    // The most bytes held at once beyond the start.
    std::size_t peak() const noexcept;
};

} // namespace kiv::test
