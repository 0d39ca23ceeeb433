// Severity of a log record, and the fixed-width label that lines show for it.
#pragma once

#include <cstdint>

namespace kiv {

// Carried as a signed 32-bit number across the log service's function tables; levels compare as
// signed numbers, so values outside the four named ones still filter predictably.
enum class LogLevel : std::int32_t {
    Okay = 0,
    Warn = 1,
    Error = 2,
    Always = 3,
};

// Every label has the same width, that of an unknown level included, so that whatever a line
// shows after the label stays in one column.
[[nodiscard]] const char* logLevelLabel(LogLevel level) noexcept;

} // namespace kiv
