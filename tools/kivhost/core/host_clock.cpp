#include "kivhost/core/host_clock.h"

#include <thread>

namespace kiv::kivhost {

HostClock::HostClock(ClockKind kind) : kind_(kind), start_(std::chrono::steady_clock::now()) {}

std::int64_t HostClock::nowMs() const noexcept {
    if (kind_ == ClockKind::Virtual) {
        return virtualNow_.load();
    }
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
}

std::int64_t HostClock::nowNs() const noexcept {
    constexpr std::int64_t kNanosecondsPerMs = 1000000;
    if (kind_ == ClockKind::Virtual) {
        return platform::saturatingMultiply(virtualNow_.load(), kNanosecondsPerMs);
    }
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    return std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
}

void HostClock::advanceTo(std::int64_t ms) {
    if (kind_ == ClockKind::Virtual) {
        if (ms > virtualNow_.load()) {
            virtualNow_.store(ms);
        }
        return;
    }
    // Waiting for the end of time would never end; the real clock waits only for moments that
    // a run can reach.
    constexpr std::int64_t kLongestWaitMs = std::int64_t(1) << 40;
    const std::int64_t target = ms < kLongestWaitMs ? ms : kLongestWaitMs;
    // A sleep may wake before its deadline (Windows rounds it to the scheduler's tick), so the
    // wait ends only when the clock itself reads the moment.
    while (nowMs() < target) {
        std::this_thread::sleep_until(start_ + std::chrono::milliseconds(target));
    }
}

} // namespace kiv::kivhost
