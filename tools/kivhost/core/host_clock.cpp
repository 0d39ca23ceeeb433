#include "kivhost/core/host_clock.h"

#include <thread>

namespace kiv::kivhost {

HostClock::HostClock(ClockKind kind) : kind_(kind), start_(std::chrono::steady_clock::now()) {}

std::int64_t HostClock::nowMs() const noexcept {
    if (kind_ == ClockKind::Virtual)
        return virtualNow_.load();
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
}

void HostClock::advanceTo(std::int64_t ms) {
    if (kind_ == ClockKind::Virtual) {
        if (ms > virtualNow_.load())
            virtualNow_.store(ms);
        return;
    }
    // Waiting for the end of time would never end; the real clock waits only for moments that
    // a run can reach.
    constexpr std::int64_t kLongestWaitMs = std::int64_t(1) << 40;
    const std::int64_t target = ms < kLongestWaitMs ? ms : kLongestWaitMs;
    std::this_thread::sleep_until(start_ + std::chrono::milliseconds(target));
}

} // namespace kiv::kivhost
