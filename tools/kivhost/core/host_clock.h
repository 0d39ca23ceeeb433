// The host's clock in milliseconds since the host started: virtual (time moves only when the
// host moves it to the next moment) or real (the steady clock).
#pragma once

#include "kivhost/core/host_options.h"
#include "platform/saturating.h"

#include <atomic>
#include <chrono>
#include <cstdint>

namespace kiv::kivhost {

// The moment a timer is due that never comes: delays and clock sums are held here.
inline constexpr std::int64_t kEndOfTime = platform::kInt64Highest;

class HostClock {
  public:
    explicit HostClock(ClockKind kind);

    std::int64_t nowMs() const noexcept;
    // The same reading in nanoseconds (the real clock's is finer than its milliseconds).
    std::int64_t nowNs() const noexcept;
    // Moves the virtual clock forward to `ms` (never back); the real clock waits until it reads
    // `ms` or later.
    void advanceTo(std::int64_t ms);

  private:
    ClockKind kind_;
    std::chrono::steady_clock::time_point start_;
    std::atomic<std::int64_t> virtualNow_{0};
};

} // namespace kiv::kivhost
