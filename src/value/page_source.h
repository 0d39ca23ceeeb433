// The process-wide source of 4096-byte pages for the value block pools. It reserves 64 KiB
// at a time from the operating system, hands the pages out one by one and takes whole pages
// back for reuse; one mutex guards it.
#pragma once

#include <cstddef>

namespace kiv {

inline constexpr std::size_t kPoolPageSize = 4096;
inline constexpr std::size_t kPageReservationSize = 64 * 1024;

class PageSource {
  public:
    static PageSource& instance() noexcept;

    // A 4096-byte page aligned to 4096 bytes, or null when the system has no memory left.
    void* takePage() noexcept;
    // Returns a page for reuse by any tree.
    void returnPage(void* page) noexcept;

  private:
    PageSource() = default;
};

} // namespace kiv
