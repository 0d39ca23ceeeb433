#include "host/job_time.h"

#include <cmath>
#include <limits>

namespace kiv {

namespace {

template <class Integer> Integer truncateClamped(double value, Integer notANumber) noexcept {
    using Limits = std::numeric_limits<Integer>;
    if (std::isnan(value)) {
        return notANumber;
    }
    // Both bounds are powers of two, so they convert to doubles exactly; the maximum itself
    // may not, which is why the upper test is against max + 1.
    constexpr double lowest = static_cast<double>(Limits::min());
    constexpr double beyondHighest = -lowest;
    if (value >= beyondHighest) {
        return Limits::max();
    }
    if (value <= lowest) {
        return Limits::min();
    }
    return static_cast<Integer>(value);
}

} // namespace

std::int64_t dueTimeAfter(double seconds, std::int64_t now) noexcept {
    return truncateClamped<std::int64_t>(seconds * 1e9 + static_cast<double>(now), now);
}

double delayUntil(std::int64_t due, std::int64_t now) noexcept {
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(due, now, &difference)) {
        difference =
            due > now ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
    }
    const double delay = static_cast<double>(difference) * 1e-9;
    return delay > 0.0 ? delay : 0.0;
}

std::int32_t wholeSecondsForTrace(double seconds) noexcept {
    return truncateClamped<std::int32_t>(seconds, 0);
}

} // namespace kiv
