// Minutes of the shutdown schedule. Minute counts come from other plugins' data and may hold any
// signed 64-bit number, so a difference of two of them saturates at the ends of the range: a
// moment far in the past stays far in the past instead of wrapping round to the far future.
#pragma once

#include <cstdint>
#include <limits>

namespace kiv {

// `minutes` − `lead`, held within the signed 64-bit range.
constexpr std::int64_t saturatingMinutesBefore(std::int64_t minutes, std::int64_t lead) noexcept {
    std::int64_t difference = 0;
    if (!__builtin_sub_overflow(minutes, lead, &difference))
        return difference;
    return lead > 0 ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
}

// The delay in seconds that the job scheduler takes for a number of minutes; a double holds any
// minute count (rounded, never overflowing).
constexpr double minutesToSeconds(std::int64_t minutes) noexcept {
    return static_cast<double>(minutes) * 60.0;
}

} // namespace kiv
