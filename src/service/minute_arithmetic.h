// Moments of the shutdown schedule: readings of the plugin's steady clock in nanoseconds, moved by
// minute counts that come from other plugins' data and may hold any signed 64-bit number. A moment
// far in the past stays far in the past instead of wrapping round to the far future.
#pragma once

#include "platform/saturating.h"

#include <cstdint>

namespace kiv {

inline constexpr std::int64_t kNanosecondsPerMinute = 60'000'000'000;

// The moment `minutes` after (or, negative, before) the moment `from`. A span of minutes beyond
// the clock's range lies beyond every moment, whatever `from` is.
constexpr std::int64_t momentAfterMinutes(std::int64_t from, std::int64_t minutes) noexcept {
    const std::int64_t span = platform::saturatingMultiply(minutes, kNanosecondsPerMinute);
    // No whole number of minutes is exactly 2^63 nanoseconds, so an end of the range is a
    // saturated span.
    if (span == platform::kInt64Highest || span == platform::kInt64Lowest) {
        return span;
    }
    return platform::saturatingAdd(from, span);
}

} // namespace kiv
