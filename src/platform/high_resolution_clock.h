// The system's high-resolution counter, for measuring elapsed time within the process.
#pragma once

#include <cstdint>

namespace kiv::platform {

// The counter's current value; it only moves forward.
std::uint64_t highResolutionTicks() noexcept;

// Ticks per second of highResolutionTicks (never 0).
std::uint64_t highResolutionFrequency() noexcept;

} // namespace kiv::platform
