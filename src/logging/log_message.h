// The one logging call of the library.
#pragma once

#include "logging/log_level.h"
#include "logging/printf_checked.h"

#include <cstdint>

namespace kiv {

// Logs a printf-style message at `level` in the groups of the 64-bit mask given as two halves
// (0: no group). Messages longer than 4095 characters are cut.
KIV_PRINTF_CHECKED(4, 5)
void LogMessage(LogLevel level, std::uint32_t groupsLow, std::uint32_t groupsHigh, const char* format,
                ...) noexcept;

} // namespace kiv
