// The one logging call of the library.
#pragma once

#include "logging/log_level.h"
#include "logging/printf_checked.h"

#include <cstdint>

namespace kiv {

// Logs a printf-style message at `level` in the groups of the 64-bit mask (0: no group).
// Messages longer than 4095 characters are cut.
KIV_PRINTF_CHECKED(3, 4)
void LogMessage(LogLevel level, std::uint64_t groups, const char* format, ...) noexcept;

} // namespace kiv
