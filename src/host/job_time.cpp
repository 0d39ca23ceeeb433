#include "host/job_time.h"

#include "platform/saturating.h"

namespace kiv {

namespace {

constexpr double kLongestDelay = static_cast<double>(platform::kInt64Highest) * 1e-9;

} // namespace

double delayAfter(double seconds) noexcept {
    if (!(seconds > 0.0)) {
        return 0.0;
    }
    return seconds < kLongestDelay ? seconds : kLongestDelay;
}

double delayUntil(std::int64_t due, std::int64_t now) noexcept {
    return delayAfter(static_cast<double>(platform::saturatingSubtract(due, now)) * 1e-9);
}

std::int32_t wholeSecondsForTrace(double seconds) noexcept {
    return platform::saturatingTruncate<std::int32_t>(seconds);
}

} // namespace kiv
