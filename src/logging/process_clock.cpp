#include "logging/process_clock.h"

#include "platform/high_resolution_clock.h"

#include <cstdint>

namespace kiv {

double secondsSinceFirstClockReading() noexcept {
    static const std::uint64_t first = platform::highResolutionTicks();
    static const std::uint64_t frequency = platform::highResolutionFrequency();
    const std::uint64_t now = platform::highResolutionTicks();
    return static_cast<double>(now - first) / static_cast<double>(frequency);
}

} // namespace kiv
