// One message on its way from the log service to its targets.
#pragma once

#include "logging/log_level.h"
#include "platform/local_time.h"

#include <cstddef>
#include <cstdint>

namespace kiv {

// The longest message text, in characters; longer output is cut to it.
inline constexpr std::size_t kLogTextLimit = 4095;
// The size of every buffer that holds a message text or a formatted line.
inline constexpr std::size_t kLogBufferSize = kLogTextLimit + 1;

// Group masks cross the function tables as two 32-bit halves.
[[nodiscard]] inline std::uint32_t lowHalf(std::uint64_t mask) noexcept {
    return static_cast<std::uint32_t>(mask);
}
[[nodiscard]] inline std::uint32_t highHalf(std::uint64_t mask) noexcept {
    return static_cast<std::uint32_t>(mask >> 32);
}
[[nodiscard]] inline std::uint64_t joinHalves(std::uint32_t low, std::uint32_t high) noexcept {
    return (std::uint64_t{high} << 32) | low;
}

struct LogRecord {
    platform::LocalTime time;
    LogLevel level = LogLevel::Okay;
    std::uint32_t groupsLow = 0; // the 64-bit group mask, low half first
    std::uint32_t groupsHigh = 0;
    const char* text = ""; // NUL-terminated, at most kLogTextLimit characters

    std::uint64_t groups() const noexcept { return joinHalves(groupsLow, groupsHigh); }
};

} // namespace kiv
