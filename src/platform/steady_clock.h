// The steady clock on which the plugin measures delays and moments. It is the operating system's
// monotonic clock unless the process that loaded the module exports a clock of its own under a
// name the host boundary fixes: a host whose timers run on a simulated clock then hands the
// plugin that same clock, so that what the plugin measures agrees with when its timers fire.
#pragma once

#include <cstdint>

namespace kiv::platform {

// The clock's current reading in nanoseconds; it never goes backwards.
[[nodiscard]] std::int64_t steadyClockNanoseconds() noexcept;

// Looks up `exportName` among the process's own exports and, when it is there, reads the clock
// from it from now on; otherwise (again) from the operating system.
void useProcessSteadyClock(const char* exportName) noexcept;

} // namespace kiv::platform
