#include "logging/log_message.h"

#include "logging/log_record.h"
#include "logging/log_service.h"

#include <cstdarg>

namespace kiv {

void LogMessage(LogLevel level, std::uint32_t groupsLow, std::uint32_t groupsHigh, const char* format,
                ...) noexcept {
    va_list arguments;
    va_start(arguments, format);
    LogService::log(level, joinHalves(groupsLow, groupsHigh), format, arguments);
    va_end(arguments);
}

} // namespace kiv
