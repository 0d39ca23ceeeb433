// The wall-clock time in the system's local time zone, down to the millisecond.
#pragma once

#include <cstdint>

namespace kiv::platform {

// Seven 32-bit fields, in this order, as log records carry them (the day of the week is not kept).
struct LocalTime {
    std::int32_t year = 0;
    std::int32_t month = 0; // 1 to 12
    std::int32_t day = 0;   // 1 to 31
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
    std::int32_t millisecond = 0;
};

LocalTime currentLocalTime() noexcept;

} // namespace kiv::platform
