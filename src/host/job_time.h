// The delays that jobs hand the host's timer, in seconds. A job is due at once when its delay is
// not positive or not a number; a delay beyond the steady clock's range (2^63 nanoseconds) is
// held at its end, never overflowing on the host's side.
#pragma once

#include <cstdint>

namespace kiv {

// The delay for a job `seconds` from now.
[[nodiscard]] double delayAfter(double seconds) noexcept;

// The delay until the moment `due` of the steady clock, seen from `now` (both nanoseconds).
[[nodiscard]] double delayUntil(std::int64_t due, std::int64_t now) noexcept;

// The seconds truncated to a signed 32-bit integer, clamped to its range (0 for not a number),
// for trace lines.
[[nodiscard]] std::int32_t wholeSecondsForTrace(double seconds) noexcept;

} // namespace kiv
