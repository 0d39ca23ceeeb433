// Elapsed time since the process first read the high-resolution clock.
#pragma once

namespace kiv {

// Seconds since the first call of this function in the process (the first call returns 0).
double secondsSinceFirstClockReading() noexcept;

} // namespace kiv
