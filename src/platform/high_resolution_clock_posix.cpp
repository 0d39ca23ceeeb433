#include "platform/high_resolution_clock.h"

#include <ctime>

namespace kiv::platform {

namespace {
constexpr std::uint64_t kNanosecondsPerSecond = 1000000000;
}

std::uint64_t highResolutionTicks() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * kNanosecondsPerSecond +
           static_cast<std::uint64_t>(now.tv_nsec);
}

std::uint64_t highResolutionFrequency() noexcept {
    return kNanosecondsPerSecond;
}

} // namespace kiv::platform
