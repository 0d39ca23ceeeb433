// Minutes and moments of the shutdown schedule. Minute counts come from other plugins' data and
// may hold any signed 64-bit number, so every sum, difference and product saturates at the ends
// of the range: a moment far in the past stays far in the past instead of wrapping round to the
// far future. Moments are readings of the plugin's steady clock in nanoseconds.
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

inline constexpr std::int64_t kNanosecondsPerMinute = 60'000'000'000;

// The moment `minutes` after (or, negative, before) the moment `from`.
constexpr std::int64_t momentAfterMinutes(std::int64_t from, std::int64_t minutes) noexcept {
    constexpr std::int64_t kLowest = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t kHighest = std::numeric_limits<std::int64_t>::max();
    std::int64_t span = 0;
    if (__builtin_mul_overflow(minutes, kNanosecondsPerMinute, &span))
        return minutes > 0 ? kHighest : kLowest;
    std::int64_t moment = 0;
    if (__builtin_add_overflow(from, span, &moment))
        return span > 0 ? kHighest : kLowest;
    return moment;
}

} // namespace kiv
