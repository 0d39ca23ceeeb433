// The block pools of every tree share one source of pages, so that a page a destroyed tree gave
// back serves the next tree, and the operating system is asked for memory a reservation at a time
// rather than a page at a time. Pages are aligned to their size, which lets the pools find the
// page of a block by masking its address. Trees live on different threads, hence the one mutex.
#pragma once

#include <cstddef>

namespace kiv {

inline constexpr std::size_t kPoolPageSize = 4096;
inline constexpr std::size_t kPageReservationSize = 64 * 1024;

class PageSource {
  public:
    static PageSource& instance() noexcept;

    // A 4096-byte page aligned to 4096 bytes, or null when the system has no memory left.
    [[nodiscard]] void* takePage() noexcept;
    // Returns a page for reuse by any tree.
    void returnPage(void* page) noexcept;
    // Returns `count` pages at once, chained through their first pointer-sized word from
    // `first` to `last` (whose word is not read): a tree that goes gives all of its pages back
    // under one lock.
    void returnPages(void* first, void* last, std::size_t count) noexcept;

  private:
    PageSource() = default;
};

} // namespace kiv
