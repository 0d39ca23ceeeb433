// Time arithmetic of job scheduling: due times on the steady clock in signed 64-bit nanoseconds,
// and delays in seconds for the host's timer. Every step saturates: delays far out of range give
// the largest or smallest representable due time, never an overflow.
#pragma once

#include <cstdint>

namespace kiv {

// seconds × 10^9 + now, computed in double precision and truncated, clamped to the signed
// 64-bit range. A delay that is not a number is due now.
[[nodiscard]] std::int64_t dueTimeAfter(double seconds, std::int64_t now) noexcept;

// (due − now) × 10^-9 seconds, from a saturated 64-bit difference; 0.0 when it is not positive,
// so a job whose moment has passed is due at once.
[[nodiscard]] double delayUntil(std::int64_t due, std::int64_t now) noexcept;

// The seconds truncated to a signed 32-bit integer, clamped to its range (0 for not a number),
// for trace lines.
[[nodiscard]] std::int32_t wholeSecondsForTrace(double seconds) noexcept;

} // namespace kiv
